#include <sys/mman.h>

#include <cstdint>

#include "page_advice.h"

namespace {

// Linux maps large pages of 2 MiB, each on a boundary of its size, where a range asks for them.
constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;

}  // namespace

void AdviseLargePages(void* block, std::size_t bytes) {
  const auto start = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t first = (start + kLargePage - 1) & ~(kLargePage - 1);
  const std::uintptr_t last = (start + bytes) & ~(kLargePage - 1);
  // Only whole large pages inside the block; a system without them ignores the advice.
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}
