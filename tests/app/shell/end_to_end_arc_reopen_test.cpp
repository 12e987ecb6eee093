// What is shown is what is saved: an arc drawn with its tool in a window of
// any size is drawn on the same pixels once the figure is saved and opened
// again, the window's place in the figure coming back to the pixel.
#include <QFile>
#include <gtest/gtest.h>

#include <algorithm>

#include "app/support/figure_test.h"
#include "kernel/model/units.h"

namespace {

class EndToEndArcReopen : public FigureTest {
 protected:
  void SetUp() override {
    FigureTest::SetUp();
    // The unit of a screen of 96 dots per inch, whose centimetres with two
    // decimals do not fall on whole pixels.
    keptUnit_ = pixels_per_unit;
    pixels_per_unit = 38;
  }
  void TearDown() override {
    closeAll();
    pixels_per_unit = keptUnit_;
    FigureTest::TearDown();
  }

 private:
  double keptUnit_ = 0;
};

TEST_F(EndToEndArcReopen, AnArcIsDrawnOnTheSamePixelsAfterSaveAndReopen) {
  // Views of even and odd widths and heights.
  for (const QSize grow : {QSize(0, 0), QSize(0, 1), QSize(1, 0), QSize(1, 1)}) {
    SCOPED_TRACE(testing::Message() << "window grown by " << grow.width() << "x" << grow.height());
    KPFigureView* view = openView();
    ASSERT_NE(view, nullptr);
    view->window()->resize(view->window()->size() + grow);
    spin(30);
    chooseTool(view, &classe_arc);
    click(view, QPoint(120, 300));
    click(view, QPoint(250, 170));
    click(view, QPoint(400, 280));
    chooseTool(view, nullptr);
    ASSERT_EQ(objectsOf(view->info(), &classe_arc).size(), 1u);
    const QImage before = shown(view);
    const QPoint corner(view->centerX(), view->centerY());
    const QString path = dir.filePath(QStringLiteral("arc.fig"));
    KPDocument::setSavePanelResponder([path](const QString&) { return path; });
    ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Save")));
    ASSERT_TRUE(QFile::exists(path));
    closeAll();

    KPDocument* reopened = KPDocument::openDocument(path);
    KPFigureView* again = reopened ? reopened->figureView() : nullptr;
    ASSERT_TRUE(again && waitForView(again));
    EXPECT_EQ(QPoint(again->centerX(), again->centerY()), corner);
    const QImage after = shown(again);
    int differ = 0;
    for (int y = 0; y < std::min(before.height(), after.height()); ++y)
      for (int x = 0; x < std::min(before.width(), after.width()); ++x)
        if (before.pixel(x, y) != after.pixel(x, y)) ++differ;
    EXPECT_EQ(differ, 0);
    closeAll();
    QFile::remove(path);
  }
}

}  // namespace
