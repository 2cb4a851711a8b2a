// libFuzzer target for the XLS reader: loads the bytes as a compound file and reads every cell.
// scripts/fuzz builds it and runs it from the committed workbooks (the named fixtures, the fuzz
// findings, the examples) and the corpus that earlier runs grew in build-fuzz/corpus/.
// Keep every finding in tests/fixtures/xls/fuzz/ under a name that says what it broke; the
// fixture test loads them all.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/load_and_walk.h"
#include "workbook/xls/xls_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return vestrano::fuzz::LoadAndWalk(4'000'000, [&](vestrano::TWorkbook& book) {
    vestrano::xls::Read(book, std::as_bytes(std::span(data, size)), nullptr);
  });
}
