// The conic as a figure object: its hit test, the orthogonal projection of
// a point onto it, and its intersections with straight objects, circles,
// arcs and other conics. Every operation but the intersection loads the
// conic's values into the conic workspace first and works there by kind;
// none changes the conic.
//
// Frame coordinates of a point (x, y), with c the origin and u, v the axes:
//   X = v.y (x - c.x) - v.x (y - c.y)   (along u)
//   Y = u.x (y - c.y) - u.y (x - c.x)   (along v)
// A parabola is X = Y^2 / (2 a), an ellipse or hyperbola a X^2 + b Y^2 = 1
// (a, b the conic's two parameters).
#pragma once

#include <cstdint>

#include "kernel/conics/dpoint.h"
#include "kernel/model/figure.h"

// Frame coordinates of (x, y) in the workspace frame.
dpoint conic_frame_coordinates(double x, double y);
// The point of the workspace frame at (X, Y).
dpoint conic_frame_point(double X, double Y);

// 1 when the point lies within the pick tolerance of the conic (or on its
// label); sets the hit part to 0.
bool conic_hit_test(object* conic, tagPOINT* p);

// Writes the point of the conic nearest to (x, y). Writes nothing for a
// conic that is undefined or at infinity, for the kinds without real
// points, and for a curved conic with no finite defining point.
void conic_project_point(object* conic, double x, double y, double* out_x, double* out_y);
// The same, false when nothing is written; for the line kinds *line tells
// which line took the point (1 or 2).
bool conic_project(object* conic, double x, double y, dpoint* out, int* line);

// The intersect slot of the conic type. `other` is a straight object, a
// circle, an arc or a conic. A plain selector names part j (low half) of
// the other object and root i (high half: 0..1 with a straight part, 0..3
// otherwise). 1 found, 2 none, 3 the type is not handled, 4 no such index.
int32_t conic_intersect(object* conic, object* other, void* result, uint32_t selector);
