#pragma once
// The command line's reports: the result panes as text or JSON, and the workbook model dump.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "export/export.h"
#include "import/statement.h"

namespace vestrano::cli {

struct RunReport {
  std::string file;                           // the workbook path as given
  std::optional<std::string> failure;         // the message of an error that ended the run
  std::optional<ExportResult> export_result;  // present when the XML was written
};

std::string ReportText(const TStatement& st, const RunReport& report);
// The JSON report: one object on one line.
std::string ReportJson(const TStatement& st, const RunReport& report);
const char* VerdictName(Verdict v);  // "valid", "invalid", "not-run"
// The workbook model as JSON, handed to write in pieces as the model is walked.
void WriteDumpJson(const TWorkbook& book, const std::function<void(std::string_view)>& write);
std::string DumpJson(const TWorkbook& book);  // the same in one string (tests)

}  // namespace vestrano::cli
