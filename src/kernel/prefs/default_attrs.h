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

// The per-type default attribute records, one per kind of object.
enum default_attr_kind : int {
  ATTRS_POINT,
  ATTRS_LINE,
  ATTRS_POLYGON,
  ATTRS_VECTOR,
  ATTRS_CIRCLE_CONIC,
  ATTRS_ARC,
  ATTRS_AXES,
  ATTRS_GRID,
  ATTRS_LOCUS,
  ATTRS_ANGLE,
  ATTRS_TEXT,
  ATTRS_LABEL,
  ATTRS_NUMBER,
  ATTRS_LENGTH,
  ATTRS_AREA,
  ATTRS_ANGLE_MEASURE,
  ATTRS_EQUATION,
  ATTRS_BUTTON,
  kDefaultAttrKinds
};
extern default_attr default_attrs[kDefaultAttrKinds];

// Fills every per-type record. Without a preferences store yet, each takes
// the kernel's fallback attributes.
void init_default_attrs(int unused);

// Copies the current default attributes (the tools' `current_default_attrs`,
// or the fallback block when none is set) into the object's settings.
void apply_default_attrs_to_object(object* obj);

// "ManageInfinityOn": when false, an object computed at infinity is also
// undefined. True by default.
extern uint8_t manage_infinity;
