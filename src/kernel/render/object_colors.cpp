#include "kernel/render/object_colors.h"

#include <cmath>

#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/render/colors.h"

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


uint8_t color_component_from_number(const object* number, uint8_t base) {
  if (!number || number->nbvaleurs < 1 || !number->valeurs) return base;
  const double v = std::fmod(std::fabs(number->valeurs[0].info.rayon), 2.0);
  const double c = v < 1 ? v * 255 : (2 - v) * 255;
  if (!(c >= 0 && c <= 255)) return 0;  // not a number
  return static_cast<uint8_t>(static_cast<int>(c) & 0xFF);
}

namespace {

uint32_t driven_color(const param_color* p, uint32_t base) {
  const uint32_t r = color_component_from_number(p->red, static_cast<uint8_t>(base >> 16));
  const uint32_t g = color_component_from_number(p->green, static_cast<uint8_t>(base >> 8));
  const uint32_t b = color_component_from_number(p->blue, static_cast<uint8_t>(base));
  return r * 65536 + g * 256 + b;
}

}  // namespace

uint32_t object_effective_color(const object* obj) {
  if (!obj) return 0;
  if (!obj->pcolor) return obj->settings.Color;
  return driven_color(obj->pcolor, obj->settings.Color);
}

uint32_t object_effective_fill_color(const object* obj) {
  if (!obj) return 0;
  if (!obj->pfill) return obj->settings.FillColor;
  uint32_t base = obj->settings.FillColor;
  if (base == back_color && !obj->settings.opaque) base = 0;
  return driven_color(obj->pfill, base);
}
