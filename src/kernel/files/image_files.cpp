#include "kernel/files/image_files.h"

#include <algorithm>
#include <vector>

#include "app/kernel_iface/kp_figure_view.h"
#include "kernel/render/display_device.h"
#include "kernel/render/drawing_passes.h"
#include "platform/kp_graf_port.h"
#include "platform/kp_image_file.h"

bool export_figure_image_file(const char* path, int32_t width, int32_t height) {
  if (!path || width <= 0 || height <= 0) return false;
  // Bounded like any bitmap: an absurd window size is refused.
  if (static_cast<int64_t>(width) * height > (int64_t{1} << 28)) return false;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height), 0xFFFFFFu);
  // The shared layer holds what the view that drew last put there: another
  // window repainted while the dialog was up leaves its own figure. The
  // current view takes the drawing again and its figure is drawn anew.
  const FigureViewHooks& vh = figure_view_hooks();
  void* view = current_figure_view;
  const bool locked = view && vh.lock_view && vh.unlock_view && vh.lock_view(view);
  if (locked) redraw_figure(1);
  const auto* layer = static_display ? static_cast<const KPContext*>(static_display->viewLayer) : nullptr;
  if (layer && layer->pixels() && layer->bytesPerRow() >= layer->width() * 4) {
    const auto* source = static_cast<const uint8_t*>(layer->pixels());
    const int32_t w = std::min(width, layer->width());
    const int32_t h = std::min(height, layer->height());
    for (int32_t row = 0; row < h; ++row)
      std::copy_n(reinterpret_cast<const uint32_t*>(source + static_cast<size_t>(row) * layer->bytesPerRow()), w,
                  pixels.begin() + static_cast<ptrdiff_t>(row) * width);
  }
  if (locked) vh.unlock_view(view);
  return kp_write_png_file(path, pixels.data(), width, height, width);
}

KPUniversalBitmap* load_image_file_to_bitmap(const char* path) { return kp_load_image_file(path); }
