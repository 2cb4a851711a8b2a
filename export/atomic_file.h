#pragma once
// Writing a file so that it is either the complete new text or whatever was there before: the
// text goes to a temporary file in the same folder, is flushed, and is renamed over the target.
#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vestrano {

// The file cannot be written; the message names the file and the system's reason.
class EFileWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Replaces the file at path with bytes. On failure the temporary file is removed, an existing
// file at path is left untouched, and EFileWriteError is raised.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

// Tests replace the write(2) call to simulate a full disk; an empty function restores it.
using WriteFunction = std::function<ssize_t(int fd, const void* data, std::size_t size)>;
void SetWriteFunctionForTesting(WriteFunction write);

}  // namespace vestrano
