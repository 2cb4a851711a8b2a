// TWorkbook::LoadFromFile: reader choice by extension, reading the file, handing it to a reader.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "workbook/errors.h"
#include "workbook/memory.h"
#include "workbook/model.h"
#include "workbook/progress.h"
#include "workbook/xls/xls_reader.h"
#include "workbook/xlsx/xlsx_reader.h"

namespace vestrano {

namespace {
enum class Reader { None, Xlsx, Xls };

Reader ChooseReader(std::string_view file_name) {
  const std::size_t sep = file_name.find_last_of('/');
  const std::size_t dot = file_name.rfind('.');
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return Reader::None;
  std::string ext(file_name.substr(dot + 1));
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (ext == "xlsx" || ext == "xlsm" || ext == "xltx" || ext == "xltm") return Reader::Xlsx;
  if (ext == "xls" || ext == "xlt") return Reader::Xls;
  return Reader::None;
}

// Why a file of that type is not read as a workbook; empty for a regular file.
std::string NotAFile(mode_t mode) {
  if (S_ISREG(mode)) return {};
  if (S_ISDIR(mode)) return "It is a folder, not a file.";
  if (S_ISFIFO(mode)) return "It is a named pipe (FIFO), not a file.";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "It is a device, not a file.";
  if (S_ISSOCK(mode)) return "It is a socket, not a file.";
  return "It is not a regular file.";
}

// Read-only open; other programs may hold the file open for reading and writing meanwhile. Only
// a regular file (links followed) is opened: a pipe would block the open or the read for ever,
// and a device need not end.
std::vector<std::byte> ReadWholeFile(const std::string& file_name) {
  auto fail = [&](const std::string& reason) {
    return EFileOpenError("Cannot open file \"" + file_name + "\". " + reason);
  };
  struct stat st {};
  if (::stat(file_name.c_str(), &st) != 0) throw fail(std::strerror(errno));
  if (std::string why = NotAFile(st.st_mode); !why.empty()) throw fail(why);
  // Non-blocking, should a pipe have taken the file's place since.
  const int fd = ::open(file_name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw fail(std::strerror(errno));
  const bool statted = ::fstat(fd, &st) == 0;
  if (!statted || !S_ISREG(st.st_mode)) {
    const std::string why = statted ? NotAFile(st.st_mode) : std::strerror(errno);
    ::close(fd);
    throw fail(why);
  }
  // Read straight into the buffer; a file that grows meanwhile is read to its end all the same.
  std::vector<std::byte> data;
  data.reserve(static_cast<std::size_t>(st.st_size) + 1);
  AdviseHugePages(data.data(), data.capacity());
  data.resize(data.capacity());
  std::size_t used = 0;
  for (;;) {
    if (used == data.size()) data.resize(data.size() * 2);
    const ssize_t n = ::read(fd, data.data() + used, data.size() - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      throw fail(std::strerror(err));
    }
    if (n == 0) break;
    used += static_cast<std::size_t>(n);
  }
  data.resize(used);
  ::close(fd);
  return data;
}
}  // namespace

bool IsWorkbookFileName(std::string_view file_name) {
  return ChooseReader(file_name) != Reader::None;
}

void TWorkbook::LoadFromFile(const std::string& file_name, ProgressSink* progress) {
  const Reader reader = ChooseReader(file_name);
  if (reader == Reader::None) throw EWorkbookFileNameError(file_name);
  const std::vector<std::byte> data = ReadWholeFile(file_name);
  Step(progress, "Import", 0);
  Clear();
  if (reader == Reader::Xlsx)
    xlsx::Read(*this, data, progress, xlsx::ReadOptions{.threads = ReadThreads});
  else
    xls::Read(*this, data, progress);
}

}  // namespace vestrano
