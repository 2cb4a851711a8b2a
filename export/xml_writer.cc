#include "export/xml_writer.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <utility>

#include "data/date_text.h"
#include "data/field_rules.h"
#include "data/layout.h"
#include "data/text.h"

namespace vestrano {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// ---- Escaping -----------------------------------------------------------------------------

// ---- Amounts ------------------------------------------------------------------------------

// "-12.5" style text of n / 100, n a decimal digit string without sign.
std::string HundredthsText(bool negative, std::string n) {
  const std::size_t first = n.find_first_not_of('0');
  if (first == std::string::npos) return "0";
  n.erase(0, first);
  if (n.size() < 3) n.insert(0, 3 - n.size(), '0');
  std::string integer = n.substr(0, n.size() - 2);
  std::string fraction = n.substr(n.size() - 2);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  std::string out = negative ? "-" : "";
  out += integer;
  if (!fraction.empty()) out += "." + fraction;
  return out;
}

// Adds one to a decimal digit string.
void Increment(std::string& digits) {
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (*it != '9') {
      ++*it;
      return;
    }
    *it = '0';
  }
  digits.insert(digits.begin(), '1');
}

// Doubles a decimal digit string.
void Double(std::string& digits) {
  int carry = 0;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    const int d = (*it - '0') * 2 + carry;
    *it = static_cast<char>('0' + d % 10);
    carry = d / 10;
  }
  if (carry) digits.insert(digits.begin(), '1');
}

std::string U128Text(unsigned __int128 v) {
  if (v == 0) return "0";
  std::string out;
  while (v != 0) {
    out.insert(out.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
    v /= 10;
  }
  return out;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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
  for (const auto member : {&tDataHeader::rok, &tDataHeader::khdph_forma, &tDataHeader::d_poddp,
                            &tDataHeader::d_zjist, &tDataHeader::c_jed_vyzvy,
                            &tDataHeader::vyzva_odp, &tDataHeader::zdobd_od,
                            &tDataHeader::zdobd_do}) {
    if ((h.*member).empty()) continue;
    for (const HeaderFieldDef& f : HeaderFields())
      if (f.member == member) e.Attr(f.name, h.*member);
  }
  return std::move(e).Close();
}

// The text written for a subject value that is not empty: an accepted value in the form the
// filing wants, any other as it was read.
std::string SubjectValue(const SubjectFieldDef& f, const tSubject& s) {
  const std::string& value = s.*(f.member);
  switch (f.rule) {
    case SheetRule::Date:
      if (std::string date = NormalizeDate(value); !date.empty()) return date;
      break;
    case SheetRule::Dic:
      if (std::string dic = NormalizeDIC(value); !dic.empty()) return dic;
      break;
    case SheetRule::Psc:
      if (auto psc = NormalizePsc(value, s.stat)) return *psc;
      break;
    default:
      break;
  }
  return value;
}

std::string VetaP(const tSubject& s) {
  TElement e("VetaP");
  for (const SubjectFieldDef& f : SubjectFields()) {
    if (!f.written || (s.*(f.member)).empty()) continue;
    e.Attr(f.name, SubjectValue(f, s));
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
      if (!NormalizeAmount(stored).empty())
        if (auto filing = FilingAmount(stored)) return *filing;
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
  using S = TotalSlot;
  struct Sum {
    const char* name;
    std::initializer_list<S> slots;
  };
  const Sum kSums[] = {
      {"obrat23", {S::A4_zakl_dane1, S::A5_zakl_dane1}},
      {"obrat5", {S::A4_zakl_dane2, S::A5_zakl_dane2, S::A4_zakl_dane3, S::A5_zakl_dane3}},
      {"pln23", {S::B2_zakl_dane1, S::B3_zakl_dane1}},
      {"pln5", {S::B2_zakl_dane2, S::B2_zakl_dane3, S::B3_zakl_dane2, S::B3_zakl_dane3}},
      {"pln_rez_pren", {S::A1_zakl_dane1}},
      {"rez_pren23", {S::B1_zakl_dane1}},
      {"rez_pren5", {S::B1_zakl_dane2, S::B1_zakl_dane3}},
      {"celk_zd_a2", {S::A2_zakl_dane1, S::A2_zakl_dane2, S::A2_zakl_dane3}},
  };
  TElement e("VetaC");
  for (const Sum& sum : kSums) {
    long double total = 0;
    for (S slot : sum.slots) total += static_cast<long double>(t[slot]);
    e.Attr(sum.name, FilingTotal(total));
  }
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
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n && s[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  std::string digits;  // integer digits, then fraction digits
  long long fraction_digits = 0;
  bool mantissa = false;
  while (i < n && IsDigit(s[i])) digits += s[i++], mantissa = true;
  if (i < n && (s[i] == ',' || s[i] == '.')) {
    ++i;
    mantissa = true;
    while (i < n && IsDigit(s[i])) digits += s[i++], ++fraction_digits;
  }
  if (!mantissa) return std::nullopt;
  long long exponent = 0;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool exponent_negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) exponent_negative = s[i++] == '-';
    if (i >= n || !IsDigit(s[i])) return std::nullopt;
    // Saturates: an exponent this large leaves either zero or a value no amount can have.
    while (i < n && IsDigit(s[i])) exponent = std::min(exponent * 10 + (s[i++] - '0'), 1'000'000LL);
    if (exponent_negative) exponent = -exponent;
  }
  while (i < n && s[i] == ' ') ++i;
  if (i != n) return std::nullopt;

  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return "0";
  digits.erase(0, first);
  // The value times 100 is digits × 10^scale.
  const long long scale = exponent - fraction_digits + 2;
  if (scale >= 0) {
    if (static_cast<long long>(digits.size()) + scale > 1000) return std::nullopt;
    digits.append(static_cast<std::size_t>(scale), '0');
    return HundredthsText(negative, std::move(digits));
  }
  const long long dropped = -scale;
  if (dropped > static_cast<long long>(digits.size())) return "0";
  const std::size_t keep = digits.size() - static_cast<std::size_t>(dropped);
  const bool round_up = digits[keep] >= '5';  // half away from zero
  digits.resize(keep);
  if (digits.empty()) digits.push_back('0');
  if (round_up) Increment(digits);
  return HundredthsText(negative, std::move(digits));
}

// The exact split below takes the whole significand into 64 bits.
static_assert(std::numeric_limits<long double>::digits <= 64);

std::string FilingTotal(long double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  const bool negative = std::signbit(value);
  int e = 0;
  const long double m = std::frexp(std::fabs(value), &e);  // value = m × 2^e, m in [0.5, 1)
  // The 64-bit significand as an integer: |value| = significand × 2^shift, exactly.
  const auto significand = static_cast<std::uint64_t>(std::ldexp(m, 64));
  const int shift = e - 64;
  if (shift >= 0) {
    std::string digits = U128Text(significand) + "00";
    for (int k = 0; k < shift; ++k) Double(digits);
    return HundredthsText(negative, std::move(digits));
  }
  const int s = -shift;
  if (s >= 72) return "0";  // significand × 100 < 2^71: below half a hundredth
  const unsigned __int128 hundred = static_cast<unsigned __int128>(significand) * 100;
  unsigned __int128 q = hundred >> s;
  const unsigned __int128 r = hundred - (q << s);
  if (r >= (static_cast<unsigned __int128>(1) << (s - 1))) ++q;  // half away from zero
  return HundredthsText(negative, U128Text(q));
}

std::string WithXmlExtension(const std::string& name) {
  if (name.size() >= 4) {
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (tail == ".xml") return name;
  }
  return name + ".xml";
}

std::optional<TFilingPeriod> FilingPeriod(const tDataHeader& h) {
  if (!h.mesic.empty()) return TFilingPeriod{"mesic", h.mesic};
  if (!h.ctvrt.empty()) return TFilingPeriod{"ctvrt", h.ctvrt};
  return std::nullopt;
}

bool IsCallReply(const tDataHeader& h) { return IsCallReplyValid(h.vyzva_odp); }

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
  if (!IsCallReply(data.header)) AppendLine(doc, VetaC(data.totals), " (oddíl C)");
  AppendLine(doc, "</DPHKH1>");
  AppendLine(doc, "</Pisemnost>");
  return doc;
}

std::string BuildDocument(const TFilingData& data) { return BuildFilingDocument(data).text; }

}  // namespace vestrano
