#include "workbook/xls/xls_reader.h"

#include "workbook/errors.h"

namespace vestrano::xls {

void Read(TWorkbook&, std::span<const std::byte>, ProgressSink*) {
  throw EWorkbookFileError("The XLS reader is not implemented yet.");
}

}  // namespace vestrano::xls
