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
#include "data/text.h"
#include "workbook/memory.h"

namespace vestrano {

namespace {

constexpr std::string_view kInvalid = "Neplatný údaj ";
constexpr std::string_view kEmpty = "Prázdný údaj ";
constexpr std::string_view kNegative = "Záporná hodnota ";
constexpr std::string_view kRowNo = " v ř.č.";
constexpr std::string_view kSkipped = "Vynechaný řádek č.";
constexpr std::string_view kCountryLeftOut = "Kód státu vynechán z údaje ";
constexpr std::string_view kCheckDigit = "Neplatný kontrolní součet ";

void AppendNumber(std::string& out, int n) {
  char buf[16];
  const auto res = std::to_chars(buf, buf + sizeof buf, n);
  out.append(buf, res.ptr);
}

// Messages are formatted only here, and only when emitted: text, row number, suffix.
void Emit(std::vector<std::string>& list, std::vector<TMessagePlace>& places,
          std::string_view prefix, std::string_view label, int row_number, std::string_view suffix,
          TMessagePlace place) {
  std::string& m = list.emplace_back();
  m.reserve(prefix.size() + label.size() + kRowNo.size() + 10 + suffix.size());
  m += prefix;
  m += label;
  m += kRowNo;
  AppendNumber(m, row_number);
  m += suffix;
  places.push_back(place);
}

// The rules that need nothing but the field's own text.
bool Passes(Rule rule, const std::string& text, std::size_t max_length) {
  switch (rule) {
    case Rule::None:
    case Rule::VatId:  // judged with its row's country
      return true;
    case Rule::Date:
      return !NormalizeDate(text).empty();
    case Rule::Amount:
      return !NormalizeAmount(text).empty();
    case Rule::DIC:
      return !NormalizeDIC(text).empty();
    case Rule::CountryCode:
      return !NormalizeCountryCode(text).empty();
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
    case Rule::Length:
      return CharLength(text) <= max_length;
  }
  return false;
}

// One stored row (or aggregate) being judged: its field texts and what the checks found.
struct RowJudge {
  SectionRun& out;
  const SectionTable& table;
  std::string_view suffix;  // " v sekci A1"
  int row_number;           // spreadsheet row: index + 1
  std::array<const std::string*, kMaxSectionFields> texts{};
  // An amount from a number cell whose text lost cents its value holds.
  std::array<bool, kMaxSectionFields> unfaithful{};
  bool faulty = false;

  const std::string& Text(std::size_t field) const { return *texts[field]; }
  std::string_view Label(std::size_t field) const { return table.fields[field].label; }
  TMessagePlace Place(std::size_t field) const {
    return {SheetSlotOf(table.section), row_number, table.fields[field].name};
  }
  void Error(std::size_t field) {
    Emit(out.errors, out.error_places, kInvalid, Label(field), row_number, suffix, Place(field));
    faulty = true;
  }
  void Warn(std::string_view prefix, std::size_t field) {
    Emit(out.warnings, out.warning_places, prefix, Label(field), row_number, suffix, Place(field));
  }

  bool Accepts(const FieldCheck& c, const std::string& text) const {
    if (c.rule == Rule::VatId)
      return IsVATIDValid(text, table.country != kNoField ? Text(table.country) : "");
    return Passes(c.rule, text, table.fields[c.field].max_length);
  }

  void Apply(const FieldCheck& c) {
    const std::string& text = Text(c.field);
    if (c.rule == Rule::Amount) {
      // Judged and valued in one reading; accepted amounts are summed whatever the verdict of
      // the row turns out to be.
      const auto value = unfaithful[c.field] ? std::nullopt : AcceptedAmountValue(text);
      if (!value)
        Error(c.field);
      else if (const auto slot = table.fields[c.field].slot; slot != TotalSlot::None)
        out.sums[static_cast<std::size_t>(slot)] += *value;
      return;
    }
    if (!Accepts(c, text)) {
      Error(c.field);
    } else if (c.rule == Rule::VatId && table.country != kNoField) {
      // The XML leaves the country code out of such a VAT ID; say so, the cell stays as it is.
      if (VatIdWithoutCountry(text, Text(table.country))) Warn(kCountryLeftOut, c.field);
    } else if (c.rule == Rule::DIC) {
      if (HasCountryPrefix(text)) Warn(kCountryLeftOut, c.field);
      if (!HasValidCheckDigit(DicDigits(text))) Warn(kCheckDigit, c.field);
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

// The cell at a 1-based position, nullptr when the row does not reach it.
const TExportCell* CellAt(const TExportRow* row, int position) {
  if (row == nullptr || position < 1 || position > row->Cells.Count()) return nullptr;
  return &row->Cells.Items(position - 1);
}

// What a field stores from its cell: a date field takes the day of a date-time cell, whatever
// time it shows. Marks an amount whose number cell shows fewer cents than it holds.
std::string FieldText(const TWorkbook& book, const TExportRow* row, int position, FieldKind kind,
                      bool& unfaithful) {
  const TExportCell* cell = CellAt(row, position);
  if (!cell) return {};
  if (kind == FieldKind::Date) return cell->DayText(book);
  std::string text = cell->AsText(book);
  if (kind == FieldKind::Amount && IsNumberKind(cell->Kind()))
    unfaithful = !IsAmountTextFaithful(cell->Value(), text);
  return text;
}

// The section's sheet, when it was found and has rows; a found sheet without rows gets the
// empty-sheet mark. Empty means there is nothing to read. Sets what bounds the reading in out.
TExportWorkSheet* SectionSheet(TStatement& st, Section section, SectionRun& out) {
  const std::optional<int> sheet_index = st.SheetIndex(SheetSlotOf(section));
  if (!sheet_index) return nullptr;
  TExportWorkSheet& sheet = st.workbook.Sheets.Items(*sheet_index);
  if (sheet.Rows.Count() == 0) {
    out.empty_sheet = true;
    return nullptr;
  }
  out.finished = true;
  out.row_count = sheet.Rows.Count();
  out.heading_rows = st.offsets.Of(section);
  out.correction = st.last_row_correction;
  return &sheet;
}

// Whether the run frees the section's sheet as it reads it: only when no later section reads
// the same sheet.
bool ReleasesSheet(const TStatement& st, Section section) {
  if (!st.release_workbook) return false;
  const std::optional<int> sheet = st.SheetIndex(SheetSlotOf(section));
  for (int s = static_cast<int>(section) + 1; s < static_cast<int>(kSectionCount); ++s)
    if (st.SheetIndex(SheetSlotOf(static_cast<Section>(s))) == sheet) return false;
  return true;
}
constexpr int kReleaseRows = 4096;

}  // namespace

template <class R>
SectionRun ReadRowSectionApart(TStatement& st, const SectionTable& table, std::vector<R>& rows) {
  CheckTableFits<R>(table);
  rows.clear();  // the array holds this run's records only
  SectionRun out;
  const Section section = table.section;
  TExportWorkSheet* const found = SectionSheet(st, section, out);
  if (!found) return out;
  TExportWorkSheet& sheet = *found;
  const TWorkbook& book = st.workbook;
  const int row_count = out.row_count, heading_rows = out.heading_rows, correction = out.correction;
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
  SectionCounts& counts = out.counts;
  const bool release = ReleasesSheet(st, section);
  for (int r = first; r <= last; ++r) {
    if (release && r % kReleaseRows == 0) sheet.ReleaseRowsBefore(r);
    const TExportRow& row = all_rows[static_cast<std::size_t>(r)];
    const int cells = row.Cells.Count();
    std::string key_text;
    bool key_unfaithful = false;  // the key is never an amount
    if (cells >= reach)
      key_text = FieldText(book, &row, key_position, fields[table.key].kind, key_unfaithful);
    if (key_text.empty()) {
      ++counts.skipped;
      std::string& m = out.warnings.emplace_back(kSkipped);
      AppendNumber(m, r + 1);
      m += table.skip_suffix;
      out.warning_places.push_back({SheetSlotOf(section), r + 1, nullptr});
      continue;
    }
    // Appended before the checks, so it is kept whatever they find; judged in place.
    R& record = rows.emplace_back();
    record.sheet_row = r + 1;
    RowJudge judge{out, table, suffix, r + 1};
    for (std::size_t k = 0; k < fields.size(); ++k) {
      std::string& field = record.*fields[k].member;
      field = k == table.key ? std::move(key_text)
                             : FieldText(book, &row, pos[k], fields[k].kind, judge.unfaithful[k]);
      if (fields[k].kind == FieldKind::LineNo) field = NormalizeAmount(field);
      judge.texts[k] = &field;
    }
    judge.RunAll();
    ++(judge.faulty ? counts.faulty : counts.read);
  }
  if (release) sheet.ReleaseRows();
  return out;
}

template <class R>
SectionRun ReadAggregateSectionApart(TStatement& st, const SectionTable& table,
                                     std::optional<R>& aggregate) {
  CheckTableFits<R>(table);
  aggregate.reset();  // an aggregate of an earlier run never survives into this one
  SectionRun out;
  const Section section = table.section;
  const TExportWorkSheet* const sheet = SectionSheet(st, section, out);
  if (!sheet) return out;
  const TWorkbook& book = st.workbook;
  const int heading_rows = out.heading_rows, correction = out.correction;
  SectionCounts& counts = out.counts;
  // Exactly the row below the headings is examined, even past the sheet's end (then empty);
  // none when the last row is left out.
  if (correction == 1) {
    const auto fields = Fields<R>();
    const auto pos = Positions(st, table);
    const TExportRow* row = sheet->Rows.Find(heading_rows);
    std::array<std::string, kMaxSectionFields> texts;
    std::array<bool, kMaxSectionFields> unfaithful{};
    bool empty = true;
    for (std::size_t k = 0; k < fields.size(); ++k) {
      texts[k] = FieldText(book, row, pos[k], fields[k].kind, unfaithful[k]);
      empty = empty && texts[k].empty();
    }
    if (empty) {
      ++counts.skipped;
    } else {
      R& record = aggregate.emplace();
      record.sheet_row = heading_rows + 1;
      const std::string suffix = SectionSuffix(section);
      RowJudge judge{out, table, suffix, heading_rows + 1};
      judge.unfaithful = unfaithful;
      for (std::size_t k = 0; k < fields.size(); ++k) {
        std::string& field = record.*fields[k].member;
        field = std::move(texts[k]);
        judge.texts[k] = &field;
      }
      judge.RunAll();
      ++(judge.faulty ? counts.faulty : counts.read);
    }
  }
  return out;
}

void PutSection(TStatement& st, const SectionTable& table, SectionRun&& run) {
  auto append = [](std::vector<std::string>& to, std::vector<std::string>& from) {
    if (to.empty()) {
      to.swap(from);
      return;
    }
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
  };
  append(st.warnings, run.warnings);
  append(st.errors, run.errors);
  auto append_places = [](std::vector<TMessagePlace>& to, std::vector<TMessagePlace>& from) {
    to.insert(to.end(), from.begin(), from.end());
  };
  append_places(st.warning_places, run.warning_places);
  append_places(st.error_places, run.error_places);
  if (run.empty_sheet) MarkEmptySheet(st, table.section);
  if (run.finished)
    FinishSection(st, table.section, run.counts, run.row_count, run.heading_rows, run.correction,
                  run.sums, table.sums);
}

template <class R>
void ReadRowSection(TStatement& st, const SectionTable& table, std::vector<R>& rows) {
  PutSection(st, table, ReadRowSectionApart(st, table, rows));
}

template <class R>
void ReadAggregateSection(TStatement& st, const SectionTable& table, std::optional<R>& aggregate) {
  PutSection(st, table, ReadAggregateSectionApart(st, table, aggregate));
}

#define VESTRANO_ROW_SECTION(R)                                                               \
  template SectionRun ReadRowSectionApart(TStatement&, const SectionTable&, std::vector<R>&); \
  template void ReadRowSection(TStatement&, const SectionTable&, std::vector<R>&);
#define VESTRANO_AGGREGATE_SECTION(R)                                             \
  template SectionRun ReadAggregateSectionApart(TStatement&, const SectionTable&, \
                                                std::optional<R>&);               \
  template void ReadAggregateSection(TStatement&, const SectionTable&, std::optional<R>&);
VESTRANO_ROW_SECTION(tDataA1)
VESTRANO_ROW_SECTION(tDataA2)
VESTRANO_ROW_SECTION(tDataA3)
VESTRANO_ROW_SECTION(tDataA4)
VESTRANO_ROW_SECTION(tDataB1)
VESTRANO_ROW_SECTION(tDataB2)
VESTRANO_AGGREGATE_SECTION(tDataA5)
VESTRANO_AGGREGATE_SECTION(tDataB3)

}  // namespace vestrano
