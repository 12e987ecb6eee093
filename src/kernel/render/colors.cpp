#include "kernel/render/colors.h"

#include <cstdlib>
#include <cstring>

namespace {

struct ColorEntry {
  uint8_t r, g, b;
  const char* name;
  const char* code;
};

constexpr ColorEntry kTable[color_count] = {
    {255, 255, 255, "White", "W"},
    {255, 182, 193, "LightPink", "ltp"},
    {240, 230, 140, "Khaki", "kki"},
    {152, 251, 152, "PaleGreen", "pag"},
    {175, 238, 238, "PaleTurquoise", "pat"},
    {135, 206, 235, "SkyBlue", "skb"},
    {221, 160, 221, "Plum", "plm"},
    {255, 0, 0, "Red", "R"},
    {255, 140, 0, "DarkOrange", "O"},
    {255, 255, 0, "Yellow", "Y"},
    {173, 255, 47, "GreenYellow", "gry"},
    {0, 255, 0, "Lime", "G"},
    {0, 255, 127, "SpringGreen", "spg"},
    {0, 255, 255, "Cyan", "lBl"},
    {30, 144, 255, "DodgerBlue", "dob"},
    {0, 0, 255, "Blue", "Bl"},
    {138, 43, 226, "BlueViolet", "blv"},
    {255, 0, 255, "Magenta", "ma"},
    {255, 20, 147, "DeepPink", "dep"},
    {128, 0, 0, "Maroon", "dBr"},
    {139, 69, 19, "SaddleBrown", "Br"},
    {218, 165, 32, "Goldenrod", "gor"},
    {128, 128, 0, "Olive", "olv"},
    {107, 142, 35, "OliveDrab", "old"},
    {0, 100, 0, "DarkGreen", "dkg"},
    {0, 128, 0, "Green", "dG"},
    {50, 205, 50, "LimeGreen", "lig"},
    {0, 250, 154, "MediumSpringGreen", "msg"},
    {0, 128, 128, "Teal", "tea"},
    {32, 178, 170, "LightSeaGreen", "lsg"},
    {65, 105, 225, "RoyalBlue", "rob"},
    {0, 0, 128, "Navy", "V"},
    {75, 0, 130, "Indigo", "ind"},
    {186, 85, 211, "MediumOrchid", "meo"},
    {128, 0, 128, "Purple", "P"},
    {199, 21, 133, "MediumVioletRed", "mvr"},
    {220, 20, 60, "Crimson", "crs"},
    {192, 192, 192, "LightGray", "lGr"},
    {128, 128, 128, "Gray", "Gr"},
    {64, 64, 64, "DarkGray", "dGr"},
    {0, 0, 0, "Black", "B"},
};

constexpr int kPalette[palette16_count] = {0, 9, 8, 7, 34, 31, 15, 13, 11, 25, 20, 19, 37, 38, 39, 40};
constexpr int kBlack = 40;

constexpr uint32_t word_of(const ColorEntry& e) { return uint32_t{e.r} * 65536u + uint32_t{e.g} * 256u + e.b; }

uint32_t run_time_colors[color_count];
uint32_t palette_words[palette16_count];
bool initialised = false;

bool valid_index(int index) { return index >= 0 && index < color_count; }

}  // namespace

uint32_t back_color = 0xFFFFFF;
uint32_t default_color = 0;
uint32_t palette_named_colors[14];
uint32_t magenta_color;
uint32_t light_gray_color;
uint32_t light_gray_icon_color;
uint16_t pixel_unit = 1;
tagBITMAPINFO* shared_bitmap_info = nullptr;

uint32_t rgb_to_bgr_pal(uint32_t c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF) | 0x02000000u;
}

uint32_t bgr_to_rgb(uint32_t c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

uint32_t constant_color_by_index(int index) { return valid_index(index) ? word_of(kTable[index]) : 0; }

uint32_t color_by_index(int index) {
  if (!valid_index(index)) index = kBlack;
  return initialised ? run_time_colors[index] : word_of(kTable[index]);
}

uint32_t color_by_index_one_based(int index) { return color_by_index(index - 1); }

int color_index_by_value(uint32_t color) {
  for (int i = 0; i < color_count; ++i)
    if (color_by_index(i) == color) return i;
  return kBlack;
}

int color_index_one_based(uint32_t color) {
  const int i = color_index_by_value(color);
  return (i == kBlack && color != 0) ? -1 : i + 1;
}

uint32_t palette16_color(int index) {
  if (index < 0 || index >= palette16_count) index = palette16_count - 1;
  return initialised ? palette_words[index] : word_of(kTable[kPalette[index]]);
}

int palette16_index_of(int tableIndex) {
  for (int i = 0; i < palette16_count; ++i)
    if (kPalette[i] == tableIndex) return i;
  return palette16_count - 1;
}

const char* color_name_by_index(int index) { return kTable[valid_index(index) ? index : kBlack].name; }
const char* color_code_by_index(int index) { return kTable[valid_index(index) ? index : kBlack].code; }
const char* color_name_by_value(uint32_t color) { return color_name_by_index(color_index_by_value(color)); }
const char* color_code_by_value(uint32_t color) { return color_code_by_index(color_index_by_value(color)); }

uint32_t color_by_name(const char* name) {
  if (name)
    for (int i = 0; i < color_count; ++i)
      if (std::strcmp(kTable[i].name, name) == 0) return color_by_index(i);
  return default_color;
}

uint32_t color_by_code(const char* code) {
  if (code)
    for (int i = 0; i < color_count; ++i)
      if (std::strcmp(kTable[i].code, code) == 0) return color_by_index(i);
  return default_color;
}

int32_t color_distance_sq(uint32_t a, uint32_t b) {
  const int32_t dr = int32_t((a >> 16) & 0xFF) - int32_t((b >> 16) & 0xFF);
  const int32_t dg = int32_t((a >> 8) & 0xFF) - int32_t((b >> 8) & 0xFF);
  const int32_t db = int32_t(a & 0xFF) - int32_t(b & 0xFF);
  return dr * dr + dg * dg + db * db;
}

int nearest_color_index(uint32_t color) {
  int32_t best = 0x7FFFFFFF;
  int index = 0;
  for (int i = 0; i < color_count; ++i) {
    const int32_t d = color_distance_sq(color, color_by_index(i));
    if (d < best) {
      best = d;
      index = i;
    }
  }
  return index;
}

bool colors_are_close(uint32_t a, uint32_t b) {
  const int dr = std::abs(int((a >> 16) & 0xFF) - int((b >> 16) & 0xFF));
  const int dg = std::abs(int((a >> 8) & 0xFF) - int((b >> 8) & 0xFF));
  const int db = std::abs(int(a & 0xFF) - int(b & 0xFF));
  return dr + dg + db < 100;
}

void init_color_table() {
  pixel_unit = 1;
  if (initialised) return;
  static tagBITMAPINFO info{};
  info.bmiHeader.biSize = 40;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<uint16_t>(32 / pixel_unit);
  shared_bitmap_info = &info;
  for (int i = 0; i < color_count; ++i) run_time_colors[i] = word_of(kTable[i]);
  for (int i = 0; i < palette16_count; ++i) palette_words[i] = run_time_colors[kPalette[i]];
  back_color = palette_words[0];
  default_color = palette_words[15];
  for (int i = 1; i <= 14; ++i) palette_named_colors[i - 1] = palette_words[i];
  magenta_color = run_time_colors[17];
  light_gray_color = palette_words[12];
  light_gray_icon_color = palette_words[12];
  initialised = true;
}

void init_colors_for_dc(KPGrafPort*) { init_color_table(); }
