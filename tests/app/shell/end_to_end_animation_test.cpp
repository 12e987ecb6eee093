// End to end: springs pulled with the spring tool chosen from the palette,
// the animation started, stopped and taken back from the animation panel,
// and a figure saved with "Animate on open" that starts by itself.
#include <QDir>
#include <cmath>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/panels/anim_panel.h"
#include "app/support/figure_test.h"
#include "kernel/tools/drag_start.h"
#include "kernel/window/anim_panel.h"

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
  // top; then a spring pulled from that point with the palette's tool.
  object* pointOnCircleWithSpring(KPFigureView* view) {
    chooseTool(view, &classe_cercle);
    click(view, QPoint(200, 200));
    click(view, QPoint(260, 200));
    chooseTool(view, &classe_point);
    click(view, QPoint(200, 140));
    const auto on = objectsOf(view->info(), &classe_ptsur);
    EXPECT_EQ(on.size(), 1u);
    if (on.size() != 1) return nullptr;
    pickFromPalette(&classe_spring);
    EXPECT_EQ(current_class, &classe_spring);
    click(view, QPoint(200, 140));
    click(view, QPoint(140, 120));
    EXPECT_EQ(objectsOf(view->info(), &classe_spring).size(), 1u);
    return on[0];
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
  for (int i = 0; i < 100 && std::hypot(point->valeurs[0].h - h0, point->valeurs[0].v - v0) < 20; ++i) spin(20);
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

  KPDocument* reopened = KPDocument::openDocument(path);
  ASSERT_NE(reopened, nullptr);
  ASSERT_TRUE(waitForView(reopened->figureView()));
  EXPECT_EQ(animation_running, 0) << "started before its half second";
  const auto on = objectsOf(reopened->figureView()->info(), &classe_ptsur);
  ASSERT_EQ(on.size(), 1u);
  const double h0 = on[0]->valeurs[0].h, v0 = on[0]->valeurs[0].v;
  for (int i = 0; i < 150 && std::hypot(on[0]->valeurs[0].h - h0, on[0]->valeurs[0].v - v0) < 5; ++i) spin(20);
  EXPECT_EQ(animation_running, 1);
  EXPECT_GT(std::hypot(on[0]->valeurs[0].h - h0, on[0]->valeurs[0].v - v0), 5) << "the point did not move";
  NSAnimPanelController* panel = NSAnimPanelController::existing();
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_TRUE(panel->animButton()->showsRunning());
}

}  // namespace
