// libFuzzer target for the BIFF8 record layer: the input is a Workbook stream, wrapped in a valid
// compound file, so every mutation reaches the record handlers instead of the container.
// scripts/fuzz builds it and seeds it with the Workbook streams of the committed .xls files.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/load_and_walk.h"
#include "tests/support/biff_writer.cc"  // the compound-file wrapper of the tests
#include "workbook/xls/xls_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto bytes = std::as_bytes(std::span(data, size));
  const std::vector<std::byte> file = vestrano::test::XlsFile({bytes.begin(), bytes.end()});
  return vestrano::fuzz::LoadAndWalk(
      4'000'000, [&](vestrano::TWorkbook& book) { vestrano::xls::Read(book, file, nullptr); });
}
