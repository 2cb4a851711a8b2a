#pragma once
// The text report of one workbook's run: what the window's panes show, then where the XML went
// and the schema check's verdict. The command line prints it (and writes it with --report-dir);
// the window saves it ("Uložit protokol"). It sits above import/ and export/, which know nothing
// of each other.
#include <optional>
#include <string>

#include "export/export.h"
#include "import/statement.h"

namespace vestrano {

struct RunReport {
  std::string file;                           // the workbook path as given
  std::optional<std::string> failure;         // the message of an error that ended the run
  std::optional<ExportResult> export_result;  // present when the XML was written
};

// The statistics grid as a table, the 46 subtotal lines, "Upozornění" and "Chybové hlášení" with
// their lines, then "XML: " and the verdict (or "XML: nezapsáno"). Empty for a run that failed
// before any sheet was read.
std::string ReportText(const TStatement& st, const RunReport& report);

const char* VerdictName(Verdict v);  // "valid", "invalid", "not-run"

}  // namespace vestrano
