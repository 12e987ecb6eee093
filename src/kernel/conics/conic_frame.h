// The frame of a conic (origin, unit axes u and v = u turned a quarter
// turn, two parameters) and the stand-alone classification of the
// workspace equation. A point of a central conic is origin + X u + Y v with
// X^2 a + Y^2 b = 1.
#pragma once

#include <cstdint>

// Axes of an ellipse or hyperbola: needs a non-zero conic_delta and conic_det.
void conic_axes();

// Vertex, axis and parameter of a parabola; may negate the equation.
// Returns false (writing nothing but the scratch point) when the vertex is
// not defined by the equation.
bool parabola_frame();

// Classifies the workspace equation with one tolerance; may rewrite it.
int16_t conic_classify();
