#include "kernel/render/styled_primitives.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_math.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/tools/draw_feedback.h"

namespace {

// The plot that draw_pixel_line calls at every pixel; chosen per segment.
PenPlot line_plot = pen_plot_pixel_a;

bool pixel_route(const DisplayDevice* dd) { return dd->bm && dd->bm->pixels && dd->ratio == 1.0; }

bool is_finite(double v) { return std::isfinite(v); }

// ---------------------------------------------------------------- clipping

struct crossing_list {
  double x[2];
  double y[2];
  int n = 0;
  void offer(double px, double py) {
    if (n == 2) return;
    if (n == 1 && round_pixel(px) == round_pixel(x[0]) && round_pixel(py) == round_pixel(y[0])) return;
    x[n] = px;
    y[n] = py;
    ++n;
  }
};

}  // namespace

bool clip_line_to_view(const DisplayDevice* dd, double x1, double y1, double x2, double y2, uint16_t kind,
                       clipped_line* out) {
  if (!dd || !out) return false;
  if (!is_finite(x1) || !is_finite(y1) || !is_finite(x2) || !is_finite(y2)) return false;
  const double left = dd->portRect.left;
  const double top = dd->portRect.top;
  const double right = dd->portRect.right;
  const double bottom = dd->portRect.bottom;
  if (kind == kExtentSegment) {
    if ((y1 >= bottom && y2 >= bottom) || (y1 < top && y2 < top) || (x1 < left && x2 < left) ||
        (x1 >= right && x2 >= right))
      return false;
  } else if (kind == kExtentRay) {
    if ((y1 >= bottom && y2 >= y1) || (y1 < top && y1 > y2) || (x1 < left && x1 > x2) ||
        (x1 >= right && x2 >= x1))
      return false;
  }
  const double dx = x2 - x1;
  const double dy = y2 - y1;
  if (dx == 0 && dy == 0) return false;
  if (!is_finite(dx) || !is_finite(dy)) return false;

  const bool steep = dx == 0 || std::fabs(dy / dx) > 1;
  double xl = left, xr = right - 1, yt = top, yb = bottom - 1;
  if (steep) {
    out->sx1 = x1 + dx * (yt - y1) / dy;
    out->sy1 = yt;
    out->sx2 = x1 + dx * (yb - y1) / dy;
    out->sy2 = yb;
  } else {
    out->sx1 = xl;
    out->sy1 = y1 + dy * (xl - x1) / dx;
    out->sx2 = xr;
    out->sy2 = y1 + dy * (xr - x1) / dx;
  }
  out->steep = steep;

  // Narrow the major axis to the part the kind allows.
  if (kind == kExtentRay || kind == kExtentSegment) {
    double& lo = steep ? yt : xl;
    double& hi = steep ? yb : xr;
    const double p1 = steep ? y1 : x1;
    const double p2 = steep ? y2 : x2;
    const bool forward = p2 > p1;
    if (forward) lo = std::max(lo, p1);
    else hi = std::min(hi, p1);
    if (kind == kExtentSegment) {
      if (forward) hi = std::min(hi, p2);
      else lo = std::max(lo, p2);
    }
  }

  double ax, ay, bx, by;
  if (dy == 0) {
    if (!(y1 >= yt && y1 <= yb) || xl > xr) return false;
    ax = xl, ay = y1, bx = xr, by = y1;
  } else if (dx == 0) {
    if (!(x1 >= xl && x1 <= xr) || yt > yb) return false;
    ax = x1, ay = yt, bx = x1, by = yb;
  } else {
    // The point of the line at a given x or y, exact at the endpoints.
    auto x_at = [&](double y) { return y == y1 ? x1 : y == y2 ? x2 : x1 + dx * (y - y1) / dy; };
    auto y_at = [&](double x) { return x == x1 ? y1 : x == x2 ? y2 : y1 + dy * (x - x1) / dx; };
    crossing_list c;
    for (double y : {yt, yb}) {
      const double x = x_at(y);
      if (x >= xl && x <= xr) c.offer(x, y);
    }
    for (double x : {xl, xr}) {
      const double y = y_at(x);
      if (y >= yt && y <= yb) c.offer(x, y);
    }
    if (c.n < 2) return false;
    ax = c.x[0], ay = c.y[0], bx = c.x[1], by = c.y[1];
  }
  if ((bx - ax) * dx + (by - ay) * dy < 0) {
    std::swap(ax, bx);
    std::swap(ay, by);
  }
  out->x1 = ax;
  out->y1 = ay;
  out->x2 = bx;
  out->y2 = by;
  return true;
}

// ------------------------------------------------------------- pixel line

namespace {

// The midpoint walk of draw_pixel_line over any pen: `plot` and
// `major_step` are the pen's operations or their inline copies,
// `minor_step(b)` steps along the minor axis when b is true (an inline copy
// can take it without a branch, which the walk would mispredict at random).
template <class Plot, class Major, class Minor>
[[gnu::always_inline]] inline void walk_pixel_line(int32_t ix1, int32_t iy1, int64_t major_len, int64_t minor_len,
                                                   bool x_major, bool minor_up, double rx1, double ry1, double rx2,
                                                   double ry2, Plot line_plot, Major major_step, Minor minor_step) {
  line_plot();
  if (minor_len == 0 || std::llabs(minor_len) == major_len) {
    for (int64_t i = 0; i < major_len; ++i) {
      major_step();
      minor_step(minor_len != 0);
      line_plot();
    }
    return;
  }
  // Decision from the real line through the support points.
  double DX = (rx2 - rx1) * 100000.0;
  double DY = (ry2 - ry1) * 100000.0;
  if (!x_major) {
    DX = std::floor(DX + 0.5);
    DY = std::floor(DY + 0.5);
  }
  int64_t d, straight, diag;
  if (x_major) {
    if (!minor_up) {
      d = round_wide(2 * DY * (ix1 + 1 - rx1) - 2 * DX * (iy1 - ry1) - DX);
      straight = round_wide(2 * DY);
      diag = round_wide(2 * DY - 2 * DX);
    } else {
      d = round_wide(2 * DX * (iy1 - ry1) - 2 * DY * (ix1 + 1 - rx1) - DX);
      straight = round_wide(-2 * DY);
      diag = round_wide(-2 * DY - 2 * DX);
    }
  } else {
    if (!minor_up) {
      d = round_wide(2 * DX * (iy1 + 1 - ry1) - 2 * DY * (ix1 - rx1) - DY);
      straight = round_wide(2 * DX);
      diag = round_wide(2 * DX - 2 * DY);
    } else {
      d = round_wide(2 * DY * (ix1 - rx1) - 2 * DX * (iy1 + 1 - ry1) - DY);
      straight = round_wide(-2 * DX);
      diag = round_wide(-2 * DX - 2 * DY);
    }
  }
  for (int64_t i = 1; i < major_len; ++i) {
    const bool diagonal = d > 0;
    d += diagonal ? diag : straight;
    minor_step(diagonal);
    major_step();
    line_plot();
  }
  major_step();
  minor_step(d > 0);
  line_plot();
}


// The walk on the pen's inline copy, one instance per plot and direction.
// The copy is a local of its own so that the compiler keeps it in
// registers: no store into the buffer can be taken for a change to it.
template <int Plot, bool Dash, int Known>
void walk_line_fast(PenWalk& pen, int32_t ix1, int32_t iy1, int64_t major_len, int64_t minor_len, bool x_major,
                    bool minor_up, double rx1, double ry1, double rx2, double ry2) {
  PenWalk w = pen;
  auto plot = [&w] {
    // Known 1: every column lies in the row; 2: every row in the buffer.
    if constexpr (Plot == 0) w.plot_a<Dash, Known != 2, Known != 1>();
    else w.plot_thick<false, Plot == 2, Dash, Known != 2, Known != 1>();
  };
  // A line across the device touches a new cache line at nearly every
  // pixel once it leaves its row, and those lines come from far caches one
  // after the other unless asked for ahead. The pixel kPrefetchSteps further
  // on lies about `ahead` bytes from the cursor, along the line's slope, and
  // is asked for at every step. A short line asks for its own pixel instead:
  // the pixels past its end would be fetched for nothing. The hint may point
  // past the buffer: it is never read, so it is formed as a plain address.
  constexpr int64_t kPrefetchSteps = 16;
  constexpr int64_t kPixelBytes = sizeof(uint32_t);
  int64_t ahead = 0;
  if (major_len >= 4 * kPrefetchSteps) {
    const int64_t minor_ahead = (kPrefetchSteps * std::llabs(minor_len) + major_len / 2) / major_len;
    const int64_t minor_offset = (minor_up ? -minor_ahead : minor_ahead) * (x_major ? w.row_width : 1);
    ahead = ((x_major ? kPrefetchSteps : kPrefetchSteps * w.row_width) + minor_offset) * kPixelBytes;
  }
  const auto base = reinterpret_cast<uintptr_t>(w.buffer) + static_cast<uintptr_t>(ahead);
  // Cursor A moved by `by` in the buffer and `col` columns.
  auto major = [&w, base](int32_t by, int32_t col) {
    return [&w, by, col, base] {
      w.cursor_a += by;
      w.column_a += col;
      const auto offset = static_cast<uintptr_t>(int64_t{w.cursor_a} * kPixelBytes);
      __builtin_prefetch(reinterpret_cast<const void*>(base + offset), 1);
    };
  };
  auto minor = [&w](int32_t by, int32_t col) {
    return [&w, by, col](bool step) {
      w.cursor_a += step ? by : 0;
      w.column_a += step ? col : 0;
    };
  };
  const int32_t row = w.row_width;
  const int32_t up = minor_up ? -1 : 1;
  if (x_major)
    walk_pixel_line(ix1, iy1, major_len, minor_len, x_major, minor_up, rx1, ry1, rx2, ry2, plot, major(1, 1),
                    minor(up * row, 0));
  else
    walk_pixel_line(ix1, iy1, major_len, minor_len, x_major, minor_up, rx1, ry1, rx2, ry2, plot, major(row, 0),
                    minor(up, up));
  pen = w;
}

}  // namespace

void draw_pixel_line(int32_t ix1, int32_t iy1, int32_t ix2, int32_t iy2, double rx1, double ry1, double rx2,
                     double ry2, uint32_t) {
  const bool x_major = std::abs(int64_t{ix2} - ix1) >= std::abs(int64_t{iy2} - iy1);
  if (x_major ? ix2 < ix1 : iy2 < iy1) {
    std::swap(ix1, ix2);
    std::swap(iy1, iy2);
  }
  if (x_major ? rx2 < rx1 : ry2 < ry1) {
    std::swap(rx1, rx2);
    std::swap(ry1, ry2);
  }
  // The pen starts at the first endpoint; begin_pixel_stroke placed it.
  const int64_t major_len = x_major ? int64_t{ix2} - ix1 : int64_t{iy2} - iy1;
  const int64_t minor_len = x_major ? int64_t{iy2} - iy1 : int64_t{ix2} - ix1;
  const bool minor_up = minor_len < 0;
  // The pen's own plots are walked inline; any other plot is called.
  // (The thick plots draw nothing in fill mode; that rare case is called.)
  if (pen_plots_are_plain() && (line_plot == pen_plot_pixel_a || (!pixel_pen.fill_mode &&
                                (line_plot == pen_plot_a_wide_h || line_plot == pen_plot_a_wide_v)))) {
    PenWalk w(pixel_pen);
    const int plot = line_plot == pen_plot_pixel_a ? 0 : line_plot == pen_plot_a_wide_h ? 1 : 2;
    using Walk = void (*)(PenWalk&, int32_t, int32_t, int64_t, int64_t, bool, bool, double, double, double, double);
    // The major axis moves exactly major_len pixels: when all of them (and
    // a thick plot's spread along it) lie inside the device, that axis
    // needs no test at each pixel.
    const int32_t spread = plot == 0 ? 0 : w.half_width;
    int known = 0;
    if (w.row_width > 0) {
      const int64_t along_row = plot == 1 ? spread : 0, across_rows = plot == 2 ? spread : 0;
      const int64_t column = w.column_a, row = (int64_t{w.cursor_a} - w.column_a) / w.row_width;
      const int64_t rows = w.pixel_count / w.row_width;
      if (x_major && column - along_row >= 0 && column + major_len + along_row < w.row_width) known = 1;
      if (!x_major && row - across_rows >= 0 && row + major_len + across_rows < rows) known = 2;
    }
#define KELVO_LINE_WALKS(dash)                                                                          \
  {{walk_line_fast<0, dash, 0>, walk_line_fast<0, dash, 1>, walk_line_fast<0, dash, 2>},               \
   {walk_line_fast<1, dash, 0>, walk_line_fast<1, dash, 1>, walk_line_fast<1, dash, 2>},               \
   {walk_line_fast<2, dash, 0>, walk_line_fast<2, dash, 1>, walk_line_fast<2, dash, 2>}}
    static constexpr Walk walks[2][3][3] = {KELVO_LINE_WALKS(false), KELVO_LINE_WALKS(true)};
#undef KELVO_LINE_WALKS
    walks[w.dash_active != 0][plot][known](w, ix1, iy1, major_len, minor_len, x_major, minor_up, rx1, ry1, rx2, ry2);
    w.store(pixel_pen);
    return;
  }
  const auto major_step = x_major ? pen_cursor_next : pen_cursor_down;
  const auto minor_step = x_major ? (minor_up ? pen_cursor_up : pen_cursor_down)
                                  : (minor_up ? pen_cursor_prev : pen_cursor_next);
  walk_pixel_line(ix1, iy1, major_len, minor_len, x_major, minor_up, rx1, ry1, rx2, ry2, line_plot, major_step,
                  [minor_step](bool step) {
                    if (step) minor_step();
                  });
}

// --------------------------------------------------------- styled segment

namespace {

const dot kSolid = {1, 1};

uint32_t pen_style_for(const dot& pattern) {
  uint32_t style = kGeometricFlatMitre;
  if (pattern.lg != pattern.cycle) style |= (pattern.cycle - pattern.lg < 5) ? kPenDot : kPenDash;
  return style;
}

void dc_stroke_segment(DisplayDevice* dd, const clipped_line& c, uint32_t color, uint32_t width, uint32_t style) {
  const tagLOGBRUSH brush{0, rgb_to_bgr_pal(color), 0, pixel_pen.dash_start_phase};
  KPPen* pen = KPPen::extCreatePen(style, width, &brush, 0, nullptr);
  KPGdiObject* previous = dd->dc->selectObject(pen);
  dd->dc->setBkMode(2);
  dd->dc->moveToEx(dd_x(dd, c.x1), dd_y(dd, c.y1), nullptr);
  dd->dc->lineTo(dd_x(dd, c.x2), dd_y(dd, c.y2));
  if (previous) dd->dc->selectObject(previous);
  DeleteObject(pen);
}

}  // namespace

uint8_t dash_hold = 0;

int32_t draw_segment_styled(DisplayDevice* dd, double x1, double y1, double x2, double y2, uint32_t color,
                            uint8_t thickness, const dot* dash, uint16_t kind) {
  clipped_line c;
  dash_hold = 0;
  if (!clip_line_to_view(dd, x1, y1, x2, y2, kind, &c)) return 0;
  const dot pattern = dash ? *dash : kSolid;
  if (pixel_route(dd)) {
    const int32_t ix1 = round_pixel(c.x1), iy1 = round_pixel(c.y1);
    const int32_t ix2 = round_pixel(c.x2), iy2 = round_pixel(c.y2);
    const uint8_t bytes[2] = {pattern.lg, pattern.cycle};
    set_dash_pattern(bytes);
    if (thickness > 0) {
      pixel_pen.half_width = thickness;
      line_plot = c.steep ? pen_plot_a_wide_h : pen_plot_a_wide_v;
    } else {
      line_plot = pen_plot_pair[0];
    }
    // draw_pixel_line starts at the endpoint of lower major coordinate.
    const bool x_major = std::abs(int64_t{ix2} - ix1) >= std::abs(int64_t{iy2} - iy1);
    const bool swap = x_major ? ix2 < ix1 : iy2 < iy1;
    begin_pixel_stroke(dd, swap ? ix2 : ix1, swap ? iy2 : iy1, color);
    draw_pixel_line(ix1, iy1, ix2, iy2, c.sx1, c.sy1, c.sx2, c.sy2, color);
    pixel_pen.dash_active = 0;
    dash_hold = 1;
    return 1;
  }
  if (!dd->dc) return 1;
  const auto width = static_cast<uint32_t>(std::max(0, round_pixel((2 * thickness + 1) * dd->ratio)));
  dot used = pattern;
  if (selection_drawing) {
    dc_stroke_segment(dd, c, back_color, width, kGeometricFlatMitre);
    used = selection_dash_style;
  }
  dc_stroke_segment(dd, c, color, width, pen_style_for(used));
  return 1;
}

namespace {

// Sides of an outline share the caller's running dash: it is restarted with
// the same values before every side after the first.
struct shared_dash {
  bool active = pixel_pen.dash_active != 0;
  uint8_t on = pixel_pen.on_length;
  uint8_t period = pixel_pen.period;
  void resume() const {
    if (!active) return;
    const uint8_t bytes[2] = {on, period};
    set_dash_pattern(bytes);
  }
};

}  // namespace

void draw_rect_outline(DisplayDevice* dd, double x1, double y1, double x2, double y2, uint32_t color,
                       uint8_t thickness, const dot* dash) {
  const shared_dash running;
  draw_segment_styled(dd, x1, y1, x2, y1, color, thickness, dash, kExtentSegment);
  running.resume();
  draw_segment_styled(dd, x1, y2, x2, y2, color, thickness, dash, kExtentSegment);
  running.resume();
  draw_segment_styled(dd, x1, y1, x1, y2, color, thickness, dash, kExtentSegment);
  running.resume();
  draw_segment_styled(dd, x2, y1, x2, y2, color, thickness, dash, kExtentSegment);
}

void draw_polygon_outline(DisplayDevice* dd, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                          int32_t x3, int32_t y3, uint32_t color, uint8_t thickness, const dot* dash) {
  const shared_dash running;
  const int32_t v[9][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x2, y1}, {x2, y2},
                           {x3, y2}, {x3, y3}, {x0, y3}, {x0, y0}};
  for (int i = 0; i < 8; ++i) {
    if (i > 0) running.resume();
    draw_segment_styled(dd, v[i][0], v[i][1], v[i + 1][0], v[i + 1][1], color, thickness, dash, kExtentSegment);
  }
}

void draw_rect_dashed(DisplayDevice* dd, int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t color,
                      int dash_index) {
  const dot* dash = &rect_dash_styles[dash_index >= 0 && dash_index < 3 ? dash_index : 0];
  draw_segment_styled(dd, left, top, right, top, color, 0, dash, kExtentSegment);
  draw_segment_styled(dd, left, bottom, right, bottom, color, 0, dash, kExtentSegment);
  draw_segment_styled(dd, left, top, left, bottom, color, 0, dash, kExtentSegment);
  draw_segment_styled(dd, right, top, right, bottom, color, 0, dash, kExtentSegment);
}

void draw_filled_polygon(DisplayDevice* dd, const double* points, int32_t n, uint32_t color, int8_t opaque) {
  if (!dd || !dd->dc || !points || n < 2) return;
  std::vector<tagPOINT> converted(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    const double x = points[2 * i];
    const double y = points[2 * i + 1];
    if (!is_finite(x) || !is_finite(y)) return;
    converted[i] = {round_pixel((x - dd->portRect.left) * dd->ratio),
                    round_pixel((y - dd->portRect.top) * dd->ratio * dd->orientation)};
  }
  dc_polygon(dd->dc, converted.data(), n, color, opaque);
  figure_changed = 1;
}

// -------------------------------------------------------------- point marks

namespace {

enum : uint8_t { kMove = 0, kLine = 1, kVertex = 2, kHollowCircle = 3, kFilledCircle = 4, kEnd = 10 };

struct shape_op {
  uint8_t op;
  int8_t dx;
  int8_t dy;
};

const shape_op kDotProgram[] = {{kFilledCircle, 0, 0}, {kFilledCircle, 0, 1}, {kEnd, 0, 0}};
const shape_op kSquareProgram[] = {{kVertex, -1, -1}, {kVertex, 1, -1}, {kVertex, 1, 1}, {kVertex, -1, 1}, {kEnd, 0, 0}};
const shape_op kCircleProgram[] = {{kHollowCircle, 0, 0}, {kHollowCircle, 0, 2}, {kEnd, 0, 0}};
const shape_op kTimesProgram[] = {{kMove, -1, -1}, {kLine, 1, 1}, {kMove, -1, 1}, {kLine, 1, -1}, {kEnd, 0, 0}};
const shape_op kPlusProgram[] = {{kMove, 0, -1}, {kLine, 0, 1}, {kMove, -1, 0}, {kLine, 1, 0}, {kEnd, 0, 0}};
const shape_op kArrowProgram[] = {{kVertex, -3, -3}, {kVertex, 3, 0}, {kVertex, -3, 3}, {kVertex, 0, 0}, {kEnd, 0, 0}};
const shape_op kLargeArrowProgram[] = {
    {kVertex, -6, -6}, {kVertex, 6, 0}, {kVertex, -6, 6}, {kVertex, 0, 0}, {kEnd, 0, 0}};
const shape_op kShortTickProgram[] = {{kMove, 0, -1}, {kLine, 0, 1}, {kEnd, 0, 0}};
const shape_op kMediumTickProgram[] = {{kMove, 0, -2}, {kLine, 0, 2}, {kEnd, 0, 0}};
const shape_op kLongTickProgram[] = {{kMove, 0, -3}, {kLine, 0, 4}, {kEnd, 0, 0}};

const shape_op* const kShapePrograms[kShapeCount] = {
    kDotProgram,        kSquareProgram, kCircleProgram,     kTimesProgram,     kPlusProgram,     kPlusProgram,
    kArrowProgram,      kLargeArrowProgram, kShortTickProgram, kMediumTickProgram, kLongTickProgram};

constexpr int kMaxVertices = 50;

// An offset widened by the size, keeping its sign.
double widen(double v, int size) {
  if (v == 0) return 0;
  return v * (std::fabs(v) + size) / std::fabs(v);
}

// The three arrow-head label glyphs: an x, a y and an r, their strokes two
// pixels wide so that they read as letters at one pixel per bit.
const uint8_t kGlyphX[8] = {0x00, 0x00, 0xC6, 0x6C, 0x38, 0x6C, 0xC6, 0x00};
const uint8_t kGlyphY[8] = {0x00, 0x00, 0xC6, 0x6C, 0x38, 0x30, 0x60, 0xC0};
const uint8_t kGlyphR[8] = {0x00, 0x00, 0xDC, 0xE0, 0xC0, 0xC0, 0xC0, 0x00};

// The strokes of the three letters as outlines over the glyph's 8 x 8 cell
// (pixel edges, the cell's top-left corner at 0, 0), a little inside the
// glyph's two-pixel strokes since the port also outlines a polygon with its
// pen: the letters at any scale other than one device pixel a figure pixel.
struct glyph_stroke {
  int count;
  double xy[12];
};
const glyph_stroke kStrokesX[] = {{4, {0.25, 2, 1.75, 2, 6.75, 7, 5.25, 7}},
                                  {4, {5.25, 2, 6.75, 2, 1.75, 7, 0.25, 7}}};
const glyph_stroke kStrokesY[] = {{4, {5.25, 2, 6.75, 2, 1.75, 8, 0.25, 8}},
                                  {4, {0.25, 2, 1.75, 2, 4.5, 4.75, 3, 4.75}}};
const glyph_stroke kStrokesR[] = {{4, {0.25, 2, 1.75, 2, 1.75, 7, 0.25, 7}},
                                  {6, {1.75, 3.2, 2.9, 2.2, 5.75, 2.2, 5.75, 2.85, 3.15, 2.85, 1.75, 4.1}}};

bool letter_strokes(const uint8_t* glyph, const glyph_stroke** strokes, int* count) {
  if (glyph == kGlyphX) *strokes = kStrokesX;
  else if (glyph == kGlyphY) *strokes = kStrokesY;
  else if (glyph == kGlyphR) *strokes = kStrokesR;
  else return false;
  *count = 2;
  return true;
}

void draw_glyph(DisplayDevice* dd, double x, double y, uint32_t color, const uint8_t* glyph) {
  KPGrafPort* dc = dd->dc;
  const int32_t ox = trunc_pixel((x - dd->portRect.left) * dd->ratio);
  const int32_t oy = trunc_pixel((y - dd->portRect.top) * dd->ratio * dd->orientation);
  const glyph_stroke* strokes = nullptr;
  int stroke_count = 0;
  const bool own_pixels = dd->bm && dd->bm->pixels && dd->ratio == 1 && dd->orientation == 1;
  if (!own_pixels && letter_strokes(glyph, &strokes, &stroke_count)) {
    // A letter drawn at the figure's scale: its cell's corner is the
    // figure point 4 pixels up and left of the glyph's centre pixel.
    const double cx = std::trunc(x) - 4, cy = std::trunc(y) - 4;
    for (int k = 0; k < stroke_count; ++k) {
      tagPOINT points[6];
      const int n = strokes[k].count;
      for (int i = 0; i < n; ++i)
        points[i] = {round_pixel((cx + strokes[k].xy[2 * i] - dd->portRect.left) * dd->ratio),
                     round_pixel((cy + strokes[k].xy[2 * i + 1] - dd->portRect.top) * dd->ratio * dd->orientation)};
      dc_polygon(dc, points, n, color, 1);
    }
    return;
  }
  const int32_t w = round_pixel(dd->ratio);
  const int32_t h = std::abs(round_pixel(dd->ratio * dd->orientation));
  const bool blocks = w >= 2 || h >= 2;
  PixelPen& pen = pixel_pen;
  const int period = pen.period ? pen.period : 1;
  auto ink = [&]() {
    if (!pen.dash_active) return color;
    return pen.phase_a < pen.on_length ? color : back_color;
  };
  auto advance = [&]() { pen.phase_a = static_cast<int8_t>((pen.phase_a + 1) % period); };
  // On a pixel bitmap at its own scale the glyph's pixels are set directly:
  // the same pixels the port would fill, without a fill call for each (a
  // grid draws thousands of glyphs).
  const KPBitmap* bm = dd->bm;
  if (!blocks && bm && bm->pixels && dd->ratio == 1 && dd->orientation == 1) {
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 8; ++c) {
        if (!(glyph[r] & (0x80 >> c))) continue;
        const int32_t px = ox + c - 4, py = oy + r - 4;
        if (px >= 0 && py >= 0 && px < bm->width && py < bm->height) bm->pixels[py * bm->pitch + px] = pixel_of_color(ink());
        if (pen.dash_active) advance();
      }
    return;
  }
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) {
      const bool set = (glyph[r] & (0x80 >> c)) != 0;
      if (blocks) {
        if (set) {
          const int32_t bx = (c - 4) * w + ox;
          const int32_t by = (r - 4) * h + oy;
          dc_fill_or_xor_rect_xy(dc, bx, by, bx + w, by + h, ink(), 1);
        }
        if (pen.dash_active) advance();
      } else if (set) {
        dc_pixel(dc, ox + c - 4, oy + r - 4, ink());
        if (pen.dash_active) advance();
      }
    }
}

}  // namespace

void draw_point_mark(DisplayDevice* dd, double x, double y, int16_t angle, int32_t size, uint32_t color,
                     uint16_t shape, const uint8_t* glyph) {
  if (!dd || !dd->dc || std::isnan(x)) return;
  const tagRECT& port = dd->portRect;
  if (!(x >= port.left && x <= port.right && y >= port.top && y <= port.bottom)) return;
  figure_changed = 1;
  if (glyph) {
    draw_glyph(dd, x, y, color, glyph);
    return;
  }
  if (shape >= kShapeCount) return;
  KPGrafPort* dc = dd->dc;
  const double a = angle * std::numbers::pi / 180.0;
  const double c = std::cos(a), s = std::sin(a);
  auto device_point = [&](const shape_op& op) {
    const double wx = widen(op.dx, size), wy = widen(op.dy, size);
    const int32_t px = round_pixel(x - port.left + (c * wx - s * wy));
    const int32_t py = round_pixel(y - port.top + (s * wx + c * wy));
    return tagPOINT{trunc_pixel(px * dd->ratio), trunc_pixel(py * dd->ratio * dd->orientation)};
  };
  const shape_op* program = kShapePrograms[shape];
  tagPOINT last{0, 0};
  for (const shape_op* op = program; op->op != kEnd; ++op) {
    switch (op->op) {
      case kMove:
        last = device_point(*op);
        break;
      case kLine: {
        // The pixels from the last point moved to up to this point, both
        // ends included, set one by one so that the marks keep their shape
        // whatever the port makes of a line's first and last pixel.
        const tagPOINT start = last;
        const tagPOINT end = device_point(*op);
        const int64_t ddx = int64_t{end.x} - start.x, ddy = int64_t{end.y} - start.y;
        const int64_t n = std::max(std::llabs(ddx), std::llabs(ddy));
        for (int64_t i = 0; i <= n && i <= 256; ++i) {
          const double f = n ? double(i) / double(n) : 0.0;
          dc_pixel(dc, round_pixel(start.x + f * ddx), round_pixel(start.y + f * ddy), color);
        }
        break;
      }
      case kVertex: {
        tagPOINT vertices[kMaxVertices];
        int n = 0;
        for (; op->op == kVertex; ++op)
          if (n < kMaxVertices) vertices[n++] = device_point(*op);
        --op;
        // A reduced view can flatten a small mark into a row or a column of
        // pixels, which a polygon does not cover: the mark keeps those pixels.
        const auto by_x = [](const tagPOINT& a, const tagPOINT& b) { return a.x < b.x; };
        const auto by_y = [](const tagPOINT& a, const tagPOINT& b) { return a.y < b.y; };
        const auto [min_x, max_x] = std::minmax_element(vertices, vertices + n, by_x);
        const auto [min_y, max_y] = std::minmax_element(vertices, vertices + n, by_y);
        if (n > 0 && (min_x->x == max_x->x || min_y->y == max_y->y))
          dc_fill_or_xor_rect_xy(dc, min_x->x, min_y->y, max_x->x + 1, max_y->y + 1, color, 1);
        else
          dc_polygon(dc, vertices, n, color, 1);
        break;
      }
      case kHollowCircle:
      case kFilledCircle: {
        const shape_op& rim = op[1];
        const tagPOINT centre = device_point(*op);
        const double distance = std::hypot(rim.dx - op->dx, rim.dy - op->dy);
        const int32_t radius = round_pixel(widen(trunc_pixel(distance), size) * dd->ratio);
        if (radius >= 1.5) {
          if (op->op == kFilledCircle) {
            dc_disc(dc, centre.x, centre.y, radius, color);
          } else {
            dc_disc(dc, centre.x, centre.y, radius, back_color);
            dc_circle(dc, centre.x, centre.y, radius, color);
          }
        } else {
          dc_pixel(dc, centre.x, centre.y, color);
        }
        if (rim.op == op->op) ++op;
        break;
      }
      default:
        break;
    }
  }
}

// -------------------------------------------------------------- arrow heads

namespace {

struct cell {
  int dx;
  int dy;
};
// The eight places of a label around the point, in the order tried.
const cell kLabelCells[8] = {{0, -12}, {12, 0}, {0, 12}, {-12, 0}, {-12, -12}, {12, -12}, {12, 12}, {-12, 12}};
// The two cells the line runs through, by direction index modulo 8.
const cell kDirectionCells[8][2] = {
    {{-12, 0}, {12, 0}},   {{-12, -12}, {12, 12}}, {{-12, -12}, {12, 12}}, {{-12, -12}, {0, 12}},
    {{0, -12}, {0, 12}},   {{12, -12}, {0, 12}},   {{12, -12}, {-12, 12}}, {{12, -12}, {-12, 0}}};

// The width of a scroll bar's thumb, which the view keeps free at its right
// and bottom edges.
constexpr int kScrollThumb = 17;

}  // namespace

const uint8_t* arrow_label_glyph(char label) {
  switch (label) {
    case 'x':
      return kGlyphX;
    case 'y':
      return kGlyphY;
    case 'r':
      return kGlyphR;
    default:
      return nullptr;
  }
}

void arrow_label_offset(const DisplayDevice* dd, int32_t ix, int32_t iy, int16_t direction, int32_t* dx,
                        int32_t* dy) {
  const tagRECT& port = dd->portRect;
  bool free_cell[8] = {true, true, true, true, true, true, true, true};
  auto clear = [&](int cell_x, int cell_y) {
    for (int i = 0; i < 8; ++i)
      if (kLabelCells[i].dx == cell_x && kLabelCells[i].dy == cell_y) free_cell[i] = false;
  };
  // A negative direction is taken as the same direction in 0..359, and the
  // directions from 349 degrees on, whose index is 16, as index 0.
  const int degrees = ((int{direction} % 360) + 360) % 360;
  const int index = ((16 * degrees + 176) / 360) % 16;
  for (const cell& c : kDirectionCells[index % 8]) clear(c.dx, c.dy);
  int shift_x = 0, shift_y = 0;
  auto clear_column = [&](int column) {
    for (int r : {-12, 0, 12}) clear(column, r);
  };
  auto clear_row = [&](int line) {
    for (int c : {-12, 0, 12}) clear(c, line);
  };
  if (ix >= port.right - 8 - kScrollThumb) {
    clear_column(12);
    shift_x = -4;
  }
  if (iy <= port.top + 8) {
    clear_row(-12);
    shift_y = 4;
  }
  if (ix <= port.left + 8) {
    clear_column(-12);
    shift_x = 4;
  }
  if (iy >= port.bottom - 8 - kScrollThumb) {
    clear_row(12);
    shift_y = -4;
  }
  int32_t ox = 0, oy = 0;
  for (int i = 0; i < 8; ++i)
    if (free_cell[i]) {
      ox = kLabelCells[i].dx;
      oy = kLabelCells[i].dy;
      break;
    }
  *dx = shift_x + ox;
  *dy = shift_y + oy;
}

int32_t draw_arrow_head(DisplayDevice* dd, double x, double y, uint32_t color, char label, int16_t direction,
                        bool large) {
  if (!dd || !is_finite(x) || !is_finite(y)) return 0;
  const tagRECT& port = dd->portRect;
  const int32_t ix = round_pixel(x), iy = round_pixel(y);
  if (!(iy > port.top && iy < port.bottom - 1 && ix > port.left - 2 && ix <= port.right)) return 0;
  draw_point_mark(dd, x, y, direction, 0, color, large ? kShapeLargeArrow : kShapeArrow, nullptr);
  const uint8_t* glyph = arrow_label_glyph(label);
  if (!glyph) return 1;
  int32_t ox = 0, oy = 0;
  arrow_label_offset(dd, ix, iy, direction, &ox, &oy);
  draw_point_mark(dd, ix + ox, iy + oy, 0, 0, color, 0, glyph);
  return 1;
}

// On this platform a floating-point division by zero or an overflow gives
// an infinity or a NaN without any signal, so nothing is set up for it. An
// integer division by zero, or the conversion of a NaN or a huge double to an
// integer, would stop the program: the drawing code guards those itself
// (pixel_math.h) rather than ignoring the signal, which for such a fault
// would leave the program re-running the faulting instruction.
void init_math_globals() {}
