// End to end: springs pulled with the spring tool chosen from the palette,
// the animation started, stopped and taken back from the animation panel,
// and a figure saved with "Animate on open" that starts by itself; the
// Animation tool launching a point with a click or a spring let go, a click
// in the figure stopping it; the panels opening wholly on the screen, clear
// of the tools palette.
#include <QDir>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/panels/anim_panel.h"
#include "app/panels/calculator_panel.h"
#include "app/panels/panel_placement.h"
#include "app/support/figure_test.h"
#include "kernel/measure/calculator_window.h"
#include "kernel/tools/drag_start.h"
#include "kernel/window/anim_panel.h"
#include "platform/kp_timer.h"

namespace {

class EndToEndAnimation : public FigureTest {
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

  // A circle about (200, 200) through (260, 200) and a point on it at the
  // top, (200, 140).
  static object* pointOnCircle(KPFigureView* view) {
    pickFromPalette(&classe_cercle);
    click(view, QPoint(200, 200));
    click(view, QPoint(260, 200));
    pickFromPalette(&classe_point);
    click(view, QPoint(200, 140));
    const auto on = objectsOf(view->info(), &classe_ptsur);
    EXPECT_EQ(on.size(), 1u);
    return on.size() == 1 ? on[0] : nullptr;
  }

  // The same, then a spring pulled from the point with the palette's tool.
  object* pointOnCircleWithSpring(KPFigureView* view) {
    object* on = pointOnCircle(view);
    if (!on) return nullptr;
    pickFromPalette(&classe_spring);
    EXPECT_EQ(current_class, &classe_spring);
    click(view, QPoint(200, 140));
    click(view, QPoint(140, 120));
    EXPECT_EQ(objectsOf(view->info(), &classe_spring).size(), 1u);
    return on;
  }

  static uint32_t animationTool() { return find_tool_id_by_name(toolbar_table[ROW_ANIMATION - 1].name); }

  // Waits for the point to leave where it is; the distance it went.
  static double movedAway(const object* p) {
    const double h0 = p->valeurs[0].h, v0 = p->valeurs[0].v;
    auto moved = [p, h0, v0] { return std::hypot(p->valeurs[0].h - h0, p->valeurs[0].v - v0); };
    waitUntil([&] { return moved() >= 10; });
    return moved();
  }

  static void expectClearOfThePalette(const QWidget* panel, const char* what) {
    const QRect frame = panel->frameGeometry();
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

  // A view with a point on a circle, the Animation tool chosen.
  static object* pointOnCircleToAnimate(KPFigureView* view) {
    object* point = pointOnCircle(view);
    pickFromPalette(animationTool());
    EXPECT_EQ(interaction_state, STATE_ANIMATION);
    return point;
  }

  static double radiusOf(const object* p, const tagPOINT& centre) {
    return std::hypot(p->valeurs[0].h - centre.x, p->valeurs[0].v - centre.y);
  }
};

TEST_F(EndToEndAnimation, ASpringSendsAPointAroundItsCircleAndGoBackRestoresIt) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* point = pointOnCircleWithSpring(view);
  ASSERT_NE(point, nullptr);
  NSAnimPanelController* panel = NSAnimPanelController::existing();
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(panel->isVisible());

  const tagPOINT centre = figurePoint(view, QPoint(200, 200));
  const double radius = radiusOf(point, centre);
  const double h0 = point->valeurs[0].h, v0 = point->valeurs[0].v;
  const QImage before = shown(view);
  EXPECT_GT(inkNear(before, QPoint(200, 140)), 0);

  QTest::mouseClick(panel->animButton(), Qt::LeftButton);
  waitUntil([&] { return std::hypot(point->valeurs[0].h - h0, point->valeurs[0].v - v0) >= 20; });
  EXPECT_EQ(animation_running, 1);
  EXPECT_GT(std::hypot(point->valeurs[0].h - h0, point->valeurs[0].v - v0), 20) << "the point did not move";
  EXPECT_NEAR(radiusOf(point, centre), radius, 1e-6) << "the point left its circle";
  // The view shows the point where the kernel has it.
  const tagPOINT corner = figurePoint(view, QPoint(260, 260));
  const double sx = (corner.x - centre.x) / 60.0, sy = (corner.y - centre.y) / 60.0;
  const QPoint now(static_cast<int>(std::lround(200 + (point->valeurs[0].h - centre.x) / sx)),
                   static_cast<int>(std::lround(200 + (point->valeurs[0].v - centre.y) / sy)));
  view->grab();
  const QImage moving = view->viewImage();
  EXPECT_GT(inkNear(moving, now, 3), 0) << "nothing drawn where the point is";
  EXPECT_NE(moving, before);

  // Stop, then go back to the figure as it was before the animation.
  QTest::mouseClick(panel->animButton(), Qt::LeftButton);
  spin(40);
  EXPECT_EQ(animation_running, 0);
  EXPECT_TRUE(panel->defineButton()->isChecked());
  QTest::mouseClick(panel->goBackButton(), Qt::LeftButton);
  spin(40);
  const auto on = objectsOf(view->info(), &classe_ptsur);
  ASSERT_EQ(on.size(), 1u);
  EXPECT_NEAR(on[0]->valeurs[0].h, h0, 1e-6);
  EXPECT_NEAR(on[0]->valeurs[0].v, v0, 1e-6);
  EXPECT_FALSE(panel->goBackButton()->isChecked());
  const QImage after = shown(view);
  EXPECT_GT(inkNear(after, QPoint(200, 140)), 0);
}

TEST_F(EndToEndAnimation, AFigureSavedToAnimateOnOpenStartsByItself) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  ASSERT_NE(pointOnCircleWithSpring(view), nullptr);
  view->info()->animate_on_open = 1;
  KPDocument* doc = KPDocument::currentDocument();
  ASSERT_NE(doc, nullptr);
  const QString path = dir.filePath("spring.fig");
  KPDocument::setSavePanelResponder([path](const QString&) { return path; });
  ASSERT_TRUE(doc->saveDocument());
  doc->close();
  close_anim_panel();
  spin(20);
  ASSERT_EQ(animation_running, 0);

  // The wait before the start runs on the test's clock, whatever the
  // time the window takes to open.
  KPTimer::useTestClock(true);
  KPDocument* reopened = KPDocument::openDocument(path);
  ASSERT_NE(reopened, nullptr);
  ASSERT_TRUE(waitForView(reopened->figureView()));
  KPTimer::advanceTestClock(499);
  spin(20);
  EXPECT_EQ(animation_running, 0) << "started before its half second";
  const auto on = objectsOf(reopened->figureView()->info(), &classe_ptsur);
  ASSERT_EQ(on.size(), 1u);
  const double h0 = on[0]->valeurs[0].h, v0 = on[0]->valeurs[0].v;
  // Its half second over, the start goes through the animation panel's own
  // wait; the springs then move on the machine's clock.
  KPTimer::advanceTestClock(1 + kAutoAnimationDelay);
  KPTimer::useTestClock(false);
  waitUntil([&] { return std::hypot(on[0]->valeurs[0].h - h0, on[0]->valeurs[0].v - v0) >= 5; });
  EXPECT_EQ(animation_running, 1);
  EXPECT_GT(std::hypot(on[0]->valeurs[0].h - h0, on[0]->valeurs[0].v - v0), 5) << "the point did not move";
  NSAnimPanelController* panel = NSAnimPanelController::existing();
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_TRUE(panel->animButton()->showsRunning());
}

TEST_F(EndToEndAnimation, AClickLaunchesThePointAndAClickInTheFigureStopsIt) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* point = pointOnCircleToAnimate(view);
  ASSERT_NE(point, nullptr);
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

TEST_F(EndToEndAnimation, ASpringPulledAndLetGoSendsThePointTheOtherWay) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* point = pointOnCircleToAnimate(view);
  ASSERT_NE(point, nullptr);
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

TEST_F(EndToEndAnimation, AnimateStartsAgainAfterAClickInTheFigureStoppedTheSprings) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* point = pointOnCircleWithSpring(view);
  ASSERT_NE(point, nullptr);
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

// Springs on a triangle's vertex, a point on a line and a point on a conic:
// the panel's Animate starts them all and they run until the same button
// stops them, however long the user waits before pressing it: the vertex's
// throw, over after its steps, turns round instead of stopping every spring
// (a user waiting longer found the springs stopped and Animate starting
// them again, out of step with the button).
TEST_F(EndToEndAnimation, AnimateStopsSpringsOnAVertexALineAndAConic) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_triangle);
  click(view, QPoint(100, 300));
  click(view, QPoint(250, 300));
  click(view, QPoint(175, 180));
  pickFromPalette(&classe_droite);
  click(view, QPoint(300, 60));
  click(view, QPoint(520, 140));
  pickFromPalette(&classe_point);
  click(view, QPoint(410, 100));
  pickFromPalette(&classe_conic);
  for (const QPoint p : {QPoint(350, 300), QPoint(420, 250), QPoint(490, 300), QPoint(460, 380), QPoint(380, 375)})
    click(view, p);
  ASSERT_EQ(objectsOf(view->info(), &classe_ptsur).size(), 1u);
  const size_t points_before = objectsOf(view->info(), &classe_point).size();
  pickFromPalette(&classe_point);
  // A point of the conic's left side, between two of its defining points.
  QPoint on_conic;
  const QImage figure = shown(view);
  for (int x = 330; x < 370 && on_conic.isNull(); ++x)
    if (inkNear(figure, QPoint(x, 335), 0) > 0) on_conic = QPoint(x, 335);
  ASSERT_FALSE(on_conic.isNull());
  click(view, on_conic);
  const auto carried = objectsOf(view->info(), &classe_ptsur);
  ASSERT_EQ(carried.size(), 2u);
  EXPECT_EQ(objectsOf(view->info(), &classe_point).size(), points_before);

  pickFromPalette(&classe_spring);
  object* vertex = nullptr;
  for (object* p : objectsOf(view->info(), &classe_point))
    if (viewPointOf(view, p->valeurs[0].h, p->valeurs[0].v) == QPoint(175, 180)) vertex = p;
  ASSERT_NE(vertex, nullptr);
  // The vertex pulled far: its throw is over after the fewest steps, 50.
  const struct {
    QPoint from, to;
  } pulls[] = {{QPoint(175, 180), QPoint(75, 80)},
               {QPoint(410, 100), QPoint(380, 160)},
               {on_conic, on_conic - QPoint(60, 0)}};
  for (const auto& s : pulls) {
    click(view, s.from);
    click(view, s.to);
  }
  ASSERT_EQ(objectsOf(view->info(), &classe_spring).size(), 3u);
  NSAnimPanelController* panel = NSAnimPanelController::existing();
  ASSERT_NE(panel, nullptr);
  const double h0 = vertex->valeurs[0].h, v0 = vertex->valeurs[0].v;

  for (int round = 0; round < 2; ++round) {
    QTest::mouseClick(panel->animButton(), Qt::LeftButton);
    EXPECT_GT(movedAway(vertex), 10) << "round " << round;
    EXPECT_GT(movedAway(carried[0]), 10) << "round " << round;
    EXPECT_GT(movedAway(carried[1]), 10) << "round " << round;
    EXPECT_EQ(animation_running, 1);
    EXPECT_TRUE(panel->animButton()->showsRunning());
    if (round == 0) {
      // The vertex goes out along its throw and comes back towards where
      // it was, and the springs still run.
      // However slowly the machine runs the steps: a minute at most.
      double farthest = 0, back = 0;
      waitUntil(
          [&] {
            const double d = std::hypot(vertex->valeurs[0].h - h0, vertex->valeurs[0].v - v0);
            farthest = std::max(farthest, d);
            back = farthest - d;
            return !animation_running || (farthest >= 100 && back >= 50);
          },
          60000);
      EXPECT_GT(farthest, 100);
      EXPECT_GT(back, 50) << "the vertex did not turn round";
      ASSERT_EQ(animation_running, 1) << "the springs stopped when the vertex's throw was over";
      EXPECT_TRUE(panel->animButton()->showsRunning());
      EXPECT_GT(movedAway(carried[1]), 10);
    }

    QTest::mouseClick(panel->animButton(), Qt::LeftButton);
    spin(40);
    EXPECT_EQ(animation_running, 0) << "round " << round;
    EXPECT_EQ(manipulating, 0) << "round " << round;
    EXPECT_FALSE(panel->animButton()->showsRunning()) << "round " << round;
    const double h = vertex->valeurs[0].h, v = carried[1]->valeurs[0].v;
    spin(200);
    EXPECT_EQ(vertex->valeurs[0].h, h) << "round " << round;
    EXPECT_EQ(carried[1]->valeurs[0].v, v) << "round " << round;
  }
  EXPECT_EQ(objectsOf(view->info(), &classe_spring).size(), 3u);
}

TEST_F(EndToEndAnimation, PanelsOpenWhollyOnTheScreenBesideTheFigure) {
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

// Another tool chosen from the palette while the springs run ends their
// run: the spring tool chosen again later opens its panel at rest, and
// Animate starts the springs instead of showing a run that moves nothing.
TEST_F(EndToEndAnimation, AnotherToolEndsTheRunAndAnimateStartsItAgainLater) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* point = pointOnCircleWithSpring(view);
  ASSERT_NE(point, nullptr);
  NSAnimPanelController* panel = NSAnimPanelController::existing();
  ASSERT_NE(panel, nullptr);
  QTest::mouseClick(panel->animButton(), Qt::LeftButton);
  ASSERT_GT(movedAway(point), 10);

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
