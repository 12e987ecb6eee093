#include "kernel/render/styled_primitives.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "kernel/model/figure.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"

namespace {

int32_t round_half_up(double v) { return static_cast<int32_t>(std::floor(v + 0.5)); }

// Cuts the line P1 + t (P2 - P1) to the device's pixels, t limited by the
// extent. False when nothing is left.
bool clip(const tagRECT& port, double x1, double y1, double x2, double y2, uint16_t extent, double* t0,
          double* t1) {
  const double dx = x2 - x1, dy = y2 - y1;
  if (dx == 0 && dy == 0) return false;
  constexpr double kInf = std::numeric_limits<double>::infinity();
  double lo = extent == kExtentLine ? -kInf : 0;
  double hi = extent == kExtentSegment ? 1 : kInf;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x1 - port.left, (port.right - 1) - x1, y1 - port.top, (port.bottom - 1) - y1};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0)
      lo = std::max(lo, r);
    else
      hi = std::min(hi, r);
  }
  if (lo > hi) return false;
  *t0 = lo;
  *t1 = hi;
  return true;
}

void plot(DisplayDevice* dd, int32_t x, int32_t y, uint32_t color) {
  const tagRECT& port = dd->portRect;
  if (x < port.left || x >= port.right || y < port.top || y >= port.bottom) return;
  begin_pixel_stroke(dd, x, y, color);
  pen_plot_pixel_a();
}

// One pixel per step along the major axis, `thickness` more on each side
// across it.
void pixel_line(DisplayDevice* dd, double x1, double y1, double x2, double y2, uint32_t color, int thickness) {
  const int32_t ix1 = round_half_up(x1), iy1 = round_half_up(y1);
  const int32_t ix2 = round_half_up(x2), iy2 = round_half_up(y2);
  const int32_t steps = std::max(std::abs(ix2 - ix1), std::abs(iy2 - iy1));
  const bool steep = std::abs(iy2 - iy1) > std::abs(ix2 - ix1);
  for (int32_t k = 0; k <= steps; ++k) {
    const double f = steps ? static_cast<double>(k) / steps : 0;
    const int32_t x = round_half_up(x1 + f * (x2 - x1)), y = round_half_up(y1 + f * (y2 - y1));
    for (int w = -thickness; w <= thickness; ++w) plot(dd, steep ? x + w : x, steep ? y : y + w, color);
  }
}

void dc_segment(DisplayDevice* dd, double x1, double y1, double x2, double y2, uint32_t color, int thickness) {
  const float width = static_cast<float>(std::floor((2 * thickness + 1) * dd->ratio + 0.5));
  KPPen* pen = KPPen::createPen(0, width, rgb_to_bgr_pal(color));
  KPGdiObject* previous = dd->dc->selectObject(pen);
  dd->dc->moveToEx(dd_x(dd, x1), dd_y(dd, y1), nullptr);
  dd->dc->lineTo(dd_x(dd, x2), dd_y(dd, y2));
  if (previous) dd->dc->selectObject(previous);
  DeleteObject(pen);
}

void polygon_in_figure(DisplayDevice* dd, const std::vector<double>& xy, uint32_t color) {
  std::vector<tagPOINT> pts;
  for (size_t i = 0; i + 1 < xy.size(); i += 2) pts.push_back({dd_x(dd, xy[i]), dd_y(dd, xy[i + 1])});
  dc_polygon(dd->dc, pts.data(), static_cast<int>(pts.size()), color, 1);
}

}  // namespace

int32_t draw_segment_styled(DisplayDevice* dd, double x1, double y1, double x2, double y2, uint32_t color,
                            uint8_t thickness, const dot* style, uint16_t extent) {
  if (!dd || !(std::isfinite(x1) && std::isfinite(y1) && std::isfinite(x2) && std::isfinite(y2))) return 0;
  double t0, t1;
  if (!clip(dd->portRect, x1, y1, x2, y2, extent, &t0, &t1)) return 0;
  const double ax = x1 + t0 * (x2 - x1), ay = y1 + t0 * (y2 - y1);
  const double bx = x1 + t1 * (x2 - x1), by = y1 + t1 * (y2 - y1);
  if (dd->bm && dd->bm->pixels && dd->ratio == 1.0) {
    const uint8_t pattern[2] = {style ? style->lg : uint8_t{1}, style ? style->cycle : uint8_t{1}};
    set_dash_pattern(pattern);
    pixel_line(dd, ax, ay, bx, by, color, thickness);
    pixel_pen.dash_active = 0;
  } else if (dd->dc) {
    dc_segment(dd, ax, ay, bx, by, color, thickness);
  }
  figure_changed = 1;
  return 1;
}

void draw_point_mark(DisplayDevice* dd, double x, double y, int16_t angle, int32_t size, uint32_t color,
                     uint16_t shape, const uint8_t* glyph) {
  if (!dd || !dd->dc || std::isnan(x)) return;
  const tagRECT& port = dd->portRect;
  if (!(port.left <= x && x <= port.right && port.top <= y && y <= port.bottom)) return;
  figure_changed = 1;
  if (glyph) {
    const int32_t ox = static_cast<int32_t>((x - port.left) * dd->ratio);
    const int32_t oy = static_cast<int32_t>((y - port.top) * dd->ratio * dd->orientation);
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 8; ++c)
        if (glyph[r] & (0x80 >> c)) dc_pixel(dd->dc, ox + c - 4, oy + r - 4, color);
    return;
  }
  const double a = angle * std::numbers::pi / 180;
  const double ux = std::cos(a), uy = std::sin(a);  // along the angle
  const double nx = -uy, ny = ux;                  // across it
  switch (shape) {
    case kMarkArrow:
    case kMarkArrowLarge: {
      const double len = shape == kMarkArrowLarge ? 12 : 8, half = len / 2;
      polygon_in_figure(dd, {x, y, x - len * ux + half * nx, y - len * uy + half * ny, x - len * ux - half * nx,
                             y - len * uy - half * ny},
                        color);
      break;
    }
    case kMarkTick:
    case kMarkSegment: {
      const double half = 4 + size;
      dc_line(dd->dc, dd_x(dd, x - half * nx), dd_y(dd, y - half * ny), dd_x(dd, x + half * nx),
              dd_y(dd, y + half * ny), color);
      break;
    }
    default: {
      const double h = 1 + std::max(size, 0);
      polygon_in_figure(dd, {x - h, y - h, x + h, y - h, x + h, y + h, x - h, y + h}, color);
      break;
    }
  }
}

int32_t draw_arrow_head(DisplayDevice* dd, double x, double y, uint32_t color, char, int16_t angle, bool thick) {
  if (!dd) return 0;
  const int32_t ix = round_half_up(x), iy = round_half_up(y);
  const tagRECT& port = dd->portRect;
  if (!(iy > port.top && iy < port.bottom - 1 && ix > port.left - 2 && ix <= port.right)) return 0;
  draw_point_mark(dd, x, y, angle, 0, color, thick ? kMarkArrowLarge : kMarkArrow, nullptr);
  return 1;
}

void draw_filled_polygon(DisplayDevice* dd, const double* points, int32_t n, uint32_t color, int8_t opaque) {
  if (!dd || !dd->dc || !points || n < 2) return;
  std::vector<tagPOINT> pts(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) pts[i] = {dd_x(dd, points[2 * i]), dd_y(dd, points[2 * i + 1])};
  dc_polygon(dd->dc, pts.data(), n, color, opaque);
  figure_changed = 1;
}
