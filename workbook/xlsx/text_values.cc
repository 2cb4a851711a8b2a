// Small parsers for the texts of attributes and values: numbers, references, ISO dates.
#include <algorithm>
#include <charconv>

#include "workbook/xlsx/parts.h"

namespace vestrano::xlsx {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// Reads exactly n digits at text[pos].
bool Fixed(std::string_view text, std::size_t& pos, int n, int& out) {
  if (pos + static_cast<std::size_t>(n) > text.size()) return false;
  out = 0;
  for (int i = 0; i < n; ++i) {
    const char c = text[pos + static_cast<std::size_t>(i)];
    if (!IsDigit(c)) return false;
    out = out * 10 + (c - '0');
  }
  pos += static_cast<std::size_t>(n);
  return true;
}

// HH:MM[:SS[.fff]] at pos; seconds of the day in out.
bool ParseTime(std::string_view text, std::size_t& pos, double& out) {
  int h = 0, m = 0, s = 0;
  if (!Fixed(text, pos, 2, h) || pos >= text.size() || text[pos] != ':') return false;
  ++pos;
  if (!Fixed(text, pos, 2, m)) return false;
  double frac = 0;
  if (pos < text.size() && text[pos] == ':') {
    ++pos;
    if (!Fixed(text, pos, 2, s)) return false;
    if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
      ++pos;
      double scale = 0.1;
      const std::size_t start = pos;
      while (pos < text.size() && IsDigit(text[pos])) {
        frac += (text[pos] - '0') * scale;
        scale /= 10;
        ++pos;
      }
      if (pos == start) return false;
    }
  }
  if (h > 23 || m > 59 || s > 59) return false;
  out = h * 3600.0 + m * 60.0 + s + frac;
  return true;
}

// Z, +HH:MM, -HH:MM, +HHMM or nothing: the wall-clock time is kept as written.
bool ParseZone(std::string_view text, std::size_t pos) {
  if (pos == text.size()) return true;
  if (text[pos] == 'Z' || text[pos] == 'z') return pos + 1 == text.size();
  if (text[pos] != '+' && text[pos] != '-') return false;
  ++pos;
  int hh = 0, mm = 0;
  if (!Fixed(text, pos, 2, hh)) return false;
  if (pos < text.size() && text[pos] == ':') ++pos;
  if (pos < text.size() && !Fixed(text, pos, 2, mm)) return false;
  return pos == text.size() && hh <= 23 && mm <= 59;
}
}  // namespace

void MakeCrLf(std::string& text) {
  if (std::none_of(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; })) return;
  std::string out;
  out.reserve(text.size() + 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      out += "\r\n";
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out.push_back(c);
    }
  }
  text.swap(out);
}

bool ParseNumber(std::string_view text, double& value) {
  // Syntax first: from_chars alone would also take "inf", "nan" and hexadecimal forms.
  std::size_t i = 0;
  const std::size_t n = text.size();
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t body = i;
  std::size_t digits = 0;
  while (i < n && IsDigit(text[i])) ++i, ++digits;
  if (i < n && (text[i] == '.' || text[i] == ',')) {
    ++i;
    while (i < n && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  const bool has_exponent = i < n && (text[i] == 'e' || text[i] == 'E');
  if (has_exponent) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t exp_start = i;
    while (i < n && IsDigit(text[i])) ++i;
    if (i == exp_start) return false;
  }
  if (i != n) return false;
  // Up to 15 digits without an exponent (the usual stored value): the digits as a whole number
  // and a power of ten are both exact, so one division rounds the same as from_chars does.
  if (digits <= 15 && !has_exponent) {
    static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::uint64_t whole = 0;
    int fraction = -1;
    for (std::size_t k = body; k < n; ++k) {
      const char c = text[k];
      if (c == '.' || c == ',') {
        fraction = 0;
        continue;
      }
      whole = whole * 10 + static_cast<std::uint64_t>(c - '0');
      if (fraction >= 0) ++fraction;
    }
    const double v = static_cast<double>(whole) / kPow10[fraction > 0 ? fraction : 0];
    value = negative ? -v : v;
    return true;
  }
  std::string_view number = text.substr(body);
  std::string copy;
  if (number.find(',') != std::string_view::npos || number[0] == '.') {
    // "," reads as "."; a leading "." gets its zero.
    if (number[0] == '.' || number[0] == ',') copy.push_back('0');
    for (char c : number) copy.push_back(c == ',' ? '.' : c);
    number = copy;
  }
  double v = 0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), v);
  if (ec != std::errc() || end != number.data() + number.size()) return false;
  value = negative ? -v : v;
  return true;
}

bool ParseInteger(std::string_view text, std::int64_t& value) {
  if (text.empty()) return false;
  std::size_t i = 0;
  if (text[0] == '+') i = 1;
  const auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && end != text.data() + i;
}

bool DigitsNumber(std::string_view text, std::uint64_t& value) {
  bool any = false;
  value = 0;
  for (char c : text) {
    if (!IsDigit(c)) continue;
    any = true;
    const std::uint64_t d = static_cast<std::uint64_t>(c - '0');
    value = value > (~std::uint64_t{0} - d) / 10 ? ~std::uint64_t{0} : value * 10 + d;
  }
  return any;
}

bool ParseIsoDateTime(std::string_view text, double& serial, bool& has_time) {
  std::size_t pos = 0;
  has_time = false;
  if (text.size() >= 5 && text[2] == ':') {  // a time of day alone
    double seconds = 0;
    if (!ParseTime(text, pos, seconds) || !ParseZone(text, pos)) return false;
    serial = seconds / 86400.0;
    has_time = true;
    return true;
  }
  int y = 0, m = 0, d = 0;
  if (!Fixed(text, pos, 4, y) || pos >= text.size() || text[pos++] != '-') return false;
  if (!Fixed(text, pos, 2, m) || pos >= text.size() || text[pos++] != '-') return false;
  if (!Fixed(text, pos, 2, d)) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m < 1 || m > 12 || d < 1) return false;
  if (d > kDays[m - 1] + (m == 2 && IsLeap(y) ? 1 : 0)) return false;
  const std::int64_t days = DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) -
                            DaysFromCivil(1899, 12, 30);
  if (days < 0) return false;  // before the first serial date
  double seconds = 0;
  if (pos < text.size() && (text[pos] == 'T' || text[pos] == 't' || text[pos] == ' ')) {
    ++pos;
    if (!ParseTime(text, pos, seconds)) return false;
  }
  if (!ParseZone(text, pos)) return false;
  has_time = seconds != 0;
  serial = static_cast<double>(days) + seconds / 86400.0;
  return true;
}

int ColumnOfRef(std::string_view ref) {
  int letters = 0;
  int col = 0;
  for (char c : ref) {
    if (c == ':') break;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c < 'A' || c > 'Z') continue;
    if (++letters > 3) return -1;
    col = col * 26 + (c - 'A' + 1);
  }
  if (letters == 0 || col > kMaxCols) return -1;
  return col - 1;
}

namespace {
// One side of a range: column letters and/or row digits, "$" ignored. Missing parts are -1.
bool ParseCorner(std::string_view s, int& col, int& row) {
  col = -1, row = -1;
  std::size_t i = 0;
  if (i < s.size() && s[i] == '$') ++i;
  std::int64_t c = 0;
  int letters = 0;
  while (i < s.size() && ((s[i] >= 'A' && s[i] <= 'Z') || (s[i] >= 'a' && s[i] <= 'z'))) {
    const char u = static_cast<char>(s[i] >= 'a' ? s[i] - 'a' + 'A' : s[i]);
    if (letters < 8) c = c * 26 + (u - 'A' + 1);
    ++letters, ++i;
  }
  if (i < s.size() && s[i] == '$') ++i;
  std::int64_t r = 0;
  int digits = 0;
  while (i < s.size() && IsDigit(s[i])) {
    if (digits < 12) r = r * 10 + (s[i] - '0');
    ++digits, ++i;
  }
  if (i != s.size() || (letters == 0 && digits == 0)) return false;
  if (letters > 0) col = static_cast<int>(std::min<std::int64_t>(c, kMaxCols) - 1);
  if (digits > 0) {
    if (r == 0) return false;
    row = static_cast<int>(std::min<std::int64_t>(r, kMaxRows) - 1);
  }
  return true;
}
}  // namespace

bool ParseRange(std::string_view ref, CellRange& range) {
  const std::size_t colon = ref.find(':');
  std::string_view a = ref.substr(0, colon);
  std::string_view b = colon == std::string_view::npos ? a : ref.substr(colon + 1);
  int c1, r1, c2, r2;
  if (!ParseCorner(a, c1, r1) || !ParseCorner(b, c2, r2)) return false;
  if ((c1 < 0) != (c2 < 0) || (r1 < 0) != (r2 < 0)) return false;
  if (c1 < 0) c1 = 0, c2 = kMaxCols - 1;  // 3:5, whole rows
  if (r1 < 0) r1 = 0, r2 = kMaxRows - 1;  // E:E, whole columns
  range.first_col = std::min(c1, c2), range.last_col = std::max(c1, c2);
  range.first_row = std::min(r1, r2), range.last_row = std::max(r1, r2);
  return true;
}

}  // namespace vestrano::xlsx
