#pragma once
// Office Open XML workbooks (.xlsx, .xlsm, .xltx, .xltm).
#include <cstddef>
#include <cstdint>
#include <span>

#include "workbook/model.h"
#include "workbook/progress.h"

namespace vestrano::xlsx {

struct ReadOptions {
  // Worksheets read at once, each on a thread of its own; 0: one per processor core.
  int threads = 0;
  // Only worksheet parts at least this big (inflated) are worth a thread; the workbook is read
  // sheet after sheet unless two of its parts are.
  std::uint64_t parallel_min_bytes = std::uint64_t{2} << 20;
};

// Reads a whole package held in memory into book (which the caller has cleared). The book is
// the same however many threads read it, but for the order of its string pool.
void Read(TWorkbook& book, std::span<const std::byte> file, ProgressSink* progress,
          const ReadOptions& options = {});

}  // namespace vestrano::xlsx
