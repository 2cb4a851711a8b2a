#include "export/xml_writer.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <utility>

#include "data/date_text.h"
#include "data/decimal.h"
#include "data/field_rules.h"
#include "data/layout.h"
#include "data/section_c.h"
#include "data/text.h"

namespace vestrano {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// An exact amount in the filing form; nullopt past a thousand digits (no amount has them).
std::optional<std::string> FilingText(const DecimalNumber& d) {
  const std::optional<Hundredths> h = RoundToHundredths(d);
  if (!h) return std::nullopt;
  return PlainText(*h);
}

// ---- Elements -----------------------------------------------------------------------------

// One empty-element tag being assembled: "<Name a="v" b="w" />".
class TElement {
 public:
  explicit TElement(std::string_view name) : line_("<") { line_ += name; }
  void Attr(std::string_view name, std::string_view value) {
    line_ += ' ';
    line_ += name;
    line_ += "=\"";
    line_ += EscapeXml(value);
    line_ += '"';
  }
  std::string Close() && { return std::move(line_) + " />"; }

 private:
  std::string line_;
};

std::string VetaD(const tDataHeader& h) {
  TElement e("VetaD");
  e.Attr("k_uladis", "DPH");
  e.Attr("dokument", "KH1");
  if (const std::optional<TFilingPeriod> period = FilingPeriod(h))
    e.Attr(period->attribute, period->value);
  // Empty values are left out, never filled in: the import has said what is missing.
  for (const auto member :
       {&tDataHeader::rok, &tDataHeader::khdph_forma, &tDataHeader::d_poddp, &tDataHeader::d_zjist,
        &tDataHeader::c_jed_vyzvy, &tDataHeader::vyzva_odp, &tDataHeader::zdobd_od,
        &tDataHeader::zdobd_do}) {
    if (!(h.*member).empty())
      e.Attr(HeaderFields()[FieldIndex(HeaderFields(), member)].name, h.*member);
  }
  return std::move(e).Close();
}

// The text written for a stored, non-empty field value. A value that its check accepts is
// written in its normal form, so an accepted "1000,5", "de", "CZ25596641" or "a" does not end
// up in a document the filing format refuses. Rejected values stay as stored.
std::string WrittenValue(FieldKind kind, const std::string& stored) {
  switch (kind) {
    case FieldKind::Date:
      if (std::string date = NormalizeDate(stored); !date.empty()) return date;
      break;
    case FieldKind::Amount:
      // An accepted amount has at most two decimals: its filing form is its own value.
      if (const auto amount = AcceptedAmount(stored))
        if (auto filing = FilingText(*amount)) return *std::move(filing);
      break;
    case FieldKind::Dic:
      if (std::string dic = NormalizeDIC(stored); !dic.empty()) return dic;
      break;
    case FieldKind::CountryCode:
      if (std::string code = NormalizeCountryCode(stored); !code.empty()) return code;
      break;
    case FieldKind::Code:
      // The accepted codes are single letters in either case; the form wants capitals.
      if (IsYesNoValid(stored) && stored.size() == 1 && stored[0] >= 'a')
        return std::string(1, static_cast<char>(stored[0] - 'a' + 'A'));
      break;
    case FieldKind::VatId:  // needs its row's country: RowElement
    case FieldKind::LineNo:
    case FieldKind::Text:
      break;
  }
  return stored;
}

// The text written for a subject value that is not empty: an accepted value in the form the
// filing wants, any other as it was read.
std::string SubjectValue(const SubjectFieldDef& f, const tSubject& s) {
  const std::string& value = s.*(f.member);
  switch (f.rule) {
    case SheetRule::Date:
      return WrittenValue(FieldKind::Date, value);
    case SheetRule::Dic:
      return WrittenValue(FieldKind::Dic, value);
    case SheetRule::Psc:
      return NormalizePsc(value, s.stat).value_or(value);
    default:
      return value;
  }
}

std::string VetaP(const tSubject& s) {
  TElement e("VetaP");
  for (const SubjectFieldDef& f : SubjectFields()) {
    if (!f.written || (s.*(f.member)).empty()) continue;
    e.Attr(f.name, SubjectValue(f, s));
  }
  return std::move(e).Close();
}

template <class R>
std::string RowElement(std::string_view element, const R& record) {
  TElement e(element);
  for (const FieldDef<R>& f : Fields<R>()) {
    const std::string& stored = record.*(f.member);
    if (stored.empty()) continue;
    if constexpr (requires { record.k_stat; }) {
      // The country is in k_stat; the form wants the VAT ID without it.
      if (f.kind == FieldKind::VatId) {
        e.Attr(f.name, VatIdWithoutCountry(stored, record.k_stat).value_or(stored));
        continue;
      }
    }
    e.Attr(f.name, WrittenValue(f.kind, stored));
  }
  return std::move(e).Close();
}

std::string VetaC(const tDataTotals& t) {
  TElement e("VetaC");
  for (const SectionCLine& line : SectionCLines())
    e.Attr(line.attribute, FilingTotal(SectionCValue(line, t)));
  return std::move(e).Close();
}

void AppendLine(TFilingDocument& doc, std::string_view line, std::string source = {}) {
  doc.text += line;
  doc.text += kLineEnd;
  doc.line_sources.push_back(std::move(source));
}

// " (ř.č.12 v sekci A1)": the row a record was read from, as the import's messages name it.
std::string RowSource(Section section, int sheet_row) {
  if (sheet_row <= 0) return {};
  return " (ř.č." + std::to_string(sheet_row) + " v sekci " + SectionCode(section) + ")";
}

template <class R>
void AppendRows(TFilingDocument& doc, Section section, const std::vector<R>& rows) {
  const std::string element = std::string("Veta") + SectionCode(section);
  for (const R& row : rows)
    AppendLine(doc, RowElement(element, row), RowSource(section, row.sheet_row));
}

template <class R>
void AppendAggregate(TFilingDocument& doc, Section section, const R& record) {
  AppendLine(doc, RowElement(std::string("Veta") + SectionCode(section), record),
             RowSource(section, record.sheet_row));
}

}  // namespace

std::string EscapeXml(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  std::size_t i = 0;
  while (i < value.size()) {
    char32_t cp = 0;
    const std::size_t len = DecodeUtf8(value, i, cp);
    if (len == 0) {
      out += "\xEF\xBF\xBD";  // a byte that is not UTF-8
      ++i;
      continue;
    }
    const std::string_view seq = value.substr(i, len);
    i += len;
    switch (cp) {
      case '&':
        out += "&amp;";
        continue;
      case '<':
        out += "&lt;";
        continue;
      case '"':
        out += "&quot;";
        continue;
      case '\t':
        out += "&#9;";
        continue;
      case '\n':
        out += "&#10;";
        continue;
      case '\r':
        out += "&#13;";
        continue;
      default:
        break;
    }
    const bool unusable =
        cp < 0x20 || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF;
    if (!unusable) out += seq;
  }
  return out;
}

std::optional<std::string> FilingAmount(std::string_view s) {
  const std::optional<DecimalNumber> d = ParseDecimal(s);
  if (!d) return std::nullopt;
  return FilingText(*d);
}

std::string FilingTotal(long double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  return PlainText(RoundToHundredths(value));
}

std::string WithSaveExtension(const std::string& name, std::string_view extension) {
  if (name.size() >= extension.size()) {
    std::string tail = name.substr(name.size() - extension.size());
    for (char& c : tail) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (tail == extension) return name;
  }
  return name + std::string(extension);
}

std::string WithXmlExtension(const std::string& name) { return WithSaveExtension(name, ".xml"); }

std::optional<TFilingPeriod> FilingPeriod(const tDataHeader& h) {
  if (!h.mesic.empty()) return TFilingPeriod{"mesic", h.mesic};
  if (!h.ctvrt.empty()) return TFilingPeriod{"ctvrt", h.ctvrt};
  return std::nullopt;
}

TFilingDocument BuildFilingDocument(const TFilingData& data) {
  const TStatementRecords& r = data.records;
  TFilingDocument doc;
  AppendLine(doc, R"(<?xml version="1.0" encoding="UTF-8"?>)");
  AppendLine(doc, "<Pisemnost nazevSW=\"Vestrano\" verzeSW=\"" VESTRANO_VERSION "\">");
  AppendLine(doc, R"(<DPHKH1 verzePis="01.02">)");
  AppendLine(doc, VetaD(data.header), " (list Hlavička)");
  AppendLine(doc, VetaP(data.subject), " (list Subjekt)");
  AppendRows(doc, Section::A1, r.a1);
  AppendRows(doc, Section::A2, r.a2);
  AppendRows(doc, Section::A3, r.a3);
  AppendRows(doc, Section::A4, r.a4);
  if (data.a5_sheet_found && r.a5) AppendAggregate(doc, Section::A5, *r.a5);
  AppendRows(doc, Section::B1, r.b1);
  AppendRows(doc, Section::B2, r.b2);
  if (data.b3_sheet_found && r.b3) AppendAggregate(doc, Section::B3, *r.b3);
  // A reply to a call confirms or empties the statement: it has no section C.
  if (!IsCallReplyValid(data.header.vyzva_odp)) AppendLine(doc, VetaC(data.totals), " (oddíl C)");
  AppendLine(doc, "</DPHKH1>");
  AppendLine(doc, "</Pisemnost>");
  return doc;
}

std::string BuildDocument(const TFilingData& data) { return BuildFilingDocument(data).text; }

}  // namespace vestrano
