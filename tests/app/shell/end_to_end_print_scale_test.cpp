// A figure prints at the size its measures state: a segment measured in
// centimetres is as long on paper, the page sheet's rectangle shows the part
// of the figure the paper holds, and a scale chosen in File > Page Setup
// prints the figure that much smaller or larger.
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "app/document/kp_document.h"
#include "app/panels/kp_show_view.h"
#include "app/panels/page_layout_panel.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/measure/unit_factor.h"
#include "kernel/model/units.h"

namespace {

constexpr double kDotsPerInch = 144;

class EndToEndPrintScale : public FigureTest {
 protected:
  void TearDown() override {
    NSShowPageController::setSheetResponder({});
    KPDocument::setPrintPanelResponder({});
    closeAll();
    FigureTest::TearDown();
  }

  // File > Print as a user answers it: the sheet's OK (its printing origin
  // and page size kept), then the print dialog set to write a PDF. The page
  // at kDotsPerInch, null when nothing was printed; `paper` gets the
  // printer's paper and printable area in points.
  QImage printToPdf(KPFigureView* view, const QString& name, QPointF* origin, QSizeF* page_size, QRectF* paper,
                    QRectF* printable) {
    NSShowPageController::setSheetResponder([=](NSShowPageController* sheet) {
      sheet->show();
      *origin = sheet->theShowView()->printingOrigin();
      *page_size = sheet->theShowView()->printSize();
      return 1;
    });
    const QString pdf = dir.filePath(name + QStringLiteral(".pdf"));
    KPDocument::setPrintPanelResponder([=](QPrinter* printer) {
      printer->setOutputFormat(QPrinter::PdfFormat);
      printer->setOutputFileName(pdf);
      *paper = printer->pageLayout().fullRect(QPageLayout::Point);
      *printable = printer->pageLayout().paintRect(QPageLayout::Point);
      return true;
    });
    if (!clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Print")) || !QFile::exists(pdf))
      return {};
    const QString stem = dir.filePath(name);
    QProcess process;
    process.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(kDotsPerInch),
                                               QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, stem});
    if (!process.waitForFinished(30000) || process.exitCode() != 0) return {};
    return QImage(stem + QStringLiteral(".png"));
  }

  // The longest run of ink along one row of the page: its first and last
  // columns (-1 when there is none).
  static std::pair<int, int> longestRun(const QImage& page, int* row) {
    std::pair<int, int> best{-1, -2};
    for (int y = 0; y < page.height(); ++y) {
      int start = -1;
      for (int x = 0; x <= page.width(); ++x) {
        const bool ink = x < page.width() && qGray(page.pixel(x, y)) < 200;
        if (ink && start < 0) start = x;
        if (!ink && start >= 0) {
          if (x - 1 - start > best.second - best.first) {
            best = {start, x - 1};
            *row = y;
          }
          start = -1;
        }
      }
    }
    return best;
  }

  // A horizontal segment across the view, measured with the length tool:
  // its length in centimetres.
  double measuredSegment(KPFigureView* view, QPoint a, QPoint b) {
    chooseTool(view, &classe_segment);
    click(view, a);
    click(view, b);
    chooseTool(view, &classe_length);
    click(view, (a + b) / 2);
    chooseTool(view, nullptr);
    const std::vector<object*> lengths = objectsOf(view->info(), &classe_length);
    if (lengths.size() != 1 || !lengths[0]->valeurs) return 0;
    return lengths[0]->valeurs[0].info.rayon / measure_unit_factor(lengths[0]);
  }

  // Checks that the printed segment from view point a has the length
  // measured, times the print's scale, and lies where the sheet's printing
  // origin puts it.
  void expectToScale(KPFigureView* view, QPoint a, double centimetres, const QString& name, double scale = 1) {
    QPointF origin;
    QSizeF page_size;
    QRectF paper, printable;
    const QImage page = printToPdf(view, name, &origin, &page_size, &paper, &printable);
    ASSERT_FALSE(page.isNull());
    const double dots_per_point = kDotsPerInch / 72;
    // The whole paper went into the picture.
    EXPECT_NEAR(page.width(), paper.width() * dots_per_point, 2);
    // The sheet's page is the paper in figure pixels at the print's scale.
    const double pixels_per_point = pixels_per_unit * 2.54 / 72 / scale;
    EXPECT_NEAR(page_size.width(), paper.width() * pixels_per_point, 1);
    EXPECT_NEAR(page_size.height(), paper.height() * pixels_per_point, 1);

    int row = -1;
    const auto [first, last] = longestRun(page, &row);
    ASSERT_GE(first, 0);
    // The points' marks at the ends add a few pixels.
    const double printed_cm = (last - first + 1) / kDotsPerInch * 2.54;
    EXPECT_NEAR(printed_cm, centimetres * scale, 0.12)
        << "printed " << printed_cm << " cm for " << centimetres << " cm at " << scale;
    // The segment's left end lies on paper where the sheet's printing
    // origin (the printable area's corner) puts it.
    const tagPOINT start = figurePoint(view, a);
    const double expect_x = (printable.left() + (start.x - origin.x()) / pixels_per_point) * dots_per_point;
    const double expect_y = (printable.top() + (start.y - origin.y()) / pixels_per_point) * dots_per_point;
    EXPECT_NEAR(first, expect_x, 6);
    EXPECT_NEAR(row, expect_y, 6);
  }
};

TEST_F(EndToEndPrintScale, ASegmentPrintsAsLongAsItsMeasureStates) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint a(60, 120), b(460, 120);
  const double centimetres = measuredSegment(view, a, b);
  ASSERT_GT(centimetres, 5);
  expectToScale(view, a, centimetres, QStringLiteral("segment"));
}

// File > Page Setup as a user works it: the panel comes up with the
// document's settings; a 50 % scale is taken with the orientation chosen
// with it, without a message; the page sheet shows twice the figure each
// way and the print is landscape, the segment half its measured length.
TEST_F(EndToEndPrintScale, PageSetupScalePrintsTheFigureAtThatScale) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint a(60, 150), b(520, 150);
  const double centimetres = measuredSegment(view, a, b);
  ASSERT_GT(centimetres, 5);
  KPDocument* doc = KPDocument::FindDocumentWith_tobjet(view->info());
  ASSERT_NE(doc, nullptr);

  // Works the panel when it shows: `work` answers it.
  auto answerPanel = [](std::function<void(KPPageLayoutPanel*)> work) {
    auto* poll = new QTimer(scope());
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, tries, work] {
      KPPageLayoutPanel* panel = KPPageLayoutPanel::running();
      if ((!panel || !panel->isVisible()) && ++*tries < 250) return;
      poll->stop();
      if (!panel) {
        ADD_FAILURE() << "no page setup panel";
        return;
      }
      work(panel);
    });
    poll->start(20);
  };

  int scale_shown = 0;
  answerPanel([&](KPPageLayoutPanel* panel) {
    scale_shown = panel->scaleField()->value();
    panel->scaleField()->setValue(50);
    QTest::mouseClick(panel->landscapeButton(), Qt::LeftButton);
    QTest::mouseClick(panel->okButton(), Qt::LeftButton);
  });
  messages().clear();
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Page Setup")));
  EXPECT_EQ(scale_shown, 100);
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  EXPECT_EQ(doc->printScalingFactor(), 0.5);
  EXPECT_EQ(doc->printInfo()->pageLayout().orientation(), QPageLayout::Landscape);

  // Opened again: at 50 %, landscape; cancelled, nothing changes.
  bool landscape_shown = false;
  answerPanel([&](KPPageLayoutPanel* panel) {
    scale_shown = panel->scaleField()->value();
    landscape_shown = panel->landscapeButton()->isChecked();
    panel->scaleField()->setValue(200);
    QTest::mouseClick(panel->cancelButton(), Qt::LeftButton);
  });
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Page Setup")));
  EXPECT_EQ(scale_shown, 50);
  EXPECT_TRUE(landscape_shown);
  EXPECT_TRUE(messages().isEmpty());
  EXPECT_EQ(doc->printScalingFactor(), 0.5);

  // The print: a landscape page, the segment at half its length.
  expectToScale(view, a, centimetres, QStringLiteral("landscape"), 0.5);
  const QImage page(dir.filePath(QStringLiteral("landscape.png")));
  EXPECT_GT(page.width(), page.height());
  EXPECT_EQ(doc->printScalingFactor(), 0.5) << "printing set the scale back";
}

}  // namespace
