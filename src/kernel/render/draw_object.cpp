#include "kernel/render/draw_object.h"

#include "kernel/model/classes.h"

void draw_object(DisplayDevice* dd, object* obj) {
  if (!dd || !obj || !obj->otype || !obj->otype->draw) return;
  obj->otype->draw(dd, obj);
}
