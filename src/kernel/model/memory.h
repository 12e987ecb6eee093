// Kernel block memory. Every kernel record is a block with an 8-byte header
// {u32 size, u32 magic} in front of the caller's bytes, so that the size of
// a block can be asked for later and a pointer that did not come from here
// is refused by the free routine instead of reaching the C library.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint32_t kBlockMagic = 0x1F67B38E;
inline constexpr uint32_t kBlockHeaderSize = 8;

// Flag words callers pass to GlobalAlloc; blocks are always zero-filled.
inline constexpr uint32_t GMEM_FIXED = 0x0000;
inline constexpr uint32_t GMEM_ZEROINIT = 0x0040;
inline constexpr uint32_t GPTR = GMEM_FIXED | GMEM_ZEROINIT;

// A zero-filled block of `size` bytes, or null when memory runs out or the
// size with its header does not fit in 32 bits.
void* GlobalAlloc(uint32_t flags, uint32_t size);

// A block as GlobalAlloc makes it, but with its bytes left as they come:
// for a caller that clears each part before it first reads it (the object
// record pool clears a record when it hands it out, so a new pool block is
// not cleared twice). Freed and sized as every other block.
void* GlobalAllocUncleared(uint32_t size);

// Frees the block *pp points to and clears *pp. A null *pp is cleared and
// nothing is freed; a pointer without the block header is left untouched.
void GlobalFreeAndNull(void** pp);

// The size stored in the block's header, 0 for a pointer without one.
// The pointer must not be null.
uint32_t GlobalSize(const void* p);

// Makes *pp hold at least count * elem_size bytes, keeping its contents.
// A request whose product does not fit in 32 bits, or a failed allocation,
// leaves the block unchanged.
void GlobalEnsureSize(void** pp, uint32_t count, uint32_t elem_size);

// A new block of the same size holding a copy of the bytes; null for null
// or when memory runs out.
void* copy_block(const void* p);

void ZeroMemory(void* p, uint32_t length);

// Number of blocks currently allocated and not yet freed. Used by tests and
// diagnostics to prove that every block is freed exactly once.
std::size_t kernel_live_blocks();

// Typed forms, so callers can pass the address of any pointer.
template <class T>
inline void GlobalFreeAndNull(T** pp) {
  void* p = const_cast<void*>(static_cast<const void*>(*pp));
  GlobalFreeAndNull(&p);
  *pp = static_cast<T*>(p);
}

template <class T>
inline void GlobalEnsureSize(T** pp, uint32_t count, uint32_t elem_size) {
  void* p = static_cast<void*>(*pp);
  GlobalEnsureSize(&p, count, elem_size);
  *pp = static_cast<T*>(p);
}

template <class T>
inline T* copy_block(const T* p) {
  return static_cast<T*>(copy_block(static_cast<const void*>(p)));
}

// Allocates one zeroed record of type T (or n of them) from block memory.
template <class T>
inline T* alloc_block(uint32_t n = 1) {
  const uint64_t bytes = uint64_t{n} * sizeof(T);
  if (bytes > UINT32_MAX) return nullptr;
  return static_cast<T*>(GlobalAlloc(GPTR, static_cast<uint32_t>(bytes)));
}
