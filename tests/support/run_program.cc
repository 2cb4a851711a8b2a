#include "support/run_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

extern char** environ;

namespace vestrano::test {

namespace {
std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& argv, const std::string& cwd,
                         const std::vector<std::string>& env) {
  char out_name[] = "/tmp/vestrano-test-out-XXXXXX";
  char err_name[] = "/tmp/vestrano-test-err-XXXXXX";
  const int out_fd = mkstemp(out_name);
  const int err_fd = mkstemp(err_name);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
  posix_spawn_file_actions_adddup2(&actions, err_fd, 2);
  if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const auto& over : env)
      if (entry.compare(0, over.find('=') + 1, over, 0, over.find('=') + 1) == 0) replaced = true;
    if (!replaced) environment.push_back(entry);
  }
  environment.insert(environment.end(), env.begin(), env.end());
  std::vector<char*> envp;
  for (auto& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  ProgramResult result;
  pid_t pid;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) == 0) {
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
  }
  posix_spawn_file_actions_destroy(&actions);
  close(out_fd);
  close(err_fd);
  result.out = Slurp(out_name);
  result.err = Slurp(err_name);
  unlink(out_name);
  unlink(err_name);
  return result;
}

std::string CliPath() { return std::string(VESTRANO_BINARY_DIR) + "/vestrano-cli"; }

}  // namespace vestrano::test
