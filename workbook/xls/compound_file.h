#pragma once
// The compound-file layer: finds the workbook stream of a compound file held in memory and hands
// it over as bytes. Knows nothing of BIFF records.
#include <cstddef>
#include <span>
#include <vector>

namespace vestrano::xls {

// The stream's bytes point into the file when its sectors lie in one run (the usual case, and
// it spares a copy of a large stream), otherwise into owned. A copy would point into the
// original's buffer, so there is none; a move hands the buffer over, and bytes stays valid.
struct StreamBytes {
  StreamBytes() = default;
  StreamBytes(const StreamBytes&) = delete;
  StreamBytes& operator=(const StreamBytes&) = delete;
  StreamBytes(StreamBytes&&) = default;
  StreamBytes& operator=(StreamBytes&&) = default;

  std::vector<std::byte> owned;
  std::span<const std::byte> bytes;
};

// The top-level "Workbook" stream. Raises EWorkbookFileError with the user-facing messages when
// the file is not a compound file, holds only an old-format "Book" stream, holds neither, or its
// structure is damaged (sector numbers out of range, chains that loop or end early).
StreamBytes ReadWorkbookStream(std::span<const std::byte> file);

}  // namespace vestrano::xls
