// Panels open wholly on the screen and show their whole titles: the colour
// palette that grows beside a wide figure window stays on the screen, and
// the animation, calculator and palette panels are as wide as their titles.
#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

#include "app/panels/anim_panel.h"
#include "app/panels/calculator_panel.h"
#include "app/panels/color_palette_panel.h"
#include "app/panels/panel_placement.h"
#include "app/support/figure_test.h"
#include "kernel/window/anim_panel.h"

namespace {

class PanelPlacement : public FigureTest {
 protected:
  void TearDown() override {
    close_anim_panel();
    if (KPCalculatorPanel* calculator = calculator_panel()) calculator->close();
    if (NSShowPalette::exists()) NSShowPalette::shared()->close();
    spin(10);
    FigureTest::TearDown();
  }
  static uint32_t rowTool(int row) { return find_tool_id_by_name(toolbar_table[row - 1].name); }
  static void expectOnTheScreen(const QWidget* panel) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(panel->frameGeometry()))
        << panel->windowTitle().toStdString() << " at " << panel->frameGeometry().x() << ", width "
        << panel->frameGeometry().width() << ", on a screen " << screen.width() << " wide";
  }
  // The title bar holds the title, in a bold face, beside the window's
  // icon and its three buttons.
  static void expectTitleShown(const QWidget* panel) {
    QFont bold = QApplication::font();
    bold.setBold(true);
    const int title = QFontMetrics(bold).horizontalAdvance(panel->windowTitle());
    EXPECT_GE(panel->frameGeometry().width(), title + 4 * 20) << panel->windowTitle().toStdString();
  }
};

TEST_F(PanelPlacement, ThePaletteStaysOnTheScreenAsItGrows) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  // The figure window leaves room beside it for the thickness row only.
  QWidget* figure = view->window();
  const QRect area = free_panel_area();
  figure->move(area.topLeft());
  figure->resize(area.width() - 240, 400);
  spin(10);
  // The group's button first gives the tool an earlier test left in use,
  // which may open the wider colour palette: the thickness row is made the
  // tool in use, and the palette is opened anew.
  pickFromPalette(rowTool(ROW_THICK));
  if (NSShowPalette::exists()) {
    NSShowPalette::shared()->close();
    NSShowPalette::destroy();
  }

  pickFromPalette(rowTool(ROW_THICK));
  ASSERT_TRUE(NSShowPalette::exists());
  NSShowPalette* palette = NSShowPalette::shared();
  ASSERT_TRUE(palette->isVisible());
  const int narrow = palette->frameGeometry().width();
  EXPECT_GE(palette->frameGeometry().left(), figure->frameGeometry().right())
      << "not beside the figure: palette " << palette->frameGeometry().x() << "+" << palette->frameGeometry().width()
      << ", area " << area.x() << "+" << area.width() << ", figure " << figure->frameGeometry().x() << "+"
      << figure->frameGeometry().width();
  expectOnTheScreen(palette);

  pickFromPalette(rowTool(ROW_COLOR));
  spin(20);
  ASSERT_TRUE(palette->isVisible());
  ASSERT_GT(palette->frameGeometry().width(), narrow);
  expectOnTheScreen(palette);
}

// A panel the user maximises keeps the place the window system gives it,
// even where that covers the tools palette, and goes back to its place.
TEST_F(PanelPlacement, AMaximisedPanelIsNotMovedAside) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_calculate);
  KPCalculatorPanel* calculator = calculator_panel();
  ASSERT_NE(calculator, nullptr);
  ASSERT_TRUE(calculator->isVisible());
  ASSERT_GT(free_panel_area().left(), QGuiApplication::primaryScreen()->availableGeometry().left());
  calculator->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  calculator->showMaximized();
  spin(20);
  // As on each resize the window system reports.
  keep_shown_window_placed(calculator);
  spin(20);
  EXPECT_EQ(calculator->frameGeometry().left(), QGuiApplication::primaryScreen()->availableGeometry().left());
  calculator->showNormal();
  spin(20);
  // The maximised size may come before the maximised state: a panel as
  // large as the screen is left where it is too.
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  calculator->setGeometry(screen.marginsRemoved(QMargins(0, 30, 0, 0)));
  spin(20);
  EXPECT_EQ(calculator->frameGeometry().left(), screen.left());
}

TEST_F(PanelPlacement, PanelsAreAsWideAsTheirTitles) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_spring);
  NSAnimPanelController* anim = NSAnimPanelController::existing();
  ASSERT_NE(anim, nullptr);
  ASSERT_TRUE(anim->isVisible());
  ASSERT_FALSE(anim->windowTitle().isEmpty());
  expectTitleShown(anim);
  expectOnTheScreen(anim);

  pickFromPalette(&classe_calculate);
  KPCalculatorPanel* calculator = calculator_panel();
  ASSERT_NE(calculator, nullptr);
  expectTitleShown(calculator);
  expectOnTheScreen(calculator);

  pickFromPalette(rowTool(ROW_TEXT_COLOR));
  ASSERT_TRUE(NSShowPalette::exists());
  expectTitleShown(NSShowPalette::shared());
  expectOnTheScreen(NSShowPalette::shared());
}

}  // namespace
