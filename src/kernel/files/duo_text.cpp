#include "kernel/files/duo_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/export_question.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/file_dialogs.h"
#include "kernel/files/macro_text.h"
#include "kernel/files/object_helpers.h"
#include "kernel/files/object_writer.h"
#include "kernel/files/text_convert.h"
#include "kernel/files/text_family.h"
#include "kernel/files/text_output.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/measure/formula_text.h"
#include "kernel/model/classes.h"
#include "kernel/model/deletion.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/display_device.h"
#include "kernel/render/colors.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/tool_ids.h"
#include "platform/kernel_services.h"

namespace {

// The macro application whose instance line was written last.
const infomacro* last_instance = nullptr;

uint16_t parent_type_of(const object* o, int k) {
  return o != nullptr && k < o->nbparents && o->parents != nullptr ? object_type_id(o->parents[k]) : 0;
}

bool polygonal(uint16_t t) { return t == 4 || t == 5 || t == 6; }
bool polygonal_or_axes(uint16_t t) { return polygonal(t) || t == TYPE_AXES; }

struct Bytes4 {
  uint8_t b[4];
};
Bytes4 bytes_of(uint32_t w) { return {{uint8_t(w), uint8_t(w >> 8), uint8_t(w >> 16), uint8_t(w >> 24)}}; }
uint32_t word_of(const Bytes4& x) {
  return uint32_t(x.b[0]) | uint32_t(x.b[1]) << 8 | uint32_t(x.b[2]) << 16 | uint32_t(x.b[3]) << 24;
}

// What the side word needs: the class, method, math word and the types of
// the first two parents; the object itself when there is one.
struct SideContext {
  const construct_class* cls = nullptr;
  int16_t method = 0;
  uint32_t word = 0;
  uint16_t t0 = 0, t1 = 0;
  const object* obj = nullptr;
};

SideContext context_of(const object* obj, const construct_method* method, const macro_object* step) {
  SideContext c;
  if (obj != nullptr) {
    c.cls = obj->classe;
    c.method = obj->methode;
    c.word = obj->math.bitsfield;
    c.t0 = parent_type_of(obj, 0);
    c.t1 = parent_type_of(obj, 1);
    c.obj = obj;
    if (class_is(obj->classe, "Int") && obj->nbparents > 0 && obj->parents[0] != nullptr) {
      c.t0 = parent_type_of(obj->parents[0], 0);
      c.t1 = parent_type_of(obj->parents[0], 1);
    }
  } else if (step != nullptr) {
    c.cls = step->mo_class;
    c.method = step->mo_method;
    c.word = step->mo_side_info;
    const macro_def* def = method != nullptr ? method->def : nullptr;
    if (def != nullptr) {
      c.t0 = step->mo_nb_parents > 0 ? macro_parent_type(def, method, step, 0) : 0;
      c.t1 = step->mo_nb_parents > 1 ? macro_parent_type(def, method, step, 1) : 0;
    }
  }
  return c;
}

// The point that carries the intersection set's common point, and another
// intersection point of the set than obj.
const object* set_of(const object* obj) {
  return obj != nullptr && obj->nbparents > 0 && obj->parents != nullptr ? obj->parents[0] : nullptr;
}

uint32_t pack(const SideContext& c) {
  const Bytes4 x = bytes_of(c.word);
  const construct_class* cls = c.cls;
  if (class_is(cls, "Int")) {
    const object* set = set_of(c.obj);
    const bool round = c.t1 == TYPE_CIRCLE || c.t1 == TYPE_ARC;
    if (!round && c.t1 != TYPE_CONIC) return c.word;
    if (round && set != nullptr && first_intersection_owner(set) != nullptr) return 0;
    uint32_t lo = 0, hi = 0;
    if (round) {
      lo = x.b[0];
      hi = (x.b[1] | x.b[2]) & 0xFF;
    } else {
      lo = x.b[2];
      hi = (x.b[3] | x.b[0]) & 0xFF;
    }
    uint32_t w = lo | hi << 8;
    if (set != nullptr) {
      const object* other = other_intersection_owner(set, c.obj);
      if (other != nullptr && other != c.obj) w += 0x8000;
    }
    return w;
  }
  if (class_is(cls, "Pt/")) return c.t0 == TYPE_AXES ? x.b[0] : 0;
  if (class_is(cls, "Mid") || class_is(cls, "PBiss")) return polygonal(c.t0) ? x.b[0] : 0;
  if (class_is(cls, "Refl") || class_is(cls, "Perp") || class_is(cls, "Par"))
    return polygonal_or_axes(c.t1) ? uint32_t{x.b[0]} << 8 : 0;
  if (class_is(cls, "PReg")) return c.method == 1 ? c.word : c.method == 0 ? (c.word & 0xFFFF) : 0;
  if (class_is(cls, "Par?") || class_is(cls, "Perp?"))
    return (polygonal_or_axes(c.t0) ? x.b[0] : 0u) + (polygonal_or_axes(c.t1) ? uint32_t{x.b[1]} << 8 : 0u);
  if (class_is(cls, "Locus")) {
    uint32_t d = 0;
    const object* driver = c.obj != nullptr && c.obj->nbparents > 0 ? c.obj->parents[0] : nullptr;
    if (driver != nullptr) d = parent_type_of(driver, 0);
    if (d >= 9) d -= 1;
    if (x.b[0] != 0) d += 0x8000;
    if (x.b[1] != 0) d += 0x4000;
    return d;
  }
  if (class_is(cls, "Text")) return c.t1 == TYPE_AXES ? x.b[0] : 0;
  if (class_is(cls, "Lgth")) return c.t1 == TYPE_AXES ? uint32_t{x.b[0]} << 8 : 0;
  if (class_is(cls, "IsOn?")) return c.t0 == TYPE_AXES ? uint32_t{x.b[0]} << 8 : 0;
  if (class_is(cls, "Transf")) return c.t0 == TYPE_AXES ? x.b[0] : 0;
  if (class_is(cls, "Eq/Co") && c.method == 0) return x.b[0];
  return class_is(cls, "Axes") && x.b[2] == 1 ? 1 : 0;
}

void unpack(uint32_t p, const SideContext& c, int16_t nb_points, uint32_t* word) {
  Bytes4 x = bytes_of(*word);
  const uint8_t lo = p & 127, hi = (p >> 8) & 127;
  const construct_class* cls = c.cls;
  if (class_is(cls, "Int")) {
    *word = p;
    return;
  }
  if (class_is(cls, "Pt/")) {
    if (c.t0 == TYPE_AXES) x.b[0] = lo == 1 ? 1 : 2;
  } else if (class_is(cls, "Mid") || class_is(cls, "PBiss")) {
    if (polygonal(c.t0)) x.b[0] = lo;
  } else if (class_is(cls, "Refl") || class_is(cls, "Perp") || class_is(cls, "Par")) {
    if (polygonal_or_axes(c.t1)) x.b[0] = hi;
  } else if (class_is(cls, "PReg")) {
    if (c.method == 1) *word = p;
    else if (c.method == 0) *word = p & 0xFFFF;
    return;
  } else if (class_is(cls, "Par?") || class_is(cls, "Perp?")) {
    if (polygonal_or_axes(c.t0)) x.b[0] = lo;
    if (polygonal_or_axes(c.t1)) x.b[1] = hi;
  } else if (class_is(cls, "Locus")) {
    math_info m{};
    m.locus.lkpt = (p & 0x8000) != 0 ? 1 : 0;
    m.locus.envelop = (p & 0x4000) != 0 ? 1 : 0;
    m.locus.nb_pts = nb_points;
    *word = m.bitsfield;
    return;
  } else if (class_is(cls, "Text")) {
    if (c.t1 == TYPE_AXES) x.b[0] = lo;
  } else if (class_is(cls, "Lgth")) {
    if (c.t1 == TYPE_AXES) x.b[0] = hi;
  } else if (class_is(cls, "IsOn?")) {
    if (c.t0 == TYPE_AXES) x.b[0] = hi;
  } else if (class_is(cls, "Transf")) {
    if (c.t0 == TYPE_AXES) x.b[0] = lo;
  } else if (class_is(cls, "Eq/Co")) {
    if (c.method == 0) x.b[0] = lo;
  } else {
    return;
  }
  *word = word_of(x);
}

// ---------------------------------------------------------------- styles

const char* color_code(uint32_t color) { return color_code_by_index(nearest_color_index(color)); }

void put_style(TxtOut& out, const object* obj, object_settings s, uint16_t t, const construct_class* cls) {
  if (attrs_are_unset(&s)) s = get_default_attrs(t, cls)->settings;
  const kelvo_win_info* fig = KPGeoDocument::currentInfo();
  const uint32_t background = fig != nullptr ? fig->bgcolor : back_color;
  uint32_t g = s.graph_type;
  uint8_t thickness = s.thickness;
  if (t == TYPE_POINT) {
    if (g == 0 && thickness == 1) g = 2;
    else if (g > 1) g += 1;
    thickness = 0;
  } else if (t == TYPE_LOCUS) {
    g = 0;
  } else if (t == TYPE_AXES || t == TYPE_GRID) {
    g = obj != nullptr ? obj->math.equa.typeunite : 0;
  } else if (t == TYPE_TRIANGLE || t == TYPE_POLYGON || t == TYPE_CIRCLE) {
    g = s.opaque != 0 || s.FillColor != background ? 1 : 0;
  }
  out.put(s.Color == background ? "B" : color_code(s.Color));
  out.put(", ");
  out.put(color_code(s.FillColor));
  out.put(", ");
  if (t == TYPE_TEXT || t == TYPE_PROPERTY || t == TYPE_TABLE) {
    out.put("BTh:");
    out.u(t == TYPE_TEXT ? s.thickness : s.nbre_decimales);
    out.put(", DS:");
    out.u(s.contraint);
    out.ch(' ');
    out.u(s.unite);
  } else if (t == TYPE_NUMBER || t == TYPE_EQUATION) {
    out.put("NbD:");
    // Bit 128 marks a negative count, as the readers take it back.
    if (s.nbre_decimales & 128) out.i(-static_cast<int>(s.nbre_decimales & 127));
    else out.u(s.nbre_decimales);
    out.put(s.contraint != 0 ? ", FD, " : ", nFD, ");
    out.put(txt_unit_name(s.unite));
  } else {
    out.put(thickness == 0 ? "t" : thickness == 1 ? "tT" : "T");
    out.put(", DS:");
    out.u(s.dot_style.lg);
    out.ch(' ');
    out.u(s.dot_style.cycle);
  }
  out.put(", GT:");
  out.u(g);
  out.put(s.visible != 0 ? ", V, " : ", I, ");
  out.put(s.sticky != 0 ? "St" : "nSt");
}

// ------------------------------------------------------------ constituents

std::vector<object*> text_constituents(const object* obj) {
  std::vector<object*> out;
  for (int k = 0; k < obj->nbparents && obj->parents != nullptr; ++k) out.push_back(obj->parents[k]);
  for (object* ref : txt_text_references_in_order(obj))
    if (ref != nullptr && object_type_id(ref) == TYPE_NUMBER) out.push_back(ref);
  return out;
}

std::vector<object*> constituents(const object* obj) {
  const uint16_t t = object_type_id(obj);
  if (t == TYPE_TEXT) return text_constituents(obj);
  std::vector<object*> out;
  if (obj->parents == nullptr || obj->nbparents <= 0) return out;
  if (t == TYPE_LOCUS) return {obj->parents[0], obj->parents[obj->nbparents - 1]};
  if (class_is(obj->classe, "Int")) {
    const object* set = obj->parents[0];
    for (int k = 0; set != nullptr && k < set->nbparents && k < 2; ++k) out.push_back(set->parents[k]);
    const uint16_t second = parent_type_of(set, 1);
    if (set != nullptr && (second == TYPE_CIRCLE || second == TYPE_ARC))
      if (object* owner = first_intersection_owner(set)) out.push_back(owner);
    return out;
  }
  for (int k = 0; k < obj->nbparents; ++k) out.push_back(obj->parents[k]);
  return out;
}

bool text_framed(const object* obj) {
  const uint16_t t = object_type_id(obj);
  return t == TYPE_TEXT || t == TYPE_TABLE || class_is(obj->classe, "Num") || class_is(obj->classe, "Formula");
}

void put_text_box(TxtOut& out, const object* obj) {
  const TErec* te = obj->te;
  int32_t h = te->size.h;
  if (object_type_id(obj) == TYPE_TABLE && h >= 1) h = -h;
  out.put("TP: ");
  out.add(txt_format_coord(te->pos.x, out.here()));
  out.put(", ");
  out.add(txt_format_coord(-te->pos.y, out.here()));
  out.put(", TS: ");
  out.add(txt_format_coord(te->size.w, out.here()));
  out.put(", ");
  out.add(txt_format_coord(h, out.here()));
}

void put_content(TxtOut& out, object* obj) {
  const uint16_t t = object_type_id(obj);
  if (t == TYPE_TEXT) {
    text_refs_separator_to_comma(obj);
    out.add(txt_write_quoted_text_of(obj, out.here()));
    text_refs_comma_to_separator(obj);
    out.crlf();
  } else if (class_is(obj->classe, "Num") || class_is(obj->classe, "Formula")) {
    out.add(txt_write_number_text(obj, out.here()));
    out.crlf();
  } else if (t == TYPE_TABLE) {
    const int32_t n = txt_write_table_cells(obj, out.here());
    out.add(n);
    if (n != 0) out.crlf();
  }
}

// The rows of the old edition's icon digits read back through the palette
// order of older icons, which is its own inverse: write through it too.
void put_icon(TxtOut& out, const uint8_t* icon) {
  static const char kHex[] = "0123456789ABCDEF";
  const uint8_t* px = icon != nullptr ? icon : default_macro_icon16();
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const uint8_t v = px[y * 16 + x];
      out.ch(kHex[macro_icon_palette_order[v < 16 ? v : 15]]);
    }
    out.crlf();
  }
}

int32_t write_used_macros(char* buffer) {
  TxtOut out(buffer);
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  bool any = false;
  for (int k = 0; class_list != nullptr && class_list[k] != nullptr; ++k) {
    construct_class* c = class_list[k];
    if (!is_macro_class(c)) continue;
    bool used = false;
    for (object* o = fig != nullptr ? fig->first : nullptr; o != nullptr && !used; o = o->next)
      used = o->macro != nullptr && o->macro->im_class == c;
    if (!used) continue;
    if (!any) {
      out.put("Used macro");
      out.crlf();
    }
    out.crlf();
    out.add(write_duo_macro_definition(c, out.here()));
    any = true;
  }
  if (any) {
    out.crlf();
    out.put("Figure description:");
    out.crlf();
    out.crlf();
  }
  return out.len;
}

int32_t write_window_line(char* buffer) {
  TxtOut out(buffer);
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  tagRECT r{0, 0, 600, 420};
  if (fig != nullptr && fig->dd != nullptr) {
    const tagRECT& port = fig->dd->portRect;
    if (port.right > port.left && port.bottom > port.top) r = port;
  }
  const double x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
  const double w = r.right - r.left, h = r.bottom - r.top;
  out.put("Window center x:");
  out.add(txt_format_real(out.here(), &x, 1));
  out.put(" y:");
  out.add(txt_format_real(out.here(), &y, -1));
  out.put(" Window size x:");
  out.add(txt_format_real(out.here(), &w, 1));
  out.put(" y:");
  out.add(txt_format_real(out.here(), &h, 1));
  out.crlf();
  out.crlf();
  return out.len;
}

int32_t write_objects(char* buffer) {
  TxtOut out(buffer);
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  last_instance = nullptr;
  for (object* o = fig != nullptr ? fig->first : nullptr; o != nullptr; o = o->next)
    out.add(write_object_text(o, out.here()));
  last_instance = nullptr;
  return out.len;
}

int32_t write_figure(char* buffer) {
  TxtOut out(buffer);
  out.put(kDuoFigureHeader);
  out.crlf();
  out.crlf();
  out.add(write_used_macros(out.here()));
  out.add(write_window_line(out.here()));
  out.add(write_objects(out.here()));
  return out.len;
}

// Builds the image of a writer that counts first; false when memory ran out
// (after the message).
template <class Writer>
bool build_image(Writer&& write) {
  const int32_t length = write(static_cast<char*>(nullptr));
  auto* image = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(length) + 1));
  if (image == nullptr) {
    message_box_simple(kernel_string(294));
    return false;
  }
  const int32_t written = write(image);
  free_file_image();
  file_buffer = image;
  file_buffer_len = static_cast<uint32_t>(std::min(written, length));
  return true;
}

}  // namespace

uint32_t pack_duo_side_word(const object* obj, const construct_method* method, const macro_object* step) {
  return pack(context_of(obj, method, step));
}

void unpack_object_side_info(uint32_t word, object* obj, const construct_method* method, macro_object* step,
                             int16_t nb_points) {
  if (file_class == 0) return;
  const SideContext c = context_of(obj, method, step);
  if (obj != nullptr) unpack(word, c, nb_points, &obj->math.bitsfield);
  else if (step != nullptr) unpack(word, c, nb_points, &step->mo_side_info);
}

int16_t duo_step_method(const construct_method* method, const macro_object* step) {
  const macro_def* def = method != nullptr ? method->def : nullptr;
  const uint16_t t0 = def != nullptr && step->mo_nb_parents > 0 ? macro_parent_type(def, method, step, 0) : 0;
  const uint16_t t1 = def != nullptr && step->mo_nb_parents > 1 ? macro_parent_type(def, method, step, 1) : 0;
  if (class_is(step->mo_class, "Pt/")) {
    switch (t0) {
      case TYPE_LINE: case TYPE_RAY: case TYPE_AXES: return 0;
      case TYPE_SEGMENT: case TYPE_VECTOR: return 1;
      case TYPE_TRIANGLE: case TYPE_POLYGON: return 2;
      case TYPE_CIRCLE: return 3;
      case TYPE_ARC: return 4;
      case TYPE_CONIC: return 5;
      case TYPE_GRID: return 6;
      case TYPE_LOCUS: return 7;
      default: return step->mo_method;
    }
  }
  if (class_is(step->mo_class, "Int")) {
    auto straight = [](uint16_t t) { return t >= 2 && t <= 8; };
    auto round = [](uint16_t t) { return t == TYPE_CIRCLE || t == TYPE_ARC; };
    const uint16_t a = std::min(t0, t1), b = std::max(t0, t1);
    if (a == TYPE_CONIC && b == TYPE_CONIC) return 9;
    if (b == TYPE_CONIC) {
      if (straight(a)) return 5;
      if (a == TYPE_CIRCLE) return 7;
      if (a == TYPE_ARC) return 8;
      return step->mo_method;
    }
    if (round(a) && round(b)) return 3;
    if ((a == TYPE_AXES && round(b)) || (round(a) && b == TYPE_AXES)) return 3;
    if ((straight(a) && round(b)) || (round(a) && straight(b))) return 1;
    return 0;
  }
  return step->mo_method;
}

int duo_object_verdict(const object* obj) {
  const uint16_t t = object_type_id(obj);
  const construct_class* c = obj->classe;
  if (t == TYPE_BUTTON || t == TYPE_SPRING || t == TYPE_EXPRESSION || class_is(c, "Exp_num_App")) return 2;
  if ((class_is(c, "Dil") || class_is(c, "Rot")) && obj->methode == 1) return 2;
  if (optional_classes[0] != nullptr && obj->macro != nullptr && obj->macro->im_class == optional_classes[0] &&
      obj->macro->im_method == 2)
    return 2;
  if (class_is(c, "Int")) {
    const object* set = set_of(obj);
    for (int k = 0; set != nullptr && k < set->nbparents; ++k)
      if (object_type_id(set->parents[k]) == TYPE_LOCUS) return 2;
  }
  if (t == TYPE_LOCUS) {
    for (int k = 0; k < obj->nbparents && obj->parents != nullptr; ++k) {
      const object* p = obj->parents[k];
      if (object_type_id(p) == TYPE_LOCUS) return 2;
      if (class_is(p->classe, "Pt/") && parent_type_of(p, 0) == TYPE_GRID) return 2;
    }
  }
  if (obj->bitmap != nullptr || obj->pcolor != nullptr || obj->pfill != nullptr) return 1;
  return 0;
}

int16_t object_constituent_count(const object* obj) {
  if (obj == nullptr) return 0;
  return static_cast<int16_t>(constituents(obj).size());
}

int32_t write_object_text(object* obj, char* buffer) {
  TxtOut out(buffer);
  if (obj == nullptr || class_is(obj->classe, "IntSet")) return 0;
  const uint16_t t = object_type_id(obj);
  const infomacro* im = obj->macro;
  if (im != nullptr && im != last_instance && im->im_class != nullptr) {
    last_instance = im;
    out.put("Ma: ");
    out.put(im->im_class->name != nullptr ? im->im_class->name : "");
    out.put(", Const:");
    const construct_method* method = class_method(im->im_class, im->im_method);
    int codes = 0;
    while (method != nullptr && method->args != nullptr && method->args[codes] != 0) ++codes;
    for (int i = 0; i < codes && i < im->im_nb_initials; ++i) {
      const object* initial = im->im_initials[i];
      out.ch(' ');
      out.u(initial != nullptr ? initial->num : 0);
      out.put(" i: ");
      const uint16_t it = object_type_id(initial);
      out.u(polygonal(it) ? im->im_tags[i] : 0);
    }
    out.crlf();
  }
  if (im != nullptr && obj->final_no == 0) return out.len;

  // Name line.
  const bool named = !is_text_like_type(t) && obj->te != nullptr && obj->te->text != nullptr &&
                     obj->te->text[0] != '\0';
  if (named) {
    out.add(txt_write_quoted(obj->te->text, out.here()));
    out.put(", NP: ");
    out.i(obj->te->pos.x);
    out.put(", ");
    out.i(obj->te->pos.y);
    out.put(", NS: ");
    out.i(obj->te->size.w);
    out.put(", ");
    out.i(obj->te->size.h);
    out.crlf();
  }

  // Head line.
  const std::vector<object*> parts = im == nullptr ? constituents(obj) : std::vector<object*>{};
  out.u(obj->num);
  out.put(": ");
  if (im != nullptr) {
    out.put("Ma R, F No");
    out.i(obj->final_no);
    if (t == TYPE_LOCUS) {
      out.put(", ");
      out.u(pack_duo_side_word(obj, nullptr, nullptr));
    }
  } else {
    out.put(obj->classe != nullptr && obj->classe->short_name != nullptr ? obj->classe->short_name : "");
    out.put(", ");
    out.u(pack_duo_side_word(obj, nullptr, nullptr));
    out.put(", CN:");
    out.u(parts.size());
  }
  out.put(", VN:");
  int vn = std::max<int16_t>(obj->nbvaleurs, 0);
  if (t == TYPE_LOCUS) {
    // The older edition counts two values a point, except for traced
    // points and envelopes of lines.
    const uint16_t traced = parent_type_of(obj, obj->nbparents - 1);
    const bool straight = traced == TYPE_LINE || traced == TYPE_RAY || traced == TYPE_SEGMENT;
    const bool single = traced == TYPE_POINT || (straight && obj->math.locus.envelop != 0);
    vn = obj->math.locus.nb_pts * (single ? 1 : 2);
  }
  out.i(vn);
  out.crlf();

  put_style(out, obj, obj->settings, t, obj->classe);
  out.crlf();

  // Constituents and values.
  bool line = false;
  auto separate = [&out, &line] {
    if (line) out.put(", ");
    line = true;
  };
  if (im == nullptr && (!parts.empty() || class_is(obj->classe, "Int"))) {
    separate();
    out.put("Const:");
    for (object* p : parts) {
      out.ch(' ');
      out.u(p != nullptr ? p->num : 0);
    }
  }
  uint8_t kinds[kFieldKindCount];
  if (obj->nbvaleurs > 0 && obj->valeurs != nullptr &&
      class_field_kinds(obj->classe, obj->methode, obj->nbparents, kinds) != 0) {
    separate();
    out.put("Val:");
    bool first = true;
    for (int k = 0; k < obj->nbvaleurs && k < kFieldKindCount; ++k) {
      if (kinds[k] == 0) continue;
      if (!first) out.ch(',');
      first = false;
      const valeur& v = obj->valeurs[k];
      if (kinds[k] & FIELD_H) out.add(txt_format_real(out.here(), &v.h, 1));
      if (kinds[k] & FIELD_V) out.add(txt_format_real(out.here(), &v.v, -1));
      if (kinds[k] & FIELD_RADIUS) {
        if (class_is(obj->classe, "Angle")) {
          out.ch(' ');
          out.g(std::isfinite(v.info.rayon) ? v.info.rayon : 0, 2);
        } else {
          out.add(txt_format_real(out.here(), &v.info.rayon, 0));
        }
      }
    }
  }
  if (class_has_value(obj->classe) && obj->nbvaleurs > 0 && obj->valeurs != nullptr && obj->te != nullptr) {
    separate();
    out.put("Val: ");
    out.i(obj->te->pos.x);
    out.ch(' ');
    out.i(obj->te->pos.y);
    out.ch(' ');
    const double r = obj->valeurs[0].info.rayon;
    out.g(std::isfinite(r) ? r : 0, 6);
    const bool a = (obj->aux2 & 2) != 0 || (t == TYPE_TEXT && (obj->aux2 & 8) != 0);
    out.put(a ? ", A, " : ", nA, ");
    out.put((obj->aux2 & 4) != 0 ? "P" : "nP");
  }
  bool content = false;
  if (text_framed(obj) && obj->te != nullptr) {
    separate();
    put_text_box(out, obj);
    content = t == TYPE_TEXT || im == nullptr;
  }
  if (line) out.crlf();
  if (content) put_content(out, obj);

  if (t == TYPE_PROPERTY && obj->valeurs != nullptr && GlobalSize(obj->valeurs) >= 2 * sizeof(TErec*)) {
    auto* texts = reinterpret_cast<TErec**>(obj->valeurs);
    for (int k = 0; k < 2; ++k) {
      const TErec* te = texts[k];
      out.put(k == 0 ? "Tr: " : "Fa: ");
      if (te != nullptr) out.add(txt_write_text_box(out.here(), te));
      out.crlf();
      out.add(txt_write_quoted(te != nullptr ? te->text : "", out.here()));
      out.crlf();
      if (te != nullptr) out.add(txt_write_rich_runs(te, true, out.here()));
      out.crlf();
    }
  } else if (obj->te != nullptr && (named || t == TYPE_TEXT || t == TYPE_NUMBER || t == TYPE_EQUATION ||
                                    t == TYPE_TABLE || t == TYPE_EXPRESSION)) {
    out.add(txt_write_rich_runs(obj->te, false, out.here()));
    out.crlf();
  }
  if (t == TYPE_TABLE && im == nullptr) {
    out.put("TC:");
    out.add(txt_write_column_widths(obj, out.here()));
    out.crlf();
  }
  out.crlf();
  return out.len;
}

int32_t write_duo_macro_definition(construct_class* cls, char* buffer) {
  TxtOut out(buffer);
  if (cls == nullptr) return 0;
  out.put(cls->name != nullptr ? cls->name : "");
  out.put(", ");
  const char* short_name = cls->short_name;
  out.put(short_name != nullptr && short_name[0] != '\0' ? short_name + 1 : "no name");
  out.crlf();
  out.put("Icon:");
  out.crlf();
  put_icon(out, cls->icon);
  if (cls->help_text != nullptr && cls->help_text[0] != '\0') {
    out.put("Help:");
    out.crlf();
    out.add(txt_write_quoted(cls->help_text, out.here()));
    out.crlf();
  }
  for (int m = 0; cls->methods != nullptr && cls->methods[m] != nullptr; ++m) {
    const construct_method* method = cls->methods[m];
    const macro_def* def = method->def;
    if (def == nullptr) continue;
    int cn = 0;
    while (method->args != nullptr && method->args[cn] != 0) ++cn;
    const int on = def->macro_def_info[0];
    out.add(txt_write_macro_method_head(method, m, out.here()));
    for (int i = 0; i < cn; ++i) {
      const TYPEOBJ code = method->args[i];
      const uint16_t as_type = code == ARG_STRAIGHT_BOUNDED ? uint16_t{TYPE_SEGMENT}
                               : code == ARG_STRAIGHT       ? uint16_t{TYPE_LINE}
                                                            : code;
      out.put(type_name_of_code(code));
      out.put(", CS ");
      out.i(def->macro_def_info[1 + i]);
      out.put(", ");
      put_style(out, nullptr, def->macro_def_styles[i], as_type, nullptr);
      out.crlf();
    }
    out.put("Const:");
    out.crlf();
    int style = cn;
    for (int i = 0; i < on; ++i) {
      const macro_object& s = def->macro_def_objects[i];
      // A text's numbers go as its parents, after its own: the format has
      // no text for a step, and a reader makes them its references again.
      std::vector<uint32_t> parents(s.mo_parents, s.mo_parents + (s.mo_parents != nullptr ? s.mo_nb_parents : 0));
      if (class_is(s.mo_class, "Text")) {
        macro_object refs = s;
        refs.mo_parents = s.mo_text_refs;
        refs.mo_nb_parents = s.mo_text_refs != nullptr ? s.mo_nb_text_refs : 0;
        for (int16_t k = 0; k < refs.mo_nb_parents; ++k)
          if (macro_parent_type(def, method, &refs, k) == TYPE_NUMBER) parents.push_back(s.mo_text_refs[k]);
      }
      out.put(s.mo_class != nullptr && s.mo_class->short_name != nullptr ? s.mo_class->short_name : "");
      out.put(", Mth:");
      out.i(duo_step_method(method, &s));
      out.put(", ");
      out.i(s.mo_final != 0 ? 1 : 0);
      out.put(", ");
      out.u(pack_duo_side_word(nullptr, method, &s));
      out.put(", CN:");
      out.u(parents.size());
      out.put(", VN:");
      out.i(s.mo_nb_values);
      out.put(", ");
      if (class_is(s.mo_class, "PReg") && s.mo_method == 1) {
        out.put("VAng: ");
        out.g(s.mo_value, 6);
        out.put(", ");
      }
      if (!parents.empty()) {
        out.put("Const:");
        for (uint32_t index : parents) {
          out.ch(' ');
          out.u(index);
        }
      }
      if (s.mo_final != 0 && def->macro_def_styles != nullptr) {
        out.put(", ");
        const uint16_t t = s.mo_class != nullptr && s.mo_class->ctype != nullptr ? s.mo_class->ctype->id : 0;
        put_style(out, nullptr, def->macro_def_styles[style++], t, s.mo_class);
      }
      if (class_is(s.mo_class, "Formula")) {
        out.put(", formula: ");
        std::string f = s.mo_formula != nullptr ? s.mo_formula : "";
        f.push_back('\0');
        convert_formula_to_c_locale(f.data());
        out.put(f.c_str());
      }
      out.crlf();
    }
  }
  return out.len;
}

int write_duo_macro_file_text(construct_class* cls) {
  return build_image([cls](char* buffer) {
           TxtOut out(buffer);
           out.put(kDuoMacroHeader);
           out.crlf();
           out.add(write_duo_macro_definition(cls, out.here()));
           return out.len;
         })
             ? 1
             : 0;
}

int write_duo_figure_text() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) return 0;
  int worst = 0;
  std::vector<object*> unwritable, altered;
  for (object* o = fig->first; o != nullptr; o = o->next) {
    const int verdict = duo_object_verdict(o);
    worst = std::max(worst, verdict);
    if (verdict == 2) unwritable.push_back(o);
    if (verdict == 1) altered.push_back(o);
  }
  if (worst != 0) {
    // The question names what the file goes without: the objects it cannot
    // hold with those built on them, then those that lose a picture or
    // colours driven by numbers.
    const std::vector<object*> lost = objects_lost_with(unwritable);
    std::erase_if(altered, [&lost](const object* o) { return std::find(lost.begin(), lost.end(), o) != lost.end(); });
    compose_left_out_question(lost, altered);
    if (message_show(131) != 1) return 1;
  }
  // The objects the format cannot hold are left out of a copy of the
  // figure, so the figure, its selection and its undo step stay as they are.
  kelvo_win_info* copy = worst == 2 ? duplicate_figure_info(nullptr, 0) : nullptr;
  if (worst == 2 && copy == nullptr) {
    message_box_simple(kernel_string(294));
    return 0;
  }
  kelvo_win_info* shown = fig;
  if (copy != nullptr) {
    KPGeoDocument::setCurrentInfo(copy);
    // By the objects themselves: a deletion gives the others new numbers.
    std::vector<object*> doomed;
    for (object* o = copy->first; o != nullptr; o = o->next)
      if (duo_object_verdict(o) == 2) doomed.push_back(o);
    for (object* d : doomed) {
      bool alive = false;
      for (const object* o = copy->first; o != nullptr && !alive; o = o->next) alive = o == d;
      if (alive) delete_object_quietly(d);
    }
    shown = copy;
  }
  // Objects are numbered in list order for the file, intersection sets
  // apart, and get their ordinary numbers back afterwards.
  uint32_t n = 0;
  for (object* o = shown->first; o != nullptr; o = o->next)
    if (!is_intersection_set(o)) o->num = ++n;
  const bool built = build_image(write_figure);
  renumber_objects();
  if (copy != nullptr) {
    free_figure_info(copy, false);
    KPGeoDocument::setCurrentInfo(fig);
  }
  return built ? 1 : 0;
}
