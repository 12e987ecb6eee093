#include "kernel/render/pixel_pen.h"

#include <gtest/gtest.h>

#include <string>

#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"

namespace {

constexpr uint32_t kInk = 0x0000FF;

struct PenFixture : ::testing::Test {
  DisplayDevice* dd = nullptr;
  void SetUp() override {
    init_color_table();
    pixel_pen = PixelPen{};
    dd = dd_create();
    ensure_display_dc(dd);
    dd->portRect = {10, 20, 10, 20};
    dd_select_bitmap(dd, create_dib_record(dd, 30, 10));
    dd_draw_background(dd);
  }
  // The pen is the program's one pen: what a test set on it (fill mode,
  // a dash under way, the device's buffer) goes with the test.
  void TearDown() override {
    destroy_display_device(dd);
    pixel_pen = PixelPen{};
  }
  // '#' ink, '.' background, for the pixels of a row.
  std::string row(int y, int from = 0, int to = 30) const {
    std::string s;
    for (int x = from; x < to; ++x) {
      const uint32_t c = color_of_pixel(dd->bm->pixels[y * 30 + x]);
      s += c == kInk ? '#' : c == back_color ? '.' : '?';
    }
    return s;
  }
};

TEST_F(PenFixture, StrokeStartsAtTheFigurePointAndDashesRun) {
  begin_pixel_stroke(dd, 12, 23, kInk);
  EXPECT_EQ(pixel_pen.cursor_a, 3 * 30 + 2);
  const uint8_t dash[2] = {5, 8};
  set_dash_pattern(dash);
  for (int i = 0; i < 20; ++i) {
    pen_plot_table[0]();
    pen_cursor_next();
  }
  EXPECT_EQ(row(3, 2, 22), "#####...#####...####");
  // A second pattern while the first runs keeps the first and its phase.
  const uint8_t other[2] = {8, 14};
  set_dash_pattern(other);
  EXPECT_EQ(pixel_pen.on_length, 5);
  EXPECT_EQ(pixel_pen.phase_a, 4);

  pixel_pen.dash_active = 0;
  const uint8_t solid[2] = {3, 3};
  set_dash_pattern(solid);
  EXPECT_EQ(pixel_pen.dash_active, 0);
  EXPECT_EQ(pixel_pen.on_length, 1);
  EXPECT_EQ(pixel_pen.period, 1);
  const uint8_t broken[2] = {3, 0};  // a period of 0 from a damaged file
  set_dash_pattern(broken);
  EXPECT_EQ(pixel_pen.dash_active, 0);
}

TEST_F(PenFixture, PlotsOutsideTheBufferWriteNothing) {
  begin_pixel_stroke(dd, 10, 20, kInk);
  const uint8_t dash[2] = {5, 8};
  set_dash_pattern(dash);
  pixel_pen.phase_a = 2;
  for (int32_t at : {-1, 300}) {
    pixel_pen.cursor_a = at;
    pen_plot_pixel_a();
    EXPECT_EQ(pixel_pen.phase_a, 2);
  }
  // A column past either end of the row writes nothing, not even on the
  // neighbouring row, and a thick plot keeps its part inside the row.
  pixel_pen.dash_active = 0;
  begin_pixel_stroke(dd, 40, 20, kInk);
  pen_plot_a();
  EXPECT_EQ(row(1, 0, 2), "..");
  begin_pixel_stroke(dd, 9, 21, kInk);
  pen_plot_a();
  EXPECT_EQ(row(0, 28, 30), "..");
  begin_pixel_stroke(dd, 10, 22, kInk);
  pixel_pen.half_width = 2;
  pen_plot_a_wide_h();
  EXPECT_EQ(row(2, 0, 4), "###.");
  EXPECT_EQ(row(1, 27, 30), "...");
}

TEST_F(PenFixture, ThickPlotsDashAsAWhole) {
  begin_pixel_stroke(dd, 20, 25, kInk);
  pixel_pen.half_width = 2;
  const uint8_t dash[2] = {1, 2};
  set_dash_pattern(dash);
  pen_plot_a_wide_h();  // phase 0: on
  EXPECT_EQ(row(5, 7, 14), ".#####.");
  EXPECT_EQ(pixel_pen.cursor_a, 5 * 30 + 10);
  EXPECT_EQ(pixel_pen.phase_a, 1);
  pen_cursor_down();
  pen_cursor_down();
  pen_plot_a_wide_v();  // phase 1: all five off, written in the background colour
  for (int y = 5; y <= 9; ++y) EXPECT_EQ(row(y, 10, 11), ".") << y;
  EXPECT_EQ(row(5, 8, 13), "##.##");

  // Cursor B runs the pattern backwards.
  pixel_pen.cursor_b = 2 * 30;
  pixel_pen.counter_b = 0;
  for (int i = 0; i < 6; ++i) {
    pen_plot_b();
    pen_cursor_b_next();
  }
  EXPECT_EQ(row(2, 0, 6), "#.#.#.");
}

TEST_F(PenFixture, FillModeWritesSpansOnly) {
  pixel_pen.span_color = kInk;
  pixel_pen.fill_mode = 1;
  pixel_pen.opaque_fill = 1;
  begin_pixel_span(dd, 20.0, 22.0, 3, 0, 2);  // centre column 10, row 2, half-width 3
  EXPECT_EQ(pixel_pen.cursor_a, 2 * 30 + 13);
  EXPECT_EQ(pixel_pen.cursor_b, 2 * 30 + 7);
  for (auto plot : pen_plot_table) plot();
  EXPECT_EQ(row(2, 5, 16), "...........");
  pen_cursors_down();
  EXPECT_EQ(row(2, 5, 16), "...#####...");
  EXPECT_EQ(pixel_pen.cursor_b, 3 * 30 + 7);

  // Touching cursors still write one pixel.
  pixel_pen.cursor_a = pixel_pen.cursor_b + 1;
  pixel_pen.column_a = pixel_pen.column_b + 1;
  pen_fill_span();
  EXPECT_EQ(row(3, 7, 10), ".#.");

  // A span that is not opaque is ANDed: white takes the colour, black stays.
  pixel_pen.opaque_fill = 0;
  dd->bm->pixels[4 * 30 + 2] = pixel_of_color(0);
  pixel_pen.cursor_b = 4 * 30;
  pixel_pen.cursor_a = 4 * 30 + 4;
  pixel_pen.column_b = 0;
  pixel_pen.column_a = 4;
  pen_fill_span();
  EXPECT_EQ(color_of_pixel(dd->bm->pixels[4 * 30 + 1]), kInk);
  EXPECT_EQ(color_of_pixel(dd->bm->pixels[4 * 30 + 2]), 0u);
}

TEST_F(PenFixture, DevicesWithoutPixelsAreLeftAlone) {
  figure_changed = 0;
  DisplayDevice* bare = dd_create();
  begin_pixel_stroke(bare, 0, 0, kInk);
  begin_pixel_stroke(nullptr, 0, 0, kInk);
  EXPECT_EQ(figure_changed, 0);
  EXPECT_EQ(pixel_pen.buffer, nullptr);
  // A span without a device falls back to the static device.
  static_display = dd;
  begin_pixel_span(bare, 5, 5, 0, 0, 0);
  EXPECT_EQ(pixel_pen.buffer, dd->bm->pixels);
  EXPECT_EQ(figure_changed, 1);
  static_display = nullptr;
  destroy_display_device(bare);
}

}  // namespace
