// The conic rasteriser: one piece of the workspace conic, from a point of
// the curve to another, walked pixel by pixel with integer decision
// variables (an eight-octant midpoint method on the quadratic form) and
// sent to the stroke output (conic_stroke.h).
//
// The curve is A x^2 + 2B xy + C y^2 + 2D x + 2E y + F = 0 in the workspace,
// in figure pixels (y down). A conic is drawn as a series of pieces: the
// caller clears trace_series_started before the first; the first piece
// scales the coefficients so that the largest is 1,000,000 (the curve is
// unchanged) and computes the tangent points, which later pieces reuse.
//
// Octants (direction of travel): square step, diagonal step, decision
// midpoint relative to the current pixel.
//   0 (+1, 0) (+1, +1) (x+1, y+1/2)     4 (-1, 0) (-1, -1) (x-1, y-1/2)
//   1 (0, +1) (+1, +1) (x+1/2, y+1)     5 (0, -1) (-1, -1) (x-1/2, y-1)
//   2 (0, +1) (-1, +1) (x-1/2, y+1)     6 (0, -1) (+1, -1) (x+1/2, y-1)
//   3 (-1, 0) (-1, +1) (x-1, y+1/2)     7 (+1, 0) (+1, -1) (x+1, y-1/2)
#pragma once

#include <cstdint>

struct DisplayDevice;

// Drawing state of the conic being drawn.
extern uint32_t conic_color;
extern uint8_t conic_thick;
// 0 until the first piece of the current conic has been traced.
extern uint8_t trace_series_started;

// Octant of the walking direction at a point of half-gradient (gx, gy);
// -1 (with a beep) when the gradient is zero.
int16_t conic_octant(double gx, double gy);
// A x^2 + 2B xy + C y^2 + 2D x + 2E y (F left out: the origin is the start
// of the piece, on the curve).
double conic_form_value(double x, double y);
// The form at the octant's decision midpoint of the pixel offset (x, y).
double conic_midpoint_value(int32_t x, int32_t y, uint16_t octant);

// Traces the piece from (x0, y0) to (x1, y1), both on the curve.
void trace_conic(DisplayDevice* dev, double x0, double y0, double x1, double y1);

// What the last trace did, for tests and the benchmark: octant passes run,
// steps taken, and how the decision variable was resynchronised.
struct trace_report {
  int32_t passes;
  int32_t steps;
  int16_t first_octant;
  int16_t octants[10];  // octant of each pass
  int32_t pass_steps[10];  // steps of each pass
  int32_t transitions_a;
  int32_t transitions_b;
  int32_t resyncs;
  int64_t max_drift;  // largest |incremental d - exact d| at a resync
  bool capped;  // an octant exceeded the step cap
};
extern trace_report last_trace;
