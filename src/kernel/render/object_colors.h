// Object colours: fixed colour words, or colours whose red, green and blue
// components follow three number objects of the figure.
#pragma once

#include <cstdint>

struct object;

struct param_color {
  object* red;
  object* green;
  object* blue;
};

// The component a number gives: its value v folded to fmod(|v|, 2) rises
// from 0 to 255 between 0 and 1 and falls back to 0 at 2. Without a number,
// or a number without values, the base component.
uint8_t color_component_from_number(const object* number, uint8_t base);

// The colour and fill colour the object is drawn with.
uint32_t object_effective_color(const object* obj);
uint32_t object_effective_fill_color(const object* obj);

// Fixed colours: set the colour and free the matching parameter block.
void set_object_color(object* obj, uint32_t color);
void set_object_fill_color(object* obj, uint32_t color);

// The parameter block of the object, created (zeroed) when missing; null
// when memory runs out.
param_color* ensure_object_color_params(object* obj);
param_color* ensure_object_fill_color_params(object* obj);

// Store three number objects as the components of the colour (fill
// colour). Nothing happens when all three are null. Returns false when the
// block cannot be allocated.
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
