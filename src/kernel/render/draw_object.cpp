#include "kernel/render/draw_object.h"

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/render/colors.h"
#include "kernel/render/object_colors.h"
#include "kernel/objects/straight_types.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/draw_feedback.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/hit_state.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/replay.h"

const uint8_t hidden_point_bitmap[8] = {0x00, 0x14, 0x2A, 0x55, 0x2A, 0x55, 0x2A, 0x14};

DisplayDevice* (*current_window_device)() = nullptr;

namespace {

// State bits read here.
constexpr uint32_t kStateMoving = 1;
constexpr uint32_t kStateDocumentFont = 16;
// An object at infinity has no place on the sheet and is not drawn.
constexpr uint32_t kStateNotOnSheet = OBJ_AT_INFINITY;

bool layer_moving_seen = false;

bool show_hide_tool_active() {
  return interaction_state == STATE_APPEARANCE && attribute_mask == ATTR_HIDE_SHOW;
}

bool is_spring(const object* obj) { return obj->otype && obj->otype->id == TYPE_SPRING; }

// The spring tool is current when the class being built makes springs.
bool spring_tool_current() { return current_class && current_class->ctype && current_class->ctype->id == TYPE_SPRING; }

void draw_hidden(DisplayDevice* dd, object* obj) {
  if (!show_hide_tool_active() || obj->num < 3) return;
  const uint16_t id = obj->otype->id;
  if (id == TYPE_POINT) {
    if (!obj->valeurs || obj->nbvaleurs < 1) return;
    const bool smoothing = dd->dc && dd->dc->antialiasing();
    if (dd->dc) dd->dc->allowsAntialiasing(false);
    draw_point_mark(dd, obj->valeurs[0].h, obj->valeurs[0].v, 0, 0, object_effective_color(obj), 0,
                    hidden_point_bitmap);
    if (dd->dc) dd->dc->allowsAntialiasing(smoothing);
    return;
  }
  if (is_text_like_object(obj)) {
    if (!obj->te) return;
    const double left = obj->te->pos.x, top = obj->te->pos.y;
    const uint32_t color = (obj->state & kStateDocumentFont) ? back_color : default_color;
    draw_rect_outline(dd, left, top, left + obj->te->size.w, top + obj->te->size.h, color, 0,
                      &hidden_dash_style);
    return;
  }
  const dot saved = obj->settings.dot_style;
  obj->settings.dot_style = hidden_dash_style;
  pixel_pen.dash_start_phase = 0;
  if (obj->otype->draw) obj->otype->draw(dd, obj);
  obj->settings.dot_style = saved;
}

}  // namespace

void draw_object(DisplayDevice* dd, object* obj) {
  if (!dd && current_window_device) dd = current_window_device();
  if (!dd || !obj || !obj->otype) return;
  if (obj->state & kStateNotOnSheet) return;
  if ((obj->state & OBJ_UNDEFINED) && obj->otype->id != TYPE_AXES) return;
  if (obj->final_no == 0 && !(replay_running && is_replay_visible(obj))) return;
  if (replay_running && ((obj->state & OBJ_REPLAY_HIDDEN) || !is_replay_visible(obj))) return;

  // A macro's hidden step that the replay shows is drawn as shown.
  const bool replay_step = replay_running && obj->final_no == 0;
  const bool hidden =
      !replay_step && !obj->settings.visible && (obj->otype->id != TYPE_GRID || show_hide_tool_active());
  if (hidden) {
    draw_hidden(dd, obj);
  } else {
    if (!selection_drawing) pixel_pen.dash_start_phase = 0;
    if (!is_spring(obj) || spring_tool_current()) {
      if (obj->otype->draw) obj->otype->draw(dd, obj);
      if (!(obj->state & OBJ_UNDEFINED)) redraw_text_object(dd, obj);
    }
  }
  if (interaction_state == STATE_FIX_FREE && obj->settings.sticky) draw_point_offset_mark(dd, obj);
}

void draw_figure_object(DisplayDevice* dd, object* obj) { draw_object(dd, obj); }

void begin_layer_walk() { layer_moving_seen = false; }

bool figure_object_is_drawable(object* obj, uint8_t layer) {
  if (!obj) return false;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig && obj == fig->first) layer_moving_seen = false;
  if (obj->state & kStateMoving) layer_moving_seen = true;
  const bool fixed = obj->otype && (obj->otype->id == TYPE_TABLE || obj->otype->id == TYPE_TEXT) &&
                     !(obj->state & kStateMoving);
  switch (layer) {
    case kLayerStatic:
      return !layer_moving_seen || fixed;
    case kLayerMoving:
      return first_hit_object && layer_moving_seen && !fixed;
    default:
      return true;
  }
}
