#include "kernel/text/labels.h"

#include "kernel/model/classes.h"

bool is_labelable_object(const object* obj) {
  if (!obj || !obj->otype) return false;
  const construct_method* m = class_method(&classe_label, 0);
  if (!m || !m->args) return false;
  const TYPEOBJ* code = m->args;
  if ((*code % 0x4000) < ARG_ONE_OF) return false;
  const int n = (*code % 0x4000) - ARG_ONE_OF;
  for (int i = 1; i <= n && code[i]; ++i)
    if (code[i] % 0x4000 == obj->otype->id) return true;
  return false;
}

void place_object_label(object*, unsigned char) {}

bool hit_test_object_label(object*, tagPOINT*) { return false; }
