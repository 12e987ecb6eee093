#include "app/panels/color_palette_panel.h"
#include "app/support/kernel_state.h"

#include <QApplication>
#include <QColorDialog>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "app/panels/tool_menu_services.h"
#include "app/panels/tools_palette.h"
#include "app/panels/tools_pull_down.h"
#include "kernel/model/classes.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/color_palette.h"
#include "kernel/render/colors.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "kernel/tools/toolbox.h"

namespace {

std::vector<std::pair<uint32_t, uint32_t>>& actions() {
  static std::vector<std::pair<uint32_t, uint32_t>> sent;
  return sent;
}

class ColorPalettePanel : public ::testing::Test {
 protected:
  void SetUp() override {
    init_color_table();
    take_down_tools_and_classes();
    init_construct_classes();
    init_tool_names_and_help();
    toolbar_icon_size = 32;
    set_tool_action_sink([](uint32_t id, uint32_t color) { actions().emplace_back(id, color); });
    start_tools_palette();
    std::fill(std::begin(attrib_menu_shown), std::end(attrib_menu_shown), 0);
    palette_ = NSShowPalette::shared();
    actions().clear();
  }
  void TearDown() override {
    take_down_tools_and_classes();
    set_tool_action_sink(nullptr);
    set_back_color_responder(nullptr);
    std::fill(std::begin(attrib_menu_shown), std::end(attrib_menu_shown), 0);
  }
  void show(std::initializer_list<int> menus) {
    std::fill(std::begin(attrib_menu_shown), std::end(attrib_menu_shown), 0);
    for (int m : menus) attrib_menu_shown[m] = 1;
    palette_->paint(nullptr);
  }
  void clickCell(int index) {
    const palette_point c = palette_cell_centre(index);
    QTest::mouseClick(palette_->paletteView(), Qt::LeftButton, {}, QPoint(int(c.x), int(c.y)));
  }
  static int indexOf(const char* name) {
    for (int i = 0; i < kPaletteCells; ++i)
      if (std::string(color_name_by_index(i)) == name) return i;
    return -1;
  }
  NSShowPalette* palette_ = nullptr;
};

}  // namespace

TEST_F(ColorPalettePanel, NothingToShowClosesThePanel) {
  set_palette_flags(0x0204, "Colour");
  EXPECT_TRUE(palette_->isVisible());
  EXPECT_EQ(attrib_menu_shown[0] + attrib_menu_shown[1], 2);
  EXPECT_EQ(attrib_menu_shown[2] + attrib_menu_shown[3] + attrib_menu_shown[4], 0);
  EXPECT_EQ(palette_->windowTitle(), QStringLiteral("Colour"));
  EXPECT_NE(color_palette_window, nullptr);
  show({});
  EXPECT_FALSE(palette_->isVisible());
  EXPECT_EQ(color_palette_window, nullptr);
}

TEST_F(ColorPalettePanel, OnlyTheShownRowsAppearWithoutAColourMenu) {
  show({4, 5});
  ASSERT_NE(palette_->row(4), nullptr);
  EXPECT_TRUE(palette_->isVisible());
  EXPECT_TRUE(palette_->row(4)->isVisible());
  EXPECT_TRUE(palette_->row(5)->isVisible());
  for (int i = 3; i < kAttributeMenuCount; ++i)
    if (i != 4 && i != 5 && palette_->row(i)) EXPECT_FALSE(palette_->row(i)->isVisible()) << i;
  EXPECT_FALSE(palette_->colorWell()->isVisible());
  EXPECT_FALSE(palette_->iconButton()->isVisible());
  EXPECT_FALSE(palette_->closePaletteButton()->isVisible());
  EXPECT_FALSE(palette_->paletteView()->isVisible());
}

TEST_F(ColorPalettePanel, ACellClickColoursOnlyTheActiveMenuAndEachMenuKeepsItsColour) {
  const int red = indexOf("Red"), blue = indexOf("Blue");
  ASSERT_GE(red, 0);
  ASSERT_GE(blue, 0);
  show({0, 4});
  EXPECT_TRUE(palette_->colorWell()->isVisible());
  clickCell(red);
  ASSERT_EQ(actions().size(), 1u);
  EXPECT_EQ(actions()[0].first, make_tool_id(1001, 0));
  EXPECT_EQ(actions()[0].second, color_by_index(red));
  EXPECT_EQ(palette_->currentColor(0), color_by_index(red));
  EXPECT_EQ(palette_->currentColor(1), default_color);

  show({1});
  EXPECT_EQ(palette_color_index, 40);  // the fill's own colour, black
  clickCell(blue);
  EXPECT_EQ(actions().back().first, make_tool_id(1002, 0));
  show({0});
  EXPECT_EQ(palette_color_index, red);
  EXPECT_EQ(palette_->currentColor(1), color_by_index(blue));

  // A click between the cells sends nothing.
  actions().clear();
  QTest::mouseClick(palette_->paletteView(), Qt::LeftButton, {}, QPoint(245, 255));
  EXPECT_TRUE(actions().empty());
}

TEST_F(ColorPalettePanel, ARowClickChoosesItsItemAndMovesNoView) {
  show({4});
  QToolButton* b = palette_->rowButton(4, 2);
  ASSERT_NE(b, nullptr);
  const QRect before = b->geometry();
  const QRect panel = palette_->geometry();
  QTest::mouseClick(b, Qt::LeftButton);
  EXPECT_EQ(b->geometry(), before);
  EXPECT_EQ(palette_->geometry(), panel);
  EXPECT_TRUE(b->isChecked());
  ASSERT_FALSE(actions().empty());
  EXPECT_EQ(actions().back().first, make_tool_id(static_cast<uint16_t>(attrib_menus[4]->id), 2));
}

TEST_F(ColorPalettePanel, TheBackgroundChooserAnswersOkOrCancel) {
  uint32_t colour = 0x123456;
  set_back_color_responder([](QColorDialog* d) {
    d->setCurrentColor(QColor(255, 0, 0));
    return 2;
  });
  EXPECT_EQ(choose_back_color(colour, 0, &colour), 2);
  EXPECT_EQ(colour, 0x123456u);
  EXPECT_FALSE(choose_background_color(&colour, nullptr));
  EXPECT_EQ(colour, 0x123456u);
  set_back_color_responder([](QColorDialog* d) {
    d->setCurrentColor(QColor(255, 0, 0));
    return 1;
  });
  EXPECT_TRUE(choose_background_color(&colour, nullptr));
  EXPECT_EQ(colour, 0xFF0000u);
}
