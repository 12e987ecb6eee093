// What the figure view shows and where clicks land: the zoom control, the
// first drawing of new objects, the designation hint, the selection
// rectangle and blinking points, the attribute bar's colour, and the
// intersection tool.
#include <QColorDialog>
#include <QSlider>
#include <gtest/gtest.h>

#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/model/figure.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/tool_state.h"
#include "kernel/tools/toolbox.h"

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

// A drag on the empty sheet draws its rectangle while it runs, selects the
// objects inside it only, and the selected points blink without ever
// vanishing.
TEST_F(FigureDrawing, TheSelectionRectangleSelectsWhatItHoldsAndPointsKeepShowing) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_point);
  const QPoint inside[] = {QPoint(150, 150), QPoint(200, 190)};
  const QPoint outside(400, 300);
  for (QPoint p : inside) click(view, p);
  click(view, outside);
  chooseTool(view, nullptr);
  spin(20);

  const QPoint from(100, 100), to(260, 220);
  moveTo(view, from);
  QTest::mousePress(view, Qt::LeftButton, {}, from);
  spin(20);
  for (int i = 1; i <= 8; ++i) {
    const QPoint p = from + (to - from) * i / 8;
    QMouseEvent move(QEvent::MouseMove, p, view->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    spin(10);
  }
  spin(60);
  // While the button is down the band shows on its four sides.
  const QImage during = view->viewImage();
  EXPECT_GT(inkNear(during, QPoint(180, 100), 3), 0);
  EXPECT_GT(inkNear(during, QPoint(180, 220), 3), 0);
  EXPECT_GT(inkNear(during, QPoint(100, 160), 3), 0);
  EXPECT_GT(inkNear(during, QPoint(260, 160), 3), 0);
  QTest::mouseRelease(view, Qt::LeftButton, {}, to, 10);
  spin(20);

  kelvo_win_info* fig = view->info();
  std::vector<object*> selected;
  for (int i = 0; fig->selection && fig->selection->items && fig->selection->items[i]; ++i)
    selected.push_back(fig->selection->items[i]);
  ASSERT_EQ(selected.size(), 2u);
  for (object* o : selected) {
    EXPECT_EQ(o->classe, &classe_point);
    tagPOINT q{static_cast<int32_t>(o->valeurs[0].h), static_cast<int32_t>(o->valeurs[0].v)};
    view->localToGlobalDDM(&q);
    EXPECT_TRUE(QRect(from, to).contains(QPoint(q.x, q.y))) << q.x << "," << q.y;
  }
  // Every point stays visible through the blinking, selected or not.
  for (int t = 0; t < 30; ++t) {
    spin(15);
    const QImage now = view->viewImage();
    for (QPoint p : inside) EXPECT_GT(inkNear(now, p, 1), 0) << "at " << p.x() << "," << p.y() << " tick " << t;
    EXPECT_GT(inkNear(now, outside, 1), 0) << "tick " << t;
  }
}

// The pen colour of the attribute bar: the colour chosen in its dialog shows
// on the button and draws the next object; the buttons show the colours of
// the tool chosen.
TEST_F(FigureDrawing, ThePenColourButtonShowsAndGivesTheColourChosen) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  ASSERT_NE(attrib_menus[0], nullptr);
  auto* pen = static_cast<NSGeoToolsMenu*>(attrib_menus[0]->view);
  ASSERT_NE(pen, nullptr);
  ASSERT_TRUE(pen->isColorMenu());
  chooseTool(view, &classe_segment);
  // The button shows the segment tool's colour.
  EXPECT_EQ(pen->color().rgb() & 0xFFFFFF, current_attrs->settings.Color & 0xFFFFFF);

  pen->openPopUp();
  spin(10);
  auto* dialog = QApplication::topLevelWidgets().isEmpty() ? nullptr : [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<QColorDialog*>(w); d && d->isVisible()) return d;
    return static_cast<QColorDialog*>(nullptr);
  }();
  ASSERT_NE(dialog, nullptr);
  const QColor green(0, 160, 0);
  dialog->setCurrentColor(green);
  spin(10);
  EXPECT_EQ(pen->color(), green);
  click(view, QPoint(100, 100));
  click(view, QPoint(250, 120));
  const std::vector<object*> segments = objectsOf(view->info(), &classe_segment);
  ASSERT_EQ(segments.size(), 1u);
  EXPECT_EQ(segments[0]->settings.Color & 0xFFFFFF, 0x00A000u);
  // Another tool, another colour on the button; back to segments, green.
  chooseTool(view, &classe_cercle);
  EXPECT_EQ(pen->color().rgb() & 0xFFFFFF, current_attrs->settings.Color & 0xFFFFFF);
  chooseTool(view, &classe_segment);
  EXPECT_EQ(pen->color(), green);
}

// One click of the Intersection Point tool exactly on the crossing of a line
// and a circle makes the crossing points, as the two objects clicked one
// after the other do.
TEST_F(FigureDrawing, TheIntersectionToolTakesAClickOnTheCrossing) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_droite);
  click(view, QPoint(100, 200));
  click(view, QPoint(500, 200));
  chooseTool(view, &classe_cercle);
  click(view, QPoint(300, 260));
  click(view, QPoint(300, 360));  // radius 100: the line crosses it at (220, 200) and (380, 200)
  const size_t points = objectsOf(view->info(), &classe_point).size();
  chooseTool(view, &classe_interset);
  const QPoint crossing(380, 200);
  moveTo(view, crossing);
  spin(20);
  click(view, crossing);
  spin(20);
  const std::vector<object*> made = objectsOf(view->info(), &classe_ptint);
  ASSERT_FALSE(made.empty()) << "hint: " << shown_designation_text();
  EXPECT_EQ(objectsOf(view->info(), &classe_point).size(), points);
  bool near_click = false;
  for (object* o : made) {
    tagPOINT q{static_cast<int32_t>(std::lround(o->valeurs[0].h)), static_cast<int32_t>(std::lround(o->valeurs[0].v))};
    view->localToGlobalDDM(&q);
    near_click |= std::abs(q.x - crossing.x()) <= 2 && std::abs(q.y - crossing.y()) <= 2;
  }
  EXPECT_TRUE(near_click);
}
