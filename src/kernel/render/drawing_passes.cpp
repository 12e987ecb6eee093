#include "kernel/render/drawing_passes.h"

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/render/draw_object.h"
#include "kernel/tools/pick.h"

namespace {

bool is_plain_point(const object* o) { return o->otype && o->otype->id == TYPE_POINT && !o->bitmap; }

bool stays_static(const object* o) {
  const uint16_t t = o->otype ? o->otype->id : 0;
  return (t == TYPE_TEXT || t == TYPE_TABLE) && !(o->state & OBJ_MOVING);
}

}  // namespace

void draw_figure_objects(DisplayDevice* dd, uint8_t layer) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !dd || fig->nbobj == 0) return;
  if (layer == kLayerMoving && !first_hit) return;
  for (int pass = 0; pass < 3; ++pass) {
    bool moving_seen = false;
    for (object* o = fig->first; o; o = o->next) {
      if (o->state & OBJ_MOVING) moving_seen = true;
      bool in_layer = true;
      if (layer == kLayerStatic) in_layer = !moving_seen || stays_static(o);
      else if (layer == kLayerMoving) in_layer = moving_seen && !stays_static(o);
      if (!in_layer) continue;
      const bool point = is_plain_point(o);
      const bool wanted = pass == 0 ? !o->settings.opaque && !point : pass == 1 ? o->settings.opaque && !point : point;
      if (wanted) draw_object(dd, o);
    }
  }
}

void redraw_figure(uint8_t draw_objects) {
  if (!static_display) return;
  dd_draw_background(static_display);
  if (draw_objects) draw_figure_objects(static_display, kLayerStatic);
  if (moving_display) dd_copy_bitmap(moving_display, static_display, 0);
}

void redraw_marked_objects() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return;
  for (object* o = fig->first; o; o = o->next)
    if (o->settings.marked) draw_object(static_display, o);
}
