// Length of one unit of the default coordinate system, in figure pixels
// (pixels per centimetre). Set at start-up from the screen resolution.
#pragma once

extern double pixels_per_unit;
// Back to the length of start-up, before the screen is known.
void reset_pixels_per_unit();
// Figure pixels that make one point (1/72 inch) of paper: a figure printed
// at this scale has on paper the lengths its measures state.
double figure_pixels_per_point();
