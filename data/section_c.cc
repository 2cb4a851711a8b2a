#include "data/section_c.h"

namespace vestrano {

namespace {
using S = TotalSlot;
// The reduced rates add the second rate's columns before the third's, A.4 before A.5 and B.2
// before B.3 within each: the order in which the filed value is summed, and shown.
// clang-format off
const SectionCLine kLines[] = {
    {"obrat23", "C-A4+A5 celkem z.daně z.s.", {S::A4_zakl_dane1, S::A5_zakl_dane1, S::None, S::None}},
    {"obrat5", "C-A4+A5 celkem z.daně s.s.", {S::A4_zakl_dane2, S::A5_zakl_dane2, S::A4_zakl_dane3, S::A5_zakl_dane3}},
    {"pln23", "C-B2+B3 celkem z.daně z.s.", {S::B2_zakl_dane1, S::B3_zakl_dane1, S::None, S::None}},
    {"pln5", "C-B2+B3 celkem z.daně s.s.", {S::B2_zakl_dane2, S::B2_zakl_dane3, S::B3_zakl_dane2, S::B3_zakl_dane3}},
    {"pln_rez_pren", "C-A1 celkem z.daně", {S::A1_zakl_dane1, S::None, S::None, S::None}},
    {"rez_pren23", "C-B1 celkem z.daně z.s.", {S::B1_zakl_dane1, S::None, S::None, S::None}},
    {"rez_pren5", "C-B1 celkem z.daně s.s.", {S::B1_zakl_dane2, S::B1_zakl_dane3, S::None, S::None}},
    {"celk_zd_a2", "C-A2 celkem z.daně", {S::A2_zakl_dane1, S::A2_zakl_dane2, S::A2_zakl_dane3, S::None}},
};
// clang-format on
}  // namespace

std::span<const SectionCLine> SectionCLines() { return kLines; }

std::array<const SectionCLine*, 8> SectionCLinesListed() {
  return {&kLines[7], &kLines[0], &kLines[1], &kLines[2],
          &kLines[3], &kLines[4], &kLines[5], &kLines[6]};
}

long double SectionCValue(const SectionCLine& line, const tDataTotals& totals) {
  long double sum = 0;
  for (TotalSlot slot : line.slots)
    if (slot != S::None) sum += static_cast<long double>(totals[slot]);
  return sum;
}

}  // namespace vestrano
