#include "kernel/render/stroke_engine.h"

#include <gtest/gtest.h>

#include <cmath>

#include "kernel/tools/draw_feedback.h"
#include "render_fixture.h"

namespace {

valeur point(double h, double v, double r = 0) {
  valeur p{};
  p.h = h;
  p.v = v;
  p.info.rayon = r;
  return p;
}

struct StrokeFixture : RenderFixture {
  void circle(double cx, double cy, double r, uint32_t fill = 0xFFFFFFFF, uint8_t flags = kStrokeFullCircle,
              uint8_t thickness = 0, const dot* dash = nullptr) {
    const valeur c = point(cx, cy), radius = point(0, 0, r);
    draw_stroke_twice(dd, &c, &radius, nullptr, nullptr, kInk, fill == 0xFFFFFFFF ? back_color : fill, thickness,
                      dash, flags);
  }
  // Every inked pixel lies within tolerance of the circle.
  void expect_on_circle(double cx, double cy, double r, double tolerance = 0.75) const {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (at(x, y) == kInk) {
          EXPECT_NEAR(std::hypot(x - cx, y - cy), r, tolerance) << x << "," << y;
        }
  }
};

TEST_F(StrokeFixture, AFullCircleInsideThePortIsOnePieceOfMirroredHalves) {
  arc_lists lists{};
  ASSERT_TRUE(build_arc_lists(dd, 20, 15, 10, 0, nullptr, &lists));
  for (const arc_point_list& half : lists.half) {
    ASSERT_EQ(half.n, 2);
    EXPECT_EQ(half.x[0], 0);
    EXPECT_EQ(half.y[0], 10);
    EXPECT_EQ(half.x[1], 0);
    EXPECT_EQ(half.y[1], -10);
  }
  circle(20, 15, 10);
  expect_on_circle(20, 15, 10);
  for (int y = 0; y < height; ++y)
    for (int x = 1; x <= 20; ++x) EXPECT_EQ(inked(x, y), inked(40 - x, y)) << x << "," << y;
  EXPECT_TRUE(inked(20, 5) && inked(20, 25) && inked(10, 15) && inked(30, 15));
  // Every row the circle spans carries ink on both sides.
  for (int y = 5; y <= 25; ++y) EXPECT_TRUE(row(y, 0, 20).find('#') != std::string::npos) << y;
}

TEST_F(StrokeFixture, ACircleCrossingThePortEdgesIsDrawnUpToTheEdges) {
  struct Case {
    const char* what;
    double cx, cy, r;
  };
  for (const Case& c : {Case{"left edge", 3, 15, 10}, Case{"right edge", 37, 15, 10}, Case{"top edge", 20, 2, 8},
                        Case{"bottom edge", 20, 28, 8}, Case{"two edges", 1, 1, 12}}) {
    SCOPED_TRACE(c.what);
    dd_draw_background(dd);
    circle(c.cx, c.cy, c.r);
    expect_on_circle(c.cx, c.cy, c.r);
    // Each port pixel the circle passes within half a pixel of is drawn, up
    // to the last column and row.
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const double d = std::hypot(x - c.cx, y - c.cy) - c.r;
        if (std::fabs(d) < 0.3) {
          EXPECT_TRUE(inked(x, y)) << x << "," << y;
        }
      }
  }
}

// Thick circles keep their pieces up to the right edge as well as the left.
TEST_F(StrokeFixture, ThickCirclesReachTheLastColumns) {
  for (double cx : {36.0, 4.0}) {
    SCOPED_TRACE(cx);
    dd_draw_background(dd);
    circle(cx, 15, 10, 0xFFFFFFFF, kStrokeFullCircle, 2);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const double d = std::hypot(x - cx, y - 15) - 10;
        if (std::fabs(d) < 0.3) {
          EXPECT_TRUE(inked(x, y)) << x << "," << y;
        }
      }
  }
}

TEST_F(StrokeFixture, CirclesThatMissThePortDrawNothing) {
  circle(20, -30, 10);  // above
  circle(-30, 15, 10);  // left
  circle(20, 15, 200);  // around the whole port, no fill
  circle(20, 15, 0);    // a point
  EXPECT_LE(inked_count(), 1);
  arc_lists lists{};
  EXPECT_FALSE(build_arc_lists(dd, 20, -30, 10, 0, nullptr, &lists));
}

TEST_F(StrokeFixture, FilledCirclesFillTheirInsideAndOutlineOnTop) {
  constexpr uint32_t kFill = 0x00FF00;
  circle(20, 15, 9, kFill, kStrokeFullCircle | kStrokeOpaqueFill);
  expect_on_circle(20, 15, 9, 1.0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const double d = std::hypot(x - 20, y - 15);
      if (d < 8) {
        EXPECT_EQ(at(x, y), kFill) << x << "," << y;
      } else if (d > 10) {
        EXPECT_EQ(at(x, y), back_color) << x << "," << y;
      }
    }
  // Larger than the port on both sides: the covered band and the spans above
  // and below it are all filled.
  dd_draw_background(dd);
  circle(20, 40, 30, kFill, kStrokeFullCircle | kStrokeOpaqueFill);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const double d = std::hypot(x - 20, y - 40);
      if (d < 29) {
        EXPECT_EQ(at(x, y), kFill) << x << "," << y;
      } else if (d > 31) {
        EXPECT_EQ(at(x, y), back_color) << x << "," << y;
      }
    }
  // Not opaque: the fill is combined with what lies beneath by AND.
  dd_rect_scaled(dd, 0, 0, 40, 30, 0x0000FF, 1);
  circle(20, 15, 9, kFill, kStrokeFullCircle);
  EXPECT_EQ(at(20, 15), 0x0000FFu & kFill);
}

TEST_F(StrokeFixture, ArcsKeepToTheirSideOfTheChord) {
  // The upper half of a circle of radius 10 around (20, 20), from its left to
  // its right end through its top.
  const valeur a = point(10, 20), b = point(20, 10), c = point(30, 20);
  const circle_record rec{20, 20, 10};
  draw_stroke_twice(dd, &a, &b, &c, &rec, kInk, back_color, 0, nullptr, 0);
  expect_on_circle(20, 20, 10);
  EXPECT_TRUE(inked(20, 10) && inked(10, 20) && inked(30, 20));
  for (int y = 22; y < height; ++y) EXPECT_EQ(row(y, 0, 40).find('#'), std::string::npos) << y;
  // The same points in the other order give the same arc.
  std::string first = block(0, 0, 40, 30);
  dd_draw_background(dd);
  draw_stroke_twice(dd, &c, &b, &a, &rec, kInk, back_color, 0, nullptr, 0);
  EXPECT_EQ(block(0, 0, 40, 30), first);
  // A quarter arc on the right, from the top to the right end.
  dd_draw_background(dd);
  const valeur m = point(20 + 10 * std::cos(0.7), 20 - 10 * std::sin(0.7));
  const valeur top = point(20, 10);
  draw_stroke_twice(dd, &top, &m, &c, &rec, kInk, back_color, 0, nullptr, 0);
  expect_on_circle(20, 20, 10);
  EXPECT_EQ(row(15, 0, 20).find('#'), std::string::npos);
  EXPECT_TRUE(inked(27, 13) || inked(27, 12) || inked(28, 13));
}

TEST_F(StrokeFixture, ArcEndpointsOnABoundaryCrossingKeepEvenLists) {
  // The arc starts exactly where the circle leaves the port on the left.
  arc_lists lists{};
  const valeur a = point(0 - 1, 15 - std::sqrt(100.0 - 441.0 / 4)), b = point(20, 5), c = point(30, 15);
  const valeur* pts[3] = {&a, &b, &c};
  build_arc_lists(dd, 20, 15, 10, 0, pts, &lists);
  EXPECT_EQ(lists.half[0].n % 2, 0);
  EXPECT_EQ(lists.half[1].n % 2, 0);
}

TEST_F(StrokeFixture, SelectionDrawingDashesTheCircleOverABackgroundPass) {
  dd_rect_scaled(dd, 0, 0, 40, 30, 0x00FF00, 1);
  selection_drawing = 1;
  circle(20, 15, 10);
  selection_drawing = 0;
  int ink = 0, background = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      if (std::fabs(std::hypot(x - 20, y - 15) - 10) > 0.75) continue;
      ink += at(x, y) == kInk;
      background += at(x, y) == back_color;
    }
  EXPECT_GT(ink, 10);
  EXPECT_GT(background, 10);
  EXPECT_EQ(pixel_pen.dash_active, 0);
}

TEST_F(StrokeFixture, ThickCirclesWidenAcrossTheCurve) {
  circle(20, 15, 10, 0xFFFFFFFF, kStrokeFullCircle, 1);
  expect_on_circle(20, 15, 10, 1.8);
  EXPECT_TRUE(inked(20, 4) && inked(20, 5) && inked(20, 6));
  EXPECT_TRUE(inked(9, 15) && inked(10, 15) && inked(11, 15));
}

TEST_F(StrokeFixture, RadiiFarLargerThanTheWindow) {
  // The left end of a circle of radius one million whose centre lies far to
  // the right: a nearly vertical arc through the middle of the port.
  for (double r : {1e6, 1e9}) {
    SCOPED_TRACE(r);
    dd_draw_background(dd);
    circle(20 + r, 15, r);
    for (int y = 0; y < height; ++y) {
      EXPECT_TRUE(inked(20, y)) << y;
      EXPECT_EQ(row(y, 0, 40).find('#'), 20u);
    }
  }
  // Through the device context at zoom 2, beyond +-32000 device pixels: a
  // polyline of one-degree steps.
  DisplayDevice* zoomed = make_device(80, 60, 0, 0, 2.0);
  const valeur c = point(20, 15 + 40000), radius = point(0, 0, 40000);
  draw_stroke_twice(zoomed, &c, &radius, nullptr, nullptr, kInk, back_color, 0, nullptr, kStrokeFullCircle);
  draw_stroke_twice(zoomed, &c, &radius, nullptr, nullptr, kInk, back_color, 0, nullptr, 0);  // no arc points
  destroy_display_device(zoomed);
  // Centres and radii beyond any pixel walk, or not numbers, end quietly.
  circle(1e300, 15, 1e300);
  circle(NAN, 15, 10);
  circle(20, 15, INFINITY);
}

TEST_F(StrokeFixture, DeviceContextRouteDrawsCirclesAndArcs) {
  DisplayDevice* zoomed = make_device(80, 60, 0, 0, 2.0);
  auto ink_near = [&](double r) {
    int n = 0, off = 0;
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 80; ++x) {
        if (color_of_pixel(zoomed->bm->pixels[y * zoomed->bm->pitch + x]) == back_color) continue;
        (std::fabs(std::hypot(x - 40, y - 30) - r) < 2 ? n : off)++;
      }
    return std::pair(n, off);
  };
  const valeur c = point(20, 15), radius = point(0, 0, 10);
  draw_stroke_twice(zoomed, &c, &radius, nullptr, nullptr, kInk, back_color, 0, nullptr, kStrokeFullCircle);
  auto [on, off] = ink_near(20);
  EXPECT_GT(on, 80);
  EXPECT_EQ(off, 0);
  dd_draw_background(zoomed);
  const valeur a = point(10, 15), b = point(20, 5), e = point(30, 15);
  const circle_record rec{20, 15, 10};
  draw_stroke_twice(zoomed, &a, &b, &e, &rec, kInk, back_color, 0, nullptr, 0);
  std::tie(on, off) = ink_near(20);
  EXPECT_GT(on, 40);
  EXPECT_EQ(off, 0);
  for (int y = 34; y < 60; ++y)
    for (int x = 0; x < 80; ++x) EXPECT_EQ(color_of_pixel(zoomed->bm->pixels[y * zoomed->bm->pitch + x]), back_color);
  destroy_display_device(zoomed);
}

}  // namespace
