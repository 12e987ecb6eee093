#include "kernel/window/object_events.h"

#include <algorithm>
#include <cmath>

#include "app/kernel_iface/kel_event_record.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/table.h"
#include "kernel/model/units.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/previews.h"
#include "kernel/tools/drag_start.h"
#include "kernel/tools/hit_state.h"
#include "kernel/tools/pick.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/drag_free.h"

uint16_t grabbed_part = 0;

namespace {

object_event_services g_services;
// The length a direction snap gives, where only the direction is wanted.
double snap_length_out = 0;

uint16_t type_id(const object* o) { return o && o->otype ? o->otype->id : 0; }
bool animating() { return interaction_state == 4 || interaction_state == 9; }
bool is_press(const kel_EventRecord* e) { return e && e->what == kEventMouseDown; }
bool is_key(const kel_EventRecord* e) { return e && e->what == kEventKey; }
bool constrained(const kel_EventRecord* e) { return e && (e->modifiers & kEventConstrainMask); }
bool no_displacement() { return drag_delta.x == 0 && drag_delta.y == 0; }

void mark(object* o) {
  if (!o) return;
  o->state |= OBJ_MOVING;
  mark_first_hit_object(o);
}

// The grabbed side of a polygon, from its hit test at the event point.
void hit_test_at_event(object* obj, const kel_EventRecord* event) {
  if (!obj->otype || !obj->otype->hit_test || !event) return;
  double x, y;
  event_point_in_figure(event, &x, &y);
  tagPOINT p{static_cast<int32_t>(std::floor(x + 0.5)), static_cast<int32_t>(std::floor(y + 0.5))};
  obj->otype->hit_test(obj, &p);
}

// Set when the mouse lay behind the point of a one-point line at the press.
bool g_behind = false;

// The angle mark whose handle the gesture drags (its radius changes).
const object* g_resized_mark = nullptr;

// The drag flags of a value object.
bool g_move = false, g_resize = false, g_table = false;
int32_t g_column_entry = -1;  // index into the column widths, or -1
int32_t g_column_left = 0;
int32_t g_grab_dx = 0, g_grab_dy = 0;

// Axes: the grabbed axis was pressed on its negative side; graduation ratio.
bool g_negative_side = false;

// The row or column of a table that Backspace or Delete removes: the row
// under the point when there is one (the header line, -1, is none), else
// the column.
void choose_table_cell(object* table, int16_t row, int16_t column) {
  if (!table->te) return;
  table_row_request(table->te) = table_column_request(table->te) = 0;
  if (row >= 1) table_row_request(table->te) = row;
  else if (column > 0) table_column_request(table->te) = column;
}

uint16_t text_part_at(object* obj, double x, double y) {
  TErec* te = obj->te;
  if (!te) return 0;
  const double l = te->pos.x, t = te->pos.y, r = l + te->size.w, b = t + te->size.h;
  if (std::fabs(x - r) <= 4 && std::fabs(y - b) <= 4) return 257;
  if (x >= l && x <= r && y >= t && y <= b) return 258;
  return 0;
}

}  // namespace

object_event_services& object_event_hooks() { return g_services; }

void event_point_in_figure(const kel_EventRecord* event, double* x, double* y) {
  *x = event ? event->x : 0;
  *y = event ? event->y : 0;
  if (g_services.window_to_figure) g_services.window_to_figure(x, y);
}

int16_t event_generic(uint8_t mode, object** ref, kel_EventRecord* event) {
  object* obj = ref ? *ref : nullptr;
  if (!obj) return 0;
  if (mode == 0) {
    if (object_is_fixed(obj)) return 0;
    const uint16_t t = type_id(obj);
    if ((t == TYPE_TRIANGLE || t == TYPE_POLYGON) && is_press(event)) hit_test_at_event(obj, event);
    if (!pick_from_selection) mark_first_hit_object(obj);
    for (int i = 0; i < obj->nbparents; ++i) {
      object* p = obj->parents[i];
      if (!p) continue;
      mark(p);
      if (p->num < (*ref)->num) *ref = p;
    }
    return 1;
  }
  return drag_free_ancestors(obj, event, true);
}

int16_t event_regular_polygon(uint8_t mode, object** ref, kel_EventRecord* event) {
  object* obj = ref ? *ref : nullptr;
  if (!obj) return 0;
  if (mode == 0) {
    object* holder;
    if (obj->classe == &classe_polyreg) holder = obj->nbparents > 1 ? obj->parents[1] : nullptr;
    else holder = obj->methode != 0 ? obj : (obj->nbparents > 0 ? obj->parents[0] : nullptr);
    if (!holder || holder->nbparents < 2) return 0;
    // The polygon itself leads the steps: its defining points alone would
    // turn about themselves.
    if (!pick_from_selection) mark_first_hit_object(obj);
    mark(holder->parents[0]);
    mark(holder->parents[1]);
    return 1;
  }
  return drag_free_ancestors(obj, event, true);
}

int16_t event_points(uint8_t mode, object** ref, kel_EventRecord* event) {
  object* obj = ref ? *ref : nullptr;
  if (!obj) return 0;
  if (mode == 0) {
    if (!is_press(event) || object_is_fixed(obj)) return 0;
    const bool on_object = obj->classe == &classe_ptsur;
    if (drag_mode != 1 && !remember_first_selected_point() && !on_object) return 0;
    if (on_object && obj->nbparents > 0) {
      const object* carrier = obj->parents[0];
      const uint16_t ct = type_id(carrier);
      if ((ct == TYPE_TRIANGLE || ct == TYPE_POLYGON) && carrier->nbparents > 0) {
        const int n = carrier->nbparents;
        motion.nb_steps = static_cast<uint16_t>(std::max(2, motion.nb_steps / n) * n + 1);
      }
    }
    mark(obj);
    return 1;
  }
  return drag_free_ancestors(obj, event, false);
}

int16_t event_compass(uint8_t mode, object** ref, kel_EventRecord* event) {
  object* obj = ref ? *ref : nullptr;
  if (!obj || obj->methode != 2) return 0;
  if (mode == 0) return event_points(0, ref, event);
  const int16_t r = event_points(1, ref, event);
  if (obj->nbparents >= 2 && obj->nbvaleurs >= 2 && obj->parents[0]->valeurs && obj->parents[1]->valeurs) {
    double dx = obj->valeurs[0].h - obj->parents[0]->valeurs[0].h;
    double dy = obj->valeurs[0].v - obj->parents[0]->valeurs[0].v;
    if (obj->parents[1]->valeurs[0].info.rayon < 0) {
      dx = -dx;
      dy = -dy;
    }
    obj->valeurs[1].h = dx;
    obj->valeurs[1].v = dy;
  }
  return r;
}

int16_t event_one_point(uint8_t mode, object** ref, kel_EventRecord* event) {
  object* obj = ref ? *ref : nullptr;
  if (!obj || obj->nbparents < 1 || !obj->valeurs || obj->nbvaleurs < 2) return 0;
  const bool generic = (drag_mode >= 2 && drag_mode <= 4 && !motion.pivot_fixed) || (drag_mode == 1 && motion.pivot_fixed);
  object* point = obj->parents[0];
  const uint16_t t = type_id(obj);
  if (mode == 0) {
    if (!is_press(event) || object_is_fixed(obj)) return 0;
    if (generic) return event_generic(0, ref, event);
    if (animating()) motion.pivot_fixed = 1;
    mark(obj);
    if (point && point->valeurs) {
      motion.pivot_x = point->valeurs[0].h;
      motion.pivot_y = point->valeurs[0].v;
    }
    g_behind = false;
    if (t == TYPE_LINE && point && point->valeurs) {
      double x, y;
      event_point_in_figure(event, &x, &y);
      g_behind = (x - point->valeurs[0].h) * obj->valeurs[1].h + (y - point->valeurs[0].v) * obj->valeurs[1].v < 0;
    }
    return 1;
  }
  if ((drag_mode >= 2 && drag_mode <= 4) || motion.pivot_fixed) return event_generic(1, ref, event);
  if (!event || event->what != kEventDragStep) return 0;
  if (no_displacement()) return 2;
  if (!point || !point->valeurs) return 0;
  double dx = drag_mouse.x - point->valeurs[0].h, dy = drag_mouse.y - point->valeurs[0].v;
  if (g_behind) {
    dx = -dx;
    dy = -dy;
  }
  if (t == TYPE_LINE || t == TYPE_RAY) {
    if (constrained(event)) snap_direction(&dx, &dy, &snap_length_out, false);
    if (dx == 0 && dy == 0) return 2;
    obj->valeurs[1].h = dx;
    obj->valeurs[1].v = dy;
  } else if (t == TYPE_CIRCLE) {
    double r = std::hypot(dx, dy);
    if (constrained(event)) snap_direction(&dx, &dy, &r, true);
    obj->valeurs[1].info.rayon = r;
    obj->valeurs[1].h = point->valeurs[0].h + dx;
    obj->valeurs[1].v = point->valeurs[0].v + dy;
  }
  return 1;
}

int16_t event_angle_mark_radius(uint8_t mode, object** ref, kel_EventRecord* event) {
  object* obj = ref ? *ref : nullptr;
  if (!obj || obj->classe != &classe_angle || !obj->valeurs || obj->nbvaleurs < 4) return 0;
  if (mode == 0) {
    // Only the mark designated by its handle, pressed on its own.
    if (!is_press(event) || pick_from_selection || !picked.items || picked.items[0] != obj || !picked.tags ||
        picked.tags[0] == 0)
      return 0;
    mark(obj);
    g_resized_mark = obj;
    return 1;
  }
  if (!event || event->what != kEventDragStep) return 0;
  if (no_displacement()) return 2;
  valeur* v = obj->valeurs;
  const valeur &first_arm = v[0], &vertex = v[3];
  const double dx = drag_mouse.x - vertex.h, dy = drag_mouse.y - vertex.v;
  // The handle follows the mouse: the middle of the arc lies at the
  // radius from the vertex, the corner of a square mark (where its hit
  // test finds the handle) at the radius times the square root of 2.
  double r = std::hypot(dx, dy);
  if (v[2].info.rayon != 0 && (obj->settings.graph_type >> 4) != 2) r /= 1.414;
  const double r0 = vertex.info.rayon;
  double f = v[1].info.rayon;
  if (!(r0 > 1e-10) || !std::isfinite(f) || !std::isfinite(r)) return 2;
  f = f != 0 ? f * r / r0 : r / r0;
  // Dragged through the vertex, the mark turns to the other side: near
  // the vertex, the mouse's side of the first arm is the mark's side.
  if (std::fabs(dx) + std::fabs(dy) < 16) {
    const double along = dx * (first_arm.h - vertex.h) + dy * (first_arm.v - vertex.v);
    if (along < 0) f = -std::fabs(f);
    if (along > 0) f = std::fabs(f);
  }
  v[1].info.rayon = f;
  return 1;
}

int16_t event_angle(uint8_t mode, object** ref, kel_EventRecord* event) {
  // Pressed by its handle the mark is resized for the whole gesture, else
  // dragged like any object.
  if (mode == 0) {
    g_resized_mark = nullptr;
    if (event_angle_mark_radius(0, ref, event)) return 1;
  } else if (ref && *ref && *ref == g_resized_mark) {
    return event_angle_mark_radius(1, ref, event);
  }
  return event_generic(mode, ref, event);
}

int16_t event_locus(uint8_t mode, object** ref, kel_EventRecord* event) {
  object* obj = ref ? *ref : nullptr;
  if (!obj) return 0;
  if (mode == 0) {
    if (obj->state & OBJ_UNDEFINED) return 0;
    if (!is_key(event)) return 0;
    const uint8_t c = event->message & 0xFF;
    if (c != '+' && c != '-') return 0;
    mark(obj);
    return 1;
  }
  const kel_EventRecord* key = is_key(event) ? event : (pending_key_flag ? &pending_key_event : nullptr);
  if (!key) return 0;
  pending_key_flag = 0;
  const uint8_t c = key->message & 0xFF;
  if (c != '+' && c != '-') return 0;
  if (!g_services.locus_change_nb_points) return 2;
  return g_services.locus_change_nb_points(obj, c == '+') ? 1 : 2;
}

int16_t event_axes_grid(uint8_t mode, object** ref, kel_EventRecord* event) {
  object* obj = ref ? *ref : nullptr;
  if (!obj) return 0;
  const uint16_t t = type_id(obj);
  if (mode == 0) {
    bool accept = false;
    if (is_key(event)) {
      accept = g_services.key_accepted && g_services.key_accepted(obj, event->message & 0xFF);
    } else if (is_press(event) && t == TYPE_AXES && !animating()) {
      accept = true;
      hit_test_at_event(obj, event);
      grabbed_part = hit_part;
      if ((hit_part == 1 || hit_part == 2) && obj->valeurs && obj->nbvaleurs >= 3) {
        double x, y;
        event_point_in_figure(event, &x, &y);
        const valeur& o = obj->valeurs[0];
        const valeur& v = obj->valeurs[hit_part];
        g_negative_side = (x - o.h) * v.h + (y - o.v) * v.v < 0;
      }
    }
    if (!accept || object_is_fixed(obj)) return 0;
    mark(obj);
    if (obj->valeurs) {
      motion.pivot_x = obj->valeurs[0].h;
      motion.pivot_y = obj->valeurs[0].v;
    }
    return 1;
  }
  if (is_key(event) || (key_manipulation && pending_key_flag)) {
    const kel_EventRecord* key = is_key(event) ? event : &pending_key_event;
    if (value_key_command) value_key_command(obj, key->message & 0xFF);
    pending_key_flag = 0;
    return 1;
  }
  if (!event || event->what != kEventDragStep) return 0;
  if (no_displacement()) return 2;
  if (t != TYPE_AXES || !obj->valeurs || obj->nbvaleurs < 3) return 2;
  const valeur& o = obj->valeurs[0];
  double dx = drag_mouse.x - o.h, dy = drag_mouse.y - o.v;
  if (constrained(event) && drag_mode != 2) snap_direction(&dx, &dy, &snap_length_out, false);
  const int axis = (grabbed_part == 2 || grabbed_part == 4) ? 2 : 1;
  valeur& v = obj->valeurs[axis];
  if (grabbed_part == 1 || grabbed_part == 2) {
    const double norm = std::hypot(v.h, v.v) * std::hypot(dx, dy);
    if (norm <= 1e-10) return 2;
    double c = (v.h * dx + v.v * dy) / norm, s = (v.h * dy - v.v * dx) / norm;
    if (g_negative_side) {
      c = -c;
      s = -s;
    }
    auto turn = [c, s](valeur& w) {
      const double nx = w.h * c - w.v * s, ny = w.h * s + w.v * c;
      w.h = nx;
      w.v = ny;
    };
    if (grabbed_part == 1) {
      turn(obj->valeurs[1]);
      turn(obj->valeurs[2]);
    } else {
      turn(obj->valeurs[2]);
    }
    return 1;
  }
  if (grabbed_part == 3 || grabbed_part == 4) {
    const double v2 = v.h * v.h + v.v * v.v;
    if (v2 <= 1e-20) return 2;
    double k = (v.h * dx + v.v * dy) / v2;
    double projection = k * std::sqrt(v2);
    if (constrained(event) && pixels_per_unit > 0) {
      double n = std::round(projection / pixels_per_unit);
      if (n < 1) n = 1;
      projection = n * pixels_per_unit;
      k = projection / std::sqrt(v2);
    }
    const double second = std::hypot(obj->valeurs[2].h, obj->valeurs[2].v);
    if (!(k > 1 || (projection > 1e-10 && (grabbed_part != 3 || second > 1e-10)))) return 2;
    v.h *= k;
    v.v *= k;
    if (grabbed_part == 3) {
      obj->valeurs[2].h *= k;
      obj->valeurs[2].v *= k;
    }
    return 1;
  }
  return 2;
}

int16_t event_value_object(uint8_t mode, object** ref, kel_EventRecord* event) {
  object* obj = ref ? *ref : nullptr;
  if (!obj || !event) return 0;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (mode == 0) {
    if (is_key(event)) {
      if (!g_services.key_accepted || !g_services.key_accepted(obj, event->message & 0xFF)) return 0;
      mark(obj);
      return 1;
    }
    if (!is_press(event)) return 0;
    g_move = g_resize = g_table = false;
    g_column_entry = -1;
    double x, y;
    event_point_in_figure(event, &x, &y);
    grabbed_part = text_part_at(obj, x, y);
    const object* selected = g_services.selected_number_in_active_text ? g_services.selected_number_in_active_text()
                                                                       : nullptr;
    const bool under_edit = fig && obj == fig->cur_text;
    if (grabbed_part == 257) {
      g_resize = true;
    } else if (!under_edit && obj != selected) {
      g_move = true;
      const bool number_in_text = type_id(obj) == TYPE_NUMBER && (obj->aux1 & 4) && !(obj->aux1 & 16);
      if (number_in_text && fig && fig->cur_text) {
        object* text = fig->cur_text;
        bool holds = false;
        for (int i = 0; type_id(text) == TYPE_TEXT && i < text->nbparents; ++i) holds |= text->parents[i] == obj;
        if (!holds || !g_services.link_number_to_text) return 0;
        g_services.link_number_to_text(obj, text, 1);
      }
    } else if (under_edit && grabbed_part == 258 && type_id(obj) == TYPE_TABLE && g_services.table_hit_cell) {
      int16_t row = 0, column = 0;
      g_services.table_hit_cell(obj, x, y, &row, &column);
      if (column < 0 && obj->te && obj->te->column_widths && -column <= obj->te->column_widths[0]) {
        g_table = true;
        g_column_entry = -column;
        g_column_left = 0;
        for (int c = 1; c < g_column_entry; ++c) g_column_left += obj->te->column_widths[c];
      } else if (row > 0 || column > 0) {
        g_table = true;
        // A click that does not move chooses too.
        choose_table_cell(obj, row, column);
      } else {
        g_move = true;
      }
    } else {
      return 0;
    }
    if (obj->te) {
      g_grab_dx = static_cast<int32_t>(std::floor(x)) - obj->te->pos.x;
      g_grab_dy = static_cast<int32_t>(std::floor(y)) - obj->te->pos.y;
    }
    mark(obj);
    return 1;
  }

  // Mode 1.
  if (animating() && event->what == kEventDragStep) {
    const double speed = std::hypot(motion.translation_x, motion.translation_y);
    step_interval = speed < 1.5 ? 500 : speed < 3 ? 250 : speed < 4.5 ? 125 : speed < 6 ? 62 : 33;
    if (value_key_command) value_key_command(obj, motion.translation_y > 0 ? 40 : 38);
    return 1;
  }
  const kel_EventRecord* key = is_key(event) ? event : (pending_key_flag ? &pending_key_event : nullptr);
  if (key) {
    if (!(key->modifiers & kEventCommandBit) && value_key_command &&
        (!g_services.key_accepted || g_services.key_accepted(obj, key->message & 0xFF)))
      value_key_command(obj, key->message & 0xFF);
    pending_key_flag = 0;
    return 1;
  }
  // A gesture begun by a key ends once its key is applied, as with axes and
  // loci; left going, it would swallow every following key until a click.
  if (key_manipulation) return 0;
  if (event->what != kEventDragStep) return 0;
  if (no_displacement()) return 2;
  TErec* te = obj->te;
  if (g_resize && te) {
    // Neither side of a frame goes below 5 pixels.
    te->size.w = std::max<int32_t>(5, static_cast<int32_t>(std::floor(drag_mouse.x)) - te->pos.x);
    te->size.h = std::max<int32_t>(5, static_cast<int32_t>(std::floor(drag_mouse.y)) - te->pos.y);
    const uint16_t t = type_id(obj);
    if (t != TYPE_TABLE && t != TYPE_BUTTON && g_services.regenerate_rich_text) g_services.regenerate_rich_text(obj);
  } else if (g_table && te) {
    if (g_column_entry > 0 && te->column_widths) {
      double x = event->x, y = event->y;
      if (g_services.window_to_figure) g_services.window_to_figure(&x, &y);
      te->column_widths[g_column_entry] =
          std::max<int32_t>(20, static_cast<int32_t>(std::floor(x)) - te->pos.x - g_column_left);
      table_row_request(te) = table_column_request(te) = 0;
    } else if (g_services.table_hit_cell) {
      int16_t row = 0, column = 0;
      g_services.table_hit_cell(obj, drag_mouse.x, drag_mouse.y, &row, &column);
      choose_table_cell(obj, row, column);
    }
  } else if (g_move) {
    auto place = [](int32_t& left, int32_t& top) {
      if (pick_list) {
        left += static_cast<int32_t>(drag_delta.x);
        top += static_cast<int32_t>(drag_delta.y);
      } else {
        left = static_cast<int32_t>(std::floor(drag_mouse.x)) - g_grab_dx;
        top = static_cast<int32_t>(std::floor(drag_mouse.y)) - g_grab_dy;
      }
    };
    const uint16_t t = type_id(obj);
    if ((label_drag || t == TYPE_PROPERTY || t == TYPE_TABLE) && te) {
      place(te->pos.x, te->pos.y);
    } else if (obj->valeurs && obj->nbvaleurs > 0) {
      if (pick_list) {
        obj->valeurs[0].h += drag_delta.x;
        obj->valeurs[0].v += drag_delta.y;
      } else {
        obj->valeurs[0].h = drag_mouse.x - g_grab_dx;
        obj->valeurs[0].v = drag_mouse.y - g_grab_dy;
      }
      if (te && t != TYPE_TEXT && !(obj->aux1 & 2)) {
        te->pos.x = static_cast<int32_t>(std::floor(obj->valeurs[0].h));
        te->pos.y = static_cast<int32_t>(std::floor(obj->valeurs[0].v));
      }
    } else if (te) {
      place(te->pos.x, te->pos.y);
    }
  }
  if (event->what == kEventMouseUp && type_id(obj) == TYPE_TABLE) return 0;
  return 1;
}

int16_t object_drag_event(uint8_t mode, object** ref, kel_EventRecord* event) {
  object* obj = ref ? *ref : nullptr;
  if (!obj) return 0;
  const uint16_t t = type_id(obj);
  if (mode == 0) {
    if (!is_press(event) || (t != TYPE_LINE && t != TYPE_RAY) || !obj->settings.smartline_type) return 0;
    hit_test_at_event(obj, event);
    if (hit_part != 1 && hit_part != 2) return 0;
    grabbed_part = hit_part;
    mark(obj);
    return 1;
  }
  if (drag_mode != 1 || motion.pivot_fixed) return event_generic(1, ref, event);
  if (!event || event->what != kEventDragStep) return 0;
  if (no_displacement()) return 2;
  if (!obj->valeurs || obj->nbvaleurs < 2 || pixels_per_unit <= 0) return 2;
  const valeur& p = obj->valeurs[0];
  const valeur& d = obj->valeurs[1];
  const double len = std::hypot(d.h, d.v);
  if (len < 1e-10) return 2;
  // Signed distance of the mouse from the line's point, along the line.
  const double along = ((drag_mouse.x - p.h) * d.h + (drag_mouse.y - p.v) * d.v) / len;
  double l = (grabbed_part == 2 ? -along : along) / pixels_per_unit;
  if (constrained(event)) l = std::max(0.01, std::round(l));
  else l = std::max(0.2, l);
  obj->settings.smartline_length[grabbed_part - 1] = l;
  return 1;
}

int16_t text_event(uint8_t mode, object** ref, kel_EventRecord* event) {
  object* obj = ref ? *ref : nullptr;
  if (!obj || !g_services.is_labelable_object || !g_services.is_labelable_object(obj)) return 0;
  if (mode == 0) {
    if (is_press(event)) {
      hit_test_at_event(obj, event);
      grabbed_part = hit_part;
      if (grabbed_part <= 256) return 0;
      return event_value_object(0, ref, event);
    }
    if (is_key(event)) {
      // '+' and '-' change a locus's number of points (its own event),
      // never its label.
      const uint8_t c = event->message & 0xFF;
      if (type_id(obj) == TYPE_LOCUS && (c == '+' || c == '-')) return 0;
      return event_value_object(0, ref, event);
    }
    return 0;
  }
  const int16_t r = event_value_object(1, ref, event);
  if (r == 1 && g_services.place_object_label) g_services.place_object_label(obj);
  return r;
}
