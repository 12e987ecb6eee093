// The grid type: the lattice of nodes of a coordinate system, square (one
// node per graduation step of each axis) or polar (rings one step apart
// crossed by rays whose angular step halves outwards). Its draw, hit-test
// and point-on-object operations and the small geometry they share.
//
// Grid values: [0] the origin O (info.rayon the polar base step), [1] and
// [2] the step vectors I and J (the axes' units times their graduation
// steps). The second math byte is the kind: 0 square, 1 polar in degrees,
// 2 in grads, 3 in radians. `data` holds the drawn-window block of a
// square grid.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

struct DisplayDevice;

// The lattice index bounds of the square nodes drawn last, half-open.
struct grid_window {
  int32_t i0, i1, j0, j1;
};

// The node found by the last nearest-node search: lattice coordinates of a
// square grid, ring and ray numbers of a polar one.
extern double grid_node_i;
extern double grid_node_j;

inline bool grid_is_polar(const object* grid) { return grid->math.equa.typeunite != 0; }

double point_distance(double x0, double y0, double x1, double y1);
// atan2(y1 - y0, x1 - x0) in [0, 2 pi), screen orientation.
double vector_angle(double x0, double y0, double x1, double y1);
void axes_graduation_factors(const object* axes, double* fx, double* fy);

// Every node of the grid within the rectangle, in drawing order, handed to
// `visit`. The square walk also rewrites the drawn-window block; the result
// is false when nothing can be drawn (undefined grid, degenerate steps, no
// visible ring).
using grid_node_visitor = void (*)(void* context, double x, double y);
bool visit_square_grid(object* grid, const tagRECT& rect, grid_node_visitor visit, void* context);
bool visit_polar_grid(object* grid, const tagRECT& rect, grid_node_visitor visit, void* context);

void draw_grid(DisplayDevice* dd, object* grid);
bool grid_hit_test(object* grid, tagPOINT* p);
bool grid_square_hit(object* grid, const tagPOINT* p);
bool grid_polar_hit(object* grid, double x, double y);
// The nearest polar node: its screen position and its coordinates in the
// coordinate system's own units. False for a grid without a ring step.
bool grid_polar_node(object* grid, double x, double y, double* nx, double* ny, double* a, double* b);
void grid_point_on(object* grid, valeur* val, void** param, int mode);
