#pragma once
// Big blocks that are filled right after they are allocated.
#include <cstddef>

namespace vestrano {

// Asks the system to back the block with huge pages where it can. A big block touched page by
// page costs one page fault per 4 KiB, which dominates filling it on some virtual machines; a
// hint only, and nothing for blocks below a few megabytes.
void AdviseHugePages(const void* data, std::size_t bytes);

}  // namespace vestrano
