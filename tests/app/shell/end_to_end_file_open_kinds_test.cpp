// File > Open with the files that are not figures (a macro, a preferences
// file) and with a figure that remembers the part of the sheet its window
// showed.
#include <QFile>
#include <QMenuBar>
#include <gtest/gtest.h>

#include <string>

#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/files/text_family.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/prefs/preferences.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/window/figure_scroll.h"
#include "platform/kp_qt_bridge.h"

namespace {

constexpr char kMacroFile[] =
    "Macro Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n"
    "Halfway, HW\r\n"
    "Help:\r\n\"Half way\"\r\n"
    "Mth: 0\r\n"
    "CN:2, ON:2, FN:2, PO:0\r\n"
    "CT:\r\n"
    "point, CS 0, default settings, \r\n"
    "point, CS 0, default settings, \r\n"
    "Const:\r\n"
    "Mid, Mth:0, 1, CN:2, VN:1, Const: 1 2, default settings, \r\n"
    "Seg, Mth:0, 1, CN:2, VN:2, Const: 1 3, default settings, \r\n";

class FileOpenKinds : public FigureTest {
 protected:
  static QMenuBar* bar() {
    KPDocument* doc = KPDocument::currentDocument();
    return doc && doc->figureWindow() ? doc->figureWindow()->menuBar() : nullptr;
  }
  QString write(const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }
  bool openWithTheMenu(const QString& path) {
    KPDocument::setOpenPanelResponder([path](const QString&) { return path; });
    const bool clicked = clickMenuItem(bar(), "File", "Open");
    KPDocument::setOpenPanelResponder({});
    spin(20);
    return clicked;
  }
  static void origin(KPFigureView* view, int32_t* x, int32_t* y) {
    *x = *y = 0;
    if (DisplayDevice* dd = view->getDisplayDevice()) dd_get_origin(dd, x, y);
  }
};

}  // namespace

TEST_F(FileOpenKinds, AMacroFileAddsItsToolAndOpensNoWindow) {
  ASSERT_NE(openView(), nullptr);
  ASSERT_EQ(find_class_by_second_name("Halfway"), nullptr);
  ASSERT_TRUE(openWithTheMenu(write("halfway.mac", kMacroFile)));
  EXPECT_NE(find_class_by_second_name("Halfway"), nullptr);
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  EXPECT_EQ(KPDocument::liveDocuments().size(), 1u);
}

TEST_F(FileOpenKinds, APreferencesFileGivesTheNextObjectsItsValues) {
  ASSERT_NE(openView(), nullptr);
  prefs_rec saved{};
  read_preferences(&saved, nullptr);
  // A preferences file holds one byte before its header line.
  const std::string text = std::string("\x01") + kTxtPrefsHeader + "\r\nLines Color=Red\r\n\r\n";
  ASSERT_TRUE(openWithTheMenu(write("mine.plist", QByteArray::fromStdString(text))));
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  EXPECT_EQ(KPDocument::liveDocuments().size(), 1u);
  EXPECT_EQ(default_attrs[ATTRS_LINE].settings.Color, color_by_name("Red"));
  prefs_rec now{};
  read_preferences(&now, nullptr);
  EXPECT_EQ(now.kinds[1].color, color_by_name("Red"));

  // A property list in the binary form changes nothing and says so.
  const uint32_t red = default_attrs[ATTRS_LINE].settings.Color;
  messages().clear();
  ASSERT_TRUE(openWithTheMenu(write("binary.plist", QByteArray("bplist00\x01\x02\x03", 11))));
  EXPECT_EQ(default_attrs[ATTRS_LINE].settings.Color, red);
  EXPECT_EQ(messages().size(), 1);
  EXPECT_EQ(KPDocument::liveDocuments().size(), 1u);

  write_preferences(&saved, nullptr);
  init_default_attrs(nullptr);
}

TEST_F(FileOpenKinds, AFigureShowsThePartOfTheSheetItsWindowShowed) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  drawSegment(view, QPoint(100, 100), QPoint(220, 160));
  int32_t x0 = 0, y0 = 0;
  origin(view, &x0, &y0);
  set_figure_window_origin(kp_hwnd(view), x0 + 140, y0 - 90);
  int32_t x1 = 0, y1 = 0;
  origin(view, &x1, &y1);
  ASSERT_EQ(x1, x0 + 140);
  const QString path = dir.filePath("moved.fig");
  ASSERT_TRUE(KPDocument::currentDocument()->writeToURL(path));
  closeAll();

  ASSERT_NE(openView(), nullptr);
  ASSERT_TRUE(openWithTheMenu(path));
  ASSERT_EQ(KPDocument::liveDocuments().size(), 1u);
  KPFigureView* reopened = KPDocument::liveDocuments().front()->figureView();
  ASSERT_TRUE(waitForView(reopened));
  reopened->grab();
  int32_t x2 = 0, y2 = 0;
  origin(reopened, &x2, &y2);
  EXPECT_EQ(x2, x1);
  EXPECT_EQ(y2, y1);
}
