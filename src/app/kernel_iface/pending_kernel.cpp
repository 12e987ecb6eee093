#include "app/kernel_iface/pending_kernel.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/draw_object.h"
#include "kernel/tools/tool_state.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/kernel_services.h"
#include "platform/kp_cursor.h"

uint32_t current_tool_id = kPointerToolId;
uint8_t object_designated = 0;
uint8_t construction_started = 0;
object* manipulated_object = nullptr;
uint8_t object_event_pending = 0;
uint8_t redesignate = 0;
uint8_t redefine_ready = 0;
uint8_t mouse_tracking = 0;
tagPOINT press_point{};
DWORD press_tick = 0;
tagPOINT mouse_point{};
tagPOINT previous_mouse_point{};
DWORD mouse_tick = 0;
DWORD previous_mouse_tick = 0;
uint8_t double_click = 0;
uint8_t track_in_progress = 0;
uint8_t scroll_dragging = 0;
tagPOINT scroll_anchor{};
uint8_t hold_tested = 0;
uint8_t pointer_drag_started = 0;
uint8_t figure_window_active = 0;
uint8_t selection_rect_shown = 0;
uint8_t in_mouse_up = 0;
uint8_t config_mode = 0;
HWND open_pull_down = nullptr;
uint8_t popup_tracking = 0;
uint8_t live_tracking = 0;
object* last_text_object = nullptr;
tagRECT view_rect{};
uint8_t session_printing = 0;
HWND tools_panel_window = nullptr;
uint8_t ambig_menu_open = 0;

tagRECT drawing_page{-1900, -1900, 1900, 1900};
tagRECT scroll_range{-1900, -1900, 1900, 1900};
tagPOINT scroll_position{-450, -300};
tagRECT visible_area{};
uint8_t recentre_pending = 0;
tagPOINT window_centre{};

double screen_resolution = 96.0;
double pixels_per_inch = 96.0;
double pixels_per_centimetre = 38.0;
int16_t pick_tolerance = 8;
double scale_x_value = 38.0;
double scale_y_value = 38.0;
uint8_t render_switch_a = 0;
uint8_t render_switch_b = 0;
uint16_t render_switch_c = 0;
tagRECT default_window_rect{0, 0, 0, 0};
uint8_t pixel_pen_dirty = 0;

namespace {

// Said once per process for each service that is not there yet.
void say_unavailable(const char* what) {
  std::fprintf(stderr, "kelvo: %s is not available yet\n", what);
}

}  // namespace

// ---- Start-up ----

KPCursor* kernel_cursor(int res_id) { return KPCursor::loadCursor(res_id); }

void drawing_globals_init() {}

int init_kernel_graphics() {
  init_color_table();
  return -1;
}

void init_help_pages() {}

// ---- Tools ----

void designate_under_cursor(int32_t, int32_t, int) {}
int try_pick_object(kel_EventRecord*, object*, int, int) { return 0; }
void clear_pick_marks() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return;
  for (object* o = fig->first; o; o = o->next) o->state &= ~OBJ_CHOSEN;
}
void update_axes_tool_variant() {}

// ---- Figure window ----

void figure_activate(void* view) {
  current_figure_view = view;
  kp_set_current_figure_window(view);
  figure_window_active = 1;
  if (kelvo_win_info* fig = KPGeoDocument::currentInfo()) bind_macro_classes(fig);
  select_tool(0);
  invalidate_figure_view(view);
}

void figure_key_down(kel_EventRecord*) {}
void figure_mouse_construct(kel_EventRecord*) {}
void figure_mouse_pointer(kel_EventRecord*) {}
void figure_mouse_track(kel_EventRecord*, int) { track_in_progress = 0; }
void attribute_tool_click(kel_EventRecord*) {}
void dispatch_object_event(kel_EventRecord*, object*) { object_event_pending = 0; }
void handle_manipulation_event(kel_EventRecord*, object*) {}

void figure_paint(void* view) {
  const FigureViewHooks& hooks = figure_view_hooks();
  DisplayDevice* device = hooks.view_device ? hooks.view_device(view) : nullptr;
  kelvo_win_info* fig = hooks.view_info ? hooks.view_info(view) : nullptr;
  tagPAINTSTRUCT paint{};
  NSKelvoWrapMachine::beginPaint(view, &paint);
  if (device) dd_shift_origins(device->portRect.left, device->portRect.top);
  if (hooks.int_bounds) hooks.int_bounds(view, &view_rect);
  kelvo_win_info* current = KPGeoDocument::currentInfo();
  if (device && static_display) {
    if (view != current_figure_view || fig != current) {
      // Another view's figure: current for the time of the copy only.
      KPGeoDocument::setCurrentInfo(fig);
      redraw_figure(2, 36);
      KPGeoDocument::setCurrentInfo(current);
    } else if (!manipulating) {
      static_display->needToBeCleared = 1;
      redraw_figure(2, 36);
    } else {
      dd_copy_bitmap(device, static_display, 0);
    }
  }
  NSKelvoWrapMachine::endPaint(view, &paint);
}

void figure_special_key(int key) {
  if (key == 27) clear_selection();
}

void figure_teardown(void* view, DisplayDevice* dd) {
  const FigureViewHooks& hooks = figure_view_hooks();
  kelvo_win_info* fig = hooks.view_info ? hooks.view_info(view) : nullptr;
  if (fig) {
    kelvo_win_info* copy = fig->undo;
    if (copy && copy->undo == fig) free_figure_info(copy, false);
    free_figure_info(fig, false);
  }
  if (current_figure_view == view) {
    current_figure_view = nullptr;
    kp_set_current_figure_window(nullptr);
  }
  if (dd) {
    if (static_display && static_display->FigureView == view) static_display->FigureView = nullptr;
    if (moving_display && moving_display->FigureView == view) moving_display->FigureView = nullptr;
    destroy_display_device(dd);
  }
}

void figure_view_track_mouse(void*, const kel_EventRecord* event) {
  if (!event) return;
  if (event->what == kEventButtonDown) mouse_tracking = 1;
  if (event->what == kEventButtonUp) mouse_tracking = 0;
}

bool is_figure_untouched(kelvo_win_info* fig) {
  if (!fig || fig->nbobj == 0) return true;
  if (fig->nbobj != 2 || !fig->first || !fig->first->next) return false;
  const object* origin = fig->first;
  const object* axes = origin->next;
  return origin->classe == &classe_point && axes->classe == &classe_axe && !origin->settings.visible &&
         !axes->settings.visible;
}

LRESULT main_key_command(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      main_menu_command(window, static_cast<UINT>(wparam), lparam);
      break;
    case 3:
    case 5:
    case WM_CLOSE:
    case 18:
    case 22:
      if (wparam && figure_view_hooks().terminate) figure_view_hooks().terminate();
      break;
    case 20:
      return -1;
    default:
      break;
  }
  return 0;
}

LRESULT main_menu_command(HWND, UINT command, LPARAM) {
  switch (command) {
    case 100:
      if (figure_view_hooks().new_document) figure_view_hooks().new_document();
      return 0;
    case 102:
      return save_document_file();
    default:
      return 1;
  }
}

void scroll_figure_window(int32_t x, int32_t y, int) {
  void* view = current_figure_view;
  const FigureViewHooks& hooks = figure_view_hooks();
  if (!view || !hooks.set_scroll_pos) return;
  if (!scroll_dragging) {
    // A press starts a hand scroll: later points move the sheet.
    scroll_dragging = 1;
    scroll_anchor = {x, y};
    return;
  }
  int32_t width = 0;
  int32_t height = 0;
  if (hooks.visible_size) hooks.visible_size(view, &width, &height);
  // The sheet follows the hand: the shown part moves against the pointer.
  auto clamp = [](int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); };
  scroll_position.x = clamp(scroll_position.x - (x - scroll_anchor.x), scroll_range.left,
                            scroll_range.right - width);
  scroll_position.y = clamp(scroll_position.y - (y - scroll_anchor.y), scroll_range.top + height,
                            scroll_range.bottom);
  scroll_anchor = {x, y};
  hooks.set_scroll_pos(view, 1, scroll_position.y);
  hooks.set_scroll_pos(view, 0, scroll_position.x);
  if (hooks.finish_scroll) hooks.finish_scroll(view);
}

void show_figure_popup_menu() {}
void start_auto_animation() {}
void switch_text_edit_object(object*) {}
void session_record_action(kelvo_win_info*, int) {}
void session_stop_recording() {}

// ---- Rendering ----

void draw_figure_objects(DisplayDevice* dd, int) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!dd || !fig) return;
  for (object* o = fig->first; o; o = o->next)
    if (o->settings.visible && !(o->state & OBJ_UNDEFINED)) draw_object(dd, o);
}

void redraw_figure(int, int) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !static_display) return;
  dd_fill_background(static_display, fig->bgcolor);
  static_display->needToBeCleared = 0;
  draw_figure_objects(static_display, 1);
  const FigureViewHooks& hooks = figure_view_hooks();
  DisplayDevice* device = fig->dd;
  if (!device && hooks.view_device && current_figure_view) device = hooks.view_device(current_figure_view);
  if (device) dd_copy_bitmap(device, static_display, 0);
}

// ---- Files ----

int save_format_code = 0;

int read_figure_file(char*, uint32_t, const char* path) {
  std::string text = "Figure files cannot be read yet: ";
  text += path ? path : "";
  message_box_simple(text.c_str());
  return 0;
}

int txt_read_menus_file(char* buffer, uint32_t length, const char* path) {
  return read_figure_file(buffer, length, path);
}

int save_document_file() {
  message_box_simple("Figure files cannot be written yet.");
  return 1;
}

int import_handed_file(char*, uint32_t, const char* path) {
  std::string text = "Tool-menu and calculator files cannot be imported yet: ";
  text += path ? path : "";
  message_box_simple(text.c_str());
  return 0;
}
