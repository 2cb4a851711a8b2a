// vestrano-cli: imports control-statement workbooks, prints the report (or, for several, a
// summary), writes the filing XML and checks it against the schema; --template writes a blank
// workbook. A thin layer over the core: it only chooses paths and prints.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/report.h"
#include "cli/template.h"
#include "data/text.h"
#include "workbook/model.h"
#include "workbook/progress.h"
#include "workbook/tasks.h"

namespace {

using namespace vestrano;

const char kUsage[] =
    "Usage: vestrano-cli [options] WORKBOOK|FOLDER...\n"
    "       vestrano-cli --template FILE.xlsx\n"
    "Imports each WORKBOOK (.xlsx, .xlsm, .xltx, .xltm, .xls, .xlt; a FOLDER: the workbooks\n"
    "directly in it), prints the report, writes the control-statement XML and checks it against\n"
    "the schema. With several workbooks only a summary table is printed at the end.\n"
    "--template writes an empty statement workbook in the layout the import reads.\n"
    "\n"
    "  -o, --output FILE   write the XML to FILE exactly (default: WORKBOOK with its extension\n"
    "                      replaced by \".xml\"); one workbook only\n"
    "      --output-dir DIR  write each XML into DIR as the workbook's name with \".xml\"\n"
    "      --report-dir DIR  write each workbook's full text report into DIR as NAME.txt\n"
    "      --no-export     import and report only; write nothing\n"
    "      --no-validate   write the XML, skip the schema check\n"
    "      --schema FILE   check against this schema file instead of the installed one\n"
    "      --json          print the report as one JSON object per workbook, one per line\n"
    "      --dump          print the workbook model as JSON and exit; nothing is imported\n"
    "  -r                  folders: also the workbooks in the folders below\n"
    "  -j N                workbooks imported in parallel (default: the number of cores);\n"
    "                      one at a time, each reads its big worksheets in parallel\n"
    "  -q, --quiet         no progress bar\n"
    "  -h, --help          this help\n"
    "      --version       print the version\n"
    "\n"
    "Exit status: 0  the run ended, no errors in the data, and the XML (when written) passed the\n"
    "                schema check or the check was skipped;\n"
    "             1  the run ended, but the data has errors, or the schema check did not pass\n"
    "                (invalid, or it could not be completed);\n"
    "             2  usage error, an output that is no place for a document (a device, a\n"
    "                pipe, a folder, an input of the run, a write-protected file), or the\n"
    "                import or export failed.\n"
    "With several workbooks the exit status is the highest of theirs.\n";

struct Options {
  std::vector<std::string> workbooks;
  std::optional<std::string> output;
  std::optional<std::string> output_dir;
  std::optional<std::string> report_dir;
  std::optional<std::string> schema;
  std::optional<std::string> template_file;
  bool no_export = false;
  bool no_validate = false;
  bool json = false;
  bool dump = false;
  bool quiet = false;
  bool recursive = false;
  int jobs = 0;  // 0: the number of cores
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
    const std::string shown = FirstChars(text, 40);  // whole characters, so "Sešity" lines up
    line += shown;
    line.append(42 - CharLength(shown), ' ');
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

bool EndsWithXlsx(const std::string& name) {
  if (name.size() < 5) return false;
  std::string ext = name.substr(name.size() - 5);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext == ".xlsx";
}

// The value of an option that takes one: "NAME VALUE" or "--NAME=VALUE" (long names only).
// Returns false when a is not that option; sets missing when the value is absent.
bool OptionValue(const std::string& a, std::initializer_list<const char*> names, int argc,
                 char** argv, int& i, std::optional<std::string>& value, bool& missing) {
  for (const char* name : names) {
    const std::string n = name;
    if (a == n) {
      if (i + 1 >= argc) {
        missing = true;
      } else {
        value = argv[++i];
      }
      return true;
    }
    if (n.starts_with("--") && a.starts_with(n + "=")) {
      value = a.substr(n.size() + 1);
      return true;
    }
  }
  return false;
}

std::optional<int> ParseJobs(const std::string& text, int& jobs) {
  const bool digits =
      !text.empty() && text.size() <= 4 &&
      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  jobs = digits ? std::stoi(text) : 0;
  if (jobs < 1 || jobs > 1024)
    return UsageError("-j needs a number of workbooks from 1 to 1024, not '" + text + "'");
  return std::nullopt;
}

std::optional<int> Parse(int argc, char** argv, Options& o) {
  bool positional_only = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool missing = false;
    if (!positional_only && a.size() > 1 && a[0] == '-') {
      if (a == "--") {
        positional_only = true;
      } else if (a == "-h" || a == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
      } else if (a == "--version") {
        std::puts("vestrano-cli " VESTRANO_VERSION);
        return 0;
      } else if (OptionValue(a, {"-o", "--output"}, argc, argv, i, o.output, missing) ||
                 OptionValue(a, {"--output-dir"}, argc, argv, i, o.output_dir, missing) ||
                 OptionValue(a, {"--report-dir"}, argc, argv, i, o.report_dir, missing) ||
                 OptionValue(a, {"--schema"}, argc, argv, i, o.schema, missing) ||
                 OptionValue(a, {"--template"}, argc, argv, i, o.template_file, missing)) {
        if (missing)
          return UsageError(a + " needs a " + (a.ends_with("dir") ? "folder" : "file") + " name");
      } else if (a == "-j") {
        if (i + 1 >= argc) return UsageError("-j needs a number");
        if (auto status = ParseJobs(argv[++i], o.jobs)) return status;
      } else if (a.starts_with("-j")) {
        if (auto status = ParseJobs(a.substr(2), o.jobs)) return status;
      } else if (a == "-r") {
        o.recursive = true;
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
    } else {
      o.workbooks.push_back(a);
    }
  }
  if (o.template_file) {
    if (!o.workbooks.empty() || o.dump)
      return UsageError("--template writes a blank workbook and takes no WORKBOOK");
    if (!EndsWithXlsx(*o.template_file))
      return UsageError("--template writes an .xlsx workbook: the file name must end in .xlsx");
    return std::nullopt;
  }
  if (o.workbooks.empty()) return UsageError("no WORKBOOK given");
  if (o.output && o.no_export) return UsageError("-o cannot be used together with --no-export");
  if (o.output && o.output->empty()) return UsageError("-o needs a file name");
  if (o.output && o.output_dir) return UsageError("-o cannot be used together with --output-dir");
  if (o.output_dir && o.no_export)
    return UsageError("--output-dir cannot be used together with --no-export");
  for (const auto* dir : {&o.output_dir, &o.report_dir})
    if (*dir && (*dir)->empty()) return UsageError("a folder name must not be empty");
  if (o.schema) {
    if (o.no_export) return UsageError("--schema cannot be used together with --no-export");
    if (o.no_validate) return UsageError("--schema cannot be used together with --no-validate");
    std::error_code ec;
    if (o.schema->empty() || !std::filesystem::is_regular_file(*o.schema, ec))
      return UsageError("the schema file " + *o.schema + " does not exist");
  }
  if (o.dump && o.workbooks.size() > 1) return UsageError("--dump takes one WORKBOOK");
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (auto status = Parse(argc, argv, o)) return *status;
  const std::string cwd = CurrentDirectory();

  if (o.template_file) {
    const std::string path = cli::Absolute(*o.template_file, cwd);
    try {
      cli::WriteTemplate(path);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "vestrano-cli: %s\n", e.what());
      return 2;
    }
    std::printf("Prázdný sešit kontrolního hlášení: %s\n", path.c_str());
    return 0;
  }

  std::optional<ProgressBar> bar;
  if (!o.quiet && ::isatty(STDERR_FILENO)) bar.emplace();
  ProgressSink* progress = bar ? &*bar : nullptr;

  if (o.dump) {
    TWorkbook book;
    try {
      book.LoadFromFile(o.workbooks.front(), progress);
    } catch (const std::exception& e) {
      if (bar) bar->Finish();
      std::fprintf(stderr, "vestrano-cli: %s\n", e.what());
      return 2;
    }
    if (bar) bar->Finish();
    cli::WriteDumpJson(
        book, [](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), stdout); });
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
      std::fprintf(stderr, "vestrano-cli: cannot write the dump: %s\n", std::strerror(errno));
      return 2;
    }
    return 0;
  }

  // Everything that makes the run a usage error is settled before any workbook is read.
  std::string error;
  const std::vector<std::string> workbooks = cli::ExpandArguments(o.workbooks, o.recursive, error);
  if (!error.empty()) return UsageError(error);
  if (o.output && workbooks.size() > 1) {
    std::string named = workbooks[0] + ", " + workbooks[1] + (workbooks.size() > 2 ? ", …" : "");
    return UsageError("-o names the XML of one workbook, but " + std::to_string(workbooks.size()) +
                      " were given (" + named + "); use --output-dir");
  }
  cli::RunSettings settings;
  settings.start_directory = cwd;
  settings.output = o.output;
  settings.output_dir = o.output_dir;
  settings.report_dir = o.report_dir;
  if (o.schema) settings.schema = cli::Absolute(*o.schema, cwd);
  settings.no_export = o.no_export;
  settings.no_validate = o.no_validate;
  settings.json = o.json;
  if (error = cli::FindCollision(workbooks, settings); !error.empty()) return UsageError(error);
  // Nothing is read or written when one of the files to write may not be.
  if (error = cli::CheckOutputs(workbooks, settings); !error.empty()) {
    std::fprintf(stderr, "vestrano-cli: %s\n", error.c_str());
    return 2;
  }
  for (const auto* dir : {&settings.output_dir, &settings.report_dir}) {
    if (!*dir) continue;
    std::error_code ec;
    std::filesystem::create_directories(cli::Absolute(**dir, cwd), ec);
    if (ec) return UsageError("cannot create the folder " + **dir + ": " + ec.message());
  }

  if (workbooks.size() == 1) {
    // One workbook: its own report, as ever.
    const cli::WorkbookOutcome one =
        cli::RunWorkbook(workbooks.front(), settings, true, progress, [&] {
          if (bar) bar->Finish();
        });
    std::fwrite(one.report.data(), 1, one.report.size(), stdout);
    if (one.failure && !o.json) std::fprintf(stderr, "vestrano-cli: %s\n", one.failure->c_str());
    return one.status;
  }

  const int jobs = ThreadsOrCores(o.jobs);
  const std::size_t total = workbooks.size();
  const std::vector<cli::WorkbookOutcome> outcomes =
      cli::RunWorkbooks(workbooks, settings, jobs, o.json, [&](std::size_t done) {
        if (bar)
          bar->Progress("Sešity " + std::to_string(done) + "/" + std::to_string(total),
                        static_cast<double>(done) / static_cast<double>(total));
      });
  if (bar) bar->Finish();
  int status = 0;
  for (const cli::WorkbookOutcome& outcome : outcomes) status = std::max(status, outcome.status);
  const std::vector<std::string> doubles = cli::DoubleFilings(outcomes);
  if (o.json) {
    for (const cli::WorkbookOutcome& outcome : outcomes)
      std::fwrite(outcome.report.data(), 1, outcome.report.size(), stdout);
    for (const std::string& line : doubles) std::fprintf(stderr, "%s\n", line.c_str());
  } else {
    std::string text = cli::SummaryText(outcomes);
    for (const std::string& line : doubles) text += line + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
  }
  return status;
}
