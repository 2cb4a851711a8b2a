// Loads a 60,000-row x 12-column .xls on two sheets (1.44 million cells) and prints the load time,
// cells per second and peak memory per cell.
//
// clang-format off
//   bench_xls                     builds the workbook with biff_writer, saves it, measures both below
//   bench_xls FILE.xls            LoadFromFile five times in this process
//   bench_xls --reader FILE.xls   the reader alone on the file already in memory
// clang-format on
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/biff_writer.cc"  // compiled in: benchmarks do not link the test library
#include "support/biff_writer.h"
#include "workbook/model.h"
#include "workbook/xls/xls_reader.h"

using vestrano::test::BiffWriter;
using vestrano::test::Bytes;

namespace {

constexpr int kRows = 60000, kColumns = 12, kSheets = 2;

std::string DocNumber(int sheet, int row) {
  return "FV-" + std::to_string(sheet) + "-" + std::to_string(100000 + row);
}
std::string VatId(int i) { return "CZ" + std::to_string(10000000 + i * 7919 % 500); }

// Each row: 4 shared strings, 4 NUMBER records and one MULRK of 4 values, as accounting exports
// write them.
std::vector<std::byte> BuildStream() {
  std::vector<std::string> strings;
  for (int s = 0; s < kSheets; ++s)
    for (int r = 0; r < kRows; ++r) strings.push_back(DocNumber(s, r));
  const std::size_t vat_base = strings.size();
  for (int i = 0; i < 500; ++i) strings.push_back(VatId(i));
  const std::size_t code_base = strings.size();
  for (int i = 0; i < 50; ++i) strings.push_back("Kód " + std::to_string(i) + " plnění");

  BiffWriter w;
  w.Bof(5).Format(164, "d.m.yyyy").Xf(0).Xf(164).Xf(4);
  for (int s = 0; s < kSheets; ++s) w.BoundSheet("A" + std::to_string(s + 1));
  // Shared strings in records of at most 8224 bytes; a string never straddles two of them here.
  std::vector<std::vector<std::byte>> parts(1);
  for (const std::string& t : strings) {
    std::vector<std::byte> one = Bytes().Str(t).Take();
    if (parts.back().size() + one.size() > 8224 - (parts.size() == 1 ? 8 : 0)) parts.emplace_back();
    parts.back().insert(parts.back().end(), one.begin(), one.end());
  }
  w.Sst(static_cast<std::uint32_t>(strings.size()), parts).Eof();
  for (int s = 0; s < kSheets; ++s) {
    w.Bof(16).Record(512, Bytes().U32(0).U32(kRows).U16(0).U16(kColumns).U16(0));
    for (int r = 0; r < kRows; ++r) {
      w.LabelSst(r, 0, static_cast<std::uint32_t>(s * kRows + r));
      w.LabelSst(r, 1, static_cast<std::uint32_t>(vat_base + static_cast<std::size_t>(r % 500)));
      w.Number(r, 2, 1, 42400 + r % 365);
      w.LabelSst(r, 3, static_cast<std::uint32_t>(code_base + static_cast<std::size_t>(r % 50)));
      w.Number(r, 4, 2, 1234.5 + r);
      w.Number(r, 5, 2, 21.0);
      w.Number(r, 6, 2, (1234.5 + r) * 0.21);
      Bytes mulrk;
      mulrk.U16(static_cast<std::uint16_t>(r)).U16(7);
      for (int c = 0; c < 4; ++c) mulrk.U16(0).U32((static_cast<std::uint32_t>(r + c) << 2) | 2);
      mulrk.U16(10);
      w.Record(189, std::move(mulrk));
      w.LabelSst(r, 11, static_cast<std::uint32_t>(code_base + static_cast<std::size_t>(r % 7)));
    }
    w.Eof();
  }
  return w.Stream();
}

long CurrentRssKb() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  long pages = 0, resident = 0;
  if (f) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

double CpuSeconds(bool system = false) {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  const timeval& t = system ? u.ru_stime : u.ru_utime;
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

long PeakRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// The reader alone, on a file already in memory: what the load costs beyond reading the file.
int MeasureReader(const char* path) {
  std::vector<std::byte> file;
  if (std::FILE* f = std::fopen(path, "rb")) {
    std::byte buf[1 << 16];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
      file.insert(file.end(), buf, buf + n);
    std::fclose(f);
  }
  const long before = CurrentRssKb();
  vestrano::TWorkbook book;
  const auto t0 = std::chrono::steady_clock::now();
  const double cpu0 = CpuSeconds() + CpuSeconds(true);
  vestrano::xls::Read(book, file, nullptr);
  const double cpu = CpuSeconds() + CpuSeconds(true) - cpu0;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf(
      "reader alone, file in memory (fresh process): %.3f s wall, %.3f s CPU, %.1f MB beyond the "
      "file\n",
      wall, cpu, static_cast<double>(PeakRssKb() - before) / 1024.0);
  return 0;
}

int Measure(const char* path) {
  const long before = CurrentRssKb();
  double first_wall = 0, first_cpu = 0, best_wall = 1e9, best_cpu = 1e9;
  std::size_t cells = 0;
  long peak = 0;
  for (int run = 0; run < 5; ++run) {
    vestrano::TWorkbook book;
    const auto t0 = std::chrono::steady_clock::now();
    const double user0 = CpuSeconds(), sys0 = CpuSeconds(true);
    book.LoadFromFile(path);
    const double user = CpuSeconds() - user0, sys = CpuSeconds(true) - sys0;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (run == 0) {
      peak = PeakRssKb();  // the first load sets the high-water mark of one workbook
      first_wall = wall, first_cpu = user + sys;
    }
    best_wall = std::min(best_wall, wall);
    best_cpu = std::min(best_cpu, user + sys);
    cells = 0;
    for (int i = 0; i < book.Sheets.Count(); ++i)
      for (const auto& row : book.Sheets.Items(i).Rows.All()) cells += row.Cells.All().size();
    std::printf("run %d: %.3f s wall, %.3f s user, %.3f s system\n", run + 1, wall, user, sys);
  }
  // CPU time is the better measure on a shared machine: wall time also counts waiting for a core.
  std::printf("cells: %zu\n", cells);
  std::printf(
      "first load (fresh process): %.3f s wall, %.3f s CPU (%.2f million cells per CPU second)\n",
      first_wall, first_cpu, static_cast<double>(cells) / first_cpu / 1e6);
  std::printf("best later load: %.3f s wall, %.3f s CPU (%.2f million cells per CPU second)\n",
              best_wall, best_cpu, static_cast<double>(cells) / best_cpu / 1e6);
  std::printf("peak memory of the load: %.1f MB (%.1f bytes per cell, file buffer included)\n",
              static_cast<double>(peak - before) / 1024.0,
              static_cast<double>(peak - before) * 1024.0 / static_cast<double>(cells));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::strcmp(argv[1], "--reader") == 0) return MeasureReader(argv[2]);
  if (argc > 1) return Measure(argv[1]);
  const std::string path = "/tmp/bench_xls_" + std::to_string(getpid()) + ".xls";
  {
    const std::vector<std::byte> stream = BuildStream();
    const std::vector<std::byte> file = vestrano::test::XlsFile(stream);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(file.data(), 1, file.size(), f) != file.size()) {
      std::perror(path.c_str());
      return 1;
    }
    std::fclose(f);
    std::printf("Workbook stream: %.1f MB, file %s\n", static_cast<double>(stream.size()) / 1e6,
                path.c_str());
    std::fflush(stdout);
  }
  // Fresh processes, so the peak memory is that of the load alone, not of building the file.
  int status = 0;
  for (const char* mode : {"", "--reader"}) {
    if (fork() == 0) {
      if (*mode)
        execl("/proc/self/exe", argv[0], mode, path.c_str(), static_cast<char*>(nullptr));
      else
        execl("/proc/self/exe", argv[0], path.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    wait(&status);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) break;
  }
  unlink(path.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
