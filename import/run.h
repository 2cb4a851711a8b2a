#pragma once
// One import run once a file has been chosen. A cancelled file dialog calls nothing here, so it
// changes nothing.
#include <string>

#include "import/statement.h"
#include "workbook/progress.h"

namespace vestrano {

// The clean slate of a run with a chosen file, so that nothing of one client's workbook is shown,
// kept or filed with the next one's: the workbook model emptied, both lists and where their
// messages point, the row arrays, the A.5/B.3 aggregates, the totals, header and subject texts,
// the statistics grid and the subtotal lines as at start-up; all ten sheets not found, the
// last-row correction set from the settings, `imported` false. It runs before anything that can
// fail on a file. The settings (layout, take_last_row, the workbook's thread count) stay.
void BeginImport(TStatement& st);

// BeginImport, then loads the workbook, finds the sheets, reads header, subject and every
// section, judges the rules across rows and writes the C lines; sets `imported` at the end. A
// run that fails or is cancelled ends with its exception and leaves the clean slate of
// BeginImport, whatever it had read.
void RunImport(TStatement& st, const std::string& file_name, ProgressSink* progress = nullptr);

// The same for a workbook already in memory (read from bytes, or built by a program): it takes
// the place of the statement's workbook, which it may be, and is read as a loaded file is.
void ImportWorkbook(TStatement& st, TWorkbook&& workbook);

}  // namespace vestrano
