#pragma once
// Cell texts and number-format classification, independent of any locale.
#include <optional>
#include <string>
#include <string_view>

#include "data/number_text.h"
#include "workbook/model.h"

namespace vestrano {

// "yyyy-mm-dd", "hh:nn:ss" or both, for a serial date counted from 1899-12-30.
std::string DateTimeText(double value, DateTextKind kind, bool elapsed_hours);

// Kind of a cell created from a number with this format code (builtin_id -1 for custom codes).
CellKind ClassifyNumberFormat(std::string_view code, int builtin_id);

// Which parts a date-time with this format shows, and whether it holds "[h]".
DateTextKind ClassifyDateText(std::string_view code, int builtin_id, bool* elapsed_hours);

// The code of a built-in format id; nullopt for ids the built-in table does not define.
std::optional<std::string> BuiltinFormatCode(int id);

}  // namespace vestrano
