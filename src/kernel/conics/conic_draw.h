// Drawing conics: the draw operation of the conic type and the curve
// drawing the conic tool's preview shares. By kind and by how thin the
// curve is, a conic becomes whole lines (line pairs), a circle, pieces of
// the curve traced inside the drawing window between its crossings with
// the window's border, or straight substitutes for curves too thin to
// trace (the major axis of a very flat ellipse, the asymptotes of a very
// sharp hyperbola).
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

struct DisplayDevice;

// Set when the curve drawn last was thin (a parabola of parameter at most
// 1, an ellipse or hyperbola whose smaller vertex radius is at most 1).
extern uint8_t conic_thin;

// Draw slot of the conic type: two passes when highlighted (background
// colour with the conic's dash, then dashed {3, 8}).
void draw_conic(DisplayDevice* dev, object* conic);
void draw_conic_pass(DisplayDevice* dev, object* conic, const dot* style, uint32_t color);
// The drawing by kind from the workspace; without a conic (the preview)
// nothing is written back and the default conic thickness is used.
void draw_conic_curve(DisplayDevice* dev, object* conic, const dot* style);

// Crossings of the conic (its values, or the workspace when null) with the
// border of conic_window, running round the border from the top left
// corner; at most 8.
int16_t conic_clip_helper(double xs[8], double ys[8], const object* conic);

// The visible pieces of a curved conic, traced. The shape letter: 'E'
// (ellipse, split at the ends of its axes), 'P' (parabola), 'H' (hyperbola),
// anything else pairs the crossings without guide points. Returns the
// number of crossings.
int16_t conic_plot_clipped(DisplayDevice* dev, char shape);
void conic_plot_branch(DisplayDevice* dev, double x1, double y1, double x2, double y2, uint8_t direct);
// A double line, a single point or (from its general equation) a line.
void draw_degenerate_conic(DisplayDevice* dev);
void plot_conic_pixel(DisplayDevice* dev, double x, double y, uint32_t color);
