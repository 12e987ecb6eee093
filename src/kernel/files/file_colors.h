// Colours and font names as figure files spell them: the short codes and
// English names of the 41-colour table, the 16 colour names of older files,
// and the font names of rich-text runs.
#pragma once

#include <cstdint>

inline constexpr int kFileColorCount = 41;

// Colour word of a table entry (0..40); Black outside the table.
uint32_t file_color_by_index(int index);
// Colour word of a 16-colour palette entry (0..15); Black outside.
uint32_t file_palette16_color(int index);
// Index of the table entry nearest to a colour word (lower index on ties).
int file_nearest_color_index(uint32_t color);
const char* file_color_code(int index);
// The colour of a short code, else of an older colour name; -1 when neither.
int64_t txt_color_by_name(const char* name, int length);

// Font names of rich-text runs. The font table lives with the rendering
// code; it installs these hooks. Without them only the default face exists.
struct FileFontHooks {
  const char* (*name_by_id)(uint16_t id) = nullptr;
  uint16_t (*id_by_name)(const char* name, int32_t size, uint16_t style) = nullptr;
};
void install_file_font_hooks(const FileFontHooks& hooks);
const char* file_font_name(uint16_t id);
uint16_t file_font_id(const char* name, int32_t size, uint16_t style);
inline constexpr const char* kFileDefaultFace = "Lucida Grande";
