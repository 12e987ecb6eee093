#include "kernel/tools/pick.h"

#include <cmath>

#include "app/kernel_iface/kel_event_record.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/render/object_colors.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/hit_state.h"
#include "kernel/tools/tool_state.h"

objectptrlist* pick_list = nullptr;
object* first_hit = nullptr;
uint8_t pick_from_selection = 0;
motion_record motion = {};
uint8_t pivot_known = 0;
int16_t drag_kind = -1;

namespace {

constexpr uint8_t kModeAnimation = 4;
constexpr uint8_t kModeMultiAnimation = 9;

bool animation_mode() {
  return interaction_state == kModeAnimation || interaction_state == kModeMultiAnimation;
}

uint16_t type_id(const object* o) { return o && o->otype ? o->otype->id : 0; }

bool has_parent(const object* o, const object* parent) {
  for (int i = 0; i < o->nbparents; ++i)
    if (o->parents[i] == parent) return true;
  return false;
}

bool any_parent_marked(const object* o) {
  for (int i = 0; i < o->nbparents; ++i)
    if (o->parents[i] && (o->parents[i]->state & OBJ_MOVING)) return true;
  return false;
}

// A circle, line, ray or coordinate system built by its first method turns
// about its first parent.
bool one_point_object(const object* o) {
  const uint16_t t = type_id(o);
  return o->methode == 0 && o->nbparents > 0 &&
         (t == TYPE_CIRCLE || t == TYPE_LINE || t == TYPE_RAY || t == TYPE_AXES);
}

// Fixed for the pivot rules: sticky, or placed by parents of its own.
bool holds_still(const object* o) { return object_is_fixed(o) || o->nbparents > 0; }

const valeur* first_value(const object* o) { return o && o->valeurs && o->nbvaleurs > 0 ? &o->valeurs[0] : nullptr; }

void set_pivot(const valeur* v) {
  if (!v) return;
  motion.pivot_x = v->h;
  motion.pivot_y = v->v;
}

// The pivot of this gesture from a fixed parent: a second fixed pivot is
// only accepted where it coincides with the first (checked later).
void set_fixed_pivot(const object* o) {
  set_pivot(first_value(o));
  motion.pivot_fixed = 1;
}

// Marked fixed objects from first_hit on, tested by `allowed`.
template <typename Allowed>
bool marked_fixed_objects_allowed(Allowed allowed) {
  if (!first_hit) return true;
  for (object* o = first_hit; o; o = o->next)
    if ((o->state & OBJ_MOVING) && object_is_fixed(o) && !allowed(o)) return false;
  return true;
}

bool is_selected(const kelvo_win_info* fig, const object* obj) {
  return fig->selection && objlist_find(fig->selection, obj) >= 0;
}

bool pivot_from_mean(const object* obj, bool keep_selected_pivot) {
  const int count = one_point_object(obj) ? 1 : obj->nbparents;
  double sx = 0, sy = 0;
  int n = 0;
  for (int i = 0; i < count; ++i) {
    const object* p = obj->parents[i];
    if (!p) continue;
    if (holds_still(p)) {
      set_fixed_pivot(p);
      return true;
    }
    if (const valeur* v = first_value(p)) {
      sx += v->h;
      sy += v->v;
      ++n;
    }
  }
  if (!keep_selected_pivot && n > 0) {
    motion.pivot_x = sx / n;
    motion.pivot_y = sy / n;
  }
  return true;
}

// The regular polygons: the candidates are the centre, the first vertex,
// the holder of the vertices, then the vertex points.
bool regular_polygon_pivot(kelvo_win_info* fig, object* obj, bool keep_selected_pivot) {
  object* holder = nullptr;
  if (obj->classe == &classe_polyreg) {
    holder = obj->nbparents > 1 ? obj->parents[1] : nullptr;
  } else {
    holder = obj->methode == 1 ? obj : (obj->nbparents > 0 ? obj->parents[0] : nullptr);
  }
  if (!holder || holder->nbparents < 2) return false;
  object* centre = holder->parents[0];
  object* vertex = holder->parents[1];
  if (!centre || !vertex || centre == vertex) return false;

  // Candidates in order; the vertex points follow the holder.
  auto for_each_candidate = [&](auto visit) {
    if (!visit(centre) || !visit(vertex) || !visit(holder)) return false;
    if (obj->classe == &classe_polyreg) {
      for (int i = 2; i < obj->nbparents; ++i)
        if (obj->parents[i] && !visit(obj->parents[i])) return false;
    } else {
      for (object* o = holder->next; o; o = o->next)
        if (o->classe == &classe_point_polyreg && o->methode == 0 && o->nbparents > 0 && o->parents[0] == holder &&
            !visit(o))
          return false;
    }
    return true;
  };
  auto is_candidate = [&](const object* x) {
    bool found = false;
    for_each_candidate([&](object* c) {
      if (c == x) found = true;
      return true;
    });
    return found;
  };

  bool fixed_found = false;
  const bool ok = for_each_candidate([&](object* c) {
    if (object_is_fixed(c)) {
      if (motion.pivot_fixed) return false;
      set_fixed_pivot(c);
      fixed_found = true;
    }
    return true;
  });
  if (!ok) return false;
  if (centre->nbparents > 0 || vertex->nbparents > 0) return false;
  if (!marked_fixed_objects_allowed(is_candidate)) return false;
  if (!fixed_found) {
    if (obj->classe == &classe_point_polyreg) {
      if (!keep_selected_pivot) set_pivot(first_value(centre));
      motion.pivot_fixed = 1;
    } else {
      if (!keep_selected_pivot) {
        double sx = 0, sy = 0;
        int n = 0;
        for (int i = 0; i < obj->nbparents; ++i)
          if (const valeur* v = first_value(obj->parents[i])) {
            sx += v->h;
            sy += v->v;
            ++n;
          }
        if (n > 0) {
          motion.pivot_x = sx / n;
          motion.pivot_y = sy / n;
        }
      }
      if (!marked_fixed_objects_allowed([&](const object* x) { return has_parent(obj, x); })) return false;
    }
  }
  (void)fig;
  return true;
}

// The pivot of a shape grabbed by a side: the fixed end of that side.
// Answers 0 refused, 1 pivot set, 2 no fixed end (the mean rule applies).
int side_pivot(const object* obj) {
  const uint16_t t = type_id(obj);
  if (t != TYPE_TRIANGLE && t != TYPE_POLYGON && t != TYPE_ARC && t != TYPE_CONIC) return 2;
  if (obj->nbparents < 2) return 2;
  int side = (t == TYPE_ARC || t == TYPE_CONIC) ? 0 : (hit_part < 256 ? hit_part : -1);
  if (side < 0) return 2;
  const object* a = obj->parents[side % obj->nbparents];
  const object* b = obj->parents[(side + 1) % obj->nbparents];
  const bool fa = holds_still(a), fb = holds_still(b);
  if (fa && fb) return 0;
  if (fa || fb) {
    set_fixed_pivot(fa ? a : b);
    return 1;
  }
  return 2;
}

}  // namespace

void mark_first_hit_object(object* obj) {
  if (!first_hit) first_hit = obj;
}

void add_to_pick_list(object* obj) {
  if (!obj) return;
  objectptrlist** tail = &pick_list;
  for (objectptrlist* n = pick_list; n; n = n->next) {
    if (n->obj == obj) return;
    object* o = n->obj;
    // A point whose own line of construction already follows the mouse.
    if (type_id(obj) == TYPE_POINT && one_point_object(o) && o->parents[0] == obj) return;
    tail = &n->next;
  }
  // A one-point circle, line or ray takes the place of its point.
  if (one_point_object(obj)) {
    for (objectptrlist* n = pick_list; n; n = n->next)
      if (n->obj == obj->parents[0]) {
        n->obj = obj;
        return;
      }
  }
  objectptrlist* node = alloc_block<objectptrlist>();
  if (!node) return;
  node->obj = obj;
  *tail = node;
}

bool pick_list_centroid() {
  double sx = 0, sy = 0;
  int n = 0;
  for (objectptrlist* node = pick_list; node; node = node->next) {
    if (object_is_fixed(node->obj)) return false;
    if (type_id(node->obj) == TYPE_POINT)
      if (const valeur* v = first_value(node->obj)) {
        sx += v->h;
        sy += v->v;
        ++n;
      }
  }
  motion.pivot_x = n ? sx / n : 0;
  motion.pivot_y = n ? sy / n : 0;
  pivot_known = 1;
  return true;
}

bool remember_first_selected_point() {
  if (pivot_known) return true;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !fig->selection || !fig->selection->items) return false;
  for (object** p = fig->selection->items; *p; ++p)
    if (type_id(*p) == TYPE_POINT) {
      if (const valeur* v = first_value(*p)) {
        set_pivot(v);
        pivot_known = 1;
        return true;
      }
    }
  return false;
}

bool check_fixed_objects(object* obj, kel_EventRecord* event) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!obj || !fig) return false;
  // A point on an object moves alone along its carrier: its carrier is no
  // pivot, even when the carrier is constructed.
  if (obj->nbparents == 0 || type_id(obj) > 15 || obj->classe == &classe_ptsur)
    return marked_fixed_objects_allowed([](const object*) { return false; });

  if (event && event->what == kEventMouseDown) {
    const bool exempt = obj->classe == &classe_ptsur || obj->classe == &classe_polyreg ||
                        obj->classe == &classe_point_polyreg ||
                        (obj->classe == &classe_compas3 && obj->methode == 2) ||
                        (obj->classe == &classe_angle && picked.tags && picked.items && picked.items[0] &&
                         picked.tags[0] != 0) ||
                        one_point_object(obj);
    if (!exempt)
      for (int i = 0; i < obj->nbparents; ++i) {
        const object* p = obj->parents[i];
        if (p && p->nbparents > 0 && !object_is_fixed(p)) return false;
      }
  }

  // A pivot already fixed by an earlier pick of this gesture.
  const bool had_fixed = motion.pivot_fixed != 0;
  const double old_x = motion.pivot_x, old_y = motion.pivot_y;
  const bool keep_selected_pivot = drag_mode != 1 && remember_first_selected_point();
  if (had_fixed) motion.pivot_fixed = 0;

  if (obj->classe == &classe_polyreg || obj->classe == &classe_point_polyreg) {
    if (had_fixed) motion.pivot_fixed = 1;
    if (!regular_polygon_pivot(fig, obj, keep_selected_pivot)) return false;
  } else {
    if (one_point_object(obj) && obj->classe != &classe_bissectrice && obj->classe != &classe_mediatrice) {
      const object* p = obj->parents[0];
      if (holds_still(p)) set_fixed_pivot(p);
      else if (!keep_selected_pivot) set_pivot(first_value(p));
    } else if (obj->classe == &classe_bissectrice) {
      const object* fixed = nullptr;
      for (int i = 0; i < obj->nbparents && !fixed; ++i)
        if (holds_still(obj->parents[i])) fixed = obj->parents[i];
      if (fixed) set_fixed_pivot(fixed);
      else if (!keep_selected_pivot && obj->nbparents > 1) set_pivot(first_value(obj->parents[1]));
    } else {
      const int side = side_pivot(obj);
      if (side == 0) return false;
      if (side == 2) pivot_from_mean(obj, keep_selected_pivot);
    }
    if (!marked_fixed_objects_allowed([&](const object* x) { return has_parent(obj, x); })) return false;
  }

  if (had_fixed) {
    if (motion.pivot_fixed && std::fabs(motion.pivot_x - old_x) + std::fabs(motion.pivot_y - old_y) > 1e-10)
      return false;
    if (!motion.pivot_fixed) {
      motion.pivot_x = old_x;
      motion.pivot_y = old_y;
    }
    motion.pivot_fixed = 1;
  }
  if (drag_mode != 1) motion.pivot_fixed = 0;
  return true;
}

bool try_pick_object(kel_EventRecord* event, object* obj, bool already_marked, bool from_selection) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return false;
  if (obj && animation_mode()) {
    const uint16_t t = type_id(obj);
    if (t == TYPE_TEXT || t == TYPE_TABLE || t == TYPE_EQUATION || t == TYPE_PROPERTY) return false;
  }

  pivot_known = 0;
  if (from_selection && obj && is_selected(fig, obj) && objlist_count(fig->selection) > 1) {
    pick_from_selection = 1;
    for (object** p = fig->selection->items; *p; ++p) {
      object* sel = *p;
      construct_method* m = class_method(sel->classe, sel->methode);
      if (!m || !m->event || object_is_fixed(sel)) continue;
      object* ref = sel;
      m->event(0, &ref, event);
    }
    for (object* o = fig->first; o; o = o->next)
      if (o->state & OBJ_MOVING) add_to_pick_list(o);
    pick_from_selection = 0;
    if (!pick_list_centroid()) return false;
  }

  object* picked_obj = pick_list ? pick_list->obj : obj;

  if (!already_marked) {
    if (!picked_obj) return false;
    construct_method* m = class_method(picked_obj->classe, picked_obj->methode);
    if (!m || !m->event || object_is_fixed(picked_obj)) return false;
    object* ref = picked_obj;
    if (!m->event(0, &ref, event)) return false;
  }
  if (!picked_obj) return false;

  if (interaction_state == kModeMultiAnimation && !already_marked) return check_fixed_objects(picked_obj, event);

  // Whatever depends on a moving object moves with it.
  const bool picked_is_text = type_id(picked_obj) == TYPE_TEXT;
  for (object* o = fig->first; o; o = o->next) {
    if (!(o->state & OBJ_MOVING) && any_parent_marked(o)) {
      bool mark = true;
      if (o == fig->cur_text) mark = animation_mode() || (picked_is_text && has_parent(o, picked_obj));
      if (type_id(o) == TYPE_LOCUS && o->nbparents > 0 && o->parents[0] == picked_obj) mark = false;
      if (mark) {
        o->state |= OBJ_MOVING;
        mark_first_hit_object(o);
      }
    }
    // A text that shows values is redrawn with the moving layer.
    if (!(o->state & OBJ_MOVING) && o->inserted) {
      o->state |= OBJ_MOVING;
      mark_first_hit_object(o);
    }
    const uint16_t t = type_id(o);
    if ((o->state & OBJ_MOVING) && (t == TYPE_POINT || t == TYPE_INTERSECTION_SET))
      for (int i = 0; i < o->nbparents; ++i) {
        object* p = o->parents[i];
        const uint16_t pt = type_id(p);
        if (p && (pt == TYPE_LINE || pt == TYPE_RAY) && p->settings.smartline_type && !(p->state & OBJ_MOVING)) {
          p->state |= OBJ_MOVING;
          mark_first_hit_object(p);
        }
      }
  }

  if (!pick_list && !check_fixed_objects(picked_obj, event)) return false;

  if (fig->cur_text && fig->cur_text != picked_obj && (fig->cur_text->state & OBJ_MOVING))
    drag_kind = picked_is_text ? 8 : 4;

  // Colours driven by numbers that move.
  auto driven = [](const param_color* c) {
    return c && ((c->red && (c->red->state & OBJ_MOVING)) || (c->green && (c->green->state & OBJ_MOVING)) ||
                 (c->blue && (c->blue->state & OBJ_MOVING)));
  };
  for (object* o = fig->first; o; o = o->next)
    if (!(o->state & OBJ_MOVING) && (driven(o->pcolor) || driven(o->pfill))) {
      o->state |= OBJ_MOVING;
      mark_first_hit_object(o);
    }
  return true;
}

void grab_rotation(object* obj, const valeur& point) {
  motion.rot_cos = 1;
  motion.rot_sin = 0;
  if (!obj || !obj->valeurs || obj->nbvaleurs < 1) return;
  const double dx = point.h - motion.pivot_x, dy = point.v - motion.pivot_y;
  double ux = 0, uy = 0;
  const uint16_t t = type_id(obj);
  const valeur* v = obj->valeurs;
  if ((t == TYPE_TRIANGLE || t == TYPE_POLYGON) && obj->nbparents > 1 && hit_part < 256) {
    const int n = obj->nbparents;
    const valeur* a = first_value(obj->parents[hit_part % n]);
    const valeur* b = first_value(obj->parents[(hit_part + 1) % n]);
    if (a && b) {
      ux = b->h - a->h;
      uy = b->v - a->v;
    }
  } else if (t == TYPE_CIRCLE && obj->methode == 0 && obj->nbvaleurs > 1) {
    ux = v[1].h - v[0].h;
    uy = v[1].v - v[0].v;
  } else if ((t == TYPE_LINE || t == TYPE_RAY) && obj->nbvaleurs > 1) {
    ux = v[1].h;
    uy = v[1].v;
  } else if ((t == TYPE_SEGMENT || t == TYPE_VECTOR) && obj->nbvaleurs > 1) {
    ux = v[1].h - v[0].h;
    uy = v[1].v - v[0].v;
  } else if (obj->nbvaleurs > 1) {
    ux = v[1].h - v[0].h;
    uy = v[1].v - v[0].v;
  }
  const double ld = std::hypot(dx, dy), lu = std::hypot(ux, uy);
  if (ld < 1e-10 || lu < 1e-10) return;
  const double ax = dx / ld, ay = dy / ld, bx = ux / lu, by = uy / lu;
  motion.rot_cos = ax * bx + ay * by;
  motion.rot_sin = ax * by - ay * bx;
}

void free_pick_list() {
  while (pick_list) {
    objectptrlist* next = pick_list->next;
    GlobalFreeAndNull(&pick_list);
    pick_list = next;
  }
}

void clear_pick_marks() {
  if (kelvo_win_info* fig = KPGeoDocument::currentInfo())
    if (fig->nbobj)
      for (object* o = fig->first; o; o = o->next) o->state &= ~OBJ_MOVING;
  first_hit = nullptr;
  manipulating = 0;
  free_pick_list();
}

bool object_would_move(object* obj, const tagPOINT* p) {
  if (!obj || !p || manipulating || pick_list || first_hit) return false;
  const motion_record saved_motion = motion;
  const uint8_t saved_known = pivot_known;
  const int16_t saved_kind = drag_kind;
  const uint16_t saved_part = hit_part;
  kel_EventRecord press{};
  press.what = kEventMouseDown;
  press.x = p->x;
  press.y = p->y;
  motion.pivot_fixed = 0;
  const bool moves = try_pick_object(&press, obj, false, true);
  clear_pick_marks();
  motion = saved_motion;
  pivot_known = saved_known;
  drag_kind = saved_kind;
  hit_part = saved_part;
  return moves;
}

void install_pick_services() {
  designation_hooks().drag_in_progress = [] { return manipulating != 0; };
  designation_hooks().object_would_move = &object_would_move;
  tool_services().clear_pick_marks = &clear_pick_marks;
}
