#include "workbook/cell_text.h"

#include <cmath>
#include <cstdint>

namespace vestrano {

// clang-format off
const char* CellKindName(CellKind kind) {
  switch (kind) {
    case CellKind::Empty: return "Empty";
    case CellKind::String: return "String";
    case CellKind::Boolean: return "Boolean";
    case CellKind::DateTime: return "DateTime";
    case CellKind::Time: return "Time";
    case CellKind::Number: return "Number";
    case CellKind::Percent: return "Percent";
    case CellKind::Currency: return "Currency";
    case CellKind::Scientific: return "Scientific";
    case CellKind::Fraction: return "Fraction";
  }
  return "Empty";
}
// clang-format on

namespace {
// Days since 1899-12-30 to a Gregorian date (Hinnant's civil_from_days).
void CivilFromSerial(std::int64_t serial, int& y, int& m, int& d) {
  std::int64_t z = serial - 25569 + 719468;  // 1899-12-30 is 25569 days before 1970-01-01
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0));
}

// Serial days of 0001-01-01 and 9999-12-31; dates outside cannot be written as yyyy-mm-dd.
constexpr double kFirstSerial = -693593;
constexpr double kLastSerial = 2958465;
}  // namespace

std::string DateTimeText(double value, DateTextKind kind, bool elapsed_hours) {
  double shown = value;
  if (kind == DateTextKind::DateOnly) shown = std::trunc(value);
  if (kind == DateTextKind::TimeOnly && !elapsed_hours) shown = value - std::trunc(value);
  if (shown == 0) {
    // clang-format off
    switch (kind) {
      case DateTextKind::DateOnly: return "0000-00-00";
      case DateTextKind::TimeOnly: return "00:00:00";
      case DateTextKind::DateAndTime: return "0000-00-00 00:00:00";
    }
    // clang-format on
  }
  // A serial outside the years 1 to 9999 (or not a number) has no date text: show the number.
  if (!(shown >= kFirstSerial && shown < kLastSerial + 1)) return GeneralNumberText(value);
  std::int64_t day = static_cast<std::int64_t>(std::trunc(shown));
  double frac = std::fabs(shown - std::trunc(shown));
  auto ms = static_cast<std::int64_t>(std::llround(frac * 86400000.0));
  if (ms >= 86400000) {
    ms -= 86400000;
    day += shown < 0 ? -1 : 1;
  }
  std::string out;
  if (kind != DateTextKind::TimeOnly) {
    int y, m, d;
    CivilFromSerial(day, y, m, d);
    if (y < 1 || y > 9999) return GeneralNumberText(value);
    AppendZeroPadded(out, y, 4);
    out += '-';
    AppendZeroPadded(out, m, 2);
    out += '-';
    AppendZeroPadded(out, d, 2);
    if (kind == DateTextKind::DateOnly) return out;
    out += ' ';
  }
  const auto secs = static_cast<int>(ms / 1000);
  AppendZeroPadded(out, secs / 3600, 2);
  out += ':';
  AppendZeroPadded(out, secs / 60 % 60, 2);
  out += ':';
  AppendZeroPadded(out, secs % 60, 2);
  return out;
}

namespace {
std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool Has(std::string_view s, std::string_view what) {
  return s.find(what) != std::string_view::npos;
}
}  // namespace

CellKind ClassifyNumberFormat(std::string_view code, int builtin_id) {
  const std::string lower = Lower(code);
  if (lower.empty() || lower == "general" || lower == "@") return CellKind::Number;
  if (builtin_id == 14 || builtin_id == 22) return CellKind::DateTime;
  std::string s = lower;
  if (!s.empty() && s[0] != ';') s = s.substr(0, s.find(';'));
  if (Has(s, "m") && (Has(s, "d") || Has(s, "h") || Has(s, "y"))) return CellKind::DateTime;
  if (auto close = s.find(']'); close != std::string::npos) s.erase(0, close + 1);
  if (!s.empty() && s.back() == '%') return CellKind::Percent;
  if (Has(s, "?/?")) return CellKind::Fraction;
  if (Has(s, "e+")) return CellKind::Scientific;
  if (Has(s, "\"") || Has(s, "[$")) return CellKind::Currency;
  return CellKind::Number;
}

DateTextKind ClassifyDateText(std::string_view code, int builtin_id, bool* elapsed_hours) {
  const std::string lower = Lower(code);
  if (elapsed_hours) *elapsed_hours = Has(lower, "[h]");
  if (builtin_id == 14) return DateTextKind::DateOnly;
  if (builtin_id == 22) return DateTextKind::DateAndTime;
  const std::string_view s = std::string_view(lower).substr(0, lower.find(';'));
  std::string t;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\') continue;
    if (s.substr(i, 3) == "[h]") {  // elapsed hours count as hours
      t += 'h';
      i += 2;
      continue;
    }
    if (s[i] == '[') {
      const std::size_t close = s.find(']', i + 1);
      if (close != std::string::npos) i = close;
      continue;  // an unmatched "[" is dropped alone
    }
    t += s[i];
  }
  const bool date = Has(t, "d") || Has(t, "y");
  const bool time = Has(t, "h") || Has(t, "s");
  if (date && !time) return DateTextKind::DateOnly;
  if (time && !date) return DateTextKind::TimeOnly;
  return DateTextKind::DateAndTime;
}

// clang-format off
std::optional<std::string> BuiltinFormatCode(int id) {
  switch (id) {
    case 0: return std::string("General");
    case 1: return std::string("0");
    case 2: return std::string("0.00");
    case 3: return std::string("#,##0");
    case 4: return std::string("#,##0.00");
    case 9: return std::string("0%");
    case 10: return std::string("0.00%");
    case 11: return std::string("0.00E+00");
    case 12: return std::string("# ?/?");
    case 13: return std::string("# ?\?/?\?");
    case 14: return std::string("dd.MM.yyyy");  // the fixed short date format
    case 15: return std::string("d-mmm-yy");
    case 16: return std::string("d-mmm");
    case 17: return std::string("mmm-yy");
    case 18: return std::string("h:mm am/pm");
    case 19: return std::string("h:mm:ss am/pm");
    case 20: return std::string("h:mm");
    case 21: return std::string("h:mm:ss");
    case 22: return std::string("dd.MM.yyyy hh:mm");  // short date, a blank, short time
    case 37: return std::string("#,##0 ;(#,##0)");
    case 38: return std::string("#,##0 ;[Red](#,##0)");
    case 39: return std::string("#,##0.00;(#,##0.00)");
    case 40: return std::string("#,##0.00;[Red](#,##0.00)");
    case 45: return std::string("mm:ss");
    case 46: return std::string("[h]:mm:ss");
    case 47: return std::string("mmss.0");
    case 48: return std::string("##0.0E+0");
    case 49: return std::string("@");
    default: return std::nullopt;
  }
}
// clang-format on

}  // namespace vestrano
