// End to end: the Animation tool chosen from the palette launches a point on
// a circle with a click or with a spring pulled and let go, and a click in
// the figure stops it; the animation panel's Animate button starts the
// springs again after a click in the figure stopped them; the panels open
// wholly on the screen, clear of the tools palette.
#include <QScreen>
#include <cmath>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/panels/anim_panel.h"
#include "app/panels/calculator_panel.h"
#include "app/panels/panel_placement.h"
#include "app/support/figure_test.h"
#include "kernel/measure/calculator_window.h"
#include "kernel/tools/drag_start.h"
#include "kernel/window/anim_panel.h"

namespace {

class EndToEndSingleAnimation : public FigureTest {
 protected:
  void TearDown() override {
    if (manipulating && current_figure_view) {
      NSKelvoWrapMachine::sendMessage(current_figure_view, WM_LBUTTONDOWN, 0, 0);
      NSKelvoWrapMachine::sendMessage(current_figure_view, WM_LBUTTONUP, 0, 0);
    }
    animation_running = 0;
    stop_spring_animation();
    close_anim_panel();
    spin(10);
    FigureTest::TearDown();
  }

  // A circle about (200, 200) through (260, 200) and a point on it at the
  // top, (200, 140).
  object* pointOnCircle(KPFigureView* view) {
    pickFromPalette(&classe_cercle);
    click(view, QPoint(200, 200));
    click(view, QPoint(260, 200));
    pickFromPalette(&classe_point);
    click(view, QPoint(200, 140));
    const auto on = objectsOf(view->info(), &classe_ptsur);
    EXPECT_EQ(on.size(), 1u);
    return on.size() == 1 ? on[0] : nullptr;
  }

  static uint32_t animationTool() { return find_tool_id_by_name(toolbar_table[ROW_ANIMATION - 1].name); }

  // Waits up to a second for the point to leave where it is; the distance
  // it went.
  static double movedAway(const object* p) {
    const double h0 = p->valeurs[0].h, v0 = p->valeurs[0].v;
    double d = 0;
    for (int i = 0; i < 50 && d < 10; ++i) {
      spin(20);
      d = std::hypot(p->valeurs[0].h - h0, p->valeurs[0].v - v0);
    }
    return d;
  }

  // A frame on the screen, the inside of a shown window (offscreen windows
  // have no frame of their own).
  static QRect frameOf(const QWidget* w) { return w->frameGeometry(); }

  static void expectClearOfThePalette(const QWidget* panel, const char* what) {
    const QRect frame = frameOf(panel);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(frame)) << what << " leaves the screen";
    ASSERT_TRUE(NSKelvoToolsPanel::exists());
    const NSKelvoToolsPanelView* bars = NSKelvoToolsPanel::sharedPanel()->view();
    const QRect top(bars->mapToGlobal(bars->topRect().topLeft()), bars->topRect().size());
    EXPECT_FALSE(frame.intersects(top)) << what << " opens under the palette's tool bar";
    if (bars->sideBarVisible()) {
      const QRect side(bars->mapToGlobal(bars->sideRect().topLeft()), bars->sideRect().size());
      EXPECT_FALSE(frame.intersects(side)) << what << " opens under the attribute bar";
    }
  }
};

TEST_F(EndToEndSingleAnimation, AClickLaunchesThePointAndAClickInTheFigureStopsIt) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* point = pointOnCircle(view);
  ASSERT_NE(point, nullptr);
  pickFromPalette(animationTool());
  ASSERT_EQ(interaction_state, STATE_ANIMATION);
  const QImage before = shown(view);

  click(view, QPoint(200, 140));
  EXPECT_GT(movedAway(point), 10) << "a click on the point launches nothing";
  EXPECT_EQ(manipulating, 1);
  view->grab();
  EXPECT_TRUE(view->viewImage() != before) << "the view does not show the point moving";

  // A click elsewhere stops it whenever it comes, between two steps too.
  click(view, QPoint(450, 400));
  EXPECT_EQ(manipulating, 0);
  const double h = point->valeurs[0].h, v = point->valeurs[0].v;
  spin(200);
  EXPECT_EQ(point->valeurs[0].h, h);
  EXPECT_EQ(point->valeurs[0].v, v);
}

TEST_F(EndToEndSingleAnimation, ASpringPulledAndLetGoSendsThePointTheOtherWay) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* point = pointOnCircle(view);
  ASSERT_NE(point, nullptr);
  pickFromPalette(animationTool());
  const tagPOINT centre = figurePoint(view, QPoint(200, 200));
  const double a0 = std::atan2(point->valeurs[0].v - centre.y, point->valeurs[0].h - centre.x);

  // Pulled to the left, the spring throws the point to the right: along
  // the circle from its top towards (260, 200).
  drag(view, QPoint(200, 140), QPoint(130, 140));
  EXPECT_EQ(spring_gesture_active, 0);
  ASSERT_GT(movedAway(point), 10) << "the spring let go launches nothing";
  const tagPOINT right = figurePoint(view, QPoint(260, 200));
  const double toward = std::atan2(right.y - centre.y, right.x - centre.x);
  const double a1 = std::atan2(point->valeurs[0].v - centre.y, point->valeurs[0].h - centre.x);
  auto gap = [](double a, double b) { return std::fabs(std::remainder(a - b, 2 * M_PI)); };
  EXPECT_LT(gap(a1, toward), gap(a0, toward)) << "the point went the way it was pulled";
  click(view, QPoint(450, 400));
  EXPECT_EQ(manipulating, 0);
}

TEST_F(EndToEndSingleAnimation, AnimateStartsAgainAfterAClickInTheFigureStoppedTheSprings) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* point = pointOnCircle(view);
  ASSERT_NE(point, nullptr);
  pickFromPalette(&classe_spring);
  click(view, QPoint(200, 140));
  click(view, QPoint(140, 120));
  ASSERT_EQ(objectsOf(view->info(), &classe_spring).size(), 1u);
  NSAnimPanelController* panel = NSAnimPanelController::existing();
  ASSERT_NE(panel, nullptr);

  QTest::mouseClick(panel->animButton(), Qt::LeftButton);
  EXPECT_GT(movedAway(point), 10);
  click(view, QPoint(450, 400));
  ASSERT_EQ(animation_running, 0) << "a click in the figure stops the springs";

  QTest::mouseClick(panel->animButton(), Qt::LeftButton);
  EXPECT_GT(movedAway(point), 10) << "Animate starts nothing once the figure stopped the springs";
  EXPECT_EQ(animation_running, 1);
  EXPECT_TRUE(panel->animButton()->showsRunning());
}

TEST_F(EndToEndSingleAnimation, PanelsOpenWhollyOnTheScreenBesideTheFigure) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  QWidget* figure = view->window();
  // The figure window high on the screen and wide: a panel beside it does
  // not fit and must still not slip under the palette.
  figure->move(free_panel_area().topLeft());
  figure->resize(free_panel_area().width() - 60, 400);
  spin(10);

  pickFromPalette(&classe_spring);
  NSAnimPanelController* anim = NSAnimPanelController::existing();
  ASSERT_NE(anim, nullptr);
  ASSERT_TRUE(anim->isVisible());
  expectClearOfThePalette(anim, "the animation panel");

  pickFromPalette(&classe_calculate);
  KPCalculatorPanel* calculator = calculator_panel();
  ASSERT_NE(calculator, nullptr);
  ASSERT_TRUE(calculator->isVisible());
  expectClearOfThePalette(calculator, "the calculator");
  calculator->close();
  spin(10);
}

}  // namespace
