// The kernel side of a figure window: the handlers the figure view calls
// for each mouse, key, paint and activation event. From the interaction
// state and the current tool they pick an argument for a construction,
// select, start a drag, apply attributes, edit a text or step a value, and
// leave the figure redrawn, the undo copy refreshed, the document marked
// edited and the action recorded in the work session.
#pragma once

#include <cstdint>

#include "app/kernel_iface/kel_event_record.h"
#include "platform/win_types.h"

struct object;
struct DisplayDevice;

// ---- State of the press in progress
// The button is down (set by figure_view_track_mouse on a press, cleared on
// the release), the window that took the press and the one that had the
// focus before it.
extern uint8_t mouse_tracking;
extern HWND capture_window;
extern HWND focus_before_capture;
// Tick count of the last press and its point (window pixels).
extern DWORD press_tick;
extern tagPOINT press_point;
// Mouse speed samples, written by the figure view on each move.
extern tagPOINT mouse_point;
extern DWORD mouse_tick;
extern tagPOINT previous_mouse_point;
extern DWORD previous_mouse_tick;
// The last mouse point seen by figure_view_track_mouse.
extern tagPOINT last_mouse_point;
// The view's integer bounds, read by figure_paint.
extern tagRECT scroll_origin;

// ---- Figure-event state the figure view reads and writes
extern uint8_t hold_tested;
extern uint8_t pointer_drag_started;
extern uint8_t figure_window_active;
extern uint8_t in_mouse_up;
// The tools palette is being reorganised; an open pull-down list of a tool
// group; a pop-up menu is being tracked. The palette sets them.
extern uint8_t config_mode;
extern HWND open_pull_down;
extern uint8_t popup_tracking;
// The part of the figure the view shows, in figure pixels.
extern tagRECT view_rect;
extern HWND tools_panel_window;
// The default window rectangle, at least 100 by 20 once the kernel is set up.
extern tagRECT default_window_rect;

// The rubber band of a pointer drag on the sheet. Its rectangle is the
// selection rectangle (kernel/tools/selection.h); `rubber_band_tracking`
// (kernel/tools/tool_dispatch.h) says that tracking started for this press.
struct rubber_band_state {
  tagPOINT anchor;  // figure coordinates
  tagPOINT last;
  uint8_t points_selected;  // free points selected by holding the button
  uint8_t moved;            // the pointer left the press point
  uint8_t dash_phase;
  DWORD start_tick;
  DWORD draw_tick;
};
extern rubber_band_state rubber_band;

// Work-session actions recorded by the handlers.
enum : int {
  ACTION_CHANGE_ASPECT = 1,
  ACTION_REMOVE_STICKERS = 2,
  ACTION_CONSTRUCTION = 4,
  ACTION_CREATION = 5,
  ACTION_MEASURE = 6,
  ACTION_TABULATE = 7,
  ACTION_EDIT_NAME = 8,
  ACTION_EDIT_NUMBER = 9,
  ACTION_EDIT_TEXT = 11,
  ACTION_MOVE_OBJECT = 12,
  ACTION_MOVE_OBJECT_END = 13,
  ACTION_CHANGE_OBJECT = 14,
  ACTION_TRANSLATE_WINDOW = 15,
  ACTION_ANIMATION = 16,
  ACTION_ANIMATION_END = 17,
  ACTION_ACTIVE_WINDOW = 19,
  ACTION_SUPPRESSION = 21,
};

// Drag thresholds of a press: distance |dx| + |dy| in pixels and time held
// in milliseconds, with a construction tool current and without.
inline constexpr int32_t kDragDistanceTool = 20;
inline constexpr int32_t kDragDistancePointer = 6;
inline constexpr uint32_t kDragTimeTool = 1000;
inline constexpr uint32_t kDragTimePointer = 500;
// Holding the pointer still this long on the sheet selects the free points.
inline constexpr uint32_t kHoldSelectsPoints = 1001;

// Button down and up in the construction state.
void figure_mouse_construct(kel_EventRecord* event);
// Button down and up in the pointer family (and moves once the press is a
// drag).
void figure_mouse_pointer(kel_EventRecord* event);
// Button down and up with an attribute tool.
void attribute_tool_click(kel_EventRecord* event);
// The rubber band and the hold of the button on the sheet; `released` ends
// the band.
void figure_mouse_track(kel_EventRecord* event, int released);
// The first step of every mouse event of a figure view.
void figure_view_track_mouse(void* view, const kel_EventRecord* event);
// Character keys.
void figure_key_down(kel_EventRecord* event);
// Return (13), Escape (27) and the arrows (37 to 40).
void figure_special_key(int key);
// The Delete command; 1 when it acted.
uint8_t clear_command();
// The object a second click on a selected label or text edits, or null.
object* text_reference_under_click(kel_EventRecord* event);
void figure_activate(void* window);
void figure_teardown(void* window, DisplayDevice* dd);
void figure_paint(void* window);
// Puts the Show Axes tool in line with the figure's axes.
void update_axes_tool_variant();
// The button is down and more than `ms` milliseconds passed since the press.
bool elapsed_ticks_exceed(uint32_t ms);
// The mouse moves slower than factor centimetres per second.
bool is_mouse_speed_below(double factor);
// Whether a press held at `point` (window pixels) has become a drag.
bool press_became_drag(tagPOINT point);
