#pragma once
// The in-memory workbook: named sheets of rows of cells, and the text of every cell.
//
// Cells are small values (16 bytes): a kind tag, a number or an index into the workbook's string
// pool, and an index into the workbook's table of interned number formats. A cell's text therefore
// needs its workbook: cell.AsText(book).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "workbook/cell_text.h"

namespace vestrano {

class ProgressSink;
class TWorkbook;

// A number format as interned by the workbook. Index 0 is always the empty (General) code.
struct NumberFormat {
  std::string code;
  int builtin_id = -1;               // the built-in id the code came from, -1 for a custom code
  CellKind kind = CellKind::Number;  // kind of a cell created from a number with this format
  DateTextKind date_kind = DateTextKind::DateAndTime;
  bool elapsed_hours = false;  // "[h]" in the code: a time shows the whole value
};

class TExportCell {
 public:
  CellKind Kind() const { return kind_; }
  // Value of a number, boolean or date-time cell (for date-times already shifted to 1899-12-30).
  double Value() const {
    return kind_ == CellKind::String || kind_ == CellKind::Empty ? 0 : u_.number;
  }
  std::uint32_t StringIndex() const { return kind_ == CellKind::String ? u_.string : 0; }
  std::uint32_t FormatIndex() const { return format_; }
  std::string_view FormatCode(const TWorkbook& book) const;
  std::string AsText(const TWorkbook& book) const;
  // The day a date or date-time cell stands for, "yyyy-mm-dd", whatever time it holds or its
  // format shows; the text of AsText for every other cell (a time-only format included).
  std::string DayText(const TWorkbook& book) const;

  // Writers, used by the readers through TWorkbook (which knows the format table and Date1904).
  void SetEmpty(std::uint32_t format = 0) {
    kind_ = CellKind::Empty, u_.number = 0, format_ = format;
  }
  void SetString(std::uint32_t string_index, std::uint32_t format = 0) {
    kind_ = CellKind::String, u_.string = string_index, format_ = format;
  }
  void SetRaw(CellKind kind, double value, std::uint32_t format) {
    kind_ = kind, u_.number = value, format_ = format;
  }

 private:
  union {
    double number;
    std::uint32_t string;
  } u_{0.0};
  std::uint32_t format_ = 0;
  CellKind kind_ = CellKind::Empty;
};
static_assert(sizeof(TExportCell) == 16, "cells must stay compact");

class TExportCells {
 public:
  int Count() const { return static_cast<int>(cells_.size()); }
  const TExportCell& Items(int j) const;  // index error outside 0 … Count-1
  TExportCell& Items(int j);
  TExportCell& Append(CellKind kind = CellKind::Empty);
  void ShrinkToFit() { cells_.shrink_to_fit(); }
  const std::vector<TExportCell>& All() const { return cells_; }
  std::vector<TExportCell>& All() { return cells_; }

 private:
  std::vector<TExportCell> cells_;
};

class TExportRow {
 public:
  TExportCells Cells;
  // Pads with empty cells up to column, then returns the cell there, appending one of kind if
  // none exists. A negative column raises EWorkbookError.
  TExportCell& FindCreateCell(int column, CellKind kind);
};

class TExportRows {
 public:
  int Count() const { return static_cast<int>(rows_.size()); }
  // Grows the list with empty rows up to i; a negative i raises the index error.
  TExportRow& Items(int i);
  // Reads row i without growing the list; nullptr when i is outside it.
  const TExportRow* Find(int i) const;
  TExportRow& Append();
  void Reserve(std::size_t n);
  const std::vector<TExportRow>& All() const { return rows_; }

 private:
  friend class TExportWorkSheet;
  std::vector<TExportRow> rows_;
};

class TExportWorkSheet {
 public:
  TExportWorkSheet(TWorkbook& book, std::string name);
  std::string Name;
  TExportRows Rows;
  // Rows.Items(row) then FindCreateCell on that row; counts what it creates against the budget.
  TExportCell& FindCreateCell(int column, int row, CellKind kind);
  // The top-left cell of a merged range gets empty cells up to last_column.
  void CoverMergedRange(int first_column, int first_row, int last_column);
  // Makes row exist (growing the row list), counted against the budget.
  TExportRow& TouchRow(int row);
  TWorkbook& Book() const { return *book_; }

  // For a reader done with the rows before row: frees their cells (the rows stay, empty) and,
  // once enough has been freed, hands the memory back to the system, so that what the reader
  // builds from them can take its place.
  void ReleaseRowsBefore(int row);
  // Frees every row; the sheet keeps its name and has no rows afterwards.
  void ReleaseRows();
  // Bytes of text charged to the workbook for this sheet's cells so far.
  std::uint64_t TextCharged() const;

 private:
  friend class TWorkbook;
  TWorkbook* book_;
  std::uint64_t text_charged_ = 0;  // changed through std::atomic_ref: sheets may be read at once
  int released_before_ = 0;
  std::size_t released_bytes_ = 0;  // freed since memory was last handed back
};

class TExportWorkSheets {
 public:
  int Count() const { return static_cast<int>(sheets_.size()); }
  TExportWorkSheet& Items(int i) const;  // index error outside 0 … Count-1

 private:
  friend class TWorkbook;
  std::vector<std::unique_ptr<TExportWorkSheet>> sheets_;
};

// Whether LoadFromFile has a reader for the name's extension (.xlsx .xlsm .xltx .xltm .xls .xlt,
// in any letter case).
bool IsWorkbookFileName(std::string_view file_name);

class TWorkbook {
 public:
  // At most this many cells and rows in one workbook; a larger file is refused.
  static constexpr std::uint64_t kDefaultCellBudget = 50'000'000;
  // At most this many bytes of text in the cells of one workbook, counted as the cells are read:
  // a text that many cells share counts once for each of them, since everything that reads the
  // cells gets a copy of it. The largest statement one could keep in a workbook holds a few
  // tens of megabytes; a larger file is refused before it can fill memory.
  static constexpr std::uint64_t kDefaultTextBudget = std::uint64_t{256} << 20;
  // At most this many bytes in one cell's text, however it is stored (the XML parser's own bound
  // for one text node).
  static constexpr std::size_t kMaxCellText = 10'000'000;

  TWorkbook();
  // Moving takes the sheets along (they know their workbook) and leaves the source empty.
  TWorkbook(TWorkbook&& other);
  TWorkbook& operator=(TWorkbook&& other);
  TWorkbook(const TWorkbook&) = delete;
  TWorkbook& operator=(const TWorkbook&) = delete;
  TExportWorkSheets Sheets;
  bool Date1904 = false;
  // How many threads may read big worksheets at once, in LoadFromFile and in the import's
  // reading of the sections on them; 0: one per processor core. A caller that already loads
  // several workbooks side by side sets 1.
  int ReadThreads = 0;

  // Loads the file, choosing the reader by extension; replaces everything the workbook held.
  void LoadFromFile(const std::string& file_name, ProgressSink* progress = nullptr);

  // --- used by the readers ---
  void Clear();  // no sheets, Date1904 false, empty pools
  // Appends a sheet; \ / : * ? " in the name become "-".
  TExportWorkSheet& AddSheet(std::string_view name);
  std::uint32_t AddString(std::string text);
  // Room for n more strings, so that a big string table fills the pool without regrowing it.
  void ReserveStrings(std::size_t n);
  const std::string& String(std::uint32_t index) const;
  // Interns a format code; builtin_id is the built-in id it stands for (or -1).
  std::uint32_t InternFormat(std::string_view code, int builtin_id = -1);
  // The interned format of a built-in id (General for ids without a code).
  std::uint32_t BuiltinFormat(int id);
  const NumberFormat& Format(std::uint32_t index) const { return formats_[index]; }
  std::size_t FormatCount() const { return formats_.size(); }
  // A cell from a stored number: its kind from the format, dates shifted for the 1904 system.
  void SetNumber(TExportCell& cell, double value, std::uint32_t format) const;
  // A date-time cell from a serial value counted from 1899-12-30 (never shifted).
  void SetDateTime(TExportCell& cell, double serial, std::uint32_t format) const;
  void SetBoolean(TExportCell& cell, bool value, std::uint32_t format) const;
  // Counts n newly created cells or rows; raises EWorkbookFileError past the budget. Safe to call
  // from the threads that read sheets at once.
  void Charge(std::uint64_t n);
  void SetCellBudget(std::uint64_t budget) { budget_ = budget; }
  std::uint64_t CellBudget() const { return budget_; }
  // Counts bytes of text given to the cells of sheet; raises EWorkbookFileError, naming the
  // sheet, once the text of the sheets up to it (in sheet order) passes the text budget, as
  // reading them one by one would. Safe to call from the threads that read sheets at once.
  void ChargeText(std::uint64_t bytes, TExportWorkSheet& sheet);
  // After sheets were read at once: the sheet (in sheet order) at which the text passed the
  // budget, or nullptr. Sheets at or after stop_at are not counted.
  const TExportWorkSheet* TextBudgetPassedAt(int stop_at) const;
  [[noreturn]] void FailTextBudget(const TExportWorkSheet& sheet) const;
  void SetTextBudget(std::uint64_t budget) { text_budget_ = budget; }

 private:
  std::vector<std::string> strings_;
  std::vector<NumberFormat> formats_;
  // Code and built-in id to index, so that interning stays fast for files with many formats.
  std::unordered_map<std::string, std::uint32_t> format_index_;
  std::uint64_t charged_ = 0;  // changed through std::atomic_ref: readers may run at once
  std::uint64_t budget_ = kDefaultCellBudget;
  std::uint64_t text_charged_ = 0;  // as charged_
  std::uint64_t text_budget_ = kDefaultTextBudget;
};

}  // namespace vestrano
