// The straight object types: segment, vector, triangle, polygon, regular
// polygon, line and ray. Their draw, hit-test and point-on-object
// operations, and the small geometric helpers that the other types'
// hit tests and intersections share.
//
// Coordinates are figure pixels, v growing downwards. Every hit test writes
// `hit_part` (kernel/tools/hit_state.h).
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

// ------------------------------------------------------------------ helpers

// atan2(dy, dx) in whole degrees, 0..360.
int16_t direction_degrees(double dx, double dy);

// True when m lies within the pick tolerance of the line through line[0]
// with direction (line[1].h, line[1].v). False for a line at infinity or a
// null direction.
bool near_line(const valeur line[2], const tagPOINT* m);
// True when m lies within the pick tolerance of the line through a and b
// (of a itself when they coincide); callers that want the segment add the
// test (a - m).(b - m) <= 0.
bool near_segment(const valeur* a, const valeur* b, const tagPOINT* m);
// True when p, a point of the segment's carrier, lies outside the segment.
bool point_outside_segment(const valeur* p, const valeur seg[2]);
// True when p lies behind the origin ray[0] of the ray with direction ray[1].
bool point_before_ray_origin(const valeur* p, const valeur ray[2]);
// out = A + t (B - A), flags cleared.
void point_at_segment_fraction(const valeur seg[2], valeur* out, const double* t);
// t from the position in io, measured along the dominant axis of B - A
// (clamped to [0, 1] when asked); then io = A + t (B - A), flags cleared.
void segment_fraction_of_point(const valeur seg[2], valeur* io, double* t, bool clamp);
// The number of straight parts an intersection iterates over: the sides of
// a polygon, the two axes of a coordinate system, 1 otherwise.
int16_t intersection_side_count(const object* o);
// The integer part of the parameter of a point on an object (the side of a
// point on a polygon); 0 without a parameter.
int16_t object_int_value(const object* o);

// -------------------------------------------------------- type operations

void draw_segment(DisplayDevice* dd, object* o);
void draw_vector(DisplayDevice* dd, object* o);
void draw_polygon(DisplayDevice* dd, object* o);
void draw_regular_polygon(DisplayDevice* dd, object* o);
void draw_line(DisplayDevice* dd, object* o);
void draw_ray(DisplayDevice* dd, object* o);

bool segment_hit_test(object* o, tagPOINT* m);
bool polygon_hit_test(object* o, tagPOINT* m);
bool line_hit_test(object* o, tagPOINT* m);
bool ray_hit_test(object* o, tagPOINT* m);

void segment_point_on(object* carrier, valeur* io, void** param, int mode);
void polygon_point_on(object* carrier, valeur* io, void** param, int mode);
void line_point_on(object* carrier, valeur* io, void** param, int mode);

// The pin mark beside a sticky object.
void draw_point_offset_mark(DisplayDevice* dd, object* o);

// Polygon fills and segment marks can be switched off for a whole drawing.
extern uint8_t fill_enabled;
extern uint8_t segment_marks_off;
