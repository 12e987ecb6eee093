// Object colours driven by numbers: a pen or fill colour whose red, green
// and blue components come from three number objects of the figure.
#pragma once

#include <cstdint>

struct object;

struct param_color {
  object* red;
  object* green;
  object* blue;
};

// Set the object's pcolor (pfill) block from three number objects, freeing
// the old block. Nothing happens when all three are null. Returns false when
// the block cannot be allocated (the object is then left without one).
bool set_object_color_params(object* obj, object* red, object* green, object* blue);
bool set_object_fill_color_params(object* obj, object* red, object* green, object* blue);

// One colour component driven by a number: the number's value v gives
// a triangle wave of period 2, 0 at v = 0 and 255 at v = 1. Without a
// number (or a number without a value) the base component.
uint8_t color_component_from_number(const object* number, uint8_t base);
// The colour to draw the object with: its Color, or the colour driven by
// its colour parameters.
uint32_t object_effective_color(const object* obj);
// The fill colour: its FillColor, or the colour driven by its fill
// parameters (a transparent fill then starts from black).
uint32_t object_effective_fill_color(const object* obj);
