#include "import/run.h"

#include "data/date_text.h"
#include "data/text.h"
#include "import/sections.h"

namespace vestrano {

namespace {
// Text of column B of a fixed-layout row. A row cut short after column A, or one past the sheet's
// last row, is an optional field left empty: it reads as "" and the sheet is not grown.
std::string ColumnB(const TWorkbook& book, const TExportWorkSheet& sheet, int sheet_row) {
  const TExportRow* row = sheet.Rows.Find(sheet_row - 1);
  if (row == nullptr || row->Cells.Count() <= 1) return {};
  return row->Cells.Items(1).AsText(book);
}

void FindSheet(TStatement& st, SheetSlot slot, const std::string& wanted) {
  int& index = st.SheetIndex(slot);
  for (int i = 0; i < st.workbook.Sheets.Count(); ++i)
    if (st.workbook.Sheets.Items(i).Name == wanted) index = i;  // a later duplicate wins
}

void ReadHeader(TStatement& st, const TExportWorkSheet& sheet) {
  // The field table says which rows are read; reading a cell has no effect on the others.
  for (const HeaderFieldDef& f : HeaderFields()) {
    std::string text = ColumnB(st.workbook, sheet, f.sheet_row);
    switch (f.treatment) {
      case HeaderFieldDef::Unchanged: st.header.*f.member = std::move(text); break;
      case HeaderFieldDef::FirstChars: st.header.*f.member = FirstChars(text, f.max_chars); break;
      case HeaderFieldDef::Date: st.header.*f.member = NormalizeDate(text); break;
    }
  }
  // A follow-up statement must say when its reasons were found or which call it answers; the
  // schema cannot say "one of the two", so this is the only check of it.
  const std::string& form = st.header.khdph_forma;
  if ((form == "N" || form == "E") && st.header.d_zjist.empty() && st.header.c_jed_vyzvy.empty())
    st.errors.push_back("Chybí datum zjištění (ř.č.12) nebo č.j. výzvy (ř.č.13) na listu Hlavička");
}

void ReadSubject(TStatement& st, const TExportWorkSheet& sheet) {
  for (const SubjectFieldDef& f : SubjectFields()) {
    std::string text = ColumnB(st.workbook, sheet, f.sheet_row);
    st.subject.*f.member = f.max_chars ? FirstChars(text, f.max_chars) : std::move(text);
  }
}
}  // namespace

void BeginImport(TStatement& st) {
  st.imported = false;
  st.errors.clear();
  st.warnings.clear();
  st.records.ClearRowArrays();
  st.records.a5.reset();
  st.records.b3.reset();
  st.totals.Clear();
  st.header.ClearTexts();  // take_last_row is a setting, not the client's data
  st.subject = tSubject{};
  st.stats = TStatsGrid{};
  st.subtotals = TSubtotalsList{};
  st.last_row_correction = st.header.take_last_row ? 1 : 2;
  st.sheet_index.fill(kSheetNotFound);
}

void RunImport(TStatement& st, const std::string& file_name, ProgressSink* progress) {
  BeginImport(st);
  st.workbook.LoadFromFile(file_name, progress);
  ReadLoadedWorkbook(st);
}

void ReadLoadedWorkbook(TStatement& st) {
  FindSheet(st, SheetSlot::Header, "Hlavička");
  if (st.SheetIndex(SheetSlot::Header) == kSheetNotFound) st.warnings.push_back("Nenalezen list Hlavička.");
  FindSheet(st, SheetSlot::Subject, "Subjekt");
  if (st.SheetIndex(SheetSlot::Subject) == kSheetNotFound) st.warnings.push_back("Nenalezen list Subjekt.");
  for (std::size_t i = 0; i < kSectionCount; ++i) {
    const auto section = static_cast<Section>(i);
    FindSheet(st, SheetSlotOf(section), st.sheets.Of(section));
    if (st.SheetIndex(SheetSlotOf(section)) == kSheetNotFound)
      st.warnings.push_back(std::string("Nenalezen list pro sekci ") + SectionCode(section) + " - " +
                            st.sheets.Of(section) + ".");
  }

  if (int h = st.SheetIndex(SheetSlot::Header); h != kSheetNotFound) {
    const TExportWorkSheet& sheet = st.workbook.Sheets.Items(h);
    if (sheet.Rows.Count() > 0) ReadHeader(st, sheet);
  }
  if (int s = st.SheetIndex(SheetSlot::Subject); s != kSheetNotFound) {
    const TExportWorkSheet& sheet = st.workbook.Sheets.Items(s);
    if (sheet.Rows.Count() > 0) ReadSubject(st, sheet);
  }
  ReadSections(st);
  WriteSectionCLines(st);
  if (st.release_workbook)
    for (int i = 0; i < st.workbook.Sheets.Count(); ++i) st.workbook.Sheets.Items(i).ReleaseRows();
  st.imported = true;
}

}  // namespace vestrano
