#include "import/sections.h"

#include <algorithm>
#include <array>
#include <exception>
#include <functional>

#include "import/frame.h"
#include "import/section_tables.h"
#include "import/stats.h"
#include "workbook/tasks.h"

namespace vestrano {

namespace {

// Below this many rows a section's sheet is not worth a thread of its own.
constexpr int kRowsWorthAThread = 10000;

const SectionTable& TableOf(std::size_t i) { return SectionTableOf(static_cast<Section>(i)); }

// The reading of each section, in section order.
std::array<std::function<SectionRun()>, kSectionCount> SectionReads(TStatement& st) {
  TStatementRecords& r = st.records;
  auto rows = [&st](std::size_t i, auto& records) {
    return [&st, i, &records] { return ReadRowSectionApart(st, TableOf(i), records); };
  };
  auto aggregate = [&st](std::size_t i, auto& record) {
    return [&st, i, &record] { return ReadAggregateSectionApart(st, TableOf(i), record); };
  };
  return {rows(0, r.a1),      rows(1, r.a2), rows(2, r.a3), rows(3, r.a4),
          aggregate(4, r.a5), rows(5, r.b1), rows(6, r.b2), aggregate(7, r.b3)};
}

// How many threads read the sections: one per section whose sheet has many rows, as far as the
// workbook's setting allows, and only when no two sections read the same sheet (a section may
// free its sheet as it reads it). 1 means one after another. rows gets each section's rows.
int SectionThreads(const TStatement& st, std::array<int, kSectionCount>& rows) {
  std::array<std::optional<int>, kSectionCount> sheet{};
  int big = 0;
  for (std::size_t i = 0; i < kSectionCount; ++i) {
    sheet[i] = st.SheetIndex(SheetSlotOf(static_cast<Section>(i)));
    rows[i] = 0;
    if (!sheet[i]) continue;
    if (std::find(sheet.begin(), sheet.begin() + static_cast<std::ptrdiff_t>(i), sheet[i]) !=
        sheet.begin() + static_cast<std::ptrdiff_t>(i))
      return 1;
    rows[i] = st.workbook.Sheets.Items(*sheet[i]).Rows.Count();
    if (rows[i] >= kRowsWorthAThread) ++big;
  }
  if (big < 2) return 1;
  return std::min(ThreadsOrCores(st.workbook.ReadThreads), big);
}

}  // namespace

void ReadSections(TStatement& st) {
  const auto reads = SectionReads(st);
  std::array<int, kSectionCount> rows{};
  const int threads = SectionThreads(st, rows);
  if (threads <= 1) {
    for (std::size_t i = 0; i < kSectionCount; ++i) PutSection(st, TableOf(i), reads[i]());
    return;
  }

  // Biggest first. What the threads read goes into the statement in section order, so it is the
  // same as reading one after another, up to the first failure.
  std::array<std::size_t, kSectionCount> order{};
  for (std::size_t i = 0; i < kSectionCount; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return rows[a] > rows[b]; });
  std::array<SectionRun, kSectionCount> runs;
  std::array<std::exception_ptr, kSectionCount> errors;
  RunTasks(kSectionCount, threads, [&](std::size_t k, int) {
    const std::size_t i = order[k];
    try {
      runs[i] = reads[i]();
    } catch (...) {
      errors[i] = std::current_exception();
    }
  });
  for (std::size_t i = 0; i < kSectionCount; ++i) {
    if (errors[i]) std::rethrow_exception(errors[i]);
    PutSection(st, TableOf(i), std::move(runs[i]));
  }
}

void WriteSectionCLines(TStatement& st) { WriteCLines(st); }

}  // namespace vestrano
