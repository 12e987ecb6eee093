#include "kernel/model/units.h"

// 96 dots per inch until the screen is known.
namespace {
constexpr double kStartUpPixelsPerUnit = 38.0;
}  // namespace

double pixels_per_unit = kStartUpPixelsPerUnit;

void reset_pixels_per_unit() { pixels_per_unit = kStartUpPixelsPerUnit; }
