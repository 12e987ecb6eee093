#include "app/kernel_iface/pending_kernel.h"

#include "app/kernel_iface/kp_figure_view.h"
#include "kernel/render/colors.h"
#include "kernel/tools/tool_dispatch.h"

uint8_t hold_tested = 0;
uint8_t pointer_drag_started = 0;
uint8_t figure_window_active = 0;
uint8_t in_mouse_up = 0;
uint8_t config_mode = 0;
HWND open_pull_down = nullptr;
uint8_t popup_tracking = 0;
uint8_t live_tracking = 0;
object* last_text_object = nullptr;
tagRECT view_rect{};
HWND tools_panel_window = nullptr;

tagRECT drawing_page{-1900, -1900, 1900, 1900};
tagRECT scroll_range{-1900, -1900, 1900, 1900};
tagPOINT scroll_position{-450, -300};
uint8_t recentre_pending = 0;
tagPOINT window_centre{};
tagPOINT scroll_anchor{};

double screen_resolution = 96.0;
double pixels_per_inch = 96.0;
double pixels_per_centimetre = 38.0;
double scale_x_value = 38.0;
double scale_y_value = 38.0;
tagRECT default_window_rect{0, 0, 0, 0};

// ---- Start-up ----

void drawing_globals_init() {}

int init_kernel_graphics() {
  init_color_table();
  return -1;
}

// ---- Figure window ----

void scroll_figure_window(int32_t x, int32_t y, int) {
  void* view = current_figure_view;
  const FigureViewHooks& hooks = figure_view_hooks();
  if (!view || !hooks.set_scroll_pos) return;
  if (!scroll_drag_active) {
    // A press starts a hand scroll: later points move the sheet.
    scroll_drag_active = 1;
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

void start_auto_animation() {}

// ---- Work-session printing ----

uint8_t session_printing = 0;

int session_print_page_count() { return 0; }

void session_draw_page(HWND) {}
