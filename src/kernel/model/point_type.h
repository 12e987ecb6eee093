// The point type (proximity, hit test, drawing) and the two operations of
// the "Pt/" methods that keep a point on another object: placing it at a
// step along its carrier, and recomputing it from the parameter that the
// carrier's point-on operation keeps in the point's `data` block.
#pragma once

#include "kernel/model/figure.h"

// True when the value exists, is finite and lies strictly within the pick
// tolerance of p in Manhattan distance.
bool point_near(const valeur* val, const tagPOINT* p);

bool point_hit_test(object* pt, tagPOINT* p);
void point_draw(DisplayDevice* dd, object* pt);

// Puts the point at step i of n along its carrier.
void point_on_object_place(object* pt, int n, double i);
// Follows the carrier by the stored parameter; a point whose position was
// changed since its last computation (dragged, read, placed) is projected
// onto the carrier first.
void point_on_object_compute(object* pt);
