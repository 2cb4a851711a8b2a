#pragma once
// Where the statement lies in the workbook: sheet name, heading rows and column order per section.
// Filled with the defaults at start-up; nothing changes them afterwards.
#include <array>
#include <cstddef>
#include <string>

namespace vestrano {

// The eight sections in their fixed order.
enum class Section : int { A1 = 0, A2, A3, A4, A5, B1, B2, B3 };
inline constexpr std::size_t kSectionCount = 8;
// "A1" … "B3": the code used in messages and on the statistics grid.
const char* SectionCode(Section s);

// Number of fields of each section's record, in section order (73 in all).
inline constexpr std::array<int, kSectionCount> kSectionFieldCounts = {6, 11, 9, 12, 6, 11, 12, 6};

struct tDataSheets {
  std::array<std::string, kSectionCount> name;  // bounded texts of 31
  tDataSheets();
  const std::string& Of(Section s) const { return name[static_cast<std::size_t>(s)]; }
};

struct tDataOffsets {
  std::array<int, kSectionCount> offset;  // heading rows before the first data row
  tDataOffsets();
  int Of(Section s) const { return offset[static_cast<std::size_t>(s)]; }
};

struct tDataOrder {
  std::array<int, 73> position;  // 1-based column of every field, grouped by section
  tDataOrder();
  // Column position (1-based) of the k-th field (0-based) of section s.
  int Of(Section s, std::size_t k) const;
};

}  // namespace vestrano
