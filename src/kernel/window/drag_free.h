// Dragging free objects: one drag or animation step moves the free
// ancestors of the dragged object, following the mouse (translation) or
// turning and scaling them about the pivot of the motion record (rotation,
// dilation). The caller then recomputes the dependants in list order and
// redraws the moving layer.
#pragma once

#include <cstdint>

#include "app/kernel_iface/kel_event_record.h"

struct object;

struct drag_vector {
  double x;
  double y;
};

// Shared state of a gesture, filled by the drag start and each step.
extern drag_vector drag_mouse;           // mouse, figure coordinates
extern drag_vector drag_delta;           // displacement since the last step
extern drag_vector drag_snap_rotation;   // (cos, sin) composed in by the constrain modifier
extern uint8_t drag_snap_applied;
extern drag_vector drag_flip_axis;       // reference direction of a dilation
extern uint8_t near_centre;
extern uint8_t key_manipulation;         // the gesture began with a key
extern uint8_t pending_key_flag;
extern kel_EventRecord pending_key_event;
extern uint32_t step_interval;           // milliseconds between automatic steps

// 0 not handled (or the animation ran out), 1 moved, 2 handled, nothing moved.
int16_t drag_free_ancestors(object* obj, kel_EventRecord* event, bool use_parents);

// The keys on values (arrows, '+', '-', Tab); the keyboard stepping of
// values installs it. Unset, keys change nothing.
extern void (*value_key_command)(object* obj, uint32_t key);
