// Colour wells: push buttons that show a colour and let the user pick
// another one. The kernel reaches a well through its handle and a colour
// word (red in bits 0-7, green 8-15, blue 16-23). Plain C++: the kernel
// includes this header.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

// Sets the well's colour (opaque); nothing when the handle is not a well.
void kp_set_well_color(HWND well, uint32_t color);
// The well's colour word; 0 (Black) when the handle is not a well.
uint32_t kp_well_color(HWND well);
