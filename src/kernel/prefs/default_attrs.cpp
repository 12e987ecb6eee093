#include "kernel/prefs/default_attrs.h"

// Solid lines: a dash whose on length equals its period draws no gap.
default_attr kernel_default_attrs = [] {
  default_attr a{};
  a.settings.dot_style = dot{1, 1};
  a.settings.visible = 1;
  return a;
}();
