// Per-type default attributes given to new objects.
#pragma once

#include "kernel/model/figure.h"

// The attributes a new object receives. Beside the object's own settings,
// the styles that the attribute pop-ups set for each kind of object and the
// text size and colour of new texts.
struct default_attr {
  object_settings settings;
  math_info math;
  uint8_t point_style;
  uint8_t angle_mark_style;
  uint8_t line_style;
  uint8_t second_line_style;
  uint8_t axes_style;
  int32_t text_size;
  uint32_t text_color;
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

struct construct_class;
// The default attributes of a class's result type (measures, labels and
// numbers have their own), never null.
default_attr* get_default_attrs(uint16_t type_id, const construct_class* cls);

// Copies the default attributes of the object's kind into its settings; a
// point takes the point shape of the current tool's attributes when set.
void apply_default_attrs_to_object(object* obj);

// "ManageInfinityOn": when false, an object computed at infinity is also
// undefined. True by default.
extern uint8_t manage_infinity;

// "ManagePtOnObjectOn": tools that take points may create them on objects
// and at intersections while picking. True by default.
extern uint8_t manage_point_on_object;
// "Toolbar Icon Size": 16 or 32 pixels; 32 by default.
extern int16_t toolbar_icon_size;

// The unset style record (every field "default"): a macro's style records
// hold it for objects that keep the defaults of their kind.
void set_attrs_unset(object_settings* s);
bool attrs_are_unset(const object_settings* s);
// True when the object's settings are those its kind gets by default.
bool attrs_equal_default(const object* obj);
