// The coordinate-system type: an origin with one or two graduated axes.
// Its draw, hit-test and point-on-object operations (its intersection is
// the straight one), the clipping of an axis to the view, the drawing of a
// graduation, and the bookkeeping that keeps a point on an axis to its
// ticks.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

struct DisplayDevice;

// The parameter block of a point on a coordinate system, in its `data`.
struct axis_point_param {
  double t;      // position = origin + t * axis vector
  uint8_t axis;  // 0 the first axis, 1 the second
  uint8_t snap;  // 1: the point keeps to the ticks
};

// The tick index of the last tick hit by axes_hit_test.
extern double hit_graduation_value;

// True for a system drawn with its first axis alone (second math byte).
inline bool is_single_axis(const object* axes) { return axes->math.equa.typeunite != 0; }

bool clip_axis_to_rect(object* axes, int16_t k, double* dx, double* dy, double ends[4], const tagRECT* r);
// The number written beside the first tick: "1" for code 1, else the step
// in "%g" form ("0.5" for code 2, "10" for code 9).
void graduation_label(int32_t code, char out[32]);
void draw_axis_number(DisplayDevice* dd, double ox, double oy, double dx, double dy, uint32_t colour, int32_t code);
void draw_axes(DisplayDevice* dd, object* axes);
bool axes_hit_test(object* axes, tagPOINT* m);
void axes_point_on(object* axes, valeur* io, void** param, int mode);

// The point's axis and snap into its math bytes (side.index 1 or 2,
// side.force_grad), and back into a fresh block from them (t = 2.5).
void axes_graduation_to_object(object* pt);
void init_axes_graduation(object* pt);

// The range of tick indices of a graduation with step vector (dx, dy) from
// (ox, oy) across the rectangle, in walking order: first, count and
// direction (+1 or -1). False when the ticks would fall closer than one
// pixel or the numbers are not finite.
bool graduation_tick_range(const tagRECT& r, double ox, double oy, double dx, double dy, double* first,
                           int64_t* count, int* step);
