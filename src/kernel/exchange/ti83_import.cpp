#include "kernel/exchange/ti83_import.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/ti83_container.h"
#include "kernel/files/text_convert.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/measure/formula_text.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/recompute.h"
#include "kernel/model/units.h"
#include "kernel/objects/axes_type.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/fonts.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/labels.h"
#include "kernel/text/reference_marker.h"
#include "kernel/text/text_editing.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/geometric_handlers.h"
#include "kernel/tools/handler_helpers.h"
#include "kernel/tools/tool_state.h"
#include "platform/kernel_services.h"
#include "platform/kp_dialog.h"

namespace {

constexpr uint8_t kPoint = 1, kSegment = 2, kLine = 4, kPolygon = 8, kCircle = 16, kText = 32, kNumber = 64;
constexpr uint8_t kNone = 255;
constexpr uint32_t kMeasureShownInText = 2 | 4;

enum error_code { kOk = 0, kUnknownKind = 1, kUnknownSub = 2, kBadParent = 3 };
// The language rows of the message of a record that cannot be mapped.
constexpr int kRowUnknownKind = 213, kRowUnknownSub = 214, kRowBadParent = 215;
constexpr int kRowIndexLabel = 216, kRowTypeLabel = 217, kRowMethodLabel = 155;

uint16_t tid(const object* o) { return o && o->otype ? o->otype->id : 0; }

struct import_state {
  const uint8_t* records = nullptr;  // record 0
  uint32_t count = 0;
  int version = 2;
  double scale = 1;
  std::vector<object*> table;
  std::vector<std::pair<int, int>> vector_ends;
  std::vector<object*> vectors;
  object* axes = nullptr;
  car_info format{};
  int error = kOk;
  uint32_t failed_at = 0;

  const uint8_t* rec(uint32_t i) const { return records + 18 * i; }
  uint8_t shown_bit() const { return version == 2 ? 2 : 4; }
  uint8_t dotted_bit() const { return version == 2 ? 16 : 8; }
  uint8_t spring_byte() const { return version == 2 ? 17 : 16; }
};

int16_t s16(const uint8_t* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }

double fig_x(const import_state& s, const uint8_t* r, int k = 0) {
  if (s.version == 2) return (ti83_read_s24(r + 6 + 6 * k) - 12032) / 2560.0 * s.scale;
  return (s16(r + 10 + 4 * k) - 752) / 160.0 * s.scale;
}
double fig_y(const import_state& s, const uint8_t* r, int k = 0) {
  if (s.version == 2) return (ti83_read_s24(r + 9 + 6 * k) - 7936) / 2560.0 * s.scale;
  return (s16(r + 12 + 4 * k) - 496) / 160.0 * s.scale;
}

// The parent test: an earlier record of one of the kinds of the mask, whose
// object exists when one is needed.
bool parent_ok(const import_state& s, uint8_t p, uint32_t i, uint8_t mask) {
  return p < i && (s.rec(p)[0] & mask) != 0;
}

object* entry(const import_state& s, uint8_t p) { return p < s.table.size() ? s.table[p] : nullptr; }

bool is_construction_point(const import_state& s, uint8_t p) {
  return p < s.count && s.rec(p)[0] == kPoint && s.rec(p)[1] == 1;
}

uint16_t axis_tag(const import_state& s, uint8_t p) {
  if (s.version == 2) return p < 5 && p >= 3 ? static_cast<uint16_t>(p - 2) : 0;
  return p < 3 && p >= 1 ? p : 0;
}

// The construction being prepared for a record.
struct construction {
  construct_class* cls = nullptr;
  uint16_t method = 0;
  std::vector<std::pair<object*, uint16_t>> args;
  int nbvals = 0;
  double x = 0, y = 0;
  bool missing = false;  // an argument whose object never materialised

  void add(object* o, uint16_t tag = 0) {
    if (!o) missing = true;
    args.emplace_back(o, tag);
  }
};

void clear_construction() {
  current_class = nullptr;
  if (kelvo_win_info* fig = KPGeoDocument::currentInfo()) objlist_clear(fig->inputs);
}

object* build(const construction& c, uint8_t compute, uint8_t skip_identical = 1) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !c.cls || c.missing) return nullptr;
  current_class = c.cls;
  objlist_clear(fig->inputs);
  for (const auto& [o, tag] : c.args) objlist_add(fig->inputs, o, tag);
  for (valeur& r : rubber_points) r = valeur{};
  rubber_points[0].h = c.x;
  rubber_points[0].v = c.y;
  variable_nb_values = static_cast<int16_t>(c.nbvals);
  uint16_t created = 0;
  object* o = create_object(c.method, &created, compute, 1, skip_identical);
  clear_construction();
  return o;
}

void set_frame(const import_state& s, const uint8_t* r) {
  const int8_t col = static_cast<int8_t>(r[6]), row = static_cast<int8_t>(r[7]);
  const double left = std::floor((col - 47) / 10.0 * s.scale + 0.5);
  const double top = std::floor((row - 31) / 10.0 * s.scale + 0.5);
  const double w = r[8] != 0 ? r[8] / 10.0 : 3;
  measure_text_rect.left = static_cast<int32_t>(left);
  measure_text_rect.top = static_cast<int32_t>(top);
  measure_text_rect.right = static_cast<int32_t>(left + std::floor(w * s.scale + 0.5));
  measure_text_rect.bottom = static_cast<int32_t>(top + static_cast<int32_t>(s.scale / 3));
}

// The record's string from byte `from` to its end (or its first zero),
// converted to kernel characters; the image is left alone.
std::string record_string(const uint8_t* r, int from, int to = 18) {
  std::string out;
  for (int k = from; k < to && r[k] != 0; ++k)
    out += static_cast<char>(ti83_calculator_to_kernel(r[k]));
  return out;
}

void give_text(object* o, const std::string& text, const car_info& format) {
  if (!o || !o->te) return;
  set_text_record_text(o->te, text.c_str());
  o->te->format = format;
  o->te->edit_flags |= 1;
  o->te->needs_regen = 1;
}

// A point on the object of record `carrier`, at the coordinates of record
// `own`.
object* point_on_object(import_state& s, uint8_t carrier, uint32_t own) {
  object* on = entry(s, carrier);
  if (!on) return nullptr;
  int method = -1;
  for (int k = 0; method < 0 && k < class_method_count(&classe_ptsur); ++k) {
    const construct_method* m = class_method(&classe_ptsur, k);
    for (const TYPEOBJ* a = m && m->args ? m->args : nullptr; a && *a; ++a)
      if ((*a % 0x4000) == tid(on)) {
        method = k;
        break;
      }
  }
  if (method < 0) return nullptr;
  construction c;
  c.cls = &classe_ptsur;
  c.method = static_cast<uint16_t>(method);
  c.add(on);
  c.x = fig_x(s, s.rec(own));
  c.y = fig_y(s, s.rec(own));
  c.nbvals = 2;
  if (tid(on) == TYPE_AXES) {
    object* pt = build(c, 0);
    if (!pt) return nullptr;
    const int side = s.version == 2 ? carrier - 2 : carrier;
    pt->math.side.index = static_cast<uint8_t>(side == 2 ? 2 : 1);
    init_axes_graduation(pt);
    return pt;
  }
  return build(c, 1);
}

// The coordinates of a point shown in a text "(x; y)".
object* point_coordinates(import_state& s, object* point) {
  if (!point || !s.axes || !point->valeurs) return nullptr;
  measure_text_rect.left = static_cast<int32_t>(point->valeurs[0].h);
  measure_text_rect.top = static_cast<int32_t>(point->valeurs[0].v);
  measure_text_rect.right = measure_text_rect.left + 100;
  measure_text_rect.bottom = measure_text_rect.top + 20;
  construction c;
  c.cls = &classe_equation;
  c.add(point);
  c.add(s.axes);
  object* parts[2] = {};
  for (int k = 0; k < 2; ++k) {
    parts[k] = build(c, 0, 0);
    if (!parts[k]) return nullptr;
    parts[k]->math.equa.format = k == 0 ? 1 : 0;
    recompute_object(parts[k]);
    parts[k]->aux2 |= kMeasureShownInText;
  }
  construction t;
  t.cls = &classe_text;
  t.nbvals = 3;
  t.add(point);
  object* text = build(t, 0, 0);
  if (!text) return nullptr;
  std::string body = "(";
  body += format_reference_marker(add_text_reference(parts[0], &text->inserted));
  body += list_separator;
  body += ' ';
  body += format_reference_marker(add_text_reference(parts[1], &text->inserted));
  body += ")";
  give_text(text, body, s.format);
  recompute_object(text);
  return text;
}

// A compass circle of the pre-built class: method 0 from three points,
// 1 from a segment and a centre.
object* compass_circle(import_state& s, int method, std::vector<object*> args, uint32_t i, uint8_t cp) {
  if (!install_optional_class(0, 0) || !optional_classes[0]) return nullptr;
  for (object* a : args)
    if (!a) return nullptr;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  current_class = optional_classes[0];
  objlist_clear(fig->inputs);
  for (object* a : args) objlist_add(fig->inputs, a, 0);
  object* made = apply_macro(static_cast<int16_t>(method), 0);
  clear_construction();
  if (!made) return nullptr;
  object* circle = last_object();
  s.table[i] = circle;
  if (cp < s.count && circle && circle->prev) s.table[cp] = circle->prev;
  const uint8_t* r = s.rec(i);
  if (circle && !(r[5] & s.shown_bit())) circle->settings.visible = 0;
  if (circle && (r[5] & s.dotted_bit())) circle->settings.dot_style = dash_table[1];
  return circle;
}

// The intersection point of the objects of records p1 and p2.
object* intersection(import_state& s, uint8_t p1, uint8_t p2, uint32_t index, uint32_t i) {
  object* a = entry(s, p1);
  object* b = entry(s, p2);
  if (!a || !b) return nullptr;
  object* set = get_intersection_set(a, b, nullptr);
  if (!set) return nullptr;
  construction c;
  c.cls = &classe_ptint;
  c.add(set);
  c.x = fig_x(s, s.rec(i));
  c.y = fig_y(s, s.rec(i));
  object* pt = build(c, 1);
  if (!pt) return nullptr;
  valeur at{};
  at.h = c.x;
  at.v = c.y;
  add_intersection_record(set, index, &at, pt);
  pt->math.inter_index = index;
  recompute_object(set);
  recompute_object(pt);
  return pt;
}

// The vector from a to b shared by every translation along it.
object* shared_vector(import_state& s, uint8_t a, uint8_t b) {
  for (size_t k = 0; k < s.vector_ends.size(); ++k)
    if (s.vector_ends[k] == std::pair<int, int>(a, b)) return s.vectors[k];
  construction c;
  c.cls = &classe_vecteur;
  c.add(entry(s, a));
  c.add(entry(s, b));
  object* v = build(c, 1);
  if (v && s.vectors.size() < 256) {
    s.vector_ends.emplace_back(a, b);
    s.vectors.push_back(v);
  }
  return v;
}

void set_formula(construction* c, uint8_t sub, int parents, int version) {
  std::string text;
  if (parents == 1) {
    text = "sqrt(a)";
  } else {
    char op = '+';
    if (version == 2) {
      const uint8_t low = sub & 15;
      op = low == 9 ? '-' : low == 10 ? '*' : low == 11 ? '/' : '+';
    } else {
      op = sub == 42 ? '*' : sub == 45 ? '-' : sub == 47 ? '/' : '+';
    }
    text = std::string("a") + op + "b";
  }
  auto* block = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(text.size() + 1)));
  if (block) std::memcpy(block, text.c_str(), text.size() + 1);
  pending_extra[0] = block;
  pending_extra[1] = nullptr;
  c->cls = &classe_calculate;
  c->nbvals = 1;
}

// ------------------------------------------------------------ version 2

// Chooses the construction of record i of a version-2 file. Answers true
// when the record is handled completely here (or makes nothing).
bool choose_v2(import_state& s, uint32_t i, construction* c, bool* done) {
  const uint8_t* r = s.rec(i);
  const uint8_t kind = r[0], sub = r[1], p1 = r[2], p2 = r[3], p3 = r[4];
  auto need = [&](uint8_t p, uint8_t mask) {
    if (s.error == kOk && !parent_ok(s, p, i, mask)) s.error = kBadParent;
    return s.error == kOk;
  };
  *done = false;
  c->x = fig_x(s, r);
  c->y = fig_y(s, r);
  switch (kind) {
    case kPoint:
      switch (sub) {
        case 0:
          c->cls = &classe_point;
          return true;
        case 1:
          *done = true;
          return true;
        case 4: case 5: case 6: {
          const uint8_t mask = sub == 4 ? kSegment : sub == 5 ? kLine : kCircle;
          if (!need(p3, mask)) return false;
          object* pt = point_on_object(s, p3, i);
          if (!pt) {
            s.error = kBadParent;
            return false;
          }
          s.table[i] = pt;
          c->cls = &classe_ptsur;
          return true;
        }
        case 8: case 9: case 10: case 11: {
          if (!need(p1, 0x16) || !need(p2, sub == 8 ? 6 : 0x10)) return false;
          const uint16_t t = tid(entry(s, p1));
          uint32_t index = 0;
          if (t == TYPE_LINE || t == TYPE_AXES)
            index = sub == 10 ? 0x10000 : 0;
          else if (t == TYPE_CIRCLE)
            index = sub == 9 ? 0 : 0x10000;
          else
            index = sub == 9 ? 0x10000 : 0;
          if (p1 == 4) index += 1;
          if (p2 == 4) index += 0x10000;
          object* pt = intersection(s, p1, p2, index, i);
          if (!pt) {
            s.error = kBadParent;
            return false;
          }
          s.table[i] = pt;
          c->cls = &classe_ptint;
          return true;
        }
        case 13:
          if (!need(p1, kPoint) || !need(p2, kPoint)) return false;
          c->cls = &classe_milieu;
          if (p3 == kNone) {
            c->add(entry(s, p1));
            c->add(entry(s, p2));
          } else {
            if (!need(p3, kSegment)) return false;
            c->method = 1;
            c->add(entry(s, p3));
          }
          return true;
        case 14:
          if (!need(p1, kPoint) || !need(p2, kPoint)) return false;
          c->cls = &classe_symetrique;
          c->add(entry(s, p2));
          c->add(entry(s, p1));
          return true;
        case 15:
          if (!need(p1, 6) || !need(p2, kPoint)) return false;
          c->cls = &classe_symetriquedr;
          c->add(entry(s, p2));
          c->add(entry(s, p1), axis_tag(s, p1));
          return true;
        case 16: {
          if (!need(p1, 3) || !need(p2, kPoint)) return false;
          uint8_t a = 0, b = 0, moved = 0;
          if (p3 == kNone) {
            a = s.rec(p1)[2];
            b = s.rec(p1)[3];
            moved = p2;
          } else {
            if (!need(p3, kPoint)) return false;
            a = p1, b = p2, moved = p3;
          }
          if (!parent_ok(s, a, i, kPoint) || !parent_ok(s, b, i, kPoint)) {
            s.error = kBadParent;
            return false;
          }
          object* v = shared_vector(s, a, b);
          if (!v) {
            s.error = kBadParent;
            return false;
          }
          c->cls = &classe_translation;
          c->add(entry(s, moved));
          c->add(v);
          return true;
        }
        case 17:
        case 18:
          if (!need(p1, kPoint) || !need(p2, kPoint) || !need(p3, kNumber)) return false;
          c->cls = sub == 17 ? &classe_rotation : &classe_dilatation;
          c->add(entry(s, p2));
          c->add(entry(s, p1));
          if (sub == 17 && s.rec(p3)[1] == 4) {
            const uint8_t* angle = s.rec(p3);
            c->method = 1;
            for (uint8_t q : {angle[3], angle[2], angle[4]}) {
              if (!parent_ok(s, q, p3, kPoint)) {
                s.error = kBadParent;
                return false;
              }
              c->add(entry(s, q));
            }
          } else {
            c->add(entry(s, p3));
          }
          return true;
        default:
          s.error = kUnknownSub;
          return false;
      }
    case kSegment:
      if (sub != 0) {
        s.error = kUnknownSub;
        return false;
      }
      if (!need(p1, kPoint) || !need(p2, kPoint)) return false;
      c->cls = &classe_segment;
      c->add(entry(s, p1));
      c->add(entry(s, p2));
      return true;
    case kLine: {
      if (!need(p1, kPoint) || !need(p2, kPoint)) return false;
      if (is_construction_point(s, p2)) {
        const uint8_t* cp = s.rec(p2);
        if (cp[17] == 20 && is_construction_point(s, p1)) {
          c->cls = &classe_mediatrice;
          if (p3 == kNone) {
            const uint8_t* mid = s.rec(p1);
            if (!parent_ok(s, mid[2], p1, kPoint) || !parent_ok(s, mid[3], p1, kPoint)) {
              s.error = kBadParent;
              return false;
            }
            c->add(entry(s, mid[2]));
            c->add(entry(s, mid[3]));
          } else {
            if (!need(p3, kSegment)) return false;
            c->method = 1;
            c->add(entry(s, p3));
          }
        } else if (cp[17] == 20 || cp[17] == 21) {
          if (!need(p3, 6)) return false;
          c->cls = cp[17] == 20 ? &classe_perpendiculaire : &classe_parallele;
          c->add(entry(s, p3), axis_tag(s, p3));
          c->add(entry(s, p1));
        } else if (cp[17] == 22) {
          c->cls = &classe_bissectrice;
          for (uint8_t q : {cp[3], cp[2], cp[4]}) {
            if (!parent_ok(s, q, p2, kPoint)) {
              s.error = kBadParent;
              return false;
            }
            c->add(entry(s, q));
          }
        }
      }
      if (!c->cls && sub != 1 && sub != 2) {
        c->cls = &classe_droite;
        c->method = 1;
        c->add(entry(s, p1));
        c->add(entry(s, p2));
      }
      if (!c->cls) *done = true;
      return true;
    }
    case kPolygon:
      if (sub == 0) {
        if (!need(p1, kPoint) || !need(p2, kPoint) || !need(p3, kPoint)) return false;
        c->cls = &classe_triangle;
        for (uint8_t q : {p1, p2, p3}) c->add(entry(s, q));
        return true;
      }
      if (sub == 1) {
        if (!need(p1, kPoint) || !need(p2, kPoint) || !need(p3, kSegment)) return false;
        const uint8_t* side = s.rec(p3);
        if (!parent_ok(s, side[2], p3, kPoint) || !parent_ok(s, side[3], p3, kPoint)) {
          s.error = kBadParent;
          return false;
        }
        c->cls = &classe_polygone;
        c->nbvals = 5;
        for (uint8_t q : {p1, p2, side[2], side[3]}) c->add(entry(s, q));
        return true;
      }
      s.error = kUnknownSub;
      return false;
    case kCircle:
      if (!need(p1, kPoint) || !need(p2, kPoint)) return false;
      if (is_construction_point(s, p2)) {
        const uint8_t* cp = s.rec(p2);
        object* made = nullptr;
        if (p3 == kNone) {
          if (parent_ok(s, cp[2], p2, kPoint) && parent_ok(s, cp[3], p2, kPoint))
            made = compass_circle(s, 0, {entry(s, cp[2]), entry(s, cp[3]), entry(s, p1)}, i, p2);
        } else if (parent_ok(s, p3, i, kSegment)) {
          made = compass_circle(s, 1, {entry(s, p3), entry(s, p1)}, i, p2);
        }
        if (!made) s.error = kBadParent;
        *done = true;
        return s.error == kOk;
      }
      c->cls = &classe_cercle;
      c->method = 1;
      c->add(entry(s, p1));
      c->add(entry(s, p2));
      return true;
    case kText:
      if (sub == 0) {
        if (!need(p1, kPoint)) return false;
        c->cls = &classe_label;  // labels are handled apart
        return true;
      }
      if (sub == 1) {
        c->cls = &classe_text;
        c->nbvals = 1;
        set_frame(s, r);
        return true;
      }
      s.error = kUnknownSub;
      return false;
    case kNumber: {
      const uint8_t op = sub & 31;
      set_frame(s, r);
      c->nbvals = 1;
      switch (op) {
        case 0:
          c->cls = &classe_nombre;
          return true;
        case 1:
          if (!need(p1, 0x19)) return false;
          c->cls = &classe_length;
          c->add(entry(s, p1));
          if (s.rec(p1)[0] == kPoint) {
            if (!need(p2, kPoint)) return false;
            c->method = 1;
            c->add(entry(s, p2));
          }
          return true;
        case 2:
          if (!need(p1, 0x18)) return false;
          c->cls = &classe_aire;
          c->add(entry(s, p1));
          return true;
        case 3:
        case 6:
          if (!need(p1, kPoint) || !need(p2, kPoint) || !need(p3, kPoint)) return false;
          c->cls = &classe_angleMes;
          for (uint8_t q : {p2, p1, p3}) c->add(entry(s, q));
          return true;
        case 4:
          *done = true;
          return true;
        case 7:
          if (!need(p3, 6)) return false;
          if (p3 > 4) {
            c->cls = &classe_pente;
            c->add(entry(s, p3));
          } else {
            *done = true;
          }
          return true;
        case 8: case 9: case 10: case 11: case 12: case 13: {
          const bool one = (sub & 15) == 12;
          if (!need(p1, kNumber) || (!one && !need(p2, kNumber))) return false;
          if (!entry(s, p1) || (!one && !entry(s, p2))) {
            *done = true;
            return true;
          }
          c->add(entry(s, p1));
          if (!one) c->add(entry(s, p2));
          set_formula(c, sub, one ? 1 : 2, 2);
          return true;
        }
        case 20: {
          if (!need(p1, kPoint)) return false;
          object* text = point_coordinates(s, entry(s, p1));
          if (!text) {
            s.error = kBadParent;
            return false;
          }
          s.table[i] = text;
          if (!(r[5] & s.shown_bit())) text->settings.visible = 0;
          *done = true;
          return true;
        }
        case 21:
        case 22:
          if (p1 <= 4) {
            *done = true;
            return true;
          }
          if (!need(p3, op == 21 ? kLine : kCircle)) return false;
          c->cls = &classe_equation;
          c->method = 1;
          c->add(entry(s, p3));
          c->add(s.axes);
          c->x = measure_text_rect.left;
          c->y = measure_text_rect.top;
          return true;
        default:
          s.error = kUnknownSub;
          return false;
      }
    }
    case 128: {
      if (!need(p1, 0x17) || !need(p2, kPoint)) return false;
      c->cls = &classe_locus;
      c->nbvals = 20;
      object* traced = entry(s, p1);
      object* driver = entry(s, p2);
      kelvo_win_info* fig = KPGeoDocument::currentInfo();
      objlist_clear(fig->inputs);
      const int16_t n = traced && driver ? collect_dependency_chain(driver, traced) : 0;
      if (n > 0) {
        for (int k = 0; fig->inputs->items && fig->inputs->items[k]; ++k) c->add(fig->inputs->items[k]);
      } else {
        c->add(traced);
        c->add(driver);
      }
      objlist_clear(fig->inputs);
      return true;
    }
    default:
      s.error = kUnknownKind;
      return false;
  }
}

// ------------------------------------------------------------ version 1

bool choose_v1(import_state& s, uint32_t i, construction* c, bool* done, bool* skip_next) {
  const uint8_t* r = s.rec(i);
  const uint8_t kind = r[0], sub = r[1], p1 = r[2], p2 = r[3], p3 = r[4];
  auto need = [&](uint8_t p, uint8_t mask) {
    if (s.error == kOk && !parent_ok(s, p, i, mask)) s.error = kBadParent;
    return s.error == kOk;
  };
  auto bad = [&] {
    s.error = kBadParent;
    return false;
  };
  *done = false;
  c->x = fig_x(s, r);
  c->y = fig_y(s, r);
  switch (kind) {
    case kPoint:
      switch (sub) {
        case 0:
          c->cls = &classe_point;
          return true;
        case 1: case 2:
          if (p2 != kNone) {
            *done = true;
            return true;
          }
          if (!need(p1, 0x16)) return false;
          if (object* pt = point_on_object(s, p1, i)) {
            s.table[i] = pt;
            c->cls = &classe_ptsur;
            return true;
          }
          return bad();
        case 4: case 5: case 6: case 7: {
          if (!need(p1, 0x16) || !need(p2, sub == 4 ? 6 : 0x10)) return false;
          object* first = entry(s, p1);
          uint32_t index = 0;
          if ((first && first->classe == &classe_droite) || tid(first) == TYPE_AXES)
            index = sub == 6 ? 0x10000 : 0;
          else
            index = sub == 5 ? 0x10000 : 0;
          if (p1 == 2) index += 1;
          if (p2 == 2) index += 0x10000;
          object* pt = intersection(s, p1, p2, index, i);
          if (!pt) return bad();
          s.table[i] = pt;
          c->cls = &classe_ptint;
          return true;
        }
        case 10: case 11:
          if (!need(p1, kPoint) || !need(p2, kPoint)) return false;
          c->cls = sub == 10 ? &classe_milieu : &classe_symetrique;
          c->add(entry(s, p1));
          c->add(entry(s, p2));
          return true;
        case 12:
          if (!need(p1, kPoint) || !need(p2, 6)) return false;
          c->cls = &classe_symetriquedr;
          c->add(entry(s, p1));
          c->add(entry(s, p2), axis_tag(s, p2));
          return true;
        case 13: {
          if (!need(p1, kPoint) || !need(p2, kPoint) || !need(p3, kPoint)) return false;
          object* v = shared_vector(s, p2, p3);
          if (!v) return bad();
          c->cls = &classe_translation;
          c->add(entry(s, p1));
          c->add(v);
          return true;
        }
        case 14: {
          if (!need(p1, kPoint) || !need(p2, kPoint) || !need(p3, kPolygon)) return false;
          const uint8_t* angle = s.rec(p3);
          if (angle[1] != 3) return bad();
          c->cls = &classe_rotation;
          c->method = 1;
          c->add(entry(s, p1));
          c->add(entry(s, p2));
          for (uint8_t q : {angle[2], angle[3], angle[4]}) {
            if (!parent_ok(s, q, p3, kPoint)) return bad();
            c->add(entry(s, q));
          }
          return true;
        }
        case 15:
          if (!need(p1, kPoint) || !need(p2, kPoint) || !need(p3, kNumber)) return false;
          c->cls = &classe_dilatation;
          for (uint8_t q : {p1, p2, p3}) c->add(entry(s, q));
          return true;
        default:
          s.error = kUnknownSub;
          return false;
      }
    case kSegment:
      if (sub != 0) {
        s.error = kUnknownSub;
        return false;
      }
      if (!need(p1, kPoint) || !need(p2, kPoint)) return false;
      c->cls = &classe_segment;
      c->add(entry(s, p1));
      c->add(entry(s, p2));
      return true;
    case kLine:
      switch (sub) {
        case 0:
          if (!need(p1, kPoint) || !need(p2, kPoint)) return false;
          c->cls = &classe_droite;
          c->method = 1;
          c->add(entry(s, p1));
          c->add(entry(s, p2));
          return true;
        case 1: case 2:
          *done = true;
          return true;
        case 5:
          if (!need(p1, kPoint) || !need(p2, kPoint)) return false;
          c->cls = &classe_mediatrice;
          c->add(entry(s, p1));
          c->add(entry(s, p2));
          return true;
        case 6:
          if (!need(p1, kPoint) || !need(p2, kPoint) || !need(p3, kPoint)) return false;
          c->cls = &classe_bissectrice;
          for (uint8_t q : {p1, p2, p3}) c->add(entry(s, q));
          return true;
        case 7: case 8:
          if (!need(p1, 6) || !need(p2, kPoint)) return false;
          c->cls = sub == 7 ? &classe_parallele : &classe_perpendiculaire;
          c->add(entry(s, p1), axis_tag(s, p1));
          c->add(entry(s, p2));
          return true;
        default:
          s.error = kUnknownSub;
          return false;
      }
    case kPolygon:
      switch (sub) {
        case 0:
          if (!need(p1, kPoint) || !need(p2, kPoint) || !need(p3, kPoint)) return false;
          c->cls = &classe_triangle;
          for (uint8_t q : {p1, p2, p3}) c->add(entry(s, q));
          return true;
        case 1: {
          if (!need(p1, kPolygon) || !need(p2, kPoint)) return false;
          const uint8_t* tri = s.rec(p1);
          if (tri[1] != 2) return bad();
          c->cls = &classe_polygone;
          c->nbvals = 5;
          for (uint8_t q : {tri[2], tri[3], tri[4]}) {
            if (!parent_ok(s, q, p1, kPoint)) return bad();
            c->add(entry(s, q));
          }
          c->add(entry(s, p2));
          return true;
        }
        case 2: case 3:
          if (!need(p1, kPoint) || !need(p2, kPoint) || !need(p3, kPoint)) return false;
          *done = true;
          return true;
        default:
          s.error = kUnknownSub;
          return false;
      }
    case kCircle:
      switch (sub) {
        case 0: {
          if (!need(p1, kPoint) || !need(p2, kPoint)) return false;
          const uint8_t* second = s.rec(p2);
          if (second[1] == 2) {
            object* made = nullptr;
            if (parent_ok(s, second[2], p2, kPoint) && parent_ok(s, second[3], p2, kPoint))
              made = compass_circle(s, 0, {entry(s, second[2]), entry(s, second[3]), entry(s, p1)}, i, p2);
            if (!made) return bad();
            *done = true;
            return true;
          }
          c->cls = &classe_cercle;
          c->method = 1;
          c->add(entry(s, p1));
          c->add(entry(s, p2));
          return true;
        }
        case 2:
          *done = true;
          return true;
        case 3: {
          if (!need(p1, kPoint) || !need(p2, kPoint) || !need(p3, kPoint)) return false;
          if (!compass_circle(s, 0, {entry(s, p1), entry(s, p2), entry(s, p3)}, i, kNone)) return bad();
          *done = true;
          return true;
        }
        default:
          s.error = kUnknownSub;
          return false;
      }
    case kText:
      switch (sub) {
        case 0:
          if (!need(p1, kPoint)) return false;
          c->cls = &classe_label;
          return true;
        case 1:
          c->cls = &classe_text;
          c->nbvals = 1;
          set_frame(s, r);
          return true;
        case 2: {
          if (!need(p1, kPoint)) return false;
          object* text = point_coordinates(s, entry(s, p1));
          if (!text) return bad();
          s.table[i] = text;
          if (!(r[5] & s.shown_bit())) text->settings.visible = 0;
          *done = true;
          return true;
        }
        case 3: case 4:
          if (p1 < 3) {
            *done = true;
            *skip_next = true;
            return true;
          }
          if (!need(p1, sub == 3 ? kLine : kCircle)) return false;
          set_frame(s, r);
          c->cls = &classe_equation;
          c->method = 1;
          c->add(entry(s, p1));
          c->add(s.axes);
          c->x = measure_text_rect.left;
          c->y = measure_text_rect.top;
          return true;
        case 32: {
          if (!need(p1, kText)) return false;
          if (s.rec(p1)[1] == 2) return bad();
          object* text = entry(s, p1);
          if (!text) return bad();
          if (!text->te) {
            text->te = create_text_record(static_cast<int32_t>(measure_text_rect.left),
                                          static_cast<int32_t>(measure_text_rect.top), 50, 12, 0);
            if (!text->te) return bad();
          }
          const std::string more = (text->te->text ? std::string(text->te->text) : std::string()) +
                                   record_string(r, 4);
          set_text_record_text(text->te, more.c_str());
          text->te->needs_regen = 1;
          s.table[i] = text;
          recompute_object(text);
          *done = true;
          return true;
        }
        default:
          s.error = kUnknownSub;
          return false;
      }
    case kNumber:
      set_frame(s, r);
      c->nbvals = 1;
      switch (sub) {
        case 0:
          c->cls = &classe_nombre;
          return true;
        case 1:
          if (!need(p1, 0x19)) return false;
          c->cls = &classe_length;
          c->add(entry(s, p1));
          if (s.rec(p1)[0] == kPoint) {
            if (!need(p2, kPoint)) return false;
            c->method = 1;
            c->add(entry(s, p2));
          }
          return true;
        case 2:
          if (!need(p1, 0x18)) return false;
          c->cls = &classe_aire;
          c->add(entry(s, p1));
          return true;
        case 3: case 4: case 5:
          if (!need(p1, kPoint) || !need(p2, kPoint) || !need(p3, kPoint)) return false;
          c->cls = &classe_angleMes;
          for (uint8_t q : {p1, p2, p3}) c->add(entry(s, q));
          return true;
        case 8:
          if (!need(p1, 6)) return false;
          if (p1 > 2) {
            c->cls = &classe_pente;
            c->add(entry(s, p1));
          } else {
            *done = true;
          }
          return true;
        case 42: case 43: case 45: case 47: case 48: case 50: {
          const bool one = sub == 50;
          if (!need(p1, kNumber) || (!one && !need(p2, kNumber))) return false;
          if (!entry(s, p1) || (!one && !entry(s, p2))) {
            *done = true;
            return true;
          }
          c->add(entry(s, p1));
          if (!one) c->add(entry(s, p2));
          set_formula(c, sub, one ? 1 : 2, 1);
          return true;
        }
        default:
          s.error = kUnknownSub;
          return false;
      }
    case 128: {
      if (!need(p1, 0x17) || !need(p2, kPoint)) return false;
      if (s.rec(p2)[1] != 1) return bad();
      c->cls = &classe_locus;
      c->nbvals = 20;
      object* traced = entry(s, p1);
      object* driver = entry(s, p2);
      kelvo_win_info* fig = KPGeoDocument::currentInfo();
      objlist_clear(fig->inputs);
      const int16_t n = traced && driver ? collect_dependency_chain(driver, traced) : 0;
      if (n > 0) {
        for (int k = 0; fig->inputs->items && fig->inputs->items[k]; ++k) c->add(fig->inputs->items[k]);
      } else {
        c->add(traced);
        c->add(driver);
      }
      objlist_clear(fig->inputs);
      return true;
    }
    default:
      s.error = kUnknownKind;
      return false;
  }
}

// ------------------------------------------------------------ creation

void read_label(import_state& s, uint32_t i) {
  const uint8_t* r = s.rec(i);
  object* point = entry(s, r[2]);
  s.table[i] = point;
  if (!point || !point->valeurs) return;
  if (!init_object_text_records(point) || !point->te) return;
  const std::string text = record_string(r, 11);
  const auto b9 = static_cast<int8_t>(r[9]), b10 = static_cast<int8_t>(r[10]);
  double x = 0, y = 0;
  if (s.version == 2) {
    x = std::floor(point->valeurs[0].h + (b9 - 1) / 10.0 * s.scale + 0.5);
    y = std::floor(point->valeurs[0].v + (b10 - 1) / 10.0 * s.scale + 0.5);
  } else {
    x = std::trunc(point->valeurs[0].h + b9 / 10.0 * s.scale);
    y = std::trunc(point->valeurs[0].v + b10 / 10.0 * s.scale);
  }
  set_text_record_text(point->te, text.c_str());
  if (std::isfinite(x) && std::isfinite(y) && std::fabs(x) < 1e9 && std::fabs(y) < 1e9)
    point->te->pos = {static_cast<int32_t>(x), static_cast<int32_t>(y)};
  point->te->size = {12 * static_cast<int32_t>(text.size()), 12};
  const uint32_t colour = point->te->format.color;
  point->te->format = s.format;
  point->te->format.color = colour;
  point->te->edit_flags |= 1;
  point->te->needs_regen = 1;
  place_object_label(point, 0);
}

// A measure is shown in a text that quotes it.
void show_measure_in_text(import_state& s, object* measure, const uint8_t* r) {
  measure->aux2 |= kMeasureShownInText;
  construction t;
  t.cls = &classe_text;
  for (int k = 0; k < measure->nbparents; ++k)
    if (measure->parents && measure->parents[k] && tid(measure->parents[k]) != TYPE_NUMBER) t.add(measure->parents[k]);
  t.nbvals = t.args.empty() ? 1 : 3;
  object* text = build(t, 0, 0);
  if (!text) return;
  text->aux2 |= 256;
  const uint16_t number = add_text_reference(measure, &text->inserted);
  give_text(text, format_reference_marker(number), s.format);
  if (!(r[5] & s.shown_bit())) text->settings.visible = 0;
  recompute_object(text);
}

void finish_object(import_state& s, uint32_t i, construction& c, object* o) {
  const uint8_t* r = s.rec(i);
  const construct_class* cls = c.cls;
  if (cls == &classe_ptsur && r[s.spring_byte()] != 0) {
    // The spring's direction comes from the carrier alone.
    object* carrier = o->nbparents > 0 ? o->parents[0] : nullptr;
    object* first = carrier && carrier->nbparents > 0 ? carrier->parents[0] : nullptr;
    if (first && first->valeurs && o->valeurs) {
      const double dx = first->valeurs[0].h - o->valeurs[0].h, dy = first->valeurs[0].v - o->valeurs[0].v;
      const double length = std::hypot(dx, dy);
      if (!(length > 0 && std::isfinite(length))) {
        // A point on its carrier's first point gives the spring no
        // direction.
        s.error = kBadParent;
        s.failed_at = i;
      } else {
        kelvo_win_info* fig = KPGeoDocument::currentInfo();
        current_class = &classe_spring;
        objlist_clear(fig->inputs);
        objlist_add(fig->inputs, o, 0);
        for (valeur& v : rubber_points) v = valeur{};
        if (tid(carrier) == TYPE_SEGMENT) {
          rubber_points[1].h = dx / length * s.scale * 2;
          rubber_points[1].v = dy / length * s.scale * 2;
        } else {
          rubber_points[1].h = -dy / length * s.scale;
          rubber_points[1].v = dx / length * s.scale;
        }
        uint16_t created = 0;
        create_object(0, &created, 1, 1, 1);
        clear_construction();
        fig->animate_on_open = 1;
      }
    }
  }
  if (cls == &classe_text) {
    give_text(o, record_string(r, 9), s.format);
  }
  if (cls == &classe_nombre) {
    char text[64];
    if (s.version == 2)
      ti83_number_text(ti83_read_fixed24(r + 9) / 10, true, text);
    else
      ti83_number_text(s16(r + 10) / 160.0, false, text);
    give_text(o, text, s.format);
    if (o->te) o->te->edit_flags |= 1;
  }
  if (cls == &classe_angleMes || cls == &classe_length || cls == &classe_aire || cls == &classe_calculate ||
      cls == &classe_pente) {
    if (cls == &classe_angleMes) o->settings.unite = 0x81;
    if (cls == &classe_length) o->settings.unite = 0x21;
    if (cls == &classe_aire) o->settings.unite = 0x41;
    if (cls != &classe_pente) {
      uint8_t decimals = 0;
      if (s.version == 2)
        decimals = static_cast<uint8_t>(((r[1] & 128) ? 1 : 0) + ((r[1] & 64) ? 1 : 0));
      else
        decimals = (r[5] & 8) ? 0 : 1;
      o->settings.nbre_decimales = static_cast<uint8_t>((o->settings.nbre_decimales & 0x80) | decimals);
    }
  }
  if (cls == &classe_calculate) {
    compile_calculation(o);
    recompute_object(o);
  }
  if (cls == &classe_equation) {
    const bool line = tid(o->nbparents > 0 ? o->parents[0] : nullptr) == TYPE_LINE;
    o->math.equa.format = line ? 1 : ((r[5] & s.dotted_bit()) ? 2 : 0);
  }
  if (cls == &classe_locus) o->math.locus.envelop = 0;
  if (r[5] & s.dotted_bit()) {
    if (tid(o) == TYPE_POINT)
      o->settings.graph_type = 0;
    else
      o->settings.dot_style = dash_table[1];
  }
  if (tid(o) == TYPE_NUMBER && cls != &classe_nombre) show_measure_in_text(s, o, r);
  if (!(r[5] & s.shown_bit())) o->settings.visible = 0;
}

// Construction points named by a later record become hidden points on the
// line they helped to define.
void materialise_construction_points(import_state& s, uint32_t i) {
  const uint8_t* r = s.rec(i);
  for (uint8_t p : {r[2], r[3]}) {
    if (!is_construction_point(s, p) || p >= i || s.table[p]) continue;
    bool named = false;
    for (uint32_t j = i + 1; j < s.count && !named; ++j)
      for (int k = 2; k <= 4; ++k) {
        const uint8_t q = s.rec(j)[k];
        if (q == kNone) break;
        if (q == p) named = true;
      }
    if (!named) continue;
    if (object* pt = point_on_object(s, static_cast<uint8_t>(i), p)) {
      pt->settings.visible = 0;
      s.table[p] = pt;
    }
  }
}

void report(const import_state& s) {
  if (s.version == 2) {
    KPDialog::messageBox(kernel_string(770), kernel_string(0), 3);
    return;
  }
  const uint8_t* r = s.rec(s.failed_at);
  // What is wrong, then the record's index, kind and sub-kind, each
  // labelled by the language.
  const char* what = s.error == kUnknownKind   ? kernel_string_or(kRowUnknownKind, "Unknown imported object type")
                     : s.error == kUnknownSub ? kernel_string_or(kRowUnknownSub, "Unknown imported object method")
                                              : kernel_string_or(kRowBadParent, "Bad imported object parent");
  char tail[240];
  std::snprintf(tail, sizeof tail, ".\n\n    %s %u\n        %s %u\n        %s %u",
                kernel_string_or(kRowIndexLabel, "Index:"), s.failed_at, kernel_string_or(kRowTypeLabel, "Type:"), r[0],
                kernel_string_or(kRowMethodLabel, "Method:"), r[1]);
  message_compose(what, tail, "", "");
  message_show(130);
}

void final_pass() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  clear_construction();
  if (!fig) return;
  for (object* o = fig->first; o; o = o->next) {
    const uint16_t t = tid(o);
    if (t == TYPE_TABLE) continue;
    bool text_of_number = false;
    if (t == TYPE_TEXT)
      for (int k = 0; k < o->nbparents; ++k)
        if (o->parents && tid(o->parents[k]) == TYPE_NUMBER) text_of_number = true;
    if (text_of_number && text_editor_ops().editor) {
      switch_text_edit_object(o);
      switch_text_edit_object(nullptr);
    } else {
      recompute_object(o);
    }
  }
  clear_object_flags(15);
}

int read_figure(const char* image, uint32_t length, int version) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return 1;
  import_state s;
  s.version = version;
  s.scale = pixels_per_unit > 0 && std::isfinite(pixels_per_unit) ? pixels_per_unit : 28;
  const auto* bytes = reinterpret_cast<const uint8_t*>(image);
  // The records are where the probe checked the tag, whatever the
  // comment holds.
  const char* tag = version == 2 ? "ZoVef" : "ZoVeF";
  if (!image || length < kTi83HeaderSize || std::memcmp(image + 74, tag, 5) != 0) {
    final_pass();
    return 1;
  }
  const uint32_t n = ti83_record_count(bytes[83]);
  s.records = bytes + kTi83HeaderSize;
  s.format.font_id = font_id_by_name("Arial");
  s.format.size = static_cast<uint16_t>(static_cast<int32_t>(version == 2 ? 4 * s.scale / 10 : s.scale / 3));
  s.format.style = 1;
  s.format.charset = 1;
  if (create_default_objects() != 0) return 1;
  if (ti83_file_size(n) > length) {
    // A count that does not fit the file names records that are not there.
    s.count = 0;
    s.error = kBadParent;
    if (version == 2) KPDialog::messageBox(kernel_string(770), kernel_string(0), 3);
    else {
      message_compose(kernel_string_or(kRowBadParent, "Bad imported object parent"), ".", "", "");
      message_show(130);
    }
    final_pass();
    return 1;
  }
  s.count = n;
  s.table.assign(n, nullptr);
  object* origin = fig->first;
  s.axes = origin ? origin->next : nullptr;
  const uint8_t* r0 = s.rec(0);
  if (origin && origin->valeurs) {
    if (version == 2) {
      origin->valeurs[0].h = ti83_figure_x(ti83_read_s24(r0 + 6));
      origin->valeurs[0].v = ti83_figure_y(ti83_read_s24(r0 + 9));
    } else {
      origin->valeurs[0].h = (16 * static_cast<int8_t>(r0[6]) - 752) / 160.0 * s.scale;
      origin->valeurs[0].v = (16 * static_cast<int8_t>(r0[7]) - 496) / 160.0 * s.scale;
    }
    if (r0[5] & s.shown_bit()) origin->settings.visible = 1;
  }
  s.table[0] = origin;
  const uint32_t ax1 = version == 2 ? 3 : 1, ax2 = version == 2 ? 4 : 2;
  if (s.axes) {
    if ((ax1 < n && (s.rec(ax1)[5] & s.shown_bit())) || (ax2 < n && (s.rec(ax2)[5] & s.shown_bit())))
      s.axes->settings.visible = 1;
    if (ax1 < n) s.table[ax1] = s.axes;
    if (ax2 < n) s.table[ax2] = s.axes;
  }

  bool skip_next = false;
  for (uint32_t i = 3; i < n && s.error == kOk; ++i) {
    if (skip_next) {
      skip_next = false;
      continue;
    }
    clear_construction();
    construction c;
    bool done = false;
    const bool chosen = version == 2 ? choose_v2(s, i, &c, &done) : choose_v1(s, i, &c, &done, &skip_next);
    if (!chosen || s.error != kOk) {
      GlobalFreeAndNull(&pending_extra[0]);
      s.failed_at = i;
      break;
    }
    if (!done && c.cls) {
      if (c.cls == &classe_label) {
        read_label(s, i);
      } else {
        object* o = c.cls == &classe_ptsur || c.cls == &classe_ptint ? s.table[i] : build(c, 1);
        if (!o) {
          // A construction point that never materialised, or no memory.
          GlobalFreeAndNull(&pending_extra[0]);
          s.error = kBadParent;
          s.failed_at = i;
          break;
        }
        s.table[i] = o;
        finish_object(s, i, c, o);
      }
    }
    if (version == 2) {
      const bool lines = c.cls == &classe_bissectrice || c.cls == &classe_mediatrice || c.cls == &classe_parallele ||
                         c.cls == &classe_perpendiculaire;
      if (lines || i == 3 || i == 4) materialise_construction_points(s, i);
    }
  }
  if (s.error != kOk) report(s);
  final_pass();
  return 1;
}

}  // namespace

int32_t ti83_read_s24(const uint8_t* bytes) {
  const int32_t v = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16);
  return v > 0x7FFFFF ? v - 0x1000000 : v;
}

double ti83_read_fixed24(const uint8_t* bytes) { return ti83_read_s24(bytes) / 256.0; }

double ti83_figure_x(int32_t x) { return (x - 12032) / 2560.0 * pixels_per_unit; }
double ti83_figure_y(int32_t y) { return (y - 7936) / 2560.0 * pixels_per_unit; }

void ti83_number_text(double v, bool two_decimals, char out[64]) {
  auto half_away = [](double x) { return x >= 0 ? std::floor(x + 0.5) : std::ceil(x - 0.5); };
  if (!std::isfinite(v)) v = 0;
  if (v == std::floor(v)) {
    std::snprintf(out, 64, "%.0f", v);
    return;
  }
  if (!two_decimals || v * 10 == std::floor(v * 10))
    std::snprintf(out, 64, "%.1f", half_away(v * 10) / 10);
  else
    std::snprintf(out, 64, "%.2f", half_away(v * 100) / 100);
  if (decimal_separator != '.')
    for (char* p = out; *p; ++p)
      if (*p == '.') *p = decimal_separator;
}

int ti83_read_figure_v2(const char* image, uint32_t length) { return read_figure(image, length, 2); }

int ti83_read_figure(const char* image, uint32_t length) { return read_figure(image, length, 1); }
