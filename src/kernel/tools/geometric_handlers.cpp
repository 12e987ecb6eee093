#include "kernel/tools/geometric_handlers.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/conics/conic_tool.h"
#include "kernel/measure/calculator.h"
#include "kernel/model/compute_axes.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/recompute.h"
#include "kernel/model/undo.h"
#include "kernel/model/units.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/render/display_device.h"
#include "kernel/render/draw_object.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/cursors.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/designation_filters.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_hooks.h"
#include "platform/kp_cursor.h"
#include "kernel/tools/previews.h"
#include "kernel/tools/redefine_tool.h"
#include "kernel/tools/spring_handler.h"
#include "kernel/tools/text_tool_handlers.h"
#include "kernel/tools/tool_handler.h"
#include "kernel/tools/tool_state.h"
#include "platform/kp_dialog.h"

uint16_t saved_method = 0;
uint8_t double_click = 0;
tagRECT measure_text_rect{};

namespace {

constexpr uint16_t kOptionKey = 8;
constexpr int kMaxPolygonValues = 128;
// Bits of a measure's second state word set by the measure tool.
constexpr uint32_t kMeasureInText = 2 | 4;

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }
kelvo_win_info* figure() { return KPGeoDocument::currentInfo(); }
int argument_total() { return figure() ? objlist_count(figure()->inputs) : 0; }
object* argument(int i) { return i < argument_total() ? figure()->inputs->items[i] : nullptr; }
uint16_t argument_tag(int i) { return i < argument_total() ? figure()->inputs->tags[i] : 0; }

object* head_of_picked(uint16_t* tag = nullptr) {
  if (!picked.items || !picked.items[0]) return nullptr;
  if (tag) *tag = picked.tags ? picked.tags[0] : 0;
  return picked.items[0];
}

void append_argument(object* o, uint16_t tag) {
  objlist_add(figure()->inputs, o, tag);
  o->state |= OBJ_CHOSEN;
}

DisplayDevice* static_device() {
  if (display_device_hooks.window_static_device)
    if (DisplayDevice* dd = display_device_hooks.window_static_device()) return dd;
  return static_display;
}

object* build(uint16_t method, uint16_t* made = nullptr) {
  uint16_t created = 0;
  object* o = create_object(method, &created, 1, 1, 0);
  if (made) *made = created;
  return o;
}

void mark_code(construct_class* cls, int method, int position) {
  construct_method* m = class_method(cls, method);
  if (m && m->args && m->args[position]) m->args[position] |= ARG_MATCHED;
}

// Arguments in the order of the method's codes: for each argument in click
// order, the first free position that accepts its type.
std::vector<std::pair<object*, uint16_t>> order_arguments(const construct_class* cls, int method) {
  std::vector<std::pair<object*, uint16_t>> ordered;
  const construct_method* m = class_method(cls, method);
  const int n = argument_total();
  if (!m || !m->args) return ordered;
  std::vector<const TYPEOBJ*> positions;
  for (const TYPEOBJ* c = m->args; *c;) {
    positions.push_back(c);
    const TYPEOBJ code = *c & 0x3FFF;
    if (code > ARG_ONE_OF && code != ARG_REPEAT) {
      const int k = code - ARG_ONE_OF;
      int j = 1;
      while (j <= k && c[j]) ++j;
      c += j;
    } else {
      ++c;
    }
  }
  ordered.assign(positions.size(), {nullptr, 0});
  for (int i = 0; i < n; ++i) {
    object* o = argument(i);
    const uint16_t t = type_of(o);
    for (size_t p = 0; p < positions.size(); ++p) {
      if (ordered[p].first) continue;
      const TYPEOBJ code = *positions[p] & 0x3FFF;
      bool accepts = false;
      if (code > ARG_ONE_OF && code != ARG_REPEAT) {
        for (int j = 1; j <= code - ARG_ONE_OF && positions[p][j]; ++j)
          if ((positions[p][j] & 0x3FFF) == t) accepts = true;
      } else {
        accepts = argument_code_accepts(code, t);
      }
      if (accepts) {
        ordered[p] = {o, argument_tag(i)};
        break;
      }
    }
  }
  return ordered;
}

void set_arguments(std::initializer_list<std::pair<object*, uint16_t>> first,
                   const std::vector<std::pair<object*, uint16_t>>& more = {}) {
  objlist_clear(figure()->inputs);
  for (const auto& a : first)
    if (a.first) objlist_add(figure()->inputs, a.first, a.second);
  for (const auto& a : more)
    if (a.first) objlist_add(figure()->inputs, a.first, a.second);
}

// Builds the image of `source` under transformation method m of `cls` with
// the parameters, as a nested construction. Hidden unless `shown`.
object* transformed(construct_class* cls, int m, object* source,
                    const std::vector<std::pair<object*, uint16_t>>& params, bool shown) {
  suspend_current_tool(cls);
  set_arguments({{source, 0}}, params);
  object* image = build(static_cast<uint16_t>(m));
  if (image) {
    image->settings = source->settings;
    if (shown)
      draw_object(static_device(), image);
    else
      image->settings.visible = 0;
  }
  pop_tool_argument_state();
  return image;
}

// A hidden point on the carrier at `where`, built with Pt/ method m.
object* hidden_point_on(object* carrier, int m, double h, double v) {
  suspend_current_tool(&classe_ptsur);
  set_arguments({{carrier, 0}});
  rubber_points[0].h = h;
  rubber_points[0].v = v;
  rubber_points[0].infini_inexist_indetermine = 0;
  object* p = build(static_cast<uint16_t>(m));
  if (p) p->settings.visible = 0;
  pop_tool_argument_state();
  return p;
}

bool shown(const object* o) { return o->final_no != 0 && o->settings.visible; }

// The image of a non-point object, built from the images of its parents.
object* transform_shape(construct_class* cls, int m, object* obj, const std::vector<std::pair<object*, uint16_t>>& params) {
  const uint16_t t = type_of(obj);
  std::vector<std::pair<object*, uint16_t>> images;
  construct_class* image_class = obj->classe;
  int image_method = obj->methode;
  if (t == TYPE_LINE && obj->classe != &classe_droite) {
    if (!obj->valeurs || obj->nbvaleurs < 2) return nullptr;
    for (int k = 0; k < 2; ++k) {
      const double s = k == 0 ? -1 : 1;
      object* p = hidden_point_on(obj, 0, obj->valeurs[0].h + s * obj->valeurs[1].h,
                                  obj->valeurs[0].v + s * obj->valeurs[1].v);
      if (!p) return nullptr;
      object* image = transformed(cls, m, p, params, false);
      if (!image) return nullptr;
      images.push_back({image, 0});
    }
    image_class = &classe_droite;
    image_method = 1;
  } else {
    const bool round = t == TYPE_LINE || t == TYPE_RAY || t == TYPE_CIRCLE;
    const bool hidden_second = round && obj->nbparents > 1 && obj->parents[1]->final_no == 0;
    const int count = hidden_second ? 1 : obj->nbparents;
    for (int i = 0; i < count; ++i) {
      object* parent = obj->parents[i];
      object* image = transformed(cls, m, parent, params, shown(parent));
      if (!image) return nullptr;
      images.push_back({image, 0});
    }
    if (round && (obj->methode == 0 || hidden_second)) {
      object* p = nullptr;
      if (t == TYPE_CIRCLE) {
        p = hidden_point_on(obj, 3, obj->valeurs[1].h, obj->valeurs[1].v);
      } else {
        const double dx = obj->valeurs[1].h, dy = obj->valeurs[1].v, d = std::hypot(dx, dy);
        if (d <= 0) return nullptr;
        p = hidden_point_on(obj, 0, obj->valeurs[0].h + pixels_per_unit * dx / d,
                            obj->valeurs[0].v + pixels_per_unit * dy / d);
      }
      if (!p) return nullptr;
      object* image = transformed(cls, m, p, params, false);
      if (!image) return nullptr;
      images.push_back({image, 0});
      image_method = 1;
    }
  }
  current_class = image_class;
  variable_nb_values = obj->nbvaleurs;
  set_arguments({}, images);
  object* image = build(static_cast<uint16_t>(image_method));
  return image;
}

}  // namespace

// ------------------------------------------------------------ points, lines

bool point_tool_handler(uint16_t* method, object** designated) {
  *method = 0;
  auto_point = classe_point.drawable ? 1 : 0;
  object* out = nullptr;
  designate_for_tool(&out);
  clear_object_flags(OBJ_WALK | OBJ_CHOSEN | OBJ_TO_DELETE | OBJ_NEW);
  *designated = head_of_picked();
  return false;
}

bool point_on_object_tool_handler(uint16_t* method, object** designated) {
  return take_tool_argument(method, designated);
}

bool line_tool_handler(uint16_t* method, object** designated) {
  *designated = nullptr;
  auto_point = (argument_total() > 0 && !KPEventsWrapper::modifierKeyDown(kOptionKey)) ? 0 : 1;
  if (!designate_for_tool(designated)) return false;
  uint16_t tag = 0;
  if (object* head = head_of_picked(&tag)) {
    mark_code(current_class, 0, 0);
    mark_code(current_class, 1, 0);
    append_argument(head, 0);
    if (argument_total() == 2) {
      mark_code(current_class, 1, 1);
      *method = 1;
      return true;
    }
    return false;
  }
  if (argument_total() == 1) {
    *method = 0;
    return true;
  }
  return false;
}

bool perp_par_tool_handler(uint16_t* method, object** designated) {
  mark_arguments = 0;
  const bool done = take_tool_argument(method, designated);
  mark_arguments = 1;
  return done;
}

// ------------------------------------------------------------ polygons

bool polygon_tool_handler(uint16_t* method, object** designated) {
  *designated = nullptr;
  if (double_click && variable_nb_values > 3 && argument_total() > 0) {
    *method = 0;
    return true;
  }
  *method = 0;
  auto_point = classe_polygone.drawable ? 1 : 0;
  if (!designate_for_tool(designated)) return false;
  const int n = argument_total();
  for (int i = 0; i < n; ++i) argument(i)->state |= OBJ_CHOSEN;
  object* head = head_of_picked();
  if (n == 2 && head == argument(0)) return false;
  if (n >= 2) argument(0)->state &= ~OBJ_CHOSEN;
  if (!head || (head->state & OBJ_CHOSEN)) return false;
  if (n > 0 && head == argument(0)) return true;
  if (n == 0) variable_nb_values = 1;
  append_argument(head, 0);
  ++variable_nb_values;
  return variable_nb_values >= kMaxPolygonValues;
}

bool regular_polygon_tool_handler(uint16_t* method, object** designated) {
  *designated = nullptr;
  if (argument_total() < 2) {
    auto_point = classe_polyreg.drawable ? 1 : 0;
    if (!designate_for_tool(designated)) return false;
    if (object* head = head_of_picked()) append_argument(head, 0);
    return false;
  }
  // The preview leaves the side count; a count it could not have fitted is
  // refused rather than building a polygon of fewer than three sides.
  const double sides = rubber_points[2].h;
  if (!(sides >= 3 && sides <= kMaxPolygonSides)) return false;
  const int n = static_cast<int>(sides);
  const int step = static_cast<int>(rubber_points[2].v);
  object* centre = argument(0);
  object* first = argument(1);
  set_arguments({{first, 0}});
  object* holder = nullptr;
  for (int i = 0; i <= n - 2; ++i) {
    suspend_current_tool(&classe_point_polyreg);
    object* vertex = nullptr;
    if (i == 0) {
      set_arguments({{centre, 0}, {first, 0}});
      variable_nb_values = static_cast<int16_t>(n + 2);
      vertex = build(1);
      if (vertex && vertex->valeurs && vertex->nbvaleurs >= n + 2)
        for (int k = 0; k < n + 2; ++k) vertex->valeurs[k] = regular_polygon_vertices[k];
      if (vertex) {
        vertex->math.polreg.nbsides = static_cast<int16_t>(n);
        vertex->math.polreg.index = static_cast<int16_t>(step);
        // It was computed when made, before it knew its side count, and
        // found undefined: computed again, it is the polygon's first vertex
        // and holds all the others.
        recompute_object(vertex);
      }
      holder = vertex;
    } else {
      set_arguments({{holder, 0}});
      variable_nb_values = 0;
      vertex = build(0);
      if (vertex) {
        GlobalFreeAndNull(&vertex->valeurs);
        vertex->valeurs = holder->valeurs + i;
        vertex->nbvaleurs = 1;
        vertex->math.polreg.index = static_cast<int16_t>(i);
      }
    }
    if (vertex) draw_object(static_device(), vertex);
    pop_tool_argument_state();
    if (!vertex) return false;
    objlist_add(figure()->inputs, vertex, 0);
  }
  variable_nb_values = static_cast<int16_t>(n + 1);
  *method = 0;
  return true;
}

// ------------------------------------------------------------ transformations

bool transform_tool_handler(uint16_t* method, object** designated) {
  mark_arguments = 0;
  if (!take_tool_argument(method, designated)) {
    mark_arguments = 1;
    return false;
  }
  mark_arguments = 1;
  construct_class* cls = current_class;
  const int m = *method;
  reset_class_type_marks(cls);
  std::vector<std::pair<object*, uint16_t>> ordered = order_arguments(cls, m);
  if (ordered.empty() || !ordered[0].first) return false;
  object* obj = ordered[0].first;
  if (type_of(obj) == TYPE_POINT) return true;
  std::vector<std::pair<object*, uint16_t>> params(ordered.begin() + 1, ordered.end());
  objlist_clear(figure()->inputs);
  object* image = transform_shape(cls, m, obj, params);
  current_class = cls;
  objlist_clear(figure()->inputs);
  if (!image) return false;
  image->settings = obj->settings;
  const uint16_t t = type_of(image);
  if (t == TYPE_LINE || t == TYPE_RAY) image->settings.smartline_length[0] = -10 - image->settings.smartline_length[0];
  draw_object(static_device(), image);
  clear_selection();
  clear_object_flags(OBJ_WALK | OBJ_CHOSEN | OBJ_TO_DELETE | OBJ_NEW);
  *designated = image;
  return false;
}

// ------------------------------------------------------------ texts to place

bool measure_transfer_tool_handler(uint16_t* method, object** designated) {
  mark_arguments = 0;
  if (placing_text) {
    placing_text = 0;
    *method = saved_method;
    *designated = nullptr;
    return true;
  }
  if (take_tool_argument(method, designated)) {
    variable_nb_values = 1;
    saved_method = *method;
    if (*method == 2) {
      object* a = argument(0);
      object* b = argument(1);
      object* point = type_of(a) == TYPE_POINT ? a : b;
      object* other = point == a ? b : a;
      if (object* circle = designation_hooks().circle_of_point ? designation_hooks().circle_of_point(point) : nullptr) {
        *method = 1;
        set_arguments({{other, 0}, {circle, 0}, {point, 0}});
        return true;
      }
      variable_nb_values = 2;
      placing_text = 1;
      return false;
    }
    return true;
  }
  if (argument_total() == 1 && type_of(argument(0)) == TYPE_POINT && designation_hooks().circle_of_point) {
    if (object* circle = designation_hooks().circle_of_point(argument(0))) {
      objlist_add(figure()->inputs, circle, 0);
      for (int i = 0; const construct_method* m = class_method(current_class, i); ++i)
        for (TYPEOBJ* c = m->args; c && *c; ++c)
          if ((*c & 0x3FFF) == TYPE_CIRCLE) *c |= ARG_MATCHED;
    }
  }
  return false;
}

bool property_check_tool_handler(uint16_t* method, object** designated) {
  mark_arguments = 0;
  if (placing_text) {
    placing_text = 0;
    *method = saved_method;
    *designated = nullptr;
    place_text_box_at_click();
    return true;
  }
  if (!take_tool_argument(method, designated)) return false;
  placing_text = 1;
  saved_method = *method;
  mark_arguments = 1;
  text_box_width = 150;
  text_box_height = 20;
  return false;
}

bool measure_tool_handler(uint16_t* method, object** designated) {
  if (!take_tool_argument(method, designated)) return false;
  kelvo_win_info* fig = figure();
  construct_class* cls = current_class;
  place_new_measure_text(cls, *method);
  measure_text_rect.right = measure_text_rect.left + 50;
  measure_text_rect.bottom = measure_text_rect.top + 20;
  reset_class_type_marks(cls);
  clear_object_flags(OBJ_CHOSEN);
  save_undo_state(0);
  KPGeoDocument::_do_dirty(fig);
  uint16_t made = 0;
  object* measure = build(*method, &made);
  *designated = measure;
  if (measure && made) {
    measure->aux2 |= kMeasureInText;
    current_class = &classe_text;
    variable_nb_values = 3;
    set_arguments({{measure, 0}});
    object* text = build(0);
    if (text) {
      const uint16_t number = add_text_reference(measure, &text->inserted);
      if (text->te) {
        set_text_record_text(text->te, format_reference_marker(number));
        if (measure->te) text->te->format = measure->te->format;
        text->te->edit_flags |= 1;
        text->te->text_kind = 2;
        text->te->needs_regen = 1;
      }
      recompute_object(measure);
      recompute_object(text);
      text->pos = measure->pos;
      text->pos.x += 6;
      text->aux2 &= ~2u;
      recompute_object(text);
      draw_object(static_device(), text);
      *designated = text;
    }
  }
  clear_object_flags(OBJ_WALK | OBJ_CHOSEN | OBJ_TO_DELETE | OBJ_NEW);
  objlist_clear(fig->inputs);
  current_class = cls;
  return false;
}

// ------------------------------------------------------------ measure texts

void place_new_measure_text(const construct_class* cls, uint16_t method) {
  double x = last_mouse.x, y = last_mouse.y;
  tagPOINT click = last_mouse;
  if (designation_hooks().saved_click && designation_hooks().saved_click(&click)) {
    x = click.x;
    y = click.y;
  }
  auto first = [](int i) -> const valeur* {
    object* o = argument(i);
    return o && o->valeurs && o->nbvaleurs > 0 ? &o->valeurs[0] : nullptr;
  };
  if (cls == &classe_angleMes && method == 0) {
    const valeur* p1 = first(0);
    const valeur* v = first(1);
    const valeur* p2 = first(2);
    if (p1 && v && p2) {
      double r = 0, lengths[2];
      if (!angle_mark_radius(p1, v, p2, &r, lengths)) {
        x = v->h + 20;
        y = v->v + 20;
      } else {
        const double l1 = lengths[0], l2 = lengths[1];
        const double ax = v->h + r * (p1->h - v->h) / l1, ay = v->v + r * (p1->v - v->v) / l1;
        const double bx = v->h + r * (p2->h - v->h) / l2, by = v->v + r * (p2->v - v->v) / l2;
        const double dx = (ax + bx) / 2 - v->h, dy = (ay + by) / 2 - v->v, d = std::hypot(dx, dy);
        if (d > 1e-10) {
          x = v->h + 2 * r * dx / d;
          y = v->v + 2 * r * dy / d;
        } else {
          x = v->h + (ay - v->v);
          y = v->v - (ax - v->h);
        }
      }
    }
  } else if (cls == &classe_length && method == 1) {
    object* a_obj = type_of(argument(0)) == TYPE_POINT ? argument(0) : argument(1);
    object* b_obj = a_obj == argument(0) ? argument(1) : argument(0);
    const int b_index = b_obj == argument(0) ? 0 : 1;
    const valeur* a = a_obj && a_obj->valeurs ? &a_obj->valeurs[0] : nullptr;
    if (a && b_obj && b_obj->valeurs) {
      double qx = a->h, qy = a->v;
      const valeur* bv = b_obj->valeurs;
      switch (type_of(b_obj)) {
        case TYPE_POINT:
          qx = bv[0].h;
          qy = bv[0].v;
          break;
        case TYPE_LINE:
        case TYPE_AXES: {
          const uint16_t tag = argument_tag(b_index);
          const valeur& u = type_of(b_obj) == TYPE_AXES ? ((tag == 1 || tag == 3) ? bv[1] : bv[2]) : bv[1];
          const double uu = u.h * u.h + u.v * u.v;
          if (uu > 0) {
            const double k = (u.h * (a->h - bv[0].h) + u.v * (a->v - bv[0].v)) / uu;
            qx = bv[0].h + u.h * k;
            qy = bv[0].v + u.v * k;
          }
          break;
        }
        case TYPE_CIRCLE: {
          const double dx = a->h - bv[0].h, dy = a->v - bv[0].v, d = std::hypot(dx, dy);
          if (std::fabs(dx) + std::fabs(dy) < 5 || d <= 0) {
            qx = bv[1].h;
            qy = bv[1].v;
          } else {
            qx = bv[0].h + bv[1].info.rayon * dx / d;
            qy = bv[0].v + bv[1].info.rayon * dy / d;
          }
          break;
        }
        default:
          break;
      }
      x = (a->h + qx) / 2;
      y = (a->v + qy) / 2;
    }
  }
  measure_text_rect.left = static_cast<int32_t>(std::floor(x + 0.5));
  measure_text_rect.top = static_cast<int32_t>(std::floor(y + 0.5));
}

void set_property_texts(object* obj) {
  if (!obj || !obj->valeurs) return;
  int row = -1;
  if (obj->classe == &classe_alignement) row = 237;
  if (obj->classe == &classe_parallelism) row = 239;
  if (obj->classe == &classe_perpendism) row = 241;
  if (obj->classe == &classe_equidistant) row = 243;
  if (obj->classe == &classe_membership) row = 245;
  auto** pair = reinterpret_cast<TErec**>(obj->valeurs);
  // The second record first, so that the first stays the object's text.
  for (int k = 1; k >= 0; --k) {
    if (!pair[k]) continue;
    set_text_record_text(pair[k], row < 0 ? "" : kernel_string(row + k));
    pair[k]->regen_pending = 1;
  }
  obj->te = pair[0];
}

// ------------------------------------------------------------ binding

namespace {

bool intersection_set_handler(uint16_t*, object** designated) {
  *designated = nullptr;
  intersection_tool(nullptr, designated);
  return false;
}

bool intersect_near_point(object* obj, object** list, const tagPOINT* p, uint8_t loci) {
  return intersect_dispatch(obj, list, p->x, p->y, loci) == 1;
}

bool current_tool_takes(object* obj, int32_t packed_point) {
  return designation_filter && designation_filter(obj, packed_point);
}

int current_tool_cursor(int which) {
  static constexpr int kDefaults[3] = {113, 118, 115};
  if (which < 0 || which > 2) return kDefaults[1];
  return tool_cursors[which] ? tool_cursors[which]->resID() : kDefaults[which];
}

void show_cursor_by_id(int id) { update_cursor(KPCursor::loadCursor(id)); }

// A new tool starts without a pending text placement or polygon fit.
void reset_construction_progress() {
  placing_text = 0;
  pending_point_kind = 0;
  pending_multi_point = 0;
  pending_crossing = 0;
  ambiguous_designation = 0;
  regular_polygon_side_limit = 12;
}

bool pop_saved_tool() { return pop_tool_argument_state(); }

}  // namespace

void bind_tool_handlers() {
  designation_services& services = designation_hooks();
  services.intersect_near = intersect_near_point;
  services.tool_hit_test = current_tool_takes;
  services.tool_cursor_id = current_tool_cursor;
  services.show_cursor = show_cursor_by_id;
  services.setup_tool = setup_current_tool;
  services.circle_of_point = circle_of_point;
  tool_hooks& hooks = tool_services();
  hooks.pop_tool_argument_state = pop_saved_tool;
  hooks.reset_construction_progress = reset_construction_progress;
  for (construct_class* c : {&classe_segment, &classe_vecteur, &classe_triangle, &classe_arc, &classe_milieu,
                             &classe_mediatrice, &classe_bissectrice, &classe_angle, &classe_grid})
    c->select = take_tool_argument;
  classe_conic.select = conic_tool_handler;
  classe_point.select = point_tool_handler;
  classe_ptsur.select = point_on_object_tool_handler;
  classe_interset.select = intersection_set_handler;
  bind_text_tool_handlers();
  for (construct_class* c : {&classe_droite, &classe_demidroite, &classe_cercle}) c->select = line_tool_handler;
  classe_perpendiculaire.select = perp_par_tool_handler;
  classe_parallele.select = perp_par_tool_handler;
  classe_polygone.select = polygon_tool_handler;
  classe_polyreg.select = regular_polygon_tool_handler;
  for (construct_class* c : {&classe_translation, &classe_symetriquedr, &classe_symetrique, &classe_rotation,
                             &classe_dilatation, &classe_inverse})
    c->select = transform_tool_handler;
  classe_compas3.select = measure_transfer_tool_handler;
  for (construct_class* c : {&classe_alignement, &classe_parallelism, &classe_perpendism, &classe_equidistant,
                             &classe_membership})
    c->select = property_check_tool_handler;
  for (construct_class* c : {&classe_length, &classe_aire, &classe_pente, &classe_angleMes})
    c->select = measure_tool_handler;
  classe_calculate.select = formula_tool_handler;
  classe_spring.select = spring_tool_handler;
  classe_redefine.select = redefine_tool_handler;
  bind_tool_previews();
}
