#pragma once
// The reading functions of the package, one per part kind, and what they hand each other.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "workbook/model.h"
#include "workbook/progress.h"

namespace vestrano::xlsx {

class ZipPackage;
class FragmentParser;

// --- relationships (relationships.cc) ---
struct Relationship {
  std::string id;
  std::string type;    // strict types already mapped to their transitional twins
  std::string target;  // resolved part name, or the raw target when external
  bool external = false;
};
inline constexpr std::string_view kRelTypeBase =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
// Whether the relationship has the type whose last path segment is type ("worksheet").
inline bool IsRelType(const Relationship& r, std::string_view type) {
  return r.type.size() == kRelTypeBase.size() + type.size() && r.type.starts_with(kRelTypeBase) &&
         r.type.ends_with(type);
}
// The relationships of source_part ("" for the package); empty when the part is absent.
std::vector<Relationship> ReadRelationships(const ZipPackage& package,
                                            std::string_view source_part);
// The first relationship of the type (the last path segment, such as "worksheet"), or nullptr.
const Relationship* FindRelationship(const std::vector<Relationship>& rels, std::string_view type);
// Relationships by id (the first of each id), for parts that look many of them up.
std::unordered_map<std::string_view, const Relationship*> IndexById(
    const std::vector<Relationship>& rels);
// Target resolved against the folder of source_part: "/" at the start means the package root;
// "." and ".." segments are followed.
std::string ResolveTarget(std::string_view source_part, std::string_view target);
// "xl/worksheets/_rels/sheet1.xml.rels" for "xl/worksheets/sheet1.xml".
std::string RelationshipsPartOf(std::string_view part);

// --- styles (styles.cc) ---
// Interned model format of each xf of cellXfs, in order. Formats are interned once per style.
std::vector<std::uint32_t> ReadStyles(const ZipPackage& package, const std::string& part,
                                      TWorkbook& book);

// --- workbook part (workbook_part.cc) ---
struct SheetEntry {
  std::string part;  // resolved part name
  std::uint64_t rel_number = 0;
  std::string name;
};
struct WorkbookInfo {
  std::vector<SheetEntry> sheets;  // in reading order
  std::string shared_strings_part;
  std::string styles_part;
};
WorkbookInfo ReadWorkbookPart(const ZipPackage& package, TWorkbook& book);

// --- shared strings (shared_strings.cc) ---
class SharedStrings {
 public:
  SharedStrings(TWorkbook& book, std::string part);
  ~SharedStrings();
  // Loads the part (absent: an empty table) and cuts it into raw entries.
  void Load(const ZipPackage& package);
  std::size_t Count() const { return entries_.size(); }
  // Pool index of entry i (resolved on first use) and the length of its text; 0 (the empty
  // text) when i is out of range. An entry longer than a cell's text may be raises
  // EWorkbookFileError.
  struct Pooled {
    std::uint32_t index;
    std::uint32_t length;
  };
  Pooled PoolIndex(std::uint64_t i);
  // From now on PoolIndex may be called from several threads; lock guards the book's string pool
  // for everyone that adds to it meanwhile. nullptr: one thread again. Called only while no other
  // thread uses the table: before the threads start, and after they are joined.
  void ShareAmongThreads(std::mutex* lock) { lock_ = lock; }

 private:
  // Cuts the part's text into raw entries.
  void LoadBytes(std::string bytes);
  std::string Resolve(std::size_t i);
  void Cut();
  TWorkbook& book_;
  std::string part_;
  std::string data_;
  std::string root_open_, root_close_;  // the table's root tags, to give entries their namespaces
  std::vector<std::pair<std::uint32_t, std::uint32_t>> entries_;  // offset, length in data_
  // Resolved entries: the text's length in the high half, its pool index in the low one;
  // kUnresolved before first use. Plain while one thread reads, atomic while several do (the
  // reasoning is at PoolIndex).
  std::vector<std::uint64_t> pool_;
  FragmentParser* parser_ = nullptr;
  std::mutex* lock_ = nullptr;
  std::mutex parser_mutex_;  // the parser of the rare entries that need one
};
// The string of a plain raw entry (<si><t>…</t></si>) without a parser; false when the entry
// needs one.
bool ResolvePlainSharedString(std::string_view raw, std::string& out);
// The string of one raw entry: _x000D_ removed, parsed as an si element, breaks made CR LF.
// root_open and root_close wrap it so that prefixes declared on the table's root resolve.
std::string ResolveSharedString(std::string_view raw, std::string_view root_open,
                                std::string_view root_close, FragmentParser& parser,
                                const std::function<std::string()>& where);

// --- worksheets (worksheet.cc, sheet_extras.cc) ---
struct SheetContext {
  SheetContext(const ZipPackage& package, TWorkbook& book,
               const std::vector<std::uint32_t>& xf_formats, SharedStrings& strings,
               std::atomic<std::uint64_t>& structure_work)
      : package(package),
        book(book),
        xf_formats(xf_formats),
        strings(strings),
        structure_work(structure_work) {}
  const ZipPackage& package;
  TWorkbook& book;
  const std::vector<std::uint32_t>& xf_formats;
  SharedStrings& strings;
  // Rows that conditional formats walked so far, in all sheets; each walk costs time even when it
  // creates nothing, so the total is bounded (kStructureWorkPerCell times the cell budget).
  std::atomic<std::uint64_t>& structure_work;
  ProgressSink* progress = nullptr;
  std::string progress_text;
  double progress_from = 0, progress_span = 1;
  // Set while several sheets are read at once: book_lock guards the book's string pool, and the
  // sheet's progress (the share of its part read) goes to progress_share instead of a sink.
  std::mutex* book_lock = nullptr;
  std::atomic<double>* progress_share = nullptr;
  // Polled at each progress step on those threads too.
  const CancelFlag* cancel = nullptr;
  // The built-in date and date-time formats (14 and 22), interned before the sheets are read at
  // once, so that no sheet changes the format table meanwhile.
  std::uint32_t date_format = 0, date_time_format = 0;
};
inline constexpr std::uint64_t kStructureWorkPerCell = 20;
void ReadWorksheet(SheetContext& ctx, const SheetEntry& entry, TExportWorkSheet& sheet);
// Cells that anchored pictures and comments make exist.
void ReadDrawingAnchors(const ZipPackage& package, const std::string& drawing_part,
                        TExportWorkSheet& sheet);
void ReadComments(const ZipPackage& package, const std::string& comments_part,
                  const std::string& vml_part, TExportWorkSheet& sheet);

// --- small text helpers (text_values.cc) ---
// Every LF, CR or CR LF becomes CR LF.
void MakeCrLf(std::string& text);
// Number syntax of cell values: sign, digits, "." or "," fraction, exponent.
bool ParseNumber(std::string_view text, double& value);
// Decimal integer with an optional sign; false on anything else or overflow.
bool ParseInteger(std::string_view text, std::int64_t& value);
// The decimal digits of text in order as one number (saturating); false when there are none.
bool DigitsNumber(std::string_view text, std::uint64_t& value);
// ISO 8601 date, date-time or time to a serial counted from 1899-12-30.
bool ParseIsoDateTime(std::string_view text, double& serial, bool& has_time);
// Column index of a reference's letters (A = 0), -1 without a usable column.
int ColumnOfRef(std::string_view ref);
// A cell or range reference such as B2, $B$2:D3, E:E or 3:5, 0-based and clipped to the sheet.
struct CellRange {
  int first_col = 0, first_row = 0, last_col = 0, last_row = 0;
};
inline constexpr int kMaxRows = 1048576;
inline constexpr int kMaxCols = 16384;
bool ParseRange(std::string_view ref, CellRange& range);

}  // namespace vestrano::xlsx
