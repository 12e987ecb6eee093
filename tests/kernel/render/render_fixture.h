// A small off-screen device with a pixel bitmap for drawing tests, and the
// rows of its pixels as text.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"

struct RenderFixture : ::testing::Test {
  static constexpr uint32_t kInk = 0x0000FF;
  DisplayDevice* dd = nullptr;
  int width = 0;
  int height = 0;

  // A device of w x h pixels whose port starts at the figure point (left, top).
  DisplayDevice* make_device(int w, int h, int left = 0, int top = 0, double ratio = 1.0) {
    DisplayDevice* d = dd_create();
    ensure_display_dc(d);
    d->portRect = {left, top, left, top};
    dd_select_bitmap(d, create_dib_record(d, w, h));
    d->ratio = ratio;
    // The port is in figure pixels: a zoomed device shows less of the figure.
    d->portRect.right = left + static_cast<int>(w / ratio);
    d->portRect.bottom = top + static_cast<int>(h / ratio);
    d->dc->allowsAntialiasing(false);
    dd_draw_background(d);
    return d;
  }
  void SetUp() override {
    init_color_table();
    pixel_pen = PixelPen{};
    width = 40;
    height = 30;
    dd = make_device(width, height);
  }
  void TearDown() override { destroy_display_device(dd); }

  uint32_t at(int x, int y) const { return color_of_pixel(dd->bm->pixels[y * dd->bm->pitch + x]); }
  bool inked(int x, int y) const { return at(x, y) != back_color; }
  // '#' the ink, '.' the background, '?' anything else.
  std::string row(int y, int from, int to) const {
    std::string s;
    for (int x = from; x < to; ++x) {
      const uint32_t c = at(x, y);
      s += c == kInk ? '#' : c == back_color ? '.' : '?';
    }
    return s;
  }
  std::string block(int x0, int y0, int x1, int y1) const {
    std::string s;
    for (int y = y0; y < y1; ++y) s += row(y, x0, x1) + "\n";
    return s;
  }
  int inked_count() const {
    int n = 0;
    for (int y = 0; y < dd->bm->height; ++y)
      for (int x = 0; x < dd->bm->width; ++x) n += inked(x, y);
    return n;
  }
};
