// The schema check with fake validators on PATH: the verdict, the captured output, the messages.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "export/command.h"
#include "export/export.h"
#include "export/schema_check.h"
#include "fixtures/export/full_statement.h"
#include "support/temp_dir.h"

namespace vestrano {
namespace {

using test::TempDir;

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace std::string_literals;

const std::string kValidators =
    std::string(VESTRANO_SOURCE_DIR) + "/tests/fixtures/export/validators";

// Sets PATH for the life of the object.
class PathGuard {
 public:
  explicit PathGuard(const std::string& path) {
    const char* old = std::getenv("PATH");
    old_ = old ? old : "";
    ::setenv("PATH", path.c_str(), 1);
  }
  ~PathGuard() { ::setenv("PATH", old_.c_str(), 1); }
  const std::string& old() const { return old_; }

 private:
  std::string old_;
};

std::string CurrentPath() {
  const char* path = std::getenv("PATH");
  return path ? path : "";
}

// Puts one fake validator folder in front of PATH.
class FakeValidator : public PathGuard {
 public:
  explicit FakeValidator(const std::string& name)
      : PathGuard(kValidators + "/" + name + ":" + CurrentPath()) {}
};

// A start directory that holds a schema file, so the validator runs there.
struct StartDir {
  TempDir dir;
  StartDir() { std::ofstream(dir / kSchemaFileName) << "<!-- stands in for the schema -->\n"; }
};

const std::string kGap = "\r\n\r\n";

TEST(ExportRunner, ValidVerdictAndExactArguments) {
  FakeValidator fake("valid");
  StartDir start;
  const std::string path = start.dir / "kh.xml";
  const TSchemaCheck check = CheckSchema(path, start.dir.path());
  EXPECT_EQ(check.verdict, Verdict::Valid);
  EXPECT_EQ(check.output, path + " - valid\n" +
                              "arg:val\narg:-e\narg:-s\narg:dphkh1_epo2.xsd\narg:" + path +
                              "\ncwd:" + start.dir.path() + "\n");
  EXPECT_EQ(
      ResultMessage(path, check.verdict, check.output),
      "Soubor XML bol uložený do " + path + kGap + "Ověření podle schémy XSD proběhlo bez chyb.");
}

TEST(ExportRunner, FileNameReachesTheValidatorUnchanged) {
  FakeValidator fake("valid");
  StartDir start;
  fs::create_directory(start.dir / "a b");
  const std::string path = start.dir / "a b/k\"h\" 'x' $(touch pwned) `touch pwned2`; rm -rf x.xml";
  const TSchemaCheck check = CheckSchema(path, start.dir.path());
  EXPECT_EQ(check.verdict, Verdict::Valid) << check.output;
  EXPECT_NE(check.output.find("\narg:" + path + "\n"), std::string::npos) << check.output;
  EXPECT_FALSE(fs::exists(start.dir / "pwned"));
  EXPECT_FALSE(fs::exists(start.dir / "pwned2"));
}

TEST(ExportRunner, InvalidWithErrorsOnStderrFirst) {
  FakeValidator fake("invalid");
  StartDir start;
  const std::string path = start.dir / "kh.xml";
  const TSchemaCheck check = CheckSchema(path, start.dir.path());
  const std::string errors =
      path + ":5.1: Element 'VetaA2', attribute 'k_stat': 'de' is not a valid value.\n";
  EXPECT_EQ(check.verdict, Verdict::Invalid);
  EXPECT_EQ(check.output, path + " - invalid\n" + errors);  // stdout, then stderr
  EXPECT_EQ(ResultMessage(path, check.verdict, check.output),
            "Soubor XML byl uložený do " + path + kGap +
                "Overenie podľa schémy XSD prebehlo s chybami." + kGap + "Výpis chýb:" + kGap +
                path + " - invalid\n" + errors);
}

TEST(ExportRunner, NoVerdictIsReportedAsNotCompleted) {
  StartDir start;
  const std::string path = start.dir / "kh.xml";
  const std::string failed = "Soubor XML byl uložený do " + path + kGap +
                             "Ověření podle schémy XSD se nepodařilo provést." + kGap;
  {
    FakeValidator fake("garbage");
    const TSchemaCheck check = CheckSchema(path, start.dir.path());
    EXPECT_EQ(check.verdict, Verdict::NotRun);
    EXPECT_EQ(check.output, "Usage: xmlstarlet [<options>] <command> [<cmd-options>]\n");
    EXPECT_EQ(ResultMessage(path, check.verdict, check.output), failed + check.output);
  }
  {
    FakeValidator fake("silent");
    const TSchemaCheck check = CheckSchema(path, start.dir.path());
    EXPECT_EQ(check.verdict, Verdict::NotRun);
    EXPECT_EQ(check.output, "Validátor nevypsal žádný výsledek (návratový kód 1).");
  }
  {
    TempDir empty;
    PathGuard nowhere(empty.path());
    const TSchemaCheck check = CheckSchema(path, start.dir.path());
    EXPECT_EQ(check.verdict, Verdict::NotRun);
    EXPECT_EQ(check.output, "Validátor XMLStarlet (xmlstarlet nebo xml) nebyl nalezen v PATH.");
    EXPECT_EQ(ResultMessage(path, check.verdict, check.output), failed + check.output);
  }
  {
    // Ended by a signal after its verdict line: that line is no verdict on the document.
    TempDir bin;
    const std::string script = bin / "xmlstarlet";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s - valid\\n' \"$5\"\nkill -TERM $$\n";
    fs::permissions(script, fs::perms::owner_all);
    PathGuard killed(bin.path() + ":" + CurrentPath());
    const TSchemaCheck check = CheckSchema(path, start.dir.path());
    EXPECT_EQ(check.verdict, Verdict::NotRun);
    EXPECT_EQ(check.output,
              path + " - valid\nValidátor byl ukončen signálem a ověření nedokončil.");
  }
  {
    // The folder it should run in is gone: it cannot start, and the reason says where.
    FakeValidator fake("valid");
    const std::string gone = start.dir / "gone";
    const TSchemaCheck check = CheckSchema(path, gone);
    EXPECT_EQ(check.verdict, Verdict::NotRun);
    EXPECT_NE(check.output.find("nelze spustit ve složce " + gone), std::string::npos)
        << check.output;
  }
}

TEST(ExportRunner, HangingValidatorIsStoppedAfterTheTimeOut) {
  FakeValidator fake("hang");
  StartDir start;
  const std::string path = start.dir / "kh.xml";
  // Returning at all shows the sleeping grandchild, which held the pipe too, was stopped as well
  // (ctest's time-out catches a run that never returns); the message says why it ended.
  const TSchemaCheck check = CheckSchema(path, start.dir.path(), 1000ms);
  EXPECT_EQ(check.verdict, Verdict::NotRun);
  EXPECT_EQ(check.output, "validating ...\nValidátor neskončil do 1 s a byl zastaven.");
}

TEST(ExportRunner, EveryByteIsKeptAndShownAsValidText) {
  FakeValidator fake("binary");
  StartDir start;
  const std::string path = start.dir / "kh.xml";
  const TSchemaCheck check = CheckSchema(path, start.dir.path());
  EXPECT_EQ(check.verdict, Verdict::Invalid);
  const std::string tail = "bad \xFF\xFE byte\0after zero\n"s;
  EXPECT_EQ(check.output, path + " - invalid\n" + tail);
  const std::string message = ResultMessage(path, check.verdict, check.output);
  EXPECT_TRUE(message.ends_with("bad \xEF\xBF\xBD\xEF\xBF\xBD byte\0after zero\n"s));
}

TEST(ExportRunner, LargeOutputOnBothStreamsDoesNotDeadlock) {
  FakeValidator fake("bulk");
  StartDir start;
  const std::string path = start.dir / "kh.xml";
  const TSchemaCheck check = CheckSchema(path, start.dir.path(), 20s);
  EXPECT_EQ(check.verdict, Verdict::Valid);
  const std::string head = path + " - valid\n";
  ASSERT_EQ(check.output.size(), head.size() + 600000);
  EXPECT_EQ(check.output.substr(head.size(), 8), "out\nout\n");
  EXPECT_EQ(check.output.substr(head.size() + 300000, 8), "err\nerr\n");
}

// A validator that prints megabytes: the start (with the verdict) is kept up to 1 MB in whole
// lines, and a last line says how much was left out; what is kept never grows past the cap.
TEST(ExportRunner, OutputPastOneMegabyteIsCutWithALineThatSaysSo) {
  FakeValidator fake("flood");
  StartDir start;
  const std::string path = start.dir / "kh.xml";
  const TSchemaCheck check = CheckSchema(path, start.dir.path(), 20s);
  EXPECT_EQ(check.verdict, Verdict::Invalid);
  EXPECT_LE(check.output.size(), kMaxValidatorOutput);
  EXPECT_GT(check.output.size(), kMaxValidatorOutput - 1000);
  EXPECT_TRUE(check.output.starts_with(path + " - invalid\n" + path + ":1.1: element"));
  const std::size_t last = check.output.rfind('\n', check.output.size() - 2);
  const std::string kept_lines = check.output.substr(0, last + 1);
  const std::size_t total = (path + " - invalid\n").size() + 6000000;
  EXPECT_EQ(check.output.substr(last + 1),
            "Výpis validátoru byl zkrácen na 1 MB: " + std::to_string(total - kept_lines.size()) +
                " dalších bajtů bylo vynecháno.\n");
  // Whole lines only.
  EXPECT_TRUE(kept_lines.ends_with("Schemas validity error\n"));
}

TEST(ExportRunner, VerdictIsAnExactPrefixOfStdout) {
  const std::string p = "/tmp/kh.xml";
  const std::pair<std::string, Verdict> cases[] = {
      {p + " - valid", Verdict::Valid},
      {p + " - valid\nmore lines\n", Verdict::Valid},
      {p + " - invalid\n" + p + ":1.1: error\n", Verdict::Invalid},
      {"/tmp/KH.xml - valid\n", Verdict::NotRun},  // the path differs in letter case
      {p + ":3.4: error\n" + p + " - invalid\n", Verdict::NotRun},
      {p + " - vali", Verdict::NotRun},
      {" " + p + " - valid", Verdict::NotRun},
      {"", Verdict::NotRun},
  };
  for (const auto& [out, verdict] : cases) EXPECT_EQ(VerdictOf(p, out), verdict) << out;
}

TEST(ExportRunner, ValidatorSearchFollowsPath) {
  {
    FakeValidator fake("named-xml");
    EXPECT_EQ(FindValidator(), kValidators + "/named-xml/xml");  // before /usr/bin/xmlstarlet
  }
  {
    FakeValidator fake("valid");
    EXPECT_EQ(FindValidator(), kValidators + "/valid/xmlstarlet");
  }
  {
    // A folder without the validator, then one with it; a plain file is not a program.
    TempDir dir;
    std::ofstream(dir / "xmlstarlet") << "not executable";
    PathGuard path(dir.path() + ":/nonexistent:" + kValidators + "/named-xml");
    EXPECT_EQ(FindValidator(), kValidators + "/named-xml/xml");
  }
}

TEST(ExportRunner, SchemaFolderIsTheStartDirectoryOrTheInstalledCopy) {
  TempDir root;
  const std::string start = root / "start", bin = root / "prefix/bin",
                    share = root / "prefix/share/vestrano";
  fs::create_directories(start);
  fs::create_directories(bin);
  fs::create_directories(share);
  const std::string exe = bin + "/vestrano-cli";
  EXPECT_EQ(SchemaDirectory(start, exe), start);  // no copy anywhere: the validator says so
  std::ofstream(share + "/" + kSchemaFileName) << "x";
  EXPECT_EQ(SchemaDirectory(start, exe), share);
  std::ofstream(bin + "/" + kSchemaFileName) << "x";
  EXPECT_EQ(SchemaDirectory(start, exe), bin);
  std::ofstream(start + "/" + kSchemaFileName) << "x";
  EXPECT_EQ(SchemaDirectory(start, exe), start);
  // The build puts a copy next to the programs it builds.
  EXPECT_EQ(SchemaDirectory(root / "prefix", std::string(VESTRANO_BINARY_DIR) + "/vestrano-cli"),
            VESTRANO_BINARY_DIR);
}

TEST(ExportRunner, RunCommandStartsNoShellAndReadsNothingFromStdin) {
  TempDir dir;
  // cat would wait for ever on a terminal or an inherited pipe; /dev/null ends it at once.
  TCommandResult r = RunCommand({"/bin/cat"}, dir.path(), 5s);
  EXPECT_TRUE(r.started);
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out, "");
  r = RunCommand({"/bin/echo", "$(echo hi)", "a;b"}, dir.path(), 5s);
  EXPECT_EQ(r.out, "$(echo hi) a;b\n");
  r = RunCommand({dir / "no-such-program"}, dir.path(), 5s);
  EXPECT_FALSE(r.started);
  EXPECT_NE(r.failure, "");
}

TEST(ExportStatementRun, WritesTheDocumentThenChecksIt) {
  FakeValidator fake("valid");
  StartDir start;
  const test::Statement s = test::FullStatement();
  const std::string path = start.dir / "kh.xml";
  const ExportResult r = ExportStatement(s.Filing(), path, true, start.dir.path());
  EXPECT_EQ(r.path, path);
  EXPECT_TRUE(r.validated);
  EXPECT_EQ(r.verdict, Verdict::Valid);
  EXPECT_EQ(r.message, "Soubor XML bol uložený do " + path + kGap +
                           "Ověření podle schémy XSD proběhlo bez chyb.");
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  EXPECT_TRUE(text.str().starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"));

  // Without the check: written, nothing run.
  const ExportResult quiet = ExportStatement(s.Filing(), path, false, start.dir.path());
  EXPECT_FALSE(quiet.validated);
  EXPECT_EQ(quiet.verdict, Verdict::NotRun);
  EXPECT_EQ(quiet.message, "Soubor XML byl uložený do " + path);
}

TEST(ExportStatementRun, RelativePathIsMadeAbsoluteBeforeTheCheck) {
  FakeValidator fake("valid");
  StartDir start;
  const fs::path before = fs::current_path();
  fs::current_path(start.dir.path());
  const test::Statement s = test::FullStatement();
  const ExportResult r = ExportStatement(s.Filing(), "rel.xml", true, start.dir.path());
  fs::current_path(before);
  EXPECT_EQ(r.path, start.dir / "rel.xml");
  EXPECT_EQ(r.verdict, Verdict::Valid) << r.output;
  EXPECT_TRUE(fs::exists(start.dir / "rel.xml"));
}

TEST(ExportStatementRun, UnwritableFileRaisesAndRunsNothing) {
  FakeValidator fake("valid");
  StartDir start;
  std::ofstream(start.dir / "plain") << "x";
  const test::Statement s = test::FullStatement();
  EXPECT_THROW(ExportStatement(s.Filing(), start.dir / "plain/kh.xml", true, start.dir.path()),
               std::runtime_error);
}

}  // namespace
}  // namespace vestrano
