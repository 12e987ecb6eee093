// Object events and the start of a drag: the press on an object with a
// manipulation tool (or a key on a value) begins a gesture that takes the
// undo copy, picks what moves and splits the figure into a static and a
// moving layer; each following event moves the picked objects through
// their methods' event operations, recomputes the marked objects in list
// order and redraws only the moving layer; the gesture ends when every
// operation answers 0 (at the release).
#pragma once

#include <cstdint>

#include "app/kernel_iface/kel_event_record.h"
#include "kernel/tools/tool_dispatch.h"

struct object;
struct DisplayDevice;

// Gesture state.
extern uint8_t label_drag;   // the gesture drags a label or a text frame
extern uint8_t object_drag;  // it drags the visible end of a line or ray
extern object* drag_object;  // the object pressed
extern uint8_t moving_layer_ready;
extern int32_t launch_x;     // launch vector of a spring, pixels
extern int32_t launch_y;
extern kel_EventRecord drag_start_event;
// Animated springs of the multiple animation, sorted by driver number.
struct motion_record;
extern motion_record* anim_records;
// The multiple animation was started and not yet stopped.
extern uint8_t animation_running;

// Cursors shown during and after a gesture.
inline constexpr int kCursorDragging = 119;
inline constexpr int kCursorRefused = 146;

// Services of the figure view, the springs, the texts and the selection
// that a gesture uses. An empty slot is skipped (a query answers "no").
struct drag_services {
  // The figure view's conversion of a figure point to window coordinates
  // (identity unset); the other way is object_event_hooks().window_to_figure.
  void (*figure_to_window)(double* x, double* y) = nullptr;
  // Draws a spring between two figure points (the spring of a record when
  // given) on a device.
  void (*draw_spring)(DisplayDevice* dd, double x0, double y0, double x1, double y1, object* spring) = nullptr;
  void (*stop_anim_panel)() = nullptr;
  // Puts a number into a text (remove 0) or takes it out.
  void (*link_number_to_text)(object* number, object* text, int remove) = nullptr;
  bool (*selection_contains_item)(object* obj, uint16_t tag) = nullptr;
  // The selection rectangle is shown; shift it by whole pixels.
  bool (*selection_rect_shown)() = nullptr;
  void (*shift_selection_rect)(int32_t dx, int32_t dy) = nullptr;
  // The object currently selected inside the text under edit, or null.
  object* (*selected_number_in_active_text)() = nullptr;
};
drag_services& drag_hooks();

int dispatch_object_event(kel_EventRecord* event, object* obj);
int begin_object_drag(kel_EventRecord* event, object* obj);
int handle_manipulation_event(kel_EventRecord* event, object* obj);
void recompute_marked_objects();
void refresh_moving_layer();
void start_motion(kel_EventRecord* event, object* obj);
void motion_step(kel_EventRecord* event);

bool start_spring_animation();
void stop_spring_animation();
void end_spring_animation();
// Ends a run of the springs that the tool leaves, the tool itself left as it
// is: the springs stop for good and the next Animate starts them anew.
void abandon_spring_animation();
void add_new_springs_to_animation();
