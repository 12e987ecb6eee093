// The equation text of a line, circle, conic or locus in the frame of a
// coordinate system: cartesian or polar, in the form the user chose, with
// integer coefficients where they exist. Exponents are one control byte
// after the letter (the power less one); the text view shows them raised.
#pragma once

#include <cstdint>
#include <string>

struct object;

// The text being written; bounded so that no input can grow it without end.
extern std::string equation_text;
inline constexpr std::size_t kEquationTextLimit = 1023;

// Decimals of the equation being written and the tolerance 10^-n.
extern int16_t equation_decimals;
extern double equation_eps;
void set_equation_precision(int decimals);

// Equation forms (the `format` byte).
inline constexpr uint8_t kFormGeneral = 0;  // a x + b y + c = 0 and its kin
inline constexpr uint8_t kFormSlope = 1;    // y = a x + b
inline constexpr uint8_t kFormCentre = 2;   // (x - a)^2 + (y - b)^2 = r^2
inline constexpr uint8_t kFormReduced = 4;  // x^2/a^2 + y^2/b^2 = 1

// Results of the locus fit.
enum : int {
  kLocusFitted = 0,
  kLocusNoText = 1,
  kLocusNoPolynomial = 3,
  kLocusTooFewPoints = 4,
  kLocusBadFrame = 10,
};

void append_char(std::string& text, char c);
double integer_distance(double x);
int64_t integer_gcd(int64_t a, int64_t b);
// p/q within 1e-10 of x with q below 10^n; false when q would reach 10^n.
bool rational_approximation(double x, int n, int64_t* p, int64_t* q);
// Locus coefficients made integer when a multiplier up to 10000 fits,
// else scaled so that the largest magnitude is 10.
void scale_to_integers(int count, double* coefficients);

// The value with n decimals, trailing zeros and a bare separator removed.
std::string format_decimal(double value, int n);
// " + v" or " - v", or "" when the magnitude is at most eps.
std::string format_coefficient_term(double value, int n, double eps);
// Radians to the polar unit code; the unit's short name into *name.
double convert_polar_angle(uint8_t unit_code, std::string* name, double angle);
// Brings phi near 0 and returns the function: 0 cos, 1 sin, 2 minus cos,
// 3 minus sin.
int simplify_polar_phase(double* phi);

// Normal forms of the line a x + b y + c = 0 about the origin (x0, y0).
void polar_normal_form(double a, double b, double c, double x0, double y0, double unit_length, bool standard,
                       double unit_angle, double* rho, double* phi);
void line_polar_normal_form(double a, double b, double c, double x0, double y0, double* rho, double* phi);

// The line writer: cartesian a x + b y + c = 0 in the frame, or polar
// rho/phi (a, b) when `polar` is set.
void write_line_equation(double a, double b, double c, uint8_t format, bool polar, uint8_t typeunite);

// The text of a conic given in the frame by A x^2 + B xy + C y^2 + D x +
// E y + F = 0 (centimetres, vertical axis upwards). Polar conics need the
// focal data, passed in `focal` (null: row 278).
struct conic_focal_data {
  double ux, uv;       // unit vector of the focal axis (pixels)
  double pa, pc;       // 1/p^2 and 1/q^2, or the parameter of a parabola
  double ch, cv;       // centre or vertex (pixels)
  double oh, ov;       // system origin (pixels)
  double unit_length;  // length of the system's first unit vector (pixels)
  double unit_angle;   // its angle
};
void write_conic_frame_text(const double coef[6], int16_t kind, uint8_t format, uint8_t typeunite,
                            const conic_focal_data* focal);

// Fits a polynomial of degree 1..max_degree through n points (frame
// coordinates). On kLocusFitted *degree holds d and coef its
// (d + 1)(d + 2)/2 integer-scaled coefficients, x^(k-j) y^j at k(k+1)/2 + j.
int fit_locus_polynomial(const double* x, const double* y, int n, int max_degree, int* degree, double coef[28]);
// Writes a fitted polynomial; kLocusNoText when there is nothing to write.
int write_locus_polynomial(int degree, const double* coef);

// The object-level routines: the text goes to equation_text.
void format_line_equation(object* eq);
// From the shared conic workspace (conic_a..conic_f, conic_kind).
void format_equation_text(object* eq);
int format_locus_equation(object* eq);
