#include "kernel/model/units.h"

#include <cmath>

// 96 dots per inch until the screen is known.
namespace {
constexpr double kStartUpPixelsPerUnit = 38.0;
constexpr double kPointsPerCentimetre = 72.0 / 2.54;
}  // namespace

double pixels_per_unit = kStartUpPixelsPerUnit;

void reset_pixels_per_unit() { pixels_per_unit = kStartUpPixelsPerUnit; }

double figure_pixels_per_point() {
  return pixels_per_unit > 0 ? pixels_per_unit / kPointsPerCentimetre : kStartUpPixelsPerUnit / kPointsPerCentimetre;
}

double file_grid_value(double pixels) {
  if (!(std::fabs(pixels) < 4294967296.0)) return pixels;
  return std::nearbyint(pixels / kFileValueStep) * kFileValueStep;
}

double file_cell_depth(double h, double v, double ch, double cv) {
  if (!std::isfinite(h) || !std::isfinite(v)) return -HUGE_VAL;
  return (kFileValueStep / 2 - std::fmax(std::fabs(h - ch), std::fabs(v - cv))) / kFileValueStep;
}
