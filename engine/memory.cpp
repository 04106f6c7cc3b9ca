#include "memory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/page_advice.h"

namespace {

AllocationFilter g_filter = nullptr;
void* g_filterContext = nullptr;

bool Allowed(std::size_t bytes) { return g_filter == nullptr || g_filter(bytes, g_filterContext); }

// A chunk starts with the link to the chunk made before it; its blocks follow from the first
// cache line boundary on.
struct ChunkHeader {
  void* previous;
};

constexpr std::size_t kCacheLine = 64;
constexpr std::size_t kFirstChunkBlocks = 256;
constexpr std::size_t kLargestChunkBlocks = std::size_t{1} << 18;

// Blocks from this size on are advised to take large pages: the texts of the tables and the
// largest chunks of a pool, a few of them in a generation.
constexpr std::size_t kLargeBlockBytes = std::size_t{4} << 20;

void AdviseIfLarge(void* block, std::size_t bytes) {
  if (block != nullptr && bytes >= kLargeBlockBytes) AdviseLargePages(block, bytes);
}

// Adds a chunk twice as large as the last, up to kLargestChunkBlocks. False when none can be had.
bool AddChunk(BlockPool* pool) {
  std::size_t blocks = pool->chunkBlocks == 0 ? kFirstChunkBlocks : pool->chunkBlocks * 2;
  if (blocks > kLargestChunkBlocks) blocks = kLargestChunkBlocks;
  const std::size_t bytes = sizeof(ChunkHeader) + kCacheLine + blocks * pool->blockBytes;
  void* allocation = std::malloc(bytes);
  if (allocation == nullptr) return false;
  AdviseIfLarge(allocation, bytes);
  auto* header = static_cast<ChunkHeader*>(allocation);
  header->previous = pool->chunks;
  const auto first = reinterpret_cast<std::uintptr_t>(header + 1);
  pool->unused = reinterpret_cast<unsigned char*>((first + kCacheLine - 1) & ~(kCacheLine - 1));
  pool->unusedEnd = pool->unused + blocks * pool->blockBytes;
  pool->chunks = allocation;
  pool->chunkBlocks = blocks;
  return true;
}

}  // namespace

void* AllocateMemory(std::size_t bytes) {
  void* block = Allowed(bytes) ? std::malloc(bytes == 0 ? 1 : bytes) : nullptr;
  AdviseIfLarge(block, bytes);
  return block;
}

void* ShrinkMemory(void* block, std::size_t bytes) {
  // Shrinking moves nothing: the C library splits the block, or unmaps the end of a large one.
  void* smaller = std::realloc(block, bytes == 0 ? 1 : bytes);
  return smaller != nullptr ? smaller : block;
}

void ReleaseMemory(void* block) { std::free(block); }

void* AllocateBlock(BlockPool* pool) {
  if (!Allowed(pool->blockBytes)) return nullptr;
  void* block = pool->freeBlocks;
  if (block != nullptr) {
    std::memcpy(&pool->freeBlocks, block, sizeof(void*));
  } else {
    if (pool->unused == pool->unusedEnd && !AddChunk(pool)) return nullptr;
    block = pool->unused;
    pool->unused += pool->blockBytes;
  }
  ++pool->liveBlocks;
  return std::memset(block, 0, pool->blockBytes);
}

void ReleaseBlock(BlockPool* pool, void* block) {
  if (block == nullptr) return;
  std::memcpy(block, &pool->freeBlocks, sizeof(void*));
  pool->freeBlocks = block;
  if (--pool->liveBlocks != 0) return;
  // Nothing is in use: the whole pool goes back, and the next block starts a small chunk again.
  for (void* chunk = pool->chunks; chunk != nullptr;) {
    void* previous = static_cast<ChunkHeader*>(chunk)->previous;
    std::free(chunk);
    chunk = previous;
  }
  *pool = BlockPool{pool->blockBytes};
}

void SetAllocationFilter(AllocationFilter filter, void* context) {
  g_filter = filter;
  g_filterContext = context;
}
