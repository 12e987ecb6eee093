#include "kernel/model/compute_basic.h"

#include <cmath>
#include <numbers>

#include "kernel/measure/vector_measures.h"
#include "kernel/model/classes.h"
#include "kernel/objects/straight_types.h"
#include "kernel/tools/polygon_vertices.h"

namespace {

constexpr double kSmall = 1e-10;

bool small(double x, double y) { return std::fabs(x) + std::fabs(y) < kSmall; }

bool parallel(const valeur& a, const valeur& b) {
  return vector_cross_normalized(a.h, a.v, b.h, b.v) < kSmall;
}

uint16_t type_id(const object* o) { return o && o->otype ? o->otype->id : 0; }

bool at_infinity(const object* o) { return (o->state & OBJ_AT_INFINITY) != 0; }

// The object has at least `n` parents, each with a value, and `m` values of
// its own. Records that break this come only from damaged input; such an
// object is left undefined.
bool well_formed(object* o, int n, int m) {
  bool ok = o->parents && o->nbparents >= n && o->valeurs && o->nbvaleurs >= m;
  for (int i = 0; ok && i < n; ++i) ok = o->parents[i] && o->parents[i]->valeurs;
  if (!ok) o->state |= OBJ_UNDEFINED;
  return ok;
}

const valeur& first_value(const object* o, int i) { return o->parents[i]->valeurs[0]; }

void set_hv(valeur& out, double h, double v) {
  out.h = h;
  out.v = v;
}

bool is_polygonal(uint16_t t) { return t == TYPE_TRIANGLE || t == TYPE_POLYGON || t == 6; }

// The two ends of side k of a segment, vector, triangle or polygon, read
// from the carrier's own values. False when the carrier has no such values.
bool side_ends(const object* carrier, int k, valeur* a, valeur* b) {
  if (!carrier->valeurs) return false;
  if (is_polygonal(type_id(carrier))) {
    const int n = carrier->nbparents;
    if (n <= 0 || carrier->nbvaleurs < n) return false;
    const int i = ((k % n) + n) % n;
    *a = carrier->valeurs[i];
    *b = carrier->valeurs[(i + 1) % n];
    return true;
  }
  if (carrier->nbvaleurs < 2) return false;
  *a = carrier->valeurs[0];
  *b = carrier->valeurs[1];
  return true;
}

}  // namespace

void compute_vertices(object* o) {
  const int n = o->nbparents;
  const bool closed = type_id(o) != TYPE_SEGMENT && type_id(o) != TYPE_VECTOR;
  if (!well_formed(o, n, closed ? n + 1 : n)) return;
  for (int i = 0; i < n; ++i)
    if (at_infinity(o->parents[i])) {
      o->state |= OBJ_UNDEFINED;
      return;
    }
  for (int i = 0; i < n; ++i) o->valeurs[i] = first_value(o, i);
  if (closed && n > 0) o->valeurs[n] = first_value(o, 0);
}

void compute_line_one_point(object* o) {
  if (!well_formed(o, 1, 2)) return;
  valeur* v = o->valeurs;
  v[0] = first_value(o, 0);
  v[1].infini_inexist_indetermine = 0;
  if (v[0].infini_inexist_indetermine & VAL_AT_INFINITY)
    o->state |= parallel(v[0], v[1]) ? OBJ_UNDEFINED : OBJ_AT_INFINITY;
  else if (small(v[1].h, v[1].v))
    o->state |= OBJ_UNDEFINED;
}

void compute_line_two_points(object* o) {
  if (!well_formed(o, 2, 2)) return;
  valeur* v = o->valeurs;
  const object* a = o->parents[0];
  const object* b = o->parents[1];
  v[1].infini_inexist_indetermine = 0;
  if (at_infinity(a)) {
    v[1] = a->valeurs[0];
    v[0] = b->valeurs[0];
    if (at_infinity(b)) o->state |= parallel(a->valeurs[0], b->valeurs[0]) ? OBJ_UNDEFINED : OBJ_AT_INFINITY;
    return;
  }
  v[0] = a->valeurs[0];
  if (at_infinity(b)) {
    v[1] = b->valeurs[0];
    return;
  }
  set_hv(v[1], b->valeurs[0].h - a->valeurs[0].h, b->valeurs[0].v - a->valeurs[0].v);
  if (small(v[1].h, v[1].v)) o->state |= OBJ_UNDEFINED;
}

void compute_ray_two_points(object* o) {
  if (!well_formed(o, 2, 2)) return;
  if (at_infinity(o->parents[1])) {
    o->state |= OBJ_UNDEFINED;
    return;
  }
  compute_line_two_points(o);
}

void compute_circle_centre(object* o) {
  if (!well_formed(o, 1, 2)) return;
  valeur* v = o->valeurs;
  v[1].infini_inexist_indetermine = 0;
  v[0] = first_value(o, 0);
  if (at_infinity(o->parents[0])) {
    set_hv(v[1], v[0].h, v[0].v);
    v[1].infini_inexist_indetermine |= VAL_AT_INFINITY;
    o->state |= OBJ_AT_INFINITY;
    return;
  }
  set_hv(v[1], v[0].h + v[1].info.rayon, v[0].v);
}

void compute_circle_centre_point(object* o) {
  if (!well_formed(o, 2, 2)) return;
  valeur* v = o->valeurs;
  v[0] = first_value(o, 0);
  v[1] = first_value(o, 1);
  if (at_infinity(o->parents[1])) {
    o->state |= OBJ_AT_INFINITY;
    return;
  }
  // A circle whose centre is at infinity is the straight line through the
  // point perpendicular to the centre's direction.
  if (at_infinity(o->parents[0])) return;
  v[1].info.rayon = std::hypot(v[1].h - v[0].h, v[1].v - v[0].v);
}

void compute_arc_three_points(object* o) {
  if (!well_formed(o, 3, 4)) return;
  valeur* v = o->valeurs;
  for (int i = 0; i < 3; ++i) v[i] = first_value(o, i);
  const valeur &a = v[0], &b = v[1], &c = v[2];
  const auto inf = [](const valeur& x) { return (x.infini_inexist_indetermine & VAL_AT_INFINITY) != 0; };
  valeur& circle = v[3];
  bool degenerate = false;

  if (inf(a)) {
    if (inf(b)) o->state |= OBJ_UNDEFINED;
    if (inf(c)) {
      if (!parallel(a, c)) {
        o->state |= OBJ_UNDEFINED;
      } else {
        set_hv(circle, -a.v, a.h);
        circle.infini_inexist_indetermine = VAL_AT_INFINITY;
        degenerate = true;
      }
    }
  } else if (inf(b) && inf(c)) {
    o->state |= OBJ_UNDEFINED;
  }

  if (!degenerate)
    for (int k = 0; k < 3; ++k) {
      if (!inf(v[k])) continue;
      const valeur& next = v[(k + 1) % 3];
      const valeur& prev = v[(k + 2) % 3];
      set_hv(circle, next.v - prev.v, prev.h - next.h);
      circle.infini_inexist_indetermine = VAL_AT_INFINITY;
      if (small(circle.h, circle.v)) o->state |= OBJ_UNDEFINED;
      degenerate = true;
      break;
    }

  if (small(b.h - a.h, b.v - a.v) || (small(c.h - a.h, c.v - a.v) && !inf(a) && !inf(c)) ||
      small(c.h - b.h, c.v - b.v))
    o->state |= OBJ_UNDEFINED;

  if (!degenerate) {
    const double uh = b.h - a.h, uv = b.v - a.v;
    const double wh = c.h - a.h, wv = c.v - a.v;
    const double d = 2 * (uh * wv - uv * wh);
    const double norms = (std::fabs(uh) + std::fabs(uv)) * (std::fabs(wh) + std::fabs(wv));
    if (norms > 0 && std::fabs(d) / norms > kSmall) {
      const double s1 = (b.h + a.h) * uh + (b.v + a.v) * uv;
      const double s2 = (c.h + a.h) * wh + (c.v + a.v) * wv;
      set_hv(circle, (s1 * wv - s2 * uv) / d, (uh * s2 - s1 * wh) / d);
      circle.info.rayon = std::hypot(circle.h - a.h, circle.v - a.v);
      circle.infini_inexist_indetermine = 0;
    } else {
      set_hv(circle, -wv, wh);
      circle.infini_inexist_indetermine = VAL_AT_INFINITY;
      degenerate = true;
    }
  }

  if (o->nbvaleurs >= 5) {
    valeur& angles = v[4];
    if (degenerate) {
      double t;
      if (circle.h == 0)
        t = circle.v < 0 ? -std::numbers::pi / 2 : std::numbers::pi / 2;
      else
        t = std::atan(circle.v / circle.h);
      if (circle.h < 0) t -= std::numbers::pi;
      angles.h = angles.v = angles.info.rayon = t;
    } else {
      angles.h = std::atan2(a.v - circle.v, a.h - circle.h);
      angles.v = std::atan2(b.v - circle.v, b.h - circle.h);
      angles.info.rayon = std::atan2(c.v - circle.v, c.h - circle.h);
    }
  }
}

void midpoint_or_symmetric(object* o, int mode) {
  if (!well_formed(o, 2, 1)) return;
  valeur& out = o->valeurs[0];
  const object* p = o->parents[0];
  const object* c = o->parents[1];
  const valeur& pv = p->valeurs[0];
  const valeur& cv = c->valeurs[0];
  out.infini_inexist_indetermine = 0;
  if (at_infinity(p) && at_infinity(c)) {
    if (parallel(pv, cv)) {
      out = pv;
      o->state |= OBJ_AT_INFINITY;
    } else {
      out.infini_inexist_indetermine |= VAL_NOT_EXIST;
      o->state |= OBJ_UNDEFINED;
    }
  } else if (!at_infinity(p) && !at_infinity(c)) {
    if (mode == 1)
      set_hv(out, (pv.h + cv.h) / 2, (pv.v + cv.v) / 2);
    else
      set_hv(out, pv.h + 2 * (cv.h - pv.h), pv.v + 2 * (cv.v - pv.v));
  } else {
    out = at_infinity(p) ? pv : cv;
    out.infini_inexist_indetermine |= VAL_AT_INFINITY;
    o->state |= OBJ_AT_INFINITY;
  }
}

void compute_midpoint(object* o) { midpoint_or_symmetric(o, 1); }

void compute_midpoint_of_side(object* o) {
  if (!well_formed(o, 1, 1)) return;
  valeur a, b;
  if (!side_ends(o->parents[0], o->math.side.index, &a, &b)) {
    o->state |= OBJ_UNDEFINED;
    return;
  }
  valeur& out = o->valeurs[0];
  set_hv(out, (a.h + b.h) / 2, (a.v + b.v) / 2);
  out.infini_inexist_indetermine = 0;
}

namespace {

void perp_bisector_of(object* o, const valeur& a, const valeur& b) {
  valeur* v = o->valeurs;
  set_hv(v[1], b.v - a.v, a.h - b.h);
  if (small(v[1].h, v[1].v))
    o->state |= OBJ_UNDEFINED;
  else
    set_hv(v[0], (a.h + b.h) / 2, (a.v + b.v) / 2);
}

}  // namespace

void compute_perp_bisector(object* o) {
  if (!well_formed(o, 2, 2)) return;
  o->valeurs[1].infini_inexist_indetermine = 0;
  const bool ia = at_infinity(o->parents[0]), ib = at_infinity(o->parents[1]);
  if (ia && ib) o->state |= OBJ_UNDEFINED;
  if (ia != ib) {
    o->state |= OBJ_AT_INFINITY;
    return;
  }
  perp_bisector_of(o, first_value(o, 0), first_value(o, 1));
}

void compute_perp_bisector_of_side(object* o) {
  if (!well_formed(o, 1, 2)) return;
  o->valeurs[0].infini_inexist_indetermine = 0;
  o->valeurs[1].infini_inexist_indetermine = 0;
  valeur a, b;
  if (!side_ends(o->parents[0], o->math.side.index, &a, &b)) {
    o->state |= OBJ_UNDEFINED;
    return;
  }
  perp_bisector_of(o, a, b);
}

namespace {

// The direction of the straight object `l` that a parallel or perpendicular
// through `p` follows. False when `l` has no usable values.
bool straight_direction(const object* o, const object* p, const object* l, valeur* d) {
  const uint16_t t = type_id(l);
  if (!l->valeurs) return false;
  if (t == TYPE_LINE || t == TYPE_RAY) {
    if (l->nbvaleurs < 2) return false;
    *d = l->valeurs[1];
    return true;
  }
  if (t == TYPE_AXES) {
    const int k = o->math.side.index == 2 ? 2 : 1;
    if (l->nbvaleurs <= k) return false;
    *d = l->valeurs[k];
    return true;
  }
  int side = o->math.side.index;
  if (is_polygonal(t) && o->math.side.side_of_point) side = object_int_value(p);
  valeur a, b;
  if (!side_ends(l, side, &a, &b)) return false;
  *d = valeur{};
  set_hv(*d, b.h - a.h, b.v - a.v);
  return true;
}

}  // namespace

void compute_parallel(object* o) {
  if (!well_formed(o, 2, 2)) return;
  const object* p = o->parents[0];
  const object* l = o->parents[1];
  valeur d;
  if (!straight_direction(o, p, l, &d)) {
    o->state |= OBJ_UNDEFINED;
    return;
  }
  valeur* v = o->valeurs;
  v[0] = p->valeurs[0];
  v[1] = d;
  if (at_infinity(p)) {
    o->state |= !at_infinity(l) && parallel(p->valeurs[0], d) ? OBJ_UNDEFINED : OBJ_AT_INFINITY;
  } else if (at_infinity(l)) {
    o->state |= OBJ_UNDEFINED;
  }
}

void compute_perpendicular(object* o) {
  if (!well_formed(o, 2, 2)) return;
  const object* p = o->parents[0];
  const object* l = o->parents[1];
  valeur d;
  if (at_infinity(l) || !straight_direction(o, p, l, &d)) {
    o->state |= OBJ_UNDEFINED;
    return;
  }
  const double dh = d.v, dv = -d.h;
  if (small(dh, dv)) {
    o->state |= at_infinity(p) ? OBJ_AT_INFINITY : OBJ_UNDEFINED;
    return;
  }
  valeur* v = o->valeurs;
  v[0] = p->valeurs[0];
  set_hv(v[1], dh, dv);
  v[1].infini_inexist_indetermine = 0;
  if (at_infinity(p)) o->state |= parallel(p->valeurs[0], v[1]) ? OBJ_UNDEFINED : OBJ_AT_INFINITY;
}

void compute_angle_bisector(object* o) {
  if (!well_formed(o, 3, 2)) return;
  valeur* v = o->valeurs;
  v[0].infini_inexist_indetermine = 0;
  v[1].infini_inexist_indetermine = 0;
  const object* pa = o->parents[0];
  const object* po = o->parents[1];
  const object* pb = o->parents[2];
  if (at_infinity(pa) || at_infinity(pb)) {
    o->state |= OBJ_UNDEFINED;
    return;
  }
  const valeur &a = pa->valeurs[0], &c = po->valeurs[0], &b = pb->valeurs[0];
  if (at_infinity(po)) {
    v[1] = c;
    set_hv(v[0], (a.h + b.h) / 2, (a.v + b.v) / 2);
    return;
  }
  const double uh = a.h - c.h, uv = a.v - c.v;
  const double wh = b.h - c.h, wv = b.v - c.v;
  if (small(uh, uv) || small(wh, wv)) {
    o->state |= OBJ_UNDEFINED;
    return;
  }
  const double k = std::sqrt((uh * uh + uv * uv) / (wh * wh + wv * wv));
  double dh, dv;
  if (k < 1) {
    dh = uh + k * wh;
    dv = uv + k * wv;
  } else {
    dh = wh + uh / k;
    dv = wv + uv / k;
  }
  if (small(dh, dv)) {
    dh = -uv;
    dv = uh;
  }
  v[0] = c;
  set_hv(v[1], dh, dv);
}

void compute_regular_polygon_points(object* o) {
  const int n = o->math.polreg.nbsides;
  // Fewer than three sides make no polygon (and no angular step).
  if (n < 3 || !well_formed(o, 2, n + 2)) {
    o->state |= OBJ_UNDEFINED;
    return;
  }
  const int j = o->math.polreg.index;
  valeur* v = o->valeurs;
  const valeur &c = first_value(o, 0), &a = first_value(o, 1);
  set_hv(v[n + 1], c.h, c.v);
  set_hv(v[n], a.h, a.v);
  v[n].info.rayon = j * 2 * std::numbers::pi / n;
  v[n + 1].info.rayon = std::hypot(a.h - c.h, a.v - c.v);
  compute_polygon_vertices(static_cast<int16_t>(n), v);
}
