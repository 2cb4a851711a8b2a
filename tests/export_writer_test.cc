#include <gtest/gtest.h>

#include <cfloat>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "data/date_text.h"
#include "data/section_c.h"
#include "export/xml_writer.h"
#include "fixtures/export/full_statement.h"
#include "import/sections.h"
#include "import/statement.h"

namespace vestrano {
namespace {

using test::Statement;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// Byte-exact comparison that names the first line where the texts part.
void ExpectSameText(const std::string& expected, const std::string& actual) {
  if (expected == actual) return;
  const std::vector<std::string> e = Lines(expected), a = Lines(actual);
  for (std::size_t i = 0; i < std::max(e.size(), a.size()); ++i) {
    const std::string ei = i < e.size() ? e[i] : "<no line>";
    const std::string ai = i < a.size() ? a[i] : "<no line>";
    if (ei != ai) {
      ADD_FAILURE() << "first difference in line " << i + 1 << "\n  expected: " << ei
                    << "\n  actual:   " << ai;
      return;
    }
  }
  ADD_FAILURE() << "texts differ in line ends or bytes outside the lines (" << expected.size()
                << " vs " << actual.size() << " bytes)";
}

// The line of the document that starts with "<" + element, or "" when there is none.
std::string LineOf(const std::string& doc, const std::string& element) {
  for (const std::string& line : Lines(doc)) {
    if (line.starts_with("<" + element + " ")) return line;
  }
  return {};
}

TEST(ExportWriter, EmptyImportGivesEightLinesAndMakesNothingUp) {
  // nazevSW, verzeSW, verzePis and VetaC are optional for the portal, and always written here.
  // An empty required value is left out, never filled in: the import says what is missing.
  Statement s;
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
      "<Pisemnost nazevSW=\"Vestrano\" verzeSW=\"1.00\">\r\n"
      "<DPHKH1 verzePis=\"01.02\">\r\n"
      "<VetaD k_uladis=\"DPH\" dokument=\"KH1\" />\r\n"
      "<VetaP />\r\n"
      "<VetaC obrat23=\"0\" obrat5=\"0\" pln23=\"0\" pln5=\"0\" pln_rez_pren=\"0\" "
      "rez_pren23=\"0\" rez_pren5=\"0\" celk_zd_a2=\"0\" />\r\n"
      "</DPHKH1>\r\n"
      "</Pisemnost>\r\n";
  ExpectSameText(expected, BuildDocument(s.Filing()));
}

TEST(ExportWriter, HeaderPeriodRuleWithoutDefaults) {
  struct Case {
    const char* mesic;
    const char* ctvrt;
    const char* rok;
    const char* forma;
    const char* d_poddp;
    const char* line;
  };
  const Case cases[] = {
      {"3", "1", "2016", "O", "",
       R"(<VetaD k_uladis="DPH" dokument="KH1" mesic="3" rok="2016" khdph_forma="O" />)"},
      {"", "2", "2016", "", "15.04.2016",
       R"(<VetaD k_uladis="DPH" dokument="KH1" ctvrt="2" rok="2016" d_poddp="15.04.2016" />)"},
      {"", "", "", "", "", R"(<VetaD k_uladis="DPH" dokument="KH1" />)"},
      // A value the import refused is written as it was read; the schema check says the rest.
      {"123", "", "20165", "X", "",
       R"(<VetaD k_uladis="DPH" dokument="KH1" mesic="123" rok="20165" khdph_forma="X" />)"},
      {"12", "", "2017", "N", "",
       R"(<VetaD k_uladis="DPH" dokument="KH1" mesic="12" rok="2017" khdph_forma="N" />)"},
  };
  for (const Case& c : cases) {
    Statement s;
    s.header.mesic = c.mesic;
    s.header.ctvrt = c.ctvrt;
    s.header.rok = c.rok;
    s.header.khdph_forma = c.forma;
    s.header.d_poddp = c.d_poddp;
    s.header.t_extra1 = "not written";
    EXPECT_EQ(LineOf(BuildDocument(s.Filing()), "VetaD"), c.line);
  }
}

TEST(ExportWriter, FollowUpFieldsComeAfterTheFilingDate) {
  Statement s;
  s.header.rok = "2026";
  s.header.ctvrt = "4";
  s.header.khdph_forma = "N";
  s.header.d_poddp = "25.01.2027";
  s.header.d_zjist = "20.01.2027";
  s.header.c_jed_vyzvy = "12345678/26/2001-00000-123456";
  EXPECT_EQ(
      LineOf(BuildDocument(s.Filing()), "VetaD"),
      R"(<VetaD k_uladis="DPH" dokument="KH1" ctvrt="4" rok="2026" khdph_forma="N" )"
      R"(d_poddp="25.01.2027" d_zjist="20.01.2027" c_jed_vyzvy="12345678/26/2001-00000-123456" />)");
  s.header.d_zjist.clear();
  EXPECT_EQ(LineOf(BuildDocument(s.Filing()), "VetaD"),
            R"(<VetaD k_uladis="DPH" dokument="KH1" ctvrt="4" rok="2026" khdph_forma="N" )"
            R"(d_poddp="25.01.2027" c_jed_vyzvy="12345678/26/2001-00000-123456" />)");
  // The reply to a call and the part of a period follow; a reply has no section C.
  s.header.vyzva_odp = "B";
  s.header.zdobd_od = "01.10.2026";
  s.header.zdobd_do = "15.11.2026";
  const std::string doc = BuildDocument(s.Filing());
  EXPECT_EQ(LineOf(doc, "VetaD"),
            R"(<VetaD k_uladis="DPH" dokument="KH1" ctvrt="4" rok="2026" khdph_forma="N" )"
            R"(d_poddp="25.01.2027" c_jed_vyzvy="12345678/26/2001-00000-123456" vyzva_odp="B" )"
            R"(zdobd_od="01.10.2026" zdobd_do="15.11.2026" />)");
  EXPECT_EQ(LineOf(doc, "VetaC"), "");
  s.header.vyzva_odp = "X";  // not a reply: refused by the import, section C as always
  EXPECT_NE(LineOf(BuildDocument(s.Filing()), "VetaC"), "");
}

TEST(ExportWriter, VatIdsLoseTheirRowsCountryCodeAndBadDebtCodesAreUpperCase) {
  Statement s;
  s.records.a2.push_back({"1", "de", "DE811907980", "R-1", "2026-11-05", "", "", "", "", "", ""});
  s.records.a2.push_back({"2", "AT", "DE811907980", "R-2", "2026-11-05", "", "", "", "", "", ""});
  s.records.a2.push_back({"3", "XY", "XY811907980", "R-3", "2026-11-05", "", "", "", "", "", ""});
  s.records.a3.push_back({"1", "SK", "sk2020317068", "", "", "", "Z-1", "2026-11-24", "1"});
  s.records.a4.push_back({"1", "45274649", "F-1", "2026-11-04", "", "", "", "", "", "", "0", "p"});
  const std::vector<std::string> lines = Lines(BuildDocument(s.Filing()));
  ASSERT_GE(lines.size(), 10u);
  EXPECT_EQ(
      lines[5],
      R"(<VetaA2 c_radku="1" k_stat="DE" vatid_dod="811907980" c_evid_dd="R-1" dppd="05.11.2026" />)");
  EXPECT_EQ(
      lines[6],
      R"(<VetaA2 c_radku="2" k_stat="AT" vatid_dod="DE811907980" c_evid_dd="R-2" dppd="05.11.2026" />)");
  EXPECT_EQ(
      lines[7],
      R"(<VetaA2 c_radku="3" k_stat="XY" vatid_dod="XY811907980" c_evid_dd="R-3" dppd="05.11.2026" />)");
  EXPECT_EQ(
      lines[8],
      R"(<VetaA3 c_radku="1" k_stat="SK" vatid_odb="2020317068" c_evid_dd="Z-1" dup="24.11.2026" osv_plneni="1" />)");
  EXPECT_EQ(
      lines[9],
      R"(<VetaA4 c_radku="1" dic_odb="45274649" c_evid_dd="F-1" dppd="04.11.2026" kod_rezim_pl="0" zdph_44="P" />)");
}

TEST(ExportWriter, EveryRecordLineKnowsWhereItWasRead) {
  Statement s = test::FullStatement();
  s.records.a1[0].sheet_row = 2;
  s.records.a1[1].sheet_row = 7;
  s.records.b2[0].sheet_row = 12;
  s.records.a5->sheet_row = 2;
  const TFilingDocument doc = BuildFilingDocument(s.Filing());
  const std::vector<std::string> lines = Lines(doc.text);
  ASSERT_EQ(doc.line_sources.size(), lines.size());
  auto source_of = [&](const std::string& start) {
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (lines[i].starts_with(start)) return doc.line_sources[i];
    return std::string("<no line>");
  };
  EXPECT_EQ(source_of("<?xml"), "");
  EXPECT_EQ(source_of("<Pisemnost"), "");
  EXPECT_EQ(source_of("<VetaD"), " (list Hlavička)");
  EXPECT_EQ(source_of("<VetaP"), " (list Subjekt)");
  EXPECT_EQ(source_of(R"(<VetaA1 c_radku="1")"), " (ř.č.2 v sekci A1)");
  EXPECT_EQ(source_of(R"(<VetaA1 c_radku="2")"), " (ř.č.7 v sekci A1)");
  EXPECT_EQ(source_of("<VetaA5"), " (ř.č.2 v sekci A5)");
  EXPECT_EQ(source_of("<VetaB2"), " (ř.č.12 v sekci B2)");
  EXPECT_EQ(source_of("<VetaA2"), "");  // a record that was not read from a sheet
  EXPECT_EQ(source_of("<VetaC"), " (oddíl C)");
  EXPECT_EQ(source_of("</Pisemnost>"), "");
  EXPECT_EQ(doc.text, BuildDocument(s.Filing()));
}

TEST(ExportWriter, SubjectInTheFormsFormAndAttributeOrder) {
  Statement s;
  s.subject.sest_telef = "777 123 456";
  s.subject.jmeno = "Jan";
  s.subject.zkrobchjm = "Novák s.r.o.";
  s.subject.zast_dat_nar = "1970-01-01";  // written like the row dates
  s.subject.id_dats = "abc7def";          // read, never written: the form has no such field
  EXPECT_EQ(LineOf(BuildDocument(s.Filing()), "VetaP"),
            R"(<VetaP zkrobchjm="Novák s.r.o." jmeno="Jan" zast_dat_nar="01.01.1970" )"
            R"(sest_telef="777 123 456" />)");
  s.subject.zast_dat_nar = "17.05.1970";  // refused by the import: written as it was read
  EXPECT_EQ(LineOf(BuildDocument(s.Filing()), "VetaP"),
            R"(<VetaP zkrobchjm="Novák s.r.o." jmeno="Jan" zast_dat_nar="17.05.1970" )"
            R"(sest_telef="777 123 456" />)");
  s.subject.typ_ds = "F";
  s.subject.dic = "CZ12345679";  // the DIČ without its "CZ"
  s.subject.c_ufo = "13";
  s.subject.psc = "120 00";  // a Czech PSČ without its blank
  EXPECT_TRUE(LineOf(BuildDocument(s.Filing()), "VetaP")
                  .starts_with(R"(<VetaP typ_ds="F" dic="12345679" c_ufo="13" zkrobchjm=)"));
  EXPECT_NE(LineOf(BuildDocument(s.Filing()), "VetaP").find(R"( psc="12000")"), std::string::npos);
  s.subject.stat = "SLOVENSKO";  // a foreign one as it is
  EXPECT_NE(LineOf(BuildDocument(s.Filing()), "VetaP").find(R"( psc="120 00")"), std::string::npos);
}

TEST(ExportWriter, DatesAreNormalisedAndInvalidOnesWrittenAsRead) {
  SetTodaySource([] { return TCivilDate{2016, 6, 15}; });
  Statement s;
  s.records.a1.push_back({"1", "12345678", "FV1", "2016-02-30", "100", "1"});
  s.records.a1.push_back({"2", "12345678", "FV2", "2016-1-5", "", ""});
  s.records.a1.push_back({"3", "", "FV3", "03-07", "", ""});  // month and day of this year
  tDataA3 a3;
  a3.c_radku = "1";
  a3.c_evid_dd = "Z1";
  a3.d_narozeni = "31.01.1980";  // day first: not a date the normaliser accepts
  a3.dup = "2016-01-31";
  s.records.a3.push_back(a3);
  const std::vector<std::string> lines = Lines(BuildDocument(s.Filing()));
  SetTodaySource({});
  ASSERT_GE(lines.size(), 9u);
  EXPECT_EQ(
      lines[5],
      R"(<VetaA1 c_radku="1" dic_odb="12345678" c_evid_dd="FV1" duzp="2016-02-30" zakl_dane1="100" kod_pred_pl="1" />)");
  EXPECT_EQ(lines[6],
            R"(<VetaA1 c_radku="2" dic_odb="12345678" c_evid_dd="FV2" duzp="05.01.2016" />)");
  EXPECT_EQ(lines[7], R"(<VetaA1 c_radku="3" c_evid_dd="FV3" duzp="07.03.2016" />)");
  EXPECT_EQ(lines[8],
            R"(<VetaA3 c_radku="1" d_narozeni="31.01.1980" c_evid_dd="Z1" dup="31.01.2016" />)");
}

TEST(ExportWriter, AggregatesNeedTheirSheetAndTheirRecord) {
  struct Case {
    bool found;
    bool record;
    bool written;
  };
  const Case cases[] = {
      {true, true, true}, {true, false, false}, {false, true, false}, {false, false, false}};
  for (const Case& c : cases) {
    Statement s;
    s.a5_found = s.b3_found = c.found;
    if (c.record) {
      s.records.a5 = tDataA5{"100", "21", "", "", "", ""};
      s.records.b3 = tDataB3{"", "", "50", "7,5", "", ""};
    }
    const std::string doc = BuildDocument(s.Filing());
    EXPECT_EQ(LineOf(doc, "VetaA5"), c.written ? R"(<VetaA5 zakl_dane1="100" dan1="21" />)" : "")
        << "found " << c.found << ", record " << c.record;
    EXPECT_EQ(LineOf(doc, "VetaB3"), c.written ? R"(<VetaB3 zakl_dane2="50" dan2="7.5" />)" : "")
        << "found " << c.found << ", record " << c.record;
  }
  // Only one of the two sheets found: only its element.
  Statement s;
  s.records.a5 = tDataA5{"1", "", "", "", "", ""};
  s.records.b3 = tDataB3{"2", "", "", "", "", ""};
  s.b3_found = true;
  const std::string doc = BuildDocument(s.Filing());
  EXPECT_EQ(LineOf(doc, "VetaA5"), "");
  EXPECT_EQ(LineOf(doc, "VetaB3"), R"(<VetaB3 zakl_dane1="2" />)");
}

TEST(ExportWriter, EscapesWhatXmlCannotHoldAsIs) {
  const std::pair<std::string, std::string> cases[] = {
      {"Novák & syn", "Novák &amp; syn"},
      {"<b> \"x\" 'y' >", "&lt;b> &quot;x&quot; 'y' >"},
      // A parser would turn these into blanks; character references survive.
      {"a\tb\nc\rd", "a&#9;b&#10;c&#13;d"},
      // Characters XML 1.0 cannot hold are left out.
      {std::string("a\x01\x1F", 3) + std::string(1, '\0') + "b", "ab"},
      {"x\xEF\xBF\xBEy\xEF\xBF\xBFz", "xyz"},  // U+FFFE, U+FFFF
      {"s\xED\xA0\x80t", "st"},                // an encoded surrogate
      // Bytes that are not UTF-8 become U+FFFD rather than breaking the document.
      {"a\xFF"
       "b",
       "a\xEF\xBF\xBD"
       "b"},
      {"\xC3", "\xEF\xBF\xBD"},
      // Everything else passes unchanged.
      {"Příliš žluťoučký kůň \xF0\x9F\x98\x80 \x7F \xC2\x85",
       "Příliš žluťoučký kůň \xF0\x9F\x98\x80 \x7F \xC2\x85"},
      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(EscapeXml(in), out) << "input '" << in << "'";

  Statement s;
  s.subject.zkrobchjm = "A & B <C>\tline\nnext";
  EXPECT_EQ(LineOf(BuildDocument(s.Filing()), "VetaP"),
            R"(<VetaP zkrobchjm="A &amp; B &lt;C>&#9;line&#10;next" />)");
}

TEST(ExportWriter, FilingFormOfAmounts) {
  const std::pair<const char*, const char*> cases[] = {
      {"1000,5", "1000.5"},
      {" +7 ", "7"},
      {"2500,00", "2500"},
      {"1,5e3", "1500"},
      {"-0", "0"},
      {"1234.5", "1234.5"},
      {"-20,1", "-20.1"},
      {"0,05", "0.05"},
      {",", "0"},
      {"-,", "0"},
      {"007", "7"},
      {"123e-2", "1.23"},
      {"0.1e1", "1"},
      // Beyond 15 significant digits nothing is lost.
      {"12345678901234.56", "12345678901234.56"},
      {"99999999999999.99", "99999999999999.99"},
      {"1e15", "1000000000000000"},
      {"-2500000000000000", "-2500000000000000"},
      // Rounded to hundredths half away from zero, from the text's own digits.
      {"0,005", "0.01"},
      {"-0,005", "-0.01"},
      {"0,00499999999999", "0"},
      {"-0.004", "0"},
      {"2.675", "2.68"},
      {"9,995", "10"},
      {"0.1000000000000000001", "0.1"},
      {"1e-400", "0"},
      {"0e99999999999999999999", "0"},
      // Not the syntax of an amount.
      {"", nullptr},
      {"-", nullptr},
      {"abc", nullptr},
      {"1 234,50", nullptr},
      {"1.234,50", nullptr},
      {"1e", nullptr},
      {"e5", nullptr},
      {"\t7", nullptr},
  };
  for (auto [in, out] : cases) {
    const std::optional<std::string> got = FilingAmount(in);
    if (out) {
      EXPECT_EQ(got.value_or("<none>"), out) << "input '" << in << "'";
    } else {
      EXPECT_FALSE(got.has_value()) << "input '" << in << "' gave " << *got;
    }
  }
}

TEST(ExportWriter, FilingFormOfTotals) {
  // Ten bases of 0,1 minus one of 1 leave a residue in binary arithmetic.
  long double residue = 0;
  for (int i = 0; i < 10; ++i) residue += static_cast<long double>(0.1);
  residue -= 1;
  ASSERT_NE(residue, 0.0L);
  const std::pair<long double, const char*> cases[] = {
      {1234.5L, "1234.5"},
      {1500.0L, "1500"},
      {0.05L, "0.05"},
      {-20.1L, "-20.1"},
      {0.0L, "0"},
      {-0.0L, "0"},
      {residue, "0"},
      {-residue, "0"},
      {0.00001L, "0"},
      {-0.004L, "0"},
      {0.125L, "0.13"},
      {-0.125L, "-0.13"},
      {0.375L, "0.38"},
      {static_cast<long double>(0.005), "0.01"},  // the double just above 0.005
      {1e15L, "1000000000000000"},
      {-1e15L, "-1000000000000000"},
      {static_cast<long double>(12345678901234.56), "12345678901234.56"},
      // The double nearest to 99999999999999.99 is 99999999999999.984375: a slot cannot hold more.
      {static_cast<long double>(99999999999999.99), "99999999999999.98"},
      {18446744073709551616.0L, "18446744073709551616"},  // 2^64, above the significand
      {static_cast<long double>(1e20), "100000000000000000000"},
  };
  for (auto [value, text] : cases) EXPECT_EQ(FilingTotal(value), text) << value;
  // The largest sums of doubles still come out as plain digits.
  const std::string huge = FilingTotal(static_cast<long double>(DBL_MAX) * 4);
  EXPECT_EQ(huge.size(), 309u);
  EXPECT_EQ(huge.find_first_not_of("0123456789"), std::string::npos);
}

TEST(ExportWriter, SectionCSumsTheSlotsInTheFilingForm) {
  Statement s;
  using S = TotalSlot;
  s.totals[S::A4_zakl_dane1] = 1000;
  s.totals[S::A5_zakl_dane1] = 234.5;
  s.totals[S::A4_zakl_dane2] = 0.1 + 0.2;  // 0.30000000000000004
  s.totals[S::A5_zakl_dane2] = -0.3;
  s.totals[S::B2_zakl_dane1] = 1e15;
  s.totals[S::B3_zakl_dane3] = 0.05;
  s.totals[S::A1_zakl_dane1] = -20.1;
  s.totals[S::B1_zakl_dane1] = 1500;
  s.totals[S::B1_zakl_dane2] = 1;
  s.totals[S::B1_zakl_dane3] = 2;
  s.totals[S::A2_zakl_dane1] = 1;
  s.totals[S::A2_zakl_dane2] = 10;
  s.totals[S::A2_zakl_dane3] = 100;
  s.totals[S::A2_dan1] = 99;  // taxes are not part of section C
  EXPECT_EQ(LineOf(BuildDocument(s.Filing()), "VetaC"),
            R"(<VetaC obrat23="1234.5" obrat5="0" pln23="1000000000000000" pln5="0.05" )"
            R"(pln_rez_pren="-20.1" rez_pren23="1500" rez_pren5="3" celk_zd_a2="111" />)");
}

// The pane's C lines and the document's VetaC come from one table: the same slots added in the
// same order, so they agree even where the order of adding would show (sums near 17 digits).
TEST(ExportWriter, SectionCLinesAndVetaCAgree) {
  TStatement st;
  using S = TotalSlot;
  const std::pair<TotalSlot, double> values[] = {
      // B2₂ + B2₃ + B3₂ + B3₃ ends in ,03; B2₂ + B3₂ + B2₃ + B3₃ would end in ,05.
      {S::B2_zakl_dane2, 9e16},
      {S::B2_zakl_dane3, 0.01},
      {S::B3_zakl_dane2, 9e16},
      {S::B3_zakl_dane3, 0.03},
      {S::A4_zakl_dane2, 12345678901234.56},
      {S::A5_zakl_dane2, -0.005},
      {S::A4_zakl_dane3, 87654321098765.44},
      {S::A5_zakl_dane3, 0.015},
      {S::A2_zakl_dane1, 1e15},
      {S::A2_zakl_dane2, 0.1},
      {S::A2_zakl_dane3, 0.2},
      {S::B1_zakl_dane2, -99999999999999.99},
  };
  for (auto [slot, value] : values) st.totals[slot] = value;
  WriteSectionCLines(st);
  const std::string doc = BuildDocument(st.Filing());
  for (const SectionCLine& line : SectionCLines()) {
    // "1 234,50 CZK" → "1234.5", the filing's form.
    std::string shown = st.subtotals.Get(line.key);
    shown.erase(shown.size() - 4);
    std::string plain;
    for (char c : shown)
      if (c != ' ') plain += c == ',' ? '.' : c;
    while (plain.back() == '0') plain.pop_back();
    if (plain.back() == '.') plain.pop_back();
    EXPECT_NE(doc.find(std::string(" ") + line.attribute + "=\"" + plain + "\""), std::string::npos)
        << line.key << " shows " << st.subtotals.Get(line.key) << "\n"
        << LineOf(doc, "VetaC");
  }
}

TEST(ExportWriter, AcceptedValuesInTheirNormalFormRejectedOnesAsStored) {
  Statement s;
  tDataA2 a2{};
  a2.c_radku = "1";
  a2.k_stat = "de";
  a2.c_evid_dd = "D1";
  a2.zakl_dane1 = "1000,5";
  a2.dan1 = "12 500,00";  // rejected: written as stored, the schema check will say so
  s.records.a2.push_back(a2);
  a2.k_stat = "gr";  // not an EU code: as stored
  a2.zakl_dane1 = "1,234";
  a2.dan1 = "";
  s.records.a2.push_back(a2);
  tDataA4 a4{};
  a4.c_radku = "1";
  a4.dic_odb = "CZ12345678";
  a4.c_evid_dd = "F1";
  a4.kod_rezim_pl = "0";
  a4.zdph_44 = "a";
  s.records.a4.push_back(a4);
  a4.zdph_44 = "Ano";
  s.records.a4.push_back(a4);
  tDataB2 b2{};
  b2.c_radku = "1";
  b2.dic_dod = "12345678";
  b2.c_evid_dd = "P1";
  b2.pomer = "a";  // the ratio flag accepts only upper case
  b2.zdph_44 = "n";
  s.records.b2.push_back(b2);
  const std::vector<std::string> lines = Lines(BuildDocument(s.Filing()));
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(
      lines[5],
      R"(<VetaA2 c_radku="1" k_stat="DE" c_evid_dd="D1" zakl_dane1="1000.5" dan1="12 500,00" />)");
  EXPECT_EQ(lines[6], R"(<VetaA2 c_radku="1" k_stat="gr" c_evid_dd="D1" zakl_dane1="1,234" />)");
  EXPECT_EQ(
      lines[7],
      R"(<VetaA4 c_radku="1" dic_odb="12345678" c_evid_dd="F1" kod_rezim_pl="0" zdph_44="A" />)");
  EXPECT_EQ(
      lines[8],
      R"(<VetaA4 c_radku="1" dic_odb="12345678" c_evid_dd="F1" kod_rezim_pl="0" zdph_44="Ano" />)");
  EXPECT_EQ(lines[9],
            R"(<VetaB2 c_radku="1" dic_dod="12345678" c_evid_dd="P1" pomer="a" zdph_44="N" />)");
}

TEST(ExportWriter, XmlExtensionOnlyWhenMissing) {
  const std::pair<const char*, const char*> cases[] = {
      {"kh", "kh.xml"},
      {"kh.xml", "kh.xml"},
      {"kh.XML", "kh.XML"},
      {"kh.Xml", "kh.Xml"},
      {"kh.xml.bak", "kh.xml.bak.xml"},
      {"kh.xm", "kh.xm.xml"},
      {"/tmp/a b/kh", "/tmp/a b/kh.xml"},
      {"xml", "xml.xml"},
      {".xml", ".xml"},
  };
  for (auto [in, out] : cases) EXPECT_EQ(WithXmlExtension(in), out) << in;
}

std::string ReadFixture(const std::string& name) {
  std::ifstream in(std::string(VESTRANO_SOURCE_DIR) + "/tests/fixtures/export/" + name,
                   std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ExportWriter, FullStatementMatchesTheHandWrittenDocument) {
  const std::string expected = ReadFixture("full_statement.xml");
  ASSERT_FALSE(expected.empty());
  ExpectSameText(expected, BuildDocument(test::FullStatement().Filing()));
}

}  // namespace
}  // namespace vestrano
