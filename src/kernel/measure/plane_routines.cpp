#include "kernel/measure/plane_routines.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>

#include "kernel/measure/vector_measures.h"
#include "kernel/model/classes.h"
#include "kernel/objects/circle_types.h"

namespace {

constexpr double kPi = std::numbers::pi;

bool at_infinity(const valeur& v) { return (v.infini_inexist_indetermine & VAL_AT_INFINITY) != 0; }

int32_t nearest(double x) {
  const double r = std::floor(x + 0.5);
  if (!(r > -2147483648.0)) return INT32_MIN;
  if (!(r < 2147483647.0)) return INT32_MAX;
  return static_cast<int32_t>(r);
}

}  // namespace

double wrap_angle_difference(double a, double b) {
  if (a < 0) a += 2 * kPi;
  if (b < 0) b += 2 * kPi;
  double d = b - a;
  if (d > kPi) d -= 2 * kPi;
  if (d < -kPi) d += 2 * kPi;
  if (d - 1e-10 < -kPi) d = kPi;
  return d;
}

void add_point_distance(const valeur* p, const valeur* q, double* acc) {
  *acc += std::hypot(p->h - q->h, p->v - q->v);
}

void point_line_distance(const valeur* p, const valeur* line, double* distance) {
  const double dh = line[1].h, dv = line[1].v;
  const double norm = std::hypot(dh, dv);
  if (norm == 0) {
    *distance = DBL_MAX;
    return;
  }
  *distance = std::fabs((p->h - line[0].h) * dv - (p->v - line[0].v) * dh) / norm;
}

void point_circle_distance(const valeur* p, const valeur* circle, double* distance) {
  if (at_infinity(circle[0])) {
    valeur line[2] = {circle[1], circle[1]};
    line[1].h = -circle[0].v;
    line[1].v = circle[0].h;
    point_line_distance(p, line, distance);
    return;
  }
  *distance = std::fabs(std::hypot(p->h - circle[0].h, p->v - circle[0].v) - circle[1].info.rayon);
}

int line_intersection(const valeur* l, valeur* out) {
  const valeur &p0 = l[0], &d0 = l[1], &p1 = l[2], &d1 = l[3];
  const double cross = d0.h * d1.v - d0.v * d1.h;
  const double numerator = d0.h * (p0.v - p1.v) - d0.v * (p0.h - p1.h);
  out->infini_inexist_indetermine = 0;
  if (std::fabs(cross) > 1e-10 && vector_cross_normalized(d0.h, d0.v, d1.h, d1.v) > 1e-10) {
    const double t = numerator / cross;
    out->h = p1.h + d1.h * t;
    out->v = p1.v + d1.v * t;
    return 0;
  }
  if (numerator == 0) return 1;
  out->h = d0.h;
  out->v = d0.v;
  out->infini_inexist_indetermine = VAL_AT_INFINITY;
  return 0;
}

int line_circle_point(const valeur* b, valeur* out, uint8_t side) {
  const valeur &p = b[0], &d = b[1], &c = b[2], &rec = b[3];
  out->infini_inexist_indetermine = 0;
  if (at_infinity(c)) {
    if (!at_infinity(rec)) {
      valeur lines[4] = {p, d, rec, rec};
      lines[3].h = -c.v;
      lines[3].v = c.h;
      lines[3].infini_inexist_indetermine = 0;
      return line_intersection(lines, out);
    }
    if (std::fabs(rec.h - c.h) + std::fabs(rec.v - c.v) >= 1e-10) {
      out->h = d.h;
      out->v = d.v;
      out->infini_inexist_indetermine = VAL_AT_INFINITY;
      return 0;
    }
    if (vector_cross_normalized(c.h, c.v, d.h, d.v) < 1e-10) {
      *out = c;
      return 0;
    }
    return 1;
  }
  if (at_infinity(rec)) {
    out->h = d.h;
    out->v = d.v;
    out->infini_inexist_indetermine = VAL_AT_INFINITY;
    return 0;
  }
  const double r = rec.info.rayon;
  const double nh = -d.v, nv = d.h;
  const double n2 = nh * nh + nv * nv, n = std::sqrt(n2);
  const double D = (p.h - c.h) * nh + (p.v - c.v) * nv;
  const double disc = r * r * n2 - D * D;
  if (n < 1e-10) {
    if (std::fabs(std::hypot(p.h - c.h, p.v - c.v) - r) < 1e-10) {
      out->h = p.h;
      out->v = p.v;
      return 0;
    }
    return 1;
  }
  if (disc <= -1e-10 && disc / ((r * r * n + n2 * r + std::fabs(D)) * 20) <= -1e-10) return 1;
  const double s = std::sqrt(std::fabs(disc));
  const double fh = c.h + D * nh / n2, fv = c.v + D * nv / n2;
  if ((side & 0x7F) == 0) {
    out->h = fh - s * nv / n2;
    out->v = fv + s * nh / n2;
  } else {
    out->h = fh + s * nv / n2;
    out->v = fv - s * nh / n2;
  }
  return 0;
}

bool is_rect_inside(const tagRECT* a, const tagRECT* b) {
  return b->left < a->left && a->right < b->right && b->top < a->top && a->bottom < b->bottom;
}

bool arc_bounding_rect(const object* arc_const, tagRECT* box) {
  object* arc = const_cast<object*>(arc_const);
  if (!arc || !box || !arc->otype || arc->otype->id != TYPE_ARC || !arc->valeurs || arc->nbvaleurs < 4) return false;
  const valeur* v = arc->valeurs;
  const double dot = (v[0].h - v[1].h) * (v[2].h - v[1].h) + (v[0].v - v[1].v) * (v[2].v - v[1].v);
  if (at_infinity(v[3])) {
    if (dot >= 0) {
      *box = tagRECT{-32000, -32000, 32000, 32000};
    } else {
      *box = tagRECT{nearest(std::min(v[0].h, v[2].h)), nearest(std::min(v[0].v, v[2].v)),
                     nearest(std::max(v[0].h, v[2].h)), nearest(std::max(v[0].v, v[2].v))};
    }
    return true;
  }
  arc_expand_values(arc);
  if (!arc->valeurs || arc->nbvaleurs < 5) return false;
  v = arc->valeurs;
  const valeur &A = v[0], &B = v[2], &C = v[3];
  const double r = C.info.rayon;
  double delta = wrap_angle_difference(v[4].h, v[4].info.rayon);
  if (dot > 0) delta = -delta;
  const int64_t s = delta < 0 ? -1 : 1;
  const int64_t p = s * nearest(A.h - C.h), q = -s * nearest(A.v - C.v);
  const int64_t u = s * nearest(B.v - C.v), w = -s * nearest(B.h - C.h);
  double left, top, right, bottom;
  if (B.h <= A.h) {
    left = u < 1 ? C.h - r : B.h;
    right = q < 0 ? A.h : C.h + r;
  } else {
    left = q < 1 ? C.h - r : A.h;
    right = u < 0 ? B.h : C.h + r;
  }
  if (B.v <= A.v) {
    top = w < 1 ? C.v - r : B.v;
    bottom = p < 0 ? A.v : C.v + r;
  } else {
    top = p < 1 ? C.v - r : A.v;
    bottom = w < 0 ? B.v : C.v + r;
  }
  *box = tagRECT{nearest(left), nearest(top), nearest(right), nearest(bottom)};
  return true;
}
