#include "data/field_rules.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "data/number_text.h"
#include "data/text.h"

namespace vestrano {

// The two-decimals test and the summing values are defined in the x87 80-bit format; anything
// else (a 64-bit long double, a 128-bit quad) would accept and sum different amounts.
static_assert(std::numeric_limits<long double>::radix == 2 &&
                  std::numeric_limits<long double>::digits == 64 &&
                  std::numeric_limits<long double>::max_exponent == 16384,
              "long double must be the x87 extended format with a 64-bit significand");

// The double fast path below relies on doubles being computed in double precision (SSE2).
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must not use extended precision");

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// ---------------------------------------------------------------------------------------------
// Amount syntax: blanks, sign, digits, optional fraction, optional exponent, blanks. "." and ","
// are both the decimal separator. The result is the value as a decimal: digits × 10^exponent.
struct DecimalNumber {
  bool negative = false;
  std::string digits;  // significant digits without leading zeros; empty for zero
  long exponent = 0;   // value = digits × 10^exponent
};

// Exponents beyond this are far outside the double range whatever the digits; clamping keeps the
// arithmetic below from overflowing on texts such as "1e99999999999999999999".
constexpr long kExponentClamp = 1'000'000;

std::optional<DecimalNumber> ParseDecimal(std::string_view s) {
  std::size_t i = 0;
  const std::size_t n = s.size();
  auto skip_blanks = [&] {
    while (i < n && s[i] == ' ') ++i;
  };
  skip_blanks();
  DecimalNumber d;
  if (i < n && (s[i] == '+' || s[i] == '-')) d.negative = s[i++] == '-';
  const std::size_t int_begin = i;
  while (i < n && IsDigit(s[i])) ++i;
  const std::size_t int_end = i;
  std::size_t frac_begin = i, frac_end = i;
  bool separator = false;
  if (i < n && (s[i] == ',' || s[i] == '.')) {
    separator = true;  // a lone separator counts as a number (zero)
    frac_begin = ++i;
    while (i < n && IsDigit(s[i])) ++i;
    frac_end = i;
  }
  const bool mantissa_seen = separator || int_end > int_begin;
  const auto fraction_digits = static_cast<long>(frac_end - frac_begin);
  d.digits.reserve(int_end - int_begin + frac_end - frac_begin);
  d.digits.append(s.substr(int_begin, int_end - int_begin));
  d.digits.append(s.substr(frac_begin, frac_end - frac_begin));
  d.digits.erase(0, std::min(d.digits.find_first_not_of('0'), d.digits.size()));
  if (!mantissa_seen) return std::nullopt;
  long exp10 = 0;
  if (i < n && (s[i] == 'E' || s[i] == 'e')) {
    ++i;
    bool exp_negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) exp_negative = s[i++] == '-';
    if (i >= n || !IsDigit(s[i])) return std::nullopt;
    while (i < n && IsDigit(s[i])) {
      exp10 = std::min(kExponentClamp, exp10 * 10 + (s[i++] - '0'));
    }
    if (exp_negative) exp10 = -exp10;
  }
  skip_blanks();
  if (i != n) return std::nullopt;
  // Digits after the separator that were leading zeros still scale the value.
  d.exponent = exp10 - fraction_digits;
  // Trailing zeros belong to the exponent, so equal values have equal digit strings.
  while (!d.digits.empty() && d.digits.back() == '0') {
    d.digits.pop_back();
    ++d.exponent;
  }
  return d;
}

// ---------------------------------------------------------------------------------------------
// Exact decimal to x87 extended: the correctly rounded (ties to even) value of digits × 10^e.

// 10^0 … 10^27 are exact in a 64-bit significand (5^27 < 2^64).
constexpr int kExactPow10 = 27;
constexpr std::array<long double, kExactPow10 + 1> kPow10 = [] {
  std::array<long double, kExactPow10 + 1> p{};
  p[0] = 1.0L;
  for (int k = 1; k <= kExactPow10; ++k) p[k] = p[k - 1] * 10.0L;
  return p;
}();

// Little-endian base 2^32 unsigned integer, just enough for one exact division.
class BigUint {
 public:
  explicit BigUint(std::uint32_t v = 0) {
    if (v) limbs_.push_back(v);
  }
  void MulAdd(std::uint32_t mul, std::uint32_t add) {
    std::uint64_t carry = add;
    for (auto& limb : limbs_) {
      const std::uint64_t t = std::uint64_t{limb} * mul + carry;
      limb = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
    if (carry) limbs_.push_back(static_cast<std::uint32_t>(carry));
  }
  void MulPow10(long k) {
    for (; k >= 9; k -= 9) MulAdd(1'000'000'000u, 0);
    for (; k > 0; --k) MulAdd(10, 0);
  }
  std::size_t BitLength() const {
    if (limbs_.empty()) return 0;
    return 32 * (limbs_.size() - 1) + (32 - static_cast<std::size_t>(__builtin_clz(limbs_.back())));
  }
  void ShiftLeft(std::size_t bits) {
    if (limbs_.empty() || bits == 0) return;
    const std::size_t words = bits / 32, rest = bits % 32;
    if (rest) {
      std::uint32_t carry = 0;
      for (auto& limb : limbs_) {
        const std::uint32_t next = limb >> (32 - rest);
        limb = (limb << rest) | carry;
        carry = next;
      }
      if (carry) limbs_.push_back(carry);
    }
    limbs_.insert(limbs_.begin(), words, 0u);
  }
  void ShiftRightOne() {
    for (std::size_t i = 0; i < limbs_.size(); ++i) {
      limbs_[i] >>= 1;
      if (i + 1 < limbs_.size()) limbs_[i] |= limbs_[i + 1] << 31;
    }
    Trim();
  }
  bool IsZero() const { return limbs_.empty(); }
  friend bool operator>=(const BigUint& a, const BigUint& b) {
    if (a.limbs_.size() != b.limbs_.size()) return a.limbs_.size() > b.limbs_.size();
    for (std::size_t i = a.limbs_.size(); i-- > 0;)
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] > b.limbs_[i];
    return true;
  }
  void Subtract(const BigUint& b) {  // requires *this >= b
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < limbs_.size(); ++i) {
      std::int64_t t = std::int64_t{limbs_[i]} - borrow - (i < b.limbs_.size() ? b.limbs_[i] : 0);
      borrow = t < 0;
      limbs_[i] = static_cast<std::uint32_t>(t + (borrow << 32));
    }
    Trim();
  }

 private:
  void Trim() {
    while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
  }
  std::vector<std::uint32_t> limbs_;
};

// Beyond these decimal magnitudes the value is certainly above the double range, or so small that
// it is zero in every use (below the smallest double, far above the extended underflow).
constexpr long kMaxDecimalMagnitude = 311;
constexpr long kMinDecimalMagnitude = -340;
// Digits beyond this many cannot change the rounding of a value inside the range above except
// through whether they are all zero; they are folded into one sticky digit.
constexpr std::size_t kMaxDigits = 1200;

// Magnitude of the decimal, correctly rounded; +inf when it is certainly too large.
long double ToExtended(const DecimalNumber& d) {
  if (d.digits.empty()) return 0.0L;
  const long magnitude = static_cast<long>(d.digits.size()) + d.exponent;  // value < 10^magnitude
  if (magnitude > kMaxDecimalMagnitude) return std::numeric_limits<long double>::infinity();
  if (magnitude < kMinDecimalMagnitude) return 0.0L;

  // Fast path: both operands exact, so one correctly rounded multiply or divide is the answer.
  if (d.digits.size() <= 19 && d.exponent >= -kExactPow10 && d.exponent <= kExactPow10) {
    std::uint64_t m = 0;
    for (char c : d.digits) m = m * 10 + static_cast<std::uint64_t>(c - '0');
    const long double x = static_cast<long double>(m);
    return d.exponent >= 0 ? x * kPow10[d.exponent] : x / kPow10[-d.exponent];
  }

  // Exact path: quotient = digits × 10^max(e,0) / 10^max(-e,0), scaled by a power of two so that
  // it has 67 or 68 bits, then rounded to 64 bits with the remainder as sticky bit.
  std::string_view digits = d.digits;
  long exponent = d.exponent;
  bool tail_nonzero = false;
  if (digits.size() > kMaxDigits) {
    exponent += static_cast<long>(digits.size() - kMaxDigits);
    tail_nonzero = true;  // no trailing zeros are kept, so the dropped tail is not all zero
    digits = digits.substr(0, kMaxDigits);
  }
  BigUint num, den(1);
  for (char c : digits) num.MulAdd(10, static_cast<std::uint32_t>(c - '0'));
  if (tail_nonzero) {  // one extra low digit stands for the dropped non-zero tail
    num.MulAdd(10, 1);
    exponent -= 1;
  }
  if (exponent >= 0)
    num.MulPow10(exponent);
  else
    den.MulPow10(-exponent);

  const long shift = 67 - (static_cast<long>(num.BitLength()) - static_cast<long>(den.BitLength()));
  if (shift >= 0)
    num.ShiftLeft(static_cast<std::size_t>(shift));
  else
    den.ShiftLeft(static_cast<std::size_t>(-shift));
  // Binary long division; the quotient is below 2^68.
  unsigned __int128 q = 0;
  BigUint step = den;
  step.ShiftLeft(68);
  for (int bit = 68; bit >= 0; --bit) {
    q <<= 1;
    if (num >= step) {
      num.Subtract(step);
      q |= 1;
    }
    step.ShiftRightOne();
  }
  const bool sticky = !num.IsZero();
  int bits = 0;
  for (unsigned __int128 t = q; t; t >>= 1) ++bits;
  int drop = bits - 64;
  auto mant = static_cast<std::uint64_t>(q >> drop);
  const unsigned __int128 rest = q & ((static_cast<unsigned __int128>(1) << drop) - 1);
  const unsigned __int128 half = static_cast<unsigned __int128>(1) << (drop - 1);
  if (rest > half || (rest == half && (sticky || (mant & 1)))) {
    if (++mant == 0) {  // carried out of 64 bits
      mant = std::uint64_t{1} << 63;
      ++drop;
    }
  }
  return std::ldexp(static_cast<long double>(mant), static_cast<int>(drop - shift));
}

// The double nearest to the decimal; nullopt when it lies outside the double range.
std::optional<double> ToDouble(const DecimalNumber& d) {
  if (d.digits.empty()) return d.negative ? -0.0 : 0.0;
  const long magnitude = static_cast<long>(d.digits.size()) + d.exponent;
  if (magnitude > kMaxDecimalMagnitude) return std::nullopt;
  if (magnitude < kMinDecimalMagnitude) return d.negative ? -0.0 : 0.0;
  // Fast path: digits and power of ten both exact in a double, so one rounding gives the answer.
  if (d.digits.size() <= 15 && d.exponent >= -22 && d.exponent <= 22) {
    static constexpr double kPow10d[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    std::uint64_t m = 0;
    for (char c : d.digits) m = m * 10 + static_cast<std::uint64_t>(c - '0');
    const auto x = static_cast<double>(m);
    const double v = d.exponent >= 0 ? x * kPow10d[d.exponent] : x / kPow10d[-d.exponent];
    return d.negative ? -v : v;
  }
  std::string text = d.digits;
  text += 'e';
  text += std::to_string(d.exponent);
  double v = 0;
  const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
  if (res.ec == std::errc::result_out_of_range) {
    // from_chars reports both overflow and underflow; only overflow rejects the amount.
    if (magnitude > 0) return std::nullopt;
    v = 0;
  } else if (res.ec != std::errc{} || std::isinf(v)) {
    return std::nullopt;
  }
  return d.negative ? -v : v;
}


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

std::string NormalizeDIC(std::string_view s) {
  if (StartsWithCode(s, "CZ")) s.remove_prefix(2);
  if (s.size() < 8 || s.size() > 10) return {};
  if (!std::all_of(s.begin(), s.end(), IsDigit)) return {};
  return std::string(s);
}

bool HasCountryPrefix(std::string_view dic) {
  return StartsWithCode(dic, "CZ") && !NormalizeDIC(dic).empty();
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

std::string NormalizeAmount(std::string_view s) {
  const std::optional<DecimalNumber> d = ParseDecimal(s);
  if (!d) return {};
  // The digits are without leading and trailing zeros, so these count what carries value.
  const long decimals = d->digits.empty() ? 0 : -d->exponent;
  const long integer_digits = static_cast<long>(d->digits.size()) + d->exponent;
  if (decimals > 2 || integer_digits > kMaxIntegerDigits) return {};
  const std::optional<double> v = ToDouble(*d);
  if (!v) return {};
  return GeneralNumberText(*v);
}

bool IsAmountTextFaithful(double cell_value, std::string_view text) {
  const std::optional<long double> shown = AmountValue(text);
  if (!shown || !std::isfinite(cell_value)) return false;
  return std::fabs(static_cast<long double>(cell_value) - *shown) < 0.005L;
}

std::optional<long double> AmountValue(std::string_view s) {
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

bool IsUsualCallReference(std::string_view s) { return Matches(s, "dddddddd/dd/dddd-ddddd-dddddd"); }

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
