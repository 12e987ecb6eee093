// Compute operations of the objects that show a value or a text: measures,
// coordinates and equations in axes, numbers, calculations, texts and the
// five property checks.
#pragma once

struct object;

void compute_measure_slot(object* obj);
void compute_coordinates(object* obj);
void compute_equation(object* obj);
void compute_number(object* obj);
void compute_calculation(object* obj);
void compute_text(object* obj);
void compute_collinear_check(object* obj);
void compute_parallel_check(object* obj);
void compute_perpendicular_check(object* obj);
void compute_equidistant_check(object* obj);
void compute_member_check(object* obj);

// A calculation whose evaluation failed: with a range error (errno
// ERANGE) the sign of infinity of an infinite result, else the text of an
// undefined value; the value is marked as an error either way.
void show_calculation_failure(object* obj, double result, int error);

// Whether the two straight parents of the check are parallel (mode 0) or
// perpendicular (mode 1).
bool direction_relation(object* obj, int mode);

// Binds these operations into their methods and installs the value keys.
void bind_value_computes();
