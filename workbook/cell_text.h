#pragma once
// The kinds of cells, their texts and the classification of number formats, independent of any
// locale.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "data/number_text.h"

namespace vestrano {

// The cell classes of the model; the names are those of the TExportCell family without the prefix.
enum class CellKind : std::uint8_t {
  Empty,
  String,
  Boolean,
  DateTime,
  Time,  // never created by the readers
  Number,
  Percent,
  Currency,
  Scientific,
  Fraction,
};
const char* CellKindName(CellKind kind);  // "Empty", "String", …
inline bool IsNumberKind(CellKind k) {
  return k == CellKind::Number || k == CellKind::Percent || k == CellKind::Currency ||
         k == CellKind::Scientific || k == CellKind::Fraction;
}

// Which parts a date-time cell shows, decided once per format code.
enum class DateTextKind : std::uint8_t { DateOnly, TimeOnly, DateAndTime };

// "yyyy-mm-dd", "hh:nn:ss" or both, for a serial date counted from 1899-12-30.
std::string DateTimeText(double value, DateTextKind kind, bool elapsed_hours);

// Kind of a cell created from a number with this format code (builtin_id -1 for custom codes).
CellKind ClassifyNumberFormat(std::string_view code, int builtin_id);

// Which parts a date-time with this format shows, and whether it holds "[h]".
DateTextKind ClassifyDateText(std::string_view code, int builtin_id, bool* elapsed_hours);

// The code of a built-in format id; nullopt for ids the built-in table does not define.
std::optional<std::string> BuiltinFormatCode(int id);

}  // namespace vestrano
