#include "biff_writer.h"

#include <bit>
#include <stdexcept>

namespace vestrano::test {

Bytes& Bytes::U8(std::uint8_t v) {
  b_.push_back(std::byte{v});
  return *this;
}
Bytes& Bytes::U16(std::uint16_t v) { return U8(v & 0xFF).U8(static_cast<std::uint8_t>(v >> 8)); }
Bytes& Bytes::U32(std::uint32_t v) {
  return U16(v & 0xFFFF).U16(static_cast<std::uint16_t>(v >> 16));
}
Bytes& Bytes::F64(double v) {
  const auto bits = std::bit_cast<std::uint64_t>(v);
  return U32(static_cast<std::uint32_t>(bits)).U32(static_cast<std::uint32_t>(bits >> 32));
}
Bytes& Bytes::Raw(const std::vector<std::byte>& b) {
  b_.insert(b_.end(), b.begin(), b.end());
  return *this;
}
Bytes& Bytes::Raw(std::string_view s) {
  for (char c : s) U8(static_cast<std::uint8_t>(c));
  return *this;
}

std::u16string Utf16(std::string_view s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    char32_t cp;
    int n;
    if (c < 0x80)
      cp = c, n = 1;
    else if (c < 0xE0)
      cp = c & 0x1F, n = 2;
    else if (c < 0xF0)
      cp = c & 0x0F, n = 3;
    else
      cp = c & 0x07, n = 4;
    for (int k = 1; k < n; ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0x3F);
    i += static_cast<std::size_t>(n);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

bool FitsLatin1(std::string_view utf8) {
  for (char16_t u : Utf16(utf8))
    if (u > 0xFF) return false;
  return true;
}

Bytes& Bytes::Chars(std::string_view utf8, bool wide) {
  for (char16_t u : Utf16(utf8)) {
    if (wide)
      U16(u);
    else
      U8(static_cast<std::uint8_t>(u));
  }
  return *this;
}

Bytes& Bytes::Str(std::string_view utf8, int count_size) {
  const std::size_t n = Utf16(utf8).size();
  if (count_size == 1)
    U8(static_cast<std::uint8_t>(n));
  else
    U16(static_cast<std::uint16_t>(n));
  const bool wide = !FitsLatin1(utf8);
  U8(wide ? 1 : 0);
  return Chars(utf8, wide);
}

BiffWriter& BiffWriter::Record(std::uint16_t type, const std::vector<std::byte>& data) {
  Bytes h;
  h.U16(type).U16(static_cast<std::uint16_t>(data.size()));
  b_.insert(b_.end(), h.Get().begin(), h.Get().end());
  b_.insert(b_.end(), data.begin(), data.end());
  return *this;
}

BiffWriter& BiffWriter::Append(const std::vector<std::byte>& raw) {
  b_.insert(b_.end(), raw.begin(), raw.end());
  return *this;
}

BiffWriter& BiffWriter::Bof(std::uint16_t substream) {
  return Record(2057, Bytes().U16(0x0600).U16(substream).U16(0x0DBB).U16(0x07CC).U32(0).U32(6));
}

BiffWriter& BiffWriter::BoundSheet(std::string_view name, std::uint8_t type, std::uint8_t hidden) {
  return Record(133, Bytes().U32(0).U8(hidden).U8(type).Str(name, 1));
}

BiffWriter& BiffWriter::Format(std::uint16_t index, std::string_view code) {
  return Record(1054, Bytes().U16(index).Str(code));
}

BiffWriter& BiffWriter::Xf(std::uint16_t format_index) {
  Bytes b;
  b.U16(0).U16(format_index).U16(0x0001);
  while (b.Size() < 20) b.U8(0);
  return Record(224, std::move(b));
}

BiffWriter& BiffWriter::Sst(std::uint32_t unique_count,
                            const std::vector<std::vector<std::byte>>& parts) {
  Bytes first;
  first.U32(unique_count).U32(unique_count);
  if (!parts.empty()) first.Raw(parts[0]);
  Record(252, std::move(first));
  for (std::size_t i = 1; i < parts.size(); ++i) Record(60, parts[i]);
  return *this;
}

BiffWriter& BiffWriter::Globals(const std::vector<std::string>& sheets,
                                const std::vector<std::uint16_t>& xfs,
                                const std::vector<std::string>& strings) {
  Bof(5);
  for (std::uint16_t f : xfs) Xf(f);
  for (const std::string& s : sheets) BoundSheet(s);
  if (!strings.empty()) {
    Bytes all;
    for (const std::string& s : strings) all.Str(s);
    Sst(static_cast<std::uint32_t>(strings.size()), {all.Take()});
  }
  return Eof();
}

namespace {
Bytes Cell(int row, int col, int xf) {
  Bytes b;
  b.U16(static_cast<std::uint16_t>(row))
      .U16(static_cast<std::uint16_t>(col))
      .U16(static_cast<std::uint16_t>(xf));
  return b;
}
}  // namespace

BiffWriter& BiffWriter::Number(int row, int col, int xf, double v) {
  return Record(515, Cell(row, col, xf).F64(v));
}
BiffWriter& BiffWriter::Rk(int row, int col, int xf, std::uint32_t rk) {
  return Record(638, Cell(row, col, xf).U32(rk));
}
BiffWriter& BiffWriter::Blank(int row, int col, int xf) { return Record(513, Cell(row, col, xf)); }
BiffWriter& BiffWriter::Label(int row, int col, std::string_view text, int xf) {
  return Record(516, Cell(row, col, xf).Str(text));
}
BiffWriter& BiffWriter::LabelSst(int row, int col, std::uint32_t index, int xf) {
  return Record(253, Cell(row, col, xf).U32(index));
}
BiffWriter& BiffWriter::BoolErr(int row, int col, std::uint8_t value, bool error, int xf) {
  return Record(517, Cell(row, col, xf).U8(value).U8(error ? 1 : 0));
}
BiffWriter& BiffWriter::Formula(int row, int col, const std::vector<std::byte>& result, int xf) {
  // Result, flags, cache id, then a one-token expression (an integer constant).
  return Record(6, Cell(row, col, xf).Raw(result).U16(0).U32(0).U16(3).U8(0x1E).U16(1));
}
BiffWriter& BiffWriter::String(std::string_view text) { return Record(519, Bytes().Str(text)); }
BiffWriter& BiffWriter::Row(int row) {
  Bytes b;
  b.U16(static_cast<std::uint16_t>(row)).U16(0).U16(0).U16(0x00FF).U16(0).U16(0).U32(0x0100);
  return Record(520, std::move(b));
}
BiffWriter& BiffWriter::MergedCells(const std::vector<std::vector<int>>& ranges) {
  Bytes b;
  b.U16(static_cast<std::uint16_t>(ranges.size()));
  for (const auto& r : ranges)
    for (int v : r) b.U16(static_cast<std::uint16_t>(v));
  return Record(229, std::move(b));
}

std::vector<std::byte> FormulaNumber(double v) { return Bytes().F64(v).Take(); }
std::vector<std::byte> FormulaSpecial(std::uint8_t kind, std::uint8_t value) {
  return Bytes().U8(kind).U8(0).U8(value).U8(0).U8(0).U8(0).U16(0xFFFF).Take();
}

namespace {

constexpr std::uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSect = 0xFFFFFFFD,
                        kDifSect = 0xFFFFFFFC;

void PutDirEntry(Bytes& d, std::u16string_view name, std::uint8_t type, std::uint32_t right,
                 std::uint32_t child, std::uint32_t start, std::uint32_t size) {
  const std::size_t begin = d.Size();
  for (char16_t c : name) d.U16(c);
  d.U16(0);
  while (d.Size() < begin + 64) d.U8(0);
  d.U16(static_cast<std::uint16_t>((name.size() + 1) * 2)).U8(type).U8(1);  // black
  d.U32(kFree).U32(right).U32(child);
  for (int i = 0; i < 16 + 4 + 16; ++i) d.U8(0);  // class id, state bits, times
  d.U32(start).U32(size).U32(0);
}

}  // namespace

std::vector<std::byte> CompoundFile(
    const std::vector<std::pair<std::string, std::vector<std::byte>>>& streams, int version) {
  const std::size_t kSector = version == 4 ? 4096 : 512, per = kSector / 4;
  auto SectorsFor = [&](std::size_t bytes) { return (bytes + kSector - 1) / kSector; };
  // Small streams live in the mini stream (64-byte mini sectors), large ones in sectors of their
  // own.
  std::vector<std::byte> mini;
  std::vector<std::uint32_t> minifat;
  std::vector<std::uint32_t> start(streams.size());
  std::vector<std::size_t> regular_first(streams.size());
  std::size_t next = 0;  // next free regular sector
  for (std::size_t i = 0; i < streams.size(); ++i) {
    const auto& data = streams[i].second;
    if (data.empty()) {
      start[i] = kEnd;
    } else if (data.size() < 4096) {
      start[i] = static_cast<std::uint32_t>(mini.size() / 64);
      const std::size_t n = (data.size() + 63) / 64;
      for (std::size_t k = 0; k < n; ++k)
        minifat.push_back(k + 1 < n ? static_cast<std::uint32_t>(start[i] + k + 1) : kEnd);
      mini.insert(mini.end(), data.begin(), data.end());
      mini.resize(mini.size() + (n * 64 - data.size()));
    } else {
      start[i] = static_cast<std::uint32_t>(next);
      next += SectorsFor(data.size());
    }
  }
  const std::size_t mini_start = next, mini_sectors = SectorsFor(mini.size());
  next += mini_sectors;
  const std::size_t minifat_start = next, minifat_sectors = SectorsFor(minifat.size() * 4);
  next += minifat_sectors;
  const std::size_t dir_start = next, dir_sectors = SectorsFor((streams.size() + 1) * 128);
  next += dir_sectors;
  std::size_t fat_sectors = 0, difat_sectors = 0;
  for (;;) {
    const std::size_t total = next + fat_sectors + difat_sectors;
    const std::size_t f = (total + per - 1) / per;
    const std::size_t d = f > 109 ? (f - 109 + per - 2) / (per - 1) : 0;
    if (f == fat_sectors && d == difat_sectors) break;
    fat_sectors = f, difat_sectors = d;
  }
  const std::size_t fat_start = next, difat_start = next + fat_sectors;
  const std::size_t total = difat_start + difat_sectors;

  std::vector<std::uint32_t> fat(fat_sectors * per, kFree);
  auto chain = [&](std::size_t first, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k)
      fat[first + k] = k + 1 < n ? static_cast<std::uint32_t>(first + k + 1) : kEnd;
  };
  for (std::size_t i = 0; i < streams.size(); ++i)
    if (streams[i].second.size() >= 4096) chain(start[i], SectorsFor(streams[i].second.size()));
  chain(mini_start, mini_sectors);
  chain(minifat_start, minifat_sectors);
  chain(dir_start, dir_sectors);
  for (std::size_t k = 0; k < fat_sectors; ++k) fat[fat_start + k] = kFatSect;
  for (std::size_t k = 0; k < difat_sectors; ++k) fat[difat_start + k] = kDifSect;

  Bytes out;
  out.Raw(std::vector<std::byte>{std::byte{0xD0}, std::byte{0xCF}, std::byte{0x11}, std::byte{0xE0},
                                 std::byte{0xA1}, std::byte{0xB1}, std::byte{0x1A},
                                 std::byte{0xE1}});
  for (int i = 0; i < 16; ++i) out.U8(0);
  out.U16(0x003E)
      .U16(static_cast<std::uint16_t>(version))
      .U16(0xFFFE)
      .U16(version == 4 ? 12 : 9)
      .U16(6);
  for (int i = 0; i < 6; ++i) out.U8(0);
  out.U32(version == 4 ? static_cast<std::uint32_t>(dir_sectors) : 0)
      .U32(static_cast<std::uint32_t>(fat_sectors))
      .U32(static_cast<std::uint32_t>(dir_start))
      .U32(0);
  out.U32(4096);
  out.U32(minifat_sectors ? static_cast<std::uint32_t>(minifat_start) : kEnd)
      .U32(static_cast<std::uint32_t>(minifat_sectors));
  out.U32(difat_sectors ? static_cast<std::uint32_t>(difat_start) : kEnd)
      .U32(static_cast<std::uint32_t>(difat_sectors));
  for (std::size_t k = 0; k < 109; ++k)
    out.U32(k < fat_sectors ? static_cast<std::uint32_t>(fat_start + k) : kFree);

  auto pad = [&] {
    while (out.Size() % kSector) out.U8(0);
  };
  pad();  // a version-4 header takes a whole 4096-byte sector
  for (std::size_t i = 0; i < streams.size(); ++i)
    if (streams[i].second.size() >= 4096) {
      out.Raw(streams[i].second);
      pad();
    }
  out.Raw(mini);
  pad();
  for (std::uint32_t v : minifat) out.U32(v);
  pad();
  const std::size_t dir_begin = out.Size();
  PutDirEntry(out, u"Root Entry", 5, kFree, streams.empty() ? kFree : 1,
              mini.empty() ? kEnd : static_cast<std::uint32_t>(mini_start),
              static_cast<std::uint32_t>(mini.size()));
  for (std::size_t i = 0; i < streams.size(); ++i) {
    const std::u16string name = Utf16(streams[i].first);
    const std::uint32_t right = i + 1 < streams.size() ? static_cast<std::uint32_t>(i + 2) : kFree;
    PutDirEntry(out, name, 2, right, kFree, start[i],
                static_cast<std::uint32_t>(streams[i].second.size()));
  }
  while (out.Size() < dir_begin + dir_sectors * kSector)
    PutDirEntry(out, u"", 0, kFree, kFree, kEnd, 0);
  for (std::uint32_t v : fat) out.U32(v);
  for (std::size_t d = 0; d < difat_sectors; ++d) {
    for (std::size_t k = 0; k + 1 < per; ++k) {
      const std::size_t idx = 109 + d * (per - 1) + k;
      out.U32(idx < fat_sectors ? static_cast<std::uint32_t>(fat_start + idx) : kFree);
    }
    out.U32(d + 1 < difat_sectors ? static_cast<std::uint32_t>(difat_start + d + 1) : kEnd);
  }
  if (out.Size() != (total + 1) * kSector) throw std::logic_error("compound file layout is off");
  return out.Take();
}

std::vector<std::byte> XlsFile(const std::vector<std::byte>& workbook_stream) {
  return CompoundFile({{"Workbook", workbook_stream}});
}

}  // namespace vestrano::test
