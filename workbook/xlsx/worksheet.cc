// A worksheet part, streamed: rows and cells, then the structures after the cells that make
// rows and cells exist (merged ranges, hyperlinks, manual row breaks, conditional formats).
#include <algorithm>
#include <atomic>
#include <mutex>

#include "workbook/errors.h"
#include "workbook/xlsx/parts.h"
#include "workbook/xlsx/xml_helper.h"
#include "workbook/xlsx/zip_package.h"

namespace vestrano::xlsx {

namespace {

constexpr std::uint64_t kProgressStep = 10000;
constexpr std::size_t kChargeStep = 4096;
constexpr std::uint64_t kTextChargeStep = 1 << 20;

enum class ValueType { Number, Shared, Inline, Formula, Boolean, Date };

// Attribute names of cells and rows are single letters; compare without a string call.
inline bool IsName(const xmlChar* name, char c) { return name[0] == c && name[1] == 0; }

// Row digits of a cell reference such as "AB12" (1-based), 0 when there are none.
int RowOfRef(std::string_view ref) {
  std::int64_t row = 0;
  bool any = false;
  for (char c : ref) {
    if (c == ':') break;
    if (c >= '0' && c <= '9') {
      any = true;
      row = std::min<std::int64_t>(row * 10 + (c - '0'), kMaxRows);
    }
  }
  return any ? static_cast<int>(row) : 0;
}

class SheetReader {
 public:
  SheetReader(SheetContext& ctx, TExportWorkSheet& sheet, PullReader& x,
              const std::vector<Relationship>& rels, const PartStream& stream)
      : ctx_(ctx), sheet_(sheet), book_(ctx.book), x_(x), rels_(IndexById(rels)), stream_(stream) {
    n_sheetData_ = x.Intern("sheetData");
    n_row_ = x.Intern("row");
    n_c_ = x.Intern("c");
    n_v_ = x.Intern("v");
    n_is_ = x.Intern("is");
    n_t_ = x.Intern("t");
    n_r_ = x.Intern("r");
    n_dimension_ = x.Intern("dimension");
    n_mergeCells_ = x.Intern("mergeCells");
    n_hyperlinks_ = x.Intern("hyperlinks");
    n_rowBreaks_ = x.Intern("rowBreaks");
    n_conditionalFormatting_ = x.Intern("conditionalFormatting");
  }

  void Run();

 private:
  void ReadSheetData(bool preserve);
  void ReadRow(bool preserve);
  void ReadCell(bool preserve);
  // Collects the character data of the current element (and its descendants) into out; the
  // reader ends on the element's end. False when the text is absent (empty after the rule).
  // The nearest xml:space decides, on every element from the root down to the text.
  bool ReadText(std::string& out, bool preserve);
  void ReadInline(bool preserve, std::string& plain, bool& has_plain, std::string& runs,
                  bool& has_runs);
  void Reserve(const xmlNode* dimension);
  void ApplyStructure(const xmlNode* n);
  bool Clip(CellRange& r) const;
  void MakeRangeExist(const CellRange& r);
  void Progress();
  [[noreturn]] void FailLongText() const {
    x_.Fail("a cell's text is longer than " + std::to_string(TWorkbook::kMaxCellText) + " bytes");
  }
  // A cell's text, counted against the workbook's text budget a bit at a time.
  void ChargeText(std::size_t bytes) {
    text_pending_ += bytes;
    if (text_pending_ >= kTextChargeStep) FlushText();
  }
  void FlushText() {
    if (text_pending_ == 0) return;
    book_.ChargeText(text_pending_, sheet_);
    text_pending_ = 0;
  }
  std::uint32_t AddText(std::string text) {
    MakeCrLf(text);
    if (text.size() > TWorkbook::kMaxCellText) FailLongText();
    ChargeText(text.size());
    return AddString(std::move(text));
  }
  std::uint32_t AddString(std::string text) {
    if (!ctx_.book_lock) return book_.AddString(std::move(text));
    const std::lock_guard hold(*ctx_.book_lock);
    return book_.AddString(std::move(text));
  }
  std::uint32_t FormatOfStyle(std::int64_t s) const {
    return s >= 0 && static_cast<std::uint64_t>(s) < ctx_.xf_formats.size()
               ? ctx_.xf_formats[static_cast<std::size_t>(s)]
               : 0;
  }

  SheetContext& ctx_;
  TExportWorkSheet& sheet_;
  TWorkbook& book_;
  PullReader& x_;
  const std::unordered_map<std::string_view, const Relationship*> rels_;
  const PartStream& stream_;
  const xmlChar *n_sheetData_, *n_row_, *n_c_, *n_v_, *n_is_, *n_t_, *n_r_, *n_dimension_,
      *n_mergeCells_, *n_hyperlinks_, *n_rowBreaks_, *n_conditionalFormatting_;

  std::vector<TExportCell> cells_;  // the row being read, reused for every row
  std::size_t charged_in_row_ = 0;
  std::uint64_t text_pending_ = 0;  // text of cells not yet charged to the book
  std::string v_, plain_, runs_, scratch_;
  CellRange last_range_;
  bool have_last_range_ = false;
  int last_row_ = 0;   // highest row number (1-based) that sheetData names
  int last_col_ = -1;  // highest column index that a cell of sheetData takes
  std::uint64_t cell_count_ = 0, next_progress_ = kProgressStep;
};

void SheetReader::Run() {
  // The root element, whatever it is called; its children up to sheetData are skipped.
  if (!x_.NextElement() || x_.IsEmptyElement()) return;
  const bool preserve = SpaceOf(x_.Node(), false, scratch_);
  bool after_data = false;
  for (InsideElement root(x_); root.NextChild();) {
    const xmlChar* name = x_.Name();
    if (name == n_sheetData_) {
      ReadSheetData(SpaceOf(x_.Node(), preserve, scratch_));
      after_data = true;
    } else if (!after_data) {
      if (name == n_dimension_) Reserve(x_.Node());
    } else if (name == n_mergeCells_ || name == n_hyperlinks_ || name == n_rowBreaks_ ||
               name == n_conditionalFormatting_) {
      ApplyStructure(x_.Expand());
    }
  }
  // The rest of the document must be well-formed too.
  while (x_.Next()) {
  }
}

void SheetReader::Reserve(const xmlNode* dimension) {
  CellRange r;
  if (sheet_.Rows.Count() != 0 || !ParseRange(Attr(dimension, "ref"), r)) return;
  // A row takes at least "<row/>" in the part, so its size bounds what a claim may reserve.
  const std::uint64_t plausible = stream_.DeclaredSize() / 6;
  sheet_.Rows.Reserve(static_cast<std::size_t>(
      std::min<std::uint64_t>(static_cast<std::uint64_t>(r.last_row) + 1, plausible)));
}

void SheetReader::ReadSheetData(bool preserve) {
  for (InsideElement data(x_); data.NextChild();)
    if (x_.Name() == n_row_) ReadRow(preserve);
}

void SheetReader::ReadRow(bool preserve) {
  const xmlNode* node = x_.Node();
  std::int64_t r = 0;
  for (const xmlAttr* a = node->properties; a; a = a->next) {
    if (!a->ns && IsName(a->name, 'r')) {
      if (!ParseInteger(AttrValue(a, scratch_), r)) r = 0;
    } else {
      ReadXmlSpace(a, preserve, scratch_);
    }
  }
  // A row number past the sheet's last row is treated like a row without a number.
  int index;
  if (r >= 1 && r <= kMaxRows) {
    index = static_cast<int>(r - 1);
    sheet_.TouchRow(index);
  } else {
    index = sheet_.Rows.Count();
    if (index >= kMaxRows) x_.Fail("more rows than a sheet can hold");
    sheet_.TouchRow(index);
  }
  last_row_ = std::max(last_row_, index + 1);
  if (x_.IsEmptyElement()) return;

  // A new row is read into the scratch row and then stored at its exact size; a row that
  // exists already (its number came before) grows in place, so repeats cost no copies.
  std::vector<TExportCell>& stored = sheet_.Rows.Items(index).Cells.All();
  const bool fresh = stored.empty();
  if (fresh)
    cells_.clear();
  else
    cells_.swap(stored);
  charged_in_row_ = cells_.size();
  for (InsideElement row(x_); row.NextChild();)
    if (x_.Name() == n_c_) ReadCell(preserve);
  const std::size_t total = cells_.size();
  if (fresh)
    stored.assign(cells_.begin(), cells_.end());
  else
    cells_.swap(stored);
  if (total > charged_in_row_) book_.Charge(total - charged_in_row_);
  FlushText();
}

bool SheetReader::ReadText(std::string& out, bool preserve) {
  out.clear();
  preserve = SpaceOf(x_.Node(), preserve, scratch_);
  for (InsideElement element(x_); element.NextNode();) {
    if (!IsTextNodeType(x_.Type())) continue;
    const std::string_view text = View(x_.Value());
    if (out.size() + text.size() > TWorkbook::kMaxCellText) FailLongText();
    out += text;
  }
  if (!preserve) TrimXmlSpace(out);
  return !out.empty();
}

void SheetReader::ReadInline(bool preserve, std::string& plain, bool& has_plain, std::string& runs,
                             bool& has_runs) {
  preserve = SpaceOf(x_.Node(), preserve, scratch_);
  std::string text;
  for (InsideElement is(x_); is.NextChild();) {
    const xmlChar* name = x_.Name();
    if (name == n_t_) {
      if (ReadText(text, preserve)) {
        if (plain.size() + text.size() > TWorkbook::kMaxCellText) FailLongText();
        plain += text, has_plain = true;
      }
    } else if (name == n_r_) {
      const bool run_preserve = SpaceOf(x_.Node(), preserve, scratch_);
      for (InsideElement run(x_); run.NextChild();) {
        if (x_.Name() != n_t_ || !ReadText(text, run_preserve)) continue;
        if (runs.size() + text.size() > TWorkbook::kMaxCellText) FailLongText();
        runs += text, has_runs = true;
      }
    }
  }
}

void SheetReader::ReadCell(bool preserve) {
  const xmlNode* node = x_.Node();
  int col = -1;
  std::int64_t style = 0;
  ValueType vt = ValueType::Number;
  for (const xmlAttr* a = node->properties; a; a = a->next) {
    if (!a->ns) {
      if (IsName(a->name, 'r')) {
        const std::string_view ref = AttrValue(a, scratch_);
        col = ColumnOfRef(ref);
        last_row_ = std::max(last_row_, RowOfRef(ref));
      } else if (IsName(a->name, 's')) {
        if (!ParseInteger(AttrValue(a, scratch_), style)) style = 0;
      } else if (IsName(a->name, 't')) {
        const std::string_view t = AttrValue(a, scratch_);
        if (t == "s")
          vt = ValueType::Shared;
        else if (t == "inlineStr")
          vt = ValueType::Inline;
        else if (t == "str")
          vt = ValueType::Formula;
        else if (t == "b")
          vt = ValueType::Boolean;
        else if (t == "d")
          vt = ValueType::Date;
      }
    } else {
      ReadXmlSpace(a, preserve, scratch_);
    }
  }

  bool has_v = false, has_plain = false, has_runs = false;
  v_.clear(), plain_.clear(), runs_.clear();
  for (InsideElement c(x_); c.NextChild();) {
    const xmlChar* name = x_.Name();
    if (name == n_v_ && !has_v)
      has_v = ReadText(v_, preserve);
    else if (name == n_is_)
      ReadInline(preserve, plain_, has_plain, runs_, has_runs);
  }

  // Cells land at their column; one without a usable column, or for a column the row already
  // holds, goes after the row's last cell.
  if (col >= 0 && static_cast<std::size_t>(col) > cells_.size())
    cells_.resize(static_cast<std::size_t>(col));
  const int landed = static_cast<int>(cells_.size());
  if (landed >= kMaxCols * 64) x_.Fail("too many cells in one row");
  TExportCell& cell = cells_.emplace_back();
  last_col_ = std::max(last_col_, landed);
  const std::uint32_t format = FormatOfStyle(style);

  switch (vt) {
    case ValueType::Inline:
    case ValueType::Formula: {
      cell.SetString(AddText(has_plain ? plain_ : has_runs ? runs_ : v_), format);
      break;
    }
    case ValueType::Shared: {
      std::int64_t index = -1;
      const bool valid = has_v && ParseInteger(v_, index) && index >= 0;
      const SharedStrings::Pooled text =
          valid ? ctx_.strings.PoolIndex(static_cast<std::uint64_t>(index))
                : SharedStrings::Pooled{0, 0};
      ChargeText(text.length);
      cell.SetString(text.index, format);
      break;
    }
    case ValueType::Boolean: {
      double value = 0;
      if (!has_v || !ParseNumber(v_, value)) value = 0;
      cell.SetRaw(CellKind::Boolean, value, format);
      break;
    }
    case ValueType::Date: {
      double serial = 0;
      bool has_time = false;
      if (has_v && ParseIsoDateTime(v_, serial, has_time)) {
        const std::uint32_t f = book_.Format(format).kind == CellKind::DateTime ? format
                                : ctx_.book_lock
                                    ? (has_time ? ctx_.date_time_format : ctx_.date_format)
                                    : book_.BuiltinFormat(has_time ? 22 : 14);
        book_.SetDateTime(cell, serial, f);
      } else if (has_v) {
        // Not a date we can read: keep the text rather than lose it.
        cell.SetString(AddText(v_), format);
      } else {
        cell.SetEmpty(format);
      }
      break;
    }
    case ValueType::Number: {
      double value = 0;
      if (has_v && ParseNumber(v_, value))
        book_.SetNumber(cell, value, format);
      else
        cell.SetEmpty(format);
      break;
    }
  }

  if (cells_.size() - charged_in_row_ >= kChargeStep) {
    book_.Charge(cells_.size() - charged_in_row_);
    charged_in_row_ = cells_.size();
  }
  if (++cell_count_ >= next_progress_) {
    next_progress_ += kProgressStep;
    Progress();
  }
}

void SheetReader::Progress() {
  if (!ctx_.progress && !ctx_.progress_share) return;
  double part = stream_.DeclaredSize() ? static_cast<double>(stream_.BytesRead()) /
                                             static_cast<double>(stream_.DeclaredSize())
                                       : 0;
  part = std::clamp(part, 0.0, 1.0);
  if (ctx_.progress_share) {
    ctx_.progress_share->store(part, std::memory_order_relaxed);
    if (ctx_.cancel) ctx_.cancel->ThrowIfSet();
    return;
  }
  Step(ctx_.progress, ctx_.progress_text, ctx_.progress_from + ctx_.progress_span * part);
}

// Whole-column and whole-row references (last row 1048576 or last column XFD) end where the
// sheet's own cells end; read literally they would create a million rows.
bool SheetReader::Clip(CellRange& r) const {
  if (r.last_row == kMaxRows - 1 || r.last_col == kMaxCols - 1) {
    r.last_row = std::min(r.last_row, last_row_ - 1);
    r.last_col = std::min(r.last_col, last_col_);
  }
  return r.first_row <= r.last_row && r.first_col <= r.last_col;
}

void SheetReader::MakeRangeExist(const CellRange& r) {
  // Cells only grow, so a range inside the one applied before has nothing left to create.
  if (have_last_range_ && r.first_row >= last_range_.first_row &&
      r.last_row <= last_range_.last_row && r.last_col <= last_range_.last_col)
    return;
  last_range_ = r, have_last_range_ = true;
  const std::uint64_t work =
      ctx_.structure_work.fetch_add(static_cast<std::uint64_t>(r.last_row - r.first_row + 1)) +
      static_cast<std::uint64_t>(r.last_row - r.first_row + 1);
  if (work > kStructureWorkPerCell * book_.CellBudget())
    throw EWorkbookFileError("The workbook is too large: its conditional formats cover more than " +
                             std::to_string(kStructureWorkPerCell * book_.CellBudget()) + " rows.");
  // Count first, so that a huge range is refused before anything is allocated.
  std::uint64_t needed = 0;
  for (int row = r.first_row; row <= r.last_row; ++row) {
    const TExportRow* existing = sheet_.Rows.Find(row);
    const int count = existing ? existing->Cells.Count() : 0;
    if (!existing) ++needed;
    if (count <= r.last_col) needed += static_cast<std::uint64_t>(r.last_col + 1 - count);
  }
  book_.Charge(needed);
  for (int row = r.first_row; row <= r.last_row; ++row)
    sheet_.Rows.Items(row).FindCreateCell(r.last_col, CellKind::Empty);
}

void SheetReader::ApplyStructure(const xmlNode* n) {
  const std::string_view name = LocalName(n);
  CellRange r;
  if (name == "mergeCells") {
    for (const xmlNode* m : Children(n, "mergeCell"))
      if (ParseRange(Attr(m, "ref"), r) && Clip(r))
        sheet_.CoverMergedRange(r.first_col, r.first_row, r.last_col);
  } else if (name == "hyperlinks") {
    for (const xmlNode* h : Children(n, "hyperlink")) {
      const auto found = rels_.find(RelAttr(h, "id"));
      const Relationship* rel = found == rels_.end() ? nullptr : found->second;
      if (!rel || !rel->external || !IsRelType(*rel, "hyperlink")) continue;
      if (ParseRange(Attr(h, "ref"), r) && Clip(r))
        sheet_.FindCreateCell(r.first_col, r.first_row, CellKind::String);
    }
  } else if (name == "rowBreaks") {
    for (const xmlNode* b : Children(n, "brk")) {
      const std::string man = Attr(b, "man");
      if (man.empty() || (man[0] != '1' && man[0] != 'T' && man[0] != 't')) continue;
      std::int64_t id = 0;
      if (ParseInteger(Attr(b, "id"), id) && id >= 0 && id < kMaxRows)
        sheet_.TouchRow(static_cast<int>(id));
    }
  } else if (name == "conditionalFormatting") {
    if (!FirstChild(n, "cfRule")) return;
    const std::string sqref = Attr(n, "sqref");
    const std::size_t blank = sqref.find_first_of(" \t\r\n");
    if (ParseRange(std::string_view(sqref).substr(0, blank), r) && Clip(r)) MakeRangeExist(r);
  }
}

}  // namespace

void ReadWorksheet(SheetContext& ctx, const SheetEntry& entry, TExportWorkSheet& sheet) {
  const std::uint64_t index = ctx.package.Find(entry.part);
  if (index == ZipPackage::kNotFound) return;  // a missing part leaves the sheet without rows
  const std::vector<Relationship> rels = ReadRelationships(ctx.package, entry.part);
  {
    PartStream stream(ctx.package, index, ctx.package.NameOf(index));
    PullReader reader(stream, stream.Name());
    SheetReader(ctx, sheet, reader, rels, stream).Run();
    stream.Drain();  // the checksum is checked at the end of the entry
  }
  for (const Relationship& rel : rels)
    if (!rel.external && IsRelType(rel, "drawing") && ctx.package.Has(rel.target) &&
        ctx.package.Has(RelationshipsPartOf(rel.target)))
      ReadDrawingAnchors(ctx.package, rel.target, sheet);
  const Relationship* comments = FindRelationship(rels, "comments");
  const Relationship* vml = FindRelationship(rels, "vmlDrawing");
  if (comments && vml && !comments->external && !vml->external &&
      ctx.package.Has(comments->target) && ctx.package.Has(vml->target))
    ReadComments(ctx.package, comments->target, vml->target, sheet);
}

}  // namespace vestrano::xlsx
