#include "kernel/render/draw_object.h"

#include "kernel/model/classes.h"

uint8_t figure_changed = 0;
DisplayDevice* static_display = nullptr;
DisplayDevice* moving_display = nullptr;

void draw_object(DisplayDevice* dd, object* obj) {
  if (!dd || !obj || !obj->otype || !obj->otype->draw) return;
  obj->otype->draw(dd, obj);
}

// Device records have no drawing port yet, so there is nothing to fill.
void dd_draw_background(DisplayDevice*) {}
