// A month of an accounting office: N generated statements of R rows each (half A.4, half B.2),
// imported, written and checked against the schema, once as N runs of the command line one
// after another and once as one run over the folder (all cores). Prints both wall times, the
// speed-up, the CPU time (user + system, validator processes included) and the load average
// around each, since other work on the machine shows in the wall times.
//
//   bench_multi [--count N] [--rows R] [--jobs J] [--cli PATH]
//       defaults: 200 statements of 1000 rows, J = the number of cores; the workbooks are
//       generated once into ./bench-multi-N-R/ (current folder)
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/statement_book.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Runs argv with stdout and stderr on /dev/null; the exit status, or -1.
int Spawn(const std::vector<std::string>& argv) {
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0].c_str(), &fa, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// User + system CPU seconds of all children waited for so far.
double ChildrenCpu() {
  struct rusage ru {};
  getrusage(RUSAGE_CHILDREN, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

std::string Load() {
  double load[3] = {};
  if (getloadavg(load, 3) < 1) return "?";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f %.2f %.2f", load[0], load[1], load[2]);
  return buf;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
  int count = 200, rows = 1000;
  int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  std::string cli = std::string(VESTRANO_BINARY_DIR) + "/vestrano-cli";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--count") count = std::atoi(argv[i + 1]);
    if (a == "--rows") rows = std::atoi(argv[i + 1]);
    if (a == "--jobs") jobs = std::atoi(argv[i + 1]);
    if (a == "--cli") cli = argv[i + 1];
  }
  const fs::path dir = "bench-multi-" + std::to_string(count) + "-" + std::to_string(rows);
  const fs::path in = dir / "in";
  if (!fs::is_directory(in)) {
    std::fprintf(stderr, "generating %d statements of %d rows into %s …\n", count, rows,
                 in.c_str());
    fs::create_directories(dir / "tmp");
    for (int i = 0; i < count; ++i) {
      vestrano::test::StatementSpec spec;
      spec.dic = std::to_string(20000000 + i * 7919);
      spec.rows = rows;
      char name[32];
      std::snprintf(name, sizeof name, "klient-%03d.xlsx", i);
      vestrano::test::WriteStatementWorkbook((dir / "tmp" / name).string(), spec);
    }
    fs::rename(dir / "tmp", in);
  }
  std::vector<std::string> workbooks;
  for (const auto& e : fs::directory_iterator(in)) workbooks.push_back(e.path().string());
  std::sort(workbooks.begin(), workbooks.end());

  fs::remove_all(dir / "single");
  fs::remove_all(dir / "multi");
  fs::create_directories(dir / "single");
  std::printf("%d statements of %d rows, %u cores, jobs %d\n", count, rows,
              std::thread::hardware_concurrency(), jobs);

  std::printf("load before single runs: %s\n", Load().c_str());
  double cpu = ChildrenCpu();
  auto start = Clock::now();
  int worst = 0;
  for (const std::string& w : workbooks) {
    const std::string out =
        (dir / "single" / fs::path(w).filename().replace_extension(".xml")).string();
    worst = std::max(worst, Spawn({cli, "-q", "-o", out, w}));
  }
  const double single = std::chrono::duration<double>(Clock::now() - start).count();
  const double single_cpu = ChildrenCpu() - cpu;
  std::printf("%d single runs:        %8.2f s, CPU %.2f s (worst exit status %d)\n", count, single,
              single_cpu, worst);

  std::printf("load before one run:     %s\n", Load().c_str());
  cpu = ChildrenCpu();
  start = Clock::now();
  const int status = Spawn({cli, "-q", "-j", std::to_string(jobs), "--output-dir",
                            (dir / "multi").string(), in.string()});
  const double multi = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("one run over the folder: %8.2f s, CPU %.2f s (exit status %d)\n", multi,
              ChildrenCpu() - cpu, status);
  std::printf("load after:              %s\n", Load().c_str());
  std::printf("speed-up:                %8.2f x\n", single / multi);

  int differing = 0;
  for (const auto& e : fs::directory_iterator(dir / "single"))
    differing += Read(e.path()) != Read(dir / "multi" / e.path().filename());
  std::printf("documents that differ between the two: %d\n", differing);
  return differing == 0 && worst == 0 && status == 0 ? 0 : 1;
}
