#include "kernel/conics/conic_draw.h"

#include <cmath>
#include <utility>

#include "kernel/conics/conic.h"
#include "kernel/conics/conic_object.h"
#include "kernel/conics/conic_tangents.h"
#include "kernel/conics/conic_trace.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/object_colors.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/render/render_switches.h"
#include "kernel/render/stroke_engine.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/tools/draw_feedback.h"

uint8_t conic_thin = 0;

namespace {

// Below this a central conic's parameter is taken as no curve at all.
constexpr double kTinyParameter = 9.999999999999999e-27;
constexpr dot kHighlightDash = {3, 8};

dpoint mirror(const dpoint& p) { return dpoint{2 * conic_origin.x - p.x, 2 * conic_origin.y - p.y}; }

// The half-gradient of the workspace equation.
dpoint half_gradient(double x, double y) {
  return dpoint{conic_a * x + conic_b * y + conic_d, conic_b * x + conic_c * y + conic_e};
}

double gradient_norm2(double x, double y) {
  const dpoint g = half_gradient(x, y);
  return g.x * g.x + g.y * g.y;
}

// T on the side of the chord P1 P2 where the piece runs.
bool on_arc_side(const dpoint& t, double x1, double y1, double x2, double y2) {
  const double k = (t.x - x1) * (y2 - t.y) - (t.y - y1) * (x2 - t.x);
  return conic_branch ? k > 0 : k < 0;
}

void toggle_branch() { conic_branch = conic_branch ? 0 : 1; }

void trace(DisplayDevice* dev, const dpoint& a, const dpoint& b) { trace_conic(dev, a.x, a.y, b.x, b.y); }

const dot& default_conic_style() { return default_attrs[ATTRS_CIRCLE_CONIC].settings.dot_style; }

// The whole line through two points.
void whole_line(DisplayDevice* dev, double x1, double y1, double x2, double y2, const dot* style) {
  draw_segment_styled(dev, x1, y1, x2, y2, conic_color, conic_thick, style, kExtentLine);
}

// A x + B y + C = 0 through (-C/A, 0) and (-(100 B + C)/A, 100), or, with
// A = 0, through (0, -C/B) and (100, -(100 A + C)/B); nothing when both
// A and B are 0.
void line_of_equation(DisplayDevice* dev, double A, double B, double C, const dot* style) {
  if (A != 0)
    whole_line(dev, -C / A, 0, -(100 * B + C) / A, 100, style);
  else if (B != 0)
    whole_line(dev, 0, -C / B, 100, -(100 * A + C) / B, style);
}

// The running dash of a stroke made of several lines: each line starts
// the pattern afresh.
struct restarted_dash {
  bool active = pixel_pen.dash_active != 0;
  uint8_t bytes[2] = {active ? pixel_pen.on_length : uint8_t{1}, active ? pixel_pen.period : uint8_t{1}};
  restarted_dash() { pixel_pen.dash_active = 0; }
  void restart() const {
    if (active) set_dash_pattern(bytes);
  }
};

void store_clip_result(object* conic, int16_t r) {
  if (conic && conic->valeurs && conic->nbvaleurs >= kConicValueCount)
    reinterpret_cast<uint8_t*>(&conic->valeurs[4].info)[2] = static_cast<uint8_t>(r);
}

bool in_window(const dpoint& p) {
  return conic_window[0] <= p.x && p.x < conic_window[2] && conic_window[1] <= p.y && p.y < conic_window[3];
}

}  // namespace

// ------------------------------------------------------------ crossings

int16_t conic_clip_helper(double xs[8], double ys[8], const object* conic) {
  double A = conic_a, B = conic_b, C = conic_c, D = conic_d, E = conic_e, F = conic_f;
  if (conic) {
    if (!conic->valeurs || conic->nbvaleurs < kConicValueCount) return 0;
    const valeur* v = conic->valeurs;
    A = v[0].h, B = v[0].v, C = v[0].info.rayon, D = v[1].h, E = v[1].v, F = v[1].info.rayon;
  }
  const double L = conic_window[0], T = conic_window[1], R = conic_window[2] - 1.0, Bm = conic_window[3] - 1.0;
  int16_t n = 0;
  auto record = [&](bool horizontal, double k, double w) {
    if (n >= 8) return;
    xs[n] = horizontal ? w : k;
    ys[n] = horizontal ? k : w;
    ++n;
  };
  // Edges: 0 top, 1 right, 2 bottom, 3 left.
  for (int edge = 0; edge < 4; ++edge) {
    const bool horizontal = edge == 0 || edge == 2;
    const double k = edge == 0 ? T : edge == 1 ? R : edge == 2 ? Bm : L;
    const double lo = horizontal ? L : T, hi = horizontal ? R : Bm;
    double a, b, c;
    if (horizontal) {
      a = A;
      b = k * B + D;
      c = k * k * C + 2 * k * E + F;
    } else {
      a = C;
      b = k * B + E;
      c = k * k * A + 2 * k * D + F;
    }
    // The half-gradient at the point w of this edge.
    auto gradient = [&](double w) {
      const double x = horizontal ? w : k, y = horizontal ? k : w;
      return dpoint{A * x + B * y + D, B * x + C * y + E};
    };
    auto inside = [&](double w) { return lo < w && w < hi; };
    if (a != 0) {
      const double delta = b * b - a * c;
      if (std::fabs(delta) >= 1e-06) {
        if (!(delta > 0)) continue;
        if (a < 0) {
          a = -a;
          b = -b;
        }
        const double root = std::sqrt(delta);
        const double w_minus = (-b - root) / a, w_plus = (root - b) / a;
        const double first = edge <= 1 ? w_minus : w_plus;
        const double second = edge <= 1 ? w_plus : w_minus;
        bool corner = false;
        if (first == lo) {
          const dpoint g = gradient(first);
          switch (edge) {
            case 0: corner = -g.y > 0 && g.x > 0; break;
            case 1: corner = -g.y < 0 && g.x > 0; break;
            case 2: corner = -g.y < 0 && g.x < 0; break;
            default: corner = -g.y > 0 && g.x < 0; break;
          }
        }
        if (inside(first) || corner) record(horizontal, k, first);
        if (inside(second)) record(horizontal, k, second);
      } else {
        // The conic touches the edge's line.
        const double w = -b / a;
        if (inside(w)) {
          record(horizontal, k, w);
          record(horizontal, k, w);
        } else if (w == lo) {
          const dpoint g = gradient(w);
          bool counted;
          switch (edge) {
            case 0: counted = g.y > 0; break;
            case 1: counted = g.x < 0; break;
            case 2: counted = g.y < 0; break;
            default: counted = g.x > 0; break;
          }
          if (counted) record(horizontal, k, w);
        }
      }
    } else if (b != 0) {
      const double w = (c / b) / -2;
      if (inside(w)) record(horizontal, k, w);
    }
  }
  return n;
}

// ------------------------------------------------------------ pieces

void conic_plot_branch(DisplayDevice* dev, double x1, double y1, double x2, double y2, uint8_t direct) {
  const dpoint p1{x1, y1}, p2{x2, y2};
  const dpoint k = conic_axis_point2, k2 = mirror(conic_axis_point2);
  for (const dpoint& t : {k, k2}) {
    if (on_arc_side(t, x1, y1, x2, y2)) {
      trace(dev, p1, t);
      toggle_branch();
      trace(dev, p2, t);
      toggle_branch();
      return;
    }
  }
  if (!direct && gradient_norm2(x2, y2) <= gradient_norm2(x1, y1)) {
    toggle_branch();
    trace(dev, p2, p1);
    toggle_branch();
    return;
  }
  trace(dev, p1, p2);
}

int16_t conic_plot_clipped(DisplayDevice* dev, char shape) {
  double xs[8], ys[8];
  const int16_t n = conic_clip_helper(xs, ys, nullptr);
  trace_series_started = 0;
  const dpoint K = conic_axis_point, Km = mirror(conic_axis_point);
  if (n == 0) {
    if (conic_kind == kConicEllipse && in_window(K)) {
      conic_branch = 1;
      if (shape == 'E') {
        const dpoint K2 = conic_axis_point2, K2m = mirror(conic_axis_point2);
        trace(dev, K, K2);
        trace(dev, Km, K2m);
        conic_branch = 0;
        trace(dev, Km, K2);
        trace(dev, K, K2m);
      } else {
        trace(dev, K, K);
      }
    }
    trace_series_started = 0;
    return 0;
  }

  // The first crossing's edge tells on which side of it the visible piece
  // runs.
  dpoint g = half_gradient(xs[0], ys[0]);
  if (ys[0] == conic_window[1])
    conic_branch = g.x >= 0;
  else if (xs[0] == conic_window[2] - 1.0)
    conic_branch = g.y >= 0;
  else if (ys[0] == conic_window[3] - 1.0)
    conic_branch = g.x < 0;
  else
    conic_branch = 0;
  const int partner = conic_branch ? (n > 1 ? 1 : 0) : n - 1;
  if (!conic_branch) g = dpoint{-g.x, -g.y};
  const int step = g.y * (ys[partner] - ys[0]) + g.x * (xs[partner] - xs[0]) >= 0 ? -1 : 1;

  for (int i = 0; i < n; i += 2) {
    int j = i + step;
    if (j == -1) j = n - 1;
    // An odd count (a tangency rounded into one crossing) leaves the last
    // crossing without a partner.
    if (j < 0 || j >= n) continue;
    const double x1 = xs[i], y1 = ys[i], x2 = xs[j], y2 = ys[j];
    const dpoint p1{x1, y1}, p2{x2, y2};
    if (shape == 'E') {
      const bool k_in = on_arc_side(K, x1, y1, x2, y2), km_in = on_arc_side(Km, x1, y1, x2, y2);
      if (k_in && km_in) {
        const double s = (K.x - x1) * (Km.y - K.y) - (K.y - y1) * (Km.x - K.x);
        if (conic_branch ? s > 0 : s < 0) {
          toggle_branch();
          conic_plot_branch(dev, K.x, K.y, x1, y1, 1);
          toggle_branch();
          conic_plot_branch(dev, K.x, K.y, Km.x, Km.y, 1);
          conic_plot_branch(dev, Km.x, Km.y, x2, y2, 1);
        } else {
          toggle_branch();
          conic_plot_branch(dev, Km.x, Km.y, x1, y1, 1);
          toggle_branch();
          conic_plot_branch(dev, Km.x, Km.y, K.x, K.y, 1);
          conic_plot_branch(dev, K.x, K.y, x2, y2, 1);
        }
      } else if (k_in || km_in) {
        const dpoint t = k_in ? K : Km;
        toggle_branch();
        conic_plot_branch(dev, t.x, t.y, x1, y1, 1);
        toggle_branch();
        conic_plot_branch(dev, t.x, t.y, x2, y2, 1);
      } else {
        conic_plot_branch(dev, x1, y1, x2, y2, 0);
      }
    } else if (shape == 'P' || shape == 'H') {
      dpoint t = K;
      if (shape == 'H') {
        dpoint g1 = half_gradient(x1, y1);
        if (!conic_branch) g1 = dpoint{-g1.x, -g1.y};
        const double s = g1.y * (K.y - y1) + g1.x * (K.x - x1);
        t = (conic_branch ? s <= 0 : s > 0) ? K : Km;
      }
      if (on_arc_side(t, x1, y1, x2, y2)) {
        toggle_branch();
        trace(dev, t, p1);
        toggle_branch();
        trace(dev, t, p2);
      } else if (gradient_norm2(x2, y2) <= gradient_norm2(x1, y1)) {
        toggle_branch();
        trace(dev, p2, p1);
        toggle_branch();
      } else {
        trace(dev, p1, p2);
      }
    } else {
      trace(dev, p1, p2);
    }
  }
  trace_series_started = 0;
  return n;
}

void plot_conic_pixel(DisplayDevice* dev, double x, double y, uint32_t color) {
  const tagRECT& r = dev->portRect;
  if (!(r.left <= x && x < r.right && r.top <= y && y < r.bottom)) return;
  const auto px = static_cast<int32_t>(std::floor(x + 0.5)), py = static_cast<int32_t>(std::floor(y + 0.5));
  if (dev->bm && dev->bm->pixels && dev->ratio == 1) {
    begin_pixel_stroke(dev, px, py, color);
    pen_plot_pixel_a();
  } else if (dev->dc) {
    dc_pixel(dev->dc, dd_x(dev, px), dd_y(dev, py), color);
  }
}

void draw_degenerate_conic(DisplayDevice* dev) {
  const dot* style = &default_conic_style();
  switch (conic_kind) {
    case kConicDoubleLine:
      line_of_equation(dev, conic_a, conic_b, conic_c, style);
      return;
    case kConicPoint:
      plot_conic_pixel(dev, conic_origin.x, conic_origin.y, conic_color);
      return;
    case kConicLine:
      // The general equation 2D x + 2E y + F = 0.
      if (conic_d != 0) whole_line(dev, conic_f / (-2 * conic_d), 0, (200 * conic_e + conic_f) / (-2 * conic_d), 100, style);
      if (conic_e != 0) whole_line(dev, 0, conic_f / (-2 * conic_e), 100, (200 * conic_d + conic_f) / (-2 * conic_e), style);
      return;
    default:
      return;
  }
}

// ------------------------------------------------------------ drawing

void draw_conic_curve(DisplayDevice* dev, object* conic, const dot* style) {
  conic_thick = conic ? conic->settings.thickness : default_attrs[ATTRS_CIRCLE_CONIC].settings.thickness;
  if (thicken_strokes) ++conic_thick;
  store_clip_result(conic, 255);
  conic_thin = 0;
  switch (conic_kind) {
    case kConicCoincidence:
    case kConicAlignment:
    case kConicEveryPoint:
    case kConicNothing:
    case kConicImaginaryEllipse:
      return;
    case kConicParallelLines:
    case kConicCrossingLines: {
      const restarted_dash dash;
      const double line[2][3] = {{conic_a, conic_b, conic_c}, {conic_d, conic_e, conic_f}};
      for (const auto& l : line) {
        dash.restart();
        const double A = l[0], B = l[1], C = l[2];
        if (B != 0)
          whole_line(dev, 0, -C / B, 10, -(10 * A + C) / B, style);
        else if (A != 0)
          whole_line(dev, -C / A, 0, -C / A, 100, style);
      }
      return;
    }
    case kConicDoubleLine:
    case kConicPoint:
      draw_degenerate_conic(dev);
      return;
    case kConicParabola: {
      const bool thin = conic_param_a <= 1.0;
      if (thin) conic_thin = 1;
      store_clip_result(conic, conic_plot_clipped(dev, thin ? 'P' : 'p'));
      return;
    }
    case kConicCircle: {
      const double r = std::hypot(conic_axis_point.x - conic_origin.x, conic_axis_point.y - conic_origin.y);
      if (!std::isfinite(r) || !std::isfinite(conic_origin.x) || !std::isfinite(conic_origin.y)) return;
      valeur centre{};
      centre.h = conic_origin.x;
      centre.v = conic_origin.y;
      valeur through{};
      through.h = conic_axis_point.x;
      through.v = conic_axis_point.y;
      through.info.rayon = r;
      draw_stroke_twice(dev, &centre, &through, nullptr, nullptr, conic_color, back_color, conic_thick, style,
                        kStrokeFullCircle);
      return;
    }
    case kConicLine:
      line_of_equation(dev, conic_a, conic_b, conic_c, style);
      return;
    default:
      break;
  }

  // Ellipses, hyperbolas and any other code.
  const double l1 = conic_param_a, l2 = conic_param_b;
  if (!(std::fabs(l1) >= kTinyParameter && std::fabs(l2) >= kTinyParameter)) return;
  const bool ellipse = conic_kind == kConicEllipse;
  const double a = std::sqrt(1 / l1), b = ellipse ? std::sqrt(1 / l2) : std::sqrt(-1 / l2);
  if (!std::isfinite(a) || !std::isfinite(b)) return;
  conic_axis_point = dpoint{conic_origin.x + a * conic_axis_u.x, conic_origin.y + a * conic_axis_u.y};
  conic_axis_point2 = dpoint{conic_origin.x + b * conic_axis_v.x, conic_origin.y + b * conic_axis_v.y};
  const double q = l2 <= 0 ? b * b / a : std::fmin(a * a / b, b * b / a);

  if (conic_kind == kConicHyperbola || conic_kind == kConicRectHyperbola) {
    if (q <= 1.0 || a <= 2.0) {
      conic_thin = 1;
      double xs[8], ys[8];
      if (conic_clip_helper(xs, ys, nullptr) == 0) return;
      const restarted_dash dash;
      if (q <= 1.0) {
        store_clip_result(conic, conic_plot_clipped(dev, 'H'));
        return;
      }
      // Sharper than a pixel at the vertices: the asymptotes.
      const double cx = conic_origin.x, cy = conic_origin.y;
      const double A = conic_a, B = conic_b, C = conic_c;
      dash.restart();
      if (std::fabs(C) > 1e-10) {
        const double s = std::sqrt(B * B - A * C);
        whole_line(dev, cx, cy, cx + 100, cy + 100 * (s - B) / C, style);
        dash.restart();
        whole_line(dev, cx, cy, cx + 100, cy + 100 * (-B - s) / C, style);
      } else {
        whole_line(dev, cx, cy, cx, cy + 100, style);
        dash.restart();
        if (B != 0) whole_line(dev, cx, cy, cx + 100, cy + 100 * (-A / (2 * B)), style);
      }
      return;
    }
    store_clip_result(conic, conic_plot_clipped(dev, 'h'));
    return;
  }
  if (q <= 1.0) {
    if (!ellipse) return;
    conic_thin = 1;
    if (b >= 1.0) {
      store_clip_result(conic, conic_plot_clipped(dev, 'E'));
    } else {
      // Thinner than a pixel: the major axis.
      const dpoint other = mirror(conic_axis_point);
      draw_segment_styled(dev, conic_axis_point.x, conic_axis_point.y, other.x, other.y, conic_color, conic_thick,
                          style, kExtentSegment);
    }
    return;
  }
  store_clip_result(conic, conic_plot_clipped(dev, 'e'));
}

void draw_conic_pass(DisplayDevice* dev, object* conic, const dot* style, uint32_t color) {
  if (!dev || !conic || !conic->valeurs || conic->nbvaleurs < kConicValueCount) return;
  conic_load_workspace(conic->valeurs);
  conic_color = color;
  switch (conic_kind) {
    case kConicParabola:
      conic_axis_point = conic_origin;
      break;
    case kConicEllipse:
    case kConicHyperbola:
    case kConicRectHyperbola: {
      const double a = 1 / std::sqrt(conic_param_a), b = 1 / std::sqrt(std::fabs(conic_param_b));
      conic_axis_point = dpoint{conic_origin.x + a * conic_axis_u.x, conic_origin.y + a * conic_axis_u.y};
      conic_axis_point2 = dpoint{conic_origin.x + b * conic_axis_v.x, conic_origin.y + b * conic_axis_v.y};
      break;
    }
    case kConicCircle:
      if (conic->nbparents < 1 || !conic->parents || !conic->parents[0] || !conic->parents[0]->valeurs) return;
      conic_axis_point = dpoint{conic->parents[0]->valeurs[0].h, conic->parents[0]->valeurs[0].v};
      break;
    default:
      break;
  }
  const tagRECT& r = dev->portRect;
  const bool own_bitmap = dev->bm && dev->bm->pixels;
  const int32_t k = own_bitmap ? 1 : (conic_resolution > 0 ? conic_resolution : 1);
  conic_window[0] = r.left * k;
  conic_window[1] = r.top * k;
  conic_window[2] = r.right * k;
  conic_window[3] = r.bottom * k;
  set_dash_pattern(style ? &style->lg : nullptr);
  draw_conic_curve(dev, conic, style);
  pixel_pen.dash_active = 0;
}

void draw_conic(DisplayDevice* dev, object* conic) {
  if (!dev || !conic) return;
  const dot style = conic->settings.dot_style;
  if (selection_drawing) {
    draw_conic_pass(dev, conic, &style, back_color);
    draw_conic_pass(dev, conic, &kHighlightDash, object_effective_color(conic));
    return;
  }
  draw_conic_pass(dev, conic, &style, object_effective_color(conic));
}
