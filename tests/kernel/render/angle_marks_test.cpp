// Angle marks drawn into a device (rings, tick, right-angle symbols) and
// their hit test.
#include <cmath>
#include <numbers>
#include <vector>

#include "../objects/device_fixture.h"
#include "kernel/prefs/hit_distance.h"
#include "kernel/render/angle_marks.h"
#include "kernel/tools/hit_state.h"

namespace {

class AngleMarks : public DeviceGeometryTest {
 protected:
  void SetUp() override {
    DeviceGeometryTest::SetUp();
    pick_tolerance = 4;
    device();
  }
  // A mark at (200, 200) between the arm to the right and the arm at
  // `degrees` (counter-clockwise on the screen), arms 160 long: radius 20.
  object* mark(double degrees, uint8_t style) {
    const double a = degrees * std::numbers::pi / 180;
    object* m = make(classe_angle, 0, {point(360, 200), point(200, 200), point(200 + 160 * std::cos(a), 200 - 160 * std::sin(a))});
    m->settings.graph_type = style;
    m->settings.Color = default_color;
    m->settings.thickness = 0;
    return m;
  }
  // The distances from the vertex, along the direction `degrees`, of the
  // inked runs met between 5 and 45 pixels.
  std::vector<std::pair<int, int>> runs(double degrees) const {
    const double a = degrees * std::numbers::pi / 180;
    std::vector<std::pair<int, int>> out;
    bool in = false;
    for (int d = 5; d <= 45; ++d) {
      const bool ink = inked(static_cast<int>(std::lround(200 + d * std::cos(a))),
                             static_cast<int>(std::lround(200 - d * std::sin(a))));
      if (ink && !in) out.push_back({d, d});
      if (ink) out.back().second = d;
      in = ink;
    }
    return out;
  }
};

TEST_F(AngleMarks, StylesDrawOneOrThreeRingsAndTheTick) {
  object* m = mark(60, 0);
  ASSERT_DOUBLE_EQ(m->valeurs[3].info.rayon, 20);
  draw_angle_mark(dd_, m);
  auto one = runs(15);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_NEAR(one[0].first, 20, 1);

  dd_draw_background(dd_);
  m->settings.graph_type = 2;
  draw_angle_mark(dd_, m);
  auto three = runs(15);
  ASSERT_EQ(three.size(), 3u);
  EXPECT_NEAR(three[0].first, 20, 1);
  EXPECT_NEAR(three[1].first, 23, 1);
  EXPECT_NEAR(three[2].first, 26, 1);

  // Style 5: three rings and a tick along the middle, from 4 pixels inside
  // the innermost ring to 10 pixels outside it.
  dd_draw_background(dd_);
  m->settings.graph_type = 5;
  draw_angle_mark(dd_, m);
  const auto near_middle = [&](int d) {
    const double x = 200 + d * std::cos(std::numbers::pi / 6), y = 200 - d * std::sin(std::numbers::pi / 6);
    return inked_in(static_cast<int>(x) - 1, static_cast<int>(y) - 1, static_cast<int>(x) + 2, static_cast<int>(y) + 2) > 0;
  };
  for (int d = 16; d <= 30; ++d) EXPECT_TRUE(near_middle(d)) << d;
  EXPECT_FALSE(near_middle(13));
  EXPECT_FALSE(near_middle(33));
  EXPECT_EQ(runs(15).size(), 3u);
}

TEST_F(AngleMarks, RightAnglesDrawTheirSymbolOnly) {
  object* m = mark(90, 0x10);
  ASSERT_EQ(m->valeurs[2].info.rayon, 1);
  draw_angle_mark(dd_, m);
  // The square corner at (220, 180), no arc across its inside.
  EXPECT_TRUE(inked(220, 190));
  EXPECT_TRUE(inked(210, 180));
  EXPECT_FALSE(inked(214, 186));
  auto corner = runs(45);
  ASSERT_EQ(corner.size(), 1u);
  EXPECT_NEAR(corner[0].first, 28, 1);
  // Without a symbol a right angle shows its arc; so does the symbol's
  // style at an angle that is not right.
  dd_draw_background(dd_);
  m->settings.graph_type = 0;
  draw_angle_mark(dd_, m);
  auto arc = runs(45);
  ASSERT_EQ(arc.size(), 1u);
  EXPECT_NEAR(arc[0].first, 20, 1);
  object* acute = mark(60, 0x10);
  dd_draw_background(dd_);
  draw_angle_mark(dd_, acute);
  EXPECT_EQ(runs(30).size(), 1u);
  EXPECT_FALSE(inked(220, 190));
}

TEST_F(AngleMarks, OtherRightAngleSymbols) {
  // The corner with a dot: a quarter-size corner and the dot on the middle.
  object* m = mark(90, 0x20);
  draw_angle_mark(dd_, m);
  EXPECT_TRUE(inked(205, 190));   // from C + u/4 = (205, 180) to M = (205, 195)
  EXPECT_TRUE(inked(214, 186));   // the dot at B
  EXPECT_FALSE(inked(220, 180));  // no square corner
  // The arc with a dot at 4/9 of the radius.
  dd_draw_background(dd_);
  m->settings.graph_type = 0x30;
  draw_angle_mark(dd_, m);
  auto dot_and_arc = runs(45);
  ASSERT_EQ(dot_and_arc.size(), 2u);
  EXPECT_NEAR(dot_and_arc[0].first, 8, 2);
  EXPECT_NEAR(dot_and_arc[1].first, 20, 1);
}

TEST_F(AngleMarks, NothingForCoincidentPoints) {
  object* m = make(classe_angle, 0, {point(200, 200), point(200, 200), point(200, 200)});
  m->state &= ~OBJ_UNDEFINED;  // drawn as it stands
  m->settings.Color = default_color;
  draw_angle_mark(dd_, m);
  EXPECT_EQ(inked_in(0, 0, kSize, kSize), 0);
}

TEST_F(AngleMarks, HitTests) {
  object* m = mark(60, 0);
  const valeur& b = m->valeurs[1];
  tagPOINT handle{static_cast<int32_t>(std::lround(b.h)), static_cast<int32_t>(std::lround(b.v))};
  ASSERT_TRUE(angle_mark_hit_test(m, &handle));
  EXPECT_EQ(hit_part, 2);
  tagPOINT on_arc{220, 197};
  ASSERT_TRUE(angle_mark_hit_test(m, &on_arc));
  EXPECT_EQ(hit_part, 0);
  tagPOINT away{260, 260};
  EXPECT_FALSE(angle_mark_hit_test(m, &away));
  // A hidden mark is never hit.
  m->state |= OBJ_AT_INFINITY;
  EXPECT_FALSE(angle_mark_hit_test(m, &handle));
  m->state &= ~OBJ_AT_INFINITY;
  // A right-angle square: its corner is the handle, its arms are hit.
  object* r = mark(90, 0x10);
  tagPOINT corner{220, 180}, arm{220, 190}, inside{212, 188};
  ASSERT_TRUE(angle_mark_hit_test(r, &corner));
  EXPECT_EQ(hit_part, 2);
  ASSERT_TRUE(angle_mark_hit_test(r, &arm));
  EXPECT_EQ(hit_part, 0);
  EXPECT_FALSE(angle_mark_hit_test(r, &inside));
}

}  // namespace
