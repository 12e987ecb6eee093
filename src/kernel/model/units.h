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
