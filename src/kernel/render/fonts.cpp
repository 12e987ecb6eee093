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
  std::unique_ptr<KPFont> font;  // null until looked up
  std::string name;              // fontName, Mac Roman (once looked up)
  std::string display;
  float size;
  // A font registered by its face: what was asked for, looked up at its
  // first use.
  bool by_face = false;
  std::string asked;  // empty: the system font
  std::string fallback;
  int32_t asked_size = 0;
};

std::vector<FontEntry>& table() {
  static std::vector<FontEntry> t;
  return t;
}

bool valid_id(uint16_t id) { return id >= 1 && id <= table().size(); }

// Asks the font system for the font of an entry registered by its face: the
// face asked for, else the default face, else the fallback face, else the
// system font. Without a font system the entry stays as it is and is asked
// for again at its next use.
bool look_up(FontEntry& e) {
  if (e.font) return true;
  if (!KPFont::fontSystemAvailable()) return false;
  std::unique_ptr<KPFont> font;
  if (!e.asked.empty())
    for (const std::string& face : {e.asked, std::string(kDefaultFaceName), e.fallback})
      if (!font && !face.empty()) font.reset(KPFont::withName(face.c_str(), e.asked_size));
  if (!font) font.reset(KPFont::systemFont(e.asked_size));
  if (!font) return false;
  e.name = font->fontName();
  e.display = font->displayName();
  e.size = static_cast<float>(font->pointSize());
  e.font = std::move(font);
  return true;
}

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
    if (!t[i].by_face && t[i].name == name && t[i].size == size) return static_cast<uint16_t>(i + 1);
  if (t.size() >= 0xFFFF) return 0;
  t.push_back({std::unique_ptr<KPFont>(font->copy()), name, font->displayName(), size});
  return static_cast<uint16_t>(t.size());
}

uint16_t font_register_face(const char* face, const char* fallback_face, int32_t size) {
  const std::string asked = face ? face : "";
  const std::string fallback = fallback_face ? fallback_face : "";
  auto& t = table();
  for (size_t i = 0; i < t.size(); ++i)
    if (t[i].by_face && t[i].asked == asked && t[i].fallback == fallback && t[i].asked_size == size)
      return static_cast<uint16_t>(i + 1);
  if (t.size() >= 0xFFFF) return 0;
  FontEntry e{nullptr, "", "", static_cast<float>(size)};
  e.by_face = true;
  e.asked = asked;
  e.fallback = fallback;
  e.asked_size = size;
  t.push_back(std::move(e));
  return static_cast<uint16_t>(t.size());
}

bool font_looked_up(uint16_t id) { return valid_id(id) && table()[id - 1].font != nullptr; }

uint16_t font_id_by_name(const char* name) {
  if (!name) return 0;
  auto& t = table();
  for (size_t i = 0; i < t.size(); ++i)
    if (look_up(t[i]) && t[i].display == name) return static_cast<uint16_t>(i + 1);
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
  if (!valid_id(id)) return nullptr;
  FontEntry& e = table()[id - 1];
  if (look_up(e)) return e.display.c_str();
  // Not looked up (no font system): the face asked for.
  return e.asked.empty() ? kDefaultFaceName : e.asked.c_str();
}

KPFont* font_get_nsfont(uint16_t id) {
  if (valid_id(id)) {
    FontEntry& e = table()[id - 1];
    look_up(e);
    return e.font.get();
  }
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
