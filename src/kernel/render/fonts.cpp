#include "kernel/render/fonts.h"

#include "kernel/render/drawing_passes.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

int screen_pixels_per_inch = 96;

void set_screen_resolution(double dots_per_inch) {
  if (!(dots_per_inch >= 1) || !std::isfinite(dots_per_inch)) return;
  screen_pixels_per_inch = static_cast<int>(dots_per_inch);
  screen_pixels_per_cm = std::floor(dots_per_inch / 2.54 + 0.5);
}

namespace {

struct FontEntry {
  std::unique_ptr<KPFont> font;
  std::string name;  // fontName, Mac Roman
  std::string display;
  float size;
};

std::vector<FontEntry>& table() {
  static std::vector<FontEntry> t;
  return t;
}

bool valid_id(uint16_t id) { return id >= 1 && id <= table().size(); }

// a * b / c rounded to the nearest integer, halves away from zero.
int32_t mul_div(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  const double q = static_cast<double>(a) * b / c;
  return static_cast<int32_t>(q < 0 ? -std::floor(-q + 0.5) : std::floor(q + 0.5));
}

}  // namespace

uint16_t font_register(const KPFont* font) {
  if (!font) return 0;
  const std::string name = font->fontName();
  const auto size = static_cast<float>(font->pointSize());
  auto& t = table();
  for (size_t i = 0; i < t.size(); ++i)
    if (t[i].name == name && t[i].size == size) return static_cast<uint16_t>(i + 1);
  if (t.size() >= 0xFFFF) return 0;
  t.push_back({std::unique_ptr<KPFont>(font->copy()), name, font->displayName(), size});
  return static_cast<uint16_t>(t.size());
}

uint16_t font_id_by_name(const char* name) {
  if (!name) return 0;
  auto& t = table();
  for (size_t i = 0; i < t.size(); ++i)
    if (t[i].display == name) return static_cast<uint16_t>(i + 1);
  return 0;
}

uint16_t font_id_by_name_or_create(const char* name, int32_t size) {
  const uint16_t id = font_id_by_name(name);
  if (id) return id;
  std::unique_ptr<KPFont> font(KPFont::withName(name, size));
  return font ? font_register(font.get()) : 0;
}

const char* font_name_by_id(uint16_t id) {
  if (id == 0) return kDefaultFaceName;
  return valid_id(id) ? table()[id - 1].display.c_str() : nullptr;
}

KPFont* font_get_nsfont(uint16_t id) {
  if (valid_id(id)) return table()[id - 1].font.get();
  // Made at the first use that finds the font system, kept for the run.
  static KPFont* system_font = nullptr;
  if (!system_font) {
    system_font = KPFont::systemFont(12);
    if (system_font) system_font->markStock();
  }
  return system_font;
}

int font_id_available(uint16_t) { return 1; }
int font_count() { return static_cast<int>(table().size()); }

namespace {
uint32_t g_generation = 0;
}  // namespace

void free_font_table() {
  std::vector<FontEntry>().swap(table());
  ++g_generation;
}

uint32_t font_table_generation() { return g_generation; }

int32_t font_points_to_height(KPGrafPort*, int32_t points) {
  const int p = screen_pixels_per_inch;
  return p == 0 ? points : -mul_div(points, p, 96);
}

int32_t font_height_to_points(KPGrafPort*, int32_t height) {
  const int p = screen_pixels_per_inch;
  return p == 0 ? std::abs(height) : std::abs(mul_div(height, 96, p));
}

void font_info_to_logfont(KPGrafPort* dc, const car_info* info, tagLOGFONT* out) {
  if (!out) return;
  std::memset(out, 0, sizeof *out);
  if (!info) return;
  out->lfHeight = font_points_to_height(dc, info->size);
  out->lfCharSet = info->charset;
  out->lfWeight = (info->style & 1) ? 700 : 400;
  out->lfItalic = (info->style & 2) ? 1 : 0;
  out->lfUnderline = (info->style & 4) ? 1 : 0;
  out->lfStrikeOut = (info->style & 128) ? 1 : 0;
  if (const char* face = font_name_by_id(info->font_id)) {
    std::strncpy(out->lfFaceName, face, 31);
    out->lfFaceName[31] = 0;
  }
}
