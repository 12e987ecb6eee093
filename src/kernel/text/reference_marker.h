// Reference markers inside texts: a dollar sign, the reference number n in
// decimal (n >= 1, kept in 16 bits) and a dollar sign.
#pragma once

#include <cstdint>

// n and the marker's length (digits + 2) when a marker starts at `at`;
// 0 otherwise, "$0$" included.
uint16_t parse_reference_marker(const char* at, uint16_t* length);
// The marker of reference n, in a static buffer the next call reuses.
const char* format_reference_marker(int n);
