// The hit distance of the hit tests, in figure pixels. Start-up sets it from
// the screen resolution (a fifth of a centimetre); every test compares
// strictly below it.
#pragma once

#include <cstdint>

extern int16_t pick_tolerance;
