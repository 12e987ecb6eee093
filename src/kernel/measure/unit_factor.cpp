#include "kernel/measure/unit_factor.h"

#include <cmath>
#include <numbers>

#include "kernel/model/figure.h"
#include "kernel/model/units.h"

unsigned angle_unit_pref = 1;

void measure_unit_factor(const object* obj, double* factor) {
  *factor = measure_unit_factor(obj);
}

double measure_unit_factor(const object* obj) {
  if (!obj) return 1;
  const unsigned kind = obj->settings.unite >> 5;
  const unsigned unit = obj->settings.unite & 31;
  switch (kind) {
    case 1:
    case 2: {
      double f = 1;
      if (unit == 0) f = 0.1;
      else if (unit == 2) f = 100;
      else if (unit == 3) f = 100000;
      f *= pixels_per_unit;
      return kind == 2 ? f * f : f;
    }
    case 4:
      if (unit == 1) return 0.017453292519943295;
      if (unit == 2) return 0.015707963267948967;
      if (unit == 3) return std::numbers::pi;
      return 1;
    case 5:
      return std::sqrt(pixels_per_unit);
    default:
      return 1;
  }
}
