#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "export/atomic_file.h"
#include "support/temp_dir.h"

namespace vestrano {
namespace {

using test::TempDir;

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// The message of the error the write raises, or "" when it does not raise one.
std::string WriteError(const std::string& path, const std::string& text) {
  try {
    WriteFileAtomically(path, text);
  } catch (const EFileWriteError& e) {
    return e.what();
  }
  return {};
}

TEST(ExportFile, WritesAndReplacesLeavingOnlyTheTarget) {
  TempDir dir;
  const std::string path = dir / "kh.xml";
  WriteFileAtomically(path, std::string("first\r\n\0second", 15));
  EXPECT_EQ(ReadFile(path), std::string("first\r\n\0second", 15));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);  // not the temporary file's private mode

  ::chmod(path.c_str(), 0640);
  WriteFileAtomically(path, "replaced");
  EXPECT_EQ(ReadFile(path), "replaced");
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // an existing file keeps its mode
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"kh.xml"});
}

TEST(ExportFile, FolderThatCannotBeWrittenNamesTheFileAndTheReason) {
  // Root ignores permission bits, so the folders here cannot exist at all.
  TempDir dir;
  WriteFile(dir / "plain", "a regular file");
  const struct {
    std::string path;
    int error;
  } cases[] = {
      {dir / "plain/kh.xml", ENOTDIR},
      {dir / "missing/kh.xml", ENOENT},
  };
  for (const auto& c : cases) {
    const std::string message = WriteError(c.path, "text");
    EXPECT_NE(message.find(c.path), std::string::npos) << message;
    EXPECT_NE(message.find(std::strerror(c.error)), std::string::npos) << message;
  }
  // A folder in place of the file: the rename fails, the temporary file goes.
  fs::create_directory(dir / "kh.xml");
  EXPECT_NE(WriteError(dir / "kh.xml", "text"), "");
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"kh.xml", "plain"}));
}

TEST(ExportFile, FailedWriteKeepsThePreviousFile) {
  TempDir dir;
  const std::string path = dir / "kh.xml";
  WriteFile(path, "the previous good document");
  // The disk fills up after the first few bytes.
  int calls = 0;
  SetWriteFunctionForTesting([&](int fd, const void* data, std::size_t size) -> ssize_t {
    if (calls++ == 0) return ::write(fd, data, std::min<std::size_t>(size, 5));
    errno = ENOSPC;
    return -1;
  });
  const std::string message = WriteError(path, std::string(100000, 'x'));
  SetWriteFunctionForTesting({});
  EXPECT_GE(calls, 2);
  EXPECT_NE(message.find(path), std::string::npos) << message;
  EXPECT_NE(message.find(std::strerror(ENOSPC)), std::string::npos) << message;
  EXPECT_EQ(ReadFile(path), "the previous good document");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"kh.xml"});
}

TEST(ExportFile, FullFileSystemKeepsThePreviousFile) {
  TempDir dir;
  const std::string mount_point = dir / "small";
  fs::create_directory(mount_point);
  if (::mount("tmpfs", mount_point.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
  }
  struct Unmount {
    std::string at;
    ~Unmount() { ::umount(at.c_str()); }
  } unmount{mount_point};
  const std::string path = mount_point + "/kh.xml";
  WriteFileAtomically(path, "the previous good document");
  const std::string message = WriteError(path, std::string(1 << 20, 'x'));
  EXPECT_NE(message.find(path), std::string::npos) << message;
  EXPECT_NE(message.find(std::strerror(ENOSPC)), std::string::npos) << message;
  EXPECT_EQ(ReadFile(path), "the previous good document");
  EXPECT_EQ(Names(mount_point), std::vector<std::string>{"kh.xml"});
}

}  // namespace
}  // namespace vestrano
