#include "kernel/tools/polygon_vertices.h"

#include <cmath>

#include "kernel/model/figure.h"

int16_t compute_polygon_vertices(int16_t n, valeur* values) {
  if (!values || n <= 0) return n;
  const valeur& centre = values[n + 1];
  const valeur& start = values[n];
  const double r = centre.info.rayon;
  const double step = start.info.rayon;
  double angle = std::atan2(start.v - centre.v, start.h - centre.h);
  for (int16_t k = 0; k < n; ++k) {
    valeur& vertex = values[k];
    angle += step;
    if (r < 1e-10) {
      vertex.h = centre.h;
      vertex.v = centre.v;
    } else {
      vertex.h = centre.h + r * std::cos(angle);
      vertex.v = centre.v + r * std::sin(angle);
    }
    vertex.infini_inexist_indetermine = 0;
  }
  return n;
}
