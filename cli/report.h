#pragma once
// The command line's own reports: the result panes as JSON, and the workbook model dump. The text
// report (RunReport, ReportText) is the core's, shared with the window.
#include <string>

#include "report/text_report.h"

namespace vestrano::cli {

// The JSON report: one object on one line.
std::string ReportJson(const TStatement& st, const RunReport& report);
std::string DumpJson(const TWorkbook& book);

}  // namespace vestrano::cli
