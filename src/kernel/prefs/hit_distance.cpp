#include "kernel/prefs/hit_distance.h"

// A fifth of the 38 pixels of a centimetre at 96 dots per inch, until the
// screen is known.
int16_t pick_tolerance = 8;
