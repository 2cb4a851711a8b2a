#pragma once
// Date text of the statement: a "yyyy-mm-dd" cell text becomes "dd.mm.yyyy".
#include <functional>
#include <string>
#include <string_view>

namespace vestrano {

// "dd.mm.yyyy" for a date written year first with "-" (or month-day of the current year), the
// empty text when s is not such a date or its year lies outside 1900–2999. Years of one or two
// digits: 0–29 → 2000–2029, 30–99 → 1930–1999.
std::string NormalizeDate(std::string_view s);

// The year of the local date, used for "mm-dd" texts. Tests replace it to stay deterministic;
// an empty function restores the clock.
int CurrentYear();
void SetCurrentYearSource(std::function<int()> source);

}  // namespace vestrano
