// Segments, polygons and regular polygons drawn into a pixel device.
#include <cmath>
#include <string>
#include <vector>

#include "kernel/model/geometry_fixture.h"
#include "kernel/model/units.h"
#include "kernel/objects/straight_types.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/draw_object.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF, kRed = 0xFF0000, kGreen = 0x00FF00;

class StraightDraw : public GeometryTest {
 protected:
  void SetUp() override {
    GeometryTest::SetUp();
    init_color_table();
    // These tests look at shapes: every kind draws in black.
    for (default_attr& a : default_attrs) a.settings.Color = 0;
    dd_ = dd_create();
    ensure_display_dc(dd_);
    dd_->portRect = {0, 0, 0, 0};
    dd_select_bitmap(dd_, create_dib_record(dd_, 64, 64));
    dd_->dc->allowsAntialiasing(false);
    dd_draw_background(dd_);
  }
  void TearDown() override {
    destroy_display_device(dd_);
    GeometryTest::TearDown();
  }

  uint32_t px(int x, int y) const { return color_of_pixel(dd_->bm->pixels[y * dd_->bm->pitch + x]); }
  std::string row(int y, int from, int to) const {
    std::string s;
    for (int x = from; x < to; ++x) s += px(x, y) == kWhite ? '.' : px(x, y) == kGreen ? 'g' : '#';
    return s;
  }
  std::string column(int x, int from, int to) const {
    std::string s;
    for (int y = from; y < to; ++y) s += px(x, y) == kWhite ? '.' : px(x, y) == kGreen ? 'g' : '#';
    return s;
  }

  DisplayDevice* dd_ = nullptr;
};

TEST_F(StraightDraw, SegmentPutsItsPixelsBetweenItsEnds) {
  object* seg = make(classe_segment, 0, {point(10, 20), point(20, 20)});
  seg->settings.Color = kRed;
  draw_object(dd_, seg);
  EXPECT_EQ(row(20, 5, 25), ".....###########....");
  EXPECT_EQ(px(15, 20), kRed);
  EXPECT_EQ(row(19, 5, 25), std::string(20, '.'));
  EXPECT_EQ(row(21, 5, 25), std::string(20, '.'));

  // Thickness 1 adds one pixel on each side across the segment.
  object* thick = make(classe_segment, 0, {point(40, 10), point(40, 30)});
  thick->settings.thickness = 1;
  draw_object(dd_, thick);
  EXPECT_EQ(row(20, 37, 44), "..###..");
  EXPECT_EQ(column(40, 8, 33), "..#####################..");
}

TEST_F(StraightDraw, SegmentLeavingTheDeviceIsClipped) {
  object* seg = make(classe_segment, 0, {point(-100, 5), point(100, 5)});
  draw_object(dd_, seg);
  EXPECT_EQ(row(5, 0, 64), std::string(64, '#'));
  object* outside = make(classe_segment, 0, {point(-100, 80), point(100, 80)});
  draw_object(dd_, outside);  // nothing to draw, nothing written out of bounds
}

TEST_F(StraightDraw, FilledPolygonWithItsSides) {
  object* pol = make(classe_polygone, 0, {point(10, 10), point(40, 10), point(40, 40), point(10, 40)}, 5);
  pol->settings.FillColor = kGreen;
  pol->settings.opaque = 1;
  draw_object(dd_, pol);
  EXPECT_EQ(px(25, 25), kGreen);
  EXPECT_EQ(px(5, 25), kWhite);
  EXPECT_EQ(px(45, 25), kWhite);
  // The sides are drawn over the fill, the closing one included.
  EXPECT_EQ(row(10, 8, 43), "..###############################..");
  EXPECT_EQ(column(10, 8, 43), "..###############################..");
  EXPECT_EQ(px(25, 40), default_color);
}

TEST_F(StraightDraw, PolygonWithoutFillDrawsOnlyItsSides) {
  object* tri = make(classe_triangle, 0, {point(10, 50), point(50, 50), point(10, 10)});
  tri->settings.FillColor = back_color;  // the background colour means no fill
  draw_object(dd_, tri);
  EXPECT_EQ(px(20, 40), kWhite);
  EXPECT_EQ(px(30, 50), default_color);
  EXPECT_EQ(px(10, 30), default_color);
  EXPECT_EQ(px(30, 30), default_color);  // on the hypotenuse
}

TEST_F(StraightDraw, RegularPolygonThroughItsComputedVertices) {
  // A square about (32, 32) with a vertex at (52, 32): a diamond.
  object* points = polygon_points(point(32, 32), point(52, 32), 4, 1);
  object* v[4];
  for (int i = 0; i < 4; ++i) v[i] = point(points->valeurs[i].h, points->valeurs[i].v);
  object* square = make(classe_polyreg, 0, {v[0], v[1], v[2], v[3]}, 5);
  square->settings.FillColor = back_color;
  draw_object(dd_, square);
  EXPECT_EQ(px(52, 32), default_color);
  EXPECT_EQ(px(32, 12), default_color);
  EXPECT_EQ(px(12, 32), default_color);
  EXPECT_EQ(px(42, 22), default_color);  // middle of the side from (52, 32) to (32, 12)
  EXPECT_EQ(px(32, 32), kWhite);
  EXPECT_EQ(px(50, 14), kWhite);
}

TEST_F(StraightDraw, SegmentMarksAreOneStepApartAboutTheMidpoint) {
  object* seg = make(classe_segment, 0, {point(10, 32), point(50, 32)});
  seg->settings.graph_type = 3;
  draw_object(dd_, seg);
  // Steps of three units, across the segment.
  EXPECT_EQ(row(29, 25, 36), "..#..#..#..");
  // The long tick runs from 3 pixels on one side to 4 on the other.
  EXPECT_EQ(column(30, 26, 39), "..########...");
}

TEST_F(StraightDraw, VectorWithCoincidentEndsHasNoArrowHead) {
  object* p = point(30, 30);
  object* vec = make(classe_vecteur, 0, {p, point(30, 30)});
  draw_object(dd_, vec);
  int dark = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) dark += px(x, y) != kWhite;
  EXPECT_EQ(dark, 0);

  object* arrow = make(classe_vecteur, 0, {point(10, 50), point(40, 50)});
  draw_object(dd_, arrow);
  EXPECT_EQ(px(38, 49), default_color);  // the head spreads across the shaft behind the end
  EXPECT_EQ(px(34, 47), default_color);
  EXPECT_EQ(px(20, 48), kWhite);
}

TEST_F(StraightDraw, PolygonOfManyVerticesIsFilled) {
  std::vector<object*> pts;
  for (int i = 0; i < 300; ++i) {
    const double a = 2 * 3.141592653589793 * i / 300;
    pts.push_back(point(32 + 25 * std::cos(a), 32 + 25 * std::sin(a)));
  }
  current_class = &classe_polygone;
  objlist_clear(fig_->inputs);
  for (object* q : pts) objlist_add(fig_->inputs, q, 0);
  variable_nb_values = 301;
  object* pol = create_object(0, nullptr, 1, 1, 1);
  ASSERT_NE(pol, nullptr);
  pol->settings.FillColor = kGreen;
  pol->settings.opaque = 1;
  draw_object(dd_, pol);
  EXPECT_EQ(px(32, 32), kGreen);
  EXPECT_EQ(px(2, 2), kWhite);
}

TEST_F(StraightDraw, LineCrossesTheWholeDeviceAndRayStartsAtItsOrigin) {
  object* line = make(classe_droite, 1, {point(30, 20), point(31, 20)});
  draw_object(dd_, line);
  EXPECT_EQ(row(20, 0, 64), std::string(64, '#'));
  object* ray = make(classe_demidroite, 1, {point(30, 40), point(31, 40)});
  draw_object(dd_, ray);
  EXPECT_EQ(row(40, 27, 33), "...###");
  EXPECT_EQ(px(63, 40), default_color);
}

TEST_F(StraightDraw, SmartLineEndsBeyondItsOutermostPoints) {
  object* a = point(20, 30);
  object* b = point(40, 30);
  object* line = make(classe_droite, 1, {a, b});
  line->settings.smartline_type = 1;
  line->settings.smartline_length[0] = -1.0;
  default_attrs[ATTRS_LINE].settings.smartline_length[0] = 0;
  default_attrs[ATTRS_LINE].settings.smartline_length[1] = 0;
  draw_object(dd_, line);
  // Two points and no default length: nothing beyond the points.
  EXPECT_AT(line->valeurs[2], 20, 30);
  EXPECT_AT(line->valeurs[3], 40, 30);
  EXPECT_EQ(row(30, 17, 44), "...#####################...");

  // A point placed further out moves the front end; the user's lengths then
  // follow the handles.
  object* on = point_on(line, 0, 50, 30);
  ASSERT_NE(on, nullptr);
  draw_object(dd_, line);
  EXPECT_AT(line->valeurs[3], 50, 30);
  line->valeurs[3].h = 50 + 0.5 * 38;  // the front handle dragged half a centimetre out
  draw_object(dd_, line);
  EXPECT_NEAR(line->settings.smartline_length[1], 0.5 * 38 / pixels_per_unit, 1e-12);
  EXPECT_AT(line->valeurs[3], 50 + 0.5 * 38, 30);
}

}  // namespace
