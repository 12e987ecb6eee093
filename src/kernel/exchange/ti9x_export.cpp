#include "kernel/exchange/ti9x_export.h"

#include <cmath>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/exchange/export_question.h"
#include "kernel/exchange/ti9x_file.h"
#include "kernel/files/file_dialogs.h"
#include "kernel/files/object_helpers.h"
#include "kernel/files/text_family.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/model/deletion.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/undo.h"
#include "kernel/model/units.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/fonts.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_view.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_state.h"
#include "platform/kernel_services.h"

namespace {

constexpr uint16_t kSettingsWord = 0x1873;

// Kernel-wide for one pass over the body.
int number_offset = 0;
const infomacro* last_instance = nullptr;

// Where the next bytes go: nowhere during the size pass.
struct Out {
  uint8_t* dst;
  uint32_t len = 0;
  uint8_t* here() const { return dst == nullptr ? nullptr : dst + len; }
  void be16(int32_t v) { len += write_be16(static_cast<uint16_t>(v), here()); }
  void be32(uint32_t v) { len += write_be32(v, here()); }
  void byte(uint8_t v) {
    if (dst != nullptr) dst[len] = v;
    ++len;
  }
  void real(double v) { len += ti_bcd_encode(v, here()); }
  void raw(const char* text) { len += copy_string(text, here()); }
  // A kernel text in the calculator's characters, with the pi word.
  void text(const char* kernel_text) {
    const std::string t = ti9x_text_to_calculator(kernel_text);
    len += ti_pi_text(t.c_str(), here());
  }
  void frame(const TErec* te) {
    if (te != nullptr) {
      len += write_text_frame(here(), te);
    } else {
      for (int k = 0; k < 4; ++k) be16(0);
    }
  }
  void style(const uint8_t s[3]) { len += write_style3(s, here()); }
};

uint16_t type_of(const object* o) { return object_type_id(o); }
const char* code_of(const construct_class* cls) { return cls != nullptr ? cls->code : nullptr; }
bool code_is(const object* o, const char* code) {
  const char* c = code_of(o->classe);
  return c != nullptr && std::strcmp(c, code) == 0;
}

// The number an object is written with.
int32_t ref_always(const object* o) { return o == nullptr ? 0 : static_cast<int32_t>(o->num) + number_offset; }
int32_t ref_above_two(const object* o) {
  if (o == nullptr) return 0;
  return static_cast<int32_t>(o->num) + (o->num > 2 ? number_offset : 0);
}

uint8_t style_bits(const object_settings& s, uint16_t type_id, bool axes_bit, uint8_t axes_index2) {
  uint8_t bits = 0;
  if (s.visible != 0) bits |= 1;
  if (s.thickness != 0 || (type_id == TYPE_POINT && s.graph_type > 1)) bits |= 2;
  if (s.dot_style.lg != s.dot_style.cycle) bits |= 4;
  if (axes_bit && type_id == TYPE_AXES && axes_index2 == 0) bits |= 8;
  return bits;
}

uint8_t object_style_bits(const object* o) {
  return style_bits(o->settings, type_of(o), true, o->math.side.index2);
}

// Decimals and unit of a number or an equation.
void decimals_and_unit(const object_settings& s, uint16_t type_id, uint8_t out[2]) {
  out[0] = out[1] = 0;
  if (type_id != TYPE_NUMBER && type_id != TYPE_EQUATION) return;
  const int magnitude = s.nbre_decimales & 0x7F;
  out[0] = static_cast<uint8_t>((s.nbre_decimales & 0x80) != 0 ? -magnitude : magnitude);
  const int kind = s.unite >> 5;
  out[1] = static_cast<uint8_t>((kind <= 4 ? kind : 0) | (s.contraint != 0 ? 0x80 : 0));
}

// A macro's initial or final object, from its attribute record.
void macro_style_record(const object_settings* s, uint16_t type_id, uint8_t out[3]) {
  out[0] = out[1] = out[2] = 0;
  if (s == nullptr || attrs_are_unset(s)) {
    out[2] = 1;
    return;
  }
  decimals_and_unit(*s, type_id, out);
  out[2] = style_bits(*s, type_id, false, 0);
}

// The formula text of a calculation, kept after its parents.
const char* formula_text(const object* o) {
  if (o->parents == nullptr || o->nbparents < 0 ||
      GlobalSize(o->parents) / sizeof(object*) <= static_cast<uint32_t>(o->nbparents))
    return nullptr;
  return reinterpret_cast<const char*>(o->parents[o->nbparents]);
}

int args_length(const construct_method* m) {
  int n = 0;
  while (m != nullptr && m->args != nullptr && m->args[n] != ARG_END) ++n;
  return n;
}

uint32_t packed_side_info(const object* o) { return o->math.polyarea; }

// Objects a text lists (its parents, then the objects its markers refer
// to) and its text with each marker as byte 7.
struct NameParts {
  std::vector<object*> objects;
  std::string text;
};
NameParts macro_name_parts(const object* o) {
  NameParts parts;
  for (int k = 0; k < o->nbparents && o->parents != nullptr; ++k) parts.objects.push_back(o->parents[k]);
  if (o->te == nullptr || o->te->text == nullptr) return parts;
  const char* text = o->te->text;
  const auto length = static_cast<int32_t>(std::strlen(text));
  int32_t at = 0;
  for (const text_marker& m : list_text_markers(text, length, o->inserted)) {
    if (m.node == nullptr) continue;
    parts.text.append(text + at, static_cast<size_t>(m.at - at));
    parts.text.push_back('\x07');
    parts.objects.push_back(m.node->obj);
    at = m.at + m.length;
  }
  parts.text.append(text + at);
  return parts;
}

int16_t object_kind_code(const object* o) {
  const uint16_t t = type_of(o);
  if (class_is(o->classe, "Pt/")) return 3;
  if (class_is(o->classe, "PReg") && o->methode == 1) return static_cast<int16_t>(o->math.polreg.nbsides + 2);
  if (t == TYPE_SEGMENT || t == TYPE_VECTOR || t == TYPE_TRIANGLE || t == TYPE_POLYGON) return 0;
  if (t == TYPE_LOCUS) return 50;
  return o->nbvaleurs;
}

bool circle_like(const object* o) {
  const uint16_t t = o != nullptr ? type_of(o) : 0;
  return t == TYPE_CIRCLE || t == TYPE_ARC;
}

// The parents an object is written with.
std::vector<const object*> written_parents(const object* o) {
  std::vector<const object*> out;
  std::vector<int32_t> numbers;
  if (code_is(o, "PI")) {
    const object* set = o->nbparents > 0 && o->parents != nullptr ? o->parents[0] : nullptr;
    if (set != nullptr && set->nbparents >= 2) {
      out.push_back(set->parents[0]);
      out.push_back(set->parents[1]);
      if (circle_like(set->parents[1]))
        if (const object* owner = first_intersection_owner(set)) out.push_back(owner);
    }
    return out;
  }
  if (type_of(o) == TYPE_LOCUS) {
    if (o->nbparents > 0) {
      out.push_back(o->parents[0]);
      out.push_back(o->parents[o->nbparents - 1]);
    }
    return out;
  }
  if (type_of(o) == TYPE_TEXT) {
    for (object* p : macro_name_parts(o).objects) out.push_back(p);
    return out;
  }
  for (int k = 0; k < o->nbparents && o->parents != nullptr; ++k) out.push_back(o->parents[k]);
  return out;
}

int16_t object_write_class(const object* o) {
  if (type_of(o) == TYPE_LOCUS) return 2;
  return static_cast<int16_t>(written_parents(o).size());
}

// The figure's axes and the first grid hung on them, right after them.
void move_grid_after_axes(kelvo_win_info* fig) {
  object* axes = fig->cur2;
  if (axes == nullptr) return;
  for (object* o = fig->first; o != nullptr; o = o->next) {
    if (type_of(o) != TYPE_GRID || o->nbparents < 1 || o->parents[0] != axes) continue;
    if (axes->next == o) return;
    if (o->prev != nullptr) o->prev->next = o->next;
    if (o->next != nullptr) o->next->prev = o->prev;
    o->prev = axes;
    o->next = axes->next;
    if (axes->next != nullptr) axes->next->prev = o;
    axes->next = o;
    return;
  }
}

void write_header_fields(Out& out, kelvo_win_info* fig) {
  object* origin = fig->first;
  object* axes = origin != nullptr ? origin->next : nullptr;
  const double u = ti9x_units_per_pixel();
  const valeur& at = origin->valeurs != nullptr && origin->nbvaleurs > 0 ? origin->valeurs[0] : origin->val;
  out.be16(static_cast<int32_t>(std::floor(at.h * u + 0.5)));
  out.be16(static_cast<int32_t>(std::floor(at.v * u + 0.5)));
  out.byte(object_style_bits(origin));
  const valeur* v = axes != nullptr && axes->valeurs != nullptr && axes->nbvaleurs >= 3 ? axes->valeurs : nullptr;
  out.real(v != nullptr ? v[1].h * u : 0);
  out.real(v != nullptr ? v[1].v * u : 0);
  out.real(v != nullptr ? v[2].h * u : 0);
  out.real(v != nullptr ? v[2].v * u : 0);
  out.byte(axes != nullptr ? object_style_bits(axes) : 1);
}

uint32_t walk_body(uint8_t* dst) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  Out out{dst};
  if (fig == nullptr || fig->first == nullptr || fig->first->next == nullptr) return 0;
  const uint32_t macros = ti9x_write_used_macros(out.here());
  out.len += macros;
  if (macros != 0) out.raw("FDE:");
  out.be16(kSettingsWord);
  out.be16(0);
  write_header_fields(out, fig);
  object* third = fig->first->next->next;
  const bool grid = third != nullptr && type_of(third) == TYPE_GRID;
  number_offset = grid ? 0 : 1;
  out.byte(object_style_bits(grid ? third : fig->first->next));
  last_instance = nullptr;
  for (object* o = grid ? third->next : third; o != nullptr; o = o->next) out.len += ti9x_write_object(o, out.here());
  out.byte(kTi9xFigureEnd);
  return out.len;
}

void restore_figure(kelvo_win_info* fig, bool was_edited) {
  KPGeoDocument::_do_dirty(fig);
  undo_swap_state();
  save_undo_state(0);
  undo_swap_state();
  renumber_objects();
  clear_selection();
  if (was_edited)
    KPGeoDocument::_do_dirty(fig);
  else
    KPGeoDocument::_undo_dirty(fig);
}

// Texts and labels come back in the calculator's one format (Arial 7,
// black, plain, one run): a text in another one loses it.
bool in_calculator_format(const TErec* te) {
  if (te == nullptr) return true;
  return te->format.font_id == font_id_by_name_or_create("Arial", 7) && te->format.size == 7 && te->format.color == 0 &&
         te->format.style == 0 && te->rtf_data == nullptr;
}

// Whether the texts an object's record carries (its label, its text, the
// two texts of a property check) come back as the figure shows them.
bool texts_come_back_alike(const object* o) {
  const uint16_t t = type_of(o);
  const bool text_like = is_text_like_object(o);
  if (!text_like && o->te != nullptr && o->te->length != 0 && !in_calculator_format(o->te)) return false;
  const bool framed = t == TYPE_TEXT || (o->macro == nullptr && (code_is(o, "NO") || code_is(o, "FO")));
  if (framed && !in_calculator_format(o->te)) return false;
  if (t == TYPE_PROPERTY && o->valeurs != nullptr && GlobalSize(o->valeurs) >= 2 * sizeof(TErec*)) {
    auto* texts = reinterpret_cast<TErec* const*>(o->valeurs);
    if (!in_calculator_format(texts[0]) || !in_calculator_format(texts[1])) return false;
  }
  return true;
}

}  // namespace

double ti9x_units_per_pixel() { return pixels_per_unit > 0 ? 29.0 / pixels_per_unit : 0; }

int16_t ti9x_type_code(uint16_t id) {
  if (id >= 1 && id <= 8) return static_cast<int16_t>(id);
  switch (id) {
    case TYPE_AXES: return 11;
    case TYPE_CIRCLE: return 9;
    case TYPE_ARC: return 10;
    case ARG_STRAIGHT_BOUNDED:
    case ARG_STRAIGHT: return static_cast<int16_t>(id);
    default: break;
  }
  if (id >= 13 && id <= 19) return static_cast<int16_t>(id - 1);
  return 0;
}

int16_t ti9x_method_code(const object* o) {
  if (!class_is(o->classe, "Pt/") || o->nbparents < 1 || o->parents == nullptr) return o->methode;
  switch (type_of(o->parents[0])) {
    case TYPE_SEGMENT:
    case TYPE_VECTOR: return 1;
    case TYPE_TRIANGLE:
    case TYPE_POLYGON: return 2;
    case TYPE_LINE:
    case TYPE_RAY:
    case TYPE_AXES: return 0;
    case TYPE_CIRCLE: return 3;
    case TYPE_ARC: return 4;
    case TYPE_GRID: return 6;
    case TYPE_LOCUS: return 5;
    default: return o->methode;
  }
}

bool ti9x_value_kinds(const char* code, int16_t method, uint8_t kinds[5]) {
  std::memset(kinds, 0, 5);
  if (code == nullptr) return false;
  const std::string c = code;
  if (c == "PL" || c == "PS") {
    kinds[0] = FIELD_H | FIELD_V;
  } else if ((c == "DR" || c == "DD") && method == 0) {
    kinds[1] = FIELD_H | FIELD_V;
  } else if (c == "CE" && method == 0) {
    kinds[1] = FIELD_RADIUS;
  } else if (c == "AX" && method == 0) {
    kinds[1] = kinds[2] = FIELD_H | FIELD_V;
  } else if (c == "AN") {
    kinds[0] = kinds[1] = FIELD_RADIUS;
  } else if (c == "RE" && method == 2) {
    kinds[1] = FIELD_H | FIELD_V;
  } else {
    return false;
  }
  return true;
}

void ti9x_style_record(const object* o, uint8_t out[3]) {
  decimals_and_unit(o->settings, type_of(o), out);
  out[2] = object_style_bits(o);
}

int ti9x_export_state(const object* o) {
  const char* code = code_of(o->classe);
  if (code == nullptr || code[0] == '\0') return 2;
  // A button's caption, frame and targets, and an expression's formula,
  // have no place in their records: they would come back as empty boxes.
  if (type_of(o) == TYPE_BUTTON || type_of(o) == TYPE_EXPRESSION) return 2;
  if (o->bitmap != nullptr || o->pcolor != nullptr || o->pfill != nullptr) return 1;
  if (!texts_come_back_alike(o)) return 1;
  return 0;
}

uint32_t ti9x_write_macro_def(const construct_class* cls, uint8_t* dst) {
  Out out{dst};
  const char* english = cls->english_name != nullptr ? cls->english_name : "";
  out.text(english);
  const char* second = cls->short_name != nullptr && cls->short_name[0] != '\0' ? cls->short_name + 1 : "";
  out.text(second[0] != '\0' ? second : english);
  int methods = 0;
  while (cls->methods != nullptr && cls->methods[methods] != nullptr) ++methods;
  out.be16(methods);
  for (int m = 0; m < methods; ++m) {
    const construct_method* method = cls->methods[m];
    const macro_def* def = method->def;
    const int n = args_length(method);
    const int steps = def != nullptr && def->macro_def_info != nullptr ? def->macro_def_info[0] : 0;
    int finals = 0;
    for (int s = 0; s < steps; ++s) finals += def->macro_def_objects[s].mo_final == 1;
    out.be16(n);
    out.be16(steps);
    out.be16(finals);
    out.be16(def != nullptr && def->macro_def_info != nullptr ? def->macro_def_info[n + 1] : 0);
    int style_index = 0;
    for (int k = 0; k < n; ++k) {
      out.be16(ti9x_type_code(method->args[k]));
      out.be16(def != nullptr && def->macro_def_info != nullptr ? def->macro_def_info[k + 1] : 0);
      uint8_t style[3];
      macro_style_record(def != nullptr && def->macro_def_styles != nullptr ? &def->macro_def_styles[style_index] : nullptr,
                         method->args[k], style);
      ++style_index;
      out.style(style);
    }
    for (int s = 0; s < steps; ++s) {
      const macro_object& step = def->macro_def_objects[s];
      const char* code = code_of(step.mo_class);
      out.raw(code != nullptr ? code : "");
      out.be16(step.mo_method);
      out.be16(step.mo_final);
      out.be32(step.mo_side_info);
      out.be16(step.mo_nb_parents);
      out.be16(step.mo_nb_values);
      if (code != nullptr && std::strcmp(code, "PP") == 0 && step.mo_method == 1) out.real(step.mo_value);
      for (int k = 0; k < step.mo_nb_parents && step.mo_parents != nullptr; ++k)
        out.be16(static_cast<int32_t>(step.mo_parents[k]));
      if (step.mo_final == 1) {
        uint8_t style[3];
        macro_style_record(def->macro_def_styles != nullptr ? &def->macro_def_styles[style_index] : nullptr,
                           class_type_id(step.mo_class), style);
        ++style_index;
        out.style(style);
      }
      if (code != nullptr && std::strcmp(code, "FO") == 0) out.text(step.mo_formula != nullptr ? step.mo_formula : "");
    }
  }
  return out.len;
}

uint32_t ti9x_write_used_macros(uint8_t* dst) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  Out out{dst};
  if (fig == nullptr) return 0;
  bool first = true;
  for (int k = 0; class_list != nullptr && class_list[k] != nullptr; ++k) {
    construct_class* cls = class_list[k];
    if (!is_macro_class(cls)) continue;
    bool used = false;
    for (const object* o = fig->first; o != nullptr && !used; o = o->next)
      used = o->macro != nullptr && o->macro->im_class == cls;
    if (!used) continue;
    if (first) out.raw("UMA:");
    first = false;
    out.len += ti9x_write_macro_def(cls, out.here());
  }
  return out.len;
}

uint32_t ti9x_write_object(object* o, uint8_t* dst) {
  Out out{dst};
  const uint16_t t = type_of(o);
  if (t == TYPE_INTERSECTION_SET || class_is(o->classe, "IntSet")) return 0;
  if (o->final_no == 0 && o->macro == last_instance) return 0;
  if (o->macro != nullptr && o->macro != last_instance) {
    const infomacro* im = o->macro;
    out.raw("Ma:");
    const construct_class* mc = im->im_class;
    if (is_macro_class(mc))
      out.text(mc->english_name != nullptr ? mc->english_name : "");
    else
      out.text(code_of(mc) != nullptr ? code_of(mc) : "");
    const construct_method* method =
        mc != nullptr && mc->methods != nullptr ? mc->methods[im->im_method] : nullptr;
    const int n = args_length(method);
    out.be16(n);
    for (int k = 0; k < n; ++k) {
      const object* initial = k < im->im_nb_initials && im->im_initials != nullptr ? im->im_initials[k] : nullptr;
      out.be16(ref_always(initial));
      const uint16_t it = initial != nullptr ? type_of(initial) : 0;
      const bool tagged = (it == TYPE_TRIANGLE || it == TYPE_POLYGON) && im->im_tags != nullptr;
      out.be16(tagged ? im->im_tags[k] : 0);
    }
    last_instance = im;
    if (o->final_no == 0) return out.len;
  }
  // The label.
  if (o->te != nullptr && o->te->length != 0 && !is_text_like_object(o)) {
    out.raw("Nob");
    out.text(o->te->text != nullptr ? o->te->text : "");
    out.frame(o->te);
  }
  // Identity.
  if (o->macro != nullptr) {
    out.raw("MaR");
    out.be16(o->final_no);
    if (t == TYPE_LOCUS) out.be32(packed_side_info(o));
  } else {
    out.raw(code_of(o->classe));
    out.be32(packed_side_info(o));
    out.be16(object_write_class(o));
  }
  out.be16(object_kind_code(o));
  uint8_t style[3];
  ti9x_style_record(o, style);
  out.style(style);
  if (o->macro == nullptr) {
    const std::vector<const object*> parents = written_parents(o);
    const bool intersection = code_is(o, "PI");
    for (size_t k = 0; k < parents.size(); ++k) {
      // The owner of a common point and the objects a text quotes always
      // take the offset; plain parents only above 2.
      const bool always = (intersection && k == 2) || (t == TYPE_TEXT && static_cast<int>(k) >= o->nbparents);
      out.be16(always ? ref_always(parents[k]) : ref_above_two(parents[k]));
    }
  }
  const double u = ti9x_units_per_pixel();
  uint8_t kinds[5];
  if (o->valeurs != nullptr && o->nbvaleurs > 0 && ti9x_value_kinds(code_of(o->classe), ti9x_method_code(o), kinds)) {
    for (int k = 0; k < 5 && k < o->nbvaleurs; ++k) {
      if (kinds[k] & FIELD_H) out.real(o->valeurs[k].h * u);
      if (kinds[k] & FIELD_V) out.real(o->valeurs[k].v * u);
      if (kinds[k] & FIELD_RADIUS) out.real(o->valeurs[k].info.rayon * u);
    }
  }
  if (class_is(o->classe, "PReg") && o->methode == 1) {
    const int sides = o->math.polreg.nbsides;
    out.real(o->valeurs != nullptr && sides >= 0 && sides < o->nbvaleurs ? o->valeurs[sides].info.rayon : 0);
  }
  // The place and value of what shows a value, for every class the reader
  // expects them of, so that the two always agree.
  if (class_has_value(o->classe)) {
    out.be16(o->te != nullptr ? o->te->pos.x : 0);
    out.be16(o->te != nullptr ? o->te->pos.y : 0);
    const double r = o->valeurs != nullptr && o->nbvaleurs > 0 ? o->valeurs[0].info.rayon : 0;
    out.real(std::isinf(r) ? 0 : r);
    const bool a = (o->aux2 & 2) != 0 || (t == TYPE_TEXT && (o->aux2 & 8) != 0);
    out.byte(static_cast<uint8_t>((a ? 15 : 0) + ((o->aux2 & 4) != 0 ? 240 : 0)));
  }
  // A number or a calculation built by a macro has its frame and text from
  // the macro: the reader reads neither.
  if (t == TYPE_TEXT || (o->macro == nullptr && (code_is(o, "NO") || code_is(o, "FO")))) {
    out.frame(o->te);
    {
      if (t == TYPE_TEXT) {
        out.text(macro_name_parts(o).text.c_str());
      } else if (code_is(o, "FO")) {
        const char* f = formula_text(o);
        out.text(f != nullptr ? f : "");
      } else {
        out.text(o->te != nullptr && o->te->text != nullptr ? o->te->text : "");
      }
    }
  }
  if (t == TYPE_PROPERTY && o->valeurs != nullptr && GlobalSize(o->valeurs) >= 2 * sizeof(TErec*)) {
    auto* texts = reinterpret_cast<TErec**>(o->valeurs);
    for (int k = 0; k < 2; ++k) {
      out.frame(texts[k]);
      out.text(texts[k] != nullptr && texts[k]->text != nullptr ? texts[k]->text : "");
    }
  }
  return out.len;
}

uint32_t ti9x_body_size() { return walk_body(nullptr); }

int ti9x_write_body(uint8_t* dst) {
  walk_body(dst);
  return 1;
}

int ti9x_prepare_export() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) return 0;
  clear_selection();
  move_grid_after_axes(fig);
  sort_objects_by_dependency();
  std::vector<object*> unwritable, altered;
  for (object* o = fig->first; o != nullptr; o = o->next) {
    switch (ti9x_export_state(o)) {
      case 2:
        select_figure_object(o, 0, 1);
        unwritable.push_back(o);
        break;
      case 1: altered.push_back(o); break;
      default: break;
    }
  }
  // The question names what the file goes without: the objects it cannot
  // hold with those built on them, then the objects that lose part of what
  // they show.
  const std::vector<object*> lost = objects_lost_with(unwritable);
  const std::unordered_set<const object*> gone(lost.begin(), lost.end());
  std::erase_if(altered, [&gone](const object* o) { return gone.count(o) != 0; });
  if (!lost.empty() || !altered.empty()) {
    compose_left_out_question(lost, altered);
    if (message_show(131) != 1) {
      clear_selection();
      return 0;
    }
  }
  save_undo_state(0);
  clear_selection();
  // Deleted as the question said, sticky or not: an object left in the
  // figure would be written without a class code.
  for (object* o : unwritable) {
    bool alive = false;
    for (const object* x = fig->first; x != nullptr && !alive; x = x->next) alive = x == o;
    if (alive) delete_object_quietly(o);
  }
  uint32_t n = 0;
  for (object* o = fig->first; o != nullptr; o = o->next)
    if (type_of(o) != TYPE_INTERSECTION_SET) o->num = ++n;
  return 1;
}

int ti9x_export_figure(int code) {
  const ti9x_model* model = ti9x_model_for_code(code);
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (model == nullptr || fig == nullptr) return 0;
  const bool was_edited = (fig->wflags & kFigureChanged) != 0;
  if (ti9x_prepare_export() == 0) return 0;
  int built = 0;
  const uint32_t length = ti9x_body_size();
  if (length > 0 && length < 65535) {
    auto* image = static_cast<uint8_t*>(GlobalAlloc(GPTR, length + kTi9xOverhead));
    if (image != nullptr) {
      ti9x_write_body(image + kTi9xDataOffset);
      ti9x_fill_container(image, length, *model, kTi9xFigureType, ti9x_variable_name(file_title_buffer));
      free_file_image();
      file_buffer = reinterpret_cast<char*>(image);
      file_buffer_len = length + kTi9xOverhead;
      built = 1;
    }
  }
  restore_figure(fig, was_edited);
  return built;
}
