#include "kernel/render/object_colors.h"

#include <cmath>

#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/render/colors.h"

uint8_t color_component_from_number(const object* number, uint8_t base) {
  if (!number || number->nbvaleurs < 1 || !number->valeurs) return base;
  const double v = std::fmod(std::fabs(number->valeurs[0].info.rayon), 2.0);
  // A value that is not a number keeps the base component.
  if (!(v >= 0 && v < 2)) return base;
  const double c = v < 1 ? v * 255 : (2 - v) * 255;
  return static_cast<uint8_t>(static_cast<int>(c) & 0xFF);
}

namespace {

uint32_t components(const param_color* block, uint32_t base) {
  const uint32_t red = color_component_from_number(block->red, (base >> 16) & 0xFF);
  const uint32_t green = color_component_from_number(block->green, (base >> 8) & 0xFF);
  const uint32_t blue = color_component_from_number(block->blue, base & 0xFF);
  return red * 65536 + green * 256 + blue;
}

param_color* ensure_params(param_color** slot) {
  if (!*slot) *slot = alloc_block<param_color>();
  return *slot;
}

bool set_params(param_color** slot, object* red, object* green, object* blue) {
  if (!red && !green && !blue) return true;
  param_color* block = ensure_params(slot);
  if (!block) return false;
  block->red = red;
  block->green = green;
  block->blue = blue;
  return true;
}

}  // namespace

uint32_t object_effective_color(const object* obj) {
  if (!obj) return default_color;
  if (!obj->pcolor) return obj->settings.Color;
  return components(obj->pcolor, obj->settings.Color);
}

uint32_t object_effective_fill_color(const object* obj) {
  if (!obj) return back_color;
  if (!obj->pfill) return obj->settings.FillColor;
  uint32_t base = obj->settings.FillColor;
  if (base == back_color && !obj->settings.opaque) base = 0;
  return components(obj->pfill, base);
}

void set_object_color(object* obj, uint32_t color) {
  if (!obj) return;
  obj->settings.Color = color;
  GlobalFreeAndNull(&obj->pcolor);
}

void set_object_fill_color(object* obj, uint32_t color) {
  if (!obj) return;
  obj->settings.FillColor = color;
  GlobalFreeAndNull(&obj->pfill);
}

param_color* ensure_object_color_params(object* obj) { return obj ? ensure_params(&obj->pcolor) : nullptr; }
param_color* ensure_object_fill_color_params(object* obj) { return obj ? ensure_params(&obj->pfill) : nullptr; }

bool set_object_color_params(object* obj, object* red, object* green, object* blue) {
  return obj && set_params(&obj->pcolor, red, green, blue);
}

bool set_object_fill_color_params(object* obj, object* red, object* green, object* blue) {
  return obj && set_params(&obj->pfill, red, green, blue);
}
