#pragma once
// Writing a document only where a document belongs, so that the target is either the complete new
// text or whatever was there before. The text goes to an unnamed file in the target's folder,
// which is given a random hidden name only when it is complete and at once renamed over the
// target: a run killed while writing leaves nothing behind.
#include <sys/types.h>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vestrano {

// The file cannot be written; the message names the file and the reason.
class EFileWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where a document is about to be written, and whether it may be.
struct TOutputTarget {
  // The file that is written: the path given, its symbolic links followed (a link stays a link
  // and the file it names is replaced).
  std::string path;
  // Why nothing may be written there: a whole message naming the path given. Empty when it may.
  std::string problem;
  bool exists = false;  // a file is there already and would be replaced
  // That file's type and permissions, owner and group (when it exists).
  mode_t mode = 0;
  uid_t uid = 0;
  gid_t gid = 0;
};

// "Nelze zapsat soubor PATH: REASON", the form of every message of a file that is not written.
std::string FileWriteMessage(const std::string& path, const std::string& reason);
// The reason when a file that is not to be replaced is there already.
inline constexpr const char* kFileExists = "soubor už existuje a nebude přepsán";

// Judges path as a target for a document: it must name a regular file or nothing yet, in a
// folder that exists and may be written. A file without a write bit in its mode is
// write-protected for everyone, root too. A target that is the same file as one of inputs (same
// device and inode, or the same path) is refused, so that no run overwrites what it reads.
TOutputTarget CheckOutputTarget(const std::string& path,
                                const std::vector<std::string>& inputs = {});

// A new file being written for a target (already judged by CheckOutputTarget; pass its path).
// It has no name until Publish. A library that opens files by name writes it through Path().
// Where the file system has no unnamed files it is a hidden temporary file in the same folder,
// removed on every way out but Publish.
class TPendingFile {
 public:
  // mode: the permissions of the new file (an existing target's own are taken by the caller).
  // Raises EFileWriteError naming shown_name (the target when empty: a link's own path names
  // what the user gave); one that says so when the folder cannot be written.
  TPendingFile(std::string target, mode_t mode, std::string shown_name = {});
  ~TPendingFile();
  TPendingFile(const TPendingFile&) = delete;
  TPendingFile& operator=(const TPendingFile&) = delete;

  int Fd() const { return fd_; }
  const std::string& Path() const { return path_; }
  // Writes all of bytes at the current offset; raises EFileWriteError.
  void Write(std::string_view bytes);
  // Flushes the file and gives it the target's name. replace: an existing file at the target is
  // replaced in one step; otherwise an existing file makes it fail with the reason kFileExists
  // and stay as it is. Raises EFileWriteError.
  void Publish(bool replace);

 private:
  [[noreturn]] void Fail(int error) const;
  std::string target_;
  std::string shown_name_;
  std::string folder_;
  std::string path_;  // /proc/self/fd/N for an unnamed file, else the temporary name
  bool unnamed_ = false;
  bool published_ = false;
  int fd_ = -1;
};

// The permissions a newly created file gets: 0666 less the umask.
mode_t NewFileMode();

// Replaces the file at path with bytes, after CheckOutputTarget(path) (whose problem it raises).
// On failure an existing file at path is left untouched, nothing else stays in its folder, and
// EFileWriteError is raised. An existing file keeps its mode and, where the system allows, its
// owner.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace vestrano
