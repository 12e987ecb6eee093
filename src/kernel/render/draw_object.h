// Drawing one object: whether it is drawn at all, how a hidden object shows
// while the show/hide tool is current, its label and its pin mark; and the
// layer filter that splits a figure into the static and the moving layer
// during a drag. The only place where a type's draw operation is called.
#pragma once

#include <cstdint>

#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"

struct object;

// Layers of figure_object_is_drawable.
inline constexpr uint8_t kLayerMoving = 0;
inline constexpr uint8_t kLayerStatic = 1;
inline constexpr uint8_t kLayerAll = 2;

// The glyph of a hidden point while the show/hide tool is current.
extern const uint8_t hidden_point_bitmap[8];

// Draws the object on the device (null: the current figure window's device).
void draw_object(DisplayDevice* dd, object* obj);
// The form the drawing passes call.
void draw_figure_object(DisplayDevice* dd, object* obj);

// Whether the object belongs to the layer, for a walk of the current
// figure's list in order (the walk's state resets at the first object).
bool figure_object_is_drawable(object* obj, uint8_t layer);
// Starts a walk for figure_object_is_drawable at an object other than the
// figure's first, with no moving object before it.
void begin_layer_walk();

// The device of the current figure window, or null; the figure view
// installs it.
extern DisplayDevice* (*current_window_device)();
