#include "kernel/exchange/ti83_container.h"

#include <cstring>

#include "kernel/files/text_convert.h"

namespace {

struct charset_row {
  uint8_t host;
  uint8_t calculator;
  uint8_t reverse;
};

// Host codes are Windows Latin-1. Rows are searched in order; the first
// match wins, so the second row of 45 only serves the way back.
constexpr charset_row kCharset[] = {
    {9, 6, 1},     {91, 193, 1},  {45, 45, 1},   {45, 26, 1},   {176, 20, 1},  {128, 192, 1}, {178, 18, 1},
    {179, 14, 1},  {192, 139, 1}, {193, 138, 1}, {194, 140, 1}, {195, 65, 0},  {196, 141, 1}, {197, 65, 0},
    {198, 65, 0},  {199, 178, 1}, {200, 147, 1}, {201, 146, 1}, {202, 148, 1}, {203, 149, 1}, {204, 155, 1},
    {205, 154, 1}, {206, 156, 1}, {207, 157, 1}, {208, 68, 0},  {209, 180, 1}, {210, 163, 1}, {211, 162, 1},
    {212, 164, 1}, {213, 79, 0},  {214, 165, 1}, {215, 120, 0}, {216, 79, 0},  {217, 171, 1}, {218, 170, 1},
    {219, 172, 1}, {220, 173, 1}, {221, 89, 0},  {222, 98, 0},  {223, 66, 0},  {224, 143, 1}, {225, 142, 1},
    {226, 144, 1}, {227, 97, 0},  {228, 145, 1}, {229, 97, 0},  {230, 97, 0},  {231, 179, 1}, {232, 151, 1},
    {233, 150, 1}, {234, 152, 1}, {235, 153, 1}, {236, 159, 1}, {237, 158, 1}, {238, 160, 1}, {239, 161, 1},
    {240, 100, 0}, {241, 181, 1}, {242, 167, 1}, {243, 166, 1}, {244, 168, 1}, {245, 111, 0}, {246, 169, 1},
    {247, 47, 0},  {248, 111, 0}, {249, 175, 1}, {250, 174, 1}, {251, 176, 1}, {252, 177, 1}, {253, 121, 0},
    {254, 98, 0},  {255, 121, 0}, {0, 0, 1},
};

constexpr uint8_t kWidths[256] = {
    0, 6, 4, 4, 4, 4, 4, 5, 4, 4, 4, 4, 4, 4, 4, 5,  // 0
    4, 5, 4, 4, 5, 5, 4, 5, 6, 5, 4, 4, 5, 6, 4, 4,  // 16
    1, 2, 4, 6, 6, 4, 5, 2, 3, 3, 6, 4, 3, 4, 2, 4,  // 32
    4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 2, 3, 4, 4, 4, 4,  // 48
    6, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4,  // 64
    4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 3, 4, 4,  // 80
    3, 4, 4, 4, 4, 4, 3, 4, 4, 2, 4, 4, 3, 6, 4, 4,  // 96
    4, 4, 4, 3, 3, 4, 4, 6, 4, 4, 5, 4, 2, 4, 5, 4,  // 112
    4, 3, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5,  // 128
    5, 5, 5, 5, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4,  // 144
    4, 4, 6, 6, 6, 6, 6, 6, 6, 6, 4, 4, 4, 4, 5, 5,  // 160
    5, 5, 4, 4, 5, 5, 3, 3, 4, 4, 2, 5, 4, 5, 6, 4,  // 176
    4, 3, 4, 5, 6, 5, 5, 5, 5, 6, 6, 4, 4, 4, 3, 4,  // 192
    3, 4, 3, 4, 4, 4, 0, 4, 4, 4, 4, 4, 3, 3, 4, 3,  // 208
    3, 6, 5, 6, 6, 6, 5, 6, 5, 6, 5, 6, 5, 0, 0, 0,  // 224
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 240
};

void put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v & 0xFF);
  p[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

}  // namespace

uint16_t ti83_checksum(const uint8_t* image, uint32_t records) {
  uint16_t sum = 0;
  const uint32_t last = 83 + kTi83RecordSize * records;
  for (uint32_t k = 55; k <= last; ++k) sum = static_cast<uint16_t>(sum + image[k]);
  return sum;
}

uint8_t ti83_map_char(uint8_t c, int keep_extended, int direction) {
  for (const charset_row* row = kCharset; !(row->host == 0 && row->calculator == 0); ++row) {
    if (direction == kTi83ToCalculator) {
      if (row->host != c) continue;
      if (!keep_extended && c > 127) return '?';
      return row->calculator;
    }
    if (row->calculator != c || row->reverse == 0) continue;
    if (!keep_extended && row->host > 127) return '?';
    return row->host;
  }
  return c < 128 ? c : '?';
}

uint8_t ti83_char_width(uint8_t code) { return kWidths[code]; }

uint8_t ti83_text_width(const uint8_t* codes, size_t n) {
  uint8_t sum = 0;
  for (size_t k = 0; k < n; ++k) sum = static_cast<uint8_t>(sum + kWidths[codes[k]]);
  return sum;
}

uint8_t ti83_kernel_to_calculator(uint8_t kernel_char) {
  const uint8_t host = kernel_char >= 128 ? charset_mac_to_windows[kernel_char - 128] : kernel_char;
  return ti83_map_char(host, 1, kTi83ToCalculator);
}

uint8_t ti83_calculator_to_kernel(uint8_t code) {
  const uint8_t host = ti83_map_char(code, 1, kTi83ToHost);
  return host >= 128 ? charset_windows_to_mac[host - 128] : host;
}

int ti83_variable_name(const char* file_name, uint8_t name_out[8]) {
  std::memset(name_out, 0, 8);
  if (file_name == nullptr) return 0;
  int stored = 0;
  bool altered = false;
  const char* p = file_name;
  for (; *p != '\0' && *p != '.' && stored < 8; ++p) {
    const char c = *p;
    if (c >= 'A' && c <= 'Z')
      name_out[stored++] = static_cast<uint8_t>(c);
    else if (c >= 'a' && c <= 'z')
      name_out[stored++] = static_cast<uint8_t>(c - 'a' + 'A');
    else if (c >= '0' && c <= '9' && stored > 0)
      name_out[stored++] = static_cast<uint8_t>(c);
    else
      altered = true;
  }
  if (altered) return 1;
  return (*p != '\0' && *p != '.') ? 2 : 0;
}

void ti83_fill_header_v2(uint8_t* out) {
  std::memset(out, 0, kTi83HeaderSize);
  std::memcpy(out, "**TI83F*", 8);
  out[8] = 0x1A;
  out[9] = 0x0A;
  out[10] = 0x00;
  static const char kComment[] = "Original file from Kelvo Nova PC";
  std::memcpy(out + 11, kComment, sizeof kComment - 1);
  put16(out + 55, 13);
  out[59] = 0x15;
  std::memcpy(out + 74, "ZoVef", 5);
  out[79] = 2;
  out[80] = 0;
  out[81] = 47;
  out[82] = 31;
}

void ti83_finish_image(uint8_t* image, uint32_t records) {
  const uint32_t length = ti83_file_size(records);
  image[83] = static_cast<uint8_t>(records % 256);
  const uint32_t data = length - 57;
  put16(image + 53, data);
  put16(image + 57, data - 17);
  put16(image + 70, data - 17);
  put16(image + 72, data - 19);
  put16(image + kTi83HeaderSize + kTi83RecordSize * records, ti83_checksum(image, records));
}
