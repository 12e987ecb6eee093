// Printing a figure: the page drawn from the printing origin, the optional
// title and date, the print flag the kernel reads, the on-screen centre kept,
// and a PDF written through the File menu's Print item.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QTest>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/panels/kp_show_view.h"
#include "app/shell/figure_window.h"
#include "app/support/shell_fixture.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_ids.h"

namespace {

class Printing : public ShellTest {
 protected:
  // A new figure holding one horizontal segment from view point (100, 200)
  // to (300, 200).
  KPFigureView* figureWithSegment() {
    KPDocument* doc = KPDocument::openUntitledDocument();
    KPFigureView* view = doc ? doc->figureView() : nullptr;
    if (!view || !waitForView(view)) return nullptr;
    view->sendCurrentToolAction(find_tool_id_by_name(classe_segment.name), 0, true);
    for (const QPoint p : {QPoint(100, 200), QPoint(300, 200)}) {
      QTest::mouseMove(view, p);
      QTest::mousePress(view, Qt::LeftButton, {}, p);
      QTest::mouseRelease(view, Qt::LeftButton, {}, p, 10);
      spin(10);
    }
    view->sendCurrentToolAction(kPointerTool, 0, true);
    return view;
  }

  // The page the view prints with the printing origin given, on an image.
  static QImage printedPage(KPFigureView* view, QPointF origin, tagRECT* bounds = nullptr) {
    QImage page(500, 400, QImage::Format_RGB32);
    page.fill(Qt::white);
    const QRectF rect(0, 0, page.width(), page.height());
    view->setPrintingOrigin(origin.x(), origin.y());
    view->beginDocument();
    {
      QPainter painter(&page);
      view->drawPrintPage(&painter, rect);
    }
    if (bounds) view->intPrintBounds(rect, bounds);
    view->endDocument();
    return page;
  }

  static int inkIn(const QImage& image, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x)
        if (image.rect().contains(x, y) && image.pixelColor(x, y) != QColor(Qt::white)) ++count;
    return count;
  }
  static int inkNear(const QImage& image, QPoint p) { return inkIn(image, QRect(p - QPoint(2, 2), QSize(5, 5))); }

  // The figure point under a point of the view.
  static QPoint figurePoint(KPFigureView* view, QPoint p) {
    tagPOINT q{p.x(), p.y()};
    view->globalToLocalDDM(&q);
    return {q.x, q.y};
  }
};

}  // namespace

TEST_F(Printing, ThePageShowsTheFigureFromThePrintingOriginAndTheScreenKeepsItsCentre) {
  KPFigureView* view = figureWithSegment();
  ASSERT_NE(view, nullptr);
  const QPoint mid = figurePoint(view, QPoint(200, 200));
  const QPoint end = figurePoint(view, QPoint(100, 200));  // the left end
  const int32_t cx = view->centerX();
  const int32_t cy = view->centerY();
  const QPointF origin(cx, cy);

  EXPECT_FALSE(KPGeoDocument::printingInProgress());
  view->beginDocument();
  EXPECT_TRUE(KPGeoDocument::printingInProgress());
  view->endDocument();
  EXPECT_FALSE(KPGeoDocument::printingInProgress());

  tagRECT bounds{};
  const QImage page = printedPage(view, origin, &bounds);
  const QPoint corner(bounds.left, bounds.top);
  EXPECT_GT(inkNear(page, mid - corner), 0);
  EXPECT_EQ(inkNear(page, mid - corner + QPoint(0, 40)), 0);
  EXPECT_GT(inkNear(page, end - corner), 0);
  EXPECT_EQ(inkNear(page, end - corner - QPoint(10, 0)), 0);

  // Another origin moves the figure on the page by the difference.
  const QImage moved = printedPage(view, origin - QPointF(40, 30));
  EXPECT_GT(inkNear(moved, end - corner + QPoint(40, 30)), 0);
  EXPECT_EQ(inkNear(moved, end - corner + QPoint(30, 30)), 0);
  EXPECT_EQ(inkNear(moved, mid - corner), 0);

  // The screen shows the same part of the figure as before.
  EXPECT_EQ(view->centerX(), cx);
  EXPECT_EQ(view->centerY(), cy);
  EXPECT_EQ(figurePoint(view, QPoint(200, 200)), mid);
  EXPECT_EQ(KPGeoDocument::currentInfo(), view->info());
}

TEST_F(Printing, TheTitleStartsAtThePageOriginAndTheDateEndsAtThePageEdge) {
  KPFigureView* view = figureWithSegment();
  ASSERT_NE(view, nullptr);
  const QPointF far_away(5000, 5000);  // no object on the page
  const QRect top_left(0, 0, 40, 20);
  const QRect top_right(460, 0, 40, 20);
  const QImage plain = printedPage(view, far_away);
  EXPECT_EQ(inkIn(plain, top_left) + inkIn(plain, top_right), 0);
  KPShowView::addfiletitleAction(1);
  KPShowView::adddatetimeAction(1);
  const QImage marked = printedPage(view, far_away);
  KPShowView::addfiletitleAction(0);
  KPShowView::adddatetimeAction(0);
  EXPECT_GT(inkIn(marked, top_left), 0);
  EXPECT_GT(inkIn(marked, top_right), 0);
  EXPECT_EQ(inkIn(marked, QRect(0, 40, 500, 360)), 0);
}

TEST_F(Printing, FileMenuPrintWritesAOnePagePdf) {
  KPFigureView* view = figureWithSegment();
  ASSERT_NE(view, nullptr);
  view->setFigureScale(0.5);
  const float zoom = view->getDC()->getScale();
  QAction* print = nullptr;
  for (QAction* menu : view->figureWindow()->menuBar()->actions())
    for (QAction* item : menu->menu() ? menu->menu()->actions() : QList<QAction*>())
      if (item->text() == QStringLiteral("Print...")) print = item;
  ASSERT_NE(print, nullptr);

  // The output folder may not exist yet when this test runs first.
  QDir().mkpath(QStringLiteral(KELVO_TEST_OUTPUT));
  const QString path = QStringLiteral(KELVO_TEST_OUTPUT "/printed_figure.pdf");
  QFile::remove(path);
  // Cancelled: nothing is printed.
  print->trigger();
  EXPECT_FALSE(QFile::exists(path));

  bool printing_at_panel = true;
  KPDocument::setPrintPanelResponder([&](QPrinter* printer) {
    printing_at_panel = KPGeoDocument::printingInProgress();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    return true;
  });
  print->trigger();
  EXPECT_FALSE(printing_at_panel);
  EXPECT_FALSE(KPGeoDocument::printingInProgress());
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  QFile pdf(path);
  ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
  const QByteArray bytes = pdf.readAll();
  EXPECT_TRUE(bytes.startsWith("%PDF"));
  EXPECT_EQ(bytes.count("/Type /Page\n"), 1);
  // The view keeps its zoom.
  EXPECT_EQ(view->getDC()->getScale(), zoom);
}
