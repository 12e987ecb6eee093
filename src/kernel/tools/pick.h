// Picking the objects that move: before a drag (pointer, rotate and dilate
// tools, animations) the objects the gesture moves directly go into
// `pick_list`, every object that depends on them carries state bit 1, and
// the pivot of a rotation or dilation is worked out. A gesture that would
// move a fixed object is refused.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"
#include "platform/win_types.h"
#include "kernel/tools/tool_dispatch.h"

struct kel_EventRecord;

// The moving mark of a gesture (bit 1 of object::state).
inline constexpr uint32_t OBJ_MOVING = 1;

// One motion: the drag's pivot and steps, or one animated spring. Copied
// whole between the animation list and the current record.
struct motion_record {
  object* driver;
  object* spring;
  int32_t start_x;
  int32_t start_y;
  int32_t end_x;
  int32_t end_y;
  uint16_t step_index;
  int16_t step_direction;  // 1 or -1
  uint16_t nb_steps;
  uint32_t last_tick;
  double rot_cos;
  double rot_sin;
  double dilation_step;
  double translation_x;
  double translation_y;
  uint8_t bounce;       // run back and forth instead of wrapping
  uint8_t pivot_fixed;  // the pivot is a fixed point
  double pivot_x;
  double pivot_y;
  motion_record* next;
};

// The objects that follow the mouse directly, in order.
extern objectptrlist* pick_list;
// The first object marked in the current pick.
extern object* first_hit;
// Set while the selection is picked as a whole.
extern uint8_t pick_from_selection;
// The current motion record.
extern motion_record motion;
// The pivot has been worked out for this gesture.
extern uint8_t pivot_known;
// -1 when none; 4 while the object being edited follows a drag, 8 when a
// text drags it.
extern int16_t drag_kind;

bool try_pick_object(kel_EventRecord* event, object* obj, bool already_marked, bool from_selection);
void mark_first_hit_object(object* obj);
void add_to_pick_list(object* obj);
bool pick_list_centroid();
bool remember_first_selected_point();
bool check_fixed_objects(object* obj, kel_EventRecord* event);
void grab_rotation(object* obj, const valeur& point);
void clear_pick_marks();
void free_pick_list();

// Whether a press at p would start a drag that moves the object; the pick
// state is left as it was.
bool object_would_move(object* obj, const tagPOINT* p);
// Gives the designation and the tool dispatch the pick's answers: whether a
// drag is under way, whether an object would move, and the clearing of the
// pick marks.
void install_pick_services();

// A fixed object never moves.
inline bool object_is_fixed(const object* obj) { return obj && obj->settings.sticky; }
