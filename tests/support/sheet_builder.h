#pragma once
// Builds workbooks in memory for tests: rows of cells given as short literals.
#include <initializer_list>
#include <string>
#include <variant>

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

// Runs an import on the workbook that st already holds, as a run with a chosen file does (lists,
// row arrays, sheet indices, totals and aggregates reset first), without loading a file.
void ImportInMemory(TStatement& st);

}  // namespace vestrano::test
