// Small plane-geometry routines of the measures and of the figure window:
// distances of a point to the figure's objects, the crossing of two lines,
// of a line and a circle, and the bounding rectangle of an arc. Points are
// pairs of doubles in pixels; the tolerance is 1e-10 unless stated.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"
#include "platform/win_types.h"

// The signed difference b - a of two direction angles brought into
// (-pi, pi]: negative angles count one turn more first, and a difference
// within 1e-10 of -pi is taken as pi.
double wrap_angle_difference(double a, double b);

// acc + |PQ|.
void add_point_distance(const valeur* p, const valeur* q, double* acc);
// |(P - P0) x d| / |d| for the line (P0, d); the largest double when d is
// null.
void point_line_distance(const valeur* p, const valeur* line, double* distance);
// ||P - C| - r| for the circle (C, record with the radius); a circle whose
// centre is at infinity is the line through its second value, normal to
// the centre's direction.
void point_circle_distance(const valeur* p, const valeur* circle, double* distance);

// Lines (P0, d0) and (P1, d1) given as four values. 0 with the crossing
// point, or with d0 at infinity for parallel lines; 1 for the same line.
int line_intersection(const valeur* lines, valeur* out);
// One crossing of the line (values 0, 1) and the circle (values 2, 3),
// chosen by the side flag; 0 found, 1 none.
int line_circle_point(const valeur* block, valeur* out, uint8_t side);

// True when b strictly encloses a.
bool is_rect_inside(const tagRECT* a, const tagRECT* b);
// The integer rectangle that holds the arc; true when there is one.
bool arc_bounding_rect(const object* arc, tagRECT* box);
