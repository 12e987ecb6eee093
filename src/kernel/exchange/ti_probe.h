// Recognition of calculator files in the kernel file image: the TI-89/92
// variable-file signature and the TI-83 Plus application-variable probe.
#pragma once

#include <cstdint>

// Offset of the data of a TI-89/92 variable file (p + 4, p being the word at
// bytes 60-61, with 0xA5 'Z' before it), or -1 when the image is not one.
// Copies the variable name at byte 64 (at most 8 characters: byte 72 is the
// variable type) into name_out (9 bytes, NUL-terminated) when it is not null.
int ti9x_check_signature(const char* image, uint32_t len, char* name_out);

// 1 when the image is a TI-83 Plus figure of this system, with *version set
// to 1 (first data format) or 2 (second); 0 otherwise, *version untouched.
int ti83_check_file(const char* image, uint32_t len, double* version);
