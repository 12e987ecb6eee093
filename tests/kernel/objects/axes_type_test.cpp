// The coordinate-system type: points that keep to the ticks, hit tests of
// ticks and axes, clipping for print, and the graduation as drawn.
#include <cmath>
#include <cstring>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/compute_axes.h"
#include "device_fixture.h"
#include "kernel/model/point_type.h"
#include "kernel/objects/axes_type.h"
#include "kernel/prefs/hit_distance.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/tools/hit_state.h"

namespace {

bool g_printing = false;

class AxesType : public DeviceGeometryTest {
 protected:
  void SetUp() override {
    DeviceGeometryTest::SetUp();
    pick_tolerance = 8;
    graduation_spacing = 29;
    g_printing = false;
    KPGeoDocument::installHooks({.printing_in_progress = [] { return g_printing; }});
    // Origin (200, 200), one unit 40 pixels: code 1 on both axes.
    axes_ = make(classe_axe, 1, {point(200, 200), point(240, 200), point(200, 160)});
  }
  void TearDown() override {
    KPGeoDocument::installHooks({});
    DeviceGeometryTest::TearDown();
  }
  const axis_point_param& block(object* p) { return *static_cast<axis_point_param*>(p->data); }
  // Dragging: the point is put under the mouse and recomputed.
  void drag_to(object* p, double h, double v) {
    p->valeurs[0].h = h;
    p->valeurs[0].v = v;
    recompute_object(p);
  }
  // Somewhere the device shows the 8 x 8 glyph exactly (ink where its bits
  // are set, background around them).
  bool shows_glyph(const uint8_t* glyph) const {
    for (int y0 = 0; y0 + 8 <= kSize; ++y0)
      for (int x0 = 0; x0 + 8 <= kSize; ++x0) {
        bool same = true;
        for (int y = 0; same && y < 8; ++y)
          for (int x = 0; same && x < 8; ++x) same = inked(x0 + x, y0 + y) == ((glyph[y] & (0x80 >> x)) != 0);
        if (same) return true;
      }
    return false;
  }

  object* axes_ = nullptr;
};

TEST_F(AxesType, APointDroppedOnATickKeepsToTheTicks) {
  // The third tick of the second axis.
  object* p = point_on(axes_, 0, 200, 80);
  ASSERT_NE(p->data, nullptr);
  EXPECT_EQ(block(p).axis, 1);
  EXPECT_EQ(block(p).snap, 1);
  EXPECT_DOUBLE_EQ(block(p).t, 3);
  EXPECT_EQ(p->math.side.index, 2);
  EXPECT_EQ(p->math.side.force_grad, 1);
  EXPECT_AT(p->valeurs[0], 200, 80);
  drag_to(p, 203, 95);
  EXPECT_AT(p->valeurs[0], 200, 80);
  drag_to(p, 190, 30);
  EXPECT_AT(p->valeurs[0], 200, 40);
  EXPECT_DOUBLE_EQ(block(p).t, 4);
}

TEST_F(AxesType, APointDroppedBetweenTicksMovesFreely) {
  object* p = point_on(axes_, 0, 300, 201);
  EXPECT_EQ(block(p).axis, 0);
  EXPECT_EQ(block(p).snap, 0);
  EXPECT_EQ(p->math.side.index, 1);
  EXPECT_EQ(p->math.side.force_grad, 0);
  EXPECT_AT(p->valeurs[0], 300, 200);
  drag_to(p, 313, 190);
  EXPECT_AT(p->valeurs[0], 313, 200);
  EXPECT_DOUBLE_EQ(block(p).t, 113.0 / 40);
}

TEST_F(AxesType, StepsWithSnapSitOnTicksCentredOnTheOrigin) {
  object* p = point_on(axes_, 0, 280, 200);
  ASSERT_EQ(block(p).snap, 1);
  for (int k = 0; k < 10; ++k) {
    point_on_object_place(p, 10, k);
    EXPECT_DOUBLE_EQ(block(p).t, k - 5);
    EXPECT_AT(p->valeurs[0], 200 + 40 * (k - 5), 200);
  }
  // Without snap the steps spread along the whole axis, the ends at infinity.
  object* free = point_on(axes_, 0, 290, 200);
  ASSERT_EQ(block(free).snap, 0);
  point_on_object_place(free, 10, 5);
  EXPECT_AT(free->valeurs[0], 200, 200);
  point_on_object_place(free, 10, 10);
  EXPECT_TRUE(free->state & OBJ_AT_INFINITY);
}

TEST_F(AxesType, ReadBackPointsKeepTheirAxisFromTheirMathBytes) {
  object* p = point_on(axes_, 0, 200, 100);
  ASSERT_EQ(block(p).axis, 1);
  GlobalFreeAndNull(&p->data);
  p->valeurs[0].h = 200;
  p->valeurs[0].v = 60;  // no tick near it and nothing under it tells the axis
  recompute_object(p);
  EXPECT_EQ(block(p).axis, 1);
  EXPECT_AT(p->valeurs[0], 200, 60);
  init_axes_graduation(p);
  EXPECT_DOUBLE_EQ(block(p).t, 2.5);
}

TEST_F(AxesType, HitTestsFindTicksBeforeLines) {
  tagPOINT on_tick{242, 203};
  ASSERT_TRUE(axes_hit_test(axes_, &on_tick));
  EXPECT_EQ(hit_part, 3);
  EXPECT_EQ(hit_graduation_value, 1);
  tagPOINT origin{200, 200};
  ASSERT_TRUE(axes_hit_test(axes_, &origin));
  EXPECT_TRUE(hit_part == 1 || hit_part == 2);
  tagPOINT second_line{202, 300};
  ASSERT_TRUE(axes_hit_test(axes_, &second_line));
  EXPECT_EQ(hit_part, 2);
  tagPOINT second_tick{201, 121};
  ASSERT_TRUE(axes_hit_test(axes_, &second_tick));
  EXPECT_EQ(hit_part, 4);
  EXPECT_EQ(hit_graduation_value, 2);
  tagPOINT away{300, 300};
  EXPECT_FALSE(axes_hit_test(axes_, &away));

  // A single axis never answers for the second one.
  axes_->math.equa.typeunite = 1;
  for (tagPOINT m : {second_line, second_tick, origin, on_tick}) {
    const bool hit = axes_hit_test(axes_, &m);
    EXPECT_NE(hit_part, 2);
    EXPECT_NE(hit_part, 4);
    if (m.y == 200 || m.y == 203) EXPECT_TRUE(hit);
  }
}

TEST_F(AxesType, PrintedAxesStopElevenUnitsInsideThePage) {
  const tagRECT page{0, 0, 500, 300};
  double dx, dy, ends[4];
  ASSERT_TRUE(clip_axis_to_rect(axes_, 0, &dx, &dy, ends, &page));
  EXPECT_EQ(ends[0], 1);
  EXPECT_EQ(ends[2], 498);
  g_printing = true;
  ASSERT_TRUE(clip_axis_to_rect(axes_, 0, &dx, &dy, ends, &page));
  EXPECT_EQ(ends[0], 11);
  EXPECT_EQ(ends[2], 489);
  ASSERT_TRUE(clip_axis_to_rect(axes_, 1, &dx, &dy, ends, &page));
  EXPECT_EQ(ends[1], 11);
  EXPECT_EQ(ends[3], 289);
  // An oblique axis crosses two edges; a null one is not drawn.
  axes_->valeurs[1].v = 40;
  ASSERT_TRUE(clip_axis_to_rect(axes_, 0, &dx, &dy, ends, &page));
  EXPECT_EQ(ends[1], 11);
  EXPECT_EQ(ends[3], 289);
  axes_->valeurs[1].h = axes_->valeurs[1].v = 0;
  EXPECT_FALSE(clip_axis_to_rect(axes_, 0, &dx, &dy, ends, &page));
}

TEST_F(AxesType, GraduationNumbers) {
  char text[32];
  const struct {
    int32_t code;
    const char* label;
  } cases[] = {{1, "1"}, {2, "0.5"}, {9, "10"}, {-7, "0.1"}, {5, "0.2"}, {0, "1"}};
  for (const auto& c : cases) {
    graduation_label(c.code, text);
    EXPECT_STREQ(text, c.label) << c.code;
  }
}

TEST_F(AxesType, OnlyTheFirstTickCarriesItsNumber) {
  DisplayDevice* dd = device();
  axes_->settings.visible = 1;
  axes_->settings.Color = default_color;
  draw_axes(dd, axes_);
  // Ink beside each tick of the first axis, on its baseline 2 pixels
  // below the axis: only the number at 1.
  EXPECT_GT(inked_in(242, 190, 254, 199), 3);
  EXPECT_EQ(inked_in(282, 190, 294, 199), 0);
  EXPECT_EQ(inked_in(162, 190, 174, 199), 0);
  // Ticks cross the axis line at every step.
  for (int x : {120, 160, 240, 280, 320}) {
    EXPECT_EQ(inked_in(x, 199, x + 1, 200), 1) << x;
    EXPECT_EQ(inked_in(x, 201, x + 1, 202), 1) << x;
  }
}

TEST_F(AxesType, ASingleAxisIsDrawnAloneWithTheLetterR) {
  DisplayDevice* dd = device();
  axes_->settings.Color = default_color;
  draw_axes(dd, axes_);
  EXPECT_GT(inked_in(200, 40, 201, 150), 100);
  EXPECT_TRUE(shows_glyph(arrow_label_glyph('x')));
  EXPECT_TRUE(shows_glyph(arrow_label_glyph('y')));
  EXPECT_FALSE(shows_glyph(arrow_label_glyph('r')));
  dd_draw_background(dd);
  axes_->math.equa.typeunite = 1;
  draw_axes(dd, axes_);
  EXPECT_EQ(inked_in(200, 40, 201, 150), 0);
  EXPECT_TRUE(shows_glyph(arrow_label_glyph('r')));
  EXPECT_FALSE(shows_glyph(arrow_label_glyph('x')));
}

TEST_F(AxesType, TicksCloserThanAPixelAreNotDrawn) {
  tagRECT r{0, 0, 400, 400};
  double first;
  int64_t n;
  int step;
  EXPECT_TRUE(graduation_tick_range(r, 200, 200, 40, 0, &first, &n, &step));
  EXPECT_EQ(first, -4);
  EXPECT_EQ(n, 10);
  EXPECT_FALSE(graduation_tick_range(r, 200, 200, 0.5, 0, &first, &n, &step));
  EXPECT_FALSE(graduation_tick_range(r, 200, 200, NAN, 0, &first, &n, &step));
  // A damaged code on a drawn axis draws the axis without endless ticks.
  DisplayDevice* dd = device();
  axes_->valeurs[1].info.entier = -1000 * 8 + 1;
  axes_->valeurs[2].info.entier = 0;
  draw_axes(dd, axes_);
}

}  // namespace
