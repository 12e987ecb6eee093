// Drawing of the straight types: segments with their equal-length marks,
// vectors with their arrow heads, filled polygons, lines and rays, whole or
// as smart lines limited to the points placed on them.
#include <cmath>
#include <cstring>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/exchange/picture_draw.h"
#include "kernel/model/classes.h"
#include "kernel/model/units.h"
#include "kernel/objects/straight_types.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/object_colors.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/tools/drag_state.h"

namespace {

const valeur* parent_value(const object* o, int i) {
  if (!o->parents || i < 0 || i >= o->nbparents || !o->parents[i] || !o->parents[i]->valeurs) return nullptr;
  return &o->parents[i]->valeurs[0];
}

bool has_picture(const object* o) { return o->bitmap && o->bitmap->image && o->bitmap->pixels; }

int32_t styled(DisplayDevice* dd, const object* o, double x1, double y1, double x2, double y2, uint16_t extent) {
  return draw_segment_styled(dd, x1, y1, x2, y2, object_effective_color(o), o->settings.thickness,
                             &o->settings.dot_style, extent);
}

// Marks beside an object are drawn in the background colour when the
// object itself is, else in the default colour.
uint32_t mark_color(const object* o) {
  return object_effective_color(o) == back_color ? back_color : default_color;
}

uint32_t figure_background() {
  const kelvo_win_info* fig = KPGeoDocument::currentInfo();
  return fig ? fig->bgcolor : back_color;
}

}  // namespace

// ------------------------------------------------------- segments, vectors

namespace {

// Draws the picture of a segment or vector, or else the stroke between its
// ends; false when nothing more is to be drawn.
bool draw_two_point_stroke(DisplayDevice* dd, object* o, const valeur** a, const valeur** b) {
  *a = parent_value(o, 0);
  *b = parent_value(o, 1);
  if (!*a || !*b) return false;
  if (has_picture(o)) {
    draw_picture_on_two_points(dd, o);
    return false;
  }
  styled(dd, o, (*a)->h, (*a)->v, (*b)->h, (*b)->v, kExtentSegment);
  return true;
}

}  // namespace

void draw_segment(DisplayDevice* dd, object* o) {
  const valeur *a, *b;
  if (!draw_two_point_stroke(dd, o, &a, &b)) return;
  const int n = o->settings.graph_type;
  if (n == 0 || segment_marks_off) return;
  const double len = std::hypot(a->h - b->h, a->v - b->v);
  if (len == 0) return;  // no direction to mark across
  // A step of about three units along the segment, in whole units.
  const double qx = std::floor((a->h - b->h) / (len / 3) + 0.5);
  const double qy = std::floor((a->v - b->v) / (len / 3) + 0.5);
  double x = (a->h + b->h) / 2, y = (a->v + b->v) / 2;
  if (n > 1) {
    const float back = static_cast<float>(n - 1) / 2;
    x -= qx * back;
    y -= qy * back;
  }
  const int16_t angle = direction_degrees(qx, qy);
  const uint32_t color = mark_color(o);
  for (int k = 0; k < n; ++k, x += qx, y += qy) draw_point_mark(dd, x, y, angle, 0, color, kMarkSegment, nullptr);
}

void draw_vector(DisplayDevice* dd, object* o) {
  const valeur *a, *b;
  if (!draw_two_point_stroke(dd, o, &a, &b)) return;
  if (a->h == b->h && a->v == b->v) return;
  const double dx = b->h - a->h, dy = b->v - a->v;
  const double len = std::hypot(dx, dy);
  const bool thick = o->settings.thickness != 0;
  const double back = thick ? 6 : 3;
  draw_arrow_head(dd, b->h - back * dx / len, b->v - back * dy / len, object_effective_color(o), 0,
                  direction_degrees(dx, dy), thick);
}

// ------------------------------------------------------------------ polygons

void draw_polygon(DisplayDevice* dd, object* o) {
  const int n = o->nbparents;
  if (n <= 0 || !dd) return;
  for (int i = 0; i < n; ++i)
    if (!parent_value(o, i)) return;
  uint32_t fill = object_effective_fill_color(o);
  int8_t opaque = o->settings.opaque;

  if (has_picture(o) && n >= 3) {
    const valeur &p0 = *parent_value(o, 0), &p1 = *parent_value(o, 1), &p2 = *parent_value(o, 2);
    valeur p3{};
    if (n == 4) {
      p3 = *parent_value(o, 3);
    } else {
      p3.h = p2.h + p0.h - p1.h;
      p3.v = p2.v + p0.v - p1.v;
    }
    const auto corner = [dd](const valeur& p) {
      return tagPOINT{dd_x(dd, std::trunc(p.h)), dd_y(dd, std::trunc(p.v))};
    };
    const tagPOINT corners[4] = {corner(p1), corner(p2), corner(p3), corner(p0)};
    if (!picture_mapping_convex || is_convex_quad(corners)) {
      if (opaque) dc_polygon(dd->dc, corners, 4, back_color, 1);
      draw_picture_on_points(dd, o, corners);
      return;
    }
  }

  if (!fill_enabled || !o->settings.visible) {
    fill = back_color;
    opaque = 0;
  }
  if (opaque || fill != figure_background()) {
    // Any number of vertices: the buffer grows as needed and is kept.
    static std::vector<double> points;
    points.resize(2 * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      points[2 * i] = parent_value(o, i)->h;
      points[2 * i + 1] = parent_value(o, i)->v;
    }
    draw_filled_polygon(dd, points.data(), n, fill, opaque);
  }

  // Each side starts the dash pattern afresh.
  const bool dashed = pixel_pen.dash_active != 0;
  const uint8_t dash[2] = {pixel_pen.on_length, pixel_pen.period};
  pixel_pen.dash_active = 0;
  for (int i = 0; i < n; ++i) {
    const valeur& p = *parent_value(o, i);
    const valeur& q = *parent_value(o, (i + 1) % n);
    if (dashed) set_dash_pattern(dash);
    styled(dd, o, p.h, p.v, q.h, q.v, kExtentSegment);
  }
}

void draw_regular_polygon(DisplayDevice* dd, object* o) { draw_polygon(dd, o); }

// ------------------------------------------------------------ lines and rays

namespace {

bool is_point_on_something(const object* q) {
  const construct_class* c = q->classe;
  return c == &classe_point || c == &classe_ptsur || c == &classe_ptint;
}

// The object whose parents say what the point lies on: an intersection
// point lies on the parents of its intersection set.
const object* point_owner(const object* q) {
  if (q->classe == &classe_ptint) return q->nbparents > 0 ? q->parents[0] : nullptr;
  return q;
}

bool owner_lies_on(const object* owner, const object* line) {
  if (!owner || !owner->parents) return false;
  for (int i = 0; i < owner->nbparents; ++i)
    if (owner->parents[i] == line) return true;
  return false;
}

double along(const valeur& d, double h, double v) { return d.h * h + d.v * v; }

double length_follow(const valeur& d, const valeur& opposite, const valeur& end, const valeur& handle, double fallback) {
  const double co = along(d, opposite.h, opposite.v);
  if (std::fabs(co - along(d, end.h, end.v)) <= std::fabs(co - along(d, handle.h, handle.v))) {
    const double l = std::hypot(handle.h - end.h, handle.v - end.v) / pixels_per_unit;
    return l < 0 ? 0.01 : l;
  }
  return fallback;
}

void smart_arrows(DisplayDevice* dd, const object* o, const valeur* back, const valeur& front, const valeur& d) {
  if (o->settings.smartline_type != 2) return;
  const bool thick = o->settings.thickness != 0;
  const uint32_t color = object_effective_color(o);
  draw_arrow_head(dd, front.h, front.v, color, 0, direction_degrees(d.h, d.v), thick);
  if (back) draw_arrow_head(dd, back->h, back->v, color, 0, direction_degrees(-d.h, -d.v), thick);
}

void draw_smart_ray(DisplayDevice* dd, object* o) {
  valeur* v = o->valeurs;
  const valeur& origin = v[0];
  const valeur& d = v[1];
  valeur front = origin;
  if (o->nbparents != 1) {
    front.h += d.h;
    front.v += d.v;
  }
  const double co = along(d, origin.h, origin.v);
  for (const object* q = o->next; q; q = q->next) {
    if (!is_point_on_something(q) || !q->settings.visible || (q->state & OBJ_UNDEFINED) || q->nbparents <= 0 ||
        !q->valeurs)
      continue;
    if (!owner_lies_on(point_owner(q), o)) continue;
    const valeur& p = q->valeurs[0];
    if (std::fabs(along(d, p.h, p.v) - co) > std::fabs(along(d, front.h, front.v) - co)) front = p;
  }

  double* len = o->settings.smartline_length;
  const double d0 = default_attrs[ATTRS_LINE].settings.smartline_length[0];
  const double d1 = default_attrs[ATTRS_LINE].settings.smartline_length[1];
  if (!drag_in_progress) {
    if (len[0] < 0) {
      if (len[0] == -1.0)
        len[0] = len[1] = o->nbparents == 1 ? d1 : d0;
      else
        len[0] = -10 - len[0];
      if (len[0] <= 0.01) len[0] = len[1] = 0.1;
    } else {
      len[0] = length_follow(d, origin, front, v[2], d0);
    }
  }
  const double norm = std::hypot(d.h, d.v);
  if (norm == 0) return;
  const double k = len[0] * pixels_per_unit / norm;
  v[2].h = front.h + k * d.h;
  v[2].v = front.v + k * d.v;
  styled(dd, o, origin.h, origin.v, v[2].h, v[2].v, kExtentSegment);
  smart_arrows(dd, o, nullptr, v[2], d);
}

void draw_smart_line(DisplayDevice* dd, object* o) {
  valeur* v = o->valeurs;
  const valeur& d = v[1];
  valeur a = v[0];
  valeur b = a;
  if (o->classe == &classe_droite && o->nbparents != 1) {
    b.h += d.h;
    b.v += d.v;
  }
  for (const object* q = o->next; q; q = q->next) {
    if ((q->classe != &classe_ptsur && q->classe != &classe_ptint) || !q->settings.visible ||
        (q->state & (OBJ_UNDEFINED | OBJ_AT_INFINITY)) || q->nbparents <= 0 || !q->valeurs)
      continue;
    if (!owner_lies_on(point_owner(q), o)) continue;
    const valeur& p = q->valeurs[0];
    const double cq = along(d, p.h, p.v), ca = along(d, a.h, a.v), cb = along(d, b.h, b.v);
    if (cq < cb) {
      if (std::fabs(cb - cq) > std::fabs(cb - ca)) a = p;
    } else if (std::fabs(cq - ca) > std::fabs(cb - ca)) {
      b = p;
    }
  }

  double* len = o->settings.smartline_length;
  const double d0 = default_attrs[ATTRS_LINE].settings.smartline_length[0];
  const double d1 = default_attrs[ATTRS_LINE].settings.smartline_length[1];
  if (!drag_in_progress) {
    if (len[0] < 0) {
      if (len[0] == -1.0) {
        if (d0 <= 0.01 && o->nbparents != 2) {
          len[0] = len[1] = 0.1;
        } else {
          len[0] = d0;
          len[1] = o->nbparents == 1 ? d1 : d0;
        }
      } else {
        len[0] = -10 - len[0];
      }
    } else {
      len[0] = length_follow(d, b, a, v[2], d0);
      len[1] = length_follow(d, a, b, v[3], d0);
    }
  }
  const double norm = std::hypot(d.h, d.v);
  if (norm == 0) return;
  const double k0 = len[0] * pixels_per_unit / norm, k1 = len[1] * pixels_per_unit / norm;
  v[2].h = a.h - k0 * d.h;
  v[2].v = a.v - k0 * d.v;
  v[3].h = b.h + k1 * d.h;
  v[3].v = b.v + k1 * d.v;
  styled(dd, o, v[2].h, v[2].v, v[3].h, v[3].v, kExtentSegment);
  smart_arrows(dd, o, &v[2], v[3], d);
}

}  // namespace

void draw_ray(DisplayDevice* dd, object* o) {
  if (!o->valeurs || o->nbvaleurs < 2) return;
  if (o->settings.smartline_type != 0 && o->nbvaleurs >= 3) {
    draw_smart_ray(dd, o);
    return;
  }
  const valeur& p = o->valeurs[0];
  const valeur& d = o->valeurs[1];
  const bool first_far = o->nbparents > 0 && o->parents[0] && (o->parents[0]->state & OBJ_AT_INFINITY);
  styled(dd, o, p.h, p.v, p.h + d.h, p.v + d.v, first_far ? kExtentLine : kExtentRay);
}

void draw_line(DisplayDevice* dd, object* o) {
  if (!o->valeurs || o->nbvaleurs < 2) return;
  if (o->settings.smartline_type != 0 && o->nbvaleurs >= 4) {
    draw_smart_line(dd, o);
    return;
  }
  const valeur& p = o->valeurs[0];
  const valeur& d = o->valeurs[1];
  styled(dd, o, p.h, p.v, p.h + d.h, p.v + d.v, kExtentLine);
}

// ------------------------------------------------------------------ pin mark

namespace {

// A pin: eight rows of eight pixels, then their mask.
constexpr uint8_t pin_glyph[16] = {0x3C, 0x46, 0x4F, 0x21, 0x1E, 0x10, 0x10, 0x20,
                                   0x7C, 0xEE, 0xE7, 0xEF, 0x7E, 0x30, 0x30, 0x20};

}  // namespace

void draw_point_offset_mark(DisplayDevice* dd, object* o) {
  if (!o->valeurs) return;
  const valeur& p = o->valeurs[0];
  draw_point_mark(dd, p.h + 4, p.v - 4, 0, 0, mark_color(o), 0, pin_glyph);
}
