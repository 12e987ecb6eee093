// At 100 % the window shows what the kernel's pixel pen writes: the shared
// layers are its bitmaps, so a circle drawn with the tools has exactly the
// pixels the pen gives it in a bitmap of the view's size, before and after a
// trip through another zoom.
#include <gtest/gtest.h>

#include <QSlider>
#include <QToolButton>

#include "app/document/kp_document.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/model/figure.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/draw_object.h"

namespace {

class ZoomOnePixels : public FigureTest {
 protected:
  // The object drawn alone by the kernel into a white pixel bitmap of the
  // view's size that shows the same part of the figure.
  static QImage drawnByThePen(KPFigureView* view, object* o) {
    const DisplayDevice* shown_dd = view->getDisplayDevice();
    DisplayDevice* dd = dd_create();
    ensure_display_dc(dd);
    dd_select_bitmap(dd, create_dib_record(dd, view->width(), view->height()));
    QImage image;
    if (dd->bm) {
      dd_move_origin(dd, shown_dd->portRect.left, shown_dd->portRect.top);
      dd_draw_background(dd);
      draw_object(dd, o);
      image = QImage(reinterpret_cast<const uchar*>(dd->bm->pixels), dd->bm->width, dd->bm->height,
                     dd->bm->pitch * 4, QImage::Format_RGB32)
                  .copy();
    }
    destroy_display_device(dd);
    return image;
  }

  // Pixels of the ring around (c, r) that differ between the two pictures,
  // leaving out the area of the point on the circle at `p`.
  static int differencesOnTheRing(const QImage& a, const QImage& b, QPointF c, double r, QPoint p) {
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x) {
        const double d = std::hypot(x - c.x(), y - c.y());
        if (std::abs(d - r) > 4 || (std::abs(x - p.x()) <= 5 && std::abs(y - p.y()) <= 5)) continue;
        if (a.pixel(x, y) != b.pixel(x, y)) ++differing;
      }
    return differing;
  }
};

}  // namespace

TEST_F(ZoomOnePixels, TheWindowShowsThePixelPensCircleAtEveryReturnTo100) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint middle(view->width() / 2, view->height() / 2);
  const QPoint on_circle = middle + QPoint(90, 37);
  chooseTool(view, &classe_cercle);
  click(view, middle);
  click(view, on_circle);
  chooseTool(view, nullptr);
  moveTo(view, QPoint(5, 5));
  const auto circles = objectsOf(view->info(), &classe_cercle);
  ASSERT_EQ(circles.size(), 1u);
  const double r = std::hypot(90, 37);

  const QImage at_first = shown(view);
  const QImage pen = drawnByThePen(view, circles[0]);
  ASSERT_EQ(pen.size(), at_first.size());
  // The pen drew a ring of ink, and the window shows that very ring.
  int ink = 0;
  for (int y = 0; y < pen.height(); ++y)
    for (int x = 0; x < pen.width(); ++x) ink += pen.pixel(x, y) != 0xFFFFFFFFu;
  ASSERT_GT(ink, 400);
  EXPECT_EQ(differencesOnTheRing(at_first, pen, QPointF(middle), r, on_circle), 0);

  // 200 %, then the control's 100 % button: the same pixels again.
  KPFigureWindow* window = view->figureWindow();
  window->zoomControl()->setFocus();
  for (int i = 0; i < 5; ++i) QTest::keyClick(window->zoomControl(), Qt::Key_PageUp);
  spin(20);
  ASSERT_NEAR(view->scale(), 2.0, 1e-6);
  EXPECT_NE(shown(view), at_first);
  QTest::mouseClick(window->zoomReset(), Qt::LeftButton);
  spin(20);
  ASSERT_FLOAT_EQ(view->scale(), 1.0f);
  const QImage back = shown(view);
  EXPECT_EQ(back, at_first);
  EXPECT_EQ(differencesOnTheRing(back, pen, QPointF(middle), r, on_circle), 0);
}

// Two windows, one at 100 % and one at 200 %: the layers the kernel draws on
// change kind as the windows take turns, and neither window loses its
// picture when the other one becomes the current window.
TEST_F(ZoomOnePixels, AWindowAt200KeepsItsPictureWhileAWindowAt100IsCurrent) {
  KPFigureView* first = openView();
  ASSERT_NE(first, nullptr);
  KPDocument* first_doc = KPDocument::currentDocument();
  chooseTool(first, &classe_segment);
  click(first, QPoint(100, 100));
  click(first, QPoint(300, 150));
  KPFigureView* second = openView();
  ASSERT_NE(second, nullptr);
  KPDocument* second_doc = KPDocument::currentDocument();
  ASSERT_NE(first_doc, second_doc);
  const QPoint middle(second->width() / 2, second->height() / 2);
  chooseTool(second, &classe_cercle);
  click(second, middle);
  click(second, middle + QPoint(60, 0));
  chooseTool(second, nullptr);
  QSlider* zoom = second->figureWindow()->zoomControl();
  zoom->setFocus();
  for (int i = 0; i < 5; ++i) QTest::keyClick(zoom, Qt::Key_PageUp);
  spin(20);
  ASSERT_NEAR(second->scale(), 2.0, 1e-6);
  const auto ink = [](const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) != 0xFFFFFFFFu;
    return n;
  };
  const int second_ink = ink(shown(second));
  ASSERT_GT(second_ink, 500);
  const int first_ink = ink(shown(first));
  ASSERT_GT(first_ink, 150);

  // Each window is current in turn while the other one is painted; the
  // current one then takes a click on its empty sheet and its timer runs,
  // as a user sees it, with no full repaint asked for.
  for (int turn = 0; turn < 2; ++turn) {
    SCOPED_TRACE(turn);
    for (auto [current, doc, other] : {std::tuple{first, first_doc, second}, std::tuple{second, second_doc, first}}) {
      doc->myMakeMainWindow();
      spin(20);
      other->grab();
      click(current, QPoint(6 + turn, 6));
      spin(40);
      EXPECT_EQ(ink(first->viewImage()), first_ink) << "the 100 % window lost its picture";
      EXPECT_EQ(ink(second->viewImage()), second_ink) << "the 200 % window lost its picture";
    }
  }
}
