// Pictures on dialog controls and the text style taken from a font and a
// colour well.
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <memory>

#include "app/panels/dialog_icons.h"
#include "app/panels/tool_icon.h"
#include "app/panels/tool_icon_art.h"
#include "app/support/shell_fixture.h"
#include "kernel/prefs/dialog_controls.h"
#include "kernel/prefs/style_controls.h"
#include "kernel/render/colors.h"
#include "kernel/render/fonts.h"
#include "platform/kp_gdi_objects.h"
#include "platform/kp_qt_bridge.h"

namespace {

using DialogIcons = ShellTest;

TEST_F(DialogIcons, AButtonShowsTheIconInsteadOfItsTitle) {
  QPushButton button(QStringLiteral("Shape"));
  const tool_icon* icon = builtin_tool_icon("Pointer");
  ASSERT_NE(icon, nullptr);
  set_button_icon(kp_hwnd(&button), icon);
  EXPECT_TRUE(button.text().isEmpty());
  EXPECT_FALSE(button.icon().isNull());
  EXPECT_EQ(button.iconSize(), QSize(16, 16));
  // No button, or no icon: nothing changes.
  QLineEdit field(QStringLiteral("x"));
  set_button_icon(kp_hwnd(&field), icon);
  EXPECT_EQ(field.text(), QStringLiteral("x"));
  QPushButton other(QStringLiteral("Keep"));
  set_button_icon(kp_hwnd(&other), nullptr);
  EXPECT_EQ(other.text(), QStringLiteral("Keep"));
}

TEST_F(DialogIcons, SwatchesFillTheirRectangle) {
  QImage image(40, 20, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    draw_color_swatch(p, QRect(0, 0, 20, 20), 0x00FF0000);
    draw_swatch_icon(p, QRect(20, 0, 16, 16), nullptr, false);
  }
  EXPECT_EQ(image.pixelColor(10, 10), QColor(255, 0, 0));
  EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::black));     // the frame
  EXPECT_EQ(image.pixelColor(19, 19), QColor(Qt::black));
  const uint32_t gray = light_gray_color;
  EXPECT_EQ(image.pixelColor(25, 5), QColor((gray >> 16) & 0xFF, (gray >> 8) & 0xFF, gray & 0xFF));
  EXPECT_EQ(image.pixelColor(38, 18).alpha(), 0);  // nothing drawn outside
}

TEST_F(DialogIcons, AStyleTakesTheFontsIdAndTheWellsColour) {
  QPushButton well;
  set_color_well(kp_hwnd(&well), 0x00336699);
  std::unique_ptr<KPFont> font(KPFont::systemFont(14));
  ASSERT_NE(font, nullptr);
  text_style_pref style{};
  EXPECT_EQ(style_from_font_and_well(&style, font.get(), kp_hwnd(&well)), 1);
  EXPECT_GT(style.font, 0);
  EXPECT_EQ(font_register(font.get()), style.font);  // the same entry of the table
  EXPECT_EQ(style.color, 0x00336699u);
  EXPECT_EQ(style_from_font_and_well(nullptr, font.get(), kp_hwnd(&well)), 0);
  EXPECT_EQ(style_from_font_and_well(&style, nullptr, kp_hwnd(&well)), 0);
}

}  // namespace
