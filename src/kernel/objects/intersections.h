// The numeric core of every intersection: two straight lines, a straight
// line and a circle, two circles, and a straight line, a circle or a conic
// with a conic.
//
// Each routine computes one numbered root or all of them at once. An
// intersection point keeps its root number in figure files and stays on
// that root while the figure moves, so the order of the roots is part of
// the file format:
//   - a line and a circle: root 0 comes first along the line's direction;
//   - two circles: the roots of the radical line (direction turned from
//     centre 2 -> centre 1) with circle 1;
//   - a line and a conic: root 0 at the smaller line parameter;
//   - a circle or conic with a conic: the slots of the quartic solver.
//
// Inputs are `valeur` arrays: a straight line is {point, direction}; a
// circle {centre, a value whose info.rayon is the radius} (a centre at
// infinity makes it a straight line through the second value, direction
// (-v, h) of the first); a conic is its eleven values. Results go to out:
// one value for a single root, two or four when all are asked. Flag bit 1
// of a result means at infinity (h, v a direction), bit 2 that it does not
// exist.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

// Root number that asks for every root.
inline constexpr uint32_t kAllRoots = 65535;

// 1 found (possibly at infinity), 0 none (no line at all, or one line twice).
int line_line_intersection(const valeur* l1, const valeur* l2, valeur* out);

// Line through p1, p2 with line through p3, p4 (any of them may be a point
// at infinity). The result's flags tell: 0 a point; 2 the same line; 3
// parallel lines (then h, v is a direction).
void two_point_lines_intersection(const valeur* p1, const valeur* p2, const valeur* p3, const valeur* p4,
                                  valeur* out);

// For the two-root routines, root 0 is the first root and any other number
// but kAllRoots the second. Return 1 found, 0 none.
int line_circle_intersection(const valeur* line, const valeur* circle, valeur* out, uint32_t root);
int circle_circle_intersection(const valeur* c1, const valeur* c2, valeur* out, uint32_t root);
// Here root number 1 is the second root and any other the first.
int straight_conic_intersection(const valeur* line, const valeur* conic, valeur* out, uint32_t root);

// Roots 0..3 (quartic slots) or kAllRoots (four results).
int conic_conic_intersection(const valeur* q1, const valeur* q2, valeur* out, uint32_t root);
int circle_conic_intersection(const valeur* circle, const valeur* conic, valeur* out, uint32_t root);
