// Colour words and colour parameters of objects, as the figure model needs
// them. Colour words are 0x00RRGGBB.
#pragma once

#include <cstdint>

struct object;
struct DisplayDevice;

// The window background colour word (White); every new figure starts with it.
extern uint32_t back_color;

// A pen or fill colour driven by three number objects; a null source leaves
// that component as the object's own colour gives it.
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
