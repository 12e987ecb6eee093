// Colour names as figure files spell them: the short codes of the colour
// table, and the 16 colour names of older files, which name entries of the
// default palette.
#pragma once

#include <cstdint>

// The colour of a short code, else of an older colour name; -1 when neither.
int64_t txt_color_by_name(const char* name, int length);
