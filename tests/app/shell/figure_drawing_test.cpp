// What the figure view shows and where clicks land: the zoom control, the
// first drawing of new objects, the designation hint, the selection
// rectangle and blinking points, the attribute bar's colour, and the
// intersection tool.
#include <QSlider>
#include <gtest/gtest.h>

#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/model/figure.h"
#include "kernel/tools/designation.h"

namespace {

class FigureDrawing : public FigureTest {
 protected:
  // Where a figure point appears in the view, in view pixels.
  static QPointF onScreen(KPFigureView* view, const object* point) {
    tagPOINT q{static_cast<int32_t>(std::lround(point->valeurs[0].h)),
               static_cast<int32_t>(std::lround(point->valeurs[0].v))};
    view->localToGlobalDDM(&q);
    return QPointF(q.x, q.y) * view->scale();
  }
};

}  // namespace

// The slider redraws the figure at the new scale, and a click makes its
// point under the cursor at every zoom.
TEST_F(FigureDrawing, TheZoomControlRedrawsAndClicksLandUnderTheCursor) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  QSlider* zoom = view->figureWindow()->zoomControl();
  chooseTool(view, &classe_segment);
  click(view, QPoint(200, 200));
  click(view, QPoint(300, 200));
  const QImage normal = view->grab().toImage();
  for (int value : {50, -50, 30}) {
    SCOPED_TRACE(value);
    zoom->setValue(value);
    spin(20);
    const QImage zoomed = view->grab().toImage();
    EXPECT_NE(zoomed, normal);
    // The segment is drawn at the new scale: its middle stays, its length
    // follows the zoom.
    const std::vector<object*> segments = objectsOf(view->info(), &classe_segment);
    ASSERT_EQ(segments.size(), 1u);
    const QPointF a = onScreen(view, segments[0]->parents[0]);
    const QPointF b = onScreen(view, segments[0]->parents[1]);
    EXPECT_NEAR(b.x() - a.x(), 100 * view->scale(), 2);
    EXPECT_GT(inkNear(zoomed, ((a + b) / 2).toPoint()), 0);

    chooseTool(view, &classe_point);
    const QPoint at(500, 400);
    const size_t points = objectsOf(view->info(), &classe_point).size();
    click(view, at);
    const std::vector<object*> after = objectsOf(view->info(), &classe_point);
    ASSERT_EQ(after.size(), points + 1);
    const QPointF shown_at = onScreen(view, after.back());
    EXPECT_NEAR(shown_at.x(), at.x(), 1.0 + view->scale());
    EXPECT_NEAR(shown_at.y(), at.y(), 1.0 + view->scale());
    chooseTool(view, nullptr);
  }
}

// A new regular polygon (and a star) is drawn whole by its creating click:
// the picture then is the one a full redraw gives.
TEST_F(FigureDrawing, ARegularPolygonIsDrawnWholeByItsCreatingClick) {
  struct shape {
    const char* name;
    QPoint third;  // where the side count is chosen
  };
  // Centre (300, 250), first vertex (380, 250): 72 degrees from it gives a
  // pentagon; 144 degrees the other way round, a five-pointed star.
  for (const shape& s : {shape{"pentagon", QPoint(325, 326)}, shape{"star", QPoint(235, 203)}}) {
    SCOPED_TRACE(s.name);
    KPFigureView* view = openView();
    ASSERT_NE(view, nullptr);
    chooseTool(view, &classe_polyreg);
    click(view, QPoint(300, 250));
    click(view, QPoint(380, 250));
    moveTo(view, s.third + QPoint(0, 3));  // the side count follows the mouse
    moveTo(view, s.third);
    click(view, s.third);
    const std::vector<object*> polygons = objectsOf(view->info(), &classe_polyreg);
    ASSERT_EQ(polygons.size(), 1u);
    EXPECT_FALSE(polygons[0]->state & OBJ_UNDEFINED);
    // The cursor leaves the figure alone.
    chooseTool(view, nullptr);
    moveTo(view, QPoint(40, 40));
    spin(30);
    const QImage first = view->viewImage();
    const QImage redrawn = shown(view);
    int differ = 0;
    for (int y = 0; y < first.height(); ++y)
      for (int x = 0; x < first.width(); ++x)
        if (first.pixel(x, y) != redrawn.pixel(x, y)) ++differ;
    EXPECT_EQ(differ, 0) << s.name;
    closeAll();
  }
}

// The hint beside the cursor goes when the mouse leaves the object, and
// when the tool changes.
TEST_F(FigureDrawing, TheDesignationHintGoesWithTheObjectUnderTheCursor) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_segment);
  click(view, QPoint(200, 100));
  click(view, QPoint(200, 300));
  chooseTool(view, &classe_milieu);
  const QImage clean = shown(view);
  const QRect beside(206, 170, 100, 50);  // where the hint of the segment at (200, 200) goes
  auto ink = [](const QImage& image, const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x)
        if (image.pixelColor(x, y) != image.pixelColor(2, 2)) ++n;
    return n;
  };
  ASSERT_EQ(ink(clean, beside), 0);
  moveTo(view, QPoint(200, 200));
  spin(30);
  ASSERT_FALSE(shown_designation_text().empty());
  EXPECT_GT(ink(view->viewImage(), beside), 0);
  moveTo(view, QPoint(120, 200));
  spin(30);
  EXPECT_TRUE(shown_designation_text().empty());
  EXPECT_EQ(ink(view->viewImage(), beside), 0);
  // Shown again, then the tool changes.
  moveTo(view, QPoint(200, 200));
  spin(30);
  ASSERT_GT(ink(view->viewImage(), beside), 0);
  chooseTool(view, &classe_cercle);
  spin(30);
  EXPECT_EQ(ink(view->viewImage(), beside), 0);
}
