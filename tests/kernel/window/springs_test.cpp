#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "../tools/construction_fixture.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/tools/drag_start.h"
#include "kernel/tools/pick.h"
#include "kernel/tools/spring_handler.h"
#include "kernel/window/springs.h"

namespace {

using Pixel = std::pair<int, int>;

std::set<Pixel> inked(const DisplayDevice* dd) {
  std::set<Pixel> out;
  const KPBitmap* bm = dd->bm;
  for (int y = 0; y < bm->height; ++y)
    for (int x = 0; x < bm->width; ++x)
      if (color_of_pixel(bm->pixels[y * bm->pitch + x]) != back_color) out.insert({x, y});
  return out;
}

// Dot i of a coil from (x0, y0) to (x1, y1), computed from the angle of the
// dot itself rather than by stepping: the turn must repeat every 20 dots.
void closed_form_dot(double x0, double y0, double x1, double y1, int i, double* x, double* y) {
  const double dx = x1 - x0, dy = y1 - y0, l = std::hypot(dx, dy);
  const double nx = l > 1e-10 ? -5 * dy / l : 0, ny = l > 1e-10 ? 5 * dx / l : 5;
  const double a = (i + 1) * M_PI / 10;
  *x = x0 + i * dx / 100 + nx * std::cos(a) - 2 * ny * std::sin(a);
  *y = y0 + i * dy / 100 + ny * std::cos(a) + 2 * nx * std::sin(a);
}

// The pixels a dot may fall on: its rounding, and the neighbour when it
// lies on a half.
bool dot_is_inked(const std::set<Pixel>& ink, double x, double y) {
  for (int ox = -1; ox <= 1; ++ox)
    for (int oy = -1; oy <= 1; ++oy) {
      const double cx = std::floor(x + 0.5) + ox, cy = std::floor(y + 0.5) + oy;
      if (std::fabs(cx - x) <= 0.5 + 1e-9 && std::fabs(cy - y) <= 0.5 + 1e-9 && ink.count({int(cx), int(cy)}))
        return true;
    }
  return false;
}

class Springs : public ConstructionTest {
 public:
  void SetUp() override {
    ConstructionTest::SetUp();
    view_ = make_device(400, 300);
    saved_hooks_ = display_device_hooks;
    active_ = this;
    display_device_hooks.window_device = [] { return active_->view_; };
    display_device_hooks.window_moving_device = [] { return moving_display; };
    display_device_hooks.window_static_device = [] { return static_cast<DisplayDevice*>(nullptr); };
    display_device_hooks.copy_bitmap = [](DisplayDevice* target, DisplayDevice*) {
      if (target == active_->view_) ++active_->flushes_;
    };
    figure_changed = 0;
  }
  void TearDown() override {
    display_device_hooks = saved_hooks_;
    destroy_display_device(view_);
    while (anim_records) {
      motion_record* next = anim_records->next;
      GlobalFreeAndNull(&anim_records);
      anim_records = next;
    }
    if (pending_spring_data != kNoPendingSpringData) GlobalFreeAndNull(&pending_spring_data);
    pending_spring_data = kNoPendingSpringData;
    ConstructionTest::TearDown();
  }

  void add_record(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    auto* r = alloc_block<motion_record>();
    *r = motion_record{};
    r->start_x = x0;
    r->start_y = y0;
    r->end_x = x1;
    r->end_y = y1;
    r->next = anim_records;
    anim_records = r;
  }

  static inline Springs* active_ = nullptr;
  DisplayDevice* view_ = nullptr;
  DisplayDeviceHooks saved_hooks_;
  int flushes_ = 0;
};

TEST_F(Springs, EveryCoilIsAHundredDotsRepeatingEveryTwenty) {
  const struct {
    double x0, y0, x1, y1;
  } cases[] = {{100, 100, 300, 150}, {250, 40, 60, 260}, {200, 100, 200, 180}};
  for (const auto& c : cases) {
    dd_draw_background(moving_display);
    draw_spring(moving_display, c.x0, c.y0, c.x1, c.y1, default_color);
    const std::set<Pixel> ink = inked(moving_display);
    std::set<Pixel> expected;
    for (int i = 0; i < 100; ++i) {
      double x, y;
      closed_form_dot(c.x0, c.y0, c.x1, c.y1, i, &x, &y);
      EXPECT_TRUE(dot_is_inked(ink, x, y)) << "dot " << i << " of " << c.x0 << "," << c.y0;
      expected.insert({int(std::floor(x + 0.5)), int(std::floor(y + 0.5))});
    }
    // Nothing is drawn but the dots.
    EXPECT_LE(ink.size(), 100u);
    EXPECT_NEAR(double(ink.size()), double(expected.size()), 3);
  }
  EXPECT_EQ(figure_changed, 1);
}

TEST_F(Springs, ASpringOfLengthZeroIsOneEllipse) {
  draw_spring(moving_display, 200, 150, 200, 150, default_color);
  const std::set<Pixel> ink = inked(moving_display);
  // The cross vector is (0, 5): 20 dots, 10 pixels wide and 5 high.
  EXPECT_GT(ink.size(), 10u);
  EXPECT_LE(ink.size(), 20u);
  for (const Pixel& p : ink) {
    const double ex = (p.first - 200) / 10.0, ey = (p.second - 150) / 5.0;
    EXPECT_NEAR(ex * ex + ey * ey, 1.0, 0.35) << p.first << "," << p.second;
  }
  EXPECT_TRUE(ink.count({200, 155}));  // the first dot: the cross vector turned by pi/10 ends near (0, 5)
}

TEST_F(Springs, ACoilOffTheDeviceWritesNothingOutsideIt) {
  draw_spring(moving_display, -50, -50, 900, 700, default_color);
  draw_spring(moving_display, 1e9, -1e9, 2e9, 1e9, default_color);
  EXPECT_FALSE(inked(moving_display).empty());
}

TEST_F(Springs, ReleaseFramesShrinkFasterAndFaster) {
  const std::vector<int32_t> expected{0, 1, 3, 7, 14, 25, 41, 63, 92, 129};
  EXPECT_EQ(spring_release_frames(kAllSpringsReleaseBound), expected);
  EXPECT_EQ(spring_release_frames(spring_release_bound(100)), expected);
  EXPECT_EQ(spring_release_frames(spring_release_bound(10)), (std::vector<int32_t>{0, 1, 3, 7, 14}));
  EXPECT_TRUE(spring_release_frames(0).empty());
}

TEST_F(Springs, TheAnimationOfAllSpringsRunsTenFramesWhateverTheirLengths) {
  add_record(100, 100, 300, 100);
  add_record(50, 50, 55, 52);
  add_record(200, 200, 201, 201);  // too short: skipped, the others run
  draw_animation_springs();
  EXPECT_EQ(flushes_, 10);

  // Only springs too short to animate: no frame is drawn at all.
  while (anim_records) {
    motion_record* next = anim_records->next;
    GlobalFreeAndNull(&anim_records);
    anim_records = next;
  }
  add_record(200, 200, 201, 201);
  flushes_ = 0;
  figure_changed = 0;
  draw_animation_springs();
  EXPECT_EQ(flushes_, 0);
}

TEST_F(Springs, OneReleasedSpringRunsWhileBelowHalfAgainItsLength) {
  const struct {
    int32_t x1, y1;
    int frames;
  } cases[] = {{100, 0, 10}, {10, 0, 5}, {3, 0, 0}, {2, 1, 0}, {4, 0, 3}};
  for (const auto& c : cases) {
    flushes_ = 0;
    figure_changed = 0;
    draw_spring_between_points(150, 150, 150 + c.x1, 150 + c.y1);
    EXPECT_EQ(flushes_, c.frames) << c.x1 << "," << c.y1;
  }
}

TEST_F(Springs, AllSpringsAreDrawnFromTheirRecords) {
  static_display = make_device(400, 300);
  add_record(100, 100, 300, 100);
  draw_all_springs();
  const std::set<Pixel> ink = inked(static_display);
  EXPECT_GT(ink.size(), 80u);
  for (const Pixel& p : ink) EXPECT_LE(std::abs(p.second - 100), 5);
  destroy_display_device(static_display);
  static_display = nullptr;
}

TEST_F(Springs, TheSpringIsHitOnItsEndsAndAlongIt) {
  object* a = point(100, 100);
  object* s = make(classe_spring, 0, {a}, 0);
  s->valeurs[0].h = 100;
  s->valeurs[0].v = 100;
  s->valeurs[1].h = -100;  // the far end is (200, 100)
  s->valeurs[1].v = 0;
  tagPOINT at{100, 101};
  EXPECT_TRUE(hit_test_spring(s, &at));
  at = {200, 100};
  EXPECT_TRUE(hit_test_spring(s, &at));
  at = {150, 102};
  EXPECT_TRUE(hit_test_spring(s, &at));
  at = {150, 140};
  EXPECT_FALSE(hit_test_spring(s, &at));
  at = {240, 100};  // on the line, beyond the far end
  EXPECT_FALSE(hit_test_spring(s, &at));
  at = {150, 100};
  s->state |= OBJ_UNDEFINED;
  EXPECT_FALSE(hit_test_spring(s, &at));
}

// The spring tool with scripted clicks.
TEST_F(Springs, TheToolPullsASpringFromAPointToTheClick) {
  object* a = point(100, 100);
  use_tool(&classe_spring);
  hover(100, 100);
  EXPECT_EQ(run_construction_click(tagPOINT{100, 100}), a);
  EXPECT_EQ(objlist_count(fig_->inputs), 1);
  EXPECT_EQ(pending_spring_data, kNoPendingSpringData);  // a point needs no position
  prepare();
  hover(160, 180);
  object* s = run_construction_click(tagPOINT{160, 180});
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->classe, &classe_spring);
  ASSERT_EQ(s->nbparents, 1);
  EXPECT_EQ(s->parents[0], a);
  EXPECT_DOUBLE_EQ(s->valeurs[0].h, 100);
  EXPECT_DOUBLE_EQ(s->valeurs[1].h, 100 - 160);
  EXPECT_DOUBLE_EQ(s->valeurs[1].v, 100 - 180);

  // Pulling again from the point replaces the spring.
  prepare();
  click(100, 100);
  EXPECT_EQ(count_class(&classe_spring), 0);
  click(130, 60);
  EXPECT_EQ(count_class(&classe_spring), 1);
}

TEST_F(Springs, AClickOnASpringDeletesIt) {
  point(100, 100);
  use_tool(&classe_spring);
  click(100, 100);
  object* s = click(200, 100);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(count_class(&classe_spring), 1);
  // Defining, the tool does not see springs; deleting, it sees only them.
  click(150, 100);
  EXPECT_EQ(count_class(&classe_spring), 1);
  objlist_clear(fig_->inputs);
  spring_pick_mode = 2;
  for (designation_list* l : {&designation_args, &designation_carriers, &designation_intersectables})
    if (l->entries) l->entries[0].code = 0;
  add_code(&designation_args, TYPE_SPRING);
  hover(150, 100);
  run_construction_click(tagPOINT{150, 100});
  spring_pick_mode = 1;
  EXPECT_EQ(count_class(&classe_spring), 0);
  EXPECT_EQ(objlist_count(fig_->inputs), 0);
}

TEST_F(Springs, AFixedPointTakesNoSpring) {
  object* a = point(100, 100);
  a->settings.sticky = 1;
  use_tool(&classe_spring);
  click(100, 100);
  EXPECT_EQ(objlist_count(fig_->inputs), 0);
  EXPECT_FALSE(a->state & OBJ_CHOSEN);
  EXPECT_EQ(click(150, 150), nullptr);
  EXPECT_EQ(count_class(&classe_spring), 0);
}

TEST_F(Springs, ASpringOnACircleRemembersWhereItWasAttached) {
  object* c = point(200, 150);
  object* on = point(260, 150);
  object* circle = make(classe_cercle, 1, {c, on});
  ASSERT_NE(circle, nullptr);
  use_tool(&classe_spring);
  click(200, 90);  // on the circle, above its centre
  ASSERT_EQ(objlist_count(fig_->inputs), 1);
  EXPECT_EQ(fig_->inputs->items[0], circle);
  ASSERT_NE(pending_spring_data, kNoPendingSpringData);
  EXPECT_NE(pending_spring_data, nullptr);
  object* s = click(250, 40);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->classe, &classe_spring);
  EXPECT_EQ(pending_spring_data, nullptr);  // the spring took the position
  EXPECT_NEAR(s->valeurs[0].h, 200, 1e-6);
  EXPECT_NEAR(s->valeurs[0].v, 90, 1e-6);
}

}  // namespace
