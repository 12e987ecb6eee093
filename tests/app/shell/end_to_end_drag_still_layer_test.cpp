// End to end: the first point of a figure dragged through the window while
// later objects that do not move cross what moves (a segment over the
// dragged side, a circle, a filled triangle). During the drag the window
// shows them from the still layer, over the moving objects; the picture
// must be the one the figure gives drawn whole at the same place, points
// above lines and fills as ever.
#include <QTest>
#include <algorithm>
#include <cstdlib>

#include "app/support/figure_test.h"
#include "kernel/render/still_layer.h"

namespace {

class EndToEndDragStillLayer : public FigureTest {
 protected:
  void TearDown() override {
    closeAll();
    FigureTest::TearDown();
  }

  static void tool(construct_class* cls, std::initializer_list<QPoint> clicks) {
    pickFromPalette(cls);
    for (QPoint p : clicks) click(view_, p);
  }

  // The first point of a segment from (100, 100) to (300, 100), made
  // first in a new view.
  object* firstPoint() {
    view_ = openView();
    if (!view_) return nullptr;
    object* side = segment(view_, QPoint(100, 100), QPoint(300, 100));
    return side ? side->parents[0] : nullptr;
  }

  // The figure's one triangle, filled light blue.
  static void fillTriangle() {
    const auto triangles = objectsOf(view_->info(), &classe_triangle);
    ASSERT_EQ(triangles.size(), 1u);
    triangles[0]->settings.FillColor = 0x40C0F0;
  }

  struct Pictures {
    QImage start;   // before the press
    QImage during;  // the drag held at its end
    QImage whole;   // the figure drawn whole after the release
  };

  // Drags `dragged` with the pointer from `from` to `to`, held there while
  // the window's picture is taken, then released.
  static Pictures dragThrough(object* dragged, QPoint from, QPoint to) {
    Pictures p;
    pickFromPalette(kPointerTool);
    p.start = shown(view_);
    pressAndMove(view_, from, to);
    EXPECT_TRUE(still_layer_built()) << "the drag draws every later object at each step";
    p.during = view_->viewImage();
    QTest::mouseRelease(view_, Qt::LeftButton, {}, to, 10);
    spin(20);
    EXPECT_NE(dragged->valeurs[0].h, from.x()) << "the point did not move";
    EXPECT_FALSE(still_layer_built());
    p.whole = shown(view_);
    return p;
  }

  // Anti-aliased edges laid over the moving objects may land a unit or two
  // from where drawing them over those objects puts them.
  static void expectSamePicture(const Pictures& p) {
    ASSERT_EQ(p.during.size(), p.whole.size());
    int differ = 0, largest = 0;
    QPoint worst;
    for (int y = 0; y < p.whole.height(); ++y)
      for (int x = 0; x < p.whole.width(); ++x) {
        const QRgb a = p.during.pixel(x, y), b = p.whole.pixel(x, y);
        const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                std::abs(qBlue(a) - qBlue(b))});
        if (d == 0) continue;
        ++differ;
        if (d > largest) {
          largest = d;
          worst = QPoint(x, y);
        }
      }
    EXPECT_LE(largest, 2) << differ << " pixels differ, the most at " << worst.x() << ", " << worst.y();
  }

  static KPFigureView* view_;
};
KPFigureView* EndToEndDragStillLayer::view_ = nullptr;

TEST_F(EndToEndDragStillLayer, APointMadeFirstDraggedUnderLaterObjectsShowsTheWholeFigure) {
  object* dragged = firstPoint();
  ASSERT_NE(dragged, nullptr);
  tool(&classe_segment, {QPoint(150, 40), QPoint(250, 260)});
  tool(&classe_cercle, {QPoint(200, 220), QPoint(260, 220)});
  tool(&classe_triangle, {QPoint(230, 60), QPoint(290, 60), QPoint(260, 170)});
  fillTriangle();

  const Pictures p = dragThrough(dragged, QPoint(100, 100), QPoint(140, 160));
  EXPECT_TRUE(p.during != p.start) << "the window did not show the drag";
  expectSamePicture(p);
  // The later segment crosses the dragged side above it, and the triangle's
  // fill lies over it: both show in the picture of the drag.
  EXPECT_GT(inkNear(p.during, QPoint(194, 137)), 0);
  EXPECT_EQ(p.during.pixelColor(262, 118), p.whole.pixelColor(262, 118));

  // The still layer keeps its pictures from one drag to the next: a later
  // drag in the same window, and one after the window took another size,
  // show their own figure, nothing of the earlier drags.
  const auto at = [](const object* o) { return viewPointOf(view_, o->valeurs[0].h, o->valeurs[0].v); };
  expectSamePicture(dragThrough(dragged, at(dragged), at(dragged) + QPoint(-50, -30)));
  QWidget* window = view_->window();
  window->resize(window->size() + QSize(140, 90));
  spin(50);
  expectSamePicture(dragThrough(dragged, at(dragged), at(dragged) + QPoint(60, -20)));
  window->resize(window->size() - QSize(220, 140));
  spin(50);
  expectSamePicture(dragThrough(dragged, at(dragged), at(dragged) + QPoint(30, 40)));
}

// Points are drawn above every line and fill: the first point dragged onto
// a later segment, inside a later filled triangle, shows on top of both
// while it moves, as it does once released.
TEST_F(EndToEndDragStillLayer, APointMadeFirstDraggedOntoLaterObjectsStaysAboveThem) {
  object* dragged = firstPoint();
  ASSERT_NE(dragged, nullptr);
  tool(&classe_segment, {QPoint(150, 180), QPoint(310, 180)});
  tool(&classe_triangle, {QPoint(180, 140), QPoint(280, 140), QPoint(230, 240)});
  fillTriangle();

  expectSamePicture(dragThrough(dragged, QPoint(100, 100), QPoint(230, 180)));
}

// The pictures a drag's still layer is drawn on come with the window's
// layers, at its first paint and after a resize, not with the press of the
// first drag.
TEST_F(EndToEndDragStillLayer, TheWindowMakesTheStillLayerPicturesBeforeAnyDrag) {
  free_still_layer();
  view_ = openView();
  ASSERT_NE(view_, nullptr);
  shown(view_);
  EXPECT_TRUE(still_layer_ready(KPFigureView::getMovingDisplayDevice()));
  QWidget* window = view_->window();
  window->resize(window->width() + 60, window->height() + 40);
  spin(20);
  shown(view_);
  EXPECT_TRUE(still_layer_ready(KPFigureView::getMovingDisplayDevice())) << "after a resize";
}

}  // namespace
