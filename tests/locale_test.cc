// Every text the core produces is the same under a Czech locale, where the decimal separator is
// a comma: the window's process runs under the desktop's locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <locale>

#include "data/date_text.h"
#include "data/field_rules.h"
#include "import/run.h"
#include "support/sheet_builder.h"
#include "workbook/cell_text.h"

namespace vestrano {
namespace {

struct CommaNumpunct : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return ' '; }
  std::string do_grouping() const override { return "\3"; }
};

// Switches the C and C++ locales to Czech for the test's duration (the C locale only when a
// Czech locale can be compiled here).
class CzechLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "vestrano-locale";
    std::filesystem::create_directories(dir);
    const std::string target = (dir / "cs_CZ.UTF-8").string();
    if (!std::filesystem::exists(target)) {
      const std::string cmd = "localedef -i cs_CZ -f UTF-8 " + target + " >/dev/null 2>&1";
      if (std::system(cmd.c_str()) != 0) std::filesystem::remove_all(target);
    }
    setenv("LOCPATH", dir.c_str(), 1);
    c_locale_ = std::setlocale(LC_ALL, target.c_str()) != nullptr;
    std::locale::global(std::locale(std::locale::classic(), new CommaNumpunct));
  }
  void TearDown() override {
    std::setlocale(LC_ALL, "C");
    std::locale::global(std::locale::classic());
    unsetenv("LOCPATH");
  }
  bool c_locale_ = false;
};

TEST_F(CzechLocale, TextsKeepTheirDecimalPoint) {
  if (c_locale_) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    EXPECT_STREQ(buf, "1,5");  // the locale is really in force
  }
  EXPECT_EQ(GeneralNumberText(1234.5), "1234.5");
  EXPECT_EQ(GeneralNumberText(1.5e20), "1.5E20");
  EXPECT_EQ(NormalizeDate("2016-01-31"), "31.01.2016");
  EXPECT_EQ(NormalizeAmount("1234,50"), "1234.5");
  EXPECT_EQ(NormalizeAmount("1.5e3"), "1500");
  ASSERT_TRUE(AmountValue("0,1").has_value());
  EXPECT_EQ(*AmountValue("0,1"), 0.1L);

  TStatement st;
  TExportWorkSheet& a1 = st.workbook.AddSheet("A1");
  test::AddRow(a1, {"Ř.", "DIČ", "Doklad", "DUZP", "Základ", "Kód"});
  test::AddRow(a1, {1, "12345678", "FV1", test::Date{42400}, 1234.5, "4"});
  ImportWorkbook(st, std::move(st.workbook));
  ASSERT_EQ(st.records.a1.size(), 1u);
  EXPECT_EQ(st.records.a1[0].zakl_dane1, "1234.5");
  EXPECT_EQ(st.records.a1[0].duzp, "2016-01-31");
  EXPECT_EQ(st.subtotals.Get("A1-Základ daně"), "1 234,50 CZK");
  EXPECT_EQ(st.stats.At(1, 1), "1");
}

}  // namespace
}  // namespace vestrano
