// Moves between .xls files and the Workbook streams that fuzz_xls_records mutates:
//   xls_stream extract FILE.xls STREAM   the seeds: the Workbook stream of a real file
//   xls_stream wrap STREAM FILE.xls      a finding as a file that the tests load
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/biff_writer.cc"  // the compound-file wrapper of the tests
#include "workbook/xls/compound_file.h"

namespace {

std::vector<std::byte> ReadBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(std::string("cannot read ") + path);
  std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::byte> out(chars.size());
  for (std::size_t i = 0; i < chars.size(); ++i) out[i] = static_cast<std::byte>(chars[i]);
  return out;
}

void WriteBytes(const char* path, std::span<const std::byte> bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error(std::string("cannot write ") + path);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc == 4 ? argv[1] : "";
  try {
    if (command == "extract") {
      const std::vector<std::byte> file = ReadBytes(argv[2]);
      WriteBytes(argv[3], vestrano::xls::ReadWorkbookStream(file).bytes);
      return 0;
    }
    if (command == "wrap") {
      WriteBytes(argv[3], vestrano::test::XlsFile(ReadBytes(argv[2])));
      return 0;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "xls_stream: %s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "usage: xls_stream extract FILE.xls STREAM | wrap STREAM FILE.xls\n");
  return 2;
}
