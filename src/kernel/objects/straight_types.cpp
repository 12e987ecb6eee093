#include "kernel/objects/straight_types.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "kernel/exchange/bitmap_info.h"
#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/model/point_type.h"
#include "kernel/model/units.h"
#include "kernel/prefs/hit_distance.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/labels.h"
#include "kernel/tools/hit_state.h"

namespace {

// Rows of the kernel strings naming what a hit designates.
constexpr int kLineDesignation = 202;
constexpr int kRayDesignation = 203;
constexpr int kHandleDesignation = 218;

bool at_infinity(const valeur& v) { return (v.infini_inexist_indetermine & VAL_AT_INFINITY) != 0; }

double tolerance_squared() {
  // Wide arithmetic: a 16-bit square would overflow above 181.
  const double t = pick_tolerance;
  return t * t;
}

// (a - m) . (b - m)
double dot_to(const valeur& a, const valeur& b, const tagPOINT* m) {
  return (a.h - m->x) * (b.h - m->x) + (a.v - m->y) * (b.v - m->y);
}

const valeur* parent_value(const object* o, int i) {
  if (!o->parents || i < 0 || i >= o->nbparents || !o->parents[i] || !o->parents[i]->valeurs) return nullptr;
  return &o->parents[i]->valeurs[0];
}

bool has_picture(const object* o) { return o->bitmap && o->bitmap->image && o->bitmap->pixels; }

// The side from p to q is hit: near an end, or between the ends and near
// their line.
bool side_hit(const valeur& p, const valeur& q, tagPOINT* m) {
  return point_near(&p, m) || point_near(&q, m) || (dot_to(p, q, m) <= 0 && near_segment(&p, &q, m));
}

double* parameter_block(void** param, int* mode) {
  if (!*param) {
    *param = GlobalAlloc(0, sizeof(double));
    if (!*param) return nullptr;
    if (*mode != 3) *mode = 2;
  }
  return static_cast<double*>(*param);
}

void place(valeur* io, double h, double v, uint8_t flags) {
  io->h = h;
  io->v = v;
  io->infini_inexist_indetermine = flags;
}

}  // namespace

uint8_t fill_enabled = 1;
uint8_t segment_marks_off = 0;

// ------------------------------------------------------------------ helpers

int16_t direction_degrees(double dx, double dy) {
  double a = std::atan2(dy, dx) * (180 / std::numbers::pi);
  if (a < 0) a += 360;
  if (a > 360) a -= 360;
  return static_cast<int16_t>(std::floor(a + 0.5));
}

bool near_line(const valeur line[2], const tagPOINT* m) {
  if (at_infinity(line[0])) return false;
  const double dx = line[1].h, dy = line[1].v;
  const double l2 = dx * dx + dy * dy;
  if (l2 <= 1e-10) return false;
  const double c = dx * (m->y - line[0].v) - dy * (m->x - line[0].h);
  return c * c / l2 < tolerance_squared();
}

bool near_segment(const valeur* a, const valeur* b, const tagPOINT* m) {
  if (at_infinity(*a) || at_infinity(*b)) return false;
  const double dx = b->h - a->h, dy = b->v - a->v;
  const double l2 = dx * dx + dy * dy;
  if (l2 > 1e-10) {
    const double c = (b->v - a->v) * (m->x - a->h) + (a->h - b->h) * (m->y - a->v);
    return c * c / l2 < tolerance_squared();
  }
  return std::fabs(a->h - m->x) + std::fabs(a->v - m->y) < pick_tolerance;
}

bool point_outside_segment(const valeur* p, const valeur seg[2]) {
  if (at_infinity(*p)) return true;
  const valeur &a = seg[0], &b = seg[1];
  const double s =
      std::fabs(p->h - a.h) + std::fabs(p->v - a.v) + std::fabs(p->h - b.h) + std::fabs(p->v - b.v);
  const double q = (p->h - a.h) * (p->h - b.h) + (p->v - a.v) * (p->v - b.v);
  if (s / 1e-10 == 0) return q > 1e-9;
  return q / s > 1e-9;
}

bool point_before_ray_origin(const valeur* p, const valeur ray[2]) {
  if (at_infinity(*p)) return false;
  return (p->h - ray[0].h) * ray[1].h + (p->v - ray[0].v) * ray[1].v < -1e-10;
}

void point_at_segment_fraction(const valeur seg[2], valeur* out, const double* t) {
  place(out, seg[0].h + *t * (seg[1].h - seg[0].h), seg[0].v + *t * (seg[1].v - seg[0].v), 0);
}

void segment_fraction_of_point(const valeur seg[2], valeur* io, double* t, bool clamp) {
  const double dx = seg[1].h - seg[0].h, dy = seg[1].v - seg[0].v;
  const bool on_x = std::fabs(dx) > std::fabs(dy);
  const double ca = on_x ? seg[0].h : seg[0].v;
  const double cb = on_x ? seg[1].h : seg[1].v;
  const double c = on_x ? io->h : io->v;
  const double lo = std::fmin(ca, cb), hi = std::fmax(ca, cb);
  const bool flip = cb < ca;
  double f;
  if (hi == lo)
    f = 0;  // both ends in one place: the point sits on them
  else if (clamp && c <= lo)
    f = 0;
  else if (clamp && c >= hi)
    f = 1;
  else
    f = (c - lo) / (hi - lo);
  if (flip && hi != lo) f = 1 - f;
  *t = f;
  point_at_segment_fraction(seg, io, t);
}

int16_t intersection_side_count(const object* o) {
  const uint16_t t = o && o->otype ? o->otype->id : 0;
  if (t == TYPE_TRIANGLE || t == TYPE_POLYGON || t == 6) return o->nbparents;
  if (t == TYPE_AXES) return 2;
  return 1;
}

int16_t object_int_value(const object* o) {
  if (!o || !o->data) return 0;
  const double s = std::floor(*static_cast<const double*>(o->data));
  if (!(s >= INT16_MIN && s <= INT16_MAX)) return 0;
  return static_cast<int16_t>(s);
}

// ---------------------------------------------------------------- hit tests

bool segment_hit_test(object* o, tagPOINT* m) {
  hit_part = 0;
  if (o->state & (OBJ_UNDEFINED | OBJ_AT_INFINITY)) return false;
  if (hit_test_object_label(o, m)) return true;
  const valeur* a = parent_value(o, 0);
  const valeur* b = parent_value(o, 1);
  if (!a || !b) return false;
  if (has_picture(o)) {
    // The picture, as wide as the segment and scaled in proportion, lies
    // centred on it.
    const double w = o->bitmap->width, h = o->bitmap->height;
    const double dx = b->h - a->h, dy = b->v - a->v;
    const double l2 = dx * dx + dy * dy;
    if (w <= 0 || l2 == 0) return false;
    const double k = h / w / 2;
    const double nx = 2 * k * dy, ny = -2 * k * dx;
    const double c0x = a->h - k * dy, c0y = a->v + k * dx;
    const double u = (dx * (m->x - a->h) + dy * (m->y - a->v)) / l2;
    const double n2 = nx * nx + ny * ny;
    if (n2 == 0) return false;
    const double w2 = (nx * (m->x - c0x) + ny * (m->y - c0y)) / n2;
    return u >= 0 && u <= 1 && w2 >= 0 && w2 <= 1;
  }
  return side_hit(*a, *b, m);
}

bool polygon_hit_test(object* o, tagPOINT* m) {
  hit_part = 0;
  if (o->state & (OBJ_UNDEFINED | OBJ_AT_INFINITY)) return false;
  const int n = o->nbparents;
  if (n <= 0 || !o->parents) return false;
  if (hit_test_object_label(o, m)) return true;
  for (int i = 0; i < n; ++i) {
    // Sides in order, the closing side (from the first vertex to the last)
    // at the end.
    const valeur* p = parent_value(o, i == n - 1 ? 0 : i);
    const valeur* q = parent_value(o, i == n - 1 ? n - 1 : i + 1);
    if (!p || !q) continue;
    if (side_hit(*p, *q, m)) {
      hit_part = static_cast<uint16_t>(i);
      return true;
    }
  }
  return false;
}

namespace {

// What every hit test of a line or ray does first: 1 hit (its label), 0
// missed (undefined, at infinity, no values), -1 go on testing the line.
int straight_hit_start(object* o, tagPOINT* m) {
  hit_part = 0;
  // An undefined line or ray is not drawn, so it cannot be designated.
  if (o->state & (OBJ_UNDEFINED | OBJ_AT_INFINITY)) return 0;
  if (hit_test_object_label(o, m)) return 1;
  if (!o->valeurs || o->nbvaleurs < 2) return 0;
  return -1;
}

}  // namespace

bool line_hit_test(object* o, tagPOINT* m) {
  if (const int r = straight_hit_start(o, m); r >= 0) return r == 1;
  const valeur* v = o->valeurs;
  const bool smart = o->settings.smartline_type != 0;
  if (smart && interaction_state == kInteractionPointerAtRest && o->nbvaleurs >= 4) {
    for (uint16_t k = 1; k <= 2; ++k)
      if (point_near(&v[1 + k], m)) {
        hit_part = k;
        o->otype->name = kernel_string(kHandleDesignation);
        return true;
      }
  }
  if (!near_line(v, m)) return false;
  if (smart && o->nbvaleurs > 3 && dot_to(v[2], v[3], m) > 0) return false;
  o->otype->name = kernel_string(kLineDesignation);
  return true;
}

bool ray_hit_test(object* o, tagPOINT* m) {
  if (const int r = straight_hit_start(o, m); r >= 0) return r == 1;
  const valeur* v = o->valeurs;
  const bool smart = o->settings.smartline_type != 0;
  if (smart && interaction_state == kInteractionPointerAtRest && o->nbvaleurs >= 3 && point_near(&v[2], m)) {
    hit_part = 1;
    o->otype->name = kernel_string(kHandleDesignation);
    return true;
  }
  if ((m->x - v[0].h) * v[1].h + (m->y - v[0].v) * v[1].v <= 0) return false;
  if (!near_line(v, m)) return false;
  if (smart && o->nbvaleurs >= 3 && dot_to(v[0], v[2], m) > 0) return false;
  o->otype->name = kernel_string(kRayDesignation);
  return true;
}

// ---------------------------------------------------------- points on them

void segment_point_on(object* carrier, valeur* io, void** param, int mode) {
  double* t = parameter_block(param, &mode);
  const valeur* a = parent_value(carrier, 0);
  const valeur* b = parent_value(carrier, 1);
  if (!t || !a || !b) {
    io->infini_inexist_indetermine |= VAL_NOT_EXIST;
    return;
  }
  const valeur seg[2] = {*a, *b};
  if (mode == 3) {
    // Steps spread from the first end (step 0) to the second (step n - 1).
    const double n = io->h, k = io->v;
    *t = n > 1 ? k / (n - 1) : 0;
    mode = 1;
  }
  if (mode == 1)
    point_at_segment_fraction(seg, io, t);
  else
    segment_fraction_of_point(seg, io, t, true);
}

void polygon_point_on(object* carrier, valeur* io, void** param, int mode) {
  double* s = parameter_block(param, &mode);
  const int n = carrier->nbparents;
  if (!s) {
    io->infini_inexist_indetermine |= VAL_NOT_EXIST;
    return;
  }
  if (n <= 0) {
    place(io, 0, 0, 0);
    return;
  }
  const auto vertex = [&](int i) -> const valeur* { return parent_value(carrier, i % n); };
  for (int i = 0; i < n; ++i)
    if (!vertex(i)) {
      io->infini_inexist_indetermine |= VAL_NOT_EXIST;
      return;
    }
  if (mode == 3) {
    const double points = io->h, k = io->v;
    *s = points >= 1 ? k / (points / n) : 0;
    mode = 1;
  }
  if (mode == 2) {
    double best = 10000000.0;
    double best_s = 0;
    for (int i = 0; i < n; ++i) {
      const valeur &p = *vertex(i), &q = *vertex(i + 1);
      const double dx = q.h - p.h, dy = q.v - p.v;
      const double u = dx * (io->h - p.h) + dy * (io->v - p.v);
      double f;
      if (u < 0)
        f = 0;
      else if (dx * (io->h - q.h) + dy * (io->v - q.v) > 0)
        f = 1;
      else if (dx * dx + dy * dy < 1e-10)
        f = 0.5;
      else
        f = u / (dx * dx + dy * dy);
      const double dist = std::hypot(p.h + f * dx - io->h, p.v + f * dy - io->v);
      if (dist < best) {
        best = dist;
        best_s = i + f;
      }
    }
    *s = best_s;
  }
  const double i = std::floor(*s);
  const int side = static_cast<int>(std::fmod(std::fmod(i, n) + n, n));
  const double f = *s - i;
  const valeur &p = *vertex(side), &q = *vertex(side + 1);
  place(io, p.h + f * (q.h - p.h), p.v + f * (q.v - p.v), 0);
}

namespace {

bool built_through_two_points(const object* o) {
  if (o->classe != &classe_droite && o->classe != &classe_demidroite) return false;
  return (o->methode == 1 || (o->methode == 2 && o->nbparents == 2)) && o->nbparents >= 2;
}

void line_step(object* o, valeur* io, bool ray) {
  const double n = io->h, k = io->v;
  const valeur& p = o->valeurs[0];
  if (n < 1) {
    io->infini_inexist_indetermine |= VAL_NOT_EXIST;
    return;
  }
  if (o->state & OBJ_AT_INFINITY) {
    const double a = (k - n / 2) * 2 * std::numbers::pi / n;
    place(io, p.h * std::cos(a) - p.v * std::sin(a), p.h * std::sin(a) - p.v * std::cos(a), VAL_AT_INFINITY);
    return;
  }
  const valeur& d = o->valeurs[1];
  const double len = std::hypot(d.h, d.v);
  if (len == 0) {
    io->infini_inexist_indetermine |= VAL_NOT_EXIST;
    return;
  }
  if ((k != 0 || ray) && k != n) {
    // n steps over the whole line (or ray) on a scale of 10 centimetres.
    const double s = ray ? pixels_per_unit * 10 * std::tan(k * std::numbers::pi / (2 * n)) / len
                         : pixels_per_unit * 10 * std::tan((k - n / 2) * std::numbers::pi / n) / len;
    place(io, p.h + s * d.h, p.v + s * d.v, 0);
  } else {
    // The ends of the line lie at infinity in its direction.
    place(io, d.h, d.v, VAL_AT_INFINITY);
  }
}

}  // namespace

void line_point_on(object* carrier, valeur* io, void** param, int mode) {
  double* t = parameter_block(param, &mode);
  const bool ray = carrier->otype && carrier->otype->id == TYPE_RAY;
  if (!t || !carrier->valeurs || carrier->nbvaleurs < 2) {
    io->infini_inexist_indetermine |= VAL_NOT_EXIST;
    return;
  }
  if (mode == 3) {
    line_step(carrier, io, ray);
    return;
  }
  if (built_through_two_points(carrier)) {
    const object* p1 = carrier->parents[0];
    const object* p2 = carrier->parents[1];
    if (!p1 || !p2 || !p1->valeurs || !p2->valeurs) {
      io->infini_inexist_indetermine |= VAL_NOT_EXIST;
      return;
    }
    const bool i1 = p1->state & OBJ_AT_INFINITY, i2 = p2->state & OBJ_AT_INFINITY;
    if (i1 != i2) {
      *io = i2 ? p2->valeurs[0] : p1->valeurs[0];
      io->infini_inexist_indetermine |= VAL_AT_INFINITY;
      return;
    }
    const valeur seg[2] = {p1->valeurs[0], p2->valeurs[0]};
    if (mode == 1) {
      point_at_segment_fraction(seg, io, t);
    } else {
      segment_fraction_of_point(seg, io, t, false);
      if (ray && *t < 0) {
        *t = 0;
        point_at_segment_fraction(seg, io, t);
      }
    }
    if (i1) io->infini_inexist_indetermine |= VAL_AT_INFINITY;
    return;
  }
  if (carrier->state & OBJ_AT_INFINITY) {
    io->infini_inexist_indetermine |= VAL_AT_INFINITY;
    return;
  }
  const valeur& p = carrier->valeurs[0];
  const valeur& d = carrier->valeurs[1];
  const double len = std::hypot(d.h, d.v);
  if (len == 0) {
    io->infini_inexist_indetermine |= VAL_NOT_EXIST;
    return;
  }
  double f;
  if (mode == 2) {
    f = std::fabs(d.h) > std::fabs(d.v) ? (io->h - p.h) / d.h : (io->v - p.v) / d.v;
    if (ray && f < 0) f = 0;
    *t = f * len;
  } else {
    f = *t / len;
  }
  place(io, p.h + f * d.h, p.v + f * d.v, 0);
}
