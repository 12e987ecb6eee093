// Kernel services of the figure window that the application shell calls and
// whose own subsystems are not built yet, and the figure-event state that
// only the figure view reads and writes. Each keeps the name the kernel gives
// it and does the least that is real: the figure-event state lives here.
// The real subsystems replace these definitions in place.
#pragma once

#include <cstdint>

#include "app/kernel_iface/kel_event_record.h"
#include "platform/win_types.h"

struct kelvo_win_info;
struct object;

// ---- Figure-event state of the figure view ----
extern uint8_t hold_tested;
extern uint8_t pointer_drag_started;
extern uint8_t figure_window_active;
extern uint8_t in_mouse_up;
// The tools palette is being reorganised; an open pull-down list of a tool
// group; a pop-up menu is being tracked. The palette sets them.
extern uint8_t config_mode;
extern HWND open_pull_down;
extern uint8_t popup_tracking;
extern uint8_t live_tracking;
extern object* last_text_object;
extern tagRECT view_rect;
extern HWND tools_panel_window;

// Scrolling: the figure's scroll range (xmin, ymin, xmax, ymax) and position,
// the page, and the recentring asked for when a figure is read or created.
extern tagRECT drawing_page;
extern tagRECT scroll_range;
extern tagPOINT scroll_position;
extern uint8_t recentre_pending;
extern tagPOINT window_centre;

// The kernel's default window rectangle.
extern tagRECT default_window_rect;

// ---- Start-up ----
void drawing_globals_init();
// -1 when the colour table is ready.
int init_kernel_graphics();
