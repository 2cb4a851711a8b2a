#include "import/stats.h"

#include <charconv>
#include <cmath>

namespace vestrano {

namespace {

std::string IntegerText(int value) {
  char buf[16];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

// |value| rounded to two decimals as "digits.dd", ties away from zero. to_chars rounds the exact
// binary value, so only an exact half cent needs care; that happens exactly when the fraction is
// an odd multiple of 1/8 (0.125, 0.375, 0.625, 0.875), which this test finds without rounding.
std::string RoundedMagnitude(long double value) {
  const long double a = std::fabs(value);
  const long double whole = std::floor(a);
  const long double eighths = (a - whole) * 8;  // both steps exact
  char buf[5000];  // enough for the integer digits of any extended value
  if (eighths == std::floor(eighths) && std::fmod(eighths, 2.0L) == 1.0L) {
    const auto res = std::to_chars(buf, buf + sizeof buf, whole, std::chars_format::fixed, 0);
    const int cents = (25 * static_cast<int>(eighths) + 1) / 2;  // 12.5 → 13, 37.5 → 38, …
    return std::string(buf, res.ptr) + "." + IntegerText(cents);
  }
  const auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::fixed, 2);
  return std::string(buf, res.ptr);
}

using S = TotalSlot;
struct CLineDef {
  const char* key;
  std::array<TotalSlot, 4> slots;  // added left to right; None ends the list
};
const CLineDef kCLines[] = {
    {"C-A2 celkem z.daně", {S::A2_zakl_dane1, S::A2_zakl_dane2, S::A2_zakl_dane3, S::None}},
    {"C-A4+A5 celkem z.daně z.s.", {S::A4_zakl_dane1, S::A5_zakl_dane1, S::None, S::None}},
    {"C-A4+A5 celkem z.daně s.s.",
     {S::A4_zakl_dane2, S::A5_zakl_dane2, S::A4_zakl_dane3, S::A5_zakl_dane3}},
    {"C-B2+B3 celkem z.daně z.s.", {S::B2_zakl_dane1, S::B3_zakl_dane1, S::None, S::None}},
    {"C-B2+B3 celkem z.daně s.s.",
     {S::B2_zakl_dane2, S::B3_zakl_dane2, S::B2_zakl_dane3, S::B3_zakl_dane3}},
    {"C-A1 celkem z.daně", {S::A1_zakl_dane1, S::None, S::None, S::None}},
    {"C-B1 celkem z.daně z.s.", {S::B1_zakl_dane1, S::None, S::None, S::None}},
    {"C-B1 celkem z.daně s.s.", {S::B1_zakl_dane2, S::B1_zakl_dane3, S::None, S::None}},
};

}  // namespace

std::string AmountDisplayText(long double value) {
  const std::string rounded = RoundedMagnitude(value);
  const std::size_t point = rounded.find('.');
  const std::string_view whole = std::string_view(rounded).substr(0, point);
  const std::string_view cents =
      point == std::string::npos ? "00" : std::string_view(rounded).substr(point + 1);
  // A sum that rounds to nothing (for instance -0.001 left over from amounts that cancel out)
  // is shown without a sign: "-0,00 CZK" would read as a negative total.
  const bool zero = rounded.find_first_not_of("0.") == std::string::npos;
  std::string out;
  out.reserve(rounded.size() + rounded.size() / 3 + 6);
  if (value < 0 && !zero) out += '-';
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && (whole.size() - i) % 3 == 0) out += ' ';
    out += whole[i];
  }
  out += ',';
  out += cents;
  out += " CZK";
  return out;
}

void FinishSection(TStatement& st, Section section, const SectionCounts& counts, int row_count,
                   int heading_rows, int last_row_correction, const RunningSums& sums,
                   std::span<const SubtotalLine> lines) {
  for (const SubtotalLine& line : lines)
    st.totals[line.slot] = static_cast<double>(sums[static_cast<std::size_t>(line.slot)]);
  for (const SubtotalLine& line : lines)
    st.subtotals.Set(line.key, AmountDisplayText(sums[static_cast<std::size_t>(line.slot)]));
  auto& column = st.stats.cell[StatsColumn(section)];
  column[1] = IntegerText(counts.read);
  column[2] = IntegerText(counts.skipped);
  column[3] = IntegerText(counts.faulty);
  column[4] = IntegerText(row_count - heading_rows - last_row_correction + 1);
}

void MarkEmptySheet(TStatement& st, Section section) {
  auto& column = st.stats.cell[StatsColumn(section)];
  for (int row = 1; row <= 4; ++row) column[row] = "-";
}

void WriteCLines(TStatement& st) {
  for (const CLineDef& line : kCLines) {
    long double sum = 0;
    for (TotalSlot slot : line.slots)
      if (slot != S::None) sum += st.totals[slot];
    st.subtotals.Set(line.key, AmountDisplayText(sum));
  }
}

}  // namespace vestrano
