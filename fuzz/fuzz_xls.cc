// libFuzzer target for the XLS reader: loads the bytes as a compound file and reads every cell.
//   mkdir -p fuzz/corpus-xls && cp tests/fixtures/xls/*.xls tests/fixtures/xls/fuzz/*.xls fuzz/corpus-xls/
//   build-fuzz/fuzz/fuzz_xls -max_total_time=1800 -rss_limit_mb=4096 -max_len=65536 fuzz/corpus-xls
// Keep every finding in tests/fixtures/xls/fuzz/ under a name that says what it broke; the
// fixture test loads them all.
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
