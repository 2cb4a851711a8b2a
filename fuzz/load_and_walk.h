#pragma once
// What every fuzz target does with its input: load it under a cell budget (the workbook errors
// are the expected outcome of bad input) and read the text of every cell that was created.
#include <cstddef>
#include <cstdint>

#include "workbook/errors.h"
#include "workbook/model.h"

namespace vestrano::fuzz {

template <class Load>
int LoadAndWalk(std::uint64_t cell_budget, Load load) {
  TWorkbook book;
  book.SetCellBudget(cell_budget);  // keeps a run within the fuzzer's time and memory limits
  try {
    load(book);
  } catch (const EWorkbookError&) {
  }
  std::size_t total = 0;
  for (int i = 0; i < book.Sheets.Count(); ++i)
    for (const TExportRow& row : book.Sheets.Items(i).Rows.All())
      for (const TExportCell& cell : row.Cells.All()) total += cell.AsText(book).size();
  return total == static_cast<std::size_t>(-1);
}

}  // namespace vestrano::fuzz
