// The value of a measurement object (length, distance, perimeter, area,
// slope or angle) from its parents, stored and shown through its text.
#pragma once

struct object;

// Computes the measure: its raw value in internal units (pixels, square
// pixels, radians), whether it is infinite, and its text; a measure that
// cannot exist gets state bit 64 and keeps its text.
void compute_measure(object* obj);

// The side a point lies on along a polygon of n vertices: its index when
// it is one of the vertices, else the whole part of its position on the
// polygon, brought into [0, n).
int polygon_side_of_point(const object* point, const object* polygon);
