// Toolbox Configuration used from the figure window's View menu as a user
// uses it: tools dragged into the Trash, Revert, and the ways out of the
// window, which always give the menus and the sheet back.
#include <QAction>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/window/figure_events.h"
#include "app/panels/tools_config_window.h"
#include "app/panels/tools_palette.h"
#include "app/panels/tools_pull_down.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/tools/toolbox.h"

namespace {

class ToolboxConfiguration : public FigureTest {
 protected:
  static std::vector<std::string> namesOf(const menu* m) {
    std::vector<std::string> names;
    for (int j = 1; m && m->names && m->names[j]; ++j) names.emplace_back(m->names[j]);
    return names;
  }
  static NSGeoToolsMenu* buttonOf(int index) { return static_cast<NSGeoToolsMenu*>(tool_menus[index]->view); }
  // A figure window, and View > Toolbox Configuration... chosen in it.
  void enterConfiguration(KPFigureView** view, KPFigureWindow** window) {
    *view = openView();
    ASSERT_NE(*view, nullptr);
    *window = KPDocument::currentDocument()->figureWindow();
    ASSERT_TRUE(clickMenuItem((*window)->menuBar(), QStringLiteral("View"), QStringLiteral("Toolbox Configuration")));
    spin(20);
  }
  // Opens the list of a toolbox with the mouse: a click selects the
  // toolbox, a second one opens its list.
  static NSGeoToolsPullDownController* openList(int index) {
    NSGeoToolsMenu* b = buttonOf(index);
    const QPoint at = b->rect().center();
    QTest::mouseClick(b, Qt::LeftButton, {}, at);
    spin(10);
    if (!NSGeoToolsPullDownController::openPullDown()) {
      QTest::mouseClick(buttonOf(index), Qt::LeftButton, {}, at);
      spin(10);
    }
    return NSGeoToolsPullDownController::openPullDown();
  }
  // Presses on item `item` (from 0) of the open list, moves to the Trash
  // and releases there.
  static void dragItemToTrash(NSGeoToolsPullDownController* list, int item) {
    NSGeoToolsPullDown* items = list->view();
    const QPoint on = list->cells()[static_cast<size_t>(item)]->getRect().center().toPoint();
    QMouseEvent move(QEvent::MouseMove, on, items->mapToGlobal(on), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(items, &move);
    QTest::mousePress(items, Qt::LeftButton, {}, on);
    auto* trash = static_cast<NSGeoToolsMenu*>(trash_toolbox->view);
    const QPoint target = trash->mapToGlobal(trash->rect().center());
    QTest::mouseMove(items, items->mapFromGlobal(target));
    QTest::mouseRelease(items, Qt::LeftButton, {}, items->mapFromGlobal(target));
    spin(10);
  }
};

}  // namespace

TEST_F(ToolboxConfiguration, RevertKeepsTheWindowAndTheListsWorkingAndTheTrashTakesTheToolDragged) {
  KPFigureView* view = nullptr;
  KPFigureWindow* window = nullptr;
  ASSERT_NO_FATAL_FAILURE(enterConfiguration(&view, &window));
  NSToolsWindowController* dialog = NSToolsWindowController::shared();
  ASSERT_TRUE(dialog->isVisible());
  ASSERT_EQ(config_mode, 1);
  const std::vector<std::string> lines = namesOf(tool_menus[2]);
  ASSERT_GE(lines.size(), 3u);

  NSGeoToolsPullDownController* list = openList(2);
  ASSERT_NE(list, nullptr);
  dragItemToTrash(list, 2);
  std::vector<std::string> expected = lines;
  expected.erase(expected.begin() + 2);
  EXPECT_EQ(namesOf(tool_menus[2]), expected);
  EXPECT_EQ(namesOf(trash_toolbox), std::vector<std::string>{lines[2]});

  QTest::mouseClick(dialog->button(NSToolsWindowController::kRevert), Qt::LeftButton);
  spin(20);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(config_mode, 1);
  EXPECT_EQ(namesOf(tool_menus[2]), lines);

  // The lists open again, and the same drag does the same.
  list = openList(2);
  ASSERT_NE(list, nullptr);
  dragItemToTrash(list, 2);
  EXPECT_EQ(namesOf(tool_menus[2]), expected);
  EXPECT_EQ(namesOf(trash_toolbox), std::vector<std::string>{lines[2]});

  QTest::mouseClick(dialog->button(NSToolsWindowController::kCancel), Qt::LeftButton);
  spin(20);
  EXPECT_EQ(config_mode, 0);
  EXPECT_EQ(namesOf(tool_menus[2]), lines);
}

// Under a window system the release that ends a drag can go astray when the
// list under the mouse changes: the drag then ends at the first move made
// with the button up, and a drag left hanging never acts on a later click.
TEST_F(ToolboxConfiguration, ADragWhoseReleaseWentAstrayEndsAndNeverActsOnALaterClick) {
  KPFigureView* view = nullptr;
  KPFigureWindow* window = nullptr;
  ASSERT_NO_FATAL_FAILURE(enterConfiguration(&view, &window));
  NSToolsWindowController* dialog = NSToolsWindowController::shared();
  NSKelvoToolsPanelView* palette = NSKelvoToolsPanel::sharedPanel()->view();
  const std::vector<std::string> lines = namesOf(tool_menus[2]);
  auto* trash = static_cast<NSGeoToolsMenu*>(trash_toolbox->view);
  const QPoint on_trash = trash->rect().center();

  // Pressed on an item, moved onto the Trash, released where nothing hears
  // it; the next move, button up, ends the drag there.
  NSGeoToolsPullDownController* list = openList(2);
  ASSERT_NE(list, nullptr);
  {
    NSGeoToolsPullDown* items = list->view();
    const QPoint on = list->cells()[2]->getRect().center().toPoint();
    QTest::mousePress(items, Qt::LeftButton, {}, on);
    ASSERT_TRUE(palette->toolDragActive());
    QMouseEvent drag(QEvent::MouseMove, on_trash, trash->mapToGlobal(on_trash), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(trash, &drag);
    spin(10);
    trash = static_cast<NSGeoToolsMenu*>(trash_toolbox->view);
    QMouseEvent up(QEvent::MouseMove, on_trash + QPoint(1, 0), trash->mapToGlobal(on_trash + QPoint(1, 0)),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(trash, &up);
    spin(20);
  }
  EXPECT_FALSE(palette->toolDragActive());
  std::vector<std::string> expected = lines;
  expected.erase(expected.begin() + 2);
  EXPECT_EQ(namesOf(tool_menus[2]), expected);
  EXPECT_EQ(namesOf(trash_toolbox), std::vector<std::string>{lines[2]});

  // A drag still hanging when Revert puts the toolboxes back is forgotten:
  // the clicks after it open a list and move nothing.
  list = openList(2);
  ASSERT_NE(list, nullptr);
  QTest::mousePress(list->view(), Qt::LeftButton, {}, list->cells()[0]->getRect().center().toPoint());
  ASSERT_TRUE(palette->toolDragActive());
  QTest::mouseClick(dialog->button(NSToolsWindowController::kRevert), Qt::LeftButton);
  spin(20);
  EXPECT_FALSE(palette->toolDragActive());
  const std::vector<std::string> reverted = namesOf(tool_menus[3]);
  list = openList(3);
  EXPECT_NE(list, nullptr);
  EXPECT_EQ(namesOf(tool_menus[2]), lines);
  EXPECT_EQ(namesOf(tool_menus[3]), reverted);
  EXPECT_TRUE(namesOf(trash_toolbox).empty());
  QTest::mouseClick(dialog->button(NSToolsWindowController::kCancel), Qt::LeftButton);
  spin(20);
}

// Escape in the configuration window is its Cancel: the window goes, and the
// menus and the sheet come back; the window stays above the figure windows.
TEST_F(ToolboxConfiguration, EscapeLeavesTheConfigurationAndGivesTheMenusBack) {
  KPFigureView* view = nullptr;
  KPFigureWindow* window = nullptr;
  ASSERT_NO_FATAL_FAILURE(enterConfiguration(&view, &window));
  NSToolsWindowController* dialog = NSToolsWindowController::shared();
  ASSERT_TRUE(dialog->isVisible());
  EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
  for (QAction* a : window->menuBar()->actions())
    if (a->menu()) EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
  QTest::keyClick(dialog, Qt::Key_Escape);
  spin(20);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(config_mode, 0);
  EXPECT_EQ(trash_toolbox == nullptr || trash_toolbox->view == nullptr ||
                !static_cast<QWidget*>(trash_toolbox->view)->isVisible(),
            true);
  for (QAction* a : window->menuBar()->actions())
    if (a->menu()) EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
  // The sheet takes clicks again: the segment tool builds a segment.
  pickFromPalette(&classe_segment);
  click(view, QPoint(100, 200));
  click(view, QPoint(250, 200));
  EXPECT_EQ(objectsOf(view->info(), &classe_segment).size(), 1u);
}

// A configuration kept behind a password: the prompt opens with the cursor
// in its field, a wrong password and Return ask again, the right one and
// Return open the window as its OK button does, and the ways out leave no
// Trash behind.
TEST_F(ToolboxConfiguration, ThePasswordPromptTakesTheTypingAndReturnIsItsOk) {
  KPFigureView* view = nullptr;
  KPFigureWindow* window = nullptr;
  ASSERT_NO_FATAL_FAILURE(enterConfiguration(&view, &window));
  NSToolsWindowController* dialog = NSToolsWindowController::shared();
  ASSERT_TRUE(dialog->isVisible());
  auto trash_count = [] {
    int n = 0;
    for (int i = 0; tool_menus && tool_menus[i]; ++i) n += tool_menus[i] == trash_toolbox;
    return n;
  };
  // The password is set in the window and kept by its OK.
  QTest::keyClicks(dialog->definePassword(), QStringLiteral("secret"));
  QTest::mouseClick(dialog->button(NSToolsWindowController::kOk), Qt::LeftButton);
  spin(20);
  ASSERT_EQ(config_mode, 0);
  ASSERT_TRUE(dialog->passwordProtection());
  // OK takes the Trash off the palette, its button with it.
  auto trash_button_shown = [] {
    auto* b = trash_toolbox ? static_cast<QWidget*>(trash_toolbox->view) : nullptr;
    return b && b->isVisible();
  };
  EXPECT_EQ(trash_count(), 0);
  EXPECT_FALSE(trash_button_shown()) << "the Trash stays on the palette after OK";
  const std::vector<std::string> first = namesOf(tool_menus[0]);

  ASSERT_TRUE(clickMenuItem(window->menuBar(), QStringLiteral("View"), QStringLiteral("Toolbox Configuration")));
  spin(20);
  QDialog* prompt = dialog->passwordSheet();
  ASSERT_TRUE(prompt->isVisible());
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(prompt->focusWidget(), dialog->enterPassword()) << "the prompt opens without the cursor in its field";

  // Typed where the cursor is; a wrong password and Return ask again.
  QWidget* typing = prompt->focusWidget() ? prompt->focusWidget() : dialog->enterPassword();
  QTest::keyClicks(typing, QStringLiteral("wrong"));
  QTest::keyClick(typing, Qt::Key_Return);
  spin(200);
  EXPECT_TRUE(prompt->isVisible());
  EXPECT_TRUE(dialog->enterPassword()->text().isEmpty());
  EXPECT_EQ(config_mode, 0);

  // The right one and Return: the window opens, the Trash on the toolbar once.
  QTest::keyClicks(typing, QStringLiteral("secret"));
  QTest::keyClick(typing, Qt::Key_Return);
  QElapsedTimer waited;
  waited.start();
  while (!(dialog->isVisible() && config_mode == 1) && waited.elapsed() < 3000) spin(20);
  EXPECT_TRUE(dialog->isVisible()) << "Return did not do what OK does";
  EXPECT_FALSE(prompt->isVisible());
  EXPECT_EQ(config_mode, 1);
  EXPECT_EQ(trash_count(), 1);
  // A second OK of the prompt, had it come, changes nothing.
  dialog->iconOrganizerCommand(NSToolsWindowController::kPasswordOk);
  EXPECT_EQ(trash_count(), 1);

  QTest::mouseClick(dialog->button(NSToolsWindowController::kCancel), Qt::LeftButton);
  spin(20);
  EXPECT_EQ(config_mode, 0);
  EXPECT_EQ(trash_count(), 0);
  EXPECT_FALSE(trash_button_shown());
  EXPECT_EQ(namesOf(tool_menus[0]), first);
  for (QAction* a : window->menuBar()->actions())
    if (a->menu()) EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
  // The password lasts as long as the window: the next tests start without.
  NSToolsWindowController::destroy();
}
