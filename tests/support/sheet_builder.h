#pragma once
// Builds workbooks in memory for tests: rows of cells given as short literals.
#include <initializer_list>
#include <string>
#include <variant>
#include <vector>

#include "import/statement.h"
#include "workbook/model.h"

namespace vestrano::test {

// A cell literal: text, number (General), or a date serial with a date format.
struct Date {
  double serial;
};
// A date and time of day, with a format that shows both.
struct DateTime {
  double serial;
};
struct Blank {};
using Lit = std::variant<std::string, const char*, double, int, Date, DateTime, Blank>;

// Appends one row of cells to the sheet (the row lands after the rows already there).
void AddRow(TExportWorkSheet& sheet, std::initializer_list<Lit> cells);
// Sets one cell (column and row 0-based), growing the sheet as a reader would.
void SetCell(TExportWorkSheet& sheet, int column, int row, const Lit& value);

// One line per row, cells separated by "|", an Empty cell shown as "~".
std::string Grid(const TWorkbook& book, int sheet = 0);

// Everything a reader put into the book but the order of its string pool: the date system, and
// per sheet its name and rows, per cell its kind, text and format code.
std::string BookFingerprint(const TWorkbook& book);

// The warnings other than the missing-sheet ones of the sheet lookup.
std::vector<std::string> RowWarnings(const TStatement& st);
// Rows 1 to 4 (Načteno, Vynecháno, Chybné, CELKEM) of a statistics column (1 = A1 … 8 = B3).
std::vector<std::string> StatsColumn(const TStatement& st, int column);

// A sheet with a heading row, then one row per value: a label in column A, the value in B (the
// layout of the header and subject sheets).
void AddLabelledSheet(TWorkbook& book, const char* name, const std::vector<Lit>& values);

// The errors of a workbook whose header and subject rows are all empty: what the form requires.
const std::vector<std::string>& MissingFilerErrors();

// The DIČ of the filer that AddSoundFiler puts on the subject sheet.
inline constexpr const char* kFilerDic = "64949851";
// Header and subject sheets that the import takes without a message: a legal entity filing its
// regular statement for January 2016.
void AddSoundFiler(TWorkbook& book);

// Runs an import on the workbook that st already holds, as a run with a chosen file does (from a
// clean slate), without loading a file. A workbook without header and subject sheets gets those
// of AddSoundFiler first, so that what the sections say is all there is to see.
void ImportInMemory(TStatement& st);

}  // namespace vestrano::test
