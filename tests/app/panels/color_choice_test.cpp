// The colour choice of the macro window: the pen button opens the dialog of
// the 41 cells; a click chooses a cell, a double click chooses it and
// answers OK; Cancel keeps the pen.
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <string>

#include "app/macros/macro_def_window.h"
#include "app/support/kernel_state.h"
#include "app/panels/color_palette_panel.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/render/color_palette.h"
#include "kernel/render/colors.h"
#include "kernel/text/kernel_strings.h"

namespace {

class ColorChoice : public ::testing::Test {
 protected:
  void SetUp() override {
    take_down_tools_and_classes();
    init_construct_classes();
    init_color_table();
    install_hexagon_ops();  // as the application's start-up does
    for (int row : {288, 342, 471}) saved_.push_back(kernel_strings[row]);
    kernel_strings[288] = base_.data();
    kernel_strings[342] = ok_.data();
    kernel_strings[471] = title_.data();
  }
  void TearDown() override {
    set_color_choice_responder({});
    kernel_strings[288] = saved_[0];
    kernel_strings[342] = saved_[1];
    kernel_strings[471] = saved_[2];
    take_down_tools_and_classes();
  }
  static int cellOf(const char* name) { return color_index_by_value(color_by_name(name)); }
  static QPoint centre(int cell) {
    const palette_point c = palette_cell_centre(cell);
    return QPoint(int(c.x), int(c.y));
  }
  std::vector<char*> saved_;
  std::string base_ = "B", ok_ = "Okay", title_ = "Colour";
};

}  // namespace

TEST_F(ColorChoice, ADoubleClickInTheCellsChoosesAndAnswersOk) {
  KPMacroDefWindow window;
  window.setPenColor(15);
  const int red = cellOf("Red");
  ASSERT_GE(red, 0);
  QString title, ok_text;
  bool closed_by_itself = false;
  set_color_choice_responder([&](KPColorChoiceDialog* dialog) {
    title = dialog->windowTitle();
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
      if (b->isDefault()) ok_text = b->text();
    // The window system's double click: press, release, the second press
    // reported as a double click, and its release.
    QWidget* cells = dialog->paletteView();
    QTest::mousePress(cells, Qt::LeftButton, {}, centre(red));
    QTest::mouseRelease(cells, Qt::LeftButton, {}, centre(red));
    QTest::mouseDClick(cells, Qt::LeftButton, {}, centre(red));
    QTest::mouseRelease(cells, Qt::LeftButton, {}, centre(red));
    QTest::qWait(20);
    closed_by_itself = !dialog->isVisible();
  });
  QTest::mouseClick(window.penButton(), Qt::LeftButton);
  EXPECT_TRUE(closed_by_itself);
  EXPECT_EQ(title, QStringLiteral("Colour"));
  EXPECT_EQ(ok_text, QStringLiteral("Okay"));
  EXPECT_EQ(palette16_color(macro_pen_color), color_by_index(red));
}

TEST_F(ColorChoice, OneClickChoosesOnlyWithOkAndCancelKeepsThePen) {
  KPMacroDefWindow window;
  window.setPenColor(15);
  const uint8_t floating = palette_color_index;
  const int blue = cellOf("Blue");
  ASSERT_GE(blue, 0);
  auto click_then = [&](int button) {
    set_color_choice_responder([&, button](KPColorChoiceDialog* dialog) {
      QTest::mouseClick(dialog->paletteView(), Qt::LeftButton, {}, centre(blue));
      QTest::qWait(20);
      EXPECT_TRUE(dialog->isVisible()) << "one click chooses and waits";
      EXPECT_EQ(dialog->chosen(), blue);
      dialog->sendMessage(273, static_cast<WPARAM>(button), 0);
    });
    QTest::mouseClick(window.penButton(), Qt::LeftButton);
  };
  click_then(2);
  EXPECT_EQ(macro_pen_color, 15);
  click_then(1);
  EXPECT_EQ(palette16_color(macro_pen_color), color_by_index(blue));
  EXPECT_EQ(palette_color_index, floating) << "the floating palette keeps its cell";
}
