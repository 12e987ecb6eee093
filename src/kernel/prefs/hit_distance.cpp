#include "kernel/prefs/hit_distance.h"

// The factory "Tolerance" of two tenths of a centimetre at 38 pixels per
// centimetre, truncated, until the preferences are read.
int16_t pick_tolerance = 7;
