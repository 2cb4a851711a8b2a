#pragma once
// What is kept about a section once it has been read: its slots, its subtotal lines and its
// statistics column; and the section C lines computed from the slots at the end of a run.
#include <array>
#include <span>
#include <string>

#include "data/layout.h"
#include "data/records.h"
#include "import/statement.h"

namespace vestrano {

// One running sum per totals slot, in extended precision; a section uses only its own slots.
using RunningSums = std::array<long double, kTotalSlots>;

// A summed column: its slot and the key of its subtotal line.
struct SubtotalLine {
  TotalSlot slot;
  std::string key;
};

// Column of the statistics grid that shows a section (1 for A.1 … 8 for B.3).
inline int StatsColumn(Section s) { return static_cast<int>(s) + 1; }

// Rounds each running sum into its slot, writes the subtotal lines (in the order given) and the
// statistics column and counts; "CELKEM" is R − H − c + 1, the size of the row range, and is not
// clamped.
void FinishSection(TStatement& st, Section section, const SectionCounts& counts, int row_count,
                   int heading_rows, int last_row_correction, const RunningSums& sums,
                   std::span<const SubtotalLine> lines);

// A section sheet without any row: "-" in the four cells of its statistics column, zero counts.
void MarkEmptySheet(TStatement& st, Section section);

// "1 234 567,50 CZK": two decimals (ties away from zero), groups of three separated by a blank,
// decimal comma, "-" before the first digit of a negative amount. Independent of any locale.
std::string AmountDisplayText(long double value);

// The eight section C lines, each the sum of its slots added left to right in extended precision.
void WriteCLines(TStatement& st);

}  // namespace vestrano
