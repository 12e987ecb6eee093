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

tagRECT default_window_rect{0, 0, 0, 0};

// ---- Start-up ----

void drawing_globals_init() {}

int init_kernel_graphics() {
  init_color_table();
  return -1;
}
