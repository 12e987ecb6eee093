// Scrolling the figure window by hand: a drag with Control moves the sheet
// with the mouse, as the grabbed view shows.
#include <QMouseEvent>
#include <gtest/gtest.h>

#include "app/support/figure_test.h"

namespace {

class EndToEndScrolling : public FigureTest {
 protected:
  void TearDown() override {
    closeAll();
    FigureTest::TearDown();
  }
};

TEST_F(EndToEndScrolling, AControlDragMovesTheSheetWithTheMouse) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_segment);
  click(view, QPoint(150, 150));
  click(view, QPoint(250, 150));
  chooseTool(view, nullptr);
  auto inkCentre = [&] {
    const QImage shot = view->grab().toImage();
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x)
        if (qGray(shot.pixel(x, y)) < 100) {
          sx += x;
          sy += y;
          ++n;
        }
    return n ? QPointF(sx / n, sy / n) : QPointF(-1, -1);
  };
  const QPointF start = inkCentre();
  ASSERT_GT(start.x(), 0);
  const QPoint from(300, 250);
  const QPoint to = from + QPoint(40, 30);
  moveTo(view, from);
  QTest::mousePress(view, Qt::LeftButton, Qt::ControlModifier, from);
  for (int i = 1; i <= 4; ++i) {
    const QPoint p = from + (to - from) * i / 4;
    QMouseEvent move(QEvent::MouseMove, p, view->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(view, &move);
    spin(10);
  }
  QTest::mouseRelease(view, Qt::LeftButton, Qt::ControlModifier, to, 10);
  spin(30);
  const QPointF moved = inkCentre();
  EXPECT_NEAR(moved.x() - start.x(), 40, 3);
  EXPECT_NEAR(moved.y() - start.y(), 30, 3);
}

}  // namespace
