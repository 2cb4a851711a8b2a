#pragma once
// Runs one program directly (no shell, so no file name can inject a command), with standard input
// from /dev/null, and captures its standard output and standard error separately.
#include <chrono>
#include <string>
#include <vector>

namespace vestrano {

struct TCommandResult {
  bool started = false;    // the program was started
  bool timed_out = false;  // it was stopped after the time-out
  bool exited = false;     // it ended on its own with exit_status
  int exit_status = -1;
  std::string out;      // every byte of its standard output
  std::string err;      // every byte of its standard error
  std::string failure;  // why it could not be started, when !started
};

// argv[0] is the program's path; it is not searched on PATH. The program runs in
// working_directory. After timeout the program and everything it started in its process group
// are killed.
TCommandResult RunCommand(const std::vector<std::string>& argv,
                          const std::string& working_directory, std::chrono::milliseconds timeout);

}  // namespace vestrano
