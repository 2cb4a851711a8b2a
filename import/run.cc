#include "import/run.h"

#include "import/across_rows.h"
#include "import/header_subject.h"
#include "import/sections.h"

namespace vestrano {

namespace {
void FindSheet(TStatement& st, SheetSlot slot, const std::string& wanted) {
  std::optional<int>& index = st.SheetIndex(slot);
  for (int i = 0; i < st.workbook.Sheets.Count(); ++i)
    if (st.workbook.Sheets.Items(i).Name == wanted) index = i;  // a later duplicate wins
}

void FindSheetOrWarn(TStatement& st, SheetSlot slot, std::string warning) {
  FindSheet(st, slot, st.SheetName(slot));
  if (!st.SheetIndex(slot)) st.AddWarning(std::move(warning), {slot, 0, nullptr});
}

// Everything after loading, on the workbook the statement holds.
void ReadLoadedWorkbook(TStatement& st);

// Runs what reads the statement; a failure leaves the clean slate, not what was half read.
template <class Read>
void CleanOnFailure(TStatement& st, Read&& read) {
  try {
    read();
  } catch (...) {
    BeginImport(st);
    throw;
  }
}

}  // namespace

void BeginImport(TStatement& st) {
  st.workbook.Clear();
  st.imported = false;
  st.errors.clear();
  st.warnings.clear();
  st.error_places.clear();
  st.warning_places.clear();
  st.records.ClearRowArrays();
  st.records.a5.reset();
  st.records.b3.reset();
  st.totals.Clear();
  st.header.ClearTexts();  // take_last_row is a setting, not the client's data
  st.subject = tSubject{};
  st.stats = TStatsGrid{};
  st.subtotals = TSubtotalsList{};
  st.counts.fill(std::nullopt);
  st.last_row_correction = st.header.take_last_row ? 1 : 2;
  st.sheet_index.fill(std::nullopt);
}

void RunImport(TStatement& st, const std::string& file_name, ProgressSink* progress) {
  BeginImport(st);
  CleanOnFailure(st, [&] {
    st.workbook.LoadFromFile(file_name, progress);
    ReadLoadedWorkbook(st);
  });
}

void ImportWorkbook(TStatement& st, TWorkbook&& workbook) {
  TWorkbook book = std::move(workbook);  // first: it may be the statement's own
  const int threads = st.workbook.ReadThreads;
  BeginImport(st);
  st.workbook = std::move(book);
  st.workbook.ReadThreads = threads;  // the statement's setting, not the one it was read with
  CleanOnFailure(st, [&] { ReadLoadedWorkbook(st); });
}

namespace {
void ReadLoadedWorkbook(TStatement& st) {
  FindSheetOrWarn(st, SheetSlot::Header, "Nenalezen list Hlavička.");
  FindSheetOrWarn(st, SheetSlot::Subject, "Nenalezen list Subjekt.");
  for (std::size_t i = 0; i < kSectionCount; ++i) {
    const auto section = static_cast<Section>(i);
    FindSheetOrWarn(st, SheetSlotOf(section),
                    std::string("Nenalezen list pro sekci ") + SectionCode(section) + " - " +
                        st.sheets.Of(section) + ".");
  }
  ReadHeaderAndSubject(st);
  ReadSections(st);
  JudgeAcrossRows(st);
  WriteSectionCLines(st);
  if (st.release_workbook)
    for (int i = 0; i < st.workbook.Sheets.Count(); ++i) st.workbook.Sheets.Items(i).ReleaseRows();
  st.imported = true;
}
}  // namespace

}  // namespace vestrano
