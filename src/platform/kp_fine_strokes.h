// Antialiased strokes one pixel wide written straight into the pixels of an
// image of 32 bits per pixel, giving the very pixels the painter's raster
// engine gives for an opaque solid pen of that width with flat ends:
// - a line is first cut to the image grown by a pixel on each side, one
//   end after the other along x and then along y;
// - its ends are truncated to 64ths of a pixel, and it is walked along the
//   axis on which those ends lie further apart (along x when they are as
//   far apart on both), from its lower end;
// - each column (or row) takes two pixels, shared by the line's place
//   between their centres in 256ths, the end ones scaled by the part of
//   them (in 64ths) the line covers; a pixel takes the colour over what is
//   beneath it, each rounded apart;
// - a curve is halved until both its control points lie within a quarter
//   to a third of a pixel of its chord (at most six times over, into 64
//   pieces), and its pieces are drawn as lines, each on its own.
// The painter does the same work through a blending call per pixel and a
// set-up per stroke; these loops cost a few operations per pixel.
#pragma once

#include <cstdint>

class QPainterPath;

struct KPFinePixels {
  uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int pitch = 0;  // in pixels
};

// A line from (x0, y0) to (x1, y1), in pixels of the image, y down; a line
// from a point to that same point is the whole pixel nearest to it, as the
// painter draws it (a line shorter than a 64th of a pixel is nothing).
void kp_fine_line(const KPFinePixels& target, uint32_t color, double x0, double y0, double x1, double y1);
// Every line and curve of the path, in pixels of the image.
void kp_fine_path(const KPFinePixels& target, uint32_t color, const QPainterPath& path);
