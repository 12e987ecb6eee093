// Reference markers inside texts: a dollar sign, the reference number n in
// decimal (kept in 16 bits; references are numbered from 1) and a dollar
// sign.
#pragma once

#include <cstdint>

// n and the marker's length (digits + 2) when a marker starts at `at`
// ("$0$" gives 0 with length 3); 0 with length 0 when none starts there.
uint16_t parse_reference_marker(const char* at, uint16_t* length);
// The marker of reference n, in a static buffer the next call reuses.
const char* format_reference_marker(int n);
