// The units of formula subexpressions: rational powers of an angle and of a
// length (two more dimensions are carried along and never set), and the
// size of the display unit in internal units (pixels, radians).
#pragma once

#include <cstdint>

struct object;

struct formula_unit {
  int16_t num[4];
  int16_t den[4];
  double factor;
};

inline constexpr int kUnitAngle = 0;
inline constexpr int kUnitLength = 1;

extern const formula_unit formula_dimensionless;

// The length family and the angle family of the units met during the last
// compilation: a unit word ("cm", "mm", "m", "km", "mil", "inc", "ft",
// "rd", "gr", or the degree sign 0xA1), "mix" when words differ, "" when
// none was met.
extern char formula_length_family[4];
extern char formula_angle_family[4];

bool unit_is_dimensionless(const formula_unit& u);
// A non-negative angle power and nothing else (a plain number counts).
bool unit_is_pure_angle(const formula_unit& u);
void unit_set_dimensionless(formula_unit* u);
// Binary gcd of absolute values; gcd(0, b) = b.
int32_t unit_gcd(int32_t a, int32_t b);
// a * b (sign +1) or a / b (sign -1). False when an exponent leaves 16 bits.
bool unit_product(formula_unit* result, const formula_unit& a, const formula_unit& b, int sign);
// Every exponent times p/q, reduced; the factor raised to p/q. False when an
// exponent leaves 16 bits.
bool unit_power(formula_unit* result, const formula_unit& a, int32_t p, int32_t q);
// 0 same dimensions; -1 a dimensionless, 1 b dimensionless; -10 otherwise
// (and whenever an angle numerator is negative).
int unit_compare(const formula_unit& a, const formula_unit& b);
// The unit of a function's result from its argument's (function table
// index). False when an exponent leaves 16 bits.
bool unit_function_result(formula_unit* result, const formula_unit& argument, int function);

// The unit of a number, measure or calculation object from its `unite`
// setting; sets the family word of its kind.
formula_unit unit_of_object(const object* obj);

// Reads a unit word at `text` (the word, then an optional "^" and one
// digit, or one digit). Returns the characters it takes, 0 when none is
// there; fills the unit and records the family word.
int scan_unit_word(const char* text, formula_unit* unit);
