// The conic through five points: its normalised equation, its kind and its
// frame, computed in one kernel-wide workspace.
//
// Equation: A x^2 + 2B xy + C y^2 + 2D x + 2E y + F = 0 in figure
// coordinates (y grows downwards). For the line-pair kinds (1, 8, 14 and,
// for its one line, 2) the six coefficients hold two lines instead:
// A x + B y + C = 0 and D x + E y + F = 0, without the factors 2.
//
// A routine fills the workspace and the next one reads it; the compute
// operation copies it into the conic object, and the drawing, hit and
// intersection operations copy it back before they work. Nothing here is
// reentrant.
#pragma once

#include <cstdint>

#include "kernel/conics/dpoint.h"

// Kind codes.
enum : int16_t {
    kConicParallelLines = 1,
    kConicDoubleLine = 2,
    kConicNothing = 3,          // imaginary lines, or a single point of an ellipse equation
    kConicParabola = 4,
    kConicPoint = 5,            // from conic_classify only
    kConicEllipse = 6,
    kConicImaginaryEllipse = 7, // from conic_classify only
    kConicCrossingLines = 8,
    kConicHyperbola = 9,
    kConicCoincidence = 10,     // two defining points coincide, or parallel directions
    kConicAlignment = 11,       // four defining entries on a line, or a singular system
    kConicRectHyperbola = 12,
    kConicCircle = 13,
    kConicLine = 14,            // one line (the other component at infinity)
    kConicNoPoint = 15,         // from conic_classify only
    kConicEveryPoint = 16,
};

// The workspace.
extern double conic_a, conic_b, conic_c, conic_d, conic_e, conic_f;
extern int16_t conic_kind;
extern double conic_delta;  // A C - B^2
extern double conic_det;    // determinant of the symmetric 3x3 matrix
extern dpoint conic_origin; // centre, vertex of a parabola, or crossing of two lines
extern dpoint conic_axis_u;
extern dpoint conic_axis_v;
// 1/(semi-axis along u)^2 and +-1/(semi-axis along v)^2 for central conics,
// the parameter of a parabola, or digit codes naming defining points for
// line pairs.
extern double conic_param_a;
extern double conic_param_b;
extern dpoint conic_axis_point;
extern dpoint conic_axis_point2;

// The conic through five entries of x, y. mode 0: five points; mode 1:
// entry 4 is a direction; mode 2: entries 3 and 4 are directions. Leaves
// the equation and frame in the workspace and returns the kind (the caller
// stores it in conic_kind).
int16_t conic_through_five_points(const double x[5], const double y[5], int16_t mode);

// Coincident points, parallel directions, three collinear entries: a kind
// (1, 8, 10, 11, 14) or -1 when none of these applies.
int16_t conic_special_configuration(const double x[5], const double y[5], int16_t mode);

// Solves for the coefficients: 0 solved, 1 or 2 no unique solution.
int16_t conic_from_points(const double x[5], const double y[5], int16_t mode);

// Negates the six coefficients (and conic_det with them).
void conic_negate_coefficients();
void conic_negate_equation();

// Value of the workspace equation at (x, y).
double conic_value_at(double x, double y);
