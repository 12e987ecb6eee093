// The hand scroll: scrolling moves the device origins against the mouse
// inside the scroll range, Option at the first step translates the free
// points instead, and the scroll bars always end on the device's origin.
#include <gtest/gtest.h>

#include "kernel/render/display_device.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/window/drag_free.h"
#include "kernel/window/figure_scroll.h"
#include "window_fixture.h"

namespace {

struct view_log {
  DisplayDevice* dd = nullptr;
  std::vector<tagPOINT> bars;
};

view_log& view_seen() {
  static view_log log;
  return log;
}

class ScrollTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    view_seen() = view_log{};
    view_seen().dd = dd_create();
    view_seen().dd->portRect = {-300, -200, 300, 200};
    saved_hooks_ = figure_view_hooks();
    FigureViewHooks h;
    h.view_device = [](void*) { return view_seen().dd; };
    h.visible_size = [](void*, int32_t* w, int32_t* height) {
      *w = 600;
      *height = 400;
    };
    h.show_origin = [](void*, int32_t left, int32_t top) { view_seen().bars.push_back({left, top}); };
    install_figure_view_hooks(h);
    scroll_drag_active = 0;
  }

  void TearDown() override {
    scroll_drag_active = 0;
    install_figure_view_hooks(saved_hooks_);
    destroy_display_device(view_seen().dd);
    WindowTest::TearDown();
  }

  tagPOINT origin() const { return {view_seen().dd->portRect.left, view_seen().dd->portRect.top}; }
  int redraws() const {
    int n = 0;
    for (const std::string& c : services_seen().calls) n += c == "redraw";
    return n;
  }

  FigureViewHooks saved_hooks_;
};

TEST_F(ScrollTest, FirstStepRedrawsNothingButShowsTheOriginInTheBars) {
  scroll_figure_window(50, 60, 0);
  EXPECT_EQ(scroll_drag_active, 1);
  EXPECT_EQ(redraws(), 0);
  ASSERT_EQ(view_seen().bars.size(), 1u);
  EXPECT_EQ(view_seen().bars[0].x, -300);
  EXPECT_EQ(view_seen().bars[0].y, -200);
  // The same point again: still no displacement.
  scroll_figure_window(50, 60, 0);
  EXPECT_EQ(redraws(), 0);
  EXPECT_EQ(view_seen().bars.size(), 2u);
}

TEST_F(ScrollTest, TheSheetFollowsTheMouseAndStopsAtTheRangeEdge) {
  scroll_figure_window(100, 100, 0);
  scroll_figure_window(130, 90, 0);  // right and up: the origin goes left and down
  EXPECT_EQ(origin().x, -330);
  EXPECT_EQ(origin().y, -190);
  EXPECT_EQ(redraws(), 1);
  EXPECT_EQ(view_seen().bars.back().x, -330);
  EXPECT_EQ(view_seen().bars.back().y, -190);
  // Far past the left edge of the range: the origin stops there...
  scroll_figure_window(5130, 90, 0);
  EXPECT_EQ(origin().x, scroll_range.left);
  // ... and the mouse coming back moves the view at once.
  scroll_figure_window(5120, 90, 0);
  EXPECT_EQ(origin().x, scroll_range.left + 10);
  // The right and bottom edges leave the whole view inside the range.
  scroll_figure_window(-9000, -9000, 0);
  EXPECT_EQ(origin().x, scroll_range.right - 600);
  EXPECT_EQ(origin().y, scroll_range.bottom - 400);
}

TEST_F(ScrollTest, OptionAtTheFirstStepTranslatesOnlyFreePoints) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  object* first = fig->first;
  object* second = first->next;
  const valeur first_before = first->valeurs[0];
  const valeur second_before = second->valeurs[0];
  object* a = point(10, 20);
  object* b = point(30, 40);
  object* mid = make2(&classe_milieu, 0, a, b);
  services_seen().modifiers = 1u << 8;
  scroll_figure_window(0, 0, 0);
  services_seen().modifiers = 0;  // Option released: the drag still translates
  scroll_figure_window(7, -3, 0);
  EXPECT_DOUBLE_EQ(a->valeurs[0].h, 17);
  EXPECT_DOUBLE_EQ(a->valeurs[0].v, 17);
  EXPECT_DOUBLE_EQ(b->valeurs[0].h, 37);
  // The midpoint moved through its recomputation only.
  EXPECT_DOUBLE_EQ(mid->valeurs[0].h, 27);
  EXPECT_DOUBLE_EQ(mid->valeurs[0].v, 27);
  EXPECT_EQ(first->valeurs[0].h, first_before.h);
  EXPECT_EQ(first->valeurs[0].v, first_before.v);
  EXPECT_EQ(second->valeurs[0].h, second_before.h);
  EXPECT_EQ(origin().x, -300);
  EXPECT_EQ(origin().y, -200);
  EXPECT_DOUBLE_EQ(drag_delta.x, 7);
}

TEST_F(ScrollTest, OptionPressedAfterTheDragBeganKeepsScrolling) {
  object* a = point(10, 20);
  scroll_figure_window(0, 0, 0);
  services_seen().modifiers = 1u << 8;
  scroll_figure_window(10, 0, 0);
  EXPECT_EQ(origin().x, -310);
  EXPECT_DOUBLE_EQ(a->valeurs[0].h, 10);
}

TEST_F(ScrollTest, FreePointClassAndOrigin) {
  EXPECT_TRUE(is_free_point_class(&classe_point, 0));
  EXPECT_EQ(free_point_axis_mask[0], 3);
  EXPECT_FALSE(is_free_point_class(&classe_milieu, 0));
  EXPECT_EQ(free_point_axis_mask[0], 0);
  EXPECT_FALSE(is_free_point_class(&classe_ptsur, 0));

  window_hooks h = recording_window_hooks();
  h.window_display_device = [](HWND) { return view_seen().dd; };
  install_window_services(h);
  set_figure_window_origin(nullptr, 40, -70);
  EXPECT_EQ(origin().x, 40);
  EXPECT_EQ(origin().y, -70);
  ASSERT_FALSE(view_seen().bars.empty());
  EXPECT_EQ(view_seen().bars.back().x, 40);
}

}  // namespace
