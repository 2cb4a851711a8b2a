// Several workbooks in one run of the command line: which workbooks a folder stands for, the
// summary, the JSON lines, a failing workbook among others, double filings, files that two
// workbooks would both write, and the same bytes whatever the number of threads.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "cli/batch.h"
#include "support/run_program.h"
#include "support/statement_book.h"
#include "support/temp_dir.h"

namespace vestrano {
namespace {

namespace fs = std::filesystem;
using test::CliPath;
using test::RunProgram;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Cli(std::vector<std::string> args) {
  args.insert(args.begin(), CliPath());
  return args;
}

// Every regular file below dir (relative path → bytes).
std::map<std::string, std::string> Files(const std::string& dir) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) out[fs::relative(e.path(), dir).string()] = Read(e.path().string());
  return out;
}

TEST(CliWorkbooks, FoldersStandForTheirWorkbooksInByteOrder) {
  const test::TempDir tmp("vestrano-expand");
  fs::create_directories(tmp / "klienti/archiv");
  for (const char* name : {"b.xlsx", "B.XLSX", "a.xls", "c.xltm", "~$b.xlsx", "poznamky.txt",
                           "d.ods", "archiv/e.xlsm"})
    std::ofstream(tmp / ("klienti/" + std::string(name))) << "x";
  fs::create_directories(tmp / "klienti/slozka.xlsx");  // a folder is no workbook
  std::string error;
  const std::string k = tmp / "klienti";
  EXPECT_EQ(cli::ExpandArguments({"x.xlsx", k}, false, error),
            (std::vector<std::string>{"x.xlsx", k + "/B.XLSX", k + "/a.xls", k + "/b.xlsx",
                                      k + "/c.xltm"}));
  EXPECT_EQ(error, "");
  EXPECT_EQ(cli::ExpandArguments({k + "/"}, true, error),
            (std::vector<std::string>{k + "/B.XLSX", k + "/a.xls", k + "/archiv/e.xlsm",
                                      k + "/b.xlsx", k + "/c.xltm"}));
  EXPECT_TRUE(cli::ExpandArguments({"x.xlsx", tmp / "klienti/archiv/.."}, false, error).size() ==
              5);
  fs::create_directories(tmp / "prazdna");
  std::ofstream(tmp / "prazdna/~$kh.xlsx") << "x";
  EXPECT_TRUE(cli::ExpandArguments({"x.xlsx", tmp / "prazdna"}, false, error).empty());
  EXPECT_NE(error.find(tmp / "prazdna"), std::string::npos) << error;
}

TEST(CliWorkbooks, SummaryJsonLinesFailureAndDoubleFiling) {
  const test::TempDir tmp("vestrano-multi");
  fs::create_directories(tmp / "listopad");
  test::WriteStatementWorkbook(tmp / "listopad/alfa.xlsx", {.dic = "27082440"});
  test::WriteStatementWorkbook(tmp / "listopad/beta.xlsx",
                               {.dic = "45274649", .invalid_dic = true});
  test::WriteStatementWorkbook(tmp / "listopad/gama.xlsx", {.dic = "27082440", .rows = 6});
  test::WriteStatementWorkbook(tmp / "listopad/delta.xlsx", {.dic = "27082440", .month = 0});
  std::ofstream(tmp / "listopad/~$alfa.xlsx") << "lock file";
  std::ofstream(tmp / "poskozeny.xlsx") << "not a workbook";

  auto r = RunProgram(Cli({"listopad", "poskozeny.xlsx"}), tmp.path());
  EXPECT_EQ(r.status, 2) << r.err;  // the highest of theirs: the damaged workbook
  EXPECT_EQ(r.out,
            "Soubor               DIČ       Období   Druh  Řádků  Upozornění  Chyb  Ověření\n"
            "listopad/alfa.xlsx   27082440  11/2026  B         4           0     0  valid\n"
            "listopad/beta.xlsx   45274649  11/2026  B         4           0     1  invalid\n"
            "listopad/delta.xlsx  27082440  Q4/2026  B         4           0     0  valid\n"
            "listopad/gama.xlsx   27082440  11/2026  B         6           0     0  valid\n"
            "poskozeny.xlsx       -         -        -         -           -     -  selhalo\n"
            "poskozeny.xlsx: The file is not a valid XLSX (Excel 2007) file.\n"
            "Celkem: 5 sešitů, 2 s chybami, 1 neplatných\n"
            "Možné dvojí podání: listopad/alfa.xlsx, listopad/gama.xlsx\n");
  EXPECT_EQ(r.err, "");
  for (const char* xml : {"alfa.xml", "beta.xml", "gama.xml", "delta.xml"})
    EXPECT_TRUE(fs::exists(tmp / ("listopad/" + std::string(xml)))) << xml;

  // --json: each workbook's one-line object, exactly as a run on it alone prints it.
  auto json = RunProgram(Cli({"--json", "listopad", "poskozeny.xlsx"}), tmp.path());
  EXPECT_EQ(json.status, 2);
  EXPECT_EQ(json.err, "Možné dvojí podání: listopad/alfa.xlsx, listopad/gama.xlsx\n");
  std::string expected;
  for (const char* file : {"listopad/alfa.xlsx", "listopad/beta.xlsx", "listopad/delta.xlsx",
                           "listopad/gama.xlsx", "poskozeny.xlsx"}) {
    auto single = RunProgram(Cli({"--json", file}), tmp.path());
    EXPECT_EQ(std::count(single.out.begin(), single.out.end(), '\n'), 1) << file;
    EXPECT_TRUE(single.out.starts_with("{\"file\": \"" + std::string(file) + "\", ")) << file;
    expected += single.out;
  }
  EXPECT_EQ(json.out, expected);

  // The full text reports, exactly as single runs print them.
  auto reports = RunProgram(Cli({"-q", "--report-dir", "zpravy", "listopad"}), tmp.path());
  EXPECT_EQ(reports.status, 1);
  auto single = RunProgram(Cli({"listopad/beta.xlsx"}), tmp.path());
  EXPECT_EQ(Read(tmp / "zpravy/beta.txt"), single.out);
  EXPECT_NE(single.out.find("Neplatný údaj DIČ odběratele v ř.č.2 v sekci A4"), std::string::npos);
}

TEST(CliWorkbooks, FilesTwoWorkbooksWouldBothWriteAreAUsageError) {
  const test::TempDir tmp("vestrano-collide");
  fs::create_directories(tmp / "praha");
  fs::create_directories(tmp / "brno");
  for (const char* name : {"kh.xlsx", "kh.xls", "praha/kh.xlsx", "brno/kh.xlsx", "jiny.xlsx"})
    test::WriteStatementWorkbook(tmp / name);
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"kh.xlsx", "kh.xls"}, "kh.xlsx and kh.xls would both write " + tmp.path() + "/kh.xml"},
      {{"kh.xlsx", "./kh.xlsx"}, "kh.xlsx and ./kh.xlsx would both write"},
      {{"--output-dir", "out", "praha", "brno"},
       "praha/kh.xlsx and brno/kh.xlsx would both write " + tmp.path() + "/out/kh.xml"},
      {{"--no-export", "--report-dir", "r", "praha/kh.xlsx", "brno/kh.xlsx"},
       "would both write " + tmp.path() + "/r/kh.txt"},
      {{"-o", "jedno.xml", "kh.xlsx", "jiny.xlsx"}, "-o names the XML of one workbook"},
      {{"kh.xlsx", "prazdna"}, "the folder prazdna holds no workbook"},
  };
  fs::create_directories(tmp / "prazdna");
  for (const auto& [args, message] : cases) {
    auto r = RunProgram(Cli(args), tmp.path());
    EXPECT_EQ(r.status, 2) << message;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
  }
  // Nothing ran: no document, no report, no folder.
  for (const char* absent : {"kh.xml", "jiny.xml", "jedno.xml", "out", "r", "praha/kh.xml"})
    EXPECT_FALSE(fs::exists(tmp / absent)) << absent;
  // Without the second writer the same run goes ahead.
  auto ok = RunProgram(Cli({"-q", "--output-dir", "out", "praha", "jiny.xlsx"}), tmp.path());
  EXPECT_EQ(ok.status, 0) << ok.out << ok.err;
  EXPECT_TRUE(fs::exists(tmp / "out/kh.xml") && fs::exists(tmp / "out/jiny.xml"));
}

TEST(CliWorkbooks, OneThreadOrFourWriteTheSameBytesAsSingleRuns) {
  const test::TempDir tmp("vestrano-threads");
  fs::create_directories(tmp / "in");
  for (int i = 0; i < 12; ++i) {
    test::StatementSpec spec;
    spec.dic = std::to_string(10000000 + i % 5);
    spec.rows = 20 + 37 * i;
    spec.invalid_dic = i % 4 == 1;
    spec.month = i % 3 == 0 ? 0 : 11;
    test::WriteStatementWorkbook(tmp / ("in/kh" + std::to_string(i) + ".xlsx"), spec);
  }
  std::ofstream(tmp / "in/rozbity.xls") << "damaged";
  std::map<std::string, std::string> first;
  std::string first_out;
  for (const char* jobs : {"1", "4"}) {
    for (const char* mode : {"text", "json"}) {
      std::vector<std::string> args = {"-j",  jobs, "--output-dir", "out", "--report-dir",
                                       "rep", "in"};
      if (std::string(mode) == "json") args.insert(args.begin(), "--json");
      auto r = RunProgram(Cli(args), tmp.path());
      EXPECT_EQ(r.status, 2) << jobs << mode;
      std::map<std::string, std::string> files = Files(tmp / "out");
      files.merge(Files(tmp / "rep"));
      files["stdout " + std::string(mode)] = r.out;
      files["stderr " + std::string(mode)] = r.err;
      fs::remove_all(tmp / "out");
      fs::remove_all(tmp / "rep");
      if (std::string(jobs) == "1") {
        first.merge(files);
        continue;
      }
      for (const auto& [name, bytes] : files) {
        ASSERT_TRUE(first.count(name)) << name;
        EXPECT_EQ(bytes, first[name]) << name;  // every byte, whatever the timing
      }
    }
  }
  EXPECT_EQ(first.size(), 12u + 13u + 4u);  // 12 documents, 13 reports, two stdout, two stderr
  EXPECT_NE(first["stdout text"].find("Možné dvojí podání: in/kh10.xlsx, in/kh5.xlsx\n"),
            std::string::npos)
      << first["stdout text"];
  // And the documents are those of single runs.
  for (int i : {0, 5, 11}) {
    const std::string name = "kh" + std::to_string(i);
    auto r = RunProgram(Cli({"-q", "-o", "single.xml", "in/" + name + ".xlsx"}), tmp.path());
    EXPECT_LE(r.status, 1);
    EXPECT_EQ(Read(tmp / "single.xml"), first[name + ".xml"]) << name;
  }
}

}  // namespace
}  // namespace vestrano
