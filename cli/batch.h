#pragma once
// One run of the command line over one or many workbooks: the workbooks that the arguments stand
// for, the files each one writes, each workbook imported, written and checked exactly as a run on
// it alone would do it (on several threads), and the summary of many.
#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/statement.h"
#include "workbook/progress.h"

namespace vestrano::cli {

// path taken from cwd unless it is absolute already.
std::string Absolute(const std::string& path, const std::string& cwd);

// The workbooks that the arguments stand for, in argument order: a path that is not a folder as
// given; a folder: the workbooks directly in it (recursive: also in the folders below), sorted by
// name (SortByName: the Czech alphabet where the system has it, else bytes), without spreadsheet
// lock files ("~$…"). On a usage error (a folder that holds no workbook or cannot be read) sets
// error, naming the folder, and returns {}.
std::vector<std::string> ExpandArguments(const std::vector<std::string>& arguments, bool recursive,
                                         std::string& error);

struct RunSettings {
  std::string start_directory;            // the current folder at start
  std::optional<std::string> output;      // -o: the XML path of the one workbook
  std::optional<std::string> output_dir;  // --output-dir
  std::optional<std::string> report_dir;  // --report-dir
  std::string schema;                     // --schema, absolute; empty: the usual search
  bool no_export = false;
  bool no_validate = false;
  bool json = false;
  int read_threads = 0;  // worksheets of one workbook read at once; 0: one per core
  // When it holds a signal number, the run stops: a workbook not started is not started, one
  // still being imported is abandoned at its next step, and one whose XML is not yet written is
  // abandoned before it is written (with --no-export: before its report), so that it writes
  // nothing. A workbook whose XML is written is finished (schema check, report).
  const std::atomic<int>* stop = nullptr;
};

// The absolute path of the XML that the workbook's run writes, and of its text report.
std::string XmlPathOf(const std::string& workbook, const RunSettings& settings);
std::string ReportPathOf(const std::string& workbook, const RunSettings& settings);

// The usage error when two workbooks would write the same file (XML or report); empty otherwise.
std::string FindCollision(const std::vector<std::string>& workbooks, const RunSettings& settings);

// The first reason why the run may not write one of its files (the XML or the text report of a
// workbook, each judged by CheckOutputTarget against every workbook and the schema as inputs);
// empty when it may write them all. Files in a folder that is not there yet are judged once it
// is: a folder named for --output-dir or --report-dir is made before the run, and a workbook
// whose folder is missing fails on its own. -o is always judged.
std::string CheckOutputs(const std::vector<std::string>& workbooks, const RunSettings& settings);

// How far a workbook got in a run that was stopped (RunSettings::stop).
enum class Reached { Finished, Abandoned, NotStarted };

struct WorkbookOutcome {
  std::string file;  // as given, or as found in a folder
  Reached reached = Reached::Finished;
  int status = 0;      // the exit status a run on this workbook alone gives
  std::string report;  // what such a run prints on stdout (when asked for)
  std::optional<std::string> failure;
  std::optional<std::string> xml;  // the absolute path of the XML written
  bool imported = false;           // the import reached its end
  std::string dic, period, form;
  std::size_t rows = 0, warnings = 0, errors = 0;
  std::string check;  // "valid", "invalid", "not-run", "vynecháno", "-" or "selhalo"
};

// One workbook, exactly as a run on it alone. keep_report: fill WorkbookOutcome::report.
// The text report goes to the report folder when one is set. after_import is called when the
// import has ended (the progress of loading is over). What fails is in the outcome.
WorkbookOutcome RunWorkbook(const std::string& file, const RunSettings& settings, bool keep_report,
                            ProgressSink* progress = nullptr,
                            const std::function<void()>& after_import = {});

// Every workbook on up to jobs threads; the outcomes in input order, whatever the timing.
// on_done (called on the calling thread) gets the number of workbooks ended so far.
std::vector<WorkbookOutcome> RunWorkbooks(const std::vector<std::string>& files,
                                          const RunSettings& settings, int jobs, bool keep_reports,
                                          const std::function<void(std::size_t)>& on_done = {});

// The period as the filing document states it: "11/2026" for a month, "Q4/2026" for a quarter.
std::string PeriodText(const tDataHeader& header);

// The summary of several workbooks: the table, the failures' messages, the totals line; of the
// workbooks that were finished.
std::string SummaryText(const std::vector<WorkbookOutcome>& outcomes);
// What a stopped run left: a line that names the signal and counts the workbooks written and not
// written, then one line per workbook in input order: "zapsán" with the XML's path, "přerušen"
// (abandoned), "nezahájen", "selhal", or "hotov" (finished, nothing to write).
std::string StoppedText(const std::vector<WorkbookOutcome>& outcomes, int signal);
// "Možné dvojí podání: a, b" for every group of workbooks with the same DIČ, period and form type.
std::vector<std::string> DoubleFilings(const std::vector<WorkbookOutcome>& outcomes);

}  // namespace vestrano::cli
