#include "import/stats.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "import/sections.h"
#include "support/sheet_builder.h"

namespace vestrano {
namespace {

using Lines = std::vector<std::string>;

TEST(AmountDisplayText, Cases) {
  const std::pair<long double, const char*> cases[] = {
      {0, "0,00 CZK"},
      {1234567.5L, "1 234 567,50 CZK"},
      {-20.1L, "-20,10 CZK"},
      {-1234.5L, "-1 234,50 CZK"},
      {0.01L, "0,01 CZK"},
      {12, "12,00 CZK"},
      {100, "100,00 CZK"},
      {1000, "1 000,00 CZK"},
      {123456, "123 456,00 CZK"},
      {-999999.999L, "-1 000 000,00 CZK"},  // the carry opens a new group
      {1e15L, "1 000 000 000 000 000,00 CZK"},
      {0.6L, "0,60 CZK"},
      // exact half cents round away from zero
      {0.125L, "0,13 CZK"},
      {-0.125L, "-0,13 CZK"},
      {2.375L, "2,38 CZK"},
      {1000.625L, "1 000,63 CZK"},
      {0.875L, "0,88 CZK"},
      // nothing left after rounding carries no sign
      {-0.0L, "0,00 CZK"},
      {-0.001L, "0,00 CZK"},
      {-0.0049L, "0,00 CZK"},
      {-1e-300L, "0,00 CZK"},
  };
  for (auto [value, text] : cases) EXPECT_EQ(AmountDisplayText(value), text) << (double)value;
}

Lines Column(const TStatement& st, int k) { return test::StatsColumn(st, k); }

TEST(FinishSection, WritesSlotsLinesAndColumn) {
  TStatement st;
  RunningSums sums{};
  sums[static_cast<std::size_t>(TotalSlot::B1_dan1)] = 0.1L + 0.2L;
  sums[static_cast<std::size_t>(TotalSlot::B1_zakl_dane1)] = -1234.5L;
  sums[static_cast<std::size_t>(TotalSlot::A1_zakl_dane1)] = 99;  // not the section's slot
  const SubtotalLine lines[] = {{TotalSlot::B1_zakl_dane1, "B1-Základ daně 1"},
                                {TotalSlot::B1_dan1, "B1-Daň 1"}};
  FinishSection(st, Section::B1, {.read = 4, .skipped = 2, .faulty = 1}, 10, 1, 1, sums, lines);

  EXPECT_EQ(st.totals[TotalSlot::B1_zakl_dane1], -1234.5);
  EXPECT_EQ(st.totals[TotalSlot::B1_dan1], static_cast<double>(0.1L + 0.2L));
  EXPECT_EQ(st.totals[TotalSlot::A1_zakl_dane1], 0);
  EXPECT_EQ(st.subtotals.Get("B1-Základ daně 1"), "-1 234,50 CZK");
  EXPECT_EQ(st.subtotals.Get("B1-Daň 1"), "0,30 CZK");
  EXPECT_EQ(st.subtotals.Get("A1-Základ daně"), "0");
  // CELKEM is the size of the row range, not the sum of the counts.
  EXPECT_EQ(Column(st, 6), (Lines{"4", "2", "1", "9"}));
  EXPECT_EQ(st.counts[static_cast<std::size_t>(Section::B1)], (SectionCounts{4, 2, 1, 9}));

  FinishSection(st, Section::B3, SectionCounts{}, 1, 1, 2, sums, {});
  EXPECT_EQ(Column(st, 8), (Lines{"0", "0", "0", "-1"}));
  EXPECT_EQ(st.counts[static_cast<std::size_t>(Section::B3)], (SectionCounts{0, 0, 0, -1}));

  MarkEmptySheet(st, Section::A3);
  EXPECT_EQ(Column(st, 3), (Lines{"-", "-", "-", "-"}));
  EXPECT_EQ(st.stats.cell[3][0], "A3");
  // A sheet found without rows counts nothing; a section whose sheet was not found has no counts.
  EXPECT_EQ(st.counts[static_cast<std::size_t>(Section::A3)], SectionCounts{});
  EXPECT_FALSE(st.counts[static_cast<std::size_t>(Section::A1)].has_value());
}

TEST(SectionCLines, SumTheirSlotsOnly) {
  TStatement st;
  using S = TotalSlot;
  st.totals.slot.fill(1e9);  // every slot that no C line names must stay out
  const std::pair<S, double> values[] = {
      {S::A2_zakl_dane1, 1},
      {S::A2_zakl_dane2, 2},
      {S::A2_zakl_dane3, 4},
      {S::A4_zakl_dane1, 10},
      {S::A5_zakl_dane1, 20},
      {S::A4_zakl_dane2, 100},
      {S::A5_zakl_dane2, 200},
      {S::A4_zakl_dane3, 400},
      {S::A5_zakl_dane3, 800},
      {S::B2_zakl_dane1, 0.1},
      {S::B3_zakl_dane1, 0.2},
      // added left to right in extended precision: 1e17 + 1 survives, in doubles it would not
      {S::B2_zakl_dane2, 1e17},
      {S::B3_zakl_dane2, 1},
      {S::B2_zakl_dane3, -1e17},
      {S::B3_zakl_dane3, 0},
      {S::A1_zakl_dane1, -1234.5},
      {S::B1_zakl_dane1, 1e6},
      {S::B1_zakl_dane2, -0.004},
      {S::B1_zakl_dane3, 0.003},
  };
  for (auto [slot, v] : values) st.totals[slot] = v;
  WriteSectionCLines(st);

  const Lines expected = {"7,00 CZK", "30,00 CZK",     "1 500,00 CZK",     "0,30 CZK",
                          "1,00 CZK", "-1 234,50 CZK", "1 000 000,00 CZK", "0,00 CZK"};
  Lines got;
  for (std::size_t i = 38; i < 46; ++i) got.push_back(st.subtotals.lines[i].second);
  EXPECT_EQ(got, expected);
  EXPECT_EQ(st.subtotals.lines[38].first, "C-A2 celkem z.daně");
  EXPECT_EQ(st.subtotals.Get("A2-Základ daně 1"), "0");  // section lines are not touched
}

}  // namespace
}  // namespace vestrano
