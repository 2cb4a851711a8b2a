#include "workbook/xls/biff_records.h"

#include <algorithm>

#include "data/text.h"
#include "workbook/xls/xls_errors.h"

namespace vestrano::xls {

bool RecordIterator::Next(Record& record) {
  if (pos_ >= stream_.size()) return false;
  if (stream_.size() - pos_ < 4) {
    // Zero padding after the last record (some writers round the stream up) is not a record.
    if (std::all_of(stream_.begin() + static_cast<std::ptrdiff_t>(pos_), stream_.end(),
                    [](std::byte b) { return b == std::byte{0}; })) {
      pos_ = stream_.size();
      return false;
    }
    throw EWorkbookFileError(std::string(kNotXlsMessage) +
                             " The Workbook stream ends inside a record header at offset " +
                             std::to_string(pos_) + ".");
  }
  ByteReader r(stream_.subspan(pos_, 4));
  record.type = r.U16();
  const std::uint16_t len = r.U16();
  if (stream_.size() - pos_ - 4 < len)
    throw EWorkbookFileError(std::string(kNotXlsMessage) + " The record of type " +
                             std::to_string(record.type) + " at offset " + std::to_string(pos_) +
                             " runs past the end of the Workbook stream.");
  record.offset = pos_;
  record.data = stream_.subspan(pos_ + 4, len);
  pos_ += 4 + std::size_t{len};
  return true;
}

void RecordIterator::TakeContinues(std::vector<std::span<const std::byte>>& parts) {
  Record next;
  for (;;) {
    const std::size_t at = pos_;
    if (at >= stream_.size() || stream_.size() - at < 4) return;
    ByteReader r(stream_.subspan(at, 4));
    if (r.U16() != kContinue) return;
    Next(next);
    parts.push_back(next.data);
  }
}

EWorkbookFileError DamagedRecord(const char* name, const Record& record, const std::string& what) {
  return EWorkbookFileError(std::string(kNotXlsMessage) + " The " + name + " record at offset " +
                            std::to_string(record.offset) + " of the Workbook stream " + what +
                            ".");
}

void Utf16ToUtf8::Unit(char16_t u) {
  if (high_) {
    if (u >= 0xDC00 && u <= 0xDFFF) {
      AppendUtf8(out_, 0x10000 + ((static_cast<char32_t>(high_) - 0xD800) << 10) + (u - 0xDC00));
      high_ = 0;
      return;
    }
    AppendUtf8(out_, 0xFFFD);
    high_ = 0;
  }
  if (u >= 0xD800 && u <= 0xDBFF) {
    high_ = u;
    after_cr_ = false;
    return;
  }
  if (u == '\n') {
    if (!after_cr_) out_ += "\r\n";
    after_cr_ = false;
    return;
  }
  after_cr_ = u == '\r';
  if (after_cr_) {
    out_ += "\r\n";
    return;
  }
  AppendUtf8(out_, u);  // a lone low surrogate becomes U+FFFD here
}

void Utf16ToUtf8::Latin1(std::span<const std::byte> bytes) {
  for (std::byte b : bytes) {
    const auto c = static_cast<unsigned char>(b);
    if (c >= 0x20 && c < 0x80 && !high_) {
      out_ += static_cast<char>(c);
      after_cr_ = false;
    } else {
      Unit(c);
    }
  }
}

void Utf16ToUtf8::Utf16(std::span<const std::byte> bytes) {
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    Unit(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                               (static_cast<unsigned char>(bytes[i + 1]) << 8)));
}

void Utf16ToUtf8::Finish() {
  if (high_) AppendUtf8(out_, 0xFFFD);
  high_ = 0;
  after_cr_ = false;
}

void ReadChars(ByteReader& r, std::size_t count, bool wide, std::string& out) {
  Utf16ToUtf8 conv(out);
  if (wide) {
    if (count > r.Remaining() / 2) throw EShortData();
    conv.Utf16(r.Bytes(count * 2));
  } else {
    conv.Latin1(r.Bytes(count));
  }
  conv.Finish();
}

std::string ReadRecordString(ByteReader& r, int count_size) {
  const std::size_t count = count_size == 1 ? r.U8() : r.U16();
  std::string out;
  if (count == 0 && r.AtEnd())
    return out;  // some writers leave out the option byte of an empty string
  const std::uint8_t options = r.U8();
  std::size_t runs = 0, ext = 0;
  if (options & 0x08) runs = r.U16();
  if (options & 0x04) ext = r.U32();
  out.reserve(count);
  ReadChars(r, count, options & 0x01, out);
  r.Skip(std::min(r.Remaining(), runs * 4));
  r.Skip(std::min<std::size_t>(r.Remaining(), ext));
  return out;
}

ContinuedReader::ContinuedReader(std::span<const std::span<const std::byte>> parts)
    : parts_(parts) {}

bool ContinuedReader::NextPart() {
  while (part_ < parts_.size() && pos_ >= parts_[part_].size()) {
    if (part_ + 1 >= parts_.size()) return false;
    ++part_;
    pos_ = 0;
  }
  return part_ < parts_.size();
}

bool ContinuedReader::AtEnd() { return !NextPart(); }

std::uint8_t ContinuedReader::U8() {
  if (!NextPart()) throw EPartsEnded();
  return static_cast<std::uint8_t>(parts_[part_][pos_++]);
}

std::uint16_t ContinuedReader::U16() {
  const std::uint16_t lo = U8();
  return static_cast<std::uint16_t>(lo | (U8() << 8));
}

std::uint32_t ContinuedReader::U32() {
  const std::uint32_t lo = U16();
  return lo | (static_cast<std::uint32_t>(U16()) << 16);
}

void ContinuedReader::Skip(std::size_t n) {
  while (n > 0) {
    if (!NextPart()) throw EPartsEnded();
    const std::size_t take = std::min(n, parts_[part_].size() - pos_);
    pos_ += take;
    n -= take;
  }
}

std::string ContinuedReader::String() { return StringBody(U16()); }

std::string ContinuedReader::StringBody(std::size_t count) {
  const std::uint8_t options = U8();
  std::size_t runs = 0, ext = 0;
  if (options & 0x08) runs = U16();
  if (options & 0x04) ext = U32();
  bool wide = options & 0x01;
  std::string out;
  Utf16ToUtf8 conv(out);
  while (count > 0) {
    if (part_ >= parts_.size()) throw EPartsEnded();
    const std::span<const std::byte> part = parts_[part_];
    if (pos_ >= part.size()) {
      // Characters that go on in the next record start there with their own option byte.
      if (part_ + 1 >= parts_.size()) throw EPartsEnded();
      ++part_;
      pos_ = 0;
      if (!parts_[part_].empty()) wide = (parts_[part_][pos_++] & std::byte{0x01}) != std::byte{0};
      continue;
    }
    const std::size_t avail = part.size() - pos_;
    const std::size_t take = std::min(count, wide ? avail / 2 : avail);
    if (take == 0) throw EPartsEnded();  // half a character at the end of a record
    if (wide)
      conv.Utf16(part.subspan(pos_, take * 2));
    else
      conv.Latin1(part.subspan(pos_, take));
    pos_ += wide ? take * 2 : take;
    count -= take;
  }
  conv.Finish();
  Skip(runs * 4);
  Skip(ext);
  return out;
}

}  // namespace vestrano::xls
