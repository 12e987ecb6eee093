// The page sheet: the page rectangle stays on the thumbnail while dragged,
// turning the page centres it again, show mode uses the window's visible
// area without margins, and making the thumbnail leaves the document as it
// was.
#include <QCheckBox>
#include <QMenuBar>
#include <QPrinter>
#include <gtest/gtest.h>

#include "app/panels/kp_show_view.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"

namespace {

class PageSheet : public FigureTest {
 protected:
  void TearDown() override {
    closeAll();
    FigureTest::TearDown();
  }

  static void dragBy(KPShowView* page, QPoint by) {
    const QPoint from = page->printRect().center().toPoint();
    QTest::mousePress(page, Qt::LeftButton, {}, from);
    QTest::mouseMove(page, from + by);
    QTest::mouseRelease(page, Qt::LeftButton, {}, from + by);
  }

  KPFigureView* figure() {
    KPFigureView* view = openView();
    if (!view) return nullptr;
    chooseTool(view, &classe_segment);
    click(view, QPoint(120, 120));
    click(view, QPoint(260, 180));
    chooseTool(view, nullptr);
    return view;
  }
};

TEST_F(PageSheet, TheRectangleStopsOnePixelInsideTheRightAndTopEdges) {
  KPFigureView* view = figure();
  ASSERT_NE(view, nullptr);
  NSShowPageController::setSheetResponder([](NSShowPageController* sheet) {
    sheet->show();
    KPShowView* page = sheet->theShowView();
    const QRectF thumb = page->figureRect();
    const QRectF start = page->printRect();
    EXPECT_TRUE(thumb.contains(start));
    dragBy(page, QPoint(1000, 0));
    EXPECT_EQ(page->printRect().x() + page->printRect().width(), thumb.x() + thumb.width() - 1);
    EXPECT_EQ(page->printRect().y(), start.y());
    dragBy(page, QPoint(0, -1000));
    EXPECT_EQ(page->printRect().y(), thumb.y() + 1);
    dragBy(page, QPoint(-1000, 1000));
    EXPECT_EQ(page->printRect().x(), thumb.x());
    EXPECT_EQ(page->printRect().bottom(), thumb.bottom());
    // A press outside the rectangle moves nothing.
    const QRectF kept = page->printRect();
    QTest::mousePress(page, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseMove(page, QPoint(40, 40));
    QTest::mouseRelease(page, Qt::LeftButton, {}, QPoint(40, 40));
    EXPECT_EQ(page->printRect(), kept);
    return 2;
  });
  EXPECT_FALSE(NSShowPageController::DoPrintWindow());
}

TEST_F(PageSheet, TurningThePageCentresItAgain) {
  KPFigureView* view = figure();
  ASSERT_NE(view, nullptr);
  NSShowPageController::setSheetResponder([](NSShowPageController* sheet) {
    KPShowView* page = sheet->theShowView();
    const QRectF centred = page->printRect();
    dragBy(page, QPoint(30, 20));
    EXPECT_NE(page->printRect(), centred);
    page->changeOriantation()->click();
    const QRectF turned = page->printRect();
    EXPECT_NEAR(turned.width(), centred.height(), 1);
    EXPECT_NEAR(turned.height(), centred.width(), 1);
    EXPECT_NEAR(turned.center().x(), centred.center().x(), 1);
    EXPECT_NEAR(turned.center().y(), centred.center().y(), 1);
    page->changeOriantation()->click();
    EXPECT_NEAR(page->printRect().x(), centred.x(), 1);
    EXPECT_NEAR(page->printRect().y(), centred.y(), 1);
    return 2;
  });
  NSShowPageController::DoPrintWindow();
}

TEST_F(PageSheet, ShowModeHasNoMarginsAndTheWindowsSizeAndScrollsOnOk) {
  KPFigureView* view = figure();
  ASSERT_NE(view, nullptr);
  KPDocument* doc = KPDocument::FindDocumentWith_tobjet(view->info());
  const bool edited = doc->isEdited();
  QPointF origin;
  NSShowPageController::setSheetResponder([&](NSShowPageController* sheet) {
    sheet->show();
    KPShowView* page = sheet->theShowView();
    EXPECT_EQ(page->margins(), QMarginsF());
    EXPECT_EQ(page->printSize(), QSizeF(view->sheetWidth(), view->sheetHeight()));
    EXPECT_FALSE(page->filetitle()->isVisible());
    EXPECT_FALSE(page->changeOriantation()->isVisible());
    EXPECT_NEAR(page->printRect().width(), view->sheetWidth() * page->rapport(), 1e-9);
    dragBy(page, QPoint(-20, 10));
    origin = page->printingOrigin();
    return 1;
  });
  ASSERT_TRUE(NSShowPageController::DoShowWindow());
  // The window shows the part chosen; the thumbnail edited nothing.
  EXPECT_EQ(view->centerX(), static_cast<int32_t>(origin.x()));
  EXPECT_EQ(view->centerY(), static_cast<int32_t>(origin.y()));
  EXPECT_EQ(doc->isEdited(), edited);
}

}  // namespace

namespace {

// View > Page Overview... opens the sheet in show mode; OK scrolls the
// window to the part chosen on the thumbnail.
TEST_F(PageSheet, ThePageOverviewItemOpensTheSheetInShowMode) {
  KPFigureView* view = figure();
  ASSERT_NE(view, nullptr);
  QPointF origin;
  bool show_mode = false;
  NSShowPageController::setSheetResponder([&](NSShowPageController* sheet) {
    show_mode = sheet->isShowViewMode();
    dragBy(sheet->theShowView(), QPoint(25, -15));
    origin = sheet->theShowView()->printingOrigin();
    return 1;
  });
  const int32_t before = view->centerX();
  ASSERT_TRUE(clickMenuItem(view->figureWindow()->menuBar(), QStringLiteral("View"), QStringLiteral("Page Overview")));
  spin(20);
  NSShowPageController::setSheetResponder(nullptr);
  EXPECT_TRUE(show_mode);
  EXPECT_NE(view->centerX(), before);
  EXPECT_EQ(view->centerX(), static_cast<int32_t>(origin.x()));
  EXPECT_EQ(view->centerY(), static_cast<int32_t>(origin.y()));
}

}  // namespace
