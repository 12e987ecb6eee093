// What the hit tests leave for the designation under the cursor, and the
// interaction state they depend on.
#pragma once

#include <cstdint>

// The part of the object hit by the last hit test (a polygon side, a handle
// of a smart line, a handle of a text frame); 0 for the object itself.
extern uint16_t hit_part;

// 2 while the pointer tool is at rest; 4 and 9 while a point is moved along
// its object by keys or animation; 6 while an attribute tool is current.
inline constexpr uint8_t kInteractionPointerAtRest = 2;
extern uint8_t interaction_state;
