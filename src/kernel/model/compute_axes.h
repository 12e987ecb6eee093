// Compute operations of coordinate systems (axes) with their graduation
// codes, grids, angle marks, springs and buttons.
//
// Axes: value 0 the origin, values 1 and 2 the unit vectors of the two axes
// in pixels, each holding its axis's graduation code in info.entier. A code
// c = e * 8 + m (m in 1, 2, 5) spaces the ticks by 10^e / m units.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

// The smallest distance between graduations in pixels; 0 means 29.
extern double graduation_spacing;

// One graduation step of a code in units of its axis. Codes that name no
// finite positive step (low three bits 0, an exponent beyond any sensible
// scale) act as 1, since they can only come from damaged files.
double graduation_step(int32_t code);

void compute_axes_one_point(object* obj);
void compute_axes_three_points(object* obj);
// OBJ_UNDEFINED for a null or degenerate pair of units; sets the
// default-axes byte (math.equa.standard).
void check_axes_values(object* obj);
// The graduation code of each unit vector, so that ticks are at least
// about graduation_spacing * 14/19 pixels apart. Undefined axes and units
// shorter than 1e-10 keep their old codes.
void axes_graduation_codes(object* obj);
// The code for a unit `length` pixels long.
int32_t graduation_code_for_length(double length);

void compute_grid(object* obj);

// The radius of an angle mark at o between the arms to a and b:
// lengths[] gets |a - o| and |b - o|; false when either is below 1e-10.
// The radius is an eighth of the shorter arm, held within 10..50 pixels
// except while printing.
bool angle_mark_radius(const valeur* a, const valeur* o, const valeur* b, double* radius, double lengths[2]);
void compute_angle_mark(object* obj);

void compute_spring(object* obj);
void compute_button(object* obj);

// Binds the compute operations of axes, grids, angle marks, springs and
// buttons into their methods.
void bind_axes_grid_angle_computes();
