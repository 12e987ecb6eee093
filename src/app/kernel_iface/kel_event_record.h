// The event record the figure view gives the kernel's mouse and key
// handlers, and the record of a key queued for later delivery.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct kel_EventRecord;
using kel_event_handler = void (*)(kel_EventRecord* record);

// Values of kel_EventRecord::what.
inline constexpr int16_t kEventMove = 0;
inline constexpr int16_t kEventButtonDown = 1;
inline constexpr int16_t kEventButtonUp = 2;
inline constexpr int16_t kEventKeyDown = 4;

// Bits of kel_EventRecord::modifiers, as the kernel tests them.
inline constexpr uint16_t kModifierStatusCommand = 4;
inline constexpr uint16_t kModifierStatusShift = 3;
inline constexpr uint16_t kModifierStatusOption = 8;

struct kel_EventRecord {
  int16_t what;
  uint32_t message;  // character code of a key record
  uint16_t modifiers;
  tagPOINT where;  // point in view coordinates, truncated
  int32_t when;
  kel_event_handler handler;  // a queued key record: the function it goes to
};
