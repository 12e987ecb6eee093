// Reading TI-83 Plus figures: each record of a version-1 ("ZoVeF") or
// version-2 ("ZoVef") file is replayed as a construction in the current
// figure, which the caller has just made. A record that cannot be read
// stops the import with one message; what was built before it stays.
#pragma once

#include <cstdint>

// Both answer 1: a refused record is reported to the user, and the figure
// keeps what was read before it.
int ti83_read_figure_v2(const char* image, uint32_t length);
int ti83_read_figure(const char* image, uint32_t length);

// Signed 24-bit little-endian value, and that value / 256.
int32_t ti83_read_s24(const uint8_t* bytes);
double ti83_read_fixed24(const uint8_t* bytes);

// The figure coordinates of version-2 calculator coordinates.
double ti83_figure_x(int32_t x);
double ti83_figure_y(int32_t y);

// Text of a shown number: no decimals when whole, else one (or, with
// two_decimals, up to two) rounded half away from zero, with the user's
// decimal separator.
void ti83_number_text(double v, bool two_decimals, char out[64]);
