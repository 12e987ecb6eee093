// The conic as an object: its compute operation, the copy of its values to
// and from the workspace, and the placing of a point at a step along it.
//
// Values of a conic object (11):
//   0: A, B, info C          1: D, E, info F
//   2: u, info param a       3: v, info param b (32-bit digit codes for kinds 1, 2, 8)
//   4: origin; info byte 2 = 255 after a computation, byte 3 = the kind
//   5: u of the previous computation
//   6..10: copies of the five defining points' values
// For kind 14, value 0 holds the line A x + B y + C = 0.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

inline constexpr int kConicValueCount = 11;

// Kind stored in a conic's values (byte 3 of value 4, sign-extended).
int16_t conic_stored_kind(const valeur* values);

// Workspace from a conic's values: the coefficients and the kind only, or
// the whole frame as well.
void conic_load_equation(const valeur* values);
void conic_load_workspace(const valeur* values);

// Compute operation of the conic method: the conic through the values of
// the five parents (some possibly at infinity). Sets state bit 64 when the
// conic is not defined. Returns 0.
int compute_conic(object* conic);

// Places a point (whose first parent is a conic) at step t of n along it.
// Kinds without a parametrisation make the point undefined.
void conic_point_at_step(object* point, int16_t n, double t);
