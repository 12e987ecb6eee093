#include "kernel/window/replay.h"

#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/render/display_device.h"
#include "kernel/tools/draw_feedback.h"
#include "kernel/tools/tool_dispatch.h"
#include "app/kernel_iface/kp_geo_document.h"

uint8_t replay_running = 0;
uint8_t replay_shows_macro_internals = 0;

bool is_replay_visible(const object* obj) {
  if (!obj) return false;
  if (!obj->settings.visible && attribute_mask != ATTR_HIDE_SHOW) return false;
  // Macro passwords are not kept yet, so internals shown means all of them.
  if (obj->final_no == 0 && !replay_shows_macro_internals) return false;
  return !(obj->otype && obj->otype->id == TYPE_INTERSECTION_SET);
}

void draw_all_springs() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return;
  for (object* o = fig->first; o; o = o->next) {
    if (!o->otype || o->otype->id != TYPE_SPRING || !o->otype->draw) continue;
    if (static_display) o->otype->draw(static_display, o);
    if (moving_display && moving_display != static_display) o->otype->draw(moving_display, o);
  }
}
