// libFuzzer target for the BIFF8 record layer: the input is a Workbook stream, wrapped in a valid
// compound file, so every mutation reaches the record handlers instead of the container.
//   build-fuzz/fuzz/fuzz_xls_records -max_total_time=900 -rss_limit_mb=4096 fuzz/corpus-xls-records
// Seeds: the Workbook streams of tests/fixtures/xls/*.xls.
#include <cstddef>
#include <cstdint>
#include <span>

#include "tests/support/biff_writer.cc"  // the compound-file wrapper of the tests
#include "workbook/errors.h"
#include "workbook/model.h"
#include "workbook/xls/xls_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto bytes = std::as_bytes(std::span(data, size));
  const std::vector<std::byte> file = vestrano::test::XlsFile({bytes.begin(), bytes.end()});
  vestrano::TWorkbook book;
  book.SetCellBudget(4'000'000);  // keeps a run within the fuzzer's memory limit
  try {
    vestrano::xls::Read(book, file, nullptr);
  } catch (const vestrano::EWorkbookError&) {
  }
  std::size_t total = 0;
  for (int i = 0; i < book.Sheets.Count(); ++i)
    for (const vestrano::TExportRow& row : book.Sheets.Items(i).Rows.All())
      for (const vestrano::TExportCell& cell : row.Cells.All()) total += cell.AsText(book).size();
  return total == static_cast<std::size_t>(-1);
}
