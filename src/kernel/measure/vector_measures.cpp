#include "kernel/measure/vector_measures.h"

#include <cmath>

namespace {

double manhattan_product(double ux, double uy, double wx, double wy) {
  return (std::fabs(ux) + std::fabs(uy)) * (std::fabs(wx) + std::fabs(wy));
}

}  // namespace

double vector_cross_normalized(double ux, double uy, double wx, double wy) {
  const double cross = std::fabs(ux * wy - uy * wx);
  const double norms = manhattan_product(ux, uy, wx, wy);
  return norms > 1e-10 ? cross / norms : cross;
}

double vector_dot_normalized(double ux, double uy, double wx, double wy) {
  const double dot = std::fabs(ux * wx + uy * wy);
  const double norms = manhattan_product(ux, uy, wx, wy);
  return norms > 1e-10 ? dot / norms : dot;
}

double vector_cos_angle(double ux, double uy, double wx, double wy) {
  return (ux * wx + uy * wy) / (std::sqrt(ux * ux + uy * uy) * std::sqrt(wx * wx + wy * wy));
}
