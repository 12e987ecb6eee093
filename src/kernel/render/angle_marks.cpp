#include "kernel/render/angle_marks.h"

#include <cmath>

#include "kernel/objects/circle_types.h"
#include "kernel/objects/straight_types.h"
#include "kernel/prefs/hit_distance.h"
#include "kernel/render/colors.h"
#include "kernel/render/object_colors.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/render/stroke_engine.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/text/labels.h"
#include "kernel/tools/hit_state.h"

namespace {

constexpr double kApart = 2e-10;

valeur at(double h, double v) {
  valeur x{};
  x.h = h;
  x.v = v;
  return x;
}

double l1(const valeur& p, const valeur& q) { return std::fabs(p.h - q.h) + std::fabs(p.v - q.v); }

void segment(DisplayDevice* dd, const valeur& p, const valeur& q, uint32_t colour, uint8_t thickness, const dot* dash) {
  draw_segment_styled(dd, p.h, p.v, q.h, q.v, colour, thickness, dash, kExtentSegment);
}

void dot_at(DisplayDevice* dd, double x, double y, int32_t size, uint32_t colour) {
  draw_point_mark(dd, x, y, 0, size, colour, kShapeSquare, nullptr);
}

// The joint dot of a thick symbol: size 1 at thickness 2, size 0 at 1.
void joint_dot(DisplayDevice* dd, const valeur& p, uint8_t thickness, uint32_t colour) {
  if (thickness == 2) dot_at(dd, p.h, p.v, 1, colour);
  if (thickness == 1) dot_at(dd, p.h, p.v, 0, colour);
}

void ring(DisplayDevice* dd, const valeur* a, const valeur* b, const valeur* c, const valeur* d, double r,
          uint32_t colour, uint8_t thickness, const dot* dash) {
  const circle_record circle{d->h, d->v, r};
  draw_stroke_twice(dd, a, b, c, &circle, colour, back_color, thickness, dash, 0);
}

}  // namespace

void draw_angle_mark_tick(DisplayDevice* dd, const valeur* a, const valeur* b, const valeur* c, const valeur* d,
                          uint32_t colour, uint16_t extra) {
  const double dx = std::floor(b->h - d->h + 0.5), dy = std::floor(b->v - d->v + 0.5);
  double len = std::floor(std::sqrt(dx * dx + dy * dy) + 0.5);
  if (!(len >= 1)) len = 1;
  double h = 4;
  if (l1(*a, *c) < 8) {
    const double m = std::fabs(std::floor(b->h - a->h + 0.5)) + std::fabs(std::floor(b->v - a->v + 0.5));
    if (m < 8) h = m / 1.5;
  }
  static const dot solid{1, 1};
  const double out = 3.0 * extra + h;
  draw_segment_styled(dd, b->h - dx * h / len, b->v - dy * h / len, b->h + dx * out / len, b->v + dy * out / len,
                      colour, 0, &solid, kExtentSegment);
}

void draw_right_angle_symbol(DisplayDevice* dd, const valeur* a, const valeur* b, const valeur* c, const valeur* d,
                             uint16_t symbol, uint32_t colour, uint8_t thickness, const dot* dash) {
  const double uh = a->h - d->h, uv = a->v - d->v, vh = c->h - d->h, vv = c->v - d->v;
  switch (symbol) {
    case 2: {
      const valeur m = at(d->h + (uh + vh) / 4, d->v + (uv + vv) / 4);
      const valeur a2 = at(a->h + vh / 4, a->v + vv / 4), c2 = at(c->h + uh / 4, c->v + uv / 4);
      segment(dd, a2, m, colour, thickness, dash);
      segment(dd, c2, m, colour, thickness, dash);
      dot_at(dd, b->h, b->v, 0, colour);
      joint_dot(dd, m, thickness, colour);
      return;
    }
    case 3:
      dot_at(dd, (4 * b->h + 5 * d->h) / 9, (4 * b->v + 5 * d->v) / 9, 0, colour);
      ring(dd, a, b, c, d, d->info.rayon, colour, thickness, dash);
      return;
    default: {
      const valeur q = at(a->h + c->h - d->h, a->v + c->v - d->v);
      segment(dd, *a, q, colour, thickness, dash);
      segment(dd, *c, q, colour, thickness, dash);
      joint_dot(dd, q, thickness, colour);
      return;
    }
  }
}

void draw_angle_mark_values(DisplayDevice* dd, const valeur* v, uint8_t style, uint32_t colour, uint8_t thickness,
                            const dot* dash) {
  const uint8_t dash_active = pixel_pen.dash_active;
  const valeur &a = v[0], &b = v[1], &c = v[2], &d = v[3];
  const double r = d.info.rayon;
  if (c.info.rayon != 0 && style > 15) {
    pixel_pen.dash_active = dash_active;
    draw_right_angle_symbol(dd, &a, &b, &c, &d, static_cast<uint16_t>(style >> 4), colour, thickness, dash);
    return;
  }
  const int s = style & 7;
  if (s > 2) {
    pixel_pen.dash_active = dash_active;
    draw_angle_mark_tick(dd, &a, &b, &c, &d, colour, static_cast<uint16_t>(s % 3));
  }
  if (l1(a, c) > kApart) {
    if (!(r > 0) || !std::isfinite(r)) return;
    pixel_pen.dash_active = dash_active;
    ring(dd, &a, &b, &c, &d, r, colour, thickness, dash);
    for (int i = 1; i <= s % 3; ++i) {
      const double ri = r + 3 * i, f = ri / r;
      const auto scaled = [&](const valeur& x) { return at(d.h + f * (x.h - d.h), d.v + f * (x.v - d.v)); };
      const valeur ai = scaled(a), bi = scaled(b), ci = scaled(c);
      pixel_pen.dash_active = dash_active;
      ring(dd, &ai, &bi, &ci, &d, ri, colour, thickness, dash);
    }
  } else if (l1(a, b) > kApart) {
    // A closed mark: the full circle of the mark's radius.
    valeur centre = at(d.h, d.v), radius = at(b.h, b.v);
    radius.info.rayon = r;
    pixel_pen.dash_active = dash_active;
    draw_stroke_twice(dd, &centre, &radius, nullptr, nullptr, colour, back_color, thickness, dash, kStrokeFullCircle);
  }
}

void draw_angle_mark(DisplayDevice* dd, object* mark) {
  if (!dd || !mark || !mark->valeurs || mark->nbvaleurs < 4) return;
  if (mark->state & (OBJ_UNDEFINED | OBJ_AT_INFINITY)) return;
  draw_angle_mark_values(dd, mark->valeurs, mark->settings.graph_type, object_effective_color(mark),
                         mark->settings.thickness, &mark->settings.dot_style);
}

bool angle_mark_hit_test(object* mark, tagPOINT* m) {
  hit_part = 0;
  if (!mark || (mark->state & (OBJ_AT_INFINITY | OBJ_UNDEFINED))) return false;
  if (!mark->valeurs || mark->nbvaleurs < 4) return false;
  if (hit_test_object_label(mark, m)) return true;
  const valeur* v = mark->valeurs;
  const valeur &a = v[0], &b = v[1], &c = v[2], &d = v[3];
  const auto near = [m](const valeur& p) { return std::fabs(m->x - p.h) + std::fabs(m->y - p.v) < pick_tolerance; };
  if (c.info.rayon == 0) {
    if (!arc_hit_test(mark, m)) return false;
    hit_part = near(b) ? 2 : 0;
    return true;
  }
  if ((mark->settings.graph_type >> 4) == 2) {
    if (!near(b)) return false;
    hit_part = 2;
    return true;
  }
  const valeur q = at(a.h + c.h - d.h, a.v + c.v - d.v);
  if (near(q)) {
    hit_part = 2;
    return true;
  }
  const auto arm = [m](const valeur& e1, const valeur& e2) {
    const double dot = (e1.h - m->x) * (e2.h - m->x) + (e1.v - m->y) * (e2.v - m->y);
    return dot <= 0 && near_segment(&e1, &e2, m);
  };
  return arm(a, q) || arm(q, c);
}
