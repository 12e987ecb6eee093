#include "kernel/model/memory.h"

#include <cassert>
#include <cstdlib>
#include <cstring>

namespace {

std::size_t g_live_blocks = 0;

struct BlockHeader {
  uint32_t size;
  uint32_t magic;
};
static_assert(sizeof(BlockHeader) == kBlockHeaderSize);

// Reads the header in front of a pointer that may not come from this
// allocator. For a foreign heap block those bytes lie in the C library's
// own bookkeeping (or a sanitizer's red zone), which is readable memory;
// the read is only a probe for the magic number, so it is not instrumented.
#if defined(__clang__) || defined(__GNUC__)
__attribute__((no_sanitize("address")))
#endif
BlockHeader peek_header(const void* p) {
  BlockHeader h;
  const volatile unsigned char* src = static_cast<const unsigned char*>(p) - kBlockHeaderSize;
  unsigned char bytes[sizeof h];
  for (std::size_t i = 0; i < sizeof h; ++i) bytes[i] = src[i];
  std::memcpy(&h, bytes, sizeof h);
  return h;
}

}  // namespace

void* GlobalAlloc(uint32_t /*flags*/, uint32_t size) {
  if (size > UINT32_MAX - kBlockHeaderSize) return nullptr;
  void* raw = std::calloc(1, std::size_t{size} + kBlockHeaderSize);
  if (!raw) return nullptr;
  BlockHeader h{size, kBlockMagic};
  std::memcpy(raw, &h, sizeof h);
  ++g_live_blocks;
  return static_cast<unsigned char*>(raw) + kBlockHeaderSize;
}

void GlobalFreeAndNull(void** pp) {
  if (!pp) return;
  void* p = *pp;
  if (p) {
    if (peek_header(p).magic != kBlockMagic) return;
    unsigned char* raw = static_cast<unsigned char*>(p) - kBlockHeaderSize;
    // Spoil the magic so that a stale copy of the pointer is refused.
    const uint32_t spoiled = 0;
    std::memcpy(raw + 4, &spoiled, sizeof spoiled);
    std::free(raw);
    --g_live_blocks;
  }
  *pp = nullptr;
}

uint32_t GlobalSize(const void* p) {
  assert(p && "GlobalSize: ptr");
  if (!p) return 0;
  const BlockHeader h = peek_header(p);
  return h.magic == kBlockMagic ? h.size : 0;
}

void GlobalEnsureSize(void** pp, uint32_t count, uint32_t elem_size) {
  if (!pp) return;
  const uint64_t wanted = uint64_t{count} * elem_size;
  if (wanted > UINT32_MAX) return;
  const uint32_t need = static_cast<uint32_t>(wanted);
  if (*pp && GlobalSize(*pp) >= need) return;
  void* fresh = GlobalAlloc(GPTR, need);
  if (!fresh) return;
  if (*pp) {
    const uint32_t old = GlobalSize(*pp);
    std::memcpy(fresh, *pp, old < need ? old : need);
    GlobalFreeAndNull(pp);
  }
  *pp = fresh;
}

void* copy_block(const void* p) {
  if (!p) return nullptr;
  const uint32_t size = GlobalSize(p);
  void* fresh = GlobalAlloc(GPTR, size);
  if (fresh && size) std::memcpy(fresh, p, size);
  return fresh;
}

void ZeroMemory(void* p, uint32_t length) {
  if (p && length) std::memset(p, 0, length);
}

std::size_t kernel_live_blocks() { return g_live_blocks; }
