#include "kernel/tools/designation_filters.h"

#include <cstring>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/text/labels.h"
#include "kernel/text/text_drawing.h"
#include "kernel/tools/cursors.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/window/figure_popup.h"

namespace {

filter_services g_services;

// Bit of the second state word: a number shown in or sent to a text.
constexpr uint32_t kNumberInText = 2;
// Bit of a text object's state: it is being built from its references.
constexpr uint32_t kTextBeingBuilt = OBJ_WALK;
constexpr uint16_t kLabelPart = 257;  // hit parts above it are on the label
constexpr uint16_t kWholeText = 258;

uint16_t type_id_of(const object* obj) { return obj && obj->otype ? obj->otype->id : 0; }

bool hit(object* obj, int32_t packed) {
  if (!obj->otype || !obj->otype->hit_test) return false;
  tagPOINT p = point_from_packed(packed);
  return obj->otype->hit_test(obj, &p);
}

// What no tool but hide/show may take: hidden, at infinity, undefined or
// never shown. An undefined coordinate system stays pickable when asked.
bool refused(const object* obj, bool undefined_axes_ok) {
  if (!obj->settings.visible || (obj->state & OBJ_AT_INFINITY) || obj->final_no == 0) return true;
  return (obj->state & OBJ_UNDEFINED) && !(undefined_axes_ok && type_id_of(obj) == TYPE_AXES);
}

bool option_down() { return tool_modifier_down(8); }
bool shift_down() { return tool_modifier_down(3); }

bool label_hit() { return hit_part > kLabelPart; }

bool label_style(const object* obj, uint32_t* color, uint8_t* thickness, uint8_t dots[2]) {
  *color = 0;
  *thickness = 0;
  dots[0] = dots[1] = 0;
  return object_label_style(obj, color, thickness, dots);
}

uint32_t effective_color(const object* obj) {
  return g_services.effective_color ? g_services.effective_color(obj) : obj->settings.Color;
}

bool is_text_like(const object* obj) {
  if (g_services.is_text_like) return g_services.is_text_like(obj);
  return is_text_like_object(obj);
}

void set_cursors(kernel_cursor_slot second, kernel_cursor_slot third) {
  tool_cursors[1] = kernel_cursors[second];
  tool_cursors[2] = kernel_cursors[third];
}

object* referenced(object* obj) {
  const tool_hooks& h = tool_services();
  object* r = h.resolve_text_reference ? h.resolve_text_reference(obj, hit_part) : nullptr;
  return r ? r : obj;
}

bool has_parent(const object* obj, const object* parent) {
  for (int i = 0; obj && obj->parents && i < obj->nbparents; ++i)
    if (obj->parents[i] == parent) return true;
  return false;
}

object* first_picked_circle() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !fig->inputs || !fig->inputs->items) return nullptr;
  for (object** o = fig->inputs->items; *o; ++o)
    if (type_id_of(*o) == TYPE_CIRCLE) return *o;
  return nullptr;
}

}  // namespace

void install_filter_services(const filter_services& services) { g_services = services; }
const filter_services& installed_filter_services() { return g_services; }

bool manip_tool_common(object* obj, int32_t packed) {
  if (!obj || refused(obj, true)) return false;
  return hit(obj, packed);
}

bool locus_filter(object* obj, int32_t packed) { return manip_tool_common(obj, packed); }

bool redefinition_filter(object* obj, int32_t packed) {
  if (!obj) return false;
  if ((obj->num == 1 || obj->num == 2) && !designation_allows_base_objects) return false;
  if (obj->classe == &classe_point_polyreg || obj->classe == &classe_interset) return false;
  return manip_tool_common(obj, packed);
}

bool point_on_object_filter(object* obj, int32_t packed) {
  if (!obj) return false;
  if (type_id_of(obj) == TYPE_LOCUS && !(g_services.locus_is_valid && g_services.locus_is_valid(obj))) return false;
  return manip_tool_common(obj, packed);
}

bool fix_free_filter(object* obj, int32_t packed) {
  if (!obj || refused(obj, false)) return false;
  if (option_down() && !shift_down() && !obj->settings.sticky) return false;
  if (option_down() && shift_down() && obj->settings.sticky) return false;
  return hit(obj, packed);
}

bool hide_show_filter(object* obj, int32_t packed) {
  if (!obj || (obj->state & (OBJ_AT_INFINITY | OBJ_UNDEFINED)) || obj->final_no == 0 || (obj->aux2 & kNumberInText) ||
      obj->num < 3)
    return false;
  if (option_down() && !shift_down() && !obj->settings.visible) return false;
  if (option_down() && shift_down() && obj->settings.visible) return false;
  if (!hit(obj, packed)) return false;
  if (type_id_of(obj) == TYPE_TEXT && hit_part > kWholeText) hit_part = kWholeText;
  return true;
}

bool appearance_filter(object* obj, int32_t packed) {
  if (!obj || refused(obj, false)) return false;
  const default_attr* a = current_attrs ? current_attrs : &no_class_attrs;
  const uint16_t mask = attribute_mask;
  const uint16_t t = type_id_of(obj);
  constexpr uint16_t kDirect = ATTR_THICKNESS | ATTR_DOT_STYLE | ATTR_COLOR | ATTR_FILL | ATTR_TEXT_COLOR | ATTR_TAKE_TEXT;
  if (!(mask & kDirect)) {
    set_cursors(CURSOR_PAINT, CURSOR_PAINT);
    const uint8_t g = obj->settings.graph_type;
    const bool differs =
        ((mask & ATTR_POINT_STYLE) && (t == TYPE_POINT || t == TYPE_LOCUS || t == TYPE_GRID) && g != a->point_style) ||
        ((mask & ATTR_LINE_STYLE) && t == TYPE_SEGMENT && g != a->line_style) ||
        ((mask & ATTR_LINE_STYLE) && (t == TYPE_LINE || t == TYPE_RAY) &&
         obj->settings.smartline_type != a->second_line_style) ||
        ((mask & ATTR_AXES_STYLE) && t == TYPE_AXES && obj->math.equa.typeunite != (a->axes_style & 3u)) ||
        ((mask & ATTR_ANGLE_MARK_STYLE) && t == TYPE_ANGLE && g != a->angle_mark_style);
    return differs && hit(obj, packed);
  }
  if (!hit(obj, packed)) return false;
  uint32_t label_color = 0;
  uint8_t label_thickness = 0;
  uint8_t label_dots[2] = {0, 0};
  const bool on_label = label_style(obj, &label_color, &label_thickness, label_dots) && label_hit();
  set_cursors(CURSOR_PAINT, CURSOR_PAINT);
  if (mask & ATTR_COLOR) return on_label ? label_color != a->settings.Color : effective_color(obj) != a->settings.Color;
  if (mask & ATTR_FILL) {
    set_cursors(CURSOR_FILL, CURSOR_FILL);
    return on_label || is_fillable_object(obj);
  }
  if (mask & ATTR_TEXT_COLOR) return is_text_like(obj) || on_label;
  if (mask & ATTR_TAKE_TEXT) {
    set_cursors(CURSOR_TAKE, CURSOR_TAKE_AMONG);
    return is_text_like(obj) || on_label;
  }
  if (mask & ATTR_THICKNESS)
    return on_label ? label_thickness != a->settings.thickness : obj->settings.thickness != a->settings.thickness;
  if (mask & ATTR_DOT_STYLE) {
    const dot cur = a->settings.dot_style;
    if (on_label && label_dots[0] == cur.lg && label_dots[1] == cur.cycle) return false;
    if (t == TYPE_POINT) return false;
    return !(obj->settings.dot_style.lg == cur.lg && obj->settings.dot_style.cycle == cur.cycle);
  }
  return false;
}

bool text_filter(object* obj, int32_t packed) {
  if (!obj) return false;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  object* text = fig ? fig->cur_text : nullptr;
  if (type_id_of(obj) == TYPE_NUMBER && text && (text->state & kTextBeingBuilt))
    return has_parent(text, obj) && manip_tool_common(obj, packed);
  return obj->te && manip_tool_common(obj, packed);
}

namespace {

// The two objects an intersection point lies on: its own two parents, or,
// for a point of an intersection set, the set's two parents.
void intersected_objects(object* point, object** first, object** second) {
  object* holder = point;
  if (point->classe == &classe_ptint && point->nbparents > 0 && point->parents && point->parents[0] &&
      point->parents[0]->classe == &classe_interset)
    holder = point->parents[0];
  *first = holder->nbparents > 0 && holder->parents ? holder->parents[0] : nullptr;
  *second = holder->nbparents > 1 && holder->parents ? holder->parents[1] : nullptr;
}

// The circles through the point, as circle_of_point finds them: the first
// one and whether there are several.
object* circles_through(object* point, bool* several) {
  *several = false;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!point || !fig) return nullptr;
  object* found = nullptr;
  auto candidate = [&](object* c) {
    if (!c || type_id_of(c) != TYPE_CIRCLE) return;
    if (found && found != c) *several = true;
    if (!found) found = c;
  };
  object* const first_parent = point->nbparents > 0 && point->parents ? point->parents[0] : nullptr;
  if (point->classe == &classe_ptsur) {
    candidate(first_parent);
  } else if (point->classe == &classe_ptint || point->classe == &classe_interset) {
    object *a = nullptr, *b = nullptr;
    intersected_objects(point, &a, &b);
    candidate(a);
    candidate(b);
  } else if (point->classe == &classe_compas3 && point->methode == 1) {
    candidate(first_parent);
  }
  for (object* o = fig->first; o; o = o->next)
    if (type_id_of(o) == TYPE_CIRCLE && o->nbparents > 1 && o->parents && o->parents[1] == point) candidate(o);
  return found;
}

}  // namespace

object* circle_of_point(object* point) {
  bool several = false;
  object* found = circles_through(point, &several);
  return several ? nullptr : found;
}

bool transfer_filter(object* obj, int32_t packed) {
  if (!obj) return false;
  if (type_id_of(obj) != TYPE_POINT) return manip_tool_common(obj, packed);
  if (!manip_tool_common(obj, packed)) return false;
  object* c = first_picked_circle();
  if (!c) {
    // A point that no circle passes through can only take the value from
    // a placing click: it is taken without the Option key too, which some
    // window systems keep for themselves on a click.
    bool several = false;
    circles_through(obj, &several);
    return option_down() || !several;
  }
  object* const p0 = obj->nbparents > 0 && obj->parents ? obj->parents[0] : nullptr;
  if (obj->classe == &classe_ptsur && p0 == c) return true;
  if (obj->classe == &classe_compas3 && obj->methode == 1 && p0 == c) return true;
  if (c->nbparents == 2 && c->parents && c->parents[1] == obj) return true;
  if (obj->classe != &classe_ptint) return false;
  object *a = nullptr, *b = nullptr;
  intersected_objects(obj, &a, &b);
  return a == c || b == c;
}

bool formula_filter(object* obj, int32_t packed) {
  if (!manip_tool_common(obj, packed)) return false;
  object* r = referenced(obj);
  if (type_id_of(r) != TYPE_NUMBER) return false;
  const tool_hooks& h = tool_services();
  object* edited = h.calculator_edited_object ? h.calculator_edited_object() : nullptr;
  return !edited || (r != edited && !has_parent(r, edited));
}

bool expression_filter(object* obj, int32_t packed) {
  if (!manip_tool_common(obj, packed)) return false;
  object* r = referenced(obj);
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  const bool nothing_picked = !fig || objlist_count(fig->inputs) == 0;
  const uint16_t t = type_id_of(r);
  if (nothing_picked) return t == TYPE_EXPRESSION;
  const tool_hooks& h = tool_services();
  if (t == TYPE_NUMBER) return h.expression_has_pending_variable && h.expression_has_pending_variable();
  if (t == TYPE_AXES) return h.expression_waits_for_axes && h.expression_waits_for_axes();
  return false;
}
