#include "kernel/conics/conic_stroke.h"

#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_math.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/render/render_switches.h"
#include "platform/kp_gdi_objects.h"
#include "platform/kp_graf_port.h"

int32_t trace_pen_x = 0, trace_pen_y = 0;
trace_slot slot_plot = pen_plot_polyline;
trace_slot slot_left = pen_step_left;
trace_slot slot_up = pen_step_up;
trace_slot slot_right = pen_step_right;
trace_slot slot_down = pen_step_down;
DisplayDevice* trace_device = nullptr;
int32_t trace_origin_x = 0, trace_origin_y = 0;
int16_t polyline_count = 0;
int16_t trace_dash_count = 0;
KPPen* gap_pen = nullptr;
void (*conic_polyline_observer)(int, int32_t, int32_t) = nullptr;

namespace {

// The background colour gap_pen was made with.
uint32_t gap_pen_color = 0;

int32_t resolution() { return conic_resolution > 0 ? conic_resolution : 1; }

// The device point of the pen. The origin term carries the orientation as
// the pen term does, for the opening move as for every vertex, so that a
// port whose y grows upwards starts the stroke where its vertices run.
void device_point(int32_t* X, int32_t* Y) {
  const DisplayDevice* dd = trace_device;
  if (dd->ratio == 1 && dd->orientation == 1 && resolution() == 1) {
    // The common screen case, the same result without the divisions.
    *X = round_pixel(double(trace_pen_x) + trace_origin_x);
    *Y = round_pixel(double(trace_pen_y) + trace_origin_y);
    return;
  }
  const double r = dd->ratio, o = dd->orientation, n = resolution();
  *X = round_pixel(trace_pen_x * r / n + trace_origin_x * r);
  *Y = round_pixel(trace_pen_y * r * o / n + trace_origin_y * r * o);
}

KPPen* current_gap_pen() {
  if (gap_pen && gap_pen_color != back_color) {
    DeleteObject(gap_pen);
    gap_pen = nullptr;
  }
  if (!gap_pen) {
    gap_pen = pen_from_color(back_color);
    gap_pen_color = back_color;
  }
  return gap_pen;
}

bool strictly_inside(const DisplayDevice* dev, int32_t x, int32_t y) {
  const tagRECT& r = dev->portRect;
  return r.left < x && x < r.right - 1 && r.top < y && y < r.bottom - 1;
}

}  // namespace

void pen_step_right() { ++trace_pen_x; }
void pen_step_left() { --trace_pen_x; }
void pen_step_down() { ++trace_pen_y; }
void pen_step_up() { --trace_pen_y; }

void bind_polyline_slots() {
  slot_plot = pen_plot_polyline;
  slot_left = pen_step_left;
  slot_up = pen_step_up;
  slot_right = pen_step_right;
  slot_down = pen_step_down;
}

void open_conic_polyline(DisplayDevice* dev, double x0, double y0) {
  trace_device = dev;
  trace_origin_x = -dev->portRect.left;
  trace_origin_y = -dev->portRect.top;
  trace_pen_x = round_pixel(x0);
  trace_pen_y = round_pixel(y0);
  int32_t X, Y;
  device_point(&X, &Y);
  if (dev->dc) dev->dc->moveToEx(X, Y, nullptr);
  if (conic_polyline_observer) conic_polyline_observer(0, X, Y);
  polyline_count = 0;
}

void pen_plot_polyline() {
  if (conic_polyline_observer) conic_polyline_observer(2, trace_pen_x, trace_pen_y);
  if (++polyline_count <= resolution()) return;
  DisplayDevice* dd = trace_device;
  if (!dd) return;
  KPGdiObject* kept = nullptr;
  const bool gap = trace_dash_count >= pixel_pen.on_length && pixel_pen.dash_active;
  if (gap && dd->dc) kept = dd->dc->selectObject(current_gap_pen());
  int32_t X, Y;
  device_point(&X, &Y);
  if (dd->dc) dd->dc->lineTo(X, Y);
  if (conic_polyline_observer) conic_polyline_observer(1, X, Y);
  polyline_count = 0;
  if (kept) dd->dc->selectObject(kept);
}

void plot_pixel_inner(DisplayDevice* dev, int32_t x, int32_t y) {
  if (strictly_inside(dev, x, y)) slot_plot();
}

void plot_block_3x3(DisplayDevice* dev, int32_t x, int32_t y) {
  const bool inside = strictly_inside(dev, x, y);
  int32_t px = x - 1, py = y - 1;
  auto plot = [&] {
    if (inside)
      slot_plot();
    else
      plot_pixel_inner(dev, px, py);
  };
  auto move = [&](trace_slot slot, int dx, int dy) {
    slot();
    px += dx;
    py += dy;
  };
  slot_left();
  slot_up();
  plot();
  move(slot_right, 1, 0);
  plot();
  move(slot_right, 1, 0);
  plot();
  move(slot_down, 0, 1);
  plot();
  move(slot_left, -1, 0);
  plot();
  move(slot_left, -1, 0);
  plot();
  move(slot_down, 0, 1);
  plot();
  move(slot_right, 1, 0);
  plot();
  move(slot_right, 1, 0);
  plot();
  slot_left();
  slot_up();
}

namespace {

// The walk of a step: R L U D move the pen, P plots, and t b l r plot only
// when the pixel's Y > top, Y < bottom - 1, X > left, X < right - 1. The
// first walk runs when the guard holds; a diagonal step runs its `other`
// walk when it does not, then its `then` walk in both cases.
struct thick_walk {
  char guard;
  const char* first;
  const char* other;
  const char* then;
};

// Indexed by (sx + 1) * 3 + (sy + 1).
constexpr thick_walk kWalks[9] = {
    {'l', "LDPUPUtR", "U", "tRtLD"},  // (-1, -1)
    {'l', "LDbUPUtRD", nullptr, nullptr},  // (-1, 0)
    {'b', "RDPLPLlU", "L", "lUlRD"},  // (-1, +1)
    {'t', "LUlRPRrLD", nullptr, nullptr},  // (0, -1)
    {0, nullptr, nullptr, nullptr},  // (0, 0)
    {'b', "RDrLPLlRU", nullptr, nullptr},  // (0, +1)
    {'t', "LUPRPRrD", "R", "rDrLU"},  // (+1, -1)
    {'r', "RUtDPDbLU", nullptr, nullptr},  // (+1, 0)
    {'r', "RUPDPDbL", "D", "bLbRU"},  // (+1, +1)
};

}  // namespace

void plot_thick_step(DisplayDevice* dev, int sx, int sy, double X, double Y) {
  if (sx < -1 || sx > 1 || sy < -1 || sy > 1) return;
  const thick_walk& w = kWalks[(sx + 1) * 3 + (sy + 1)];
  if (!w.first) return;
  const tagRECT& r = dev->portRect;
  auto holds = [&](char c) {
    switch (c) {
      case 't': return Y > r.top;
      case 'b': return Y < r.bottom - 1;
      case 'l': return X > r.left;
      case 'r': return X < r.right - 1;
      default: return true;
    }
  };
  auto run = [&](const char* s) {
    for (; s && *s; ++s) {
      switch (*s) {
        case 'L': slot_left(); break;
        case 'R': slot_right(); break;
        case 'U': slot_up(); break;
        case 'D': slot_down(); break;
        case 'P': slot_plot(); break;
        default:
          if (holds(*s)) slot_plot();
      }
    }
  };
  const bool diagonal = sx != 0 && sy != 0;
  const bool go = holds(w.guard);
  if (!diagonal) {
    if (go) run(w.first);
    return;
  }
  run(go ? w.first : w.other);
  run(w.then);
}
