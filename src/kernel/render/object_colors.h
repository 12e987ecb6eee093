// Object colours driven by numbers: a pen or fill colour whose red, green
// and blue components come from three number objects of the figure.
#pragma once

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
