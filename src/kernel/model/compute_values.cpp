#include "kernel/model/compute_values.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/conics/conic_type.h"
#include "kernel/files/text_convert.h"
#include "kernel/measure/formula.h"
#include "kernel/measure/formula_text.h"
#include "kernel/measure/measure_compute.h"
#include "kernel/measure/measure_text.h"
#include "kernel/measure/plane_routines.h"
#include "kernel/measure/text_placement.h"
#include "kernel/measure/unit_factor.h"
#include "kernel/measure/vector_measures.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/units.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/window/drag_free.h"
#include "kernel/window/main_commands.h"
#include "kernel/window/object_events.h"
#include "kernel/window/value_keys.h"
#include "kernel/window/window_hooks.h"

namespace {

constexpr uint32_t kValueNotRead = 1;      // aux2: the number's value is not read from its text
constexpr uint32_t kTextBoxKept = 2;       // aux2: the text box does not follow the value
constexpr uint32_t kValueIsError = 16;     // aux2: the value is an error or has no meaning
constexpr int kRowOriginAngle = 305;
constexpr int kRowUndefined = 306;
constexpr int kRowNoCode = 320;
// The longest number text read; a longer one is read up to there.
constexpr size_t kNumberTextLimit = 63;

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }
object* parent(const object* o, int i) {
  return o && o->parents && i >= 0 && i < o->nbparents ? o->parents[i] : nullptr;
}
const valeur* first_value(const object* o) { return o && o->valeurs && o->nbvaleurs > 0 ? &o->valeurs[0] : nullptr; }
bool at_infinity(const valeur& v) { return (v.infini_inexist_indetermine & VAL_AT_INFINITY) != 0; }

int32_t truncate(double x) {
  if (!(x > -2147483648.0)) return INT32_MIN;
  if (!(x < 2147483647.0)) return INT32_MAX;
  return static_cast<int32_t>(x);
}

void regenerate(object* obj) {
  if (main_command_services().regenerate_rtf_if_needed) main_command_services().regenerate_rtf_if_needed(obj);
}

// The object's text becomes a kernel text.
void show_text(object* obj, const char* text) {
  if (!obj->te || !set_text_record_text(obj->te, text)) return;
  mark_text_needs_regen(obj);
  regenerate(obj);
}

// The C-form number at the start of text, 0 when there is none.
double read_c_number(const std::string& text) {
  double value = 0;
  const char* begin = text.c_str();
  const auto r = std::from_chars(begin, begin + text.size(), value);
  return r.ec == std::errc() ? value : 0.0;
}

// ----------------------------------------------------------- properties

void show_property(object* obj, bool holds) {
  if (!obj->valeurs) return;
  auto** pair = reinterpret_cast<TErec**>(obj->valeurs);
  obj->te = pair[holds ? 0 : 1];
}

// The direction of a straight parent; k picks an axis of a coordinate
// system or a side of a polygon.
bool straight_direction(const object* o, int k, double* dh, double* dv) {
  if (!o || !o->valeurs) return false;
  switch (type_of(o)) {
    case TYPE_LINE:
    case TYPE_RAY:
      if (o->nbvaleurs < 2) return false;
      *dh = o->valeurs[1].h;
      *dv = o->valeurs[1].v;
      return true;
    case TYPE_AXES: {
      const int axis = k == 2 ? 2 : 1;
      if (o->nbvaleurs <= axis) return false;
      *dh = o->valeurs[axis].h;
      *dv = o->valeurs[axis].v;
      return true;
    }
    case TYPE_SEGMENT:
    case TYPE_VECTOR: {
      const valeur* a = first_value(parent(o, 0));
      const valeur* b = first_value(parent(o, 1));
      if (!a || !b) return false;
      *dh = b->h - a->h;
      *dv = b->v - a->v;
      return true;
    }
    case TYPE_TRIANGLE:
    case TYPE_POLYGON: {
      const int n = o->nbparents;
      if (n <= 0) return false;
      const int side = ((k % n) + n) % n;
      const valeur* a = first_value(parent(o, side));
      const valeur* b = first_value(parent(o, (side + 1) % n));
      if (!a || !b) return false;
      *dh = b->h - a->h;
      *dv = b->v - a->v;
      return true;
    }
    default:
      return false;
  }
}

bool on_segment(const valeur& p, const valeur& a, const valeur& b) {
  return vector_cross_normalized(a.h - p.h, a.v - p.v, a.h - b.h, a.v - b.v) < 1e-9 &&
         (a.h - p.h) * (b.h - p.h) + (a.v - p.v) * (b.v - p.v) <= 0;
}

bool is_parent_of(const object* o, const object* p, int count) {
  for (int i = 0; i < count && i < o->nbparents; ++i)
    if (o->parents[i] == p) return true;
  return false;
}

bool point_on_object(const object* check, const object* point, object* x) {
  const valeur* pv = first_value(point);
  if (!pv || !x || !x->valeurs) return false;
  const valeur& p = *pv;
  const valeur* v = x->valeurs;
  switch (type_of(x)) {
    case TYPE_CIRCLE:
      if (x->nbparents == 2 && x->parents[1] == point) return true;
      if (x->nbvaleurs < 2) return false;
      return std::fabs(std::hypot(p.h - v[0].h, p.v - v[0].v) - v[1].info.rayon) < 1e-9;
    case TYPE_ARC: {
      if (is_parent_of(x, point, 3)) return true;
      if (x->nbvaleurs < 4) return false;
      if (!(std::fabs(std::hypot(p.h - v[3].h, p.v - v[3].v) - v[3].info.rayon) < 1e-9)) return false;
      const valeur &a = v[0], &b = v[1], &c = v[2];
      const double c1 = (c.h - a.h) * (b.v - a.v) - (c.v - a.v) * (b.h - a.h);
      const double c2 = (c.h - a.h) * (p.v - a.v) - (c.v - a.v) * (p.h - a.h);
      return (c1 >= -1e-10 && c2 >= -1e-10) || (c1 <= 1e-10 && c2 <= 1e-10);
    }
    case TYPE_CONIC: {
      if (is_parent_of(x, point, 5)) return true;
      double qx = p.h, qy = p.v;
      conic_project_point(x, p.h, p.v, &qx, &qy);
      return std::hypot(qx - p.h, qy - p.v) < 1e-9;
    }
    case TYPE_SEGMENT:
    case TYPE_VECTOR: {
      if (is_parent_of(x, point, 2)) return true;
      const valeur* a = first_value(parent(x, 0));
      const valeur* b = first_value(parent(x, 1));
      return a && b && on_segment(p, *a, *b);
    }
    case TYPE_TRIANGLE:
    case TYPE_POLYGON: {
      const int n = x->nbparents;
      if (is_parent_of(x, point, n)) return true;
      for (int i = 0; i < n; ++i) {
        const valeur* a = first_value(parent(x, i));
        const valeur* b = first_value(parent(x, (i + 1) % n));
        if (a && b && on_segment(p, *a, *b)) return true;
      }
      return false;
    }
    case TYPE_LINE:
    case TYPE_RAY:
    case TYPE_AXES: {
      double dh = 0, dv = 0;
      if (!straight_direction(x, check->math.equa.format, &dh, &dv)) return false;
      const double wh = p.h - v[0].h, wv = p.v - v[0].v;
      if (!(vector_cross_normalized(wh, wv, dh, dv) < 1e-9)) return false;
      return type_of(x) != TYPE_RAY || wh * dh + wv * dv >= -1e-10;
    }
    default:
      return false;
  }
}

}  // namespace

// ------------------------------------------------------------- measures

void compute_measure_slot(object* obj) { compute_measure(obj); }

void compute_coordinates(object* obj) {
  if (!obj || !obj->valeurs || obj->nbvaleurs < 1) return;
  obj->valeurs[0].infini_inexist_indetermine = 0;
  obj->aux2 &= ~kValueIsError;
  const object* point = parent(obj, 0);
  const object* axes = parent(obj, 1);
  const valeur* p = first_value(point);
  if (!p || !axes || !axes->valeurs || axes->nbvaleurs < 3) {
    obj->state |= OBJ_UNDEFINED;
    return;
  }
  const bool polar = obj->math.equa.typeunite != 0;
  double x, y;
  if (axes->math.equa.standard) {
    x = p->h / pixels_per_unit;
    y = -p->v / pixels_per_unit;
  } else {
    const valeur &o = axes->valeurs[0], &i = axes->valeurs[1], &j = axes->valeurs[2];
    const double dh = p->h - o.h, dv = o.v - p->v;
    if (polar) {
      const double d = i.h * i.h + i.v * i.v;
      if (d == 0) {
        obj->state |= OBJ_UNDEFINED;
        return;
      }
      x = (i.h * dh - i.v * dv) / d;
      y = (i.v * dh + i.h * dv) / d;
    } else {
      const double d = j.h * i.v - i.h * j.v;
      if (d == 0) {
        obj->state |= OBJ_UNDEFINED;
        return;
      }
      x = (-j.v * dh - j.h * dv) / d;
      y = (i.v * dh + i.h * dv) / d;
    }
  }
  const bool second = obj->math.equa.format != 0;
  if (polar) {
    const double r = std::hypot(x, y);
    if (r < 1e-10 && second) {
      obj->aux2 |= kValueIsError;
      show_text(obj, kernel_string(kRowOriginAngle));
      return;
    }
    const double theta = std::atan2(y, x);
    if (!second) {
      format_measure_value(r, obj, false);
    } else if ((obj->settings.unite >> 5) == 4 && obj->valeurs[0].info.rayon != theta) {
      format_measure_value(theta, obj, false);
    } else {
      switch (obj->math.equa.typeunite) {
        case 1: obj->settings.unite = 129; break;
        case 2: obj->settings.unite = 130; break;
        case 3: obj->settings.unite = 128; break;
        default: obj->settings.unite = 131; break;
      }
      format_measure_value(theta, obj, false);
    }
    return;
  }
  if (obj->settings.unite > 31) obj->settings.unite = 0;
  double shown = second ? y : x;
  if (std::fabs(shown) < 1e-10) x = y = shown = 0;
  const bool infinite = at_infinity(*p) && shown != 0;
  if (infinite) obj->valeurs[0].infini_inexist_indetermine |= VAL_AT_INFINITY;
  format_measure_value(shown, obj, infinite);
}

void compute_equation(object* obj) {
  if (!obj) return;
  const bool had_text = obj->te != nullptr;
  bool differ = false;
  if (had_text && obj->valeurs && obj->nbvaleurs >= 2) {
    const valeur &a = obj->valeurs[0], &b = obj->valeurs[1];
    auto same = [](double u, double w) { return u == w || (std::isnan(u) && std::isnan(w)); };
    differ = !same(a.h, b.h) || !same(a.v, b.v);
  }
  if (!differ) build_measure_text(obj);
  if (obj->state & OBJ_UNDEFINED) return;
  place_measure_text(obj, !had_text);
}

void compute_number(object* obj) {
  if (!obj || !obj->valeurs || obj->nbvaleurs < 1) return;
  obj->valeurs[0].infini_inexist_indetermine = 0;
  if (!(obj->aux2 & kValueNotRead) && obj->te && obj->te->text) {
    std::string copy;
    for (const char* p = obj->te->text; *p && copy.size() < kNumberTextLimit; ++p) {
      const char c = *p;
      if (c == decimal_separator) copy += '.';
      else if (c == second_separator || c == ' ') continue;
      else if (c == '-' || (c >= '0' && c <= '9')) copy += c;
      else break;
    }
    obj->valeurs[0].info.rayon = read_c_number(copy) * measure_unit_factor(obj);
  }
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  const bool edited = fig && fig->cur_text == obj;
  if (!(obj->aux2 & kTextBoxKept) && !edited && obj->te) {
    obj->te->pos.x = truncate(obj->valeurs[0].h);
    obj->te->pos.y = truncate(obj->valeurs[0].v);
  }
}

void compute_calculation(object* obj) {
  if (!obj || !obj->valeurs || obj->nbvaleurs < 1) return;
  const int n = obj->nbparents;
  // The formula text and the compiled program follow the real parents when
  // the parents' block has room for them.
  const bool has_slots = obj->parents && n >= 0 && GlobalSize(obj->parents) >= (static_cast<uint32_t>(n) + 2) * sizeof(object*);
  // A formula without its program yet (an expression applied to numbers, a
  // text that came alone) is compiled now; one that does not compile keeps
  // no program and has no value.
  if (has_slots && !obj->parents[n + 1] && (obj->parents[n] || obj->classe == &classe_exp_num_app))
    compile_calculation(obj);
  const auto* code = has_slots ? reinterpret_cast<const formula_cell*>(obj->parents[n + 1]) : nullptr;
  obj->aux2 &= ~kValueIsError;
  obj->valeurs[0].infini_inexist_indetermine = 0;
  int error_row = 0;
  if (!code || code->kind == kCellEnd) error_row = kRowNoCode;
  for (int i = 0; !error_row && i < n; ++i) {
    const object* p = parent(obj, i);
    if (p && ((p->state & OBJ_UNDEFINED) || (p->aux2 & kValueIsError))) error_row = kRowUndefined;
  }
  if (error_row) {
    obj->aux2 |= kValueIsError;
    show_text(obj, kernel_string(error_row));
    return;
  }
  object* previous = current_calculation;
  formula_code = code;
  formula_cell_index = 0;
  formula_error = 0;
  current_calculation = obj;
  errno = 0;
  const int status = evaluate_compiled_formula();
  const int error = errno;
  current_calculation = previous;
  const double result = obj->valeurs[0].info.rayon;
  if (error == 0 && status == 0 && formula_error == 0) {
    const bool infinite = std::isinf(result);
    if (infinite) obj->valeurs[0].infini_inexist_indetermine |= VAL_AT_INFINITY;
    if (KPGeoDocument::printingInProgress() && obj->str) show_text(obj, obj->str);
    else format_measure_value(result, obj, infinite);
    return;
  }
  show_calculation_failure(obj, result, error);
}

void show_calculation_failure(object* obj, double result, int error) {
  obj->aux2 |= kValueIsError;
  std::string text;
  if (error == ERANGE) {
    if (result == -HUGE_VAL) text = std::string("-") + kInfinitySign;
    else if (result == HUGE_VAL) text = std::string(1, kInfinitySign);
    else text = kernel_string(kRowUndefined);
    obj->valeurs[0].infini_inexist_indetermine |= VAL_AT_INFINITY;
  } else {
    text = kernel_string(kRowUndefined);
    obj->valeurs[0].infini_inexist_indetermine |= VAL_NOT_EXIST;
  }
  show_text(obj, text.c_str());
}

void compute_text(object* obj) {
  if (!obj || !obj->te) return;
  if (obj->nbparents > 0) {
    place_measure_text(obj, false);
  } else if (obj->valeurs && obj->nbvaleurs > 0) {
    obj->te->pos.x = truncate(obj->valeurs[0].h);
    obj->te->pos.y = truncate(obj->valeurs[0].v);
  }
  if (obj->inserted) regenerate(obj);
}

// ------------------------------------------------------- property checks

void compute_collinear_check(object* obj) {
  const valeur* a = first_value(parent(obj, 0));
  const valeur* b = first_value(parent(obj, 1));
  const valeur* c = first_value(parent(obj, 2));
  if (!a || !b || !c) return;
  show_property(obj, vector_cross_normalized(a->h - b->h, a->v - b->v, a->h - c->h, a->v - c->v) < 1e-10);
}

bool direction_relation(object* obj, int mode) {
  double ah = 0, av = 0, bh = 0, bv = 0;
  if (!straight_direction(parent(obj, 0), obj->math.equa.format, &ah, &av) ||
      !straight_direction(parent(obj, 1), obj->math.equa.typeunite, &bh, &bv))
    return false;
  if (mode == 0) return vector_cross_normalized(ah, av, bh, bv) < 1e-10;
  return vector_dot_normalized(ah, av, bh, bv) < 1e-10;
}

void compute_parallel_check(object* obj) { show_property(obj, direction_relation(obj, 0)); }
void compute_perpendicular_check(object* obj) { show_property(obj, direction_relation(obj, 1)); }

void compute_equidistant_check(object* obj) {
  const valeur* a = first_value(parent(obj, 0));
  const valeur* b = first_value(parent(obj, 1));
  const valeur* c = first_value(parent(obj, 2));
  if (!a || !b || !c) return;
  show_property(obj, std::fabs(std::hypot(a->h - b->h, a->v - b->v) - std::hypot(a->h - c->h, a->v - c->v)) < 1e-9);
}

void compute_member_check(object* obj) { show_property(obj, point_on_object(obj, parent(obj, 0), parent(obj, 1))); }

// ---------------------------------------------------------------- binding

void bind_value_computes() {
  for (int m = 0; m < 2; ++m) {
    set_method_compute(&classe_length, m, compute_measure_slot);
    set_method_compute(&classe_angleMes, m, compute_measure_slot);
  }
  set_method_compute(&classe_aire, 0, compute_measure_slot);
  set_method_compute(&classe_pente, 0, compute_measure_slot);
  set_method_compute(&classe_equation, 0, compute_coordinates);
  set_method_compute(&classe_equation, 1, compute_equation);
  set_method_compute(&classe_nombre, 0, compute_number);
  set_method_compute(&classe_calculate, 0, compute_calculation);
  set_method_compute(&classe_exp_num_app, 0, compute_calculation);
  set_method_compute(&classe_text, 0, compute_text);
  set_method_compute(&classe_exp_num, 0, compute_text);
  set_method_compute(&classe_alignement, 0, compute_collinear_check);
  set_method_compute(&classe_parallelism, 0, compute_parallel_check);
  set_method_compute(&classe_perpendism, 0, compute_perpendicular_check);
  set_method_compute(&classe_equidistant, 0, compute_equidistant_check);
  set_method_compute(&classe_membership, 0, compute_member_check);

  value_key_command = value_key_command_impl;
  object_event_hooks().key_accepted = key_accepted;
  main_command_services().update_measure_text = update_measure_text;
  main_command_services().find_single_number_object = find_single_number_object;
  window_services().arc_bounding_rect = arc_bounding_rect;
}
