#include "kernel/tools/direction_snap.h"

#include <cmath>

#include "kernel/model/units.h"

void snap_direction(double* dx, double* dy, double* length, bool snap_length) {
  constexpr double kTwoPi = 2 * M_PI;
  constexpr double kHalfStep = kTwoPi / 48;
  double a = std::atan2(*dy, *dx);
  if (a < 0) a += kTwoPi;
  double theta = 0;
  for (int k = 0; k <= 48; k += 2) {
    theta = k * kTwoPi / 48;
    if (std::fabs(a - theta) <= kHalfStep) break;
  }
  // The larger component keeps its length, so a grid-aligned drag stays on
  // whole pixels.
  double l = std::fmax(std::fabs(*dx), std::fabs(*dy));
  double x = l * std::cos(theta), y = l * std::sin(theta);
  if (std::fabs(x) < 1e-10) {
    x = 0;
    l = std::fabs(y);
  } else if (std::fabs(y) < 1e-10) {
    y = 0;
    l = std::fabs(x);
  } else if (std::fabs(std::fabs(x) - std::fabs(y)) < 1e-10) {
    y = std::copysign(std::fabs(x), y);
    l = std::fabs(x) * std::sqrt(2.0);
  }
  if (snap_length && l > 1e-10 && pixels_per_unit > 0) {
    double m = std::round(l / pixels_per_unit);
    if (m < 1) m = 1;
    const double target = m * pixels_per_unit;
    x *= target / l;
    y *= target / l;
    l = target;
  }
  *dx = x;
  *dy = y;
  if (length) *length = l;
}
