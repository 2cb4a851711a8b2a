// The import run: sheet lookup, the header and subject sheets, what a run resets.
#include <gtest/gtest.h>

#include "import/run.h"
#include "support/sheet_builder.h"
#include "workbook/errors.h"

namespace vestrano {
namespace {

using test::AddRow;
using test::Date;

using test::AddLabelledSheet;

class ImportRunTest : public ::testing::Test {
 protected:
  void Run() { ImportWorkbook(st, std::move(st.workbook)); }
  TStatement st;
};

TEST_F(ImportRunTest, MissingSheetsGiveWarningsInLookupOrder) {
  st.workbook.AddSheet("hlavička");
  st.workbook.AddSheet("Subjekt ");
  st.workbook.AddSheet("A_1");
  Run();
  const std::vector<std::string> expected = {
      "Nenalezen list Hlavička.",          "Nenalezen list Subjekt.",
      "Nenalezen list pro sekci A1 - A1.", "Nenalezen list pro sekci A2 - A2.",
      "Nenalezen list pro sekci A3 - A3.", "Nenalezen list pro sekci A4 - A4.",
      "Nenalezen list pro sekci A5 - A5.", "Nenalezen list pro sekci B1 - B1.",
      "Nenalezen list pro sekci B2 - B2.", "Nenalezen list pro sekci B3 - B3.",
  };
  EXPECT_EQ(st.warnings, expected);
  for (const auto& index : st.sheet_index) EXPECT_FALSE(index.has_value());
}

TEST_F(ImportRunTest, TheLaterOfTwoSheetsWithTheSameNameWins) {
  AddLabelledSheet(st.workbook, "Subjekt", {"F", "11111111"});
  st.workbook.AddSheet("A1");
  AddLabelledSheet(st.workbook, "Subjekt", {"P", "22222222"});
  Run();
  EXPECT_EQ(st.SheetIndex(SheetSlot::Subject), 2);
  EXPECT_EQ(st.SheetIndex(SheetSlot::A1), 1);
  EXPECT_EQ(st.subject.dic, "22222222");
  for (const auto& w : st.warnings) EXPECT_NE(w, "Nenalezen list Subjekt.");
}

TEST_F(ImportRunTest, HeaderRowsAreReadWholeAndDatesNormalised) {
  AddLabelledSheet(
      st.workbook, "Hlavička",
      {"B", "2016", "", "01", Date{42400}, "x1", "x2", "31.1.2016", "2016-02-29", "nonsense"});
  AddLabelledSheet(st.workbook, "Subjekt", {"F", "7801011240", "451", "", "", "Nová", "Jana"});
  Run();
  EXPECT_EQ(st.header.khdph_forma, "B");
  EXPECT_EQ(st.header.rok, "2016");
  EXPECT_EQ(st.header.ctvrt, "");
  EXPECT_EQ(st.header.mesic, "01");
  EXPECT_EQ(st.header.d_poddp, "31.01.2016");
  EXPECT_EQ(st.header.t_extra1, "x1");
  EXPECT_EQ(st.header.t_extra2, "x2");
  EXPECT_EQ(st.header.d_extra1, "");  // day first with dots is not a date text
  EXPECT_EQ(st.header.d_extra2, "29.02.2016");
  EXPECT_EQ(st.header.d_extra3, "");  // the user's own dates: never filed, never judged
  EXPECT_TRUE(st.errors.empty()) << st.errors.front();
}

TEST_F(ImportRunTest, FollowUpStatementNeedsTheDayFoundOrTheCallsReference) {
  const std::string missing =
      "Chybí datum zjištění (ř.č.12) nebo č.j. výzvy (ř.č.13) na listu Hlavička";
  struct Case {
    const char* forma;
    test::Lit d_zjist;        // row 12
    const char* c_jed_vyzvy;  // row 13
    const char* d_zjist_read;
    bool error;
  };
  const Case cases[] = {
      {"N", "", "", "", true},
      {"E", "", "", "", true},
      {"N", Date{46406}, "", "19.01.2027", false},
      {"E", "", "12345678/26/2001-00000-123456", "", false},
      {"N", "2027-1-20", "", "20.01.2027", false},
      {"N", "20.1.2027", "", "20.1.2027", false},  // kept as read, and refused on its own
      {"B", "", "", "", false},
      {"n", "", "", "", false},  // not a follow-up code; the schema check judges it
  };
  for (const Case& c : cases) {
    st = TStatement{};
    AddLabelledSheet(st.workbook, "Hlavička",
                     {c.forma, "2026", "", "11", "", "", "", "", "", "", c.d_zjist, c.c_jed_vyzvy});
    TExportWorkSheet& a1 = st.workbook.AddSheet("A1");
    AddRow(a1, {"heading"});
    AddRow(a1, {1, "12345678", "FV1", "no date", 100, "4"});  // an error of its own
    Run();
    EXPECT_EQ(st.header.d_zjist, c.d_zjist_read) << c.forma;
    EXPECT_EQ(st.header.c_jed_vyzvy, c.c_jed_vyzvy) << c.forma;
    if (c.error) {
      ASSERT_FALSE(st.errors.empty()) << c.forma;
      EXPECT_EQ(st.errors.front(), missing) << "before any section's messages";
    } else {
      for (const auto& e : st.errors) EXPECT_NE(e, missing) << c.forma;
    }
  }
}

TEST_F(ImportRunTest, ShortHeaderSheetLeavesTheMissingFieldsEmptyAndTheRunGoesOn) {
  AddLabelledSheet(st.workbook, "Hlavička", {"B", "2016", "", "01"});  // 5 rows
  AddLabelledSheet(st.workbook, "Subjekt", {"PO", "12345678"});
  Run();
  EXPECT_EQ(st.header.khdph_forma, "B");
  EXPECT_EQ(st.header.mesic, "01");
  EXPECT_EQ(st.header.d_poddp, "");
  EXPECT_EQ(st.header.d_extra3, "");
  EXPECT_EQ(st.workbook.Sheets.Items(0).Rows.Count(), 5);  // not grown by the reading
  EXPECT_EQ(st.subject.typ_ds, "PO");  // refused, and kept whole as the document will show it
  EXPECT_EQ(st.subject.dic, "12345678");
}

TEST_F(ImportRunTest, SubjectRowsFollowTheSheetLayoutIncludingTheReversedRows) {
  std::vector<test::Lit> values;
  for (int row = 2; row <= 32; ++row) values.push_back("r" + std::to_string(row));
  AddLabelledSheet(st.workbook, "Subjekt", values);
  // Row 20 holds only its label: an optional field left empty.
  st.workbook.Sheets.Items(0).Rows.Items(19).Cells.All().resize(1);
  Run();
  EXPECT_EQ(st.subject.typ_ds, "r2");
  EXPECT_EQ(st.subject.dic, "r3");
  EXPECT_EQ(st.subject.titul, "r6");
  EXPECT_EQ(st.subject.prijmeni, "r7");
  EXPECT_EQ(st.subject.jmeno, "r8");
  EXPECT_EQ(st.subject.c_telef, "r15");
  EXPECT_EQ(st.subject.email, "r16");
  EXPECT_EQ(st.subject.id_dats, "r17");
  EXPECT_EQ(st.subject.zast_kod, "");
  EXPECT_EQ(st.subject.zast_nazev, "r21");
  EXPECT_EQ(st.subject.sest_telef, "r32");
}

TEST_F(ImportRunTest, SheetWithoutRowsIsSkippedButAChosenFileClearsTheOldIdentity) {
  st.header.rok = "2015";
  st.subject.dic = "99999999";
  st.totals[TotalSlot::B2_dan1] = 5;
  st.records.a5 = tDataA5{};
  st.records.a1.push_back({});
  st.workbook.AddSheet("Hlavička");
  Run();
  EXPECT_EQ(st.header.rok, "");
  EXPECT_EQ(st.subject.dic, "");
  EXPECT_EQ(st.totals[TotalSlot::B2_dan1], 0);
  EXPECT_FALSE(st.records.a5.has_value());
  EXPECT_TRUE(st.records.a1.empty());
  EXPECT_TRUE(st.header.take_last_row);
}

TEST_F(ImportRunTest, AChosenFileStartsFromACleanSlate) {
  TExportWorkSheet& a1 = st.workbook.AddSheet("A1");
  AddRow(a1, {"heading"});
  AddRow(a1, {1, "12345678", "FV1", Date{42400}, 100, "4"});
  Run();
  ASSERT_EQ(st.subtotals.Get("A1-Základ daně"), "100,00 CZK");
  ASSERT_TRUE(st.imported);
  st.errors = {"e"};
  st.records.b3 = tDataB3{};
  st.header.take_last_row = false;

  BeginImport(st);
  const TStatement fresh;
  EXPECT_EQ(st.workbook.Sheets.Count(), 0);  // the model too: nothing of the client is kept
  EXPECT_FALSE(st.imported);
  EXPECT_TRUE(st.errors.empty());
  EXPECT_TRUE(st.warnings.empty());
  EXPECT_TRUE(st.records.a1.empty());
  EXPECT_FALSE(st.records.b3.has_value());
  EXPECT_EQ(st.totals[TotalSlot::A1_zakl_dane1], 0);
  EXPECT_EQ(st.stats.cell, fresh.stats.cell);
  EXPECT_EQ(st.subtotals.lines, fresh.subtotals.lines);
  EXPECT_EQ(st.last_row_correction, 2);
  EXPECT_FALSE(st.header.take_last_row);
  for (const auto& index : st.sheet_index) EXPECT_FALSE(index.has_value());
}

TEST_F(ImportRunTest, UnloadableWorkbookEndsTheRunWithItsMessage) {
  test::AddSoundFiler(st.workbook);
  Run();
  ASSERT_TRUE(st.imported);
  EXPECT_THROW(RunImport(st, "podklady.ods"), EWorkbookFileNameError);
  EXPECT_TRUE(st.warnings.empty());
  EXPECT_FALSE(st.imported);
  EXPECT_EQ(st.workbook.Sheets.Count(), 0);
  EXPECT_EQ(st.subject.dic, "");
}

// A workbook that fails after some of it was read leaves the clean slate, not what was read.
TEST_F(ImportRunTest, AFailureHalfWayLeavesTheCleanSlate) {
  test::AddSoundFiler(st.workbook);
  Run();
  const std::string path = std::string(VESTRANO_SOURCE_DIR) +
                           "/tests/fixtures/xlsx/hostile/shared-string-over-two-sheets.xlsx";
  st.workbook.ReadThreads = 1;
  EXPECT_THROW(RunImport(st, path), EWorkbookError);
  EXPECT_EQ(st.workbook.Sheets.Count(), 0);
  EXPECT_FALSE(st.imported);
  EXPECT_EQ(st.header.rok, "");
  EXPECT_EQ(st.workbook.ReadThreads, 1);  // a setting, not the client's
}

}  // namespace
}  // namespace vestrano
