#include "cli/template.h"

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>

#include "data/field_rules.h"
#include "data/layout.h"
#include "data/records.h"
#include "data/text.h"
#include "export/atomic_file.h"
#include "import/section_tables.h"

namespace vestrano::cli {

namespace {

struct Column {
  int index;  // 0-based
  const char* heading;
  FieldKind kind;
  Rule rule;  // the import's check of the field, which decides its drop-down list
};

// The columns of a section, from the import's own table of it.
std::vector<Column> SectionColumns(Section s, const tDataOrder& order) {
  const SectionTable& table = SectionTableOf(s);
  std::vector<Column> out;
  for (std::size_t k = 0; k < table.fields.size(); ++k) {
    const SectionFieldInfo& f = table.fields[k];
    Rule rule = Rule::None;
    for (const FieldCheck& c : table.checks)
      if (c.field == k && rule == Rule::None) rule = c.rule;
    out.push_back({order.Of(s, k) - 1, f.heading ? f.heading : f.label, f.kind, rule});
  }
  return out;
}

// The values that the import's own check accepts among the candidates, so that a drop-down list
// can never offer a code the import refuses, nor miss one it takes.
std::vector<std::string> Accepted(const std::vector<std::string>& candidates,
                                  const std::function<bool(const std::string&)>& accepts) {
  std::vector<std::string> out;
  for (const std::string& c : candidates)
    if (accepts(c)) out.push_back(c);
  return out;
}

std::vector<std::string> Numbers(int from, int to) {
  std::vector<std::string> out;
  for (int i = from; i <= to; ++i) out.push_back(std::to_string(i));
  return out;
}

std::vector<std::string> Letters(int length) {
  std::vector<std::string> out = {""};
  for (int n = 0; n < length; ++n) {
    std::vector<std::string> longer;
    for (const std::string& prefix : out)
      for (char c = 'A'; c <= 'Z'; ++c) longer.push_back(prefix + c);
    out = std::move(longer);
  }
  return out;
}

// The drop-down list of a code field, by the rule that judges it; empty for other fields.
std::vector<std::string> CodeList(Rule rule) {
  switch (rule) {
    case Rule::SupplyCode:
      return Accepted(Numbers(1, 99), [](const std::string& s) { return IsSupplyCodeValid(s); });
    case Rule::RegimeCode:
      return Accepted(Numbers(0, 9), [](const std::string& s) { return IsRegimeCodeValid(s); });
    case Rule::YesNo:
      return Accepted(Letters(1), [](const std::string& s) { return IsYesNoValid(s); });
    case Rule::RatioFlag:
      return Accepted(Letters(1), [](const std::string& s) { return IsRatioFlagValid(s); });
    case Rule::CountryCode:
      return Accepted(Letters(2),
                      [](const std::string& s) { return NormalizeCountryCode(s) == s; });
    default:
      return {};
  }
}

// The drop-down list of a header or subject row with a code list, in the order a user looks for
// them.
std::vector<std::string> CodeList(SheetRule rule) {
  auto accepted = [](std::vector<std::string> candidates, bool (*accepts)(std::string_view)) {
    return Accepted(candidates, [&](const std::string& s) { return accepts(s); });
  };
  switch (rule) {
    case SheetRule::FormType:
      return accepted({"B", "O", "N", "E"}, &IsFormTypeValid);
    case SheetRule::CallReply:
      return accepted({"B", "P"}, &IsCallReplyValid);
    case SheetRule::SubjectType:
      return accepted({"P", "F"}, &IsSubjectTypeValid);
    case SheetRule::TaxOffice: {
      std::vector<std::string> offices = Numbers(451, 464);
      offices.push_back("13");
      return accepted(offices, &IsTaxOfficeValid);
    }
    case SheetRule::RepresentativeCode: {
      const std::vector<std::string> codes = {"1",  "2",  "3",  "4a", "4b", "4c",
                                              "5a", "5b", "6a", "6b", "7a", "7b"};
      return Accepted(codes, [](const std::string& c) {
        return IsRepresentativeCodeValid(c, "F") || IsRepresentativeCodeValid(c, "P");
      });
    }
    default:
      return {};
  }
}

void AddDropDown(lxw_worksheet* sheet, int first_row, int last_row, int column,
                 const std::vector<std::string>& values) {
  if (values.empty()) return;
  std::vector<char*> list;
  for (const std::string& v : values) list.push_back(const_cast<char*>(v.c_str()));
  list.push_back(nullptr);
  lxw_data_validation validation{};
  validation.validate = LXW_VALIDATION_TYPE_LIST;
  validation.value_list = list.data();
  // The import judges every value and says what is wrong; the list only offers the codes.
  validation.error_type = LXW_VALIDATION_ERROR_TYPE_WARNING;
  worksheet_data_validation_range(sheet, static_cast<lxw_row_t>(first_row),
                                  static_cast<lxw_col_t>(column), static_cast<lxw_row_t>(last_row),
                                  static_cast<lxw_col_t>(column), &validation);
}

double WidthFor(const std::string& text) {
  const double w = static_cast<double>(CharLength(text)) + 2;
  return w < 12 ? 12 : (w > 40 ? 40 : w);
}

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
  throw EFileWriteError(FileWriteMessage(path, reason));
}

}  // namespace

TemplateWorkbook::TemplateWorkbook(const std::string& path, const std::string& shown_path)
    : path_(shown_path.empty() ? path : shown_path) {
  book_ = workbook_new(path.c_str());
  if (!book_) Fail(path_, "sešit nelze založit");
  bold_ = workbook_add_format(book_);
  format_set_bold(bold_);
  text_ = workbook_add_format(book_);
  format_set_num_format(text_, "@");  // "00006947" keeps its zeros
  date_ = workbook_add_format(book_);
  format_set_num_format(date_, "d.m.yyyy");
  amount_ = workbook_add_format(book_);
  format_set_num_format(amount_, "#,##0.00");
  AddFixedSheet("Hlavička", true);
  AddFixedSheet("Subjekt", false);
  AddSectionSheets();
}

TemplateWorkbook::~TemplateWorkbook() {
  if (book_) lxw_workbook_free(book_);
}

void TemplateWorkbook::AddFixedSheet(const char* name, bool header) {
  lxw_worksheet* sheet = workbook_add_worksheet(book_, name);
  if (!sheet) Fail(path_, std::string("list ") + name + " nelze založit");
  SheetFormats entry{name, sheet, true, {}};
  worksheet_write_string(sheet, 0, 0, "Položka", bold_);
  worksheet_write_string(sheet, 0, 1, "Hodnota", bold_);
  double label_width = 12;
  // One row of the sheet: the field's label in column A, the cell to fill in column B.
  auto add_row = [&](int sheet_row, const char* label, SheetRule rule, lxw_format* format) {
    const auto row = static_cast<lxw_row_t>(sheet_row - 1);
    worksheet_write_string(sheet, row, 0, label, nullptr);
    // The cell exists, so a value typed into it keeps the format.
    if (format) worksheet_write_blank(sheet, row, 1, format);
    if (entry.formats.size() <= row) entry.formats.resize(row + 1, nullptr);
    entry.formats[row] = format;
    AddDropDown(sheet, sheet_row - 1, sheet_row - 1, 1, CodeList(rule));
    label_width = std::max(label_width, WidthFor(label));
  };
  // Year, quarter and month are numbers a user types; every other value but a date is text, so
  // that "00006947" keeps its zeros.
  auto format_of = [&](SheetRule rule) {
    if (rule == SheetRule::Date) return date_;
    if (rule == SheetRule::Year || rule == SheetRule::Quarter || rule == SheetRule::Month)
      return static_cast<lxw_format*>(nullptr);
    return text_;
  };
  if (header) {
    for (const HeaderFieldDef& f : HeaderFields())
      add_row(f.sheet_row, f.label, f.rule, format_of(f.rule));
  } else {
    for (const SubjectFieldDef& f : SubjectFields())
      add_row(f.sheet_row, f.label, f.rule, format_of(f.rule));
  }
  worksheet_set_column(sheet, 0, 0, label_width, nullptr);
  worksheet_set_column(sheet, 1, 1, 40, nullptr);
  sheets_.push_back(std::move(entry));
}

void TemplateWorkbook::AddSectionSheets() {
  const tDataSheets names;
  const tDataOffsets offsets;
  const tDataOrder order;
  for (std::size_t i = 0; i < kSectionCount; ++i) {
    const auto section = static_cast<Section>(i);
    lxw_worksheet* sheet = workbook_add_worksheet(book_, names.Of(section).c_str());
    if (!sheet) Fail(path_, "list " + names.Of(section) + " nelze založit");
    SheetFormats entry{names.Of(section), sheet, false, {}};
    // The heading stands in the last heading row; the data rows below stay absent, since a
    // prepared empty row would be read (and counted as skipped).
    const int heading_row = offsets.Of(section) - 1;
    for (const Column& c : SectionColumns(section, order)) {
      const std::string heading = *c.heading ? c.heading : "Číslo řádku";
      if (heading_row >= 0)
        worksheet_write_string(sheet, static_cast<lxw_row_t>(heading_row),
                               static_cast<lxw_col_t>(c.index), heading.c_str(), bold_);
      lxw_format* format = nullptr;
      switch (c.kind) {
        case FieldKind::Text:
        case FieldKind::Dic:
        case FieldKind::CountryCode:
        case FieldKind::VatId:
        case FieldKind::Code:
          format = text_;
          break;
        case FieldKind::Date:
          format = date_;
          break;
        case FieldKind::Amount:
          format = amount_;
          break;
        case FieldKind::LineNo:
          format = nullptr;
          break;
      }
      const auto col = static_cast<lxw_col_t>(c.index);
      worksheet_set_column(sheet, col, col, WidthFor(heading), format);
      if (entry.formats.size() <= static_cast<std::size_t>(c.index))
        entry.formats.resize(static_cast<std::size_t>(c.index) + 1, nullptr);
      entry.formats[static_cast<std::size_t>(c.index)] = format;
      AddDropDown(sheet, heading_row + 1, LXW_ROW_MAX - 1, c.index, CodeList(c.rule));
    }
    if (heading_row >= 0) worksheet_freeze_panes(sheet, static_cast<lxw_row_t>(heading_row + 1), 0);
    sheets_.push_back(std::move(entry));
  }
}

lxw_worksheet* TemplateWorkbook::Sheet(std::string_view name) const {
  for (const SheetFormats& s : sheets_)
    if (s.name == name) return s.sheet;
  return nullptr;
}

lxw_format* TemplateWorkbook::CellFormat(std::string_view name, int row, int column) const {
  for (const SheetFormats& s : sheets_) {
    if (s.name != name) continue;
    if (s.by_row && column != 1) return nullptr;
    const int at = s.by_row ? row : column;
    if (at < 0 || static_cast<std::size_t>(at) >= s.formats.size()) return nullptr;
    return s.formats[static_cast<std::size_t>(at)];
  }
  return nullptr;
}

void TemplateWorkbook::Close() {
  lxw_workbook* book = book_;
  book_ = nullptr;
  const lxw_error error = workbook_close(book);  // frees the workbook either way
  if (error != LXW_NO_ERROR) Fail(path_, lxw_strerror(error));
}

void WriteTemplate(const std::string& path) {
  const TOutputTarget target = CheckOutputTarget(path);
  // A filled workbook is never overwritten, not even through a link.
  if ((target.exists && S_ISREG(target.mode)) || (target.problem.empty() && target.path != path))
    Fail(path, kFileExists);
  if (!target.problem.empty()) throw std::runtime_error(target.problem);
  // Written unnamed beside the target and named at the end, so that a failure or a killed run
  // leaves no half-written workbook behind; the library opens the file by its path.
  TPendingFile file(path, NewFileMode());
  TemplateWorkbook book(file.Path(), path);
  book.Close();
  file.Publish(false);
}

}  // namespace vestrano::cli
