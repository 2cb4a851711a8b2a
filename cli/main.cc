// vestrano-cli: imports a control-statement workbook, prints the report, writes the filing XML
// and checks it against the schema. A thin layer over the core: it only chooses paths and prints.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <string>

#include "cli/json.h"
#include "cli/report.h"
#include "export/export.h"
#include "import/run.h"
#include "workbook/progress.h"

namespace {

using namespace vestrano;

const char kUsage[] =
    "Usage: vestrano-cli [options] WORKBOOK\n"
    "Imports WORKBOOK (.xlsx, .xlsm, .xltx, .xltm, .xls, .xlt), prints the report, writes the\n"
    "control-statement XML and checks it against the schema.\n"
    "\n"
    "  -o, --output FILE   write the XML to FILE exactly (default: WORKBOOK with its extension\n"
    "                      replaced by \".xml\")\n"
    "      --no-export     import and report only; write nothing\n"
    "      --no-validate   write the XML, skip the schema check\n"
    "      --json          print the report as one JSON object instead of text\n"
    "      --dump          print the workbook model as JSON and exit; nothing is imported\n"
    "  -q, --quiet         no progress bar\n"
    "  -h, --help          this help\n"
    "      --version       print the version\n"
    "\n"
    "Exit status: 0  the run ended, no errors in the data, and the XML (when written) passed the\n"
    "                schema check or the check was skipped;\n"
    "             1  the run ended, but the data has errors, or the schema check did not pass\n"
    "                (invalid, or it could not be completed);\n"
    "             2  usage error, or the import or export failed.\n";

struct Options {
  std::string workbook;
  std::optional<std::string> output;
  bool no_export = false;
  bool no_validate = false;
  bool json = false;
  bool dump = false;
  bool quiet = false;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "vestrano-cli: %s\nTry 'vestrano-cli --help'.\n", message.c_str());
  return 2;
}

// Draws "Worksheet 2/9: A1 [#####     ]" on stderr, redrawn in place.
class ProgressBar : public ProgressSink {
 public:
  void Progress(std::string_view text, double fraction) override {
    if (fraction < 0) fraction = 0;
    if (fraction > 1) fraction = 1;
    const int filled = static_cast<int>(fraction * 30);
    std::string line = "\r";
    line += std::string(text).substr(0, 40);
    line.append(42 - std::min<std::size_t>(40, text.size()), ' ');
    line += '[';
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(30 - filled), ' ');
    line += "]";
    std::fputs(line.c_str(), stderr);
    drawn_ = true;
  }
  void Finish() {
    if (drawn_) std::fputs("\r\033[K", stderr);
    drawn_ = false;
  }
  ~ProgressBar() override { Finish(); }

 private:
  bool drawn_ = false;
};

std::string CurrentDirectory() {
  std::string buf(4096, '\0');
  if (::getcwd(buf.data(), buf.size()) == nullptr) return ".";
  buf.resize(std::strlen(buf.c_str()));
  return buf;
}

std::string Absolute(const std::string& path, const std::string& cwd) {
  if (!path.empty() && path[0] == '/') return path;
  return cwd == "/" ? "/" + path : cwd + "/" + path;
}

// WORKBOOK with the part after its last "." (in the last path component) replaced by ".xml".
std::string DefaultOutput(const std::string& workbook) {
  const std::size_t sep = workbook.find_last_of('/');
  const std::size_t dot = workbook.rfind('.');
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return workbook + ".xml";
  return workbook.substr(0, dot) + ".xml";
}

std::optional<int> Parse(int argc, char** argv, Options& o) {
  bool positional_only = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (!positional_only && a.size() > 1 && a[0] == '-') {
      if (a == "--") {
        positional_only = true;
      } else if (a == "-h" || a == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
      } else if (a == "--version") {
        std::puts("vestrano-cli 1.00");
        return 0;
      } else if (a == "-o" || a == "--output") {
        if (i + 1 >= argc) return UsageError(a + " needs a file name");
        o.output = argv[++i];
      } else if (a.rfind("--output=", 0) == 0) {
        o.output = a.substr(9);
      } else if (a == "--no-export") {
        o.no_export = true;
      } else if (a == "--no-validate") {
        o.no_validate = true;
      } else if (a == "--json") {
        o.json = true;
      } else if (a == "--dump") {
        o.dump = true;
      } else if (a == "-q" || a == "--quiet") {
        o.quiet = true;
      } else {
        return UsageError("unknown option " + a);
      }
    } else if (o.workbook.empty()) {
      o.workbook = a;
    } else {
      return UsageError("only one WORKBOOK may be given");
    }
  }
  if (o.workbook.empty()) return UsageError("no WORKBOOK given");
  if (o.output && o.no_export) return UsageError("-o cannot be used together with --no-export");
  if (o.output && o.output->empty()) return UsageError("-o needs a file name");
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (auto status = Parse(argc, argv, o)) return *status;

  TStatement st;
  st.start_directory = CurrentDirectory();
  std::optional<ProgressBar> bar;
  if (!o.quiet && ::isatty(STDERR_FILENO)) bar.emplace();
  ProgressSink* progress = bar ? &*bar : nullptr;

  if (o.dump) {
    try {
      st.workbook.LoadFromFile(o.workbook, progress);
    } catch (const std::exception& e) {
      if (bar) bar->Finish();
      std::fprintf(stderr, "vestrano-cli: %s\n", e.what());
      return 2;
    }
    if (bar) bar->Finish();
    const std::string text = cli::DumpJson(st.workbook);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  }

  cli::RunReport report;
  report.file = o.workbook;
  BeginImport(st);
  st.release_workbook = true;  // the command line never shows the workbook
  try {
    RunImport(st, o.workbook, progress);
  } catch (const std::exception& e) {
    report.failure = e.what();
  }
  if (bar) bar->Finish();

  if (!report.failure && !o.no_export) {
    try {
      const std::string path =
          Absolute(o.output ? *o.output : DefaultOutput(o.workbook), st.start_directory);
      report.export_result = ExportStatement(st.Filing(), path, !o.no_validate, st.start_directory);
    } catch (const std::exception& e) {
      report.failure = e.what();
    }
  }

  const std::string text = o.json ? cli::ReportJson(st, report) : cli::ReportText(st, report);
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (report.failure) {
    if (!o.json) std::fprintf(stderr, "vestrano-cli: %s\n", report.failure->c_str());
    return 2;
  }
  if (!st.errors.empty()) return 1;
  if (report.export_result && report.export_result->validated &&
      report.export_result->verdict != Verdict::Valid)
    return 1;
  return 0;
}
