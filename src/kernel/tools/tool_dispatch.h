// The current tool: the kernel-wide tool state, the single entry through
// which every tool identifier is dispatched, the preparation of the tool
// made current and the abandonment of the previous one.
#pragma once

#include <cstdint>

#include "kernel/tools/cursors.h"
#include "kernel/tools/tool_state.h"

struct object;
struct construct_class;

// Tool modes (`interaction_state`).
enum : uint8_t {
  STATE_CONSTRUCTION = 1,
  STATE_POINTER = 2,
  STATE_TRACE = 3,
  STATE_ANIMATION = 4,
  STATE_FIX_FREE = 5,
  STATE_APPEARANCE = 6,
  STATE_MACRO = 7,
  STATE_SHOW_AXES = 8,  // the kind of the Show Axes row; never a mode
  STATE_MULTI_ANIMATION = 9,
  STATE_COLOR_NUMBER = 10,
};

// Variants of the pointer family (`drag_mode`).
enum : uint16_t { DRAG_TRANSLATE = 1, DRAG_ROTATE = 2, DRAG_DILATE = 3, DRAG_ROTATE_DILATE = 4 };

// Attribute bits (`attribute_mask`).
enum : uint16_t {
  ATTR_THICKNESS = 1,
  ATTR_DOT_STYLE = 2,
  ATTR_COLOR = 4,
  ATTR_POINT_STYLE = 8,
  ATTR_ANGLE_MARK_STYLE = 16,
  ATTR_LINE_STYLE = 32,
  ATTR_AXES_STYLE = 64,
  ATTR_FILL = 512,
  ATTR_TEXT_COLOR = 1024,
  ATTR_TAKE_TEXT = 2048,
  ATTR_SECOND_LINE_STYLE = 16384,
  ATTR_HIDE_SHOW = 32768,
};

using designation_filter_fn = bool (*)(object* obj, int32_t packed_point);

extern uint8_t interaction_state;
extern uint16_t drag_mode;
extern uint16_t attribute_mask;
extern uint32_t last_toolbox_tool;
extern designation_filter_fn designation_filter;
// First, second and third cursor of the current tool.
extern HCURSOR tool_cursors[3];
extern const char* current_help_text;
extern const char* current_help_page;
extern int16_t spring_pick_mode;
extern uint8_t calculator_active;
extern uint8_t manipulating;
extern uint8_t spring_gesture_active;
extern uint8_t scroll_drag_active;
extern uint8_t rubber_band_tracking;
// Raised when an appearance or fix/free tool is chosen; the figure's click
// code reads it.
extern uint8_t attribute_tool_armed;
// The last entry chosen in the text-size pop-up.
extern uint16_t last_text_size_item;

void dispatch_tool_action(uint32_t tool_id, uint32_t value);
void select_tool(uint32_t tool_id);
void setup_current_tool(construct_class* cls);
void end_tool_action();

// Appends a code to the list, growing it by 20 entries when full; nothing
// is added when memory runs out.
void append_accepted_type(designation_list* list, uint16_t code, uint16_t method_index, const char* text);
// Adds every argument type of every method of the class.
void add_class_accepted_types(designation_list* list, construct_class* cls);
// True when the list holds the code before its end.
bool accepted_list_has(const designation_list* list, uint16_t code);
