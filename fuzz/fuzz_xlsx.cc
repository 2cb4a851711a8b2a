// Loads arbitrary bytes as an .xlsx package and reads every cell's text. Any exception other
// than the workbook errors, any crash, leak or sanitizer report is a finding.
#include <cstddef>
#include <cstdint>
#include <span>

#include "workbook/errors.h"
#include "workbook/model.h"
#include "workbook/xlsx/xlsx_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vestrano::TWorkbook book;
  book.SetCellBudget(2'000'000);  // keeps each input fast; the limit itself is what is tested
  try {
    vestrano::xlsx::Read(book, std::span(reinterpret_cast<const std::byte*>(data), size), nullptr);
  } catch (const vestrano::EWorkbookError&) {
  }
  std::size_t total = 0;
  for (int i = 0; i < book.Sheets.Count(); ++i)
    for (const vestrano::TExportRow& row : book.Sheets.Items(i).Rows.All())
      for (const vestrano::TExportCell& cell : row.Cells.All()) total += cell.AsText(book).size();
  return total == static_cast<std::size_t>(-1);
}
