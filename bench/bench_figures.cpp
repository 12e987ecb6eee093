#include "bench_figures.h"

#include <cstdint>
#include <cstdlib>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/version_info.h"
#include "kernel/render/colors.h"
#include "kernel/text/text_record.h"
#include "platform/ns_kelvo_text_view.h"
#include "kernel/render/display_device.h"
#include "kernel/render/still_layer.h"
#include "kernel/tools/tool_state.h"

namespace bench {

Environment::Environment() {
  init_version_info();
  init_color_table();
  init_construct_classes();
  install_kelvo_text_view();
  KPGeoDocument::setCurrentInfo(nullptr);
}

Environment::~Environment() {
  drop_current_figure();
  current_class = nullptr;
  static_display = nullptr;
  moving_display = nullptr;
  free_still_layer();
  install_text_handle_ops(TextHandleOps{});
  free_construct_classes();
}

object* make(construct_class& cls, int method, std::initializer_list<object*> parents, double h, double v) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  current_class = &cls;
  objlist_clear(fig->inputs);
  for (object* p : parents) objlist_add(fig->inputs, p, 0);
  rubber_points[0] = valeur{h, v, {}, 0};
  uint16_t created = 0;
  object* o = create_object(static_cast<uint16_t>(method), &created, 1, 1, 1);
  rubber_points[0] = valeur{};
  objlist_clear(fig->inputs);
  return o;
}

object* point(double h, double v) { return make(classe_point, 0, {}, h, v); }

PointPair point_pair_group(int g) {
  object* a = point(g % 700 * 1.37, g / 700 * 2.11);
  object* b = point(g % 700 * 1.37 + 13.5, g / 700 * 2.11 - 7.25);
  make(classe_segment, 0, {a, b});
  make(classe_droite, 1, {a, b});
  make(classe_cercle, 1, {a, b});
  return {a, b};
}

void drop_current_figure() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) return;
  kelvo_win_info* copy = fig->undo;
  free_figure_info(fig, false);
  free_figure_info(copy, false);
  KPGeoDocument::setCurrentInfo(nullptr);
}

namespace {
DisplayDevice* g_view = nullptr;
}  // namespace

WindowFlush::WindowFlush(bool surfaces) {
  g_view = surfaces ? surface_device() : display_device();
  display_device_hooks.window_device = [] { return g_view; };
  display_device_hooks.window_moving_device = [] { return moving_display; };
  display_device_hooks.window_static_device = [] { return static_display; };
}

WindowFlush::~WindowFlush() {
  display_device_hooks.window_device = nullptr;
  display_device_hooks.window_moving_device = nullptr;
  display_device_hooks.window_static_device = nullptr;
  destroy_display_device(g_view);
  g_view = nullptr;
}

DisplayDevice* display_device() {
  DisplayDevice* dd = dd_create();
  ensure_display_dc(dd);
  dd_select_bitmap(dd, create_dib_record(dd, 1600, 1000));
  dd->dc->allowsAntialiasing(false);
  return dd;
}

DisplayDevice* surface_device() {
  constexpr int kWidth = 1600, kHeight = 1000;
  DisplayDevice* dd = dd_create();
  ensure_display_dc(dd);
  // The device owns its pixel memory and the surface over it.
  dd->bitamapData = static_cast<uint8_t*>(std::calloc(size_t{kWidth} * kHeight, 4));
  dd->bitmapContext = KPContext::createBitmapContext(dd->bitamapData, kWidth, kHeight, kWidth * 4);
  dd->dc->fixContext(dd->bitmapContext, {}, {});
  dd->portRect = {0, 0, kWidth, kHeight};
  dd_draw_background(dd);
  return dd;
}

}  // namespace bench
