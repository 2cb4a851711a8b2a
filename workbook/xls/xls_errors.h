#pragma once
// Messages of the XLS reader that the user sees verbatim, kept in one place.
#include <string>

#include "workbook/errors.h"

namespace vestrano::xls {

inline constexpr const char* kNotXlsMessage = "The file is not a valid XLS (Excel 97-2003) file.";
inline constexpr const char* kOldFormatMessage =
    "The file can't be opened because it has an old XLS format (Excel 5.0/95).\r\n\r\n"
    "Please open the file in Excel and resave it as XLS for Excel 97-XP or XLSX for Excel "
    "2007-2010.";
inline constexpr const char* kExpectedContinueMessage = "Expected CONTINUE not found.";
inline constexpr const char* kEncryptedMessage =
    "The file is encrypted with a password and can't be read.";

// A damaged compound file: the fixed message first, then what is wrong.
inline EWorkbookFileError DamagedCompoundFile(const std::string& detail) {
  return EWorkbookFileError(std::string(kNotXlsMessage) +
                            " The compound file is damaged: " + detail + ".");
}

}  // namespace vestrano::xls
