// The selection of the current figure: the objects the next command or
// appearance change applies to, chosen by clicks, by the selection
// rectangle of a pointer drag or by Select All; the marching-dash feedback
// that shows it; and the click on a button object, which toggles its
// targets instead of selecting it. The list operations that swap another
// list in place of the selection live in kernel/tools/tool_state.h.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"
#include "platform/win_types.h"

// The selection rectangle of a pointer drag (figure pixels) and whether it
// is shown; it stays shown after the drag until the next press or the end
// of the tool.
extern uint8_t selection_rect_shown;
extern tagRECT selection_rect;

// The selection dash: 3 pixels on in a period of 8.
inline constexpr uint8_t kSelectionDashOn = 3;
inline constexpr uint8_t kSelectionDashPeriod = 8;

// Time of the last blink step or selection change (milliseconds) and the
// blink phase, modulo the dash period.
extern uint32_t selection_blink_time;
extern uint8_t selection_blink_phase;

// Selects by click: with extend, toggles the object's membership; without,
// the object becomes the whole selection. A button clicked with no tool and
// no extend toggles its targets instead. Null does nothing.
void select_figure_object(object* obj, uint16_t tag, uint8_t extend);
// clear_selection, then empties the figure's picked list.
void clear_selection_and_picked();
// Selects every object after the origin point and the axes.
void select_all_objects();
// Asks a redraw of every selected object.
void invalidate_selection();
// Draws the feedback of each object of the list; how many were drawn.
int draw_selected_list(dyn_array_object* list, uint8_t advance, uint8_t full);
// Draws the selection rectangle when shown; answers whether it is.
uint8_t draw_selection_rect();
// One blink step when at least min(double-click time, 100) ms have passed.
bool blink_selection_marks();
void draw_selection_feedback(object* obj, uint16_t tag, uint8_t advance, uint8_t full);
// Hides the selection rectangle; true when it was shown.
bool remove_selection_rect();
