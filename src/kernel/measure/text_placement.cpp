#include "kernel/measure/text_placement.h"

#include <cmath>
#include <utility>

#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/text/text_record.h"

namespace {

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }
object* parent(const object* o, int i) {
  return o && o->parents && i >= 0 && i < o->nbparents ? o->parents[i] : nullptr;
}
const valeur* first_value(const object* o) { return o && o->valeurs && o->nbvaleurs > 0 ? &o->valeurs[0] : nullptr; }

bool moved(const valeur* v) { return v[0].h != v[1].h || v[0].v != v[1].v; }

int32_t truncate(double x) {
  if (!(x > -2147483648.0)) return INT32_MIN;
  if (!(x < 2147483647.0)) return INT32_MAX;
  return static_cast<int32_t>(x);
}

void set_anchor(valeur* v, double h, double vv) {
  v[0].h = v[1].h = h;
  v[0].v = v[1].v = vv;
}

// The anchor keeps its relative place t between P0 and P1 (clamped to the
// segment when `clamp`); t follows the anchor when the text was moved.
void place_segment_text(const valeur& p0, const valeur& p1, object* obj, bool clamp) {
  valeur* v = obj->valeurs;
  v[0].infini_inexist_indetermine = 0;
  double t = v[2].info.rayon;
  if (moved(v)) {
    const double dx = p1.h - p0.h, dy = p1.v - p0.v;
    const bool vertical = std::fabs(dy) >= std::fabs(dx);
    const double a0 = vertical ? p0.v : p0.h, a1 = vertical ? p1.v : p1.h;
    const double at = vertical ? v[0].v : v[0].h;
    const double lo = std::fmin(a0, a1), hi = std::fmax(a0, a1);
    if (clamp && at <= lo) t = 0;
    else if (clamp && at >= hi) t = 1;
    else t = hi > lo ? (at - lo) / (hi - lo) : 0;
    if (!(a1 > a0)) t = 1 - t;
    v[2].info.rayon = t;
  }
  if (!std::isfinite(t)) t = 0;
  set_anchor(v, p0.h + (p1.h - p0.h) * t, p0.v + (p1.v - p0.v) * t);
}

void place_point_object_text(object* obj, int non_numbers) {
  valeur* v = obj->valeurs;
  const valeur* p = first_value(parent(obj, 0));
  if (!p) return;
  if (non_numbers != 1) {
    const object* o = parent(obj, 1);
    if (!o || !o->valeurs || o->nbvaleurs < 1) return;
    valeur q = o->valeurs[0];
    const uint16_t t = type_of(o);
    if (t == TYPE_LINE || t == TYPE_RAY || t == TYPE_AXES) {
      const int k = t == TYPE_AXES && obj->math.equa.format == 2 ? 2 : 1;
      if (o->nbvaleurs > k) {
        const valeur& d = o->valeurs[k];
        const double dd = d.h * d.h + d.v * d.v;
        if (dd > 0) {
          const double s = (d.h * (p->h - q.h) + d.v * (p->v - q.v)) / dd;
          q.h += d.h * s;
          q.v += d.v * s;
        }
      }
    } else if (t == TYPE_CIRCLE && o->nbvaleurs >= 2) {
      const double dh = p->h - q.h, dv = p->v - q.v;
      if (std::fabs(dh) + std::fabs(dv) >= 5) {
        const double r = o->valeurs[1].info.rayon, len = std::hypot(dh, dv);
        q.h += dh * r / len;
        q.v += dv * r / len;
      } else {
        q = o->valeurs[1];
      }
    }
    place_segment_text(*p, q, obj, true);
    return;
  }
  if (moved(v)) {
    double dh = v[0].h - p->h, dv = v[0].v - p->v;
    const double len = std::hypot(dh, dv);
    if (len > 30) {
      dh *= 30 / len;
      dv *= 30 / len;
    }
    v[2].h = dh;
    v[2].v = dv;
  }
  set_anchor(v, p->h + v[2].h, p->v + v[2].v);
}

// 60 pixels from the vertex along the bisector of the two arms.
void place_angle_text(object* obj) {
  const valeur* a = first_value(parent(obj, 0));
  const valeur* b = first_value(parent(obj, 1));
  const valeur* c = first_value(parent(obj, 2));
  if (!a || !b || !c) return;
  double uh = a->h - b->h, uv = a->v - b->v, wh = c->h - b->h, wv = c->v - b->v;
  const double lu = std::hypot(uh, uv), lw = std::hypot(wh, wv);
  if (lu > 1e-10) uh /= lu, uv /= lu;
  if (lw > 1e-10) wh /= lw, wv /= lw;
  double sh = uh + wh, sv = uv + wv;
  const double ls = std::hypot(sh, sv);
  if (ls > 1e-10) sh /= ls, sv /= ls;
  set_anchor(obj->valeurs, b->h + 60 * sh, b->v + 60 * sv);
}

// The anchor of the text on the object it belongs to; mode 2 follows a
// moved text, mode 1 keeps the text's place on the object. Saves the two
// defining points of the object for re-centring.
void compute_anchor(object* obj, int mode, valeur saved[2], bool* has_saved) {
  object* first = parent(obj, 0);
  *has_saved = false;
  if (type_of(first) == TYPE_POINT) {
    int points = 0, non_numbers = 0;
    for (int i = 0; i < obj->nbparents; ++i) {
      const uint16_t t = type_of(parent(obj, i));
      if (t == TYPE_POINT) ++points;
      if (t != TYPE_NUMBER) ++non_numbers;
    }
    if (points == 3) place_angle_text(obj);
    else place_point_object_text(obj, non_numbers);
    return;
  }
  if (!first || !first->otype || !first->otype->point_on) {
    obj->valeurs[1].h = obj->valeurs[0].h;
    obj->valeurs[1].v = obj->valeurs[0].v;
    return;
  }
  // The operation may look at the previous place, which follows the point.
  valeur anchor[2] = {obj->valeurs[0], obj->valeurs[1]};
  anchor[0].infini_inexist_indetermine = 0;
  first->otype->point_on(first, anchor, &obj->data, mode);
  if (!(anchor[0].infini_inexist_indetermine & (VAL_NOT_EXIST | VAL_AT_INFINITY)) && std::isfinite(anchor[0].h) &&
      std::isfinite(anchor[0].v))
    set_anchor(obj->valeurs, anchor[0].h, anchor[0].v);
  else
    set_anchor(obj->valeurs, obj->valeurs[0].h, obj->valeurs[0].v);
  if (first->nbparents >= 2) {
    const valeur* a = first_value(parent(first, 0));
    const valeur* b = first_value(parent(first, 1));
    if (a && b) {
      saved[0] = *a;
      saved[1] = *b;
      *has_saved = true;
    }
  }
}

}  // namespace

void place_measure_text(object* obj, bool first_placement) {
  if (!obj || !obj->valeurs || obj->nbvaleurs < 3) return;
  obj->state &= ~OBJ_UNDEFINED;
  valeur* v = obj->valeurs;
  object* first = parent(obj, 0);
  const bool first_far = first && (first->state & OBJ_AT_INFINITY);
  valeur saved[2];
  bool has_saved = false;
  if (moved(v)) {
    const valeur old = v[0];
    compute_anchor(obj, 2, saved, &has_saved);
    double dh = old.h - v[0].h, dv = old.v - v[0].v;
    const double len = std::hypot(dh, dv);
    if (!(obj->aux1 & kTextDetached)) {
      if ((len > 60 && !first_placement && !(obj->state & kTextRecentre)) || first_far) {
        obj->aux1 |= kTextDetached;
        set_anchor(v, old.h, old.v);
        obj->pos = object_pos{0, 0};
      } else {
        if (len > 20) {
          dh *= 20 / len;
          dv *= 20 / len;
          if ((obj->state & kTextRecentre) && has_saved) {
            v[0].h = (saved[0].h + saved[1].h) / 2;
            v[0].v = (saved[0].v + saved[1].v) / 2;
            obj->state &= ~kTextRecentre;
          }
        }
        obj->pos = object_pos{truncate(dh), truncate(dv)};
      }
    } else if (len >= 20 || first_far) {
      set_anchor(v, old.h, old.v);
      obj->pos = object_pos{0, 0};
    } else {
      obj->aux1 &= ~kTextDetached;
      obj->pos = object_pos{truncate(dh), truncate(dv)};
    }
    if (obj->te) obj->te->pos = te_point{truncate(v[0].h), truncate(v[0].v)};
  } else if (!(obj->aux1 & kTextDetached)) {
    const te_point kept = obj->te ? obj->te->pos : te_point{};
    compute_anchor(obj, 1, saved, &has_saved);
    if (obj->te) {
      obj->te->pos = te_point{truncate(v[0].h), truncate(v[0].v)};
      if (type_of(obj) == TYPE_TEXT)
        for (insert_object* node = obj->inserted; node; node = node->next) {
          const object* o = node->obj;
          if (o && o->valeurs && o->nbvaleurs > 0 && std::isinf(o->valeurs[0].info.rayon)) {
            obj->te->pos = kept;
            break;
          }
        }
    }
  }
  obj->state &= ~OBJ_AT_INFINITY;
}

void restore_measure_text_place(object* obj, int32_t x, int32_t y) {
  if (!obj || !obj->valeurs || obj->nbvaleurs < 3 || !obj->te) return;
  valeur* v = obj->valeurs;
  valeur saved[2];
  bool has_saved = false;
  // The anchor found from a point of the figure: a previous place other
  // than that point, so that the anchor follows it.
  auto anchor_from = [&](double h, double vv) {
    v[0].h = h;
    v[0].v = vv;
    v[1].h = h + 1.0;
    v[1].v = vv + 1.0;
    compute_anchor(obj, 2, saved, &has_saved);
  };
  // The text was shown at its anchor truncated to whole pixels, so the
  // object passes through the pixel read: the anchor is looked for there.
  // Of the places found in it, the one deepest inside is kept, so that
  // placing the text again, as every recompute does, gives the same pixel
  // and the file the same position at every save.
  auto cell = [](int32_t c) {
    return c > 0 ? std::pair<double, double>{c, c + 1.0}
                 : c < 0 ? std::pair<double, double>{c - 1.0, c} : std::pair<double, double>{-1.0, 1.0};
  };
  // Named apart, not as bindings of the pairs, so that the lambda below
  // may take them with every compiler the project builds with.
  const double x0 = cell(x).first, x1 = cell(x).second;
  const double y0 = cell(y).first, y1 = cell(y).second;
  auto depth = [&]() {
    if (truncate(v[0].h) != x || truncate(v[0].v) != y) return -1.0;
    return std::fmin(std::fmin(v[0].h - x0, x1 - v[0].h), std::fmin(v[0].v - y0, y1 - v[0].v));
  };
  // Deep enough that the noise of placing again never leaves the pixel.
  constexpr double kDeepEnough = 0.05;
  double best_h = (x0 + x1) / 2, best_v = (y0 + y1) / 2;
  anchor_from(best_h, best_v);
  double best = depth();
  constexpr int kSteps = 5;
  for (int i = 0; i < kSteps && best < kDeepEnough; ++i)
    for (int j = 0; j < kSteps && best < kDeepEnough; ++j) {
      const double h = x0 + (x1 - x0) * (i + 0.5) / kSteps, vv = y0 + (y1 - y0) * (j + 0.5) / kSteps;
      anchor_from(h, vv);
      const double d = depth();
      if (d > best) best = d, best_h = h, best_v = vv;
    }
  if (best > 0) {
    anchor_from(best_h, best_v);
    obj->aux1 &= ~kTextDetached;
  } else {
    // No place of the object in that pixel: the nearest one decides
    // whether the text stood on the object or away from it.
    anchor_from(x, y);
    // A text on its object was saved at its anchor, to the pixel.
    constexpr double kOnObject = 2;
    if (std::hypot(v[0].h - x, v[0].v - y) > kOnObject) {
      obj->aux1 |= kTextDetached;
      set_anchor(v, x, y);
    } else {
      obj->aux1 &= ~kTextDetached;
    }
  }
  obj->pos = object_pos{0, 0};
  obj->te->pos = te_point{x, y};
}
