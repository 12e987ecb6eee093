// The vertices of a regular polygon from its centre, one vertex and the
// angular step, shared by the regular-polygon tool and the computation of
// the polygon's points.
#pragma once

#include <cstdint>

struct valeur;

// values[n + 1] holds the centre (h, v) and the circumradius (rayon);
// values[n] holds the starting vertex and the angular step (rayon). Places
// values 0..n-1 on that circle, adding the step before each vertex, so that
// vertex n - 1 comes back to the starting vertex after a whole number of
// turns. Every vertex is the centre when the radius is below 1e-10. Returns n.
int16_t compute_polygon_vertices(int16_t n, valeur* values);
