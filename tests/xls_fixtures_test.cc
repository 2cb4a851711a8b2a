// The XLS reader on files written by real programs (tests/fixtures/make-xls-fixtures), and on every
// input the fuzzer found troublesome (tests/fixtures/xls/fuzz/).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "workbook/errors.h"
#include "workbook/model.h"
#include "workbook/xls/xls_reader.h"

namespace vestrano {
namespace {

using Grid = std::vector<std::vector<std::string>>;
const std::filesystem::path kDir =
    std::filesystem::path(VESTRANO_SOURCE_DIR) / "tests/fixtures/xls";

std::vector<std::byte> ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::byte> out(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) out[i] = static_cast<std::byte>(bytes[i]);
  return out;
}

std::string CellName(std::size_t row, std::size_t col) {
  std::string name;
  for (std::size_t c = col + 1; c > 0; c = (c - 1) / 26)
    name.insert(name.begin(), char('A' + (c - 1) % 26));
  return name + std::to_string(row + 1);
}

// Compares a sheet with the expected texts and reports the first difference as "Sheet!C7: …".
void ExpectSheet(const TWorkbook& book, int index, const std::string& name, const Grid& expected) {
  ASSERT_LT(index, book.Sheets.Count());
  const TExportWorkSheet& sheet = book.Sheets.Items(index);
  EXPECT_EQ(sheet.Name, name);
  const auto& rows = sheet.Rows.All();
  for (std::size_t r = 0; r < std::max(rows.size(), expected.size()); ++r) {
    if (r >= rows.size() || r >= expected.size()) {
      ADD_FAILURE() << name << ": expected " << expected.size() << " rows, got " << rows.size();
      return;
    }
    const auto& cells = rows[r].Cells.All();
    for (std::size_t c = 0; c < std::max(cells.size(), expected[r].size()); ++c) {
      const std::string got = c < cells.size() ? cells[c].AsText(book) : "(no cell)";
      const std::string want = c < expected[r].size() ? expected[r][c] : "(no cell)";
      if (got != want) {
        ADD_FAILURE() << name << "!" << CellName(r, c) << ": expected \"" << want << "\", got \""
                      << got << "\"";
        return;
      }
    }
  }
}

TEST(XlsFixtures, LibreOfficeAndGnumericWriteTheSameWorkbook) {
  // The cells of tests/fixtures/xls/source.fods, as both programs saved them.
  const Grid header = {
      {"Rok", "2016", "Sloučeno", "", ""},  // C1:E1 merged
      {"Datum", "2016-01-31"},
      {"Text", "Příliš žluťoučký kůň"},
      {"Latin", "crème"},
      {"Řádky", "a\r\nb"},
      {"Vzorec", "abc", "", "7"},  // ="ab"&"c", then =1/0 which makes no cell
      {"Procento", "0.25", "2"},
      {"", "", "", "-1234.5"},
  };
  const Grid a1 = {
      {"Ev. číslo", "DIČ", "Datum", "Základ"},
      {"FV-001", "CZ12345678", "2016-02-29", "1500000"},
      {"FV-002", "CZ12345678", "2016-03-01", "0.1"},
  };
  for (const char* file : {"libreoffice-types.xls", "gnumeric-types.xls"}) {
    SCOPED_TRACE(file);
    TWorkbook book;
    xls::Read(book, ReadFile(kDir / file), nullptr);
    ASSERT_EQ(book.Sheets.Count(), 3);
    EXPECT_FALSE(book.Date1904);
    ExpectSheet(book, 0, "Hlavička", header);
    ExpectSheet(book, 1, "Skrytý", {{"skryto"}});  // hidden
    ExpectSheet(book, 2, "A1", a1);
    const auto& row6 = book.Sheets.Items(0).Rows.All()[6].Cells.All();
    EXPECT_EQ(row6[1].Kind(), CellKind::Percent);
    EXPECT_EQ(book.Sheets.Items(0).Rows.All()[1].Cells.All()[1].Kind(), CellKind::DateTime);
  }
}

TEST(XlsFixtures, XlwtWorkbookIn1904DateSystem) {
  TWorkbook book;
  xls::Read(book, ReadFile(kDir / "xlwt-1904-formats.xls"), nullptr);
  EXPECT_TRUE(book.Date1904);
  Grid data = {{"Ev. číslo", "Datum", "Částka", "Čas"}};
  for (int i = 1; i <= 5; ++i)
    data.push_back({"FV-00" + std::to_string(i), "2016-01-" + std::to_string(26 + i),
                    std::to_string(1000 * i) + ".5", "2016-01-31 12:00:00"});
  data.push_back({"FV-001", "", "12345", "123.45"});
  data.push_back({});
  data.push_back({"Sloučeno", "", ""});
  ASSERT_EQ(book.Sheets.Count(), 2);
  ExpectSheet(book, 0, "Data", data);
  ExpectSheet(book, 1, "Prázdný", {});
  const TExportCell& amount = book.Sheets.Items(0).Rows.All()[1].Cells.All()[2];
  EXPECT_EQ(amount.Kind(), CellKind::Currency);
  EXPECT_EQ(amount.FormatCode(book), "#,##0.00 \"Kč\"");
  // Both cells show the shared string "FV-001": one pool entry.
  EXPECT_EQ(book.Sheets.Items(0).Rows.All()[1].Cells.All()[0].StringIndex(),
            book.Sheets.Items(0).Rows.All()[6].Cells.All()[0].StringIndex());
}

TEST(XlsFixtures, MergedRangeAfterAnEmbeddedChartIsKept) {
  // Gnumeric writes the chart's substream inside the worksheet, then the merged range A4:D4.
  TWorkbook book;
  xls::Read(book, ReadFile(kDir / "gnumeric-chart-then-merged.xls"), nullptr);
  ASSERT_EQ(book.Sheets.Count(), 1);
  ExpectSheet(book, 0, "A1",
              {{"Základ", "10"}, {"Daň", "20"}, {"Celkem", "30"}, {"Za grafem", "", "", ""}});
}

TEST(XlsFixtures, FuzzFindingsLoadOrFailCleanly) {
  const auto dir = kDir / "fuzz";
  if (!std::filesystem::exists(dir)) GTEST_SKIP() << "no fuzz findings kept";
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".xls") continue;
    SCOPED_TRACE(entry.path().filename().string());
    TWorkbook book;
    try {
      xls::Read(book, ReadFile(entry.path()), nullptr);
    } catch (const EWorkbookError& e) {
      EXPECT_STRNE(e.what(), "");
    }
    for (int i = 0; i < book.Sheets.Count(); ++i)
      for (const TExportRow& row : book.Sheets.Items(i).Rows.All())
        for (const TExportCell& cell : row.Cells.All()) (void)cell.AsText(book);
  }
}

}  // namespace
}  // namespace vestrano
