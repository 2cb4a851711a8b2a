// The form's rules that compare rows: with the filer, with one another, with the period.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "import/run.h"
#include "support/sheet_builder.h"

namespace vestrano {
namespace {

using test::AddRow;
using test::Blank;
using test::Date;
using test::Lit;
using Lines = std::vector<std::string>;

constexpr double k3Nov2026 = 46329;
constexpr double k31Dec2015 = 42369;
constexpr double k31Dec2023 = 45291;
constexpr double k1Jan2024 = 45292;
const Date kDay{k3Nov2026};
constexpr const char* kOwn = "27082440";
constexpr const char* kPartner = "25596641";
constexpr const char* kOther = "49240901";
constexpr const char* kGroup = "69900001";  // a VAT group's DIČ

struct Section_ {
  const char* sheet;
  std::vector<std::vector<Lit>> rows;
};

struct Case {
  const char* what;
  std::vector<Section_> sections;
  Lines errors;
  Lines warnings;
  const char* own = kOwn;
  std::vector<std::pair<int, Lit>> header = {};  // changes to the header, by sheet row
};

// An A.4 or B.2 row above the small-document limit: number, partner, date, third-rate base.
std::vector<Lit> Big(int n, const char* dic, const char* doc, Lit day, const char* code_a,
                     const char* code_b = "N", Lit base3 = 0) {
  return {n, dic, doc, day, 20000, 4200, 0, 0, base3, 0, code_a, code_b};
}

void Check(const Case& c) {
  TStatement st;
  std::vector<Lit> header = {"B",     2026,    Blank{}, 11,      Date{k3Nov2026 + 37},
                             Blank{}, Blank{}, Blank{}, Blank{}, Blank{},
                             Blank{}, Blank{}, Blank{}};
  for (const auto& [row, value] : c.header) header[static_cast<std::size_t>(row - 2)] = value;
  test::AddLabelledSheet(st.workbook, "Hlavička", header);
  test::AddLabelledSheet(
      st.workbook, "Subjekt",
      {"P",     c.own,   "451",   "Firma s.r.o.", Blank{}, Blank{}, Blank{},    Blank{},
       Blank{}, Blank{}, Blank{}, Blank{},        Blank{}, Blank{}, Blank{},    Blank{},
       Blank{}, Blank{}, Blank{}, Blank{},        Blank{}, "Jana",  "Nováková", "ředitelka"});
  for (const Section_& s : c.sections) {
    TExportWorkSheet& sheet = st.workbook.AddSheet(s.sheet);
    AddRow(sheet, {"heading"});
    for (const auto& row : s.rows) {
      const int r = sheet.Rows.Count();
      for (std::size_t k = 0; k < row.size(); ++k)
        test::SetCell(sheet, static_cast<int>(k), r, row[k]);
    }
  }
  ImportWorkbook(st, std::move(st.workbook));
  EXPECT_EQ(st.errors, c.errors) << c.what;
  EXPECT_EQ(test::RowWarnings(st), c.warnings) << c.what;
  EXPECT_EQ(st.error_places.size(), st.errors.size());
}

TEST(AcrossRows, EachRuleAndWhatItLetsPass) {
  const Case cases[] = {
      {"own DIČ as the customer's",
       {{"A1", {{1, kOwn, "F1", kDay, 100, "1"}, {2, kPartner, "F2", kDay, 100, "1"}}}},
       {"Vlastní DIČ v údaji DIČ odběratele v ř.č.2 v sekci A1"},
       {}},
      {"own DIČ with its CZ, as the supplier's",
       {{"B2", {Big(1, "CZ27082440", "P1", kDay, "N")}}},
       {"Vlastní DIČ v údaji DIČ odběratele v ř.č.2 v sekci B2"},
       {"Kód státu vynechán z údaje DIČ odběratele v ř.č.2 v sekci B2"}},
      {"A1: number and code repeated",
       {{"A1",
         {{1, kPartner, "F1", kDay, 100, "1"},
          {2, kOther, "F1", kDay, 100, "3"},  // another code: a document of two supplies
          {3, kOther, "F1", kDay, 100, "1"}}}},
       {"Duplicitní Ev. číslo daňového dokladu v ř.č.4 v sekci A1 (shodné s ř.č.2)"},
       {}},
      {"A1: a VAT group may repeat its numbers",
       {{"A1", {{1, kPartner, "F1", kDay, 100, "1"}, {2, kPartner, "F1", kDay, 100, "1"}}}},
       {},
       {},
       kGroup},
      {"A4: number with the same regime or the same date",
       {{"A4",
         {Big(1, kPartner, "F1", kDay, "0"),
          Big(2, kPartner, "F1", Date{k3Nov2026 + 1}, "0"),  // same regime
          Big(3, kPartner, "F2", kDay, "0"),
          Big(4, kPartner, "F2", Date{k3Nov2026 + 1}, "1"),  // neither: not repeated
          Big(5, kPartner, "F2", kDay, "2")}}},              // same date as row 4's first
       {"Duplicitní Ev. číslo daňového dokladu v ř.č.3 v sekci A4 (shodné s ř.č.2)",
        "Duplicitní Ev. číslo daňového dokladu v ř.č.6 v sekci A4 (shodné s ř.č.4)"},
       {}},
      {"B1: supplier, number and code",
       {{"B1",
         {{1, kPartner, "P1", kDay, 100, 21, 0, 0, 0, 0, "4"},
          {2, kOther, "P1", kDay, 100, 21, 0, 0, 0, 0, "4"},  // another supplier
          {3, kPartner, "P1", kDay, 100, 21, 0, 0, 0, 0, "4"},
          {4, kGroup, "P9", kDay, 100, 21, 0, 0, 0, 0, "4"},  // a group's numbers may repeat
          {5, kGroup, "P9", kDay, 100, 21, 0, 0, 0, 0, "4"}}}},
       {"Duplicitní Ev. číslo daňového dokladu v ř.č.4 v sekci B1 (shodné s ř.č.2)"},
       {}},
      {"B2: supplier and number with the same date or the same ratio flag",
       {{"B2",
         {Big(1, kPartner, "P1", kDay, "N"),
          Big(2, kPartner, "P1", Date{k3Nov2026 + 1}, "A"),  // neither
          Big(3, kPartner, "P1", Date{k3Nov2026 + 2}, "N"),  // the ratio flag of row 2's first
          Big(4, "CZ25596641", "P1", Date{k3Nov2026 + 1}, "N")}}},  // row 3's date, with CZ
       {"Duplicitní Ev. číslo daňového dokladu v ř.č.4 v sekci B2 (shodné s ř.č.2)",
        "Duplicitní Ev. číslo daňového dokladu v ř.č.5 v sekci B2 (shodné s ř.č.2)"},
       {"Kód státu vynechán z údaje DIČ odběratele v ř.č.5 v sekci B2"}},
      {"taxable supply before 2016",
       {{"A1",
         {{1, kPartner, "F1", Date{k31Dec2015}, 100, "1"}, {2, kPartner, "F2", kDay, 1, "1"}}},
        {"B1", {{1, kPartner, "P1", Date{k31Dec2015}, 100, 21, 0, 0, 0, 0, "4"}}}},
       {"DUZP před 1.1.2016 v ř.č.2 v sekci A1", "DUZP před 1.1.2016 v ř.č.2 v sekci B1"},
       {}},
      {"the third rate after 2023",
       {{"A4",
         {Big(1, kPartner, "F1", Date{k1Jan2024}, "0", "N", 100),
          Big(2, kPartner, "F2", Date{k31Dec2023}, "0", "N", 100),  // still in force
          Big(3, kPartner, "F3", Date{k1Jan2024}, "0", "N", 0)}},   // zero is no amount
        {"A5", {{0, 0, 0, 0, 0, 5}}}},
       {},
       {"Základ daně 3 nebo Daň 3 po 31.12.2023 v ř.č.2 v sekci A4",
        "Základ daně 3 nebo Daň 3 po 31.12.2023 v ř.č.2 v sekci A5"}},
      {"small documents belong to A.5 and B.3",
       {{"A4",
         {{1, kPartner, "F1", kDay, 8264.46, 1735.54, 0, 0, 0, 0, "0", "N"},  // 10,000 with tax
          {2, kPartner, "F2", kDay, 5000, 1050, 0, 0, 0, 0, "0", "N"},
          {3, kPartner, "F2", Date{k3Nov2026 + 1}, 4000, 840, 0, 0, 0, 0, "", ""},  // 10,890
          {4, kPartner, "F3", kDay, 5000, 1050, 0, 0, 0, 0, "0", "P"},    // a bad-debt correction
          {5, kPartner, "F4", kDay, 5000, 1050, 0, 0, 0, 0, "1", "N"},    // a special regime
          {6, kPartner, "F5", kDay, -5000, -1050, 0, 0, 0, 0, "0", "N"},  // a credit note
          {7, kPartner, "F6", kDay, 100, 21, 0, 0, 0, 0, "", "n"}}},
        {"B2",
         {{1, kPartner, "P1", kDay, 5000, 1050, 0, 0, 0, 0, "N", "N"},
          {2, kOther, "P1", kDay, 5000, 1050, 0, 0, 0, 0, "N", "N"},  // another supplier's P1
          {3, kPartner, "P2", kDay, 6000, 1260, 0, 0, 0, 0, "N", "N"},
          {4, kPartner, "P2", Date{k3Nov2026 + 1}, 6000, 1260, 0, 0, 0, 0, "A", "N"}}}},
       {},
       {"Záporná hodnota Základ daně 1 v ř.č.7 v sekci A4",
        "Záporná hodnota Daň 1 v ř.č.7 v sekci A4",
        "Doklad do 10 000 Kč včetně daně v ř.č.2 v sekci A4 (patří do A5)",
        "Doklad do 10 000 Kč včetně daně v ř.č.8 v sekci A4 (patří do A5)",
        "Doklad do 10 000 Kč včetně daně v ř.č.2 v sekci B2 (patří do B3)",
        "Doklad do 10 000 Kč včetně daně v ř.č.3 v sekci B2 (patří do B3)"}},
      {"A.2 with the code CZ",
       {{"A2",
         {{1, "CZ", "25596641", "R1", kDay, 100, 21},
          {2, "DE", "811907980", "R2", kDay, 100, 21}}}},
       {},
       {"Kód státu CZ v ř.č.2 v sekci A2"}},
      {"a reply to a call has no rows",
       {{"A1", {{1, kPartner, "F1", kDay, 100, "1"}}}, {"B3", {{100, 21, 0, 0, 0, 0}}}},
       {"Odpověď na výzvu nesmí mít řádky v sekci A1",
        "Odpověď na výzvu nesmí mít řádky v sekci B3"},
       {},
       kOwn,
       {{13, "12345678/26/2001-00000-123456"}, {14, "P"}}},
      {"section order, then row order, then the reply",
       {{"A1", {{1, kPartner, "F1", Date{k31Dec2015}, 100, "1"}, {2, kOwn, "F1", kDay, 100, "1"}}},
        {"B1", {{1, kOwn, "P1", kDay, 100, 21, 0, 0, 0, 0, "4"}}}},
       {"DUZP před 1.1.2016 v ř.č.2 v sekci A1",
        "Vlastní DIČ v údaji DIČ odběratele v ř.č.3 v sekci A1",
        "Duplicitní Ev. číslo daňového dokladu v ř.č.3 v sekci A1 (shodné s ř.č.2)",
        "Vlastní DIČ v údaji DIČ odběratele v ř.č.2 v sekci B1",
        "Odpověď na výzvu nesmí mít řádky v sekci A1",
        "Odpověď na výzvu nesmí mít řádky v sekci B1"},
       {},
       kOwn,
       {{13, "12345678/26/2001-00000-123456"}, {14, "B"}}},
  };
  for (const Case& c : cases) Check(c);
}

}  // namespace
}  // namespace vestrano
