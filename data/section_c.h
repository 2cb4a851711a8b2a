#pragma once
// Section C: eight totals, each the sum of column sums of the sections, shown as the "C-" lines of
// the subtotals list and filed as the attributes of VetaC. Defined once, here.
#include <array>
#include <span>

#include "data/records.h"

namespace vestrano {

struct SectionCLine {
  const char* attribute;           // of VetaC
  const char* key;                 // of the subtotals list
  std::array<TotalSlot, 4> slots;  // added left to right; None ends the list
};

// In the order of VetaC's attributes.
std::span<const SectionCLine> SectionCLines();
// The same lines in the order of the subtotals list, which begins with A.2's.
std::array<const SectionCLine*, 8> SectionCLinesListed();

// The total: its slots added left to right in extended precision.
long double SectionCValue(const SectionCLine& line, const tDataTotals& totals);

}  // namespace vestrano
