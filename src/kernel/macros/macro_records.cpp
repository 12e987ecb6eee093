#include "kernel/macros/macro_records.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <iterator>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/file_services.h"
#include "kernel/macros/macro_def.h"
#include "kernel/model/classes.h"
#include "kernel/model/identical.h"
#include "kernel/model/memory.h"
#include "kernel/tools/previews.h"
#include "kernel/tools/text_tool_handlers.h"
#include "kernel/tools/tool_handler.h"

namespace {

constexpr TYPEOBJ P = TYPE_POINT, NUM = TYPE_NUMBER;
TYPEOBJ co0[] = {P, P, P, 0};
TYPEOBJ co1[] = {TYPE_SEGMENT, P, 0};
TYPEOBJ co2[] = {NUM, P, 0};
TYPEOBJ s2[] = {TYPE_VECTOR, TYPE_VECTOR, P, 0};
TYPEOBJ arc_angle[] = {TYPE_ARC, 0};
TYPEOBJ oriented_angle[] = {P, P, P, 0};
TYPEOBJ ratio[] = {ARG_STRAIGHT_BOUNDED, ARG_STRAIGHT_BOUNDED, 0};

// The construction steps of the pre-built classes (docs/prebuilt-macros.md
// explains each table). Parent numbers follow the instance numbering: each
// initial object after its defining points, then the steps in order.
#define STEP(cls, method, final, side, nvals, parents) \
  {final, side, nullptr, nullptr, static_cast<int16_t>(std::size(parents)), nvals, parents, &cls, method, 0, nullptr, nullptr, nullptr, 0}
#define FORMULA(text, parents) \
  {1, 0, nullptr, nullptr, static_cast<int16_t>(std::size(parents)), 1, parents, &classe_calculate, 0, 0, const_cast<char*>(text), nullptr, nullptr, 0}
#define TEXT(ref) {1, 0, nullptr, nullptr, 0, 0, nullptr, &classe_text, 0, 0, nullptr, const_cast<char*>("$1$"), ref, 1}

// Compass from three points A, B, C (1, 2, 3): M = Mid(B, C), S = Sym(A, M)
// = B + C - A, circle centred on C through S (radius |AB|).
uint32_t co0_mid[] = {2, 3}, co0_sym[] = {1, 4}, co0_cir[] = {3, 5};
macro_object co0_steps[] = {STEP(classe_milieu, 0, 0, 0, 1, co0_mid), STEP(classe_symetrique, 0, 0, 0, 1, co0_sym),
                            STEP(classe_cercle, 1, 1, 0, 2, co0_cir)};
int16_t co0_info[] = {3, 0, 0, 0, 2};
// Compass from a segment (its ends 1, 2, itself 3) and a centre 4.
uint32_t co1_mid[] = {2, 4}, co1_sym[] = {1, 5}, co1_cir[] = {4, 6};
macro_object co1_steps[] = {STEP(classe_milieu, 0, 0, 0, 1, co1_mid), STEP(classe_symetrique, 0, 0, 0, 1, co1_sym),
                            STEP(classe_cercle, 1, 1, 0, 2, co1_cir)};
int16_t co1_info[] = {3, 2, 0, 2};
// Compass from a number 1 and a centre 2: the number carried onto the
// point, circle centred on the point through it.
uint32_t co2_transf[] = {2, 1}, co2_cir[] = {2, 3};
macro_object co2_steps[] = {STEP(classe_compas3, 2, 0, 0, 2, co2_transf), STEP(classe_cercle, 1, 1, 0, 2, co2_cir)};
int16_t co2_info[] = {2, 0, 0, 1};
// Vector sum: u (1, 2, 3), v (4, 5, 6), P 7. P + u = Sym(u1, Mid(u2, P)),
// then + v likewise; finals: the end point and the vector from P to it.
uint32_t s2_m1[] = {2, 7}, s2_s1[] = {1, 8}, s2_m2[] = {5, 9}, s2_s2[] = {4, 10}, s2_vec[] = {7, 11};
macro_object s2_steps[] = {STEP(classe_milieu, 0, 0, 0, 1, s2_m1), STEP(classe_symetrique, 0, 0, 0, 1, s2_s1),
                           STEP(classe_milieu, 0, 0, 0, 1, s2_m2), STEP(classe_symetrique, 0, 1, 0, 1, s2_s2),
                           STEP(classe_vecteur, 0, 1, 0, 2, s2_vec)};
int16_t s2_info[] = {5, 2, 2, 0, 4};
// Arc angle: the arc's points 1, 2, 3 and the arc 4. Bisectors of the first
// and last chords meet at the centre; length of the arc over the radius.
uint32_t aa_b1[] = {1, 2}, aa_b2[] = {2, 3}, aa_int[] = {5, 6}, aa_r[] = {7, 1}, aa_len[] = {4}, aa_f[] = {9, 8},
         aa_ref[] = {10};
macro_object aa_steps[] = {STEP(classe_mediatrice, 0, 0, 0, 4, aa_b1), STEP(classe_mediatrice, 0, 0, 0, 4, aa_b2),
                           STEP(classe_ptint, 0, 0, 0, 1, aa_int),      STEP(classe_length, 1, 0, 0, 1, aa_r),
                           STEP(classe_length, 0, 0, 0, 1, aa_len),     FORMULA("a/b", aa_f),
                           TEXT(aa_ref)};
int16_t aa_info[] = {7, 3, 5};
// Oriented angle at B from A to C (1, 2, 3): the angle's value, signed by
// the side of C in the frame (B, A, D) where D is A turned a quarter turn.
uint32_t oa_ang[] = {1, 2, 3}, oa_vec[] = {2, 1}, oa_perp[] = {2, 5}, oa_cir[] = {2, 1}, oa_int[] = {6, 7},
         oa_axes[] = {2, 1, 8}, oa_co[] = {3, 9}, oa_f[] = {4, 10}, oa_ref[] = {11};
macro_object oa_steps[] = {STEP(classe_angleMes, 0, 0, 0, 1, oa_ang), STEP(classe_vecteur, 0, 0, 0, 2, oa_vec),
                           STEP(classe_perpendiculaire, 0, 0, 0, 4, oa_perp), STEP(classe_cercle, 1, 0, 0, 2, oa_cir),
                           STEP(classe_ptint, 0, 0, 0, 1, oa_int),     STEP(classe_axe, 1, 0, 0, 3, oa_axes),
                           STEP(classe_equation, 0, 0, 0, 3, oa_co),   FORMULA("a*sign(b)", oa_f),
                           TEXT(oa_ref)};
int16_t oa_info[] = {9, 0, 0, 0, 7};
// Ratio of two segment-like objects (1, 2, 3 and 4, 5, 6): their lengths,
// the first over the second.
uint32_t ra_l1[] = {3}, ra_l2[] = {6}, ra_f[] = {7, 8}, ra_ref[] = {9};
macro_object ra_steps[] = {STEP(classe_length, 0, 0, 0, 1, ra_l1), STEP(classe_length, 0, 0, 0, 1, ra_l2),
                           FORMULA("a / b", ra_f), TEXT(ra_ref)};
int16_t ra_info[] = {4, 2, 2, 2};
#undef STEP
#undef FORMULA
#undef TEXT

#define DEF(info, steps) {info, steps, nullptr, 0, 0, 0}
macro_def co_defs[] = {DEF(co0_info, co0_steps), DEF(co1_info, co1_steps), DEF(co2_info, co2_steps)};
macro_def s2_def = DEF(s2_info, s2_steps);
macro_def aa_def = DEF(aa_info, aa_steps);
macro_def oa_def = DEF(oa_info, oa_steps);
macro_def ra_def = DEF(ra_info, ra_steps);
#undef DEF

#define METHOD(args, def) {def, nullptr, nullptr, nullptr, identstd, nullptr, args, nullptr}
construct_method co_methods[] = {METHOD(co0, &co_defs[0]), METHOD(co1, &co_defs[1]), METHOD(co2, &co_defs[2])};
construct_method s2_methods[] = {METHOD(s2, &s2_def)};
construct_method arc_angle_methods[] = {METHOD(arc_angle, &aa_def)};
construct_method oriented_angle_methods[] = {METHOD(oriented_angle, &oa_def)};
construct_method ratio_methods[] = {METHOD(ratio, &ra_def)};
#undef METHOD

#define PREBUILT(ctype, short_name, code, name) \
  {1, &ctype, short_name, code, name, name, nullptr, kVariableNbVals, nullptr, nullptr, nullptr, nullptr, nullptr, {}}
construct_class prebuilt[kOptionalClassCount] = {
    PREBUILT(type_circle, nullptr, "CO", nullptr),
    PREBUILT(type_vector, nullptr, "S2", nullptr),
    PREBUILT(type_point, "ArcAng", "AA", "ArcAngle"),
    PREBUILT(type_point, nullptr, nullptr, "Angle orient\x8E"),
    PREBUILT(type_point, ".ratio", nullptr, "Ratio"),
};
#undef PREBUILT

struct prebuilt_methods {
  construct_method* methods;
  int count;
};
const prebuilt_methods prebuilt_method_lists[kOptionalClassCount] = {
    {co_methods, 3}, {s2_methods, 1}, {arc_angle_methods, 1}, {oriented_angle_methods, 1}, {ratio_methods, 1},
};

// Calls visit(object) for the objects of every open figure until it
// answers false; answers false when a visit did.
template <typename Visit>
bool walk_open_figures(Visit visit) {
  struct context {
    Visit* visit;
    bool stopped;
  } ctx{&visit, false};
  auto walk = [](HWND, kelvo_win_info* fig, void* raw) -> bool {
    auto* c = static_cast<context*>(raw);
    for (object* o = fig != nullptr ? fig->first : nullptr; o != nullptr; o = o->next)
      if (!(*c->visit)(o)) {
        c->stopped = true;
        return false;
      }
    return true;
  };
  if (files_services().enum_figure_windows != nullptr) {
    files_services().enum_figure_windows(walk, &ctx);
  } else {
    walk(nullptr, KPGeoDocument::currentInfo(), &ctx);
  }
  return !ctx.stopped;
}

}  // namespace

construct_class* optional_classes[kOptionalClassCount] = {&prebuilt[0], &prebuilt[1], &prebuilt[2],
                                                          &prebuilt[3], &prebuilt[4]};

bool (*validate_macro_password)(const char* password) = nullptr;

bool install_optional_class(int index, uint8_t add_to_menu) {
  if (index < 0 || index >= kOptionalClassCount) return false;
  construct_class* cls = optional_classes[index];
  for (int i = 0; i < class_list_count(); ++i)
    if (class_list[i] == cls) return true;
  GlobalFreeAndNull(&cls->methods);
  const prebuilt_methods& list = prebuilt_method_lists[index];
  for (int i = 0; i < list.count; ++i)
    if (!add_construct_method(cls, &list.methods[i])) return false;
  cls->select = macro_tool_handler;
  cls->fil = fil_prop;
  if (!register_construct_class(cls)) return false;
  if (add_to_menu) add_class_to_tools_menu(cls);
  return true;
}

bool is_optional_class(const construct_class* cls) {
  if (!cls) return false;
  for (construct_class* c : optional_classes)
    if (c == cls) return true;
  return false;
}

bool is_macro_class(const construct_class* cls) {
  return cls && cls->methods && cls->methods[0] && cls->methods[0]->def && !is_optional_class(cls);
}

void free_infomacro(infomacro** im) {
  if (!im || !*im) return;
  GlobalFreeAndNull(&(*im)->im_initials);
  GlobalFreeAndNull(&(*im)->im_tags);
  GlobalFreeAndNull(im);
}

int16_t defining_point_count(const object* obj) {
  if (obj == nullptr || obj->classe == nullptr) return 0;
  const construct_class* c = obj->classe;
  if (c == &classe_cercle)
    return obj->nbparents == 2 && obj->parents != nullptr && obj->parents[1] != nullptr &&
                   obj->parents[1]->final_no == 0
               ? 1
               : obj->nbparents;
  if (c == &classe_droite || c == &classe_demidroite || c == &classe_axe || c == &classe_polygone ||
      c == &classe_polyreg)
    return obj->nbparents;
  if (c == &classe_segment || c == &classe_vecteur) return 2;
  if (c == &classe_triangle || c == &classe_arc || c == &classe_angle) return 3;
  if (c == &classe_conic) return 5;
  return 0;
}

bool pointer_in_list(const void* pointer, void* const* list, int n) {
  if (list == nullptr) return false;
  for (int i = 0; list[i] != nullptr && (n < 0 || i < n); ++i)
    if (list[i] == pointer) return true;
  return false;
}

bool macro_list_contains(const infomacro* im, const object* obj) {
  if (!im || !obj || !im->im_initials) return false;
  for (int i = 0; i < im->im_nb_initials; ++i) {
    const object* initial = im->im_initials[i];
    if (initial == nullptr) continue;
    if (initial == obj) return true;
    const int n = std::min<int>(defining_point_count(initial), initial->nbparents);
    for (int k = 0; k < n && initial->parents != nullptr; ++k)
      if (initial->parents[k] == obj) return true;
  }
  return false;
}

void clear_definition_flags() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  for (object* o = fig != nullptr ? fig->first : nullptr; o != nullptr; o = o->next)
    o->state &= ~(OBJ_MACRO_NEEDED | OBJ_MACRO_DEPENDS);
}

void shift_method_indices_in_figures(const construct_class* cls, int removed) {
  // The objects of one instance share the record: lower it once.
  std::unordered_set<infomacro*> lowered;
  walk_open_figures([&](object* o) {
    if (o->macro != nullptr && o->macro->im_class == cls && o->macro->im_method > removed &&
        lowered.insert(o->macro).second)
      --o->macro->im_method;
    return true;
  });
}

bool method_unused_in_figures(const construct_method* method) {
  return walk_open_figures([&](object* o) {
    return o->macro == nullptr || class_method(o->macro->im_class, o->macro->im_method) != method;
  });
}

bool class_unused_in_figures(const construct_class* cls) {
  return walk_open_figures([&](object* o) { return o->macro == nullptr || o->macro->im_class != cls; });
}

bool class_used_in_figures(const construct_class* cls) { return !class_unused_in_figures(cls); }

void replace_object_ref_in_figures(const char* old_ref, const char* new_ref) {
  walk_open_figures([&](object* o) {
    if (o->str != nullptr && o->str == old_ref) o->str = const_cast<char*>(new_ref);
    return true;
  });
}

bool macro_object_may_show(const object* obj) {
  if (obj == nullptr || obj->macro == nullptr || obj->final_no != 0) return true;
  construct_class* cls = obj->macro->im_class;
  if (is_optional_class(cls)) return false;
  const char* password = macro_password(cls);
  if (password == nullptr) return true;
  const uint8_t state = macro_password_state(cls);
  if (state != 0) return state == 2;
  const bool accepted = validate_macro_password != nullptr && validate_macro_password(password);
  if (!accepted) {
    set_macro_password_state(cls, 1);
    return false;
  }
  for (int i = 0; i < class_list_count(); ++i) {
    construct_class* other = class_list[i];
    const char* p = is_macro_class(other) ? macro_password(other) : nullptr;
    if (other == cls || (p != nullptr && std::strcmp(p, password) == 0)) set_macro_password_state(other, 2);
  }
  set_macro_password_state(cls, 2);
  return true;
}
