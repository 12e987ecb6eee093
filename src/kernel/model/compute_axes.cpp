#include "kernel/model/compute_axes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/measure/vector_measures.h"
#include "kernel/model/classes.h"
#include "kernel/model/units.h"
#include "kernel/render/pixel_math.h"
#include "kernel/text/text_record.h"

double graduation_spacing = 29;

namespace {

constexpr double kSmall = 1e-10;
// Beyond this exponent a step means nothing on any screen.
constexpr int kMaxExponent = 60;

bool small(double x, double y) { return std::fabs(x) + std::fabs(y) < kSmall; }
bool at_infinity(const object* o) { return (o->state & OBJ_AT_INFINITY) != 0; }
uint16_t type_id(const object* o) { return o && o->otype ? o->otype->id : 0; }

bool well_formed(object* o, int n, int m) {
  bool ok = o->parents && o->nbparents >= n && o->valeurs && o->nbvaleurs >= m;
  for (int i = 0; ok && i < n; ++i) ok = o->parents[i] && o->parents[i]->valeurs && o->parents[i]->nbvaleurs > 0;
  if (!ok) o->state |= OBJ_UNDEFINED;
  return ok;
}

}  // namespace

double graduation_step(int32_t code) {
  if (code == 1 || (code & 7) == 0) return 1;
  const int e = static_cast<int16_t>(code >> 3);
  if (e > kMaxExponent || e < -kMaxExponent) return 1;
  const double s = std::pow(10.0, e) / (code & 7);
  return std::isfinite(s) && s > 0 ? s : 1;
}

int32_t graduation_code_for_length(double length) {
  if (graduation_spacing == 0) graduation_spacing = 29;
  const double g = graduation_spacing * 0.7368421052631579;
  double l = length;
  const double q = std::ceil(std::log(g / l) / std::log(10.0));
  if (!std::isfinite(q) || q > kMaxExponent || q < -kMaxExponent) return 1;
  const int e = static_cast<int>(q);
  if (e != 0) l = std::pow(10.0, e) * l;
  const int m = l / 5 > g ? 5 : l / 2 > g ? 2 : 1;
  return e * 8 + m;
}

void check_axes_values(object* o) {
  const valeur* v = o->valeurs;
  if (small(v[1].h, v[1].v) || small(v[2].h, v[2].v) ||
      vector_cross_normalized(v[1].h, v[1].v, v[2].h, v[2].v) < kSmall)
    o->state |= OBJ_UNDEFINED;
  const double u = pixels_per_unit;
  o->math.equa.standard = v[0].h == 0 && v[0].v == 0 && v[1].h == u && v[1].v == 0 && v[2].h == 0 && v[2].v == -u;
}

void axes_graduation_codes(object* o) {
  if (o->state & OBJ_UNDEFINED) return;
  for (int k = 1; k <= 2; ++k) {
    valeur& unit = o->valeurs[k];
    const double l = std::hypot(unit.h, unit.v);
    if (!(l >= kSmall) || !std::isfinite(l)) continue;
    unit.info.entier = graduation_code_for_length(l);
  }
}

void compute_axes_one_point(object* o) {
  if (!well_formed(o, 1, 3)) return;
  if (at_infinity(o->parents[0])) {
    o->state |= OBJ_UNDEFINED;
    return;
  }
  o->valeurs[0] = o->parents[0]->valeurs[0];
  check_axes_values(o);
  axes_graduation_codes(o);
}

void compute_axes_three_points(object* o) {
  if (!well_formed(o, 3, 3)) return;
  for (int i = 0; i < 3; ++i)
    if (at_infinity(o->parents[i])) {
      o->state |= OBJ_UNDEFINED;
      return;
    }
  const valeur &p0 = o->parents[0]->valeurs[0], &pi = o->parents[1]->valeurs[0], &pj = o->parents[2]->valeurs[0];
  valeur* v = o->valeurs;
  v[0] = p0;
  v[1].h = pi.h - p0.h;
  v[1].v = pi.v - p0.v;
  v[2].h = pj.h - p0.h;
  v[2].v = pj.v - p0.v;
  check_axes_values(o);
  axes_graduation_codes(o);
}

void compute_grid(object* o) {
  if (!well_formed(o, 1, 3)) return;
  const object* axes = o->parents[0];
  if ((axes->state & OBJ_UNDEFINED) || axes->nbvaleurs < 3) {
    o->state |= OBJ_UNDEFINED;
    return;
  }
  valeur* v = o->valeurs;
  for (int k = 0; k < 3; ++k) v[k] = axes->valeurs[k];
  for (int k = 1; k <= 2; ++k) {
    const int32_t c = v[k].info.entier;
    if (c == 1) continue;
    const double s = graduation_step(c);
    v[k].h *= s;
    v[k].v *= s;
  }
  switch (o->math.equa.typeunite) {
    case 0:
      break;
    case 2:
      v[0].info.rayon = std::numbers::pi / 10;
      break;
    case 3:
      v[0].info.rayon = 0.5;
      break;
    default:
      v[0].info.rayon = std::numbers::pi / 6;
      break;
  }
}

bool angle_mark_radius(const valeur* a, const valeur* o, const valeur* b, double* radius, double lengths[2]) {
  lengths[0] = std::hypot(a->h - o->h, a->v - o->v);
  lengths[1] = std::hypot(b->h - o->h, b->v - o->v);
  if (!(lengths[0] >= kSmall) || !(lengths[1] >= kSmall)) return false;
  double r = std::min(lengths[0], lengths[1]) / 8;
  if (!KPGeoDocument::printingInProgress()) r = std::clamp(r, 10.0, 50.0);
  *radius = r;
  return true;
}

void compute_angle_mark(object* o) {
  if (!well_formed(o, 3, 4)) return;
  const valeur &a = o->parents[0]->valeurs[0], &c = o->parents[1]->valeurs[0], &b = o->parents[2]->valeurs[0];
  double r = 0, lengths[2];
  if (at_infinity(o->parents[1]) || !angle_mark_radius(&a, &c, &b, &r, lengths)) {
    o->state |= OBJ_UNDEFINED;
    return;
  }
  valeur* v = o->valeurs;
  for (int i = 0; i < o->nbvaleurs && i < 5; ++i) v[i].infini_inexist_indetermine = 0;
  double f = v[1].info.rayon;
  if (!std::isfinite(f)) f = 1;
  double s = r * f;
  double ar = std::fabs(s);
  if (ar < 3) {
    ar = 3;
    s = s > 0 ? 3 : -3;
    f = s / r;
  }
  v[0].h = c.h + (a.h - c.h) * ar / lengths[0];
  v[0].v = c.v + (a.v - c.v) * ar / lengths[0];
  v[2].h = c.h + (b.h - c.h) * ar / lengths[1];
  v[2].v = c.v + (b.v - c.v) * ar / lengths[1];
  const double mh = (v[0].h + v[2].h) / 2, mv = (v[0].v + v[2].v) / 2;
  const double dm = std::hypot(mh - c.h, mv - c.v);
  if (dm > kSmall) {
    const double cosine = vector_cos_angle(a.h - c.h, a.v - c.v, b.h - c.h, b.v - c.v);
    const double x = (b.h - c.h) * (a.v - c.v) - (b.v - c.v) * (a.h - c.h);
    if (std::fabs(cosine) > 0.9 && v[0].info.rayon * x <= 0) {
      v[0].info.rayon = -v[0].info.rayon;
      if (cosine < 0 || f < 0) {
        f = -f;
        s = -s;
      }
    }
    v[1].h = c.h + (mh - c.h) * s / dm;
    v[1].v = c.v + (mv - c.v) * s / dm;
    v[2].info.rayon = std::fabs(cosine) < kSmall && s > 0 ? 1 : 0;
  } else {
    v[2].info.rayon = 0;
    const double ph = v[0].h - c.h, pv = v[0].v - c.v;
    if (f < 0) {
      v[0].info.rayon = -1;
      v[1].h = c.h - pv;
      v[1].v = c.v + ph;
    } else {
      v[0].info.rayon = 1;
      v[1].h = c.h + pv;
      v[1].v = c.v - ph;
    }
  }
  v[1].info.rayon = f;
  v[3].h = c.h;
  v[3].v = c.v;
  v[3].info.rayon = ar;
  if (o->nbvaleurs >= 5) {
    v[4].h = std::atan2(v[0].v - c.v, v[0].h - c.h);
    v[4].v = std::atan2(v[1].v - c.v, v[1].h - c.h);
    v[4].info.rayon = std::atan2(v[2].v - c.v, v[2].h - c.h);
  }
}

void compute_spring(object* o) {
  if (!well_formed(o, 1, 2)) return;
  for (int i = 0; i < o->nbparents; ++i)
    if (o->parents[i] && at_infinity(o->parents[i])) {
      o->state |= OBJ_UNDEFINED;
      return;
    }
  object* x = o->parents[0];
  valeur* v = o->valeurs;
  const uint16_t t = type_id(x);
  if (t == TYPE_POINT) {
    v[0] = x->valeurs[0];
  } else if (t == TYPE_NUMBER) {
    if (!x->te) {
      o->state |= OBJ_UNDEFINED;
      return;
    }
    v[0].h = x->te->pos.x + x->te->size.w / 2;
    v[0].v = x->te->pos.y + x->te->size.h / 2;
    v[0].infini_inexist_indetermine = 0;
  } else if (x->otype && x->otype->point_on) {
    v[0].infini_inexist_indetermine = 0;
    x->otype->point_on(x, &v[0], &o->data, 1);
    if (v[0].infini_inexist_indetermine & VAL_NOT_EXIST) {
      o->state |= OBJ_UNDEFINED;
      return;
    }
  } else {
    o->state |= OBJ_UNDEFINED;
    return;
  }
  if (o->nbparents >= 2 && o->parents[1] && o->parents[1]->valeurs) {
    v[1] = v[0];
    v[1].h -= o->parents[1]->valeurs[0].h;
    v[1].v -= o->parents[1]->valeurs[0].v;
  }
}

void compute_button(object* o) {
  if (!o->valeurs || o->nbvaleurs < 1) return;
  TErec* te = o->te;
  if (!te) return;
  te->pos.x = trunc_pixel(o->valeurs[0].h);
  te->pos.y = trunc_pixel(o->valeurs[0].v);
  const bitmap_info* bm = o->bitmap;
  if (bm && bm->image && bm->pixels) {
    if (te->size.w < bm->width) te->size.w = bm->width;
    if (te->size.h < bm->height) te->size.h = bm->height;
  }
}

void bind_axes_grid_angle_computes() {
  set_method_compute(&classe_axe, 0, compute_axes_one_point);
  set_method_compute(&classe_axe, 1, compute_axes_three_points);
  set_method_compute(&classe_grid, 0, compute_grid);
  set_method_compute(&classe_angle, 0, compute_angle_mark);
  set_method_compute(&classe_spring, 0, compute_spring);
  set_method_compute(&classe_button, 0, compute_button);
}
