#include "kernel/macros/macro_def.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/file_services.h"
#include "kernel/macros/macro_records.h"
#include "kernel/measure/formula_text.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/identical.h"
#include "kernel/model/memory.h"
#include "kernel/model/point_type.h"
#include "kernel/model/recompute.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/objects/locus_type.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/display_device.h"
#include "platform/kernel_services.h"
#include "kernel/tools/geometric_handlers.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/reference_marker.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/previews.h"
#include "kernel/tools/text_tool_handlers.h"
#include "kernel/tools/tool_args.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "kernel/tools/toolbox.h"

uint8_t applying_macro = 0;
uint8_t macro_application_refused = 0;
const char* const kMacroOutsideNumbering =
    "The macro cannot be applied: one of its steps names an object outside its construction.";

const uint8_t macro_icon_palette_order[16] = {0, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1};

namespace {

// The default icon: a black letter on white, as rows of two words of eight
// four-bit palette indices, leftmost pixel in the high nibble.
constexpr uint32_t kDefaultIconRows[16][2] = {
    {0x00000000, 0x00000000}, {0x00000000, 0x00000000}, {0x00FF0000, 0x0000FF00}, {0x00FFF000, 0x000FFF00},
    {0x00FFFF00, 0x00FFFF00}, {0x00FF0FF0, 0x0FF0FF00}, {0x00FF00FF, 0xFF00FF00}, {0x00FF000F, 0xF000FF00},
    {0x00FF0000, 0x0000FF00}, {0x00FF0000, 0x0000FF00}, {0x00FF0000, 0x0000FF00}, {0x00FF0000, 0x0000FF00},
    {0x00FF0000, 0x0000FF00}, {0x00000000, 0x00000000}, {0x00000000, 0x00000000}, {0x00000000, 0x00000000},
};

const uint8_t* build_default_icon16() {
  static uint8_t icon[256];
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const uint32_t word = kDefaultIconRows[y][x / 8];
      icon[y * 16 + x] = static_cast<uint8_t>((word >> (28 - 4 * (x % 8))) & 0xF);
    }
  return icon;
}

bool same_text(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return std::strcmp(a, b) == 0;
}

bool same_words(const uint32_t* a, const uint32_t* b, int n) {
  if (a == nullptr || b == nullptr) return a == b;
  return std::memcmp(a, b, sizeof(uint32_t) * static_cast<size_t>(n)) == 0;
}

uint16_t type_id_of(const object* o) { return o != nullptr && o->otype != nullptr ? o->otype->id : 0; }

// Whether an argument of type `t` fits the code of an argument list.
bool code_takes(const TYPEOBJ* codes, int k, uint16_t t, int* width) {
  const TYPEOBJ code = codes[k];
  *width = 1;
  if (code > ARG_ONE_OF && code < ARG_ONE_OF + 64) {
    const int m = code - ARG_ONE_OF;
    *width = m + 1;
    for (int j = 1; j <= m && codes[k + j] != 0; ++j)
      if (argument_code_accepts(codes[k + j], t)) return true;
    return false;
  }
  if (code == ARG_STRAIGHT_BOUNDED) return t >= 2 && t <= 6;
  if (code == ARG_STRAIGHT) return t >= 2 && t <= 9;
  return code == t;
}

// Deterministic pseudo-random numbers for the free choices of hidden steps,
// so that a figure reads back the same on every run.
uint32_t macro_random_state = 12345;
uint32_t macro_random() {
  macro_random_state = macro_random_state * 1103515245u + 12345u;
  return (macro_random_state >> 1) & 0x3FFFFFFFu;
}

// Bits of a number's second flag word when a text shows it: its box stays
// where the text puts it, and only the text draws it.
constexpr uint32_t kShownInText = 2;
constexpr uint32_t kDrawnByText = 4;

bool add_reference(object* text, object* target, int16_t number) {
  auto* node = alloc_block<insert_object>();
  if (node == nullptr) return false;
  node->obj = target;
  node->number = number;
  insert_object** tail = &text->inserted;
  while (*tail != nullptr) tail = &(*tail)->next;
  *tail = node;
  return true;
}

}  // namespace

char* macro_password(const construct_class* cls) {
  return cls != nullptr ? static_cast<char*>(cls->reserved[0]) : nullptr;
}

void set_macro_password(construct_class* cls, char* password) {
  if (cls == nullptr) return;
  char* old = static_cast<char*>(cls->reserved[0]);
  if (old != password) GlobalFreeAndNull(&old);
  cls->reserved[0] = password;
}

uint8_t macro_password_state(const construct_class* cls) {
  return cls != nullptr ? static_cast<uint8_t>(reinterpret_cast<uintptr_t>(cls->reserved[1])) : 0;
}

void set_macro_password_state(construct_class* cls, uint8_t state) {
  if (cls != nullptr) cls->reserved[1] = reinterpret_cast<void*>(uintptr_t{state});
}

construct_class* new_macro_class() {
  auto* cls = alloc_block<construct_class>();
  if (cls == nullptr) return nullptr;
  cls->drawable = 1;
  cls->ctype = &type_point;
  cls->nbvals = kVariableNbVals;
  cls->select = macro_tool_handler;
  cls->fil = fil_prop;
  return cls;
}

macro_def* new_macro_def(int n, int steps, int finals) {
  auto* def = alloc_block<macro_def>();
  if (def == nullptr) return nullptr;
  def->macro_def_info = alloc_block<int16_t>(static_cast<uint32_t>(n + 2));
  def->macro_def_objects = steps > 0 ? alloc_block<macro_object>(static_cast<uint32_t>(steps)) : nullptr;
  def->macro_def_styles = n + finals > 0 ? alloc_block<object_settings>(static_cast<uint32_t>(n + finals)) : nullptr;
  if (def->macro_def_info == nullptr || (steps > 0 && def->macro_def_objects == nullptr) ||
      (n + finals > 0 && def->macro_def_styles == nullptr)) {
    GlobalFreeAndNull(&def->macro_def_info);
    GlobalFreeAndNull(&def->macro_def_objects);
    GlobalFreeAndNull(&def->macro_def_styles);
    GlobalFreeAndNull(&def);
    return nullptr;
  }
  def->macro_def_info[0] = static_cast<int16_t>(steps);
  return def;
}

void free_macro_def(macro_def** slot) {
  if (slot == nullptr || *slot == nullptr) return;
  macro_def* def = *slot;
  const int steps = def->macro_def_info != nullptr ? def->macro_def_info[0] : 0;
  for (int i = 0; i < steps && def->macro_def_objects != nullptr; ++i) {
    macro_object& s = def->macro_def_objects[i];
    GlobalFreeAndNull(&s.mo_parents);
    GlobalFreeAndNull(&s.mo_color_params);
    GlobalFreeAndNull(&s.mo_fill_params);
    GlobalFreeAndNull(&s.mo_formula);
    GlobalFreeAndNull(&s.mo_text);
    GlobalFreeAndNull(&s.mo_text_refs);
  }
  GlobalFreeAndNull(&def->macro_def_objects);
  GlobalFreeAndNull(&def->macro_def_info);
  GlobalFreeAndNull(&def->macro_def_styles);
  GlobalFreeAndNull(&def);
  *slot = nullptr;
}

void free_macro_method(construct_method** method) {
  if (method == nullptr || *method == nullptr) return;
  construct_method* m = *method;
  free_macro_def(&m->def);
  GlobalFreeAndNull(&m->args);
  GlobalFreeAndNull(&m->figdata);
  GlobalFreeAndNull(method);
}

void free_construct_class(construct_class* cls) {
  // The pre-built classes and their steps are static.
  if (cls == nullptr || is_optional_class(cls)) return;
  // The name block serves as both names.
  char* name = const_cast<char*>(cls->name);
  GlobalFreeAndNull(&name);
  char* english = const_cast<char*>(cls->english_name);
  if (english != cls->name) GlobalFreeAndNull(&english);
  GlobalFreeAndNull(&cls->icon);
  char* short_name = const_cast<char*>(cls->short_name);
  GlobalFreeAndNull(&short_name);
  char* code = const_cast<char*>(cls->code);
  GlobalFreeAndNull(&code);
  char* help = const_cast<char*>(cls->help_text);
  GlobalFreeAndNull(&help);
  set_macro_password(cls, nullptr);
  for (int m = 0; cls->methods != nullptr && cls->methods[m] != nullptr; ++m) free_macro_method(&cls->methods[m]);
  GlobalFreeAndNull(&cls->methods);
  GlobalFreeAndNull(&cls);
}

bool macro_method_equal(const construct_method* a, const construct_method* b) {
  if (a == nullptr || b == nullptr) return a == b;
  int n = 0;
  for (;; ++n) {
    const TYPEOBJ ca = a->args != nullptr ? a->args[n] : 0;
    const TYPEOBJ cb = b->args != nullptr ? b->args[n] : 0;
    if ((ca & 0x3FFF) != (cb & 0x3FFF)) return false;
    if (ca == 0) break;
  }
  const macro_def* da = a->def;
  const macro_def* db = b->def;
  if (da == nullptr || db == nullptr) return da == db;
  for (int i = 0; i < n + 2; ++i)
    if (da->macro_def_info[i] != db->macro_def_info[i]) return false;
  for (int i = 0; i < da->macro_def_info[0]; ++i) {
    const macro_object& x = da->macro_def_objects[i];
    const macro_object& y = db->macro_def_objects[i];
    if (x.mo_final != y.mo_final || x.mo_side_info != y.mo_side_info || x.mo_nb_parents != y.mo_nb_parents ||
        x.mo_nb_values != y.mo_nb_values || x.mo_class != y.mo_class || x.mo_method != y.mo_method ||
        !same_words(x.mo_parents, y.mo_parents, x.mo_nb_parents))
      return false;
    if (x.mo_class != nullptr && x.mo_class->short_name != nullptr) {
      if (std::strcmp(x.mo_class->short_name, "PReg") == 0 && x.mo_method == 1 && x.mo_value != y.mo_value)
        return false;
      if (std::strcmp(x.mo_class->short_name, "Formula") == 0 && !same_text(x.mo_formula, y.mo_formula))
        return false;
    }
  }
  return true;
}

bool construct_class_equal(const construct_class* a, const construct_class* b) {
  if (a == nullptr || b == nullptr) return a == b;
  const int n = class_method_count(a);
  if (n != class_method_count(b)) return false;
  for (int m = 0; m < n; ++m)
    if (!macro_method_equal(a->methods[m], b->methods[m])) return false;
  return true;
}

const uint8_t* default_macro_icon16() {
  static const uint8_t* icon = build_default_icon16();
  return icon;
}

void double_icon(uint8_t* icon) {
  if (icon == nullptr) return;
  uint8_t* big = icon + 256;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) big[y * 32 + x] = icon[(y / 2) * 16 + x / 2];
}

void init_macro_icon(uint8_t* icon, const uint8_t* data16) {
  if (icon == nullptr) return;
  std::memcpy(icon, data16 != nullptr ? data16 : default_macro_icon16(), 256);
  double_icon(icon);
}

bool is_default_icon(const uint8_t* icon) {
  return icon != nullptr && std::memcmp(icon, default_macro_icon16(), 256) == 0;
}

bool is_icon32_doubled(const uint8_t* icon) {
  if (icon == nullptr) return false;
  const uint8_t* big = icon + 256;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      if (big[y * 32 + x] != icon[(y / 2) * 16 + x / 2]) return false;
  return true;
}

uint16_t macro_parent_type(const macro_def* def, const construct_method* method, const macro_object* step,
                           int16_t k) {
  if (def == nullptr || step == nullptr || k < 0 || k >= step->mo_nb_parents || step->mo_parents == nullptr)
    return 0;
  int64_t index = step->mo_parents[k];
  int n = 0;
  while (method != nullptr && method->args != nullptr && method->args[n] != 0) ++n;
  for (int slot = 0; slot < n; ++slot) {
    index -= def->macro_def_info[1 + slot] + 1;
    if (index == 0) {
      const TYPEOBJ code = method->args[slot];
      if (code == ARG_STRAIGHT_BOUNDED) return TYPE_SEGMENT;
      if (code == ARG_STRAIGHT) return TYPE_LINE;
      return code;
    }
    if (index < 0) return TYPE_POINT;
  }
  if (index < 1 || index > def->macro_def_info[0]) return 0;
  const macro_object& entry = def->macro_def_objects[index - 1];
  return entry.mo_class != nullptr && entry.mo_class->ctype != nullptr ? entry.mo_class->ctype->id : 0;
}

object* apply_macro(int16_t method_index, uint8_t with_styles) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  construct_class* cls = current_class;
  construct_method* method = class_method(cls, method_index);
  macro_def* def = method != nullptr ? method->def : nullptr;
  if (fig == nullptr || def == nullptr || method->args == nullptr) return nullptr;
  applying_macro = 1;
  macro_random_state = 12345;

  const int nargs = objlist_count(fig->inputs);
  std::vector<object*> given(fig->inputs->items, fig->inputs->items + nargs);
  std::vector<uint16_t> given_tags(fig->inputs->tags, fig->inputs->tags + nargs);

  auto* im = alloc_block<infomacro>();
  if (im == nullptr) {
    applying_macro = 0;
    return nullptr;
  }
  im->im_method = static_cast<uint16_t>(method_index);
  im->im_class = cls;
  im->im_nb_initials = static_cast<int16_t>(nargs);
  if (nargs > 0) {
    im->im_initials = alloc_block<object*>(static_cast<uint32_t>(nargs));
    im->im_tags = alloc_block<uint8_t>(static_cast<uint32_t>(nargs));
    if (im->im_initials == nullptr || im->im_tags == nullptr) {
      free_infomacro(&im);
      applying_macro = 0;
      return nullptr;
    }
    for (int i = 0; i < nargs; ++i) {
      im->im_initials[i] = given[static_cast<size_t>(i)];
      im->im_tags[i] = static_cast<uint8_t>(given_tags[static_cast<size_t>(i)]);
    }
  }

  // The instance numbering: each initial object after its defining points.
  std::vector<object*> all(1, nullptr);
  std::vector<uint16_t> all_tags(1, 0);
  std::vector<bool> matched(given.size(), false);
  int slot = 0;
  for (int k = 0; method->args[k] != 0; ++slot) {
    int width = 1;
    int found = -1;
    for (size_t a = 0; a < given.size(); ++a) {
      if (matched[a]) continue;
      if (code_takes(method->args, k, type_id_of(given[a]), &width)) {
        found = static_cast<int>(a);
        break;
      }
    }
    code_takes(method->args, k, 0, &width);
    const TYPEOBJ code = method->args[k];
    k += width;
    if (found < 0) continue;
    matched[static_cast<size_t>(found)] = true;
    object* arg = given[static_cast<size_t>(found)];
    const uint16_t tag = (code == ARG_STRAIGHT_BOUNDED || code == ARG_STRAIGHT) ? given_tags[static_cast<size_t>(found)] : 0;
    const int points = def->macro_def_info[1 + slot];
    for (int j = 0; j < points; ++j) {
      object* p = arg->nbparents > 0 ? arg->parents[(tag + j) % arg->nbparents] : nullptr;
      all.push_back(p);
      all_tags.push_back(0);
    }
    all.push_back(arg);
    all_tags.push_back(tag);
  }
  const size_t initial_count = all.size() - 1;
  // The steps count on the numbering the definition gives; an argument that
  // matched no code, or a missing defining point, would shift it.
  size_t expected = 0;
  for (int k = 0; k < slot; ++k) expected += static_cast<size_t>(def->macro_def_info[1 + k]) + 1;
  bool numbering_ok = initial_count == expected;
  for (size_t k = 1; k <= initial_count && numbering_ok; ++k) numbering_ok = all[k] != nullptr;

  // Initial objects take the definition's styles in a user's application.
  if (numbering_ok && with_styles && def->macro_def_styles != nullptr) {
    size_t at = 0;
    int code_slot = 0;
    for (int k = 0; method->args[k] != 0; ++code_slot) {
      int width = 1;
      code_takes(method->args, k, 0, &width);
      const TYPEOBJ code = method->args[k];
      k += width;
      at += static_cast<size_t>(def->macro_def_info[1 + code_slot]) + 1;
      object* a = at < all.size() ? all[at] : nullptr;
      const object_settings& st = def->macro_def_styles[code_slot];
      if (a == nullptr || attrs_are_unset(&st) || code == TYPE_NUMBER) continue;
      const uint16_t t = type_id_of(a);
      if (!(t == code || (code == ARG_STRAIGHT_BOUNDED && t == TYPE_SEGMENT) || (code == ARG_STRAIGHT && t == TYPE_LINE)))
        continue;
      const int8_t visible = a->settings.visible;
      a->settings = st;
      a->settings.visible = visible;
      a->settings.marked = 0;
      if (a->classe != &classe_ptint) recompute_object(a);
    }
  }

  const int steps = def->macro_def_info[0];
  const int main_index = def->macro_def_info[1 + slot];
  std::vector<object*> made(static_cast<size_t>(steps), nullptr);
  object* first_created = nullptr;
  object* result = nullptr;
  std::vector<object*> owned;
  int16_t finals = 0;
  int style_index = slot;
  construct_class* saved_class = current_class;
  const int16_t saved_nbvals = variable_nb_values;

  auto entry = [&](uint32_t number) -> object* {
    if (number == 0 || number > initial_count + static_cast<size_t>(steps)) return nullptr;
    if (number <= initial_count) return all[number];
    return made[number - initial_count - 1];
  };

  // A parent number names an initial object or an earlier step.
  bool outside = !numbering_ok;
  for (int i = 0; i < steps && !outside; ++i) {
    const macro_object& step = def->macro_def_objects[i];
    const uint64_t limit = initial_count + static_cast<uint64_t>(i);
    for (int k = 0; k < step.mo_nb_parents && !outside; ++k)
      outside = step.mo_parents == nullptr || step.mo_parents[k] == 0 || step.mo_parents[k] > limit;
    for (int k = 0; k < step.mo_nb_text_refs && step.mo_text_refs != nullptr && !outside; ++k)
      outside = step.mo_text_refs[k] == 0 || step.mo_text_refs[k] > initial_count + static_cast<uint64_t>(steps);
  }
  // The user hears of it at once; a file reader reports it with the file.
  macro_application_refused = outside ? 1 : 0;
  if (outside && with_styles) message_box_simple(kMacroOutsideNumbering);

  for (int i = 0; i < steps && !outside; ++i) {
    const macro_object& step = def->macro_def_objects[i];
    construct_class* sc = step.mo_class;
    if (sc == nullptr) break;
    objlist_clear(fig->inputs);
    const uint16_t stype = sc->ctype != nullptr ? sc->ctype->id : 0;
    object* third = nullptr;
    bool missing = false;
    object* set = nullptr;
    if (stype == TYPE_LOCUS) {
      object* a = step.mo_nb_parents > 0 ? entry(step.mo_parents[0]) : nullptr;
      object* b = step.mo_nb_parents > 1 ? entry(step.mo_parents[1]) : nullptr;
      if (a == nullptr || b == nullptr) break;
      if (collect_dependency_chain(a, b) == 0) {
        objlist_clear(fig->inputs);
        objlist_add(fig->inputs, a, 0);
        objlist_add(fig->inputs, b, 0);
      }
    } else if (sc == &classe_ptint) {
      object* a = step.mo_nb_parents > 0 ? entry(step.mo_parents[0]) : nullptr;
      object* b = step.mo_nb_parents > 1 ? entry(step.mo_parents[1]) : nullptr;
      if (a == nullptr || b == nullptr) break;
      current_class = &classe_interset;
      set = get_intersection_set(a, b, nullptr);
      if (set == nullptr) break;
      if (set->macro == nullptr && (set->state & OBJ_NEW) != 0) {
        set->final_no = 0;
        owned.push_back(set);
        set->num = 0;
      }
      objlist_clear(fig->inputs);
      objlist_add(fig->inputs, set, static_cast<uint16_t>(step.mo_side_info));
      if (step.mo_nb_parents > 2) third = entry(step.mo_parents[2]);
    } else {
      for (int k = 0; k < step.mo_nb_parents; ++k) {
        object* p = entry(step.mo_parents[k]);
        if (p == nullptr) {
          missing = true;
          break;
        }
        uint16_t tag = step.mo_parents[k] <= initial_count ? all_tags[step.mo_parents[k]] : 0;
        if (tag == 0) tag = static_cast<uint16_t>(pack_parent_side_info(sc, step.mo_side_info, p, k & 1) & 0xFFFF);
        objlist_add(fig->inputs, p, tag);
      }
    }
    if (missing) break;
    current_class = sc;
    int16_t nvals = step.mo_nb_values;
    const int nparents = objlist_count(fig->inputs);
    if (stype == TYPE_TRIANGLE || stype == TYPE_POLYGON || sc == &classe_polyreg)
      nvals = static_cast<int16_t>(nparents + 1);
    if (stype == TYPE_SEGMENT || stype == TYPE_VECTOR) nvals = 2;
    if (sc == &classe_locus && nparents > 0) {
      // A locus driven along a polygon keeps a whole number of points per side.
      object* driver = fig->inputs->items[0];
      object* carrier = driver != nullptr && driver->nbparents > 0 ? driver->parents[0] : nullptr;
      const int sides = carrier != nullptr ? carrier->nbparents : 0;
      if (sides > 0 && (type_id_of(carrier) == TYPE_POLYGON || type_id_of(carrier) == TYPE_TRIANGLE))
        nvals = static_cast<int16_t>(std::max(2, nvals / sides) * sides + 1);
    }
    variable_nb_values = nvals;
    for (int r = 0; r < kRubberPoints; ++r) rubber_points[r] = valeur{};
    if (step.mo_final != 0 && ((sc == &classe_length && step.mo_method == 0) || sc == &classe_angleMes ||
                               sc == &classe_aire || sc == &classe_pente))
      place_new_measure_text(sc, static_cast<uint16_t>(step.mo_method));
    if ((sc == &classe_droite || sc == &classe_cercle || sc == &classe_demidroite) && step.mo_method == 0) {
      if (step.mo_final == 0) {
        const double x = macro_random() % 1000, y = macro_random() % 1000;
        rubber_points[1] = valeur{x + 1, y + 1, {std::hypot(x + 1, y + 1)}, 0};
      } else {
        // A shown object keeps a small free direction or radius near its point.
        object* first = nparents > 0 ? fig->inputs->items[0] : nullptr;
        const valeur at = first != nullptr && first->valeurs != nullptr ? first->valeurs[0] : valeur{};
        rubber_points[1] = valeur{at.h + 1, at.v + 1, {kMacroDefaultRadius}, 0};
      }
    }
    uint16_t m = static_cast<uint16_t>(step.mo_method);
    if (sc == &classe_locus) m = 0;
    if (sc == &classe_ptsur && nparents > 0) {
      const uint16_t on = type_id_of(fig->inputs->items[0]);
      if (on == TYPE_TRIANGLE || on == TYPE_POLYGON || fig->inputs->items[0]->classe == &classe_polyreg) m = 2;
    }
    uint16_t created = 0;
    const uint32_t count_before = fig->nbobj;
    object* o = create_object(m, &created, 0, step.mo_final != 0 ? 1 : 0, 0);
    if (o == nullptr) break;
    if (created && fig->nbobj != count_before + 1) {
      // The new object replaced an identical one (springs do): what the
      // instance made before and is gone now is the new object.
      std::unordered_set<const object*> live;
      for (const object* q = fig->first; q != nullptr; q = q->next) live.insert(q);
      for (object*& earlier : made)
        if (earlier != nullptr && live.count(earlier) == 0) earlier = o;
      std::erase_if(owned, [&live](const object* q) { return live.count(q) == 0; });
      if (first_created != nullptr && live.count(first_created) == 0) first_created = o;
      if (result != nullptr && live.count(result) == 0) result = o;
    }
    made[static_cast<size_t>(i)] = o;
    if (first_created == nullptr && created) first_created = o;

    if (step.mo_final != 0) ++finals;
    if (step.mo_final != 0 && def->macro_def_styles != nullptr) {
      const object_settings& st = def->macro_def_styles[style_index++];
      if (created && !attrs_are_unset(&st)) {
        o->settings = st;
        o->settings.marked = 0;
      }
    }
    if (!created) continue;
    if (i == main_index && step.mo_final != 0) {
      result = o;
      o->str = const_cast<char*>(cls->short_name);
    }
    o->final_no = step.mo_final != 0 ? finals : 0;
    owned.push_back(o);
    if (step.mo_final == 0) o->settings.visible = 0;
    if (o->math.bitsfield == 0) o->math.bitsfield = step.mo_side_info;
    if (sc == &classe_ptint && set != nullptr) {
      add_intersection_record(set, step.mo_side_info, &rubber_points[0], o);
      o->math.bitsfield = step.mo_side_info;
      recompute_object(set);
      // The point that must not be this one: the other root is taken.
      if (third != nullptr) link_intersection_point(o, third);
    }
    if (stype == TYPE_LOCUS && !locus_is_valid(o)) {
      o->math.locus.lkpt = 0;
      o->math.locus.envelop = 0;
    }
    if (sc == &classe_equation && def->macro_def_axes_flag == 1 && o->parents != nullptr) {
      for (int k = 0; k < o->nbparents; ++k)
        if (o->parents[k] != nullptr && type_id_of(o->parents[k]) == TYPE_AXES) {
          o->math.equa.format = o->parents[k]->math.equa.format;
          if (o->nbparents > 0 && type_id_of(o->parents[0]) == TYPE_POINT && o->math.equa.format != 0)
            o->math.equa.format = 1;
          break;
        }
    }
    if (sc == &classe_calculate && step.mo_formula != nullptr && o->parents != nullptr &&
        GlobalSize(o->parents) / sizeof(object*) > static_cast<uint32_t>(o->nbparents)) {
      const size_t len = std::strlen(step.mo_formula);
      auto* text = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(len + 1)));
      if (text != nullptr) std::memcpy(text, step.mo_formula, len);
      void* old = o->parents[o->nbparents];
      GlobalFreeAndNull(&old);
      o->parents[o->nbparents] = reinterpret_cast<object*>(text);
      compile_calculation(o);
    }
    if (stype == TYPE_TEXT && step.mo_text != nullptr && o->te != nullptr) {
      const size_t len = std::strlen(step.mo_text);
      auto* text = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(len + 1)));
      if (text != nullptr) {
        std::memcpy(text, step.mo_text, len);
        GlobalFreeAndNull(&o->te->text);
        o->te->text = text;
        o->te->length = static_cast<int32_t>(len);
      }
      for (int r = 0; r < step.mo_nb_text_refs && step.mo_text_refs != nullptr; ++r) {
        object* target = entry(step.mo_text_refs[r]);
        if (target == nullptr || !add_reference(o, target, static_cast<int16_t>(r + 1))) continue;
        // A number the text shows lives in it: drawn and picked with it
        // only, as a measure in the text the measure tool makes.
        if (type_id_of(target) == TYPE_NUMBER) target->aux2 |= kShownInText | kDrawnByText;
      }
      o->te->size.w = 80;
    }
    if (is_polyreg_vertex(o)) {
      // A vertex is one entry of its polygon's values and owns none: freeing
      // it leaves its values alone, so a block of its own would leak. A
      // vertex beyond its polygon has no values, as the file reader makes it.
      const object* polygon = o->nbparents > 0 && o->parents != nullptr ? o->parents[0] : nullptr;
      const int index = o->math.polreg.index;
      GlobalFreeAndNull(&o->valeurs);
      o->nbvaleurs = 0;
      if (polygon != nullptr && polygon->valeurs != nullptr && index >= 0 && index < polygon->nbvaleurs) {
        o->valeurs = polygon->valeurs + index;
        o->nbvaleurs = 1;
      }
    }
    if (sc == &classe_ptsur && o->parents != nullptr && o->parents[0] != nullptr && o->valeurs != nullptr &&
        o->nbvaleurs >= 2) {
      // A point on an object lands somewhere along its carrier, by chance.
      const uint16_t on = type_id_of(o->parents[0]);
      const uint32_t r = macro_random();
      if (on == TYPE_AXES)
        point_on_object_place(o, 50, static_cast<double>(r) * 100.0 / 1073741824.0);
      else if (on == TYPE_LINE || on == TYPE_RAY)
        point_on_object_place(o, 2147483647, static_cast<double>(r / 2 + 0x3FFFFFFFu));
      else
        point_on_object_place(o, 2147483647, static_cast<double>(r));
      o->valeurs[1].h = o->valeurs[0].h;
      o->valeurs[1].v = o->valeurs[0].v;
    }
    if (stype != TYPE_TEXT) recompute_object(o);
    // The next text-like final goes below this one, not over it.
    if (step.mo_final != 0 && stype != TYPE_NUMBER && is_text_like_object(o)) {
      const int32_t step_down = o->te != nullptr && o->te->size.h > 0 ? o->te->size.h
                                                                     : measure_text_rect.bottom - measure_text_rect.top;
      measure_text_rect.top += step_down;
      measure_text_rect.bottom += step_down;
    }
  }

  // The record joins its objects only now: while steps are built, an
  // identical object may be replaced, and it must not take the record along.
  // (`owned` holds only objects still in the figure: a replacement prunes it.)
  for (object* o : owned) o->macro = im;
  // Colour parameters name instance objects.
  for (int i = 0; i < steps; ++i) {
    const macro_object& step = def->macro_def_objects[i];
    object* o = made[static_cast<size_t>(i)];
    if (o == nullptr || o->macro != im) continue;
    if (step.mo_color_params != nullptr)
      set_object_color_params(o, entry(step.mo_color_params[0]), entry(step.mo_color_params[1]),
                              entry(step.mo_color_params[2]));
    if (step.mo_fill_params != nullptr)
      set_object_fill_color_params(o, entry(step.mo_fill_params[0]), entry(step.mo_fill_params[1]),
                                   entry(step.mo_fill_params[2]));
  }
  for (object* o = first_created; o != nullptr; o = o->next) {
    recompute_object(o);
    if (type_id_of(o) != TYPE_TEXT) continue;
    // Its numbers recomputed, a text shows their values.
    o->aux2 &= ~kShownInText;
    recompute_object(o);
  }

  // An instance that built nothing keeps no record.
  if (owned.empty()) free_infomacro(&im);

  objlist_clear(fig->inputs);
  current_class = saved_class;
  variable_nb_values = saved_nbvals;
  applying_macro = 0;
  // A number's result is shown by the text that holds it.
  if (result != nullptr && type_id_of(result) == TYPE_NUMBER) {
    for (object* o = result->next; o != nullptr; o = o->next) {
      if (type_id_of(o) != TYPE_TEXT) continue;
      bool holds = false;
      for (insert_object* r = o->inserted; r != nullptr && !holds; r = r->next) holds = r->obj == result;
      if (holds) return o;
    }
  }
  return result;
}

int16_t removed_macro_group = 0;

namespace {

bool menu_names(const menu* m, const char* name) {
  for (int i = 1; m != nullptr && m->names != nullptr && m->names[i] != nullptr; ++i)
    if (name != nullptr && std::strcmp(m->names[i], name) == 0) return true;
  return false;
}

void rebuild_palette() {
  if (files_services().rebuild_tools_panel != nullptr) files_services().rebuild_tools_panel();
}

}  // namespace

void add_class_to_tools_menu(construct_class* cls) {
  if (cls == nullptr || tool_menus == nullptr || cls->name == nullptr) return;
  for (int g = 0; tool_menus[g] != nullptr; ++g)
    if (menu_names(tool_menus[g], cls->name)) return;
  if (removed_macro_group != 0) {
    // A replaced macro goes back to its group, which shows its new icon.
    add_tool_from_descriptor(removed_macro_group, cls, 0);
    for (int g = 0; tool_menus[g] != nullptr; ++g)
      if (tool_menus[g]->id == removed_macro_group && tool_menus[g]->icons != nullptr &&
          tool_menus[g]->icons != kColorPopupIcons)
        tool_menus[g]->icons[0] = cls->icon;
    rebuild_palette();
    return;
  }
  int16_t group = 0;
  int16_t last = 0;
  const char* final_tool = toolbar_table[ROW_FINAL_OBJECT - 1].name;
  for (int g = 0; tool_menus[g] != nullptr && group == 0; ++g)
    if (menu_names(tool_menus[g], final_tool)) group = tool_menus[g]->id;
  for (int g = 0; tool_menus[g] != nullptr; ++g) {
    menu* m = tool_menus[g];
    last = m->id;
    for (int i = 1; group == 0 && m->names != nullptr && m->names[i] != nullptr; ++i)
      if (is_macro_class(find_class_by_name(m->names[i], 0))) group = m->id;
  }
  if (group != 0) {
    add_tool_from_descriptor(group, cls, 0);
    return;
  }
  add_tool_from_descriptor(static_cast<int16_t>(last + 1), cls, 0);
  rebuild_palette();
}

void icon_organizer_command() {
  menu* extra = trash_toolbox;
  if (extra == nullptr) return;
  bool removed = false;
  for (int i = 1; extra->names != nullptr && extra->names[i] != nullptr;) {
    construct_class* cls = find_class_by_name(extra->names[i], 0);
    // Only the user's own macros go: the built-in tools put away in the
    // trash stay registered (their records are static and the palette may
    // take them back).
    if (cls != nullptr && is_macro_class(cls) && !class_used_in_figures(cls)) {
      // A removed tool cannot stay the current one.
      if (current_class == cls) select_tool(0);
      remove_class_from_list(cls);
      free_construct_class(cls);
      remove_toolbox_tool_at(extra, static_cast<int16_t>(i));
      removed = true;
    } else {
      ++i;
    }
  }
  if (removed) rebuild_palette();
}
