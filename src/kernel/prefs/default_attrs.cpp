#include "kernel/prefs/default_attrs.h"

#include "kernel/model/classes.h"
#include "kernel/render/colors.h"
#include "kernel/tools/tool_state.h"

// The template every kind starts from until the preferences give their
// own values: solid lines (a dash whose on length equals its period), no fill
// (a fill in the background colour).
default_attr kernel_default_attrs = [] {
  default_attr a{};
  a.settings.FillColor = 0x00FFFFFF;  // the background colour White
  a.settings.dot_style = dot{1, 1};
  a.settings.visible = 1;
  return a;
}();


default_attr default_attrs[kDefaultAttrKinds];
uint8_t manage_infinity = 1;
uint8_t manage_point_on_object = 1;
int16_t toolbar_icon_size = 32;

void init_default_attrs(int) {
  // An empty preferences store: the factory colour of each graphic kind,
  // thickness 0, solid; text-like records framed in the background colour;
  // points in the standard shape; buttons light grey with black text.
  static constexpr const char* kFactoryColors[] = {"Red",  "Lime",     "Magenta",    "Navy", "Blue",
                                                   "Cyan", "DarkGray", "DarkOrange", "Red",  "Black"};
  for (default_attr& a : default_attrs) a = kernel_default_attrs;
  for (int k = ATTRS_POINT; k <= ATTRS_ANGLE; ++k) default_attrs[k].settings.Color = color_by_name(kFactoryColors[k]);
  for (int k = ATTRS_TEXT; k <= ATTRS_EQUATION; ++k) default_attrs[k].settings.Color = back_color;
  default_attrs[ATTRS_POINT].point_style = 1;
  default_attrs[ATTRS_POINT].settings.graph_type = 1;
  default_attrs[ATTRS_BUTTON].settings.FillColor = color_by_name("LightGray");
  default_attrs[ATTRS_BUTTON].settings.Color = color_by_name("Black");
}

void apply_default_attrs_to_object(object* obj) {
  if (!obj) return;
  // The record of the object's own kind; a point takes the shape that the
  // current tool's attributes give, when they give one.
  const default_attr* a =
      obj->otype ? get_default_attrs(obj->otype->id, obj->classe) : &kernel_default_attrs;
  obj->settings = a->settings;
  if (obj->otype && obj->otype->id == TYPE_POINT && current_default_attrs && current_default_attrs->point_style)
    obj->settings.graph_type = current_default_attrs->point_style;
}


default_attr* get_default_attrs(uint16_t type_id, const construct_class* cls) {
  if (cls == &classe_label) return &default_attrs[ATTRS_LABEL];
  if (cls == &classe_length) return &default_attrs[ATTRS_LENGTH];
  if (cls == &classe_aire) return &default_attrs[ATTRS_AREA];
  if (cls == &classe_angleMes) return &default_attrs[ATTRS_ANGLE_MEASURE];
  switch (type_id) {
    case TYPE_POINT:
    case TYPE_INTERSECTION_SET:
      return &default_attrs[ATTRS_POINT];
    case TYPE_VECTOR:
      return &default_attrs[ATTRS_VECTOR];
    case TYPE_TRIANGLE:
    case TYPE_POLYGON:
      return &default_attrs[ATTRS_POLYGON];
    case TYPE_CIRCLE:
    case TYPE_CONIC:
      return &default_attrs[ATTRS_CIRCLE_CONIC];
    case TYPE_ARC:
      return &default_attrs[ATTRS_ARC];
    case TYPE_AXES:
      return &default_attrs[ATTRS_AXES];
    case TYPE_GRID:
      return &default_attrs[ATTRS_GRID];
    case TYPE_LOCUS:
      return &default_attrs[ATTRS_LOCUS];
    case TYPE_ANGLE:
      return &default_attrs[ATTRS_ANGLE];
    case TYPE_TEXT:
    case TYPE_PROPERTY:
    case TYPE_TABLE:
      return &default_attrs[ATTRS_TEXT];
    case TYPE_NUMBER:
      return &default_attrs[ATTRS_NUMBER];
    case TYPE_EQUATION:
    case TYPE_EXPRESSION:
      return &default_attrs[ATTRS_EQUATION];
    case TYPE_BUTTON:
      return &default_attrs[ATTRS_BUTTON];
    default:
      return &default_attrs[ATTRS_LINE];
  }
}

void set_attrs_unset(object_settings* s) {
  if (!s) return;
  s->Color = s->FillColor = 0xFFFFFFFFu;
  s->thickness = 255;
  s->graph_type = 255;
  s->opaque = -1;
  s->smartline_type = 255;
}

bool attrs_are_unset(const object_settings* s) {
  return s && s->Color == 0xFFFFFFFFu && s->FillColor == 0xFFFFFFFFu && s->thickness == 255 && s->graph_type == 255;
}

bool attrs_equal_default(const object* obj) {
  if (!obj) return false;
  const object_settings& a = obj->settings;
  const object_settings& d = (obj->otype ? get_default_attrs(obj->otype->id, obj->classe) : &kernel_default_attrs)->settings;
  return a.Color == d.Color && a.FillColor == d.FillColor && a.opaque == d.opaque && a.thickness == d.thickness &&
         a.dot_style.lg == d.dot_style.lg && a.dot_style.cycle == d.dot_style.cycle &&
         (obj->otype == nullptr || obj->otype->id != TYPE_POINT || a.graph_type == d.graph_type);
}
