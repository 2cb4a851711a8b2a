// The command-line front end: options, exit statuses, and the reports.
#include <gtest/gtest.h>

#include "support/run_program.h"

namespace vestrano {
namespace {

using test::CliPath;
using test::RunProgram;

TEST(Cli, HelpAndVersion) {
  auto help = RunProgram({CliPath(), "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: vestrano-cli [options] WORKBOOK"), std::string::npos);
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
      {"a.xlsx", "b.xlsx"},
      {"-o"},
  };
  for (auto args : cases) {
    args.insert(args.begin(), CliPath());
    auto r = RunProgram(args);
    EXPECT_EQ(r.status, 2) << args.size();
    EXPECT_NE(r.err.find("vestrano-cli: "), std::string::npos);
    EXPECT_EQ(r.out, "");
  }
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

  auto dump = RunProgram({CliPath(), "--dump", "/nonexistent/a.xlsx"});
  EXPECT_EQ(dump.status, 2);
  EXPECT_NE(dump.err.find("/nonexistent/a.xlsx"), std::string::npos);
}

}  // namespace
}  // namespace vestrano
