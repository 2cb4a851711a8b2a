#pragma once
// The command line's reports: the result panes as text or JSON, and the workbook model dump.
#include <optional>
#include <string>

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
std::string DumpJson(const TWorkbook& book);

}  // namespace vestrano::cli
