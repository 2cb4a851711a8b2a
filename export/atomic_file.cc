#include "export/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

namespace vestrano {

namespace {

WriteFunction& WriteHook() {
  static WriteFunction hook;
  return hook;
}

ssize_t WriteSome(int fd, const void* data, std::size_t size) {
  if (const WriteFunction& hook = WriteHook()) return hook(fd, data, size);
  return ::write(fd, data, size);
}

[[noreturn]] void Fail(const std::string& path, int error) {
  throw EFileWriteError("Nelze zapsat soubor " + path + ": " + std::strerror(error));
}

// The mode a newly created file would get; an existing target keeps its own.
mode_t TargetMode(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
  // umask can only be read by setting it; done once, since a second thread doing the same in
  // between would leave the process with a mask of 0.
  static const mode_t mask = [] {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return 0666 & ~mask;
}

}  // namespace

void SetWriteFunctionForTesting(WriteFunction write) { WriteHook() = std::move(write); }

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  std::string folder = std::filesystem::path(path).parent_path().string();
  if (folder.empty()) folder = ".";
  // A short fixed name: the target's own name may already be as long as a name can be.
  std::string temp = folder + "/.vestrano-XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) Fail(path, errno);
  temp = name.data();

  auto give_up = [&](int error) {
    ::close(fd);
    ::unlink(temp.c_str());
    Fail(path, error);
  };
  if (::fchmod(fd, TargetMode(path)) != 0) give_up(errno);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = WriteSome(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      give_up(errno);
    }
    if (n == 0) give_up(EIO);
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) give_up(errno);
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    Fail(path, error);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    Fail(path, error);
  }
  // Make the rename itself durable; the file is complete either way, so a failure here is moot.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace vestrano
