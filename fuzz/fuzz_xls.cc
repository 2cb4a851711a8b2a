// libFuzzer target for the XLS reader: loads the bytes as a compound file and reads every cell.
// Seeds: tests/fixtures/xls/*.xls. Findings go to tests/fixtures/xls/fuzz/, which the tests load.
#include <cstddef>
#include <cstdint>
#include <span>

#include "workbook/errors.h"
#include "workbook/model.h"
#include "workbook/xls/xls_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vestrano::TWorkbook book;
  book.SetCellBudget(4'000'000);  // keeps a run within the fuzzer's memory limit
  try {
    vestrano::xls::Read(book, std::as_bytes(std::span(data, size)), nullptr);
  } catch (const vestrano::EWorkbookError&) {
  }
  std::size_t total = 0;
  for (int i = 0; i < book.Sheets.Count(); ++i)
    for (const vestrano::TExportRow& row : book.Sheets.Items(i).Rows.All())
      for (const vestrano::TExportCell& cell : row.Cells.All()) total += cell.AsText(book).size();
  return total == static_cast<std::size_t>(-1);
}
