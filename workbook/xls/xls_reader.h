#pragma once
// BIFF8 workbooks in a compound file (.xls, .xlt).
#include <cstddef>
#include <span>

#include "workbook/model.h"
#include "workbook/progress.h"

namespace vestrano::xls {

// Reads a whole compound file held in memory into book (which the caller has cleared).
void Read(TWorkbook& book, std::span<const std::byte> file, ProgressSink* progress);

}  // namespace vestrano::xls
