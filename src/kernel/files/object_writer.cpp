#include "kernel/files/object_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/file_paths.h"
#include "kernel/files/macro_text.h"
#include "kernel/files/object_helpers.h"
#include "kernel/files/object_reader.h"
#include "kernel/files/text_convert.h"
#include "kernel/files/text_output.h"
#include "kernel/files/text_family.h"
#include "kernel/measure/formula_text.h"
#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/model/units.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/files/file_colors.h"
#include "kernel/render/colors.h"
#include "kernel/render/fonts.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/reference_marker.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/label_settings.h"
#include "platform/kp_files.h"

uint8_t rich_text_mode = 1;

namespace {

const char* const kEquationForms[6] = {"AX_BY_CEG0", "YEGAX_B",     "X2PY2EG0",
                                       "X2PY2EGR2",  "X2PXYPY2EG0", "X2A2PY2B2EG1"};
const char* const kCoordinateForms[4] = {"cart", "pol deg", "pol grad", "pol rad"};
const char* const kPointShapes[5] = {"1x1", "3x3", "CIRCLE", "TIMES", "PLUS"};
const char* const kUnitNames[5][5] = {{"", "", "", "", ""},
                                      {"mm", "cm", "m", "km", "su"},
                                      {"mm2", "cm2", "m2", "km2", "su2"},
                                      {"mm3", "cm3", "m3", "km3", "su3"},
                                      {"rd", "deg", "gr", "", ""}};

bool is_fillable(uint16_t t) {
  switch (t) {
    case TYPE_TRIANGLE: case TYPE_POLYGON: case 6: case TYPE_CIRCLE: case TYPE_ARC:
    case TYPE_TEXT: case TYPE_NUMBER: case TYPE_PROPERTY: case TYPE_EQUATION: case TYPE_TABLE:
    case TYPE_EXPRESSION: case TYPE_BUTTON:
      return true;
    default:
      return false;
  }
}

bool is_polygonal(uint16_t t) { return t == TYPE_TRIANGLE || t == TYPE_POLYGON || t == 6; }

uint16_t parent_type(const object* obj, int k) {
  if (obj == nullptr || k >= obj->nbparents || obj->parents == nullptr) return 0;
  return object_type_id(obj->parents[k]);
}

// Kernel text goes to the file in Windows-1252, as the header announces.
void put_text(TxtOut& out, const char* s, size_t n) {
  for (size_t k = 0; k < n; ++k) {
    auto b = static_cast<uint8_t>(s[k]);
    out.ch(static_cast<char>(b >= 128 ? charset_mac_to_windows[b - 128] : b));
  }
}

void put_number(TxtOut& out, const char* prefix, uint32_t n, const char* suffix) {
  out.put(prefix);
  out.u(n);
  out.put(suffix);
}

bool label_shown(const object* obj) {
  return obj->te != nullptr && obj->te->text != nullptr && obj->te->text[0] != '\0' &&
         !is_text_like_type(object_type_id(obj));
}

// The referenced object a marker of obj's text stands for, or null.
object* marker_target(const object* obj, uint16_t n) {
  for (insert_object* node = obj != nullptr ? obj->inserted : nullptr; node; node = node->next)
    if (node->number == n) return node->obj;
  return nullptr;
}

// Does the text shown by a referenced object end with a digit (or a digit and
// a blank)? Then a list separator after its marker is written as ",".
bool ends_with_number(const object* target) {
  if (target == nullptr || target->te == nullptr || target->te->text == nullptr) return false;
  size_t n = std::strlen(target->te->text);
  const char* t = target->te->text;
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (n >= 1 && digit(t[n - 1])) return true;
  return n >= 2 && t[n - 1] == ' ' && digit(t[n - 2]);
}

// A quoted text. With an owner, only markers bound to one of its references
// become '"#' (the reader numbers them in order of appearance, matching the
// order of "inc.elmts:"); a marker bound to nothing stays literal text.
int32_t write_quoted(TxtOut& out, const char* text, const object* owner) {
  const int32_t start = out.len;
  out.ch('"');
  for (const char* p = text != nullptr ? text : ""; *p != '\0';) {
    uint16_t mlen = 0;
    uint16_t n = parse_reference_marker(p, &mlen);
    if (n != 0 && (owner == nullptr || marker_target(owner, n) != nullptr)) {
      out.put("\"#", 2);
      p += mlen;
      if (owner != nullptr && *p == list_separator && ends_with_number(marker_target(owner, n))) {
        out.ch(',');
        ++p;
      }
      continue;
    }
    if (*p == '"') out.ch('"');
    put_text(out, p, 1);
    ++p;
  }
  out.ch('"');
  return out.len - start;
}

// Objects referenced in obj's text, one per bound marker in order of
// appearance, then the references no marker uses, by reference number.
std::vector<object*> referenced_in_order(const object* obj) {
  std::vector<object*> refs;
  std::vector<const insert_object*> used;
  const uint16_t t = object_type_id(obj);
  const bool text_written = t == TYPE_TEXT || t == TYPE_EXPRESSION || t == TYPE_BUTTON;
  if (text_written && obj->te != nullptr && obj->te->text != nullptr) {
    for (const char* p = obj->te->text; *p != '\0';) {
      uint16_t mlen = 0;
      uint16_t n = parse_reference_marker(p, &mlen);
      if (n == 0) {
        ++p;
        continue;
      }
      for (const insert_object* node = obj->inserted; node; node = node->next) {
        if (node->number == n) {
          refs.push_back(node->obj);
          used.push_back(node);
          break;
        }
      }
      p += mlen;
    }
  }
  std::vector<const insert_object*> rest;
  for (const insert_object* node = obj->inserted; node; node = node->next)
    if (std::find(used.begin(), used.end(), node) == used.end()) rest.push_back(node);
  std::sort(rest.begin(), rest.end(),
            [](const insert_object* a, const insert_object* b) { return a->number < b->number; });
  for (const insert_object* node : rest) refs.push_back(node->obj);
  return refs;
}

void put_side_form(TxtOut& out, const math_info& w) {
  if (w.side.side_of_point != 0) {
    out.put("side:from pt, ");
  } else {
    out.put("side:");
    out.i(w.side.index);
    out.put(", ");
  }
}

void put_axis_form(TxtOut& out, uint8_t byte) { out.put(byte == 1 ? "axis:x, " : "axis:y, "); }

void put_coordinate_form(TxtOut& out, const math_info& w) {
  uint8_t b1 = w.equa.typeunite;
  out.put(kCoordinateForms[b1 < 4 ? b1 : 0]);
  out.put(", ");
}

const char* unit_name(uint8_t unite) {
  int row = unite / 32, col = unite % 32;
  if (row > 4 || col > 4 || kUnitNames[row][col][0] == '\0') return "WU";
  return kUnitNames[row][col];
}

void put_color_code(TxtOut& out, const char* key, uint32_t color) {
  out.put(key);
  out.put(color_code_by_index(nearest_color_index(color)));
  out.put(", ");
}

// Colours, thickness, dash and opacity, as styles and labels write them.
void put_line_style(TxtOut& out, bool own_color, uint32_t color, bool own_fill, uint32_t fill,
                    uint8_t thickness, dot dash, int8_t opaque) {
  if (own_color) put_color_code(out, "color:", color);
  if (own_fill) put_color_code(out, "fill color:", fill);
  if (thickness == 1) out.put("thicker, ");
  if (thickness == 2) out.put("thick, ");
  if (dash.lg != dash.cycle) {
    out.put("DS:");
    out.u(dash.lg);
    out.ch(' ');
    out.u(dash.cycle);
    out.put(", ");
  }
  if (opaque != 0) out.put("opaque, ");
}

void put_rgb(TxtOut& out, const char* key, uint32_t color) {
  out.put(key);
  out.u(color & 255);
  out.ch(' ');
  out.u((color >> 8) & 255);
  out.ch(' ');
  out.u((color >> 16) & 255);
  out.put(", ");
}

// The file-name part of a path.
const char* file_name_part(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p)
    if (*p == '/' || *p == '\\') name = p + 1;
  return name;
}

void put_real(TxtOut& out, double v, int16_t sign) {
  out.add(txt_format_real(out.here(), &v, sign));
}

// The run line and stored block of a text record.
// The nearest of the sixteen palette colours, as files of the older format
// give run colours.
int nearest_palette16(uint32_t color) {
  int best = 15;
  int32_t best_d = INT32_MAX;
  for (int i = 0; i < 16; ++i) {
    const int32_t d = color_distance_sq(palette16_color(i), color);
    if (d < best_d) best = i, best_d = d;
  }
  return best;
}

void put_rich_run(TxtOut& out, const TErec* te, bool property, bool older = false) {
  out.put("p: 0, ");
  const char* face = font_name_by_id(te->format.font_id);
  out.put(face != nullptr ? face : kDefaultFaceName);
  out.put(", S: ");
  // A size of 0 reads as 12 points: write what will be read. The older
  // edition keeps the font's character height instead of its points.
  const int32_t points = te->format.size > 0 ? te->format.size : 12;
  out.i(older ? font_points_to_height(nullptr, points) : points);
  out.put(" C: ");
  out.u(static_cast<uint32_t>(older ? nearest_palette16(te->format.color) : nearest_color_index(te->format.color)));
  out.put(" Fa: ");
  out.u(te->format.style);
  if (property && rich_text_mode == 0) return;
  out.add(txt_write_rtf_block(te->rtf_data, out.here()));
}

// The extension a line or ray has at its next drawing: a pending length
// -10 - L is L, and -1 stands for the default length of lines.
double drawn_length(double stored, int end) {
  if (!std::isfinite(stored)) return 0;
  if (stored >= 0) return stored;
  if (stored == -1.0) {
    double d = default_attrs[ATTRS_LINE].settings.smartline_length[end];
    return std::isfinite(d) && d >= 0 ? d : 0;
  }
  return -10.0 - stored;
}

int32_t table_cells_piece(object* obj, char* dst) { return txt_write_table_cells(obj, dst); }

}  // namespace

int32_t txt_format_real(char* dst, const double* value, int16_t sign) {
  TxtOut out(dst);
  double v = *value;
  double w = v;
  if (!std::isfinite(v)) {
    w = 0;  // a value that is not a number would make the record unreadable
  } else {
    double r = std::floor(v + 0.5);
    bool fits = r >= INT32_MIN && r <= INT32_MAX;
    double n = fits ? static_cast<double>(static_cast<int32_t>(r)) : v;
    if (sign != 0) {
      double a = std::fabs(v);
      w = (fits && std::fabs(n - v) <= 1e-9 && a >= 0.001 && a <= 1e6) ? n * sign : v * sign;
    } else {
      w = (fits && std::fabs(n - v) < 1e-9) ? n : v;
    }
  }
  out.ch(' ');
  out.g(w / pixels_per_unit, 15);
  return out.len;
}

int32_t txt_format_coord(int32_t value, char* dst) {
  TxtOut out(dst);
  out.ch(' ');
  out.g(value / pixels_per_unit, 15);
  return out.len;
}

int32_t txt_write_quoted(const char* text, char* dst) {
  TxtOut out(dst);
  return write_quoted(out, text, nullptr);
}

int32_t txt_write_quoted_text_of(const object* owner, char* dst) {
  TxtOut out(dst);
  return write_quoted(out, owner != nullptr && owner->te != nullptr ? owner->te->text : nullptr, owner);
}

int32_t txt_write_rich_runs(const TErec* te, bool property, char* dst) {
  TxtOut out(dst);
  if (te == nullptr) return 0;
  put_rich_run(out, te, property, true);
  return out.len;
}

const char* txt_unit_name(uint8_t unite) { return unit_name(unite); }

void txt_fix_picture_extension(bitmap_info* picture) {
  if (picture == nullptr || picture->name == nullptr || is_ti_screen_bitmap_name(picture->name) != nullptr) return;
  HANDLE file = CreateFile(picture->name, GENERIC_READ, 0, nullptr, 3 /* open existing */, 128, nullptr);
  if (file != nullptr && file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return;
  }
  // Only the file name's own extension: a dot in a folder's name is none.
  const char* name = picture->name;
  const char* dot = std::strrchr(path_file_name(name), '.');
  if (dot == nullptr || std::strlen(dot + 1) <= 2) return;
  const auto keep = static_cast<size_t>(dot + 1 - name);
  auto* renamed = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(keep + 4)));
  if (renamed == nullptr) return;
  std::memcpy(renamed, name, keep);
  std::memcpy(renamed + keep, "bmp", 3);
  GlobalFreeAndNull(&picture->name);
  picture->name = renamed;
}

std::vector<object*> txt_text_references_in_order(const object* obj) { return referenced_in_order(obj); }

int32_t txt_write_text_box(char* dst, const TErec* te) {
  TxtOut out(dst);
  if (te == nullptr) return 0;
  out.put("TP: ");
  out.add(txt_format_coord(te->pos.x, out.here()));
  out.put(", ");
  // The file's y grows upwards; the lowest place a frame can have has no
  // opposite, and is written as the highest.
  const int32_t up = te->pos.y == INT32_MIN ? INT32_MAX : -te->pos.y;
  out.add(txt_format_coord(up, out.here()));
  out.put(", TS: ");
  out.add(txt_format_coord(te->size.w, out.here()));
  out.put(", ");
  out.add(txt_format_coord(te->size.h, out.here()));
  return out.len;
}

int32_t txt_write_rtf_block(const char* data, char* dst) {
  TxtOut out(dst);
  if (data == nullptr) return 0;
  const uint32_t size = GlobalSize(data);
  if (size >= 4 && std::memcmp(data, "rtfd", 4) == 0) {
    out.put("rtfd", 4);
    out.hex8(size);
    for (uint32_t k = 4; k < size; ++k) out.hex2(static_cast<uint8_t>(data[k]));
    return out.len;
  }
  std::vector<uint32_t> breaks;
  int depth = 0;
  for (uint32_t k = 0; k < size && data[k] != '\0'; ++k) {
    char c = data[k];
    bool escaped = k > 0 && data[k - 1] == '\\';
    if (c == '\r' || c == '\n') {
      breaks.push_back(k);
      out.put(c == '\r' ? "\\'0d" : "\\'0a", 4);
    } else {
      out.ch(c);
    }
    if (!escaped && c == '{') ++depth;
    if (!escaped && c == '}' && --depth <= 0) break;
  }
  out.ch('{');
  for (size_t k = 0; k < breaks.size(); ++k) {
    if (k != 0) out.ch(',');
    out.u(breaks[k]);
  }
  out.ch('}');
  return out.len;
}

int32_t txt_write_object_number(object* obj, char* dst) {
  TxtOut out(dst);
  out.u(obj->num);
  out.put(": ");
  return out.len;
}

int32_t txt_write_macro_result(object* obj, char* dst) {
  TxtOut out(dst);
  if (obj->macro == nullptr) return 0;
  out.put("Ma R, F No");
  out.i(obj->final_no);
  out.put(", ");
  return out.len;
}

int32_t txt_write_class_name(object* obj, char* dst) {
  TxtOut out(dst);
  if (obj->macro != nullptr || obj->classe == nullptr) return 0;
  out.put(obj->classe->short_name != nullptr ? obj->classe->short_name : "");
  out.put(", ");
  return out.len;
}

int32_t txt_write_parents(object* obj, char* dst) {
  TxtOut out(dst);
  if (obj->macro != nullptr || obj->nbparents <= 0 || obj->parents == nullptr) return 0;
  out.put("Const:");
  if (object_type_id(obj) == TYPE_LOCUS) {
    out.ch(' ');
    out.u(obj->parents[0]->num);
    put_number(out, " ", obj->parents[obj->nbparents - 1]->num, ", ");
  } else if (class_is(obj->classe, "Int")) {
    const object* set = obj->parents[0];
    for (int k = 0; set != nullptr && k < set->nbparents; ++k)
      put_number(out, " ", set->parents[k]->num, ", ");
  } else {
    for (int k = 0; k < obj->nbparents; ++k) put_number(out, " ", obj->parents[k]->num, ", ");
  }
  return out.len;
}

int32_t txt_write_included_elements(object* obj, char* dst) {
  TxtOut out(dst);
  if (obj->inserted == nullptr) return 0;
  out.put("inc.elmts:");
  for (object* ref : referenced_in_order(obj)) put_number(out, " ", ref != nullptr ? ref->num : 0, ", ");
  return out.len;
}

int32_t txt_write_associated_elements(object* obj, char* dst) {
  TxtOut out(dst);
  if (obj->associated == nullptr) return 0;
  out.put("ass.elmts:");
  for (objectptrlist* node = obj->associated; node; node = node->next)
    put_number(out, " ", node->obj != nullptr ? node->obj->num : 0, ", ");
  return out.len;
}

int32_t txt_write_type_info_word(char* dst, const construct_class* cls, int16_t method,
                                 math_info w, const uint16_t* pt, int nparents) {
  TxtOut out(dst);
  const uint16_t p0 = nparents > 0 ? pt[0] : 0;
  const uint16_t p1 = nparents > 1 ? pt[1] : 0;
  const uint16_t t = class_type_id(cls);
  if (t == TYPE_LOCUS) {
    out.put(w.locus.lkpt != 0 ? "lk pts, " : "unlk pts, ");
    out.put(w.locus.envelop != 0 ? "envelop, " : "locus, ");
    out.put("nb pts: ");
    out.i(w.locus.nb_pts);
    out.put(", ");
  } else if (class_is(cls, "PReg")) {
    if (method == 1) {
      out.put("sides nb: ");
      out.i(w.polreg.nbsides);
      out.put(", density:");
      out.i(w.polreg.index);
      out.put(", ");
    } else {
      out.put("index:");
      out.i(w.polreg.index);
      out.put(", ");
    }
  } else if (class_is(cls, "Eq/Co")) {
    int form = p0 == TYPE_LINE ? 0 : p0 == TYPE_CIRCLE ? 2 : 4;
    if (w.equa.format != 0) ++form;
    out.put(kEquationForms[form]);
    out.put(", ");
    put_coordinate_form(out, w);
  } else if (t == TYPE_GRID || t == TYPE_AXES) {
    put_coordinate_form(out, w);
  } else if (class_is(cls, "Mid") || class_is(cls, "PBiss")) {
    if (is_polygonal(p0)) put_side_form(out, w);
  } else if (class_is(cls, "Perp") || class_is(cls, "Par") || class_is(cls, "Refl")) {
    if (is_polygonal(p1))
      put_side_form(out, w);
    else if (p1 == TYPE_AXES)
      put_axis_form(out, w.side.index);
  } else if ((class_is(cls, "Lgth") || class_is(cls, "Text")) && nparents > 1) {
    if (p1 == TYPE_AXES) put_axis_form(out, w.side.index);
  } else if (class_is(cls, "IsOn?")) {
    if (p1 == TYPE_AXES) put_axis_form(out, w.side.index);
  } else if (class_is(cls, "Transf")) {
    if (p0 == TYPE_AXES) put_axis_form(out, w.side.index);
  } else if (class_is(cls, "Par?") || class_is(cls, "Perp?")) {
    const uint16_t types[2] = {p0, p1};
    const uint8_t bytes[2] = {w.side.index, w.side.index2};
    for (int k = 0; k < 2; ++k) {
      if (is_polygonal(types[k])) {
        out.put("side:");
        out.i(bytes[k]);
        out.put(", ");
      } else if (types[k] == TYPE_AXES) {
        put_axis_form(out, bytes[k]);
      }
    }
  } else if (class_is(cls, "Int")) {
    out.put("int ind:");
    out.alt_hex(w.inter_index);
    out.put(", ");
  } else if (class_is(cls, "Pt/")) {
    if (p0 == TYPE_AXES) {
      put_axis_form(out, w.side.index);
      if (w.side.force_grad != 0) out.put("on mark, ");
    }
  }
  return out.len;
}

int32_t txt_write_type_info(object* obj, char* dst) {
  uint16_t types[2] = {parent_type(obj, 0), parent_type(obj, 1)};
  return txt_write_type_info_word(dst, obj->classe, obj->methode, obj->math, types, obj->nbparents);
}

int32_t txt_write_values(object* obj, char* dst) {
  TxtOut out(dst);
  uint8_t kinds[kFieldKindCount];
  if (obj->nbvaleurs <= 0 || obj->valeurs == nullptr ||
      class_field_kinds(obj->classe, obj->methode, obj->nbparents, kinds) == 0)
    return 0;
  const bool angle = class_is(obj->classe, "Angle");
  // A value the figure computes (a point on an object, the image of a
  // transfer from a point, the end of a spring on a point) is computed
  // again when it is read back, which moves it by a few units of its last
  // digit: written on the grid of file values, it comes back to the same
  // grid value and the file stays the same, save after save. Free values
  // (points, a line's direction, a radius) are written as they are.
  const bool computed = class_is(obj->classe, "Pt/") || (class_is(obj->classe, "Transf") && obj->methode == 2) ||
                        class_is(obj->classe, "Spr");
  out.put("Val:");
  for (int i = 0; i < obj->nbvaleurs && i < kFieldKindCount; ++i) {
    const valeur& v = obj->valeurs[i];
    // A spring's second value is its free pull.
    auto as_written = [computed, i](double x) { return computed && i == 0 ? file_grid_value(x) : x; };
    if (kinds[i] & FIELD_H) put_real(out, as_written(v.h), 1);
    if (kinds[i] & FIELD_V) put_real(out, as_written(v.v), -1);
    if (kinds[i] & FIELD_RADIUS) {
      if (angle) {
        // A mark's orientation and size factor, as they are: with fewer
        // digits a mark resized by a drag would come back another size.
        out.ch(' ');
        out.g(std::isfinite(v.info.rayon) ? v.info.rayon : 0, 15);
      } else {
        put_real(out, as_written(v.info.rayon), 0);
      }
    }
  }
  return out.len;
}

int32_t txt_write_number_value(object* obj, char* dst) {
  TxtOut out(dst);
  if (obj->nbvaleurs <= 0 || obj->valeurs == nullptr || obj->te == nullptr ||
      !class_has_value(obj->classe))
    return 0;
  out.put("Val: ");
  out.i(obj->te->pos.x);
  out.ch(' ');
  out.i(obj->te->pos.y);
  out.ch(' ');
  double r = obj->valeurs[0].info.rayon;
  out.g(std::isfinite(r) ? r : 0, 6);
  const bool a = (obj->aux2 & 2) != 0 || ((obj->aux2 & 8) != 0 && object_type_id(obj) == TYPE_TEXT);
  out.put(a ? ", A, " : ", nA, ");
  out.put((obj->aux2 & 4) != 0 ? "P, " : "nP, ");
  return out.len;
}

int32_t txt_write_style(char* dst, object* obj, const object_settings* s, uint16_t t,
                        bool macro_step) {
  TxtOut out(dst);
  if (s->Color == 0xFFFFFFFFu && s->FillColor == 0xFFFFFFFFu && s->thickness == 255 &&
      s->graph_type == 255) {
    out.put("default settings, ");
    return out.len;
  }
  if (obj != nullptr && obj->bitmap != nullptr && obj->bitmap->name != nullptr) {
    txt_fix_picture_extension(obj->bitmap);
    const char* screen = is_ti_screen_bitmap_name(obj->bitmap->name);
    out.put("Bitmap:");
    out.put(screen != nullptr ? screen : file_name_part(obj->bitmap->name));
    out.put(", ");
  }
  const uint32_t standard = type_default_color(t);
  const bool own_color = s->Color != standard;
  // The fill a reader assumes when none is written: light grey for buttons,
  // the background (no fill) for everything else.
  const uint32_t standard_fill = t == TYPE_BUTTON ? color_by_index(37) : back_color;
  const bool own_fill = is_fillable(t) && s->FillColor != standard_fill;
  put_line_style(out, own_color, s->Color, own_fill, s->FillColor, s->thickness, s->dot_style,
                 s->opaque);
  if ((t == TYPE_POINT || t == TYPE_LOCUS) && s->graph_type != 1 && s->graph_type < 5) {
    out.put(kPointShapes[s->graph_type]);
    out.put(", ");
  }
  if (t == TYPE_SEGMENT && s->graph_type != 0) put_number(out, "marks nb:", s->graph_type, ", ");
  if (t == TYPE_ANGLE && s->graph_type != 16)
    put_number(out, "marks nb:", (s->graph_type & 15u) + 1, ", ");
  if ((t == TYPE_LINE || t == TYPE_RAY) && s->smartline_type != 0) {
    put_number(out, "SL:", s->smartline_type, "");
    out.ch(' ');
    out.g(drawn_length(s->smartline_length[0], 0), 15);
    if (t == TYPE_LINE) {
      out.ch(' ');
      out.g(drawn_length(s->smartline_length[1], 1), 15);
    }
    out.put(", ");
  }
  if (s->visible == 0) out.put("invisible, ");
  if (s->marked != 0) out.put("trace, ");
  if (s->sticky != 0) out.put("sticky, ");
  if (obj != nullptr && (obj->aux2 & 32) != 0) out.put("pushed, ");
  if (t == TYPE_NUMBER || t == TYPE_EQUATION) {
    put_number(out, "NbD:", s->nbre_decimales, ", ");
    out.put(s->contraint != 0 ? "FD, " : "nFD, ");
    out.put(unit_name(s->unite));
    out.put(", ");
  }
  if (!macro_step && own_color) put_rgb(out, "COLOR ", s->Color);
  if (!macro_step && own_fill) put_rgb(out, "FCOLOR ", s->FillColor);
  return out.len;
}

int32_t txt_write_object_style(object* obj, char* dst) {
  return txt_write_style(dst, obj, &obj->settings, object_type_id(obj));
}

int32_t txt_write_param_colors(object* obj, char* dst) {
  TxtOut out(dst);
  const param_color* blocks[2] = {obj->pcolor, obj->pfill};
  const char* titles[2] = {"Param color:", "Param fill:"};
  for (int b = 0; b < 2; ++b) {
    if (blocks[b] == nullptr) continue;
    out.put(titles[b]);
    if (blocks[b]->red) put_number(out, "red:", blocks[b]->red->num, ", ");
    if (blocks[b]->green) put_number(out, "green:", blocks[b]->green->num, ", ");
    if (blocks[b]->blue) put_number(out, "blue:", blocks[b]->blue->num, ", ");
  }
  return out.len;
}

int32_t txt_write_label(object* obj, char* dst) {
  TxtOut out(dst);
  if (!label_shown(obj)) return 0;
  write_quoted(out, obj->te->text, nullptr);
  const label_settings* ls = obj->label;
  if (ls == nullptr) return out.len;
  const bool own_color = ls->Color != back_color;
  const bool own_fill = ls->FillColor != back_color;
  if (!own_color && !own_fill && ls->thickness == 0 && ls->dot_style.lg == ls->dot_style.cycle &&
      ls->opaque == 0)
    return out.len;
  out.put(", ");
  // The nearest colour of the table, so that a colour outside it is not
  // written as black.
  put_line_style(out, own_color, ls->Color, own_fill, ls->FillColor, ls->thickness, ls->dot_style,
                 ls->opaque);
  return out.len;
}

int32_t txt_write_text_string(object* obj, char* dst) {
  TxtOut out(dst);
  const uint16_t t = object_type_id(obj);
  if ((t != TYPE_TEXT && t != TYPE_EXPRESSION && t != TYPE_BUTTON) || obj->te == nullptr) return 0;
  write_quoted(out, obj->te->text, obj);
  return out.len;
}

int32_t txt_write_number_text(object* obj, char* dst) {
  TxtOut out(dst);
  const char* source = nullptr;
  const bool formula = class_is(obj->classe, "Formula");
  if (class_is(obj->classe, "Num") && obj->macro == nullptr) {
    source = obj->te != nullptr ? obj->te->text : nullptr;
  } else if (formula) {
    if (obj->parents != nullptr && obj->nbparents >= 0 &&
        GlobalSize(obj->parents) / sizeof(object*) > static_cast<uint32_t>(obj->nbparents))
      source = reinterpret_cast<const char*>(obj->parents[obj->nbparents]);
  } else {
    return 0;
  }
  std::string copy = source != nullptr && source[0] != '\0' ? source : "0";
  if (formula)
    convert_formula_to_c_locale(copy.data());
  else
    text_decimal_to_c(copy.data());
  put_text(out, copy.data(), copy.size());
  return out.len;
}

int32_t txt_write_text_frame(object* obj, char* dst) {
  const uint16_t t = object_type_id(obj);
  const bool framed = t == TYPE_TEXT || t == TYPE_EXPRESSION || t == TYPE_TABLE || t == TYPE_BUTTON ||
                      class_is(obj->classe, "Num") || class_is(obj->classe, "Formula") ||
                      class_is(obj->classe, "Exp_num_App") || label_shown(obj);
  if (!framed || obj->te == nullptr) return 0;
  TxtOut out(dst);
  out.add(txt_write_text_box(out.here(), obj->te));
  out.crlf();
  return out.len;
}

int32_t txt_write_property_texts(object* obj, char* dst) {
  TxtOut out(dst);
  if (object_type_id(obj) != TYPE_PROPERTY || obj->valeurs == nullptr ||
      GlobalSize(obj->valeurs) < 2 * sizeof(TErec*))
    return 0;
  auto* texts = reinterpret_cast<TErec**>(obj->valeurs);
  for (int k = 0; k < 2; ++k) {
    const TErec* te = texts[k];
    if (te == nullptr) continue;
    out.put(k == 0 ? "Tr: " : "Fa: ");
    out.add(txt_write_text_box(out.here(), te));
    out.crlf();
    write_quoted(out, te->text, nullptr);
    out.crlf();
    put_rich_run(out, te, true);
    if (k == 0) out.crlf();
  }
  return out.len;
}

int32_t txt_write_rich_text(object* obj, char* dst) {
  TxtOut out(dst);
  const uint16_t t = object_type_id(obj);
  if (obj->te == nullptr || t == TYPE_PROPERTY) return 0;
  if (!is_text_like_type(t) && !label_shown(obj)) return 0;
  put_rich_run(out, obj->te, false);
  return out.len;
}

int32_t txt_write_table_columns(object* obj, char* dst) {
  TxtOut out(dst);
  if (object_type_id(obj) != TYPE_TABLE || obj->macro != nullptr) return 0;
  out.put(", TC:");
  out.add(txt_write_column_widths(obj, out.here()));
  return out.len;
}

int32_t txt_write_column_widths(const object* obj, char* dst) {
  TxtOut out(dst);
  bool all_standard = true;
  const int32_t* widths = obj->te != nullptr ? obj->te->column_widths : nullptr;
  if (widths != nullptr) {
    const uint32_t slots = GlobalSize(widths) / sizeof(int32_t);
    for (int32_t i = 1; i <= widths[0] && static_cast<uint32_t>(i) < slots; ++i) {
      // An entry the drawing added and the user never set is 0: the
      // standard width, which the file does not list.
      const int32_t width = widths[i] > 0 ? widths[i] : 70;
      if (width == 70) continue;
      all_standard = false;
      out.ch(' ');
      out.i(i);
      out.ch(':');
      out.i(width);
    }
  }
  if (all_standard) out.put(" std");
  return out.len;
}

int32_t txt_write_object_record(object* obj, char* dst) {
  TxtOut out(dst);
  auto piece = [&out, obj](int32_t (*writer)(object*, char*)) {
    int32_t n = writer(obj, out.here());
    out.add(n);
    return n;
  };
  piece(txt_write_object_number);
  piece(txt_write_macro_result);
  piece(txt_write_class_name);
  piece(txt_write_parents);
  piece(txt_write_included_elements);
  piece(txt_write_associated_elements);
  piece(txt_write_type_info);
  piece(txt_write_values);
  piece(txt_write_number_value);
  out.crlf();

  if (piece(txt_write_object_style) + piece(txt_write_param_colors) != 0) out.crlf();

  int32_t text = piece(txt_write_label);
  text += piece(txt_write_text_string);
  text += piece(table_cells_piece);
  text += piece(txt_write_number_text);
  if (text != 0) out.crlf();

  piece(txt_write_text_frame);

  int32_t trailer = piece(txt_write_property_texts);
  trailer += piece(txt_write_rich_text);
  trailer += piece(txt_write_table_columns);
  if (trailer != 0) out.crlf();
  out.crlf();
  if (out.at != nullptr) out.at[out.len] = '\0';
  return out.len;
}

int32_t txt_write_object(object* obj, char* dst) {
  const uint8_t saved = rich_text_mode;
  rich_text_mode = 0;
  int32_t n = txt_write_object_record(obj, dst);
  rich_text_mode = saved;
  return n;
}

namespace {

// Whether the reader can build the object again from its record: its
// parents are written and fit a method of its class, as the reader asks.
// A construction left half made does not, and neither does what rests on
// it; such a record would make the reader refuse the whole figure.
bool rebuildable(object* o, const std::unordered_set<const object*>& left_out) {
  if (o->macro != nullptr) return true;
  if (o->classe == nullptr) return false;
  const int n = o->nbparents > 0 && o->parents != nullptr ? o->nbparents : 0;
  for (int k = 0; k < n; ++k)
    if (o->parents[k] == nullptr || left_out.count(o->parents[k]) != 0) return false;
  if (object_type_id(o) == TYPE_LOCUS) return true;
  // The search marks the argument codes of the class; a tool of that class
  // may be half way through its picks (a work session writes the figure
  // then), so the marks are given back as they were.
  std::vector<TYPEOBJ> marks;
  for (construct_methodptr* m = o->classe->methods; m != nullptr && *m != nullptr; ++m)
    for (TYPEOBJ* code = (*m)->args; code != nullptr && *code != 0; ++code) marks.push_back(*code);
  const bool fits = find_method_for_parents(o->classe, o->parents, static_cast<uint32_t>(n)) >= 0;
  size_t k = 0;
  for (construct_methodptr* m = o->classe->methods; m != nullptr && *m != nullptr; ++m)
    for (TYPEOBJ* code = (*m)->args; code != nullptr && *code != 0; ++code) *code = marks[k++];
  return fits;
}

}  // namespace

int32_t txt_write_objects(char* dst) {
  TxtOut out(dst);
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) return 0;
  txt_forget_macro_instance();
  std::unordered_set<const object*> left_out;
  for (object* o = fig->first; o != nullptr; o = o->next) {
    // An application's line comes before its first object, hidden or not.
    out.add(txt_write_macro_instance_line(o, out.here()));
    if (o->macro != nullptr && o->final_no == 0) continue;
    if (class_is(o->classe, "IntSet")) continue;
    if (!rebuildable(o, left_out)) {
      left_out.insert(o);
      continue;
    }
    out.add(txt_write_object_record(o, out.here()));
  }
  txt_forget_macro_instance();
  out.add(txt_write_bitmaps(out.here()));
  return out.len;
}
