// Small blocks come from the kernel's own chunks: what a caller sees of a
// block must not depend on where it came from.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "kernel/model/memory.h"

namespace {

// Sizes on both sides of every boundary of the small blocks: empty, the
// smallest classes, the last small size and the first large one.
constexpr uint32_t kSizes[] = {0, 1, 7, 8, 9, 15, 16, 24, 100, 1008, 1015, 1016, 1017, 1024, 5000};

TEST(BlockPool, AGivenBackBlockComesOutZeroedWithItsNewSize) {
  const std::size_t live = kernel_live_blocks();
  for (uint32_t size : kSizes) {
    SCOPED_TRACE(size);
    // Blocks dirtied and given back, then blocks of the same size again.
    std::vector<unsigned char*> dirty;
    for (int k = 0; k < 40; ++k) {
      auto* p = static_cast<unsigned char*>(GlobalAlloc(GPTR, size));
      ASSERT_NE(p, nullptr);
      std::memset(p, 0xA5, size);
      dirty.push_back(p);
    }
    for (unsigned char*& p : dirty) GlobalFreeAndNull(&p);
    std::vector<unsigned char*> again;
    for (int k = 0; k < 40; ++k) {
      auto* p = static_cast<unsigned char*>(GlobalAlloc(GPTR, size));
      ASSERT_NE(p, nullptr);
      EXPECT_EQ(GlobalSize(p), size);
      for (uint32_t i = 0; i < size; ++i) ASSERT_EQ(p[i], 0) << "byte " << i;
      // Blocks never overlap: each one's bytes survive the others' writes.
      std::memset(p, k + 1, size);
      again.push_back(p);
    }
    for (int k = 0; k < 40; ++k)
      for (uint32_t i = 0; i < size; ++i) ASSERT_EQ(again[k][i], k + 1);
    for (unsigned char*& p : again) GlobalFreeAndNull(&p);
  }
  EXPECT_EQ(kernel_live_blocks(), live);
}

TEST(BlockPool, GrowingAndCopyingCrossTheSmallBlockBoundaryKeepingTheBytes) {
  auto* p = static_cast<unsigned char*>(GlobalAlloc(GPTR, 600));
  for (int i = 0; i < 600; ++i) p[i] = static_cast<unsigned char>(i * 13);
  GlobalEnsureSize(&p, 3000, 1);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(GlobalSize(p), 3000u);
  for (int i = 0; i < 600; ++i) ASSERT_EQ(p[i], static_cast<unsigned char>(i * 13));
  for (int i = 600; i < 3000; ++i) ASSERT_EQ(p[i], 0);
  unsigned char* copy = copy_block(p);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(GlobalSize(copy), 3000u);
  EXPECT_EQ(std::memcmp(copy, p, 3000), 0);
  GlobalFreeAndNull(&copy);
  GlobalFreeAndNull(&p);
}

TEST(BlockPool, AStalePointerToAGivenBackBlockIsRefused) {
  const std::size_t live = kernel_live_blocks();
  void* block = GlobalAlloc(GPTR, 40);
  void* const address = block;
  void* stale = block;
  GlobalFreeAndNull(&block);
  EXPECT_EQ(GlobalSize(stale), 0u);
  // Refused: the pointer is left as it was and nothing is freed twice.
  GlobalFreeAndNull(&stale);
  EXPECT_EQ(stale, address);
  EXPECT_EQ(kernel_live_blocks(), live);
  // The slot is whole: the next block of that size is a sound one.
  void* next = GlobalAlloc(GPTR, 40);
  EXPECT_EQ(GlobalSize(next), 40u);
  GlobalFreeAndNull(&next);
}

#if defined(__SANITIZE_ADDRESS__)
#define KELVO_TEST_ADDRESS_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELVO_TEST_ADDRESS_CHECKER 1
#endif
#endif

#if defined(KELVO_TEST_ADDRESS_CHECKER)
// The address checker still sees what a small block's owner must not touch.
TEST(BlockPoolDeathTest, TouchingPastABlockOrAfterFreeingItIsReported) {
  EXPECT_DEATH(
      {
        auto* p = static_cast<volatile unsigned char*>(GlobalAlloc(GPTR, 20));
        p[20] = 1;
      },
      "use-after-poison");
  EXPECT_DEATH(
      {
        auto* p = static_cast<unsigned char*>(GlobalAlloc(GPTR, 20));
        volatile unsigned char* stale = p;
        GlobalFreeAndNull(&p);
        stale[3] = 1;
      },
      "use-after-poison");
}
#endif

}  // namespace
