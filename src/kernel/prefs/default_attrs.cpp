#include "kernel/prefs/default_attrs.h"

#include <algorithm>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/measure/unit_factor.h"
#include "kernel/model/classes.h"
#include "kernel/prefs/hit_distance.h"
#include "kernel/prefs/preferences.h"
#include "kernel/render/colors.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/render/object_colors.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_state.h"

namespace {

constexpr dot kDashes[kDashCount] = {{1, 1}, {5, 8}, {8, 14}};

attribute_menu_ops g_menu_ops;

default_attr fallback_record() {
  default_attr a{};
  a.settings.thickness = 1;
  a.settings.dot_style = kDashes[1];
  return a;
}

void copy_text_style(default_attr* a, const text_style_pref& s) {
  a->text_reserved = s.reserved;
  a->text_font = s.font;
  a->text_size = static_cast<int32_t>(s.size);
  a->text_face = s.face;
  a->text_color = s.color;
  a->text_char_set = s.char_set;
}

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }

// Objects drawn in a frame of text, whose colour is the sheet's.
bool drawn_as_text_frame(uint16_t t) {
  return t == TYPE_TEXT || t == TYPE_NUMBER || t == TYPE_PROPERTY || t == TYPE_EQUATION || t == TYPE_TABLE ||
         t == TYPE_EXPRESSION;
}

uint32_t sheet_color() {
  const kelvo_win_info* fig = KPGeoDocument::currentInfo();
  return fig ? fig->bgcolor : back_color;
}

// The point shape a new point or locus takes: the current tool's when it
// gives one, else the points record's.
uint8_t point_shape() {
  if (current_default_attrs && current_default_attrs->point_style) return current_default_attrs->point_style;
  return default_attrs[ATTRS_POINT].point_style;
}

}  // namespace

dot dash_table[kDashCount] = {kDashes[0], kDashes[1], kDashes[2]};
default_attr kernel_default_attrs = fallback_record();
default_attr default_attrs[kDefaultAttrKinds];
uint8_t manage_infinity = 1;
uint8_t manage_point_on_object = 1;
uint8_t bitmap_copy = 0;
int16_t toolbar_icon_size = 32;

void init_default_attrs(const char* file_name) {
  std::copy(std::begin(kDashes), std::end(kDashes), dash_table);
  kernel_default_attrs = fallback_record();

  prefs_rec fresh{};
  read_preferences(&fresh, file_name);
  prefs = fresh;

  manage_infinity = prefs.manage_infinity;
  manage_point_on_object = prefs.manage_point_on_object;
  bitmap_copy = prefs.bitmap_copy;
  pick_tolerance = static_cast<int16_t>(prefs.tolerance * screen_pixels_per_cm / 10);

  // Every record starts unfilled (filled in the background colour), solid
  // and visible.
  default_attr base{};
  base.settings.FillColor = back_color;
  base.settings.dot_style = dash_table[0];
  base.settings.visible = 1;
  base.settings.nbre_decimales = static_cast<uint8_t>(prefs.other_decimals);
  base.settings.smartline_length[0] = base.settings.smartline_length[1] = 1.0;
  base.point_style = 1;
  base.angle_mark_style = 16;

  for (int k = 0; k <= ATTRS_EQUATION; ++k) {
    default_attr& a = default_attrs[k];
    a = base;
    if (k <= ATTRS_ANGLE) {
      const kind_pref& kind = prefs.kinds[k];
      a.settings.Color = kind.color;
      a.settings.thickness = kind.thickness;
      a.settings.dot_style = dash_table[std::min<int>(kind.dotted, kDashCount - 1)];
    } else {
      a.settings.Color = back_color;
    }
  }
  default_attrs[ATTRS_POINT].point_style = prefs.kinds[ATTRS_POINT].graph_type;
  // The previews of the point tools draw the shape of the settings.
  default_attrs[ATTRS_POINT].settings.graph_type = prefs.kinds[ATTRS_POINT].graph_type;
  default_attrs[ATTRS_VECTOR].point_style = 1;
  default_attr& axes = default_attrs[ATTRS_AXES];
  axes.point_style = 1;
  axes.axes_style = static_cast<uint8_t>(prefs.coordinate_system);
  axes.math.side.index2 = static_cast<uint8_t>(prefs.coordinate_system);
  default_attr& locus = default_attrs[ATTRS_LOCUS];
  locus.math.locus.lkpt = static_cast<int8_t>(prefs.link_points);
  locus.math.locus.envelop = static_cast<int8_t>(prefs.envelope);
  locus.math.locus.nb_pts = static_cast<int16_t>(prefs.locus_points);
  default_attr& marks = default_attrs[ATTRS_ANGLE];
  marks.angle_mark_style =
      static_cast<uint8_t>((marks.angle_mark_style & 0xF0) | (prefs.kinds[ATTRS_ANGLE].graph_type & 0x0F));

  object_settings& text = default_attrs[ATTRS_TEXT].settings;
  text.graph_type = 0;
  text.contraint = 1;
  text.unite = 1;
  default_attrs[ATTRS_NUMBER].settings.unite = 0;
  object_settings& length = default_attrs[ATTRS_LENGTH].settings;
  length.nbre_decimales = static_cast<uint8_t>(prefs.length_decimals);
  length.contraint = 1;
  length.unite = static_cast<uint8_t>(prefs.length_unit + 32);
  object_settings& area = default_attrs[ATTRS_AREA].settings;
  area.nbre_decimales = static_cast<uint8_t>(prefs.other_decimals);
  area.contraint = 1;
  area.unite = static_cast<uint8_t>(prefs.length_unit + 64);
  object_settings& angle = default_attrs[ATTRS_ANGLE_MEASURE].settings;
  angle.nbre_decimales = static_cast<uint8_t>(prefs.angle_decimals | 128);
  angle.contraint = 1;
  angle.unite = static_cast<uint8_t>(prefs.angle_unit + 128);
  // Numbers read as angles (a rotation by a number, sines of plain
  // numbers) take the preferred unit.
  angle_unit_pref = prefs.angle_unit;
  default_attr& equations = default_attrs[ATTRS_EQUATION];
  equations.settings.graph_type = 0;
  equations.settings.contraint = 1;
  equations.settings.unite = 0;
  equations.settings.nbre_decimales = static_cast<uint8_t>(std::max<int16_t>(prefs.other_decimals, 2));
  equations.math.equa.format = static_cast<uint8_t>(prefs.equation_type);

  for (int k = 0; k < kTextKinds; ++k) copy_text_style(&default_attrs[ATTRS_TEXT + k], prefs.texts[k]);
  cursor_text_font = prefs.cursor_text;
  tools_menu_font = prefs.menu_text;

  default_attr& button = default_attrs[ATTRS_BUTTON];
  button = base;
  copy_text_style(&button, prefs.texts[0]);
  button.settings.FillColor = color_by_name("LightGray");
  button.settings.Color = color_by_name("Black");
}

default_attr* get_default_attrs(uint16_t type_id, const construct_class* cls) {
  if (cls == &classe_label) return &default_attrs[ATTRS_LABEL];
  if (type_id == TYPE_NUMBER || type_id == 0) {
    if (cls == &classe_length) return &default_attrs[ATTRS_LENGTH];
    if (cls == &classe_aire) return &default_attrs[ATTRS_AREA];
    if (cls == &classe_angleMes) return &default_attrs[ATTRS_ANGLE_MEASURE];
  }
  switch (type_id) {
    case TYPE_POINT:
    case TYPE_INTERSECTION_SET:
      return &default_attrs[ATTRS_POINT];
    case TYPE_SEGMENT:
    case TYPE_LINE:
    case TYPE_RAY:
      return &default_attrs[ATTRS_LINE];
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
      return &kernel_default_attrs;
  }
}

void apply_default_attrs_to_object(object* obj) {
  if (!obj) return;
  const uint16_t t = type_of(obj);
  const default_attr* a = get_default_attrs(t, obj->classe);
  obj->settings = a->settings;
  // An expression shares the equations' record but not their equation form,
  // which means nothing to it and which no file keeps for it.
  if (t != TYPE_EXPRESSION) obj->math.bitsfield = a->math.bitsfield;
  obj->settings.graph_type = 0;
  if (drawn_as_text_frame(t)) obj->settings.Color = sheet_color();
  if (obj->classe == &classe_pente) obj->settings.contraint = 1;
  switch (t) {
    case TYPE_POINT:
      obj->settings.graph_type = point_shape();
      obj->settings.thickness = default_attrs[ATTRS_POINT].settings.thickness;
      break;
    case TYPE_SEGMENT:
      obj->settings.graph_type = default_attrs[ATTRS_LINE].line_style;
      break;
    case TYPE_LINE:
    case TYPE_RAY:
      obj->settings.smartline_type = default_attrs[ATTRS_LINE].second_line_style;
      break;
    case TYPE_LOCUS: {
      obj->settings.graph_type = point_shape();
      // The count of the record, within what a locus can sample.
      obj->math.locus.nb_pts = static_cast<int16_t>(std::clamp<int>(a->math.locus.nb_pts, 1, 1000));
      const auto valid = designation_hooks().locus_is_valid;
      if (valid && !valid(obj)) obj->math.locus.lkpt = obj->math.locus.envelop = 0;
      break;
    }
    case TYPE_ANGLE:
      obj->settings.graph_type = default_attrs[ATTRS_ANGLE].angle_mark_style;
      break;
    case TYPE_EQUATION: {
      const object* of = obj->nbparents > 0 && obj->parents ? obj->parents[0] : nullptr;
      const uint16_t pt = type_of(of);
      const uint8_t form = default_attrs[ATTRS_EQUATION].math.equa.format;
      uint8_t mask = 0;
      if (pt == TYPE_CONIC) mask = 4;
      else if (pt == TYPE_CIRCLE) mask = 2;
      else if (pt == TYPE_LINE) mask = 1;
      obj->math.equa.format = static_cast<uint8_t>(form & mask);
      obj->settings.nbre_decimales = default_attrs[ATTRS_EQUATION].settings.nbre_decimales;
      break;
    }
    case TYPE_TABLE:
      if (object_effective_color(obj) == sheet_color()) set_object_color(obj, color_by_name("Gray"));
      break;
    case TYPE_SPRING:
      set_object_color(obj, color_by_name("Black"));
      break;
    default:
      break;
  }
}

bool attrs_equal_default(const object_settings* settings, const object* obj) {
  if (!settings || !obj) return false;
  const object_settings& d = get_default_attrs(type_of(obj), obj->classe)->settings;
  return settings->Color == d.Color && settings->FillColor == d.FillColor && settings->visible == d.visible &&
         settings->thickness == d.thickness;
}

void set_attrs_unset(object_settings* settings) {
  if (!settings) return;
  settings->Color = 0xFFFFFFFFu;
  settings->FillColor = 0xFFFFFFFFu;
  settings->thickness = 255;
  settings->graph_type = 255;
}

bool attrs_are_unset(const object_settings* settings) {
  return settings && settings->Color == 0xFFFFFFFFu && settings->FillColor == 0xFFFFFFFFu &&
         settings->thickness == 255 && settings->graph_type == 255;
}

void install_attribute_menu_ops(const attribute_menu_ops& ops) { g_menu_ops = ops; }
const attribute_menu_ops& installed_attribute_menu_ops() { return g_menu_ops; }

void load_attrs_into_menus(const default_attr* attrs) {
  if (!attrs) return;
  if (attribute_mask != ATTR_HIDE_SHOW && g_menu_ops.show) {
    const auto show = g_menu_ops.show;
    show(0, attrs->settings.Color);
    show(1, attrs->settings.FillColor);
    show(2, attrs->text_color);
    show(4, attrs->settings.thickness + 1u);
    for (int k = 0; k < kDashCount; ++k)
      if (dash_table[k].lg == attrs->settings.dot_style.lg && dash_table[k].cycle == attrs->settings.dot_style.cycle)
        show(5, static_cast<uint32_t>(k + 1));
    show(6, attrs->point_style + 1u);
    show(7, (attrs->angle_mark_style & 0x0F) + 1u);
    show(8, attrs->line_style + 1u);
    show(9, attrs->second_line_style + 1u);
    show(10, attrs->axes_style + 1u);
  }
  // The hide/show tool works by its own mask, which no menu stands for.
  if (!g_menu_ops.active || attribute_mask == ATTR_HIDE_SHOW) return;
  // The colour menus each set the mask; the others add their bit.
  static constexpr uint16_t kBits[] = {ATTR_COLOR,       ATTR_FILL,          ATTR_TEXT_COLOR,     ATTR_TAKE_TEXT,
                                       ATTR_THICKNESS,   ATTR_DOT_STYLE,     ATTR_POINT_STYLE,    ATTR_ANGLE_MARK_STYLE,
                                       ATTR_LINE_STYLE,  ATTR_SECOND_LINE_STYLE, ATTR_AXES_STYLE};
  uint16_t mask = 0;
  for (int k = 0; k < 11; ++k) {
    if (!g_menu_ops.active(k)) continue;
    mask = k < 3 ? kBits[k] : static_cast<uint16_t>(mask | kBits[k]);
  }
  attribute_mask = mask;
}
