#include "data/field_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "data/decimal.h"
#include "data/number_text.h"
#include "data/text.h"

namespace vestrano {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The form's table of countries and the VAT ID formats it gives for each. In a format, "d" is a
// digit, "a" a capital letter, "f" a capital letter other than I and O, "n" a digit, a capital
// letter, "+" or "*"; any other character stands for itself. Northern Ireland (XI) and Great
// Britain keep the formats they had.
struct VatFormat {
  const char* code;
  std::string_view formats;  // separated by blanks
};
// clang-format off
const VatFormat kVatFormats[] = {
    {"AT", "Udddddddd"},
    {"BE", "dddddddddd"},
    {"BG", "ddddddddd dddddddddd"},
    {"CY", "dddddddda"},
    {"CZ", "dddddddd ddddddddd dddddddddd"},
    {"DE", "ddddddddd"},
    {"DK", "dddddddd"},
    {"EE", "ddddddddd"},
    {"EL", "ddddddddd"},
    {"ES", "adddddddd dddddddda addddddda"},
    {"FI", "dddddddd"},
    {"FR", "ddddddddddd fdddddddddd dfddddddddd ffddddddddd"},
    {"GB", "ddddddddd dddddddddddd GDddd HAddd"},
    {"HR", "ddddddddddd"},
    {"HU", "dddddddd"},
    {"IE", "ddddddda daddddda dddddddaa"},
    {"IT", "ddddddddddd"},
    {"LT", "ddddddddd dddddddddddd"},
    {"LU", "dddddddd"},
    {"LV", "ddddddddddd"},
    {"MT", "dddddddd"},
    {"NL", "dddddddddBdd nnnnnnnnnndd"},
    {"PL", "dddddddddd"},
    {"PT", "ddddddddd"},
    {"RO", "dd ddd dddd ddddd dddddd ddddddd dddddddd ddddddddd dddddddddd"},
    {"SE", "dddddddddddd"},
    {"SI", "dddddddd"},
    {"SK", "dddddddddd"},
    {"XI", "ddddddddd dddddddddddd GDddd HAddd"},
};
// clang-format on

const VatFormat* VatFormatOf(std::string_view upper_code) {
  for (const VatFormat& f : kVatFormats)
    if (upper_code == f.code) return &f;
  return nullptr;
}

bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }

bool Matches(std::string_view s, std::string_view format) {
  if (s.size() != format.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    switch (format[i]) {
      case 'd':
        if (!IsDigit(c)) return false;
        break;
      case 'a':
        if (!IsUpper(c)) return false;
        break;
      case 'f':
        if (!IsUpper(c) || c == 'I' || c == 'O') return false;
        break;
      case 'n':
        if (!IsDigit(c) && !IsUpper(c) && c != '+' && c != '*') return false;
        break;
      default:
        if (c != format[i]) return false;
    }
  }
  return true;
}

// The two check digits of a Dutch VAT ID lie in a narrower range than any two digits: 01 to 99
// after the "B" of the older form, 02 to 98 in the newer one.
bool DutchSuffixValid(std::string_view s) {
  const int last = (s[10] - '0') * 10 + (s[11] - '0');
  return s[9] == 'B' ? last >= 1 : last >= 2 && last <= 98;
}

bool HasVatFormat(std::string_view s, const VatFormat& country) {
  for (std::string_view rest = country.formats; !rest.empty();) {
    const std::size_t blank = std::min(rest.find(' '), rest.size());
    const std::string_view format = rest.substr(0, blank);
    rest.remove_prefix(std::min(blank + 1, rest.size()));
    if (!Matches(s, format)) continue;
    if (std::string_view(country.code) == "NL" && !DutchSuffixValid(s)) continue;
    return true;
  }
  return false;
}

// The first two characters of s in capitals equal code.
bool StartsWithCode(std::string_view s, std::string_view code) {
  if (s.size() < 2) return false;
  for (std::size_t i = 0; i < 2; ++i) {
    char c = s[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != code[i]) return false;
  }
  return true;
}

bool IsOneOf(std::string_view s, std::initializer_list<std::string_view> options) {
  return std::find(options.begin(), options.end(), s) != options.end();
}

}  // namespace

std::string_view DicDigits(std::string_view s) {
  if (StartsWithCode(s, "CZ")) s.remove_prefix(2);
  if (s.size() < 8 || s.size() > 10) return {};
  if (!std::all_of(s.begin(), s.end(), IsDigit)) return {};
  return s;
}

std::string NormalizeDIC(std::string_view s) { return std::string(DicDigits(s)); }

bool HasCountryPrefix(std::string_view dic) {
  return StartsWithCode(dic, "CZ") && !DicDigits(dic).empty();
}

bool IsVatGroup(std::string_view dic_digits) { return dic_digits.starts_with("699"); }

bool HasValidCheckDigit(std::string_view d) {
  if (IsVatGroup(d) || !std::all_of(d.begin(), d.end(), IsDigit)) return true;
  auto digit = [&](std::size_t i) { return d[i] - '0'; };
  if (d.size() == 8) {
    int sum = 0;
    for (std::size_t i = 0; i < 7; ++i) sum += digit(i) * static_cast<int>(8 - i);
    return (11 - sum % 11) % 10 == digit(7);
  }
  if (d.size() == 10) {
    long long whole = 0;
    for (char c : d) whole = whole * 10 + (c - '0');
    if (whole % 11 == 0) return true;
    // Birth numbers given before 1986 whose first nine digits leave 10 end in 0.
    return (whole / 10) % 11 == 10 && digit(9) == 0;
  }
  return true;
}

std::string NormalizeCountryCode(std::string_view s) {
  if (s.size() != 2) return {};
  std::string up(s);
  for (char& c : up)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return VatFormatOf(up) ? up : std::string();
}

bool IsVATIDValid(std::string_view s, std::string_view k_stat) {
  if (s.empty()) return true;
  const std::string code = NormalizeCountryCode(k_stat);
  if (const VatFormat* country = code.empty() ? nullptr : VatFormatOf(code)) {
    if (StartsWithCode(s, code) && HasVatFormat(s.substr(2), *country)) return true;
    return HasVatFormat(s, *country);
  }
  // No country to read the format from: the ID's own country code, or any country's format.
  for (const VatFormat& country : kVatFormats)
    if ((StartsWithCode(s, country.code) && HasVatFormat(s.substr(2), country)) ||
        HasVatFormat(s, country))
      return true;
  return false;
}

// More digits before the decimal point than this do not fit the form's amounts (17 digits, two
// of them decimals).
constexpr long kMaxIntegerDigits = 15;

namespace {
// An amount as a spreadsheet holds most of them ("1234.5", "-12,30", "100"): digits, at most one
// separator, no exponent, at most 19 significant digits. Read without building the decimal's
// digit string; the value is the same the general reading gives (the same integer divided by the
// same exact power of ten, rounded once).
struct PlainAmount {
  bool negative = false;
  std::uint64_t digits = 0;  // without trailing zeros of the fraction
  int decimals = 0;          // that carry value
  int integer_digits = 0;    // that carry value
  long double Value() const {
    static constexpr long double kScale[] = {1.0L, 10.0L, 100.0L, 1000.0L};
    const long double x = decimals <= 3 ? static_cast<long double>(digits) / kScale[decimals]
                                        : std::numeric_limits<long double>::quiet_NaN();
    return negative ? -x : x;
  }
};

// nullopt when the text needs the general reading (or is no amount at all).
std::optional<PlainAmount> ReadPlainAmount(std::string_view s) {
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n && s[i] == ' ') ++i;
  PlainAmount a;
  if (i < n && (s[i] == '+' || s[i] == '-')) a.negative = s[i++] == '-';
  bool mantissa = false;
  int significant = 0;
  auto digit = [&](char c, bool fraction) {
    mantissa = true;
    if (a.digits == 0 && c == '0') {
      if (fraction) ++a.decimals;
      return true;
    }
    if (++significant > 19) return false;
    a.digits = a.digits * 10 + static_cast<std::uint64_t>(c - '0');
    (fraction ? a.decimals : a.integer_digits)++;
    return true;
  };
  for (; i < n && IsDigit(s[i]); ++i)
    if (!digit(s[i], false)) return std::nullopt;
  if (i < n && (s[i] == ',' || s[i] == '.')) {
    mantissa = true;
    for (++i; i < n && IsDigit(s[i]); ++i)
      if (!digit(s[i], true)) return std::nullopt;
  }
  while (i < n && s[i] == ' ') ++i;
  if (!mantissa || i != n) return std::nullopt;
  while (a.decimals > 0 && a.digits % 10 == 0 && a.digits != 0) {
    a.digits /= 10;
    --a.decimals;
  }
  if (a.digits == 0) a.decimals = 0;
  return a;
}

}  // namespace

std::optional<DecimalNumber> AcceptedAmount(std::string_view s) {
  std::optional<DecimalNumber> d = ParseDecimal(s);
  if (!d) return std::nullopt;
  // The digits are without leading and trailing zeros, so these count what carries value.
  const long decimals = d->digits.empty() ? 0 : -d->exponent;
  const long integer_digits = static_cast<long>(d->digits.size()) + d->exponent;
  if (decimals > 2 || integer_digits > kMaxIntegerDigits) return std::nullopt;
  return d;
}

std::string NormalizeAmount(std::string_view s) {
  const std::optional<DecimalNumber> d = AcceptedAmount(s);
  if (!d) return {};
  const std::optional<double> v = ToDouble(*d);
  if (!v) return {};
  return GeneralNumberText(*v);
}

std::optional<long double> AcceptedAmountValue(std::string_view s) {
  if (const auto a = ReadPlainAmount(s)) {
    if (a->decimals > 2 || a->integer_digits > kMaxIntegerDigits) return std::nullopt;
    return a->Value();
  }
  const std::optional<DecimalNumber> d = AcceptedAmount(s);
  if (!d) return std::nullopt;
  // 15 digits before the point are far inside the extended range: the value is exact enough.
  const long double x = ToExtended(*d);
  return d->negative ? -x : x;
}

bool IsAmountTextFaithful(double cell_value, std::string_view text) {
  const std::optional<long double> shown = AmountValue(text);
  if (!shown || !std::isfinite(cell_value)) return false;
  return std::fabs(static_cast<long double>(cell_value) - *shown) < 0.005L;
}

std::optional<long double> AmountValue(std::string_view s) {
  if (const auto a = ReadPlainAmount(s); a && a->decimals <= 3) return a->Value();
  const std::optional<DecimalNumber> d = ParseDecimal(s);
  if (!d) return std::nullopt;
  const long double x = ToExtended(*d);
  // Too large exactly when NormalizeAmount finds it too large, so every accepted text has a value.
  if (x > static_cast<long double>(std::numeric_limits<double>::max()) && !ToDouble(*d))
    return std::nullopt;
  return d->negative ? -x : x;
}

bool IsDocNumberValid(std::string_view s) { return CharLength(s) < 61; }

bool IsRegimeCodeValid(std::string_view s) { return IsOneOf(s, {"", "0", "1", "2"}); }

// P: a bad-debt correction under section 46 (the code since April 2019); A: one under section 44.
bool IsYesNoValid(std::string_view s) { return IsOneOf(s, {"", "A", "N", "P", "a", "n", "p"}); }

std::optional<std::string> VatIdWithoutCountry(std::string_view vat_id, std::string_view k_stat) {
  const std::string code = NormalizeCountryCode(k_stat);
  const VatFormat* country = code.empty() ? nullptr : VatFormatOf(code);
  if (!country || !StartsWithCode(vat_id, code)) return std::nullopt;
  if (!HasVatFormat(vat_id.substr(2), *country)) return std::nullopt;
  return std::string(vat_id.substr(2));
}

bool IsSupplyCodeValid(std::string_view s) {
  return IsOneOf(s, {"", "1", "3", "4", "5", "11", "12", "13", "14", "15", "16", "17"});
}

bool IsRatioFlagValid(std::string_view s) { return IsOneOf(s, {"A", "N"}); }

bool IsFormTypeValid(std::string_view s) { return IsOneOf(s, {"B", "O", "N", "E"}); }

namespace {
// A whole number written with digits only, at most max_chars of them, between low and high.
bool IsNumberIn(std::string_view s, std::size_t max_chars, int low, int high) {
  if (s.empty() || s.size() > max_chars || !std::all_of(s.begin(), s.end(), IsDigit)) return false;
  int value = 0;
  for (char c : s) value = value * 10 + (c - '0');
  return value >= low && value <= high;
}
}  // namespace

bool IsYearValid(std::string_view s) { return s.size() == 4 && IsNumberIn(s, 4, 1900, 2999); }
bool IsMonthValid(std::string_view s) { return IsNumberIn(s, 2, 1, 12); }
bool IsQuarterValid(std::string_view s) { return IsNumberIn(s, 1, 1, 4); }
bool IsCallReplyValid(std::string_view s) { return IsOneOf(s, {"B", "P"}); }
bool IsSubjectTypeValid(std::string_view s) { return IsOneOf(s, {"P", "F"}); }

bool IsTaxOfficeValid(std::string_view s) {
  return s.size() == 3 ? IsNumberIn(s, 3, 451, 464) : s == "13";
}

bool IsUsualCallReference(std::string_view s) {
  return Matches(s, "dddddddd/dd/dddd-ddddd-dddddd");
}

bool IsRepresentativeCodeValid(std::string_view code, std::string_view type) {
  if (type == "F") return IsOneOf(code, {"1", "2", "3", "4a", "4b", "5a", "5b", "6a", "6b", "7b"});
  if (type == "P")
    return IsOneOf(code, {"1", "2", "3", "4a", "4c", "5a", "5b", "6a", "6b", "7a", "7b"});
  return false;
}

bool IsDigits(std::string_view s, std::size_t max_digits) {
  return !s.empty() && s.size() <= max_digits && std::all_of(s.begin(), s.end(), IsDigit);
}

bool IsCzechAddress(std::string_view stat) {
  // Upper case of the letters that "česká republika" may be typed with.
  std::string up;
  for (std::size_t i = 0; i < stat.size(); ++i) {
    const char c = stat[i];
    if (c >= 'a' && c <= 'z') {
      up += static_cast<char>(c - 'a' + 'A');
    } else if (stat.substr(i, 2) == "\xC4\x8D") {  // č
      up += "\xC4\x8C";
      ++i;
    } else if (stat.substr(i, 2) == "\xC3\xA1") {  // á
      up += "\xC3\x81";
      ++i;
    } else {
      up += c;
    }
  }
  return up.empty() || up == "ČESKÁ REPUBLIKA" || up == "CZ";
}

std::optional<std::string> NormalizePsc(std::string_view psc, std::string_view stat) {
  if (!IsCzechAddress(stat)) return std::string(psc);
  std::string digits;
  for (char c : psc)
    if (c != ' ') digits += c;
  if (!IsDigits(digits, 5) || digits.size() != 5) return std::nullopt;
  return digits;
}

}  // namespace vestrano
