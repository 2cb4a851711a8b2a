// Memory of the workbook model: builds 1,000,000 cells (numbers and empty cells, as a reader
// would, row by row) and prints the bytes per cell the heap grew by.
#include <malloc.h>

#include <chrono>
#include <cstdio>

#include "workbook/model.h"

using namespace vestrano;

int main() {
  constexpr int kRows = 100'000;
  constexpr int kColumns = 10;
  const std::size_t before = mallinfo2().uordblks + mallinfo2().hblkhd;
  const auto t0 = std::chrono::steady_clock::now();
  TWorkbook book;
  const std::uint32_t date = book.InternFormat("d.m.yyyy");
  TExportWorkSheet& sheet = book.AddSheet("A1");
  sheet.Rows.Reserve(kRows);
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; c += 2) {  // every other column is left out: empty cells
      book.SetNumber(sheet.FindCreateCell(c, r, CellKind::Empty), r * 10.0 + c, c == 4 ? date : 0);
    }
    sheet.FindCreateCell(kColumns - 1, r, CellKind::Empty);
    sheet.Rows.Items(r).Cells.ShrinkToFit();
  }
  const auto t1 = std::chrono::steady_clock::now();
  const std::size_t after = mallinfo2().uordblks + mallinfo2().hblkhd;
  const double cells = double(kRows) * kColumns;
  const double bytes = double(after - before);
  const double row_structure = double(kRows) * sizeof(TExportRow);
  std::printf("cells: %.0f\nheap growth: %.1f MB\nbytes per cell (all): %.1f\n", cells, bytes / 1e6,
              bytes / cells);
  std::printf("bytes per cell beyond the row structure (%zu bytes a row): %.1f\n",
              sizeof(TExportRow), (bytes - row_structure) / cells);
  std::printf("build time: %.0f ms\n", std::chrono::duration<double, std::milli>(t1 - t0).count());
  return 0;
}
