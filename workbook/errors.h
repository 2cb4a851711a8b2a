#pragma once
// Errors of the workbook layer. Messages that the user sees verbatim are built here once.
#include <stdexcept>
#include <string>

namespace vestrano {

class EWorkbookError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// No reader is assigned to the file's extension.
class EWorkbookFileNameError : public EWorkbookError {
 public:
  explicit EWorkbookFileNameError(const std::string& file_name);
};
// The file is not a valid workbook of its format, or is damaged.
class EWorkbookFileError : public EWorkbookError {
 public:
  using EWorkbookError::EWorkbookError;
};
// An index outside a list: "List index out of bounds (%d)".
class EListIndexError : public std::out_of_range {
 public:
  explicit EListIndexError(long long index);
};
// The file cannot be opened or read; the message names the file and the system's reason.
class EFileOpenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace vestrano
