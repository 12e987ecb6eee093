#include "kernel/files/image_files.h"

#include <algorithm>
#include <vector>

#include "kernel/render/display_device.h"
#include "platform/kp_image_file.h"

bool export_figure_image_file(const char* path, int32_t width, int32_t height) {
  if (!path || width <= 0 || height <= 0) return false;
  // Bounded like any bitmap: an absurd window size is refused.
  if (static_cast<int64_t>(width) * height > (int64_t{1} << 28)) return false;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  const KPBitmap* bm = static_display ? static_display->bm : nullptr;
  if (bm && bm->pixels) {
    const int32_t w = std::min(width, bm->width);
    const int32_t h = std::min(height, bm->height);
    for (int32_t row = 0; row < h; ++row)
      std::copy_n(bm->pixels + static_cast<size_t>(row) * static_cast<size_t>(bm->pitch), w,
                  pixels.begin() + static_cast<ptrdiff_t>(row) * width);
  }
  return kp_write_png_file(path, pixels.data(), width, height, width);
}

KPUniversalBitmap* load_image_file_to_bitmap(const char* path) { return kp_load_image_file(path); }
