// Compute operations of the basic constructions: polygon-like objects from
// their vertices, lines and rays, circles, arcs through three points,
// midpoints, perpendicular bisectors, parallels, perpendiculars, angle
// bisectors and the points of a regular polygon.
//
// Each reads the first values of its parents and writes the object's
// `valeurs`; a result at infinity sets state bit OBJ_AT_INFINITY (the value
// then holds a direction), a construction that fails sets OBJ_UNDEFINED.
// Recomputation clears both bits before calling them.
#pragma once

struct object;

void compute_vertices(object* obj);
void compute_line_one_point(object* obj);
void compute_line_two_points(object* obj);
void compute_ray_two_points(object* obj);
void compute_circle_centre(object* obj);
void compute_circle_centre_point(object* obj);
void compute_arc_three_points(object* obj);
void compute_midpoint(object* obj);
void compute_midpoint_of_side(object* obj);
void compute_perp_bisector(object* obj);
void compute_perp_bisector_of_side(object* obj);
void compute_parallel(object* obj);
void compute_perpendicular(object* obj);
void compute_angle_bisector(object* obj);
void compute_regular_polygon_points(object* obj);

// The midpoint of parents 0 and 1 (mode 1), or the image of parent 0 under
// the point symmetry about parent 1 (mode 0).
void midpoint_or_symmetric(object* obj, int mode);
