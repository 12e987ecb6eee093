#include "kernel/model/memory.h"

#include <cassert>
#include <cstdlib>
#include <cstring>

// The address checker's interface marks memory a program must not touch;
// without the checker its macros do nothing.
#if defined(__has_include)
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#endif
#endif
#if defined(ASAN_POISON_MEMORY_REGION)
#define KELVO_POISON(p, n) ASAN_POISON_MEMORY_REGION((p), (n))
#define KELVO_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION((p), (n))
#else
#define KELVO_POISON(p, n) ((void)(p), (void)(n))
#define KELVO_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace {

std::size_t g_live_blocks = 0;

// Small blocks, the bulk of a figure (values, parents, labels, list nodes,
// texts), come from large chunks carved into size classes of 16 bytes
// instead of one call to the C library each: reading a figure makes
// hundreds of thousands of them, and freeing them one by one left the heap
// so scattered that the next figure's objects sat far apart. A freed block
// goes back to its class and is the next one of its size given out; the
// chunks are kept for the run. The kernel uses its memory from one thread.
// Under AddressSanitizer the bytes of a pooled block outside its size, free
// blocks and the chunks' uncarved ends are poisoned, so an overrun or a use
// after free is still reported until the block is given out again.
constexpr std::size_t kGranule = 16;
constexpr std::size_t kPooledMax = 1024;  // header included
constexpr std::size_t kClasses = kPooledMax / kGranule;
constexpr std::size_t kChunkBytes = std::size_t{64} * 1024;

struct FreeBlock {
  FreeBlock* next;
};

struct SizeClass {
  FreeBlock* free = nullptr;     // blocks given back, most recent first
  unsigned char* carve = nullptr;  // the unused end of the class's chunk
  unsigned char* carve_end = nullptr;
};

SizeClass g_classes[kClasses + 1];

struct Chunk {
  Chunk* next;
};
Chunk* g_chunks = nullptr;

std::size_t class_of(std::size_t total) { return (total + kGranule - 1) / kGranule; }

// A raw block of `total` bytes (header included) from its class, header and
// contents unset.
unsigned char* pool_take(std::size_t total) {
  const std::size_t c = class_of(total);
  SizeClass& sc = g_classes[c];
  const std::size_t bytes = c * kGranule;
  unsigned char* raw = nullptr;
  if (sc.free) {
    raw = reinterpret_cast<unsigned char*>(sc.free) - kBlockHeaderSize;
    KELVO_UNPOISON(raw, bytes);
    sc.free = sc.free->next;
  } else {
    if (sc.carve == nullptr || static_cast<std::size_t>(sc.carve_end - sc.carve) < bytes) {
      // The chunk header keeps the blocks 16-aligned.
      auto* chunk = static_cast<unsigned char*>(std::malloc(kChunkBytes));
      if (!chunk) return nullptr;
      reinterpret_cast<Chunk*>(chunk)->next = g_chunks;
      g_chunks = reinterpret_cast<Chunk*>(chunk);
      sc.carve = chunk + kGranule;
      sc.carve_end = chunk + kChunkBytes;
      KELVO_POISON(sc.carve, static_cast<std::size_t>(sc.carve_end - sc.carve));
    }
    raw = sc.carve;
    sc.carve += bytes;
  }
  // Only the block's own bytes may be touched; the rest of its class's
  // size stays poisoned.
  KELVO_POISON(raw, bytes);
  KELVO_UNPOISON(raw, total);
  return raw;
}

// Takes back a block of `total` bytes whose header is already spoiled. The
// link to the next free block lies where the contents were, so that the
// header stays spoiled for a stale pointer.
void pool_give(unsigned char* raw, std::size_t total) {
  const std::size_t c = class_of(total);
  SizeClass& sc = g_classes[c];
  KELVO_UNPOISON(raw, c * kGranule);
  auto* block = reinterpret_cast<FreeBlock*>(raw + kBlockHeaderSize);
  block->next = sc.free;
  sc.free = block;
  KELVO_POISON(raw, c * kGranule);
}

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

namespace {

void* allocate_block(uint32_t size, bool clear) {
  if (size > UINT32_MAX - kBlockHeaderSize) return nullptr;
  const std::size_t total = std::size_t{size} + kBlockHeaderSize;
  unsigned char* raw = nullptr;
  if (total <= kPooledMax) {
    raw = pool_take(total);
    if (!raw) return nullptr;
    if (clear) std::memset(raw + kBlockHeaderSize, 0, size);
  } else {
    raw = static_cast<unsigned char*>(clear ? std::calloc(1, total) : std::malloc(total));
    if (!raw) return nullptr;
  }
  BlockHeader h{size, kBlockMagic};
  std::memcpy(raw, &h, sizeof h);
  ++g_live_blocks;
  return raw + kBlockHeaderSize;
}

}  // namespace

void* GlobalAlloc(uint32_t /*flags*/, uint32_t size) { return allocate_block(size, true); }

void* GlobalAllocUncleared(uint32_t size) { return allocate_block(size, false); }

void GlobalFreeAndNull(void** pp) {
  if (!pp) return;
  void* p = *pp;
  if (p) {
    const BlockHeader h = peek_header(p);
    if (h.magic != kBlockMagic) return;
    unsigned char* raw = static_cast<unsigned char*>(p) - kBlockHeaderSize;
    // Spoil the magic so that a stale copy of the pointer is refused.
    const uint32_t spoiled = 0;
    std::memcpy(raw + 4, &spoiled, sizeof spoiled);
    const std::size_t total = std::size_t{h.size} + kBlockHeaderSize;
    if (total <= kPooledMax)
      pool_give(raw, total);
    else
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
