#include "kernel/objects/intersection_set.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/deletion.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/recompute.h"
#include "kernel/objects/inter_list.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/tools/tool_args.h"
#include "kernel/tools/tool_state.h"
#include "platform/kp_cursor.h"
#include "platform/win_constants.h"

dyn_array_object points_on_objects{};

namespace {

// A misbehaving intersect operation that never answers "no such index"
// must not hang the searches: each gives up after this many calls.
constexpr int kMaxSearchSteps = 65536 * 4;
// Manhattan distances: a common point coinciding with a root, and a click
// near a common point.
constexpr double kCommonPointDistance = 0.0001;
constexpr double kNearCommonPoint = 10;

uint16_t type_id(const object* o) { return o && o->otype ? o->otype->id : 0; }

inter_rec* records(const object* set) { return set ? static_cast<inter_rec*>(set->data) : nullptr; }

object* parent(const object* o, int i) {
  return o && o->parents && i >= 0 && i < o->nbparents ? o->parents[i] : nullptr;
}

bool has_parent(const object* o, const object* p, int first_n) {
  if (!o || !o->parents) return false;
  const int n = first_n < o->nbparents ? first_n : o->nbparents;
  for (int i = 0; i < n; ++i)
    if (o->parents[i] == p) return true;
  return false;
}

bool exists(const valeur& v) { return !(v.infini_inexist_indetermine & VAL_NOT_EXIST); }

bool is_point_record(const inter_rec& r) { return r.index != kNoIndex; }

// intersect(P1, P0, out, index) through the type of the second parent.
int32_t intersect_parents(object* set, void* out, uint32_t index) {
  object* p0 = parent(set, 0);
  object* p1 = parent(set, 1);
  if (!p0 || !p1 || !p1->otype || !p1->otype->intersect) return 3;
  // A stored index (from a file) that happens to be one of the selectors
  // asking for all intersections names none; passed on, it would have the
  // single result written as a list or an array.
  if (out && (index == kIntersectAll || index == kIntersectRaw || index == kIntersectProbe)) return 4;
  return p1->otype->intersect(p1, p0, out, index);
}

// A vertex of a segment, vector, triangle or polygon.
bool is_vertex_of(const object* p, const object* x) {
  const uint16_t t = type_id(x);
  return t >= TYPE_SEGMENT && t <= 6 && has_parent(x, p, x->nbparents);
}

uint16_t input_tag(int k) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !fig->inputs || k >= objlist_count(fig->inputs)) return 0;
  return fig->inputs->tags[k];
}

// Whether point p lies on x by construction; k is x's rank among the
// set's parents (the designation tag of that rank tells the axis of a
// coordinate system).
bool lies_on_by_construction(const object* p, const object* x, const object* set, int k) {
  const uint16_t t = type_id(x);
  if (p->classe == &classe_ptsur && parent(p, 0) == x) {
    if (t != TYPE_AXES) return true;
    if (p->math.bitsfield == input_tag(k)) return true;
  }
  if (p->classe == &classe_ptint) {
    const object* other = parent(p, 0);
    if (other && other != set && is_intersection_set(other) && has_parent(other, x, 2)) {
      if (t != TYPE_AXES) return true;
      if (p->math.bitsfield == input_tag(k)) return true;
    }
  }
  const construct_class* c = x->classe;
  if (c == &classe_cercle && x->methode == 1 && parent(x, 1) == p) return true;
  if (c == &classe_droite || c == &classe_demidroite) {
    if (x->methode == 0 && parent(x, 0) == p) return true;
    if (x->methode == 1 && (parent(x, 0) == p || parent(x, 1) == p)) return true;
  }
  if ((c == &classe_perpendiculaire || c == &classe_parallele) && parent(x, 0) == p) return true;
  if (c == &classe_arc && has_parent(x, p, 3)) return true;
  if (t == TYPE_CONIC && has_parent(x, p, x->nbparents)) return true;
  if (is_vertex_of(p, x)) return true;
  if (c == &classe_axe) {
    if (parent(x, 0) == p) return true;
    if (x->methode == 1 && parent(x, 1) == p && input_tag(k) == 1) return true;
    if (x->methode == 1 && parent(x, 2) == p && input_tag(k) == 2) return true;
  }
  return false;
}

// Whether p belongs to the same scope as the set: the user's objects, the
// same macro application, or the application the set belongs to.
bool same_scope(const object* p, const object* set) {
  if (p->final_no != 0 && set->final_no != 0) return true;
  if (p->macro == set->macro) return true;
  return set->macro && macro_list_contains(set->macro, p);
}

// Replaces the set's record array; false when memory runs out.
inter_rec* new_record_array(int count) {
  return alloc_block<inter_rec>(static_cast<uint32_t>(count) + 1);
}

void clear_common_currents(object* set) {
  for (inter_rec* r = records(set); r && r->owner; ++r)
    if (!is_point_record(*r)) r->current = kNoIndex;
}

// Creates point `index` of the set with its record holding `value`.
object* new_intersection_point(object* set, uint32_t index, const valeur& value) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !fig->inputs) return nullptr;
  new_tool_temp_object(&classe_ptint);
  objlist_clear(fig->inputs);
  objlist_add(fig->inputs, set, 0);
  uint16_t created = 0;
  object* p = create_object(0, &created, 0, 1, 1);
  pop_tool_argument_state();
  if (!p) return nullptr;
  p->math.inter_index = index;
  if (p->valeurs && p->nbvaleurs > 0) p->valeurs[0] = value;
  if (!add_intersection_record(set, index, &value, p)) {
    // Without its record the point could never be computed.
    p->state |= OBJ_UNDEFINED;
  }
  return p;
}

object* record_owner_of_index(const object* set, uint32_t index) {
  for (inter_rec* r = records(set); r && r->owner; ++r)
    if (is_point_record(*r) && r->index == index) return r->owner;
  return nullptr;
}

}  // namespace

int intersection_record_count(const object* set) {
  int n = 0;
  for (inter_rec* r = records(set); r && r->owner; ++r) ++n;
  return n;
}

object* get_intersection_set(object* a, object* b, infomacro* macro) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !a || !b) return nullptr;
  for (object* o = fig->first; o; o = o->next) {
    if (o->classe != &classe_interset || o->nbparents < 2 || !o->parents) continue;
    const bool same = (o->parents[0] == a && o->parents[1] == b) || (o->parents[0] == b && o->parents[1] == a);
    if (!same) continue;
    if ((macro == nullptr && o->final_no != 0) || o->macro == macro) return o;
  }

  const bool switched = current_class != &classe_interset;
  if (switched) new_tool_temp_object(&classe_interset);
  if (!fig->inputs) fig->inputs = objlist_new();
  objlist_clear(fig->inputs);
  objlist_add(fig->inputs, a, 0);
  objlist_add(fig->inputs, b, 0);
  uint16_t created = 0;
  object* set = create_object(0, &created, 0, macro ? 0 : 1, 1);
  if (switched) pop_tool_argument_state();
  if (!set || set->nbparents < 2) return set;
  if (type_id(set->parents[0]) > type_id(set->parents[1])) {
    object* t = set->parents[0];
    set->parents[0] = set->parents[1];
    set->parents[1] = t;
  }
  collect_points_on_objects(set);
  return set;
}

void collect_points_on_objects(object* set) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  object* p0 = parent(set, 0);
  object* p1 = parent(set, 1);
  if (!fig || !p0 || !p1) return;
  if (!points_on_objects.items) objlist_init(&points_on_objects);
  objlist_clear(&points_on_objects);

  // Common points, with repetitions: a vertex meets the roots of two sides.
  object** common = nullptr;
  int common_count = 0, common_capacity = 0;
  auto add_common = [&](object* p, int times) {
    for (int i = 0; i < times; ++i) {
      if (common_count == common_capacity) {
        const int capacity = common_capacity + 10;
        auto* grown = alloc_block<object*>(static_cast<uint32_t>(capacity));
        if (!grown) return;
        if (common_count) std::memcpy(grown, common, sizeof(object*) * common_count);
        GlobalFreeAndNull(&common);
        common = grown;
        common_capacity = capacity;
      }
      common[common_count++] = p;
    }
  };

  for (int k = 0; k < 2; ++k) {
    object* x = k == 0 ? p0 : p1;
    for (object* p = fig->first; p; p = p->next) {
      if (type_id(p) != TYPE_POINT || p == x || !same_scope(p, set)) continue;
      if (!lies_on_by_construction(p, x, set, k)) continue;
      if (k == 0) {
        objlist_add(&points_on_objects, p, is_vertex_of(p, p0) ? 1 : 0);
        continue;
      }
      const int at = objlist_find(&points_on_objects, p);
      if (at < 0) continue;
      const bool v0 = points_on_objects.tags[at] != 0, v1 = is_vertex_of(p, p1);
      add_common(p, v0 && v1 ? 4 : (v0 || v1) ? 2 : 1);
    }
  }

  int point_records = 0;
  for (inter_rec* r = records(set); r && r->owner; ++r)
    if (is_point_record(*r)) ++point_records;
  inter_rec* fresh = new_record_array(common_count + point_records);
  if (fresh) {
    int n = 0;
    for (int i = 0; i < common_count; ++i) {
      fresh[n] = inter_rec{};
      fresh[n].owner = common[i];
      fresh[n].index = kNoIndex;
      ++n;
    }
    for (inter_rec* r = records(set); r && r->owner; ++r)
      if (is_point_record(*r)) fresh[n++] = *r;
    fresh[n] = inter_rec{};
    void* old = set->data;
    set->data = fresh;
    GlobalFreeAndNull(&old);
  }
  GlobalFreeAndNull(&common);
}

bool add_intersection_record(object* set, uint32_t index, const valeur* value, object* owner) {
  if (!set || !owner) return false;
  const int count = intersection_record_count(set);
  inter_rec* fresh = new_record_array(count + 1);
  if (!fresh) return false;
  if (count) std::memcpy(fresh, records(set), sizeof(inter_rec) * count);
  inter_rec& r = fresh[count];
  r.owner = owner;
  r.value = value ? *value : valeur{};
  r.current = kNoIndex;
  r.index = index;
  fresh[count + 1] = inter_rec{};
  void* old = set->data;
  set->data = fresh;
  GlobalFreeAndNull(&old);
  return true;
}

void remove_intersection_record(object* obj, uint32_t index) {
  if (!obj || !obj->data || !is_intersection_set(obj)) return;
  // Count first: the new array holds exactly the records that stay.
  int kept = 0;
  for (inter_rec* r = records(obj); r->owner; ++r)
    if (r->index != index) ++kept;
  inter_rec* fresh = nullptr;
  if (kept > 0) {
    fresh = new_record_array(kept);
    if (!fresh) return;
    int n = 0;
    for (inter_rec* r = records(obj); r->owner; ++r)
      if (r->index != index) fresh[n++] = *r;
    fresh[n] = inter_rec{};
  }
  void* old = obj->data;
  obj->data = fresh;
  GlobalFreeAndNull(&old);
}

bool point_on_intersection_record(object* set, uint32_t index, const valeur* value) {
  for (inter_rec* r = records(set); r && r->owner; ++r) {
    if (is_point_record(*r)) continue;
    if (r->current == kNoIndex && value && exists(*value) && r->owner->valeurs && r->owner->nbvaleurs > 0) {
      const valeur& o = r->owner->valeurs[0];
      if (std::fabs(o.h - value->h) + std::fabs(o.v - value->v) < kCommonPointDistance) {
        r->current = index;
        return true;
      }
    }
    if (r->current == index) return true;
  }
  return false;
}

bool index_is_current(const object* set, uint32_t index) {
  for (inter_rec* r = records(set); r && r->owner; ++r)
    if (r->current == index) return true;
  return false;
}

bool index_has_point(const object* set, uint32_t index) {
  for (inter_rec* r = records(set); r && r->owner; ++r)
    if (is_point_record(*r) && r->current != kNoIndex && r->index == index) return true;
  return false;
}

object* first_intersection_owner(const object* set) {
  for (inter_rec* r = records(set); r && r->owner; ++r)
    if (!is_point_record(*r)) return r->owner;
  return nullptr;
}

object* other_intersection_owner(const object* set, const object* obj) {
  for (inter_rec* r = records(set); r && r->owner; ++r)
    if (is_point_record(*r) && r->owner != obj) return r->owner;
  return nullptr;
}

void compute_intersection_set(object* set) {
  if (!set) return;
  clear_common_currents(set);
  object* p0 = parent(set, 0);
  object* p1 = parent(set, 1);
  if (!p0 || !p1 || !p1->otype || !p1->otype->intersect) {
    if (set->valeurs && set->nbvaleurs > 0) set->valeurs[0].infini_inexist_indetermine |= VAL_NOT_EXIST;
    set->state |= OBJ_UNDEFINED;
    return;
  }
  inter_rec* recs = records(set);
  if (!recs) return;

  // Every point at its own index first.
  for (inter_rec* r = recs; r->owner; ++r) {
    if (!is_point_record(*r)) continue;
    valeur v{};
    const int32_t res = intersect_parents(set, &v, r->index);
    if (res != 1 || point_on_intersection_record(set, r->index, &v)) {
      r->value.infini_inexist_indetermine |= VAL_NOT_EXIST;
      r->current = kNoIndex;
    } else {
      r->value = v;
      r->current = r->index;
    }
  }

  // Then every point whose root vanished looks for a free index that has
  // one, as long as the previous one found one.
  const bool axes0 = type_id(p0) == TYPE_AXES, axes1 = type_id(p1) == TYPE_AXES;
  const bool locus0 = type_id(p0) == TYPE_LOCUS, locus1 = type_id(p1) == TYPE_LOCUS;
  const uint32_t lo_step = axes0 ? 17 : 1, hi_step = axes1 ? 17 : 1;
  for (inter_rec* r = recs; r->owner; ++r) {
    if (!is_point_record(*r) || exists(r->value)) continue;
    uint32_t hi = axes1 ? r->index >> 16 : 0;
    const uint32_t lo0 = axes0 ? (r->index & 0xFFFF) : 0;
    uint32_t lo = lo0;
    bool found = false;
    uint32_t candidate = kNoIndex;
    valeur candidate_value{};
    for (int steps = 0; steps < kMaxSearchSteps; ++steps) {
      while (index_is_current(set, hi << 16 | lo) && lo <= 0xFFFF) lo += lo_step;
      if (lo > 0xFFFF) break;
      valeur v{};
      const uint32_t idx = hi << 16 | lo;
      const int32_t res = intersect_parents(set, &v, idx);
      if (res == 3) break;
      if (res == 4) {
        if (locus0 && (lo & 0xFF) != 0) {
          lo = (lo | 0xFF) + 1;
        } else if (lo != lo0) {
          hi += hi_step;
          lo = axes0 ? lo0 : 0;
        } else if (locus1 && (hi & 0xFF) != 0) {
          hi = (hi | 0xFF) + 1;
          lo = 0;
        } else {
          break;
        }
        if (hi > 0xFFFF) break;
        continue;
      }
      if (res == 1 && exists(v) && !point_on_intersection_record(set, idx, &v)) {
        found = true;
        candidate = idx;
        candidate_value = v;
      }
      lo += lo_step;
    }
    if (!found) break;
    r->value = candidate_value;
    r->current = candidate;
  }
}

void compute_intersection_point(object* pt) {
  if (!pt || !pt->valeurs || pt->nbvaleurs < 1) return;
  const inter_rec* match = nullptr;
  for (inter_rec* r = records(parent(pt, 0)); r && r->owner; ++r)
    if (is_point_record(*r) && r->index == pt->math.inter_index) match = r;
  if (!match || !exists(match->value)) {
    pt->state |= OBJ_UNDEFINED;
    if (match) pt->valeurs[0] = match->value;
    return;
  }
  pt->valeurs[0] = match->value;
  if (match->value.infini_inexist_indetermine & VAL_AT_INFINITY) pt->state |= OBJ_AT_INFINITY;
}

object* create_intersection_point(object* set, uint32_t index) {
  if (!set) return nullptr;
  if (object* owner = record_owner_of_index(set, index)) return owner;
  return new_intersection_point(set, index, valeur{});
}

object* find_or_create_point_near(object* set, int32_t x, int32_t y) {
  if (!set) return nullptr;
  for (inter_rec* r = records(set); r && r->owner; ++r) {
    if (is_point_record(*r) || !r->owner->valeurs || r->owner->nbvaleurs < 1) continue;
    const valeur& o = r->owner->valeurs[0];
    if (std::fabs(o.h - x) + std::fabs(o.v - y) < kNearCommonPoint) return r->owner;
  }
  intersect_probe = valeur{};
  intersect_probe.h = x;
  intersect_probe.v = y;
  if (intersect_parents(set, nullptr, kIntersectProbe) != 1) return nullptr;
  const uint32_t index = intersect_probe_index;
  const valeur value = intersect_probe;
  if (object* owner = record_owner_of_index(set, index)) return owner;
  return new_intersection_point(set, index, value);
}

int intersection_tool(kel_EventRecord* event, object** out) {
  if (out) *out = nullptr;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return 0;
  const bool designated = designated_crossing != 0;
  object* arg = nullptr;
  if (!designated && !take_tool_argument(event, &arg)) return 0;

  clear_object_flags(OBJ_CHOSEN);
  object* a = nullptr;
  object* b = nullptr;
  if (designated) {
    designated_crossing = 0;
    if (objlist_count(&intersection_candidates) >= 2) {
      a = intersection_candidates.items[0];
      b = intersection_candidates.items[1];
    }
  } else if (objlist_count(fig->inputs) >= 2) {
    a = fig->inputs->items[0];
    b = fig->inputs->items[1];
  }
  reset_class_type_marks(&classe_interset);
  clear_object_flags(OBJ_CHOSEN);
  if (!a || !b) {
    objlist_clear(fig->inputs);
    return 0;
  }
  object* set = get_intersection_set(a, b, nullptr);
  objlist_clear(fig->inputs);
  clear_selection();
  if (!set) return 0;

  object* last = nullptr;
  if (designated) {
    last = find_or_create_point_near(set, designated_crossing_pos.x, designated_crossing_pos.y);
  } else if (pending_crossing) {
    pending_crossing = 0;
    last = find_or_create_point_near(set, pending_crossing_pos.x, pending_crossing_pos.y);
  } else {
    // Every root gets its point, unless a common point already sits there.
    const bool locus0 = type_id(parent(set, 0)) == TYPE_LOCUS, locus1 = type_id(parent(set, 1)) == TYPE_LOCUS;
    // Two loci are crossed sample by sample, which takes a while.
    if (locus0 && locus1) KPCursor::setCursorByID(IDC_WAIT);
    clear_common_currents(set);
    uint32_t hi = 0, lo = 0;
    for (int steps = 0; steps < kMaxSearchSteps; ++steps) {
      while (index_has_point(set, hi << 16 | lo) && lo <= 0xFFFF) ++lo;
      if (lo > 0xFFFF || hi > 0xFFFF) break;
      const uint32_t idx = hi << 16 | lo;
      valeur v{};
      const int32_t res = intersect_parents(set, &v, idx);
      if (res == 3) break;
      if (res == 4) {
        if (locus0 && (lo & 0xFF) != 0) {
          lo = (lo | 0xFF) + 1;
        } else if (lo != 0) {
          ++hi;
          lo = 0;
        } else if (locus1 && (hi & 0xFF) != 0) {
          hi = (hi | 0xFF) + 1;
          lo = 0;
        } else {
          break;
        }
        continue;
      }
      if (res == 2) v.infini_inexist_indetermine |= VAL_NOT_EXIST;
      if (!point_on_intersection_record(set, idx, &v)) {
        object* p = create_intersection_point(set, idx);
        if (p) {
          last = p;
          if (p->valeurs && p->nbvaleurs > 0) p->valeurs[0] = v;
          if (!exists(v)) {
            p->state |= OBJ_UNDEFINED;
          } else if (v.infini_inexist_indetermine & VAL_AT_INFINITY) {
            p->state |= OBJ_AT_INFINITY;
          } else {
            redraw_object(p);
          }
        }
      }
      ++lo;
    }
    clear_object_flags(OBJ_WALK | OBJ_CHOSEN | OBJ_TO_DELETE | OBJ_NEW);
    clear_selection();
    redraw_figure(2);
  }
  if (out) *out = last;
  return 0;
}

int intersect_dispatch(object* obj, object** list, int32_t x, int32_t y, uint8_t loci) {
  if (!obj || !list) return 0;
  for (object** q = list; *q; ++q) {
    object* other = *q;
    if (other == obj) continue;
    if (!loci && (type_id(obj) == TYPE_LOCUS || type_id(other) == TYPE_LOCUS)) continue;
    object* hi = type_id(obj) >= type_id(other) ? obj : other;
    object* lo = hi == obj ? other : obj;
    if (!hi->otype || !hi->otype->intersect) continue;
    intersect_probe = valeur{};
    intersect_probe.h = x;
    intersect_probe.v = y;
    if (hi->otype->intersect(hi, lo, nullptr, kIntersectProbe) == 1) return 1;
  }
  return 0;
}

void renumber_intersection_records(object* set, const std::function<object*(const object*)>& counterpart) {
  if (!is_intersection_set(set) || !set->data) return;
  inter_rec* recs = records(set);
  int kept = 0;
  for (int i = 0; recs[i].owner; ++i) {
    object* mapped = counterpart(recs[i].owner);
    if (!mapped) continue;
    recs[kept] = recs[i];
    recs[kept].owner = mapped;
    ++kept;
  }
  recs[kept] = inter_rec{};
}

void intersection_set_refresh(object* pt) {
  object* set = parent(pt, 0);
  inter_rec* recs = records(set);
  if (!pt || !recs) return;
  auto used_before = [&](const inter_rec* r, uint32_t index) {
    for (inter_rec* e = recs; e != r; ++e)
      if (is_point_record(*e) && e->index == index) return true;
    return false;
  };
  for (inter_rec* r = recs; r->owner; ++r) {
    if (!is_point_record(*r) || !used_before(r, r->index)) continue;
    uint32_t hi = 0, lo = 0;
    for (int steps = 0; steps < kMaxSearchSteps && hi <= 0xFFFF && lo <= 0xFFFF; ++steps) {
      r->index = hi << 16 | lo;
      valeur scratch{};
      const int32_t res = intersect_parents(set, &scratch, r->index);
      if (res == 4) {
        if (lo == 0) break;
        ++hi;
        lo = 0;
        continue;
      }
      if (!used_before(r, r->index)) break;
      ++lo;
    }
  }
  for (inter_rec* r = recs; r->owner; ++r)
    if (is_point_record(*r) && r->owner == pt) {
      pt->math.inter_index = r->index;
      break;
    }
}

void link_intersection_point(object* pt, object* obj) {
  object* set = parent(pt, 0);
  if (!pt || !obj || !set) return;
  for (inter_rec* r = records(set); r && r->owner; ++r)
    if (!is_point_record(*r) && r->owner == obj) return;
  inter_rec* mine = nullptr;
  for (inter_rec* r = records(set); r && r->owner; ++r)
    if (is_point_record(*r) && r->owner == pt && r->index == pt->math.inter_index) {
      mine = r;
      break;
    }
  if (!mine || !exists(mine->value) || !obj->valeurs || obj->nbvaleurs < 1) return;
  const valeur& o = obj->valeurs[0];
  if (std::fabs(mine->value.h - o.h) + std::fabs(mine->value.v - o.v) >= 1e-10) return;
  const uint32_t index = (((pt->math.inter_index >> 16) + 1) % 2) << 16 | (pt->math.inter_index & 0xFFFF);
  pt->math.inter_index = index;
  mine->index = index;
  recompute_object(set);
}

namespace {

// The first intersection point of the set that sits on a common point (its
// record found no root of its own, at the index a common point holds), with
// that common point; false when there is none.
bool point_on_common_point(object* set, object** point, object** common) {
  for (inter_rec* r = records(set); r && r->owner; ++r) {
    if (!is_point_record(*r) || exists(r->value)) continue;
    for (inter_rec* c = records(set); c->owner; ++c)
      if (!is_point_record(*c) && c->current != kNoIndex && c->current == r->index) {
        *point = r->owner;
        *common = c->owner;
        return true;
      }
  }
  return false;
}

}  // namespace

void refresh_all_intersection_sets() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return;
  std::vector<object*> sets;
  for (object* o = fig->first; o; o = o->next)
    if (is_intersection_set(o)) sets.push_back(o);
  for (object* set : sets) {
    object* point = nullptr;
    object* common = nullptr;
    // Each merge leaves the common point's record, so the set stays.
    while (point_on_common_point(set, &point, &common)) {
      replace_parent_references(common, fig->first, point);
      sort_objects_by_dependency();
      delete_object_quietly(point);
      recompute_object(set);
    }
  }
  for (object* o = fig->first; o; o = o->next) recompute_object(o);
}
