#include "workbook/xlsx/xlsx_reader.h"

#include "workbook/errors.h"

namespace vestrano::xlsx {

void Read(TWorkbook&, std::span<const std::byte>, ProgressSink*) {
  throw EWorkbookFileError("The XLSX reader is not implemented yet.");
}

}  // namespace vestrano::xlsx
