// The section reading frame, shown on section A.1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/statement.h"
#include "support/sheet_builder.h"

namespace vestrano {
namespace {

using test::AddRow;
using test::Blank;
using test::Date;
using Lines = std::vector<std::string>;

constexpr double k31Jan2016 = 42400;  // serial of 2016-01-31
const std::string kDoc61(61, 'X');

class A1Frame : public ::testing::Test {
 protected:
  // A sheet "A1" with its heading row; tests append the data rows.
  TExportWorkSheet& NewA1Sheet() {
    st.workbook.Clear();
    TExportWorkSheet& sheet = st.workbook.AddSheet("A1");
    AddRow(sheet, {"č.ř.", "DIČ", "Ev. číslo", "DUZP", "Základ", "Kód"});
    return sheet;
  }
  void Import() { test::ImportInMemory(st); }
  Lines RowWarnings() const { return test::RowWarnings(st); }
  Lines Column(int k) const { return test::StatsColumn(st, k); }
  TStatement st;
};

TEST_F(A1Frame, ValidRowsAreStoredAsReadAndSummed) {
  TExportWorkSheet& sheet = NewA1Sheet();
  AddRow(sheet, {1, "12345679", "FV-1", Date{k31Jan2016}, 100.5, "1"});
  AddRow(sheet, {7.0, "7801011240", "FV-2", "2016-02-01", "1000,25", "11"});
  AddRow(sheet, {"abc", "123456789", "FV-3", Date{k31Jan2016 + 1}, "0.1", "17"});
  Import();

  EXPECT_EQ(st.errors, Lines{});
  EXPECT_EQ(RowWarnings(), Lines{});
  ASSERT_EQ(st.records.a1.size(), 3u);
  const tDataA1& first = st.records.a1[0];
  EXPECT_EQ(first.c_radku, "1");
  EXPECT_EQ(first.dic_odb, "12345679");
  EXPECT_EQ(first.c_evid_dd, "FV-1");
  EXPECT_EQ(first.duzp, "2016-01-31");  // stored as read; the writer normalises it
  EXPECT_EQ(first.zakl_dane1, "100.5");
  EXPECT_EQ(first.kod_pred_pl, "1");
  EXPECT_EQ(st.records.a1[1].c_radku, "7");
  EXPECT_EQ(st.records.a1[1].zakl_dane1, "1000,25");  // the check does not rewrite the text
  EXPECT_EQ(st.records.a1[2].c_radku, "");            // not a number: empty line number
  EXPECT_EQ(Column(1), (Lines{"3", "0", "0", "3"}));
  EXPECT_EQ(st.totals[TotalSlot::A1_zakl_dane1], 1100.85);
  EXPECT_EQ(st.subtotals.Get("A1-Základ daně"), "1 100,85 CZK");
  EXPECT_EQ(st.subtotals.Get("C-A1 celkem z.daně"), "1 100,85 CZK");
}

TEST_F(A1Frame, RowsWithoutKeyOrTooShortAreSkipped) {
  TExportWorkSheet& sheet = NewA1Sheet();
  AddRow(sheet, {1, "12345679", "", Date{k31Jan2016}, 10, "1"});       // empty key text
  AddRow(sheet, {2, "12345679", Blank{}, Date{k31Jan2016}, 10, "1"});  // empty key cell
  AddRow(sheet, {3, "12345679", "FV-3", Date{k31Jan2016}});            // ends before column E
  AddRow(sheet, {});                                                   // no cells at all
  AddRow(sheet, {5, "", "FV-5", Date{k31Jan2016}, 10});                // ends after column E
  Import();

  EXPECT_EQ(st.errors, Lines{});
  EXPECT_EQ(RowWarnings(), (Lines{
                               "Vynechaný řádek č.2 v sekci A1 (chybí Ev.č.d.d.)",
                               "Vynechaný řádek č.3 v sekci A1 (chybí Ev.č.d.d.)",
                               "Vynechaný řádek č.4 v sekci A1 (chybí Ev.č.d.d.)",
                               "Vynechaný řádek č.5 v sekci A1 (chybí Ev.č.d.d.)",
                               "Prázdný údaj DIČ odběratele v ř.č.6 v sekci A1",
                               "Prázdný údaj Kód předmětu plnění v ř.č.6 v sekci A1",
                           }));
  ASSERT_EQ(st.records.a1.size(), 1u);
  EXPECT_EQ(st.records.a1[0].c_evid_dd, "FV-5");
  EXPECT_EQ(st.records.a1[0].kod_pred_pl, "");
  EXPECT_EQ(Column(1), (Lines{"1", "4", "0", "5"}));
  EXPECT_EQ(st.totals[TotalSlot::A1_zakl_dane1], 10);
}

TEST_F(A1Frame, ChecksRunInOrderAndEveryOneReports) {
  TExportWorkSheet& sheet = NewA1Sheet();
  // Every check fails: one faulty row, five errors in check order, nothing summed.
  AddRow(sheet, {1, "CZ123", kDoc61, "31.01.2016", "12,345", "2"});
  // Every optional value empty: four warnings in check order, still read.
  AddRow(sheet, {2, "", "FV-2", "", "", ""});
  // An invalid negative amount is an error and, by its text alone, a negative warning.
  AddRow(sheet, {3, "12345679", "FV-3", Date{k31Jan2016}, "-1,005", "1"});
  // A valid negative amount is warned about, read, and lowers the sum.
  AddRow(sheet, {4, "12345679", "FV-4", Date{k31Jan2016}, -100, "1"});
  Import();

  EXPECT_EQ(st.errors, (Lines{
                           "Neplatný údaj Ev. číslo daňového dokladu v ř.č.2 v sekci A1",
                           "Neplatný údaj DUZP v ř.č.2 v sekci A1",
                           "Neplatný údaj Základ daně v ř.č.2 v sekci A1",
                           "Neplatný údaj DIČ odběratele v ř.č.2 v sekci A1",
                           "Neplatný údaj Kód předmětu plnění v ř.č.2 v sekci A1",
                           "Neplatný údaj Základ daně v ř.č.4 v sekci A1",
                       }));
  EXPECT_EQ(RowWarnings(), (Lines{
                               "Prázdný údaj DUZP v ř.č.3 v sekci A1",
                               "Prázdný údaj Základ daně v ř.č.3 v sekci A1",
                               "Prázdný údaj DIČ odběratele v ř.č.3 v sekci A1",
                               "Prázdný údaj Kód předmětu plnění v ř.č.3 v sekci A1",
                               "Záporná hodnota Základ daně v ř.č.4 v sekci A1",
                               "Záporná hodnota Základ daně v ř.č.5 v sekci A1",
                           }));
  ASSERT_EQ(st.records.a1.size(), 4u);  // faulty rows are stored all the same
  EXPECT_EQ(st.records.a1[0].duzp, "31.01.2016");
  EXPECT_EQ(Column(1), (Lines{"2", "0", "2", "4"}));
  EXPECT_EQ(st.totals[TotalSlot::A1_zakl_dane1], -100);
  EXPECT_EQ(st.subtotals.Get("A1-Základ daně"), "-100,00 CZK");
}

TEST_F(A1Frame, LastRowLeftOutWhenNotTaken) {
  st.header.take_last_row = false;
  TExportWorkSheet& sheet = NewA1Sheet();
  AddRow(sheet, {1, "12345679", "FV-1", Date{k31Jan2016}, 1, "1"});
  AddRow(sheet, {2, "12345679", "FV-2", Date{k31Jan2016}, 2, "1"});
  AddRow(sheet, {3, "12345679", "FV-3", Date{k31Jan2016}, 4, "1"});
  Import();

  ASSERT_EQ(st.records.a1.size(), 2u);
  EXPECT_EQ(st.records.a1[1].c_evid_dd, "FV-2");
  EXPECT_EQ(Column(1), (Lines{"2", "0", "0", "2"}));
  EXPECT_EQ(st.totals[TotalSlot::A1_zakl_dane1], 3);
}

TEST_F(A1Frame, HeadingOnlySheetCountsAnEmptyRange) {
  NewA1Sheet();
  Import();
  EXPECT_TRUE(st.records.a1.empty());
  EXPECT_EQ(Column(1), (Lines{"0", "0", "0", "0"}));
  EXPECT_EQ(st.subtotals.Get("A1-Základ daně"), "0,00 CZK");

  st.header.take_last_row = false;  // the formula is not clamped
  Import();
  EXPECT_EQ(Column(1), (Lines{"0", "0", "0", "-1"}));
}

TEST_F(A1Frame, SheetWithoutRowsIsMarkedAfterAnImportThatHadRows) {
  TExportWorkSheet& sheet = NewA1Sheet();
  AddRow(sheet, {1, "12345679", "FV-1", Date{k31Jan2016}, 250, "1"});
  Import();
  ASSERT_EQ(st.subtotals.Get("A1-Základ daně"), "250,00 CZK");

  st.workbook.Clear();
  st.workbook.AddSheet("A1");
  Import();
  EXPECT_TRUE(st.records.a1.empty());
  EXPECT_EQ(Column(1), (Lines{"-", "-", "-", "-"}));
  EXPECT_EQ(st.subtotals.Get("A1-Základ daně"), "0");  // as in a fresh window
  EXPECT_EQ(st.totals[TotalSlot::A1_zakl_dane1], 0);
  EXPECT_EQ(st.subtotals.Get("C-A1 celkem z.daně"), "0,00 CZK");
}

TEST_F(A1Frame, MissingSheetShowsWhatAFreshWindowShows) {
  TExportWorkSheet& sheet = NewA1Sheet();
  AddRow(sheet, {1, "12345679", "FV-1", Date{k31Jan2016}, 250, "1"});
  AddRow(sheet, {2, "12345679", "", Date{k31Jan2016}, 250, "1"});
  Import();
  ASSERT_EQ(Column(1), (Lines{"1", "1", "0", "2"}));

  st.workbook.Clear();
  st.workbook.AddSheet("A_1");
  Import();
  EXPECT_TRUE(st.records.a1.empty());
  EXPECT_EQ(st.warnings.at(0), "Nenalezen list pro sekci A1 - A1.");
  EXPECT_EQ(Column(1), (Lines{"", "", "", ""}));
  EXPECT_EQ(st.subtotals.Get("A1-Základ daně"), "0");
  EXPECT_EQ(st.totals[TotalSlot::A1_zakl_dane1], 0);
  EXPECT_EQ(st.subtotals.Get("C-A1 celkem z.daně"), "0,00 CZK");
}

TEST_F(A1Frame, LayoutDecidesRowsAndColumns) {
  // Two heading rows, and the columns in reverse order: kod_pred_pl in A … c_radku in F.
  st.offsets.offset[static_cast<int>(Section::A1)] = 2;
  for (int k = 0; k < 6; ++k) st.order.position[static_cast<std::size_t>(k)] = 6 - k;
  TExportWorkSheet& sheet = NewA1Sheet();
  AddRow(sheet, {"second heading row"});
  AddRow(sheet, {"3", "5", Date{k31Jan2016}, "FV-1", "12345679", 9});
  AddRow(sheet, {"1", "5", Date{k31Jan2016}, ""});  // key (column D) empty
  AddRow(sheet, {"", 7, "bad date", "FV-3"});       // reaches the key and the base
  Import();

  ASSERT_EQ(st.records.a1.size(), 2u);
  EXPECT_EQ(st.records.a1[0].c_radku, "9");
  EXPECT_EQ(st.records.a1[0].kod_pred_pl, "3");
  EXPECT_EQ(st.records.a1[0].zakl_dane1, "5");
  EXPECT_EQ(st.records.a1[1].c_radku, "");
  EXPECT_EQ(st.errors, Lines{"Neplatný údaj DUZP v ř.č.5 v sekci A1"});
  EXPECT_EQ(RowWarnings(), (Lines{"Vynechaný řádek č.4 v sekci A1 (chybí Ev.č.d.d.)",
                                  "Prázdný údaj DIČ odběratele v ř.č.5 v sekci A1",
                                  "Prázdný údaj Kód předmětu plnění v ř.č.5 v sekci A1"}));
  EXPECT_EQ(Column(1), (Lines{"1", "1", "1", "3"}));
  EXPECT_EQ(st.totals[TotalSlot::A1_zakl_dane1], 12);
}

TEST_F(A1Frame, SumsAreKeptInExtendedPrecision) {
  TExportWorkSheet& sheet = NewA1Sheet();
  for (const char* base : {"0.1", "0.2", "0.3"})
    AddRow(sheet, {1, "12345679", "FV", Date{k31Jan2016}, base, "1"});
  Import();
  // Summed in doubles this would be 0.6000000000000001.
  EXPECT_EQ(st.totals[TotalSlot::A1_zakl_dane1], 0.6);
}

// Amounts are judged on the text a user sees, dates on the day a cell stands for.
TEST_F(A1Frame, AmountsByTheirTextAndDatesByTheirDay) {
  TExportWorkSheet& sheet = NewA1Sheet();
  // A date-time cell gives its day, whatever time it holds; a text with a time stays a slip.
  AddRow(sheet, {1, "12345679", "FV-1", test::DateTime{k31Jan2016 + 0.75}, 0.1 + 0.2, "1"});
  AddRow(sheet, {2, "12345679", "FV-2", "2016-01-31 10:00", 1, "1"});
  AddRow(sheet, {3, "12345679", "FV-3", Date{k31Jan2016}, "123456789012345,675", "1"});
  AddRow(sheet, {4, "12345679", "FV-4", Date{k31Jan2016}, "12345678901234567890", "1"});
  AddRow(sheet, {5, "12345679", "FV-5", Date{k31Jan2016}, 10000000000000.01, "1"});
  AddRow(sheet, {6, "12345679", "FV-6", Date{k31Jan2016}, "1,000", "1"});
  Import();
  EXPECT_EQ(st.errors, (Lines{
                           "Neplatný údaj DUZP v ř.č.3 v sekci A1",
                           "Neplatný údaj Základ daně v ř.č.4 v sekci A1",
                           "Neplatný údaj Základ daně v ř.č.5 v sekci A1",
                           "Neplatný údaj Základ daně v ř.č.6 v sekci A1",
                       }));
  ASSERT_EQ(st.records.a1.size(), 6u);
  EXPECT_EQ(st.records.a1[0].duzp, "2016-01-31");
  EXPECT_EQ(st.records.a1[1].duzp, "2016-01-31 10:00");
  // Only the accepted amounts are summed: 0.3 + 1 + 1.
  EXPECT_EQ(st.subtotals.Get("A1-Základ daně"), "2,30 CZK");
  EXPECT_EQ(st.totals[TotalSlot::A1_zakl_dane1], 2.3);
  // The cell text and the model stay as they were.
  EXPECT_EQ(st.workbook.Sheets.Items(0).Rows.Find(1)->Cells.Items(3).AsText(st.workbook),
            "2016-01-31 18:00:00");
}

}  // namespace
}  // namespace vestrano
