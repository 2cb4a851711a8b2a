#include "support/sheet_builder.h"

#include "import/run.h"

namespace vestrano::test {

namespace {
void Fill(TWorkbook& book, TExportCell& cell, const Lit& value) {
  if (auto* s = std::get_if<std::string>(&value)) {
    cell.SetString(book.AddString(*s));
  } else if (auto* c = std::get_if<const char*>(&value)) {
    cell.SetString(book.AddString(*c));
  } else if (auto* d = std::get_if<double>(&value)) {
    book.SetNumber(cell, *d, 0);
  } else if (auto* i = std::get_if<int>(&value)) {
    book.SetNumber(cell, *i, 0);
  } else if (auto* dt = std::get_if<Date>(&value)) {
    book.SetDateTime(cell, dt->serial, book.BuiltinFormat(14));
  } else {
    cell.SetEmpty();
  }
}
}  // namespace

void AddRow(TExportWorkSheet& sheet, std::initializer_list<Lit> cells) {
  const int row = sheet.Rows.Count();
  sheet.TouchRow(row);
  int column = 0;
  for (const Lit& value : cells) SetCell(sheet, column++, row, value);
}

void SetCell(TExportWorkSheet& sheet, int column, int row, const Lit& value) {
  Fill(sheet.Book(), sheet.FindCreateCell(column, row, CellKind::Empty), value);
}

void ImportInMemory(TStatement& st) {
  BeginImport(st);
  st.totals.Clear();
  st.records.a5.reset();
  st.records.b3.reset();
  ReadLoadedWorkbook(st);
}

}  // namespace vestrano::test
