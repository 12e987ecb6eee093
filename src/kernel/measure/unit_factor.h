// The factor between a number's internal value and the value it shows in
// its unit: displayed value = internal value / factor.
#pragma once

struct object;

// Internal units per displayed unit, from the object's `unite` setting
// (kind in the top three bits, unit in the low five): lengths and areas are
// held in pixels (mm, cm, m, km = 0.1, 1, 100, 100000 centimetres of
// pixels_per_unit, squared for areas), angles in radians (radians, degrees,
// grads, multiples of pi), kind 5 scales by the square root of
// pixels_per_unit; every other kind is 1.
void measure_unit_factor(const object* obj, double* factor);
double measure_unit_factor(const object* obj);

// The preferred angle unit in the low five bits: 1 degrees, 2 grads,
// anything else radians. The preferences set it with the unit of the
// default angle measures.
extern unsigned angle_unit_pref;
