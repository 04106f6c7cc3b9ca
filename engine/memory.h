#pragma once

#include <cstddef>

// Every allocation of the engine passes through here. None of them throws or ends the process:
// a failure returns null, and the caller turns it into a result.

// Returns `bytes` uninitialised bytes, or null.
void* AllocateMemory(std::size_t bytes);

// Returns `bytes` zero bytes, or null.
void* AllocateZeroed(std::size_t bytes);

// Releases a block of AllocateMemory or AllocateZeroed; null is ignored.
void ReleaseMemory(void* block);

// A seam for tests: while a filter is set, each allocation asks it first and fails when it
// returns false. Pass null to remove it.
using AllocationFilter = bool (*)(std::size_t bytes, void* context);
void SetAllocationFilter(AllocationFilter filter, void* context);
