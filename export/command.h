#pragma once
// Runs one program directly (no shell, so no file name can inject a command), with standard input
// from /dev/null, and captures its standard output and standard error separately.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace vestrano {

struct TCommandResult {
  bool started = false;    // the program was started
  bool timed_out = false;  // it was stopped after the time-out
  bool exited = false;     // it ended on its own with exit_status
  int exit_status = -1;
  std::string out;  // its standard output, up to the cap
  std::string err;  // its standard error, up to the cap
  // Bytes past the cap on each stream: read, so that the program is never blocked on a full
  // pipe, and thrown away.
  std::uint64_t out_dropped = 0, err_dropped = 0;
  std::string failure;  // why it could not be started, when !started
};

// argv[0] is the program's path; it is not searched on PATH. The program runs in
// working_directory. After timeout the program and everything it started in its process group
// are killed. At most max_output bytes of each stream are kept.
TCommandResult RunCommand(const std::vector<std::string>& argv,
                          const std::string& working_directory, std::chrono::milliseconds timeout,
                          std::size_t max_output = std::numeric_limits<std::size_t>::max());

}  // namespace vestrano
