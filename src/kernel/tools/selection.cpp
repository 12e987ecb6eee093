#include "kernel/tools/selection.h"

#include <algorithm>
#include <cstring>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/draw_object.h"
#include "kernel/render/object_colors.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/draw_feedback.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/window/window_hooks.h"
#include "platform/kernel_services.h"

uint8_t selection_rect_shown = 0;
tagRECT selection_rect{};
uint32_t selection_blink_time = 0;
uint8_t selection_blink_phase = 0;

namespace {

constexpr uint32_t kBlack = 0;
constexpr uint32_t kButtonTargetsHidden = 32;
constexpr uint32_t kNumberInText = 2;  // bit of aux2: a number shown inside a text
constexpr uint16_t kTagWholeText = 258;
constexpr uint16_t kTagSideOfLine = 0x8000;

const dot kSelectionDash{kSelectionDashOn, kSelectionDashPeriod};

uint16_t type_of(const object* obj) { return obj && obj->otype ? obj->otype->id : 0; }

// The first computed value: a point's position, a circle's centre.
valeur value_of(const object* obj) { return obj && obj->valeurs && obj->nbvaleurs > 0 ? obj->valeurs[0] : valeur{}; }


bool is_point_like(const object* obj) { return type_of(obj) == TYPE_POINT || type_of(obj) == TYPE_LOCUS; }

bool has_picture(const object* obj) {
  const bitmap_info* b = obj->bitmap;
  return b && b->image && b->name;
}

void outline(DisplayDevice* dd, double l, double t, double r, double b) {
  draw_segment_styled(dd, l, t, r, t, kBlack, 0, &kSelectionDash, kExtentSegment);
  draw_segment_styled(dd, r, t, r, b, kBlack, 0, &kSelectionDash, kExtentSegment);
  draw_segment_styled(dd, r, b, l, b, kBlack, 0, &kSelectionDash, kExtentSegment);
  draw_segment_styled(dd, l, b, l, t, kBlack, 0, &kSelectionDash, kExtentSegment);
}

bool tool_is(const char* short_name) {
  return current_class && current_class->short_name && std::strcmp(current_class->short_name, short_name) == 0;
}

// A polygon or coordinate system taken as a line draws only that side.
void draw_side(DisplayDevice* dd, object* obj, uint16_t tag) {
  const uint16_t t = type_of(obj);
  const uint32_t color = object_effective_color(obj);
  const dot style = obj->settings.dot_style;
  const int k = tag & 0xFF;
  if (t == TYPE_AXES) {
    if (!obj->valeurs || obj->nbvaleurs < 3) return;
    const valeur& o = obj->valeurs[0];
    const valeur& v = (k == 1 || k == 3) ? obj->valeurs[1] : obj->valeurs[2];
    draw_segment_styled(dd, o.h, o.v, o.h + v.h, o.v + v.v, color, obj->settings.thickness, &style, kExtentLine);
    return;
  }
  if (obj->nbparents < 2 || !obj->parents || k >= obj->nbparents) return;
  const object* a = obj->parents[k];
  const object* b = obj->parents[(k + 1) % obj->nbparents];
  if (!a || !b) return;
  const valeur va = value_of(a), vb = value_of(b);
  draw_segment_styled(dd, va.h, va.v, vb.h, vb.v, color, obj->settings.thickness, &style,
                      kExtentSegment);
}

bool draws_one_side(const object* obj, uint16_t tag) {
  const uint16_t t = type_of(obj);
  if (t != TYPE_TRIANGLE && t != TYPE_POLYGON && t != 6 && t != TYPE_AXES) return false;
  if (tool_is("IntSet")) return t == TYPE_AXES;
  if (tag & kTagSideOfLine) return true;
  if (tool_is("Perp") || tool_is("Par") || tool_is("Par?") || tool_is("Perp?")) return true;
  return t == TYPE_AXES && tool_is("Lgth");
}

void draw_picture_frame(DisplayDevice* dd, object* obj) {
  const int32_t w = obj->bitmap->width;
  const int32_t h = obj->bitmap->height;
  const uint16_t t = type_of(obj);
  if (t == TYPE_POINT) {
    const double x = value_of(obj).h, y = value_of(obj).v;
    outline(dd, x - w / 2, y - h / 2, x + w / 2, y + h / 2);
    return;
  }
  if ((t != TYPE_SEGMENT && t != TYPE_VECTOR) || obj->nbparents < 2 || !obj->parents) return;
  // A picture with no width has no frame to scale along the segment.
  if (w <= 0) return;
  const valeur a = value_of(obj->parents[0]);
  const valeur b = value_of(obj->parents[1]);
  const double dx = b.h - a.h, dy = b.v - a.v;
  const double k = (static_cast<double>(h) / w) / 2;
  const double p[4][2] = {{b.h - k * dy, b.v + k * dx},
                          {b.h + k * dy, b.v - k * dx},
                          {a.h + k * dy, a.v - k * dx},
                          {a.h - k * dy, a.v + k * dx}};
  for (int i = 0; i < 4; ++i) {
    const int j = (i + 1) % 4;
    draw_segment_styled(dd, p[i][0], p[i][1], p[j][0], p[j][1], kBlack, 0, &kSelectionDash, kExtentSegment);
  }
}

void draw_text_frame(DisplayDevice* dd, object* obj, uint16_t tag, uint8_t full) {
  const TErec* te = obj->te;
  const uint16_t t = type_of(obj);
  const bool framed_anyway = t == TYPE_TEXT || t == TYPE_BUTTON;
  // A value chosen inside a text: only the place where it is shown.
  const insert_object* value = tag > kTagWholeText && obj->inserted
                                   ? find_text_reference(static_cast<uint16_t>(tag - kTagWholeText), nullptr,
                                                         obj->inserted)
                                   : nullptr;
  if (value) {
    tagRECT r;
    reference_area_rect(te, value, 0, &r);
    draw_polygon_outline(dd, r.left, r.top, r.right, r.top, r.right, r.bottom, r.left, r.bottom, kBlack, 0,
                         &kSelectionDash);
    return;
  }
  // A value shown inside a text and taken whole, as a tool's argument: the
  // place where the text shows it.
  if ((tag == kTagWholeText || full) && !framed_anyway && (obj->aux2 & kNumberInText)) {
    const object* text = find_text_containing_number(obj);
    for (const insert_object* n = text && text != obj && text->te ? text->inserted : nullptr; n; n = n->next) {
      if (n->obj != obj) continue;
      tagRECT r;
      reference_area_rect(text->te, n, 0, &r);
      draw_polygon_outline(dd, r.left, r.top, r.right, r.top, r.right, r.bottom, r.left, r.bottom, kBlack, 0,
                           &kSelectionDash);
      return;
    }
  }
  if ((tag == kTagWholeText || full) && (framed_anyway || !(obj->aux2 & kNumberInText))) {
    const int32_t l = te->pos.x, tp = te->pos.y, r = te->pos.x + te->size.w, b = te->pos.y + te->size.h;
    outline(dd, l - 1, tp - 1, r, b);
    kelvo_win_info* fig = KPGeoDocument::currentInfo();
    if (t == TYPE_BUTTON && current_class == &classe_button && fig && objlist_count(fig->selection) > 0 &&
        fig->selection->items[0] == obj) {
      outline(dd, l - 2, tp - 2, r + 1, b + 1);
      outline(dd, l - 3, tp - 3, r + 2, b + 2);
    }
    if (calculator_active && t == TYPE_NUMBER) {
      const char letter[2] = {static_cast<char>('a' + (tag & 0xFF) - 1), 0};
      dd_draw_text(dd, l, tp - te->size.h + 8, letter, kBlack);
    }
  }
}

}  // namespace

void invalidate_selection() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !fig->selection || !fig->selection->items) return;
  for (object** o = fig->selection->items; *o; ++o) redraw_object(*o);
}

void clear_selection_and_picked() {
  clear_selection();
  objlist_clear(&picked);
}

void select_all_objects() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return;
  clear_selection();
  if (fig->nbobj <= 2) return;
  int n = 0;
  for (object* o = fig->first; o; o = o->next)
    if (++n > 2) select_figure_object(o, 0, 1);
}

void select_figure_object(object* obj, uint16_t tag, uint8_t extend) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!obj || !fig) return;
  const window_hooks& wh = window_services();
  if (type_of(obj) == TYPE_BUTTON && !current_class && !extend) {
    obj->aux2 ^= kButtonTargetsHidden;
    const int8_t shown = (obj->aux2 & kButtonTargetsHidden) ? 0 : 1;
    for (objectptrlist* n = obj->associated; n; n = n->next)
      if (n->obj) n->obj->settings.visible = shown;
    tool_redraw_figure(2, 28);
    refresh_figure_description(current_figure_view);
    if (wh.figure_description_select_object) wh.figure_description_select_object();
    return;
  }
  selection_blink_time = window_tick_count();
  dyn_array_object* sel = fig->selection;
  if (extend) {
    bool found = false;
    const bool text_with_refs = obj->inserted != nullptr;
    for (int i = 0; sel && sel->items && sel->items[i]; ++i) {
      if (sel->items[i] != obj) continue;
      if (text_with_refs && sel->tags[i] != tag) continue;
      redraw_object(obj);
      for (int j = i; sel->items[j]; ++j) {
        sel->items[j] = sel->items[j + 1];
        sel->tags[j] = sel->tags[j + 1];
      }
      found = true;
      break;
    }
    if (!found) objlist_add(sel, obj, tag);
  } else {
    clear_selection();
    objlist_add(fig->selection, obj, tag);
  }
  if (interaction_state == STATE_TRACE) {
    obj->settings.marked = obj->settings.marked ? 0 : 1;
    bool any = false;
    for (object* o = fig->first; o && !any; o = o->next) any = o->settings.marked != 0;
    if (any && wh.create_static_display) wh.create_static_display();
    if (!any && wh.free_static_display) wh.free_static_display();
  }
  if (wh.figure_description_select_object) wh.figure_description_select_object();
}

int draw_selected_list(dyn_array_object* list, uint8_t advance, uint8_t full) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!list || !list->items) return 0;
  selection_drawing = 1;
  int count = 0;
  for (int i = 0; list->items[i]; ++i) {
    object* o = list->items[i];
    if (fig && (o == fig->moving || o == fig->cur2)) break;
    draw_selection_feedback(o, list->tags[i], advance, full);
    ++count;
  }
  selection_drawing = 0;
  return count;
}

uint8_t draw_selection_rect() {
  if (!selection_rect_shown || !moving_display) return selection_rect_shown;
  pixel_pen.dash_start_phase = selection_blink_phase;
  outline(moving_display, selection_rect.left, selection_rect.top, selection_rect.right, selection_rect.bottom);
  pixel_pen.dash_start_phase = 0;
  figure_changed = 1;
  return selection_rect_shown;
}

bool remove_selection_rect() {
  const bool shown = selection_rect_shown != 0;
  selection_rect_shown = 0;
  return shown;
}

bool blink_selection_marks() {
  const uint32_t now = window_tick_count();
  const uint32_t step = static_cast<uint32_t>(std::min(GetDoubleClickTime(), 100));
  if (now - selection_blink_time <= step) return false;
  selection_blink_phase = static_cast<uint8_t>((selection_blink_phase + 1) % kSelectionDashPeriod);
  selection_blink_time = now;
  return true;
}

void draw_selection_feedback(object* obj, uint16_t tag, uint8_t advance, uint8_t full) {
  if (!obj || !obj->settings.visible || obj->final_no == 0) return;
  DisplayDevice* dd = moving_display;
  if (!dd) return;
  const bool equal_dots = obj->settings.dot_style.lg == obj->settings.dot_style.cycle;
  if (advance) {
    const uint8_t cycle = (is_text_like_object(obj) || equal_dots || obj->settings.dot_style.cycle == 0)
                              ? kSelectionDashPeriod
                              : obj->settings.dot_style.cycle;
    obj->flag1 = static_cast<uint8_t>((obj->flag1 + 1) % cycle);
  }
  // On odd phases a point shows in its alternate colour, halfway between
  // its own colour and the background: it blinks, and never vanishes (the
  // background colour itself would leave it blank for half the time).
  const bool alternate = is_point_like(obj) && !has_picture(obj) && (obj->flag1 & 1);
  const uint32_t own_color = obj->settings.Color;
  param_color* own_params = obj->pcolor;
  if (alternate) {
    kelvo_win_info* fig = KPGeoDocument::currentInfo();
    const uint32_t a = object_effective_color(obj);
    const uint32_t b = fig ? fig->bgcolor : back_color;
    uint32_t mixed = 0;
    for (int shift : {0, 8, 16}) mixed |= ((((a >> shift) & 0xFF) + ((b >> shift) & 0xFF)) / 2) << shift;
    obj->settings.Color = mixed;
    obj->pcolor = nullptr;
  }
  pixel_pen.dash_start_phase = obj->flag1;

  if (obj->te) {
    draw_text_frame(dd, obj, tag, full);
    if (!is_text_like_object(obj) && (tag <= 257 || (current_class && current_class != &classe_label))) {
      TErec* te = obj->te;
      obj->te = nullptr;
      if (draws_one_side(obj, tag))
        draw_side(dd, obj, tag);
      else
        draw_object(dd, obj);
      obj->te = te;
    }
  } else if (draws_one_side(obj, tag)) {
    draw_side(dd, obj, tag);
  } else if (!has_picture(obj)) {
    if (!is_point_like(obj) && equal_dots) set_dash_pattern(&kSelectionDash.lg);
    draw_object(dd, obj);
  } else {
    draw_picture_frame(dd, obj);
  }

  pixel_pen.dash_start_phase = 0;
  if (alternate) {
    obj->settings.Color = own_color;
    obj->pcolor = own_params;
  }
}
