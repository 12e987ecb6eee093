// End to end: another tool chosen from the palette while springs run ends
// the animation, so that the spring tool chosen again later starts its
// springs with Animate instead of showing a run that moves nothing.
#include <cmath>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/panels/anim_panel.h"
#include "app/support/figure_test.h"
#include "kernel/tools/drag_start.h"
#include "kernel/window/anim_panel.h"

namespace {

class EndToEndAnimationToolChange : public FigureTest {
 protected:
  void TearDown() override {
    if (manipulating) {
      NSKelvoWrapMachine::sendMessage(current_figure_view, WM_LBUTTONDOWN, 0, 0);
      NSKelvoWrapMachine::sendMessage(current_figure_view, WM_LBUTTONUP, 0, 0);
    }
    animation_running = 0;
    stop_spring_animation();
    close_anim_panel();
    spin(10);
    FigureTest::TearDown();
  }

  // Waits for the point to leave where it is (up to a minute, for a busy
  // machine); the distance it went.
  static double movedAway(const object* p) {
    const double h0 = p->valeurs[0].h, v0 = p->valeurs[0].v;
    double d = 0;
    for (int i = 0; i < 3000 && d < 10; ++i) {
      spin(20);
      d = std::hypot(p->valeurs[0].h - h0, p->valeurs[0].v - v0);
    }
    return d;
  }
};

TEST_F(EndToEndAnimationToolChange, AnotherToolEndsTheRunAndAnimateStartsItAgainLater) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_cercle);
  click(view, QPoint(200, 200));
  click(view, QPoint(260, 200));
  pickFromPalette(&classe_point);
  click(view, QPoint(200, 140));
  const auto on = objectsOf(view->info(), &classe_ptsur);
  ASSERT_EQ(on.size(), 1u);
  object* point = on[0];
  pickFromPalette(&classe_spring);
  click(view, QPoint(200, 140));
  click(view, QPoint(140, 120));
  ASSERT_EQ(objectsOf(view->info(), &classe_spring).size(), 1u);
  NSAnimPanelController* panel = NSAnimPanelController::existing();
  ASSERT_NE(panel, nullptr);
  QTest::mouseClick(panel->animButton(), Qt::LeftButton);
  ASSERT_GT(movedAway(point), 10);

  // The Pointer taken from the palette while the springs run.
  pickFromPalette(kPointerTool);
  spin(40);
  EXPECT_EQ(animation_running, 0) << "the run outlives the tool that made it";
  EXPECT_EQ(manipulating, 0);
  const double h = point->valeurs[0].h, v = point->valeurs[0].v;
  spin(200);
  EXPECT_EQ(point->valeurs[0].h, h);
  EXPECT_EQ(point->valeurs[0].v, v);

  pickFromPalette(&classe_spring);
  panel = NSAnimPanelController::existing();
  ASSERT_NE(panel, nullptr);
  EXPECT_FALSE(panel->animButton()->showsRunning()) << "the panel opens showing a run that is over";
  QTest::mouseClick(panel->animButton(), Qt::LeftButton);
  EXPECT_GT(movedAway(point), 10) << "Animate starts nothing after the tool came back";
  EXPECT_EQ(animation_running, 1);
}

}  // namespace
