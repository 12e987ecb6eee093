// The axes style through the window: chosen on the attribute bar's pop-up
// with the axes selected, or given by a click of Modify Appearance, it
// changes how the coordinate system is shown (a polar system keeps its
// first axis only) and is saved with the figure.
#include <QFile>
#include <gtest/gtest.h>

#include <cmath>

#include "app/support/figure_test.h"
#include "kernel/model/units.h"
#include "kernel/tools/tool_ids.h"

namespace {

class EndToEndAxesStyle : public FigureTest {
 protected:
  void TearDown() override {
    closeAll();
    FigureTest::TearDown();
  }
  // Chooses entry `item` (from 1: cartesian, polar in degrees, grades,
  // radians) of the attribute bar's axes-style pop-up: a press on its
  // button opens its list, the release on the entry chooses it.
  static void chooseAxesStyle(uint16_t item) {
    menu* styles = find_tool_menu(1011);
    ASSERT_NE(styles, nullptr);
    auto* button = static_cast<QWidget*>(styles->view);
    ASSERT_NE(button, nullptr);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
    spin(300);
    NSGeoToolsPullDownController* list = NSGeoToolsPullDownController::openPullDown();
    ASSERT_NE(list, nullptr) << "the pop-up shows no list";
    releaseOnListItem(list, item);
    spin(20);
  }
};

TEST_F(EndToEndAxesStyle, ThePopUpAndModifyAppearanceChangeHowTheAxesShow) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* axes = objectsOf(view->info(), &classe_axe).at(0);
  const tagPOINT corner = figurePoint(view, QPoint(0, 0));
  const QPoint origin(-corner.x, -corner.y);
  const int unit = static_cast<int>(std::lround(pixels_per_unit));
  const QPoint on_x = origin + QPoint(3 * unit + unit / 2, 0), on_y = origin - QPoint(0, 3 * unit + unit / 2);
  pickFromPalette(find_tool_id_by_name(show_axes_names[0]));
  ASSERT_EQ(axes->settings.visible, 1);
  ASSERT_EQ(axes->math.equa.typeunite, 0);
  const uint8_t format = axes->math.equa.format;
  EXPECT_GT(inkNear(shown(view), on_y, 0), 0);

  // The axes selected with the pointer, then Polar (degrees) on the pop-up.
  pickFromPalette(kPointerTool);
  click(view, on_x);
  ASSERT_EQ(objlist_count(view->info()->selection), 1);
  ASSERT_EQ(view->info()->selection->items[0], axes);
  chooseAxesStyle(2);
  EXPECT_EQ(axes->math.equa.typeunite, 1);
  EXPECT_EQ(axes->math.equa.format, format) << "another byte of the axes changed";
  QImage image = shown(view);
  EXPECT_GT(inkNear(image, on_x, 0), 0);
  EXPECT_EQ(inkNear(image, on_y, 1), 0) << "a polar system still shows its second axis";

  // Modify Appearance with Cartesian chosen: a click on the axes gives them
  // the style, and the second axis is back; it no longer takes them then.
  pickFromPalette(find_tool_id_by_name("Modify Appearance"));
  ASSERT_EQ(attribute_mask & ATTR_AXES_STYLE, ATTR_AXES_STYLE);
  chooseAxesStyle(1);
  click(view, on_x);
  EXPECT_EQ(axes->math.equa.typeunite, 0);
  EXPECT_EQ(manipulating, 0);
  EXPECT_GT(inkNear(shown(view), on_y, 0), 0);
  click(view, on_x + QPoint(4, 0));
  EXPECT_EQ(axes->math.equa.typeunite, 0);
  // Polar in radians.
  chooseAxesStyle(4);
  click(view, on_x);
  EXPECT_EQ(axes->math.equa.typeunite, 3);
  EXPECT_EQ(inkNear(shown(view), on_y, 1), 0);

  // Saved and opened again, the figure keeps it.
  KPDocument* doc = KPDocument::FindDocumentWith_tobjet(view->info());
  ASSERT_NE(doc, nullptr);
  const QString path = dir.filePath(QStringLiteral("polar.fig"));
  ASSERT_TRUE(doc->writeToURL(path));
  KPDocument* reopened = KPDocument::openDocument(path);
  ASSERT_NE(reopened, nullptr);
  ASSERT_TRUE(waitForView(reopened->figureView()));
  EXPECT_EQ(objectsOf(reopened->figureView()->info(), &classe_axe).at(0)->math.equa.typeunite, 3);
}

}  // namespace
