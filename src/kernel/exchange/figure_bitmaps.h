// The pictures stored inside a figure file: the compressed record of a
// picture's pixels, its base64 text in lines of 76 characters ended by '*',
// and the lookup of an entry of the BITMAPS block by name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct bitmap_info;
class KPGrafPort;

// A picture as the figure file stores it: 32-bit pixels (blue, green, red,
// spare), rows bottom-up, `width` pixels each.
struct figure_picture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;
};

// Largest picture accepted from a file, in pixels.
inline constexpr int64_t kMaxFigurePicturePixels = int64_t{1} << 26;

// The 24-byte header and zlib stream of a picture; empty when the holder has
// no pixels.
std::vector<uint8_t> compress_bitmap(const bitmap_info* holder);
// The record back into a picture; false for a record that is cut short,
// names an absurd size or does not inflate to the size it announces.
bool decompress_bitmap(const uint8_t* record, uint32_t length, figure_picture* out);
// Base64 in lines of 76 characters separated by CR LF, then '*'.
std::string base64_encode_lines(const uint8_t* data, uint32_t size);
std::vector<uint8_t> base64_decode(const char* text, uint32_t length);
// Finds the entry `name` in the block (from its title, `length` bytes) and
// decodes it; false when it is absent or bad.
bool load_figure_bitmap(const char* block, uint32_t length, const char* name, figure_picture* out);
// The 32-bit pixels of a platform bitmap (an image file, a calculator
// screen); false when it has none or is too large.
class KPUniversalBitmap;
bool picture_from_bitmap(const KPUniversalBitmap* bitmap, figure_picture* out);
// Stores the picture with its name in the holder (made when null); false
// when memory runs out.
bool set_bitmap_holder_image(const figure_picture& picture, KPGrafPort* dc, const char* name, bitmap_info** holder);

// An image file as a bitmap (owned by the caller), or null.
KPUniversalBitmap* load_bitmap_file(const char* path);
// The picture of a calculator screen ("TI-92 Screen", "TI-89 Screen",
// "TI-83 Screen"), or null. ti_screen_bitmap_path takes the model 0, 1 or 2
// and gives the canonical name through `name`; another model gives null and
// leaves `name` alone.
KPUniversalBitmap* get_ti_screen_bitmap(const char* name);
KPUniversalBitmap* ti_screen_bitmap_path(int model, const char** name);
