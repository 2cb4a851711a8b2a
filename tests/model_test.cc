// The workbook model: cell texts, format classification, list access, reader choice.
#include "workbook/model.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "workbook/cell_text.h"
#include "workbook/errors.h"

namespace vestrano {
namespace {

TEST(GeneralNumberText, FifteenDigitsWithPointAndExponentOutsideFixedRange) {
  const std::pair<double, const char*> cases[] = {
      {1234, "1234"},
      {1234.5, "1234.5"},
      {-0.25, "-0.25"},
      {1.0 / 3, "0.333333333333333"},
      {0.1 + 0.2, "0.3"},
      {0.0001, "0.0001"},
      {0.00001, "1E-5"},
      {123456789012345.0, "123456789012345"},
      {1e15, "1E15"},
      {1.5e20, "1.5E20"},
      {0.0, "0"},
      {-0.0, "0"},
      {42400, "42400"},
      {1500000, "1500000"},
      {-1.25e-7, "-1.25E-7"},
      {999999999999999.9, "1E15"},
      {0.000123456, "0.000123456"},
      {2.5e-300, "2.5E-300"},
  };
  for (auto [value, text] : cases) EXPECT_EQ(GeneralNumberText(value), text) << value;
}

// Whole numbers and cents take a shortcut; it must give the text of the general rule, which for
// these magnitudes is printf's %.15g.
TEST(GeneralNumberText, CentsAndWholeNumbersMatchTheGeneralRule) {
  auto reference = [](double v) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    return std::string(buf, res.ptr);
  };
  std::vector<double> values = {0.01,
                                -0.01,
                                0.1,
                                0.3,
                                0.1 + 0.2,
                                0.29,
                                1.005,
                                2.675,
                                99.99,
                                100,
                                12500.5,
                                1e12,
                                9999999999999.99,
                                -9999999999999.99,
                                1e13 - 1,
                                4503599627370.49,
                                1234567.895,
                                0.015,
                                21.0 * 0.21};
  std::mt19937_64 rng(42);
  for (int i = 0; i < 200000; ++i) {
    const long long cents =
        static_cast<long long>(rng() % 2000000000000000ULL) - 1000000000000000LL;
    const int scale = static_cast<int>(rng() % 4);
    values.push_back(static_cast<double>(cents / (scale == 0   ? 1
                                                  : scale == 1 ? 100
                                                               : 1)) /
                     (scale == 3 ? 1000 : 100));
    values.push_back(std::round(std::ldexp(static_cast<double>(rng() >> 11), -20)) / 100);
  }
  for (double v : values) {
    if (v == 0 || std::fabs(v) >= 1e15 || std::fabs(v) < 1e-4) continue;
    ASSERT_EQ(GeneralNumberText(v), reference(v)) << v;
  }
}

struct DateCase {
  double value;
  const char* code;
  int builtin;
  const char* text;
};

TEST(DateTimeText, ShownPartFollowsTheFormat) {
  const DateCase cases[] = {
      {42400, "d.m.yyyy", -1, "2016-01-31"},
      {42400.75, "d.m.yyyy", -1, "2016-01-31"},
      {42400.5, "d.m.yyyy h:mm", -1, "2016-01-31 12:00:00"},
      {0.5, "h:mm", -1, "12:00:00"},
      {0, "dd.MM.yyyy", 14, "0000-00-00"},
      {0.75, "d.m.yyyy", -1, "0000-00-00"},
      {42400.25, "dd.MM.yyyy", 14, "2016-01-31"},
      {42400.25, "dd.MM.yyyy hh:mm", 22, "2016-01-31 06:00:00"},
      {0, "dd.MM.yyyy hh:mm", 22, "0000-00-00 00:00:00"},
      {1.5, "[h]:mm:ss", 46, "12:00:00"},
      {1, "h:mm", -1, "00:00:00"},
      {1, "yyyy-mm-dd", -1, "1899-12-31"},
      {60, "yyyy-mm-dd", -1, "1900-02-28"},
      {42400.9999999999, "d.m.yyyy hh:mm:ss", -1, "2016-02-01 00:00:00"},  // ms rounding carries
      {42400, "[$-405]d\\.m\\.yyyy", -1, "2016-01-31"},
      {0.25, "mm:ss;@", -1, "06:00:00"},        // reaches the text only when classified as a date
      {1e10, "yyyy-mm-dd", -1, "10000000000"},  // no year 1 to 9999: the number instead
  };
  for (const auto& c : cases) {
    bool elapsed = false;
    const DateTextKind kind = ClassifyDateText(c.code, c.builtin, &elapsed);
    EXPECT_EQ(DateTimeText(c.value, kind, elapsed), c.text) << c.code << " " << c.value;
  }
}

TEST(ClassifyNumberFormat, BuiltInAndCustomCodes) {
  const std::tuple<const char*, int, CellKind> cases[] = {
      {"", -1, CellKind::Number},
      {"General", 0, CellKind::Number},
      {"GENERAL", -1, CellKind::Number},
      {"@", 49, CellKind::Number},
      {"dd.MM.yyyy", 14, CellKind::DateTime},
      {"d.m.yyyy", -1, CellKind::DateTime},
      {"h:mm", 20, CellKind::DateTime},
      {"[h]:mm:ss", 46, CellKind::DateTime},
      {"mm:ss", 45, CellKind::Number},
      {"mmss.0", 47, CellKind::Number},
      {"0%", 9, CellKind::Percent},
      {"0.00%", -1, CellKind::Percent},
      {"# ?/?", 12, CellKind::Fraction},
      {"0.00E+00", 11, CellKind::Scientific},
      {"#,##0.00\\ \"Kč\"", -1, CellKind::Currency},
      {"[$-405]#,##0.00 [$€-1]", -1, CellKind::Currency},
      {"[$-405]#,##0", -1, CellKind::Number},
      {"\"Month\" 0", -1, CellKind::DateTime},  // letters in quoted text count
      {"0.00;[Red]-0.00", -1, CellKind::Number},
      {";dd/mm", -1, CellKind::DateTime},  // a code that begins with ";" is taken whole
  };
  for (auto [code, id, kind] : cases) EXPECT_EQ(ClassifyNumberFormat(code, id), kind) << code;
}

TEST(Workbook, NumberCellsTakeTheirKindFromTheFormatAndShiftIn1904) {
  TWorkbook book;
  TExportWorkSheet& sheet = book.AddSheet("A/1");
  EXPECT_EQ(sheet.Name, "A-1");
  const std::uint32_t date = book.InternFormat("d.m.yyyy");
  const std::uint32_t money = book.InternFormat("#,##0.00\\ \"Kč\"");
  book.SetNumber(sheet.FindCreateCell(0, 0, CellKind::Empty), 42400, date);
  book.SetNumber(sheet.FindCreateCell(1, 0, CellKind::Empty), 1500000, money);
  book.SetBoolean(sheet.FindCreateCell(2, 0, CellKind::Empty), true, 0);
  const TExportCells& cells = sheet.Rows.Items(0).Cells;
  EXPECT_EQ(cells.Items(0).Kind(), CellKind::DateTime);
  EXPECT_EQ(cells.Items(0).AsText(book), "2016-01-31");
  EXPECT_EQ(cells.Items(0).FormatCode(book), "d.m.yyyy");
  EXPECT_EQ(cells.Items(1).Kind(), CellKind::Currency);
  EXPECT_EQ(cells.Items(1).AsText(book), "1500000");
  EXPECT_EQ(cells.Items(2).AsText(book), "1");

  book.Date1904 = true;
  book.SetNumber(sheet.FindCreateCell(3, 0, CellKind::Empty), 40938, date);
  EXPECT_EQ(cells.Items(3).AsText(book), "2016-01-31");
  book.SetNumber(sheet.FindCreateCell(4, 0, CellKind::Empty), 40938, 0);
  const TExportCell& e = cells.Items(4);  // only date-time cells are shifted
  EXPECT_EQ(e.AsText(book), "40938");
}

TEST(Workbook, ListsRaiseTheIndexErrorAndRowsGrowOnRead) {
  TWorkbook book;
  EXPECT_THROW(book.Sheets.Items(0), EListIndexError);
  TExportWorkSheet& sheet = book.AddSheet("A1");
  sheet.FindCreateCell(0, 4, CellKind::Empty);  // five rows, the last with one cell
  try {
    sheet.Rows.Items(4).Cells.Items(1);
    FAIL();
  } catch (const EListIndexError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (1)");
  }
  EXPECT_EQ(sheet.Rows.Find(8), nullptr);
  TExportRow& row9 = sheet.Rows.Items(8);
  EXPECT_EQ(sheet.Rows.Count(), 9);
  EXPECT_EQ(row9.Cells.Count(), 0);
  EXPECT_THROW(sheet.Rows.Items(-1), EListIndexError);
}

TEST(Workbook, FindCreateCellPadsAndKeepsExistingCells) {
  TWorkbook book;
  TExportWorkSheet& sheet = book.AddSheet("S");
  TExportCell& d = sheet.FindCreateCell(3, 0, CellKind::Empty);
  d.SetString(book.AddString("x"));
  TExportRow& row = sheet.Rows.Items(0);
  EXPECT_EQ(row.Cells.Count(), 4);
  EXPECT_EQ(row.Cells.Items(1).AsText(book), "");
  EXPECT_EQ(row.FindCreateCell(3, CellKind::Number).AsText(book), "x");
  sheet.CoverMergedRange(1, 0, 6);
  EXPECT_EQ(row.Cells.Count(), 7);
  EXPECT_THROW(sheet.FindCreateCell(-1, 0, CellKind::Empty), EWorkbookError);
  try {
    row.FindCreateCell(-1, CellKind::Empty);
    FAIL();
  } catch (const EWorkbookError& e) {
    EXPECT_STREQ(e.what(), "TExportRow.FindCreateCell: invalid parameters");
  }
}

TEST(Workbook, CellBudgetRefusesOversizedModels) {
  TWorkbook book;
  book.SetCellBudget(1000);
  TExportWorkSheet& sheet = book.AddSheet("S");
  EXPECT_THROW(sheet.FindCreateCell(0, 5000, CellKind::Empty), EWorkbookFileError);
}

TEST(LoadFromFile, ChoosesTheReaderByExtensionBeforeTouchingTheFile) {
  TWorkbook book;
  book.AddSheet("kept");
  for (const char* name : {"data.csv", "noextension", "/tmp/dir.xlsx/file", "a.xlsx.bak"}) {
    try {
      book.LoadFromFile(name);
      FAIL() << name;
    } catch (const EWorkbookFileNameError& e) {
      EXPECT_EQ(std::string(e.what()), std::string("The file \"") + name +
                                           "\" could not be processed.\r\n\r\nThe file "
                                           "extension is not assigned to any exporter.");
    }
  }
  EXPECT_EQ(book.Sheets.Count(), 1);  // untouched
  // A known extension opens the file: a missing one gives the system's reason.
  for (const char* name :
       {"/nonexistent/Podklady.XLSX", "/nonexistent/a.xlsm", "/nonexistent/b.xltx",
        "/nonexistent/c.XLTM", "/nonexistent/d.xls", "/nonexistent/e.xlt"}) {
    try {
      book.LoadFromFile(name);
      FAIL() << name;
    } catch (const EFileOpenError& e) {
      EXPECT_NE(std::string(e.what()).find(name), std::string::npos);
      EXPECT_NE(std::string(e.what()).find("No such file"), std::string::npos);
    }
  }
  EXPECT_EQ(book.Sheets.Count(), 1);
}

// Only a regular file is opened as a workbook: a pipe (which would block for ever), a device,
// a folder and a link to a device fail at once with what they are.
TEST(LoadFromFile, OnlyARegularFileIsRead) {
  test::TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe.xlsx").c_str(), 0644), 0);
  std::filesystem::create_directory(dir / "folder.xls");
  std::filesystem::create_symlink("/dev/zero", dir / "zero.xlsx");
  const std::pair<std::string, std::string> cases[] = {
      {dir / "pipe.xlsx", "It is a named pipe (FIFO), not a file."},
      {dir / "folder.xls", "It is a folder, not a file."},
      {dir / "zero.xlsx", "It is a device, not a file."},
      {"/dev/null.xls", "No such file or directory"},
  };
  for (const auto& [name, reason] : cases) {
    TWorkbook book;
    try {
      book.LoadFromFile(name);
      ADD_FAILURE() << name;
    } catch (const EFileOpenError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + name + "\". " + reason);
    }
  }
}
}  // namespace
}  // namespace vestrano
