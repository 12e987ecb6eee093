#include "kernel/macros/macro_records.h"

#include "kernel/model/classes.h"
#include "kernel/model/memory.h"

construct_class* optional_classes[kOptionalClassCount] = {};

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
