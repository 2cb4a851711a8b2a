// The command-line front end: options, exit statuses, and the reports.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "cli/report.h"
#include "import/run.h"
#include "support/run_program.h"
#include "support/sheet_builder.h"
#include "support/temp_dir.h"

namespace vestrano {
namespace {

using test::CliPath;
using test::RunProgram;

TEST(Cli, HelpAndVersion) {
  auto help = RunProgram({CliPath(), "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("Použití: vestrano-cli [volby] SEŠIT|SLOŽKA...\n")) << help.out;
  EXPECT_NE(help.out.find("--no-validate"), std::string::npos);
  auto version = RunProgram({CliPath(), "--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "vestrano-cli 1.00\n");
}

TEST(Cli, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--frobnicate", "a.xlsx"},
      {"-o", "out.xml", "--no-export", "a.xlsx"},
      {"-o", "out.xml", "a.xlsx", "b.xlsx"},
      {"-o"},
      {"-j", "0", "a.xlsx"},
      {"-jx", "a.xlsx"},
      {"--output-dir", "out", "--no-export", "a.xlsx"},
      {"--schema", "/nonexistent/dphkh1_epo2.xsd", "a.xlsx"},
      {"--schema", CliPath(), "--no-export", "a.xlsx"},
      {"--schema", CliPath(), "--no-validate", "a.xlsx"},
      {"--dump", "a.xlsx", "b.xlsx"},
  };
  for (auto args : cases) {
    args.insert(args.begin(), CliPath());
    auto r = RunProgram(args);
    EXPECT_EQ(r.status, 2) << args.size();
    EXPECT_TRUE(r.err.starts_with("vestrano-cli: ")) << r.err;
    EXPECT_TRUE(r.err.ends_with("\nNápověda: vestrano-cli --help\n")) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(RunProgram({CliPath(), "-j", "0", "a.xlsx"}).err,
            "vestrano-cli: -j potřebuje počet sešitů od 1 do 1024, ne „0“\n"
            "Nápověda: vestrano-cli --help\n");
}

TEST(Cli, UnreadableWorkbookIsAFailureInTheJsonReport) {
  auto r = RunProgram({CliPath(), "--json", "--no-export", "podklady.ods"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("\"failure\": \"The file \\\"podklady.ods\\\" could not be processed.\\r\\n"
                       "\\r\\nThe file extension is not assigned to any exporter.\""),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"xml\": null"), std::string::npos);
  EXPECT_NE(r.out.find("\"validation\": null"), std::string::npos);
  // Nothing was read: no client, counts or sums, and no message.
  EXPECT_NE(r.out.find("\"format\": 2, \"client\": null, \"counts\": null, \"sums\": null, "
                       "\"messages\": []}\n"),
            std::string::npos)
      << r.out;

  auto dump = RunProgram({CliPath(), "--dump", "/nonexistent/a.xlsx"});
  EXPECT_EQ(dump.status, 2);
  EXPECT_NE(dump.err.find("/nonexistent/a.xlsx"), std::string::npos);
}

// What programs read without parsing texts: a follow-up statement for a quarter with errors in
// the header and in A1, an A4 sheet without rows, and the other sections without their sheets.
TEST(CliJson, ClientCountsSumsAndMessagesWithTheirPlaces) {
  using test::Date;
  TStatement st;
  test::AddLabelledSheet(st.workbook, "Hlavička", {"N", 2026, 4});
  test::AddLabelledSheet(st.workbook, "Subjekt",
                         {"F", "7801011240", "451", test::Blank{}, test::Blank{}, "Nová", "Jana"});
  TExportWorkSheet& a1 = st.workbook.AddSheet("A1");
  test::AddRow(a1, {"heading"});
  test::AddRow(a1, {1, "27082440", "FV1", Date{46327}, "10500,5", "4"});
  test::AddRow(a1, {2, "27082440", "FV2", "no date", 100, "4"});
  st.workbook.AddSheet("A4");
  ImportWorkbook(st, std::move(st.workbook));
  RunReport report;
  report.file = "kh.xlsx";
  const std::string json = cli::ReportJson(st, report);
  auto has = [&](const std::string& what) {
    EXPECT_NE(json.find(what), std::string::npos) << what << "\n" << json;
  };
  has(", \"format\": 2, \"client\": {\"name\": \"Jana Nová\", \"dic\": \"7801011240\", "
      "\"form\": \"N\", \"year\": \"2026\", \"month\": null, \"quarter\": \"4\"}, ");
  // Numbers where the grid has texts; "-" for A4's sheet without rows is zeros; no sheet: null.
  const std::string zero = "{\"read\": 0, \"skipped\": 0, \"faulty\": 0, \"total\": 0}";
  has("\"counts\": {\"A1\": {\"read\": 1, \"skipped\": 0, \"faulty\": 1, \"total\": 2}, "
      "\"A2\": null, \"A3\": null, \"A4\": " +
      zero + ", \"A5\": null, \"B1\": null, \"B2\": null, \"B3\": null}");
  EXPECT_EQ(st.stats.At(4, 1), "-");
  // Every accepted amount is summed, also on a faulty row; section C as VetaC carries it.
  const std::string six =
      "{\"zakl_dane1\": \"0.00\", \"dan1\": \"0.00\", \"zakl_dane2\": \"0.00\", "
      "\"dan2\": \"0.00\", \"zakl_dane3\": \"0.00\", \"dan3\": \"0.00\"}";
  has("\"sums\": {\"A1\": {\"zakl_dane1\": \"10600.50\"}, \"A2\": " + six +
      ", \"A3\": {\"osv_plneni\": \"0.00\"}, \"A4\": " + six + ", \"A5\": " + six +
      ", \"B1\": " + six + ", \"B2\": " + six + ", \"B3\": " + six +
      ", \"C\": {\"obrat23\": \"0.00\", \"obrat5\": \"0.00\", \"pln23\": \"0.00\", "
      "\"pln5\": \"0.00\", \"pln_rez_pren\": \"10600.50\", \"rez_pren23\": \"0.00\", "
      "\"rez_pren5\": \"0.00\", \"celk_zd_a2\": \"0.00\"}}");
  // The message naming two rows gives the first; a missing sheet names the sheet only.
  const std::string missing_a2 =
      "{\"severity\": \"warning\", \"text\": \"Nenalezen list pro sekci A2 - A2.\", "
      "\"sheet\": \"A2\", \"row\": null, \"field\": null}";
  const std::string follow_up =
      "{\"severity\": \"error\", \"text\": \"Chybí datum zjištění (ř.č.12) nebo č.j. výzvy "
      "(ř.č.13) na listu Hlavička\", \"sheet\": \"Hlavička\", \"row\": 12, "
      "\"field\": \"d_zjist\"}";
  const std::string duzp =
      "{\"severity\": \"error\", \"text\": \"Neplatný údaj DUZP v ř.č.3 v sekci A1\", "
      "\"sheet\": \"A1\", \"row\": 3, \"field\": \"duzp\"}";
  has(missing_a2);
  has(follow_up);
  has(duzp);
  // The report's order: every warning, then every error, one object each.
  const std::size_t messages = json.find("\"messages\": [");
  ASSERT_NE(messages, std::string::npos);
  EXPECT_LT(messages, json.find(missing_a2));
  EXPECT_LT(json.find(missing_a2), json.find(follow_up));
  EXPECT_LT(json.find(follow_up), json.find(duzp));
  EXPECT_LT(json.rfind("\"severity\": \"warning\""), json.find("\"severity\": \"error\""));
  std::size_t objects = 0;
  for (std::size_t at = messages; (at = json.find("{\"severity\": ", at)) != std::string::npos;
       ++at)
    ++objects;
  EXPECT_EQ(objects, st.warnings.size() + st.errors.size());
  EXPECT_TRUE(json.ends_with("]}\n"));
}

}  // namespace
}  // namespace vestrano

namespace vestrano {
namespace {

using test::CliPath;
using test::RunProgram;

std::string Example() {
  return std::string(VESTRANO_SOURCE_DIR) + "/examples/kontrolni-hlaseni.xlsx";
}

bool Has(const std::string& text, const std::string& what) {
  return text.find(what) != std::string::npos;
}

TEST(CliMainJob, ExampleImportsWritesAndValidates) {
  const test::TempDir tmp("vestrano-cli-example");
  const std::string& dir = tmp.path();
  const std::string workbook = dir + "/kh.xlsx";
  std::filesystem::copy_file(Example(), workbook);
  auto r = RunProgram({CliPath(), "--json", workbook});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(Has(r.out,
                  "\"A1\": {\"Načteno\": \"3\", \"Vynecháno\": \"0\", \"Chybné\": \"0\", "
                  "\"CELKEM\": \"3\"}"))
      << r.out;
  EXPECT_TRUE(Has(r.out, "[\"B2-Základ daně 1\", \"29 400,50 CZK\"]"));
  EXPECT_TRUE(Has(r.out, "\"Záporná hodnota Základ daně 1 v ř.č.4 v sekci B2\""));
  EXPECT_TRUE(Has(r.out, "\"errors\": []"));
  EXPECT_TRUE(Has(r.out, "\"xml\": \"" + dir + "/kh.xml\""));  // default: extension replaced
  EXPECT_TRUE(Has(r.out, "\"validation\": {\"verdict\": \"valid\""));
  std::ifstream xml(dir + "/kh.xml", std::ios::binary);
  std::string doc((std::istreambuf_iterator<char>(xml)), {});
  EXPECT_TRUE(Has(doc, "zakl_dane1=\"12500.5\""));  // the decimal-comma text, in filing form
  EXPECT_TRUE(Has(doc, "<VetaC obrat23=\"149764.46\""));
  EXPECT_TRUE(Has(r.out, "\"C\": {\"obrat23\": \"149764.46\", ")) << r.out;  // the same value

  auto text = RunProgram({CliPath(), "--no-export", workbook});
  EXPECT_EQ(text.status, 0);
  EXPECT_TRUE(Has(text.out, "Upozornění (4)"));
  EXPECT_TRUE(Has(text.out, "C-A4+A5 celkem z.daně z.s."));
  EXPECT_TRUE(Has(text.out, "149 764,46 CZK"));
}

TEST(CliMainJob, TheSameStatementAsXlsAndXlsxGivesTheSameDocument) {
  const test::TempDir tmp("vestrano-cli-bothreaders");
  const std::string& dir = tmp.path();
  const std::string base = std::string(VESTRANO_SOURCE_DIR) + "/examples/kontrolni-hlaseni";
  std::string docs[2];
  const char* const extensions[2] = {".xlsx", ".xls"};
  for (int i = 0; i < 2; ++i) {
    const std::string out = dir + "/kh" + std::to_string(i) + ".xml";
    auto r = RunProgram({CliPath(), "-q", "--no-validate", "-o", out, base + extensions[i]});
    ASSERT_EQ(r.status, 0) << extensions[i] << r.out << r.err;
    std::ifstream xml(out, std::ios::binary);
    docs[i].assign(std::istreambuf_iterator<char>(xml), {});
  }
  EXPECT_GT(docs[0].size(), 2000u);
  EXPECT_EQ(docs[0], docs[1]);
}

TEST(CliMainJob, RelativeOutputIsMadeAbsoluteAndNoValidateSkipsTheCheck) {
  const test::TempDir tmp("vestrano-cli-relative");
  const std::string& dir = tmp.path();
  std::filesystem::create_directories(dir + "/out");
  auto r = RunProgram({CliPath(), "--json", "--no-validate", "-o", "out/kh.xml", Example()}, dir);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(Has(r.out, "\"xml\": \"" + dir + "/out/kh.xml\""));
  EXPECT_TRUE(Has(r.out, "\"validation\": null"));
  EXPECT_TRUE(std::filesystem::exists(dir + "/out/kh.xml"));
}

TEST(CliMainJob, MissingValidatorIsACheckNotCompleted) {
  const test::TempDir tmp("vestrano-cli-novalidator");
  const std::string& dir = tmp.path();
  auto r =
      RunProgram({CliPath(), "--json", "-o", dir + "/kh.xml", Example()}, dir, {"PATH=" + dir});
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(Has(r.out, "\"verdict\": \"not-run\""));
  EXPECT_TRUE(std::filesystem::exists(dir + "/kh.xml"));
}

// Every output option refuses a target that is no place for a document before anything is read
// or written: exit 2, the reason on stderr, and the folder as it was.
TEST(CliMainJob, OutputsThatAreNoPlaceForADocumentAreRefusedBeforeAnythingRuns) {
  const test::TempDir tmp("vestrano-cli-targets");
  const std::string& dir = tmp.path();
  std::filesystem::copy_file(Example(), dir + "/kh.xlsx");
  std::ofstream(dir + "/file") << "x";
  std::ofstream(dir + "/protected.xml") << "kept";
  std::filesystem::permissions(dir + "/protected.xml", std::filesystem::perms::owner_read);
  ASSERT_EQ(::mkfifo((dir + "/pipe.xml").c_str(), 0644), 0);
  std::filesystem::create_directory(dir + "/reports");
  ASSERT_EQ(::mkfifo((dir + "/reports/kh.txt").c_str(), 0644), 0);
  const std::string kh = dir + "/kh.xlsx", fail = "vestrano-cli: Nelze zapsat soubor ";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-o", dir + "/file/kh.xml", kh}, fail + dir + "/file/kh.xml: " + dir + "/file není složka"},
      {{"-o", dir + "/missing/kh.xml", kh},
       fail + dir + "/missing/kh.xml: složka " + dir + "/missing neexistuje"},
      {{"-o", kh, kh}, fail + kh + ": je to týž soubor jako vstup " + kh},
      {{"-o", dir + "/pipe.xml", kh},
       fail + dir + "/pipe.xml: je to roura (FIFO), ne obyčejný soubor"},
      {{"-o", dir + "/protected.xml", kh},
       fail + dir + "/protected.xml: soubor je chráněn proti zápisu"},
      {{"-o", dir + "/", kh}, fail + dir + "/: cesta končí lomítkem, název souboru v ní chybí"},
      {{"--output-dir", dir + "/file", kh},
       "vestrano-cli: --output-dir určuje " + dir + "/file, což není složka"},
      {{"--no-export", "--report-dir", dir + "/reports", kh},
       fail + dir + "/reports/kh.txt: je to roura (FIFO), ne obyčejný soubor"},
      {{"--template", dir + "/pipe.xml.xlsx"}, ""},  // made below
  };
  ASSERT_EQ(::mkfifo((dir + "/pipe.xml.xlsx").c_str(), 0644), 0);
  const auto listing = [&] {
    std::string out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
      out +=
          e.path().string() + " " + std::to_string(e.is_regular_file() ? e.file_size() : 0) + "\n";
    return out;
  };
  const std::string before = listing();
  for (auto [args, message] : cases) {
    if (message.empty())
      message = fail + dir + "/pipe.xml.xlsx: je to roura (FIFO), ne obyčejný soubor";
    args.insert(args.begin(), CliPath());
    const auto r = RunProgram(args, dir);
    EXPECT_EQ(r.status, 2) << message;
    EXPECT_EQ(r.err, message + "\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(listing(), before) << message;
  }
  std::ifstream kept(dir + "/protected.xml");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept");
}

// --schema names the schema outright: a relative name is taken from the current folder, and it
// wins over a schema in the start folder.
TEST(CliMainJob, SchemaFileNamesTheSchemaOutright) {
  const test::TempDir tmp("vestrano-cli-schema");
  const std::string& dir = tmp.path();
  std::filesystem::create_directories(dir + "/stazene");
  std::filesystem::copy_file(std::string(VESTRANO_BINARY_DIR) + "/dphkh1_epo2.xsd",
                             dir + "/stazene/oficialni.xsd");
  // A schema in the start folder that no document passes.
  std::ofstream(dir + "/dphkh1_epo2.xsd")
      << "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">"
         "<xs:element name=\"Jiny\"/></xs:schema>\n";
  auto own = RunProgram({CliPath(), "--json", "-o", "kh.xml", Example()}, dir);
  EXPECT_EQ(own.status, 1);
  EXPECT_TRUE(Has(own.out, "\"verdict\": \"invalid\"")) << own.out;

  auto named = RunProgram(
      {CliPath(), "--json", "--schema", "stazene/oficialni.xsd", "-o", "kh.xml", Example()}, dir);
  EXPECT_EQ(named.status, 0) << named.out;
  EXPECT_TRUE(Has(named.out, "\"verdict\": \"valid\"")) << named.out;

  auto missing = RunProgram({CliPath(), "--schema", "stazene/jina.xsd", Example()}, dir);
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.out, "");
  EXPECT_TRUE(Has(missing.err, "stazene/jina.xsd"));
}

TEST(CliDump, PrintsEveryRowAndCellWithKindsAndFormats) {
  auto r = RunProgram({CliPath(), "--dump", Example()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "{\"date1904\": false,"));
  EXPECT_TRUE(Has(r.out, "{\"name\": \"Hlavička\""));
  EXPECT_TRUE(
      Has(r.out, "{\"kind\": \"DateTime\", \"text\": \"2026-11-03\", \"format\": \"d.m.yyyy\"}"));
  EXPECT_TRUE(Has(r.out, "{\"kind\": \"String\", \"text\": \"12500,50\"}"));
  EXPECT_TRUE(Has(r.out, "{\"kind\": \"Number\", \"text\": \"1\"}"));
}

}  // namespace
}  // namespace vestrano
