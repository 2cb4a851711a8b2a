#include "workbook/errors.h"

namespace vestrano {

EWorkbookFileNameError::EWorkbookFileNameError(const std::string& file_name)
    : EWorkbookError("The file \"" + file_name + "\" could not be processed.\r\n\r\n" +
                     "The file extension is not assigned to any exporter.") {}

EListIndexError::EListIndexError(long long index)
    : std::out_of_range("List index out of bounds (" + std::to_string(index) + ")") {}

}  // namespace vestrano
