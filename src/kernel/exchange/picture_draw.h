// Pictures attached to objects: a segment's picture on its two ends, a
// polygon's picture mapped onto four corners, and the plane geometry that
// mapping rests on.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct DisplayDevice;
struct object;
struct bitmap_info;

// When set, a polygon's picture is mapped only onto a convex quadrilateral,
// and then projectively while it is dragged. Nothing sets it.
extern uint8_t picture_mapping_convex;

// ---- Geometry (corners P0..P3 in order around the quadrilateral).
struct pic_point {
  double x, y;
};
double det2(double a, double b, double c, double d);
double det3(const double m[3][3]);
void adjugate3(const double m[3][3], double out[3][3]);
// 0 when m is singular (out untouched), else 3 with out = m^-1.
int invert3(const double m[3][3], double out[3][3]);
// a x + b y = e, c x + d y = f; (0, 0) for (nearly) parallel lines.
pic_point solve_2x2(double a, double b, double c, double d, double e, double f);
bool quad_has_duplicate_corner(const tagPOINT corners[4]);
// True when the four corners are distinct and every turn has the same sign.
bool is_convex_quad(const tagPOINT corners[4]);
// The inverse of the projective map of [0, W] x [0, H] onto the corners
// ((0,0) to P0, (W,0) to P1, (W,H) to P2, (0,H) to P3); `forward` receives
// the map itself when not null. The result of invert3.
int projective_from_quad(double out[3][3], int32_t width, int32_t height, const tagPOINT corners[4],
                         double forward[3][3] = nullptr);
// Where target pixel (x, y) comes from in the picture: (v, u) in [0, 1]²
// along P0->P1 and P0->P3; false when the pixel is not covered. `roots`
// receives the number of roots of the quadratic (0 to 2) and `a_coef` its
// leading coefficient, which is 0 for a parallelogram.
bool bilinear_inverse(const tagPOINT corners[4], double x, double y, pic_point* out, int* roots = nullptr,
                      double* a_coef = nullptr);
// The first and last column of row y that a convex quadrilateral covers;
// false when the row misses it. Horizontal edges are passed over.
bool quad_row_span(double y, const tagPOINT corners[4], int32_t* first, int32_t* last);

// Small plane helpers of the non-convex mapping.
// p mirrored in the line through a and b; (0, 0) when a and b coincide.
pic_point reflect_point_in_line(pic_point p, pic_point a, pic_point b);
// True when p and q lie on the same side of line ab (or on it).
bool same_side_of_line(pic_point p, pic_point q, pic_point a, pic_point b);
// True when p lies in triangle abc, its boundary included.
bool point_in_triangle(pic_point p, pic_point a, pic_point b, pic_point c);
int32_t max_of_4(int32_t a, int32_t b, int32_t c, int32_t d);
int32_t min_of_4(int32_t a, int32_t b, int32_t c, int32_t d);
// The parabola tangent to the four side lines of a quadrilateral: the
// bilinear map of a non-convex quadrilateral folds along it. V is its
// vertex, T1 and T2 its points of contact with the two sides that do not
// hold the extreme reflections of the focus (kept on those sides). False
// when the construction breaks down (parallel opposite sides, a directrix
// parallel to the y axis, coincident reflections).
bool inscribed_parabola(const tagPOINT corners[4], pic_point* V, pic_point* T1, pic_point* T2);
// quad_row_span, widened between the rows of T1 and T2 to the chords V-T1
// and V-T2, for a non-convex quadrilateral with that parabola.
bool quad_row_span_folded(double y, const tagPOINT corners[4], pic_point V, pic_point T1, pic_point T2,
                          int32_t* first, int32_t* last);

// ---- Mappings of a picture onto corners, into a top-down 32-bit buffer of
// w x h pixels; `background` (top-down, bg_w x bg_h, may be null) is read at
// (x + left, y + top). White picture pixels let the background through;
// without one, pixels not covered and white ones stay white.
void map_picture_smooth(const uint8_t* picture, int32_t pw, int32_t ph, uint8_t* target, int32_t w, int32_t h,
                        const uint8_t* background, int32_t bg_w, int32_t bg_h, const tagPOINT corners[4],
                        int32_t left, int32_t top);
void map_picture_fast(const uint8_t* picture, int32_t pw, int32_t ph, uint8_t* target, int32_t w, int32_t h,
                      const uint8_t* background, int32_t bg_w, int32_t bg_h, const tagPOINT corners[4],
                      int32_t left, int32_t top);

// ---- Drawing, called by the draw operations of segments, vectors,
// triangles and polygons.
void draw_picture_on_two_points(DisplayDevice* dd, object* obj);
void draw_picture_on_points(DisplayDevice* dd, object* obj, const tagPOINT corners[4]);
