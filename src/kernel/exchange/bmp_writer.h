// Windows BMP files: the 14-byte file header, the 40-byte info header, the
// palette (below 24 bits) and the pixel rows, bottom-up, each padded to a
// multiple of 4 bytes. Pictures beside a figure and the clipboard's image
// are written through here.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/kp_bitmap.h"

struct bitmap_info;

// A 40-byte info header of one plane: width, height (its sign kept: a
// negative height is top-down), bit count, no compression and no palette;
// the resolution fields are left as they were.
void init_dib_header(tagBITMAPINFOHEADER* header, int32_t width, int32_t height, uint16_t bits);

// The info header and palette room of a bitmap of that size and depth. The
// depth planes x bits is rounded up to 1, 4, 8, 16, 24 or 32 bits and that
// rounded depth is the header's bit count, so that the row size and the
// pixel data agree. False for a size that makes no file.
struct bmp_info {
  tagBITMAPINFOHEADER header{};
  std::vector<tagRGBQUAD> palette;  // biClrUsed entries, zeroed
};
bool make_bmp_info_header(int32_t width, int32_t height, uint16_t planes, uint16_t bits, bmp_info* out);

// The file image: headers, palette, then biSizeImage bytes of `pixels`
// (null: zeros). Returns the byte count; with a null destination it only
// counts.
uint32_t bmp_file_image(const bmp_info& info, const uint8_t* pixels, uint8_t* dest);
std::vector<uint8_t> bmp_file_bytes(const bmp_info& info, const uint8_t* pixels);

// Writes the picture's 32-bit pixels as a 32-bit BMP file. False when the
// picture has no pixels or the file cannot be written completely; a file
// left half-written is removed.
bool write_bmp_file(const char* path, const bitmap_info* picture);
