// Loading big .xlsx workbooks: two sheets (A4 and B2) of N rows x 12 columns with shared strings,
// numbers and dates. Prints cells per second, MB/s of inflated sheet XML and peak memory.
//
//   bench_xlsx [ROWS…]      default: 100000 500000; workbooks are generated once into the
//                           current directory (bench-xlsx-ROWS.xlsx)
//   bench_xlsx --load FILE  one load in this process (what the parent measures)
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/xlsx_package.h"
#include "workbook/model.h"

extern char** environ;

namespace {

constexpr int kColumns = 12;

std::string Col(int c) { return std::string(1, static_cast<char>('A' + c)); }

// Column kinds: A unique document number, B one of 50 partner names, C a VAT id of 1000,
// D and K dates, E to J amounts, L a whole number.
std::string SheetXml(int rows, int sheet, int& next_unique, int unique_base) {
  std::string data;
  data.reserve(static_cast<std::size_t>(rows) * 480);
  char buf[96];
  data += "<row r=\"1\">";
  for (int c = 0; c < kColumns; ++c)
    data += "<c r=\"" + Col(c) + "1\" t=\"s\"><v>" + std::to_string(c % 50) + "</v></c>";
  data += "</row>";
  for (int r = 2; r <= rows; ++r) {
    data += "<row r=\"" + std::to_string(r) + "\" spans=\"1:12\">";
    const std::string rs = std::to_string(r);
    for (int c = 0; c < kColumns; ++c) {
      const std::string ref = Col(c) + rs;
      switch (c) {
        case 0:
          data += "<c r=\"" + ref + "\" t=\"s\"><v>" + std::to_string(unique_base + next_unique++) +
                  "</v></c>";
          break;
        case 1:
          data += "<c r=\"" + ref + "\" t=\"s\"><v>" + std::to_string(r % 50) + "</v></c>";
          break;
        case 2:
          data += "<c r=\"" + ref + "\" t=\"s\"><v>" + std::to_string(50 + r % 1000) + "</v></c>";
          break;
        case 3:
        case 10:
          data += "<c r=\"" + ref + "\" s=\"1\"><v>" + std::to_string(42370 + (r + sheet) % 1500) +
                  "</v></c>";
          break;
        case 11:
          data += "<c r=\"" + ref + "\"><v>" + std::to_string(r * 7 % 100000) + "</v></c>";
          break;
        default: {
          const double v = (r * 37 + c * 11) % 1000000 / 100.0;
          std::snprintf(buf, sizeof buf, "%.2f", v);
          data += "<c r=\"" + ref + "\" s=\"2\"><v>" + buf + "</v></c>";
        }
      }
    }
    data += "</row>";
  }
  return vestrano::test::SheetXml(data,
                                  "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" "
                                  "bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>",
                                  "<dimension ref=\"A1:L" + std::to_string(rows) + "\"/>");
}

void Generate(int rows, const std::string& path) {
  std::fprintf(stderr, "generating %s …\n", path.c_str());
  int next_unique = 0;
  const int unique_base = 1050;
  std::string a4 = SheetXml(rows, 0, next_unique, unique_base);
  std::string b2 = SheetXml(rows, 1, next_unique, unique_base);
  std::vector<std::string> si;
  si.reserve(static_cast<std::size_t>(unique_base + next_unique));
  for (int i = 0; i < 50; ++i)
    si.push_back("<si><t>Partner s.r.o. " + std::to_string(i) + "</t></si>");
  for (int i = 0; i < 1000; ++i)
    si.push_back("<si><t>CZ" + std::to_string(10000000 + i * 7919) + "</t></si>");
  for (int i = 0; i < next_unique; ++i)
    si.push_back("<si><t>FV2016-" + std::to_string(100000 + i) + "</t></si>");
  const std::string styles = vestrano::test::StylesXml(
      "<numFmt numFmtId=\"164\" formatCode=\"d.m.yyyy\"/><numFmt numFmtId=\"165\" "
      "formatCode=\"#,##0.00\\ &quot;Kč&quot;\"/>",
      {0, 164, 165});
  vestrano::test::MinimalWorkbook({{"A4", std::move(a4)}, {"B2", std::move(b2)}},
                                  vestrano::test::SharedStringsXml(si), styles)
      .WriteFile(path);
}

std::uint64_t SheetBytes(const std::string& path) {
  int err = 0;
  zip_t* za = zip_open(path.c_str(), ZIP_RDONLY, &err);
  if (!za) return 0;
  std::uint64_t total = 0;
  for (const char* name : {"xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml"}) {
    zip_stat_t st;
    if (zip_stat(za, name, 0, &st) == 0) total += st.size;
  }
  zip_discard(za);
  return total;
}

int LoadOnce(const char* path) {
  const auto start = std::chrono::steady_clock::now();
  vestrano::TWorkbook book;
  book.LoadFromFile(path);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::uint64_t cells = 0;
  for (int i = 0; i < book.Sheets.Count(); ++i)
    for (const auto& row : book.Sheets.Items(i).Rows.All())
      cells += static_cast<std::uint64_t>(row.Cells.Count());
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  const double cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                     static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  // Peak resident memory of this process alone (ru_maxrss would include the parent's before exec).
  long long peak_kb = 0;
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, f))
      if (std::sscanf(line, "VmHWM: %lld kB", &peak_kb) == 1) break;
    std::fclose(f);
  }
  // Touch a text so the load cannot be optimised away.
  const std::string probe = book.Sheets.Items(0).Rows.All()[1].Cells.Items(0).AsText(book);
  std::printf("%llu %.6f %.6f %lld %s\n", static_cast<unsigned long long>(cells), seconds, cpu,
              peak_kb, probe.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--load") return LoadOnce(argv[2]);
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {100000, 500000};
  // Wall time suffers from whatever else the machine runs; CPU time (user + system) does not.
  std::printf("%-10s %10s %8s %8s %12s %12s %9s %9s %10s\n", "rows/sheet", "cells", "wall s",
              "cpu s", "cells/s wall", "cells/s cpu", "XML MB/s", "peak MiB", "bytes/cell");
  for (int rows : sizes) {
    const std::string path = "bench-xlsx-" + std::to_string(rows) + ".xlsx";
    if (access(path.c_str(), R_OK) != 0) Generate(rows, path);
    const std::uint64_t xml_bytes = SheetBytes(path);
    for (int run = 0; run < 3; ++run) {
      // A fresh process per load, so that peak memory is the load's alone.
      int pipefd[2];
      if (pipe(pipefd) != 0) return 1;
      posix_spawn_file_actions_t fa;
      posix_spawn_file_actions_init(&fa);
      posix_spawn_file_actions_adddup2(&fa, pipefd[1], 1);
      posix_spawn_file_actions_addclose(&fa, pipefd[0]);
      char load[] = "--load";
      std::vector<char> p(path.begin(), path.end());
      p.push_back(0);
      char* args[] = {argv[0], load, p.data(), nullptr};
      pid_t pid = 0;
      if (posix_spawn(&pid, "/proc/self/exe", &fa, nullptr, args, environ) != 0) return 1;
      close(pipefd[1]);
      char out[256] = {};
      const ssize_t n = read(pipefd[0], out, sizeof out - 1);
      close(pipefd[0]);
      int status = 0;
      waitpid(pid, &status, 0);
      unsigned long long cells = 0;
      double seconds = 0, cpu = 0;
      long long peak_kb = 0;
      if (n <= 0 || std::sscanf(out, "%llu %lf %lf %lld", &cells, &seconds, &cpu, &peak_kb) != 4 ||
          status != 0) {
        std::fprintf(stderr, "load failed\n");
        return 1;
      }
      const double peak = static_cast<double>(peak_kb) * 1024.0;
      const double c = static_cast<double>(cells);
      std::printf("%-10d %10llu %8.3f %8.3f %12.0f %12.0f %9.1f %9.1f %10.1f\n", rows, cells,
                  seconds, cpu, c / seconds, c / cpu, static_cast<double>(xml_bytes) / 1e6 / cpu,
                  peak / 1048576.0, peak / c);
      std::fflush(stdout);
    }
  }
  return 0;
}
