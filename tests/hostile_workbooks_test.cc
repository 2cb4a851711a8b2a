// Small workbooks that would make the reader hold far more text than they are, or change a value
// without a word: each fails at once with a message that names where. That they fail before the
// text is copied is what keeps memory bounded, so the budget's error is what is asserted here.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "import/run.h"
#include "support/biff_writer.h"
#include "workbook/errors.h"
#include "workbook/model.h"
#include "workbook/xls/xls_reader.h"

namespace vestrano {
namespace {

const std::string kHostile = std::string(VESTRANO_SOURCE_DIR) + "/tests/fixtures/xlsx/hostile/";

std::string LoadError(const std::string& file) {
  TStatement st;
  try {
    RunImport(st, file);
  } catch (const EWorkbookError& e) {
    return e.what();
  }
  return "no error";
}

TEST(HostileWorkbooks, FailAtOnceNamingWhere) {
  const std::string budget =
      "The workbook is too large: the text of its cells would exceed 268435456 bytes (sheet ";
  const struct {
    const char* file;
    std::string message;
  } cases[] = {
      // 1 MiB shared by 1000 cells: the 257th crosses the budget.
      {"shared-string-in-1000-cells.xlsx", budget + "A4)."},
      // 150 cells of 1 MiB on each of two sheets: the second sheet crosses it.
      {"shared-string-over-two-sheets.xlsx", budget + "A4)."},
      {"shared-string-too-long.xlsx",
       "The part xl/sharedStrings.xml (string 0) holds a text longer than 10000000 bytes, more "
       "than a cell takes."},
      {"inline-string-too-long.xlsx",
       "The part xl/worksheets/sheet1.xml, line 2: a cell's text is longer than 10000000 bytes"},
      {"undefined-entity-in-sheet.xlsx",
       "The part xl/worksheets/sheet1.xml is not well-formed XML (line 3, column 219): Entity "
       "'ie' not defined."},
  };
  std::size_t seen = 0;
  for (const auto& c : cases) {
    EXPECT_EQ(LoadError(kHostile + c.file), c.message) << c.file;
    ++seen;
  }
  // Every hostile fixture is in the table.
  std::size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(kHostile))
    files += e.path().extension() == ".xlsx";
  EXPECT_EQ(files, seen);
}

// Each cell that uses the shared string counts its megabyte: with room for 100 MiB the first
// sheet's 150 cells cross the budget, with room for 200 MiB the second sheet's.
TEST(HostileWorkbooks, TheBudgetCountsASharedStringOncePerCell) {
  for (const auto& [mib, sheet] : {std::pair{100, "A1"}, std::pair{200, "A4"}}) {
    TWorkbook book;
    const std::uint64_t budget = static_cast<std::uint64_t>(mib) << 20;
    book.SetTextBudget(budget);
    try {
      book.LoadFromFile(kHostile + "shared-string-over-two-sheets.xlsx");
      ADD_FAILURE() << "loaded";
    } catch (const EWorkbookFileError& e) {
      EXPECT_EQ(std::string(e.what()),
                "The workbook is too large: the text of its cells would "
                "exceed " +
                    std::to_string(budget) + " bytes (sheet " + sheet + ").");
    }
  }
}

// An .xls shares its strings the same way: one string of 65535 three-byte characters in 1400
// cells is 275 MB of text from a file of 150 KB.
TEST(HostileWorkbooks, XlsSharedStringsCountOncePerCell) {
  using test::BiffWriter;
  using test::Bytes;
  constexpr int kChars = 65535, kPerRecord = 4000;
  std::string chunk;
  for (int i = 0; i < kPerRecord; ++i) chunk += "€";
  std::vector<std::vector<std::byte>> parts;
  for (int done = 0; done < kChars; done += kPerRecord) {
    const int n = std::min(kPerRecord, kChars - done);
    Bytes b;
    if (done == 0) b.U16(kChars);
    b.U8(1).Chars(std::string_view(chunk).substr(0, static_cast<std::size_t>(n) * 3), true);
    parts.push_back(b.Take());
  }
  BiffWriter w;
  w.Bof(5).Xf(0).BoundSheet("B2").Sst(1, parts).Eof();
  w.Bof(16);
  for (int row = 0; row < 1400; ++row) w.LabelSst(row, 2, 0);
  w.Eof();
  TWorkbook book;
  try {
    xls::Read(book, test::XlsFile(w.Stream()), nullptr);
    ADD_FAILURE() << "loaded";
  } catch (const EWorkbookFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "The workbook is too large: the text of its cells would exceed 268435456 bytes "
              "(sheet B2).");
  }
}

}  // namespace
}  // namespace vestrano
