#include "workbook/model.h"

#include <malloc.h>

#include <algorithm>
#include <atomic>

#include "workbook/cell_text.h"
#include "workbook/errors.h"
#include "workbook/memory.h"

namespace vestrano {

std::string_view TExportCell::FormatCode(const TWorkbook& book) const {
  return book.Format(format_).code;
}

std::string TExportCell::AsText(const TWorkbook& book) const {
  switch (kind_) {
    case CellKind::Empty:
      return {};
    case CellKind::String:
      return book.String(u_.string);
    case CellKind::Boolean:
      return (u_.number > 1e-12 || u_.number < -1e-12) ? "1" : "0";
    case CellKind::DateTime:
    case CellKind::Time: {
      const NumberFormat& f = book.Format(format_);
      return DateTimeText(u_.number, f.date_kind, f.elapsed_hours);
    }
    default:
      return GeneralNumberText(u_.number);
  }
}

std::string TExportCell::DayText(const TWorkbook& book) const {
  if (kind_ == CellKind::DateTime && book.Format(format_).date_kind != DateTextKind::TimeOnly)
    return DateTimeText(u_.number, DateTextKind::DateOnly, false);
  return AsText(book);
}

const TExportCell& TExportCells::Items(int j) const {
  if (j < 0 || j >= Count()) throw EListIndexError(j);
  return cells_[static_cast<std::size_t>(j)];
}

TExportCell& TExportCells::Items(int j) {
  if (j < 0 || j >= Count()) throw EListIndexError(j);
  return cells_[static_cast<std::size_t>(j)];
}

TExportCell& TExportCells::Append(CellKind kind) {
  TExportCell& c = cells_.emplace_back();
  c.SetRaw(kind, 0, 0);
  return c;
}

TExportCell& TExportRow::FindCreateCell(int column, CellKind kind) {
  if (column < 0) throw EWorkbookError("TExportRow.FindCreateCell: invalid parameters");
  while (Cells.Count() < column) Cells.Append(CellKind::Empty);
  if (column < Cells.Count()) return Cells.Items(column);
  return Cells.Append(kind);
}

TExportRow& TExportRows::Items(int i) {
  if (i < 0) throw EListIndexError(i);
  if (static_cast<std::size_t>(i) >= rows_.size()) rows_.resize(static_cast<std::size_t>(i) + 1);
  return rows_[static_cast<std::size_t>(i)];
}

const TExportRow* TExportRows::Find(int i) const {
  if (i < 0 || static_cast<std::size_t>(i) >= rows_.size()) return nullptr;
  return &rows_[static_cast<std::size_t>(i)];
}

void TExportRows::Reserve(std::size_t n) {
  rows_.reserve(n);
  AdviseHugePages(rows_.data(), rows_.capacity() * sizeof(TExportRow));
}

TExportRow& TExportRows::Append() { return rows_.emplace_back(); }

TExportWorkSheet::TExportWorkSheet(TWorkbook& book, std::string name)
    : Name(std::move(name)), book_(&book) {}

TExportRow& TExportWorkSheet::TouchRow(int row) {
  if (row < 0) throw EWorkbookError("TExportWorkSheet.FindCreateCell: invalid parameters");
  if (row >= Rows.Count()) book_->Charge(static_cast<std::uint64_t>(row - Rows.Count() + 1));
  return Rows.Items(row);
}

TExportCell& TExportWorkSheet::FindCreateCell(int column, int row, CellKind kind) {
  if (row < 0 || column < 0)
    throw EWorkbookError("TExportWorkSheet.FindCreateCell: invalid parameters");
  TExportRow& r = TouchRow(row);
  if (column >= r.Cells.Count())
    book_->Charge(static_cast<std::uint64_t>(column - r.Cells.Count() + 1));
  return r.FindCreateCell(column, kind);
}

void TExportWorkSheet::CoverMergedRange(int first_column, int first_row, int last_column) {
  FindCreateCell(first_column, first_row, CellKind::Empty);
  TExportRow& r = Rows.Items(first_row);
  if (last_column + 1 > r.Cells.Count()) {
    book_->Charge(static_cast<std::uint64_t>(last_column + 1 - r.Cells.Count()));
    while (r.Cells.Count() < last_column + 1) r.Cells.Append(CellKind::Empty);
  }
}

namespace {
// Freed rows are many small blocks that the allocator keeps for reuse; past this much it is told
// to return the whole pages among them. Sections read at once free rows into the arenas of the
// threads that loaded them, where the records never reuse them, so this is kept small.
constexpr std::size_t kReleaseTrimBytes = 1 << 20;

// Under AddressSanitizer the sanitizer owns every block, and glibc's trim would walk arenas that a
// new thread never set up (it crashes there); the sanitizer returns memory itself.
#if defined(__SANITIZE_ADDRESS__)
#define VESTRANO_FOREIGN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VESTRANO_FOREIGN_ALLOCATOR 1
#endif
#endif

void ReturnFreedPages() {
#ifndef VESTRANO_FOREIGN_ALLOCATOR
  malloc_trim(0);
#endif
}
}  // namespace

void TExportWorkSheet::ReleaseRowsBefore(int row) {
  auto& rows = Rows.rows_;
  const int end = std::min(row, static_cast<int>(rows.size()));
  for (int i = released_before_; i < end; ++i) {
    std::vector<TExportCell>& cells = rows[static_cast<std::size_t>(i)].Cells.All();
    released_bytes_ += cells.capacity() * sizeof(TExportCell);
    std::vector<TExportCell>().swap(cells);
  }
  released_before_ = std::max(released_before_, end);
  if (released_bytes_ >= kReleaseTrimBytes) {
    released_bytes_ = 0;
    ReturnFreedPages();
  }
}

std::uint64_t TExportWorkSheet::TextCharged() const {
  return std::atomic_ref(const_cast<std::uint64_t&>(text_charged_)).load(std::memory_order_relaxed);
}

void TExportWorkSheet::ReleaseRows() {
  if (Rows.rows_.capacity() == 0) return;  // nothing held, nothing to hand back
  std::vector<TExportRow>().swap(Rows.rows_);
  released_before_ = 0;
  released_bytes_ = 0;
  ReturnFreedPages();
}

TExportWorkSheet& TExportWorkSheets::Items(int i) const {
  if (i < 0 || i >= Count()) throw EListIndexError(i);
  return *sheets_[static_cast<std::size_t>(i)];
}

TWorkbook::TWorkbook() { Clear(); }

TWorkbook::TWorkbook(TWorkbook&& other) : TWorkbook() { *this = std::move(other); }

TWorkbook& TWorkbook::operator=(TWorkbook&& other) {
  if (this == &other) return *this;
  Sheets.sheets_ = std::move(other.Sheets.sheets_);
  for (auto& sheet : Sheets.sheets_) sheet->book_ = this;
  Date1904 = other.Date1904;
  ReadThreads = other.ReadThreads;
  strings_ = std::move(other.strings_);
  formats_ = std::move(other.formats_);
  format_index_ = std::move(other.format_index_);
  charged_ = other.charged_;
  budget_ = other.budget_;
  text_charged_ = other.text_charged_;
  text_budget_ = other.text_budget_;
  other.Clear();
  return *this;
}

void TWorkbook::Clear() {
  Sheets.sheets_.clear();
  Date1904 = false;
  strings_.clear();
  strings_.emplace_back();  // index 0: the empty text
  formats_.clear();
  formats_.push_back(NumberFormat{});  // index 0: General
  format_index_.clear();
  charged_ = 0;
  text_charged_ = 0;
}

TExportWorkSheet& TWorkbook::AddSheet(std::string_view name) {
  std::string clean(name);
  for (char& c : clean)
    if (c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"') c = '-';
  Sheets.sheets_.push_back(std::make_unique<TExportWorkSheet>(*this, std::move(clean)));
  return *Sheets.sheets_.back();
}

std::uint32_t TWorkbook::AddString(std::string text) {
  if (text.empty()) return 0;
  strings_.push_back(std::move(text));
  return static_cast<std::uint32_t>(strings_.size() - 1);
}

void TWorkbook::ReserveStrings(std::size_t n) {
  // A table of millions of empty entries must not reserve gigabytes it never fills.
  strings_.reserve(strings_.size() + std::min<std::size_t>(n, std::size_t{1} << 22));
  AdviseHugePages(strings_.data(), strings_.capacity() * sizeof(std::string));
}

const std::string& TWorkbook::String(std::uint32_t index) const {
  return index < strings_.size() ? strings_[index] : strings_[0];
}

std::uint32_t TWorkbook::InternFormat(std::string_view code, int builtin_id) {
  if (code.empty() && builtin_id < 0) return 0;
  std::string key(code);
  key += '\x1f';
  key += std::to_string(builtin_id);
  auto [it, inserted] = format_index_.emplace(std::move(key), 0);
  if (!inserted) return it->second;
  it->second = static_cast<std::uint32_t>(formats_.size());
  NumberFormat f;
  f.code = std::string(code);
  f.builtin_id = builtin_id;
  f.kind = ClassifyNumberFormat(code, builtin_id);
  f.date_kind = ClassifyDateText(code, builtin_id, &f.elapsed_hours);
  formats_.push_back(std::move(f));
  return static_cast<std::uint32_t>(formats_.size() - 1);
}

std::uint32_t TWorkbook::BuiltinFormat(int id) {
  auto code = BuiltinFormatCode(id);
  if (id == 0 || !code) return 0;
  return InternFormat(*code, id);
}

void TWorkbook::SetNumber(TExportCell& cell, double value, std::uint32_t format) const {
  const CellKind kind = formats_[format].kind;
  if (kind == CellKind::DateTime && Date1904) value += 1462;
  cell.SetRaw(kind, value, format);
}

void TWorkbook::SetDateTime(TExportCell& cell, double serial, std::uint32_t format) const {
  cell.SetRaw(CellKind::DateTime, serial, format);
}

void TWorkbook::SetBoolean(TExportCell& cell, bool value, std::uint32_t format) const {
  cell.SetRaw(CellKind::Boolean, value ? 1.0 : 0.0, format);
}

void TWorkbook::Charge(std::uint64_t n) {
  if (std::atomic_ref(charged_).fetch_add(n, std::memory_order_relaxed) + n > budget_)
    throw EWorkbookFileError("The workbook is too large: it would hold more than " +
                             std::to_string(budget_) + " cells.");
}

void TWorkbook::ChargeText(std::uint64_t bytes, TExportWorkSheet& sheet) {
  std::atomic_ref(sheet.text_charged_).fetch_add(bytes, std::memory_order_relaxed);
  if (std::atomic_ref(text_charged_).fetch_add(bytes, std::memory_order_relaxed) + bytes <=
      text_budget_)
    return;
  // Past the budget in all: only the sheets up to this one decide, so that the sheet named is
  // the one that passes it in sheet order, whichever thread got there first.
  std::uint64_t upto = 0;
  for (const auto& s : Sheets.sheets_) {
    upto += s->TextCharged();
    if (s.get() == &sheet) break;
  }
  if (upto > text_budget_) FailTextBudget(sheet);
}

const TExportWorkSheet* TWorkbook::TextBudgetPassedAt(int stop_at) const {
  std::uint64_t upto = 0;
  for (int i = 0; i < std::min(stop_at, Sheets.Count()); ++i) {
    upto += Sheets.Items(i).TextCharged();
    if (upto > text_budget_) return &Sheets.Items(i);
  }
  return nullptr;
}

void TWorkbook::FailTextBudget(const TExportWorkSheet& sheet) const {
  throw EWorkbookFileError("The workbook is too large: the text of its cells would exceed " +
                           std::to_string(text_budget_) + " bytes (sheet " + sheet.Name + ").");
}

}  // namespace vestrano
