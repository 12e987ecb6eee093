// The drawing passes over the current figure, until the full rendering
// passes are merged: the objects of a layer in three passes (objects that
// are not opaque, opaque objects, then points), the full redraw of the
// static layer and the redraw of the objects that leave a trace.
#pragma once

#include <cstdint>

struct DisplayDevice;

// Layers of draw_figure_objects.
inline constexpr uint8_t kLayerMoving = 0;
inline constexpr uint8_t kLayerStatic = 1;
inline constexpr uint8_t kLayerAll = 2;

// kLayerAll: every object. kLayerStatic: the objects before the first one
// carrying the moving mark, and after it the texts and tables that do not
// carry it. kLayerMoving: while a pick is in progress, the other objects
// from the first marked one on; otherwise nothing.
void draw_figure_objects(DisplayDevice* dd, uint8_t layer);
// Redraws static_display: its background and, when draw_objects is
// non-zero, the static layer; then copies it into moving_display.
void redraw_figure(uint8_t draw_objects);
// Redraws the objects that leave a trace into static_display.
void redraw_marked_objects();
