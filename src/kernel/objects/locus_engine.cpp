#include "kernel/objects/locus_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/model/recompute.h"
#include "kernel/objects/grid_type.h"
#include "kernel/objects/inter_list.h"
#include "kernel/objects/locus_type.h"
#include "kernel/render/draw_object.h"
#include "kernel/render/object_colors.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/tools/hit_state.h"
#include "kernel/window/window_hooks.h"

uint8_t locus_busy = 0;
locus_run_outcome locus_last_run = {};

namespace {

locus_context* g_top = nullptr;
// The range a sampling asks for instead of the locus's own point count.
int32_t g_count_override = 0;

constexpr double kStartDistance = 30000;
constexpr int kValueSlots = 11;

bool at_infinity(const valeur& v) { return (v.infini_inexist_indetermine & VAL_AT_INFINITY) != 0; }
bool missing(const valeur& v) { return (v.infini_inexist_indetermine & VAL_NOT_EXIST) != 0; }
bool usable(const valeur& v) { return !at_infinity(v) && !missing(v) && std::isfinite(v.h) && std::isfinite(v.v); }

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }

const construct_method* driver_method(const object* driver) {
  return driver ? class_method(driver->classe, driver->methode) : nullptr;
}

// A point moved along its object by keys or by the animation.
bool animation_running() { return interaction_state == 4 || interaction_state == 9; }

void set_not_exist(valeur* vals, int n) {
  for (int i = 0; i < n; ++i) vals[i].infini_inexist_indetermine |= VAL_NOT_EXIST;
}

// Puts the driver at step t of `count` and recomputes the chain.
void place_driver(locus_context& c, double t) {
  const construct_method* m = driver_method(c.driver);
  m->point_on(c.driver, c.count, t);
  for (object** p = c.chain; p < c.chain_end; ++p) recompute_object(*p);
}

// The end of the parameter range: the nodes of the window a grid carrier
// was drawn in, else the locus's point count; 0 when there is no range.
int32_t parameter_count(const object* locus) {
  const object* carrier = locus->parents[0]->parents[0];
  if (type_of(carrier) == TYPE_GRID && carrier->data && GlobalSize(carrier->data) >= sizeof(grid_window)) {
    const auto* w = static_cast<const grid_window*>(carrier->data);
    const int64_t nodes = (int64_t{w->i1} - w->i0) * (int64_t{w->j1} - w->j0);
    return nodes >= 1 && nodes <= kLocusMaxGridNodes ? static_cast<int32_t>(nodes) : 0;
  }
  return locus->math.locus.nb_pts;
}

}  // namespace

locus_context* locus_current() { return g_top; }

int locus_value_count(const object* locus) {
  if (!locus || !locus->parents || locus->nbparents < 1) return 1;
  switch (type_of(locus->parents[locus->nbparents - 1])) {
    case TYPE_CIRCLE:
      return 2;
    case TYPE_CONIC:
      return 4;
    default:
      return 1;
  }
}

bool locus_structure_ok(const object* locus) {
  if (!locus || !locus->parents || locus->nbparents < 2) return false;
  const int n = locus->nbparents;
  for (int k = 0; k < n; ++k)
    if (!locus->parents[k] || locus->parents[k] == locus) return false;
  object* driver = locus->parents[0];
  const construct_method* m = driver_method(driver);
  if (!m || !m->point_on || !driver->valeurs || driver->nbvaleurs < 1) return false;
  if (driver->nbparents < 1 || !driver->parents || !driver->parents[0]) return false;
  const object* traced = locus->parents[n - 1];
  if (!traced->valeurs || traced->nbvaleurs < 1) return false;
  const int16_t nb = locus->math.locus.nb_pts;
  if (type_of(driver->parents[0]) != TYPE_GRID && (nb < 5 || nb > 1000)) {
    return false;
  }
  // The traced object must be reached from the driver through the chain.
  std::vector<char> reached(static_cast<size_t>(n), 0);
  reached[0] = 1;
  for (int k = 1; k < n; ++k) {
    const object* o = locus->parents[k];
    for (int i = 0; i < o->nbparents && !reached[k]; ++i)
      for (int j = 0; j < k; ++j)
        if (reached[j] && o->parents && o->parents[i] == locus->parents[j]) {
          reached[k] = 1;
          break;
        }
  }
  return reached[static_cast<size_t>(n - 1)] != 0;
}

bool locus_begin(object* locus) {
  if (!locus_structure_ok(locus)) return false;
  auto* c = static_cast<locus_context*>(GlobalAlloc(GPTR, sizeof(locus_context)));
  if (!c) return false;
  c->locus = locus;
  c->driver = locus->parents[0];
  c->traced = locus->parents[locus->nbparents - 1];
  c->traced_te = c->traced->te;
  c->traced->te = nullptr;
  c->traced_copy = *c->traced;
  c->traced_copy.valeurs = c->scratch;
  c->chain = locus->parents;
  c->chain_end = locus->parents + locus->nbparents;
  c->carrier_type = type_of(c->driver->parents[0]);
  c->driver_value = c->driver->valeurs[0];
  c->driver_math = c->driver->math;
  c->count = g_count_override > 0 ? g_count_override : parameter_count(locus);
  if (c->count < 1) {
    c->traced->te = c->traced_te;
    GlobalFreeAndNull(&c);
    return false;
  }
  c->traced_type = type_of(c->traced);
  c->nvals = locus_value_count(locus);
  c->eps = c->traced_type == TYPE_CONIC ? 0.01 : 0.001;
  c->intersect = c->traced->otype ? c->traced->otype->intersect : nullptr;
  c->best_distance = kStartDistance;
  c->no_chord = true;
  c->outer = g_top;
  g_top = c;
  return true;
}

void locus_restore_chain() {
  locus_context* c = g_top;
  if (!c) return;
  c->driver->valeurs[0] = c->driver_value;
  c->driver->math = c->driver_math;
  c->traced->te = c->traced_te;
  for (object** p = c->chain; p < c->chain_end; ++p) recompute_object(*p);
  c->traced->te = nullptr;
}

void locus_end() {
  locus_context* c = g_top;
  if (!c) return;
  locus_restore_chain();
  c->traced->te = c->traced_te;
  if (c->scratch_list) {
    intersection_results_free(c->scratch_list);
    GlobalFreeAndNull(&c->scratch_list);
  }
  g_top = c->outer;
  GlobalFreeAndNull(&c);
}

bool locus_eval_at(double t, valeur* vals, valeur* drv) {
  locus_context* c = g_top;
  if (!c) return false;
  for (int i = 0; i < c->nvals; ++i) vals[i].infini_inexist_indetermine = 0;
  place_driver(*c, t);
  if (c->traced->state & OBJ_UNDEFINED) {
    set_not_exist(vals, c->nvals);
    return false;
  }
  if (drv) *drv = c->driver->valeurs[0];
  if (c->traced_type == TYPE_POINT) {
    vals[0] = c->traced->valeurs[0];
    if (c->traced->state & OBJ_AT_INFINITY) vals[0].infini_inexist_indetermine |= VAL_AT_INFINITY;
    return true;
  }
  if (!c->intersect) {
    set_not_exist(vals, c->nvals);
    return false;
  }
  // Envelope: where the member at t meets its neighbour a little later.
  const int n = c->traced->nbvaleurs < kValueSlots ? c->traced->nbvaleurs : kValueSlots;
  std::memcpy(c->scratch, c->traced->valeurs, sizeof(valeur) * static_cast<size_t>(n));
  c->traced_copy.nbvaleurs = static_cast<int16_t>(n);
  c->traced_copy.state = c->traced->state;
  place_driver(*c, t + c->eps / 10);
  if (c->traced->state & OBJ_UNDEFINED) {
    set_not_exist(vals, c->nvals);
    return false;
  }
  valeur out[kValueSlots] = {};
  for (valeur& v : out) v.infini_inexist_indetermine = VAL_NOT_EXIST;
  if (c->intersect(c->traced, &c->traced_copy, out, kIntersectRaw) != 1) {
    set_not_exist(vals, c->nvals);
    return false;
  }
  bool all_infinite = true;
  for (int i = 0; i < c->nvals; ++i) {
    vals[i] = out[i];
    if (!std::isfinite(vals[i].h) || !std::isfinite(vals[i].v)) vals[i].infini_inexist_indetermine |= VAL_NOT_EXIST;
    if (!at_infinity(vals[i])) all_infinite = false;
  }
  return !all_infinite;
}

bool locus_find_valid(double* t, double dt, valeur* vals, valeur* drv) {
  locus_context* c = g_top;
  if (!c || !(dt == dt)) return false;
  if (locus_eval_at(*t, vals, drv)) return true;
  const double sign = dt < 0 ? -1.0 : 1.0;
  const double span = std::fabs(dt);
  for (int k = 1; k <= 5 && k * c->eps < span; ++k)
    if (locus_eval_at(*t + sign * k * c->eps, vals, drv)) {
      *t += sign * k * c->eps;
      return true;
    }
  double o = 0, s = span / 10;
  while (o < span) {
    o += s;
    if (!locus_eval_at(*t + sign * o, vals, drv)) continue;
    if (s < c->eps) {
      *t += sign * o;
      return true;
    }
    o -= s;
    s /= 10;
  }
  return false;
}

bool locus_needs_split(const valeur* a, const valeur* m, const valeur* b, const valeur* da, const valeur* dm,
                       const valeur* db) {
  locus_context* c = g_top;
  if (!c) return false;
  for (int i = 0; i < c->nvals; ++i) {
    const bool mid_finite = !at_infinity(m[i]) && !missing(m[i]);
    if (mid_finite && !missing(a[i]) && !missing(b[i])) {
      const bool ai = at_infinity(a[i]), bi = at_infinity(b[i]);
      const double ux = ai ? a[i].h : a[i].h - m[i].h, uy = ai ? a[i].v : a[i].v - m[i].v;
      const double wx = bi ? b[i].h : b[i].h - m[i].h, wy = bi ? b[i].v : b[i].v - m[i].v;
      const double uu = ux * ux + uy * uy, ww = wx * wx + wy * wy;
      if (uu + ww <= 4) continue;
      // The middle coincides with one end while the other lies far away.
      if (!(uu > 0) || !(ww > 0)) return true;
      double d = ux * wx + uy * wy;
      if (ai || bi) d = -std::fabs(d);
      const double cosine = std::fabs(d) * d / (uu * ww);
      if (!(cosine <= -c->threshold_a)) return true;
      const double px = da->h - dm->h, py = da->v - dm->v;
      const double qx = db->h - dm->h, qy = db->v - dm->v;
      const double p = px * px + py * py, q = qx * qx + qy * qy;
      const double ratio = uu <= ww ? (ww / uu) * (p / q) : (uu / ww) * (q / p);
      if (ratio > c->threshold_b || (ratio != ratio && (p > 0 || q > 0))) return true;
    } else if (usable(a[i]) || usable(b[i])) {
      return true;
    }
  }
  return false;
}

namespace {

// Hands the interval to the sink, branch by branch.
bool emit_interval(double t0, double t1, const valeur* a, const valeur* b, bool chord) {
  locus_context* c = g_top;
  for (int i = 0; i < c->nvals; ++i) {
    pixel_pen.dash_start_phase = c->dash_phase[i];
    c->branch = i;
    const bool a_gone = at_infinity(a[i]) || missing(a[i]);
    const bool b_gone = at_infinity(b[i]) || missing(b[i]);
    if (!(a_gone && b_gone)) c->no_chord = false;
    valeur va = a[i], vb = b[i];
    if (c->sink && c->sink(&va, &vb, chord)) {
      if (c->kind != locus_sink_kind::nearest) return true;
      // A nearer chord: remember where on it, and look at the rest.
      c->best_param = t0 + (t1 - t0) * c->best_fraction;
    }
    c->dash_phase[i] = static_cast<uint8_t>(pixel_pen.phase_a);
  }
  return false;
}

}  // namespace

bool locus_refine(double t0, double t1, const valeur* a, const valeur* b, const valeur* da, const valeur* db) {
  locus_context* c = g_top;
  if (!c) return false;
  double dmax = 0;
  int missing_count = 0;
  for (int i = 0; i < c->nvals && dmax < 2; ++i) {
    if (at_infinity(a[i]) || at_infinity(b[i])) {
      dmax = std::max(dmax, 50.0);
    } else if (missing(a[i]) || missing(b[i])) {
      dmax = std::max(dmax, 50.0);
      ++missing_count;
    } else {
      const double d = std::fabs(a[i].h - b[i].h) + std::fabs(a[i].v - b[i].v);
      dmax = std::max(dmax, d == d ? d : 50.0);
    }
  }
  bool all_missing = missing_count == c->nvals;
  if (dmax <= 2) return emit_interval(t0, t1, a, b, true);

  const double tm = (t0 + t1) / 2;
  valeur mid[kLocusMaxBranches] = {};
  valeur dmid{};
  bool mid_missing = false;
  if (!locus_eval_at(tm, mid, &dmid)) all_missing = mid_missing = true;
  const bool split = all_missing || (c->locus->math.locus.lkpt && locus_needs_split(a, mid, b, da, &dmid, db));
  if (!split) return emit_interval(t0, t1, a, b, t1 - t0 > c->eps);
  if (t1 - t0 <= c->eps) return false;
  if (!mid_missing) {
    if (locus_refine(t0, tm, a, mid, da, &dmid)) return true;
    return locus_refine(tm, t1, mid, b, &dmid, db);
  }
  double tl = tm;
  if (locus_find_valid(&tl, -(tm - t0), mid, &dmid) && locus_refine(t0, tl, a, mid, da, &dmid)) return true;
  double tr = tm;
  if (locus_find_valid(&tr, tm - t0, mid, &dmid) && locus_refine(tr, t1, mid, b, &dmid, db)) return true;
  return false;
}

void locus_load_thresholds(const object* locus, double out[3]) {
  if (locus && locus->data) {
    std::memcpy(out, locus->data, sizeof(double) * 3);
    return;
  }
  out[0] = kLocusHitThreshold;
  out[1] = kLocusDrawThreshold;
  out[2] = kLocusAnimThreshold;
}

namespace {

// The driven range of the curve mode, interval by interval.
bool run_curve(locus_context& c) {
  valeur a[kLocusMaxBranches] = {}, b[kLocusMaxBranches] = {};
  valeur da{}, db{};
  double t = 0;
  while (!locus_find_valid(&t, 1, a, &da) && t < c.count) t += 1;
  while (t < c.count) {
    const double t1 = std::min(t + 1, static_cast<double>(c.count));
    double tb = t1;
    if (locus_find_valid(&tb, -1, b, &db) && locus_refine(t, tb, a, b, &da, &db)) return true;
    if (t + 1 == tb) {
      std::memcpy(a, b, sizeof a);
      da = db;
      t = tb;
      continue;
    }
    t += 1;
    if (t < c.count)
      while (!locus_find_valid(&t, 1, a, &da) && t < c.count) t += 1;
  }
  return false;
}

// The family mode: the traced object drawn or hit-tested once per step.
bool run_family(locus_context& c) {
  object* traced = c.traced;
  const bool drawing = c.kind == locus_sink_kind::draw;
  const object_settings saved_settings = traced->settings;
  const int16_t saved_final = traced->final_no;
  if (drawing) {
    const object_settings own = traced->settings;
    traced->settings = c.locus->settings;
    if (traced->pcolor || traced->pfill) traced->settings.opaque = own.opaque;
    if (traced->pcolor) traced->settings.Color = own.Color;
    if (traced->pfill) traced->settings.FillColor = own.FillColor;
    if (c.dashed) traced->settings.dot_style = dot{c.dash_on, c.dash_period};
    traced->settings.visible = 1;
    traced->final_no = c.locus->final_no;
  }
  // Objects that drive the traced object's colours are recomputed too.
  uint32_t n = c.driver->num;
  for (param_color* pc : {traced->pcolor, traced->pfill}) {
    if (!pc) continue;
    for (object* o : {pc->red, pc->green, pc->blue})
      if (o && o->num > n) n = o->num;
  }
  const bool whole_list = n != c.driver->num;
  if (whole_list && traced->num > n) n = traced->num;

  bool hit = false;
  for (int32_t k = 0; k < c.count && !hit; ++k) {
    if (whole_list) {
      driver_method(c.driver)->point_on(c.driver, c.count, k);
      for (object* o = c.driver; o && o->num <= n; o = o->next) recompute_object(o);
    } else {
      place_driver(c, k);
    }
    if (c.kind == locus_sink_kind::hit) {
      tagPOINT p = c.hit;
      if (traced->otype && traced->otype->hit_test && traced->otype->hit_test(traced, &p)) hit = true;
    } else if (drawing) {
      const uint8_t graph = traced->settings.graph_type;
      const uint32_t state = traced->state;
      if (c.traced_type != TYPE_POINT) traced->settings.graph_type = 0;
      traced->state = (traced->state & ~OBJ_ERASE) | (c.locus->state & OBJ_ERASE);
      draw_object(c.dd, traced);
      traced->settings.graph_type = graph;
      traced->state = (traced->state & ~OBJ_ERASE) | (state & OBJ_ERASE);
    }
  }
  if (drawing) {
    traced->settings = saved_settings;
    traced->settings.visible = saved_settings.visible ? 1 : 0;
    traced->final_no = saved_final;
  }
  if (whole_list) {
    // Put back what the wider recomputation moved beyond the chain.
    c.driver->valeurs[0] = c.driver_value;
    c.driver->math = c.driver_math;
    for (object* o = c.driver; o && o->num <= n; o = o->next) recompute_object(o);
  }
  return hit;
}

}  // namespace

bool locus_compute(object* locus, const locus_intersect_request* req, const tagPOINT* hit, valeur* target,
                   valeur* result, DisplayDevice* dd) {
  if (!locus || !locus_structure_ok(locus)) return false;
  object* driver = locus->parents[0];
  if (driver->parents[0]->state & OBJ_UNDEFINED) return false;

  const uint32_t start = window_tick_count();
  const uint8_t busy = locus_busy;
  locus_busy = 1;
  locus->state &= ~OBJ_UNDEFINED;
  double thresholds[3];
  locus_load_thresholds(locus, thresholds);
  const bool anim = animation_running();
  locus_sink_kind kind = locus_sink_kind::draw;
  if (hit) kind = locus_sink_kind::hit;
  else if (target) kind = locus_sink_kind::nearest;
  else if (result) kind = locus_sink_kind::intersect;
  if (target) target->infini_inexist_indetermine = 0;
  if (result) result->infini_inexist_indetermine = 0;

  if (kind == locus_sink_kind::draw) {
    const valeur& v = driver->valeurs[0];
    const double s = v.h * v.h + v.v * v.v;
    std::srand(std::isfinite(s) ? static_cast<unsigned>(std::fmod(s, 4294967296.0)) : 0u);
  }

  bool found = false;
  const bool begun = locus_begin(locus);
  locus_context* c = begun ? g_top : nullptr;
  if (c) {
    c->kind = kind;
    c->dd = dd;
    if (hit) c->hit = *hit;
    c->target = target;
    c->result = result;
    if (req) c->request = *req;
    if (kind == locus_sink_kind::hit) {
      c->threshold_a = thresholds[0];
      c->threshold_b = 10;
    } else {
      c->threshold_a = anim ? thresholds[2] : thresholds[1];
      c->threshold_b = anim ? 5 : 3;
    }
    c->sink = locus_sink_for(kind);
    if (kind == locus_sink_kind::draw) locus_prepare_drawing(*c);

    const bool curve = c->traced_type == TYPE_POINT ||
                       ((locus->math.locus.envelop || target || result) && c->intersect);
    if (curve) {
      found = run_curve(*c);
    } else if (kind == locus_sink_kind::draw || kind == locus_sink_kind::hit) {
      found = run_family(*c);
    }
  }
  const bool no_chord = c ? c->no_chord : true;
  if (c) locus_last_run = {c->best_param, c->branch_found};
  locus_busy = busy;
  if (begun) locus_end();
  if (no_chord) {
    if (target) target->infini_inexist_indetermine |= VAL_NOT_EXIST;
    if (result) result->infini_inexist_indetermine |= VAL_NOT_EXIST;
  }

  if ((kind == locus_sink_kind::draw || kind == locus_sink_kind::hit) && !anim &&
      static_cast<uint32_t>(window_tick_count() - start) > kLocusSlowRunMs) {
    static constexpr double kFactors[3] = {0.95, 0.98, 0.97};
    if (!locus->data) {
      locus->data = GlobalAlloc(GPTR, sizeof(double) * 3);
      if (locus->data) std::memcpy(locus->data, thresholds, sizeof thresholds);
    }
    if (locus->data) {
      auto* d = static_cast<double*>(locus->data);
      for (int i = 0; i < 3; ++i) d[i] *= kFactors[i];
    }
  }
  return found;
}

int16_t locus_sample(object* locus, int16_t n, valeur** buffer) {
  if (!locus || !buffer || n <= 0) return 0;
  const uint8_t busy = locus_busy;
  locus_busy = 1;
  // The locus must be one that exists; the range is the one asked for.
  g_count_override = n;
  const bool begun = locus_begin(locus);
  g_count_override = 0;
  if (!begun) {
    locus_busy = busy;
    return 0;
  }
  locus_context* c = g_top;
  const int nvals = c->nvals;
  if (!*buffer) *buffer = static_cast<valeur*>(GlobalAlloc(GPTR, static_cast<uint32_t>(sizeof(valeur) * n * nvals)));
  int16_t k = 0;
  if (*buffer) {
    double t = 0.1, dt = 1;
    while (t < c->count && k < n) {
      valeur* slot = *buffer + static_cast<ptrdiff_t>(k) * nvals;
      bool ok = false;
      while (t < c->count) {
        if (locus_find_valid(&t, dt, slot, nullptr)) {
          ok = true;
          break;
        }
        t += dt;
      }
      if (!ok || !(t < c->count)) break;
      dt = (c->count - t) / (n - k);
      ++k;
      t += dt;
    }
  }
  locus_busy = busy;
  locus_end();
  return k;
}
