// The zoom control as a user works it: the figure is drawn at the chosen
// scale (lines, circles and points stay whole when reduced, edges stay fine
// when enlarged), the control shows its percentage, goes back to 100 % in
// one click and keeps the middle of the view where it was.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QSlider>
#include <QToolButton>
#include <cmath>
#include <set>

#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/model/figure.h"
#include "kernel/model/create.h"
#include "kernel/render/display_device.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/selection.h"

namespace {

class Zoom : public FigureTest {
 protected:
  // The slider moved with its keys, as a user does once it has the focus.
  static void zoomWith(KPFigureView* view, Qt::Key key, int times = 1) {
    QSlider* zoom = view->figureWindow()->zoomControl();
    zoom->setFocus();
    for (int i = 0; i < times; ++i) QTest::keyClick(zoom, key);
    spin(20);
  }

  // Where a figure point appears in the view, in view pixels.
  static QPointF onScreen(KPFigureView* view, double x, double y) { return view->figureToView(QPointF(x, y)); }

  // A circle centred on the middle of the view, radius 100 figure units,
  // with a point on its right, drawn with the tools at zoom 1.
  KPFigureView* circleAndPoint(QPointF* centre) {
    KPFigureView* view = openView();
    if (!view) return nullptr;
    const QPoint middle(view->width() / 2, view->height() / 2);
    chooseTool(view, &classe_cercle);
    click(view, middle);
    click(view, middle + QPoint(100, 0));
    chooseTool(view, &classe_point);
    click(view, middle + QPoint(160, 0));
    chooseTool(view, nullptr);
    moveTo(view, QPoint(5, 5));
    const tagPOINT c = figurePoint(view, middle);
    *centre = QPointF(c.x, c.y);
    return view;
  }
};

}  // namespace

// Reduced, the circle stays a whole line and the point stays drawn, down to
// the slider's far left.
TEST_F(Zoom, AReducedFigureKeepsItsLinesAndPoints) {
  QPointF c;
  KPFigureView* view = circleAndPoint(&c);
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(objectsOf(view->info(), &classe_cercle).size(), 1u);
  const struct {
    Qt::Key key;
    int times;
    double scale;
  } steps[] = {{Qt::Key_PageDown, 5, 0.5}, {Qt::Key_PageDown, 1, 0.4}, {Qt::Key_Home, 1, 0.1}};
  for (const auto& s : steps) {
    zoomWith(view, s.key, s.times);
    SCOPED_TRACE(s.scale);
    ASSERT_NEAR(view->scale(), s.scale, 1e-6);
    const QImage image = shown(view);
    const QPointF point = onScreen(view, c.x() + 160, c.y());
    EXPECT_GT(inkNear(image, point.toPoint(), 1), 0) << "the point is gone";
    int gaps = 0;
    for (int degree = 0; degree < 360; degree += 3) {
      const double a = degree * M_PI / 180;
      const QPointF at = onScreen(view, c.x() + 100 * std::cos(a), c.y() + 100 * std::sin(a));
      if (inkNear(image, at.toPoint(), 1) == 0) ++gaps;
    }
    EXPECT_EQ(gaps, 0) << "the circle is broken";
  }
}

// Enlarged, the circle is drawn at the new size, not a magnified picture:
// its edges fall on every pixel column, not only on whole blocks.
TEST_F(Zoom, AnEnlargedFigureIsDrawnAtItsScale) {
  QPointF c;
  KPFigureView* view = circleAndPoint(&c);
  ASSERT_NE(view, nullptr);
  zoomWith(view, Qt::Key_PageUp, 5);
  ASSERT_NEAR(view->scale(), 2.0, 1e-6);
  EXPECT_DOUBLE_EQ(view->getDisplayDevice()->ratio, 2.0);
  const QImage image = shown(view);
  const QRect box = QRectF(onScreen(view, c.x() - 110, c.y() - 110), onScreen(view, c.x() + 110, c.y() + 110))
                        .toAlignedRect()
                        .intersected(image.rect().adjusted(0, 0, -1, 0));
  ASSERT_GT(box.width(), 300);
  std::set<int> parities;
  for (int y = box.top(); y <= box.bottom(); ++y)
    for (int x = box.left(); x < box.right(); ++x)
      if (image.pixel(x, y) != image.pixel(x + 1, y)) parities.insert(x % 2);
  EXPECT_EQ(parities.size(), 2u);
}

// The control shows its percentage, its button brings back exactly 100 %,
// and the figure point in the middle of the view stays there.
TEST_F(Zoom, TheControlShowsItsPercentageAndKeepsTheMiddle) {
  QPointF c;
  KPFigureView* view = circleAndPoint(&c);
  ASSERT_NE(view, nullptr);
  KPFigureWindow* window = view->figureWindow();
  EXPECT_EQ(window->zoomPercent()->text(), QStringLiteral("100 %"));
  EXPECT_FALSE(window->zoomReset()->isEnabled());
  const QPoint middle(view->width() / 2, view->height() / 2);
  const tagPOINT before = figurePoint(view, middle);
  const QImage at_first = shown(view);
  for (const auto& [key, times, text] :
       {std::tuple{Qt::Key_PageUp, 5, "200 %"}, std::tuple{Qt::Key_PageDown, 8, "70 %"},
        std::tuple{Qt::Key_Home, 1, "10 %"}, std::tuple{Qt::Key_End, 1, "1000 %"}}) {
    zoomWith(view, key, times);
    SCOPED_TRACE(text);
    EXPECT_EQ(window->zoomPercent()->text(), QString::fromLatin1(text));
    // The circle's centre point is drawn in the middle of the view.
    EXPECT_GT(inkNear(shown(view), middle, 1), 0);
    const QPointF shown_at = view->viewToFigure(QPointF(middle));
    EXPECT_NEAR(shown_at.x(), before.x, 2.0);
    EXPECT_NEAR(shown_at.y(), before.y, 2.0);
  }
  ASSERT_TRUE(window->zoomReset()->isEnabled());
  QTest::mouseClick(window->zoomReset(), Qt::LeftButton);
  spin(20);
  EXPECT_EQ(window->zoomControl()->value(), 0);
  EXPECT_FLOAT_EQ(view->scale(), 1.0f);
  EXPECT_EQ(window->zoomPercent()->text(), QStringLiteral("100 %"));
  EXPECT_DOUBLE_EQ(view->getDisplayDevice()->ratio, 1.0);
  // Back at 100 %, the view shows the figure exactly as before.
  const tagPOINT after = figurePoint(view, middle);
  EXPECT_EQ(after.x, before.x);
  EXPECT_EQ(after.y, before.y);
  EXPECT_EQ(shown(view), at_first);
}

namespace {

// The box of the pixels that differ from the background within `area`.
QRect inkBox(const QImage& image, const QRect& area) {
  const QColor background = image.pixelColor(2, 2);
  QRect box;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (image.rect().contains(x, y) && image.pixelColor(x, y) != background) box |= QRect(x, y, 1, 1);
  return box;
}

}  // namespace

// A text is drawn at the zoom too: twice the zoom, twice its size.
TEST_F(Zoom, ATextFollowsTheZoom) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  current_class = &classe_text;
  objlist_clear(fig->inputs);
  uint16_t created = 0;
  object* text = create_object(0, &created, 1, 1, 0);
  current_class = nullptr;
  ASSERT_TRUE(text && text->te && set_text_record_text(text->te, "Hello"));
  text->state &= ~OBJ_NEW;
  text->settings.visible = 1;
  text->te->pos = te_point{-60, -20};
  text->te->size = te_size{200, 40};
  text->te->regen_pending = 1;
  const auto shownBox = [&] {
    const QPointF a = view->figureToView(QPointF(-70, -30));
    const QPointF b = view->figureToView(QPointF(150, 30));
    return inkBox(shown(view), QRectF(a, b).toAlignedRect());
  };
  const QRect at_one = shownBox();
  ASSERT_FALSE(at_one.isEmpty());
  zoomWith(view, Qt::Key_PageUp, 5);
  ASSERT_NEAR(view->scale(), 2.0, 1e-6);
  const QRect at_two = shownBox();
  ASSERT_FALSE(at_two.isEmpty());
  EXPECT_NEAR(double(at_two.width()) / at_one.width(), 2.0, 0.25);
  EXPECT_NEAR(double(at_two.height()) / at_one.height(), 2.0, 0.35);
}

// Edit > Copy with a selection rectangle drawn at 200 % puts the picture of
// that rectangle on the clipboard, at the zoom's size.
TEST_F(Zoom, ACopiedPictureIsThePartInTheRectangle) {
  QPointF c;
  KPFigureView* view = circleAndPoint(&c);
  ASSERT_NE(view, nullptr);
  zoomWith(view, Qt::Key_PageUp, 5);
  ASSERT_NEAR(view->scale(), 2.0, 1e-6);
  const QPoint middle(view->width() / 2, view->height() / 2);
  drag(view, middle - QPoint(250, 150), middle + QPoint(-50, -50));
  ASSERT_TRUE(selection_rect_shown);
  QApplication::clipboard()->clear();
  ASSERT_TRUE(clickMenuItem(view->figureWindow()->menuBar(), QStringLiteral("Edit"), QStringLiteral("Copy")));
  const QMimeData* data = QApplication::clipboard()->mimeData();
  ASSERT_NE(data, nullptr);
  QImage picture;
  ASSERT_TRUE(picture.loadFromData(data->data(QStringLiteral("image/bmp")), "BMP"));
  // 200 by 100 view pixels, give or take the rectangle's rounding.
  EXPECT_NEAR(picture.width(), 200, 6);
  EXPECT_NEAR(picture.height(), 100, 6);
}
