// What an appearance tool applies follows the attribute menus that the
// colour palette shows: a menu the user adds from the attribute bar is
// applied with the tool's own, one the user closes no longer is.
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <string>

#include "app/panels/color_palette_panel.h"
#include "app/panels/tool_menu_services.h"
#include "app/panels/tools_palette.h"
#include "app/support/figure_test.h"
#include "kernel/render/color_palette.h"
#include "kernel/render/colors.h"

namespace {

class AttributeMask : public FigureTest {
 protected:
  void TearDown() override {
    if (NSShowPalette::exists()) NSShowPalette::destroy();
    std::fill(std::begin(attrib_menu_shown), std::end(attrib_menu_shown), 0);
    FigureTest::TearDown();
  }
  static int cellOf(const char* name) { return color_index_by_value(color_by_name(name)); }
  static void clickCell(NSShowPalette* palette, int index) {
    const palette_point cell = palette_cell_centre(index);
    QTest::mouseClick(palette->paletteView(), Qt::LeftButton, {}, QPoint(int(cell.x), int(cell.y)));
    spin(10);
  }
};

}  // namespace

TEST_F(AttributeMask, AThicknessChosenBesideThePenColourIsAppliedWithIt) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  drawSegment(view, QPoint(100, 100), QPoint(220, 160));
  const std::vector<object*> segments = objectsOf(view->info(), &classe_segment);
  ASSERT_EQ(segments.size(), 1u);
  object* segment = segments[0];
  const uint8_t thickness_before = segment->settings.thickness;

  pickFromPalette(find_tool_id_by_name("Color"));
  ASSERT_TRUE(NSShowPalette::exists());
  NSShowPalette* palette = NSShowPalette::shared();
  const int red = cellOf("Red");
  clickCell(palette, red);

  // The thickness menu of the attribute bar: its release chooses its item
  // and the palette shows the thickness row from then on.
  ASSERT_NE(attrib_menus[4], nullptr);
  auto* thickness = static_cast<QWidget*>(attrib_menus[4]->view);
  ASSERT_NE(thickness, nullptr);
  QTest::mouseClick(thickness, Qt::LeftButton, {}, QPoint(5, 5));
  spin(10);
  ASSERT_NE(palette->row(4), nullptr);
  ASSERT_TRUE(palette->row(4)->isVisible());
  const int item = thickness_before + 1 == 3 ? 2 : 3;
  QToolButton* b = palette->rowButton(4, item);
  ASSERT_NE(b, nullptr);
  QTest::mouseClick(b, Qt::LeftButton);
  spin(10);

  // Still the colour tool: one click on the segment gives it both.
  click(view, QPoint(160, 130));
  EXPECT_EQ(segment->settings.Color, color_by_index(red));
  EXPECT_EQ(segment->settings.thickness, item - 1);
}
