// The kernel's event record: what the figure view hands the kernel's mouse
// and key handlers for each event, and the record of a key queued for later
// delivery.
#pragma once

#include <cstdint>

struct kel_EventRecord;
using kel_event_handler = void (*)(kel_EventRecord* record);

// Kinds of event.
enum : int16_t {
  kEventDragStep = 0,  // a mouse move, also each step of a drag
  kEventMouseDown = 1,
  kEventMouseUp = 2,
  kEventKey = 4,
  kEventMouseMoved = 5,
};

// Modifier bits (the word of KPEventsWrapper::modifierKeyStatus): bits 0 and
// 1 are the constraining (selection-extending) keys, bit 2 the command key.
inline constexpr uint16_t kEventConstrainMask = 3;
inline constexpr uint16_t kEventCommandBit = 4;
inline constexpr uint16_t kModifierStatusShift = 3;
inline constexpr uint16_t kModifierStatusCommand = 4;
inline constexpr uint16_t kModifierStatusOption = 8;

struct kel_EventRecord {
  int16_t what;        // kind of event
  uint32_t message;    // a key's character in the low byte
  uint16_t modifiers;
  int32_t x;           // mouse point, window pixels, truncated
  int32_t y;
  int32_t when;        // not filled by the view
  kel_event_handler handler;  // a queued key record: the function it goes to
};
