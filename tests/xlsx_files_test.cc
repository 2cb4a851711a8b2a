// Workbooks written by real programs: the fixtures of tests/fixtures/xlsx (made by
// make-xlsx-fixtures), the workbooks saved by Excel in ../shared/excel-made, and the inputs
// the fuzzer found. Expected texts were worked out from each file's XML.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/sheet_builder.h"
#include "workbook/errors.h"
#include "workbook/model.h"

namespace vestrano {
namespace {

using test::Grid;

namespace fs = std::filesystem;

std::vector<std::string> SheetNames(const TWorkbook& book) {
  std::vector<std::string> names;
  for (int i = 0; i < book.Sheets.Count(); ++i) names.push_back(book.Sheets.Items(i).Name);
  return names;
}

struct Expected {
  const char* file;
  std::vector<std::string> sheets;
  int sheet;
  const char* grid;
};

void Check(const std::string& folder, const Expected& e) {
  SCOPED_TRACE(e.file);
  TWorkbook book;
  book.LoadFromFile(folder + "/" + e.file);
  EXPECT_EQ(SheetNames(book), e.sheets);
  ASSERT_LT(e.sheet, book.Sheets.Count());
  EXPECT_EQ(Grid(book, e.sheet), e.grid);
}

const std::string kFixtures = VESTRANO_SOURCE_DIR "/tests/fixtures/xlsx";

TEST(XlsxFiles, WorkbooksOfRealWriters) {
  const Expected cases[] = {
      {"openpyxl-types.xlsx",
       {"A4"},
       0,
       "Ev. číslo|DIČ|DUZP|Základ|Poznámka\n"
       "FV-1|CZ12345678|2016-01-31|1234.5|  mezery  \n"
       "FV-2|CZ87654321|2016-02-29 12:30:00|-0.25|řádek 1\r\nřádek 2\n"
       "3|1|42400|1E20|~\n"
       "~|~|~|~|~\n"  // the whole-column conditional format on E ends with the last row
       "sloučeno|~|~|~|~"},
      {"openpyxl-iso-dates.xlsx", {"B2"}, 0, "DUZP|Čas\n2016-01-31|2016-01-31 18:45:10"},
      {"xlsxwriter-structures.xlsx",
       {"A1"},
       0,
       "Kód| Tab\tulka |1|0\n"
       "2016-01-31|1500000|3000000|ab\n"
       "\n"
       "~|odkaz\n"
       "\n"
       "~|~|~|~|~\n"  // the comment on E6 and its VML shape
       "\n"
       "~|~|~\n"  // the picture anchored at C8
       "\n\n"},   // the manual break after row 10
      {"xlsxwriter-1904.xlsx", {"Hlavička"}, 0, "2016-01-31|40938"},
      {"libreoffice-calc.xlsx",
       {"Subjekt", "A1"},
       0,
       "Název|Firma a.s.\r\ndruhý řádek\n12345678|2016-01-31|1\n\nspojeno|~|0.1"},
      {"libreoffice-calc.xlsx", {"Subjekt", "A1"}, 1, "<&> \"uvozovky\""},
      {"gnumeric-ssconvert.xlsx", {"B1"}, 0, "Doklad|Částka\nDD-7|99.95|~|2016-01-31\n\n1|~"},
  };
  for (const Expected& e : cases) Check(kFixtures, e);
}

TEST(XlsxFiles, KindsAndFormatsOfRealWriters) {
  TWorkbook book;
  book.LoadFromFile(kFixtures + "/xlsxwriter-structures.xlsx");
  const TExportRow& row = book.Sheets.Items(0).Rows.All()[1];
  EXPECT_EQ(row.Cells.Items(0).Kind(), CellKind::DateTime);
  EXPECT_EQ(row.Cells.Items(0).FormatCode(book), "dd.mm.yyyy");
  EXPECT_EQ(row.Cells.Items(1).Kind(), CellKind::Currency);
  EXPECT_EQ(book.Sheets.Items(0).Rows.All()[0].Cells.Items(2).Kind(), CellKind::Boolean);
  TWorkbook b1904;
  b1904.LoadFromFile(kFixtures + "/xlsxwriter-1904.xlsx");
  EXPECT_TRUE(b1904.Date1904);
}

const std::string kExcelMade = VESTRANO_SOURCE_DIR "/../shared/excel-made";

TEST(XlsxFiles, EveryWorkbookSavedByExcelLoads) {
  if (!fs::is_directory(kExcelMade)) GTEST_SKIP() << kExcelMade << " is absent";
  int loaded = 0;
  for (const auto& entry : fs::directory_iterator(kExcelMade)) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".xlsx" && ext != ".xlsm") continue;
    SCOPED_TRACE(entry.path().filename().string());
    TWorkbook book;
    EXPECT_NO_THROW(book.LoadFromFile(entry.path().string()));
    EXPECT_GE(book.Sheets.Count(), 1);
    ++loaded;
  }
  EXPECT_GE(loaded, 40);
}

TEST(XlsxFiles, CellTextsOfWorkbooksSavedByExcel) {
  if (!fs::is_directory(kExcelMade)) GTEST_SKIP() << kExcelMade << " is absent";
  const Expected cases[] = {
      {"rich_string01.xlsx", {"Sheet1"}, 0, "Foo\nBar\nabcdefg"},
      {"escapes01.xlsx", {"5&4"}, 0, "1\n'<>&\n1b\n'\n\"\n&&\n\n\"&<>"},
      {"merge_range01.xlsx", {"Sheet1"}, 0, "\n~|Foo|~|~"},
      {"hyperlink01.xlsx", {"Sheet1"}, 0, "http://www.perl.org/"},
      {"comment01.xlsx", {"Sheet1"}, 0, "Foo\n~|~"},
      {"image01.xlsx", {"Sheet1"}, 0, "\n\n\n\n\n\n\n\n~|~|~|~|~"},
      {"chartsheet02.xlsx", {"Sheet1", "Sheet2"}, 1, ""},
      // Only _x000D_ is an escape here; the rest of that form stays as written.
      {"shared_strings02.xlsx",
       {"Sheet1"},
       0,
       "_\n_x\n_x0\n_x00\n_x000\n_x0000\n_x005F_x0000_\n_x005F_x005F_\n_x000G_\n_X0000_\n"
       "_x005F_x000a_\n_x005F_x000A_\n_x005F_x0000__x005F_x0000_\n__x005F_x0000__"},
  };
  for (const Expected& e : cases) Check(kExcelMade, e);
  TWorkbook polish;
  polish.LoadFromFile(kExcelMade + "/unicode_polish_utf8.xlsx");
  EXPECT_EQ(polish.Sheets.Items(0).Rows.All()[0].Cells.Items(0).AsText(polish),
            "WŚRÓD NOCNEJ CISZY");
  EXPECT_EQ(polish.Sheets.Items(0).Rows.All()[2].Cells.Items(0).AsText(polish),
            "Wśród nocnej ciszy głos się rozchodzi:");
}

TEST(XlsxFiles, InputsTheFuzzerFoundLoadOrFailCleanly) {
  const fs::path folder = kFixtures + "/fuzz";
  ASSERT_TRUE(fs::is_directory(folder));
  for (const auto& entry : fs::directory_iterator(folder)) {
    SCOPED_TRACE(entry.path().filename().string());
    TWorkbook book;
    book.SetCellBudget(2'000'000);
    try {
      book.LoadFromFile(entry.path().string());
    } catch (const EWorkbookError&) {
    }
    for (int i = 0; i < book.Sheets.Count(); ++i)
      for (const TExportRow& row : book.Sheets.Items(i).Rows.All())
        for (const TExportCell& cell : row.Cells.All()) cell.AsText(book);
  }
}

}  // namespace
}  // namespace vestrano
