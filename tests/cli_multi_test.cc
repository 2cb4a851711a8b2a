// Several workbooks in one run of the command line: which workbooks a folder stands for, the
// summary, the JSON lines, a failing workbook among others, double filings, files that two
// workbooks would both write, and the same bytes whatever the number of threads.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <thread>
#include <tuple>

#include "cli/batch.h"
#include "cli/czech.h"
#include "data/text.h"
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

TEST(CliWorkbooks, FoldersStandForTheirWorkbooksByName) {
  const test::TempDir tmp("vestrano-expand");
  fs::create_directories(tmp / "klienti/archiv");
  for (const char* name : {"b.xlsx", "B.XLSX", "a.xls", "c.xltm", "~$b.xlsx", "poznamky.txt",
                           "d.ods", "archiv/e.xlsm"})
    std::ofstream(tmp / ("klienti/" + std::string(name))) << "x";
  fs::create_directories(tmp / "klienti/slozka.xlsx");  // a folder is no workbook
  std::string error;
  const std::string k = tmp / "klienti";
  // The Czech alphabet where the system has it (small letters first among equals), else bytes.
  const bool czech = cli::HasCzechOrder();
  EXPECT_EQ(cli::ExpandArguments({"x.xlsx", k}, false, error),
            czech ? (std::vector<std::string>{"x.xlsx", k + "/a.xls", k + "/b.xlsx", k + "/B.XLSX",
                                              k + "/c.xltm"})
                  : (std::vector<std::string>{"x.xlsx", k + "/B.XLSX", k + "/a.xls", k + "/b.xlsx",
                                              k + "/c.xltm"}));
  EXPECT_EQ(error, "");
  EXPECT_EQ(cli::ExpandArguments({k + "/"}, true, error),
            czech ? (std::vector<std::string>{k + "/a.xls", k + "/archiv/e.xlsm", k + "/b.xlsx",
                                              k + "/B.XLSX", k + "/c.xltm"})
                  : (std::vector<std::string>{k + "/B.XLSX", k + "/a.xls", k + "/archiv/e.xlsm",
                                              k + "/b.xlsx", k + "/c.xltm"}));
  EXPECT_TRUE(cli::ExpandArguments({"x.xlsx", tmp / "klienti/archiv/.."}, false, error).size() ==
              5);
  fs::create_directories(tmp / "prazdna");
  std::ofstream(tmp / "prazdna/~$kh.xlsx") << "x";
  EXPECT_TRUE(cli::ExpandArguments({"x.xlsx", tmp / "prazdna"}, false, error).empty());
  EXPECT_NE(error.find(tmp / "prazdna"), std::string::npos) << error;
}

TEST(CliWorkbooks, CzechOrderAndCountedWords) {
  // Shuffled; "ch" after "h", each accented letter after its base letter, letter case second,
  // a name before its extension and folder by folder.
  const std::vector<std::string> czech = {
      "alfa.xlsx",          "alfa stavby.xlsx", "Archiv/zeta.xlsx", "cibule.xlsx",
      "Čížek a syn.xlsx",   "hrad.xlsx",        "chata.xlsx",       "ivan.xlsx",
      "rak.xlsx",           "Řeznictví.xlsx",   "sova.xlsx",        "Šťastný.xlsx",
      "VELKA PISMENA.XLSX", "z.xlsx",           "zeta.xlsx",        "žirafa.xls",
  };
  std::vector<std::string> names = {czech[14], czech[5],  czech[9],  czech[0], czech[12], czech[2],
                                    czech[15], czech[7],  czech[11], czech[3], czech[6],  czech[13],
                                    czech[1],  czech[10], czech[4],  czech[8]};
  std::vector<std::string> bytes = names;
  std::sort(bytes.begin(), bytes.end());
  cli::SortByName(names);
  if (cli::HasCzechOrder()) {
    EXPECT_EQ(names, czech);
  } else {
    EXPECT_EQ(names, bytes);  // no Czech collation on this system: by bytes, as the README says
  }

  const std::vector<std::pair<std::size_t, std::string>> counted = {
      {0, "0 sešitů"},   {1, "1 sešit"},    {2, "2 sešity"},     {3, "3 sešity"},
      {4, "4 sešity"},   {5, "5 sešitů"},   {11, "11 sešitů"},   {21, "21 sešitů"},
      {22, "22 sešitů"}, {25, "25 sešitů"}, {104, "104 sešitů"},
  };
  for (const auto& [n, text] : counted) EXPECT_EQ(Counted(n, "sešit", "sešity", "sešitů"), text);
  EXPECT_EQ(Counted(1, "neplatný", "neplatné", "neplatných"), "1 neplatný");
  EXPECT_EQ(Counted(3, "neplatný", "neplatné", "neplatných"), "3 neplatné");
  EXPECT_EQ(Counted(5, "neplatný", "neplatné", "neplatných"), "5 neplatných");
  EXPECT_EQ(PluralForm(2, "zapsán", "zapsány", "zapsáno"), "zapsány");
}

TEST(CliWorkbooks, WorkbooksWithoutADicAreNoDoubleFiling) {
  // Nothing says whose they are, so nothing says they are the same client's.
  const test::TempDir tmp("vestrano-multi");
  test::WriteStatementWorkbook(tmp / "a.xlsx", {.dic = ""});
  test::WriteStatementWorkbook(tmp / "b.xlsx", {.dic = ""});
  auto r = RunProgram(Cli({"--no-validate", "a.xlsx", "b.xlsx"}), tmp.path());
  EXPECT_EQ(r.status, 1) << r.err;  // the missing DIČ is an error of each
  EXPECT_NE(r.out.find("a.xlsx  -  "), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Možné dvojí podání"), std::string::npos) << r.out;
  EXPECT_EQ(r.err.find("Možné dvojí podání"), std::string::npos) << r.err;
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
            "Celkem: 5 sešitů, 2 s chybami, 1 neplatný\n"
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
      {{"kh.xlsx", "kh.xls"}, "kh.xlsx i kh.xls by zapsaly týž soubor " + tmp.path() + "/kh.xml"},
      {{"kh.xlsx", "./kh.xlsx"}, "kh.xlsx i ./kh.xlsx by zapsaly týž soubor"},
      {{"--output-dir", "out", "praha", "brno"},
       "praha/kh.xlsx i brno/kh.xlsx by zapsaly týž soubor " + tmp.path() + "/out/kh.xml"},
      {{"--no-export", "--report-dir", "r", "praha/kh.xlsx", "brno/kh.xlsx"},
       "by zapsaly týž soubor " + tmp.path() + "/r/kh.txt"},
      {{"-o", "jedno.xml", "kh.xlsx", "jiny.xlsx"},
       "-o určuje XML jediného sešitu, ale argumenty určují 2 sešity (kh.xlsx, jiny.xlsx); "
       "použijte --output-dir"},
      {{"kh.xlsx", "prazdna"}, "ve složce prazdna není žádný sešit"},
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

// Starts the command line in cwd in a process group of its own (as a shell starts a job), its
// output into files there; returns its process id.
pid_t StartInGroup(const std::vector<std::string>& args, const std::string& cwd) {
  std::vector<std::string> argv = Cli(args);
  std::vector<char*> raw;
  for (std::string& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, (cwd + "/stdout").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, (cwd + "/stderr").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  pid_t pid = -1;
  const int rc = ::posix_spawn(&pid, raw[0], &actions, &attr, raw.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  return rc == 0 ? pid : -1;
}

// Ctrl+C (or SIGTERM) while two workbooks at a time are being imported, written and checked:
// each workbook is written whole or not at all, and the run says which before it ends.
TEST(CliWorkbooks, AStoppedRunListsWhichWorkbooksItWrote) {
  const test::TempDir tmp("vestrano-stop");
  fs::create_directories(tmp / "in");
  constexpr int kBooks = 5;
  for (int i = 0; i < kBooks; ++i)
    test::WriteStatementWorkbook(tmp / ("in/kh" + std::to_string(i) + ".xlsx"), {.rows = 10000});
  for (const auto& [signal, status, name] :
       {std::tuple{SIGINT, 130, "SIGINT"}, std::tuple{SIGTERM, 143, "SIGTERM"}}) {
    fs::remove_all(tmp / "out");
    const pid_t pid = StartInGroup({"-q", "-j", "2", "--output-dir", "out", "in"}, tmp.path());
    ASSERT_GT(pid, 0);
    // The signal comes once the first document is there, to the whole group as from a terminal.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!(fs::exists(tmp / "out") && !fs::is_empty(tmp / "out")) &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(::kill(-pid, signal), 0);
    int wait_status = 0;
    ASSERT_EQ(::waitpid(pid, &wait_status, 0), pid);
    ASSERT_TRUE(WIFEXITED(wait_status)) << name;
    EXPECT_EQ(WEXITSTATUS(wait_status), status) << name;

    const std::string err = Read(tmp / "stderr");
    EXPECT_TRUE(err.starts_with("vestrano-cli: přerušeno signálem " + std::string(name) + ": "))
        << err;
    std::set<std::string> listed_written;
    for (int i = 0; i < kBooks; ++i) {
      const std::string book = "in/kh" + std::to_string(i) + ".xlsx";
      const std::string xml = "kh" + std::to_string(i) + ".xml";
      const std::string written = "zapsán     " + book + " → " + tmp.path() + "/out/" + xml + "\n";
      if (err.find("  " + written) != std::string::npos) {
        listed_written.insert(xml);
        continue;
      }
      // Not written: abandoned in hand, or never started.
      const bool other = err.find("  přerušen   " + book + "\n") != std::string::npos ||
                         err.find("  nezahájen  " + book + "\n") != std::string::npos;
      EXPECT_TRUE(other) << book << "\n" << err;
    }
    EXPECT_FALSE(listed_written.count("kh" + std::to_string(kBooks - 1) + ".xml")) << err;
    // On disk exactly the documents listed, each one whole; nothing else in the folder.
    std::set<std::string> on_disk;
    for (const auto& [file, bytes] : Files(tmp / "out")) {
      on_disk.insert(file);
      EXPECT_TRUE(bytes.ends_with("</Pisemnost>\r\n")) << file;
    }
    EXPECT_FALSE(on_disk.empty());
    EXPECT_EQ(on_disk, listed_written) << err;
    // The summary is of the workbooks finished.
    EXPECT_NE(Read(tmp / "stdout").find("Celkem: "), std::string::npos);
  }
}

}  // namespace
}  // namespace vestrano
