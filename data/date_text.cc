#include "data/date_text.h"

#include <ctime>

#include "data/number_text.h"

namespace vestrano {

namespace {
std::function<TCivilDate()>& TodaySource() {
  static std::function<TCivilDate()> source;
  return source;
}

struct Scanner {
  std::string_view s;
  std::size_t i = 0;
  void SkipBlanks() {
    while (i < s.size() && s[i] == ' ') ++i;
  }
  // Reads a number of at most four significant digits; digits counts what was written.
  bool Number(int& value, int& digits) {
    SkipBlanks();
    value = 0;
    digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && (digits == 0 || value < 1000)) {
      value = value * 10 + (s[i] - '0');
      ++digits;
      ++i;
    }
    return digits > 0;
  }
  bool Dash() {
    SkipBlanks();
    if (i < s.size() && s[i] == '-') {
      ++i;
      return true;
    }
    return false;
  }
};

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

}  // namespace

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

TCivilDate Today() {
  if (TodaySource()) return TodaySource()();
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

int CurrentYear() { return Today().year; }

void SetTodaySource(std::function<TCivilDate()> source) { TodaySource() = std::move(source); }

std::optional<TCivilDate> DateOf(std::string_view s) {
  Scanner sc{s};
  int a, b, c, da, db, dc;
  if (!sc.Number(a, da) || !sc.Dash() || !sc.Number(b, db)) return std::nullopt;
  int year, month, day;
  if (sc.Dash()) {
    if (!sc.Number(c, dc)) return std::nullopt;
    year = a;
    if (da <= 2) year += year < 30 ? 2000 : 1900;
    month = b;
    day = c;
    sc.Dash();  // one trailing "-" may follow the day
  } else {
    year = CurrentYear();
    month = a;
    day = b;
  }
  sc.SkipBlanks();
  if (sc.i != s.size()) return std::nullopt;
  // The filing form takes years 1900 to 2999 only; anything else is a typing slip.
  if (year < 1900 || year > 2999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return std::nullopt;
  return TCivilDate{year, month, day};
}

std::string NormalizeDate(std::string_view s) {
  const std::optional<TCivilDate> d = DateOf(s);
  if (!d) return {};
  std::string out;
  out.reserve(10);
  AppendZeroPadded(out, d->day, 2);
  out += '.';
  AppendZeroPadded(out, d->month, 2);
  out += '.';
  AppendZeroPadded(out, d->year, 4);
  return out;
}

}  // namespace vestrano
