#include "kernel/window/drag_free.h"

#include <cmath>

#include "kernel/model/classes.h"
#include "kernel/model/units.h"
#include "kernel/tools/hit_state.h"
#include "kernel/tools/pick.h"

drag_vector drag_mouse = {};
drag_vector drag_delta = {};
drag_vector drag_snap_rotation = {1, 0};
uint8_t drag_snap_applied = 0;
drag_vector drag_flip_axis = {1, 0};
uint8_t near_centre = 0;
uint8_t key_manipulation = 0;
uint8_t pending_key_flag = 0;
kel_EventRecord pending_key_event = {};
uint32_t step_interval = 33;
void (*value_key_command)(object* obj, uint32_t key) = nullptr;

namespace {

uint16_t type_id(const object* o) { return o && o->otype ? o->otype->id : 0; }

bool animating() { return interaction_state == 4 || interaction_state == 9; }

bool movable(const object* o) { return o && o->nbparents == 0 && !object_is_fixed(o) && o->valeurs; }

// The objects a step moves.
int moving_set(object* obj, bool use_parents, object** set) {
  if (!use_parents) {
    set[0] = obj;
    return 1;
  }
  object* holder = obj;
  if (obj->classe == &classe_polyreg) holder = obj->nbparents > 1 ? obj->parents[1] : nullptr;
  else if (obj->classe == &classe_point_polyreg && obj->methode == 0) holder = obj->nbparents > 0 ? obj->parents[0] : nullptr;
  if (obj->classe == &classe_polyreg || obj->classe == &classe_point_polyreg) {
    if (!holder || holder->nbparents < 2) return 0;
    set[0] = holder->parents[0];
    set[1] = holder->parents[1];
    return 2;
  }
  return -1;  // all the parents of the object
}

void shift(object* o, double dx, double dy) {
  o->valeurs[0].h += dx;
  o->valeurs[0].v += dy;
}

}  // namespace

int16_t drag_free_ancestors(object* obj, kel_EventRecord* event, bool use_parents) {
  if (!obj || !event) return 0;
  const uint16_t t = type_id(obj);
  if ((t == TYPE_AXES || t == TYPE_GRID) && key_manipulation) {
    if (!pending_key_flag) return 0;
    if (value_key_command) value_key_command(obj, pending_key_event.message & 0xFF);
    pending_key_flag = 0;
    return 1;
  }
  if (event->what != kEventDragStep) {
    if (event->what == kEventKey) {
      const uint8_t c = event->message & 0xFF;
      // The interval never reaches 0 (nor wraps below it).
      if (c == '+') {
        if (step_interval > 1) --step_interval;
        return 2;
      }
      if (c == '-') {
        ++step_interval;
        return 2;
      }
    }
    return 0;
  }
  const bool anim = animating();
  if (anim) {
    construct_method* m = class_method(obj->classe, obj->methode);
    if (m && m->point_on) {
      m->point_on(obj, motion.nb_steps, motion.step_index);
      return 1;
    }
  } else if (drag_delta.x == 0 && drag_delta.y == 0) {
    return 2;
  }

  object* fixed_set[2];
  object** set = fixed_set;
  int count = moving_set(obj, use_parents, fixed_set);
  if (count < 0) {
    set = obj->parents;
    count = obj->nbparents;
  }

  const uint16_t saved_mode = drag_mode;
  if (motion.pivot_fixed) drag_mode = 4;
  const bool is_circle = t == TYPE_CIRCLE && obj->valeurs && obj->nbvaleurs > 1;
  const bool is_straight = (t == TYPE_LINE || t == TYPE_RAY) && obj->valeurs && obj->nbvaleurs > 1;

  if (drag_mode >= 2 && drag_mode <= 4) {
    const double cx = motion.pivot_x, cy = motion.pivot_y;
    double ax = 0, ay = 0, bx = 0, by = 0;
    if (!anim) {
      ax = drag_mouse.x - drag_delta.x - cx;
      ay = drag_mouse.y - drag_delta.y - cy;
      bx = drag_mouse.x - cx;
      by = drag_mouse.y - cy;
      if (ax * ax + ay * ay < 1e-10 || bx * bx + by * by < 1e-10) {
        drag_mode = saved_mode;
        return 2;
      }
    }
    for (int i = 0; i < count; ++i)
      if (set[i] && set[i]->valeurs) shift(set[i], -cx, -cy);
    if (is_circle) {
      obj->valeurs[1].h -= cx;
      obj->valeurs[1].v -= cy;
    }
    const bool constrain = event->modifiers & kEventConstrainMask;
    if (drag_mode == 2 || drag_mode == 4) {
      if (!anim) {
        const double la = std::sqrt(ax * ax + ay * ay), lb = std::sqrt(bx * bx + by * by);
        double c = (ax * bx + ay * by) / (la * lb), s = (ax * by - ay * bx) / (la * lb);
        const double c0 = drag_snap_rotation.x, s0 = drag_snap_rotation.y;
        if (constrain && !drag_snap_applied) {
          const double nc = c * c0 - s * s0, ns = s * c0 + c * s0;
          c = nc;
          s = ns;
          drag_snap_applied = 1;
        } else if (!constrain && drag_snap_applied) {
          const double nc = c * c0 + s * s0, ns = s * c0 - c * s0;
          c = nc;
          s = ns;
          drag_snap_applied = 0;
        }
        motion.rot_cos = c;
        motion.rot_sin = s;
      }
      const double c = motion.rot_cos, s = motion.rot_sin;
      auto turn = [c, s](double& x, double& y) {
        const double nx = x * c - y * s, ny = x * s + y * c;
        x = nx;
        y = ny;
      };
      for (int i = 0; i < count; ++i)
        if (movable(set[i])) turn(set[i]->valeurs[0].h, set[i]->valeurs[0].v);
      if (is_straight) turn(obj->valeurs[1].h, obj->valeurs[1].v);
      if (is_circle) turn(obj->valeurs[1].h, obj->valeurs[1].v);
    }
    if (drag_mode == 3 || drag_mode == 4) {
      double k;
      if (anim) {
        k = 1 + motion.dilation_step;
      } else {
        const double a2 = ax * ax + ay * ay;
        near_centre = a2 < 64;
        k = std::sqrt((bx * bx + by * by) / a2);
        if (drag_mode == 3 && near_centre && drag_flip_axis.x * bx + drag_flip_axis.y * by < 0) {
          k = -k;
          drag_flip_axis.x = -drag_flip_axis.x;
          drag_flip_axis.y = -drag_flip_axis.y;
        }
      }
      if (is_circle) {
        double r = std::fabs(obj->valeurs[1].info.rayon) * std::fabs(k);
        if (constrain && r > 1e-10 && pixels_per_unit > 0) {
          double n = std::floor(r / pixels_per_unit + 0.5);
          if (n < 1) n = 1;
          k *= n * pixels_per_unit / r;
          r = n * pixels_per_unit;
        }
        obj->valeurs[1].info.rayon = r;
        obj->valeurs[1].h *= k;
        obj->valeurs[1].v *= k;
      }
      for (int i = 0; i < count; ++i)
        if (movable(set[i])) {
          set[i]->valeurs[0].h *= k;
          set[i]->valeurs[0].v *= k;
        }
      if (is_straight) {
        obj->valeurs[1].h *= k;
        obj->valeurs[1].v *= k;
      }
    }
    for (int i = 0; i < count; ++i)
      if (set[i] && set[i]->valeurs) shift(set[i], cx, cy);
    if (is_circle) {
      obj->valeurs[1].h += cx;
      obj->valeurs[1].v += cy;
    }
  } else {
    if (!anim) {
      motion.translation_x = drag_delta.x;
      motion.translation_y = drag_delta.y;
    } else if (motion.step_index + 1 == motion.nb_steps && interaction_state != 9) {
      // One throw of the Animation tool ends here. The springs of the
      // multiple animation run until they are stopped: their throw goes
      // back and forth (the step turns round where the steps wrap).
      drag_mode = saved_mode;
      return 0;
    }
    if (count == 1 && !anim && !pick_list && set[0] && set[0]->valeurs && !object_is_fixed(set[0])) {
      // A point on an object is placed under the cursor too; its
      // recomputation brings it back onto its carrier.
      object* o = set[0];
      if (type_id(o) == TYPE_POINT && o->bitmap) {
        shift(o, drag_delta.x, drag_delta.y);
      } else {
        o->valeurs[0].h = drag_mouse.x;
        o->valeurs[0].v = drag_mouse.y;
      }
    } else {
      for (int i = 0; i < count; ++i)
        if (movable(set[i])) shift(set[i], motion.translation_x, motion.translation_y);
    }
  }
  drag_mode = saved_mode;
  return 1;
}
