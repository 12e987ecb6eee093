// Variable files of the TI-89, TI-92, TI-92 Plus and the fourth model: the
// file container (signature, header, length, checksum), the big-endian and
// tagged-real encodings used inside the variable data, and the character
// mapping of its texts.
//
// Every writer takes a destination that may be null: then it writes nothing
// and only returns the bytes it would write, so that one routine serves the
// sizing pass and the writing pass of the figure writer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct TErec;

// The four calculator models, by save format code 5..8.
struct ti9x_model {
  const char* signature;  // 8 bytes
  uint8_t product;
  const char* figure_ext;
  const char* macro_ext;
};
// Null for a code outside 5..8.
const ti9x_model* ti9x_model_for_code(int code);

// The byte after the variable data: 0xE1 a figure, 0xE2 a macro.
constexpr uint8_t kTi9xFigureEnd = 0xE1;
constexpr uint8_t kTi9xMacroEnd = 0xE2;
constexpr uint8_t kTi9xFigureType = 0x0E;
constexpr uint8_t kTi9xMacroType = 0x14;
// Header bytes before the variable data, and the whole overhead around it.
constexpr uint32_t kTi9xDataOffset = 88;
constexpr uint32_t kTi9xOverhead = 90;
// The calculator's pi character.
constexpr uint8_t kTi9xPiByte = 140;

uint16_t copy_string(const char* text, uint8_t* dst);
// Maps every byte of the 0-ended text through the calculator-to-host table.
void map_ti_text(char* text);
uint8_t ti9x_host_char(uint8_t calculator_code);

int write_be16(uint16_t v, uint8_t* dst);
int write_be32(uint32_t v, uint8_t* dst);
int read_be16(const uint8_t* src, int16_t* out);
int read_be32(const uint8_t* src, int32_t* out);
int read_be16_x4(const uint8_t* src, int32_t out[4]);
int write_text_frame(uint8_t* dst, const TErec* record);
int copy_style3(const uint8_t* src, uint8_t* dst);
int write_style3(const uint8_t style[3], uint8_t* dst);
// Tagged real number: 3 bytes (tag 0 and a 16-bit integer) or 11 (tag 0xFF
// and ten bytes of binary-coded decimal).
int ti_bcd_encode(double v, uint8_t* dst);
int ti_bcd_decode(const uint8_t* src, double* out);
// The text with every free-standing "pi" as the calculator's pi byte, and
// its ending 0; returns the bytes written.
uint16_t ti_pi_text(const char* text, uint8_t* dst);
uint8_t* offset_pointer(uint8_t* base, int16_t offset);

// A kernel text (Mac Roman) as the bytes the calculator's files carry.
std::string ti9x_text_to_calculator(const char* kernel_text);
// A string read from a calculator file as kernel text: the pi character
// becomes the word "pi" again (the writer made it from that word), every
// other byte goes through the calculator-to-host table, then into Mac Roman.
std::string ti9x_text_from_calculator(const char* bytes);

// The variable name a document file gives: the file name without its
// folder, up to its first '.', at most 8 bytes.
std::string ti9x_variable_name(std::string_view path);

// The whole file around the variable data of `length` bytes already at
// image + kTi9xDataOffset: header, length and checksum. The image is
// length + kTi9xOverhead bytes, zeroed beforehand.
void ti9x_fill_container(uint8_t* image, uint32_t length, const ti9x_model& model, uint8_t type,
                         std::string_view name);
