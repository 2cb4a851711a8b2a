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
  } else if (auto* dtt = std::get_if<DateTime>(&value)) {
    book.SetDateTime(cell, dtt->serial, book.BuiltinFormat(22));
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

void AddLabelledSheet(TWorkbook& book, const char* name, const std::vector<Lit>& values) {
  TExportWorkSheet& sheet = book.AddSheet(name);
  AddRow(sheet, {"Položka", "Hodnota"});
  for (const Lit& v : values) {
    const int row = sheet.Rows.Count();
    SetCell(sheet, 0, row, "popisek");
    SetCell(sheet, 1, row, v);
  }
}

const std::vector<std::string>& MissingFilerErrors() {
  static const std::vector<std::string> errors = {
      "Chybí Druh hlášení (B, O, N, E) (ř.č.2) na listu Hlavička",
      "Chybí Rok (ř.č.3) na listu Hlavička",
      "Chybí Měsíc (ř.č.5) nebo Čtvrtletí (ř.č.4) na listu Hlavička",
      "Chybí Typ subjektu (P, F) (ř.č.2) na listu Subjekt",
      "Chybí DIČ (ř.č.3) na listu Subjekt",
      "Chybí Kód finančního úřadu (ř.č.4) na listu Subjekt",
  };
  return errors;
}

void AddSoundFiler(TWorkbook& book) {
  // Rows 2 … 6 of the header: a regular statement for January 2016, filed today.
  AddLabelledSheet(book, "Hlavička", {"B", 2016, Blank{}, 1});
  AddLabelledSheet(
      book, "Subjekt",
      {"P",     kFilerDic,  "451",       "Filer s.r.o.", Blank{}, Blank{},           Blank{},
       "Praha", "Dlouhá",   "3",         "12",           "11000", "ČESKÁ REPUBLIKA", Blank{},
       Blank{}, Blank{},    Blank{},     Blank{},        Blank{}, Blank{},           Blank{},
       "Jana",  "Nováková", "jednatelka"});
}

void ImportInMemory(TStatement& st) {
  bool header = false, subject = false;
  for (int i = 0; i < st.workbook.Sheets.Count(); ++i) {
    header = header || st.workbook.Sheets.Items(i).Name == "Hlavička";
    subject = subject || st.workbook.Sheets.Items(i).Name == "Subjekt";
  }
  if (!header && !subject) AddSoundFiler(st.workbook);
  ImportWorkbook(st, std::move(st.workbook));
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
