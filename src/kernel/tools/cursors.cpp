#include "kernel/tools/cursors.h"
#include "kernel/tools/tool_dispatch.h"

#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/text/kernel_strings.h"
#include "platform/kernel_services.h"

namespace {

constexpr int32_t kCursorTable[kKernelCursorCount] = {
    kCursorArrow, 114, 118, 115, 113, 119, 148, 146, 146, 117, 123, 116,
    122,          120, 157, 195, 2000, 2010, 2020, 2030, 2040, kCursorArrow, kCursorIBeam, kCursorArrow,
};

cursor_environment g_env;

HCURSOR show(HCURSOR cursor) {
  KPCursor::setCursor(cursor);
  return cursor;
}

}  // namespace

HCURSOR kernel_cursors[kKernelCursorCount] = {};
uint8_t cursors_loaded = 0;
HCURSOR current_cursor = nullptr;
tagPOINT saved_mouse_point = {0, 0};

void install_cursor_environment(const cursor_environment& env) { g_env = env; }

int init_kernel_graphics() {
  init_color_table();
  if (dd_true()) return -1;
  message_box_simple(kernel_string(338));
  return 0;
}
const cursor_environment& installed_cursor_environment() { return g_env; }

void load_cursors() {
  for (int i = 0; i < kKernelCursorCount; ++i) kernel_cursors[i] = KPCursor::loadCursor(kCursorTable[i]);
  cursors_loaded = 1;
  update_cursor(kernel_cursors[CURSOR_ARROW]);
  current_cursor = kernel_cursors[CURSOR_ARROW];
}

void free_cursors() {
  for (HCURSOR& cursor : kernel_cursors) cursor = nullptr;
  for (HCURSOR& cursor : tool_cursors) cursor = nullptr;
  cursors_loaded = 0;
  current_cursor = nullptr;
  saved_mouse_point = {0, 0};
  KPCursor::clearTable();
}

HCURSOR update_cursor(HCURSOR cursor) {
  HCURSOR arrow = KPCursor::loadCursor(kCursorArrow);
  if (g_env.in_link_text_field && g_env.in_link_text_field()) {
    // A link field lies outside the figure windows: the hand shows there.
    if (KPCursor* hand = KPCursor::loadCursor(kCursorHand)) KPCursor::setCursorByName(hand->name().c_str());
    return KPCursor::lastSet();
  }
  if (g_env.splash_visible && g_env.splash_visible()) {
    KPCursor::setCursorByName("AppStarting");
    return nullptr;
  }
  figure_window_mouse where{};
  if (!g_env.figure_window_mouse || !g_env.figure_window_mouse(&where)) return show(arrow);
  if (where.in_aux_window) return show(arrow);
  tagRECT area = where.frame;
  if (where.help_shown) area.bottom -= where.help_height;
  const bool inside = where.mouse.x >= area.left && where.mouse.x < area.right && where.mouse.y >= area.top &&
                      where.mouse.y < area.bottom;
  return show(inside ? cursor : arrow);
}

void get_saved_mouse_point(tagPOINT* point) {
  if (point) *point = saved_mouse_point;
}

tagPOINT point_from_packed(int32_t packed) {
  const auto bits = static_cast<uint32_t>(packed);
  return {static_cast<int16_t>(bits & 0xFFFF), static_cast<int16_t>(bits >> 16)};
}

tagPOINT point_from_floats(float x, float y) { return {static_cast<int32_t>(x), static_cast<int32_t>(y)}; }

bool platform_query_false() { return false; }
