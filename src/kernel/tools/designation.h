// Designation under the cursor: while a construction tool is current, each
// mouse move finds the object under the cursor that fits the tool's next
// argument, decides what a click there would do (take the object, make a
// point on it or at a crossing, make a free point, or ask which object was
// meant), chooses the cursor and draws the designation text beside it.
// The same code matches argument-type lists (`TYPEOBJ`) against types.
#pragma once

#include <cstdint>
#include <string>

#include "kernel/model/figure.h"
#include "kernel/tools/tool_state.h"

struct construct_class;

// ------------------------------------------------------------ state

// Several candidates fit the next argument and none is preferred.
extern uint8_t ambiguous_designation;
// What a click makes first: 0 nothing, 1 the intersection point of the two
// objects under the cursor, 2 a point on the single carrier under it.
extern uint16_t pending_point_kind;
// Three or more crossing objects (kind 1) or several carriers (kind 2): the
// handler starts a nested construction and lets the user pick the objects.
extern uint8_t pending_multi_point;
extern uint16_t pending_multi_point_kind;
// Set by object_fits_designation_list when the last match went through code
// 100 or 101, or through an object referenced by a text.
extern uint8_t generic_match;
extern uint8_t reference_match;
// Mouse point of the last pass, clamped into the moving device.
extern tagPOINT last_mouse;
// Redo the pass even when the mouse has not moved.
extern uint8_t designation_force;
// The designation text must be redrawn.
extern uint8_t designation_text_dirty;
// The object a text reference designates, blinking with `highlight_list`
// once 334 ms have passed since `highlight_tick`.
extern object* highlighted_object;
extern uint32_t highlight_tick;
// Resource identifier of the cursor the last pass chose.
extern int designation_cursor_id;
// Composed designation texts (at most 99 bytes).
extern std::string designation_buffer;
// The crossing the last pass found under the cursor, for the intersection
// tool: set with the mouse point when pending_point_kind becomes 1.
extern uint8_t designated_crossing;
extern tagPOINT designated_crossing_pos;

// Cursor resource identifiers the designation uses.
enum : int {
  CURSOR_ID_ARROW = 32512,
  CURSOR_ID_TEXT = 32513,
  CURSOR_ID_WHICH = 114,
  CURSOR_ID_TAKE_PRESSED = 115,
  CURSOR_ID_AMBIGUOUS_PRESSED = 116,
  CURSOR_ID_AMBIGUOUS = 117,
  CURSOR_ID_TAKE = 118,
  CURSOR_ID_TABLE_CELL = 119,
  CURSOR_ID_PAINT = 122,
  CURSOR_ID_MOVABLE = 123,
  CURSOR_ID_POINT_ON = 148,
  CURSOR_ID_TABLE_ROW = 157,
  CURSOR_ID_DIAGONAL = 195,
};

// What the designation asks of the parts of the program around it. An empty
// slot means the service does not exist: the step that needs it is skipped.
struct designation_services {
  // The current tool's test whether it may take the object under the point
  // (x in the low half, y in the high half); it leaves the part hit in
  // `hit_part`. Without it, the hit test of the object's type.
  bool (*tool_hit_test)(object* obj, int32_t packed_point) = nullptr;
  // The figure window has a display device.
  bool (*has_display_device)() = nullptr;
  // One blink step of the selection marks is due (and was drawn).
  bool (*blink_selection)() = nullptr;
  // Redraws the selection rectangle and marks without blinking.
  void (*draw_selection_marks)() = nullptr;
  // Whether the selection marks are shown at the moment.
  bool (*selection_marks_shown)() = nullptr;
  // The mouse button is held.
  bool (*button_down)() = nullptr;
  // A drag of objects is under way.
  bool (*drag_in_progress)() = nullptr;
  // Whether a drag from the point would move the object (its pick marks
  // cleared again afterwards).
  bool (*object_would_move)(object* obj, const tagPOINT* p) = nullptr;
  // The mouse moves slower than factor times the speed threshold.
  bool (*mouse_speed_below)(double factor) = nullptr;
  // Whether an object has an intersection with another of the list near the
  // point (loci included when the flag is set).
  bool (*intersect_near)(object* obj, object** list, const tagPOINT* p, uint8_t loci) = nullptr;
  // A point on a locus can be traced.
  bool (*locus_is_valid)(object* locus) = nullptr;
  // The table cell under the point: row (65535 the first line) and column.
  void (*table_hit_cell)(const tagPOINT* p, object* table, uint16_t* row, uint16_t* column) = nullptr;
  // Refreshes the moving layer when the object under edit is a value text.
  void (*refresh_moving_layer)() = nullptr;
  // Shows a cursor given by its resource identifier.
  void (*show_cursor)(int id) = nullptr;
  // The tool's cursors: free place (0), designation (1), pressed (2).
  int (*tool_cursor_id)(int which) = nullptr;
  // Prepares the current tool again (its accepted types and cursors).
  void (*setup_tool)(construct_class* cls) = nullptr;
  // The position of the last click, where the ambiguity list opens.
  bool (*saved_click)(tagPOINT* p) = nullptr;
  // The one circle through the point, or null (none or several).
  object* (*circle_of_point)(object* point) = nullptr;
  // A pop-up menu is being tracked at the moment.
  bool (*popup_tracking)() = nullptr;
};
designation_services& designation_hooks();

// ------------------------------------------------------------ operations

// Mouse-moved handler of the construction tools, at (x, y) in pixels of the
// figure view.
void designate_under_cursor(int32_t x, int32_t y);

// Marks the first code of the method's list that accepts the type (0x8000),
// or every code with 0x4000 when none does.
void match_argument_type(construct_class* cls, uint16_t method, uint16_t type_id);

// True when an entry of the list accepts the object's type, directly, by
// code 100 or 101, or through an object its text references.
bool object_fits_designation_list(const designation_list* list, object* obj);

// Precedence among the objects under the cursor: whether the object is
// admitted to the list; may empty the list first.
bool admit_candidate(object* obj, uint16_t code, dyn_array_object* list);

// The designation text of the object from the list's entries, or null.
const char* designation_text_for_object(const designation_list* list, object* obj);

// The text with its object word replaced by the object's own name, when it
// has one; otherwise the text itself.
const char* personalise_designation_text(const char* text, object* obj);

// The text of the point-on-object tool for that object.
const char* point_on_object_text(object* obj, uint16_t code);

bool can_carry_point(object* obj);
uint32_t designation_text_color(object* obj, uint16_t tag);
void set_reference_cursor(uint16_t tag);

// Draws the text beside the mouse on the moving device; a null text erases
// the text shown.
void draw_designation_text(const char* text, tagPOINT mouse, uint32_t color);
// Set while the pointer is outside the figure view: the designation that
// goes on at its last place inside (the selection keeps blinking) writes
// no hint beside it.
extern uint8_t designation_hint_off;
void clear_designation_text();
// The text, position and colour last drawn (text empty when none).
const std::string& shown_designation_text();
tagPOINT shown_designation_position();
uint32_t shown_designation_color();
// How many times a designation text was actually drawn.
uint32_t designation_text_draw_count();

bool clamp_point_to_rect(tagPOINT* p, const tagRECT* rect);
