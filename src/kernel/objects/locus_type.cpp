#include "kernel/objects/locus_type.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/model/point_type.h"
#include "kernel/objects/inter_list.h"
#include "kernel/objects/straight_types.h"
#include "kernel/render/colors.h"
#include "kernel/render/object_colors.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/text/labels.h"
#include "kernel/tools/hit_state.h"

namespace {

bool at_infinity(const valeur& v) { return (v.infini_inexist_indetermine & VAL_AT_INFINITY) != 0; }
bool missing(const valeur& v) { return (v.infini_inexist_indetermine & VAL_NOT_EXIST) != 0; }
bool finite(const valeur& v) { return !at_infinity(v) && std::isfinite(v.h) && std::isfinite(v.v); }
bool usable(const valeur& v) { return finite(v) && !missing(v); }

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }

const object* carrier_of_driver(const object* locus) {
  if (!locus || !locus->parents || locus->nbparents < 1 || !locus->parents[0]) return nullptr;
  const object* driver = locus->parents[0];
  return driver->parents && driver->nbparents > 0 ? driver->parents[0] : nullptr;
}

uint32_t figure_background() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  return fig ? fig->bgcolor : back_color;
}

uint32_t locus_color(const object* locus) {
  return (locus->state & OBJ_ERASE) ? figure_background() : object_effective_color(locus);
}

}  // namespace

// ------------------------------------------------------------ point count

bool locus_change_nb_points(object* locus, uint16_t code) {
  if (!locus) return false;
  int16_t& nb = locus->math.locus.nb_pts;
  if (type_of(carrier_of_driver(locus)) == TYPE_GRID) {
    if (code == 1 && nb < INT16_MAX) {
      ++nb;
      return true;
    }
    if (code == 65535 && nb > INT16_MIN) {
      --nb;
      return true;
    }
    return false;
  }
  const int n = nb < 1 ? 5 : nb;
  int next;
  if (code == 1) next = std::min(n * 3 / 2, 1000);
  else if (code == 65535) next = std::max(n * 2 / 3, 5);
  else next = std::clamp(static_cast<int>(static_cast<int16_t>(code)), 5, 1000);
  if (next == nb) return false;
  nb = static_cast<int16_t>(next);
  if (locus->data) GlobalFreeAndNull(&locus->data);
  return true;
}

bool locus_is_valid(const object* locus) {
  if (!locus || !locus->parents || locus->nbparents < 2) return false;
  const object* driver = locus->parents[0];
  const construct_method* m = driver ? class_method(driver->classe, driver->methode) : nullptr;
  if (!m || !m->point_on) return false;
  const object* carrier = carrier_of_driver(locus);
  if (!carrier) return false;
  if (type_of(carrier) == TYPE_GRID) return false;
  const uint16_t t = type_of(locus->parents[locus->nbparents - 1]);
  if (t != TYPE_POINT && t != TYPE_LINE && t != TYPE_CIRCLE && t != TYPE_CONIC) return false;
  if (type_of(carrier) == TYPE_AXES) return driver->math.side.force_grad == 0;
  return true;
}

bool value_object_check(const object* obj, bool with_loci) {
  if (!obj) return false;
  switch (type_of(obj)) {
    case TYPE_TABLE:
    case TYPE_AXES:
    case TYPE_GRID:
      return true;
    case TYPE_LOCUS:
      return with_loci && locus_is_valid(obj);
    default:
      break;
  }
  const construct_class* c = obj->classe;
  return c == &classe_length || c == &classe_aire || c == &classe_pente || c == &classe_angleMes ||
         c == &classe_equation;
}

// ----------------------------------------------------------------- drawing

void locus_prepare_drawing(locus_context& c) {
  const dot& style = c.locus->settings.dot_style;
  const uint8_t pattern[2] = {style.lg, style.cycle};
  set_dash_pattern(pattern);
  c.dashed = pixel_pen.dash_active != 0;
  if (!c.dashed) return;
  c.dash_on = pixel_pen.on_length;
  c.dash_period = pixel_pen.period;
  for (uint8_t& phase : c.dash_phase) phase = pixel_pen.dash_start_phase;
  pixel_pen.dash_active = 0;
}

bool draw_locus(DisplayDevice* dd, object* locus) {
  if (!locus) return false;
  return locus_compute(locus, nullptr, nullptr, nullptr, nullptr, dd);
}

bool locus_draw_sink(valeur* a, valeur* b, bool chord) {
  locus_context* c = locus_current();
  const object* locus = c->locus;
  const object_settings& s = locus->settings;
  if (c->dashed) {
    const uint8_t pattern[2] = {c->dash_on, c->dash_period};
    set_dash_pattern(pattern);
  }
  const uint32_t color = locus_color(locus);
  if (locus->math.locus.lkpt && chord && usable(*a) && usable(*b)) {
    draw_segment_styled(c->dd, a->h, a->v, b->h, b->v, color, s.thickness, &s.dot_style, kExtentSegment);
    if (c->dashed && !dash_hold && c->dash_period) {
      const double length = std::hypot(b->h - a->h, b->v - a->v);
      const auto l = static_cast<uint32_t>(std::fmod(std::trunc(length + 0.4999999999), 256.0 * c->dash_period));
      const auto advanced = static_cast<uint8_t>(static_cast<uint8_t>(pixel_pen.phase_a) + l % c->dash_period);
      pixel_pen.phase_a = static_cast<int8_t>(advanced % c->dash_period);
    }
  } else {
    const uint16_t shape = s.graph_type < kShapeCount ? s.graph_type : uint16_t{kShapeDot};
    for (const valeur* v : {a, b})
      if (usable(*v)) draw_point_mark(c->dd, v->h, v->v, 0, s.thickness, color, shape, nullptr);
  }
  pixel_pen.dash_active = 0;
  return false;
}

// ---------------------------------------------------------------- hit test

bool locus_hit_test(object* locus, tagPOINT* p) {
  hit_part = 0;
  if (!locus || !p) return false;
  if (hit_test_object_label(locus, p)) return true;
  return locus_compute(locus, nullptr, p, nullptr, nullptr);
}

bool locus_hit_sink(valeur* a, valeur* b, bool chord) {
  locus_context* c = locus_current();
  const tagPOINT* p = &c->hit;
  bool hit;
  if (!c->locus->math.locus.lkpt || !chord) {
    hit = (finite(*a) && point_near(a, p)) || (finite(*b) && point_near(b, p));
  } else {
    hit = (!missing(*a) && point_near(a, p)) || (!missing(*b) && point_near(b, p));
    if (!hit && usable(*a) && usable(*b) && near_segment(a, b, p)) {
      const double dot = (a->h - p->x) * (b->h - p->x) + (a->v - p->y) * (b->v - p->y);
      hit = dot <= 0;
    }
  }
  if (hit) c->branch_found = c->branch;
  return hit;
}

// ------------------------------------------------------------ point on it

namespace {

// The distance from P to the chord a-b and where on it the nearest point
// lies; true when that beats the best so far.
bool locus_nearest_on_chord(locus_context& c, const valeur& a, const valeur& b, double px, double py) {
  if (!usable(a) || !usable(b)) return false;
  const double dx = b.h - a.h, dy = b.v - a.v;
  const double d = std::hypot(dx, dy);
  double distance, fraction = 0;
  if (d > 1e-10) {
    const double u = (dx * (px - a.h) + dy * (py - a.v)) / (d * d);
    if (u < 0) {
      distance = std::hypot(px - a.h, py - a.v);
    } else if (u > 1) {
      distance = std::hypot(px - b.h, py - b.v);
      fraction = 1;
    } else {
      distance = std::fabs(dx * (py - a.v) - dy * (px - a.h)) / d;
      fraction = u;
    }
  } else {
    distance = std::fabs(px - a.h) + std::fabs(py - a.v);
  }
  if (!(distance < c.best_distance)) return false;
  c.best_distance = distance;
  c.best_fraction = fraction;
  c.branch_found = c.branch;
  return true;
}

locus_point_param* param_block(void** param) {
  if (*param && GlobalSize(*param) < sizeof(locus_point_param)) return nullptr;
  if (!*param) *param = GlobalAlloc(GPTR, sizeof(locus_point_param));
  return static_cast<locus_point_param*>(*param);
}

}  // namespace

bool locus_nearest_sink(valeur* a, valeur* b, bool) {
  locus_context* c = locus_current();
  return locus_nearest_on_chord(*c, *a, *b, c->target->h, c->target->v);
}

void locus_point_on(object* locus, valeur* val, void** param, int mode) {
  if (!val || !param) return;
  if (!*param && mode != 3) mode = 2;
  locus_point_param* block = param_block(param);
  val->infini_inexist_indetermine = 0;
  if (!block || !locus) {
    val->infini_inexist_indetermine |= VAL_NOT_EXIST;
    return;
  }
  if (mode == 3) {
    if (!locus_begin(locus)) {
      val->infini_inexist_indetermine |= VAL_NOT_EXIST;
      return;
    }
    locus_context* c = locus_current();
    const int nvals = c->nvals;
    const double count = c->count;
    locus_end();
    double t = nvals * count * (val->v / val->h);
    if (!std::isfinite(t) || t < 0 || t > nvals * count) {
      val->infini_inexist_indetermine |= VAL_NOT_EXIST;
      return;
    }
    int16_t branch = 0;
    while (t > count && branch < nvals - 1) {
      ++branch;
      t -= count;
    }
    block->t = t;
    block->branch = branch;
  } else if (mode == 2) {
    valeur target = *val;
    target.infini_inexist_indetermine = 0;
    if (!locus_structure_ok(locus)) {
      val->infini_inexist_indetermine |= VAL_NOT_EXIST;
      return;
    }
    locus_compute(locus, nullptr, nullptr, &target, nullptr);
    if (missing(target)) {
      val->infini_inexist_indetermine |= VAL_NOT_EXIST;
      return;
    }
    const double t = locus_last_run.best_param;
    const int branch = locus_last_run.branch_found;
    block->t = t;
    block->branch = static_cast<int16_t>(branch);
  }
  if (!locus_begin(locus)) {
    val->infini_inexist_indetermine |= VAL_NOT_EXIST;
    return;
  }
  locus_context* c = locus_current();
  valeur vals[kLocusMaxBranches] = {};
  const int branch = block->branch;
  if (branch >= 0 && branch < c->nvals && std::isfinite(block->t) && locus_eval_at(block->t, vals, nullptr) &&
      !missing(vals[branch])) {
    *val = vals[branch];
  } else {
    val->infini_inexist_indetermine |= VAL_NOT_EXIST;
  }
  locus_end();
}

// ----------------------------------------------------------- intersections

namespace {

// Whether index lo names an intersection of `other`'s own.
bool other_index_exists(const object* other, uint32_t lo) {
  const uint16_t t = type_of(other);
  if (t == TYPE_LOCUS) return (lo >> 8) < static_cast<uint32_t>(locus_value_count(other));
  if (t >= TYPE_SEGMENT && t <= 6) return static_cast<int32_t>(lo) <= intersection_side_count(other) - 1;
  if (t == TYPE_LINE || t == TYPE_RAY) return lo == 0;
  if (t == TYPE_AXES || t == TYPE_CIRCLE || t == TYPE_ARC) return lo <= 1;
  if (t == TYPE_CONIC) return lo <= 3;
  return false;
}

// A segment from a to b that lives for one call of an intersect operation.
struct temporary_segment {
  object record{};
  valeur ends[2]{};
  object* parents[2]{};
  temporary_segment(const valeur& a, const valeur& b) {
    record.in_use = 1;
    record.final_no = 1;
    record.settings.Color = default_color;
    record.settings.FillColor = figure_background();
    record.nbparents = 2;
    record.parents = parents;
    record.nbvaleurs = 2;
    ends[0] = a;
    ends[1] = b;
    record.valeurs = ends;
    record.otype = &type_segment;
    record.classe = &classe_segment;
  }
};

inter_list* run_list(locus_context& c) {
  if (!c.scratch_list) c.scratch_list = static_cast<inter_list*>(GlobalAlloc(GPTR, sizeof(inter_list)));
  return c.scratch_list;
}

bool near_probe(const valeur& v) {
  return usable(v) && std::fabs(v.h - intersect_probe.h) + std::fabs(v.v - intersect_probe.v) < 16;
}

}  // namespace

bool locus_intersect_sink(valeur* a, valeur* b, bool chord) {
  if (!chord || missing(*a) || missing(*b)) return false;
  locus_context* c = locus_current();
  locus_intersect_request& r = c->request;
  const auto branch = static_cast<uint32_t>(c->branch);
  if (!r.all && !r.probe && branch != r.branch) return false;
  object* other = r.other;
  // The other object may hang on the chain: it sees the figure unmoved.
  locus_restore_chain();
  temporary_segment seg(*a, *b);

  if (r.all || r.probe) {
    inter_list* list = run_list(*c);
    if (!list || other->otype->intersect(other, &seg.record, list, kIntersectAll) != 1 || list->count == 0)
      return false;
    uint32_t& counter = c->crossings[branch];
    // The crossings of a branch beyond 255 have no index of their own.
    if (counter > 0xFF) return false;
    const uint32_t high = ((branch << 8) | counter) << 16;
    if (r.probe) {
      for (int k = 0; k < list->count; ++k) {
        if (!near_probe(list->values[k])) continue;
        intersect_probe_index = high | (list->indices[k] >> 16);
        intersect_probe = list->values[k];
        if (c->result) *c->result = list->values[k];
        return true;
      }
      ++counter;
      return false;
    }
    bool any = false;
    for (int k = 0; k < list->count; ++k) {
      if (!usable(list->values[k])) continue;
      if (r.list) intersection_results_add(r.list, high | (list->indices[k] >> 16), &list->values[k]);
      any = true;
    }
    if (any) {
      ++counter;
      if (c->result) *c->result = list->values[0];
    }
    return false;
  }

  valeur found{};
  if (other->otype->intersect(other, &seg.record, &found, r.mode) != 1 || missing(found)) return false;
  if (r.skip > 0) {
    --r.skip;
    return false;
  }
  *c->result = found;
  return true;
}

int32_t locus_intersect(object* locus, object* other, void* result, uint32_t mode) {
  if (!locus || !other) return 3;
  const uint16_t t = type_of(other);
  if (t >= TYPE_ANGLE || (t == TYPE_LOCUS && !locus_is_valid(other)) || !other->otype || !other->otype->intersect ||
      !locus_is_valid(locus))
    return 3;
  locus_intersect_request req{};
  req.other = other;
  req.probe = mode == kIntersectProbe;
  req.all = mode == kIntersectAll;
  if (!req.probe && !req.all) {
    const uint32_t high = mode >> 16, lo = mode & 0xFFFF;
    if (!other_index_exists(other, lo)) return 4;
    if ((high >> 8) >= static_cast<uint32_t>(locus_value_count(locus))) return 4;
    req.branch = high >> 8;
    req.skip = high & 0xFF;
    req.mode = lo << 16;
  }
  if (req.all) {
    req.list = static_cast<inter_list*>(result);
    if (req.list) intersection_results_add(req.list, 0, nullptr);
  }
  valeur local{};
  const bool found = locus_compute(locus, &req, nullptr, nullptr, &local);
  if (req.all) return req.list && req.list->count > 0 ? 1 : 4;
  if (found) {
    if (!req.probe && result) *static_cast<valeur*>(result) = local;
    return 1;
  }
  if (!req.probe && result) static_cast<valeur*>(result)->infini_inexist_indetermine |= VAL_NOT_EXIST;
  const uint32_t lo = mode & 0xFFFF;
  if (!req.probe && req.skip == 0 && (t != TYPE_LOCUS || (lo & 0xFF) == 0)) return 2;
  return 4;
}

// -------------------------------------------------------------- start-up

locus_sink_fn locus_sink_for(locus_sink_kind kind) {
  switch (kind) {
    case locus_sink_kind::draw:
      return locus_draw_sink;
    case locus_sink_kind::hit:
      return locus_hit_sink;
    case locus_sink_kind::nearest:
      return locus_nearest_sink;
    case locus_sink_kind::intersect:
      return locus_intersect_sink;
    default:
      return nullptr;
  }
}

namespace {

void draw_locus_slot(DisplayDevice* dd, object* locus) { draw_locus(dd, locus); }

// A locus exists when a run is possible: its records hang together and the
// driver's carrier exists.
void compute_locus(object* locus) {
  const object* carrier = carrier_of_driver(locus);
  if (!locus_structure_ok(locus) || !carrier || (carrier->state & OBJ_UNDEFINED)) locus->state |= OBJ_UNDEFINED;
}

}  // namespace

void bind_locus_operations() {
  type_locus.draw = draw_locus_slot;
  type_locus.hit_test = locus_hit_test;
  type_locus.point_on = locus_point_on;
  type_locus.intersect = locus_intersect;
  if (construct_method* m = class_method(&classe_locus, 0)) m->compute = compute_locus;
}
