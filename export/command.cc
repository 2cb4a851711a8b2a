#include "export/command.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>
#include <utility>

extern char** environ;

namespace vestrano {

namespace {

using Clock = std::chrono::steady_clock;

// Owns a file descriptor; -1 when closed.
class TFd {
 public:
  TFd() = default;
  explicit TFd(int fd) : fd_(fd) {}
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  ~TFd() { Close(); }
  int get() const { return fd_; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

// What one stream of the program gave: kept up to the cap, counted past it.
struct TCapture {
  std::string& out;
  std::uint64_t& dropped;
  std::size_t cap;
  void Add(const char* data, std::size_t n) {
    const std::size_t room = cap - std::min(cap, out.size());
    out.append(data, std::min(n, room));
    if (n > room) dropped += n - room;
  }
};

// Reads what is available from the non-blocking fd into out (a bounded number of chunks, so
// that a chatty program cannot keep the caller from its deadline); closes fd at its end.
void ReadAvailable(TFd& fd, TCapture out) {
  char buffer[65536];
  for (int chunk = 0; chunk < 16; ++chunk) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n > 0) {
      out.Add(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    fd.Close();
    return;
  }
}

void SetNonBlocking(const TFd& fd) {
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) | O_NONBLOCK);
}

// The child's start: its own process group (so a time-out reaches everything it started) and the
// signals a caller may have ignored or blocked back to their defaults.
struct TSpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  TSpawnSetup(int out_write, int err_write, const std::string& working_directory) {
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out_write, 1);
    posix_spawn_file_actions_adddup2(&actions, err_write, 2);
    posix_spawn_file_actions_addchdir_np(&actions, working_directory.c_str());
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(
        &attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int s : {SIGPIPE, SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGCHLD}) sigaddset(&defaults, s);
    posix_spawnattr_setsigdefault(&attr, &defaults);
  }
  ~TSpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
  }
};

}  // namespace

TCommandResult RunCommand(const std::vector<std::string>& argv,
                          const std::string& working_directory, std::chrono::milliseconds timeout,
                          std::size_t max_output) {
  TCommandResult result;
  const TCapture out{result.out, result.out_dropped, max_output};
  const TCapture err{result.err, result.err_dropped, max_output};
  if (argv.empty()) {
    result.failure = "no program given";
    return result;
  }
  int out_pipe[2];
  int err_pipe[2];
  if (::pipe2(out_pipe, O_CLOEXEC) != 0) {
    result.failure = std::strerror(errno);
    return result;
  }
  TFd out_read(out_pipe[0]), out_write(out_pipe[1]);
  if (::pipe2(err_pipe, O_CLOEXEC) != 0) {
    result.failure = std::strerror(errno);
    return result;
  }
  TFd err_read(err_pipe[0]), err_write(err_pipe[1]);

  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  pid_t pid = -1;
  int rc;
  {
    TSpawnSetup setup(out_write.get(), err_write.get(), working_directory);
    rc = ::posix_spawn(&pid, argv[0].c_str(), &setup.actions, &setup.attr, args.data(), environ);
  }
  // Only the child may hold the write ends, so that the pipes report their end when it is done.
  out_write.Close();
  err_write.Close();
  if (rc != 0) {
    result.failure = std::strerror(rc);
    return result;
  }
  result.started = true;
  SetNonBlocking(out_read);
  SetNonBlocking(err_read);

  const Clock::time_point deadline = Clock::now() + timeout;
  bool reaped = false;
  int status = 0;
  while (!reaped) {
    if (out_read.get() < 0 && err_read.get() < 0) {
      const pid_t w = ::waitpid(pid, &status, WNOHANG);
      if (w == pid || (w < 0 && errno != EINTR)) {
        reaped = true;
        break;
      }
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      result.timed_out = true;
      break;
    }
    if (out_read.get() < 0 && err_read.get() < 0) {
      // Both pipes are closed but the program still runs.
      std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(10)));
      continue;
    }
    pollfd fds[2] = {{out_read.get(), POLLIN, 0}, {err_read.get(), POLLIN, 0}};
    const int n = ::poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (n < 0 && errno != EINTR) break;
    if (n <= 0) continue;
    if (fds[0].revents) ReadAvailable(out_read, out);
    if (fds[1].revents) ReadAvailable(err_read, err);
  }
  if (!reaped) {
    ::kill(-pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  // Keep what was written before the end, without waiting for anything that still holds a pipe.
  for (auto [fd, capture] : {std::pair{&out_read, &out}, std::pair{&err_read, &err}}) {
    std::uint64_t before = ~std::uint64_t{0};
    while (fd->get() >= 0 && capture->out.size() + capture->dropped != before) {
      before = capture->out.size() + capture->dropped;
      ReadAvailable(*fd, *capture);
    }
  }
  if (!result.timed_out && WIFEXITED(status)) {
    result.exited = true;
    result.exit_status = WEXITSTATUS(status);
  }
  return result;
}

}  // namespace vestrano
