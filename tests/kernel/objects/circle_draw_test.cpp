// Circles and arcs drawn into a device with a pixel bitmap: where their
// pixels go, the straight forms of large and degenerate ones, and fills.
#include <cmath>

#include "kernel/model/geometry_fixture.h"
#include "kernel/objects/circle_types.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"

namespace {

constexpr uint32_t kInk = 0x0000FF;
constexpr uint32_t kFill = 0x00FF00;
constexpr int kSize = 200;

class CircleDraw : public GeometryTest {
 protected:
  void SetUp() override {
    GeometryTest::SetUp();
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
  }
  void TearDown() override {
    destroy_display_device(dd_);
    GeometryTest::TearDown();
  }

  uint32_t at(int x, int y) const { return color_of_pixel(dd_->bm->pixels[y * dd_->bm->pitch + x]); }
  bool inked(int x, int y) const { return at(x, y) == kInk; }
  int count(uint32_t c) const {
    int n = 0;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) n += at(x, y) == c;
    return n;
  }
  // Every inked pixel lies within `slack` of the predicate's curve.
  template <class Distance>
  void expect_ink_near(Distance d, double slack) {
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x)
        if (inked(x, y)) {
          EXPECT_LT(d(x, y), slack) << x << "," << y;
        }
  }
  void ink(object* o) {
    o->settings.Color = kInk;
    o->settings.FillColor = kFill;
    o->settings.thickness = 0;
  }

  DisplayDevice* dd_ = nullptr;
};

TEST_F(CircleDraw, CirclePixelsLieOnTheCircle) {
  object* c = make(classe_cercle, 1, {point(100, 100), point(150, 100)});
  ink(c);
  draw_circle(dd_, c);
  EXPECT_GT(count(kInk), 250);
  expect_ink_near([](int x, int y) { return std::fabs(std::hypot(x - 100.0, y - 100.0) - 50); }, 1.5);
  EXPECT_TRUE(inked(150, 100) || inked(149, 100));
  EXPECT_FALSE(inked(100, 100));
}

TEST_F(CircleDraw, ArcsDrawOnTheMiddlePointsSideAndFillThere) {
  // The upper half (y down) of the circle about (100, 100) of radius 50.
  object* a = make(classe_arc, 0, {point(150, 100), point(100, 50), point(50, 100)});
  ink(a);
  draw_arc(dd_, a);
  EXPECT_GT(count(kInk), 100);
  expect_ink_near([](int x, int y) { return std::fabs(std::hypot(x - 100.0, y - 100.0) - 50); }, 1.5);
  expect_ink_near([](int, int y) { return y <= 101 ? 0.0 : 99.0; }, 1);

  a->settings.opaque = 1;
  dd_draw_background(dd_);
  draw_arc(dd_, a);
  EXPECT_EQ(at(100, 70), kFill);
  EXPECT_NE(at(100, 130), kFill);
}

TEST_F(CircleDraw, LargeAndDegenerateFormsAreStraight) {
  // Radius 40000 crossing the view: one straight line across it near y = 100.
  object* big = make(classe_cercle, 1, {point(100, 40100), point(100, 100)});
  ink(big);
  draw_circle(dd_, big);
  EXPECT_GT(count(kInk), 150);
  expect_ink_near([](int, int y) { return std::fabs(y - 100.0); }, 2);

  // The same radius away from the view: nothing.
  dd_draw_background(dd_);
  object* away = make(classe_cercle, 1, {point(100, 41000), point(100, 1000)});
  ink(away);
  draw_circle(dd_, away);
  EXPECT_EQ(count(kInk), 0);

  // A reference point at infinity: nothing.
  object* lost = make(classe_cercle, 1, {point(100, 100), point(150, 100)});
  ink(lost);
  lost->valeurs[1].infini_inexist_indetermine = VAL_AT_INFINITY;
  draw_circle(dd_, lost);
  EXPECT_EQ(count(kInk), 0);

  // Flat arcs: the segment of the ends, or two rays pointing apart.
  object* seg = make(classe_arc, 0, {point(50, 100), point(100, 100), point(150, 100)});
  ink(seg);
  draw_arc(dd_, seg);
  EXPECT_TRUE(inked(100, 100));
  EXPECT_FALSE(inked(20, 100));
  EXPECT_FALSE(inked(180, 100));
  dd_draw_background(dd_);
  object* rays = make(classe_arc, 0, {point(50, 100), point(190, 100), point(150, 100)});
  ink(rays);
  draw_arc(dd_, rays);
  EXPECT_FALSE(inked(100, 100));
  EXPECT_TRUE(inked(20, 100));
  EXPECT_TRUE(inked(180, 100));

  // Radius 200000 with its centre in the view: nothing.
  dd_draw_background(dd_);
  object* huge = make(classe_arc, 0, {point(0, 0), point(1, 1), point(2, 0)});
  ink(huge);
  huge->valeurs[3] = valeur{100, 100, {}, 0};
  huge->valeurs[3].info.rayon = 200000;
  draw_arc(dd_, huge);
  EXPECT_EQ(count(kInk), 0);
}

TEST_F(CircleDraw, FillsSkipTinyRadiiAndEmptyChords) {
  valeur centre{100, 100, {}, 0};
  centre.info.rayon = 0.05;
  valeur p{100.05, 100, {}, 0}, q{99.95, 100, {}, 0};
  fill_arc_segment(dd_, &p, &q, &centre, kFill, 1);
  centre.info.rayon = 50;
  valeur same{150, 100, {}, 0};
  fill_arc_segment(dd_, &same, &same, &centre, kFill, 1);
  EXPECT_EQ(count(kFill), 0);

  // Half a disc, from angle 0 to pi (the lower half, y down).
  valeur right{150, 100, {}, 0}, left{50, 100, {}, 0};
  fill_arc_segment(dd_, &right, &left, &centre, kFill, 1);
  EXPECT_EQ(at(100, 130), kFill);
  EXPECT_NE(at(100, 70), kFill);
  EXPECT_NEAR(count(kFill), 3.14159 * 50 * 50 / 2, 250);
}

}  // namespace
