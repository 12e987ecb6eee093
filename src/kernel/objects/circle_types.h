// The round curves of a figure: the circle and the arc object types. Their
// hit tests, point-on-object operations and shared intersection operation,
// and the arc helpers that classify the shape of an arc and tell whether a
// point of its circle lies on it.
//
// Circle values: [0] the centre, [1] a point of the circle whose
// info.rayon is the radius. A centre at infinity makes the circle the
// straight line through [1] whose normal is the centre's direction.
// Arc values: [0] start, [1] middle, [2] end, [3] centre with the radius
// (at infinity, holding a normal of their line, when the three points are
// collinear: the arc is flat), and once expanded [4] the direction angles of
// [0], [1], [2] about the centre in h, v, info.rayon.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

struct DisplayDevice;

// Parameter block of a point on a circle: the rotation from the reference
// vector [1] - [0] to the point.
struct circle_point_param {
  double cos;
  double sin;
};

// Shape codes of an arc.
enum : int16_t {
  ARC_PROPER = 0,      // a proper arc (also both ends at infinity and apart)
  ARC_START_AT_INF = 1,
  ARC_END_AT_INF = 2,
  ARC_FLAT_SEGMENT = 3,
  ARC_FLAT_RAYS = 4,   // the rest of the line; also a middle point at infinity
  ARC_ENDS_SAME_INF = 5,
};

int16_t arc_shape_code(const valeur* v);
// Gives an arc of four values its fifth (the direction angles) and
// recomputes it; nothing for any other arc.
void arc_expand_values(object* arc);
// For a point of the arc's circle or carrier line: true when it is not on
// the arc itself.
bool point_outside_arc(const valeur* p, const valeur* arc_values);

// The circle record {centre, a point with the radius} that the
// intersection computations take, for a circle or an arc.
void round_circle_record(const object* o, valeur out[2]);

bool circle_hit_test(object* c, tagPOINT* m);
bool arc_hit_test(object* a, tagPOINT* m);
void circle_point_on(object* carrier, valeur* io, void** param, int mode);
void arc_point_on(object* carrier, valeur* io, void** param, int mode);
// The intersection slot of circles and arcs: `a` a circle or an arc, `b` a
// straight object, a circle or an arc, with a's type identifier not below
// b's. A single selector names root i (high half, 0 or 1) with part j of b
// (low half). 1 found, 2 none, 3 the pair is not handled, 4 no such index.
int32_t circle_intersect(object* a, object* b, void* out, uint32_t selector);

// Draw operations. Ordinary circles and arcs go to the stroking engine;
// degenerate forms and very large radii are drawn as straight pieces
// clipped to the view.
void draw_circle(DisplayDevice* dd, object* c);
void draw_arc(DisplayDevice* dd, object* a);
// Fills the region between the arc of the circle about `centre` (radius in
// its info.rayon) from p to q, turning by increasing angle, and the chord
// pq.
void fill_arc_segment(DisplayDevice* dd, const valeur* p, const valeur* q, const valeur* centre, uint32_t colour,
                      int8_t opaque);
