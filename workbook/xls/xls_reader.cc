// The record handlers: workbook globals, the shared-string table and the worksheet substreams.
#include "workbook/xls/xls_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <string>
#include <unordered_map>
#include <vector>

#include "workbook/errors.h"
#include "workbook/xls/biff_records.h"
#include "workbook/xls/byte_reader.h"
#include "workbook/xls/compound_file.h"
#include "workbook/xls/xls_errors.h"

namespace vestrano::xls {

namespace {

enum RecordType : std::uint16_t {
  kFormula = 6,
  kEof = 10,
  kHorizontalPageBreaks = 27,
  kDateMode = 34,
  kFilePass = 47,
  kBoundSheet = 133,
  kMulRk = 189,
  kMulBlank = 190,
  kRString = 214,
  kXf = 224,
  kMergedCells = 229,
  kSst = 252,
  kLabelSst = 253,
  kCondFmt = 432,
  kHlink = 440,
  kBlank = 513,
  kNumber = 515,
  kLabel = 516,
  kBoolErr = 517,
  kString = 519,
  kRow = 520,
  kRk = 638,
  kFormat = 1054,
  kBof = 2057,
};

constexpr std::uint16_t kWorksheetSubstream = 16;
constexpr int kMaxColumns = 256;
constexpr std::uint32_t kProgressEvery = 10000;
constexpr std::uint32_t kNoFormat = 0xFFFFFFFF;

double RkValue(std::uint32_t rk) {
  double v;
  if (rk & 0x02)
    v = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  else
    v = std::bit_cast<double>(static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32);
  return (rk & 0x01) ? v / 100 : v;
}

// What the globals hold for the rest of the load.
struct Globals {
  std::vector<std::string> sheet_names;
  std::size_t sst_offset = 0;
  bool has_sst = false;
  std::unordered_map<std::uint16_t, std::string> formats;  // FORMAT records by format index
  std::vector<std::uint16_t> xf_formats;                   // format index of each XF
};

class Reader;
using Handler = void (Reader::*)(const Record&, ByteReader&);
struct RecordHandler {
  std::uint16_t type;
  const char* name;
  std::uint16_t min_len;
  Handler handler;
};

class Reader {
 public:
  Reader(TWorkbook& book, std::span<const std::byte> stream, ProgressSink* progress)
      : book_(book), stream_(stream), it_(stream), progress_(progress) {}

  void Run();

  // Globals.
  void OnDateMode(const Record&, ByteReader& r) { book_.Date1904 = r.U16() == 1; }
  void OnFilePass(const Record&, ByteReader&) { throw EWorkbookFileError(kEncryptedMessage); }
  void OnBoundSheet(const Record&, ByteReader& r) {
    r.Skip(5);  // stream position, visibility: hidden sheets are read like visible ones
    if (r.U8() != 0) return;  // chart sheets, macro sheets and modules hold no cells
    globals_.sheet_names.push_back(ReadRecordString(r, 1));
  }
  void OnSst(const Record& rec, ByteReader&) {
    if (globals_.has_sst) return;
    globals_.has_sst = true;
    globals_.sst_offset = rec.offset;
  }
  void OnFormat(const Record&, ByteReader& r) {
    const std::uint16_t index = r.U16();
    globals_.formats[index] = ReadRecordString(r, 2);
  }
  void OnXf(const Record&, ByteReader& r) {
    r.Skip(2);
    globals_.xf_formats.push_back(r.U16());
  }

  // Worksheet cells.
  void OnBlank(const Record&, ByteReader& r) {
    const Pos p = CellPos(r);
    if (TExportCell* c = Place(p)) c->SetEmpty(XfFormat(p.xf));
  }
  void OnNumber(const Record&, ByteReader& r) {
    const Pos p = CellPos(r);
    const double v = r.F64();
    if (TExportCell* c = Place(p)) book_.SetNumber(*c, v, XfFormat(p.xf));
  }
  void OnRk(const Record&, ByteReader& r) {
    const Pos p = CellPos(r);
    const double v = RkValue(r.U32());
    if (TExportCell* c = Place(p)) book_.SetNumber(*c, v, XfFormat(p.xf));
  }
  void OnMulRk(const Record& rec, ByteReader& r) {
    ++cell_records_;
    pending_string_ = false;
    const std::uint16_t row = r.U16(), first = r.U16();
    const std::size_t n = (rec.data.size() - 6) / 6;
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint16_t xf = r.U16();
      const double v = RkValue(r.U32());
      if (TExportCell* c = Place({row, Column(rec, first + i), xf}))
        book_.SetNumber(*c, v, XfFormat(xf));
    }
  }
  void OnMulBlank(const Record& rec, ByteReader& r) {
    ++cell_records_;
    pending_string_ = false;
    const std::uint16_t row = r.U16(), first = r.U16();
    const std::size_t n = (rec.data.size() - 6) / 2;
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint16_t xf = r.U16();
      if (TExportCell* c = Place({row, Column(rec, first + i), xf})) c->SetEmpty(XfFormat(xf));
    }
    r.Seek(rec.data.size() - 2);
    const int last = Column(rec, r.U16());
    TExportRow& row_ref = Row(row);
    if (row_ref.Cells.Count() < last + 1) Grow(row_ref, static_cast<std::size_t>(last) + 1);
  }
  void OnLabel(const Record&, ByteReader& r) {
    const Pos p = CellPos(r);
    std::string text = ReadRecordString(r, 2);
    if (TExportCell* c = Place(p)) SetText(*c, std::move(text), XfFormat(p.xf));
  }
  void OnLabelSst(const Record&, ByteReader& r) {
    const Pos p = CellPos(r);
    const std::uint32_t index = r.U32();
    if (TExportCell* c = Place(p)) {
      const std::uint32_t s = index < sst_.size() ? sst_[index] : 0;
      if (s) {
        book_.ChargeText(book_.String(s).size(), *sheet_);
        c->SetString(s, XfFormat(p.xf));
      } else
        c->SetEmpty(XfFormat(p.xf));
    }
  }
  void OnBoolErr(const Record&, ByteReader& r) {
    const Pos p = CellPos(r);
    const std::uint8_t value = r.U8();
    // An error value (second byte 1) reads as false: no error code is 1.
    if (TExportCell* c = Place(p)) book_.SetBoolean(*c, value == 1, XfFormat(p.xf));
  }
  void OnFormula(const Record&, ByteReader& r) {
    const Pos p = CellPos(r);
    const auto result = r.Bytes(8);
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(result[i]); };
    if (byte(6) != 0xFF || byte(7) != 0xFF) {
      const double v = ByteReader(result).F64();
      if (TExportCell* c = Place(p)) book_.SetNumber(*c, v, XfFormat(p.xf));
    } else if (byte(0) == 0) {
      pending_string_ = true;  // the cell comes with the STRING record that follows
      pending_ = p;
    } else if (byte(0) == 1) {
      if (TExportCell* c = Place(p)) book_.SetBoolean(*c, byte(2) != 0, XfFormat(p.xf));
    }
  }
  void OnString(const Record& rec, ByteReader&) {
    parts_.clear();
    parts_.push_back(rec.data);
    it_.TakeContinues(parts_);
    if (!pending_string_) return;  // a STRING without its formula names no cell
    pending_string_ = false;
    ++cell_records_;
    std::string text;
    ContinuedReader cr(parts_);
    if (!cr.AtEnd()) {
      const std::uint16_t count = cr.U16();
      if (count > 0 || !cr.AtEnd()) text = cr.StringBody(count);
    }
    if (TExportCell* c = Place(pending_)) SetText(*c, std::move(text), XfFormat(pending_.xf));
  }

  // Records that make rows and cells exist.
  void OnRow(const Record&, ByteReader& r) { Row(r.U16()); }
  void OnPageBreaks(const Record&, ByteReader& r) {
    const std::uint16_t n = r.U16();
    for (std::uint16_t i = 0; i < n && r.Remaining() >= 2; ++i) {
      Row(r.U16());
      r.Skip(std::min<std::size_t>(4, r.Remaining()));
    }
  }
  void OnMergedCells(const Record& rec, ByteReader& r) {
    const std::uint16_t n = r.U16();
    for (std::uint16_t i = 0; i < n && r.Remaining() >= 8; ++i) {
      const std::uint16_t first_row = r.U16();
      r.Skip(2);
      const int first_col = Column(rec, r.U16()), last_col = Column(rec, r.U16());
      EnsureCell(first_row, first_col);
      TExportRow& row = Row(first_row);
      if (row.Cells.Count() < last_col + 1) Grow(row, static_cast<std::size_t>(last_col) + 1);
    }
  }
  void OnCondFmt(const Record& rec, ByteReader& r) {
    r.Skip(12);
    const std::uint16_t n = r.U16();
    for (std::uint16_t i = 0; i < n && r.Remaining() >= 8; ++i) {
      const std::uint16_t first_row = r.U16();
      r.Skip(2);
      const int first_col = Column(rec, r.U16());
      r.Skip(2);
      EnsureCell(first_row, first_col);
    }
  }
  void OnHlink(const Record& rec, ByteReader& r) {
    const std::uint16_t first_row = r.U16();
    r.Skip(2);
    const int first_col = Column(rec, r.U16());
    r.Skip(2 + 16 + 4);  // last column, class id, stream version
    const std::uint32_t flags = r.U32();
    const auto skip_string = [&] {  // a 32-bit character count, then UTF-16 characters
      const std::uint32_t chars = r.U32();
      if (chars > r.Remaining() / 2) throw EShortData();
      r.Skip(std::size_t{chars} * 2);
    };
    if (flags & 0x10) skip_string();                 // display name
    if (flags & 0x80) skip_string();                 // target frame
    if (!(flags & 0x01) || (flags & 0x100)) return;  // no moniker, or one saved as a string
    static constexpr std::array<std::uint8_t, 16> kUrlMoniker = {0xE0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA,
                                                                 0xCE, 0x11, 0x8C, 0x82, 0x00, 0xAA,
                                                                 0x00, 0x4B, 0xA9, 0x0B};
    const auto clsid = r.Bytes(16);
    for (std::size_t i = 0; i < 16; ++i)
      if (static_cast<std::uint8_t>(clsid[i]) != kUrlMoniker[i]) return;
    const std::uint32_t bytes = r.U32();
    if (bytes > r.Remaining()) throw EShortData();
    const auto url = r.Bytes(bytes);
    bool has_text = false;
    for (std::size_t i = 0; i + 1 < url.size() && !has_text; i += 2) {
      if (url[i] == std::byte{0} && url[i + 1] == std::byte{0}) break;
      has_text = true;
    }
    if (has_text) EnsureCell(first_row, first_col, CellKind::String);
  }

 private:
  struct Pos {
    std::uint16_t row;
    int col;
    std::uint16_t xf;
  };

  Pos CellPos(ByteReader& r) {
    ++cell_records_;
    pending_string_ = false;
    const std::uint16_t row = r.U16();
    const int col = Column(*current_, r.U16());
    return {row, col, r.U16()};
  }

  int Column(const Record& rec, std::size_t col) const {
    if (col >= kMaxColumns)
      throw DamagedRecord(
          current_name_, rec,
          "names column " + std::to_string(col + 1) + ", past the 256 columns of a worksheet");
    return static_cast<int>(col);
  }

  TExportRow& Row(std::uint16_t row) {
    if (row != last_row_) {
      // A new row starts with room for as many cells as the row before it, which fits a table.
      if (const TExportRow* prev = sheet_->Rows.Find(last_row_))
        row_hint_ = prev->Cells.All().size();
      last_row_ = row;
    }
    return sheet_->TouchRow(row);
  }

  void Grow(TExportRow& row, std::size_t count) {
    auto& cells = row.Cells.All();
    book_.Charge(count - cells.size());
    if (cells.capacity() < count && cells.empty()) cells.reserve(std::max(count, row_hint_));
    cells.resize(count);
  }

  // The cell that a record at p creates: pads the row with empty cells up to the column, and
  // gives nullptr when the row already holds that column (the first record for a cell wins).
  TExportCell* Place(Pos p) {
    TExportRow& row = Row(p.row);
    const auto col = static_cast<std::size_t>(p.col);
    if (row.Cells.All().size() > col) return nullptr;
    Grow(row, col + 1);
    return &row.Cells.All()[col];
  }

  // Makes the cell exist (a new one of the given kind); an existing cell is left as it is.
  void EnsureCell(std::uint16_t row, int col, CellKind kind = CellKind::Empty) {
    if (TExportCell* c = Place({row, col, 0})) c->SetRaw(kind, 0, 0);
  }

  void SetText(TExportCell& c, std::string text, std::uint32_t format) {
    if (text.empty()) {
      c.SetEmpty(format);
    } else {
      book_.ChargeText(text.size(), *sheet_);
      c.SetString(book_.AddString(std::move(text)), format);
    }
  }

  // The interned format of an XF, looked up once per XF and once per format index.
  std::uint32_t XfFormat(std::uint16_t xf) {
    if (xf >= xf_cache_.size()) return 0;  // an XF the file does not define: General
    std::uint32_t& f = xf_cache_[xf];
    if (f != kNoFormat) return f;
    const std::uint16_t ifmt = globals_.xf_formats[xf];
    std::uint32_t& g = ifmt_cache_[ifmt];
    if (g == kNoFormat) {
      auto it = globals_.formats.find(ifmt);
      g = it != globals_.formats.end() ? book_.InternFormat(it->second) : book_.BuiltinFormat(ifmt);
    }
    return f = g;
  }

  void ReadGlobals();
  void ReadSst();
  bool ReadSheet(int index);
  void Dispatch(const Record& rec, const RecordHandler* const* table);
  void Report(std::string_view text) {
    Step(progress_, text,
         it_.Size() ? static_cast<double>(it_.Position()) / static_cast<double>(it_.Size()) : 1.0);
  }

  TWorkbook& book_;
  std::span<const std::byte> stream_;
  RecordIterator it_;
  ProgressSink* progress_;
  Globals globals_;
  std::vector<std::uint32_t> sst_;  // string pool index of each shared string
  std::vector<std::uint32_t> xf_cache_;
  std::vector<std::uint32_t> ifmt_cache_;
  std::vector<std::span<const std::byte>> parts_;
  TExportWorkSheet* sheet_ = nullptr;
  int last_row_ = -1;
  std::size_t row_hint_ = 0;
  const Record* current_ = nullptr;
  const char* current_name_ = "";
  std::uint32_t cell_records_ = 0;
  bool pending_string_ = false;
  Pos pending_{0, 0, 0};
  std::string sheet_text_;
};

constexpr RecordHandler kGlobalRecords[] = {
    {kDateMode, "DATEMODE", 2, &Reader::OnDateMode},
    {kFilePass, "FILEPASS", 0, &Reader::OnFilePass},
    {kBoundSheet, "BOUNDSHEET", 8, &Reader::OnBoundSheet},
    {kSst, "SST", 8, &Reader::OnSst},
    {kFormat, "FORMAT", 4, &Reader::OnFormat},
    {kXf, "XF", 4, &Reader::OnXf},
};

constexpr RecordHandler kSheetRecords[] = {
    {kBlank, "BLANK", 6, &Reader::OnBlank},
    {kNumber, "NUMBER", 14, &Reader::OnNumber},
    {kRk, "RK", 10, &Reader::OnRk},
    {kMulRk, "MULRK", 6, &Reader::OnMulRk},
    {kMulBlank, "MULBLANK", 6, &Reader::OnMulBlank},
    {kLabel, "LABEL", 8, &Reader::OnLabel},
    {kRString, "RSTRING", 8, &Reader::OnLabel},
    {kLabelSst, "LABELSST", 10, &Reader::OnLabelSst},
    {kBoolErr, "BOOLERR", 8, &Reader::OnBoolErr},
    {kFormula, "FORMULA", 14, &Reader::OnFormula},
    {kString, "STRING", 0, &Reader::OnString},
    {kRow, "ROW", 2, &Reader::OnRow},
    {kHorizontalPageBreaks, "HORIZONTALPAGEBREAKS", 2, &Reader::OnPageBreaks},
    {kMergedCells, "MERGEDCELLS", 2, &Reader::OnMergedCells},
    {kCondFmt, "CONDFMT", 14, &Reader::OnCondFmt},
    {kHlink, "HLINK", 32, &Reader::OnHlink},
};

// Record type to handler, for the types below kBof + 1 (every type either table names).
template <std::size_t N>
std::array<const RecordHandler*, kBof + 1> MakeTable(const RecordHandler (&records)[N]) {
  std::array<const RecordHandler*, kBof + 1> table{};
  for (const RecordHandler& h : records) table[h.type] = &h;
  return table;
}
const auto kGlobalTable = MakeTable(kGlobalRecords);
const auto kSheetTable = MakeTable(kSheetRecords);

void Reader::Dispatch(const Record& rec, const RecordHandler* const* table) {
  if (rec.type > kBof) return;
  const RecordHandler* h = table[rec.type];
  if (!h) return;
  current_ = &rec;
  current_name_ = h->name;
  if (rec.data.size() < h->min_len)
    throw DamagedRecord(h->name, rec,
                        "is " + std::to_string(rec.data.size()) + " bytes long, shorter than its " +
                            std::to_string(h->min_len) + " fixed bytes");
  ByteReader r(rec.data);
  try {
    (this->*h->handler)(rec, r);
  } catch (const EShortData&) {
    throw DamagedRecord(h->name, rec, "ends inside its data");
  }
}

void Reader::ReadGlobals() {
  Record rec;
  while (it_.Next(rec)) {
    if (rec.type == kEof) break;
    Dispatch(rec, kGlobalTable.data());
  }
  xf_cache_.assign(globals_.xf_formats.size(), kNoFormat);
  ifmt_cache_.assign(65536, kNoFormat);
}

void Reader::ReadSst() {
  if (!globals_.has_sst) return;
  RecordIterator it(stream_);
  it.Seek(globals_.sst_offset);
  Record rec;
  it.Next(rec);
  parts_.clear();
  parts_.push_back(rec.data);
  it.TakeContinues(parts_);
  std::size_t bytes = 0;
  for (auto part : parts_) bytes += part.size();
  ContinuedReader r(parts_);
  r.U32();  // total number of references, not needed
  const std::uint32_t n = r.U32();
  sst_.reserve(std::min<std::size_t>(n, bytes / 3));  // a string takes at least 3 bytes
  // Some writers declare more strings than they store: a table that ends at a record boundary
  // keeps what it holds, and later indices read as empty.
  for (std::uint32_t i = 0; i < n && !r.AtEnd(); ++i) sst_.push_back(book_.AddString(r.String()));
}

bool Reader::ReadSheet(int index) {
  sheet_ = &book_.Sheets.Items(index);
  last_row_ = -1;
  row_hint_ = 0;
  pending_string_ = false;
  sheet_text_ =
      "Worksheet " + std::to_string(index + 1) + "/" + std::to_string(book_.Sheets.Count());
  if (!sheet_->Name.empty()) sheet_text_ += ": " + sheet_->Name;
  Report(sheet_text_);
  Record rec;
  for (;;) {
    if (!it_.Next(rec)) return false;
    if (rec.type == kBof && rec.data.size() >= 4 &&
        static_cast<std::uint16_t>(static_cast<std::uint8_t>(rec.data[2]) |
                                   (static_cast<std::uint8_t>(rec.data[3]) << 8)) ==
            kWorksheetSubstream)
      break;
  }
  std::uint32_t next_report = cell_records_ + kProgressEvery;
  while (it_.Next(rec)) {
    if (rec.type == kEof) return !it_.AtEnd();
    if (rec.type == kBof) {
      // An embedded chart is a substream of its own: its records are not cells of this sheet,
      // and its EOF does not end the sheet.
      for (int depth = 1; depth > 0 && it_.Next(rec);) {
        if (rec.type == kBof) ++depth;
        if (rec.type == kEof) --depth;
      }
      continue;
    }
    Dispatch(rec, kSheetTable.data());
    if (cell_records_ >= next_report) {
      Report(sheet_text_);
      next_report = cell_records_ + kProgressEvery;
    }
  }
  return false;
}

void Reader::Run() {
  ReadGlobals();
  if (it_.AtEnd()) return;
  for (const std::string& name : globals_.sheet_names) book_.AddSheet(name);
  ReadSst();
  for (int i = 0; i < book_.Sheets.Count(); ++i)
    if (!ReadSheet(i)) break;
}

}  // namespace

void Read(TWorkbook& book, std::span<const std::byte> file, ProgressSink* progress) {
  Step(progress, "Loading", 0);
  const StreamBytes stream = ReadWorkbookStream(file);
  Reader reader(book, stream.bytes, progress);
  reader.Run();
}

}  // namespace vestrano::xls
