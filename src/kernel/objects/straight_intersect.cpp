#include "kernel/objects/straight_intersect.h"

#include <cmath>

#include "kernel/model/classes.h"
#include "kernel/objects/inter_list.h"
#include "kernel/objects/intersections.h"
#include "kernel/objects/straight_types.h"

namespace {

// Manhattan distance within which a probe finds an intersection.
constexpr double kProbeDistance = 16;

uint16_t type_id(const object* o) { return o && o->otype ? o->otype->id : 0; }

bool is_straight(uint16_t t) { return t >= TYPE_SEGMENT && t <= TYPE_AXES; }
bool is_bounded(uint16_t t) { return t >= TYPE_SEGMENT && t <= 6; }

bool at_infinity(const valeur& v) { return (v.infini_inexist_indetermine & VAL_AT_INFINITY) != 0; }

}  // namespace

straight_part make_straight_part(const object* o, int i) {
  straight_part p{};
  const uint16_t t = type_id(o);
  const valeur* v = o->valeurs;
  p.bounded = is_bounded(t);
  p.ray = t == TYPE_RAY;
  if (!v) return p;
  if (p.bounded) {
    const int first = (t == TYPE_SEGMENT || t == TYPE_VECTOR) ? 0 : i;
    if (o->nbvaleurs < first + 2) return p;
    p.ends[0] = v[first];
    p.ends[1] = v[first + 1];
    if (at_infinity(p.ends[0]) || at_infinity(p.ends[1])) return p;
    p.line[0] = p.ends[0];
    p.line[1] = valeur{};
    p.line[1].h = p.ends[1].h - p.ends[0].h;
    p.line[1].v = p.ends[1].v - p.ends[0].v;
  } else if (t == TYPE_AXES) {
    if (o->nbvaleurs < i + 2) return p;
    p.line[0] = v[0];
    p.line[1] = v[i + 1];
  } else {
    if (o->nbvaleurs < 2) return p;
    p.line[0] = v[0];
    p.line[1] = v[1];
  }
  p.usable = true;
  return p;
}

bool on_straight_part(const straight_part& p, const valeur& r) {
  if (p.bounded) return !point_outside_segment(&r, p.ends);
  if (p.ray) return !point_before_ray_origin(&r, p.line);
  return true;
}

int32_t straight_intersect(object* a, object* b, void* out, uint32_t selector) {
  const uint16_t ta = type_id(a), tb = type_id(b);
  if (!is_straight(ta) || !is_straight(tb) || ta < tb) return 3;
  const int na = intersection_side_count(a), nb = intersection_side_count(b);

  int i0 = 0, i1 = na, j0 = 0, j1 = nb;
  const bool special = selector == kIntersectAll || selector == kIntersectProbe || selector == kIntersectRaw;
  if (selector == kIntersectAll) intersection_results_add(static_cast<inter_list*>(out), 0, nullptr);
  if (!special) {
    const int i = static_cast<int>(selector >> 16), j = static_cast<int>(selector & 0xFFFF);
    if (i > na - 1 || j > nb - 1) return 4;
    i0 = i, i1 = i + 1, j0 = j, j1 = j + 1;
  }

  bool found = false;
  for (int i = i0; i < i1; ++i) {
    const straight_part pa = make_straight_part(a, i);
    for (int j = j0; j < j1; ++j) {
      const straight_part pb = make_straight_part(b, j);
      valeur r{};
      bool exists = pa.usable && pb.usable && line_line_intersection(pa.line, pb.line, &r) != 0;
      if (exists) exists = on_straight_part(pa, r) && on_straight_part(pb, r);
      if (!exists) r.infini_inexist_indetermine |= VAL_NOT_EXIST;
      const uint32_t tag = (static_cast<uint32_t>(i) << 16) | static_cast<uint32_t>(j);

      if (selector == kIntersectProbe) {
        if (exists && !at_infinity(r) &&
            std::fabs(r.h - intersect_probe.h) + std::fabs(r.v - intersect_probe.v) < kProbeDistance) {
          intersect_probe_index = tag;
          intersect_probe = r;
          return 1;
        }
        continue;
      }
      if (exists) found = true;
      if (selector == kIntersectAll) {
        intersection_results_add(static_cast<inter_list*>(out), tag, &r);
      } else if (found && out) {
        *static_cast<valeur*>(out) = r;
      }
    }
  }
  return found ? 1 : 2;
}
