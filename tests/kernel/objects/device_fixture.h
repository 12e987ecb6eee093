// A figure (GeometryTest) with a 400 x 400 off-screen device to draw its
// objects into, and counts of the pixels they ink.
#pragma once

#include "kernel/model/geometry_fixture.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"

class DeviceGeometryTest : public GeometryTest {
 protected:
  static constexpr int kSize = 400;

  void TearDown() override {
    if (dd_) destroy_display_device(dd_);
    dd_ = nullptr;
    GeometryTest::TearDown();
  }
  DisplayDevice* device() {
    init_color_table();
    pixel_pen = PixelPen{};
    dd_ = dd_create();
    ensure_display_dc(dd_);
    dd_->portRect = {0, 0, 0, 0};
    dd_select_bitmap(dd_, create_dib_record(dd_, kSize, kSize));
    dd_->ratio = 1.0;
    dd_->portRect.right = kSize;
    dd_->portRect.bottom = kSize;
    dd_->dc->allowsAntialiasing(false);
    dd_draw_background(dd_);
    return dd_;
  }
  bool inked(int x, int y) const {
    return x >= 0 && y >= 0 && x < kSize && y < kSize &&
           color_of_pixel(dd_->bm->pixels[y * dd_->bm->pitch + x]) != back_color;
  }
  // Inked pixels in [x0, x1) x [y0, y1).
  int inked_in(int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += inked(x, y);
    return n;
  }

  DisplayDevice* dd_ = nullptr;
};
