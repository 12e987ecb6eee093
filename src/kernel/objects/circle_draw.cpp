#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/objects/circle_types.h"
#include "kernel/objects/straight_types.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/object_colors.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/render/stroke_engine.h"

namespace {

// Above these radii a circle, or an arc, is drawn as straight pieces.
constexpr double kCircleAsLine = 32000;
constexpr double kArcAsLine = 100000;
// The fill of an arc keeps within this distance of the arc.
constexpr double kChordTolerance = 0.2;

bool at_infinity(const valeur& v) { return (v.infini_inexist_indetermine & VAL_AT_INFINITY) != 0; }

struct style {
  uint32_t colour;
  uint8_t thickness;
  dot dash;
};

style style_of(const object* o) { return {object_effective_color(o), o->settings.thickness, o->settings.dot_style}; }

// The straight piece through (x1, y1) and (x2, y2).
void piece(DisplayDevice* dd, const style& s, double x1, double y1, double x2, double y2, uint16_t kind) {
  draw_segment_styled(dd, x1, y1, x2, y2, s.colour, s.thickness, &s.dash, kind);
}

bool inside_port(const DisplayDevice* dd, const valeur& p) {
  const tagRECT& r = dd->portRect;
  return p.h >= r.left && p.h <= r.right && p.v >= r.top && p.v <= r.bottom;
}

// The two rays of a flat arc pointing away from each other along u, the
// second continuing the dash of the first.
void two_rays(DisplayDevice* dd, const style& s, const valeur* v, double uh, double uv) {
  const bool dashed = pixel_pen.dash_active != 0;
  const uint8_t pattern[2] = {pixel_pen.on_length, pixel_pen.period};
  if ((v[2].h - v[0].h) * uh + (v[2].v - v[0].v) * uv > 0) {
    uh = -uh;
    uv = -uv;
  }
  piece(dd, s, v[0].h, v[0].v, v[0].h + uh, v[0].v + uv, kExtentRay);
  if (dashed) set_dash_pattern(pattern);
  piece(dd, s, v[2].h, v[2].v, v[2].h - uh, v[2].v - uv, kExtentRay);
}

// A very large circle: the line through its two crossings with the view's
// edges, when it crosses exactly two of them.
void large_circle(DisplayDevice* dd, const style& s, const valeur& c, double r) {
  const tagRECT& rect = dd->portRect;
  const double cx[4] = {double(rect.left), double(rect.right), double(rect.right), double(rect.left)};
  const double cy[4] = {double(rect.top), double(rect.top), double(rect.bottom), double(rect.bottom)};
  double power[4];
  for (int k = 0; k < 4; ++k) power[k] = (cx[k] - c.h) * (cx[k] - c.h) + (cy[k] - c.v) * (cy[k] - c.v) - r * r;
  int sides[4];
  int found = 0;
  int limit = 4;
  for (int k = 0; k < limit && found < 4; ++k) {
    if (std::fabs(power[k]) < 1e-10) {
      sides[found++] = k;
      if (k == 0) limit = 3;
      continue;
    }
    const int next = (k + 1) % 4;
    if (std::fabs(power[next]) < 1e-10) {
      sides[found++] = next;
      ++k;
    } else if (power[k] * power[next] < 0) {
      sides[found++] = k;
    }
  }
  if (found != 2) return;
  double x[2], y[2];
  for (int i = 0; i < 2; ++i) {
    const int a = sides[i], b = (sides[i] + 1) % 4;
    if (cx[a] != cx[b]) {
      y[i] = cy[a];
      x[i] = c.h + std::sqrt(std::fabs(r * r - (y[i] - c.v) * (y[i] - c.v)));
      if (x[i] < rect.left || x[i] > rect.right) x[i] = 2 * c.h - x[i];
    } else {
      x[i] = cx[a];
      y[i] = c.v + std::sqrt(std::fabs(r * r - (x[i] - c.h) * (x[i] - c.h)));
      if (y[i] < rect.top || y[i] > rect.bottom) y[i] = 2 * c.v - y[i];
    }
  }
  piece(dd, s, x[0], y[0], x[1], y[1], kExtentLine);
}

// A nearly straight arc (radius above kArcAsLine), from its values.
void large_arc(DisplayDevice* dd, const style& s, const valeur* v) {
  const valeur& c = v[3];
  const double r = c.info.rayon;
  if (inside_port(dd, c)) return;
  const double uh = c.v, uv = -c.h;
  const bool in0 = inside_port(dd, v[0]), in1 = inside_port(dd, v[1]), in2 = inside_port(dd, v[2]);
  if (!in0 && !in1 && !in2) {
    const tagRECT& rect = dd->portRect;
    const double mh = (rect.left + rect.right) / 2, mv = (rect.top + rect.bottom) / 2;
    const double d = std::hypot(mh - c.h, mv - c.v);
    if (d <= 0) return;
    const double qh = c.h + r * (mh - c.h) / d, qv = c.v + r * (mv - c.v) / d;
    const double nh = v[0].v - v[2].v, nv = v[2].h - v[0].h;
    if ((nh * (v[1].h - v[0].h) + nv * (v[1].v - v[0].v)) * (nh * (qh - v[0].h) + nv * (qv - v[0].v)) <= 0) return;
    piece(dd, s, qh, qv, qh + (c.v - qv), qv + (qh - c.h), kExtentLine);
    return;
  }
  if (in1 && !in0 && !in2) {
    piece(dd, s, v[1].h, v[1].v, v[1].h + uh, v[1].v + uv, kExtentLine);
    return;
  }
  if (!(in0 && in2)) {
    const valeur& p = in0 ? v[0] : v[2];
    const double len = std::hypot(uh, uv);
    if (len <= 0) return;
    double ux = uh / len, uy = uv / len;
    const double side = ((v[0].v - v[2].v) * ux + (v[2].h - v[0].h) * uy) *
                        ((v[1].h - p.h) * (v[0].v - v[2].v) + (v[1].v - p.v) * (v[2].h - v[0].h));
    if (side < 0) {
      ux = -ux;
      uy = -uy;
    }
    piece(dd, s, p.h, p.v, p.h + ux, p.v + uy, kExtentRay);
    return;
  }
  const double mid = (v[0].h - v[1].h) * (v[2].h - v[1].h) + (v[0].v - v[1].v) * (v[2].v - v[1].v);
  if (in1 && mid < 0)
    piece(dd, s, v[0].h, v[0].v, v[2].h, v[2].v, kExtentSegment);
  else
    two_rays(dd, s, v, uh, uv);
}

}  // namespace

void draw_circle(DisplayDevice* dd, object* c) {
  if (!dd || !c || !c->valeurs || c->nbvaleurs < 2) return;
  const valeur* v = c->valeurs;
  if (at_infinity(v[1])) return;
  const style s = style_of(c);
  if (at_infinity(v[0])) {
    // The circle became the line through [1] whose normal is [0].
    piece(dd, s, v[1].h, v[1].v, v[1].h + v[0].v, v[1].v - v[0].h, kExtentLine);
    return;
  }
  const double r = v[1].info.rayon;
  if (r > kCircleAsLine) {
    large_circle(dd, s, v[0], r);
    return;
  }
  uint32_t fill = object_effective_fill_color(c);
  uint8_t filled = c->settings.opaque ? kStrokeOpaqueFill : 0;
  if (!fill_enabled || !c->settings.visible) {
    filled = 0;
    fill = back_color;
  }
  draw_stroke_twice(dd, &v[0], &v[1], nullptr, nullptr, s.colour, fill, s.thickness, &s.dash,
                    static_cast<uint8_t>(kStrokeFullCircle | filled));
}

void draw_arc(DisplayDevice* dd, object* a) {
  if (!dd || !a || !a->valeurs || a->nbvaleurs < 4) return;
  const valeur* v = a->valeurs;
  const style s = style_of(a);
  const valeur& c = v[3];
  switch (arc_shape_code(v)) {
    case ARC_PROPER: {
      const double r = c.info.rayon;
      const kelvo_win_info* fig = KPGeoDocument::currentInfo();
      const uint32_t fill = object_effective_fill_color(a);
      if (a->settings.opaque || (fig && fill != fig->bgcolor)) {
        const double k = (v[2].v - v[0].v) * (v[1].h - v[0].h) + (v[0].h - v[2].h) * (v[1].v - v[0].v);
        if (k <= 0)
          fill_arc_segment(dd, &v[2], &v[0], &c, fill, a->settings.opaque);
        else
          fill_arc_segment(dd, &v[0], &v[2], &c, fill, a->settings.opaque);
      }
      if (r <= kArcAsLine) {
        const circle_record circle{c.h, c.v, r};
        draw_stroke_twice(dd, &v[0], &v[1], &v[2], &circle, s.colour, back_color, s.thickness, &s.dash, 0);
      } else {
        large_arc(dd, s, v);
      }
      return;
    }
    case ARC_START_AT_INF:
      piece(dd, s, v[2].h, v[2].v, v[1].h, v[1].v, kExtentRay);
      return;
    case ARC_END_AT_INF:
      piece(dd, s, v[0].h, v[0].v, v[1].h, v[1].v, kExtentRay);
      return;
    case ARC_FLAT_SEGMENT:
      piece(dd, s, v[0].h, v[0].v, v[2].h, v[2].v, kExtentSegment);
      return;
    case ARC_FLAT_RAYS:
      two_rays(dd, s, v, c.v, -c.h);
      return;
    case ARC_ENDS_SAME_INF:
      piece(dd, s, v[1].h, v[1].v, v[1].h + v[0].h, v[1].v + v[0].v, kExtentLine);
      return;
    default:
      return;
  }
}

void fill_arc_segment(DisplayDevice* dd, const valeur* p, const valeur* q, const valeur* centre, uint32_t colour,
                      int8_t opaque) {
  if (!dd || !dd->dc || !p || !q || !centre) return;
  const double ch = centre->h, cv = centre->v, r = centre->info.rayon;
  const double chord_h = q->h - p->h, chord_v = q->v - p->v;
  const double chord2 = chord_h * chord_h + chord_v * chord_v;
  // A tiny circle has no room for the tolerance band, and a chord of no
  // length bounds nothing.
  if (!(r > kChordTolerance) || !(chord2 > 1e-20)) return;
  std::vector<tagPOINT> pts;
  auto device = [&](double x, double y) { return tagPOINT{dd_x(dd, x), dd_y(dd, y)}; };

  if (r <= kArcAsLine) {
    const double a0 = std::atan2(p->v - cv, p->h - ch);
    double a1 = std::atan2(q->v - cv, q->h - ch);
    if (a1 < a0) a1 += 2 * std::numbers::pi;
    const double theta =
        2 * std::atan2(std::sqrt((2 * r - kChordTolerance) * kChordTolerance), r - 1);
    if (!(theta > 0)) return;
    int n = static_cast<int>(std::ceil((a1 - a0) / theta));
    if (n % 2) ++n;
    if (n < 2) return;
    pts.resize(static_cast<size_t>(n));
    const double shrink = (r - kChordTolerance) / r;
    double xh = ch + (p->h - ch) * shrink, xv = cv + (p->v - cv) * shrink;
    const double cs = std::cos(theta), sn = std::sin(theta);
    auto mirror = [&](double x, double y) {
      const double k = 2 * ((ch - x) * chord_h + (cv - y) * chord_v) / chord2;
      return device(x + k * chord_h, y + k * chord_v);
    };
    int i = 0;
    const double mid = (a0 + a1) / 2;
    for (double a = a0; a < mid && 2 * i < n; a += theta, ++i) {
      pts[i] = device(xh, xv);
      pts[n - 1 - i] = mirror(xh, xv);
      const double dh = xh - ch, dv = xv - cv;
      xh = ch + cs * dh - sn * dv;
      xv = cv + sn * dh + cs * dv;
    }
    if (2 * i < n) {
      pts[n - 1 - i] = device(xh, xv);
      pts[i] = mirror(xh, xv);
    }
  } else {
    // The arc is straight at the scale of the view: the part of the view on
    // the arc's side of the chord.
    const tagRECT& rect = dd->portRect;
    const double x[5] = {double(rect.left), double(rect.right), double(rect.right), double(rect.left),
                         double(rect.left)};
    const double y[5] = {double(rect.top), double(rect.top), double(rect.bottom), double(rect.bottom),
                         double(rect.top)};
    auto inside = [&](int k) {
      const double dx = x[k] - ch, dy = y[k] - cv;
      return (x[k] - p->h) * chord_v - (y[k] - p->v) * chord_h > 0 && dx * dx + dy * dy <= r * r;
    };
    bool was = inside(0);
    if (was) pts.push_back(device(x[0], y[0]));
    for (int k = 1; k <= 4; ++k) {
      const bool now = inside(k);
      if (now != was) {
        if (y[k] == y[k - 1]) {
          if (chord_v != 0) pts.push_back(device((y[k] - p->v) * chord_h / chord_v + p->h, y[k]));
        } else if (chord_h != 0) {
          pts.push_back(device(x[k], (x[k] - p->h) * chord_v / chord_h + p->v));
        }
      }
      if (now && k < 4) pts.push_back(device(x[k], y[k]));
      was = now;
    }
  }
  if (pts.size() >= 2) dc_polygon(dd->dc, pts.data(), static_cast<int>(pts.size()), colour, opaque);
}
