// What the figure view shows and where clicks land: the zoom control, the
// first drawing of new objects, the designation hint, the selection
// rectangle and blinking points, the attribute bar's colour, and the
// intersection tool.
#include <QSlider>
#include <gtest/gtest.h>

#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/model/figure.h"

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
