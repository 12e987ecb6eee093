// Stepping through kernel texts one character at a time. A character takes
// one or two bytes in the current C-library locale.
#pragma once

// Byte length of the character at p: 1 or 2, 0 at the terminating zero,
// -1 for bytes that start no character.
int mbcs_char_len(const char* p);

// How far to advance from p: the character's length, 1 for a byte that
// starts no character (so a walk always moves forward), 0 at the end.
int mbcs_char_step(const char* p);

// Start of the character that ends at pos; pos itself when pos is start or
// no character ends exactly there. pos must lie within the string, at most
// at its terminating zero.
const char* mbcs_prev_char(const char* start, const char* pos);
inline char* mbcs_prev_char(char* start, char* pos) {
  return const_cast<char*>(mbcs_prev_char(static_cast<const char*>(start), static_cast<const char*>(pos)));
}

// Replaces by a blank every byte below 32 that forms a one-byte character.
void mbcs_blank_controls(char* s);

const char* str_find(const char* haystack, const char* needle);
