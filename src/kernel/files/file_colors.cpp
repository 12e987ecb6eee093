#include "kernel/files/file_colors.h"

#include <cstring>

namespace {

struct Entry {
  uint8_t r, g, b;
  const char* code;
};

// The colour table, in table order.
const Entry kTable[kFileColorCount] = {
    {255, 255, 255, "W"},   {255, 182, 193, "ltp"}, {240, 230, 140, "kki"}, {152, 251, 152, "pag"},
    {175, 238, 238, "pat"}, {135, 206, 235, "skb"}, {221, 160, 221, "plm"}, {255, 0, 0, "R"},
    {255, 140, 0, "O"},     {255, 255, 0, "Y"},     {173, 255, 47, "gry"},  {0, 255, 0, "G"},
    {0, 255, 127, "spg"},   {0, 255, 255, "lBl"},   {30, 144, 255, "dob"},  {0, 0, 255, "Bl"},
    {138, 43, 226, "blv"},  {255, 0, 255, "ma"},    {255, 20, 147, "dep"},  {128, 0, 0, "dBr"},
    {139, 69, 19, "Br"},    {218, 165, 32, "gor"},  {128, 128, 0, "olv"},   {107, 142, 35, "old"},
    {0, 100, 0, "dkg"},     {0, 128, 0, "dG"},      {50, 205, 50, "lig"},   {0, 250, 154, "msg"},
    {0, 128, 128, "tea"},   {32, 178, 170, "lsg"},  {65, 105, 225, "rob"},  {0, 0, 128, "V"},
    {75, 0, 130, "ind"},    {186, 85, 211, "meo"},  {128, 0, 128, "P"},     {199, 21, 133, "mvr"},
    {220, 20, 60, "crs"},   {192, 192, 192, "lGr"}, {128, 128, 128, "Gr"},  {64, 64, 64, "dGr"},
    {0, 0, 0, "B"},
};

const int kPalette16[16] = {0, 9, 8, 7, 34, 31, 15, 13, 11, 25, 20, 19, 37, 38, 39, 40};

// Colour names of older files, one per palette entry.
const char* const kOldNames[16] = {"White",      "Yellow",     "Orange", "Red",
                                   "Purple",     "Violet",     "Navy Blue", "Blue",
                                   "Green",      "Dark green", "Dark Brown", "Brown",
                                   "Light gray", "Gray",       "Dark gray", "Black"};

FileFontHooks font_hooks;

bool same(const char* name, int length, const char* word) {
  return static_cast<int>(std::strlen(word)) == length && std::memcmp(name, word, length) == 0;
}

}  // namespace

uint32_t file_color_by_index(int index) {
  if (index < 0 || index >= kFileColorCount) index = kFileColorCount - 1;
  const Entry& e = kTable[index];
  return (uint32_t{e.r} << 16) | (uint32_t{e.g} << 8) | e.b;
}

uint32_t file_palette16_color(int index) {
  return file_color_by_index(index >= 0 && index < 16 ? kPalette16[index] : 40);
}

int file_nearest_color_index(uint32_t color) {
  int best = 0;
  int64_t best_distance = 0x7FFFFFFF;
  for (int i = 0; i < kFileColorCount; ++i) {
    const Entry& e = kTable[i];
    int64_t dr = int64_t{(color >> 16) & 255} - e.r;
    int64_t dg = int64_t{(color >> 8) & 255} - e.g;
    int64_t db = int64_t{color & 255} - e.b;
    int64_t d = dr * dr + dg * dg + db * db;
    if (d < best_distance) {
      best_distance = d;
      best = i;
    }
  }
  return best;
}

const char* file_color_code(int index) {
  return kTable[index >= 0 && index < kFileColorCount ? index : kFileColorCount - 1].code;
}

int64_t txt_color_by_name(const char* name, int length) {
  for (int i = 0; i < kFileColorCount; ++i)
    if (same(name, length, kTable[i].code)) return file_color_by_index(i);
  for (int i = 0; i < 16; ++i)
    if (same(name, length, kOldNames[i])) return file_palette16_color(i);
  return -1;
}

void install_file_font_hooks(const FileFontHooks& hooks) { font_hooks = hooks; }

const char* file_font_name(uint16_t id) {
  const char* name = font_hooks.name_by_id != nullptr ? font_hooks.name_by_id(id) : nullptr;
  return name != nullptr ? name : kFileDefaultFace;
}

uint16_t file_font_id(const char* name, int32_t size, uint16_t style) {
  return font_hooks.id_by_name != nullptr ? font_hooks.id_by_name(name, size, style) : 0;
}
