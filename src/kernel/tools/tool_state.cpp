#include "kernel/tools/tool_state.h"

#include <algorithm>
#include <cstring>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/memory.h"
#include "kernel/render/display_device.h"
#include "kernel/render/fonts.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/designation_filters.h"
#include "kernel/tools/geometric_handlers.h"
#include "kernel/tools/label_settings.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_handler.h"
#include "kernel/tools/tool_hooks.h"

dyn_array_object picked{};
dyn_array_object carrier_candidates{};
dyn_array_object intersection_candidates{};
dyn_array_object highlight_list{};
dyn_array_object ambiguity_candidates{};
dyn_array_object* saved_selection = nullptr;

designation_list designation_args{};
designation_list designation_carriers{};
designation_list designation_intersectables{};
designation_list& accepted_types = designation_args;
designation_list& accepted_types_on_object = designation_carriers;
designation_list& accepted_types_intersection = designation_intersectables;
uint8_t designation_allows_base_objects = 0;

default_attr no_class_attrs{};

void clear_selection() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !fig->selection) return;
  invalidate_selection();
  objlist_clear(fig->selection);
  objlist_shrink(fig->selection);
}

void install_selection_list(dyn_array_object* list) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return;
  if (!saved_selection) {
    invalidate_selection();
    saved_selection = fig->selection;
  }
  fig->selection = list;
}

void restore_selection_list() {
  if (!saved_selection) return;
  invalidate_selection();
  if (kelvo_win_info* fig = KPGeoDocument::currentInfo()) fig->selection = saved_selection;
  saved_selection = nullptr;
}

bool has_no_saved_selection() { return saved_selection == nullptr; }

void free_object_list(objectptrlist** list) {
  if (!list) return;
  objectptrlist* node = *list;
  while (node) {
    objectptrlist* next = node->next;
    GlobalFreeAndNull(&node);
    node = next;
  }
  *list = nullptr;
}

#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/builtin_icons.h"
#include "kernel/tools/tool_ids.h"

construct_class* current_class = nullptr;
default_attr* current_default_attrs = nullptr;
valeur rubber_points[kRubberPoints] = {};
int16_t variable_nb_values = 0;
void* pending_extra[2] = {nullptr, nullptr};
void* pending_spring_data = kNoPendingSpringData;

void reset_construction_state() {
  current_class = nullptr;
  interaction_state = STATE_POINTER;
  current_default_attrs = nullptr;
  std::fill(std::begin(rubber_points), std::end(rubber_points), valeur{});
  variable_nb_values = 0;
  pending_extra[0] = pending_extra[1] = nullptr;
  pending_spring_data = kNoPendingSpringData;
  reset_tool_handler_flags();
  // The filter of the pointer, which every tool's set-up replaces by its own.
  designation_filter = manip_tool_common;
}

namespace {

struct class_name {
  construct_class* cls;
  const char* english;
  const char* help_page;
  // The name shown when the language gives none, where the key would not
  // say what the tool does.
  const char* shown = nullptr;
};

// Language rows of the classes' localised names and help texts, in the
// order of the English names below, then the vector sum, the compass and
// the single intersection point.
constexpr int kRowTypeNames = 53;
constexpr int kRowButtonNames = 76;
constexpr int kRowClassNames = 353;
constexpr int kRowClassHelp = 406;

const char* text_or(int row, const char* fallback) {
  const char* text = kernel_string(row);
  return text[0] ? text : fallback;
}

}  // namespace

car_info default_text_format(const default_attr* defaults) {
  car_info format{};
  if (defaults) {
    format.reserved = defaults->text_reserved;
    format.font_id = defaults->text_font;
    format.size = defaults->text_size;
    format.style = defaults->text_face;
    format.color = defaults->text_color;
    format.charset = defaults->text_char_set;
  }
  return format;
}

namespace {

// Measures with the font of `format` selected on the figure's static
// device; a device of its own measures when the figure has none yet.
template <typename Measure>
int32_t measure_in_font(const car_info* format, Measure measure) {
  DisplayDevice* dd = display_device_hooks.window_static_device ? display_device_hooks.window_static_device()
                                                                  : nullptr;
  if (!dd) dd = static_display;
  if (dd && dd->dc) {
    dd_select_text_font(dd, format);
    return measure(dd);
  }
  DisplayDevice* own = dd_create();
  ensure_display_dc(own);
  dd_select_text_font(own, format);
  const int32_t result = measure(own);
  destroy_display_device(own);
  return result;
}

// The height of one line of the font.
int32_t line_height(const car_info* format) {
  return measure_in_font(format, [](DisplayDevice* dd) { return dd->fi.highline; });
}

uint16_t type_id_of(const object* o) { return o && o->otype ? o->otype->id : 0; }

bool init_property_texts(object* obj, int32_t left, int32_t top, const car_info& format) {
  auto** pair = alloc_block<TErec*>(2);
  if (!pair) return false;
  for (int k = 0; k < 2; ++k) {
    pair[k] = create_text_record(left, top, 1000, 20, 200);
    if (!pair[k]) {
      free_text_window(pair[0]);
      GlobalFreeAndNull(&pair);
      return false;
    }
    pair[k]->needs_regen = 1;
    pair[k]->format = format;
    pair[k]->rich = static_cast<int8_t>(object_has_value_text(obj));
  }
  GlobalFreeAndNull(&obj->valeurs);
  obj->valeurs = reinterpret_cast<valeur*>(pair);
  obj->te = pair[0];
  set_property_texts(obj);
  return true;
}

// The label record of an object that is not text-like: one line of the
// label font in the object's own colour, with label settings when the
// object has none.
bool init_label_record(object* obj) {
  car_info label = default_text_format(get_default_attrs(type_id_of(obj), &classe_label));
  label.color = object_effective_color(obj);
  TErec* te = create_text_record(0, 0, 40, line_height(&label), 0);
  if (!te) return false;
  if (!obj->label && !(obj->label = get_default_font_info())) {
    free_text_window(te);
    return false;
  }
  regenerate_text_attributes(te, 1, &label, 0);
  te->text_kind = 2;
  obj->te = te;
  return true;
}

}  // namespace

int32_t text_kind_of_type(uint16_t type_id) {
  switch (type_id) {
    case TYPE_TEXT:
    case TYPE_BUTTON:
      return 2;
    case TYPE_NUMBER:
    case TYPE_EQUATION:
    case TYPE_EXPRESSION:
      return 1;
    default:
      return 0;
  }
}

bool init_object_text_records(object* obj) {
  if (!obj || obj->te) return obj != nullptr;
  const uint16_t t = type_id_of(obj);
  const tagRECT& r = measure_text_rect;
  const int32_t width = r.right - r.left;
  const int32_t height = r.bottom - r.top;
  const car_info format = default_text_format(get_default_attrs(t, obj->classe));
  if (t == TYPE_PROPERTY) return init_property_texts(obj, r.left, r.top, format);
  if (!is_text_like_object(obj)) return init_label_record(obj);

  // Frame, buffer, flag bytes and frame-fit request by kind.
  struct shape {
    int32_t x, y, w, h, buffer;
    uint8_t flags, second_flags;
    int32_t fit;
  };
  shape s{r.left, r.top, width, height, 0, 0, 0, 0};
  switch (t) {
    case TYPE_TEXT:
      s = {r.left, r.top, width, height, 20, 4, 0, 0};
      break;
    case TYPE_NUMBER:
      s = {r.left, r.top, 100, line_height(&format), 100, 1, 0, 1};
      break;
    case TYPE_EQUATION:
      s = {0, 0, 50, 20, 200, 1, 0, 1};
      break;
    case TYPE_TABLE:
      s.buffer = 10;
      break;
    case TYPE_EXPRESSION: {
      const char* pending = obj->classe == &classe_exp_num ? static_cast<const char*>(pending_extra[0]) : nullptr;
      const size_t length = pending ? std::strlen(pending) + 1 : 11;
      if (length >= 0x7FFFFFFF) return false;
      s = {r.left, r.top, width, height, static_cast<int32_t>(length), 1, 0, 1};
      break;
    }
    case TYPE_BUTTON:
      s = {r.left, r.top, width, height, 20, 4, 2, 0};
      break;
    default:
      break;
  }
  // No frame is smaller than the smallest one a resize leaves.
  s.w = std::max(s.w, kMinTextFrameSide);
  s.h = std::max(s.h, kMinTextFrameSide);
  TErec* te = create_text_record(s.x, s.y, s.w, s.h, s.buffer);
  if (!te) return false;
  te->edit_flags = s.flags;
  te->reserved2 = s.second_flags;
  te->text_kind = text_kind_of_type(t);
  te->needs_regen = s.fit;
  te->format = format;
  te->rich = static_cast<int8_t>(object_has_value_text(obj));
  obj->te = te;
  return true;
}

void init_tool_names_and_help() {
  for (int i = 0; i < kTypeTableSize; ++i) {
    type_slots[i]->english_name = type_english_names[i];
    type_slots[i]->name = text_or(kRowTypeNames + i, type_english_names[i]);
  }
  type_interset.english_name = type_point.english_name;
  type_interset.name = type_point.name;
  // The button type is not among the slots: its two names are rows of
  // their own.
  type_button.name = text_or(kRowButtonNames, "button");
  type_button.english_name = text_or(kRowButtonNames + 1, "button");
  fill_method_descriptions();
  static const class_name names[] = {
      {&classe_point, "Point", "point.html"},
      {&classe_ptsur, "Point on Object", "point_on.html"},
      {&classe_interset, "Intersection Point", "intersection_point.html"},
      {&classe_point_polyreg, "Regular polygon vertex", nullptr},
      {&classe_droite, "Line", "line.html"},
      {&classe_segment, "Segment", "segment.html"},
      {&classe_demidroite, "Ray", "ray.html"},
      {&classe_vecteur, "Vector", "vector.html"},
      {&classe_triangle, "Triangle", "triangle.html"},
      {&classe_polygone, "Polygon", "polygon.html"},
      {&classe_polyreg, "Regular Polygon", "regular_polygon.html"},
      {&classe_cercle, "Circle", "circle.html"},
      {&classe_arc, "Arc", "arc.html"},
      {&classe_conic, "Conic", "conic.html"},
      {&classe_perpendiculaire, "Perpendicular Line", "perpendicular_line.html"},
      {&classe_parallele, "Parallel Line", "parallel_line.html"},
      {&classe_milieu, "Midpoint", "midpoint.html"},
      {&classe_mediatrice, "Perpendicular Bisector", "perp_bissector.html"},
      {&classe_bissectrice, "Angle Bisector", "ang_bissector.html"},
      {&classe_compas3, "Measurement Transfer", "measurement_transfer.html"},
      {&classe_locus, "Locus", "locus.html"},
      {&classe_redefine, "Redefine Object", "redefine_object.html"},
      {&classe_translation, "Translation", "translation.html"},
      {&classe_symetriquedr, "Reflection", "reflection.html"},
      {&classe_symetrique, "Symmetry", "symmetry.html"},
      {&classe_rotation, "Rotation", "rotation.html"},
      {&classe_dilatation, "Dilation", "dilation.html"},
      {&classe_inverse, "Inverse", "inverse.html"},
      {&classe_alignement, "Collinear", "is_collinear.html"},
      {&classe_parallelism, "Parallel", "is_parallel.html"},
      {&classe_perpendism, "Perpendicular", "is_perpendicular.html"},
      {&classe_equidistant, "Equidistant", "equidistant.html"},
      {&classe_membership, "Member", "is_member.html"},
      {&classe_length, "Distance & Length", "dist_length.html"},
      {&classe_aire, "Area", "area.html"},
      {&classe_pente, "Slope", "slope.html"},
      {&classe_angleMes, "Angle", "angle.html"},
      {&classe_equation, "Equation & Coordinates", "coord_equation.html"},
      {&classe_calculate, "Calculate", "calculate.html"},
      {&classe_table, "Tabulate", "table.html"},
      {&classe_exp_num_app, "Expression", "applyexpression.html", "Apply a formula"},
      {&classe_label, "Label", "label.html"},
      {&classe_text, "Comments", "comments.html"},
      {&classe_nombre, "Numerical Edit", "edit_number.html"},
      {&classe_angle, "Mark Angle", "mark_angle.html"},
      {&classe_exp_num, "Apply a formula", "defineexpression.html", "Expression"},
      {&classe_spring, "Multiple Animation", "mult_animation.html"},
      {&classe_axe, "New Axes", "new_axes.html"},
      {&classe_grid, "Define Grid", "define_axes.html"},
      {&classe_button, "Hide/Show Button", "hide_show_button.html"},
  };
  constexpr int kNamed = static_cast<int>(sizeof(names) / sizeof(names[0]));
  for (int i = 0; i < kNamed; ++i) {
    const class_name& n = names[i];
    n.cls->english_name = n.english;
    n.cls->name = text_or(kRowClassNames + i, n.shown ? n.shown : n.english);
    n.cls->help_text = kernel_string(kRowClassHelp + i);
    n.cls->help_page = n.help_page;
  }
  // The pre-built vector sum and compass are known in files (their "Ma:"
  // lines, tool-menu files) by their file codes; the single intersection
  // point has a localised name.
  struct extra_class {
    construct_class* cls;
    const char* fallback;
    const char* help_page;
  };
  const extra_class extras[] = {{optional_classes[1], "Vector Sum", "vector_sum.html"},
                                {optional_classes[0], "Compass", "compass.html"},
                                {&classe_ptint, "Intersection", nullptr}};
  for (int i = 0; i < 3; ++i) {
    extras[i].cls->name = text_or(kRowClassNames + kNamed + i, extras[i].fallback);
    if (i < 2) extras[i].cls->english_name = extras[i].cls->code;
    extras[i].cls->help_text = kernel_string(kRowClassHelp + kNamed + i);
    extras[i].cls->help_page = extras[i].help_page;
  }
  fill_help_page_table();
}

void assign_builtin_icons() {
  // The two expression tools take each other's places in the icon table.
  constexpr int kApplyExpression = 41, kDefineExpression = 46;
  for (int k = 0; k < kBuiltinClassIconCount && class_list && class_list[k]; ++k) {
    const int icon = k == kApplyExpression ? kDefineExpression : k == kDefineExpression ? kApplyExpression : k;
    class_list[k]->icon = builtin_class_icon(icon);
  }
  // The spring tool is the palette's Multiple Animation: a tool-menu file
  // that names it finds this class, which shows the same picture.
  classe_spring.icon = const_cast<uint8_t*>(builtin_named_icon("Multiple Animation"));
}

text_line_size measure_text_line(const car_info* format, const char* text) {
  text_line_size size;
  size.height = line_height(format);
  size.width = measure_in_font(format, [text](DisplayDevice* dd) { return dd_text_width(dd, text ? text : ""); });
  return size;
}
