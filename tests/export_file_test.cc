#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "export/atomic_file.h"
#include "export/atomic_file_testing.h"
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

// Every entry of a folder and below, with its type, mode and (for files and links) contents.
std::string Snapshot(const std::string& folder) {
  std::vector<std::string> lines;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    struct stat st {};
    ::lstat(e.path().c_str(), &st);
    std::string line = fs::relative(e.path(), folder).string() + " " + std::to_string(st.st_mode);
    if (S_ISREG(st.st_mode)) line += " " + ReadFile(e.path());
    if (S_ISLNK(st.st_mode)) line += " -> " + fs::read_symlink(e.path()).string();
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

TEST(ExportFile, TargetsThatAreNoPlaceForADocumentAreRefusedAndLeftAsTheyWere) {
  TempDir dir;
  const bool root = ::geteuid() == 0;
  WriteFile(dir / "kh.xlsx", "the workbook");
  fs::create_directory(dir / "folder");
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
  WriteFile(dir / "protected.xml", "a filing kept on purpose");
  ::chmod((dir / "protected.xml").c_str(), 0444);
  fs::create_symlink("protected.xml", dir / "link-to-protected.xml");
  fs::create_symlink("kh.xlsx", dir / "link-to-input.xml");
  fs::create_directory(dir / "read-only");
  WriteFile(dir / "read-only/kh.xml", "writable, in a folder that is not");
  ::chmod((dir / "read-only").c_str(), 0555);
  // A device node: only root may make one; a copy of /dev/full, never the real one.
  const bool device = root && ::mknod((dir / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
  const std::vector<std::string> inputs = {dir / "kh.xlsx"};

  const struct {
    std::string path;
    std::string reason;
    bool skip = false;
  } cases[] = {
      {dir / "missing/kh.xml", "složka " + dir / "missing" + " neexistuje"},
      {dir / "kh.xlsx/kh.xml", dir / "kh.xlsx" + " není složka"},
      {dir / "folder", "je to složka, ne soubor"},
      {dir / "folder/", "cesta končí lomítkem, název souboru v ní chybí"},
      {dir / "full", "je to zařízení, ne obyčejný soubor", !device},
      {dir / "pipe", "je to roura (FIFO), ne obyčejný soubor"},
      {dir / "kh.xlsx", "je to týž soubor jako vstup " + dir / "kh.xlsx"},
      {dir / "../" + fs::path(dir.path()).filename().string() + "/kh.xlsx",
       "je to týž soubor jako vstup " + dir / "kh.xlsx"},
      {dir / "link-to-input.xml", "je to týž soubor jako vstup " + dir / "kh.xlsx"},
      {dir / "protected.xml", "soubor je chráněn proti zápisu"},
      {dir / "link-to-protected.xml", "soubor je chráněn proti zápisu"},
      // Root may write there; everyone else is told that it is the folder.
      {dir / "read-only/kh.xml",
       "do složky " + dir / "read-only" + " nelze zapisovat (" + std::strerror(EACCES) + ")", root},
  };
  const std::string before = Snapshot(dir.path());
  for (const auto& c : cases) {
    if (c.skip) continue;
    const std::string message = "Nelze zapsat soubor " + c.path + ": " + c.reason;
    EXPECT_EQ(CheckOutputTarget(c.path, inputs).problem, message);
    // The write itself refuses the same, the input apart (the write does not know it).
    if (c.reason.find("vstup") == std::string::npos) {
      EXPECT_EQ(WriteError(c.path, "x"), message);
    }
    EXPECT_EQ(Snapshot(dir.path()), before) << c.path;
  }
  if (!device) std::printf("device node: skipped (only root can make one)\n");
  if (root) std::printf("read-only folder: skipped (root may write there)\n");
  ::chmod((dir / "read-only").c_str(), 0755);
}

TEST(ExportFile, ALinkStaysAndTheFileItNamesIsReplaced) {
  TempDir dir;
  fs::create_directory(dir / "filings");
  WriteFile(dir / "filings/kh.xml", "the previous filing");
  fs::create_symlink("filings/kh.xml", dir / "current.xml");
  const TOutputTarget target = CheckOutputTarget(dir / "current.xml");
  EXPECT_EQ(target.problem, "");
  EXPECT_TRUE(target.exists);
  EXPECT_EQ(fs::canonical(target.path), fs::canonical(dir / "filings/kh.xml"));
  WriteFileAtomically(dir / "current.xml", "the new filing");
  EXPECT_TRUE(fs::is_symlink(dir / "current.xml"));
  EXPECT_EQ(ReadFile(dir / "filings/kh.xml"), "the new filing");
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"current.xml", "filings"}));
  EXPECT_EQ(Names(dir / "filings"), std::vector<std::string>{"kh.xml"});
  // A link to nothing yet makes the file it names.
  fs::create_symlink("filings/new.xml", dir / "next.xml");
  WriteFileAtomically(dir / "next.xml", "next");
  EXPECT_EQ(ReadFile(dir / "filings/new.xml"), "next");
  EXPECT_TRUE(fs::is_symlink(dir / "next.xml"));
  // A failed write names the path the user gave, not the file the link led to.
  SetWriteFunctionForTesting([](int, const void*, std::size_t) -> ssize_t {
    errno = ENOSPC;
    return -1;
  });
  const std::string message = WriteError(dir / "current.xml", "never written");
  SetWriteFunctionForTesting({});
  EXPECT_EQ(message, "Nelze zapsat soubor " + dir / "current.xml" + ": " + std::strerror(ENOSPC));
  EXPECT_EQ(ReadFile(dir / "filings/kh.xml"), "the new filing");
}

TEST(ExportFile, AKilledWriteLeavesNothingInTheFolder) {
  TempDir dir;
  const std::string path = dir / "kh.xml";
  for (bool existing : {false, true}) {
    if (existing) WriteFile(path, "the previous filing");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Killed after the first part of the text is on disk.
      int calls = 0;
      SetWriteFunctionForTesting([&](int fd, const void* data, std::size_t size) -> ssize_t {
        if (calls++ == 1) ::raise(SIGKILL);
        return ::write(fd, data, std::min<std::size_t>(size, 4096));
      });
      WriteFileAtomically(path, std::string(1 << 20, 'x'));
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
    if (existing) {
      EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"kh.xml"});
      EXPECT_EQ(ReadFile(path), "the previous filing");
    } else {
      EXPECT_EQ(Names(dir.path()), std::vector<std::string>{});
    }
  }
}

TEST(ExportFile, WithoutUnnamedFilesTheTemporaryFileGoesOnEveryFailure) {
  TempDir dir;
  SetUnnamedFilesForTesting(false);
  const std::string path = dir / "kh.xml";
  WriteFileAtomically(path, "first");
  EXPECT_EQ(ReadFile(path), "first");
  SetWriteFunctionForTesting([](int, const void*, std::size_t) -> ssize_t {
    errno = ENOSPC;
    return -1;
  });
  EXPECT_NE(WriteError(path, "second"), "");
  SetWriteFunctionForTesting({});
  SetUnnamedFilesForTesting(true);
  EXPECT_EQ(ReadFile(path), "first");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"kh.xml"});
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
