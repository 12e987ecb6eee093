// Per-type default attributes given to new objects.
#pragma once

#include "kernel/model/figure.h"

struct default_attr {
  object_settings settings;
  math_info math;
};

// The kernel's fallback attribute block, whose dash pair the tools' neutral
// attribute record takes at start-up.
extern default_attr kernel_default_attrs;
