// Figure windows and the tools palette: a window moved up under the palette
// comes back below it, and a maximised window fills the free area beside
// and below the palette, its menu bar in sight.
#include <QMenuBar>
#include <gtest/gtest.h>

#include "app/panels/tools_palette.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"

namespace {
using WindowPlacement = FigureTest;
}  // namespace

TEST_F(WindowPlacement, AWindowStaysBelowTheToolsPalette) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  KPFigureWindow* window = view->figureWindow();
  const int bar = NSKelvoToolsPanelView::getFigureWindowPosition().y();
  ASSERT_GT(bar, 0);
  for (const QPoint to : {QPoint(300, 0), QPoint(200, bar / 2), QPoint(250, bar + 40)}) {
    window->move(to);
    spin(30);
    EXPECT_GE(window->frameGeometry().top(), bar) << to.y();
    EXPECT_EQ(window->frameGeometry().left(), to.x());
  }
  EXPECT_EQ(window->frameGeometry().top(), bar + 40);  // a window lower down stays where it was put
}

TEST_F(WindowPlacement, AMaximisedWindowKeepsItsMenuBarInSight) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  KPFigureWindow* window = view->figureWindow();
  const QPoint corner = NSKelvoToolsPanelView::getFigureWindowPosition();
  const QRect desk = NSKelvoToolsPanelView::getDesktopRect();
  window->showMaximized();
  spin(100);
  EXPECT_FALSE(window->isMaximized());
  const QRect frame = window->frameGeometry();
  EXPECT_EQ(frame.topLeft(), corner);
  EXPECT_NEAR(frame.right(), desk.right(), 1);
  EXPECT_NEAR(frame.bottom(), desk.bottom(), 1);
  EXPECT_GE(window->menuBar()->mapToGlobal(QPoint(0, 0)).y(), corner.y());
}
