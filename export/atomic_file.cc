#include "export/atomic_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include "export/atomic_file_testing.h"

namespace vestrano {

namespace {

namespace fs = std::filesystem;

WriteFunction& WriteHook() {
  static WriteFunction hook;
  return hook;
}

bool& UnnamedFilesAvailable() {
  static bool available = true;
  return available;
}

ssize_t WriteSome(int fd, const void* data, std::size_t size) {
  if (const WriteFunction& hook = WriteHook()) return hook(fd, data, size);
  return ::write(fd, data, size);
}

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
  throw EFileWriteError(FileWriteMessage(path, reason));
}

std::string FolderOf(const std::string& path) {
  std::string folder = fs::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

std::string FolderNotWritable(const std::string& folder, int error) {
  return "do složky " + folder + " nelze zapisovat (" + std::strerror(error) + ")";
}

// What a file of that type is, for a message; empty for a regular file.
std::string NotAFile(mode_t mode) {
  if (S_ISREG(mode)) return {};
  if (S_ISDIR(mode)) return "je to složka, ne soubor";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "je to zařízení, ne obyčejný soubor";
  if (S_ISFIFO(mode)) return "je to roura (FIFO), ne obyčejný soubor";
  if (S_ISSOCK(mode)) return "je to socket, ne obyčejný soubor";
  return "není to obyčejný soubor";
}

std::string Normal(const std::string& path) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(path, ec);
  return (ec ? fs::path(path) : absolute).lexically_normal().string();
}

// A name no one guesses: ".vestrano-" and 12 random letters and digits.
std::string RandomHiddenName() {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char random[12];
  if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
    for (unsigned char& r : random) r = static_cast<unsigned char>(std::rand());
  std::string name = ".vestrano-";
  for (unsigned char r : random) name += kChars[r % (sizeof kChars - 1)];
  return name;
}

}  // namespace

std::string FileWriteMessage(const std::string& path, const std::string& reason) {
  return "Nelze zapsat soubor " + path + ": " + reason;
}

mode_t NewFileMode() {
  // umask can only be read by setting it; done once, since a second thread doing the same in
  // between would leave the process with a mask of 0.
  static const mode_t mask = [] {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return 0666 & ~mask;
}

void SetWriteFunctionForTesting(WriteFunction write) { WriteHook() = std::move(write); }
void SetUnnamedFilesForTesting(bool available) { UnnamedFilesAvailable() = available; }

TOutputTarget CheckOutputTarget(const std::string& path, const std::vector<std::string>& inputs) {
  TOutputTarget t;
  t.path = path;
  auto refuse = [&](const std::string& reason) {
    t.problem = FileWriteMessage(path, reason);
    return t;
  };
  if (path.empty()) return refuse("chybí název souboru");
  if (path.back() == '/') return refuse("cesta končí lomítkem, název souboru v ní chybí");

  // A symbolic link is followed to the file it names, which is what gets replaced.
  struct stat st {};
  for (int hops = 0;; ++hops) {
    if (::lstat(t.path.c_str(), &st) != 0) {
      const int error = errno;
      if (error == ENOENT) break;  // nothing there yet, or its folder is missing (below)
      if (error == ENOTDIR) return refuse(FolderOf(t.path) + " není složka");
      return refuse(std::strerror(error));
    }
    t.exists = true;
    if (!S_ISLNK(st.st_mode)) break;
    if (hops == 40) return refuse(std::strerror(ELOOP));
    std::string link(4096, '\0');
    const ssize_t n = ::readlink(t.path.c_str(), link.data(), link.size());
    if (n < 0 || static_cast<std::size_t>(n) >= link.size()) return refuse(std::strerror(errno));
    link.resize(static_cast<std::size_t>(n));
    t.path = link.starts_with('/') ? link : FolderOf(t.path) + "/" + link;
    t.exists = false;
  }

  const std::string folder = FolderOf(t.path);
  struct stat folder_st {};
  if (::stat(folder.c_str(), &folder_st) != 0) {
    const int error = errno;
    if (error == ENOENT) return refuse("složka " + folder + " neexistuje");
    if (error == ENOTDIR) return refuse(folder + " není složka");
    return refuse("složku " + folder + " nelze otevřít (" + std::strerror(error) + ")");
  }
  if (!S_ISDIR(folder_st.st_mode)) return refuse(folder + " není složka");

  if (t.exists) {
    if (const std::string what = NotAFile(st.st_mode); !what.empty()) return refuse(what);
    t.mode = st.st_mode;
    t.uid = st.st_uid;
    t.gid = st.st_gid;
  }
  const std::string normal = Normal(path), normal_target = Normal(t.path);
  for (const std::string& input : inputs) {
    struct stat in {};
    const bool same_file = t.exists && ::stat(input.c_str(), &in) == 0 && in.st_dev == st.st_dev &&
                           in.st_ino == st.st_ino;
    const std::string normal_input = Normal(input);
    if (same_file || normal_input == normal || normal_input == normal_target)
      return refuse("je to týž soubor jako vstup " + input);
  }
  if (t.exists) {
    // Judged on the mode bits, so that root, who may write anything, keeps off it too.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
      return refuse("soubor je chráněn proti zápisu");
    if (::faccessat(AT_FDCWD, t.path.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES)
      return refuse("k zápisu do souboru nemáte oprávnění");
  }
  // The new file is made in the folder and renamed there: a writable file in a folder that
  // cannot be written cannot be replaced safely.
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
    return refuse(FolderNotWritable(folder, errno));
  return t;
}

TPendingFile::TPendingFile(std::string target, mode_t mode, std::string shown_name)
    : target_(std::move(target)),
      shown_name_(shown_name.empty() ? target_ : std::move(shown_name)),
      folder_(FolderOf(target_)) {
  // An unnamed file is linked through /proc/self/fd, so both must be there.
  if (UnnamedFilesAvailable() && ::access("/proc/self/fd", X_OK) == 0) {
    fd_ = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd_ >= 0) {
      unnamed_ = true;
      path_ = "/proc/self/fd/" + std::to_string(fd_);
    } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
      Fail(errno);
    }
  }
  if (!unnamed_) {
    // A short fixed pattern: the target's own name may already be as long as a name can be.
    std::string temp = folder_ + "/.vestrano-XXXXXX";
    fd_ = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd_ < 0) Fail(errno);
    path_ = temp;
  }
  if (::fchmod(fd_, mode) != 0) {
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    if (!unnamed_) ::unlink(path_.c_str());
    Fail(error);
  }
}

TPendingFile::~TPendingFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!unnamed_ && !published_) ::unlink(path_.c_str());
}

void TPendingFile::Fail(int error) const {
  if (error == EACCES || error == EPERM || error == EROFS)
    vestrano::Fail(shown_name_, FolderNotWritable(folder_, error));
  vestrano::Fail(shown_name_, std::strerror(error));
}

void TPendingFile::Write(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = WriteSome(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
    }
    if (n == 0) Fail(EIO);
    done += static_cast<std::size_t>(n);
  }
}

void TPendingFile::Publish(bool replace) {
  if (::fsync(fd_) != 0) Fail(errno);
  if (unnamed_) {
    if (!replace) {
      // linkat never replaces a name, which is what a new file wants.
      if (::linkat(AT_FDCWD, path_.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) != 0)
        errno == EEXIST ? vestrano::Fail(shown_name_, kFileExists) : Fail(errno);
    } else {
      // linkat cannot replace, so the file gets a random name of its own first and is renamed
      // over the target at once; only between the two could a killed run leave it behind.
      std::string name;
      for (int attempt = 0;; ++attempt) {
        name = folder_ + "/" + RandomHiddenName();
        if (::linkat(AT_FDCWD, path_.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
          break;
        if (errno != EEXIST || attempt == 16) Fail(errno);
      }
      if (::rename(name.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        ::unlink(name.c_str());
        Fail(error);
      }
    }
  } else if (replace) {
    if (::rename(path_.c_str(), target_.c_str()) != 0) Fail(errno);
  } else {
    const int error =
        ::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) == 0
            ? 0
            : errno;
    if (error == EEXIST) vestrano::Fail(shown_name_, kFileExists);
    if (error != 0) Fail(error);
  }
  published_ = true;
  ::close(fd_);  // flushed above: what close could report is moot now
  fd_ = -1;
  // Make the rename itself durable; the file is complete either way, so a failure here is moot.
  const int dir = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  const TOutputTarget target = CheckOutputTarget(path);
  if (!target.problem.empty()) throw EFileWriteError(target.problem);
  TPendingFile file(target.path, target.exists ? target.mode & 07777 : NewFileMode(), path);
  // Root replacing another user's file gives it back to its owner; others cannot, and it stays
  // theirs.
  if (target.exists && (target.uid != ::geteuid() || target.gid != ::getegid())) {
    if (::fchown(file.Fd(), target.uid, target.gid) != 0) {
      // Not allowed to: the new file stays ours, as it would after any write by this user.
    }
  }
  file.Write(bytes);
  file.Publish(true);
}

}  // namespace vestrano
