#include "kernel/macros/macro_records.h"

#include "kernel/model/classes.h"
#include "kernel/model/memory.h"

namespace {

constexpr TYPEOBJ P = TYPE_POINT, NUM = TYPE_NUMBER;
TYPEOBJ co0[] = {P, P, P, 0};
TYPEOBJ co1[] = {TYPE_SEGMENT, P, 0};
TYPEOBJ co2[] = {NUM, P, 0};
TYPEOBJ s2[] = {TYPE_VECTOR, TYPE_VECTOR, P, 0};
TYPEOBJ arc_angle[] = {TYPE_ARC, 0};
TYPEOBJ oriented_angle[] = {P, P, P, 0};
TYPEOBJ ratio[] = {ARG_STRAIGHT_BOUNDED, ARG_STRAIGHT_BOUNDED, 0};

#define METHOD(args) {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, args, nullptr}
construct_method co_methods[] = {METHOD(co0), METHOD(co1), METHOD(co2)};
construct_method s2_methods[] = {METHOD(s2)};
construct_method arc_angle_methods[] = {METHOD(arc_angle)};
construct_method oriented_angle_methods[] = {METHOD(oriented_angle)};
construct_method ratio_methods[] = {METHOD(ratio)};
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

}  // namespace

construct_class* optional_classes[kOptionalClassCount] = {&prebuilt[0], &prebuilt[1], &prebuilt[2],
                                                          &prebuilt[3], &prebuilt[4]};

bool install_optional_class(int index, uint8_t) {
  if (index < 0 || index >= kOptionalClassCount) return false;
  construct_class* cls = optional_classes[index];
  for (int i = 0; i < class_list_count(); ++i)
    if (class_list[i] == cls) return true;
  GlobalFreeAndNull(&cls->methods);
  const prebuilt_methods& list = prebuilt_method_lists[index];
  for (int i = 0; i < list.count; ++i)
    if (!add_construct_method(cls, &list.methods[i])) return false;
  return register_construct_class(cls);
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

bool macro_list_contains(const infomacro* im, const object* obj) {
  if (!im || !obj) return false;
  if (obj->macro == im) return true;
  for (int i = 0; obj->parents && i < obj->nbparents; ++i)
    if (obj->parents[i] && obj->parents[i]->macro == im) return true;
  return false;
}
