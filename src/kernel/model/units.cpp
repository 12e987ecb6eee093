#include "kernel/model/units.h"

// 96 dots per inch until the screen is known.
double pixels_per_unit = 38.0;
