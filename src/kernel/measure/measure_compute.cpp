#include "kernel/measure/measure_compute.h"

#include <cmath>
#include <numbers>
#include <vector>

#include "kernel/conics/conic.h"
#include "kernel/conics/conic_object.h"
#include "kernel/conics/plane_numerics.h"
#include "kernel/measure/measure_text.h"
#include "kernel/measure/plane_routines.h"
#include "kernel/measure/vector_measures.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/objects/circle_types.h"

namespace {

constexpr double kPi = std::numbers::pi;

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }
bool value_at_infinity(const valeur& v) { return (v.infini_inexist_indetermine & VAL_AT_INFINITY) != 0; }

const valeur* first_value(const object* o) { return o && o->valeurs && o->nbvaleurs > 0 ? &o->valeurs[0] : nullptr; }

object* parent(const object* o, int i) {
  return o && o->parents && i >= 0 && i < o->nbparents ? o->parents[i] : nullptr;
}

// The vertices of a triangle or polygon (its parents' points); false when
// one is missing.
bool polygon_vertices(const object* polygon, std::vector<const valeur*>& out) {
  out.clear();
  for (int i = 0; polygon && i < polygon->nbparents; ++i) {
    const valeur* v = first_value(parent(polygon, i));
    if (!v) return false;
    out.push_back(v);
  }
  return !out.empty();
}

double perimeter(const std::vector<const valeur*>& v) {
  double sum = 0;
  const size_t n = v.size();
  for (size_t k = 0; k < n; ++k) add_point_distance(v[k], v[(k + 1) % n], &sum);
  return sum;
}

struct result {
  double value = 0;
  bool infinite = false;
  bool undefined = false;
};

// The angle at B from A to C, in the usual orientation, in (-pi, pi].
result angle_of_three_points(const valeur& a, const valeur& b, const valeur& c) {
  result r;
  if (value_at_infinity(b)) {
    if (value_at_infinity(a) && value_at_infinity(c)) r.undefined = true;
    return r;
  }
  double angles[2];
  const valeur* ends[2] = {&a, &c};
  for (int k = 0; k < 2; ++k) {
    double dx = ends[k]->h, dy = ends[k]->v;
    if (!value_at_infinity(*ends[k])) {
      dx -= b.h;
      dy -= b.v;
    }
    if (std::fabs(dx) + std::fabs(dy) < 1e-10) {
      r.undefined = true;
      return r;
    }
    angles[k] = std::atan2(dy, dx);
  }
  r.value = -wrap_angle_difference(angles[0], angles[1]);
  // The screen's vertical axis points down: the half turn, which the wrap
  // gives as pi, reads as pi once turned the usual way round too.
  if (r.value - 1e-10 < -kPi) r.value = kPi;
  return r;
}

// The distance from P1 to P2 along the polygon's boundary, in vertex order.
result distance_along_polygon(const object* p1, const object* p2, const object* polygon) {
  result r;
  std::vector<const valeur*> v;
  const valeur* a = first_value(p1);
  const valeur* b = first_value(p2);
  if (!a || !b || !polygon_vertices(polygon, v)) {
    r.undefined = true;
    return r;
  }
  const int n = static_cast<int>(v.size());
  int i1 = polygon_side_of_point(p1, polygon);
  int i2 = polygon_side_of_point(p2, polygon);
  if (i1 == i2) {
    double d2 = 0, d1 = 0;
    add_point_distance(b, v[static_cast<size_t>(i1)], &d2);
    add_point_distance(a, v[static_cast<size_t>(i1)], &d1);
    r.value = d2 - d1;
    if (r.value < 0) r.value += perimeter(v);
    return r;
  }
  i1 = (i1 + 1) % n;
  double sum = 0;
  add_point_distance(a, v[static_cast<size_t>(i1)], &sum);
  while (i1 != i2 && i1 != i2 + n) {
    add_point_distance(v[static_cast<size_t>(i1 % n)], v[static_cast<size_t>((i1 + 1) % n)], &sum);
    ++i1;
  }
  add_point_distance(v[static_cast<size_t>(i1 % n)], b, &sum);
  r.value = sum;
  return r;
}

result point_object_distance(const object* measure, const object* p, const object* o) {
  result r;
  const valeur* pv = first_value(p);
  if (!pv || !o || !o->valeurs || o->nbvaleurs < 1) {
    r.undefined = true;
    return r;
  }
  const bool p_far = value_at_infinity(*pv);
  const bool o_far = (o->state & OBJ_AT_INFINITY) != 0;
  const uint16_t t = type_of(o);
  if (!p_far && !o_far) {
    if (t == TYPE_POINT) {
      add_point_distance(pv, &o->valeurs[0], &r.value);
    } else if (t == TYPE_CIRCLE && o->nbvaleurs >= 2) {
      point_circle_distance(pv, o->valeurs, &r.value);
    } else {
      int k = 1;
      if (t == TYPE_AXES) {
        k = measure->math.equa.format == 2 ? 2 : 1;
        if (k == 2 && o->math.equa.typeunite != 0) {
          r.undefined = true;
          return r;
        }
      }
      if (o->nbvaleurs <= k) {
        r.undefined = true;
        return r;
      }
      const valeur line[2] = {o->valeurs[0], o->valeurs[k]};
      point_line_distance(pv, line, &r.value);
    }
    return r;
  }
  if (p_far != o_far) {
    r.infinite = true;
    return r;
  }
  if (t == TYPE_POINT)
    r.infinite = vector_cross_normalized(pv->h, pv->v, o->valeurs[0].h, o->valeurs[0].v) >= 1e-10;
  return r;
}

result polygon_measure(object* measure, const object* polygon, unsigned kind) {
  result r;
  if (polygon->state & OBJ_AT_INFINITY) {
    r.infinite = true;
    return r;
  }
  std::vector<const valeur*> v;
  if (!polygon_vertices(polygon, v)) {
    r.undefined = true;
    return r;
  }
  if (kind == 1) {
    r.value = perimeter(v);
    return r;
  }
  const size_t n = v.size();
  std::vector<dpoint> points(n + 1);
  for (size_t k = 0; k < n; ++k) points[k] = dpoint{v[k]->h, v[k]->v};
  points[n] = points[0];
  if (measure->math.polyarea == 0) {
    r.value = polygon_area(static_cast<int32_t>(n + 1), points.data());
  } else {
    double sum = 0;
    for (size_t k = 0; k < n; ++k) sum += (points[k].x - points[k + 1].x) * (points[k].y + points[k + 1].y);
    r.value = -sum / 2;
  }
  return r;
}

result circle_measure(object* measure, const object* circle, unsigned kind) {
  result r;
  measure->state &= ~OBJ_AT_INFINITY;
  if (!circle->valeurs || circle->nbvaleurs < 2) {
    r.undefined = true;
    return r;
  }
  const bool centre_far = value_at_infinity(circle->valeurs[0]);
  if (circle->state & OBJ_AT_INFINITY) {
    if (!centre_far) r.infinite = true;
    else measure->state |= OBJ_AT_INFINITY;
    return r;
  }
  if (centre_far) {
    r.infinite = true;
    return r;
  }
  const double radius = circle->valeurs[1].info.rayon;
  r.value = kind == 1 ? 2 * kPi * radius : kPi * radius * radius;
  return r;
}

result arc_length(object* arc) {
  result r;
  arc_expand_values(arc);
  if (!arc->valeurs || arc->nbvaleurs < 5) {
    r.undefined = true;
    return r;
  }
  const valeur* v = arc->valeurs;
  const double dot = (v[0].h - v[1].h) * (v[2].h - v[1].h) + (v[0].v - v[1].v) * (v[2].v - v[1].v);
  if (value_at_infinity(v[3])) {
    if (dot >= 0) r.infinite = true;
    else add_point_distance(&v[0], &v[2], &r.value);
    return r;
  }
  double theta = std::fabs(wrap_angle_difference(v[4].h, v[4].info.rayon));
  if (dot > 0) theta = 2 * kPi - theta;
  r.value = v[3].info.rayon * theta;
  return r;
}

result conic_measure(const object* conic, unsigned kind) {
  result r;
  if (!conic->valeurs || conic->nbvaleurs < 5) {
    r.undefined = true;
    return r;
  }
  conic_kind = conic_stored_kind(conic->valeurs);
  const double a = conic->valeurs[2].info.rayon, c = conic->valeurs[3].info.rayon;
  if (kind == 1) {
    if (conic_kind == 13) {
      r.value = 2 * kPi / std::sqrt(a);
    } else if (conic_kind == 6) {
      const double p = 1 / std::sqrt(a), q = 1 / std::sqrt(c);
      if (p + q == 0) return r;
      const double h = ((p - q) / (p + q)) * ((p - q) / (p + q));
      r.value = kPi * (p + q) * (1 + h / 4 + h * h / 64 + h * h * h / 256 + 25 * h * h * h * h / 16384);
    } else {
      r.infinite = true;
    }
    return r;
  }
  if (conic_kind == 6 || conic_kind == 13) r.value = kPi / std::sqrt(a * c);
  else r.infinite = true;
  return r;
}

result measure_value(object* obj) {
  result r;
  object* first = parent(obj, 0);
  const unsigned kind = obj->settings.unite >> 5;
  switch (type_of(first)) {
    case TYPE_POINT: {
      if (obj->classe == &classe_angleMes) {
        const valeur* a = first_value(first);
        const valeur* b = first_value(parent(obj, 1));
        const valeur* c = first_value(parent(obj, 2));
        if (!a || !b || !c) break;
        return angle_of_three_points(*a, *b, *c);
      }
      if (obj->nbparents == 3) return distance_along_polygon(first, parent(obj, 1), parent(obj, 2));
      return point_object_distance(obj, first, parent(obj, 1));
    }
    case TYPE_SEGMENT:
    case TYPE_VECTOR: {
      const valeur* a = first_value(parent(first, 0));
      const valeur* b = first_value(parent(first, 1));
      if (!a || !b) break;
      if (kind == 0) {
        if (std::fabs(a->h - b->h) >= 1e-10) r.value = (b->v - a->v) / (a->h - b->h);
        else r.infinite = true;
      } else {
        add_point_distance(a, b, &r.value);
      }
      return r;
    }
    case TYPE_TRIANGLE:
    case TYPE_POLYGON:
      return polygon_measure(obj, first, kind);
    case TYPE_LINE:
    case TYPE_RAY: {
      if (!first->valeurs || first->nbvaleurs < 2) break;
      const valeur& d = first->valeurs[1];
      if (std::fabs(d.h) >= 1e-10) r.value = -d.v / d.h;
      else r.infinite = true;
      return r;
    }
    case TYPE_CIRCLE:
      return circle_measure(obj, first, kind);
    case TYPE_ARC:
      return arc_length(first);
    case TYPE_CONIC:
      return conic_measure(first, kind);
    case TYPE_ANGLE: {
      arc_expand_values(first);
      if (!first->valeurs || first->nbvaleurs < 5) break;
      r.value = -2 * wrap_angle_difference(first->valeurs[4].h, first->valeurs[4].v);
      return r;
    }
    default:
      break;
  }
  r.undefined = true;
  return r;
}

}  // namespace

int polygon_side_of_point(const object* point, const object* polygon) {
  const int n = polygon ? polygon->nbparents : 0;
  if (n <= 0) return 0;
  for (int i = 0; i < n; ++i)
    if (polygon->parents[i] == point) return i;
  double s = 0;
  if (point && point->classe == &classe_ptsur && point->data) s = *static_cast<const double*>(point->data);
  const double whole = std::floor(s);
  if (!std::isfinite(whole)) return 0;
  const double side = std::fmod(std::fmod(whole, n) + n, n);
  const int k = static_cast<int>(side);
  return k >= 0 && k < n ? k : 0;
}

void compute_measure(object* obj) {
  if (!obj || !obj->valeurs || obj->nbvaleurs < 1) return;
  obj->valeurs[0].infini_inexist_indetermine = 0;
  result r = measure_value(obj);
  if (r.undefined) {
    obj->state |= OBJ_UNDEFINED;
    return;
  }
  if (r.infinite) obj->valeurs[0].infini_inexist_indetermine |= VAL_AT_INFINITY;
  if ((obj->settings.nbre_decimales & 128) && r.value < 0) r.value = -r.value;
  if (!r.infinite && r.value != HUGE_VAL && std::fabs(r.value) < 1e-10) r.value = 0;
  format_measure_value(r.value, obj, r.infinite);
}
