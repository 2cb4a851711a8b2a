// vestrano-cli: imports control-statement workbooks, prints the report (or, for several, a
// summary), writes the filing XML and checks it against the schema; --template writes a blank
// workbook. A thin layer over the core: it only chooses paths and prints.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/czech.h"
#include "cli/report.h"
#include "cli/template.h"
#include "data/text.h"
#include "workbook/model.h"
#include "workbook/progress.h"
#include "workbook/tasks.h"

namespace {

using namespace vestrano;

const char kUsage[] =
    "Použití: vestrano-cli [volby] SEŠIT|SLOŽKA...\n"
    "         vestrano-cli --template SOUBOR.xlsx\n"
    "Načte každý SEŠIT (.xlsx, .xlsm, .xltx, .xltm, .xls, .xlt; SLOŽKA: sešity přímo v ní),\n"
    "vypíše zprávu, zapíše XML kontrolního hlášení a ověří je podle schématu. Z několika sešitů\n"
    "vypíše jen souhrnnou tabulku na konci. --template zapíše prázdný sešit kontrolního hlášení\n"
    "v rozložení, které import čte.\n"
    "\n"
    "  -o, --output SOUBOR   zapíše XML přesně do SOUBORU (výchozí: SEŠIT s příponou nahrazenou\n"
    "                        \".xml\"); jen pro jeden sešit\n"
    "      --output-dir SLOŽKA  zapíše každé XML do SLOŽKY pod jménem sešitu s \".xml\"\n"
    "      --report-dir SLOŽKA  zapíše úplnou textovou zprávu každého sešitu do SLOŽKY\n"
    "                        jako JMÉNO.txt\n"
    "      --no-export       jen načte sešit a vypíše zprávu; nic nezapíše\n"
    "      --no-validate     zapíše XML, ověření podle schématu vynechá\n"
    "      --schema SOUBOR   ověří podle tohoto souboru schématu místo nainstalovaného\n"
    "      --json            vypíše zprávu jako jeden objekt JSON na sešit, jeden na řádek;\n"
    "                        pro programy (\"format\": 2) \"client\" (jméno, DIČ, druh, rok,\n"
    "                        měsíc, čtvrtletí), \"counts\" (počty řádků v číslech), \"sums\"\n"
    "                        (součty oddílů a oddílu C jako \"10500.00\") a \"messages\" (každé\n"
    "                        hlášení s listem, řádkem a polem); klíče popisuje README\n"
    "      --dump            vypíše model sešitu jako JSON a skončí; nic neimportuje\n"
    "  -r                    složky: i sešity ve složkách pod nimi\n"
    "  -j N                  počet sešitů načítaných souběžně (výchozí: počet jader);\n"
    "                        jediný sešit čte souběžně své velké listy\n"
    "  -q, --quiet           bez ukazatele průběhu\n"
    "  -h, --help            tato nápověda\n"
    "      --version         vypíše verzi\n"
    "\n"
    "Sešity ze složky jdou podle české abecedy bez ohledu na velikost písmen, má-li systém\n"
    "locale cs_CZ.UTF-8, jinak podle bajtů jmen.\n"
    "Ctrl+C (SIGINT) nebo SIGTERM u několika sešitů: rozpracované sešity se opustí, aniž by\n"
    "zapsaly cokoli, sešit se zapsaným XML se dokončí; pak se vypíše, které sešity byly zapsány\n"
    "a které ne. Druhý signál ukončí program hned; napůl zapsaný soubor nezůstane nikdy.\n"
    "\n"
    "Návratový kód: 0    běh skončil, data jsou bez chyb a XML (bylo-li zapsáno) prošlo\n"
    "                    ověřením podle schématu, nebo se ověření vynechalo;\n"
    "               1    běh skončil, ale data obsahují chyby, nebo XML ověřením neprošlo\n"
    "                    (je neplatné, nebo ověření nešlo dokončit);\n"
    "               2    chyba použití, výstup, kam dokument nepatří (zařízení, roura, složka,\n"
    "                    vstup běhu, soubor chráněný proti zápisu), nebo selhal import či export;\n"
    "               130  běh několika sešitů přerušen signálem SIGINT (143: SIGTERM).\n"
    "U několika sešitů je návratový kód nejvyšší z jejich kódů.\n";

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
  std::fprintf(stderr, "vestrano-cli: %s\nNápověda: vestrano-cli --help\n", message.c_str());
  return 2;
}

// The signal that asks a run of several workbooks to stop; 0 while none came. The handler only
// stores it (a lock-free atomic is safe in a handler); the run polls it.
std::atomic<int> g_stop{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int signal) {
  int none = 0;
  g_stop.compare_exchange_strong(none, signal);
}

// SIGINT and SIGTERM stop the run in order; the handler is used once, so that a second signal
// ends the program at once (the atomic write still leaves no half-written file). A signal
// ignored at start (a job started in the background) stays ignored.
void CatchStopSignals() {
  for (int signal : {SIGINT, SIGTERM}) {
    struct sigaction old {};
    if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    ::sigaction(signal, &action, nullptr);
  }
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
    return UsageError("-j potřebuje počet sešitů od 1 do 1024, ne „" + text + "“");
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
          return UsageError(a + " potřebuje jméno " + (a.ends_with("dir") ? "složky" : "souboru"));
      } else if (a == "-j") {
        if (i + 1 >= argc) return UsageError("-j potřebuje počet sešitů");
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
        return UsageError("neznámá volba " + a);
      }
    } else {
      o.workbooks.push_back(a);
    }
  }
  if (o.template_file) {
    if (!o.workbooks.empty() || o.dump)
      return UsageError("--template zapíše prázdný sešit a žádný SEŠIT nepřijímá");
    if (!EndsWithXlsx(*o.template_file))
      return UsageError("--template zapíše sešit .xlsx: jméno souboru musí končit na .xlsx");
    return std::nullopt;
  }
  if (o.workbooks.empty()) return UsageError("chybí SEŠIT");
  if (o.output && o.no_export) return UsageError("-o nelze použít spolu s --no-export");
  if (o.output && o.output->empty()) return UsageError("-o potřebuje jméno souboru");
  if (o.output && o.output_dir) return UsageError("-o nelze použít spolu s --output-dir");
  if (o.output_dir && o.no_export)
    return UsageError("--output-dir nelze použít spolu s --no-export");
  for (const auto* dir : {&o.output_dir, &o.report_dir})
    if (*dir && (*dir)->empty()) return UsageError("jméno složky nesmí být prázdné");
  if (o.schema) {
    if (o.no_export) return UsageError("--schema nelze použít spolu s --no-export");
    if (o.no_validate) return UsageError("--schema nelze použít spolu s --no-validate");
    std::error_code ec;
    if (o.schema->empty() || !std::filesystem::is_regular_file(*o.schema, ec))
      return UsageError("soubor schématu " + *o.schema + " neexistuje");
  }
  if (o.dump && o.workbooks.size() > 1) return UsageError("--dump přijímá jen jeden SEŠIT");
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
      std::fprintf(stderr, "vestrano-cli: výpis nelze zapsat: %s\n", std::strerror(errno));
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
    return UsageError("-o určuje XML jediného sešitu, ale argumenty určují " +
                      Counted(workbooks.size(), "sešit", "sešity", "sešitů") + " (" + named +
                      "); použijte --output-dir");
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
    if (ec) return UsageError("složku " + **dir + " nelze vytvořit: " + ec.message());
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
  CatchStopSignals();
  settings.stop = &g_stop;
  const std::vector<cli::WorkbookOutcome> outcomes =
      cli::RunWorkbooks(workbooks, settings, jobs, o.json, [&](std::size_t done) {
        if (bar)
          bar->Progress("Sešity " + std::to_string(done) + "/" + std::to_string(total),
                        static_cast<double>(done) / static_cast<double>(total));
      });
  if (bar) bar->Finish();
  const int stopped_by = g_stop.load();
  int status = 0;
  for (const cli::WorkbookOutcome& outcome : outcomes) status = std::max(status, outcome.status);
  if (stopped_by != 0) status = 128 + stopped_by;
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
  if (stopped_by != 0) {
    std::fflush(stdout);
    const std::string text = cli::StoppedText(outcomes, stopped_by);
    std::fwrite(text.data(), 1, text.size(), stderr);
  }
  return status;
}
