// The stroking engine of circles and arcs. Every circle and arc the figure
// shows (circles, arcs, angle marks, the circle previews of the tools) is
// drawn by draw_stroke_twice.
//
// On a device with a pixel bitmap at ratio 1 the circle is clipped against
// the port with a margin, cut into arc pieces of the right half and of the
// mirrored left half, and rasterised by a midpoint circle walk on the pixel
// pen that draws both halves in one pass where they run side by side; an
// optional fill pass fills the inside row by row first. On any other device
// the circle or arc goes to the device context with a geometric pen.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

struct DisplayDevice;

// Flags of a stroke.
inline constexpr uint8_t kStrokeOpaqueFill = 1;  // the fill covers what lies beneath
inline constexpr uint8_t kStrokeFullCircle = 128;

// Centre and radius of the circle an arc lies on, figure pixels.
struct circle_record {
  double cx;
  double cy;
  double r;
};

// A full circle (kStrokeFullCircle): p1 is the centre and p2's rayon the
// radius. An arc: p1, p2, p3 are its start, a point between and its end, on
// the circle of `circle`. A null dash is solid.
void draw_stroke_twice(DisplayDevice* dd, const valeur* p1, const valeur* p2, const valeur* p3,
                       const circle_record* circle, uint32_t color, uint32_t fill, uint8_t thickness, const dot* dash,
                       uint8_t flags);
void draw_circle_arc(DisplayDevice* dd, const valeur* p1, const valeur* p2, const valeur* p3,
                     const circle_record* circle, uint32_t color, uint32_t fill, uint8_t thickness, const dot* dash,
                     uint8_t flags);

// The device-context arc, counter-clockwise (y up) from start to end
// (radians), centre relative to the port; a one-degree polyline when the
// circle reaches beyond +-32000 device pixels.
void dc_stroke_arc(DisplayDevice* dd, double cx, double cy, double r, double start, double end);

// The arc pieces of the pixel route: the right-half list and the mirrored
// left-half list, each up to six points relative to the centre (whole
// pixels, y up) taken in pairs (start, end) in traversal order, from the top
// of the right half-circle clockwise to its bottom.
struct arc_point_list {
  int64_t x[8];
  int64_t y[8];
  int n;
};
struct arc_lists {
  arc_point_list half[2];  // 0 right, 1 left (x mirrored)
  double cx;
  double cy;
  double r2;
};

// Builds the pieces of a circle (arc null) or an arc for the device's port;
// false when nothing of it reaches the clip window. Exposed for tests.
bool build_arc_lists(const DisplayDevice* dd, double cx, double cy, double r, uint8_t thickness,
                     const valeur* arc_points[3], arc_lists* out);
// Draws the pieces with the pixel pen, both halves together where they meet.
void rasterise_circle_arcs(DisplayDevice* dd, const arc_lists& lists);
// True when P comes before Q in traversal order.
bool arc_point_before(int64_t px, int64_t py, int64_t qx, int64_t qy);
