// Kernel services of the figure window, tools, rendering and files that the
// application shell calls and whose own subsystems are not built yet. Each
// keeps the name the kernel gives it and does the least that is real: the
// figure-event state lives here, drawing redraws the figure's background and
// its objects' draw operations, the pointer is the only tool, and the file
// calls that need a reader or writer say plainly that they cannot. The real
// subsystems replace these definitions in place.
#pragma once

#include <cstdint>

#include "app/kernel_iface/kel_event_record.h"
#include "kernel/tools/cursors.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_ids.h"
#include "platform/win_types.h"

struct DisplayDevice;
struct kelvo_win_info;
struct object;
class KPCursor;

// ---- Figure-event state (figure window, tools) ----
// Tool modes of interaction_state.
inline constexpr uint8_t kModeConstruction = 1;
inline constexpr uint8_t kModePointer = 2;
inline constexpr uint8_t kModeAnimation = 4;
inline constexpr uint8_t kModeMultipleAnimation = 9;
// The pointer tool: group 128, item 1.
inline constexpr uint32_t kPointerToolId = 0x800001;

extern uint32_t current_tool_id;
extern uint8_t object_designated;
extern uint8_t construction_started;
extern object* manipulated_object;
extern uint8_t object_event_pending;
extern uint8_t redesignate;
extern uint8_t redefine_ready;
extern uint8_t mouse_tracking;
extern tagPOINT press_point;
extern DWORD press_tick;
extern tagPOINT mouse_point;
extern tagPOINT previous_mouse_point;
extern DWORD mouse_tick;
extern DWORD previous_mouse_tick;
extern uint8_t double_click;
extern uint8_t track_in_progress;
extern uint8_t scroll_dragging;
extern tagPOINT scroll_anchor;
extern uint8_t hold_tested;
extern uint8_t pointer_drag_started;
extern uint8_t figure_window_active;
extern uint8_t selection_rect_shown;
extern uint8_t in_mouse_up;
extern uint8_t config_mode;
extern HWND open_pull_down;
extern uint8_t popup_tracking;
extern uint8_t live_tracking;
extern object* last_text_object;
extern tagRECT view_rect;
extern uint8_t session_printing;
extern HWND tools_panel_window;
extern uint8_t ambig_menu_open;

// Scrolling: the figure's scroll range (xmin, ymin, xmax, ymax) and position,
// the page, and the recentring asked for when a figure is read or created.
extern tagRECT drawing_page;
extern tagRECT scroll_range;
extern tagPOINT scroll_position;
extern tagRECT visible_area;
extern uint8_t recentre_pending;
extern tagPOINT window_centre;

// Screen metrics set at start-up.
extern double screen_resolution;
extern double pixels_per_inch;
extern double pixels_per_centimetre;
extern int16_t pick_tolerance;
extern double scale_x_value;
extern double scale_y_value;
// Rendering switches used by text drawing and conic tracing.
extern uint8_t render_switch_a;
extern uint8_t render_switch_b;
extern uint16_t render_switch_c;
// The kernel's default window rectangle.
extern tagRECT default_window_rect;
extern uint8_t pixel_pen_dirty;

// ---- Start-up (rendering, tools, preferences) ----
KPCursor* kernel_cursor(int res_id);
void drawing_globals_init();
// -1 when the colour table is ready.
int init_kernel_graphics();
void init_help_pages();

// ---- Tools ----
// Makes a tool current; 0 is the pointer. Only the pointer exists yet: any
// other tool leaves the pointer current.
void designate_under_cursor(int32_t x, int32_t y, int flags);
int try_pick_object(kel_EventRecord* record, object* obj, int a, int b);
void clear_pick_marks();
void update_axes_tool_variant();

// ---- Figure window ----
void figure_activate(void* view);
void figure_key_down(kel_EventRecord* record);
void figure_mouse_construct(kel_EventRecord* record);
void figure_mouse_pointer(kel_EventRecord* record);
void figure_mouse_track(kel_EventRecord* record, int ended);
void attribute_tool_click(kel_EventRecord* record);
void dispatch_object_event(kel_EventRecord* record, object* obj);
void handle_manipulation_event(kel_EventRecord* record, object* obj);
void figure_paint(void* view);
void figure_special_key(int key);
// Frees the figure record, its undo copy and the display device.
void figure_teardown(void* view, DisplayDevice* dd);
// The common step of every mouse and modifier event: a press starts mouse
// tracking and a release ends it.
void figure_view_track_mouse(void* view, const kel_EventRecord* event);
bool is_figure_untouched(kelvo_win_info* fig);
// The application window procedure.
LRESULT main_key_command(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// The main-menu command dispatcher: 100 New figure, 102 Save (answers 0 when
// the figure was written). Commands not built yet answer 1 and do nothing.
LRESULT main_menu_command(HWND window, UINT command, LPARAM lparam);
// Scrolls the figure so that it follows the point from scroll_anchor on.
void scroll_figure_window(int32_t x, int32_t y, int flags);
void show_figure_popup_menu();
void start_auto_animation();
void switch_text_edit_object(object* obj);
void session_record_action(kelvo_win_info* fig, int action);
void session_stop_recording();

// ---- Rendering ----
// Redraws the current figure into the static device and copies it to the
// view's device.
void redraw_figure(int mode, int reason);
void draw_figure_objects(DisplayDevice* dd, int mode);

// ---- Files ----
// The format of the next save: 0 figure, 3 figure with environment.
extern int save_format_code;
// Builds the figure held in the buffer into the current figure; non-zero on
// success.
int read_figure_file(char* buffer, uint32_t length, const char* path);
int txt_read_menus_file(char* buffer, uint32_t length, const char* path);
// Writes the current figure to its path; 0 when written.
int save_document_file();
// Imports a tool-menu or calculator file handed to the application.
int import_handed_file(char* buffer, uint32_t length, const char* path);
