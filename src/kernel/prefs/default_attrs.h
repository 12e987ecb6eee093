// Per-type default attributes given to new objects, built from the
// preferences.
#pragma once

#include "kernel/model/figure.h"

// The attributes a new object receives. Beside the object's own settings and
// the first word of its math information, the values of four attribute
// menus (point shape, angle-mark style, the style of new segments, the style
// of new lines and rays), the coordinate form of new axes, and the text
// style of new texts.
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
  uint32_t text_reserved;
  uint16_t text_font;
  uint16_t text_face;
  uint8_t text_char_set;
};

// The record of every type id without one of its own (springs, unknown
// ids): all zero but thickness 1 and the second dash of the dash table.
extern default_attr kernel_default_attrs;

// The three dash pairs {length drawn, cycle}: solid, short and long dashes.
inline constexpr int kDashCount = 3;
extern dot dash_table[kDashCount];

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

// Reads the preferences from the store into `prefs` and rebuilds every
// record, the kernel switches and the pick tolerance from them. The file
// name is passed on to read_preferences.
void init_default_attrs(const char* file_name);

struct construct_class;
// The default attributes of a class's result type (measures, labels and
// numbers have their own), never null.
default_attr* get_default_attrs(uint16_t type_id, const construct_class* cls);

// Gives a new object the default attributes of its kind.
void apply_default_attrs_to_object(object* obj);

// True when the settings' colour, fill, visibility and thickness are those
// of the object's default record.
bool attrs_equal_default(const object_settings* settings, const object* obj);
// Marks settings that a file or a macro step does not give: colour and fill
// -1, thickness and graph type 255; the other fields are left alone.
void set_attrs_unset(object_settings* settings);
bool attrs_are_unset(const object_settings* settings);

// Where the attribute pop-ups are shown. Without them nothing is shown.
struct attribute_menu_ops {
  // Shows a value in attribute menu 0..10 (colour words for 0 to 2, item
  // numbers for the others).
  void (*show)(int menu, uint32_t value) = nullptr;
  // True when the menu is active for the current tool.
  bool (*active)(int menu) = nullptr;
};
void install_attribute_menu_ops(const attribute_menu_ops& ops);
const attribute_menu_ops& installed_attribute_menu_ops();

// Shows the record in the attribute pop-ups and rebuilds the attribute mask
// from the menus that are active.
void load_attrs_into_menus(const default_attr* attrs);

// "ManageInfinityOn": when false, an object computed at infinity is also
// undefined. True by default.
extern uint8_t manage_infinity;

// "ManagePtOnObjectOn": tools that take points may create them on objects
// and at intersections while picking. True by default.
extern uint8_t manage_point_on_object;
// "BitmapCopyOn": copies of the figure go to the clipboard as a bitmap.
extern uint8_t bitmap_copy;
// "Toolbar Icon Size": 16 or 32 pixels; 32 by default.
extern int16_t toolbar_icon_size;
