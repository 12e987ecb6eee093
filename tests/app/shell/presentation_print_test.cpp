// A printed page is drawn with presentation mode off (on paper polygons
// close and texts keep their fill), and the screen keeps the mode.
#include <QImage>
#include <QPainter>

#include "app/support/figure_test.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/render/display_device.h"

namespace {

uint8_t flag_seen = 0xFF;

class PresentationPrint : public FigureTest {
 protected:
  void TearDown() override {
    wide_lines_flag = 0;
    FigureTest::TearDown();
  }
};

}  // namespace

TEST_F(PresentationPrint, ThePageIsDrawnWithTheModeOff) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  drawSegment(view, QPoint(100, 200), QPoint(300, 200));
  // The segment's drawing notes the mode it is drawn in.
  type* kind = classe_segment.ctype;
  const type_draw_fn draw = kind->draw;
  kind->draw = [](DisplayDevice*, object*) { flag_seen = wide_lines_flag; };

  wide_lines_flag = 1;
  QImage page(500, 400, QImage::Format_RGB32);
  page.fill(Qt::white);
  view->setPrintingOrigin(view->centerX(), view->centerY());
  view->beginDocument();
  {
    QPainter painter(&page);
    view->drawPrintPage(&painter, QRectF(0, 0, page.width(), page.height()));
  }
  view->endDocument();
  kind->draw = draw;
  EXPECT_EQ(flag_seen, 0);
  EXPECT_EQ(wide_lines_flag, 1);
}
