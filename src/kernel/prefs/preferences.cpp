#include "kernel/prefs/preferences.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "kernel/files/text_output.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/colors.h"
#include "kernel/render/fonts.h"
#include "platform/kp_gdi_objects.h"
#include "platform/kp_settings.h"

prefs_rec prefs = [] {
  prefs_rec p{};
  p.tolerance = 2;
  return p;
}();
double prefs_smartline_lengths[2] = {1.0, 1.0};
text_style_pref cursor_text_font{};
text_style_pref tools_menu_font{};

const char* const kGraphicKindNames[kGraphicKinds] = {"Points", "Lines", "Polygons", "Vectors", "Circles",
                                                      "Arcs",   "Axis",  "Grids",    "Loci",    "Angle Marks"};
const char* const kTextKindNames[kTextKinds] = {"Text", "Label", "Number", "Length", "Area", "Angle", "Equation"};

namespace {

// The cursor-text style is stored under the menu prefix and the menu style
// under the cursor prefix: stored preferences depend on this pairing.
constexpr const char* kCursorTextPrefix = "Menu Items";
constexpr const char* kMenuTextPrefix = "Cursor Strings";
constexpr const char* kFactoryFont = "Arial";
constexpr int32_t kFactoryTextSize = 12;
constexpr int32_t kFactoryMenuSize = 14;
// Point sizes outside this range are not a text style anyone set.
constexpr int64_t kLargestTextSize = 1000;

// ---------------------------------------------------------------- stores

class UserPreferenceStore : public PreferenceStore {
 public:
  void begin_reading() override {
    snapshot_.clear();
    KPPreferencesWrapper::GetAllUserDefaults(
        [](void* self, const char* key, const char* value) {
          static_cast<UserPreferenceStore*>(self)->snapshot_[key] = value;
        },
        this);
    loaded_ = true;
  }
  bool get(const char* key, std::string* value) override {
    if (!loaded_) begin_reading();
    auto it = snapshot_.find(key);
    if (it == snapshot_.end()) return false;
    *value = it->second;
    return true;
  }
  void set(const char* key, const char* value) override {
    pending_.emplace_back(key, value);
    snapshot_[key] = value;
  }
  void sync() override {
    std::vector<const char*> keys, values;
    for (const auto& [k, v] : pending_) {
      keys.push_back(k.c_str());
      values.push_back(v.c_str());
    }
    KPPreferencesWrapper::SetUserDefaults(keys.data(), values.data(), keys.size(), nullptr);
    pending_.clear();
  }

 private:
  bool loaded_ = false;
  std::map<std::string, std::string> snapshot_;
  std::vector<std::pair<std::string, std::string>> pending_;
};

PreferenceStore* redirected_store = nullptr;

// ---------------------------------------------------------------- values

// A whole decimal integer (blanks around it allowed); false for anything else.
bool parse_int(const std::string& text, int64_t* out) {
  const char* s = text.c_str();
  while (*s == ' ' || *s == '\t') ++s;
  if (!*s) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(s, &end, 10);
  if (end == s || errno == ERANGE) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end) return false;
  *out = v;
  return true;
}

// A finite decimal number in the C locale; false for anything else.
bool parse_real(const std::string& text, double* out) {
  const char* s = text.c_str();
  while (*s == ' ' || *s == '\t') ++s;
  double value = 0;
  const size_t used = txt_parse_real(s, &value);
  if (used == 0 || !std::isfinite(value)) return false;
  for (s += used; *s == ' ' || *s == '\t'; ++s) {
  }
  if (*s) return false;
  *out = value;
  return true;
}

std::string join(const char* a, const char* b) { return std::string(a) + b; }

// The integer stored under key when it lies in [lo, hi]; otherwise the
// current value stays.
template <typename T>
void read_int(PreferenceStore& store, const std::string& key, T* field, int64_t lo, int64_t hi) {
  std::string text;
  int64_t v = 0;
  if (store.get(key.c_str(), &text) && parse_int(text, &v) && v >= lo && v <= hi) *field = static_cast<T>(v);
}

void read_bool(PreferenceStore& store, const char* key, uint8_t* field) {
  std::string text;
  if (store.get(key, &text)) *field = text == "TRUE" ? 1 : 0;
}

void read_color(PreferenceStore& store, const std::string& key, uint32_t* field) {
  std::string text;
  if (store.get(key.c_str(), &text)) *field = color_from_name(text.c_str());
}

// The font of a text style: the installed face of that name at that size,
// else the default face, else the factory font; the system font when even
// that is missing. The font system is asked only when a text in it is first
// measured or drawn: the store is read at start-up and before every file.
// Keeping the size in the font keeps it in what is written back.
uint16_t font_for_name(const char* name, int32_t size) { return font_register_face(name, kFactoryFont, size); }

// Any colour is stored as the name of the nearest table colour.
std::string color_name(uint32_t color) { return color_name_by_index(nearest_color_index(color)); }

std::string int_text(int64_t v) { return std::to_string(v); }

void put_text_style(std::vector<std::pair<std::string, std::string>>& out, const text_style_pref& s,
                    const char* prefix) {
  const char* face = font_name_by_id(s.font);
  // The size of the registered font, rounded up, rather than the size field.
  int64_t size = s.size;
  if (s.font != 0) {
    if (const KPFont* f = font_get_nsfont(s.font)) size = static_cast<int64_t>(std::ceil(f->pointSize()));
  }
  out.emplace_back(join(prefix, " Color"), color_name(s.color));
  out.emplace_back(join(prefix, " Font"), face ? face : kFactoryFont);
  out.emplace_back(join(prefix, " Size"), int_text(size));
  out.emplace_back(join(prefix, " Face"), int_text(s.face));
  out.emplace_back(join(prefix, " Char Set"), int_text(s.char_set));
}

text_style_pref make_factory_text_style(int32_t size, bool menu) {
  text_style_pref s{};
  s.size = static_cast<uint32_t>(size);
  s.color = color_by_name("Black");
  s.char_set = 1;
  s.font = menu ? font_register_face(nullptr, nullptr, size) : font_for_name(kFactoryFont, size);
  return s;
}

}  // namespace

// ---------------------------------------------------------------- stores

bool MemoryPreferenceStore::get(const char* key, std::string* value) {
  auto it = index_.find(key);
  if (it == index_.end()) return false;
  *value = entries_[it->second].second;
  return true;
}

void MemoryPreferenceStore::set(const char* key, const char* value) {
  auto [it, added] = index_.emplace(key, entries_.size());
  if (added) entries_.emplace_back(key, value);
  else entries_[it->second].second = value;
}

PreferenceStore& user_preference_store() {
  static UserPreferenceStore store;
  return store;
}

PreferenceStore& preference_store() { return redirected_store ? *redirected_store : user_preference_store(); }
void set_preference_store(PreferenceStore* store) { redirected_store = store; }

// ---------------------------------------------------------------- record

void set_factory_prefs(uint8_t groups, prefs_rec* p) {
  if (!p) return;
  if (groups & PREFS_PRECISION) {
    p->length_decimals = 2;
    p->angle_decimals = 1;
    p->other_decimals = 2;
    p->length_unit = 1;
    p->angle_unit = 1;
  }
  if (groups & PREFS_EQUATIONS) {
    p->equation_type = 3;
    p->coordinate_system = 0;
  }
  if (groups & PREFS_LOCUS) {
    p->link_points = 1;
    p->envelope = 0;
    p->locus_points = 50;
  }
  if (groups & PREFS_STYLES) {
    static constexpr const char* kColors[kGraphicKinds] = {"Red",  "Lime",     "Magenta",    "Navy", "Blue",
                                                           "Cyan", "DarkGray", "DarkOrange", "Red",  "Black"};
    for (int k = 0; k < kGraphicKinds; ++k) {
      kind_pref& kind = p->kinds[k];
      kind = kind_pref{};
      kind.color = color_by_name(kColors[k]);
      kind.graph_type = k < 6 ? 1 : 0;
      if (k == 1) kind.smartline_length = 1.0;
    }
    const text_style_pref text = make_factory_text_style(kFactoryTextSize, false);
    for (text_style_pref& t : p->texts) t = text;
    prefs_smartline_lengths[0] = prefs_smartline_lengths[1] = 1.0;
  }
  if (groups & PREFS_GEOMETRY) {
    p->manage_infinity = 1;
    p->manage_point_on_object = 1;
  }
  if (groups & PREFS_SYSTEM) {
    p->bitmap_copy = 0;
    p->tolerance = 2;
    p->cursor_text = make_factory_text_style(kFactoryTextSize, false);
    p->menu_text = make_factory_text_style(kFactoryMenuSize, true);
  }
}

namespace {

void read_style(PreferenceStore& store, text_style_pref* style, const char* prefix) {
  read_color(store, join(prefix, " Color"), &style->color);
  read_int(store, join(prefix, " Size"), &style->size, 1, kLargestTextSize);
  read_int(store, join(prefix, " Face"), &style->face, 0, 0xFFFF);
  read_int(store, join(prefix, " Char Set"), &style->char_set, 0, 0xFF);
  std::string face;
  if (store.get(join(prefix, " Font").c_str(), &face) && !face.empty())
    style->font = font_for_name(face.c_str(), static_cast<int32_t>(style->size));
}

}  // namespace

void read_text_style_pref(text_style_pref* style, const char* prefix, const char*) {
  if (!style || !prefix) return;
  PreferenceStore& store = preference_store();
  store.begin_reading();
  read_style(store, style, prefix);
}

void write_text_style_pref(const text_style_pref* style, const char* prefix, const char*) {
  if (!style || !prefix) return;
  std::vector<std::pair<std::string, std::string>> entries;
  put_text_style(entries, *style, prefix);
  PreferenceStore& store = preference_store();
  for (const auto& [k, v] : entries) store.set(k.c_str(), v.c_str());
  store.sync();
}

void read_preferences(prefs_rec* p, const char*) {
  if (!p) return;
  set_factory_prefs(PREFS_ALL, p);
  PreferenceStore& store = preference_store();
  store.begin_reading();
  read_bool(store, "BitmapCopyOn", &p->bitmap_copy);
  read_bool(store, "ManageInfinityOn", &p->manage_infinity);
  read_bool(store, "ManagePtOnObjectOn", &p->manage_point_on_object);
  read_bool(store, "LinkPointOn", &p->link_points);
  read_bool(store, "EnvelopOn", &p->envelope);
  // The ranges are those the preferences dialog offers.
  read_int(store, "NbLocusObject", &p->locus_points, 1, 5000);
  read_int(store, "LgthNbreDec", &p->length_decimals, 0, 10);
  read_int(store, "AngleNbreDec", &p->angle_decimals, 0, 10);
  read_int(store, "OtherNbreDec", &p->other_decimals, 0, 10);
  read_int(store, "LengthUnit", &p->length_unit, 0, 4);
  read_int(store, "AngleUnit", &p->angle_unit, 0, 2);
  read_int(store, "EquationType", &p->equation_type, 0, 7);
  read_int(store, "CoordSysts", &p->coordinate_system, 0, 3);
  read_int(store, "Tolerance", &p->tolerance, 1, 8);
  read_style(store, &p->cursor_text, kCursorTextPrefix);
  read_style(store, &p->menu_text, kMenuTextPrefix);
  for (int k = 0; k < kGraphicKinds; ++k) {
    kind_pref& kind = p->kinds[k];
    const char* name = kGraphicKindNames[k];
    read_color(store, join(name, " Color"), &kind.color);
    read_int(store, join(name, " Thick"), &kind.thickness, 0, 2);
    read_int(store, join(name, " Dotted"), &kind.dotted, 0, 2);
    // Point shapes index the mark table; the other kinds' shapes are bytes.
    read_int(store, join(name, " Graph Type"), &kind.graph_type, 0, k == 0 ? 10 : 255);
    if (k == 1) {
      std::string text;
      if (store.get("Lines Smartline Type", &text)) {
        read_int(store, "Lines Smartline Type", &kind.smartline_type, 0, 255);
        prefs_smartline_lengths[0] = prefs_smartline_lengths[1] = 1.0;
      }
      double length = 0;
      if (store.get("Lines Smartline Length", &text) && parse_real(text, &length) && length >= -1.0 &&
          length <= 1.0e6)
        kind.smartline_length = length;
    }
  }
  for (int k = 0; k < kTextKinds; ++k) read_style(store, &p->texts[k], kTextKindNames[k]);
  // Any other text leaves the icon size as it was.
  std::string icons;
  if (store.get("Toolbar Icon Size", &icons)) {
    if (icons == "16x16") toolbar_icon_size = 16;
    else if (icons == "32x32") toolbar_icon_size = 32;
  }
}

std::vector<std::pair<std::string, std::string>> preference_entries(const prefs_rec& p) {
  std::vector<std::pair<std::string, std::string>> out;
  auto flag = [&](const char* key, uint8_t v) { out.emplace_back(key, v ? "TRUE" : "FALSE"); };
  auto number = [&](const char* key, int64_t v) { out.emplace_back(key, int_text(v)); };
  flag("BitmapCopyOn", p.bitmap_copy);
  flag("ManageInfinityOn", p.manage_infinity);
  flag("ManagePtOnObjectOn", p.manage_point_on_object);
  flag("LinkPointOn", p.link_points);
  flag("EnvelopOn", p.envelope);
  number("NbLocusObject", p.locus_points);
  number("LgthNbreDec", p.length_decimals);
  number("AngleNbreDec", p.angle_decimals);
  number("OtherNbreDec", p.other_decimals);
  number("LengthUnit", p.length_unit);
  number("AngleUnit", p.angle_unit);
  number("EquationType", p.equation_type);
  number("CoordSysts", p.coordinate_system);
  number("Tolerance", p.tolerance);
  put_text_style(out, p.cursor_text, kCursorTextPrefix);
  put_text_style(out, p.menu_text, kMenuTextPrefix);
  for (int k = 0; k < kGraphicKinds; ++k) {
    const kind_pref& kind = p.kinds[k];
    const char* name = kGraphicKindNames[k];
    out.emplace_back(join(name, " Color"), color_name(kind.color));
    out.emplace_back(join(name, " Thick"), int_text(kind.thickness));
    out.emplace_back(join(name, " Dotted"), int_text(kind.dotted));
    out.emplace_back(join(name, " Graph Type"), int_text(kind.graph_type));
    if (k == 1) {
      out.emplace_back("Lines Smartline Type", int_text(kind.smartline_type));
      // Five decimals in the C locale, whatever the user's locale.
      char length[64];
      const double v = std::isfinite(kind.smartline_length) ? kind.smartline_length : 1.0;
      const auto end = std::to_chars(length, length + sizeof length - 1, v, std::chars_format::fixed, 5).ptr;
      out.emplace_back("Lines Smartline Length", std::string(length, end));
    }
  }
  for (int k = 0; k < kTextKinds; ++k) put_text_style(out, p.texts[k], kTextKindNames[k]);
  return out;
}

void write_preferences(const prefs_rec* p, const char*) {
  if (!p) return;
  PreferenceStore& store = preference_store();
  for (const auto& [k, v] : preference_entries(*p)) store.set(k.c_str(), v.c_str());
  store.sync();
}

uint32_t color_from_name(const char* name) {
  if (!name) return color_by_name("Black");
  for (int i = 0; i < color_count; ++i)
    if (std::strcmp(color_name_by_index(i), name) == 0) return color_by_index(i);
  static constexpr const char* kPaletteNames[palette16_count] = {
      "BLANC",     "JAUNE",       "ORANGE", "ROUGE",     "POURPRE", "VIOLET",    "BLEU", "BLEUclair",
      "VERT",      "VERTfonce",   "MARRONfonce", "MARRON", "GRISclair", "GRIS", "GRISfonce", "NOIR"};
  for (int i = 0; i < palette16_count; ++i)
    if (std::strcmp(kPaletteNames[i], name) == 0) return palette16_color(i);
  return color_by_name("Black");
}
