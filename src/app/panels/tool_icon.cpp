#include "app/panels/tool_icon.h"

#include <cstring>

#include "kernel/render/colors.h"

uint32_t icon_palette[256];

const tool_icon* tool_icon_from_field(const void* field) {
  if (reinterpret_cast<uintptr_t>(field) <= static_cast<uintptr_t>(color_count)) return nullptr;
  return static_cast<const tool_icon*>(field);
}

const uint8_t* tool_icon_pixels(const tool_icon* icon, int size) {
  if (!icon) return nullptr;
  if (size == 16) return &icon->small[0][0];
  if (size == 32) return &icon->large[0][0];
  return nullptr;
}

void init_icon_palette() {
  for (uint32_t& c : icon_palette) c = 0x000000;
  for (int i = 0; i < palette16_count; ++i) icon_palette[i] = palette16_color(i) & 0xFFFFFF;
}

namespace {

// The list arrow's pixels: (row, column) pairs for each size and kind.
struct ArrowPixel {
  int row, col;
};

std::vector<ArrowPixel> arrow_pixels(int size, int arrow) {
  std::vector<ArrowPixel> out;
  if (arrow == kListArrowDown) {
    if (size == 16) {
      out = {{14, 13}, {14, 14}, {14, 15}, {15, 14}};
    } else {
      for (int c = 27; c <= 31; ++c) out.push_back({29, c});
      for (int c = 28; c <= 30; ++c) out.push_back({30, c});
      out.push_back({31, 29});
    }
  } else if (arrow == kListArrowRight) {
    if (size == 16) {
      out = {{13, 14}, {14, 14}, {15, 14}, {14, 15}};
    } else {
      for (int r = 27; r <= 31; ++r) out.push_back({r, 28});
      for (int r = 28; r <= 30; ++r) out.push_back({r, 29});
      out.push_back({29, 30});
    }
  }
  return out;
}

}  // namespace

std::vector<uint32_t> tool_icon_argb(const tool_icon* icon, int size, uint32_t key, uint32_t replacement,
                                     int arrow) {
  const uint8_t* src = tool_icon_pixels(icon, size);
  if (!src) return {};
  std::vector<uint8_t> bits(src, src + size * size);
  for (const ArrowPixel& p : arrow_pixels(size, arrow)) bits[p.row * size + p.col] = kIconArrowIndex;
  std::vector<uint32_t> out(bits.size());
  key &= 0xFFFFFF;
  for (size_t i = 0; i < bits.size(); ++i) {
    uint32_t c = icon_palette[bits[i]] & 0xFFFFFF;
    if (c == key) c = replacement & 0xFFFFFF;
    out[i] = 0xFF000000u | c;
  }
  return out;
}
