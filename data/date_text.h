#pragma once
// Date text of the statement: a "yyyy-mm-dd" cell text becomes "dd.mm.yyyy".
#include <compare>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vestrano {

// "dd.mm.yyyy" for a date written year first with "-" (or month-day of the current year), the
// empty text when s is not such a date or its year lies outside 1900–2999. Years of one or two
// digits: 0–29 → 2000–2029, 30–99 → 1930–1999.
std::string NormalizeDate(std::string_view s);

// A day of the Gregorian calendar; dates compare in calendar order.
struct TCivilDate {
  int year = 0;
  int month = 0;
  int day = 0;
  auto operator<=>(const TCivilDate&) const = default;
};

// The day of a date text that NormalizeDate accepts; nullopt for any other text.
std::optional<TCivilDate> DateOf(std::string_view s);
int DaysInMonth(int year, int month);

// The local date, used for "mm-dd" texts and for "today" in the header's checks. Tests replace
// it to stay deterministic; an empty function restores the clock.
TCivilDate Today();
int CurrentYear();
void SetTodaySource(std::function<TCivilDate()> source);

}  // namespace vestrano
