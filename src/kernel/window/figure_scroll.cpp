#include "kernel/window/figure_scroll.h"

#include <cmath>
#include <cstring>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/recompute.h"
#include "kernel/render/display_device.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/tools/cursors.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/window/drag_free.h"
#include "kernel/window/window_hooks.h"

tagPOINT scroll_anchor{};
uint8_t scroll_translates_figure = 0;
uint8_t free_point_axis_mask[5] = {};
tagRECT drawing_page{-1900, -1900, 1900, 1900};
tagRECT scroll_range{-1900, -1900, 1900, 1900};
tagPOINT scroll_position{-450, -300};
uint8_t recentre_pending = 0;
tagPOINT window_centre{};

namespace {

constexpr uint32_t kOptionKey = 8;

DisplayDevice* view_device(void* view) {
  const FigureViewHooks& h = figure_view_hooks();
  return h.view_device ? h.view_device(view) : nullptr;
}

void move_all_origins(DisplayDevice* dd, int32_t left, int32_t top) {
  dd_move_origin(dd, left, top);
  dd_shift_origins(left, top);
}

// The scroll bars show the device's origin.
void show_origin_in_bars(void* view, DisplayDevice* dd) {
  const FigureViewHooks& h = figure_view_hooks();
  if (!dd || !h.show_origin) return;
  int32_t left = 0;
  int32_t top = 0;
  dd_get_origin(dd, &left, &top);
  h.show_origin(view, left, top);
}

void translate_figure(kelvo_win_info* fig) {
  if (!fig || !fig->first || !fig->first->next) return;
  object* from = fig->first->next->next;
  for (object* o = from; o; o = o->next) {
    if (!is_free_point_class(o->classe, o->methode) || !o->valeurs || o->nbvaleurs < 1) continue;
    if (free_point_axis_mask[0] & 1) o->valeurs[0].h += drag_delta.x;
    if (free_point_axis_mask[0] & 2) o->valeurs[0].v += drag_delta.y;
  }
  for (object* o = from; o; o = o->next) recompute_object(o);
}

}  // namespace

bool is_free_point_class(const construct_class* cls, int) {
  std::memset(free_point_axis_mask, 0, sizeof free_point_axis_mask);
  if (cls != &classe_point) return false;
  free_point_axis_mask[0] = 3;
  return true;
}

void free_all_object_bitmaps() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return;
  for (object* o = fig->first; o; o = o->next) free_bitmap_dib(o->bitmap);
}

void scroll_figure_window(int32_t x, int32_t y, int) {
  void* view = current_figure_view;
  DisplayDevice* dd = view_device(view);
  if (!view || !dd) return;
  const window_hooks& wh = window_services();
  if (!scroll_drag_active) {
    scroll_anchor = {x, y};
    scroll_drag_active = 1;
    update_cursor(current_cursor);
    scroll_translates_figure = tool_modifier_down(kOptionKey) ? 1 : 0;
  }
  if (wh.free_static_display) wh.free_static_display();
  drag_delta.x = static_cast<double>(x) - scroll_anchor.x;
  drag_delta.y = static_cast<double>(y) - scroll_anchor.y;
  if (drag_delta.x != 0 || drag_delta.y != 0) {
    if (scroll_translates_figure) {
      scroll_anchor = {x, y};
      translate_figure(KPGeoDocument::currentInfo());
      invalidate_figure_view(view);
      return;
    }
    int32_t left = 0;
    int32_t top = 0;
    dd_get_origin(dd, &left, &top);
    // The origin may go as far as leaves the view inside the scroll range.
    int32_t width = 0;
    int32_t height = 0;
    const FigureViewHooks& h = figure_view_hooks();
    if (h.visible_size) h.visible_size(view, &width, &height);
    const tagRECT range{scroll_range.left, scroll_range.top,
                        scroll_range.left > scroll_range.right - width ? scroll_range.left : scroll_range.right - width,
                        scroll_range.top > scroll_range.bottom - height ? scroll_range.top
                                                                         : scroll_range.bottom - height};
    tagPOINT origin{static_cast<int32_t>(std::floor(left - drag_delta.x + 0.5)),
                    static_cast<int32_t>(std::floor(top - drag_delta.y + 0.5))};
    clamp_point_to_rect(&origin, &range);
    move_all_origins(dd, origin.x, origin.y);
    scroll_anchor = {x, y};
    free_all_object_bitmaps();
    tool_redraw_figure(1, 22);
  }
  show_origin_in_bars(view, dd);
  if (figure_has_marked_object() && wh.create_static_display) wh.create_static_display();
}

void set_figure_window_origin(HWND window, int32_t left, int32_t top) {
  const window_hooks& wh = window_services();
  DisplayDevice* dd = wh.window_display_device ? wh.window_display_device(window) : nullptr;
  if (!dd) return;
  move_all_origins(dd, left, top);
  show_origin_in_bars(window, dd);
}
