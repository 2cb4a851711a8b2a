// Sections A.2, A.3, A.4, A.5, B.1, B.2, B.3 and a full statement, read from workbooks built in
// memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/xml_writer.h"
#include "import/statement.h"
#include "support/sheet_builder.h"

namespace vestrano {
namespace {

using test::AddRow;
using test::Blank;
using test::Date;
using Lines = std::vector<std::string>;
using S = TotalSlot;

constexpr double k31Jan2016 = 42400;  // serial of 2016-01-31
const Date kDay{k31Jan2016};
const std::string kDoc61(61, 'X');

class Sections : public ::testing::Test {
 protected:
  TExportWorkSheet& Sheet(const char* name) { return st.workbook.AddSheet(name); }
  // A section sheet with one heading row.
  TExportWorkSheet& SectionSheet(const char* name) {
    TExportWorkSheet& sheet = Sheet(name);
    AddRow(sheet, {"heading"});
    return sheet;
  }
  void Import() { test::ImportInMemory(st); }
  Lines RowWarnings() const { return test::RowWarnings(st); }
  Lines Column(Section s) const { return test::StatsColumn(st, static_cast<int>(s) + 1); }
  TStatement st;
};

// --- A.2: c_radku, k_stat, vatid_dod, c_evid_dd, dppd, zakl_dane1 … dan3 ---

TEST_F(Sections, A2KeyIsTheDateAndEmptyAmountsAreSilent) {
  TExportWorkSheet& a2 = SectionSheet("A2");
  AddRow(a2, {1, "DE", "DE123456789", "INV-1", Blank{}, 100});  // no DPPD: skipped
  AddRow(a2, {2, "", "", "", kDay});                            // only DPPD: read, 3 warnings
  AddRow(a2, {3, "de", "811907980", "INV-3", kDay, 100, 21, Blank{}, -5});
  AddRow(a2, {4, "SK", "SK2020317068", "INV-4", kDay, "50.50", "10,60", "12,345"});
  Import();

  EXPECT_EQ(RowWarnings(), (Lines{
                               "Vynechaný řádek č.2 v sekci A2 (chybí DPPD)",
                               "Prázdný údaj Identifikace dodavatele (VAT ID) v ř.č.3 v sekci A2",
                               "Prázdný údaj Kód státu v ř.č.3 v sekci A2",
                               "Prázdný údaj Ev. číslo daňového dokladu v ř.č.3 v sekci A2",
                               "Záporná hodnota Daň 2 v ř.č.4 v sekci A2",
                               // "SK" with "SK…" is filed without the code
                               "Kód státu vynechán z údaje Identifikace dodavatele (VAT ID) v "
                               "ř.č.5 v sekci A2",
                           }));
  EXPECT_EQ(st.errors, Lines{"Neplatný údaj Základ daně 2 v ř.č.5 v sekci A2"});
  ASSERT_EQ(st.records.a2.size(), 3u);
  EXPECT_EQ(st.records.a2[0].dppd, "2016-01-31");
  EXPECT_EQ(st.records.a2[1].k_stat, "de");  // accepted, kept as typed
  EXPECT_EQ(Column(Section::A2), (Lines{"2", "1", "1", "4"}));
  EXPECT_EQ(st.totals[S::A2_zakl_dane1], 150.5);
  EXPECT_EQ(st.totals[S::A2_dan1], 31.6);
  EXPECT_EQ(st.totals[S::A2_zakl_dane2], 0);
  EXPECT_EQ(st.totals[S::A2_dan2], -5);
  EXPECT_EQ(st.subtotals.Get("A2-Základ daně 1"), "150,50 CZK");
  EXPECT_EQ(st.subtotals.Get("A2-Daň 2"), "-5,00 CZK");
}

TEST_F(Sections, A2MessagesFollowTheCheckOrder) {
  TExportWorkSheet& a2 = SectionSheet("A2");
  AddRow(a2, {1, "GR", "ABC 12", kDoc61, "31.01.2016", "x", 1, 1, 1, 1, "-1,005"});
  AddRow(a2, {2, "de", "AB1234567890X", "INV", kDay});
  Import();
  EXPECT_EQ(st.errors, (Lines{
                           "Neplatný údaj DPPD v ř.č.2 v sekci A2",
                           "Neplatný údaj Identifikace dodavatele (VAT ID) v ř.č.2 v sekci A2",
                           "Neplatný údaj Kód státu v ř.č.2 v sekci A2",
                           "Neplatný údaj Ev. číslo daňového dokladu v ř.č.2 v sekci A2",
                           "Neplatný údaj Základ daně 1 v ř.č.2 v sekci A2",
                           "Neplatný údaj Daň 3 v ř.č.2 v sekci A2",
                           "Neplatný údaj Identifikace dodavatele (VAT ID) v ř.č.3 v sekci A2",
                       }));
  EXPECT_EQ(RowWarnings(), Lines{"Záporná hodnota Daň 3 v ř.č.2 v sekci A2"});
  EXPECT_EQ(Column(Section::A2), (Lines{"0", "0", "2", "2"}));
  EXPECT_EQ(st.totals[S::A2_dan1], 1);  // a faulty row's valid amounts are summed
}

// --- A.3: c_radku, k_stat, vatid_odb, jm_prijm_obch, d_narozeni, m_pobytu_sidlo, c_evid_dd,
//          dup, osv_plneni ---

TEST_F(Sections, A3IdentificationAndCustomerGroup) {
  TExportWorkSheet& a3 = SectionSheet("A3");
  AddRow(a3, {1, "SK", "SK2020317068", "", "", "", "D-1", kDay, 1000});  // 2: clean
  AddRow(a3, {2, "SK", "SK2020317068", "", "", "", "D-2", Blank{}, 5});  // 3: empty DUP
  AddRow(a3, {3, "SK", "SK2020317068", "", "", "", "D-3", kDay});        // 4: too short
  AddRow(a3, {4, "SK", "", "", "", "", "D-4", kDay, -200});              // 5: nobody
  AddRow(a3, {5, "SK", "", "Jan Novák", "", "", "D-5", kDay, Blank{}});  // 6: name only
  AddRow(a3, {6, "SK", "SK1", "", "", "", "D-6", kDay, 1});              // 7: short VAT ID
  AddRow(a3, {7, "sk", "SK2020317068", "Jan", "1970-01-01", "Praha", "D-7", kDay, 1});  // 8: both
  Import();

  EXPECT_EQ(st.errors, (Lines{
                           "Neplatný údaj DUP v ř.č.3 v sekci A3",
                           "Neplatný údaj Identifikace odběratele (DIČ/VAT ID) v ř.č.7 v sekci A3",
                       }));
  EXPECT_EQ(
      RowWarnings(),
      (Lines{
          "Kód státu vynechán z údaje Identifikace odběratele (DIČ/VAT ID) v ř.č.2 v sekci A3",
          "Kód státu vynechán z údaje Identifikace odběratele (DIČ/VAT ID) v ř.č.3 v sekci A3",
          "Vynechaný řádek č.4 v sekci A3 (chybí Ev. číslo daňového dokladu)",
          "Prázdný údaj Identifikace odběratele (DIČ/VAT ID) v ř.č.5 v sekci A3",
          "Záporná hodnota Hodnota osv.plnění v ř.č.5 v sekci A3",
          "Prázdný údaj Odb. bez DIČ/VAT ID - Datum nar. v ř.č.6 v sekci A3",
          "Prázdný údaj Odb. bez DIČ/VAT ID - Místo pobytu/sídlo v ř.č.6 v sekci A3",
          "Kód státu vynechán z údaje Identifikace odběratele (DIČ/VAT ID) v ř.č.8 v sekci A3",
      }));
  EXPECT_EQ(st.records.a3.size(), 6u);
  EXPECT_EQ(Column(Section::A3), (Lines{"4", "1", "2", "7"}));
  EXPECT_EQ(st.totals[S::A3_osv_plneni], 1000 + 5 - 200 + 1 + 1);
  EXPECT_EQ(st.subtotals.Get("A3-Hodnota osv. plnění"), "807,00 CZK");
}

TEST_F(Sections, A3MessagesFollowTheCheckOrder) {
  TExportWorkSheet& a3 = SectionSheet("A3");
  AddRow(a3, {1, "", "AB", "", "", "Brno", kDoc61, "x", "1,234"});
  Import();
  EXPECT_EQ(st.errors, (Lines{
                           "Neplatný údaj DUP v ř.č.2 v sekci A3",
                           "Neplatný údaj Hodnota osv.plnění v ř.č.2 v sekci A3",
                           "Neplatný údaj Identifikace odběratele (DIČ/VAT ID) v ř.č.2 v sekci A3",
                           "Neplatný údaj Ev. číslo daňového dokladu v ř.č.2 v sekci A3",
                       }));
  EXPECT_EQ(RowWarnings(), (Lines{
                               "Prázdný údaj Kód státu v ř.č.2 v sekci A3",
                               "Prázdný údaj Odb. bez DIČ/VAT ID - Jméno v ř.č.2 v sekci A3",
                               "Prázdný údaj Odb. bez DIČ/VAT ID - Datum nar. v ř.č.2 v sekci A3",
                           }));
  EXPECT_EQ(Column(Section::A3), (Lines{"0", "0", "1", "1"}));
}

// A customer without identification: the form's lengths, and a birth date it can hold.
TEST_F(Sections, A3CustomerWithoutIdentificationAsTheFormHoldsIt) {
  TExportWorkSheet& a3 = SectionSheet("A3");
  AddRow(a3, {1, "SK", "", std::string(57, 'J'), kDay, std::string(100, 'M'), "D-1", kDay, 1});
  AddRow(a3,
         {2, "SK", "", std::string(58, 'J'), "1.1.1970", std::string(101, 'M'), "D-2", kDay, 1});
  Import();
  EXPECT_EQ(st.errors,
            (Lines{
                "Neplatný údaj Odb. bez DIČ/VAT ID - Jméno v ř.č.3 v sekci A3",
                "Neplatný údaj Odb. bez DIČ/VAT ID - Datum nar. v ř.č.3 v sekci A3",
                "Neplatný údaj Odb. bez DIČ/VAT ID - Místo pobytu/sídlo v ř.č.3 v sekci A3",
            }));
  EXPECT_EQ(Column(Section::A3), (Lines{"1", "0", "1", "2"}));
}

// --- A.4: c_radku, dic_odb, c_evid_dd, dppd, zakl_dane1 … dan3, kod_rezim_pl, zdph_44 ---

TEST_F(Sections, A4RequiredColumnsAndCodes) {
  TExportWorkSheet& a4 = SectionSheet("A4");
  AddRow(a4, {1, "12345679", "F-1", kDay, 1000, -50, 0, 0, 0, 0, "0", "A"});       // 2: one warning
  AddRow(a4, {2, "12345679", "F-2", Blank{}, "1000,5", 1, 1, 1, 1, 1, "3", "a"});  // 3
  AddRow(a4, {3, "12345679", "F-3", kDay, 1000.25, 0, 0, 0, 0, 0, "", ""});        // 4: clean
  AddRow(a4, {4, "", "F-4", kDay, "10,123", 0, 0, 0, 0, 0, "1", "X"});             // 5
  AddRow(a4, {5, "12345679", "F-5", kDay, 1, 1, 1, 1, 1, 1, "2", "AN"});           // 6
  AddRow(a4, {6, "12345679", "F-6", kDay, 1, 1, 1, 1, 1, 1, "2"});  // 7: ends before zdph_44
  Import();

  EXPECT_EQ(st.errors, (Lines{
                           "Neplatný údaj DPPD v ř.č.3 v sekci A4",
                           "Neplatný údaj Kód režimu plnění v ř.č.3 v sekci A4",
                           "Neplatný údaj DIČ odběratele v ř.č.5 v sekci A4",
                           "Neplatný údaj § 44 ZDPH v ř.č.5 v sekci A4",
                           "Neplatný údaj Základ daně 1 v ř.č.5 v sekci A4",
                           "Neplatný údaj § 44 ZDPH v ř.č.6 v sekci A4",
                       }));
  EXPECT_EQ(RowWarnings(), (Lines{
                               "Záporná hodnota Daň 1 v ř.č.2 v sekci A4",
                               "Vynechaný řádek č.7 v sekci A4 (chybí Ev. číslo d.d.)",
                               "Doklad do 10 000 Kč včetně daně v ř.č.4 v sekci A4 (patří do A5)",
                           }));
  EXPECT_EQ(st.records.a4.size(), 5u);
  EXPECT_EQ(Column(Section::A4), (Lines{"2", "1", "3", "6"}));
  EXPECT_EQ(st.totals[S::A4_zakl_dane1], 1000 + 1000.5 + 1000.25 + 1);
  EXPECT_EQ(st.totals[S::A4_dan1], -50 + 1 + 1);
  EXPECT_EQ(st.subtotals.Get("A4-Daň 1"), "-48,00 CZK");
}

// --- B.1: c_radku, dic_dod, c_evid_dd, duzp, zakl_dane1 … dan3, kod_pred_pl ---

TEST_F(Sections, B1ShortRowsAndSupplyCodes) {
  TExportWorkSheet& b1 = SectionSheet("B1");
  AddRow(b1, {1, "", "P-1", kDay, 1500.5, 0, 0, 0, 0, 0, "3"});            // 2: empty DIČ
  AddRow(b1, {2, "12345679", "P-2", kDay, "1500,5", 0, 0, 0, 0, 0, "2"});  // 3: bad code
  AddRow(b1, {3, "12345679", "P-3", kDay, 0, 0, 10, 0, 5, 0, "18"});       // 4: bad code
  AddRow(b1, {4, "12345679", "P-4", kDay});                                // 5: ends at duzp
  AddRow(b1, {5, "12345679", "P-5"});                                      // 6: before duzp
  AddRow(b1, {6, "12345679", "P-6", "2016-13-01", 0, 0, 0, 0, 0, 0, ""});  // 7: bad date
  Import();

  EXPECT_EQ(st.errors, (Lines{
                           "Neplatný údaj DIČ odběratele v ř.č.2 v sekci B1",
                           "Neplatný údaj Kód předmětu plnění v ř.č.3 v sekci B1",
                           "Neplatný údaj Kód předmětu plnění v ř.č.4 v sekci B1",
                           "Neplatný údaj DUZP v ř.č.7 v sekci B1",
                       }));
  EXPECT_EQ(RowWarnings(), Lines{"Vynechaný řádek č.6 v sekci B1 (chybí Ev. číslo d.d.)"});
  EXPECT_EQ(st.records.b1.size(), 5u);
  EXPECT_EQ(st.records.b1[3].kod_pred_pl, "");
  EXPECT_EQ(Column(Section::B1), (Lines{"1", "1", "4", "6"}));
  // Number cell and decimal-comma text add the same value; faulty rows still count.
  EXPECT_EQ(st.totals[S::B1_zakl_dane1], 3001);
  EXPECT_EQ(st.subtotals.Get("C-B1 celkem z.daně z.s."), "3 001,00 CZK");
  EXPECT_EQ(st.subtotals.Get("C-B1 celkem z.daně s.s."), "15,00 CZK");
}

// --- B.2: c_radku, dic_dod, c_evid_dd, dppd, zakl_dane1 … dan3, pomer, zdph_44 ---

TEST_F(Sections, B2RatioFlagAndCheckOrder) {
  TExportWorkSheet& b2 = SectionSheet("B2");
  AddRow(b2, {1, "12345679", "R-1", kDay, 100, 21, 0, 0, 0, 0, "A", "a"});  // 2: clean
  AddRow(b2, {2, "12345679", "R-2", kDay, 0, 0, 0, 0, 0, 0, "", ""});       // 3
  AddRow(b2, {3, "12345679", "R-3", kDay, 0, 0, 0, 0, 0, 0, "a", "n"});     // 4
  AddRow(b2, {4, "1234", "R-4", "bad", 50, "x", 0, 0, 0, 0, "X", "Y"});     // 5
  AddRow(b2, {5, "12345679", "R-5", kDay, 0, 0, 0, 0, 0, 0, "N"});  // 6: ends before zdph_44
  Import();

  EXPECT_EQ(st.errors, (Lines{
                           "Neplatný údaj Použitý poměr v ř.č.3 v sekci B2",
                           "Neplatný údaj Použitý poměr v ř.č.4 v sekci B2",
                           "Neplatný údaj DPPD v ř.č.5 v sekci B2",
                           "Neplatný údaj DIČ odběratele v ř.č.5 v sekci B2",
                           "Neplatný údaj Použitý poměr v ř.č.5 v sekci B2",
                           "Neplatný údaj § 44 ZDPH v ř.č.5 v sekci B2",
                           "Neplatný údaj Daň 1 v ř.č.5 v sekci B2",
                       }));
  EXPECT_EQ(RowWarnings(), Lines{"Vynechaný řádek č.6 v sekci B2 (chybí Ev. číslo d.d.)"});
  EXPECT_EQ(st.records.b2.size(), 4u);
  EXPECT_EQ(Column(Section::B2), (Lines{"1", "1", "3", "5"}));
  EXPECT_EQ(st.totals[S::B2_zakl_dane1], 150);
  EXPECT_EQ(st.totals[S::B2_dan1], 21);
}

// --- A.5 and B.3: one aggregate row of zakl_dane1 … dan3 ---

struct AggregateCase {
  const char* sheet;
  Section section;
  S first_slot;
  const char* first_line;
};
const AggregateCase kAggregates[] = {
    {"A5", Section::A5, S::A5_zakl_dane1, "A5-Základ daně 1"},
    {"B3", Section::B3, S::B3_zakl_dane1, "B3-Základ daně 1"},
};

bool HasAggregate(const TStatement& st, Section s) {
  return s == Section::A5 ? st.records.a5.has_value() : st.records.b3.has_value();
}
std::string AggregateDan3(const TStatement& st, Section s) {
  return s == Section::A5 ? st.records.a5->dan3 : st.records.b3->dan3;
}
S SlotAt(S first, int k) { return static_cast<S>(static_cast<int>(first) + k); }

TEST_F(Sections, AggregateReadsOnlyTheRowBelowTheHeadings) {
  for (const AggregateCase& c : kAggregates) {
    SCOPED_TRACE(c.sheet);
    st.workbook.Clear();
    TExportWorkSheet& sheet = SectionSheet(c.sheet);
    AddRow(sheet, {Blank{}, Blank{}, Blank{}, Blank{}, Blank{}, "-7,5"});  // only dan3
    AddRow(sheet, {1000, 1000, 1000, 1000, 1000, 1000});                   // never read
    AddRow(sheet, {"x"});
    Import();
    ASSERT_TRUE(HasAggregate(st, c.section));
    EXPECT_EQ(AggregateDan3(st, c.section), "-7,5");
    EXPECT_EQ(st.errors, Lines{});
    EXPECT_EQ(RowWarnings(),
              Lines{std::string("Záporná hodnota Daň 3 v ř.č.2 v sekci ") + c.sheet});
    EXPECT_EQ(Column(c.section), (Lines{"1", "0", "0", "3"}));
    EXPECT_EQ(st.totals[SlotAt(c.first_slot, 5)], -7.5);
    EXPECT_EQ(st.totals[c.first_slot], 0);
  }
}

TEST_F(Sections, AggregateEmptyMissingOrLeftOut) {
  for (const AggregateCase& c : kAggregates) {
    SCOPED_TRACE(c.sheet);
    // A filled run first, so that every later case shows the aggregate does not survive.
    st.workbook.Clear();
    AddRow(SectionSheet(c.sheet), {1, 2, "3,5", 4, 5, "x"});
    Import();
    ASSERT_TRUE(HasAggregate(st, c.section));
    EXPECT_EQ(st.errors, Lines{std::string("Neplatný údaj Daň 3 v ř.č.2 v sekci ") + c.sheet});
    EXPECT_EQ(Column(c.section), (Lines{"0", "0", "1", "1"}));
    EXPECT_EQ(st.totals[SlotAt(c.first_slot, 2)], 3.5);

    // Only the heading row: the row below is examined, empty, skipped without a message.
    st.workbook.Clear();
    SectionSheet(c.sheet);
    Import();
    EXPECT_FALSE(HasAggregate(st, c.section));
    EXPECT_EQ(RowWarnings(), Lines{});
    EXPECT_EQ(Column(c.section), (Lines{"0", "1", "0", "0"}));
    EXPECT_EQ(st.subtotals.Get(c.first_line), "0,00 CZK");

    // A row of empty texts counts as empty too.
    st.workbook.Clear();
    AddRow(SectionSheet(c.sheet), {"", "", "", "", "", ""});
    Import();
    EXPECT_FALSE(HasAggregate(st, c.section));

    // The last row left out: nothing examined, CELKEM by the formula.
    st.header.take_last_row = false;
    st.workbook.Clear();
    AddRow(SectionSheet(c.sheet), {1, 1, 1, 1, 1, 1});
    Import();
    st.header.take_last_row = true;
    EXPECT_FALSE(HasAggregate(st, c.section));
    EXPECT_EQ(Column(c.section), (Lines{"0", "0", "0", "0"}));
    EXPECT_EQ(st.totals[c.first_slot], 0);

    // Sheet not found after an import that had it: no aggregate, slots 0, the statistics column
    // and the subtotal line as in a fresh window.
    st.workbook.Clear();
    AddRow(SectionSheet(c.sheet), {1, 1, 1, 1, 1, 1});
    Import();
    st.workbook.Clear();
    Import();
    EXPECT_FALSE(HasAggregate(st, c.section));
    EXPECT_EQ(st.totals[c.first_slot], 0);
    EXPECT_EQ(Column(c.section), (Lines{"", "", "", ""}));
    EXPECT_EQ(st.subtotals.Get(c.first_line), "0");

    // Sheet without rows: marked, no aggregate.
    st.workbook.Clear();
    Sheet(c.sheet);
    Import();
    EXPECT_FALSE(HasAggregate(st, c.section));
    EXPECT_EQ(Column(c.section), (Lines{"-", "-", "-", "-"}));
  }
}

// --- every section filled: numbers worked out by hand ---

TEST_F(Sections, FullStatement) {
  TExportWorkSheet& a1 = SectionSheet("A1");
  AddRow(a1, {1, "12345679", "A1-1", kDay, "1000,10", "1"});
  AddRow(a1, {2, "12345679", "A1-2", kDay, 234.4, "3"});
  AddRow(a1, {3, "12345679", ""});  // skipped
  TExportWorkSheet& a2 = SectionSheet("A2");
  AddRow(a2, {1, "DE", "DE123456789", "A2-1", kDay, 100, 21, 200, 30, 300, 30});
  AddRow(a2, {2, "AT", "ATU13585627", "A2-2", "x", 0.5, 0.1, 0, 0, 0, 0});  // faulty DPPD
  TExportWorkSheet& a3 = SectionSheet("A3");
  AddRow(a3, {1, "SK", "SK2020317068", "", "", "", "A3-1", kDay, "999,99"});
  TExportWorkSheet& a4 = SectionSheet("A4");
  AddRow(a4, {1, "12345679", "A4-1", kDay, 10000, 2100, 1000, 150, 500, 50, "0", "N"});
  AddRow(a4, {2, "12345679", "A4-2", kDay, 5000, 1050, 0, 0, 0, 0, "", ""});
  TExportWorkSheet& a5 = SectionSheet("A5");
  AddRow(a5, {300, 63, 200, 30, 100, 10});
  TExportWorkSheet& b1 = SectionSheet("B1");
  AddRow(b1, {1, "12345679", "B1-1", kDay, 4000, 840, 600, 90, 400, 40, "4"});
  TExportWorkSheet& b2 = SectionSheet("B2");
  AddRow(b2, {1, "12345679", "B2-1", kDay, 20000, 4200, 3000, 450, 2000, 200, "N", ""});
  AddRow(b2, {2, "12345679", "B2-2", kDay, -1000, -210, 0, 0, 0, 0, "A", "A"});
  TExportWorkSheet& b3 = SectionSheet("B3");
  AddRow(b3, {1500, 315, 700, 105, 300, 30});
  Import();

  EXPECT_EQ(st.errors, Lines{"Neplatný údaj DPPD v ř.č.3 v sekci A2"});
  EXPECT_EQ(st.warnings, (Lines{
                             "Vynechaný řádek č.4 v sekci A1 (chybí Ev.č.d.d.)",
                             "Kód státu vynechán z údaje Identifikace dodavatele (VAT ID) v ř.č.2 "
                             "v sekci A2",
                             "Kód státu vynechán z údaje Identifikace dodavatele (VAT ID) v ř.č.3 "
                             "v sekci A2",
                             "Kód státu vynechán z údaje Identifikace odběratele (DIČ/VAT ID) v "
                             "ř.č.2 v sekci A3",
                             "Záporná hodnota Základ daně 1 v ř.č.3 v sekci B2",
                             "Záporná hodnota Daň 1 v ř.č.3 v sekci B2",
                             "Doklad do 10 000 Kč včetně daně v ř.č.3 v sekci A4 (patří do A5)",
                         }));
  const std::vector<Lines> columns = {
      {"2", "1", "0", "3"}, {"1", "0", "1", "2"}, {"1", "0", "0", "1"}, {"2", "0", "0", "2"},
      {"1", "0", "0", "1"}, {"1", "0", "0", "1"}, {"2", "0", "0", "2"}, {"1", "0", "0", "1"},
  };
  for (int k = 0; k < 8; ++k) EXPECT_EQ(Column(static_cast<Section>(k)), columns[k]) << k;

  const Lines expected = {
      "1 234,50 CZK",  // A1
      "100,50 CZK",    "21,10 CZK",    "200,00 CZK",   "30,00 CZK",  "300,00 CZK",
      "30,00 CZK",   // A2
      "999,99 CZK",  // A3
      "15 000,00 CZK", "3 150,00 CZK", "1 000,00 CZK", "150,00 CZK", "500,00 CZK",
      "50,00 CZK",  // A4
      "300,00 CZK",    "63,00 CZK",    "200,00 CZK",   "30,00 CZK",  "100,00 CZK",
      "10,00 CZK",  // A5
      "4 000,00 CZK",  "840,00 CZK",   "600,00 CZK",   "90,00 CZK",  "400,00 CZK",
      "40,00 CZK",  // B1
      "19 000,00 CZK", "3 990,00 CZK", "3 000,00 CZK", "450,00 CZK", "2 000,00 CZK",
      "200,00 CZK",  // B2
      "1 500,00 CZK",  "315,00 CZK",   "700,00 CZK",   "105,00 CZK", "300,00 CZK",
      "30,00 CZK",      // B3
      "600,50 CZK",     // C-A2: 100.5 + 200 + 300
      "15 300,00 CZK",  // C-A4+A5 z.s.: 15000 + 300
      "1 800,00 CZK",   // C-A4+A5 s.s.: 1000 + 200 + 500 + 100
      "20 500,00 CZK",  // C-B2+B3 z.s.: 19000 + 1500
      "6 000,00 CZK",   // C-B2+B3 s.s.: 3000 + 700 + 2000 + 300
      "1 234,50 CZK",   // C-A1
      "4 000,00 CZK",   // C-B1 z.s.
      "1 000,00 CZK",   // C-B1 s.s.: 600 + 400
  };
  ASSERT_EQ(st.subtotals.lines.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(st.subtotals.lines[i].second, expected[i]) << st.subtotals.lines[i].first;

  EXPECT_EQ(st.totals[S::A1_zakl_dane1], 1234.5);
  EXPECT_EQ(st.totals[S::A2_dan1], 21.1);
  EXPECT_EQ(st.totals[S::B2_zakl_dane1], 19000);
  EXPECT_EQ(st.totals[S::B3_dan3], 30);
  EXPECT_EQ(st.records.a1.size(), 2u);
  EXPECT_EQ(st.records.a2.size(), 2u);
  EXPECT_EQ(st.records.a3.size(), 1u);
  EXPECT_EQ(st.records.a4.size(), 2u);
  EXPECT_EQ(st.records.b1.size(), 1u);
  EXPECT_EQ(st.records.b2.size(), 2u);
  EXPECT_TRUE(st.records.a5.has_value());
  EXPECT_TRUE(st.records.b3.has_value());
}

// A run that frees the workbook's rows as it reads them (the command line's) reads the same
// statement: rows are freed block by block only from a sheet that no later section reads.
TEST(ReleasingWorkbook, ReadsTheSameStatementAndLeavesNoRows) {
  auto build = [](TStatement& st) {
    st.sheets.name[static_cast<std::size_t>(Section::B2)] = "A4";  // B2 reads the A4 sheet too
    TExportWorkSheet& a4 = st.workbook.AddSheet("A4");
    AddRow(a4, {"heading"});
    for (int r = 1; r <= 9000; ++r) {
      if (r % 1000 == 0) {
        AddRow(a4, {r});  // no key: skipped
        continue;
      }
      AddRow(a4, {r, "12345679", "DOC-" + std::to_string(r), kDay, r * 1.25,
                  r % 7 == 0 ? "x" : "21", 0, 0, 0, 0, "0", r % 5 == 0 ? "?" : "N"});
    }
    TExportWorkSheet& a1 = st.workbook.AddSheet("A1");
    AddRow(a1, {"heading"});
    for (int r = 1; r <= 5000; ++r)
      AddRow(a1, {r, "87654326", "FV-" + std::to_string(r), kDay, 10, "4"});
  };
  TStatement kept, released;
  released.release_workbook = true;
  build(kept);
  build(released);
  test::ImportInMemory(kept);
  test::ImportInMemory(released);

  EXPECT_EQ(released.warnings, kept.warnings);
  EXPECT_EQ(released.errors, kept.errors);
  EXPECT_EQ(released.stats.cell, kept.stats.cell);
  EXPECT_EQ(released.subtotals.lines, kept.subtotals.lines);
  auto same = [](const auto& a, const auto& b) {
    using R = typename std::decay_t<decltype(a)>::value_type;
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
      for (const auto& f : Fields<R>())
        if (a[i].*f.member != b[i].*f.member) return false;
    return true;
  };
  ASSERT_EQ(kept.records.a4.size(), 8991u);
  EXPECT_TRUE(same(released.records.a4, kept.records.a4));
  EXPECT_TRUE(same(released.records.b2, kept.records.b2));
  EXPECT_TRUE(same(released.records.a1, kept.records.a1));
  EXPECT_FALSE(kept.errors.empty());

  ASSERT_EQ(released.workbook.Sheets.Count(), 4);  // and the filer's header and subject
  EXPECT_EQ(released.workbook.Sheets.Items(0).Name, "A4");
  EXPECT_EQ(released.workbook.Sheets.Items(0).Rows.Count(), 0);
  EXPECT_EQ(released.workbook.Sheets.Items(1).Rows.Count(), 0);
  EXPECT_EQ(kept.workbook.Sheets.Items(0).Rows.Count(), 9001);
}

// Big sections on sheets of their own are read at once; the statement is the one that reading
// them one after another gives, messages in section order included. Two sections on one sheet
// are read one after another (the first must not free what the second reads).
TEST(SectionsAtOnce, SameStatementAsOneAfterAnother) {
  struct Case {
    const char* what;
    bool b2_on_a4_sheet;
    bool release;
  };
  const Case cases[] = {
      {"sheets of their own", false, false},
      {"sheets of their own, freed as read", false, true},
      {"B2 reads the A4 sheet", true, true},
  };
  auto build = [](TStatement& st, const Case& c, int threads) {
    st.workbook.ReadThreads = threads;
    st.release_workbook = c.release;
    if (c.b2_on_a4_sheet) st.sheets.name[static_cast<std::size_t>(Section::B2)] = "A4";
    TExportWorkSheet& a1 = st.workbook.AddSheet("A1");
    AddRow(a1, {"heading"});
    AddRow(a1, {1, "CZ12345678", "D-1", kDay, 100, "x"});
    for (const char* name : {"A4", "B2"}) {
      TExportWorkSheet& sheet = st.workbook.AddSheet(name);
      AddRow(sheet, {"heading"});
      for (int r = 1; r <= 12000; ++r) {
        if (r % 997 == 0) {
          AddRow(sheet, {r});  // no key: skipped
          continue;
        }
        const std::string doc = std::string(name) + "-" + std::to_string(r);
        AddRow(sheet,
               {r, r % 500 == 0 ? "CZ1" : "CZ12345678", doc, kDay, r % 7 == 0 ? -r : r, "21",
                Blank{}, Blank{}, Blank{}, Blank{}, r % 300 == 0 ? "Q" : "", r % 2 ? "N" : "P"});
      }
    }
    TExportWorkSheet& a5 = st.workbook.AddSheet("A5");
    AddRow(a5, {"heading"});
    AddRow(a5, {"10", "2,1"});
    test::ImportInMemory(st);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TStatement one, many;
    build(one, c, 1);
    build(many, c, 4);
    ASSERT_GT(one.errors.size(), 40u);
    EXPECT_EQ(many.warnings, one.warnings);
    EXPECT_EQ(many.errors, one.errors);
    EXPECT_EQ(many.stats.cell, one.stats.cell);
    EXPECT_EQ(many.subtotals.lines, one.subtotals.lines);
    EXPECT_EQ(many.totals.slot, one.totals.slot);
    EXPECT_EQ(BuildDocument(many.Filing()), BuildDocument(one.Filing()));
  }
}

}  // namespace
}  // namespace vestrano
