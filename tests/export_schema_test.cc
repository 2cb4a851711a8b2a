// The project's schema under the real XMLStarlet, held against the tax administration's own
// schema: both must give the same verdict on every document, except where ours refuses a value
// outside a code list that the portal only limits in length.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "data/text.h"
#include "export/atomic_file.h"
#include "export/command.h"
#include "export/export.h"
#include "export/schema_check.h"
#include "export/xml_writer.h"
#include "fixtures/export/full_statement.h"
#include "import/run.h"
#include "support/sheet_builder.h"
#include "support/temp_dir.h"

namespace vestrano {
namespace {

using test::TempDir;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kSchemaFolder = std::string(VESTRANO_SOURCE_DIR) + "/schema";
const fs::path kOfficial = fs::path(VESTRANO_SOURCE_DIR) / "../shared/official";
const std::string kOfficialSchema = (kOfficial / "dphkh1_epo2.xsd").lexically_normal().string();

bool HaveOfficial() { return fs::is_regular_file(kOfficialSchema); }

// The document text with the first occurrence of from replaced by to.
std::string Replaced(std::string doc, const std::string& from, const std::string& to) {
  const std::size_t at = doc.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) doc.replace(at, from.size(), to);
  return doc;
}

// What one schema says of many files in one validator run: the verdict of each path and the
// error lines that name it.
struct Verdicts {
  std::map<std::string, Verdict> verdict;
  std::map<std::string, std::vector<std::string>> errors;
};

Verdicts Validate(const std::string& schema, const std::vector<std::string>& paths) {
  std::vector<std::string> argv = {FindValidator(), "val", "-e", "-s", schema};
  argv.insert(argv.end(), paths.begin(), paths.end());
  const TCommandResult run = RunCommand(argv, fs::path(schema).parent_path().string(), 120s);
  Verdicts v;
  std::istringstream out(run.out + run.err);
  for (std::string line; std::getline(out, line);) {
    for (const std::string& p : paths) {
      if (line == p + " - valid") v.verdict[p] = Verdict::Valid;
      if (line == p + " - invalid") v.verdict[p] = Verdict::Invalid;
      if (line.starts_with(p + ":")) v.errors[p].push_back(line);
    }
  }
  return v;
}

// An error about a value of a code list, which our schema may refuse where the portal does not.
bool IsCodeListError(const std::string& line) {
  static const char* const kCodes[] = {"kod_pred_pl", "kod_rezim_pl", "zdph_44", "pomer", "k_stat",
                                       "khdph_forma", "typ_ds",       "mesic",   "ctvrt", "rok"};
  for (const char* code : kCodes)
    if (line.find("attribute '" + std::string(code) + "': [facet") != std::string::npos)
      return true;
  return false;
}

enum class Expect {
  Valid,            // both schemas accept it
  Invalid,          // both refuse it
  OursOnlyRefuses,  // ours invalid, official valid: its only fault is a code
  Agree,            // writer output: the same verdict, or ours refusing only codes
};

struct Doc {
  std::string name;
  std::string text;
  Expect expect;
  std::string origin;  // for imported statement workbooks: the path; their error count follows
  std::size_t data_errors = 0;
};

test::Statement Sound() { return test::FullStatement(); }

std::string Written(const test::Statement& s) { return BuildDocument(s.Filing()); }

// The writer's output for every statement built here and every workbook the suite holds.
void AddWriterDocuments(std::vector<Doc>& docs) {
  docs.push_back({"full statement", Written(Sound()), Expect::Valid, ""});
  docs.push_back({"empty statement", Written(test::Statement{}), Expect::Agree, ""});
  test::Statement optional = Sound();
  optional.header.mesic.clear();
  optional.header.ctvrt = "1";
  optional.header.d_poddp.clear();
  optional.subject = tSubject{};  // only what the form requires
  optional.subject.typ_ds = "F";
  optional.subject.dic = "7801011240";
  optional.subject.c_ufo = "13";
  optional.records.a1.clear();
  optional.records.a2[0].vatid_dod.clear();
  optional.a5_found = false;
  docs.push_back({"optional parts missing", Written(optional), Expect::Valid, ""});
  test::Statement follow_up = Sound();
  follow_up.header.khdph_forma = "E";
  follow_up.header.c_jed_vyzvy = "12345678/26/2001-00000-123456";
  follow_up.subject.zast_dat_nar = "1970-05-17";
  follow_up.subject.id_dats = "abc7def";
  follow_up.records.a4[0].zdph_44 = "p";
  docs.push_back({"follow-up statement", Written(follow_up), Expect::Valid, ""});
  test::Statement reply;  // a quick reply to a call: header and subject, no rows, no VetaC
  reply.header = Sound().header;
  reply.header.khdph_forma = "N";
  reply.header.c_jed_vyzvy = "12345678/26/2001-00000-123456";
  reply.header.vyzva_odp = "B";
  reply.subject = Sound().subject;
  docs.push_back({"reply to a call", Written(reply), Expect::Valid, ""});
  test::Statement part = Sound();  // a natural person's part of the period
  part.subject.typ_ds = "F";
  part.header.zdobd_od = "1.3.2016";
  part.header.zdobd_do = "15.03.2016";
  docs.push_back({"part of a period", Written(part), Expect::Valid, ""});
  test::Statement missing_codes = Sound();
  missing_codes.records.a1[1].kod_pred_pl.clear();
  missing_codes.records.b2[0].zdph_44.clear();
  docs.push_back({"required codes empty", Written(missing_codes), Expect::Invalid, ""});

  std::vector<fs::path> workbooks;
  for (const char* folder : {"examples", "tests/fixtures"}) {
    for (const auto& entry :
         fs::recursive_directory_iterator(fs::path(VESTRANO_SOURCE_DIR) / folder)) {
      if (!entry.is_regular_file()) continue;
      if (IsWorkbookFileName(entry.path().string())) workbooks.push_back(entry.path());
    }
  }
  std::sort(workbooks.begin(), workbooks.end());
  for (const fs::path& book : workbooks) {
    const std::string path = book.string();
    TStatement st;
    try {
      RunImport(st, path);
    } catch (const std::exception&) {
      continue;  // a workbook that does not load writes no document
    }
    // Reader fixtures without a header sheet are no statements; the count below leaves them out.
    const std::string name = book.lexically_relative(VESTRANO_SOURCE_DIR).string();
    const bool statement = st.SheetIndex(SheetSlot::Header).has_value();
    docs.push_back(
        {name, BuildDocument(st.Filing()), Expect::Agree, statement ? name : "", st.errors.size()});
  }
}

// Hand-made variants of a sound document, each against one rule of the form.
void AddVariants(std::vector<Doc>& docs) {
  const std::string good = Written(Sound());
  struct Variant {
    const char* from;
    std::string to;
    Expect expect;
  };
  const Variant variants[] = {
      // Required attributes.
      {R"( rok="2016")", "", Expect::Invalid},
      {R"( khdph_forma="B")", "", Expect::Invalid},
      {R"( dic="12345678")", "", Expect::Invalid},
      {R"( c_ufo="461")", "", Expect::Invalid},
      {R"( typ_ds="P")", "", Expect::Invalid},
      {R"( duzp="01.03.2016")", "", Expect::Invalid},
      {R"( zakl_dane1="25000")", "", Expect::Invalid},
      {R"( kod_pred_pl="4")", "", Expect::Invalid},
      {R"( dppd="10.03.2016")", "", Expect::Invalid},
      {R"( c_evid_dd="ZL-1")", "", Expect::Invalid},
      {R"( osv_plneni="150000")", "", Expect::Invalid},
      {R"( kod_rezim_pl="0")", "", Expect::Invalid},
      {R"( zdph_44="A")", "", Expect::Invalid},
      {R"( pomer="N")", "", Expect::Invalid},
      {R"( dic_dod="11223344")", "", Expect::Invalid},
      // Unknown attributes and elements, and the order of the records.
      {R"( c_ufo="461")", R"( c_ufo="461" id_dats="abc7def")", Expect::Invalid},
      {"<VetaC ", R"(<VetaC extra="1" )", Expect::Invalid},
      {"<VetaA5 ", "<VetaA6 ", Expect::Invalid},
      // Lengths, digits and dates.
      {R"(c_telef="222333444")", R"(c_telef="+420 222 123 456")", Expect::Invalid},
      {R"(c_telef="222333444")", R"(c_telef="+4202221234567")", Expect::Valid},
      {R"(psc="11000")", R"(psc="110 00 Praha")", Expect::Invalid},
      {R"(c_pop="12")", R"(c_pop="1234567")", Expect::Invalid},
      {R"(c_pop="12")", R"(c_pop="12a")", Expect::Invalid},
      {R"(c_orient="3a")", R"(c_orient="12345")", Expect::Invalid},
      {R"(c_pracufo="2001")", R"(c_pracufo="20011")", Expect::Invalid},
      {R"(dic="12345678")", R"(dic="CZ12345678")", Expect::Invalid},
      {R"(dic_odb="87654321")", R"(dic_odb="12345678901")", Expect::Invalid},
      {R"(vatid_dod="123456789")", R"(vatid_dod="DE12345678901")", Expect::Invalid},
      {R"(c_evid_dd="ZL-1")", "c_evid_dd=\"" + std::string(61, 'x') + "\"", Expect::Invalid},
      {R"(c_evid_dd="ZL-1")", "c_evid_dd=\"" + std::string(60, 'x') + "\"", Expect::Valid},
      {R"(duzp="01.03.2016")", R"(duzp="32.03.2016")", Expect::Invalid},
      {R"(duzp="01.03.2016")", R"(duzp="2016-03-01")", Expect::Invalid},
      {R"(duzp="01.03.2016")", R"(duzp="01.03.1899")", Expect::Invalid},
      {R"(duzp="01.03.2016")", R"(duzp="01.03.3000")", Expect::Invalid},
      {R"(duzp="01.03.2016")", R"(duzp="1.3.2016")", Expect::Valid},
      {R"(d_poddp="15.04.2016")", R"(d_poddp="15.4.16")", Expect::Invalid},
      {R"(zakl_dane1="25000")", R"(zakl_dane1="1000,5")", Expect::Invalid},
      {R"(zakl_dane1="25000")", R"(zakl_dane1="1000.555")", Expect::Invalid},
      {R"(zakl_dane1="25000")", R"(zakl_dane1="123456789012345678")", Expect::Invalid},
      {R"(zakl_dane1="25000")", R"(zakl_dane1="123456789012345.67")", Expect::Valid},
      {R"(pln23="23000")", R"(pln23="12345678901234567.89")", Expect::Valid},
      {R"(pln23="23000")", R"(pln23="1E15")", Expect::Invalid},
      {R"(c_radku="2")", R"(c_radku="2.5")", Expect::Invalid},
      {R"(c_radku="2")", R"(c_radku="1234567")", Expect::Invalid},
      {R"(c_radku="1" dic_odb="12345678" c_evid_dd="FV-2016-010")",
       R"(c_radku="123456789" dic_odb="12345678" c_evid_dd="FV-2016-010")", Expect::Valid},
      // What the form leaves optional.
      {R"( pln23="23000")", "", Expect::Valid},
      {R"(<DPHKH1 verzePis="01.02">)", "<DPHKH1>", Expect::Valid},
      {R"(<Pisemnost nazevSW="Vestrano" verzeSW="1.00">)", "<Pisemnost>", Expect::Valid},
      // Codes: the portal only limits their length.
      {R"(khdph_forma="B")", R"(khdph_forma="X")", Expect::OursOnlyRefuses},
      {R"(typ_ds="P")", R"(typ_ds="X")", Expect::OursOnlyRefuses},
      {R"(mesic="03")", R"(mesic="13")", Expect::OursOnlyRefuses},
      {R"(kod_pred_pl="4")", R"(kod_pred_pl="2")", Expect::OursOnlyRefuses},
      {R"(kod_rezim_pl="0")", R"(kod_rezim_pl="3")", Expect::OursOnlyRefuses},
      {R"(zdph_44="A")", R"(zdph_44="a")", Expect::OursOnlyRefuses},
      {R"(pomer="N")", R"(pomer="n")", Expect::OursOnlyRefuses},
      {R"(k_stat="DE")", R"(k_stat="de")", Expect::OursOnlyRefuses},
      {R"(k_stat="SK")", R"(k_stat="SVK")", Expect::Invalid},  // too long for either
  };
  for (const Variant& v : variants)
    docs.push_back(
        {std::string(v.from) + " -> " + v.to, Replaced(good, v.from, v.to), v.expect, ""});
}

TEST(ExportSchema, RealValidatorIsFound) { ASSERT_NE(FindValidator(), "") << "install xmlstarlet"; }

TEST(ExportSchema, OursAndTheOfficialSchemaAgree) {
  std::vector<Doc> docs;
  AddWriterDocuments(docs);
  AddVariants(docs);
  TempDir dir;
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < docs.size(); ++i) {
    paths.push_back(dir / (std::to_string(i) + ".xml"));
    WriteFileAtomically(paths.back(), docs[i].text);
  }
  for (const char* sample : {"other-program-valid.xml", "other-program-invalid.xml"}) {
    if (!HaveOfficial()) break;
    const std::string path = (kOfficial / "samples" / sample).lexically_normal().string();
    std::ifstream in(path, std::ios::binary);
    docs.push_back({sample, std::string(std::istreambuf_iterator<char>(in), {}),
                    std::string(sample).find("invalid") != std::string::npos
                        ? Expect::Invalid
                        // Valid for both: its empty k_stat is absent there.
                        : Expect::Valid,
                    ""});
    paths.push_back(path);
  }

  const Verdicts ours = Validate(kSchemaFolder + "/dphkh1_epo2.xsd", paths);
  const bool official_run = HaveOfficial();
  const Verdicts official = official_run ? Validate(kOfficialSchema, paths) : Verdicts{};
  int agreed = 0, clean_docs = 0, clean_valid = 0;
  for (std::size_t i = 0; i < docs.size(); ++i) {
    const Doc& d = docs[i];
    const std::string& p = paths[i];
    ASSERT_TRUE(ours.verdict.count(p)) << d.name << ": no verdict from our schema";
    const Verdict o = ours.verdict.at(p);
    const auto& our_errors = ours.errors.count(p) ? ours.errors.at(p) : std::vector<std::string>{};
    std::string shown;
    for (const auto& e : our_errors) shown += "\n  " + e;
    switch (d.expect) {
      case Expect::Valid:
        EXPECT_EQ(o, Verdict::Valid) << d.name << shown;
        break;
      case Expect::Invalid:
        EXPECT_EQ(o, Verdict::Invalid) << d.name;
        break;
      case Expect::OursOnlyRefuses:
        EXPECT_EQ(o, Verdict::Invalid) << d.name;
        break;
      case Expect::Agree:
        break;
    }
    if (!official_run) continue;
    ASSERT_TRUE(official.verdict.count(p)) << d.name << ": no verdict from the official schema";
    const Verdict f = official.verdict.at(p);
    std::string official_shown;
    if (official.errors.count(p))
      for (const auto& e : official.errors.at(p)) official_shown += "\n  " + e;
    if (d.expect == Expect::OursOnlyRefuses) {
      EXPECT_EQ(f, Verdict::Valid) << d.name << official_shown;
    } else if (d.expect == Expect::Agree && o == Verdict::Invalid && f == Verdict::Valid) {
      for (const auto& e : our_errors)
        EXPECT_TRUE(IsCodeListError(e)) << d.name << ": ours alone refuses " << e;
    } else {
      EXPECT_EQ(o, f) << d.name << "\nours:" << shown << "\nofficial:" << official_shown;
    }
    agreed += o == f;
    if (!d.origin.empty() && d.data_errors == 0) {
      ++clean_docs;
      if (f == Verdict::Valid)
        ++clean_valid;
      else
        std::cout << "[ official refuses ] " << d.origin << official_shown << "\n";
    }
  }
  std::cout << "[ agreement ] " << docs.size() << " documents, " << agreed
            << " with the same verdict; imported without data errors: " << clean_docs
            << ", of which the official schema accepts " << clean_valid << "\n";
}

// A reply to a call as a user writes it: the import finds nothing wrong, the portal takes it.
TEST(ExportSchema, AReplyToACallIsAFilingThePortalAccepts) {
  if (!HaveOfficial()) GTEST_SKIP() << "no " << kOfficialSchema;
  TStatement st;
  test::AddLabelledSheet(
      st.workbook, "Hlavička",
      {"N", 2026, test::Blank{}, 10, "2026-12-01", test::Blank{}, test::Blank{}, test::Blank{},
       test::Blank{}, test::Blank{}, test::Blank{}, "12345678/26/2001-00000-123456", "P"});
  test::AddLabelledSheet(st.workbook, "Subjekt",
                         {"F", "7801011240", "451", test::Blank{}, test::Blank{}, "Nová", "Jana"});
  ImportWorkbook(st, std::move(st.workbook));
  EXPECT_EQ(st.errors, std::vector<std::string>{});
  TempDir dir;
  const ExportResult r =
      ExportStatement(st.Filing(), dir / "kh.xml", true, "/nonexistent", kOfficialSchema);
  EXPECT_EQ(r.verdict, Verdict::Valid) << r.output;
  std::ifstream in(dir / "kh.xml");
  const std::string doc(std::istreambuf_iterator<char>(in), {});
  EXPECT_NE(doc.find(R"(c_jed_vyzvy="12345678/26/2001-00000-123456" vyzva_odp="P" />)"),
            std::string::npos)
      << doc;
  EXPECT_EQ(doc.find("<VetaC"), std::string::npos);
}

TEST(ExportSchema, FullStatementIsValid) {
  const test::Statement s = test::FullStatement();
  TempDir dir;
  const ExportResult r = ExportStatement(s.Filing(), dir / "full.xml", true, kSchemaFolder);
  EXPECT_EQ(r.verdict, Verdict::Valid) << r.output;
  EXPECT_EQ(r.output, dir / "full.xml" + " - valid\n");
}

TEST(ExportSchema, TheExampleIsAFilingThePortalAccepts) {
  if (!HaveOfficial()) GTEST_SKIP() << "no " << kOfficialSchema;
  for (const char* name : {"kontrolni-hlaseni.xlsx", "kontrolni-hlaseni.xls"}) {
    TStatement st;
    RunImport(st, std::string(VESTRANO_SOURCE_DIR) + "/examples/" + name);
    EXPECT_EQ(st.errors, std::vector<std::string>{}) << name;
    EXPECT_FALSE(st.warnings.empty()) << name << ": the example shows a few warnings";
    TempDir dir;
    const ExportResult r =
        ExportStatement(st.Filing(), dir / "kh.xml", true, "/nonexistent", kOfficialSchema);
    EXPECT_EQ(r.verdict, Verdict::Valid) << name << "\n" << r.output;
  }
}

TEST(ExportSchema, ASchemaNamedOutrightWinsAndAMissingOneIsSaid) {
  test::Statement s = test::FullStatement();
  s.records.a1[0].kod_pred_pl = "2";  // a code only our schema refuses
  TempDir dir;
  const std::string path = dir / "kh.xml";
  WriteFileAtomically(path, Written(s));
  EXPECT_EQ(CheckSchema(path, kSchemaFolder, 30s).verdict, Verdict::Invalid);
  const TSchemaCheck missing = CheckSchema(path, kSchemaFolder, 30s, dir / "none.xsd");
  EXPECT_EQ(missing.verdict, Verdict::NotRun);
  EXPECT_EQ(missing.output, "Soubor schématu " + dir / "none.xsd" + " nebyl nalezen.");
  if (!HaveOfficial()) GTEST_SKIP() << "no " << kOfficialSchema;
  EXPECT_EQ(CheckSchema(path, kSchemaFolder, 30s, kOfficialSchema).verdict, Verdict::Valid);
}

TEST(ExportSchema, AnInvalidVerdictNamesTheRowsBehindTheDocumentLines) {
  test::Statement s = test::FullStatement();
  s.records.a1[1].kod_pred_pl.clear();
  s.records.a1[1].sheet_row = 7;
  s.records.a5->sheet_row = 2;
  s.records.a5->zakl_dane1 = "1.234";
  s.subject.c_telef = "+420 222 123 456";
  TempDir dir;
  const std::string path = dir / "kh.xml";
  const ExportResult r = ExportStatement(s.Filing(), path, true, kSchemaFolder);
  ASSERT_EQ(r.verdict, Verdict::Invalid) << r.output;
  EXPECT_NE(r.output.find(path + ":7."), std::string::npos) << r.output;
  std::istringstream lines(r.output);
  std::map<std::string, std::string> ends;  // element → the end of its validator line
  for (std::string line; std::getline(lines, line);) {
    for (const char* element : {"VetaA1", "VetaA5", "VetaP"})
      if (line.find("Element '" + std::string(element) + "'") != std::string::npos)
        ends[element] = line.substr(line.rfind(" ("));
  }
  EXPECT_EQ(ends["VetaA1"], " (ř.č.7 v sekci A1)");
  EXPECT_EQ(ends["VetaA5"], " (ř.č.2 v sekci A5)");
  EXPECT_EQ(ends["VetaP"], " (list Subjekt)");
  EXPECT_TRUE(r.output.starts_with(path + " - invalid\n")) << "the verdict line stays as it was";
  EXPECT_NE(r.message.find("(ř.č.7 v sekci A1)"), std::string::npos) << "the user sees it";
}

TEST(ExportSchema, AnnotationTouchesOnlyLinesThatNameADocumentLine) {
  const std::vector<std::string> sources = {"", " (list Hlavička)", " (ř.č.3 v sekci B2)"};
  const std::string p = "/t/kh.xml";
  const std::pair<std::string, std::string> cases[] = {
      {p + ":2.5: bad\n", p + ":2.5: bad (list Hlavička)\n"},
      {p + ":3.10: bad\r\n" + p + ":1.1: x\n",
       p + ":3.10: bad (ř.č.3 v sekci B2)\r\n" + p + ":1.1: x\n"},
      {p + ":4.1: past the end\n", p + ":4.1: past the end\n"},
      {p + ":0.1: none\n", p + ":0.1: none\n"},
      {p + " - invalid\n", p + " - invalid\n"},
      {p + ":2: no column\n", p + ":2: no column\n"},
      {p + ":2.x: not a column\n", p + ":2.x: not a column\n"},
      {"/t/kh.xml.xml:2.5: another file\n", "/t/kh.xml.xml:2.5: another file\n"},
      {p + ":99999999999999999999.1: huge\n", p + ":99999999999999999999.1: huge\n"},
      {p + ":2.5: no line break", p + ":2.5: no line break (list Hlavička)"},
      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(AnnotateValidatorOutput(in, p, sources), out) << in;
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
