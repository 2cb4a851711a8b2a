#include "data/number_text.h"

#include <charconv>
#include <cmath>

namespace vestrano {

namespace {
// Whole numbers and amounts in cents, most cells of a statement, written without the general
// algorithm. The text is the same: a double that is the nearest one to n/100 (|n| < 1E15) rounds
// to exactly n/100 at 15 significant digits, since its error is below half a unit of the 15th.
bool CentsText(double value, std::string& out) {
  if (!(value > -1e13 && value < 1e13)) return false;
  const long long n = std::llround(value * 100);
  if (static_cast<double>(n) / 100 != value) return false;
  unsigned long long u =
      n < 0 ? static_cast<unsigned long long>(-n) : static_cast<unsigned long long>(n);
  char buf[24];
  char* end = buf + sizeof buf;
  char* p = end;
  const unsigned cents = static_cast<unsigned>(u % 100);
  u /= 100;
  if (cents != 0) {
    if (cents % 10 != 0) *--p = static_cast<char>('0' + cents % 10);
    *--p = static_cast<char>('0' + cents / 10);
    *--p = '.';
  }
  do {
    *--p = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  if (n < 0) *--p = '-';
  out.assign(p, end);
  return true;
}
}  // namespace

std::string GeneralNumberText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  if (std::string fast; CentsText(value, fast)) return fast;
  // Shortest exact rounding to 15 significant digits: "-d.dddddddddddddde+XX".
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string_view s(buf, static_cast<std::size_t>(res.ptr - buf));
  std::string out;
  std::size_t i = 0;
  if (s[0] == '-') {
    out += '-';
    i = 1;
  }
  std::string digits;
  for (; i < s.size() && s[i] != 'e'; ++i)
    if (s[i] != '.') digits += s[i];
  int exp10 = 0;
  std::from_chars(s.data() + i + 1 + (s[i + 1] == '+' ? 1 : 0), s.data() + s.size(), exp10);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int e = exp10 + 1;  // exponent of the 0.d1d2… form
  if (e >= -3 && e <= 15) {
    if (e <= 0) {
      out += "0.";
      out.append(static_cast<std::size_t>(-e), '0');
      out += digits;
    } else {
      const auto ue = static_cast<std::size_t>(e);
      if (digits.size() <= ue) {
        out += digits;
        out.append(ue - digits.size(), '0');
      } else {
        out.append(digits, 0, ue);
        out += '.';
        out.append(digits, ue, std::string::npos);
      }
    }
  } else {
    out += digits[0];
    if (digits.size() > 1) {
      out += '.';
      out.append(digits, 1, std::string::npos);
    }
    out += 'E';
    out += std::to_string(e - 1);
  }
  return out;
}

void AppendZeroPadded(std::string& out, int value, int width) {
  char buf[16];
  if (width > 16) width = 16;
  for (int k = width - 1; k >= 0; --k) {
    buf[k] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  out.append(buf, static_cast<std::size_t>(width));
}

}  // namespace vestrano
