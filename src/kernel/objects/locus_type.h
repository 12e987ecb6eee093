// The locus object type: its drawing, hit test, points on it and
// intersections with it, each a run of the locus engine (locus_engine.h)
// with its own sink; the change of the number of points from the keyboard
// and the test of whether a locus is a curve of sampled points.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"
#include "kernel/objects/locus_engine.h"

// Code 1 more points, 65535 fewer, any other code sets the number. True
// when the number changed.
bool locus_change_nb_points(object* locus, uint16_t code);
bool locus_is_valid(const object* locus);

bool draw_locus(DisplayDevice* dd, object* locus);
bool locus_hit_test(object* locus, tagPOINT* p);
void locus_point_on(object* locus, valeur* val, void** param, int mode);
int32_t locus_intersect(object* locus, object* other, void* result, uint32_t mode);

// A table, a valid locus (when with_loci), axes, a grid or a measure: what
// the window hook is_value_object answers.
bool value_object_check(const object* obj, bool with_loci);

// The parameter block of a point on a locus.
struct locus_point_param {
  double t;
  int16_t branch;
};

// The engine's side of the sinks.
locus_sink_fn locus_sink_for(locus_sink_kind kind);
void locus_prepare_drawing(locus_context& c);
bool locus_draw_sink(valeur* a, valeur* b, bool chord);
bool locus_hit_sink(valeur* a, valeur* b, bool chord);
bool locus_nearest_sink(valeur* a, valeur* b, bool chord);
bool locus_intersect_sink(valeur* a, valeur* b, bool chord);

// Start-up: binds the type's operations and the class's compute operation.
void bind_locus_operations();
