// Tangent points of a conic: the points with a vertical, horizontal or
// diagonal tangent, where a tracer walking the conic pixel by pixel
// changes octant, and the number of steps left in an octant. The same
// points give the bounding box of an ellipse.
//
// Tangent slots (absolute figure coordinates, +infinity where there is
// none), by the half-gradient (gx, gy) = (A x + B y + D, B x + C y + E):
//   0 and 4: vertical tangent (gy = 0)     2 and 6: horizontal (gx = 0)
//   3 and 7: first diagonal (gx + gy = 0)  1 and 5: second diagonal (gx - gy = 0)
// A parabola fills one slot per family (0..3); ellipses and hyperbolas
// both; other kinds none.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

// The drawing window: left, top, right, bottom.
extern int32_t conic_window[4];
// Origin of the piece being traced; the workspace holds the conic moved so
// that this point is the origin.
extern double trace_start_x, trace_start_y;
// End of the piece relative to its start.
extern double trace_end_dx, trace_end_dy;
// Set while the last octant of a piece is walked.
extern uint8_t trace_last_octant;
// Which of the two tangent points of a family is the target.
extern uint8_t conic_branch;
extern double tangent_point_x[8], tangent_point_y[8];
// (t1, s1, t2, s2) of the last conic_tangent_pair.
extern double tangent_pair[4];
// alpha, beta, gamma of the quadratic alpha t^2 + 2 beta t + gamma = 0.
extern double tangent_quadratic[3];

// Solves the quadratic of tangent_quadratic and sets s = -(p t + q) / r for
// each root; missing points are +infinity.
void conic_tangent_pair(double p, double q, double r);
// Fills the tangent slots from the workspace (translated to the trace
// start). The mode has no effect.
void conic_tangent_points(uint16_t mode);
// Steps left in an octant from the pen offset (x, y) relative to the trace
// start; 0 for an octant outside 0..7.
int32_t conic_tangent_limit(int32_t x, int32_t y, uint16_t octant);
// Box of the tangent slots {x4, y6, x0, y2}, each truncated toward zero,
// with the conic translated to its first defining point. False (rect not
// written) when a side is not a finite 32-bit number.
bool conic_bounding_box(tagRECT* rect, const object* conic);
// Quadrant 0..3 of a vector, (0, 0) in quadrant 1.
int16_t vector_quadrant(double x, double y);

// The box of an ellipse for the rectangle selection; false for any other
// conic, an undefined one or one without values.
bool conic_bounding_rect(const object* conic, tagRECT* box);
