// The kernel's cursors: the set loaded once at start, the choice between
// the tool's cursor and the arrow depending on the windows under the mouse,
// and the point conversions of the mouse code.
#pragma once

#include <cstdint>

#include "platform/kp_cursor.h"
#include "platform/win_types.h"

// A kernel cursor is an entry of the platform's cursor table.
using HCURSOR = KPCursor*;

// Standard cursor identifiers.
inline constexpr int32_t kCursorArrow = 32512;
inline constexpr int32_t kCursorIBeam = 32513;
inline constexpr int32_t kCursorBusy = 32514;
inline constexpr int32_t kCursorHand = 32649;

// Slots of the kernel cursors, in loading order.
enum kernel_cursor_slot : int {
  CURSOR_ARROW,              // 32512, also the initial current cursor
  CURSOR_DESIGNATE_114,      // 114, designation code
  CURSOR_TAKE,               // 118
  CURSOR_TAKE_AMONG,         // 115, take among several
  CURSOR_CONSTRUCT,          // 113, construction pointer
  CURSOR_DESIGNATE_119,      // 119
  CURSOR_POINT_ON_OBJECT,    // 148
  CURSOR_APPEARANCE,         // 146, pointer of appearance tools and measures
  CURSOR_APPEARANCE_2,       // 146 again
  CURSOR_DESIGNATE_117,      // 117
  CURSOR_DESIGNATE_123,      // 123
  CURSOR_DESIGNATE_116,      // 116
  CURSOR_PAINT,              // 122
  CURSOR_FILL,               // 120
  CURSOR_DESIGNATE_157,      // 157
  CURSOR_DESIGNATE_195,      // 195
  CURSOR_MANIP_2000,         // 2000, 2010, 2020, 2030, 2040: manipulation code
  CURSOR_MANIP_2010,
  CURSOR_MANIP_2020,
  CURSOR_MANIP_2030,
  CURSOR_MANIP_2040,
  CURSOR_MANIP_ARROW,        // the arrow after them
  CURSOR_TEXT,               // 32513, the I-beam
  CURSOR_TEXT_ARROW,         // the arrow after it
  kKernelCursorCount
};

extern HCURSOR kernel_cursors[kKernelCursorCount];
extern uint8_t cursors_loaded;
extern HCURSOR current_cursor;
// Position of the last click, in window pixels (set at each press in the
// figure view).
extern tagPOINT saved_mouse_point;

// Where the mouse is, as the application reports it for the current figure
// window.
struct figure_window_mouse {
  bool in_aux_window;    // inside the designation code's auxiliary window
  tagPOINT mouse;        // in the window's content coordinates
  tagRECT frame;         // the window's content, same coordinates (y down)
  bool help_shown;       // the tool-help field shows along the bottom
  int32_t help_height;
};

struct cursor_environment {
  bool (*in_link_text_field)() = nullptr;
  bool (*splash_visible)() = nullptr;
  // False when there is no current figure window.
  bool (*figure_window_mouse)(figure_window_mouse* out) = nullptr;
};
// The kernel's graphics at start-up: the colour table, then whether the
// display can be used (-1; 0 after telling the user, which stops the set-up).
int init_kernel_graphics();
void install_cursor_environment(const cursor_environment& env);
const cursor_environment& installed_cursor_environment();

// Loads the cursors of the table above, shows and makes current the arrow.
void load_cursors();
// Lets go of every cursor the kernel and the tools name, then of the
// platform's cursor table, so that no handle outlives its cursor; the state
// is then the one before load_cursors().
void free_cursors();
// Shows `cursor` when the mouse is over the current figure's drawing area,
// else the cursor the place asks for; answers what the platform answered
// (null for a named cursor).
HCURSOR update_cursor(HCURSOR cursor);
void get_saved_mouse_point(tagPOINT* point);
// x = low 16 bits, y = high 16 bits, both signed.
tagPOINT point_from_packed(int32_t packed);
// Both truncated toward zero.
tagPOINT point_from_floats(float x, float y);
// Always false on this platform.
bool platform_query_false();
