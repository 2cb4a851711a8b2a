#include "workbook/memory.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace vestrano {

void AdviseHugePages(const void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::size_t kHugePage = std::size_t{2} << 20;
  if (data == nullptr || bytes < 2 * kHugePage) return;
  // Only whole huge pages inside the block: the advice never reaches memory around it.
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + kHugePage - 1) & ~(std::uintptr_t{kHugePage} - 1);
  const std::uintptr_t last = (begin + bytes) & ~(std::uintptr_t{kHugePage} - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

}  // namespace vestrano
