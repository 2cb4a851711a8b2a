#include "data/decimal.h"

#include <array>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace vestrano {

// Amounts are summed and judged in the x87 80-bit format; anything else (a 64-bit long double, a
// 128-bit quad) would sum different amounts, and the exact rounding below takes its significand
// into 64 bits.
static_assert(std::numeric_limits<long double>::radix == 2 &&
                  std::numeric_limits<long double>::digits == 64 &&
                  std::numeric_limits<long double>::max_exponent == 16384,
              "long double must be the x87 extended format with a 64-bit significand");

// The double fast path relies on doubles being computed in double precision (SSE2).
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must not use extended precision");

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Exponents beyond this are far outside the double range whatever the digits; clamping keeps the
// arithmetic below from overflowing on texts such as "1e99999999999999999999".
constexpr long kExponentClamp = 1'000'000;

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

}  // namespace

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

// ---------------------------------------------------------------------------------------------
// Rounding to hundredths.

namespace {

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

Hundredths Make(bool negative, std::string digits) {
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return {};
  digits.erase(0, first);
  return {negative, std::move(digits)};
}

}  // namespace

std::optional<Hundredths> RoundToHundredths(const DecimalNumber& d) {
  if (d.digits.empty()) return Hundredths{};
  std::string digits = d.digits;
  // The value times 100 is digits × 10^scale.
  const long scale = d.exponent + 2;
  if (scale >= 0) {
    if (static_cast<long>(digits.size()) + scale > 1000) return std::nullopt;
    digits.append(static_cast<std::size_t>(scale), '0');
    return Make(d.negative, std::move(digits));
  }
  const auto dropped = static_cast<std::size_t>(-scale);
  if (dropped > digits.size()) return Hundredths{};  // below a tenth of a hundredth
  const std::size_t keep = digits.size() - dropped;
  const bool round_up = digits[keep] >= '5';  // half away from zero
  digits.resize(keep);
  if (digits.empty()) digits.push_back('0');
  if (round_up) Increment(digits);
  return Make(d.negative, std::move(digits));
}

Hundredths RoundToHundredths(long double value) {
  const bool negative = std::signbit(value);
  int e = 0;
  const long double m = std::frexp(std::fabs(value), &e);  // value = m × 2^e, m in [0.5, 1)
  // The 64-bit significand as an integer: |value| = significand × 2^shift, exactly.
  const auto significand = static_cast<std::uint64_t>(std::ldexp(m, 64));
  const int shift = e - 64;
  if (shift >= 0) {
    std::string digits = U128Text(significand) + "00";
    for (int k = 0; k < shift; ++k) Double(digits);
    return Make(negative, std::move(digits));
  }
  const int s = -shift;
  if (s >= 72) return {};  // significand × 100 < 2^71: below half a hundredth
  const unsigned __int128 hundred = static_cast<unsigned __int128>(significand) * 100;
  unsigned __int128 q = hundred >> s;
  const unsigned __int128 r = hundred - (q << s);
  if (r >= (static_cast<unsigned __int128>(1) << (s - 1))) ++q;  // half away from zero
  return Make(negative, U128Text(q));
}

std::pair<std::string, std::string> WholeAndCents(const Hundredths& h) {
  std::string n = h.digits;
  if (n.size() < 3) n.insert(0, 3 - n.size(), '0');
  return {n.substr(0, n.size() - 2), n.substr(n.size() - 2)};
}

std::string PlainText(const Hundredths& h) {
  auto [whole, cents] = WholeAndCents(h);
  while (!cents.empty() && cents.back() == '0') cents.pop_back();
  std::string out = h.negative ? "-" : "";
  out += whole;
  if (!cents.empty()) out += "." + cents;
  return out;
}

std::string TwoDecimalsText(const Hundredths& h) {
  const auto [whole, cents] = WholeAndCents(h);
  return (h.negative ? "-" : "") + whole + "." + cents;
}

}  // namespace vestrano
