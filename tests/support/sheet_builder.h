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
struct Blank {};
using Lit = std::variant<std::string, const char*, double, int, Date, Blank>;

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

// Runs an import on the workbook that st already holds, as a run with a chosen file does (from a
// clean slate), without loading a file.
void ImportInMemory(TStatement& st);

}  // namespace vestrano::test
