#include "kernel/render/styled_primitives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "kernel/tools/draw_feedback.h"
#include "render_fixture.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct ClipCase {
  const char* what;
  uint16_t kind;
  double x1, y1, x2, y2;
  bool visible;
  double ax = 0, ay = 0, bx = 0, by = 0;
};

TEST_F(RenderFixture, ClippingKeepsTheVisiblePieceInTheLinesDirection) {
  DisplayDevice* view = make_device(100, 80);
  const ClipCase cases[] = {
      {"segment left of the view", kExtentSegment, -20, 10, -5, 50, false},
      {"line through two outside points", kExtentLine, -10, -10, -5, -5, true, 0, 0, 79, 79},
      {"the same line backwards", kExtentLine, -5, -5, -10, -10, true, 79, 79, 0, 0},
      {"ray below the view going down", kExtentRay, 50, 100, 50, 120, false},
      {"ray below the view going up", kExtentRay, 50, 100, 50, 90, true, 50, 79, 50, 0},
      {"ray from inside going right", kExtentRay, 50, 40, 60, 40, true, 50, 40, 99, 40},
      {"segment inside", kExtentSegment, 10, 10, 50, 20, true, 10, 10, 50, 20},
      {"segment leaving through the right edge", kExtentSegment, 90, 10, 110, 30, true, 90, 10, 99, 19},
      {"two equal points", kExtentSegment, 30, 30, 30, 30, false},
      {"line touching the corner pixel only", kExtentLine, -1, 1, 1, -1, false},
      {"not a number", kExtentLine, kNaN, 1, 5, 5, false},
      {"infinite coordinates", kExtentSegment, 1, 1, std::numeric_limits<double>::infinity(), 5, false},
  };
  for (const ClipCase& c : cases) {
    SCOPED_TRACE(c.what);
    clipped_line out{};
    ASSERT_EQ(clip_line_to_view(view, c.x1, c.y1, c.x2, c.y2, c.kind, &out), c.visible);
    if (!c.visible) continue;
    EXPECT_NEAR(out.x1, c.ax, 1e-9);
    EXPECT_NEAR(out.y1, c.ay, 1e-9);
    EXPECT_NEAR(out.x2, c.bx, 1e-9);
    EXPECT_NEAR(out.y2, c.by, 1e-9);
  }
  destroy_display_device(view);
}

TEST_F(RenderFixture, BothRoutesAgreeOnWhatIsVisible) {
  DisplayDevice* zoomed = make_device(80, 60, 0, 0, 2.0);
  const ClipCase cases[] = {
      {"outside", kExtentSegment, -20, 10, -5, 25, false},
      {"crossing", kExtentLine, -10, -10, -5, -5, true},
      {"ray away", kExtentRay, 20, 40, 20, 50, false},
  };
  for (const ClipCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(draw_segment_styled(dd, c.x1, c.y1, c.x2, c.y2, kInk, 0, nullptr, c.kind) != 0, c.visible);
    EXPECT_EQ(draw_segment_styled(zoomed, c.x1, c.y1, c.x2, c.y2, kInk, 0, nullptr, c.kind) != 0, c.visible);
  }
  destroy_display_device(zoomed);
}

// One pixel per major step, each within half a pixel (plus the rounding of
// the ends) of the true line.
TEST_F(RenderFixture, PixelLinesFollowTheRealLine) {
  struct Line {
    double x1, y1, x2, y2;
  };
  for (const Line& l : {Line{2.3, 3.1, 33.6, 11.4}, Line{35.2, 2.0, 4.7, 26.6}, Line{20.4, 1.2, 26.1, 27.9}}) {
    dd_draw_background(dd);
    ASSERT_EQ(draw_segment_styled(dd, l.x1, l.y1, l.x2, l.y2, kInk, 0, nullptr, kExtentSegment), 1);
    const bool x_major = std::fabs(l.x2 - l.x1) >= std::fabs(l.y2 - l.y1);
    const int from = static_cast<int>(std::floor((x_major ? std::min(l.x1, l.x2) : std::min(l.y1, l.y2)) + 0.5));
    const int to = static_cast<int>(std::floor((x_major ? std::max(l.x1, l.x2) : std::max(l.y1, l.y2)) + 0.5));
    int total = 0;
    for (int m = from; m <= to; ++m) {
      int count = 0;
      for (int n = 0; n < (x_major ? height : width); ++n) {
        const int x = x_major ? m : n, y = x_major ? n : m;
        if (!inked(x, y)) continue;
        ++count;
        // Distance along the minor axis from the true line.
        const double t = x_major ? (x - l.x1) / (l.x2 - l.x1) : (y - l.y1) / (l.y2 - l.y1);
        const double minor = x_major ? l.y1 + t * (l.y2 - l.y1) : l.x1 + t * (l.x2 - l.x1);
        EXPECT_LE(std::fabs((x_major ? y : x) - minor), 1.0) << x << "," << y;
      }
      EXPECT_EQ(count, 1) << "at " << m;
      total += count;
    }
    EXPECT_EQ(total, inked_count());
  }
}

TEST_F(RenderFixture, ThicknessAndDashOnThePixelRoute) {
  // Thickness 2 is five pixels across.
  draw_segment_styled(dd, 5, 10, 30, 10, kInk, 2, nullptr, kExtentSegment);
  for (int y = 6; y <= 14; ++y) EXPECT_EQ(inked(15, y), y >= 8 && y <= 12) << y;
  dd_draw_background(dd);
  draw_segment_styled(dd, 5, 12, 25, 27, kInk, 1, nullptr, kExtentSegment);
  // A shallow line spreads vertically: three pixels in every column.
  for (int x = 6; x < 25; ++x) {
    int n = 0;
    for (int y = 0; y < height; ++y) n += inked(x, y);
    EXPECT_EQ(n, 3) << x;
  }
  dd_draw_background(dd);
  const dot dash = {5, 8};
  draw_segment_styled(dd, 2, 20, 21, 20, kInk, 0, &dash, kExtentSegment);
  EXPECT_EQ(row(20, 2, 22), "#####...#####...####");
  EXPECT_EQ(pixel_pen.dash_active, 0);
}

TEST_F(RenderFixture, DeviceContextRouteStrokesWithAScaledGeometricPen) {
  DisplayDevice* zoomed = make_device(80, 60, 0, 0, 2.0);
  ASSERT_EQ(draw_segment_styled(zoomed, 5, 15, 35, 15, kInk, 2, nullptr, kExtentSegment), 1);
  // floor(5 x 2 + 0.5) = 10 device pixels across, centred on device row 30.
  int across = 0;
  for (int y = 0; y < 60; ++y)
    across += color_of_pixel(zoomed->bm->pixels[y * zoomed->bm->pitch + 40]) != back_color;
  EXPECT_EQ(across, 10);
  // A dashed pen leaves gaps, a solid one none.
  auto gaps = [&](const dot& pattern) {
    dd_draw_background(zoomed);
    draw_segment_styled(zoomed, 2, 5, 38, 5, kInk, 0, &pattern, kExtentSegment);
    int n = 0;
    for (int x = 10; x < 70; ++x) n += color_of_pixel(zoomed->bm->pixels[10 * zoomed->bm->pitch + x]) == back_color;
    return n;
  };
  EXPECT_EQ(gaps({1, 1}), 0);
  EXPECT_GT(gaps({8, 14}), 0);
  EXPECT_GT(gaps({1, 2}), 0);
  destroy_display_device(zoomed);
}

TEST_F(RenderFixture, SelectionDrawingGivesADeviceContextStrokeAHaloAndTheSelectionDash) {
  DisplayDevice* zoomed = make_device(80, 60, 0, 0, 2.0);
  dd_fill_background(zoomed, 0x00FF00);
  selection_drawing = 1;
  draw_segment_styled(zoomed, 2, 10, 38, 10, kInk, 0, nullptr, kExtentSegment);
  selection_drawing = 0;
  int ink = 0, halo = 0;
  for (int x = 10; x < 70; ++x) {
    const uint32_t c = color_of_pixel(zoomed->bm->pixels[20 * zoomed->bm->pitch + x]);
    ink += c == kInk;
    halo += c == back_color;
  }
  EXPECT_GT(ink, 0);
  EXPECT_GT(halo, 0);  // the gaps of the dash show the halo, not the green beneath
  destroy_display_device(zoomed);
}

struct MarkCase {
  const char* what;
  uint16_t shape;
  int8_t size;
  const char* pixels;  // 7 x 7 around the point
};

TEST_F(RenderFixture, PointMarksDrawTheirShapes) {
  const MarkCase cases[] = {
      {"1x1 size 0", kShapeDot, 0, ".......\n.......\n.......\n...#...\n.......\n.......\n.......\n"},
      {"1x1 size 1", kShapeDot, 1, ".......\n..###..\n.#####.\n.#####.\n.#####.\n..###..\n.......\n"},
      {"3x3", kShapeSquare, 0, ".......\n.......\n..###..\n..###..\n..###..\n.......\n.......\n"},
      {"CIRCLE", kShapeCircle, 0, ".......\n..###..\n.#...#.\n.#...#.\n.#...#.\n..###..\n.......\n"},
      {"TIMES", kShapeTimes, 0, ".......\n.......\n..#.#..\n...#...\n..#.#..\n.......\n.......\n"},
      {"PLUS", kShapePlus, 0, ".......\n.......\n...#...\n..###..\n...#...\n.......\n.......\n"},
      {"PLUS size 1", kShapePlus, 1, ".......\n...#...\n...#...\n.#####.\n...#...\n...#...\n.......\n"},
      {"long tick", kShapeLongTick, 0, "...#...\n...#...\n...#...\n...#...\n...#...\n...#...\n...#...\n"},
  };
  for (const MarkCase& c : cases) {
    SCOPED_TRACE(c.what);
    dd_draw_background(dd);
    draw_point_mark(dd, 20, 15, 0, c.size, kInk, c.shape, nullptr);
    EXPECT_EQ(block(17, 12, 24, 19), c.pixels);
  }
  // A CIRCLE is filled with the background over what lies beneath.
  dd_rect_scaled(dd, 0, 0, 40, 30, 0x00FF00, 1);
  draw_point_mark(dd, 20, 15, 0, 0, kInk, kShapeCircle, nullptr);
  EXPECT_EQ(at(20, 15), back_color);
}

TEST_F(RenderFixture, PointMarksOutsideTheViewOrNotANumberDrawNothing) {
  figure_changed = 0;
  draw_point_mark(dd, 41, 15, 0, 0, kInk, kShapeSquare, nullptr);
  draw_point_mark(dd, kNaN, 15, 0, 0, kInk, kShapeSquare, nullptr);
  draw_point_mark(dd, 10, kNaN, 0, 0, kInk, kShapeSquare, nullptr);
  draw_point_mark(dd, 10, 10, 0, 0, kInk, 99, nullptr);
  EXPECT_EQ(inked_count(), 0);
  EXPECT_EQ(figure_changed, 1);  // the shape out of the table still passed the view test
}

TEST_F(RenderFixture, GlyphsAreCentredOnTheirPixelFourFourAndFollowARunningDash) {
  const uint8_t bar[8] = {0, 0, 0, 0, 0xFF, 0, 0, 0};
  draw_point_mark(dd, 20, 15, 0, 0, kInk, 0, bar);
  EXPECT_EQ(row(15, 14, 26), "..########..");
  dd_draw_background(dd);
  const dot dash = {3, 4};
  pixel_pen.dash_start_phase = 0;
  set_dash_pattern(&dash.lg);
  draw_point_mark(dd, 20, 15, 0, 0, kInk, 0, bar);
  pixel_pen.dash_active = 0;
  EXPECT_EQ(row(15, 16, 24), "###.###.");
}

TEST_F(RenderFixture, ArrowHeadLabelsTakeTheFirstFreePlace) {
  DisplayDevice* view = make_device(200, 150);
  struct Case {
    const char* what;
    int32_t x, y;
    int16_t direction;
    int32_t dx, dy;
  };
  const Case cases[] = {
      {"vertical line in the middle", 100, 70, 90, 12, 0},
      {"horizontal line near the top", 100, 5, 0, 0, 16},
      {"horizontal line in the middle", 100, 70, 0, 0, -12},
      {"direction 360 folds onto 0", 100, 70, 360, 0, -12},
      {"direction 355 folds onto 0", 100, 70, 355, 0, -12},
      {"direction -90 folds like 270", 100, 70, -90, 12, 0},
      {"near the right edge", 180, 70, 90, -16, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int32_t dx = 99, dy = 99;
    arrow_label_offset(view, c.x, c.y, c.direction, &dx, &dy);
    EXPECT_EQ(dx, c.dx);
    EXPECT_EQ(dy, c.dy);
  }
  EXPECT_EQ(draw_arrow_head(view, 100, 0, kInk, 'x', 0, 0), 0);
  EXPECT_EQ(draw_arrow_head(view, kNaN, 50, kInk, 'x', 0, 0), 0);
  EXPECT_EQ(draw_arrow_head(view, 100, 70, kInk, 'y', 90, 0), 1);
  // The label glyph lies 12 pixels right of the head.
  int label = 0;
  for (int y = 62; y < 78; ++y)
    for (int x = 107; x < 120; ++x) label += color_of_pixel(view->bm->pixels[y * view->bm->pitch + x]) == kInk;
  EXPECT_GT(label, 4);
  destroy_display_device(view);
}

TEST_F(RenderFixture, FilledPolygonsAndOutlines) {
  const double triangle[] = {5, 5, 25, 5, 5, 25};
  figure_changed = 0;
  draw_filled_polygon(dd, triangle, 3, kInk, 1);
  EXPECT_EQ(figure_changed, 1);
  EXPECT_TRUE(inked(8, 8));
  EXPECT_FALSE(inked(22, 22));
  const double broken[] = {5, 5, kNaN, 5, 5, 25};
  dd_draw_background(dd);
  draw_filled_polygon(dd, broken, 3, kInk, 1);
  EXPECT_EQ(inked_count(), 0);

  draw_rect_outline(dd, 10, 5, 30, 20, kInk, 0, nullptr);
  EXPECT_TRUE(inked(10, 5) && inked(30, 20) && inked(10, 20) && inked(30, 5) && inked(20, 5) && inked(10, 12));
  EXPECT_FALSE(inked(20, 12));
  dd_draw_background(dd);
  draw_rect_dashed(dd, 10, 5, 30, 20, kInk, 1);
  EXPECT_EQ(row(5, 10, 18), "#.#.#.#.");
}

}  // namespace
