// The hit distance of the hit tests, in figure pixels: the "Tolerance"
// preference in tenths of a centimetre at the screen's resolution,
// truncated, set at start-up and whenever the preferences are read again.
// Every test compares strictly below it.
#pragma once

#include <cstdint>

extern int16_t pick_tolerance;
