#include "data/layout.h"

namespace vestrano {

const char* SectionCode(Section s) {
  static const char* const kCodes[kSectionCount] = {"A1", "A2", "A3", "A4", "A5", "B1", "B2", "B3"};
  return kCodes[static_cast<std::size_t>(s)];
}

tDataSheets::tDataSheets() {
  for (std::size_t i = 0; i < kSectionCount; ++i) name[i] = SectionCode(static_cast<Section>(i));
}

tDataOffsets::tDataOffsets() { offset.fill(1); }

namespace {
std::size_t FirstFieldOf(Section s) {
  std::size_t first = 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(s); ++i) first += kSectionFieldCounts[i];
  return first;
}
}  // namespace

tDataOrder::tDataOrder() {
  std::size_t i = 0;
  for (int count : kSectionFieldCounts)
    for (int k = 1; k <= count; ++k) position[i++] = k;
}

int tDataOrder::Of(Section s, std::size_t k) const { return position[FirstFieldOf(s) + k]; }

}  // namespace vestrano
