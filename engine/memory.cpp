#include "memory.h"

#include <cstdlib>

namespace {

AllocationFilter g_filter = nullptr;
void* g_filterContext = nullptr;

bool Allowed(std::size_t bytes) { return g_filter == nullptr || g_filter(bytes, g_filterContext); }

}  // namespace

void* AllocateMemory(std::size_t bytes) {
  return Allowed(bytes) ? std::malloc(bytes == 0 ? 1 : bytes) : nullptr;
}

void* AllocateZeroed(std::size_t bytes) {
  return Allowed(bytes) ? std::calloc(1, bytes == 0 ? 1 : bytes) : nullptr;
}

void ReleaseMemory(void* block) { std::free(block); }

void SetAllocationFilter(AllocationFilter filter, void* context) {
  g_filter = filter;
  g_filterContext = context;
}
