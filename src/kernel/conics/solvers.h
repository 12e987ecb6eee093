// Closed-form real roots of polynomials of degree two, three and four.
//
// The solvers leave their roots in kernel-wide result areas that each call
// overwrites; a caller copies what it needs before the next solver call.
// The quartic solver also decides which of four numbered slots each real
// root takes: intersection points are numbered by these slots, and those
// numbers are stored in figure files, so the slot rules must not change.
#pragma once

#include <cstdint>

// Roots of the last solve_quadratic: the first is not greater than the second.
extern double quad_roots[2];
// Roots of the last solve_cubic (see solve_cubic for their order).
extern double cubic_roots[3];
// Slots 0..3 of the last solve_quartic, and what each slot holds.
extern double quartic_roots[4];
extern uint8_t quartic_root_kind[4];

// Kinds of a quartic slot.
inline constexpr uint8_t kRootNone = 0;
inline constexpr uint8_t kRootFinite = 1;
inline constexpr uint8_t kRootInfinite = 2;

// Count returned when every x solves the equation.
inline constexpr int16_t kRootsEverywhere = 100;

// a x^2 + b x + c = 0. Returns 0 (no real root; quad_roots untouched),
// 2 (roots in quad_roots, a double root twice, a lost degree as +infinity)
// or 100 (every x).
int16_t solve_quadratic(double a, double b, double c);

// a x^3 + b x^2 + c x + d = 0. Returns 1 (root 0 only) or 3; with three
// real roots root 0 is the largest, root 1 the smallest and root 2 the
// middle one. A vanishing leading coefficient gives the quadratic's count
// plus one (at most 100), with root 2 at +infinity.
int16_t solve_cubic(double a, double b, double c, double d, bool all_roots);

// a x^4 + b x^3 + c x^2 + d x + e = 0. Fills quartic_roots and
// quartic_root_kind; callers go by the kinds, not by the returned count.
int16_t solve_quartic(double a, double b, double c, double d, double e);
