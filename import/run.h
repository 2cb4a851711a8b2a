#pragma once
// One import run once a file has been chosen: BeginImport wipes the previous statement, RunImport
// loads the file and reads it. A cancelled file dialog calls neither, so it changes nothing.
#include <string>

#include "import/statement.h"
#include "workbook/progress.h"

namespace vestrano {

// The clean slate of a run with a chosen file, so that nothing of one client's workbook is shown
// or filed with the next one's: both lists, the row arrays, the A.5/B.3 aggregates, the totals,
// header and subject texts, the statistics grid and the subtotal lines as at start-up; all ten
// sheets not found, the last-row correction set, `imported` false.
void BeginImport(TStatement& st);

// BeginImport, then loads the workbook, finds the sheets, reads header, subject and every section,
// then the C lines. A workbook that cannot be loaded ends the run with an exception, leaving the
// clean slate.
void RunImport(TStatement& st, const std::string& file_name, ProgressSink* progress = nullptr);

// Steps after loading, on the workbook the statement already holds (used by RunImport and tests);
// sets `imported` when it reaches its end.
void ReadLoadedWorkbook(TStatement& st);

}  // namespace vestrano
