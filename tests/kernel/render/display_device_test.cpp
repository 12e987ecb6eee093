#include "kernel/render/display_device.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/undo.h"
#include "kernel/render/colors.h"
#include "kernel/render/fonts.h"
#include "kernel/render/pixel_pen.h"

namespace {

// A device with a white pixel bitmap of w x h showing the figure from
// (left, top).
DisplayDevice* make_device(int w, int h, int left = 0, int top = 0) {
  init_color_table();
  DisplayDevice* dd = dd_create();
  ensure_display_dc(dd);
  dd->portRect = {left, top, left, top};
  dd_select_bitmap(dd, create_dib_record(dd, w, h));
  dd->dc->allowsAntialiasing(false);
  dd_draw_background(dd);
  return dd;
}

uint32_t px(const DisplayDevice* dd, int x, int y) { return color_of_pixel(dd->bm->pixels[y * dd->bm->pitch + x]); }

std::string row(const DisplayDevice* dd, int y, int from, int to) {
  std::string s;
  for (int x = from; x < to; ++x) s += px(dd, x, y) == 0xFFFFFF ? '.' : '#';
  return s;
}

TEST(DisplayDevice, TransformExamples) {
  DisplayDevice* dd = dd_create();
  EXPECT_EQ(dd->orientation, 1);
  EXPECT_EQ(dd->ratio, 1.0);
  dd->portRect = {100, 50, 300, 250};
  dd->ratio = 2;
  EXPECT_EQ(dd_x(dd, 103), 6);
  EXPECT_EQ(dd_y(dd, 54), 8);
  dd->ratio = 1.5;
  EXPECT_EQ(dd_x(dd, 101), 2);
  int32_t x = -1, y = -1;
  dd_get_origin(dd, &x, &y);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 50);
  dd_get_origin(nullptr, &x, &y);
  EXPECT_EQ(x, 0);
  dd_move_origin(dd, 10, 20);
  EXPECT_EQ(dd->portRect.right, 210);
  EXPECT_EQ(dd->portRect.bottom, 220);
  destroy_display_device(dd);

  DisplayDevice foreign{};
  destroy_display_device(&foreign);  // not from dd_create: ignored
}

TEST(DisplayDevice, ScaledRectanglesPolygonsLinesAndMasks) {
  DisplayDevice* dd = make_device(40, 30, 100, 200);
  EXPECT_EQ(dd->portRect.right, 140);
  EXPECT_EQ(dd->portRect.bottom, 230);
  dd_rect_scaled(dd, 102, 203, 106, 208, 0xFF0000, 1);  // figure pixels
  EXPECT_EQ(row(dd, 5, 0, 8), "..####..");
  EXPECT_EQ(px(dd, 3, 4), 0xFF0000u);

  // Mask fill: darkens, white parts take the colour.
  dd_rect_scaled(dd, 104, 203, 110, 208, 0x0000FF, 0);
  EXPECT_EQ(px(dd, 5, 5), 0x000000u);
  EXPECT_EQ(px(dd, 8, 5), 0x0000FFu);
  EXPECT_EQ(dd->dc->setROP2(13), 13);  // restored

  const tagPOINT tri[3] = {{20, 2}, {38, 2}, {38, 20}};
  dc_polygon(dd->dc, tri, 3, 0x00FF00, 1);
  EXPECT_EQ(px(dd, 36, 4), 0x00FF00u);
  EXPECT_EQ(px(dd, 22, 18), 0xFFFFFFu);

  dc_line(dd->dc, 2, 25, 12, 25, 0x000000);
  EXPECT_EQ(row(dd, 25, 0, 14), ".###########..");  // the fresh move starts at 1

  dc_disc(dd->dc, 30, 25, 3, 0xFF00FF);
  EXPECT_EQ(px(dd, 30, 25), 0xFF00FFu);
  dc_circle(dd->dc, 15, 15, 4, 0x000000);
  EXPECT_EQ(px(dd, 15, 15), 0xFFFFFFu);

  dc_frame_rect_xy(dd->dc, 1, 10, 8, 18, 0xFF0000);  // colour words, converted
  bool red = false;
  for (int y = 9; y <= 18; ++y) red |= px(dd, 1, y) == 0xFF0000u;
  EXPECT_TRUE(red);
  destroy_display_device(dd);
}

TEST(DisplayDevice, ImagesAreCentredAndClipped) {
  DisplayDevice* dd = make_device(30, 30, 10, 10);
  tagBITMAPINFO info{};
  info.bmiHeader = {40, 4, -4, 1, 32, 0, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  KPUniversalBitmap* image = CreateDIBSection(dd->dc, &info, 0, &bits, nullptr, 0);
  for (int i = 0; i < 16; ++i) static_cast<uint32_t*>(bits)[i] = 0x0000FF;  // alpha left at 0 on purpose

  blit_object_image(dd, 20, 20, image, 1.0, 1);  // centred on figure (20, 20) = device (10, 10)
  EXPECT_EQ(px(dd, 8, 8), 0x0000FFu);
  EXPECT_EQ(px(dd, 11, 11), 0x0000FFu);
  EXPECT_EQ(px(dd, 7, 8), 0xFFFFFFu);
  EXPECT_EQ(px(dd, 12, 11), 0xFFFFFFu);

  dd->ratio = 2;
  blit_object_image(dd, 20, 15, image, 1.0, 1);  // 8 x 8 around (20, 10)
  EXPECT_EQ(px(dd, 17, 7), 0x0000FFu);
  EXPECT_EQ(px(dd, 24, 14), 0x0000FFu);
  dd->ratio = 1;

  dd_draw_background(dd);
  blit_object_image(dd, 5, 20, image, 1.0, 1);  // wholly left of the port
  blit_object_image(dd, 20, 7, image, 1.0, 1);  // wholly above
  for (int y = 0; y < 30; ++y) EXPECT_EQ(row(dd, y, 0, 30), std::string(30, '.'));
  blit_object_image(dd, 10, 10, image, 1.0, 1);  // a quarter shows at the corner
  EXPECT_EQ(row(dd, 0, 0, 4), "##..");
  DeleteObject(image);
  destroy_display_device(dd);
}

TEST(DisplayDevice, IconsAreRecolouredMarkedAndDrawn) {
  DisplayDevice* dd = make_device(40, 40);
  std::vector<uint8_t> icon(1280, 0);  // white
  for (int i = 0; i < 16; ++i) icon[3 * 16 + i] = 40;  // a black row 3 in the 16x16 image
  icon[256 + 5] = 7;                                 // a red pixel in the 32x32 image

  dd_draw_icon_at(dd, 4, 6, 16, icon.data(), back_color, 0xFF0000, 2);
  EXPECT_EQ(px(dd, 4, 9), 0xFF0000u);   // black turned red
  EXPECT_EQ(px(dd, 4, 6), 0xFFFFFFu);
  EXPECT_EQ(px(dd, 18, 19), 0x000000u);  // mark 2 stays black: (row 13, col 14)
  EXPECT_EQ(px(dd, 19, 20), 0x000000u);  // (14, 15)
  EXPECT_EQ(px(dd, 19, 19), 0xFFFFFFu);

  dd_draw_icon(dd->dc, 0, 0, 32, icon.data(), 0x00FF00, default_color, 1);
  EXPECT_EQ(px(dd, 0, 0), 0x00FF00u);  // background recoloured
  EXPECT_EQ(px(dd, 5, 0), 0xFF0000u);
  EXPECT_EQ(px(dd, 29, 31), 0x000000u);  // mark 1 row 31 column 29
  ASSERT_NE(dd_icon_device(32), nullptr);
  dd_draw_icon(dd->dc, 0, 0, 24, icon.data(), 0, 0, 0);  // other sizes: nothing
  destroy_display_device(dd);
}

TEST(DisplayDevice, OpaquePixelCopiesAndFlush) {
  DisplayDevice* a = make_device(4, 4);
  DisplayDevice* b = make_device(2, 2);
  b->bm->pixels[1] = pixel_of_color(0x123456);
  a->bm->pixels[0] = pixel_of_color(0xABCDEF);
  EXPECT_EQ(copy_opaque_pixels(a, b), 4);  // the smaller bitmap's count, by index
  EXPECT_EQ(px(a, 1, 0), 0x123456u);
  EXPECT_EQ(px(a, 0, 0), 0xABCDEFu);  // white source pixels are skipped

  static DisplayDevice *view, *moving, *stat;
  view = make_device(4, 4);
  moving = a;
  stat = make_device(4, 4);
  display_device_hooks.window_device = [] { return view; };
  display_device_hooks.window_moving_device = [] { return moving; };
  display_device_hooks.window_static_device = [] { return stat; };
  figure_changed = 0;
  flush_moving_display(24);
  EXPECT_EQ(px(view, 1, 0), 0xFFFFFFu);  // nothing while the flag is clear
  figure_changed = 1;
  flush_moving_display(24);
  EXPECT_EQ(px(view, 1, 0), 0x123456u);
  EXPECT_EQ(px(moving, 1, 0), 0xFFFFFFu);  // the static layer came back
  EXPECT_EQ(figure_changed, 0);
  display_device_hooks = {};
  for (auto* d : {view, stat, a, b}) destroy_display_device(d);
}

TEST(DisplayDevice, TextIsDrawnAndMeasured) {
  DisplayDevice* dd = make_device(80, 30);
  EXPECT_EQ(dd_draw_text(dd, 2, 20, "", 0), 0);
  EXPECT_EQ(dd_text_width(dd, ""), 0);
  car_info info{};
  info.size = 12;
  dd_select_text_font(dd, &info);
  EXPECT_GT(dd->fi.ascent, 5);
  EXPECT_LT(dd->fi.descent, 0);
  EXPECT_GT(dd_text_width(dd, "WWW"), dd_text_width_n(dd, "WWW", 1));
  figure_changed = 0;
  const int32_t w = dd_draw_text(dd, 2, 20, "Hi", 0xFF0000);
  EXPECT_EQ(figure_changed, 1);
  EXPECT_NEAR(w, dd_text_width(dd, "Hi"), 1);
  int inked = 0, lowest = -1;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 80; ++x)
      if (px(dd, x, y) != 0xFFFFFF) {
        ++inked;
        lowest = std::max(lowest, y);
      }
  EXPECT_GT(inked, 10);
  EXPECT_LE(lowest, 21);  // the baseline sits at y = 20
  EXPECT_GE(lowest, 17);
  dd_release_font(dd);
  EXPECT_EQ(dd->ft, nullptr);
  destroy_display_device(dd);
}

// Selecting the font a device still holds selects it again, without making
// a new one, with the metrics a new font from the same record would give;
// another size, or the same size after the font was released, makes a font
// of its own.
TEST(DisplayDevice, TheHeldFontIsSelectedAgainWithItsMetrics) {
  DisplayDevice* dd = make_device(80, 30);
  car_info info{};
  info.size = 12;
  dd_select_text_font(dd, &info);
  KPFont* const held = dd->ft;
  const KPFontInfo metrics = dd->fi;
  const int32_t width = dd_text_width(dd, "Hi");
  dd_select_text_font(dd, &info);
  EXPECT_EQ(dd->ft, held);
  EXPECT_EQ(dd->dc->getCurrentFont(), held);
  EXPECT_EQ(std::memcmp(&dd->fi, &metrics, sizeof metrics), 0);
  EXPECT_EQ(dd_text_width(dd, "Hi"), width);
  info.size = 24;
  dd_select_text_font(dd, &info);
  EXPECT_GT(dd->fi.highline, metrics.highline);
  info.size = 12;
  dd_release_font(dd);
  dd_select_text_font(dd, &info);
  ASSERT_NE(dd->ft, nullptr);
  EXPECT_EQ(dd->dc->getCurrentFont(), dd->ft);
  EXPECT_EQ(std::memcmp(&dd->fi, &metrics, sizeof metrics), 0);
  EXPECT_EQ(dd_text_width(dd, "Hi"), width);
  destroy_display_device(dd);
}

}  // namespace

namespace {

// A figure's trace device is shaped like the static device, shared with the
// undo copy, freed once with whichever record goes last, and scrolled with
// the shared devices.
TEST(DisplayDevice, TraceDeviceFollowsTheStaticDeviceAndItsFigure) {
  const std::size_t blocks = kernel_live_blocks();
  static_display = make_device(40, 30, 5, 7);
  new_figure_info();
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  ASSERT_NE(fig, nullptr);
  create_trace_display(fig);
  DisplayDevice* trace = fig->trace_device;
  ASSERT_NE(trace, nullptr);
  EXPECT_NE(trace->dc, static_display->dc);
  // Over a pixel device the trace is a white pixel bitmap of the same size,
  // its pixels going onto the static device's index for index.
  ASSERT_NE(trace->bm, nullptr);
  EXPECT_NE(trace->bm->pixels, static_display->bm->pixels);
  EXPECT_EQ(trace->bm->width, 40);
  EXPECT_EQ(trace->bm->height, 30);
  EXPECT_EQ(px(trace, 39, 29), 0xFFFFFFu);
  EXPECT_EQ(trace->portRect.left, 5);
  EXPECT_EQ(trace->portRect.right, 45);
  create_trace_display(fig);  // one per figure
  EXPECT_EQ(fig->trace_device, trace);

  dd_shift_origins(100, 200);
  EXPECT_EQ(trace->portRect.left, 100);
  EXPECT_EQ(trace->portRect.top, 200);
  EXPECT_EQ(static_display->portRect.left, 100);

  save_undo_state(0);
  ASSERT_NE(fig->undo, nullptr);
  EXPECT_EQ(fig->undo->trace_device, trace);
  free_figure_info(fig->undo, false);  // the figure still holds it
  fig->undo = nullptr;
  EXPECT_EQ(fig->trace_device, trace);
  free_figure_info(fig, false);
  KPGeoDocument::setCurrentInfo(nullptr);
  destroy_display_device(static_display);
  EXPECT_EQ(kernel_live_blocks(), blocks);
}

// Over a static device that only its port draws on (a zoomed view), the
// trace is a surface of the same size for the port alone.
TEST(DisplayDevice, TraceDeviceOverASurfaceIsASurface) {
  init_color_table();
  static_display = dd_create();
  ensure_display_dc(static_display);
  KPContext* layer = KPContext::createImageContext(40, 30);
  static_display->dc->fixContext(layer, {}, {});
  new_figure_info();
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  create_trace_display(fig);
  ASSERT_NE(fig->trace_device, nullptr);
  EXPECT_EQ(fig->trace_device->bm, nullptr);
  ASSERT_NE(fig->trace_device->bitmapContext, nullptr);
  EXPECT_EQ(fig->trace_device->bitmapContext->width(), 40);
  EXPECT_EQ(fig->trace_device->bitmapContext->height(), 30);
  free_figure_info(fig->undo, false);
  fig->undo = nullptr;
  free_figure_info(fig, false);
  KPGeoDocument::setCurrentInfo(nullptr);
  destroy_display_device(static_display);
  delete layer;
}

}  // namespace
