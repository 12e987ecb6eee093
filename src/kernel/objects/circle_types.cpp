#include "kernel/objects/circle_types.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "kernel/measure/vector_measures.h"
#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/model/recompute.h"
#include "kernel/objects/inter_list.h"
#include "kernel/objects/intersections.h"
#include "kernel/objects/straight_intersect.h"
#include "kernel/objects/straight_types.h"
#include "kernel/prefs/hit_distance.h"
#include "kernel/text/labels.h"
#include "kernel/tools/hit_state.h"

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
// Manhattan distance within which a probe finds an intersection.
constexpr double kProbeDistance = 16;

bool at_infinity(const valeur& v) { return (v.infini_inexist_indetermine & VAL_AT_INFINITY) != 0; }
bool flagged(const valeur& v) { return (v.infini_inexist_indetermine & VAL_NOT_EXIST) != 0; }

uint16_t type_id(const object* o) { return o && o->otype ? o->otype->id : 0; }
bool is_round(uint16_t t) { return t == TYPE_CIRCLE || t == TYPE_ARC; }
bool is_straight(uint16_t t) { return t >= TYPE_SEGMENT && t <= TYPE_AXES; }

// a.x b.y - a.y b.x
double cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

void place(valeur* io, double h, double v) {
  io->h = h;
  io->v = v;
  io->infini_inexist_indetermine = 0;
}

template <class Block>
Block* parameter_block(void** param, int* mode) {
  if (!*param) {
    *param = GlobalAlloc(0, sizeof(Block));
    if (!*param) return nullptr;
    if (*mode != 3) *mode = 2;
  }
  return static_cast<Block*>(*param);
}

bool near_probe(const valeur& r) {
  return !flagged(r) && !at_infinity(r) &&
         std::fabs(r.h - intersect_probe.h) + std::fabs(r.v - intersect_probe.v) < kProbeDistance;
}

bool is_arc(const object* o) { return type_id(o) == TYPE_ARC; }

}  // namespace

// ---------------------------------------------------------------- arc helpers

int16_t arc_shape_code(const valeur* v) {
  if (at_infinity(v[0]) && at_infinity(v[2]))
    return vector_cross_normalized(v[0].h, v[0].v, v[2].h, v[2].v) < 1e-10 ? ARC_ENDS_SAME_INF : ARC_PROPER;
  if (at_infinity(v[0])) return ARC_START_AT_INF;
  if (at_infinity(v[1])) return ARC_FLAT_RAYS;
  if (at_infinity(v[2])) return ARC_END_AT_INF;
  if (!at_infinity(v[3])) return ARC_PROPER;
  const double s = (v[0].h - v[1].h) * (v[2].h - v[1].h) + (v[0].v - v[1].v) * (v[2].v - v[1].v);
  return s < 0 ? ARC_FLAT_SEGMENT : ARC_FLAT_RAYS;
}

void arc_expand_values(object* arc) {
  if (!arc || arc->nbvaleurs != 4 || !arc->valeurs) return;
  valeur* fresh = alloc_block<valeur>(5);
  if (!fresh) return;
  std::memcpy(fresh, arc->valeurs, 4 * sizeof(valeur));
  GlobalFreeAndNull(&arc->valeurs);
  arc->valeurs = fresh;
  arc->nbvaleurs = 5;
  recompute_object(arc);
}

bool point_outside_arc(const valeur* p, const valeur* v) {
  if (at_infinity(*p)) return true;
  switch (arc_shape_code(v)) {
    case ARC_PROPER: {
      const double dh = v[2].h - v[0].h, dv = v[2].v - v[0].v;
      if (std::hypot(p->h - v[2].h, p->v - v[2].v) < 1e-10 || std::hypot(p->h - v[0].h, p->v - v[0].v) < 1e-10)
        return false;
      return cross(dh, dv, v[1].h - v[0].h, v[1].v - v[0].v) * cross(dh, dv, p->h - v[2].h, p->v - v[2].v) < 0;
    }
    case ARC_START_AT_INF: {
      // The ray from the end through the middle point.
      valeur ray[2] = {v[2], v[1]};
      ray[1].h = v[1].h - v[2].h;
      ray[1].v = v[1].v - v[2].v;
      return point_before_ray_origin(p, ray);
    }
    case ARC_END_AT_INF: {
      // The ray from the start through the middle point.
      valeur ray[2] = {v[0], v[1]};
      ray[1].h = v[1].h - v[0].h;
      ray[1].v = v[1].v - v[0].v;
      return point_before_ray_origin(p, ray);
    }
    case ARC_FLAT_SEGMENT: {
      const valeur seg[2] = {v[0], v[2]};
      return point_outside_segment(p, seg);
    }
    case ARC_FLAT_RAYS: {
      double uh = v[3].v, uv = -v[3].h;
      if ((v[2].h - v[0].h) * v[3].v - (v[2].v - v[0].v) * v[3].h > 0) {
        uh = -uh;
        uv = -uv;
      }
      valeur ray[2] = {v[0], valeur{}};
      ray[1].h = uh;
      ray[1].v = uv;
      if (!point_before_ray_origin(p, ray)) return false;
      ray[0] = v[2];
      ray[1].h = -uh;
      ray[1].v = -uv;
      return point_before_ray_origin(p, ray);
    }
    default:
      return true;
  }
}

void round_circle_record(const object* o, valeur out[2]) {
  const valeur* v = o->valeurs;
  if (type_id(o) != TYPE_ARC) {
    out[0] = v[0];
    out[1] = v[1];
    return;
  }
  out[0] = v[3];
  if (!at_infinity(v[0]))
    out[1] = v[0];
  else if (!at_infinity(v[1]))
    out[1] = v[1];
  else if (at_infinity(v[2]))
    out[1] = v[0];
  else
    out[1] = v[2];
  out[1].info.rayon = v[3].info.rayon;
}

// ---------------------------------------------------------------- hit tests

bool circle_hit_test(object* c, tagPOINT* m) {
  hit_part = 0;
  if (c->state & (OBJ_UNDEFINED | OBJ_AT_INFINITY)) return false;
  if (hit_test_object_label(c, m)) return true;
  if (!c->valeurs || c->nbvaleurs < 2) return false;
  const valeur* v = c->valeurs;
  if (at_infinity(v[0])) {
    valeur line[2] = {v[1], valeur{}};
    line[1].h = -v[0].v;
    line[1].v = v[0].h;
    return near_line(line, m);
  }
  const double d = std::hypot(m->x - v[0].h, m->y - v[0].v);
  return std::fabs(d - v[1].info.rayon) < pick_tolerance;
}

bool arc_hit_test(object* a, tagPOINT* m) {
  hit_part = 0;
  if (a->state & (OBJ_UNDEFINED | OBJ_AT_INFINITY)) return false;
  if (hit_test_object_label(a, m)) return true;
  if (!a->valeurs || a->nbvaleurs < 4) return false;
  const valeur* v = a->valeurs;
  if (at_infinity(v[3])) {
    if (at_infinity(v[0]) && at_infinity(v[2])) {
      valeur line[2] = {v[1], valeur{}};
      line[1].h = v[0].h;
      line[1].v = v[0].v;
      return near_line(line, m);
    }
    const double s1 = (v[0].h - v[1].h) * (v[2].h - v[1].h) + (v[0].v - v[1].v) * (v[2].v - v[1].v);
    const double s2 = (v[0].h - m->x) * (v[2].h - m->x) + (v[0].v - m->y) * (v[2].v - m->y);
    if (!((s1 > 0 && s2 > 0) || (s1 < 0 && s2 < 0))) return false;
    return near_segment(&v[0], &v[1], m);
  }
  const valeur& c = v[3];
  const double r = c.info.rayon;
  const double d = std::hypot(m->x - c.h, m->y - c.v);
  if (std::fabs(d - r) > pick_tolerance) return false;
  // The point of the circle nearest to the mouse, on the middle point's
  // side of the chord.
  const double qh = d > 0 ? c.h + r * (m->x - c.h) / d : v[1].h;
  const double qv = d > 0 ? c.v + r * (m->y - c.v) / d : v[1].v;
  const double dh = v[2].h - v[0].h, dv = v[2].v - v[0].v;
  const double k1 = cross(dh, dv, v[1].h - v[0].h, v[1].v - v[0].v);
  const double k2 = cross(dh, dv, qh - v[0].h, qv - v[0].v);
  return (k1 > 0 && k2 > 0) || (k1 < 0 && k2 < 0);
}

// ------------------------------------------------------------ points on them

void circle_point_on(object* carrier, valeur* io, void** param, int mode) {
  auto* block = parameter_block<circle_point_param>(param, &mode);
  if (!block || !carrier->valeurs || carrier->nbvaleurs < 2) {
    io->infini_inexist_indetermine |= VAL_NOT_EXIST;
    return;
  }
  const valeur* v = carrier->valeurs;
  if (mode == 3) {
    const double n = io->h, k = io->v;
    const double a = n >= 1 ? k * kTwoPi / n : 0;
    block->cos = std::cos(a);
    block->sin = std::sin(a);
    mode = 1;
  }
  if (carrier->state & OBJ_AT_INFINITY) {
    io->infini_inexist_indetermine |= VAL_AT_INFINITY;
    io->v = v[0].v;
    if (at_infinity(v[0]) && v[1].h * v[0].v - v[1].v * v[0].h == 0) io->h = v[0].h;
    return;
  }
  io->infini_inexist_indetermine = 0;
  if (at_infinity(v[0])) {
    // A circle become a line: project on it.
    const double nh = v[0].h, nv = v[0].v;
    const double n2 = nh * nh + nv * nv;
    if (n2 <= 0) {
      io->infini_inexist_indetermine |= VAL_NOT_EXIST;
      return;
    }
    const double s = nv * (io->h - v[1].h) - nh * (io->v - v[1].v);
    place(io, v[1].h + s * nv / n2, v[1].v - s * nh / n2);
    return;
  }
  const valeur& c = v[0];
  const double rh = v[1].h - c.h, rv = v[1].v - c.v;
  const double r = v[1].info.rayon;
  if (mode == 1) {
    place(io, c.h + block->cos * rh - block->sin * rv, c.v + block->sin * rh + block->cos * rv);
    return;
  }
  if (r < 1e-10) {
    place(io, c.h, c.v);
    return;
  }
  double dh = io->h - c.h, dv = io->v - c.v;
  if (std::fabs(dh) < 1e-10 && std::fabs(dv) < 1e-10) {
    // At the centre: fall back on the previous position, then on (1, 1).
    dh = io[1].h - c.h;
    dv = io[1].v - c.v;
    if (std::fabs(dh) < 1e-10 && std::fabs(dv) < 1e-10) dh = dv = 1;
  }
  const double d = std::hypot(dh, dv);
  const double qh = r * dh / d, qv = r * dv / d;
  block->cos = (qh * rh + qv * rv) / (r * r);
  block->sin = (rh * qv - rv * qh) / (r * r);
  place(io, c.h + qh, c.v + qv);
}

void arc_point_on(object* carrier, valeur* io, void** param, int mode) {
  double* t = parameter_block<double>(param, &mode);
  if (!t || !carrier->valeurs) {
    io->infini_inexist_indetermine |= VAL_NOT_EXIST;
    return;
  }
  if (mode == 3) {
    const double n = io->h, k = io->v;
    *t = n > 1 ? k / (n - 1) : 0;
    mode = 1;
  }
  arc_expand_values(carrier);
  if (!carrier->valeurs || carrier->nbvaleurs < 5) {
    io->infini_inexist_indetermine |= VAL_NOT_EXIST;
    return;
  }
  const valeur* v = carrier->valeurs;

  if (at_infinity(v[3])) {
    const double s = (v[0].h - v[1].h) * (v[2].h - v[1].h) + (v[0].v - v[1].v) * (v[2].v - v[1].v);
    if (s > 0) {
      // Two rays: the ends, or the point at infinity between them.
      if (*t == 0) {
        *io = v[0];
      } else if (*t == 1) {
        *io = v[2];
      } else {
        io->h = -v[3].v;
        io->v = v[3].h;
        io->infini_inexist_indetermine = VAL_AT_INFINITY;
      }
      return;
    }
    const double dh = v[2].h - v[0].h, dv = v[2].v - v[0].v;
    if (mode == 2) {
      const double d2 = dh * dh + dv * dv;
      const double along = dh * (io->h - v[0].h) + dv * (io->v - v[0].v);
      if (along < 0 || d2 <= 0)
        *t = 0;
      else if (dh * (io->h - v[2].h) + dv * (io->v - v[2].v) > 0)
        *t = 1;
      else
        *t = along / d2;
    }
    place(io, v[0].h + *t * dh, v[0].v + *t * dv);
    return;
  }

  const valeur& c = v[3];
  const double r = c.info.rayon;
  const double a0 = v[4].h, am = v[4].v, a2 = v[4].info.rayon;
  const double width = std::fabs(a2 - a0);
  if (mode == 2) {
    const double d = std::hypot(io->h - c.h, io->v - c.v);
    valeur q{};
    if (d > 0)
      place(&q, c.h + r * (io->h - c.h) / d, c.v + r * (io->v - c.v) / d);
    else
      place(&q, v[1].h, v[1].v);
    if (point_outside_arc(&q, v)) {
      // Beyond an end: the nearer end.
      const double side = (v[2].h - v[0].h) * (q.h - (v[0].h + v[2].h) / 2) +
                          (v[2].v - v[0].v) * (q.v - (v[0].v + v[2].v) / 2);
      q = side >= 0 ? v[2] : v[0];
    }
    double a = std::atan2(q.v - c.v, q.h - c.h);
    if ((am - a0) * (am - a2) < 0) {
      *t = width > 0 ? std::fabs(a - a0) / width : 0;
    } else {
      const double span = kTwoPi - width;
      if (a2 <= a0) {
        if (a < a0) a += kTwoPi;
        *t = span > 0 ? (a - a0) / span : 0;
      } else {
        if (a > a0) a -= kTwoPi;
        *t = span > 0 ? (a0 - a) / span : 0;
      }
    }
  }
  double a;
  if ((am - a0) * (am - a2) <= 0)
    a = a2 > a0 ? a0 + *t * width : a0 - *t * width;
  else
    a = a2 <= a0 ? a0 + *t * (kTwoPi - width) : a0 - *t * (kTwoPi - width);
  place(io, c.h + r * std::cos(a), c.v + r * std::sin(a));
}

// --------------------------------------------------------------- intersection

int32_t circle_intersect(object* a, object* b, void* out, uint32_t selector) {
  const uint16_t ta = type_id(a), tb = type_id(b);
  if (!is_round(ta) || !(is_straight(tb) || is_round(tb)) || ta < tb) return 3;
  const bool all = selector == kIntersectAll, probe = selector == kIntersectProbe, raw = selector == kIntersectRaw;
  const bool special = all || probe || raw;
  const uint32_t i = special ? 0 : selector >> 16;
  const int j = special ? 0 : static_cast<int>(selector & 0xFFFF);
  const bool straight = is_straight(tb);
  if (all) intersection_results_add(static_cast<inter_list*>(out), 0, nullptr);
  if (!special) {
    if (straight && j > intersection_side_count(b) - 1) return 4;
    if (!straight && j != 0) return 4;
    if (i >= 2) return 4;
  }
  if (!a->valeurs || a->nbvaleurs < (ta == TYPE_ARC ? 4 : 2) || !b->valeurs) return 2;
  const uint32_t which = special ? kAllRoots : i;
  const int wanted = special ? 2 : 1;
  valeur ca[2];
  round_circle_record(a, ca);
  auto* result_out = static_cast<valeur*>(out);

  if (straight) {
    const int j0 = special ? 0 : j;
    const int j1 = special ? intersection_side_count(b) : j + 1;
    bool success = false;
    for (int part = j0; part < j1; ++part) {
      valeur res[2] = {};
      const straight_part sp = make_straight_part(b, part);
      const int found = sp.usable ? line_circle_intersection(sp.line, ca, res, which) : 0;
      bool any = false;
      for (int k = 0; k < wanted; ++k) {
        if (!found || (is_arc(a) && point_outside_arc(&res[k], a->valeurs)) || !on_straight_part(sp, res[k]))
          res[k].infini_inexist_indetermine |= VAL_NOT_EXIST;
        if (!flagged(res[k])) any = true;
      }
      if (!any) continue;
      if (probe) {
        for (int k = 0; k < 2; ++k)
          if (near_probe(res[k])) {
            intersect_probe_index = static_cast<uint32_t>(part) | (k ? 0x10000u : 0u);
            intersect_probe = res[k];
            return 1;
          }
        if (result_out) *result_out = res[0];
        continue;
      }
      success = true;
      if (all) {
        for (int k = 0; k < 2; ++k)
          if (!flagged(res[k]))
            intersection_results_add(static_cast<inter_list*>(out), static_cast<uint32_t>(part) | (k ? 0x10000u : 0u),
                                     &res[k]);
      } else if (raw) {
        if (result_out) {
          result_out[0] = res[0];
          result_out[1] = res[1];
        }
      } else if (result_out) {
        *result_out = res[0];
      }
    }
    return success ? 1 : 2;
  }

  valeur cb[2];
  round_circle_record(b, cb);
  valeur res[2] = {};
  if (!circle_circle_intersection(cb, ca, res, which)) return 2;
  for (int k = 0; k < wanted; ++k) {
    if (is_arc(a) && point_outside_arc(&res[k], a->valeurs)) res[k].infini_inexist_indetermine |= VAL_NOT_EXIST;
    if (is_arc(b) && point_outside_arc(&res[k], b->valeurs)) res[k].infini_inexist_indetermine |= VAL_NOT_EXIST;
  }
  if (probe) {
    for (int k = 0; k < 2; ++k)
      if (near_probe(res[k])) {
        intersect_probe_index = k ? 0x10000u : 0u;
        intersect_probe = res[k];
        return 1;
      }
    return 2;
  }
  if (all) {
    for (int k = 0; k < 2; ++k)
      if (!flagged(res[k]))
        intersection_results_add(static_cast<inter_list*>(out), k ? 0x10000u : 0u, &res[k]);
    return 2;
  }
  if (raw) {
    if (result_out) {
      result_out[0] = res[0];
      result_out[1] = res[1];
    }
    return flagged(res[0]) && flagged(res[1]) ? 2 : 1;
  }
  if (result_out) *result_out = res[0];
  return flagged(res[0]) ? 2 : 1;
}
