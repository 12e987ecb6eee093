#include "kernel/render/drawing_passes.h"

#include <cmath>
#include <cstring>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/draw_object.h"
#include "kernel/render/still_layer.h"
#include "kernel/tools/drag_state.h"
#include "kernel/tools/pick.h"
#include "kernel/window/springs.h"

double screen_pixels_per_cm = 38.0;  // 96 dots per inch

namespace {

bool is_point(const object* o) { return o->otype && o->otype->id == TYPE_POINT; }

}  // namespace

void draw_figure_objects(DisplayDevice* dd, uint8_t layer) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig) draw_figure_objects_from(dd, layer, fig->first);
}

// The three passes: objects that are not opaque, opaque objects, then the
// plain points, so that points lie above everything.
bool object_drawn_in_pass(const object* o, int pass) {
  const bool plain_point = is_point(o) && !o->bitmap;
  switch (pass) {
    case kPassTranslucent:
      return !o->settings.opaque && !plain_point;
    case kPassOpaque:
      return o->settings.opaque && !plain_point;
    default:
      return plain_point;
  }
}

void draw_figure_pass(DisplayDevice* dd, uint8_t layer, object* from, int pass, bool still_only) {
  begin_layer_walk();
  for (object* o = from; o; o = o->next) {
    if (!figure_object_is_drawable(o, layer)) continue;
    if (still_only && (o->state & OBJ_MOVING)) continue;
    if (object_drawn_in_pass(o, pass)) draw_figure_object(dd, o);
  }
}

void draw_figure_objects_from(DisplayDevice* dd, uint8_t layer, object* from, bool still_only) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || fig->nbobj == 0) return;
  for (int pass = 0; pass < kPassCount; ++pass) draw_figure_pass(dd, layer, from, pass, still_only);
}

void draw_moving_pass(DisplayDevice* dd, const std::vector<object*>& moving, int pass) {
  if (!KPGeoDocument::currentInfo()) return;
  begin_layer_walk();
  for (object* o : moving)
    if (figure_object_is_drawable(o, kLayerMoving) && object_drawn_in_pass(o, pass)) draw_figure_object(dd, o);
}

void draw_moving_objects(DisplayDevice* dd, const std::vector<object*>& moving) {
  for (int pass = 0; pass < kPassCount; ++pass) draw_moving_pass(dd, moving, pass);
}

void redraw_figure(uint8_t draw_objects) {
  // Whatever made the figure be drawn again may have changed what the still
  // layer shows; a drag builds it again at its next step.
  drop_still_layer();
  if (!static_display) return;
  static_display->needToBeCleared = 1;
  draw_figure_background(static_display);
  if (draw_objects) {
    draw_figure_objects(static_display, kLayerStatic);
    if (!drag_in_progress) draw_all_springs();
  }
  if (moving_display) dd_copy_bitmap(moving_display, static_display, 0);
}

namespace {

// A traced object drawn without its label.
void redraw_marked_object(kelvo_win_info* fig, object* o) {
  if (!o->settings.marked) return;
  TErec* te = o->te;
  o->te = nullptr;
  draw_object(static_display, o);
  if (fig->trace_device) draw_object(fig->trace_device, o);
  o->te = te;
}

}  // namespace

void redraw_marked_objects() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return;
  for (object* o = fig->first; o; o = o->next) redraw_marked_object(fig, o);
}

void redraw_marked_objects(const std::vector<object*>& marked) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return;
  for (object* o : marked) redraw_marked_object(fig, o);
}

void draw_figure_background(DisplayDevice* dd) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !dd) return;
  if (fig->background) {
    dd_draw_background(dd);
    draw_background_picture(dd);
  } else if (fig->bgcolor == back_color) {
    if (fig->trace_device) dd_copy_bitmap(dd, fig->trace_device, 0);
    else dd_draw_background(dd);
    return;
  } else {
    dd_fill_background(dd, fig->bgcolor);
  }
  if (fig->trace_device) copy_opaque_pixels(dd, fig->trace_device);
}

void refresh_figure_background(DisplayDevice* dd) {
  figure_changed = 1;
  draw_figure_background(dd);
}

void draw_background_picture(DisplayDevice* dd) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !dd || !fig->background || !fig->background->image) return;
  double scale = 1.0;
  const char* screen = fig->background->name ? is_ti_screen_bitmap_name(fig->background->name) : nullptr;
  if (screen && std::strcmp(screen, "TI-83 Screen") == 0) {
    object* axes = nullptr;
    for (object* o = fig->first; o && !axes; o = o->next)
      if (o->otype && o->otype->id == TYPE_AXES) axes = o;
    if (axes && axes->valeurs && axes->nbvaleurs >= 2)
      scale = std::hypot(axes->valeurs[1].h, axes->valeurs[1].v) / 10;
  } else if (screen) {
    scale = screen_pixels_per_cm / 29;
  }
  if (!(scale > 0) || !std::isfinite(scale)) return;
  blit_object_image(dd, 0, 0, static_cast<KPUniversalBitmap*>(fig->background->image), scale, 1);
}

bool figure_has_background() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return false;
  if (fig->background && fig->background->image && fig->background->name) return true;
  return fig->bgcolor != back_color;
}

bool figure_has_marked_object() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return false;
  for (object* o = fig->first; o; o = o->next)
    if (o->settings.marked) return true;
  return false;
}

object* find_referencing_text(const object* obj) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !obj) return nullptr;
  for (object* o = fig->first; o; o = o->next) {
    if (!o->otype || o->otype->id != TYPE_TEXT) continue;
    for (insert_object* r = o->inserted; r; r = r->next)
      if (r->obj == obj) return o;
  }
  return nullptr;
}
