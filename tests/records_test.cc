// Records, layout defaults, date text and the character-count helpers.
#include "data/records.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "data/date_text.h"
#include "data/layout.h"
#include "data/text.h"

namespace vestrano {
namespace {

class NormalizeDateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTodaySource([] { return TCivilDate{2016, 6, 15}; });
  }
  void TearDown() override { SetTodaySource(nullptr); }
};

TEST_F(NormalizeDateTest, Cases) {
  const std::pair<const char*, const char*> cases[] = {
      {"2016-01-31", "31.01.2016"},
      {"2016-1-5", "05.01.2016"},
      {" 2016 - 01 - 31 ", "31.01.2016"},
      {"2016-01-31-", "31.01.2016"},
      {"2016-01-31 - ", "31.01.2016"},
      {"2016-02-30", ""},
      {"2016-13-01", ""},
      {"2016-01-31 12:00:00", ""},
      {"31.01.2016", ""},
      {"2015-02-29", ""},
      {"2016-02-29", "29.02.2016"},
      {"01-31", "31.01.2016"},  // month and day of the current year
      {"02-29", "29.02.2016"},
      {"01-31-", ""},              // a third number is then required
      {"16-01-31", "31.01.2016"},  // two-digit years: 00–29 → 20xx, 30–99 → 19xx
      {"29-12-31", "31.12.2029"},
      {"30-01-01", "01.01.1930"},
      {"5-3-4", "04.03.2005"},
      {"0012-01-01", ""},  // four digits taken as written: outside the filing's 1900–2999
      {"0000-01-01", ""},
      {"1899-12-31", ""},
      {"1900-01-01", "01.01.1900"},
      {"2999-12-31", "31.12.2999"},
      {"3000-01-01", ""},
      {"9999-12-31", ""},
      {"12016-01-01", ""},  // at most four significant digits
      {"002016-01-31", "31.01.2016"},
      {"", ""},
      {"-", ""},
      {"2016-01", ""},  // month 2016 of the current year
      {"2016-01-31x", ""},
      {"2016/01/31", ""},
      {"2016-01-31 2016-01-31", ""},
  };
  for (auto [in, out] : cases) EXPECT_EQ(NormalizeDate(in), out) << '"' << in << '"';
}

TEST(Text, CountsCharactersNotBytes) {
  EXPECT_EQ(CharLength("Hlavička"), 8u);
  EXPECT_EQ(FirstChars("Čtvrtletí", 2), "Čt");
  EXPECT_EQ(FirstChars("ab", 5), "ab");
  EXPECT_EQ(FirstChars("", 1), "");
  EXPECT_EQ(FirstChars("€x", 1), "€");
  EXPECT_EQ(ToValidUtf8("a\xFF"
                        "b\xC3"),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
  EXPECT_EQ(ToValidUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // surrogate
  EXPECT_EQ(ToValidUtf8("Plnění ✓ 😀"), "Plnění ✓ 😀");
}

TEST(Layout, DefaultsPutFieldsInRecordOrderFromColumnA) {
  tDataSheets sheets;
  tDataOffsets offsets;
  tDataOrder order;
  EXPECT_EQ(sheets.Of(Section::A1), "A1");
  EXPECT_EQ(sheets.Of(Section::B3), "B3");
  EXPECT_EQ(offsets.Of(Section::B2), 1);
  EXPECT_EQ(order.Of(Section::A1, 2), 3);  // c_evid_dd from the third column
  EXPECT_EQ(order.Of(Section::A1, 5), 6);  // kod_pred_pl from the sixth
  EXPECT_EQ(order.Of(Section::A2, 0), 1);
  EXPECT_EQ(order.Of(Section::B3, 5), 6);
  int total = 0;
  for (int n : kSectionFieldCounts) total += n;
  EXPECT_EQ(total, 73);
}

TEST(Records, FieldTablesMatchTheRecords) {
  EXPECT_EQ(Fields<tDataA1>().size(), 6u);
  EXPECT_EQ(Fields<tDataA2>().size(), 11u);
  EXPECT_EQ(Fields<tDataA3>().size(), 9u);
  EXPECT_EQ(Fields<tDataA4>().size(), 12u);
  EXPECT_EQ(Fields<tDataA5>().size(), 6u);
  EXPECT_EQ(Fields<tDataB1>().size(), 11u);
  EXPECT_EQ(Fields<tDataB2>().size(), 12u);
  EXPECT_EQ(Fields<tDataB3>().size(), 6u);
  EXPECT_EQ(SubjectFields().size(), 31u);
  // Every subject row 2 … 32 feeds exactly one field; every header row 2 … 16 likewise.
  std::vector<int> rows;
  for (const auto& f : SubjectFields()) rows.push_back(f.sheet_row);
  std::sort(rows.begin(), rows.end());
  ASSERT_EQ(rows.size(), 31u);
  for (int i = 0; i < 31; ++i) EXPECT_EQ(rows[i], i + 2);
  rows.clear();
  for (const auto& f : HeaderFields()) rows.push_back(f.sheet_row);
  std::sort(rows.begin(), rows.end());
  ASSERT_EQ(rows.size(), 15u);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(rows[i], i + 2);
  // Each amount feeds its own slot, in slot order.
  int slot = static_cast<int>(TotalSlot::A4_zakl_dane1);
  for (const auto& f : Fields<tDataA4>())
    if (f.kind == FieldKind::Amount) {
      EXPECT_EQ(static_cast<int>(f.slot), slot++) << f.name;
    }
}

}  // namespace
}  // namespace vestrano
