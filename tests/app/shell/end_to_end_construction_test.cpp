// Working on the construction through the application: the description
// drawer of a figure read from a file follows clicks on its lines, and the
// construction replay hides and shows the steps in the view.
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include "app/panels/figure_description_drawer.h"
#include "app/panels/replay_panel.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/window/replay.h"

namespace {

class EndToEndConstruction : public FigureTest {
 protected:
  // Builds free points by clicks, saves the figure and reads it back in a
  // new window; answers that window's view.
  KPFigureView* figureFromFile(const std::vector<QPoint>& at) {
    KPFigureView* view = openView();
    if (!view) return nullptr;
    chooseTool(view, &classe_point);
    for (const QPoint& p : at) click(view, p);
    chooseTool(view, nullptr);
    KPDocument* doc = KPDocument::currentDocument();
    const QString path = dir.filePath(QStringLiteral("construction.fig"));
    EXPECT_TRUE(doc->writeToURL(path));
    closeAll();
    KPDocument* read = KPDocument::openDocument(path);
    KPFigureView* shownView = read ? read->figureView() : nullptr;
    EXPECT_TRUE(waitForView(shownView));
    return shownView;
  }
  static KPFigureWindow* windowOf(KPFigureView* view) { return dynamic_cast<KPFigureWindow*>(view->window()); }
  static bool differsNear(const QImage& x, const QImage& y, QPoint p, int radius) {
    for (int dy = -radius; dy <= radius; ++dy)
      for (int dx = -radius; dx <= radius; ++dx) {
        const QPoint q = p + QPoint(dx, dy);
        if (x.rect().contains(q) && y.rect().contains(q) && x.pixelColor(q) != y.pixelColor(q)) return true;
      }
    return false;
  }
  // The clicked points, in construction order (the figure's origin aside).
  static std::vector<object*> clickedPoints(KPFigureView* view) {
    std::vector<object*> out;
    for (object* o : objectsOf(view->info(), &classe_point))
      if (o->settings.visible) out.push_back(o);
    return out;
  }
};

TEST_F(EndToEndConstruction, ClickingALineOfTheDescriptionSelectsItsObjectInTheView) {
  const QPoint a(80, 90), b(200, 140);
  KPFigureView* view = figureFromFile({a, b});
  ASSERT_NE(view, nullptr);
  KPFigureWindow* w = windowOf(view);
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(clickMenuItem(w->menuBar(), QStringLiteral("View"), QStringLiteral("Show Figure Description")));
  spin(20);
  NSFigureDescDataSource* source = w->getFigureDescDataSource();
  NSFigureTableView* table = w->getFigureDescDataView();
  const auto pts = clickedPoints(view);
  ASSERT_EQ(pts.size(), 2u);
  const int line = source->lineOfObject(pts[1]);
  ASSERT_GT(line, 0);
  EXPECT_FALSE(source->index(line - 1, 1).data().toString().isEmpty());

  const QImage before = shown(view);
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(source->index(line - 1, 0)).center());
  spin(20);
  kelvo_win_info* fig = view->info();
  ASSERT_EQ(objlist_count(fig->selection), 1);
  EXPECT_EQ(fig->selection->items[0], pts[1]);
  // The selected point blinks in the view; the other one stays as it was.
  bool b_changed = false, a_changed = false;
  waitUntil([&] {
    const QImage now = view->viewImage();
    b_changed = b_changed || differsNear(before, now, b, 6);
    a_changed = a_changed || differsNear(before, now, a, 6);
    return b_changed;
  });
  EXPECT_TRUE(b_changed);
  EXPECT_FALSE(a_changed);
}

TEST_F(EndToEndConstruction, ReplayHidesTheLastStepsInTheViewAndCancelShowsThem) {
  const std::vector<QPoint> at = {{60, 60}, {120, 90}, {180, 120}, {240, 150}, {300, 180}};
  KPFigureView* view = figureFromFile(at);
  ASSERT_NE(view, nullptr);
  KPFigureWindow* w = windowOf(view);
  ASSERT_NE(w, nullptr);
  const QImage before = shown(view);
  for (const QPoint& p : at) ASSERT_GT(inkNear(before, p), 0);
  bool ran = false;
  // The script waits for the panel to be up, however busy the machine.
  QTimer poll;
  int tries = 0;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    NSReplayConstrController* panel = NSReplayConstrController::running();
    if (!panel && ++tries < 1500) return;
    poll.stop();
    ASSERT_NE(panel, nullptr);
    ran = true;
    QTest::mouseClick(panel->button(kReplayLast), Qt::LeftButton);
    QTest::mouseClick(panel->button(kReplayPrevious), Qt::LeftButton);
    QTest::mouseClick(panel->button(kReplayPrevious), Qt::LeftButton);
    spin(10);
    const QImage during = shown(view);
    EXPECT_EQ(inkNear(during, at[4]), 0);
    EXPECT_EQ(inkNear(during, at[3]), 0);
    EXPECT_GT(inkNear(during, at[0]), 0);
    EXPECT_GT(inkNear(during, at[2]), 0);
    QTest::mouseClick(panel->button(IDCANCEL), Qt::LeftButton);
  });
  poll.start();
  ASSERT_TRUE(clickMenuItem(w->menuBar(), QStringLiteral("Edit"), QStringLiteral("Replay Construction")));
  spin(20);
  EXPECT_TRUE(ran);
  EXPECT_FALSE(replay_running);
  const QImage after = shown(view);
  for (const QPoint& p : at) EXPECT_GT(inkNear(after, p), 0);
}

}  // namespace
