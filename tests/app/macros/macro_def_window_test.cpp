#include "app/macros/macro_def_window.h"
#include "app/support/kernel_state.h"

#include <QComboBox>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <gtest/gtest.h>

#include "kernel/files/macro_text.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/text/kernel_strings.h"
#include "platform/kp_graf_port_simple.h"

namespace {

const char kHalf[] =
    "B, H\r\nMth: 0\r\nCN:2, ON:1, FN:1, PO:0\r\nCT:\r\n"
    "point, CS 0, default settings, \r\npoint, CS 0, default settings, \r\n"
    "Const:\r\nMid, Mth:0, 1, CN:2, VN:1, Const: 1 2, default settings, \r\n";

class MacroWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    take_down_tools_and_classes();
    init_construct_classes();
    saved_ = kernel_strings[288];
    kernel_strings[288] = base_.data();
  }
  void TearDown() override {
    kernel_strings[288] = saved_;
    take_down_tools_and_classes();
  }
  char* saved_ = nullptr;
  std::string base_ = "B";
};

TEST_F(MacroWindow, OffersTheMacrosAndAFreeNameAndDrawsWithThePen) {
  ASSERT_GT(txt_load_used_macro(("B1" + std::string(kHalf + 1)).c_str(), 0), 0) << macro_text_error();
  ASSERT_GT(txt_load_used_macro(kHalf, 0), 0) << macro_text_error();
  init_macro_icon(macro_working_icon, nullptr);
  KPMacroDefWindow window;
  QComboBox* names = window.nameBox();
  ASSERT_EQ(names->count(), 3);
  EXPECT_EQ(names->itemText(0), "B1");
  EXPECT_EQ(names->itemText(1), "B");
  EXPECT_EQ(names->currentText(), "B2");

  // A press on a black pixel of the letter erases along the stroke.
  window.setPenColor(15);
  QWidget* editor = window.iconEditor(16);
  ASSERT_EQ(icon_pixel_get(2, 5, 16), 15);
  QTest::mousePress(editor, Qt::LeftButton, {}, QPoint(2 * 5 + 2, 5 * 5 + 2));
  QTest::mouseRelease(editor, Qt::LeftButton, {}, QPoint(2 * 5 + 2, 5 * 5 + 2));
  EXPECT_EQ(icon_pixel_get(2, 5, 16), 0);
  // The palette's third swatch becomes the pen; a white pixel takes it.
  QTest::mouseClick(window.paletteView(), Qt::LeftButton, {}, QPoint(2 * 12 + 5, 5));
  EXPECT_EQ(macro_pen_color, 2);
  QTest::mouseClick(editor, Qt::LeftButton, {}, QPoint(2, 2));
  EXPECT_EQ(icon_pixel_get(0, 0, 16), 2);
  QTest::mouseClick(window.duplicateButton(), Qt::LeftButton);
  EXPECT_EQ(icon_pixel_get(1, 1, 32), 2);
  QTest::mouseClick(window.eraseButton(), Qt::LeftButton);
  EXPECT_EQ(icon_pixel_get(0, 0, 16), 0);
  EXPECT_EQ(icon_pixel_get(31, 31, 32), 0);

  // Choosing an existing macro shows its help and short name.
  names->setCurrentIndex(1);
  emit names->activated(1);
  EXPECT_EQ(window.texts().name, "B");
  EXPECT_EQ(window.texts().short_name, "H");
}

TEST_F(MacroWindow, TheChooserCopiesAnIconAndCancelPutsTheOldOneBack) {
  init_macro_icon(macro_working_icon, nullptr);
  const std::vector<const uint8_t*> icons = macro_chooser_icons();
  ASSERT_GE(icons.size(), 2u);
  KPMacroDefWindow window;
  auto pick = [&](QPoint at, bool accept) {
    QTimer::singleShot(0, &window, [&window, at, accept] {
      QDialog* chooser = window.chooser();
      ASSERT_NE(chooser, nullptr);
      QWidget* view = chooser->findChildren<QWidget*>().value(0);
      QTest::mouseClick(view, Qt::LeftButton, {}, at);
      if (accept) chooser->accept();
      else chooser->reject();
    });
    QTest::mouseClick(window.chooseButton(), Qt::LeftButton);
  };
  pick(QPoint(19 + 5, 5), true);  // the second icon
  EXPECT_EQ(std::memcmp(macro_working_icon, icons[1], kMacroIconSize), 0);
  pick(QPoint(5, 5), false);
  EXPECT_EQ(std::memcmp(macro_working_icon, icons[1], kMacroIconSize), 0);
}

TEST(KPGrafPortSimple, DashesColourWordsAndFills) {
  EXPECT_EQ(KPGrafPortSimple::dashPattern(0), (std::vector<double>{1, 0}));
  EXPECT_EQ(KPGrafPortSimple::dashPattern(6), (std::vector<double>{1, 0}));
  EXPECT_EQ(KPGrafPortSimple::dashPattern(1), (std::vector<double>{4, 6}));
  EXPECT_EQ(KPGrafPortSimple::dashPattern(0x18), (std::vector<double>{1, 2}));
  EXPECT_EQ(KPGrafPortSimple::dashPattern(4), (std::vector<double>{2, 3, 2, 3, 4, 3}));
  EXPECT_EQ(KPGrafPortSimple::dashPattern(7), (std::vector<double>{1, 0}));

  QImage image(20, 20, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, false);
  KPGrafPortSimple port(&painter, tagRECT{0, 0, 20, 20});
  EXPECT_EQ(port.setBrush(0x000000FF), 0x00FFFFFFu);  // red is the low byte
  port.fillRect(tagRECT{2, 2, 6, 6});
  port.setBrush(0x00FF0000);
  port.frameRect(tagRECT{10, 10, 15, 15});
  KPGrafPortSimple::Pen pen;
  pen.color = 0x0000FF00;
  const KPGrafPortSimple::Pen old = port.selectObject(pen);
  EXPECT_EQ(old.color, 0u);
  port.moveTo(0, 18);
  const tagPOINT was = port.moveToEx(0, 19);
  EXPECT_EQ(was.x, 0);
  EXPECT_EQ(was.y, 18);
  port.lineTo(19, 19);
  EXPECT_EQ(port.setPolyFillMode(1), 2);
  painter.end();
  EXPECT_EQ(image.pixelColor(3, 3), QColor(255, 0, 0));
  EXPECT_EQ(image.pixelColor(10, 12), QColor(0, 0, 255));
  EXPECT_EQ(image.pixelColor(12, 12), QColor(255, 255, 255));
  EXPECT_EQ(image.pixelColor(10, 19), QColor(0, 255, 0));
}

}  // namespace
