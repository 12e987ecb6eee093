// Conversions that the figure-file readers and writers apply to strings:
// 8-bit characters of files written on another platform, the decimal point
// against the user's decimal separator, and the separator after a number
// reference inside a text.
#pragma once

#include <cstddef>
#include <cstdint>

struct object;

// The user's separators, taken from the language file: the decimal
// separator, a second character and the list separator.
extern char decimal_separator;
extern char second_separator;
extern char list_separator;
// Takes the first three characters of s (missing ones keep their value).
void set_locale_separators(const char* s);
// Back to the separators of start-up (',', '.', ';'), before any language.
void reset_locale_separators();

// Translation tables: entry i replaces byte 128 + i.
extern const uint8_t charset_windows_to_mac[128];  // MS-Windows file -> kernel (Mac Roman)
extern const uint8_t charset_dos_to_mac[128];      // DOS file -> kernel
extern const uint8_t charset_mac_to_windows[128];  // Mac Roman -> Windows-1252
extern const uint8_t charset_dos_to_windows[128];  // DOS file -> Windows-1252

// Translates a string read from a file of file_platform into the kernel's
// characters; each resulting byte 190 becomes the two letters "pi".
// owned 0: text is a NUL-terminated string in a buffer of `capacity` bytes
// (0: its own length + 1), converted in place; what does not fit is cut.
// owned 1: text is the address of a pointer to a kernel block holding the
// string, which may be replaced by a larger block.
void text_charset_convert(void* text, uint8_t owned, size_t capacity = 0);
// For the older readers: Mac Roman of an older-generation MacOS file and DOS
// text become Windows-1252, in place.
void text_from_macroman(char* text);
// Kernel text (Mac Roman) into the Windows-1252 bytes a file carries, in place.
void text_to_windows(char* text);

// In place, same length.
void text_c_to_decimal(char* text);
void text_decimal_to_c(char* text);
void text_c_to_decimal_slash(char* text);

// Before writing a text object, a list separator right after a number
// reference becomes ","; after writing or reading, back again.
void text_refs_separator_to_comma(object* text_object);
void text_refs_comma_to_separator(object* text_object);

// Side indices of an object on two parents of the given types, from the
// packed pair of an older file.
uint32_t pack_index_pair(uint16_t packed, uint16_t type1, uint16_t type2);
