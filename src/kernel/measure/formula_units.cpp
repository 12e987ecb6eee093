#include "kernel/measure/formula_units.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

#include "kernel/measure/unit_factor.h"
#include "kernel/model/figure.h"
#include "kernel/model/units.h"

const formula_unit formula_dimensionless = {{0, 0, 0, 0}, {1, 1, 1, 1}, 1.0};
char formula_length_family[4] = "";
char formula_angle_family[4] = "";

namespace {

bool fits16(int64_t v) { return v >= INT16_MIN && v <= INT16_MAX; }

// Stores num/den reduced (an exact multiple becomes an integer over 1).
bool store_fraction(formula_unit* r, int d, int64_t num, int64_t den) {
  if (den < 0) {
    num = -num;
    den = -den;
  }
  if (den == 0) return false;
  int64_t a = num < 0 ? -num : num, b = den;
  while (b != 0) {
    const int64_t t = a % b;
    a = b;
    b = t;
  }
  const int64_t g = a == 0 ? den : a;
  num /= g;
  den /= g;
  if (!fits16(num) || !fits16(den)) return false;
  r->num[d] = static_cast<int16_t>(num);
  r->den[d] = static_cast<int16_t>(den);
  return true;
}

void set_family(char* family, const char* word, bool mix_rule) {
  if (!mix_rule || family[0] == '\0') {
    std::strncpy(family, word, 3);
    family[3] = '\0';
  } else if (std::strcmp(family, word) != 0) {
    std::strcpy(family, "mix");
  }
}

struct unit_word {
  const char* text;
  int dimension;
  double per_power;  // in centimetres for lengths, radians for angles
  const char* family;
};

// Longest words first, so that the first match is the longest.
const unit_word kUnitWords[] = {
    {"inches", kUnitLength, 2.54, "inc"},
    {"degree", kUnitAngle, std::numbers::pi / 180, "\xA1"},
    {"miles", kUnitLength, 160934.4, "mil"},
    {"grad", kUnitAngle, std::numbers::pi / 200, "gr"},
    {"mile", kUnitLength, 160934.4, "mil"},
    {"inch", kUnitLength, 2.54, "inc"},
    {"feet", kUnitLength, 30.48, "ft"},
    {"foot", kUnitLength, 30.48, "ft"},
    {"rad", kUnitAngle, 1, "rd"},
    {"deg", kUnitAngle, std::numbers::pi / 180, "\xA1"},
    {"cm", kUnitLength, 1, "cm"},
    {"mm", kUnitLength, 0.1, "mm"},
    {"km", kUnitLength, 100000, "km"},
    {"gr", kUnitAngle, std::numbers::pi / 200, "gr"},
    {"Gr", kUnitAngle, std::numbers::pi / 200, "gr"},
    {"rd", kUnitAngle, 1, "rd"},
    {"Rd", kUnitAngle, 1, "rd"},
    {"m", kUnitLength, 100, "m"},
    {"\"", kUnitLength, 2.54, "inc"},
    {"\xF8", kUnitAngle, std::numbers::pi / 180, "\xA1"},
};

}  // namespace

bool unit_is_dimensionless(const formula_unit& u) {
  return u.num[0] == 0 && u.num[1] == 0 && u.num[2] == 0 && u.num[3] == 0;
}

bool unit_is_pure_angle(const formula_unit& u) {
  return static_cast<int32_t>(u.num[0]) * u.den[0] >= 0 && u.num[1] == 0 && u.num[2] == 0 && u.num[3] == 0;
}

void unit_set_dimensionless(formula_unit* u) { *u = formula_dimensionless; }

int32_t unit_gcd(int32_t a, int32_t b) {
  uint32_t x = static_cast<uint32_t>(a < 0 ? -static_cast<int64_t>(a) : a);
  uint32_t y = static_cast<uint32_t>(b < 0 ? -static_cast<int64_t>(b) : b);
  if (x == 0) return static_cast<int32_t>(y);
  if (y == 0) return static_cast<int32_t>(x);
  int shift = 0;
  while (((x | y) & 1) == 0) {
    x >>= 1;
    y >>= 1;
    ++shift;
  }
  while ((x & 1) == 0) x >>= 1;
  do {
    while ((y & 1) == 0) y >>= 1;
    if (x > y) std::swap(x, y);
    y -= x;
  } while (y != 0);
  return static_cast<int32_t>(x << shift);
}

bool unit_product(formula_unit* result, const formula_unit& a, const formula_unit& b, int sign) {
  formula_unit r = a;
  for (int d = 0; d < 4; ++d) {
    const int64_t num = static_cast<int64_t>(a.num[d]) * b.den[d] + sign * static_cast<int64_t>(b.num[d]) * a.den[d];
    const int64_t den = static_cast<int64_t>(a.den[d]) * b.den[d];
    if (!store_fraction(&r, d, num, den)) return false;
  }
  r.factor = sign > 0 ? a.factor * b.factor : a.factor / b.factor;
  *result = r;
  return true;
}

bool unit_power(formula_unit* result, const formula_unit& a, int32_t p, int32_t q) {
  if (q == 0) return false;
  formula_unit r = a;
  for (int d = 0; d < 4; ++d)
    if (!store_fraction(&r, d, static_cast<int64_t>(a.num[d]) * p, static_cast<int64_t>(a.den[d]) * q)) return false;
  r.factor = std::pow(a.factor, static_cast<double>(p) / q);
  *result = r;
  return true;
}

int unit_compare(const formula_unit& a, const formula_unit& b) {
  if (a.num[0] < 0 || b.num[0] < 0) return -10;
  bool same = true;
  for (int d = 0; d < 4; ++d)
    if (static_cast<int32_t>(a.num[d]) * b.den[d] != static_cast<int32_t>(a.den[d]) * b.num[d]) same = false;
  if (same) return 0;
  if (unit_is_dimensionless(a)) return -1;
  if (unit_is_dimensionless(b)) return 1;
  return -10;
}

bool unit_function_result(formula_unit* result, const formula_unit& argument, int function) {
  switch (function) {
    case 1:  // sqr
      return unit_power(result, argument, 2, 1);
    case 2:  // sqrt
      return unit_power(result, argument, 1, 2);
    case 0:   // fabs
    case 6:   // floor
    case 7:   // ceil
    case 8:   // round
    case 21:  // identite
      *result = argument;
      return true;
    case 10:  // asin
    case 12:  // acos
    case 14:  // atan
      *result = formula_dimensionless;
      result->num[kUnitAngle] = 1;
      return true;
    default:
      *result = formula_dimensionless;
      return true;
  }
}

formula_unit unit_of_object(const object* obj) {
  formula_unit u = formula_dimensionless;
  if (!obj) return u;
  const unsigned kind = obj->settings.unite >> 5;
  const unsigned index = obj->settings.unite & 31;
  static const char* const kLengthWords[] = {"mm", "cm", "m", "km"};
  static const char* const kAngleWords[] = {"rd", "\xA1", "gr"};
  if (kind == 1 || kind == 2) {
    u.num[kUnitLength] = static_cast<int16_t>(kind);
    u.factor = measure_unit_factor(obj);
    set_family(formula_length_family, kLengthWords[index < 4 ? index : 1], false);
  } else if (kind == 4) {
    u.num[kUnitAngle] = 1;
    u.factor = measure_unit_factor(obj);
    if (index < 3) set_family(formula_angle_family, kAngleWords[index], false);
  }
  return u;
}

int scan_unit_word(const char* text, formula_unit* unit) {
  for (const unit_word& w : kUnitWords) {
    const size_t n = std::strlen(w.text);
    if (std::strncmp(text, w.text, n) != 0) continue;
    int exponent = 1;
    size_t used = n;
    if (text[n] == '^' && text[n + 1] >= '0' && text[n + 1] <= '9') {
      exponent = text[n + 1] - '0';
      used = n + 2;
    } else if (text[n] >= '0' && text[n] <= '9') {
      exponent = text[n] - '0';
      used = n + 1;
    }
    *unit = formula_dimensionless;
    if (exponent > 0) {
      unit->num[w.dimension] = static_cast<int16_t>(exponent);
      const double base = w.dimension == kUnitLength ? w.per_power * pixels_per_unit : w.per_power;
      for (int i = 0; i < exponent; ++i) unit->factor *= base;
    }
    set_family(w.dimension == kUnitLength ? formula_length_family : formula_angle_family, w.family, true);
    return static_cast<int>(used);
  }
  return 0;
}
