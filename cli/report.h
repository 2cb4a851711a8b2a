#pragma once
// The command line's own reports: the result panes as JSON, and the workbook model dump. The text
// report (RunReport, ReportText) is the core's, shared with the window.
#include <functional>
#include <string>
#include <string_view>

#include "report/text_report.h"

namespace vestrano::cli {

// The JSON report: one object on one line.
std::string ReportJson(const TStatement& st, const RunReport& report);
// The workbook model as JSON, handed to write in pieces as the model is walked.
void WriteDumpJson(const TWorkbook& book, const std::function<void(std::string_view)>& write);

}  // namespace vestrano::cli
