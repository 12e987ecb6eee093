// The tools palette's bars as a user meets them: they follow the screen when
// its size or arrangement changes, keeping the tool shown as chosen, and a
// toolbox list released away from the palette does not stand in the way of
// the next toolbox.
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "app/panels/menu_cell.h"
#include "app/panels/tools_palette.h"
#include "app/panels/tools_pull_down.h"
#include "app/support/figure_test.h"
#include "kernel/tools/toolbox.h"

namespace {

class EndToEndPaletteBars : public FigureTest {
 protected:
  static NSGeoToolsMenu* buttonOf(const construct_class* cls) {
    menu* group = find_tool_menu(static_cast<int16_t>(tool_group(find_tool_id_by_name(cls->name))));
    return group ? static_cast<NSGeoToolsMenu*>(group->view) : nullptr;
  }
};

// Each of the screen's signals rebuilds the bars to the screen as it is now,
// the toolbox in use still shown selected on the tool in use.
TEST_F(EndToEndPaletteBars, EveryChangeOfTheScreensRebuildsTheBarsToTheScreen) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_mediatrice);
  ASSERT_EQ(current_class, &classe_mediatrice);
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  NSKelvoToolsPanel* palette = NSKelvoToolsPanel::sharedPanel();
  const QRect desktop = NSKelvoToolsPanelView::getDesktopRect();

  struct Change {
    const char* what;
    std::function<void()> fire;
  };
  const std::vector<Change> changes = {
      {"geometry", [screen] { Q_EMIT screen->geometryChanged(screen->geometry()); }},
      {"available geometry", [screen] { Q_EMIT screen->availableGeometryChanged(screen->availableGeometry()); }},
      {"primary screen", [screen] { Q_EMIT qApp->primaryScreenChanged(screen); }},
      {"screen added", [screen] { Q_EMIT qApp->screenAdded(screen); }},
      {"screen removed", [screen] { Q_EMIT qApp->screenRemoved(screen); }},
  };
  for (const Change& change : changes) {
    QPointer<NSGeoToolsMenu> before = buttonOf(&classe_mediatrice);
    ASSERT_NE(before, nullptr) << change.what;
    const int item = before->getSelectedItemIndex();
    // The palette as an earlier screen left it.
    palette->setGeometry(0, 0, desktop.width() / 2, desktop.height() / 3);
    change.fire();
    // The rebuild comes on a later turn of the loop and the old buttons go
    // after it: wait for them, however slowly a busy machine gets there.
    QElapsedTimer waited;
    waited.start();
    while (before && waited.elapsed() < 20000) spin(10);
    EXPECT_TRUE(before.isNull()) << change.what << ": the bars were not rebuilt";
    EXPECT_EQ(palette->size(), desktop.size()) << change.what;
    EXPECT_EQ(palette->view()->topRect().width(), desktop.width()) << change.what;
    EXPECT_EQ(palette->view()->sideRect().height(), desktop.height()) << change.what;
    NSGeoToolsMenu* after = buttonOf(&classe_mediatrice);
    ASSERT_NE(after, nullptr) << change.what;
    EXPECT_TRUE(after->isVisible()) << change.what;
    EXPECT_EQ(after->kelvoMenuState(), 1) << change.what;
    EXPECT_EQ(after->getSelectedItemIndex(), item) << change.what;
    EXPECT_EQ(after->highlightedIndex(), item) << change.what;
  }
  // The tool in use is the one the palette shows.
  EXPECT_EQ(current_class, &classe_mediatrice);
}

// A list opened by holding a toolbox and released over the figure closes:
// the next toolbox pressed and held opens its own list.
TEST_F(EndToEndPaletteBars, AListReleasedOverTheFigureLeavesTheNextToolboxItsList) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, nullptr);
  NSGeoToolsMenu* lines = buttonOf(&classe_droite);
  NSGeoToolsMenu* circles = buttonOf(&classe_cercle);
  ASSERT_NE(lines, nullptr);
  ASSERT_NE(circles, nullptr);
  ASSERT_NE(lines, circles);
  auto hold_open = [](NSGeoToolsMenu* b) {
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    QElapsedTimer waited;
    waited.start();
    while (!NSGeoToolsPullDownController::openPullDown() && waited.elapsed() < 3000) spin(20);
    return NSGeoToolsPullDownController::openPullDown();
  };
  NSGeoToolsPullDownController* list = hold_open(lines);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->getOwner(), lines);
  // Released over the middle of the figure, away from the bars and the list.
  const QPoint over_figure = view->mapToGlobal(view->rect().center());
  ASSERT_FALSE(list->view()->frameGeometry().contains(over_figure));
  QTest::mouseRelease(lines, Qt::LeftButton, {}, lines->mapFromGlobal(over_figure));
  spin(20);
  EXPECT_EQ(NSGeoToolsPullDownController::openPullDown(), nullptr) << "the list stays open over the figure";

  // The pointer goes back up to the bars and onto the circles' toolbox.
  QEnterEvent enter(QPointF(5, 5), circles->mapToGlobal(QPointF(5, 5)), circles->mapToGlobal(QPointF(5, 5)));
  QApplication::sendEvent(circles, &enter);
  list = hold_open(circles);
  ASSERT_NE(list, nullptr) << "the next toolbox opens no list";
  EXPECT_EQ(list->getOwner(), circles);
  QTest::mouseRelease(circles, Qt::LeftButton, {}, QPoint(5, 5));
  spin(10);
  NSGeoToolsPullDownController::destroyPullDown();
}

// A colour button shows its colour in a band along its icon's foot, the
// rest of the icon as drawn.
TEST_F(EndToEndPaletteBars, AColourButtonShowsItsColourAlongTheIconsFoot) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  ASSERT_NE(attrib_menus[0], nullptr);
  auto* pen = static_cast<NSGeoToolsMenu*>(attrib_menus[0]->view);
  ASSERT_NE(pen, nullptr);
  const int s = tools_palette_icon_size();
  for (const QColor c : {QColor(255, 0, 0), QColor(0, 0, 255)}) {
    pen->setColor(c);
    const QImage face = pen->grab().toImage();
    // The band: from the icon's foot a quarter of its height up.
    const QPoint in_band(2 + s / 2, 2 + s - s / 8 - 1);
    EXPECT_EQ(face.pixelColor(in_band), c) << c.name().toStdString();
    EXPECT_NE(face.pixelColor(2 + s / 2, 2 + s / 4), c) << c.name().toStdString();
  }
}

}  // namespace
