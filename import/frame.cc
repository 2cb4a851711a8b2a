#include "import/frame.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "data/date_text.h"
#include "data/field_rules.h"
#include "workbook/memory.h"

namespace vestrano {

namespace {

constexpr std::string_view kInvalid = "Neplatný údaj ";
constexpr std::string_view kEmpty = "Prázdný údaj ";
constexpr std::string_view kNegative = "Záporná hodnota ";
constexpr std::string_view kRowNo = " v ř.č.";
constexpr std::string_view kSkipped = "Vynechaný řádek č.";
constexpr std::string_view kCountryLeftOut = "Kód státu vynechán z údaje ";

void AppendNumber(std::string& out, int n) {
  char buf[16];
  const auto res = std::to_chars(buf, buf + sizeof buf, n);
  out.append(buf, res.ptr);
}

// Messages are formatted only here, and only when emitted: text, row number, suffix.
void Emit(std::vector<std::string>& list, std::string_view prefix, std::string_view label,
          int row_number, std::string_view suffix) {
  std::string& m = list.emplace_back();
  m.reserve(prefix.size() + label.size() + kRowNo.size() + 10 + suffix.size());
  m += prefix;
  m += label;
  m += kRowNo;
  AppendNumber(m, row_number);
  m += suffix;
}

bool Passes(Rule rule, const std::string& text) {
  switch (rule) {
    case Rule::None:
      return true;
    case Rule::Date:
      return !NormalizeDate(text).empty();
    case Rule::Amount:
      return !NormalizeAmount(text).empty();
    case Rule::DIC:
      return !NormalizeDIC(text).empty();
    case Rule::CountryCode:
      return !NormalizeCountryCode(text).empty();
    case Rule::VatId:
      return IsVATIDValid(text);
    case Rule::DocNumber:
      return IsDocNumberValid(text);
    case Rule::RegimeCode:
      return IsRegimeCodeValid(text);
    case Rule::YesNo:
      return IsYesNoValid(text);
    case Rule::SupplyCode:
      return IsSupplyCodeValid(text);
    case Rule::RatioFlag:
      return IsRatioFlagValid(text);
  }
  return false;
}

// One stored row (or aggregate) being judged: its field texts and what the checks found.
struct RowJudge {
  TStatement& st;
  const SectionTable& table;
  std::string_view suffix;  // " v sekci A1"
  int row_number;           // spreadsheet row: index + 1
  RunningSums& sums;
  std::array<const std::string*, kMaxSectionFields> texts{};
  bool faulty = false;

  const std::string& Text(std::size_t field) const { return *texts[field]; }
  std::string_view Label(std::size_t field) const { return table.fields[field].label; }
  void Error(std::size_t field) {
    Emit(st.errors, kInvalid, Label(field), row_number, suffix);
    faulty = true;
  }
  void Warn(std::string_view prefix, std::size_t field) {
    Emit(st.warnings, prefix, Label(field), row_number, suffix);
  }

  void Apply(const FieldCheck& c) {
    const std::string& text = Text(c.field);
    if (!Passes(c.rule, text)) {
      Error(c.field);
    } else if (c.rule == Rule::VatId && table.country != kNoField) {
      // The XML leaves the country code out of such a VAT ID; say so, the cell stays as it is.
      if (VatIdWithoutCountry(text, Text(table.country))) Warn(kCountryLeftOut, c.field);
    } else if (c.rule == Rule::Amount && !text.empty()) {
      // Accepted amounts are summed whatever the verdict of the row turns out to be.
      if (const auto slot = table.fields[c.field].slot; slot != TotalSlot::None)
        sums[static_cast<std::size_t>(slot)] += AmountValue(text).value_or(0.0L);
    }
  }

  bool CompanionsEmpty(const FieldCheck& c) const {
    return std::all_of(c.companions.begin(), c.companions.end(),
                       [&](std::size_t f) { return Text(f).empty(); });
  }

  void Run(const FieldCheck& c) {
    const std::string& text = Text(c.field);
    switch (c.kind) {
      case CheckKind::EmptyWarns:
        if (text.empty() && CompanionsEmpty(c))
          Warn(kEmpty, c.field);
        else
          Apply(c);
        return;
      case CheckKind::Judged:
        Apply(c);
        return;
      case CheckKind::IfFilled:
        if (!text.empty()) Apply(c);
        return;
      case CheckKind::Negative:
        if (!text.empty() && text.front() == '-') Warn(kNegative, c.field);
        return;
      case CheckKind::EmptyInGroup:
        if (text.empty() && !CompanionsEmpty(c)) Warn(kEmpty, c.field);
        return;
    }
  }

  void RunAll() {
    for (const FieldCheck& c : table.checks) Run(c);
  }
};

template <class R>
void CheckTableFits(const SectionTable& table) {
  if (table.record_fields != Fields<R>().data())
    throw std::logic_error(std::string("section table ") + SectionCode(table.section) +
                           " read into the wrong record type");
}

std::string SectionSuffix(Section s) { return std::string(" v sekci ") + SectionCode(s); }

// Column positions (1-based) of the section's fields, from the import layout.
std::array<int, kMaxSectionFields> Positions(const TStatement& st, const SectionTable& table) {
  std::array<int, kMaxSectionFields> pos{};
  for (std::size_t k = 0; k < table.fields.size(); ++k) pos[k] = st.order.Of(table.section, k);
  return pos;
}

// Text of the cell at a 1-based position, empty when the row does not reach it.
std::string CellText(const TWorkbook& book, const TExportRow* row, int position) {
  if (row == nullptr || position < 1 || position > row->Cells.Count()) return {};
  return row->Cells.Items(position - 1).AsText(book);
}

// The section's sheet with what bounds its reading, when it was found and has rows; a found
// sheet without rows gets the empty-sheet mark. Empty means there is nothing to read.
struct SectionSheetView {
  TExportWorkSheet& sheet;
  int row_count;     // R
  int heading_rows;  // H
  int correction;    // c
};
std::optional<SectionSheetView> SectionSheet(TStatement& st, Section section) {
  const int sheet_index = st.SheetIndex(SheetSlotOf(section));
  if (sheet_index == kSheetNotFound) return std::nullopt;
  TExportWorkSheet& sheet = st.workbook.Sheets.Items(sheet_index);
  if (sheet.Rows.Count() == 0) {
    MarkEmptySheet(st, section);
    return std::nullopt;
  }
  return SectionSheetView{sheet, sheet.Rows.Count(), st.offsets.Of(section),
                          st.last_row_correction};
}

// Whether the run frees the section's sheet as it reads it: only when no later section reads
// the same sheet.
bool ReleasesSheet(const TStatement& st, Section section) {
  if (!st.release_workbook) return false;
  const int sheet = st.SheetIndex(SheetSlotOf(section));
  for (int s = static_cast<int>(section) + 1; s < static_cast<int>(kSectionCount); ++s)
    if (st.SheetIndex(SheetSlotOf(static_cast<Section>(s))) == sheet) return false;
  return true;
}
constexpr int kReleaseRows = 4096;

}  // namespace

template <class R>
void ReadRowSection(TStatement& st, const SectionTable& table, std::vector<R>& rows) {
  CheckTableFits<R>(table);
  rows.clear();  // the array holds this run's records only
  const Section section = table.section;
  const auto view = SectionSheet(st, section);
  if (!view) return;
  const TWorkbook& book = st.workbook;
  const auto& [sheet, row_count, heading_rows, correction] = *view;
  const auto fields = Fields<R>();
  const auto pos = Positions(st, table);
  // A data row must have at least this many cells; a position below 1 can never be reached.
  int reach = 0;
  for (std::size_t f : table.required) reach = std::max(reach, pos[f] < 1 ? INT_MAX : pos[f]);
  const int key_position = pos[table.key];

  const int first = std::max(heading_rows, 0);
  const int last = std::min(row_count - correction, row_count - 1);
  const auto& all_rows = sheet.Rows.All();
  // Reserve exactly the rows long enough to be data rows: a sheet padded with a million empty
  // rows must not reserve a million records.
  std::size_t candidates = 0;
  for (int r = first; r <= last; ++r)
    if (all_rows[static_cast<std::size_t>(r)].Cells.Count() >= reach) ++candidates;
  rows.reserve(candidates);
  AdviseHugePages(rows.data(), rows.capacity() * sizeof(R));

  const std::string suffix = SectionSuffix(section);
  SectionCounts counts;
  RunningSums sums{};
  const bool release = ReleasesSheet(st, section);
  for (int r = first; r <= last; ++r) {
    if (release && r % kReleaseRows == 0) sheet.ReleaseRowsBefore(r);
    const TExportRow& row = all_rows[static_cast<std::size_t>(r)];
    const int cells = row.Cells.Count();
    std::string key_text;
    if (cells >= reach) key_text = CellText(book, &row, key_position);
    if (key_text.empty()) {
      ++counts.skipped;
      std::string& m = st.warnings.emplace_back(kSkipped);
      AppendNumber(m, r + 1);
      m += table.skip_suffix;
      continue;
    }
    // Appended before the checks, so it is kept whatever they find; judged in place.
    R& record = rows.emplace_back();
    record.sheet_row = r + 1;
    RowJudge judge{st, table, suffix, r + 1, sums};
    for (std::size_t k = 0; k < fields.size(); ++k) {
      std::string& field = record.*fields[k].member;
      field = k == table.key ? std::move(key_text) : CellText(book, &row, pos[k]);
      if (fields[k].kind == FieldKind::LineNo) field = NormalizeAmount(field);
      judge.texts[k] = &field;
    }
    judge.RunAll();
    ++(judge.faulty ? counts.faulty : counts.read);
  }
  if (release) sheet.ReleaseRows();
  FinishSection(st, section, counts, row_count, heading_rows, correction, sums, table.sums);
}

template <class R>
void ReadAggregateSection(TStatement& st, const SectionTable& table, std::optional<R>& aggregate) {
  CheckTableFits<R>(table);
  aggregate.reset();  // an aggregate of an earlier run never survives into this one
  const Section section = table.section;
  const auto view = SectionSheet(st, section);
  if (!view) return;
  const TWorkbook& book = st.workbook;
  const auto& [sheet, row_count, heading_rows, correction] = *view;
  SectionCounts counts;
  RunningSums sums{};
  // Exactly the row below the headings is examined, even past the sheet's end (then empty);
  // none when the last row is left out.
  if (correction == 1) {
    const auto fields = Fields<R>();
    const auto pos = Positions(st, table);
    const TExportRow* row = sheet.Rows.Find(heading_rows);
    std::array<std::string, kMaxSectionFields> texts;
    bool empty = true;
    for (std::size_t k = 0; k < fields.size(); ++k) {
      texts[k] = CellText(book, row, pos[k]);
      empty = empty && texts[k].empty();
    }
    if (empty) {
      ++counts.skipped;
    } else {
      R& record = aggregate.emplace();
      record.sheet_row = heading_rows + 1;
      const std::string suffix = SectionSuffix(section);
      RowJudge judge{st, table, suffix, heading_rows + 1, sums};
      for (std::size_t k = 0; k < fields.size(); ++k) {
        std::string& field = record.*fields[k].member;
        field = std::move(texts[k]);
        judge.texts[k] = &field;
      }
      judge.RunAll();
      ++(judge.faulty ? counts.faulty : counts.read);
    }
  }
  FinishSection(st, section, counts, row_count, heading_rows, correction, sums, table.sums);
}

template void ReadRowSection(TStatement&, const SectionTable&, std::vector<tDataA1>&);
template void ReadRowSection(TStatement&, const SectionTable&, std::vector<tDataA2>&);
template void ReadRowSection(TStatement&, const SectionTable&, std::vector<tDataA3>&);
template void ReadRowSection(TStatement&, const SectionTable&, std::vector<tDataA4>&);
template void ReadRowSection(TStatement&, const SectionTable&, std::vector<tDataB1>&);
template void ReadRowSection(TStatement&, const SectionTable&, std::vector<tDataB2>&);
template void ReadAggregateSection(TStatement&, const SectionTable&, std::optional<tDataA5>&);
template void ReadAggregateSection(TStatement&, const SectionTable&, std::optional<tDataB3>&);

}  // namespace vestrano
