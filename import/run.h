#pragma once
// One import run, split at the file dialog: BeginImport resets the previous statement (a
// cancelled dialog stops right after it), RunImport loads the chosen file and reads it.
#include <string>

#include "import/statement.h"
#include "workbook/progress.h"

namespace vestrano {

// Clears both lists, empties the six row arrays, sets the last-row correction and marks all ten
// sheets as not found.
void BeginImport(TStatement& st);

// For a chosen file: zeroes the totals, drops the A.5/B.3 aggregates, clears header and subject,
// loads the workbook, finds the sheets, reads header, subject and every section, then the C lines.
// A workbook that cannot be loaded, or a failed cell access, ends the run with an exception.
void RunImport(TStatement& st, const std::string& file_name, ProgressSink* progress = nullptr);

// The start of a run with a chosen file: totals zeroed, aggregates dropped, header and subject
// cleared.
void StartRun(TStatement& st);

// Steps after loading, on the workbook the statement already holds (used by RunImport and tests).
void ReadLoadedWorkbook(TStatement& st);

}  // namespace vestrano
