#include "kernel/files/file_colors.h"

#include <cstring>

#include "kernel/render/colors.h"

namespace {

// Colour names of older files, one per palette entry.
const char* const kOldNames[palette16_count] = {"White",      "Yellow",     "Orange", "Red",
                                                "Purple",     "Violet",     "Navy Blue", "Blue",
                                                "Green",      "Dark green", "Dark Brown", "Brown",
                                                "Light gray", "Gray",       "Dark gray", "Black"};

bool same(const char* name, int length, const char* word) {
  return static_cast<int>(std::strlen(word)) == length && std::memcmp(name, word, length) == 0;
}

}  // namespace

int64_t txt_color_by_name(const char* name, int length) {
  for (int i = 0; i < color_count; ++i)
    if (same(name, length, color_code_by_index(i))) return color_by_index(i);
  for (int i = 0; i < palette16_count; ++i)
    if (same(name, length, kOldNames[i])) return palette16_color(i);
  return -1;
}
