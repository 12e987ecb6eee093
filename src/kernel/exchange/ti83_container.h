// The TI-83 Plus application-variable container (".8xv"): header layout,
// checksum, the variable name made from a file name, and the calculator's
// character set and small-font widths. Both versions of the figure content
// share it; version 1 is tagged "ZoVeF", version 2 "ZoVef".
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint32_t kTi83HeaderSize = 84;
inline constexpr uint32_t kTi83RecordSize = 18;
inline constexpr uint32_t kTi83MaxRecords = 256;

// Total size of a file of n records: header, records and checksum.
inline constexpr uint32_t ti83_file_size(uint32_t n) { return kTi83HeaderSize + kTi83RecordSize * n + 2; }

// The record count of the count byte at offset 83 (0 stands for 256).
inline uint32_t ti83_record_count(uint8_t count_byte) { return count_byte == 0 ? 256u : count_byte; }

// Sum modulo 65536 of bytes 55 .. 83 + 18n.
uint16_t ti83_checksum(const uint8_t* image, uint32_t records);

// Direction of ti83_map_char.
inline constexpr int kTi83ToCalculator = 0;
inline constexpr int kTi83ToHost = 1;

// Maps one character between host codes (Windows Latin-1) and calculator
// codes. Without keep_extended, anything above 127 becomes '?'.
uint8_t ti83_map_char(uint8_t c, int keep_extended, int direction);
// Sum of the small-font widths of the calculator codes, modulo 256.
uint8_t ti83_text_width(const uint8_t* codes, size_t n);
// Width of one calculator code in the small font.
uint8_t ti83_char_width(uint8_t code);

// Kernel text (Mac Roman) to calculator codes and back.
uint8_t ti83_kernel_to_calculator(uint8_t kernel_char);
uint8_t ti83_calculator_to_kernel(uint8_t code);

// Fills the 8-byte name field from a file name without its folder. Answers
// 0 when the name was kept as it is, 1 when characters were dropped and 2
// when it was cut at eight characters (both: 1).
int ti83_variable_name(const char* file_name, uint8_t name_out[8]);

// Writes the fixed header fields of a version-2 image (everything but the
// lengths, the name and the count) into the first 84 bytes of out.
void ti83_fill_header_v2(uint8_t* out);
// Completes an image of n records (n at most 256) whose header was filled:
// count byte, lengths and checksum. The name is written separately.
void ti83_finish_image(uint8_t* image, uint32_t records);
