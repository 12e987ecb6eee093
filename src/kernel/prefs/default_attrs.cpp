#include "kernel/prefs/default_attrs.h"

// Solid lines: a dash whose on length equals its period draws no gap.
default_attr kernel_default_attrs = [] {
  default_attr a{};
  a.settings.dot_style = dot{1, 1};
  a.settings.visible = 1;
  return a;
}();

#include "kernel/tools/tool_state.h"

default_attr default_attrs[kDefaultAttrKinds];
uint8_t manage_infinity = 1;

void init_default_attrs(int) {
  for (default_attr& a : default_attrs) a = kernel_default_attrs;
}

void apply_default_attrs_to_object(object* obj) {
  if (!obj) return;
  const default_attr* a = current_default_attrs ? current_default_attrs : &kernel_default_attrs;
  obj->settings = a->settings;
}
