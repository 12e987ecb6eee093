#include "kernel/exchange/ti83_export.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/export_question.h"
#include "kernel/exchange/ti83_container.h"
#include "kernel/macros/macro_records.h"
#include "kernel/files/text_family.h"
#include "kernel/measure/unit_factor.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/label_text.h"
#include "kernel/model/memory.h"
#include "kernel/model/units.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_state.h"
#include "platform/kernel_services.h"
#include "platform/kp_dialog.h"

namespace {

using record = ti83_encoder::record;

constexpr uint8_t kPoint = 1, kSegment = 2, kLine = 4, kPolygon = 8, kCircle = 16, kText = 32, kNumber = 64;
constexpr uint8_t kNone = 255;
constexpr uint8_t kShown = 2, kStyle = 4, kAnchored = 8, kDotted = 16;

uint16_t tid(const object* o) { return o && o->otype ? o->otype->id : 0; }
bool is(const object* o, const construct_class& c) { return o && o->classe == &c; }
object* parent(const object* o, int i) {
  return (o && o->parents && i >= 0 && i < o->nbparents) ? o->parents[i] : nullptr;
}
const valeur* value(const object* o, int i = 0) {
  return (o && o->valeurs && i < o->nbvaleurs) ? &o->valeurs[i] : nullptr;
}

void put24(uint8_t* p, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  p[0] = static_cast<uint8_t>(u & 0xFF);
  p[1] = static_cast<uint8_t>((u >> 8) & 0xFF);
  p[2] = static_cast<uint8_t>((u >> 16) & 0xFF);
}

int32_t get24(const uint8_t* p) {
  int32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
  return v > 0x7FFFFF ? v - 0x1000000 : v;
}

record fresh(uint8_t kind, uint8_t sub, uint8_t flags) {
  record r{};
  r.b[0] = kind;
  r.b[1] = sub;
  r.b[2] = r.b[3] = r.b[4] = kNone;
  r.b[5] = flags;
  return r;
}

bool shown(const object* o) { return o->settings.visible != 0 && o->final_no != 0; }

uint8_t style(const object* o) {
  uint8_t f = kStyle;
  if (shown(o)) f |= kShown;
  const bool dotted = tid(o) == TYPE_POINT ? o->settings.graph_type == 0
                                           : o->settings.dot_style.lg != o->settings.dot_style.cycle;
  if (dotted) f |= kDotted;
  return f;
}

// The record of an object written earlier, or -1.
int rec(const ti83_encoder* e, const object* o) {
  if (!o) return -1;
  auto it = e->record_of.find(o);
  return it == e->record_of.end() ? -1 : it->second;
}

uint8_t byte_of(int index) { return static_cast<uint8_t>(index & 0xFF); }

int add(ti83_encoder* e, const record& r) {
  e->records.push_back(r);
  const int index = static_cast<int>(e->records.size()) - 1;
  if (index == 0) {
    // The figure's origin goes to a whole pixel, and every later
    // coordinate follows the corrected origins.
    uint8_t* b = e->records[0].b;
    const int32_t x = get24(b + 6), y = get24(b + 9);
    const int32_t lx = x & 0xFF, ly = y & 0xFF;
    e->origin_x -= lx;
    e->origin_y -= ly;
    put24(b + 6, x - lx);
    put24(b + 9, y - ly);
  }
  return index;
}

// Anchored when every record named in bytes 2 to 4 is.
uint8_t inherited_anchor(const ti83_encoder* e, const record& r) {
  for (int k = 2; k <= 4; ++k) {
    const uint8_t p = r.b[k];
    if (p == kNone) continue;
    if (p >= e->records.size() || !(e->records[p].b[5] & kAnchored)) return 0;
  }
  return kAnchored;
}

void set_position(const ti83_encoder* e, record* r, int slot, double h, double v) {
  put24(r->b + 6 + 6 * slot, e->coordinate(h, 0));
  put24(r->b + 9 + 6 * slot, e->coordinate(v, 1));
}

int free_point_at(ti83_encoder* e, double h, double v, uint8_t flags) {
  record r = fresh(kPoint, 0, flags);
  set_position(e, &r, 0, h, v);
  return add(e, r);
}

// A construction point computed from the stored coordinates of its parents.
int derived_point(ti83_encoder* e, int a, int b, int c, uint8_t method) {
  record r = fresh(kPoint, 1, 1);
  r.b[17] = method;
  r.b[2] = byte_of(a);
  r.b[3] = byte_of(b);
  if (method != 13) r.b[4] = byte_of(c);
  auto at = [&](int i, int k) { return get24(e->records[static_cast<size_t>(i)].b + 6 + 3 * k); };
  int32_t x = 0, y = 0;
  if (method == 13) {
    x = (at(a, 0) + at(b, 0)) / 2;
    y = (at(a, 1) + at(b, 1)) / 2;
  } else if (method == 21) {
    x = at(c, 0) + at(b, 0) - at(a, 0);
    y = at(c, 1) + at(b, 1) - at(a, 1);
  } else if (method == 20) {
    x = at(c, 0) + at(b, 1) - at(a, 1);
    y = at(c, 1) + at(a, 0) - at(b, 0);
  }
  put24(r.b + 6, std::clamp(x, -8388608, 8388607));
  put24(r.b + 9, std::clamp(y, -8388608, 8388607));
  return add(e, r);
}

bool is_point_record(const ti83_encoder* e, int i) {
  return i >= 0 && static_cast<size_t>(i) < e->records.size() && e->records[static_cast<size_t>(i)].b[0] == kPoint;
}

// The records of a point parent, or -1.
int point_rec(const ti83_encoder* e, const object* o) {
  const int r = rec(e, o);
  return tid(o) == TYPE_POINT && is_point_record(e, r) ? r : -1;
}

int pixel_of(const ti83_encoder* e, double v, int axis) { return e->coordinate(v, axis) >> 8; }
bool fits_byte(int v) { return v >= -128 && v <= 127; }

// ---------------------------------------------------------------- kinds

// Points on a segment, vector, line, ray, axis or circle.
int point_on_object(ti83_encoder* e, object* o) {
  object* carrier = parent(o, 0);
  const valeur* p = value(o);
  if (!carrier || !p) return -1;
  const uint16_t t = tid(carrier);
  uint8_t sub = 0;
  int a = -1, b = -1, c = -1;
  double ah = 0, av = 0, bh = 0, bv = 0;
  if (t == TYPE_AXES) {
    if (carrier != e->axes || o->math.side.index < 1 || o->math.side.index > 2) return -1;
    const int axis = o->math.side.index;
    sub = 5;
    a = 0;
    b = axis;
    c = 2 + axis;
    const valeur* org = value(carrier, 0);
    const valeur* dir = value(carrier, axis);
    if (!org || !dir) return -1;
    ah = org->h;
    av = org->v;
    bh = ah + 3.2 * dir->h;
    bv = av + 3.2 * dir->v;
  } else if ((t == TYPE_TRIANGLE || t == TYPE_POLYGON) && (is(carrier, classe_triangle) || is(carrier, classe_polygone))) {
    // The calculator puts the point on the side's segment record.
    const int n = carrier->nbparents;
    const double* param = static_cast<const double*>(o->data);
    if (n < 3 || n > 4 || !param || !std::isfinite(*param) || rec(e, carrier) < 0) return -1;
    const int side = static_cast<int>(std::fmod(std::fmod(std::floor(*param), n) + n, n));
    object* from = parent(carrier, side);
    object* to = parent(carrier, (side + 1) % n);
    a = point_rec(e, from);
    b = point_rec(e, to);
    if (a < 0 || b < 0 || !value(from) || !value(to)) return -1;
    c = ti83_side_record(e, a, b, style(carrier));
    sub = 4;
    ah = value(from)->h, av = value(from)->v, bh = value(to)->h, bv = value(to)->v;
  } else {
    auto def = e->defined_by.find(carrier);
    c = rec(e, carrier);
    if (def == e->defined_by.end() || c < 0) return -1;
    a = def->second.first;
    b = def->second.second;
    const valeur* v0 = value(carrier, 0);
    const valeur* v1 = value(carrier, 1);
    if (!v0 || !v1) return -1;
    if (t == TYPE_SEGMENT || t == TYPE_VECTOR) {
      sub = 4;
      ah = v0->h, av = v0->v, bh = v1->h, bv = v1->v;
    } else if (t == TYPE_LINE || t == TYPE_RAY) {
      sub = 5;
      ah = v0->h, av = v0->v, bh = v0->h + v1->h, bv = v0->v + v1->v;
    } else if (t == TYPE_CIRCLE) {
      sub = 6;
      ah = v0->h, av = v0->v, bh = v1->h, bv = v1->v;
    } else {
      return -1;
    }
  }
  record r = fresh(kPoint, sub, static_cast<uint8_t>(style(o) | kAnchored));
  r.b[2] = byte_of(a);
  r.b[3] = byte_of(b);
  r.b[4] = byte_of(c);
  set_position(e, &r, 0, p->h, p->v);
  int32_t t_pos = 0;
  if (sub == 6) {
    const double turn = std::atan2(-(p->v - av), p->h - ah) - std::atan2(-(bv - av), bh - ah);
    double a_turn = std::fmod(turn, 2 * std::numbers::pi);
    if (a_turn < 0) a_turn += 2 * std::numbers::pi;
    if (std::isfinite(a_turn)) t_pos = static_cast<int32_t>(std::floor(a_turn / std::numbers::pi * 1800 + 0.5));
  } else {
    const double length = std::hypot(bh - ah, bv - av);
    const double da = std::hypot(p->h - ah, p->v - av), db = std::hypot(p->h - bh, p->v - bv);
    const double s = (db > length && db > da) ? -1 : 1;
    if (length > 0 && std::isfinite(da / length))
      t_pos = static_cast<int32_t>(std::floor(std::clamp(256 * da / length * s, -32768.0, 32767.0) + 0.5));
  }
  r.b[15] = static_cast<uint8_t>(t_pos & 0xFF);
  r.b[16] = static_cast<uint8_t>((t_pos >> 8) & 0xFF);
  return add(e, r);
}

// The intersection index the import gives a record of sub-kind `sub`
// whose first parent is record ra (of kind `kind`) and second record rb.
uint32_t import_index(uint8_t sub, int ra, uint8_t kind, int rb) {
  uint32_t index = 0;
  if (kind == kLine)  // lines and the axes
    index = sub == 10 ? 0x10000 : 0;
  else if (kind == kCircle)
    index = sub == 9 ? 0 : 0x10000;
  else
    index = sub == 9 ? 0x10000 : 0;
  if (ra == 4) index += 1;
  if (rb == 4) index += 0x10000;
  return index;
}

// Intersections of two straight objects (the figure's axes among them), or
// of a straight object or a circle with a circle. The sub-kind, and the
// axis for the axes, are those under which the import finds the point
// where it is.
int intersection_point(ti83_encoder* e, object* o) {
  object* set = parent(o, 0);
  object* first = parent(set, 0);
  object* second = parent(set, 1);
  const valeur* p = value(o);
  if (!p || !first || !second) return -1;
  auto straight = [](uint16_t t) { return t == TYPE_LINE || t == TYPE_RAY || t == TYPE_SEGMENT || t == TYPE_VECTOR; };
  auto polygon = [](const object* x) {
    return (is(x, classe_triangle) || is(x, classe_polygone)) && x->nbparents >= 3 && x->nbparents <= 4;
  };
  const bool axes_a = first == e->axes, axes_b = second == e->axes;
  // The calculator keeps the circle second.
  if (tid(first) == TYPE_CIRCLE && (straight(tid(second)) || axes_b || polygon(second))) std::swap(first, second);
  const uint16_t ta = tid(first), tb = tid(second);
  const bool line_a = straight(ta) || first == e->axes || polygon(first);
  const bool line_b = straight(tb) || second == e->axes || polygon(second);
  std::vector<uint8_t> subs;
  if (line_a && line_b)
    subs = {8};
  else if ((line_a || ta == TYPE_CIRCLE) && tb == TYPE_CIRCLE)
    subs = {9, 10};
  else
    return -1;
  // The records that can stand for an object, each with the object the
  // import rebuilds from it: an axis record for the axes, a side's segment
  // record for a triangle or a quadrilateral (a stand-in segment on the
  // side's two vertices).
  struct candidate {
    int record;
    object* shape;
  };
  std::vector<std::unique_ptr<object>> stand_ins;
  std::vector<std::unique_ptr<valeur[]>> stand_in_values;
  std::vector<std::unique_ptr<object*[]>> stand_in_parents;
  auto candidates = [&](object* x) {
    std::vector<candidate> out;
    if (x == e->axes) return std::vector<candidate>{{3, x}, {4, x}};
    if (polygon(x)) {
      const int n = x->nbparents;
      for (int k = 0; k < n; ++k) {
        object* from = parent(x, k);
        object* to = parent(x, (k + 1) % n);
        const int a = point_rec(e, from), b = point_rec(e, to);
        if (a < 0 || b < 0 || !value(from) || !value(to)) continue;
        int side = -1;
        for (const auto& row : e->sides)
          if ((row.a == byte_of(a) && row.b == byte_of(b)) || (row.a == byte_of(b) && row.b == byte_of(a))) side = row.seg;
        if (side < 5) continue;
        auto seg = std::make_unique<object>();
        auto vals = std::make_unique<valeur[]>(2);
        auto ends = std::make_unique<object*[]>(2);
        vals[0] = *value(from);
        vals[1] = *value(to);
        ends[0] = from;
        ends[1] = to;
        seg->otype = &type_segment;
        seg->classe = &classe_segment;
        seg->valeurs = vals.get();
        seg->nbvaleurs = 2;
        seg->parents = ends.get();
        seg->nbparents = 2;
        out.push_back({side, seg.get()});
        stand_ins.push_back(std::move(seg));
        stand_in_values.push_back(std::move(vals));
        stand_in_parents.push_back(std::move(ends));
      }
      return out;
    }
    const int r = rec(e, x);
    if (r >= 5) out.push_back({r, x});
    return out;
  };
  const std::vector<candidate> as = candidates(first), bs = candidates(second);
  int best_a = -1, best_b = -1;
  uint8_t best_sub = 0;
  double best_distance = 0;
  for (const candidate& ca : as)
    for (const candidate& cb : bs)
      for (uint8_t sub : subs) {
        const type_intersect_fn intersect = cb.shape->otype ? cb.shape->otype->intersect : nullptr;
        valeur at{};
        const uint32_t index =
            import_index(sub, ca.record, e->records[static_cast<size_t>(ca.record)].b[0], cb.record);
        if (!intersect || intersect(cb.shape, ca.shape, &at, index) != 1 ||
            (at.infini_inexist_indetermine & VAL_NOT_EXIST))
          continue;
        const double d = std::hypot(at.h - p->h, at.v - p->v);
        if (best_sub == 0 || d < best_distance) {
          best_a = ca.record, best_b = cb.record, best_sub = sub, best_distance = d;
        }
      }
  // A point that does not exist now, or a root the import cannot name,
  // finds no candidate where it is.
  const bool exists = !(o->state & OBJ_UNDEFINED) && !(p->infini_inexist_indetermine & VAL_NOT_EXIST);
  if (!exists || best_distance > 1) best_sub = 0;
  if (best_sub == 0) {
    // Without the axes or a polygon, keep the choice the point makes.
    if (axes_a || axes_b || polygon(first) || polygon(second) || as.empty() || bs.empty()) return -1;
    best_a = as[0].record, best_b = bs[0].record;
    if (subs.size() == 1) {
      best_sub = 8;
    } else {
      const bool upper = (o->math.inter_index >> 16) != 0;
      const bool line_like = ta == TYPE_LINE || ta == TYPE_RAY || ta == TYPE_CIRCLE;
      best_sub = line_like ? (upper ? 10 : 9) : (upper ? 9 : 10);
    }
  }
  record r = fresh(kPoint, best_sub, style(o));
  r.b[2] = byte_of(best_a);
  r.b[3] = byte_of(best_b);
  set_position(e, &r, 0, p->h, p->v);
  return add(e, r);
}

int image_point(ti83_encoder* e, object* o, uint8_t sub, int element, int moved, int extra) {
  const valeur* p = value(o);
  if (!p || element < 0 || moved < 0) return -1;
  record r = fresh(kPoint, sub, style(o));
  r.b[2] = byte_of(element);
  r.b[3] = byte_of(moved);
  if (extra >= 0) r.b[4] = byte_of(extra);
  set_position(e, &r, 0, p->h, p->v);
  return add(e, r);
}

bool is_number_record(const ti83_encoder* e, int i) {
  return i >= 0 && static_cast<size_t>(i) < e->records.size() && e->records[static_cast<size_t>(i)].b[0] == kNumber;
}

// The axis (1 x, 2 y) through which parent `position` of o is one of the
// figure's axes, or 0.
int axis_of(const ti83_encoder* e, const object* o, int position) {
  if (parent(o, position) != e->axes || !e->axes) return 0;
  const uint32_t half = (pack_object_side_info(o) >> (16 * position)) & 0xFFFF;
  return half == 1 || half == 2 ? static_cast<int>(half) : 0;
}

// The defining records of a straight object: its two end or defining
// points; for an axis, the origin and the axis's unit point.
bool straight_def(const ti83_encoder* e, const object* s, int* a, int* b, int axis = 0) {
  if (axis != 0 && s == e->axes) {
    *a = 0;
    *b = axis;
    return true;
  }
  auto def = e->defined_by.find(s);
  if (def == e->defined_by.end()) return false;
  *a = def->second.first;
  *b = def->second.second;
  return true;
}

int encode_point(ti83_encoder* e, object* o) {
  const valeur* p = value(o);
  if (!p) return -1;
  if (is(o, classe_point) || (is(o, classe_ptsur) && tid(parent(o, 0)) == TYPE_GRID))
    return free_point_at(e, p->h, p->v, static_cast<uint8_t>(style(o) | 9));
  if (is(o, classe_ptsur)) return point_on_object(e, o);
  if (is(o, classe_ptint)) return intersection_point(e, o);
  if (is(o, classe_milieu)) {
    if (o->methode == 0) return image_point(e, o, 13, point_rec(e, parent(o, 0)), point_rec(e, parent(o, 1)), -1);
    object* s = parent(o, 0);
    int a = -1, b = -1;
    if ((tid(s) != TYPE_SEGMENT && tid(s) != TYPE_VECTOR) || !straight_def(e, s, &a, &b)) return -1;
    return image_point(e, o, 13, a, b, rec(e, s));
  }
  if (is(o, classe_symetrique))
    return image_point(e, o, 14, point_rec(e, parent(o, 1)), point_rec(e, parent(o, 0)), -1);
  if (is(o, classe_symetriquedr)) {
    object* m = parent(o, 1);
    const uint16_t t = tid(m);
    if (const int axis = axis_of(e, o, 1)) return image_point(e, o, 15, 2 + axis, point_rec(e, parent(o, 0)), -1);
    if (t != TYPE_LINE && t != TYPE_RAY && t != TYPE_SEGMENT && t != TYPE_VECTOR) return -1;
    return image_point(e, o, 15, rec(e, m), point_rec(e, parent(o, 0)), -1);
  }
  if (is(o, classe_translation)) {
    object* v = parent(o, 1);
    if (tid(v) != TYPE_VECTOR || tid(parent(v, 0)) != TYPE_POINT || tid(parent(v, 1)) != TYPE_POINT) return -1;
    return image_point(e, o, 16, rec(e, v), point_rec(e, parent(o, 0)), -1);
  }
  if (is(o, classe_rotation)) {
    const int moved = point_rec(e, parent(o, 0)), centre = point_rec(e, parent(o, 1));
    if (moved < 0 || centre < 0) return -1;
    if (o->methode == 1 && o->nbparents >= 5) {
      // The calculator keeps the vertex of an angle first.
      const int first = point_rec(e, parent(o, 2)), vertex = point_rec(e, parent(o, 3)),
                third = point_rec(e, parent(o, 4));
      if (first < 0 || vertex < 0 || third < 0) return -1;
      const int angle = ti83_angle_record(e, vertex, first, third);
      return image_point(e, o, 17, centre, moved, angle);
    }
    const int number = rec(e, parent(o, 2));
    if (tid(parent(o, 2)) != TYPE_NUMBER || !is_number_record(e, number)) return -1;
    return image_point(e, o, 17, centre, moved, number);
  }
  if (is(o, classe_dilatation) && o->methode == 0) {
    const int number = rec(e, parent(o, 2));
    if (tid(parent(o, 2)) != TYPE_NUMBER || !is_number_record(e, number)) return -1;
    return image_point(e, o, 18, point_rec(e, parent(o, 1)), point_rec(e, parent(o, 0)), number);
  }
  return -1;
}

// The label record of a point written as record `point`.
bool encode_label(ti83_encoder* e, object* o, int point) {
  if (!o->te || !o->te->text || o->te->length <= 0) return true;
  record r = fresh(kText, 0, static_cast<uint8_t>(style(o) | kAnchored));
  r.b[2] = byte_of(point);
  const valeur* p = value(o);
  int dx = 3, dy = -4;
  if (p && !(p->infini_inexist_indetermine & VAL_NOT_EXIST) && !(o->state & OBJ_UNDEFINED)) {
    const double fx = (o->te->pos.x - p->h) * 10 / e->unit + 1;
    const double fy = (o->te->pos.y - p->v) * 10 / e->unit + 1;
    dx = std::isfinite(fx) ? static_cast<int>(std::clamp(fx, -128.0, 127.0)) : 1;
    dy = std::isfinite(fy) ? static_cast<int>(std::clamp(fy, -128.0, 127.0)) : 1;
  }
  r.b[9] = static_cast<uint8_t>(dx);
  r.b[10] = static_cast<uint8_t>(dy);
  int n = 0;
  for (; n < 5 && n < o->te->length && o->te->text[n] != '\0'; ++n)
    r.b[11 + n] = ti83_kernel_to_calculator(static_cast<uint8_t>(o->te->text[n]));
  r.b[8] = ti83_text_width(r.b + 11, static_cast<size_t>(n));
  add(e, r);
  return true;
}

int encode_segment(ti83_encoder* e, object* o) {
  const int a = point_rec(e, parent(o, 0)), b = point_rec(e, parent(o, 1));
  if (a < 0 || b < 0) return -1;
  const int s = ti83_side_record(e, a, b, style(o));
  e->defined_by[o] = {a, b};
  return s;
}

int encode_polygon(ti83_encoder* e, object* o) {
  const int n = o->nbparents;
  if (n != 3 && n != 4) return -1;
  int v[4];
  for (int k = 0; k < n; ++k)
    if ((v[k] = point_rec(e, parent(o, k))) < 0) return -1;
  const uint8_t flags = style(o);
  int side[4];
  for (int k = 0; k < n; ++k) side[k] = ti83_side_record(e, v[k], v[(k + 1) % n], flags);
  record r = fresh(kPolygon, n == 3 ? 0 : 1, flags);
  r.b[2] = byte_of(v[0]);
  r.b[3] = byte_of(v[1]);
  r.b[4] = byte_of(n == 3 ? v[2] : side[2]);
  r.b[6] = byte_of(side[0]);
  r.b[7] = byte_of(side[1]);
  r.b[8] = byte_of(side[2]);
  if (n == 4) {
    r.b[9] = byte_of(side[3]);
    r.b[11] = byte_of(v[2]);
    r.b[12] = byte_of(v[3]);
  }
  uint8_t anchored = kAnchored;
  for (int k = 0; k < n; ++k)
    if (!(e->records[static_cast<size_t>(v[k])].b[5] & kAnchored)) anchored = 0;
  r.b[5] |= anchored;
  return add(e, r);
}

int line_through(ti83_encoder* e, object* o, int a, int b, int third) {
  record r = fresh(kLine, 0, style(o));
  r.b[2] = byte_of(a);
  r.b[3] = byte_of(b);
  if (third >= 0) r.b[4] = byte_of(third);
  r.b[5] |= inherited_anchor(e, r);
  e->defined_by[o] = {a, b};
  return add(e, r);
}

int encode_straight(ti83_encoder* e, object* o) {
  if (is(o, classe_droite) || is(o, classe_demidroite)) {
    const int a = point_rec(e, parent(o, 0));
    if (a < 0) return -1;
    if (o->methode == 1) {
      const int b = point_rec(e, parent(o, 1));
      return b < 0 ? -1 : line_through(e, o, a, b, -1);
    }
    const valeur* p = value(o, 0);
    const valeur* d = value(o, 1);
    if (!p || !d) return -1;
    const int b = free_point_at(e, p->h + d->h, p->v + d->v, 1 | kStyle | kAnchored);
    return line_through(e, o, a, b, -1);
  }
  if (is(o, classe_perpendiculaire) || is(o, classe_parallele)) {
    const int c = point_rec(e, parent(o, 0));
    object* s = parent(o, 1);
    const uint16_t t = tid(s);
    const int axis = axis_of(e, o, 1);
    int a = -1, b = -1;
    const bool straight = t == TYPE_LINE || t == TYPE_RAY || t == TYPE_SEGMENT || t == TYPE_VECTOR || axis != 0;
    const int carrier = axis != 0 ? 2 + axis : rec(e, s);
    if (c < 0 || !straight || !straight_def(e, s, &a, &b, axis) || carrier < 0) return -1;
    const int cp = derived_point(e, a, b, c, is(o, classe_perpendiculaire) ? 20 : 21);
    return line_through(e, o, c, cp, carrier);
  }
  if (is(o, classe_mediatrice)) {
    int a = -1, b = -1, seg = -1;
    if (o->methode == 0) {
      a = point_rec(e, parent(o, 0));
      b = point_rec(e, parent(o, 1));
    } else {
      object* s = parent(o, 0);
      if ((tid(s) != TYPE_SEGMENT && tid(s) != TYPE_VECTOR) || !straight_def(e, s, &a, &b)) return -1;
      seg = rec(e, s);
    }
    if (a < 0 || b < 0) return -1;
    const int mid = derived_point(e, a, b, -1, 13);
    const int turned = derived_point(e, a, b, mid, 20);
    return line_through(e, o, mid, turned, seg);
  }
  if (is(o, classe_bissectrice)) {
    const int first = point_rec(e, parent(o, 0)), vertex = point_rec(e, parent(o, 1)),
              third = point_rec(e, parent(o, 2));
    if (first < 0 || vertex < 0 || third < 0) return -1;
    record r = fresh(kPoint, 1, 1);
    r.b[17] = 22;
    r.b[2] = byte_of(vertex);
    r.b[3] = byte_of(first);
    r.b[4] = byte_of(third);
    const valeur* d = value(o, 1);
    const valeur* at = value(o, 0);
    if (at && d) set_position(e, &r, 0, at->h + d->h, at->v + d->v);
    const int cp = add(e, r);
    return line_through(e, o, vertex, cp, -1);
  }
  return -1;
}

// A circle of the pre-built compass whose radius two points give (its
// methods 0, three points A, B and the centre C, and 1, a segment AB and
// C); null for any other object.
const infomacro* compass_of(const object* o) {
  const infomacro* im = o != nullptr ? o->macro : nullptr;
  if (im == nullptr || optional_classes[0] == nullptr || im->im_class != optional_classes[0]) return nullptr;
  if (im->im_method > 1 || im->im_initials == nullptr) return nullptr;
  return im->im_nb_initials >= (im->im_method == 0 ? 3 : 2) ? im : nullptr;
}

// The compass circle: C moved by the radius vector AB (construction point,
// method 21), then the circle about C through it; with a segment for the
// radius, its record is the circle's third parent.
int encode_compass(ti83_encoder* e, object* o, const infomacro* im) {
  object* segment = im->im_method == 1 ? im->im_initials[0] : nullptr;
  object* a = segment != nullptr ? parent(segment, 0) : im->im_initials[0];
  object* b = segment != nullptr ? parent(segment, 1) : im->im_initials[1];
  object* centre = im->im_method == 1 ? im->im_initials[1] : im->im_initials[2];
  const int ra = point_rec(e, a), rb = point_rec(e, b), rc = point_rec(e, centre);
  const int rs = segment != nullptr ? rec(e, segment) : -1;
  const uint16_t ts = tid(segment);
  if (ra < 0 || rb < 0 || rc < 0) return -1;
  if (segment != nullptr && (rs < 0 || (ts != TYPE_SEGMENT && ts != TYPE_VECTOR) ||
                             e->records[static_cast<size_t>(rs)].b[0] != kSegment))
    return -1;
  const int through = derived_point(e, ra, rb, rc, 21);
  record r = fresh(kCircle, 0, style(o));
  r.b[2] = byte_of(rc);
  r.b[3] = byte_of(through);
  if (rs >= 0) r.b[4] = byte_of(rs);
  r.b[5] |= inherited_anchor(e, r);
  e->defined_by[o] = {rc, through};
  return add(e, r);
}

int encode_circle(ti83_encoder* e, object* o) {
  if (!is(o, classe_cercle)) return -1;
  if (const infomacro* im = compass_of(o); im != nullptr && o->final_no != 0) return encode_compass(e, o, im);
  const int c = point_rec(e, parent(o, 0));
  if (c < 0) return -1;
  int b = -1;
  if (o->methode == 1) {
    b = point_rec(e, parent(o, 1));
  } else {
    const valeur* centre = value(o, 0);
    const valeur* on = value(o, 1);
    if (!centre || !on) return -1;
    const double radius = std::hypot(on->h - centre->h, on->v - centre->v);
    b = free_point_at(e, centre->h + radius, centre->v, static_cast<uint8_t>((style(o) & ~kDotted) | 9));
  }
  if (b < 0) return -1;
  record r = fresh(kCircle, 0, style(o));
  r.b[2] = byte_of(c);
  r.b[3] = byte_of(b);
  r.b[5] |= inherited_anchor(e, r);
  e->defined_by[o] = {c, b};
  return add(e, r);
}

int encode_axes(ti83_encoder* e, object* o) {
  if (o != e->axes || e->records.size() != 1) return -1;
  const valeur* org = value(o, 0);
  const valeur* ux = value(o, 1);
  const valeur* uy = value(o, 2);
  if (!org || !ux || !uy) return -1;
  for (const valeur* u : {ux, uy}) {
    record r = fresh(kPoint, 1, 1);
    set_position(e, &r, 0, org->h + 3.2 * u->h, org->v + 3.2 * u->v);
    add(e, r);
  }
  const uint8_t col = e->records[0].b[7], row = e->records[0].b[10];
  const uint8_t flags = static_cast<uint8_t>(style(o) | 9);
  record x = fresh(kLine, 1, flags);
  x.b[2] = 0;
  x.b[3] = 1;
  x.b[17] = 1;
  x.b[6] = 0, x.b[7] = row, x.b[8] = 95, x.b[9] = row;
  add(e, x);
  record y = fresh(kLine, 2, flags);
  y.b[2] = 0;
  y.b[3] = 2;
  y.b[17] = 4;
  y.b[6] = col, y.b[7] = 0, y.b[8] = col, y.b[9] = 63;
  return add(e, y);
}

// The first line of the text in pieces of at most 8 characters.
int encode_text(ti83_encoder* e, object* o) {
  if (o->nbparents > 0 || o->inserted || !o->te || !o->te->text) return -1;
  std::string line;
  for (int k = 0; k < o->te->length && o->te->text[k] != '\0' && o->te->text[k] != '\r' && o->te->text[k] != '\n'; ++k)
    line += o->te->text[k];
  if (line.find_first_not_of(" \t") == std::string::npos) return -1;
  int col = pixel_of(e, o->te->pos.x, 0);
  const int row = pixel_of(e, o->te->pos.y, 1);
  if (!fits_byte(col) || !fits_byte(row)) return -1;
  int last = -1;
  for (size_t at = 0; at < line.size(); at += 8) {
    if (line.find_first_not_of(" \t", at) == std::string::npos || !fits_byte(col)) break;
    record r = fresh(kText, 1, static_cast<uint8_t>(style(o) | kAnchored));
    r.b[6] = static_cast<uint8_t>(col);
    r.b[7] = static_cast<uint8_t>(row);
    const size_t n = std::min<size_t>(8, line.size() - at);
    for (size_t k = 0; k < n; ++k) r.b[9 + k] = ti83_kernel_to_calculator(static_cast<uint8_t>(line[at + k]));
    r.b[8] = ti83_text_width(r.b + 9, n);
    col += r.b[8];
    last = add(e, r);
  }
  return last;
}

// The formula sub-kind of a calculation "a+b", "a-b", "a*b", "a/b" or
// "sqrt(a)", or -1.
int formula_operation(const object* o) {
  if (!o->parents || o->nbparents < 1) return -1;
  const char* text = reinterpret_cast<const char*>(o->parents[o->nbparents]);
  if (!text) return -1;
  std::string t;
  for (const char* p = text; *p; ++p)
    if (*p != ' ') t += *p;
  if (o->nbparents == 1) return t == "sqrt(a)" ? 12 : -1;
  if (o->nbparents != 2 || t.size() != 3 || t[0] != 'a' || t[2] != 'b') return -1;
  const char* ops = "+-*/";
  const char* at = std::strchr(ops, t[1]);
  return at && *at ? 8 + static_cast<int>(at - ops) : -1;
}

int encode_number(ti83_encoder* e, object* o) {
  record r = fresh(kNumber, 0, static_cast<uint8_t>(style(o) | 9));
  int sub = -1;
  if (is(o, classe_nombre)) {
    sub = 0;
  } else if (is(o, classe_length)) {
    sub = 1;
    if (o->methode == 1) {
      const int a = point_rec(e, parent(o, 0)), b = point_rec(e, parent(o, 1));
      if (a < 0 || b < 0) return -1;
      r.b[2] = byte_of(a), r.b[3] = byte_of(b);
    } else {
      const uint16_t t = tid(parent(o, 0));
      const int p = rec(e, parent(o, 0));
      if ((t != TYPE_CIRCLE && t != TYPE_TRIANGLE && t != TYPE_POLYGON) || p < 0) return -1;
      r.b[2] = byte_of(p);
    }
  } else if (is(o, classe_aire)) {
    sub = 2;
    const uint16_t t = tid(parent(o, 0));
    const int p = rec(e, parent(o, 0));
    if ((t != TYPE_CIRCLE && t != TYPE_TRIANGLE && t != TYPE_POLYGON) || p < 0) return -1;
    r.b[2] = byte_of(p);
  } else if (is(o, classe_pente)) {
    sub = 7;
    const uint16_t t = tid(parent(o, 0));
    const int p = rec(e, parent(o, 0));
    if ((t != TYPE_LINE && t != TYPE_RAY && t != TYPE_SEGMENT && t != TYPE_VECTOR) || p < 0) return -1;
    r.b[4] = byte_of(p);
  } else if (is(o, classe_angleMes) && o->methode == 0) {
    const int first = point_rec(e, parent(o, 0)), vertex = point_rec(e, parent(o, 1)),
              third = point_rec(e, parent(o, 2));
    if (first < 0 || vertex < 0 || third < 0) return -1;
    // The calculator has its own kind for an angle of points on circles.
    bool on_circles = true;
    for (int k = 0; k < 3; ++k)
      on_circles = on_circles && is(parent(o, k), classe_ptsur) && tid(parent(parent(o, k), 0)) == TYPE_CIRCLE;
    sub = on_circles ? 38 : 35;
    r.b[2] = byte_of(vertex), r.b[3] = byte_of(first), r.b[4] = byte_of(third);
  } else if (is(o, classe_calculate)) {
    sub = formula_operation(o);
    if (sub < 0) return -1;
    for (int k = 0; k < o->nbparents; ++k) {
      const int p = rec(e, parent(o, k));
      if (!is_number_record(e, p)) return -1;
      r.b[2 + k] = byte_of(p);
    }
  }
  if (sub < 0) return -1;
  const int decimals = o->settings.nbre_decimales & 0x7F;
  if (decimals >= 1) sub |= 128;
  if (decimals >= 2) sub |= 64;
  r.b[1] = static_cast<uint8_t>(sub);
  if (o->te) {
    const int col = pixel_of(e, o->te->pos.x, 0), row = pixel_of(e, o->te->pos.y, 1);
    if (!fits_byte(col) || !fits_byte(row)) return -1;
    r.b[6] = static_cast<uint8_t>(col);
    r.b[7] = static_cast<uint8_t>(row);
  }
  const valeur* v = value(o);
  double shown_value = v ? v->info.rayon : 0;
  const double factor = measure_unit_factor(o);
  if (factor != 0 && std::isfinite(factor)) shown_value /= factor;
  const double scaled = std::floor(shown_value * 2560 + 0.5);
  if (is(o, classe_nombre) && !(scaled >= -8388608 && scaled <= 8388607)) return -1;
  put24(r.b + 9, std::isfinite(scaled) ? static_cast<int32_t>(std::clamp(scaled, -8388608.0, 8388607.0)) : 0);
  return add(e, r);
}

// The equation of a line or a circle in the figure's own axes.
int encode_equation(ti83_encoder* e, object* o) {
  object* shape = parent(o, 0);
  const uint16_t t = tid(shape);
  if (!is(o, classe_equation) || o->methode != 1 || o->nbparents != 2 || parent(o, 1) != e->axes ||
      (t != TYPE_LINE && t != TYPE_CIRCLE))
    return -1;
  const int r = rec(e, shape);
  if (r <= 4 || static_cast<size_t>(r) >= e->records.size()) return -1;
  const uint8_t flags = static_cast<uint8_t>(style(o) | 9 | (o->math.equa.format != 0 ? kDotted : 0));
  record out = fresh(kNumber, t == TYPE_LINE ? 149 : 150, flags);
  out.b[2] = byte_of(r);
  out.b[4] = byte_of(r);
  if (o->te) {
    const int col = pixel_of(e, o->te->pos.x, 0), row = pixel_of(e, o->te->pos.y, 1);
    if (!fits_byte(col) || !fits_byte(row)) return -1;
    out.b[6] = static_cast<uint8_t>(col);
    out.b[7] = static_cast<uint8_t>(row);
  }
  return add(e, out);
}

// A locus driven by a point on a circle or a straight object, tracing a
// point, a line, a segment or a circle.
int encode_locus(ti83_encoder* e, object* o) {
  if (!is(o, classe_locus) || o->nbparents < 2) return -1;
  object* driver = parent(o, 0);
  object* traced = parent(o, o->nbparents - 1);
  object* carrier = parent(driver, 0);
  const uint16_t tc = tid(carrier), tt = tid(traced);
  if (!is(driver, classe_ptsur)) return -1;
  if (tc != TYPE_CIRCLE && tc != TYPE_SEGMENT && tc != TYPE_VECTOR && tc != TYPE_LINE && tc != TYPE_RAY &&
      tc != TYPE_AXES)
    return -1;
  if (tt != TYPE_POINT && tt != TYPE_CIRCLE && tt != TYPE_LINE && tt != TYPE_SEGMENT && tt != TYPE_VECTOR) return -1;
  const int rd = point_rec(e, driver), rt = rec(e, traced);
  int rc = rec(e, carrier);
  if (tc == TYPE_AXES) rc = (driver->math.side.index == 2) ? 4 : 3;
  if (rd < 0 || rt < 0 || rc < 0 || static_cast<size_t>(rc) >= e->records.size()) return -1;
  record out = fresh(128, 5, style(o));
  out.b[2] = byte_of(rt);
  out.b[3] = byte_of(rd);
  out.b[4] = byte_of(rc);
  const uint8_t kind = e->records[static_cast<size_t>(rc)].b[0];
  if (kind == kCircle) {
    out.b[1] = 6;
    out.b[17] = 36;
  } else if (kind == kLine) {
    out.b[16] = 255;
    out.b[17] = 48;
  } else if (kind == kSegment) {
    out.b[1] = 4;
    out.b[17] = 17;
  }
  return add(e, out);
}

// Springs drive a point on an object through byte 17 of its record.
int encode_spring(ti83_encoder* e, object* o, bool* no_record) {
  *no_record = true;
  object* pt = parent(o, 0);
  const int r = rec(e, pt);
  if (o->nbparents != 1 || !is(pt, classe_ptsur) || !is_point_record(e, r)) return -1;
  object* carrier = parent(pt, 0);
  uint8_t drive = 100;
  if (tid(carrier) != TYPE_CIRCLE) {
    const valeur* s0 = value(o, 0);
    const valeur* s1 = value(o, 1);
    const valeur* first = value(carrier, 0);
    if (!s0 || !s1 || !first) return -1;
    const double sx = s1->h - s0->h, sy = s1->v - s0->v;
    const double px = first->h - s0->h, py = first->v - s0->v;
    drive = sx * py - sy * px > 0 ? 16 : 240;
  }
  e->records[static_cast<size_t>(r)].b[17] = drive;
  return r;
}

// A hidden point on a line or ray through one point, that nothing later
// but the image of a point uses, needs no record of its own: it stands for
// the direction point written for that line, which the calculator shows in
// its place. -1 for any other point.
int hidden_point_stand_in(const ti83_encoder* e, const object* o) {
  if (o->settings.visible != 0 || !is(o, classe_ptsur)) return -1;
  const object* carrier = parent(o, 0);
  const uint16_t t = tid(carrier);
  if ((t != TYPE_LINE && t != TYPE_RAY) || carrier->nbparents != 1) return -1;
  auto def = e->defined_by.find(carrier);
  if (def == e->defined_by.end()) return -1;
  for (const object* later = o->next; later != nullptr; later = later->next) {
    bool uses = false;
    for (int k = 0; k < later->nbparents && !uses; ++k) uses = parent(later, k) == o;
    if (uses && !is(later, classe_translation) && !is(later, classe_symetriquedr) && !is(later, classe_symetrique) &&
        !is(later, classe_rotation) && !is(later, classe_dilatation))
      return -1;
  }
  return def->second.second;
}

bool depends_on_left_out(const ti83_encoder* e, const object* o) {
  for (int k = 0; k < o->nbparents; ++k)
    if (o->parents && e->left_out.count(o->parents[k])) return true;
  return false;
}

}  // namespace

void ti83_encoder::set_context() {
  origin_x = 12032;
  origin_y = 7936;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  axes = fig && fig->first && fig->first->next && fig->first->next->classe == &classe_axe ? fig->first->next : nullptr;
  const valeur* u = axes ? value(axes, 1) : nullptr;
  unit = u ? u->h : 0;
  // The axes' unit comes from the figure; a damaged one must not make every
  // coordinate undefined.
  if (!std::isfinite(unit) || std::fabs(unit) < 1e-9) unit = pixels_per_unit > 0 ? pixels_per_unit : 1;
}

int32_t ti83_encoder::coordinate(double v, int axis) const {
  const double origin = axis == 0 ? origin_x : origin_y;
  const double c = std::floor(origin + v * 2560 / unit + 0.5);
  if (std::isnan(c)) return static_cast<int32_t>(origin);
  return static_cast<int32_t>(std::clamp(c, -8388608.0, 8388607.0));
}

int ti83_side_record(ti83_encoder* e, int a, int b, uint8_t flags) {
  if (e->share_sides)
    for (const auto& row : e->sides)
      if ((row.a == byte_of(a) && row.b == byte_of(b)) || (row.a == byte_of(b) && row.b == byte_of(a))) return row.seg;
  record r = fresh(kSegment, 0, flags);
  r.b[2] = byte_of(a);
  r.b[3] = byte_of(b);
  r.b[17] = 1;
  r.b[5] = static_cast<uint8_t>((flags & ~kAnchored) | inherited_anchor(e, r));
  const int s = add(e, r);
  if (e->share_sides && e->sides.size() < 256) e->sides.push_back({byte_of(a), byte_of(b), byte_of(s)});
  return s;
}

int ti83_angle_record(ti83_encoder* e, int a, int b, int c) {
  if (e->share_angles)
    for (const auto& row : e->angles)
      if (row.a == byte_of(a) && row.b == byte_of(b) && row.c == byte_of(c)) return row.angle;
  record r = fresh(kNumber, 4, 0);
  r.b[2] = byte_of(a);
  r.b[3] = byte_of(b);
  r.b[4] = byte_of(c);
  const int s = add(e, r);
  if (e->share_angles && e->angles.size() < 256) e->angles.push_back({byte_of(a), byte_of(b), byte_of(c), byte_of(s)});
  return s;
}

int ti83_encode_object(object* obj, ti83_encoder* e) {
  if (!obj) return 0;
  const size_t records = e->records.size(), sides = e->sides.size(), angles = e->angles.size();
  int main = -1;
  bool no_record = false;
  bool ok = true;
  bool stand_in = false;
  switch (tid(obj)) {
    case TYPE_POINT:
      if ((main = hidden_point_stand_in(e, obj)) >= 0) {
        stand_in = true;
        break;
      }
      // The hidden steps of the compass are drawn by its own records.
      if (obj->final_no == 0 && compass_of(obj) != nullptr) {
        no_record = true;
        break;
      }
      main = encode_point(e, obj);
      break;
    case TYPE_SEGMENT:
    case TYPE_VECTOR:
      main = is(obj, classe_segment) || is(obj, classe_vecteur) ? encode_segment(e, obj) : -1;
      break;
    case TYPE_TRIANGLE:
    case TYPE_POLYGON:
      main = is(obj, classe_triangle) || is(obj, classe_polygone) ? encode_polygon(e, obj) : -1;
      break;
    case TYPE_LINE:
    case TYPE_RAY:
      main = encode_straight(e, obj);
      break;
    case TYPE_CIRCLE:
      main = encode_circle(e, obj);
      break;
    case TYPE_AXES:
      main = encode_axes(e, obj);
      break;
    case TYPE_TEXT:
      if (obj->nbparents == 0 && obj->inserted && !obj->inserted->next && obj->inserted->obj &&
          tid(obj->inserted->obj) == TYPE_NUMBER && rec(e, obj->inserted->obj) >= 0) {
        // A text that shows one exported value: the calculator shows the
        // value itself.
        no_record = true;
      } else {
        main = encode_text(e, obj);
      }
      break;
    case TYPE_NUMBER:
      main = encode_number(e, obj);
      break;
    case TYPE_EQUATION:
      main = encode_equation(e, obj);
      break;
    case TYPE_LOCUS:
      main = encode_locus(e, obj);
      break;
    case TYPE_SPRING:
      main = encode_spring(e, obj, &no_record);
      break;
    case TYPE_GRID:
    case TYPE_INTERSECTION_SET:
      no_record = true;
      break;
    default:
      ok = false;
  }
  if (ok && !no_record && main < 0) ok = false;
  if (ok && no_record && tid(obj) == TYPE_SPRING && main < 0) ok = false;
  if (ok && tid(obj) == TYPE_POINT && !no_record && !stand_in) ok = encode_label(e, obj, main);
  if (ok && e->records.size() > e->capacity) ok = false;
  if (!ok) {
    e->records.resize(records);
    e->sides.resize(sides);
    e->angles.resize(angles);
    e->defined_by.erase(obj);
    if (records == 0) {
      e->origin_x = 12032;
      e->origin_y = 7936;
    }
    return 0;
  }
  if (main >= 0 && tid(obj) != TYPE_SPRING) e->record_of[obj] = main;
  return 1;
}

// ---------------------------------------------------------------- export

namespace {

// The objects in an order where each comes after its parents; the list is
// left as it is.
std::vector<object*> objects_in_order(kelvo_win_info* fig) {
  std::vector<object*> out;
  std::unordered_set<const object*> placed;
  std::vector<object*> pending;
  for (object* o = fig->first; o; o = o->next) pending.push_back(o);
  bool progress = true;
  while (!pending.empty() && progress) {
    progress = false;
    std::vector<object*> rest;
    for (object* o : pending) {
      bool ready = true;
      for (int k = 0; k < o->nbparents && ready; ++k)
        if (o->parents && o->parents[k] && o->parents[k] != o && !placed.count(o->parents[k])) ready = false;
      if (ready) {
        out.push_back(o);
        placed.insert(o);
        progress = true;
      } else {
        rest.push_back(o);
      }
    }
    pending.swap(rest);
  }
  for (object* o : pending) out.push_back(o);
  return out;
}

void show_message(const char* text) { KPDialog::messageBox(text, kernel_string(0), 3); }

}  // namespace

int ti83_check_exportable(ti83_encoder* e, uint32_t* record_count) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  clear_selection();
  if (!fig) return 0;
  // Everything the file goes without is named: the objects the calculator
  // cannot show and those built on them.
  std::vector<object*> listed;
  size_t failed = 0;
  bool too_many = false;
  *record_count = 0;
  for (object* o : objects_in_order(fig)) {
    if (depends_on_left_out(e, o)) {
      e->left_out.insert(o);
      listed.push_back(o);
      continue;
    }
    // Springs write no record of their own, so a full image still takes them.
    const bool fails = (e->records.size() >= 257 && tid(o) != TYPE_SPRING) || ti83_encode_object(o, e) == 0;
    if (!fails) {
      if (e->records.size() <= kTi83MaxRecords)
        *record_count = static_cast<uint32_t>(e->records.size());
      else
        too_many = true;
      continue;
    }
    e->left_out.insert(o);
    select_figure_object(o, 0, 1);
    ++failed;
    listed.push_back(o);
  }
  if (e->records.size() > kTi83MaxRecords) too_many = true;
  if (failed > 0 || too_many) {
    if (!too_many)
      compose_left_out_question(listed);
    else
      message_compose(kernel_string(769), "", "", "");
    if (message_show(131) != 1) {
      clear_selection();
      return 0;
    }
  }
  return 1;
}

int ti83_build_file(const char* file_name, char** image, uint32_t* length) {
  *length = 0;
  ti83_encoder e;
  e.set_context();
  uint8_t header[kTi83HeaderSize];
  ti83_fill_header_v2(header);
  uint32_t counted = 0;
  if (!ti83_check_exportable(&e, &counted)) return 0;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();

  // The writing pass starts again from nothing, so both passes share
  // records alike; it never writes more than it counted.
  const std::unordered_set<const object*> left_out = std::move(e.left_out);
  e = ti83_encoder{};
  e.set_context();
  e.left_out = left_out;
  e.capacity = counted;
  for (object* o : objects_in_order(fig)) {
    if (e.left_out.count(o) || depends_on_left_out(&e, o)) {
      e.left_out.insert(o);
      continue;
    }
    // Once the counted records are written, only springs, which write no
    // record of their own, still go in.
    if (e.records.size() >= counted && tid(o) != TYPE_SPRING) continue;
    ti83_encode_object(o, &e);
  }
  clear_selection();
  const auto n = static_cast<uint32_t>(std::min<size_t>(e.records.size(), counted));
  const uint32_t size = ti83_file_size(n);
  auto* out = static_cast<uint8_t*>(GlobalAlloc(GPTR, size + 1));
  if (!out) return 0;
  std::memcpy(out, header, kTi83HeaderSize);
  for (uint32_t k = 0; k < n; ++k) std::memcpy(out + kTi83HeaderSize + 18 * k, e.records[k].b, 18);
  const int renamed = ti83_variable_name(file_name, out + 60);
  if (renamed) {
    char name[9] = {};
    std::memcpy(name, out + 60, 8);
    show_message(format_percent_args(kernel_string(771), name));
  }
  ti83_finish_image(out, n);
  *image = reinterpret_cast<char*>(out);
  *length = size;
  return 1;
}

int ti83_export_figure(const char* file_name) {
  if (!KPGeoDocument::currentInfo()) return 0;
  char* image = nullptr;
  uint32_t length = 0;
  if (!ti83_build_file(file_name, &image, &length)) return 2;
  free_file_image();
  file_buffer = image;
  file_buffer_len = length;
  return 0;
}
