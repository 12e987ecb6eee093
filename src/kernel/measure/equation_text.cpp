#include "kernel/measure/equation_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "kernel/conics/conic.h"
#include "kernel/files/text_convert.h"
#include "kernel/measure/measure_text.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/units.h"
#include "kernel/objects/locus_engine.h"
#include "kernel/text/kernel_strings.h"

std::string equation_text;
int16_t equation_decimals = 2;
double equation_eps = 0.01;

namespace {

constexpr int kRowRadius = 276;
constexpr int kRowAngle = 277;
constexpr int kRowNoEquation = 278;
constexpr int kRowLineAtInfinity = 279;
constexpr int kRowJoin = 352;
constexpr char kSquare = '\x01';
constexpr double kPi = 3.14159265358979323846;

void put(const std::string& s) {
  if (equation_text.size() >= kEquationTextLimit) return;
  equation_text.append(s, 0, kEquationTextLimit - equation_text.size());
}
void put(const char* s) { put(std::string(s)); }
void put(char c) { append_char(equation_text, c); }

// The line at infinity: "r=" and the infinity sign in polar form, its name
// otherwise.
void put_line_at_infinity(bool polar) {
  if (polar) {
    put(kernel_string(kRowRadius));
    put("=");
    put(kInfinitySign);
  } else {
    put(kernel_string(kRowLineAtInfinity));
  }
}

std::string int_text(long long v) { return std::to_string(v); }

double near_int(double x) { return std::floor(x + 0.5); }

// The multiplier that makes every ratio integral (up to 100), or 0.
int integer_multiplier(const double* coef, int count, double m, double eps) {
  double s = m;
  for (int i = 0; i < count; ++i) {
    const double r = std::fabs(coef[i]) / m;
    if (r != 0 && r < s) s = r;
  }
  int k0 = 1;
  while (k0 <= 100 && integer_distance(k0 * s) >= eps) ++k0;
  if (k0 > 100) return 0;
  for (int k = k0; k <= 100; k += k0) {
    bool all = true;
    for (int i = 0; i < count && all; ++i) all = integer_distance(k * std::fabs(coef[i]) / m) < eps;
    if (all) return k;
  }
  return 0;
}

std::string angle_part(double phi, uint8_t typeunite, int n) {
  std::string name;
  const double shown = convert_polar_angle(typeunite, &name, phi);
  std::string out = phi >= 0 ? "-" : "+";
  out += format_decimal(std::fabs(shown), n);
  out += name;
  return out;
}

const char* function_name(int sel) { return (sel & 1) ? "sin" : "cos"; }

// Line writer, cartesian, form 0.
void write_line_general(double a, double b, double c, bool integral, int n, double eps) {
  const double lead = std::fabs(a) > eps ? a : b;
  if (lead < 0) a = -a, b = -b, c = -c;
  const double v[3] = {a, b, c};
  const char* letter[3] = {"x", "y", ""};
  bool first = true;
  bool any_letter = false;
  for (int i = 0; i < 3; ++i) {
    if (std::fabs(v[i]) <= eps) continue;
    if (!first) put(v[i] < 0 ? " - " : " + ");
    else if (v[i] < 0) put("-");
    const double mag = first ? (v[i] < 0 ? -v[i] : v[i]) : std::fabs(v[i]);
    const bool whole = integral || integer_distance(mag) < eps;
    if (!(whole && near_int(mag) == 1 && i < 2)) put(whole ? int_text(static_cast<long long>(near_int(mag))) : format_decimal(mag, n));
    put(letter[i]);
    if (i < 2) any_letter = true;
    first = false;
  }
  if (!any_letter) {
    equation_text.clear();
    put(kernel_string(kRowLineAtInfinity));
    return;
  }
  put(" = 0");
}

// "a'" of the slope form: "-" for -1, nothing for 1, else the number.
std::string slope_factor(int v) {
  if (v == -1) return "-";
  if (v == 1) return "";
  return int_text(v);
}

void write_line_slope_integer(int a, int b, int c) {
  if (b == 0) {
    put("x = ");
    const bool same = (a < 0) == (c < 0);
    a = std::abs(a), c = std::abs(c);
    if (same && c != 0) put("-");
    put(int_text(c));
    if (c != 0 && a != 1) {
      put("/");
      put(int_text(a));
    }
    return;
  }
  const int bp = std::abs(b);
  int ap = b < 0 ? a : -a, cp = b < 0 ? c : -c;
  put("y = ");
  auto constant = [&](int cv) {
    if (cv == 0) return;
    put(cv > 0 ? " + " : " - ");
    const int m = std::abs(cv);
    if (m % bp == 0) {
      put(int_text(m / bp));
    } else {
      put(int_text(m));
      put("/");
      put(int_text(bp));
    }
  };
  if (ap == 0 && cp == 0) {
    put("0");
  } else if (ap == 0) {
    if (cp % bp == 0) {
      put(int_text(cp / bp));
    } else {
      put(int_text(cp));
      put("/");
      put(int_text(bp));
    }
  } else if (ap % bp == 0) {
    put(slope_factor(ap / bp));
    put("x");
    constant(cp);
  } else if (cp % bp == 0) {
    put(slope_factor(ap));
    put("x/");
    put(int_text(bp));
    constant(cp);
  } else {
    if (ap < 0 && cp < 0) {
      ap = -ap, cp = -cp;
      put("-");
    }
    put("(");
    put(slope_factor(ap));
    put("x");
    put(cp >= 0 ? " + " : " - ");
    put(int_text(std::abs(cp)));
    put(")/");
    put(int_text(bp));
  }
}

void write_line_slope(double a, double b, double c, int n, double eps) {
  if (b == 0) {
    put("x = ");
    put(format_decimal(-c / a, n));
    return;
  }
  const double slope = a / -b, constant = c / -b;
  put("y = ");
  if (std::fabs(slope) < eps) {
    put(format_decimal(constant, n));
    return;
  }
  if (std::fabs(slope + 1) < eps) put("-");
  else if (std::fabs(slope - 1) >= eps) put(format_decimal(slope, n));
  put("x");
  if (std::fabs(constant) >= eps) {
    put(constant > 0 ? " + " : " - ");
    put(format_decimal(std::fabs(constant), n));
  }
}

// The frame's coordinates (pixels, v down) of the system: origin, units.
struct frame {
  bool standard = true;
  double oh = 0, ov = 0, uh = 1, uv = 0, wh = 0, wv = -1;
};

frame frame_of(const object* axes) {
  frame f;
  if (!axes || axes->math.equa.standard == 1 || !axes->valeurs || axes->nbvaleurs < 3) return f;
  f.standard = false;
  f.oh = axes->valeurs[0].h, f.ov = axes->valeurs[0].v;
  f.uh = axes->valeurs[1].h, f.uv = axes->valeurs[1].v;
  f.wh = axes->valeurs[2].h, f.wv = axes->valeurs[2].v;
  return f;
}

const object* axes_of(const object* eq) {
  return eq && eq->nbparents > 1 && eq->parents ? eq->parents[1] : nullptr;
}

uint8_t decimals_of(const object* eq) { return eq->settings.nbre_decimales & 127; }

}  // namespace

void set_equation_precision(int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 15) decimals = 15;
  equation_decimals = static_cast<int16_t>(decimals);
  equation_eps = std::pow(10.0, -decimals);
}

void append_char(std::string& text, char c) {
  if (text.size() < kEquationTextLimit) text += c;
}

double integer_distance(double x) { return std::fabs(x - std::floor(x + 0.5)); }

int64_t integer_gcd(int64_t a, int64_t b) {
  uint64_t x = a < 0 ? 0 - static_cast<uint64_t>(a) : static_cast<uint64_t>(a);
  uint64_t y = b < 0 ? 0 - static_cast<uint64_t>(b) : static_cast<uint64_t>(b);
  while (y) {
    const uint64_t t = x % y;
    x = y;
    y = t;
  }
  return static_cast<int64_t>(x);
}

bool rational_approximation(double x, int n, int64_t* p, int64_t* q) {
  if (!std::isfinite(x)) return false;
  if (std::fabs(x) < 1e-10) {
    *p = 0, *q = 1;
    return true;
  }
  const double limit = std::pow(10.0, std::min(n, 18));
  // Convergents h/k of the continued fraction of x.
  double h0 = 1, h1 = std::floor(x), k0 = 0, k1 = 1;
  double rest = x - std::floor(x);
  for (int step = 0; step < 64; ++step) {
    if (std::fabs(h1 / k1 - x) <= 1e-10) {
      if (k1 >= limit || std::fabs(h1) > 9.2e18) return false;
      *p = static_cast<int64_t>(h1), *q = static_cast<int64_t>(k1);
      return true;
    }
    if (rest == 0) break;
    const double inv = 1 / rest;
    const double a = std::floor(inv);
    rest = inv - a;
    const double h2 = a * h1 + h0, k2 = a * k1 + k0;
    h0 = h1, h1 = h2, k0 = k1, k1 = k2;
    if (k1 >= limit) return false;
  }
  return false;
}

void scale_to_integers(int count, double* c) {
  double smallest = 0, largest = 0;
  for (int i = 0; i < count; ++i) {
    if (std::fabs(c[i]) < 1e-8) c[i] = 0;
    const double m = std::fabs(c[i]);
    if (m != 0 && (smallest == 0 || m < smallest)) smallest = m;
    largest = std::max(largest, m);
  }
  if (smallest == 0) return;
  for (int i = 0; i < count; ++i) c[i] /= smallest;
  largest /= smallest;
  for (int k = 1; k * largest <= 10000; ++k) {
    bool all = true;
    for (int i = 0; i < count && all; ++i) all = integer_distance(k * c[i]) < 1e-8;
    if (all) {
      for (int i = 0; i < count; ++i) c[i] = near_int(k * c[i]);
      return;
    }
  }
  for (int i = 0; i < count; ++i) c[i] *= 10 / largest;
}

std::string format_decimal(double value, int n) {
  if (n < 0) n = 0;
  if (n > kMaxDecimals) n = kMaxDecimals;
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", n, value);
  std::string s = buffer;
  if (s.find('.') != std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  for (char& c : s)
    if (c == '.') c = decimal_separator;
  return s;
}

std::string format_coefficient_term(double value, int n, double eps) {
  if (!(std::fabs(value) > eps)) return "";
  std::string out = value < 0 ? " - " : " + ";
  const double mag = std::fabs(value);
  if (integer_distance(mag) < eps) {
    out += int_text(static_cast<long long>(near_int(mag)));
    return out;
  }
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, n < 5 ? "%.4f" : "%.16f", mag);
  std::string s = buffer;
  const std::size_t dot = s.find('.');
  if (dot != std::string::npos) {
    s.resize(std::min(s.size(), dot + 1 + static_cast<std::size_t>(std::max(n, 0))));
    if (s.back() == '.') s.pop_back();
    for (char& c : s)
      if (c == '.') c = decimal_separator;
  }
  return out + s;
}

double convert_polar_angle(uint8_t unit_code, std::string* name, double angle) {
  uint8_t unit;
  double factor;
  switch (unit_code) {
    case 2: unit = 2, factor = 200 / kPi; break;
    case 3: unit = 0, factor = 1; break;
    case 4: unit = 3, factor = 1 / kPi; break;
    default: unit = 1, factor = 180 / kPi; break;
  }
  if (name) *name = unit_short_name(static_cast<uint8_t>(0x80 | unit));
  return angle * factor;
}

int simplify_polar_phase(double* phi) {
  const double eps = equation_eps;
  const double p = *phi, h = kPi / 2;
  if (std::fabs(p) < eps) return *phi = 0, 0;
  if (std::fabs(p - h) < eps || std::fabs(p + 3 * h) < eps) return *phi = 0, 1;
  if (std::fabs(p - kPi) < eps || std::fabs(p + kPi) < eps) return *phi = 0, 2;
  if (std::fabs(p - 3 * h) < eps || std::fabs(p + h) < eps) return *phi = 0, 3;
  if (p > 0) {
    if (std::fabs(p - h) < kPi / 4) return *phi = p - h, 1;
    if (p >= 3 * kPi / 4) return *phi = p - kPi, 2;
  } else {
    if (std::fabs(p + h) < kPi / 4) return *phi = p + h, 3;
    if (p + kPi <= kPi / 4) return *phi = p + kPi, 2;
  }
  return 0;
}

namespace {
double wrap_half_open(double phi) {
  while (phi > kPi) phi -= 2 * kPi;
  while (phi <= -kPi) phi += 2 * kPi;
  return phi;
}
}  // namespace

void polar_normal_form(double a, double b, double c, double x0, double y0, double unit_length, bool standard,
                       double unit_angle, double* rho, double* phi) {
  const double g = pixels_per_unit;
  const double s = (c + a * x0 + b * y0) / std::sqrt(a * a + b * b);
  double p = std::atan2(b, -a);
  double mag = std::fabs(s);
  if (!standard && unit_length > 0) {
    mag /= unit_length / g;
    p -= unit_angle;
  }
  *rho = mag / g;
  if (s < 0) p += kPi;
  *phi = wrap_half_open(p);
}

void line_polar_normal_form(double a, double b, double c, double x0, double y0, double* rho, double* phi) {
  const double s = (a * x0 + b * y0 + c) / std::sqrt(a * a + b * b);
  double p = std::atan2(-b, -a);
  *rho = std::fabs(s);
  if (s < 0) p += kPi;
  *phi = wrap_half_open(p);
}

void write_line_equation(double a, double b, double c, uint8_t format, bool polar, uint8_t typeunite) {
  const int n = equation_decimals;
  const double eps = equation_eps;
  if (polar) {
    double rho = a, phi = b;
    if (rho >= eps) {
      const int sel = simplify_polar_phase(&phi);
      put(kernel_string(kRowRadius));
      put(" = ");
      if (sel >= 2) put("-");
      put(format_decimal(rho, n));
      put("/");
      put(function_name(sel));
      put("(");
      put(kernel_string(kRowAngle));
      if (std::fabs(phi) >= eps) {
        put(angle_part(phi, typeunite, n));
        put(")");
      } else {
        const std::size_t open = equation_text.rfind('(');
        if (open != std::string::npos) equation_text[open] = ' ';
      }
      return;
    }
    double t = phi - kPi / 2;
    if (t > kPi) t -= kPi;
    if (t < -kPi) t += kPi;
    if (t > kPi / 2) t -= kPi;
    if (t <= -1.5707963267448966) t += kPi;
    std::string name;
    const double shown = convert_polar_angle(typeunite, &name, t);
    put(kernel_string(kRowAngle));
    put(" = ");
    put(format_decimal(shown, n));
    put(name);
    return;
  }
  if (std::fabs(a) == 0 && std::fabs(b) == 0) {
    put(kernel_string(kRowLineAtInfinity));
    return;
  }
  const double m = std::max({std::fabs(a), std::fabs(b), std::fabs(c)});
  const double coef[3] = {a, b, c};
  const int k = integer_multiplier(coef, 3, m, eps);
  const double scale = k ? k / m : 10 / m;
  a *= scale, b *= scale, c *= scale;
  if (format == kFormSlope) {
    if (k) {
      write_line_slope_integer(static_cast<int>(near_int(a)), static_cast<int>(near_int(b)),
                               static_cast<int>(near_int(c)));
    } else {
      write_line_slope(a, b, c, n, eps);
    }
    return;
  }
  write_line_general(a, b, c, k != 0, n, eps);
}

void format_line_equation(object* eq) {
  if (!eq || eq->nbparents < 1 || !eq->parents || !eq->parents[0]) return;
  const object* line = eq->parents[0];
  set_equation_precision(decimals_of(eq));
  equation_text.clear();
  const bool polar = eq->math.equa.typeunite != 0;
  if ((line->state & OBJ_AT_INFINITY) || !line->valeurs || line->nbvaleurs < 2) {
    put_line_at_infinity(polar);
    return;
  }
  const double g = pixels_per_unit;
  const frame f = frame_of(axes_of(eq));
  const valeur &p = line->valeurs[0], &d = line->valeurs[1];
  if (!polar) {
    double px = p.h, py = -p.v, qx = p.h + d.h, qy = -(p.v + d.v);
    if (!f.standard) {
      // Coordinates in the system, times g so that c / g below is right.
      const double ux = f.uh, uy = -f.uv, wx = f.wh, wy = -f.wv;
      const double det = ux * wy - wx * uy;
      if (det == 0) return;
      auto to_frame = [&](double& x, double& y) {
        const double dx = x - f.oh, dy = y + f.ov;
        const double X = (dx * wy - wx * dy) / det, Y = (ux * dy - dx * uy) / det;
        x = X * g, y = Y * g;
      };
      to_frame(px, py);
      to_frame(qx, qy);
    }
    const double a = qy - py, b = -(qx - px);
    const double c = (-px * a - b * py) / g;
    write_line_equation(a, b, c, eq->math.equa.format, false, 0);
    return;
  }
  const double a = -d.v, b = d.h;
  const double c = -b * p.v - a * p.h;
  if (std::fabs(a) + std::fabs(b) == 0) {
    put(kernel_string(kRowRadius));
    put("=inf");
    return;
  }
  double rho, phi;
  polar_normal_form(a, b, c, f.standard ? 0 : f.oh, f.standard ? 0 : f.ov, std::hypot(f.uh, f.uv), f.standard,
                    std::atan2(-f.uv, f.uh), &rho, &phi);
  write_line_equation(rho, phi, 0, eq->math.equa.format, true, eq->math.equa.typeunite);
}

namespace {

void write_circle_forms(double A, double D, double E, double F, uint8_t format, uint8_t typeunite) {
  const int n = equation_decimals;
  const double eps = equation_eps;
  if (typeunite == 0) {
    if (format == kFormCentre) {
      const double a = D / (-2 * A), b = E / (-2 * A);
      const double r = std::sqrt(std::max(0.0, a * a + b * b - F / A));
      auto part = [&](const char* letter, double v) {
        if (std::fabs(v) <= eps) {
          put(letter);
        } else {
          put("(");
          put(letter);
          put(v > 0 ? " - " : " + ");
          put(format_decimal(std::fabs(v), n));
          put(")");
        }
        put(kSquare);
      };
      part("x", a);
      put(" + ");
      part("y", b);
      put(" = ");
      put(format_decimal(r, n));
      if (std::fabs(r - 1) >= eps) put(kSquare);
      return;
    }
    put("x");
    put(kSquare);
    put("+y");
    put(kSquare);
    const double v[3] = {D / A, E / A, F / A};
    const char* letter[3] = {"x", "y", ""};
    for (int i = 0; i < 3; ++i) {
      if (std::fabs(v[i]) <= eps) continue;
      if (v[i] > 0) put("+");
      put(format_decimal(v[i], n));
      put(letter[i]);
    }
    put(" = 0");
    return;
  }
  const double x0 = D / (-2 * A), y0 = E / (-2 * A);
  const double R = std::sqrt(std::fabs(x0 * x0 + y0 * y0 - F / A));
  const char* radius = kernel_string(kRowRadius);
  const char* angle = kernel_string(kRowAngle);
  if (std::fabs(x0) < 1e-10 && std::fabs(y0) < 1e-10) {
    put(radius);
    put("=");
    put(format_decimal(R, n));
    return;
  }
  double phi = std::atan2(y0, x0);
  const int sel = simplify_polar_phase(&phi);
  auto function_part = [&]() {
    put(function_name(sel));
    put("(");
    put(angle);
    if (std::fabs(phi) >= eps) put(angle_part(phi, typeunite, n));
    put(")");
  };
  if (std::fabs(F) < 1e-10) {
    put(radius);
    put("=");
    if (sel >= 2) put("-");
    put(format_decimal(2 * R, n));
    function_part();
    return;
  }
  const double d = std::sqrt(x0 * x0 + y0 * y0);
  put(radius);
  put(kSquare);
  put(sel >= 2 ? " + " : " - ");
  put(format_decimal(2 * d, n));
  put(radius);
  put("*");
  function_part();
  const double k = d * d - R * R;
  if (k > 0) put("+");
  put(format_decimal(k, n));
  put(" = 0");
}

void write_conic_general(double coef[6]) {
  const int n = equation_decimals;
  const double eps = equation_eps;
  double M = 0;
  for (int i = 0; i < 6; ++i) M = std::max(M, std::fabs(coef[i]));
  if (M == 0) return;
  const int k = integer_multiplier(coef, 6, M, eps);
  const double scale = k ? k / M : 10 / M;
  for (int i = 0; i < 6; ++i) coef[i] *= scale;
  const int L = std::fabs(coef[0]) > eps ? 0 : std::fabs(coef[1]) > eps ? 1 : 2;
  if (coef[L] < 0)
    for (int i = L; i < 6; ++i) coef[i] = -coef[i];
  static const char* const monomial[6] = {" x\x01", " xy", " y\x01", " x", " y", ""};
  bool first = true;
  for (int i = L; i < 6; ++i) {
    std::string term = format_coefficient_term(coef[i], n, eps);
    if (term.empty()) continue;
    if (i < 5 && term.size() == 4 && term[3] == '1') term.resize(2);
    if (first) term = term.size() > 3 ? term.substr(3) : std::string();
    put(term);
    put(first && term.empty() ? monomial[i] + 1 : monomial[i]);
    first = false;
  }
  put(" = 0");
}

void write_conic_reduced(const double c[6]) {
  const int n = equation_decimals;
  const double eps = equation_eps;
  const double A = c[0], C = c[2], D = c[3], E = c[4], F = c[5];
  double x0 = D / (-2 * A), y0 = E / (-2 * C);
  const double K = A * x0 * x0 + C * y0 * y0 - F;
  double p2 = K / A, q2 = K / C;
  char sign = '+';
  int right = 1;
  if (std::fabs(x0) < eps) x0 = 0;
  if (std::fabs(y0) < eps) y0 = 0;
  if (p2 < 0) p2 = -p2, q2 = -q2, right = -1;
  if (q2 < 0) sign = '-', q2 = -q2;
  const double p = std::sqrt(p2), q = std::sqrt(q2);
  auto part = [&](const char* letter, double centre, double semi) {
    if (centre == 0) {
      put(letter);
    } else {
      put("(");
      put(letter);
      put(format_coefficient_term(-centre, n, eps));
      put(")");
    }
    put(kSquare);
    const std::string t = format_coefficient_term(semi, n, eps);
    if (t != " + 1" && t.size() > 3) {
      put("/");
      put(t.substr(3));
      put(kSquare);
    }
  };
  part("x", x0, p);
  put(' ');
  put(sign);
  put(' ');
  part("y", y0, q);
  put(right < 0 ? " = -1" : " = 1");
}

void write_conic_polar(int16_t kind, const conic_focal_data& fd, uint8_t typeunite) {
  const int n = equation_decimals;
  const double eps = equation_eps;
  double f, e, l;
  if (kind == kConicParabola) {
    f = fd.pa / 2, e = 1, l = fd.pa;
  } else {
    f = std::sqrt(std::fabs(1 / fd.pa - 1 / fd.pc));
    e = f / std::sqrt(1 / fd.pa);
    l = std::sqrt(fd.pa) / fd.pc;
  }
  if (fd.unit_length > 0) l /= fd.unit_length;
  const double tol = kind == kConicParabola ? 1e-7 : (eps > 1e-8 ? eps / 100 : eps);
  auto at_origin = [&](double h, double v) { return std::fabs(h - fd.oh) + std::fabs(v - fd.ov) < tol; };
  const bool f1 = at_origin(fd.ch + f * fd.ux, fd.cv + f * fd.uv);
  const bool f2 = kind != kConicParabola && at_origin(fd.ch - f * fd.ux, fd.cv - f * fd.uv);
  if (!std::isfinite(l) || !std::isfinite(e) || (!f1 && !f2)) {
    put(kernel_string(kRowNoEquation));
    return;
  }
  const bool hyperbola = kind == kConicHyperbola || kind == kConicRectHyperbola;
  double phi;
  if (kind == kConicParabola) phi = std::atan2(fd.uv, -fd.ux);
  else if (f1) phi = hyperbola ? std::atan2(fd.uv, -fd.ux) : std::atan2(-fd.uv, fd.ux);
  else phi = hyperbola ? std::atan2(-fd.uv, fd.ux) : std::atan2(fd.uv, -fd.ux);
  phi -= fd.unit_angle;
  phi = wrap_half_open(phi);
  put(kernel_string(kRowRadius));
  put("=");
  put(format_decimal(l, n));
  put("/(1+");
  const std::size_t plus = equation_text.size() - 1;
  if (std::fabs(1 - e) > eps) put(format_decimal(e, n));
  const int sel = simplify_polar_phase(&phi);
  if (sel >= 2 && plus < equation_text.size()) equation_text[plus] = '-';
  put(function_name(sel));
  if (std::fabs(phi) <= eps) {
    put(' ');
    put(kernel_string(kRowAngle));
    put(")");
    return;
  }
  put("(");
  put(kernel_string(kRowAngle));
  put(angle_part(phi, typeunite, n));
  put("))");
}

// A line of a pair, in the frame, written in form 0 (cartesian) or as its
// normal form (polar); the text returned, the shared text left untouched.
std::string line_text(double a, double b, double c, bool polar, uint8_t typeunite) {
  const std::string saved = equation_text;
  equation_text.clear();
  if (polar) {
    if (a == 0 && b == 0) {
      put(kernel_string(kRowLineAtInfinity));
    } else {
      double rho, phi;
      line_polar_normal_form(a, b, c, 0, 0, &rho, &phi);
      write_line_equation(rho, phi, 0, 0, true, typeunite);
    }
  } else {
    write_line_equation(a, b, c, kFormGeneral, false, 0);
  }
  std::string out = equation_text;
  equation_text = saved;
  return out;
}

std::string without_tail(std::string s) {
  if (s.size() >= 4 && s.compare(s.size() - 4, 4, " = 0") == 0) s.resize(s.size() - 4);
  return s;
}

void write_line_pair(const double l1[3], const double l2[3], int16_t kind, uint8_t typeunite) {
  const bool polar = typeunite != 0;
  const std::string first = line_text(l1[0], l1[1], l1[2], polar, typeunite);
  if (kind == kConicLine) {
    put(first);
    put(kernel_string(kRowJoin));
    put_line_at_infinity(polar);
    return;
  }
  const std::string second = line_text(l2[0], l2[1], l2[2], polar, typeunite);
  if (polar) {
    put(first);
    if (kind != kConicDoubleLine) {
      put(kernel_string(kRowJoin));
      put(second);
    }
    return;
  }
  const std::string infinity = kernel_string(kRowLineAtInfinity);
  const bool first_inf = !infinity.empty() && first.find(infinity) != std::string::npos;
  const bool second_inf = !infinity.empty() && second.find(infinity) != std::string::npos;
  if (first_inf) {
    put(infinity);
    put(kind == kConicDoubleLine ? " (double)" : kernel_string(kRowJoin));
    if (kind != kConicDoubleLine) put(second);
    return;
  }
  const std::string a = without_tail(first);
  if (second_inf && kind != kConicDoubleLine) {
    put(a);
    put(" = 0 and ");
    put(infinity);
    return;
  }
  if (a.size() == 1) {
    put(a);
    put(" (");
  } else {
    put("(");
    put(a);
    put(") (");
  }
  if (kind == kConicDoubleLine) {
    if (equation_text.size() >= 2) equation_text.resize(equation_text.size() - 2);
    put(kSquare);
    put(" = 0");
    return;
  }
  const std::string b = without_tail(second);
  if (b.size() <= 2) {
    if (!equation_text.empty() && equation_text.back() == '(') equation_text.pop_back();
    put(b);
  } else {
    put(b);
    put(")");
  }
  put(" = 0");
}

}  // namespace

void write_conic_frame_text(const double coef[6], int16_t kind, uint8_t format, uint8_t typeunite,
                            const conic_focal_data* focal) {
  const double eps = equation_eps;
  const double A = coef[0], B = coef[1], C = coef[2];
  if (std::fabs(A - C) < eps && std::fabs(B) < eps && std::fabs(A) > 1e-10 && std::fabs(C / A - 1) <= 1e-10) {
    write_circle_forms(A, coef[3], coef[4], coef[5], format, typeunite);
    return;
  }
  if (typeunite != 0) {
    if (focal && kind != kConicCircle) write_conic_polar(kind, *focal, typeunite);
    else put(kernel_string(kRowNoEquation));
    return;
  }
  double c[6];
  std::copy(coef, coef + 6, c);
  double M = 0;
  for (double v : c) M = std::max(M, std::fabs(v));
  if (format == kFormReduced && M > 0 && std::fabs(B) / M < eps / 10 && std::fabs(A) > eps && std::fabs(C) > eps) {
    write_conic_reduced(c);
    return;
  }
  write_conic_general(c);
}

void format_equation_text(object* eq) {
  if (!eq) return;
  set_equation_precision(decimals_of(eq));
  equation_text.clear();
  const double g = pixels_per_unit;
  const frame f = frame_of(axes_of(eq));
  const uint8_t format = eq->math.equa.format, typeunite = eq->math.equa.typeunite;
  const int16_t kind = conic_kind;
  const double a = conic_a, b = conic_b, c = conic_c, d = conic_d, e = conic_e, ff = conic_f;
  const bool pair = kind == kConicParallelLines || kind == kConicDoubleLine || kind == kConicCrossingLines ||
                    kind == kConicLine;
  if (pair) {
    double l[2][3] = {{a, b, c}, {d, e, ff}};
    for (auto& line : l) {
      if (f.standard) {
        line[1] = -line[1];
        line[2] /= g;
      } else {
        const double det = f.uh * f.wv - f.wh * f.uv;
        if (det == 0) return;
        const double x = (line[0] * f.uh + line[1] * f.uv) / g, y = (line[0] * f.wh + line[1] * f.wv) / g;
        line[2] = (line[0] * f.oh + line[1] * f.ov + line[2]) / g;
        line[0] = x, line[1] = y;
      }
    }
    write_line_pair(l[0], l[1], kind, typeunite);
    return;
  }
  if (!(kind == kConicEllipse || kind == kConicCircle || kind == kConicHyperbola || kind == kConicRectHyperbola ||
        kind == kConicParabola))
    return;
  // Standard frame: centimetres, vertical axis upwards.
  const double s[6] = {a, -2 * b, c, 2 * d / g, -2 * e / g, ff / (g * g)};
  double coef[6];
  if (f.standard) {
    std::copy(s, s + 6, coef);
  } else {
    const double ox = f.oh / g, oy = -f.ov / g;
    const double ux = f.uh / g, uy = -f.uv / g, wx = f.wh / g, wy = -f.wv / g;
    if (ux * wy - wx * uy == 0) return;
    // x = ox + X ux + Y wx, y = oy + X uy + Y wy into the polynomial.
    const double A = s[0], B = s[1], C = s[2], D = s[3], E = s[4], F = s[5];
    coef[0] = A * ux * ux + B * ux * uy + C * uy * uy;
    coef[1] = 2 * A * ux * wx + B * (ux * wy + uy * wx) + 2 * C * uy * wy;
    coef[2] = A * wx * wx + B * wx * wy + C * wy * wy;
    coef[3] = 2 * A * ox * ux + B * (ox * uy + oy * ux) + 2 * C * oy * uy + D * ux + E * uy;
    coef[4] = 2 * A * ox * wx + B * (ox * wy + oy * wx) + 2 * C * oy * wy + D * wx + E * wy;
    coef[5] = A * ox * ox + B * ox * oy + C * oy * oy + D * ox + E * oy + F;
  }
  conic_focal_data fd{};
  const conic_focal_data* focal = nullptr;
  const object* conic = eq->nbparents > 0 && eq->parents ? eq->parents[0] : nullptr;
  if (typeunite != 0 && conic && conic->otype && conic->otype->id == TYPE_CONIC && conic->valeurs &&
      conic->nbvaleurs >= 5) {
    const valeur* v = conic->valeurs;
    fd.ux = v[2].h, fd.uv = v[2].v, fd.pa = v[2].info.rayon, fd.pc = v[3].info.rayon;
    fd.ch = v[4].h, fd.cv = v[4].v;
    fd.oh = f.standard ? 0 : f.oh, fd.ov = f.standard ? 0 : f.ov;
    fd.unit_length = f.standard ? g : std::hypot(f.uh, f.uv);
    fd.unit_angle = f.standard ? 0 : std::atan2(-f.uv, f.uh);
    focal = &fd;
  }
  write_conic_frame_text(coef, kind, format, typeunite, focal);
}

namespace {
// Diagonal sizes of the reduced sample matrix (rows of norm 1): below the
// first before the end, the samples leave several curves open; below the
// second at the end, the degree fits.
constexpr double kFlatDiagonal = 1e-15;
constexpr double kFitDiagonal = 1e-9;
}  // namespace

namespace {
// The 28 monomials of degree up to 6 at (x, y), in the order of the fit.
void monomials(double x, double y, double* out) {
  double xp[7] = {1}, yp[7] = {1};
  for (int k = 1; k <= 6; ++k) xp[k] = xp[k - 1] * x, yp[k] = yp[k - 1] * y;
  int at = 0;
  for (int k = 0; k <= 6; ++k)
    for (int j = 0; j <= k; ++j) out[at++] = xp[k - j] * yp[j];
}
}  // namespace

int fit_locus_polynomial(const double* x, const double* y, int n, int max_degree, int* degree, double coef[28]) {
  while (max_degree >= 1 && n < (max_degree + 1) * (max_degree + 2) / 2 + 2) --max_degree;
  if (max_degree < 1) return kLocusTooFewPoints;
  std::vector<double> mono(static_cast<std::size_t>(n) * 28);
  for (int i = 0; i < n; ++i) monomials(x[i], y[i], &mono[static_cast<std::size_t>(i) * 28]);
  std::vector<double> cols;
  for (int d = 1; d <= max_degree; ++d) {
    const int m = (d + 1) * (d + 2) / 2;
    // Column-major: column c holds monomial c of every point; each point's
    // row is brought to norm 1.
    cols.assign(static_cast<std::size_t>(n) * m, 0);
    auto at = [&](int i, int c) -> double& { return cols[static_cast<std::size_t>(c) * n + i]; };
    for (int i = 0; i < n; ++i) {
      const double* r = &mono[static_cast<std::size_t>(i) * 28];
      double norm = 0;
      for (int c = 0; c < m; ++c) norm += r[c] * r[c];
      const double inv = norm > 0 ? 1 / std::sqrt(norm) : 0;
      for (int c = 0; c < m; ++c) at(i, c) = r[c] * inv;
    }
    // Householder QR bringing forward, at each step, the remaining monomial
    // column of largest norm: a dependence among the monomials then shows
    // as small diagonal elements at the end, whichever monomials it uses.
    int perm[28];
    double norms[28], first_norms[28];
    for (int c = 0; c < m; ++c) {
      perm[c] = c;
      const double* col = &at(0, c);
      double s = 0;
      for (int i = 0; i < n; ++i) s += col[i] * col[i];
      norms[c] = first_norms[c] = s;
    }
    bool flat = false;
    const int steps = std::min(m, n);
    for (int c = 0; c < steps; ++c) {
      int best = c;
      for (int k = c + 1; k < m; ++k)
        if (norms[k] > norms[best]) best = k;
      if (best != c) {
        std::swap_ranges(&at(0, best), &at(0, best) + n, &at(0, c));
        std::swap(perm[best], perm[c]);
        std::swap(norms[best], norms[c]);
        std::swap(first_norms[best], first_norms[c]);
      }
      double* v = &at(0, c);
      double remaining = 0;
      for (int i = c; i < n; ++i) remaining += v[i] * v[i];
      double alpha = std::sqrt(remaining);
      if (v[c] > 0) alpha = -alpha;
      v[c] -= alpha;
      double vnorm2 = 0;
      for (int i = c; i < n; ++i) vnorm2 += v[i] * v[i];
      if (vnorm2 > 0) {
        for (int k = c + 1; k < m; ++k) {
          double* col = &at(0, k);
          double d0 = 0, d1 = 0, d2 = 0, d3 = 0;
          int i = c;
          for (; i + 3 < n; i += 4) {
            d0 += v[i] * col[i];
            d1 += v[i + 1] * col[i + 1];
            d2 += v[i + 2] * col[i + 2];
            d3 += v[i + 3] * col[i + 3];
          }
          for (; i < n; ++i) d0 += v[i] * col[i];
          const double f = 2 * ((d0 + d1) + (d2 + d3)) / vnorm2;
          for (int i = c; i < n; ++i) col[i] -= f * v[i];
        }
      }
      // The remaining norms lose the row just fixed; one that has lost
      // nearly everything is summed again rather than trusted.
      for (int k = c + 1; k < m; ++k) {
        const double* col = &at(0, k);
        norms[k] -= col[c] * col[c];
        if (norms[k] < 1e-6 * first_norms[k]) {
          double s = 0;
          for (int i = c + 1; i < n; ++i) s += col[i] * col[i];
          norms[k] = s;
        }
      }
      v[c] = alpha;
      for (int i = c + 1; i < n; ++i) v[i] = 0;
      if (c < m - 1 && std::fabs(alpha) / m < kFlatDiagonal) {
        flat = true;
        break;
      }
    }
    if (flat) return kLocusTooFewPoints;
    if (std::fabs(at(m - 1, m - 1)) >= kFitDiagonal) continue;
    // Back-substitution with the last coefficient 1.
    double solved[28];
    solved[m - 1] = 1;
    for (int r = m - 2; r >= 0; --r) {
      double s = 0;
      for (int k = r + 1; k < m; ++k) s += at(r, k) * solved[k];
      solved[r] = -s / at(r, r);
    }
    for (int c = 0; c < m; ++c) coef[perm[c]] = solved[c];
    scale_to_integers(m, coef);
    double mean = 0;
    for (int i = 0; i < n; ++i) {
      const double* r = &mono[static_cast<std::size_t>(i) * 28];
      double v = 0;
      for (int c = 0; c < m; ++c) v += coef[c] * r[c];
      mean += std::fabs(v);
    }
    if (!(mean / n <= 1.0)) return kLocusNoPolynomial;
    *degree = d;
    return kLocusFitted;
  }
  return kLocusNoPolynomial;
}

int write_locus_polynomial(int d, const double* coef) {
  const int n = equation_decimals;
  const double eps = equation_eps;
  const int m = (d + 1) * (d + 2) / 2;
  std::vector<double> c(coef, coef + m);
  bool integral = true;
  for (double v : c) integral = integral && integer_distance(v) < eps;
  // "y = " when y appears alone: its linear coefficient, none of degree 2+.
  auto solvable = [&](bool for_y) {
    const double lin = c[for_y ? 2 : 1];
    if (std::fabs(lin) < eps) return false;
    for (int k = 2; k <= d; ++k)
      for (int j = 0; j <= k; ++j) {
        const bool has = for_y ? j > 0 : k - j > 0;
        if (has && std::fabs(c[k * (k + 1) / 2 + j]) >= eps) return false;
      }
    return true;
  };
  const bool y_form = solvable(true);
  if (y_form || solvable(false)) {
    const char* letter = y_form ? "x" : "y";
    double D = c[y_form ? 2 : 1];
    if (D < 0)
      for (double& v : c) v = -v;
    D = std::fabs(D);
    put(y_form ? "y = " : "x = ");
    bool first = true;
    for (int k = d; k >= 0; --k) {
      const int idx = k == 0 ? 0 : k * (k + 1) / 2 + (y_form ? 0 : k);
      const double v = -c[idx], q = v / D;
      if (std::fabs(q) < eps) continue;
      std::string term;
      if (k > 0 && std::fabs(std::fabs(q) - 1) < eps) {
        term = q < 0 ? " -" : " +";
      } else if (!integral) {
        term = format_coefficient_term(q, n, eps);
      } else {
        const long long V = static_cast<long long>(v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5));
        const long long W = static_cast<long long>(std::floor(D + 0.5));
        const long long gg = std::max<long long>(1, integer_gcd(V, W));
        term = (V < 0 ? " - " : " + ") + int_text(std::llabs(V) / gg);
        if (W / gg > 1) term += "/" + int_text(W / gg);
      }
      if (first && q >= 0) term = term.size() > 3 ? term.substr(3) : std::string();
      put(term);
      if (k > 0) {
        put(' ');
        put(letter);
        if (k > 1) put(static_cast<char>(k - 1));
      }
      first = false;
    }
    if (first) put("0");
    return kLocusFitted;
  }
  int lead = -1;
  for (int j = 0; j <= d; ++j)
    if (std::fabs(c[d * (d + 1) / 2 + j]) > eps) {
      lead = j;
      break;
    }
  if (lead < 0) return kLocusNoText;
  if (c[d * (d + 1) / 2 + lead] < 0)
    for (double& v : c) v = -v;
  bool first = true;
  for (int k = d; k >= 0; --k)
    for (int j = 0; j <= k; ++j) {
      const double v = c[k * (k + 1) / 2 + j];
      if (std::fabs(v) < eps) continue;
      std::string term;
      if (k > 0 && std::fabs(std::fabs(v) - 1) < eps) term = v < 0 ? " -" : " +";
      else term = format_coefficient_term(v, n, eps);
      if (first) term = term.size() > 3 ? term.substr(3) : std::string();
      put(term);
      first = false;
      if (k == 0) continue;
      put(' ');
      if (k - j > 0) {
        put('x');
        if (k - j > 1) put(static_cast<char>(k - j - 1));
      }
      if (j > 0) {
        put('y');
        if (j > 1) put(static_cast<char>(j - 1));
      }
    }
  put(" = 0");
  return kLocusFitted;
}

int format_locus_equation(object* eq) {
  if (!eq || eq->nbparents < 1 || !eq->parents || !eq->parents[0]) return kLocusNoPolynomial;
  set_equation_precision(decimals_of(eq));
  equation_text.clear();
  if (eq->math.equa.typeunite != 0) {
    put(kernel_string(kRowNoEquation));
    return kLocusNoPolynomial;
  }
  const double g = pixels_per_unit;
  const frame f = frame_of(axes_of(eq));
  const double ux = f.uh / g, uy = -f.uv / g, wx = f.wh / g, wy = -f.wv / g;
  const double det = ux * wy - wx * uy;
  if (std::fabs(det) < 1e-6) return kLocusBadFrame;
  object* locus = eq->parents[0];
  if (locus_value_count(locus) != 1) {
    put(kernel_string(kRowNoEquation));
    return kLocusNoPolynomial;
  }
  valeur buffer[84];
  valeur* samples = buffer;
  const int16_t count = locus_sample(locus, 84, &samples);
  double xs[84], ys[84];
  int n = 0;
  for (int i = 0; i < count && i < 84 && samples; ++i) {
    const valeur& v = samples[i];
    if ((v.infini_inexist_indetermine & VAL_AT_INFINITY) || !std::isfinite(v.h) || !std::isfinite(v.v)) continue;
    const double px = v.h / g - f.oh / g * !f.standard, py = -v.v / g + f.ov / g * !f.standard;
    if (f.standard) {
      xs[n] = px, ys[n] = py;
    } else {
      xs[n] = (px * wy - wx * py) / det;
      ys[n] = (ux * py - px * uy) / det;
    }
    ++n;
  }
  int degree = 0;
  double coef[28];
  int code = fit_locus_polynomial(xs, ys, n, 6, &degree, coef);
  if (code == kLocusFitted) code = write_locus_polynomial(degree, coef);
  else if (code == kLocusNoPolynomial) put(kernel_string(kRowNoEquation));
  return code;
}
