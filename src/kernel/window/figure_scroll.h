// Moving the figure window over the drawing sheet: the hand scroll (a drag
// with Control, or the wheel), which either scrolls the view or, with Option
// held when the drag began, translates every free point of the figure; and
// setting the window's origin directly.
//
// Coordinates are the view's sheet pixels, y down: the sheet follows the
// mouse, so the device origin moves against the displacement, while free
// points move with it.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct construct_class;

// The point of the previous step of the scroll drag, and whether the drag
// translates the figure (Option held at its first step).
extern tagPOINT scroll_anchor;
extern uint8_t scroll_translates_figure;
// One byte per value of an object: bit 1 moves h, bit 2 moves v.
extern uint8_t free_point_axis_mask[5];

// The drawing page, the figure's scroll range (xmin, ymin, xmax, ymax) and
// position, and the recentring asked for when a figure is read or created
// (the view's origin then goes to window_centre).
extern tagRECT drawing_page;
extern tagRECT scroll_range;
extern tagPOINT scroll_position;
extern uint8_t recentre_pending;
extern tagPOINT window_centre;

// One step of a scroll drag. The first call after the view cleared
// `scroll_drag_active` starts the drag. `absolute` is unused (always 0).
void scroll_figure_window(int32_t x, int32_t y, int absolute);

// Moves the window's display-device origin (and the shared devices') to
// (left, top) and puts the scroll bars there.
void set_figure_window_origin(HWND window, int32_t left, int32_t top);

// Drops the rendered copies of every picture of the current figure; they are
// made again at the next drawing.
void free_all_object_bitmaps();

// True for the free-point class, whose value 0 then moves on both axes
// (mask 3); clears the mask in every case.
bool is_free_point_class(const construct_class* cls, int method);
