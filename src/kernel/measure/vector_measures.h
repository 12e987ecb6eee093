// Measures of pairs of vectors that the geometry uses to decide whether two
// directions are parallel or perpendicular. Norms are Manhattan norms
// (|x| + |y|), so the measures are cheap and scale-free.
#pragma once

// |u x w| / (|u| |w|); the raw |u x w| when the product of the norms is at
// most 1e-10. Two directions are parallel when it is below 1e-10.
double vector_cross_normalized(double ux, double uy, double wx, double wy);
// |u . w| / (|u| |w|); the raw |u . w| when the product of the norms is at
// most 1e-10.
double vector_dot_normalized(double ux, double uy, double wx, double wy);
// Cosine of the angle between u and w (Euclidean norms).
double vector_cos_angle(double ux, double uy, double wx, double wy);
