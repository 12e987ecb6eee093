// The kernel's event record: what the figure view hands the kernel for each
// mouse or key event.
#pragma once

#include <cstdint>

// Kinds of event.
enum : int16_t {
  kEventDragStep = 0,
  kEventMouseDown = 1,
  kEventMouseUp = 2,
  kEventKey = 4,
  kEventMouseMoved = 5,
};

// Modifier bits: bits 0 and 1 are the constraining keys, bit 2 the command
// key.
inline constexpr uint16_t kEventConstrainMask = 3;
inline constexpr uint16_t kEventCommandBit = 4;

struct kel_EventRecord {
  int16_t what;        // kind of event
  uint32_t message;    // a key's character in the low byte
  uint16_t modifiers;
  int32_t x;           // mouse point, window pixels
  int32_t y;
  int32_t when;
  void* data;
};
