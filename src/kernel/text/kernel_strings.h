// The kernel's user-visible texts: one slot per string of the language
// file, in the file's order. Texts are Mac Roman byte strings. A slot is
// null until a language file (or a built-in default) fills it.
#pragma once

inline constexpr int kKernelStringCount = 976;

extern char* kernel_strings[kKernelStringCount];

// The text of a row, or "" for a row that holds nothing (or is out of range),
// so callers can always format with it.
const char* kernel_string(int row);
