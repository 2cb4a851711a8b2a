// The project's schema under the real XMLStarlet: what the writer emits for a sound statement is
// valid, and each value the filing format refuses is caught.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "export/atomic_file.h"
#include "export/command.h"
#include "export/export.h"
#include "export/schema_check.h"
#include "export/xml_writer.h"
#include "fixtures/export/full_statement.h"
#include "support/temp_dir.h"

namespace vestrano {
namespace {

using test::TempDir;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kSchemaFolder = std::string(VESTRANO_SOURCE_DIR) + "/schema";

// The document text with the first occurrence of from replaced by to.
std::string Replaced(std::string doc, const std::string& from, const std::string& to) {
  const std::size_t at = doc.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) doc.replace(at, from.size(), to);
  return doc;
}

TSchemaCheck Check(const std::string& doc, const std::string& name = "kh.xml") {
  static TempDir dir;
  const std::string path = dir / name;
  WriteFileAtomically(path, doc);
  return CheckSchema(path, kSchemaFolder, 30s);
}

TEST(ExportSchema, RealValidatorIsFound) { ASSERT_NE(FindValidator(), "") << "install xmlstarlet"; }

TEST(ExportSchema, FullStatementIsValid) {
  const test::Statement s = test::FullStatement();
  TempDir dir;
  const ExportResult r = ExportStatement(s.Filing(), dir / "full.xml", true, kSchemaFolder);
  EXPECT_EQ(r.verdict, Verdict::Valid) << r.output;
  EXPECT_EQ(r.output, dir / "full.xml" + " - valid\n");
}

TEST(ExportSchema, ExampleWorkbooksDocumentIsValid) {
  // What the program writes for examples/kontrolni-hlaseni.xlsx: credit notes, zero amounts,
  // Czech names, every section.
  const std::string fixture =
      std::string(VESTRANO_SOURCE_DIR) + "/tests/fixtures/export/example_statement.xml";
  const TSchemaCheck check = CheckSchema(fixture, kSchemaFolder, 30s);
  EXPECT_EQ(check.verdict, Verdict::Valid) << check.output;
}

TEST(ExportSchema, LowerCaseCountryCodeIsRefused) {
  const std::string good = BuildDocument(test::FullStatement().Filing());
  const TSchemaCheck check = Check(Replaced(good, R"(k_stat="DE")", R"(k_stat="de")"));
  EXPECT_EQ(check.verdict, Verdict::Invalid);
  EXPECT_NE(check.output.find("k_stat"), std::string::npos) << check.output;
}

TEST(ExportSchema, ValuesTheFilingFormatRefuses) {
  const std::string good = BuildDocument(test::FullStatement().Filing());
  const std::pair<std::string, std::string> refused[] = {
      {R"(mesic="03")", R"(mesic="13")"},
      {R"(mesic="03")", R"(ctvrt="5")"},
      {R"( rok="2016")", R"( rok="16")"},
      {R"( rok="2016")", ""},  // required
      {R"(khdph_forma="B")", R"(khdph_forma="X")"},
      {R"(d_poddp="15.04.2016")", R"(d_poddp="2016-04-15")"},
      {R"(typ_ds="P")", R"(typ_ds="X")"},
      {R"(dic="12345678")", R"(dic="CZ12345678")"},
      {R"(dic_odb="87654321")", R"(dic_odb="12345678901")"},
      {R"(duzp="01.03.2016")", R"(duzp="32.03.2016")"},
      {R"( duzp="01.03.2016")", ""},  // a row without its date
      {R"(zakl_dane1="1000.5")", R"(zakl_dane1="1000,5")"},
      {R"(zakl_dane1="1000.5")", R"(zakl_dane1="1000.555")"},
      {R"(zakl_dane1="12500")", R"(zakl_dane1="12 500,00")"},
      {R"(c_radku="2")", R"(c_radku="0")"},
      {R"(c_radku="2")", R"(c_radku="2.5")"},
      {R"(kod_pred_pl="4")", R"(kod_pred_pl="2")"},
      {R"(kod_rezim_pl="0")", R"(kod_rezim_pl="3")"},
      {R"(zdph_44="A")", R"(zdph_44="a")"},
      {R"(pomer="N")", R"(pomer="n")"},
      {R"( pomer="N")", ""},  // required in B.2
      {R"(k_stat="SK")", R"(k_stat="SVK")"},
      {R"( k_stat="SK")", ""},  // required in A.3
      {R"(c_evid_dd="ZL-1")", "c_evid_dd=\"" + std::string(61, 'x') + "\""},
      {R"(pln23="23000")", R"(pln23="1E15")"},
      {R"(pln23="23000")", R"(pln23="1.0842021724855E-19")"},
      {R"( pln23="23000")", ""},  // every total is required
      {R"(<VetaC )", R"(<VetaC extra="1" )"},
      {"<VetaA5 ", "<VetaA6 "},
  };
  for (const auto& [from, to] : refused) {
    const TSchemaCheck check = Check(Replaced(good, from, to));
    EXPECT_EQ(check.verdict, Verdict::Invalid) << from << " -> " << to << "\n" << check.output;
  }
}

TEST(ExportSchema, OptionalPartsMayBeMissing) {
  test::Statement s = test::FullStatement();
  s.header.mesic.clear();
  s.header.ctvrt = "1";
  s.header.d_poddp.clear();
  s.subject = tSubject{};  // the writer's defaults
  s.records.a1.clear();
  s.records.a2[0].vatid_dod.clear();
  s.a5_found = false;
  const TSchemaCheck check = Check(BuildDocument(s.Filing()));
  EXPECT_EQ(check.verdict, Verdict::Valid) << check.output;
}

TEST(ExportSchema, EscapedTextsComeBackFromAParserUnchanged) {
  test::Statement s = test::FullStatement();
  s.subject.zkrobchjm = "A & B <C> \"D\" 'E'\tTab\nLine\rEnd";
  s.subject.ulice = std::string("Bell\x07 gone") + std::string(1, '\0');
  TempDir dir;
  const std::string path = dir / "escaped.xml";
  const ExportResult r = ExportStatement(s.Filing(), path, true, kSchemaFolder);
  ASSERT_EQ(r.verdict, Verdict::Valid) << r.output;
  const TCommandResult name =
      RunCommand({FindValidator(), "sel", "-T", "-t", "-v", "//VetaP/@zkrobchjm", "-o", "|", "-v",
                  "//VetaP/@ulice", path},
                 dir / "", 30s);
  EXPECT_EQ(name.err, "");
  EXPECT_EQ(name.out, "A & B <C> \"D\" 'E'\tTab\nLine\rEnd|Bell gone");
}

}  // namespace
}  // namespace vestrano
