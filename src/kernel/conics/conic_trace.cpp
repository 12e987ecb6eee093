#include "kernel/conics/conic_trace.h"

#include <algorithm>
#include <cmath>

#include "kernel/conics/conic.h"
#include "kernel/conics/conic_stroke.h"
#include "kernel/conics/conic_tangents.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_math.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/render/render_switches.h"
#include "platform/kernel_services.h"
#include "platform/kp_gdi_objects.h"
#include "platform/kp_graf_port.h"

uint32_t conic_color = 0;
uint8_t conic_thick = 0;
uint8_t trace_series_started = 0;
trace_report last_trace = {};

namespace {

constexpr double kScale = 1000000.0;
// Steps of one octant beyond which the piece ends.
constexpr int32_t kStepCap = 2000;
// Steps between two exact evaluations of the decision variable.
constexpr int kResync = 200;

struct octant_steps {
  int sx, sy;  // square step
  int gx, gy;  // diagonal step
  double mx, my;  // decision midpoint
};

constexpr octant_steps kOctantSteps[8] = {
    {1, 0, 1, 1, 1, 0.5},    {0, 1, 1, 1, 0.5, 1},     {0, 1, -1, 1, -0.5, 1},   {-1, 0, -1, 1, -1, 0.5},
    {-1, 0, -1, -1, -1, -0.5}, {0, -1, -1, -1, -0.5, -1}, {0, -1, 1, -1, 0.5, -1}, {1, 0, 1, -1, 1, -0.5},
};

// floor(v + 0.5) as a 64-bit integer; false when v is not a number or too
// large for the decision variables to stay exact.
bool to_decision(double v, int64_t* out) {
  const double r = std::floor(v + 0.5);
  if (!(std::fabs(r) < 1e15)) return false;
  *out = static_cast<int64_t>(r);
  return true;
}

// Truncation toward zero, with the same limit.
int64_t trunc_decision(double v) {
  if (!(std::fabs(v) < 1e15)) return v > 0 ? int64_t{1000000000000000} : -int64_t{1000000000000000};
  return static_cast<int64_t>(v);
}

void advance_dash() {
  const int period = pixel_pen.period ? pixel_pen.period : 1;
  trace_dash_count = static_cast<int16_t>((trace_dash_count + 1) % period);
}

void take_step(int sx, int sy, int32_t* x, int32_t* y) {
  if (sx > 0) slot_right();
  else if (sx < 0) slot_left();
  if (sy > 0) slot_down();
  else if (sy < 0) slot_up();
  *x += sx;
  *y += sy;
}

}  // namespace

int16_t conic_octant(double gx, double gy) {
  if (conic_branch) {
    if (gx > 0) {
      if (gy < -gx) return 0;
      if (gy < 0) return 1;
      if (gy < gx) return 2;
      return 3;
    }
    if (gx == 0) {
      if (gy < 0) return 0;
      if (gy > 0) return 4;
    } else if (gx < 0) {
      if (gy > -gx) return 4;
      if (gy > 0) return 5;
      if (gy > gx) return 6;
      return 7;
    }
  } else {
    if (gx < 0) {
      if (gy > -gx) return 0;
      if (gy > 0) return 1;
      if (gy > gx) return 2;
      return 3;
    }
    if (gx == 0) {
      if (gy > 0) return 0;
      if (gy < 0) return 4;
    } else if (gx > 0) {
      if (gy < -gx) return 4;
      if (gy < 0) return 5;
      if (gx > gy) return 6;
      return 7;
    }
  }
  // A zero gradient (a singular point), or one that is not a number.
  MessageBeep(0);
  return -1;
}

double conic_form_value(double x, double y) {
  return conic_a * x * x + 2 * conic_b * x * y + conic_c * y * y + 2 * conic_d * x + 2 * conic_e * y;
}

double conic_midpoint_value(int32_t x, int32_t y, uint16_t octant) {
  const octant_steps& o = kOctantSteps[octant & 7];
  return conic_form_value(x + o.mx, y + o.my);
}

void trace_conic(DisplayDevice* dev, double x0, double y0, double x1, double y1) {
  last_trace = trace_report{};
  if (!dev || !std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return;
  const uint8_t dash_on_entry = pixel_pen.dash_active;
  const uint8_t period_on_entry = pixel_pen.period;
  double saved_d = conic_d, saved_e = conic_e;
  pixel_pen.period = 1;
  bind_polyline_slots();
  trace_device = dev;
  if (conic_thick) pixel_pen.dash_active = 0;
  trace_start_x = x0;
  trace_start_y = y0;
  trace_end_dx = x1 - x0;
  trace_end_dy = y1 - y0;

  const double A = conic_a, B = conic_b, C = conic_c;
  conic_d = A * x0 + B * y0 + conic_d;
  conic_e = B * x0 + C * y0 + conic_e;

  auto finish = [&] {
    pixel_pen.dash_active = dash_on_entry;
    pixel_pen.period = period_on_entry;
    conic_d = saved_d;
    conic_e = saved_e;
  };

  if (!trace_series_started) {
    const double largest = std::max({std::fabs(conic_a), std::fabs(conic_b), std::fabs(conic_c), std::fabs(conic_d),
                                     std::fabs(conic_e)});
    const double s = largest / kScale;
    // An equation without terms, or with terms that are not numbers, has
    // no curve to walk.
    if (!(s > 0) || !std::isfinite(s)) {
      finish();
      return;
    }
    conic_a /= s;
    conic_b /= s;
    conic_c /= s;
    conic_d /= s;
    conic_e /= s;
    conic_f /= s;
    saved_d /= s;
    saved_e /= s;
  }
  const double a = conic_a, b = conic_b, c = conic_c, d0 = conic_d, e0 = conic_e;

  int16_t octant = conic_octant(d0, e0);
  if (octant < 0) {
    finish();
    return;
  }
  double init[6];
  switch (octant) {
    case 0: init[0] = a + b + c / 4 + 2 * d0 + e0; init[1] = a + b + 2 * d0; init[2] = a + b + 2 * (d0 + e0);
            init[3] = 2 * a; init[4] = 2 * (a + b); init[5] = 2 * (a + 2 * b + c); break;
    case 1: init[0] = a / 4 + b + c + d0 + 2 * e0; init[1] = b + c + 2 * e0; init[2] = b + c + 2 * (d0 + e0);
            init[3] = 2 * c; init[4] = 2 * (b + c); init[5] = 2 * (a + 2 * b + c); break;
    case 2: init[0] = a / 4 - b + c - d0 + 2 * e0; init[1] = c - b + 2 * e0; init[2] = c - b - 2 * (d0 - e0);
            init[3] = 2 * c; init[4] = 2 * (c - b); init[5] = 2 * (a - 2 * b + c); break;
    case 3: init[0] = a - b + c / 4 - 2 * d0 + e0; init[1] = a - b - 2 * d0; init[2] = a - b - 2 * (d0 - e0);
            init[3] = 2 * a; init[4] = 2 * (a - b); init[5] = 2 * (a - 2 * b + c); break;
    case 4: init[0] = a + b + c / 4 - 2 * d0 - e0; init[1] = a + b - 2 * d0; init[2] = a + b - 2 * (d0 + e0);
            init[3] = 2 * a; init[4] = 2 * (a + b); init[5] = 2 * (a + 2 * b + c); break;
    case 5: init[0] = a / 4 + b + c - d0 - 2 * e0; init[1] = b + c - 2 * e0; init[2] = b + c - 2 * (d0 + e0);
            init[3] = 2 * c; init[4] = 2 * (b + c); init[5] = 2 * (a + 2 * b + c); break;
    case 6: init[0] = a / 4 - b + c + d0 - 2 * e0; init[1] = c - b - 2 * e0; init[2] = c - b + 2 * (d0 - e0);
            init[3] = 2 * c; init[4] = 2 * (c - b); init[5] = 2 * (a - 2 * b + c); break;
    default: init[0] = a - b + c / 4 + 2 * d0 - e0; init[1] = a - b + 2 * d0; init[2] = a - b + 2 * (d0 - e0);
             init[3] = 2 * a; init[4] = 2 * (a - b); init[5] = 2 * (a - 2 * b + c); break;
  }
  // 64 bits: with the coefficients scaled to a million and offsets of a
  // few thousand pixels, the sums leave the 32-bit range.
  int64_t dv, u, v, k1, k2, k3;
  if (!to_decision(init[0], &dv) || !to_decision(init[1], &u) || !to_decision(init[2], &v) ||
      !to_decision(init[3], &k1) || !to_decision(init[4], &k2) || !to_decision(init[5], &k3)) {
    finish();
    return;
  }

  const double dx = trace_end_dx, dy = trace_end_dy;
  const int16_t end_octant = conic_octant(a * dx + b * dy + d0, b * dx + c * dy + e0);
  if (end_octant < 0) {
    finish();
    return;
  }
  int n = end_octant - octant;
  if (n < 0) n += 8;
  if (!conic_branch && n != 0) n = 8 - n;
  if (n == 0 && dx == 0 && dy == 0) n = 8;
  trace_last_octant = 0;

  if (!trace_series_started) {
    trace_series_started = 1;
    trace_dash_count = pixel_pen.phase_a;
    conic_tangent_points(0);
  }
  // The pixel pen is made ready only near the port: far outside it the
  // offset of the pixel in the bitmap would not fit in its cursor.
  const tagRECT& port = dev->portRect;
  constexpr double kNear = 4096;
  if (x0 > port.left - kNear && x0 < port.right + kNear && y0 > port.top - kNear && y0 < port.bottom + kNear)
    begin_pixel_stroke(dev, round_pixel(x0), round_pixel(y0), conic_color);

  KPPen* pen = pen_from_color(conic_color);
  KPGdiObject* previous = dev->dc ? dev->dc->selectObject(pen) : nullptr;
  // On a pixel device the walk is already the pixels of the curve: drawn
  // smoothed, each line between two vertices would smear across two rows.
  const bool pixel_device = dev->dc && dev->bm && dev->bm->pixels && dev->ratio == 1;
  const bool smoothing = pixel_device && dev->dc->antialiasing();
  if (smoothing) dev->dc->allowsAntialiasing(false);
  open_conic_polyline(dev, x0, y0);

  if (!conic_thick) {
    advance_dash();
    slot_plot();
  } else if (trace_dash_count < pixel_pen.on_length || !dash_on_entry) {
    plot_block_3x3(dev, trunc_pixel(x0), trunc_pixel(y0));
  }

  last_trace.first_octant = octant;
  int sx = kOctantSteps[octant].sx, sy = kOctantSteps[octant].sy;
  int gx = kOctantSteps[octant].gx, gy = kOctantSteps[octant].gy;
  int32_t x = 0, y = 0;
  const int64_t cap = int64_t{kStepCap} * (conic_resolution > 0 ? conic_resolution : 1);
  for (int pass = n; pass >= 0; --pass) {
    if (pass == 0) trace_last_octant = 1;
    const int32_t m = conic_tangent_limit(x, y, static_cast<uint16_t>(octant));
    if (m > cap) {
      last_trace.capped = true;
      break;
    }
    if (last_trace.passes < 10) {
      last_trace.octants[last_trace.passes] = octant;
      last_trace.pass_steps[last_trace.passes] = m;
    }
    ++last_trace.passes;
    const bool even = (octant & 1) == 0;
    uint16_t counter = 0;
    for (int32_t i = 0; i < m; ++i) {
      ++counter;
      if (counter % kResync == 0) {
        const int64_t exact = trunc_decision(conic_midpoint_value(x, y, static_cast<uint16_t>(octant)));
        last_trace.max_drift = std::max(last_trace.max_drift, exact > dv ? exact - dv : dv - exact);
        ++last_trace.resyncs;
        dv = exact;
      }
      const int64_t t = conic_branch ? dv : -dv;
      bool diagonal;
      if (even) {
        diagonal = !(t < 0);
      } else {
        diagonal = t < 0;
      }
      if (diagonal) {
        u += k2;
        v += k3;
        dv += v;
        take_step(gx, gy, &x, &y);
      } else {
        u += k1;
        v += k2;
        dv += u;
        take_step(sx, sy, &x, &y);
      }
      ++last_trace.steps;
      advance_dash();
      if (!conic_thick)
        slot_plot();
      else if (diagonal)
        plot_thick_step(dev, gx, gy, trace_start_x + x, trace_start_y + y);
      else
        plot_thick_step(dev, sx, sy, trace_start_x + x, trace_start_y + y);
    }
    const bool transition_a = conic_branch ? !even : even;
    if (transition_a) {
      const int64_t nd = dv + u - v + k1 - k2;
      const int64_t nv = 2 * u - v + k1 - k2;
      const int64_t nu = u + k1 - k2;
      const int64_t nk3 = 4 * (k1 - k2) + k3;
      const int64_t nk2 = 2 * k1 - k2;
      dv = nd;
      v = nv;
      u = nu;
      k3 = nk3;
      k2 = nk2;
      const int ox = gx, oy = gy;
      if (conic_branch) {
        gx = -oy;
        gy = ox;
      } else {
        gx = oy;
        gy = -ox;
      }
      ++last_trace.transitions_a;
    } else {
      const int64_t nd = dv + ((3 * k3 - 8 * u - 4 * v - 4 * k2) >> 3);
      const int64_t nu = (2 * (v - u) - k2 + k3) >> 1;
      const int64_t nv = v + ((k3 - 2 * k2) >> 1);
      const int64_t nk1 = k1 - 2 * k2 + k3;
      const int64_t nk2 = k3 - k2;
      dv = nd;
      u = nu;
      v = nv;
      k1 = nk1;
      k2 = nk2;
      const int ox = sx, oy = sy;
      if (conic_branch) {
        sx = -oy;
        sy = ox;
      } else {
        sx = oy;
        sy = -ox;
      }
      ++last_trace.transitions_b;
    }
    octant = static_cast<int16_t>(conic_branch ? (octant + 1) & 7 : (octant + 7) & 7);
  }

  if (polyline_count != 0) {
    polyline_count = static_cast<int16_t>(conic_resolution > 0 ? conic_resolution : 1);
    advance_dash();
    slot_plot();
  }
  finish();
  if (smoothing) dev->dc->allowsAntialiasing(true);
  if (dev->dc && previous) dev->dc->selectObject(previous);
  DeleteObject(pen);
}
