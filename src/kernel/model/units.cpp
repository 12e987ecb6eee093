#include "kernel/model/units.h"

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
