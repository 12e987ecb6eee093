#include "kernel/objects/pin_mark.h"

#include "kernel/model/figure.h"
#include "kernel/render/colors.h"
#include "kernel/render/object_colors.h"
#include "kernel/render/primitives.h"

namespace {

// A drawing pin seen from the side: head, collar and needle.
const uint8_t kPinGlyph[8] = {0x1C, 0x1C, 0x3E, 0x08, 0x08, 0x08, 0x00, 0x00};

}  // namespace

void draw_point_offset_mark(DisplayDevice* dd, object* obj) {
  if (!dd || !obj || !obj->valeurs || obj->nbvaleurs < 1) return;
  const uint32_t color = object_effective_color(obj) == back_color ? back_color : default_color;
  draw_point_mark(dd, obj->valeurs[0].h + 4, obj->valeurs[0].v - 4, 0, 0, color, 0, kPinGlyph);
}
