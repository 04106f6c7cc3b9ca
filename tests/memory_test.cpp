#include "memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

namespace {

bool RefuseAll(std::size_t, void*) {
  return false;
}

bool AllZero(const void* block, std::size_t bytes) {
  const auto* b = static_cast<const unsigned char*>(block);
  return std::all_of(b, b + bytes, [](unsigned char x) { return x == 0; });
}

}  // namespace

TEST(BlockPoolTest, HandsOutDistinctZeroFilledAlignedBlocksAndReusesReleasedOnes) {
  BlockPool pool{32};
  std::vector<void*> blocks;
  // Enough for several chunks.
  for (int i = 0; i < 3000; ++i) {
    void* block = AllocateBlock(&pool);
    ASSERT_NE(block, nullptr);
    ASSERT_TRUE(AllZero(block, 32));
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(block) % 32, 0u) << "a block crosses a cache line";
    std::memset(block, 0xAB, 32);
    blocks.push_back(block);
  }
  EXPECT_EQ(std::set<void*>(blocks.begin(), blocks.end()).size(), blocks.size());
  EXPECT_EQ(pool.liveBlocks, 3000u);

  // A released block comes back zero-filled, although it held other bytes.
  ReleaseBlock(&pool, blocks[10]);
  void* again = AllocateBlock(&pool);
  EXPECT_EQ(again, blocks[10]);
  EXPECT_TRUE(AllZero(again, 32));

  for (void* block : blocks)
    ReleaseBlock(&pool, block);
  EXPECT_EQ(pool.liveBlocks, 0u);
  EXPECT_EQ(pool.chunks, nullptr) << "the chunks go back with the last block";
  EXPECT_EQ(pool.freeBlocks, nullptr);
  ReleaseBlock(&pool, nullptr);  // ignored
  void* fresh = AllocateBlock(&pool);
  ASSERT_NE(fresh, nullptr);
  ReleaseBlock(&pool, fresh);
}

TEST(BlockPoolTest, EveryBlockAsksTheFilterAndARefusalChangesNothing) {
  BlockPool pool{32};
  void* first = AllocateBlock(&pool);
  ASSERT_NE(first, nullptr);
  SetAllocationFilter(RefuseAll, nullptr);
  EXPECT_EQ(AllocateBlock(&pool), nullptr) << "the chunk has room, but the filter refused";
  SetAllocationFilter(nullptr, nullptr);
  EXPECT_EQ(pool.liveBlocks, 1u);
  void* second = AllocateBlock(&pool);
  EXPECT_EQ(static_cast<unsigned char*>(second), static_cast<unsigned char*>(first) + 32)
      << "the refused block was not used up";
  ReleaseBlock(&pool, first);
  ReleaseBlock(&pool, second);
}
