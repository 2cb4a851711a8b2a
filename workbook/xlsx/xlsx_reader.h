#pragma once
// Office Open XML workbooks (.xlsx, .xlsm, .xltx, .xltm).
#include <cstddef>
#include <span>

#include "workbook/model.h"
#include "workbook/progress.h"

namespace vestrano::xlsx {

// Reads a whole package held in memory into book (which the caller has cleared).
void Read(TWorkbook& book, std::span<const std::byte> file, ProgressSink* progress);

}  // namespace vestrano::xlsx
