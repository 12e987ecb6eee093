// End to end: angle marks through the window. With the pointer, the
// handle of a mark (the middle of its arc, the corner of a square mark)
// resizes it and follows the mouse; dragged through the vertex the mark
// turns to the other side; the file keeps the new size. The angle tool's
// rubber band shows the mark the click would make in the current style:
// its extra arcs and tick, and at a right angle the style's right-angle
// symbol.
#include <QTest>
#include <cmath>

#include "app/support/figure_test.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/tools/tool_ids.h"

namespace {

class EndToEndAngleMark : public FigureTest {
 protected:
  void SetUp() override {
    FigureTest::SetUp();
    saved_style_ = default_attrs[ATTRS_ANGLE].angle_mark_style;
  }
  void TearDown() override {
    closeAll();
    default_attrs[ATTRS_ANGLE].angle_mark_style = saved_style_;
    FigureTest::TearDown();
  }

  // Three points made with the point tool: A, the vertex O and B.
  static std::vector<object*> threePoints(KPFigureView* view, QPoint a, QPoint o, QPoint b) {
    const size_t before = objectsOf(view->info(), &classe_point).size();
    pickFromPalette(&classe_point);
    for (QPoint p : {a, o, b}) click(view, p);
    std::vector<object*> points = objectsOf(view->info(), &classe_point);
    EXPECT_EQ(points.size(), before + 3);
    return points.size() == before + 3 ? std::vector<object*>(points.end() - 3, points.end()) : std::vector<object*>{};
  }

  // The angle mark at O made with the angle tool on the three points.
  static object* markOn(KPFigureView* view, QPoint a, QPoint o, QPoint b) {
    if (threePoints(view, a, o, b).size() != 3) return nullptr;
    pickFromPalette(&classe_angle);
    for (QPoint p : {a, o, b}) click(view, p);
    const auto marks = objectsOf(view->info(), &classe_angle);
    EXPECT_EQ(marks.size(), 1u);
    return marks.size() == 1 ? marks[0] : nullptr;
  }

  static double radius(const object* mark) { return mark->valeurs[3].info.rayon; }

  // Chooses a mark style as a user does: the button of the angle-mark
  // style in the attribute bar held until its list opens, the mouse
  // released on the list's `item`.
  static void chooseMarkStyle(uint16_t item) {
    menu* styles = find_tool_menu(1008);
    ASSERT_NE(styles, nullptr);
    auto* button = static_cast<QWidget*>(styles->view);
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isVisible());
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
    NSGeoToolsPullDownController* list = nullptr;
    waitUntil([&] { return (list = NSGeoToolsPullDownController::openPullDown()) != nullptr; });
    ASSERT_NE(list, nullptr) << "the list did not open";
    releaseOnListItem(list, item);
  }

  // The point of the view at `distance` from the mark's vertex along the
  // direction (dx, dy) of the figure.
  static QPoint along(KPFigureView* view, const object* mark, double dx, double dy, double distance) {
    const valeur& o = mark->valeurs[3];
    const double l = std::hypot(dx, dy);
    return viewPointOf(view, o.h + dx * distance / l, o.v + dy * distance / l);
  }

  // The mark's bisector, from its vertex through the middle of its arc.
  static std::pair<double, double> bisector(const object* mark) {
    const valeur *v = mark->valeurs;
    return {v[1].h - v[3].h, v[1].v - v[3].v};
  }

  uint8_t saved_style_ = 0;
};

TEST_F(EndToEndAngleMark, TheHandleResizesTheMarkAndTheFileKeepsTheNewSize) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* mark = markOn(view, QPoint(320, 220), QPoint(160, 220), QPoint(240, 81));
  ASSERT_NE(mark, nullptr);
  const double before = radius(mark);
  ASSERT_GT(before, 9);
  const valeur vertex = mark->valeurs[3];
  const auto [bx, by] = bisector(mark);
  const QPoint handle = viewPointOf(view, mark->valeurs[1].h, mark->valeurs[1].v);
  const QPoint old_arc = along(view, mark, bx, by, before);

  pickFromPalette(kPointerTool);
  drag(view, handle, along(view, mark, bx, by, 70));
  EXPECT_NEAR(radius(mark), 70, 1.5) << "the handle does not follow the mouse";
  EXPECT_NEAR(mark->valeurs[3].h, vertex.h, 1e-9);
  EXPECT_NEAR(mark->valeurs[3].v, vertex.v, 1e-9);
  EXPECT_GT(mark->valeurs[1].info.rayon, 1);
  const QImage resized = shown(view);
  EXPECT_GT(inkNear(resized, along(view, mark, bx, by, 70)), 0) << "no arc at the new radius";
  EXPECT_EQ(inkNear(resized, old_arc), 0) << "the arc stayed at its old radius";

  // Saved and opened again, the mark keeps its size: the same picture.
  const QString path = dir.filePath("mark.fig");
  ASSERT_TRUE(KPDocument::currentDocument()->writeToURL(path));
  const double saved = radius(mark);
  closeAll();
  KPDocument* doc = KPDocument::openDocument(path);
  ASSERT_NE(doc, nullptr);
  KPFigureView* reopened = doc->figureView();
  ASSERT_TRUE(waitForView(reopened));
  const auto marks = objectsOf(reopened->info(), &classe_angle);
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_NEAR(radius(marks[0]), saved, 1e-9);
  EXPECT_EQ(shown(reopened), resized) << "the reopened mark is drawn otherwise";
}

// Dragged through its vertex, the handle takes the mark to the other
// side: the reflex angle is marked, the arc lies opposite the bisector.
TEST_F(EndToEndAngleMark, ThroughTheVertexTheMarkTurnsToTheOtherSide) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* mark = markOn(view, QPoint(320, 220), QPoint(160, 220), QPoint(240, 81));
  ASSERT_NE(mark, nullptr);
  const auto [bx, by] = bisector(mark);
  const QPoint handle = viewPointOf(view, mark->valeurs[1].h, mark->valeurs[1].v);

  pickFromPalette(kPointerTool);
  drag(view, handle, along(view, mark, -bx, -by, 50));
  EXPECT_LT(mark->valeurs[1].info.rayon, 0);
  EXPECT_NEAR(radius(mark), 50, 1.5);
  const QImage turned = shown(view);
  EXPECT_GT(inkNear(turned, along(view, mark, -bx, -by, 50)), 0) << "no arc on the far side";
  EXPECT_EQ(inkNear(turned, along(view, mark, bx, by, 50)), 0) << "the arc still spans the angle";
}

// The corner of a square mark is its handle: the corner stays under the
// mouse.
TEST_F(EndToEndAngleMark, TheCornerOfASquareMarkFollowsTheMouse) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* mark = markOn(view, QPoint(320, 240), QPoint(160, 240), QPoint(160, 80));
  ASSERT_NE(mark, nullptr);
  ASSERT_NE(mark->valeurs[2].info.rayon, 0) << "not marked as a right angle";
  const valeur* v = mark->valeurs;
  const QPoint corner = viewPointOf(view, v[0].h + v[2].h - v[3].h, v[0].v + v[2].v - v[3].v);
  const QPoint to = along(view, mark, 1, -1, 90);

  pickFromPalette(kPointerTool);
  drag(view, corner, to);
  const tagPOINT target = figurePoint(view, to);
  EXPECT_NEAR(v[0].h + v[2].h - v[3].h, target.x, 1.5);
  EXPECT_NEAR(v[0].v + v[2].v - v[3].v, target.y, 1.5);
  EXPECT_GT(inkNear(shown(view), to), 0) << "no corner under the mouse";
}

// The rubber band of the angle tool after A and the vertex O: the mark
// the click would make at the mouse, in the current style. The arms lie
// 30 degrees on each side of the horizontal, so the bisector runs along
// the vertex's row.
TEST_F(EndToEndAngleMark, TheRubberBandDrawsTheArcsAndTickOfTheStyle) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint o(160, 220), a(160 + 173, 220 - 100), m(160 + 173, 220 + 100);
  ASSERT_EQ(threePoints(view, a, o, QPoint(60, 60)).size(), 3u);
  const struct {
    const char* what;
    uint16_t item;  // of the marks' attribute list: the style plus one
    std::vector<int> ink;      // distances along the bisector from the vertex, beyond the radius
    std::vector<int> no_ink;
  } cases[] = {
      {"one arc", 1, {0}, {3, 6, -3}},
      {"three arcs", 3, {0, 3, 6}, {9}},
      {"one arc with its tick", 4, {0, -3, 3}, {6}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    pickFromPalette(&classe_angle);
    chooseMarkStyle(c.item);
    ASSERT_EQ(default_attrs[ATTRS_ANGLE].angle_mark_style & 0x0F, c.item - 1);
    click(view, a);
    click(view, o);
    moveTo(view, m);
    // What the window shows now, the rubber band over the figure.
    const QImage preview = view->viewImage();
    const tagPOINT vertex = figurePoint(view, o), mouse = figurePoint(view, m);
    // The radius the mark takes: an eighth of the shorter arm.
    const double r = std::min(std::hypot(173.0, 100.0), std::hypot(double(mouse.x - vertex.x), double(mouse.y - vertex.y))) / 8;
    for (int d : c.ink)
      EXPECT_GT(inkNear(preview, viewPointOf(view, vertex.x + r + d, vertex.y), 1), 0) << "nothing at " << d;
    for (int d : c.no_ink)
      EXPECT_EQ(inkNear(preview, viewPointOf(view, vertex.x + r + d, vertex.y), 0), 0) << "ink at " << d;
    // The click makes the mark the rubber band showed.
    click(view, m);
    const auto marks = objectsOf(view->info(), &classe_angle);
    ASSERT_FALSE(marks.empty());
    EXPECT_EQ(marks.back()->settings.graph_type & 0x0F, c.item - 1);
    const QImage made = shown(view);
    for (int d : c.ink)
      EXPECT_GT(inkNear(made, viewPointOf(view, vertex.x + r + d, vertex.y), 1), 0) << "the mark lacks " << d;
    // Undo takes the mark back for the next style.
    KPFigureWindow* window = KPDocument::currentDocument()->figureWindow();
    ASSERT_TRUE(clickMenuItem(window->menuBar(), QStringLiteral("Edit"), QStringLiteral("Undo")));
  }
}

// At a right angle the rubber band shows the style's right-angle symbol:
// the square corner, the corner with a dot, the arc with a dot.
TEST_F(EndToEndAngleMark, AtARightAngleTheRubberBandDrawsTheSymbolOfTheStyle) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint o(200, 240), a(360, 240), m(200, 80);
  ASSERT_EQ(threePoints(view, a, o, QPoint(60, 60)).size(), 3u);
  // Figure offsets from the vertex, in radii: the corner (1, -1), the
  // middle of the arc, the dot of the corner with a dot (the middle of the
  // arc) and the dot of the arc with a dot (4/9 of the way to it).
  const double k = std::sqrt(0.5);
  const struct {
    const char* what;
    uint8_t symbol;
    std::vector<std::pair<double, double>> ink, no_ink;
  } cases[] = {
      {"the square corner", 1, {{1, -1}, {1, -0.5}}, {{k, -k}}},
      {"the corner with a dot", 2, {{k, -k}, {0.75, -0.25}}, {{1, -1}}},
      {"the arc with a dot", 3, {{k, -k}, {4 * k / 9, -4 * k / 9}, {1, 0}}, {{1, -1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    default_attrs[ATTRS_ANGLE].angle_mark_style = static_cast<uint8_t>(c.symbol << 4);
    pickFromPalette(&classe_angle);
    click(view, a);
    click(view, o);
    moveTo(view, m);
    // What the window shows now, the rubber band over the figure.
    const QImage preview = view->viewImage();
    const tagPOINT vertex = figurePoint(view, o);
    const double r = 160.0 / 8;
    const auto at = [&](std::pair<double, double> p) {
      return viewPointOf(view, vertex.x + p.first * r, vertex.y + p.second * r);
    };
    for (const auto& p : c.ink) EXPECT_GT(inkNear(preview, at(p), 1), 0) << "nothing at " << p.first << ", " << p.second;
    for (const auto& p : c.no_ink) EXPECT_EQ(inkNear(preview, at(p), 1), 0) << "ink at " << p.first << ", " << p.second;
    pickFromPalette(kPointerTool);
  }
}

}  // namespace
