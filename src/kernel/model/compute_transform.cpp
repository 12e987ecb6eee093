#include "kernel/model/compute_transform.h"

#include <cmath>
#include <initializer_list>
#include <numbers>

#include "kernel/measure/unit_factor.h"
#include "kernel/measure/vector_measures.h"
#include "kernel/model/classes.h"
#include "kernel/model/compute_basic.h"
#include "kernel/model/units.h"
#include "kernel/objects/circle_types.h"

namespace {

constexpr double kSmall = 1e-10;
constexpr double kPi = std::numbers::pi;

bool small(double x, double y) { return std::fabs(x) + std::fabs(y) < kSmall; }
uint16_t type_id(const object* o) { return o && o->otype ? o->otype->id : 0; }
bool at_infinity(const object* o) { return (o->state & OBJ_AT_INFINITY) != 0; }
bool flagged_infinite(const valeur& v) { return (v.infini_inexist_indetermine & VAL_AT_INFINITY) != 0; }

// A number parent at infinity: its state or its value says so.
bool number_infinite(const object* n) { return at_infinity(n) || flagged_infinite(n->valeurs[0]); }

// Parents present with a value each, and an own value 0; anything else
// comes only from damaged input and leaves the object undefined.
bool well_formed(object* o, int n, int m = 1) {
  bool ok = o->parents && o->nbparents >= n && o->valeurs && o->nbvaleurs >= m;
  for (int i = 0; ok && i < n; ++i) ok = o->parents[i] && o->parents[i]->valeurs && o->parents[i]->nbvaleurs > 0;
  if (!ok) o->state |= OBJ_UNDEFINED;
  return ok;
}

const valeur& pv(const object* o, int i) { return o->parents[i]->valeurs[0]; }

valeur& result(object* o) {
  valeur& out = o->valeurs[0];
  out.infini_inexist_indetermine = 0;
  return out;
}

void place(valeur& out, double h, double v) {
  out.h = h;
  out.v = v;
}

void no_image(object* o) {
  o->valeurs[0].infini_inexist_indetermine |= VAL_NOT_EXIST;
  o->state |= OBJ_UNDEFINED;
}

// A direction as the image: flagged at infinity.
void direction_image(object* o, double h, double v) {
  valeur& out = o->valeurs[0];
  place(out, h, v);
  out.infini_inexist_indetermine |= VAL_AT_INFINITY;
  o->state |= OBJ_AT_INFINITY;
}

// A copy of a value as the image; state follows its infinity flag or `inf`.
void copy_image(object* o, const valeur& v, bool inf) {
  o->valeurs[0] = v;
  if (inf) {
    o->valeurs[0].infini_inexist_indetermine |= VAL_AT_INFINITY;
    o->state |= OBJ_AT_INFINITY;
  }
}

// |x - floor(x)| < 1e-10.
bool whole(double x) { return std::fabs(x - std::floor(x)) < kSmall; }

// The distance of a transfer in pixels: plain numbers and angles count in
// units of the default axes, areas are divided by one unit, lengths are
// pixels already.
double converted_distance(const object* n, double d) {
  switch (n->settings.unite >> 5) {
    case 0:
    case 4:
      return d * pixels_per_unit;
    case 2:
      return d / pixels_per_unit;
    default:
      return d;
  }
}

// The axis of a coordinate system that a side byte names: 2 the second,
// anything else the first.
int axis_value(const object* o) { return o->math.side.index == 2 ? 2 : 1; }

}  // namespace

void compute_translation(object* o) {
  if (!well_formed(o, 2)) return;
  const object* p = o->parents[0];
  const object* vec = o->parents[1];
  valeur& out = result(o);
  if (at_infinity(p)) {
    copy_image(o, pv(o, 0), true);
    return;
  }
  if (!vec->parents || vec->nbparents < 2 || !vec->parents[0] || !vec->parents[1] || !vec->parents[0]->valeurs ||
      !vec->parents[1]->valeurs) {
    no_image(o);
    return;
  }
  const valeur& s = vec->parents[0]->valeurs[0];
  const valeur& e = vec->parents[1]->valeurs[0];
  place(out, pv(o, 0).h + (e.h - s.h), pv(o, 0).v + (e.v - s.v));
}

void compute_reflection(object* o) {
  if (!well_formed(o, 2)) return;
  const object* p = o->parents[0];
  const object* m = o->parents[1];
  valeur& out = result(o);
  if (at_infinity(m) && !at_infinity(p)) {
    no_image(o);
    return;
  }
  if (at_infinity(p)) {
    copy_image(o, pv(o, 0), true);
    return;
  }
  const valeur* mv = m->valeurs;
  double bh, bv, dh, dv;
  switch (type_id(m)) {
    case TYPE_SEGMENT:
    case TYPE_VECTOR:
      if (m->nbvaleurs < 2) return no_image(o);
      bh = mv[0].h, bv = mv[0].v, dh = mv[1].h - mv[0].h, dv = mv[1].v - mv[0].v;
      break;
    case TYPE_TRIANGLE:
    case TYPE_POLYGON: {
      const int n = m->nbparents;
      if (n <= 0 || m->nbvaleurs < n) return no_image(o);
      const int k = o->math.side.index % n;
      const valeur &s = mv[k], &e = mv[(k + 1) % n];
      bh = s.h, bv = s.v, dh = e.h - s.h, dv = e.v - s.v;
      break;
    }
    case TYPE_AXES: {
      const int k = axis_value(o);
      if (m->nbvaleurs <= k) return no_image(o);
      bh = mv[0].h, bv = mv[0].v, dh = mv[k].h, dv = mv[k].v;
      break;
    }
    default:
      if (m->nbvaleurs < 2) return no_image(o);
      bh = mv[0].h, bv = mv[0].v, dh = mv[1].h, dv = mv[1].v;
      break;
  }
  if (small(dh, dv)) return no_image(o);
  const valeur& pp = pv(o, 0);
  const double t = (dh * (pp.h - bh) + dv * (pp.v - bv)) / (dh * dh + dv * dv);
  const double fh = bh + t * dh, fv = bv + t * dv;
  place(out, 2 * fh - pp.h, 2 * fv - pp.v);
}

void compute_symmetry(object* o) { midpoint_or_symmetric(o, 0); }

void rotate_about_centre(object* o, double theta, bool undefined) {
  if (!well_formed(o, 2)) return;
  valeur& out = result(o);
  if (undefined || !std::isfinite(theta)) {
    no_image(o);
    return;
  }
  const object* p = o->parents[0];
  const object* c = o->parents[1];
  const valeur& pp = pv(o, 0);
  const valeur& cc = pv(o, 1);
  if (at_infinity(c)) {
    if (at_infinity(p)) {
      if (whole(theta / kPi))
        copy_image(o, pp, true);
      else
        no_image(o);
    } else if (whole(theta / (2 * kPi))) {
      copy_image(o, pp, false);
    } else if (whole(theta / kPi)) {
      copy_image(o, cc, true);
    } else {
      direction_image(o, cc.v, -cc.h);
    }
    return;
  }
  const double dh = at_infinity(p) ? pp.h : pp.h - cc.h;
  const double dv = at_infinity(p) ? pp.v : pp.v - cc.v;
  const double co = std::cos(theta), si = std::sin(theta);
  const double rh = co * dh - si * dv, rv = si * dh + co * dv;
  if (at_infinity(p))
    direction_image(o, rh, rv);
  else
    place(out, cc.h + rh, cc.v + rv);
}

void compute_rotation_by_value(object* o) {
  if (!well_formed(o, 3)) return;
  object* n = o->parents[2];
  double theta = 0;
  bool undefined = false;
  if (type_id(n) == TYPE_ANGLE) {
    if (n->nbvaleurs == 4) arc_expand_values(n);
    if (!n->valeurs || n->nbvaleurs < 5) return no_image(o);
    double a0 = n->valeurs[4].h, a1 = n->valeurs[4].v;
    if (a0 < 0) a0 += 2 * kPi;
    if (a1 < 0) a1 += 2 * kPi;
    double delta = a1 - a0;
    if (delta > kPi) delta -= 2 * kPi;
    if (delta <= -kPi) delta += 2 * kPi;
    if (delta - kSmall < -kPi) delta = kPi;
    theta = -2 * delta;
    undefined = (n->valeurs[0].infini_inexist_indetermine & VAL_AT_INFINITY) != 0;
  } else {
    const double internal = n->valeurs[0].info.rayon;
    if ((n->settings.unite >> 5) == 4) {
      theta = -internal;
    } else {
      const double shown = internal / measure_unit_factor(n);
      const unsigned unit = angle_unit_pref & 31;
      theta = -(unit == 1 ? shown * kPi / 180 : unit == 2 ? shown * kPi / 200 : shown);
    }
    undefined = number_infinite(n);
  }
  rotate_about_centre(o, theta, undefined);
}

void compute_rotation_by_points(object* o) {
  if (!well_formed(o, 5)) return;
  for (int i = 2; i < 5; ++i)
    if (at_infinity(o->parents[i])) {
      result(o);
      return no_image(o);
    }
  const valeur &a = pv(o, 2), &c = pv(o, 3), &b = pv(o, 4);
  const double theta = std::atan2(b.v - c.v, b.h - c.h) - std::atan2(a.v - c.v, a.h - c.h);
  rotate_about_centre(o, theta, false);
}

void compute_dilation(object* o) {
  if (!well_formed(o, 3)) return;
  const object* p = o->parents[0];
  const object* c = o->parents[1];
  const object* n = o->parents[2];
  valeur& out = result(o);
  const valeur &pp = pv(o, 0), &cc = pv(o, 1);
  const double k = n->valeurs[0].info.rayon / measure_unit_factor(n);
  const bool n_inf = number_infinite(n);
  const double dh = pp.h - cc.h, dv = pp.v - cc.v;
  if (!at_infinity(p) && !at_infinity(c)) {
    if (!n_inf)
      place(out, cc.h + k * dh, cc.v + k * dv);
    else if (small(dh, dv))
      copy_image(o, pp, false);
    else
      direction_image(o, dh, dv);
  } else if (!at_infinity(p)) {
    if (!n_inf && std::fabs(k - 1) < kSmall)
      copy_image(o, pp, false);
    else
      copy_image(o, cc, true);
  } else if (at_infinity(c)) {
    if (vector_cross_normalized(pp.h, pp.v, cc.h, cc.v) < kSmall)
      copy_image(o, cc, true);
    else
      no_image(o);
  } else {
    if (!n_inf && std::fabs(k) < kSmall)
      copy_image(o, cc, false);
    else
      copy_image(o, pp, true);
  }
}

void compute_similarity_by_points(object* o) {
  if (!well_formed(o, 4)) return;
  const object* p = o->parents[0];
  const object* a = o->parents[1];
  const object* c = o->parents[2];
  const object* b = o->parents[3];
  valeur& out = result(o);
  const valeur &pp = pv(o, 0), &aa = pv(o, 1), &cc = pv(o, 2), &bb = pv(o, 3);
  if (at_infinity(c)) {
    if (at_infinity(a) || at_infinity(b))
      no_image(o);
    else
      copy_image(o, pp, at_infinity(p));
    return;
  }
  if (at_infinity(a) && at_infinity(b)) return no_image(o);
  double co = 1, si = 0, k = 0;
  if (!at_infinity(a)) {
    const double uh = aa.h - cc.h, uv = aa.v - cc.v;
    const double lu = std::hypot(uh, uv);
    const double wh = at_infinity(b) ? bb.h : bb.h - cc.h, wv = at_infinity(b) ? bb.v : bb.v - cc.v;
    const double lw = std::hypot(wh, wv);
    // A null direction at infinity turns by nothing one can name.
    if (lu < kSmall || (at_infinity(b) && lw < kSmall)) return no_image(o);
    if (lw < kSmall) {
      co = 1, si = 0;
    } else {
      co = (uh * wh + uv * wv) / (lu * lw);
      si = (uh * wv - uv * wh) / (lu * lw);
    }
    k = at_infinity(b) ? -1 : lw / lu;
  }
  if (!at_infinity(p)) {
    const double dh = pp.h - cc.h, dv = pp.v - cc.v;
    const double rh = k * (co * dh - si * dv), rv = k * (si * dh + co * dv);
    if (at_infinity(b))
      direction_image(o, rh, rv);
    else
      place(out, cc.h + rh, cc.v + rv);
  } else if (k != 0) {
    direction_image(o, k * (co * pp.h - si * pp.v), k * (si * pp.h + co * pp.v));
  } else {
    no_image(o);
  }
}

void compute_inversion(object* o) {
  if (!well_formed(o, 2)) return;
  const object* p = o->parents[0];
  const object* k = o->parents[1];
  valeur& out = result(o);
  const bool arc = type_id(k) == TYPE_ARC;
  if (k->nbvaleurs < (arc ? 4 : 2)) return no_image(o);
  const valeur& q = arc ? k->valeurs[3] : k->valeurs[0];
  const double r = arc ? q.info.rayon : k->valeurs[1].info.rayon;
  const bool straight = flagged_infinite(q);
  const valeur& pp = pv(o, 0);
  if (at_infinity(k)) {
    if (at_infinity(p))
      copy_image(o, pp, true);
    else
      direction_image(o, pp.h - q.h, pp.v - q.v);
    return;
  }
  if (straight) {
    // Inversion in a straight circle is the reflection in its line.
    if (at_infinity(p)) {
      copy_image(o, q, flagged_infinite(q));
      return;
    }
    const valeur& base = k->valeurs[1];
    const double dh = -q.v, dv = q.h;
    if (small(dh, dv)) return no_image(o);
    const double t = (dh * (pp.h - base.h) + dv * (pp.v - base.v)) / (dh * dh + dv * dv);
    place(out, 2 * (base.h + t * dh) - pp.h, 2 * (base.v + t * dv) - pp.v);
    return;
  }
  const double dh = pp.h - q.h, dv = pp.v - q.v;
  if (!at_infinity(p) && small(dh, dv)) {
    direction_image(o, pp.h, pp.v);
    return;
  }
  if (at_infinity(p)) {
    place(out, q.h, q.v);
    out.infini_inexist_indetermine = q.infini_inexist_indetermine;
    return;
  }
  const double f = r * r / (dh * dh + dv * dv);
  place(out, q.h + f * dh, q.v + f * dv);
}

void compute_transfer_on_line(object* o) {
  if (!well_formed(o, 2)) return;
  const object* carrier = o->parents[0];
  const object* n = o->parents[1];
  valeur& out = result(o);
  const valeur* cv = carrier->valeurs;
  double oh, ov, dh, dv;
  const uint16_t t = type_id(carrier);
  if (t == TYPE_AXES) {
    const int k = axis_value(o);
    if (carrier->nbvaleurs <= k) return no_image(o);
    oh = cv[0].h, ov = cv[0].v, dh = cv[k].h, dv = cv[k].v;
  } else {
    if (carrier->nbvaleurs < 2) return no_image(o);
    oh = cv[0].h, ov = cv[0].v;
    dh = t == TYPE_VECTOR ? cv[1].h - cv[0].h : cv[1].h;
    dv = t == TYPE_VECTOR ? cv[1].v - cv[0].v : cv[1].v;
  }
  if (number_infinite(n) || small(dh, dv)) {
    direction_image(o, dh, dv);
    return;
  }
  const double d = n->valeurs[0].info.rayon;
  const double q = t == TYPE_AXES ? d / measure_unit_factor(n) : converted_distance(n, d / std::hypot(dh, dv));
  place(out, oh + q * dh, ov + q * dv);
}

void compute_transfer_on_circle(object* o) {
  if (!well_formed(o, 3)) return;
  const object* k = o->parents[0];
  const object* p = o->parents[1];
  const object* n = o->parents[2];
  valeur& out = result(o);
  if (at_infinity(k) || at_infinity(p) || number_infinite(n) || k->nbvaleurs < 2) return no_image(o);
  const valeur& c = k->valeurs[0];
  const double r = k->valeurs[1].info.rayon;
  if (r < kSmall) {
    place(out, c.h, c.v);
    return;
  }
  const double x = converted_distance(n, n->valeurs[0].info.rayon) / r;
  const valeur& pp = pv(o, 1);
  const double dh = pp.h - c.h, dv = pp.v - c.v;
  const double co = std::cos(x), si = std::sin(x);
  place(out, c.h + co * dh + si * dv, c.v + co * dv - si * dh);
}

// The direction given again by an image read back is taken from the point
// of the image's file cell whose own image falls deepest inside that cell,
// so that the image is written again as the value read (file_grid_value).
static void settle_transfer_direction(object* o, const valeur& pp, const valeur& image, double sign) {
  const object* n = o->parents[1];
  valeur& dir = o->valeurs[1];
  const double ch = file_grid_value(image.h), cv = file_grid_value(image.v);
  auto depth_of = [&](double dh, double dv) {
    const double q = converted_distance(n, n->valeurs[0].info.rayon / std::hypot(dh, dv));
    return file_cell_depth(pp.h + q * dh, pp.v + q * dv, ch, cv);
  };
  double best = depth_of(dir.h, dir.v);
  if (best >= kFileCellDeepEnough || best < -1.5) return;
  double h = 0, v = 0;
  const bool better = deepest_in_file_cell(ch, cv, best, [&](double th, double tv) {
    const double dh = sign * (th - pp.h), dv = sign * (tv - pp.v);
    return small(dh, dv) ? -HUGE_VAL : depth_of(dh, dv);
  }, &h, &v);
  if (better) place(dir, sign * (h - pp.h), sign * (v - pp.v));
}

void compute_transfer_from_point(object* o) {
  if (!well_formed(o, 2, 2)) return;
  const object* p = o->parents[0];
  const object* n = o->parents[1];
  valeur& dir = o->valeurs[1];
  const valeur& pp = pv(o, 0);
  if (small(dir.h, dir.v) || !std::isfinite(dir.h) || !std::isfinite(dir.v)) {
    // Files keep the image but not its direction: the image read back
    // gives it again, on the side the number's sign says.
    const valeur& image = o->valeurs[0];
    const double sign = n->valeurs[0].info.rayon < 0 ? -1 : 1;
    const double dh = sign * (image.h - pp.h), dv = sign * (image.v - pp.v);
    if (!at_infinity(p) && !flagged_infinite(image) && !small(dh, dv) && std::isfinite(dh) && std::isfinite(dv)) {
      place(dir, dh, dv);
      if (!number_infinite(n)) settle_transfer_direction(o, pp, image, sign);
    } else {
      place(dir, 1, -1);
    }
  }
  valeur& out = result(o);
  if (at_infinity(p)) {
    if (number_infinite(n))
      no_image(o);
    else
      direction_image(o, pp.h, pp.v);
    return;
  }
  if (number_infinite(n)) {
    direction_image(o, dir.h, dir.v);
    return;
  }
  const double q = converted_distance(n, n->valeurs[0].info.rayon / std::hypot(dir.h, dir.v));
  place(out, pp.h + q * dir.h, pp.v + q * dir.v);
}

void compute_transfer_on_polygon(object* o) {
  if (!well_formed(o, 2)) return;
  const object* poly = o->parents[0];
  const object* num = o->parents[1];
  valeur& out = result(o);
  const int n = poly->nbparents;
  if (number_infinite(num) || n <= 0 || poly->nbvaleurs < n) return no_image(o);
  const valeur* v = poly->valeurs;
  const auto edge = [&](int i, int j) { return std::hypot(v[j].h - v[i].h, v[j].v - v[i].v); };
  double d = converted_distance(num, num->valeurs[0].info.rayon);
  if (!std::isfinite(d)) return no_image(o);
  int step = 1;
  if (d < 0) {
    d = -d;
    step = -1;
  }
  double perimeter = 0;
  for (int i = 0; i < n; ++i) perimeter += edge(i, (i + 1) % n);
  // Edges of no length cannot carry the point anywhere.
  if (!(perimeter >= kSmall)) return no_image(o);
  // Many turns are cut short so that the walk below stays bounded; the
  // usual distances are walked edge by edge.
  if (d > 1000 * perimeter) d = std::fmod(d, perimeter);
  const auto wrap = [n](int i) { return ((i % n) + n) % n; };
  int cur = 0;
  double length = 0;
  for (;;) {
    d -= length;
    length = edge(cur, wrap(cur + step));
    if (!(d - length > 0)) break;
    cur = wrap(cur + step);
  }
  const int next = wrap(cur + step);
  const int side = step > 0 ? cur : next;
  double t = length > 0 ? d / length : 0;
  if (step < 0) t -= 1;
  const valeur &first = v[cur], &second = v[next];
  o->math.side.index = static_cast<uint8_t>(side);
  place(out, v[side].h - t * (first.h - second.h), v[side].v - t * (first.v - second.v));
}

void bind_transformation_operations() {
  set_method_compute(&classe_translation, 0, compute_translation);
  set_method_compute(&classe_symetriquedr, 0, compute_reflection);
  set_method_compute(&classe_symetrique, 0, compute_symmetry);
  set_method_compute(&classe_rotation, 0, compute_rotation_by_value);
  set_method_compute(&classe_rotation, 1, compute_rotation_by_points);
  set_method_compute(&classe_dilatation, 0, compute_dilation);
  set_method_compute(&classe_dilatation, 1, compute_similarity_by_points);
  set_method_compute(&classe_inverse, 0, compute_inversion);
  set_method_compute(&classe_compas3, 0, compute_transfer_on_line);
  set_method_compute(&classe_compas3, 1, compute_transfer_on_circle);
  set_method_compute(&classe_compas3, 2, compute_transfer_from_point);
  set_method_compute(&classe_compas3, 3, compute_transfer_on_polygon);
}
