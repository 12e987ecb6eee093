// Conversions of figure coordinates to whole pixels that stay defined for
// any double: a value that is not a number becomes 0 and a huge one is held
// at +-2^30, far outside any device, so that no conversion overflows.
#pragma once

#include <cmath>
#include <cstdint>

inline constexpr double kPixelLimit = 1073741824.0;  // 2^30

// floor(v + 0.5), the rounding of every figure-to-pixel conversion.
inline int32_t round_pixel(double v) {
  if (!(v == v)) return 0;
  const double r = std::floor(v + 0.5);
  if (r > kPixelLimit) return static_cast<int32_t>(kPixelLimit);
  if (r < -kPixelLimit) return static_cast<int32_t>(-kPixelLimit);
  return static_cast<int32_t>(r);
}

// The integer part, toward zero.
inline int32_t trunc_pixel(double v) {
  if (!(v == v)) return 0;
  if (v > kPixelLimit) return static_cast<int32_t>(kPixelLimit);
  if (v < -kPixelLimit) return static_cast<int32_t>(-kPixelLimit);
  return static_cast<int32_t>(v);
}

// floor(v + 0.5) on 64 bits, held at +-2^62.
inline int64_t round_wide(double v) {
  constexpr double limit = 4611686018427387904.0;  // 2^62
  if (!(v == v)) return 0;
  const double r = std::floor(v + 0.5);
  if (r > limit) return static_cast<int64_t>(limit);
  if (r < -limit) return static_cast<int64_t>(-limit);
  return static_cast<int64_t>(r);
}
