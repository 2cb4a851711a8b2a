#pragma once
// Runs a program for tests and collects its exit status and output.
#include <string>
#include <vector>

namespace vestrano::test {

struct ProgramResult {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Starts argv[0] (a path) with the arguments, stdin from /dev/null, in cwd (the current directory
// when empty); env entries "NAME=value" replace or add to the environment.
ProgramResult RunProgram(const std::vector<std::string>& argv, const std::string& cwd = "",
                         const std::vector<std::string>& env = {});

// Path of the command-line front end in the build tree.
std::string CliPath();

}  // namespace vestrano::test
