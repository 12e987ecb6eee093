// State of the keyboard as the kernel asks for it.
#pragma once

#include <cstdint>

// Modifier key codes.
inline constexpr uint32_t kModifierOption = 8;

struct KPEventsWrapper {
  // True while the modifier key is held. The option key is Alt (or Meta,
  // which some window managers leave free when they keep Alt for themselves).
  static bool modifierKeyDown(uint32_t key_code);
};
