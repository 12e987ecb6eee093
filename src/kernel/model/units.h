// Length of one unit of the default coordinate system, in figure pixels
// (pixels per centimetre). Set at start-up from the screen resolution.
#pragma once

extern double pixels_per_unit;
// Back to the length of start-up, before the screen is known.
void reset_pixels_per_unit();
// Figure pixels that make one point (1/72 inch) of paper: a figure printed
// at this scale has on paper the lengths its measures state.
double figure_pixels_per_point();

// Figure files keep the values a construction computes (a point on an
// object) on a grid of this step, in figure pixels: such a value read back
// and computed again comes back to the same grid value, so an unchanged
// figure saves the same bytes.
inline constexpr double kFileValueStep = 1.0 / 1048576;
// The grid value nearest to a value in figure pixels (a value too large
// for the grid, or not finite, as it is).
double file_grid_value(double pixels);
// How far the point (h, v) lies inside the cell of that grid about the
// grid point (ch, cv), in steps of the grid: 0.5 at its centre, negative
// outside, minus infinity when the point is not finite.
double file_cell_depth(double h, double v, double ch, double cv);
// A value read back is computed again from what it gives (a place along an
// object, a direction); what it gives is taken where the value computed
// again falls at least this deep inside the cell of the value read, so
// that later computations, off by a few units of the last digit, still
// write the same grid value.
inline constexpr double kFileCellDeepEnough = 0.05;
// Of the points spread evenly over the file cell about (ch, cv), five by
// five, the one that `depth` puts deeper than `best` and deepest, tried
// until one is deep enough: true with it in (h, v) and its depth in
// `best`, false when none beats `best`.
template <class Depth>
bool deepest_in_file_cell(double ch, double cv, double& best, Depth depth, double* h, double* v) {
  constexpr int kSteps = 5;
  bool found = false;
  for (int i = 0; i < kSteps && best < kFileCellDeepEnough; ++i)
    for (int j = 0; j < kSteps && best < kFileCellDeepEnough; ++j) {
      const double th = ch + kFileValueStep * ((i + 0.5) / kSteps - 0.5);
      const double tv = cv + kFileValueStep * ((j + 0.5) / kSteps - 0.5);
      const double d = depth(th, tv);
      if (d > best) best = d, *h = th, *v = tv, found = true;
    }
  return found;
}
