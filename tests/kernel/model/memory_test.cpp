#include "kernel/model/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

TEST(BlockMemory, AllocGivesZeroedBlockWithItsSize) {
  const std::size_t live = kernel_live_blocks();
  auto* p = static_cast<unsigned char*>(GlobalAlloc(GPTR, 24));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(GlobalSize(p), 24u);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(p[i], 0);
  EXPECT_EQ(kernel_live_blocks(), live + 1);
  GlobalFreeAndNull(&p);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(kernel_live_blocks(), live);
}

TEST(BlockMemory, ZeroSizeBlocksAreValidAndDistinct) {
  void* a = GlobalAlloc(0, 0);
  void* b = GlobalAlloc(0, 0);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(GlobalSize(a), 0u);
  GlobalFreeAndNull(&a);
  GlobalFreeAndNull(&b);
}

TEST(BlockMemory, FreeingNullOrForeignPointersChangesNothing) {
  const std::size_t live = kernel_live_blocks();
  void* none = nullptr;
  GlobalFreeAndNull(&none);
  EXPECT_EQ(none, nullptr);

  // A C-library block has no header: it is refused and the pointer kept.
  void* foreign = std::malloc(32);
  std::memset(foreign, 0xAB, 32);
  void* kept = foreign;
  GlobalFreeAndNull(&kept);
  EXPECT_EQ(kept, foreign);
  EXPECT_EQ(GlobalSize(foreign), 0u);
  std::free(foreign);

  // A pointer into the middle of a block is refused too.
  auto* block = static_cast<unsigned char*>(GlobalAlloc(0, 64));
  void* inside = block + 16;
  GlobalFreeAndNull(&inside);
  EXPECT_EQ(inside, block + 16);
  EXPECT_EQ(GlobalSize(inside), 0u);
  GlobalFreeAndNull(&block);
  EXPECT_EQ(kernel_live_blocks(), live);
}

TEST(BlockMemory, CopyBlockCopiesSizeAndBytes) {
  auto* src = static_cast<uint8_t*>(GlobalAlloc(0, 12));
  for (int i = 0; i < 12; ++i) src[i] = static_cast<uint8_t>(i * 7 + 1);
  auto* copy = copy_block(src);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, src);
  EXPECT_EQ(GlobalSize(copy), 12u);
  EXPECT_EQ(std::memcmp(copy, src, 12), 0);
  EXPECT_EQ(copy_block(static_cast<const void*>(nullptr)), nullptr);
  GlobalFreeAndNull(&src);
  GlobalFreeAndNull(&copy);
}

TEST(BlockMemory, EnsureSizeGrowsKeepingContentsAndLeavesLargeBlocks) {
  auto* p = static_cast<uint32_t*>(GlobalAlloc(0, 2 * sizeof(uint32_t)));
  p[0] = 11;
  p[1] = 22;
  GlobalEnsureSize(&p, 10, sizeof(uint32_t));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(GlobalSize(p), 40u);
  EXPECT_EQ(p[0], 11u);
  EXPECT_EQ(p[1], 22u);
  EXPECT_EQ(p[9], 0u);

  uint32_t* before = p;
  GlobalEnsureSize(&p, 3, sizeof(uint32_t));  // already large enough
  EXPECT_EQ(p, before);
  EXPECT_EQ(GlobalSize(p), 40u);

  uint32_t* none = nullptr;
  GlobalEnsureSize(&none, 4, 4);
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(GlobalSize(none), 16u);
  GlobalFreeAndNull(&none);
  GlobalFreeAndNull(&p);
}

TEST(BlockMemory, SizesThatOverflowAreRefused) {
  EXPECT_EQ(GlobalAlloc(0, UINT32_MAX), nullptr);
  EXPECT_EQ(GlobalAlloc(0, UINT32_MAX - 7), nullptr);

  auto* p = static_cast<uint8_t*>(GlobalAlloc(0, 4));
  p[0] = 9;
  uint8_t* before = p;
  // 0x10000 * 0x10000 does not fit in 32 bits: the block stays as it was.
  GlobalEnsureSize(&p, 0x10000, 0x10000);
  EXPECT_EQ(p, before);
  EXPECT_EQ(GlobalSize(p), 4u);
  EXPECT_EQ(p[0], 9);
  GlobalFreeAndNull(&p);
}

TEST(BlockMemoryDeathTest, SizeOfNullStops) {
  EXPECT_DEATH(GlobalSize(nullptr), "GlobalSize");
}

}  // namespace
