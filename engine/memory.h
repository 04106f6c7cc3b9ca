#pragma once

#include <cstddef>

// Every allocation of the engine passes through here. None of them throws or ends the process:
// a failure returns null, and the caller turns it into a result.

// Returns `bytes` uninitialised bytes, or null.
void* AllocateMemory(std::size_t bytes);

// Gives back the end of a block of AllocateMemory, keeping its first `bytes` (no more than it
// holds). Returns the block, which may have moved with those bytes. Never fails and asks no
// filter: a block that the system cannot shrink is returned as it is.
void* ShrinkMemory(void* block, std::size_t bytes);

// Releases a block of AllocateMemory; null is ignored.
void ReleaseMemory(void* block);

// A pool of equal blocks for the many small records of one kind: it carves them from large
// chunks, so that they lie close together and cost no per-block bookkeeping. Each block is still
// one allocation of its own that asks the filter below and can fail. Not thread-safe.
struct BlockPool {
  std::size_t blockBytes;           // a power of two from 16 to 64: blocks never cross a cache line
  void* freeBlocks = nullptr;       // released blocks, each holding the link to the next
  unsigned char* unused = nullptr;  // the part of the newest chunk never handed out
  unsigned char* unusedEnd = nullptr;
  void* chunks = nullptr;       // every chunk, newest first
  std::size_t chunkBlocks = 0;  // blocks in the newest chunk
  std::size_t liveBlocks = 0;   // blocks handed out and not yet released
};

// Returns one zero-filled block of `pool->blockBytes`, or null when the filter refuses it or no
// chunk can be had.
void* AllocateBlock(BlockPool* pool);

// Gives a block of AllocateBlock back to its pool. When no block of the pool is in use any more,
// all its chunks go back to the system.
void ReleaseBlock(BlockPool* pool, void* block);

// Asks the processor to bring the cache line at `address` in, without waiting for it: a hint
// that never faults, whatever the address.
// Every compiler that builds Lantra (g++, clang, MinGW-w64's g++) has the builtin.
inline void Prefetch(const void* address) { __builtin_prefetch(address); }

// A seam for tests: while a filter is set, each allocation asks it first and fails when it
// returns false. Pass null to remove it.
using AllocationFilter = bool (*)(std::size_t bytes, void* context);
void SetAllocationFilter(AllocationFilter filter, void* context);
