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
  ReadLoadedWorkbook(st);
}

std::string Grid(const TWorkbook& book, int sheet) {
  std::string out;
  const TExportWorkSheet& s = book.Sheets.Items(sheet);
  for (int r = 0; r < s.Rows.Count(); ++r) {
    if (r) out += "\n";
    const TExportRow& row = s.Rows.All()[static_cast<std::size_t>(r)];
    for (int c = 0; c < row.Cells.Count(); ++c) {
      if (c) out += "|";
      const TExportCell& cell = row.Cells.Items(c);
      out += cell.Kind() == CellKind::Empty ? "~" : cell.AsText(book);
    }
  }
  return out;
}

std::string BookFingerprint(const TWorkbook& book) {
  std::string out = book.Date1904 ? "1904\n" : "1900\n";
  for (int i = 0; i < book.Sheets.Count(); ++i) {
    const TExportWorkSheet& s = book.Sheets.Items(i);
    out += "sheet " + s.Name + " rows " + std::to_string(s.Rows.Count()) + "\n";
    for (const TExportRow& row : s.Rows.All()) {
      for (const TExportCell& cell : row.Cells.All()) {
        out += CellKindName(cell.Kind());
        out += ':';
        out += cell.AsText(book);
        out += ':';
        out += cell.FormatCode(book);
        out += '|';
      }
      out += '\n';
    }
  }
  return out;
}

std::vector<std::string> RowWarnings(const TStatement& st) {
  std::vector<std::string> out;
  for (const std::string& w : st.warnings)
    if (w.rfind("Nenalezen list", 0) != 0) out.push_back(w);
  return out;
}

std::vector<std::string> StatsColumn(const TStatement& st, int column) {
  const auto& c = st.stats.cell[static_cast<std::size_t>(column)];
  return {c[1], c[2], c[3], c[4]};
}

}  // namespace vestrano::test
