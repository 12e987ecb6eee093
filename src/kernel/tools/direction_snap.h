// The direction snap of the constrain modifier (Shift): a vector turned to
// the nearest multiple of 15 degrees, optionally with a length of a whole
// number of length units.
#pragma once

// Snaps (dx, dy) in place; *length (when not null) receives the length the
// snap gives. With snap_length the length becomes a whole number (at least
// 1) of pixels_per_unit.
void snap_direction(double* dx, double* dy, double* length, bool snap_length);
