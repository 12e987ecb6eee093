#include "kernel/render/colors.h"

#include "kernel/model/figure.h"
#include "kernel/model/memory.h"

uint32_t back_color = 0x00FFFFFF;

namespace {

bool set_params(param_color** slot, object* red, object* green, object* blue) {
  if (!red && !green && !blue) return true;
  GlobalFreeAndNull(slot);
  param_color* block = alloc_block<param_color>();
  if (!block) return false;
  block->red = red;
  block->green = green;
  block->blue = blue;
  *slot = block;
  return true;
}

}  // namespace

bool set_object_color_params(object* obj, object* red, object* green, object* blue) {
  return obj && set_params(&obj->pcolor, red, green, blue);
}

bool set_object_fill_color_params(object* obj, object* red, object* green, object* blue) {
  return obj && set_params(&obj->pfill, red, green, blue);
}
