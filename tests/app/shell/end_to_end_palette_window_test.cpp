// The colour palette's cells are its window: they show the colour menu's
// icon in a small square, a click chooses the cell on top, and closing the
// palette forgets the menus it showed.
#include <QImage>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/panels/color_palette_panel.h"
#include "app/panels/tool_menu_services.h"
#include "app/panels/tools_palette.h"
#include "app/support/figure_test.h"
#include "kernel/render/color_palette.h"
#include "kernel/render/colors.h"
#include "kernel/tools/toolbox.h"

namespace {

class PaletteWindow : public FigureTest {
 protected:
  void TearDown() override {
    if (NSShowPalette::exists()) NSShowPalette::destroy();
    std::fill(std::begin(attrib_menu_shown), std::end(attrib_menu_shown), 0);
    FigureTest::TearDown();
  }
  static bool black(const QImage& image, int x, int y) {
    return (image.pixel(x, y) & 0xFFFFFF) == (qRgb(0, 0, 0) & 0xFFFFFF);
  }
};

}  // namespace

TEST_F(PaletteWindow, TheCellsShowTheColourMenusIconAndClosingForgetsTheMenus) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(find_tool_id_by_name("Color"));
  ASSERT_TRUE(NSShowPalette::exists());
  NSShowPalette* palette = NSShowPalette::shared();
  NSPaletteView* cells = palette->paletteView();
  ASSERT_TRUE(cells->isVisible());
  ASSERT_EQ(attrib_menu_shown[0], 1);

  // The pen colour menu's icon, framed, at the top left of the cells.
  QImage shown = cells->grab().toImage();
  EXPECT_TRUE(black(shown, 2, 24) && black(shown, 21, 24) && black(shown, 12, 14) && black(shown, 12, 33));
  EXPECT_FALSE(black(shown, 1, 24));

  // The thickness menu of the attribute bar joins the palette. The corner
  // square then lies under the cells: a click there chooses the cell on top
  // and the colour part stays.
  ASSERT_NE(attrib_menus[4], nullptr);
  QTest::mouseClick(static_cast<QWidget*>(attrib_menus[4]->view), Qt::LeftButton, {}, QPoint(5, 5));
  spin(10);
  ASSERT_TRUE(palette->row(4) && palette->row(4)->isVisible());
  ASSERT_TRUE(cells->isVisible());
  const int32_t b = toolbox_layout.button_height;
  const QPoint square(2 * b + 9 - 4, b + 4);
  const int cell = palette_window_cell_at(square.x(), square.y());
  ASSERT_NE(cell, 0);
  QTest::mouseClick(cells, Qt::LeftButton, {}, square);
  spin(10);
  EXPECT_EQ(palette_color_index, cell - 1) << "the chosen cell is shown pressed";
  EXPECT_EQ(palette->currentColor(0), color_by_index(cell - 1));
  EXPECT_EQ(attrib_menu_shown[0], 1);
  EXPECT_TRUE(cells->isVisible());

  // Closing the palette forgets what it showed.
  palette->sendMessage(16, 0, 0);
  spin(10);
  EXPECT_FALSE(palette->isVisible());
  EXPECT_EQ(attrib_menu_shown[4], 0);
  EXPECT_EQ(color_palette_window, nullptr);
}
