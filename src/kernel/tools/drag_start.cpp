#include "kernel/tools/drag_start.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/model/recompute.h"
#include "kernel/model/table.h"
#include "kernel/model/undo.h"
#include "kernel/render/colors.h"
#include "kernel/render/draw_object.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/render/still_layer.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/text/text_drawing.h"
#include "kernel/tools/previews.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/drag_state.h"
#include "kernel/tools/hit_state.h"
#include "kernel/tools/pick.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/anim_panel.h"
#include "kernel/window/drag_free.h"
#include "kernel/window/object_events.h"
#include "kernel/window/springs.h"
#include "kernel/window/window_hooks.h"
#include "platform/kp_cursor.h"
#include "platform/kp_timer.h"

uint8_t label_drag = 0;
uint8_t object_drag = 0;
object* drag_object = nullptr;
uint8_t moving_layer_ready = 0;
int32_t launch_x = 0;
int32_t launch_y = 0;
kel_EventRecord drag_start_event = {};
motion_record* anim_records = nullptr;
uint8_t animation_running = 0;

namespace {

constexpr uint8_t kModeAnimation = 4;
constexpr uint8_t kModeMultiAnimation = 9;
constexpr uint32_t kStepPeriod = 33;
// Bits of the second flag word: a number shown in or sent to a text, an
// object shown inside a text.
constexpr uint32_t kInTextBits = 2 | 4;
// Tab during a drag: the pause, in milliseconds of the kernel's clock, and
// the naps it is waited in (never more than twice the pause by the
// machine's own clock).
constexpr uint32_t kTabPause = 500;
constexpr int kTabPauseNap = 10;
constexpr int kTabPauseNaps = 2 * kTabPause / kTabPauseNap;
// The designation tag of a text frame's bottom-right handle.
constexpr uint16_t kTagFrameHandle = 257;

drag_services g_hooks;
// The length a direction snap gives, where only the direction is wanted.
double snap_length_out = 0;

// The spring gesture: its start and current points (figure coordinates).
drag_vector g_spring_start = {};
drag_vector g_spring_end = {};

bool animation_mode() {
  return interaction_state == kModeAnimation || interaction_state == kModeMultiAnimation;
}

uint16_t type_id(const object* o) { return o && o->otype ? o->otype->id : 0; }

bool is_mouse(const kel_EventRecord* e) { return e && e->what != kEventKey; }

uint8_t key_of(const kel_EventRecord* e) { return e ? static_cast<uint8_t>(e->message & 0xFF) : 0; }

void set_cursor(int id) { KPCursor::setCursorByID(id); }

// Of the objects under edit only a table takes clicks and keys of its own:
// a row or a column chosen and removed, a column widened.
bool table_under_edit(const kelvo_win_info* fig, const object* obj) {
  return obj && obj == fig->cur_text && type_id(obj) == TYPE_TABLE;
}

void event_point(const kel_EventRecord* e, double* x, double* y) { event_point_in_figure(e, x, y); }

construct_method* method_of(const object* o) { return o ? class_method(o->classe, o->methode) : nullptr; }

int16_t run_event(object* o, uint8_t mode, kel_EventRecord* e) {
  construct_method* m = method_of(o);
  if (!m || !m->event) return 0;
  object* ref = o;
  return m->event(mode, &ref, e);
}

void set_designation_dirty() { designation_text_dirty = 1; }

// The angle of a direction, snapped to 15 degrees, less the angle itself:
// the correction that lines an object up while the constrain key is held.
void choose_snap_rotation() {
  const double phi = std::atan2(motion.rot_sin, motion.rot_cos);
  double c = std::cos(phi), s = std::sin(phi);
  snap_direction(&c, &s, &snap_length_out, false);
  const double snapped = std::atan2(s, c);
  drag_snap_rotation = {std::cos(snapped - phi), std::sin(snapped - phi)};
  drag_snap_applied = 0;
}

void free_anim_records() {
  while (anim_records) {
    motion_record* next = anim_records->next;
    GlobalFreeAndNull(&anim_records);
    anim_records = next;
  }
}

void sort_anim_records() {
  // Insertion sort by driver number; the list is short.
  motion_record* sorted = nullptr;
  while (anim_records) {
    motion_record* r = anim_records;
    anim_records = r->next;
    motion_record** at = &sorted;
    while (*at && (*at)->driver && r->driver && (*at)->driver->num <= r->driver->num) at = &(*at)->next;
    r->next = *at;
    *at = r;
  }
  anim_records = sorted;
}

void append_anim_record(const motion_record& rec) {
  motion_record* copy = alloc_block<motion_record>();
  if (!copy) return;
  *copy = rec;
  copy->next = nullptr;
  motion_record** at = &anim_records;
  while (*at) at = &(*at)->next;
  *at = copy;
}

bool spring_has_record(const object* spring) {
  for (motion_record* r = anim_records; r; r = r->next)
    if (r->spring == spring) return true;
  return false;
}

// A record for a spring: its anchor is the start point, anchor minus far
// end the end point.
bool spring_record(object* spring, motion_record* rec) {
  if (!spring || (spring->state & OBJ_UNDEFINED) || spring->nbparents < 1 || !spring->valeurs ||
      spring->nbvaleurs < 2)
    return false;
  object* driver = spring->parents[0];
  construct_method* m = method_of(driver);
  if (!m || !m->event) return false;
  *rec = motion;
  rec->driver = driver;
  rec->spring = spring;
  rec->start_x = static_cast<int32_t>(spring->valeurs[0].h);
  rec->start_y = static_cast<int32_t>(spring->valeurs[0].v);
  rec->end_x = static_cast<int32_t>(spring->valeurs[0].h - spring->valeurs[1].h);
  rec->end_y = static_cast<int32_t>(spring->valeurs[0].v - spring->valeurs[1].v);
  rec->pivot_fixed = 0;
  rec->next = nullptr;
  return true;
}

void draw_spring_on(DisplayDevice* dd, double x0, double y0, double x1, double y1, object* spring) {
  if (g_hooks.draw_spring && dd) g_hooks.draw_spring(dd, x0, y0, x1, y1, spring);
}

// Starts every record of the multiple animation from its spring.
void restart_records(kel_EventRecord* event) {
  sort_anim_records();
  for (motion_record* r = anim_records; r; r = r->next) {
    const int32_t vx = r->start_x - r->end_x, vy = r->start_y - r->end_y;
    const bool tiny = std::abs(vx) + std::abs(vy) <= 3;
    launch_x = tiny ? 0 : vx;
    launch_y = tiny ? 0 : vy;
    double wx = r->start_x, wy = r->start_y;
    if (g_hooks.figure_to_window) g_hooks.figure_to_window(&wx, &wy);
    event->x = static_cast<int32_t>(wx);
    event->y = static_cast<int32_t>(wy);
    event->what = kEventMouseDown;
    motion = *r;
    run_event(r->driver, 0, event);
    start_motion(event, r->driver);
    motion_record* next = r->next;
    *r = motion;
    r->next = next;
    if (r->spring) {
      r->spring->state |= OBJ_ERASE;
      draw_object(nullptr, r->spring);
      r->spring->state &= ~OBJ_ERASE;
    }
  }
}

// The spring drawn from the press to the mouse in the animation modes.
int spring_gesture(double x, double y, bool mouse_up, object* obj) {
  if (!spring_gesture_active) {
    g_spring_start = {x, y};
    g_spring_end = {x, y};
    spring_gesture_active = 1;
  }
  const double dx = x - g_spring_start.x, dy = y - g_spring_start.y;
  const bool long_enough = std::fabs(dx) + std::fabs(dy) > 3;
  if (!mouse_up) {
    if (long_enough) {
      g_spring_end = {x, y};
      draw_spring_on(moving_display, g_spring_start.x, g_spring_start.y, x, y, nullptr);
      flush_moving_display(8);
    }
    return 1;
  }
  spring_gesture_active = 0;
  if (interaction_state == kModeMultiAnimation) {
    draw_spring_on(static_display, g_spring_start.x, g_spring_start.y, x, y, nullptr);
    draw_spring_on(moving_display, g_spring_start.x, g_spring_start.y, x, y, nullptr);
    motion.start_x = static_cast<int32_t>(g_spring_start.x);
    motion.start_y = static_cast<int32_t>(g_spring_start.y);
    motion.end_x = static_cast<int32_t>(x);
    motion.end_y = static_cast<int32_t>(y);
    if (method_of(obj) && method_of(obj)->event && long_enough) {
      motion_record rec = motion;
      rec.driver = obj;
      rec.spring = nullptr;
      append_anim_record(rec);
    }
  } else {
    draw_spring_on(moving_display, g_spring_start.x, g_spring_start.y, x, y, nullptr);
    draw_spring_between_points(static_cast<int32_t>(g_spring_start.x), static_cast<int32_t>(g_spring_start.y),
                               static_cast<int32_t>(x), static_cast<int32_t>(y));
    launch_x = long_enough ? static_cast<int32_t>(g_spring_start.x - x) : 0;
    launch_y = long_enough ? static_cast<int32_t>(g_spring_start.y - y) : 0;
  }
  return 1;
}

// What each step of a drag walks, gathered once when the drag begins so
// that a step costs what the moving objects cost, not the figure: the
// moving objects in list order, the first of them (where the moving layer
// starts) and the objects that leave a trace. Each step still tests every
// object's flags as a walk of the whole list does. Any change to the
// figure's objects (its stamp) sends the steps back to the whole list, and
// so do the multiple animations, whose springs join the figure as they go.
struct DragWalk {
  kelvo_win_info* fig = nullptr;
  uint64_t stamp = 0;
  object* layer_start = nullptr;
  std::vector<object*> moving;
  std::vector<object*> marked;

  bool ready(const kelvo_win_info* f) const {
    return f && f == fig && f->list_stamp == stamp && manipulating && drag_in_progress &&
           interaction_state != kModeMultiAnimation;
  }
};
DragWalk drag_walk;

void gather_drag_walk(kelvo_win_info* fig) {
  drag_walk = DragWalk{};
  drag_walk.fig = fig;
  drag_walk.stamp = fig->list_stamp;
  for (object* o = fig->first; o; o = o->next) {
    if (o->state & OBJ_MOVING) {
      if (!drag_walk.layer_start) drag_walk.layer_start = o;
      drag_walk.moving.push_back(o);
    }
    if (o->settings.marked) drag_walk.marked.push_back(o);
  }
}

// The frame of a text being resized by its handle, outlined dashed while
// it changes: a frameless text shows its new bounds.
void outline_resized_text_frame() {
  object* head = picked.items ? picked.items[0] : nullptr;
  if (!head || !picked.tags || picked.tags[0] != kTagFrameHandle || !head->te || !moving_display) return;
  const TErec* te = head->te;
  if (te->size.w <= 0 || te->size.h <= 0) return;
  draw_rect_dashed(moving_display, te->pos.x, te->pos.y, te->pos.x + te->size.w, te->pos.y + te->size.h, default_color,
                   1);
}

// A step draws only the moving objects; the still ones that lie above them
// were drawn once into the still layer, which the view lays over the moving
// layer when it shows it. The step draws the first pass of the moving
// objects and leaves the others to the view, which draws each of them over
// the still passes before it, as a drawing of the whole figure does: a
// moving point lies above a still line made after it.
// With `outline_resized`, a text resized by its handle shows its frame.
void draw_moving_layer(int flush_code, bool outline_resized = false) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  bool deferred = false;
  if (drag_walk.ready(fig)) {
    if (object* from = drag_walk.layer_start) {
      if (still_layer_current(fig, from) || build_still_layer(fig, from)) {
        draw_moving_pass(moving_display, drag_walk.moving, kPassTranslucent);
        defer_moving_passes(&drag_walk.moving);
        deferred = true;
        figure_changed = 1;
      } else {
        draw_figure_objects_from(moving_display, kLayerMoving, from);
      }
    }
  } else {
    drop_still_layer();
    draw_figure_objects(moving_display, kLayerMoving);
  }
  if (outline_resized) outline_resized_text_frame();
  flush_moving_display(flush_code);
  // No view showed the step: the moving layer takes the passes left.
  if (deferred) draw_deferred_moving_passes(moving_display);
}

}  // namespace

drag_services& drag_hooks() { return g_hooks; }

void start_motion(kel_EventRecord* event, object* obj) {
  if (!event) return;
  drag_start_event = *event;
  key_manipulation = event->what == kEventKey;
  if (key_manipulation) {
    pending_key_event = *event;
    pending_key_flag = 1;
  }
  double x = 0, y = 0;
  if (!key_manipulation) {
    event_point(event, &x, &y);
    // The grab offset: reference of a dilation and of the snapped rotation.
    drag_flip_axis = {x - motion.pivot_x, y - motion.pivot_y};
    near_centre = 0;
    const double saved_cos = motion.rot_cos, saved_sin = motion.rot_sin;
    valeur at{};
    at.h = x;
    at.v = y;
    grab_rotation(obj, at);
    choose_snap_rotation();
    if (!animation_mode()) {
      motion.rot_cos = saved_cos;
      motion.rot_sin = saved_sin;
    }
  }
  if (animation_mode()) {
    const double vx = launch_x, vy = launch_y;
    const double speed = std::fabs(vx) + std::fabs(vy);
    int n = speed == 0 ? 50 : static_cast<int>(10000 / speed);
    if (n < 50) n = 50;
    if (n > 0xFFFF) n = 0xFFFF;
    motion.step_index = 0;
    motion.step_direction = 1;
    motion.nb_steps = static_cast<uint16_t>(n);
    motion.last_tick = KPTimer::getTickCount();
    step_interval = kStepPeriod;
    const double dx = drag_flip_axis.x, dy = drag_flip_axis.y;
    const double turn = -vy * dx + vx * dy;
    motion.rot_cos = std::cos(2 * M_PI / n);
    motion.rot_sin = std::sin(2 * M_PI / n) * (turn < 0 ? -1 : 1);
    motion.dilation_step = (vx * dx + vy * dy < 0 ? -1.0 : 1.0) / n;
    if (drag_mode == 1) {
      motion.translation_x = vx / n;
      motion.translation_y = vy / n;
    }
    construct_method* m = method_of(obj);
    if (m && m->point_on && obj->valeurs && obj->nbvaleurs > 0) {
      // The driver runs along its carrier from the position nearest to it.
      const valeur here = obj->valeurs[0];
      int best = 0;
      double best_d = 1e300;
      for (int i = 0; i < n; ++i) {
        m->point_on(obj, n, i);
        const double d = std::fabs(obj->valeurs[0].h - here.h) + std::fabs(obj->valeurs[0].v - here.v);
        if (d < best_d) {
          best_d = d;
          best = i;
        }
      }
      m->point_on(obj, n, (best + 1) % n);
      const double sx = obj->valeurs[0].h - here.h, sy = obj->valeurs[0].v - here.v;
      motion.step_index = static_cast<uint16_t>(best);
      if (sx * vx + sy * vy < 0) motion.step_direction = -1;
      for (int i = 0; i < obj->nbvaleurs && i < 1; ++i) obj->valeurs[0] = here;
      const uint16_t ct = obj->nbparents > 0 ? type_id(obj->parents[0]) : 0;
      motion.bounce = ct == TYPE_ARC || ct == TYPE_SEGMENT;
    }
  } else {
    drag_mouse = {x, y};
    drag_delta = {0, 0};
  }
}

// Takes the event's point, snapped about the pivot while constrained;
// false while an animation step is not due yet.
static bool motion_step_due(kel_EventRecord* event) {
  if (!animation_mode()) {
    if (!event || event->what == kEventKey) return true;
    double x, y;
    event_point(event, &x, &y);
    if ((drag_mode == 2 || motion.pivot_fixed) && (event->modifiers & kEventConstrainMask)) {
      double dx = x - motion.pivot_x, dy = y - motion.pivot_y;
      snap_direction(&dx, &dy, &snap_length_out, false);
      x = motion.pivot_x + dx;
      y = motion.pivot_y + dy;
    }
    drag_delta = {x - drag_mouse.x, y - drag_mouse.y};
    drag_mouse = {x, y};
    return true;
  }
  const uint32_t now = KPTimer::getTickCount();
  if (now - motion.last_tick < step_interval) return false;
  motion.last_tick = now;
  int index = motion.step_index + motion.step_direction;
  if (index >= motion.nb_steps || index < 0) {
    if (motion.bounce) {
      motion.step_direction = static_cast<int16_t>(-motion.step_direction);
      index = motion.step_index + motion.step_direction;
    } else {
      index = motion.step_direction > 0 ? 0 : motion.nb_steps - 1;
    }
    motion.dilation_step = -motion.dilation_step;
    motion.translation_x = -motion.translation_x;
    motion.translation_y = -motion.translation_y;
  }
  if (index < 0) index = 0;
  motion.step_index = static_cast<uint16_t>(index);
  return true;
}

void motion_step(kel_EventRecord* event) { motion_step_due(event); }

int begin_object_drag(kel_EventRecord* event, object* obj) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !event) return 0;
  const bool mouse = is_mouse(event);
  kel_EventRecord launch{};
  if (!spring_gesture_active) {
    label_drag = object_drag = 0;
    motion.rot_cos = 1;
    motion.rot_sin = 0;
    motion.pivot_fixed = 0;
    save_undo_state_before_change();
    set_document_dirty();

    // A number shown inside a text moves with the text.
    if (!animation_mode() && obj && type_id(obj) == TYPE_NUMBER && (obj->aux2 & kInTextBits)) {
      const uint8_t c = key_of(event);
      const bool sign_key = event->what == kEventKey && (c == '+' || c == '-');
      const object* selected = g_hooks.selected_number_in_active_text ? g_hooks.selected_number_in_active_text()
                                                                      : nullptr;
      if (!sign_key && obj != selected) {
        object* text = find_text_containing_number(obj);
        if (text != obj) {
          if (text != fig->cur_text && event->what == kEventKey) return 1;
          obj = text;
        }
      }
    }

    const uint8_t c = key_of(event);
    const bool start_all = interaction_state == kModeMultiAnimation && anim_records && event->what == kEventKey &&
                           (c == 13 || c == 3);
    object* ref = obj;
    if (start_all) {
    } else if (obj && text_event(0, &ref, event)) {
      label_drag = 1;
    } else if (obj && object_drag_event(0, &ref, event)) {
      object_drag = 1;
    } else if ((!fig->cur_text || table_under_edit(fig, obj)) && try_pick_object(event, obj, false, true)) {
    } else {
      return 0;
    }

    if (interaction_state == kModeAnimation || (interaction_state == kModeMultiAnimation && mouse && !start_all)) {
      if (interaction_state == kModeMultiAnimation) {
        clear_pick_marks();
        for (motion_record** r = &anim_records; *r; r = &(*r)->next)
          if ((*r)->driver == obj) {
            motion_record* gone = *r;
            *r = gone->next;
            GlobalFreeAndNull(&gone);
            invalidate_figure_view(current_figure_view);
            break;
          }
      }
      drag_object = obj;
    } else if (start_all) {
      restart_records(event);
      object* first = anim_records ? anim_records->driver : nullptr;
      bool ok = first && try_pick_object(event, first, true, false) && first_hit;
      for (object* o = fig->first; ok && o; o = o->next)
        if ((o->state & OBJ_MOVING) && object_is_fixed(o)) ok = false;
      if (!ok) {
        end_spring_animation();
        clear_pick_marks();
        return 0;
      }
      reset_anim_buttons();
      draw_animation_springs();
      goto gesture;
    } else {
      goto gesture;
    }
  }
  {
    // The spring gesture of the animation modes.
    double x, y;
    event_point(event, &x, &y);
    const bool released = event->what == kEventMouseUp;
    const int taken = spring_gesture(x, y, released, obj);
    if (!released || interaction_state != kModeAnimation) return taken;
    // The single animation launches its object when the spring (or a plain
    // click, which launches at the slowest pace) is released; the motion
    // takes its grab offset from the press.
    double wx = g_spring_start.x, wy = g_spring_start.y;
    if (g_hooks.figure_to_window) g_hooks.figure_to_window(&wx, &wy);
    launch = *event;
    launch.what = kEventMouseDown;
    launch.x = static_cast<int32_t>(std::lround(wx));
    launch.y = static_cast<int32_t>(std::lround(wy));
    event = &launch;
  }

gesture:
  manipulating = 1;
  drag_in_progress = 1;
  if (fig->cur_text && (fig->cur_text->state & OBJ_MOVING) && drag_kind != -1) {
    // The object being edited stays on the static layer while it follows.
    fig->cur_text->state &= ~OBJ_MOVING;
    const int16_t kind = drag_kind;
    drag_kind = static_cast<int16_t>(~kind);
    redraw_figure(2);
    drag_kind = kind;
    fig->cur_text->state |= OBJ_MOVING;
  } else {
    redraw_figure(2);
  }
  gather_drag_walk(fig);
  draw_moving_layer(8);
  moving_layer_ready = 1;
  if (interaction_state != kModeMultiAnimation) start_motion(event, obj);
  drag_object = obj;
  set_cursor(kCursorDragging);
  return 1;
}

int dispatch_object_event(kel_EventRecord* event, object* obj) {
  if (manipulating) return 0;
  if (begin_object_drag(event, obj) == 1) return 1;
  if (!manipulating) handle_manipulation_event(event, obj);
  return 0;
}

void recompute_marked_objects() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  set_designation_dirty();
  if (!fig) return;
  auto step = [&](object* o, bool test_object_drag) {
    if (!(o->state & OBJ_MOVING)) return;
    if (label_drag || (test_object_drag && object_drag)) return;
    if (o == fig->cur_text) {
      const bool selected = g_hooks.selection_contains_item && g_hooks.selection_contains_item(o, 0);
      if (drag_kind != 4 || !selected) return;
    }
    recompute_object(o);
  };
  auto pass = [&](object* from, bool test_object_drag) {
    for (object* o = from; o; o = o->next) step(o, test_object_drag);
  };
  if (drag_walk.ready(fig)) {
    for (object* o : drag_walk.moving) step(o, true);
  } else {
    pass(fig->first, true);
  }
  if (fig->cur_text && (fig->cur_text->state & OBJ_MOVING) && drag_kind == 4) {
    draw_object(static_display, fig->cur_text);
    if (moving_display) dd_copy_bitmap(moving_display, static_display, 0);
  }
  if (interaction_state == kModeMultiAnimation && first_hit) {
    // A table took the row of this step in the first pass: computed again
    // it would refuse the row with a beep and end the animation.
    for (object* o = first_hit; o; o = o->next)
      if (type_id(o) != TYPE_TABLE || tabulate_ready) step(o, false);
  }
  draw_moving_layer(3, true);
  refresh_figure_description(current_figure_view);
}

void refresh_moving_layer() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  set_designation_dirty();
  if (fig && fig->cur_text && (fig->cur_text->state & OBJ_MOVING) && drag_kind == 4) {
    draw_object(static_display, fig->cur_text);
    if (moving_display) dd_copy_bitmap(moving_display, static_display, 0);
  }
  draw_moving_layer(4);
  refresh_figure_description(current_figure_view);
}

int handle_manipulation_event(kel_EventRecord* event, object* obj) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  bool moved = false;
  if (manipulating && event && fig) {
    if (event->what == kEventKey && key_of(event) == 9 && !animation_mode() && drag_kind == -1 && fig->cur_text &&
        fig->cur_text != obj) {
      // Tab brings the object being edited along with the drag; the drag
      // goes on once it has been seen half a second.
      const uint32_t before = window_tick_count();
      drag_kind = 4;
      recompute_object(fig->cur_text);
      draw_object(static_display, fig->cur_text);
      drag_kind = -1;
      for (int naps = 0; window_tick_count() - before < kTabPause && naps < kTabPauseNaps; ++naps)
        std::this_thread::sleep_for(std::chrono::milliseconds(kTabPauseNap));
      return 0;
    }
    bool going = false;
    if (interaction_state == kModeMultiAnimation) {
      if (event->what != kEventMouseUp) {
        going = true;
        for (motion_record* r = anim_records; r && going; r = r->next) {
          motion_record* next = r->next;
          motion = *r;
          const bool due = motion_step_due(event);
          *r = motion;
          r->next = next;
          if (!due) continue;
          if (!run_event(r->driver, 1, event)) going = false;
          else moved = true;
        }
        if (moved) {
          tabulate_ready = 1;
          recompute_marked_objects();
        }
      }
      moving_layer_ready = 0;
      redraw_marked_objects();
      add_new_springs_to_animation();
    } else {
      // An animation steps at its own pace, but a release (which ends it)
      // or a key (which changes the pace) is delivered at once.
      const bool paced = !animation_mode() || event->what == kEventDragStep;
      if (paced && !motion_step_due(event)) return 0;
      auto step = [&](object* o) {
        object* ref = o;
        int16_t r;
        if (label_drag) r = text_event(1, &ref, event);
        else if (object_drag) r = object_drag_event(1, &ref, event);
        else r = run_event(o, 1, event);
        if (r == 1) moved = true;
        if (r != 0) going = true;
      };
      if (pick_list) {
        for (objectptrlist* n = pick_list; n; n = n->next) step(n->obj);
      } else if (first_hit) {
        step(first_hit);
      }
      if (going && pick_list && g_hooks.selection_rect_shown && g_hooks.selection_rect_shown() &&
          g_hooks.shift_selection_rect)
        g_hooks.shift_selection_rect(static_cast<int32_t>(drag_delta.x), static_cast<int32_t>(drag_delta.y));
      if (moved) {
        // Each step that moves the figure gives the tables one new row.
        tabulate_ready = 1;
        recompute_marked_objects();
        moving_layer_ready = 0;
        if (drag_walk.ready(fig)) redraw_marked_objects(drag_walk.marked);
        else redraw_marked_objects();
      }
    }
    if (going) return moved;
    manipulating = 0;
    drag_in_progress = 0;
    drag_walk = DragWalk{};
    drop_still_layer();
    drag_kind = -1;
    end_spring_animation();
    clear_pick_marks();
    redraw_figure(2);
    moving_layer_ready = 0;
  }
  if (!manipulating) {
    drag_kind = -1;
    end_spring_animation();
    clear_pick_marks();
    set_cursor(kCursorRefused);
    if (fig && fig->cur_text && obj && type_id(obj) == TYPE_NUMBER && !key_manipulation &&
        g_hooks.link_number_to_text) {
      bool in_text = false;
      for (int i = 0; i < fig->cur_text->nbparents; ++i) in_text |= fig->cur_text->parents[i] == obj;
      if (!in_text) g_hooks.link_number_to_text(obj, fig->cur_text, 0);
    }
  }
  return moved;
}

bool start_spring_animation() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || current_class != &classe_spring || objlist_count(fig->selection) > 0)
    return interaction_state == kModeMultiAnimation;
  for (object* o = fig->first; o; o = o->next) {
    motion_record rec{};
    if (o->classe == &classe_spring && spring_record(o, &rec)) append_anim_record(rec);
  }
  interaction_state = kModeMultiAnimation;
  current_class = nullptr;
  animation_running = 1;
  return interaction_state == kModeMultiAnimation;
}

void stop_spring_animation() {
  if (!animation_running) return;
  current_class = &classe_spring;
  clear_selection();
  interaction_state = 1;
  if (g_hooks.stop_anim_panel) g_hooks.stop_anim_panel();
  animation_running = 0;
}

void end_spring_animation() {
  if (interaction_state == kModeMultiAnimation) {
    kelvo_win_info* fig = KPGeoDocument::currentInfo();
    bool marked = false;
    for (object* o = fig ? fig->first : nullptr; o && !marked; o = o->next) marked = o->settings.marked;
    if (marked && g_hooks.draw_spring)
      for (motion_record* r = anim_records; r; r = r->next)
        if (r->spring) {
          r->spring->state |= OBJ_ERASE;
          draw_spring_on(static_display, r->start_x, r->start_y, r->end_x, r->end_y, r->spring);
          r->spring->state &= ~OBJ_ERASE;
        }
  }
  free_anim_records();
  stop_spring_animation();
}

void add_new_springs_to_animation() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (interaction_state != kModeMultiAnimation || !fig) return;
  bool added = false;
  for (object* o = fig->first; o; o = o->next) {
    motion_record rec{};
    if (o->classe == &classe_spring && !spring_has_record(o) && spring_record(o, &rec)) {
      append_anim_record(rec);
      added = true;
    }
  }
  if (!added) return;
  clear_pick_marks();
  kel_EventRecord e = drag_start_event;
  restart_records(&e);
  if (anim_records) try_pick_object(&e, anim_records->driver, true, false);
  manipulating = 1;
  drag_in_progress = 1;
  redraw_figure(2);
  draw_moving_layer(7);
}
