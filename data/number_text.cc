#include "data/number_text.h"

#include <charconv>
#include <cmath>

namespace vestrano {

std::string GeneralNumberText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
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
