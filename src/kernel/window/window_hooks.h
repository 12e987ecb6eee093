// The services that the figure window's event handlers ask of the rest of
// the program: the designation under the cursor and the tool handlers, the
// drag machinery, the text editor, work sessions, the description drawer,
// the tools palette, macros, measures and the figure view.
//
// Each service is a slot that its owner fills at start-up. An empty slot
// means the service does not exist yet: a command slot is then skipped and a
// query slot answers as if the thing it asks about were absent (no candidate
// menu, no drag armed, no text being edited, no recording). Tests fill the
// slots to watch the calls.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct object;
struct kelvo_win_info;
struct kel_EventRecord;
struct DisplayDevice;

struct window_hooks {
  // ---- Time: milliseconds of the kernel's clock (the platform's tick
  // count when empty).
  uint32_t (*tick_count)() = nullptr;

  // ---- The tool handlers
  // Takes back the last argument chosen by the current tool.
  void (*cancel_last_selection)(int a, int b) = nullptr;
  // The redefinition tool waits for its choice.
  bool (*redefinition_waiting)() = nullptr;

  // ---- Drags, object events and springs
  // The press on the picked object starts a drag.
  bool (*drag_armed)() = nullptr;
  // Gives the event to the object (null: the spring gesture); the object's
  // answer (0 not handled).
  int16_t (*dispatch_object_event)(kel_EventRecord* event, object* obj) = nullptr;
  void (*handle_manipulation_event)(kel_EventRecord* event) = nullptr;
  // Which object follows a recomputation (4: the object being edited; -1
  // none).
  void (*set_drag_kind)(int kind) = nullptr;
  void (*recompute_marked_objects)() = nullptr;
  // True when Return should start the spring animation.
  bool (*start_spring_animation)() = nullptr;

  // ---- Figure model
  // Deletes the objects of the list (the selection for null) and their
  // dependants.
  void (*delete_objects)(object** list) = nullptr;
  // A table, a valid locus (with_loci), axes, grid or measure.
  bool (*is_value_object)(const object* obj, bool with_loci) = nullptr;

  // ---- Work sessions: records an action when a recording is on.
  void (*session_record_action)(kelvo_win_info* fig, int action) = nullptr;

  // ---- Texts and the in-figure text editor
  void (*regenerate_text_object)(object* obj, uint8_t key) = nullptr;
  // The number selected in the active text; *count is how many are.
  object* (*selected_number_in_active_text)(int* count) = nullptr;
  bool (*is_current_text_tool_target)(const object* obj) = nullptr;
  void (*update_object_text_record)(object* obj) = nullptr;
  bool (*has_displayed_text)(const object* obj) = nullptr;
  // The open text editor's selection and text length; false when none.
  bool (*text_editor_selection)(int32_t* start, int32_t* end, int32_t* length) = nullptr;
  // The object whose label or text has no characters yet.
  bool (*has_label_text)(const object* obj) = nullptr;

  // ---- Figure description, calculator, replay
  void (*figure_description_select_object)() = nullptr;
  bool (*is_figure_description_visible)(HWND window) = nullptr;
  void (*send_description_list)(UINT message, WPARAM key) = nullptr;
  void (*place_description_panel)(HWND window) = nullptr;
  // The pen, fill and text colour buttons show the default colour again.
  void (*reset_palette_selections)() = nullptr;
  void (*evaluate_calculator)() = nullptr;
  // Another figure window became current.
  void (*calculator_figure_changed)() = nullptr;
  bool (*replay_running)() = nullptr;

  // ---- Tools palette
  HWND (*tools_window)() = nullptr;
  // Posts a message to the tools palette window (delivered later).
  void (*post_tools_palette)(UINT message, WPARAM wparam, LPARAM lparam) = nullptr;
  // An open pull-down list of a tool group, or null.
  HWND (*open_pull_down)() = nullptr;
  // The open list's current entry (taken) and the reset of its pending
  // index; 0 when none.
  uint32_t (*take_pull_down_entry)() = nullptr;
  // The palette is being reorganised.
  bool (*palette_reorganising)() = nullptr;

  // ---- Drawing
  void (*create_static_display)() = nullptr;
  void (*free_static_display)() = nullptr;
  // Bounding boxes: of an arc or angle mark, and of a conic of kind 6 (false
  // for other conics).
  bool (*arc_bounding_rect)(const object* obj, tagRECT* box) = nullptr;
  bool (*conic_bounding_rect)(const object* obj, tagRECT* box) = nullptr;

  // ---- Macros and undo menu
  void (*apply_macro)(uint16_t method, int mode) = nullptr;
  void (*prepare_macro_application)() = nullptr;
  void (*bind_macro_classes)(kelvo_win_info* fig) = nullptr;
  void (*set_undo_menu_text)() = nullptr;

  // ---- Figure view
  // Window pixels to figure coordinates (`globalToLocalDDM:`).
  void (*window_to_figure)(tagPOINT* point) = nullptr;
  // The view's integer bounds (`intBounds:`).
  void (*view_int_bounds)(HWND window, tagRECT* bounds) = nullptr;
  // The figure record and the display device of a figure window.
  kelvo_win_info* (*window_figure)(HWND window) = nullptr;
  DisplayDevice* (*window_display_device)(HWND window) = nullptr;
  // The focus window and the window the text editor lives in.
  HWND (*focus_window)() = nullptr;
  HWND (*text_editor_window)() = nullptr;
};

window_hooks& window_services();
void install_window_services(const window_hooks& hooks);

// The kernel clock in milliseconds.
uint32_t window_tick_count();
// Records a work-session action on the current figure.
void window_record_action(int action);
