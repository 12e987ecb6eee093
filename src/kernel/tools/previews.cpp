#include "kernel/tools/previews.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <numeric>
#include <cstdio>
#include <numbers>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/conics/conic_tool.h"
#include "kernel/model/classes.h"
#include "kernel/model/compute_axes.h"
#include "kernel/model/memory.h"
#include "kernel/model/point_type.h"
#include "kernel/model/units.h"
#include "kernel/objects/straight_types.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/angle_marks.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/draw_object.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/render/stroke_engine.h"
#include "kernel/tools/polygon_vertices.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/springs.h"
#include "platform/kernel_services.h"
#include "platform/kp_dialog.h"

uint8_t placing_text = 0;
int32_t text_box_width = 150;
int32_t text_box_height = 20;
tagRECT rubber_rect{};
uint8_t axes_second_axis = 0;
int16_t regular_polygon_side_limit = 12;
valeur regular_polygon_vertices[kMaxPolygonSides + 2] = {};

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTiny = 1e-10;
constexpr uint16_t kShiftKey = 3;

// Arc preview: the guide point and the two straight-segment flags.
tagPOINT g_arc_guide{};
uint8_t g_arc_first_straight = 1;
uint8_t g_arc_second_straight = 1;

// Star polygons: turning angle and vertex count, sorted by angle.
double* g_star_angles = nullptr;
int16_t* g_star_counts = nullptr;
int16_t g_star_entries = -1;

bool shift_down() { return KPEventsWrapper::modifierKeyDown(kShiftKey); }

DisplayDevice* device() { return moving_display; }

const object_settings& style(default_attr_kind kind) { return default_attrs[kind].settings; }

// The first value of argument i of the current tool, or null.
const valeur* argument_point(int i) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || i < 0 || i >= objlist_count(fig->inputs)) return nullptr;
  object* o = fig->inputs->items[i];
  return o && o->valeurs && o->nbvaleurs > 0 ? &o->valeurs[0] : nullptr;
}

int argument_count() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  return fig ? objlist_count(fig->inputs) : 0;
}

void set_record(int i, double h, double v) {
  rubber_points[i].h = h;
  rubber_points[i].v = v;
  rubber_points[i].infini_inexist_indetermine = 0;
}

void mouse_record(const tagPOINT* m) { set_record(0, m->x, m->y); }

void reset_dash_counter() {
  pixel_pen.counter_b = 0;
  pixel_pen.phase_a = 0;
}

void segment(double x1, double y1, double x2, double y2, const object_settings& s, const dot* dash,
             uint16_t kind = kExtentSegment) {
  if (device()) draw_segment_styled(device(), x1, y1, x2, y2, s.Color, s.thickness, dash, kind);
}

void point_mark(const tagPOINT* at) {
  if (!device()) return;
  const uint16_t shape = current_default_attrs ? current_default_attrs->settings.graph_type
                                               : style(ATTRS_POINT).graph_type;
  draw_point_mark(device(), at->x, at->y, 0, 0, style(ATTRS_POINT).Color, shape, nullptr);
}

// Snaps the mouse from the point a when Shift is held; answers d = mouse - a.
void snap_from(const valeur& a, tagPOINT* mouse, double* dx, double* dy, bool snap_length, double* length) {
  *dx = mouse->x - a.h;
  *dy = mouse->y - a.v;
  *length = std::hypot(*dx, *dy);
  if (!shift_down()) return;
  snap_direction(dx, dy, length, snap_length);
  mouse->x = static_cast<int32_t>(std::floor(a.h + *dx + 0.5));
  mouse->y = static_cast<int32_t>(std::floor(a.v + *dy + 0.5));
}

void segment_preview_common(tagPOINT* mouse, int mode) {
  const valeur* a = argument_point(0);
  if (!a) {
    mouse_record(mouse);
    return;
  }
  if (shift_down()) {
    double dx, dy, length;
    snap_from(*a, mouse, &dx, &dy, false, &length);
    set_record(0, a->h + dx, a->v + dy);
    if (mode == 1) point_mark(mouse);
  } else {
    mouse_record(mouse);
  }
  reset_dash_counter();
  if (mode == 1 || mode == 2) {
    const object_settings& s = style(mode == 1 ? ATTRS_LINE : ATTRS_VECTOR);
    segment(a->h, a->v, mouse->x, mouse->y, s, &s.dot_style);
  } else {
    point_mark(mouse);
    const object_settings& s = style(ATTRS_LINE);
    const dot hidden{hidden_dash_style.lg, hidden_dash_style.cycle};
    segment(a->h, a->v, mouse->x, mouse->y, s, &hidden);
  }
  if (mode == 2 && (mouse->x != a->h || mouse->y != a->v) && device()) {
    const object_settings& s = style(ATTRS_VECTOR);
    draw_arrow_head(device(), mouse->x, mouse->y, s.Color, 0, direction_degrees(mouse->x - a->h, mouse->y - a->v),
                    s.thickness != 0);
  }
}

void line_preview_common(tagPOINT* mouse, bool ray, int axes) {
  const object_settings& s = style(axes ? ATTRS_AXES : ATTRS_LINE);
  const valeur* a = argument_point(0);
  if (a) {
    double dx, dy, length;
    snap_from(*a, mouse, &dx, &dy, axes != 0, &length);
    reset_dash_counter();
    const double visible = s.smartline_length[0] > kTiny ? s.smartline_length[0] : 1.0;
    const double k = length / (visible * pixels_per_unit);
    if (k > kTiny) {
      dx /= k;
      dy /= k;
    }
    set_record(1, dx, dy);
    const bool limited = s.smartline_type != 0;
    const double ex = limited ? 0 : mouse->x - a->h, ey = limited ? 0 : mouse->y - a->v;
    if (!ray)
      segment(a->h - ex - dx, a->v - ey - dy, mouse->x + dx, mouse->y + dy, s, &s.dot_style,
              axes ? kExtentLine : kExtentSegment);
    else
      segment(a->h, a->v, mouse->x + dx, mouse->y + dy, s, &s.dot_style);
  }
  mouse_record(mouse);
}

}  // namespace

// ------------------------------------------------------------ shared

void snap_direction(double* dx, double* dy, double* length, bool snap_length) {
  double a = std::atan2(*dy, *dx);
  if (a < 0) a += 2 * kPi;
  const double step = 2 * kPi / 48;
  double theta = 0;
  for (int k = 0; k <= 48; k += 2)
    if (std::fabs(a - k * step) <= step) {
      theta = k * step;
      break;
    }
  const double L = std::max(std::fabs(*dx), std::fabs(*dy));
  *dx = L * std::cos(theta);
  *dy = L * std::sin(theta);
  *length = L;
  if (std::fabs(*dx) < kTiny) {
    *dx = 0;
    *length = std::fabs(*dy);
  } else if (std::fabs(*dy) < kTiny) {
    *dy = 0;
    *length = std::fabs(*dx);
  } else if (std::fabs(std::fabs(*dx) - std::fabs(*dy)) < kTiny) {
    *dy = std::copysign(std::fabs(*dx), *dy);
    *length = std::fabs(*dx) * std::sqrt(2.0);
  }
  if (snap_length && *length > kTiny && pixels_per_unit > 0) {
    double m = std::round(*length / pixels_per_unit);
    if (m < 1) m = 1;
    const double scale = m * pixels_per_unit / *length;
    *dx *= scale;
    *dy *= scale;
    *length = m * pixels_per_unit;
  }
}

void draw_arc_through_points(const valeur& p0, const valeur& p1, const valeur& p2, int mode,
                             const object_settings& s) {
  if (mode == 0 || !device()) return;
  const double ax = p1.h - p0.h, ay = p1.v - p0.v, bx = p2.h - p0.h, by = p2.v - p0.v;
  const double D = 2 * (ax * by - ay * bx);
  if (std::fabs(D) <= kTiny) {
    segment(p0.h, p0.v, p2.h, p2.v, s, &s.dot_style, mode == 1 ? kExtentSegment : kExtentLine);
    return;
  }
  const double c1 = (p1.h + p0.h) * ax + (p1.v + p0.v) * ay;
  const double c2 = (p2.h + p0.h) * bx + (p2.v + p0.v) * by;
  circle_record c{(c1 * by - ay * c2) / D, (ax * c2 - c1 * bx) / D, 0};
  c.r = std::hypot(c.cx - p2.h, c.cy - p2.v);
  if (mode == 1) {
    draw_stroke_twice(device(), &p0, &p1, &p2, &c, s.Color, back_color, s.thickness, &s.dot_style, 0);
    return;
  }
  // The whole circle: a full circle is given by its centre and a point
  // carrying the radius.
  valeur centre{};
  centre.h = c.cx;
  centre.v = c.cy;
  valeur through = p2;
  through.info.rayon = c.r;
  draw_stroke_twice(device(), &centre, &through, nullptr, nullptr, s.Color, back_color, s.thickness, &s.dot_style,
                    kStrokeFullCircle);
}

// ------------------------------------------------------------ previews

void fil_prop(tagPOINT* mouse) { mouse_record(mouse); }
void segment_preview(tagPOINT* mouse) { segment_preview_common(mouse, 1); }
void vector_preview(tagPOINT* mouse) { segment_preview_common(mouse, 2); }

void transformation_preview(tagPOINT* mouse) {
  mouse_record(mouse);
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!placing_text || !fig || objlist_count(fig->inputs) < 2) return;
  // The point comes first: the rubber band starts from it, not from the
  // number picked before it.
  if (fig->inputs->items[0]->otype && fig->inputs->items[0]->otype->id != TYPE_POINT) {
    std::swap(fig->inputs->items[0], fig->inputs->items[1]);
    if (fig->inputs->tags) std::swap(fig->inputs->tags[0], fig->inputs->tags[1]);
  }
  object* a = fig->inputs->items[0];
  object* b = fig->inputs->items[1];
  object* number = a->otype && a->otype->id == TYPE_NUMBER ? a : b;
  object* point = a->otype && a->otype->id == TYPE_POINT ? a : b;
  if (!point->valeurs || !number->valeurs) return;
  const valeur& p = point->valeurs[0];
  double dx = mouse->x - p.h, dy = mouse->y - p.v;
  if (std::fabs(dx) < kTiny && std::fabs(dy) < kTiny) {
    dx = 1;
    dy = -1;
  }
  double value = number->valeurs[0].info.rayon;
  if (value < 0) {
    dx = -dx;
    dy = -dy;
  }
  double distance = std::fabs(value);
  const int unit_code = number->settings.unite & 0x1F;
  if (unit_code == 2)
    distance /= pixels_per_unit;
  else if (unit_code == 0 || unit_code == 4)
    distance *= pixels_per_unit;
  const double n = std::hypot(dx, dy);
  tagPOINT at{static_cast<int32_t>(std::floor(p.h + dx * distance / n + 0.5)),
              static_cast<int32_t>(std::floor(p.v + dy * distance / n + 0.5))};
  segment_preview_common(&at, 3);
  set_record(1, dx, dy);
}

void line_preview(tagPOINT* mouse) { line_preview_common(mouse, false, 0); }
void ray_preview(tagPOINT* mouse) { line_preview_common(mouse, true, 0); }

void axes_preview(tagPOINT* mouse) {
  const int n = argument_count();
  if (n == 0) axes_second_axis = 0;
  if (!axes_second_axis && n < 2) {
    line_preview_common(mouse, false, 1);
    return;
  }
  const valeur first = rubber_points[1];
  line_preview_common(mouse, false, 2);
  rubber_points[2] = rubber_points[1];
  rubber_points[1] = first;
  const valeur* origin = argument_point(0);
  if (n >= 2 && origin) {
    const valeur* second = argument_point(1);
    set_record(1, second->h - origin->h, second->v - origin->v);
  }
  if (origin) {
    const object_settings& s = style(ATTRS_AXES);
    segment(origin->h, origin->v, origin->h + rubber_points[1].h, origin->v + rubber_points[1].v, s, &s.dot_style,
            kExtentLine);
  }
}

void polygon_preview(tagPOINT* mouse) {
  reset_dash_counter();
  const int n = argument_count();
  const object_settings& s = style(ATTRS_POLYGON);
  if (n == 1 && shift_down()) {
    double dx, dy, length;
    snap_from(*argument_point(0), mouse, &dx, &dy, false, &length);
    point_mark(mouse);
  }
  if (n >= 2) {
    for (int i = 0; i + 1 < n; ++i) {
      const valeur* a = argument_point(i);
      const valeur* b = argument_point(i + 1);
      if (a && b) segment(a->h, a->v, b->h, b->v, s, &s.dot_style);
    }
    const valeur* last = argument_point(n - 1);
    if (last) {
      if (shift_down()) {
        double dx, dy, length;
        snap_from(*last, mouse, &dx, &dy, false, &length);
        point_mark(mouse);
      }
      const dot dotted{1, 2};
      segment(last->h, last->v, mouse->x, mouse->y, s, &dotted);
    }
  }
  if (const valeur* first = argument_point(0)) {
    const dot dotted{1, 4};
    segment(first->h, first->v, mouse->x, mouse->y, s, n >= 2 ? &dotted : &s.dot_style);
  }
  mouse_record(mouse);
}

void circle_preview(tagPOINT* mouse) {
  const valeur* c = argument_point(0);
  if (c) {
    double dx, dy, radius;
    snap_from(*c, mouse, &dx, &dy, true, &radius);
    if (!shift_down()) radius = std::hypot(dx, dy);
    set_record(1, c->h + dx, c->v + dy);
    rubber_points[1].info.rayon = radius;
    if (device()) {
      const object_settings& s = style(ATTRS_CIRCLE_CONIC);
      valeur centre = *c, through = rubber_points[1];
      draw_stroke_twice(device(), &centre, &through, nullptr, nullptr, s.Color, back_color, s.thickness,
                        &s.dot_style, kStrokeFullCircle);
    }
  }
  mouse_record(mouse);
}

void arc_preview(tagPOINT* mouse) {
  const int n = argument_count();
  mouse_record(mouse);
  const object_settings& s = style(ATTRS_ARC);
  if (n == 0) {
    g_arc_first_straight = g_arc_second_straight = 1;
    return;
  }
  const valeur* a = argument_point(0);
  if (!a) return;
  valeur m{};
  m.h = mouse->x;
  m.v = mouse->y;
  if (n == 1) {
    const double dx = mouse->x - a->h, dy = mouse->y - a->v;
    if (!g_arc_first_straight && std::fabs(dx) + std::fabs(dy) <= 12) g_arc_first_straight = 1;
    if (g_arc_first_straight) {
      segment(a->h, a->v, mouse->x, mouse->y, s, &s.dot_style);
      if (std::fabs(dx) + std::fabs(dy) > kGuideDistance) {
        const double d = std::hypot(dx, dy);
        g_arc_guide = tagPOINT{static_cast<int32_t>(std::floor(a->h + kGuideDistance * dx / d + 0.5)),
                               static_cast<int32_t>(std::floor(a->v + kGuideDistance * dy / d + 0.5))};
        g_arc_first_straight = 0;
      }
      return;
    }
    valeur g{};
    g.h = g_arc_guide.x;
    g.v = g_arc_guide.y;
    draw_arc_through_points(*a, g, m, 1, s);
    return;
  }
  const valeur* b = argument_point(1);
  if (!b) return;
  if (g_arc_first_straight) g_arc_first_straight = g_arc_second_straight = 0;
  if (!g_arc_second_straight) {
    draw_arc_through_points(*a, *b, m, 1, s);
    return;
  }
  valeur g{};
  g.h = g_arc_guide.x;
  g.v = g_arc_guide.y;
  if (std::fabs(mouse->x - b->h) + std::fabs(mouse->y - b->v) <= kGuideDistance) {
    draw_arc_through_points(*a, g, *b, 1, s);
    segment(b->h, b->v, mouse->x, mouse->y, s, &s.dot_style);
    return;
  }
  g_arc_second_straight = 0;
  // A' is A reflected in the perpendicular bisector of G and B.
  const double ux = b->h - g.h, uy = b->v - g.v, len2 = ux * ux + uy * uy;
  valeur a2 = *a;
  if (len2 > kTiny) {
    const double mx = (b->h + g.h) / 2, my = (b->v + g.v) / 2;
    const double t = ((a->h - mx) * ux + (a->v - my) * uy) / len2;
    a2.h = a->h - 2 * t * ux;
    a2.v = a->v - 2 * t * uy;
  }
  for (int j = 1; j <= 5; ++j) {
    valeur p{};
    p.h = (j * m.h + (7 - j) * a2.h) / 7;
    p.v = (j * m.v + (7 - j) * a2.v) / 7;
    draw_arc_through_points(*a, *b, p, 1, s);
    flush_moving_display(9);
  }
}

void angle_mark_preview(tagPOINT* mouse) {
  mouse_record(mouse);
  if (argument_count() < 2) return;
  const valeur* a = argument_point(0);
  const valeur* o = argument_point(1);
  if (!a || !o) return;
  const double ax = a->h - o->h, ay = a->v - o->v, mx = mouse->x - o->h, my = mouse->y - o->v;
  valeur m{};
  m.h = mouse->x;
  m.v = mouse->y;
  double r = 0, lengths[2];
  if (!angle_mark_radius(a, o, &m, &r, lengths)) return;
  const double la = lengths[0], lm = lengths[1];
  valeur p1{}, p2{}, p3{};
  p1.h = o->h + ax * r / la;
  p1.v = o->v + ay * r / la;
  p3.h = o->h + mx * r / lm;
  p3.v = o->v + my * r / lm;
  const double hx = (p1.h + p3.h) / 2 - o->h, hy = (p1.v + p3.v) / 2 - o->v, lh = std::hypot(hx, hy);
  double cosine = 1;
  if (lh < kTiny) {
    p2.h = o->h - (p1.v - o->v);
    p2.v = o->v + (p1.h - o->h);
  } else {
    p2.h = o->h + hx * r / lh;
    p2.v = o->v + hy * r / lh;
    cosine = (ax * mx + ay * my) / (la * lm);
  }
  if (!device()) return;
  // The mark the click would make, in the current style: its arcs and
  // tick, or at a right angle its right-angle symbol.
  const object_settings& s = style(ATTRS_ANGLE);
  const uint8_t mark_style = default_attrs[ATTRS_ANGLE].angle_mark_style;
  valeur values[4] = {p1, p2, p3, *o};
  values[2].info.rayon = std::fabs(cosine) <= 0.001 && mark_style != 0 ? 1 : 0;
  values[3].info.rayon = r;
  draw_angle_mark_values(device(), values, mark_style, s.Color, s.thickness, &s.dot_style);
}

// ------------------------------------------------------------ regular polygons

int16_t build_star_polygon_table() {
  if (g_star_entries >= 0) return g_star_entries;
  int count = 0;
  for (int n = 3; n <= kMaxPolygonSides; ++n)
    for (int k = 2; 2 * k < n; ++k)
      if (std::gcd(n, k) == 1) ++count;
  g_star_angles = alloc_block<double>(static_cast<uint32_t>(count));
  g_star_counts = alloc_block<int16_t>(static_cast<uint32_t>(count));
  if (!g_star_angles || !g_star_counts) {
    GlobalFreeAndNull(&g_star_angles);
    GlobalFreeAndNull(&g_star_counts);
    g_star_entries = 0;
    return 0;
  }
  int i = 0;
  for (int n = 3; n <= kMaxPolygonSides; ++n)
    for (int k = 2; 2 * k < n; ++k)
      if (std::gcd(n, k) == 1) {
        g_star_angles[i] = k * 2 * kPi / n;
        g_star_counts[i] = static_cast<int16_t>(n);
        ++i;
      }
  for (int pass = 0; pass < count; ++pass)
    for (int j = 0; j + 1 < count - pass; ++j)
      if (g_star_angles[j] > g_star_angles[j + 1]) {
        std::swap(g_star_angles[j], g_star_angles[j + 1]);
        std::swap(g_star_counts[j], g_star_counts[j + 1]);
      }
  g_star_entries = static_cast<int16_t>(count);
  return g_star_entries;
}

int16_t star_polygon_count() { return g_star_entries < 0 ? 0 : g_star_entries; }

int32_t regular_polygon_fit(const valeur& c, const valeur& v, const tagPOINT& mouse, int16_t star_entries,
                            valeur* vertices) {
  const double vx = v.h - c.h, vy = v.v - c.v, mx = mouse.x - c.h, my = mouse.y - c.v;
  const double lv = std::hypot(vx, vy), lm = std::hypot(mx, my);
  double theta = kPi;
  if (lv > kTiny && lm > kTiny) theta = std::acos(std::clamp((vx * mx + vy * my) / (lv * lm), -1.0, 1.0));
  double turn = std::atan2(my, mx) - std::atan2(vy, vx);
  while (turn < 0) turn += 2 * kPi;
  while (turn >= 2 * kPi) turn -= 2 * kPi;
  const bool first_half = turn <= kPi;
  const int limit = regular_polygon_side_limit;
  int n = 3;
  double step;
  if (first_half || limit != kMaxPolygonSides || star_entries <= 0) {
    if (theta <= 2 * kPi / 3) {
      n = 3;
      while (n + 1 <= limit && 2 * kPi / (n + 1) >= theta) ++n;
      if (n < limit && std::fabs(2 * kPi / (n + 1) - theta) < std::fabs(2 * kPi / n - theta)) ++n;
    }
    step = 2 * kPi / n;
  } else {
    int best = 0;
    for (int i = 1; i < star_entries; ++i)
      if (std::fabs(g_star_angles[i] - theta) < std::fabs(g_star_angles[best] - theta)) best = i;
    n = g_star_counts[best];
    step = g_star_angles[best];
  }
  vertices[n] = v;
  vertices[n].info.rayon = step;
  vertices[n + 1] = c;
  vertices[n + 1].info.rayon = lv;
  compute_polygon_vertices(static_cast<int16_t>(n), vertices);
  const int32_t turns = static_cast<int32_t>(std::lround(n * step / (2 * kPi)));
  return (n << 16) | turns;
}

void regular_polygon_preview(tagPOINT* mouse) {
  const int16_t entries = build_star_polygon_table();
  const int count = argument_count();
  const object_settings& s = style(ATTRS_POLYGON);
  const dot dotted{1, 3};
  if (count == 0) regular_polygon_side_limit = 12;
  const valeur* c = argument_point(0);
  if (count == 1 && c) {
    set_record(1, mouse->x, mouse->y);
    rubber_points[1].info.rayon = std::hypot(mouse->x - c->h, mouse->y - c->v);
    if (device()) {
      valeur centre = *c, through = rubber_points[1];
      draw_stroke_twice(device(), &centre, &through, nullptr, nullptr, s.Color, back_color, s.thickness, &dotted,
                        kStrokeFullCircle);
    }
  } else if (count >= 2 && c) {
    const valeur* v = argument_point(1);
    const int32_t fit = regular_polygon_fit(*c, *v, *mouse, entries, regular_polygon_vertices);
    const int n = fit >> 16, k = fit & 0xFFFF;
    set_record(2, n, k);
    for (int i = 0; i < n; ++i) {
      const valeur& a = i == 0 ? *v : regular_polygon_vertices[i - 1];
      const valeur& b = regular_polygon_vertices[i];
      segment(a.h, a.v, b.h, b.v, s, &dotted);
    }
    const valeur& neighbour = k > 1 ? regular_polygon_vertices[n - 2] : regular_polygon_vertices[0];
    segment(v->h, v->v, neighbour.h, neighbour.v, s, &s.dot_style);
    const tagPOINT at{static_cast<int32_t>(neighbour.h), static_cast<int32_t>(neighbour.v)};
    point_mark(&at);
    if (regular_polygon_side_limit != kMaxPolygonSides && (n < 12 || point_near(&neighbour, mouse)))
      regular_polygon_side_limit = kMaxPolygonSides;
    if (device()) {
      char label[24];
      if (k > 1)
        std::snprintf(label, sizeof label, " {%d/%d}", n, k);
      else
        std::snprintf(label, sizeof label, " {%d}", n);
      const int32_t w = dd_text_width(device(), label);
      dd_draw_text(device(), static_cast<int32_t>(c->h) - w / 2, static_cast<int32_t>(c->v) + 5, label, default_color);
    }
  }
  mouse_record(mouse);
}

// ------------------------------------------------------------ text boxes

void test_preview(tagPOINT* mouse) {
  mouse_record(mouse);
  if (!placing_text) return;
  tagRECT r{mouse->x - text_box_width / 2, mouse->y - text_box_height / 2, 0, 0};
  r.right = r.left + text_box_width;
  r.bottom = r.top + text_box_height;
  if (DisplayDevice* dd = device()) {
    const tagRECT& port = dd->portRect;
    if (r.left < port.left) OffsetRect(&r, port.left - r.left, 0);
    if (r.top < port.top) OffsetRect(&r, 0, port.top - r.top);
    if (r.right > port.right - 1) OffsetRect(&r, port.right - 1 - r.right, 0);
    if (r.bottom > port.bottom - 1) OffsetRect(&r, 0, port.bottom - 1 - r.bottom);
    draw_rect_dashed(dd, r.left, r.top, r.right, r.bottom, default_color, 1);
  }
  rubber_rect = r;
}

void button_preview(tagPOINT* mouse) {
  if (!placing_text) {
    mouse_record(mouse);
    return;
  }
  const int32_t left = static_cast<int32_t>(std::floor(rubber_points[0].h + 0.5));
  const int32_t top = static_cast<int32_t>(std::floor(rubber_points[0].v + 0.5));
  const int32_t right = std::max(left + 5, mouse->x), bottom = std::max(top + 5, mouse->y);
  set_record(1, right, bottom);
  rubber_rect = tagRECT{left, top, right, bottom};
  if (device()) draw_rect_dashed(device(), left, top, right, bottom, default_color, 1);
}

void spring_preview(tagPOINT* mouse) {
  if (const valeur* p = argument_point(0)) {
    set_record(1, p->h - mouse->x, p->v - mouse->y);
    draw_spring(device(), p->h, p->v, mouse->x, mouse->y, default_color);
  }
  mouse_record(mouse);
}

// ------------------------------------------------------------ binding

void bind_tool_previews() {
  for (construct_class** c = class_list; c && *c; ++c) (*c)->fil = fil_prop;
  classe_segment.fil = segment_preview;
  classe_vecteur.fil = vector_preview;
  classe_compas3.fil = transformation_preview;
  classe_droite.fil = line_preview;
  classe_demidroite.fil = ray_preview;
  classe_axe.fil = axes_preview;
  classe_triangle.fil = polygon_preview;
  classe_polygone.fil = polygon_preview;
  classe_polyreg.fil = regular_polygon_preview;
  classe_cercle.fil = circle_preview;
  classe_arc.fil = arc_preview;
  classe_conic.fil = conic_preview;
  classe_angle.fil = angle_mark_preview;
  classe_spring.fil = spring_preview;
  classe_button.fil = button_preview;
  for (construct_class* c : {&classe_alignement, &classe_parallelism, &classe_perpendism, &classe_equidistant,
                             &classe_membership, &classe_calculate, &classe_exp_num_app})
    c->fil = test_preview;
  classe_point_polyreg.fil = nullptr;
}
