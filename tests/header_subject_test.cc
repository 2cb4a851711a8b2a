// The header and subject sheets: what the form needs of them, one rule per row of the table.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "data/date_text.h"
#include "import/run.h"
#include "support/sheet_builder.h"

namespace vestrano {
namespace {

using test::Blank;
using test::Date;
using test::Lit;
using Lines = std::vector<std::string>;
using Rows = std::map<int, Lit>;  // sheet row → the value of column B

constexpr double k10Dec2026 = 46366;

// A legal entity's regular statement for November 2026, filed on 10 December 2026.
Rows SoundHeader() { return {{2, "B"}, {3, 2026}, {5, 11}, {6, Date{k10Dec2026}}}; }
Rows SoundSubject() {
  return {{2, "P"},          {3, "27082440"},         {4, "451"},   {5, "Firma s.r.o."},
          {9, "Praha"},      {10, "Dlouhá"},          {11, "3"},    {12, "12"},
          {13, "11000"},     {14, "ČESKÁ REPUBLIKA"}, {23, "Jana"}, {24, "Nováková"},
          {25, "jednatelka"}};
}
// A natural person filing for the fourth quarter.
Rows Person() { return {{2, "F"}, {5, Blank{}}, {7, "Nová"}, {8, "Jana"}}; }
Rows Quarter() { return {{4, 4}, {5, Blank{}}}; }

Rows With(Rows base, const Rows& changes) {
  for (const auto& [row, value] : changes) base[row] = value;
  return base;
}

void AddSheet(TWorkbook& book, const char* name, const Rows& rows) {
  TExportWorkSheet& sheet = book.AddSheet(name);
  test::AddRow(sheet, {"Položka", "Hodnota"});
  for (const auto& [row, value] : rows) {
    test::SetCell(sheet, 0, row - 1, "popisek");
    test::SetCell(sheet, 1, row - 1, value);
  }
}

struct Case {
  const char* what;
  Rows header;   // changes to the sound header
  Rows subject;  // changes to the sound subject
  Lines errors;
  Lines warnings;
};

class HeaderAndSubject : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTodaySource([] { return TCivilDate{2026, 12, 11}; });
  }
  void TearDown() override { SetTodaySource(nullptr); }

  void Check(const Case& c) {
    TStatement st;
    AddSheet(st.workbook, "Hlavička", With(SoundHeader(), c.header));
    AddSheet(st.workbook, "Subjekt", With(SoundSubject(), c.subject));
    ImportWorkbook(st, std::move(st.workbook));
    EXPECT_EQ(st.errors, c.errors) << c.what;
    EXPECT_EQ(test::RowWarnings(st), c.warnings) << c.what;
  }
};

TEST_F(HeaderAndSubject, EachRuleWithItsMessage) {
  const std::string H = " na listu Hlavička", S = " na listu Subjekt";
  const Rows person = Person();
  auto person_and = [&](Rows more) { return With(person, more); };
  const Case cases[] = {
      {"sound", {}, {}, {}, {}},
      {"natural person, quarter", Quarter(), person, {}, {}},
      // header: required, code lists, whole cell text
      {"no form type", {{2, Blank{}}}, {}, {"Chybí Druh hlášení (B, O, N, E) (ř.č.2)" + H}, {}},
      {"form type X", {{2, "X"}}, {}, {"Neplatný údaj Druh hlášení (B, O, N, E) (ř.č.2)" + H}, {}},
      {"no year", {{3, Blank{}}}, {}, {"Chybí Rok (ř.č.3)" + H}, {}},
      {"year of five digits", {{3, "20265"}}, {}, {"Neplatný údaj Rok (ř.č.3)" + H}, {}},
      {"year 1899", {{3, 1899}}, {}, {"Neplatný údaj Rok (ř.č.3)" + H}, {}},
      {"month 13", {{5, 13}}, {}, {"Neplatný údaj Měsíc (ř.č.5)" + H}, {}},
      {"month 123", {{5, "123"}}, {}, {"Neplatný údaj Měsíc (ř.č.5)" + H}, {}},
      {"neither month nor quarter",
       {{5, Blank{}}},
       {},
       {"Chybí Měsíc (ř.č.5) nebo Čtvrtletí (ř.č.4)" + H},
       {}},
      {"quarter 5", {{4, 5}, {5, Blank{}}}, person, {"Neplatný údaj Čtvrtletí (ř.č.4)" + H}, {}},
      {"legal entity, quarter",
       Quarter(),
       {},
       {"Právnická osoba podává za měsíc: chybí Měsíc (ř.č.5)" + H},
       {}},
      {"period after the filing date",
       {{5, 12}, {6, Date{k10Dec2026 - 10}}},
       {},
       {},
       {"Období začíná po datu podání (ř.č.6)" + H}},
      {"period after today",
       {{3, 2027}, {5, 1}, {6, Blank{}}},
       {},
       {},
       {"Období začíná po datu podání (ř.č.6)" + H}},
      {"filing date as dotted text",
       {{6, "10.12.2026"}},
       {},
       {"Neplatný údaj Datum podání (ř.č.6)" + H},
       {}},
      {"unusual call reference",
       {{13, "123/2026"}},
       {},
       {},
       {"Neobvyklý tvar údaje Č.j. výzvy (ř.č.13)" + H}},
      {"call reference too long",
       {{13, std::string(33, '1')}},
       {},
       {"Neplatný údaj Č.j. výzvy (ř.č.13)" + H},
       {}},
      {"reply X", {{14, "X"}}, {}, {"Neplatný údaj Odpověď na výzvu (B, P) (ř.č.14)" + H}, {}},
      {"reply without the call", {{14, "B"}}, {}, {"Chybí Č.j. výzvy (ř.č.13)" + H}, {}},
      {"reply with the call", {{13, "12345678/26/2001-00000-123456"}, {14, "P"}}, {}, {}, {}},
      // the partial period of a natural person
      {"part of a period, legal entity",
       {{15, Date{46327}}},
       {},
       {"Neplatný údaj Období od (ř.č.15)" + H + ": jen pro fyzickou osobu"},
       {}},
      {"part of a period", With(Quarter(), {{15, Date{46327}}, {16, Date{46340}}}), person, {}, {}},
      {"part outside the period",
       With(Quarter(), {{16, Date{46390}}}),
       person,
       {"Neplatný údaj Období do (ř.č.16)" + H + ": mimo období hlášení"},
       {}},
      {"from after to",
       With(Quarter(), {{15, Date{46340}}, {16, Date{46327}}}),
       person,
       {"Neplatný údaj Období od (ř.č.15)" + H + ": po Období do (ř.č.16)"},
       {}},
      // subject
      {"no subject type", {}, {{2, Blank{}}}, {"Chybí Typ subjektu (P, F) (ř.č.2)" + S}, {}},
      {"subject type PO", {}, {{2, "PO"}}, {"Neplatný údaj Typ subjektu (P, F) (ř.č.2)" + S}, {}},
      {"no DIČ", {}, {{3, Blank{}}}, {"Chybí DIČ (ř.č.3)" + S}, {}},
      {"DIČ as a number",
       {},
       {{3, 27082440}},
       {"Neplatný údaj DIČ (ř.č.3)" + S +
        ": DIČ zadané jako číslo ztrácí úvodní nuly, zadejte je jako text"},
       {}},
      {"DIČ of seven digits", {}, {{3, "2708244"}}, {"Neplatný údaj DIČ (ř.č.3)" + S}, {}},
      {"DIČ with CZ", {}, {{3, "CZ27082440"}}, {}, {"Kód státu vynechán z údaje DIČ (ř.č.3)" + S}},
      {"DIČ check digit", {}, {{3, "27082441"}}, {}, {"Neplatný kontrolní součet DIČ (ř.č.3)" + S}},
      {"VAT group", {}, {{3, "69900001"}}, {}, {}},
      {"no tax office", {}, {{4, Blank{}}}, {"Chybí Kód finančního úřadu (ř.č.4)" + S}, {}},
      {"tax office 999", {}, {{4, "999"}}, {"Neplatný údaj Kód finančního úřadu (ř.č.4)" + S}, {}},
      {"legal entity without its name",
       {},
       {{5, Blank{}}},
       {"Chybí Obchodní jméno (ř.č.5)" + S},
       {}},
      {"natural person without names",
       {},
       {{2, "F"}, {5, Blank{}}},
       {"Chybí Příjmení (ř.č.7)" + S, "Chybí Jméno (ř.č.8)" + S},
       {}},
      {"first name too long",
       {},
       person_and({{8, std::string(31, 'J')}}),
       {"Neplatný údaj Jméno (ř.č.8)" + S},
       {}},
      {"house number with a letter",
       {},
       {{12, "12a"}},
       {"Neplatný údaj Číslo popisné (ř.č.12)" + S},
       {}},
      {"Czech PSČ with a blank", {}, {{13, "110 00"}}, {}, {}},
      {"Czech PSČ of four digits", {}, {{13, "1100"}}, {"Neplatný údaj PSČ (ř.č.13)" + S}, {}},
      {"foreign PSČ", {}, {{13, "SW1A 1AA"}, {14, "VELKÁ BRITÁNIE"}}, {}, {}},
      {"phone too long",
       {},
       {{15, "+420 222 123 456"}},
       {"Neplatný údaj Telefon (ř.č.15)" + S},
       {}},
      // the representative
      {"representative without its type",
       {},
       {{20, "4a"}},
       {"Chybí Typ zástupce (ř.č.19)" + S},
       {}},
      {"representative type X", {}, {{19, "X"}}, {"Neplatný údaj Typ zástupce (ř.č.19)" + S}, {}},
      {"legal representative, a natural person's code",
       {},
       {{19, "P"}, {20, "4b"}},
       {"Neplatný údaj Kód zástupce (ř.č.20)" + S, "Chybí Název zástupce (ř.č.21)" + S,
        "Chybí IČ zástupce (ř.č.22)" + S},
       {}},
      {"legal representative",
       {},
       {{19, "P"}, {20, "4c"}, {21, "Daně s.r.o."}, {22, "12345679"}},
       {},
       {}},
      {"natural representative incomplete",
       {},
       {{19, "F"}, {20, "4b"}},
       {"Chybí Zástupce - jméno (ř.č.26)" + S, "Chybí Zástupce - příjmení (ř.č.27)" + S,
        "Chybí Zástupce - datum narození (ř.č.28) nebo Zástupce - evidenční číslo (ř.č.29)" + S},
       {}},
      {"natural representative",
       {},
       {{19, "F"}, {20, "4b"}, {26, "Petr"}, {27, "Daňový"}, {29, "KDP-1234"}},
       {},
       {}},
      {"representative's birth date as dotted text",
       {},
       {{19, "F"}, {26, "Petr"}, {27, "Daňový"}, {28, "1.1.1970"}},
       {"Neplatný údaj Zástupce - datum narození (ř.č.28)" + S},
       {}},
      {"legal entity without the persons who sign",
       {},
       {{23, Blank{}}, {24, Blank{}}, {25, Blank{}}},
       {},
       {"Chybí Oprávněná osoba - jméno (ř.č.23)" + S,
        "Chybí Oprávněná osoba - příjmení (ř.č.24)" + S,
        "Chybí Oprávněná osoba - postavení (ř.č.25)" + S}},
      {"natural person needs no persons who sign",
       {},
       person_and({{23, Blank{}}, {24, Blank{}}}),
       {},
       {}},
      // order: header in row order, subject in row order, then the rules that join them
      {"order",
       With(Quarter(), {{2, "X"}, {13, "1"}}),
       {{3, "CZ27082441"}, {12, "x"}},
       {"Neplatný údaj Druh hlášení (B, O, N, E) (ř.č.2)" + H,
        "Neplatný údaj Číslo popisné (ř.č.12)" + S,
        "Právnická osoba podává za měsíc: chybí Měsíc (ř.č.5)" + H},
       {"Neobvyklý tvar údaje Č.j. výzvy (ř.č.13)" + H,
        "Kód státu vynechán z údaje DIČ (ř.č.3)" + S, "Neplatný kontrolní součet DIČ (ř.č.3)" + S}},
  };
  for (const Case& c : cases) Check(c);
}

TEST_F(HeaderAndSubject, ValuesAreKeptAsReadAndMessagesKnowTheirPlace) {
  TStatement st;
  AddSheet(st.workbook, "Hlavička",
           With(SoundHeader(), {{5, "123"}, {6, test::DateTime{k10Dec2026 + 0.75}}, {13, "x"}}));
  AddSheet(st.workbook, "Subjekt", With(SoundSubject(), {{2, "PO"}, {13, "110 00"}}));
  ImportWorkbook(st, std::move(st.workbook));
  EXPECT_EQ(st.header.mesic, "123");           // whole, so the document shows what was refused
  EXPECT_EQ(st.header.d_poddp, "10.12.2026");  // a date-time cell gives its day
  EXPECT_EQ(st.subject.typ_ds, "PO");
  EXPECT_EQ(st.subject.psc, "110 00");  // as read; written without the blank
  ASSERT_EQ(st.error_places.size(), st.errors.size());
  ASSERT_EQ(st.warning_places.size(), st.warnings.size());
  ASSERT_EQ(st.errors.size(), 2u);
  EXPECT_EQ(st.error_places[0].sheet, SheetSlot::Header);
  EXPECT_EQ(st.error_places[0].row, 5);
  EXPECT_STREQ(st.error_places[0].field, "mesic");
  EXPECT_EQ(st.error_places[1].sheet, SheetSlot::Subject);
  EXPECT_EQ(st.error_places[1].row, 2);
  EXPECT_STREQ(st.error_places[1].field, "typ_ds");
  // The missing sheets' warnings name their sheet and no row.
  ASSERT_EQ(st.warnings.at(7), "Nenalezen list pro sekci B3 - B3.");
  EXPECT_EQ(st.warning_places[7].sheet, SheetSlot::B3);
  EXPECT_EQ(st.warning_places[7].row, 0);
  EXPECT_EQ(st.warning_places.back().row, 13);  // the unusual call reference
}

TEST_F(HeaderAndSubject, WithoutTheSheetsNothingIsMadeUp) {
  TStatement st;
  st.workbook.AddSheet("A1");
  ImportWorkbook(st, std::move(st.workbook));
  EXPECT_EQ(st.errors, test::MissingFilerErrors());
  EXPECT_EQ(st.warnings.front(), "Nenalezen list Hlavička.");
}

}  // namespace
}  // namespace vestrano
