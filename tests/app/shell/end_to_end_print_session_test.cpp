// Work Session > Print Work Session as a user does it while a session is on
// show: the print-session dialog and the print come up, every page shows
// its snapshot under the header, and the session stays on show where it was.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "app/document/kp_document.h"
#include "app/panels/small_dialogs.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/files/session_print.h"
#include "kernel/files/work_session.h"
#include "kernel/model/units.h"
#include "platform/kp_files.h"

namespace {

class EndToEndPrintSession : public FigureTest {
 protected:
  void TearDown() override {
    kp_set_file_chooser({});
    KPDocument::setPrintPanelResponder({});
    // The page orientation chosen last is the application's: the next test
    // starts upright.
    if (!KPDocument::liveDocuments().empty()) KPDocument::liveDocuments().front()->setPageOrientation(false);
    if (session_viewing()) session_close_viewing();
    closeAll();
    FigureTest::TearDown();
  }

  static QMenuBar* barOf(KPDocument* doc) { return doc && doc->figureWindow() ? doc->figureWindow()->menuBar() : nullptr; }

  static QByteArray run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) return {};
    return process.readAllStandardOutput();
  }

  // Pixels of a page picture inside a rectangle that pass a test.
  template <class Pred>
  static int countIn(const QImage& page, const QRect& area, Pred pred) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x)
        if (page.rect().contains(x, y) && pred(page.pixel(x, y))) ++count;
    return count;
  }
  static bool dark(QRgb c) { return qGray(c) < 100; }
  static bool green(QRgb c) { return qGreen(c) > qRed(c) + 60 && qGreen(c) > qBlue(c) + 60; }
};

TEST_F(EndToEndPrintSession, TheSessionOnShowIsPrintedAndStaysOnShow) {
  // Three snapshots: one, two and three segments.
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  KPDocument* doc = KPDocument::FindDocumentWith_tobjet(view->info());
  const QString folder = dir.filePath(QStringLiteral("Lesson"));
  ASSERT_TRUE(QDir().mkpath(folder));
  for (int n = 1; n <= 3; ++n) {
    chooseTool(view, &classe_segment);
    click(view, QPoint(100, 60 + 60 * n));
    click(view, QPoint(400, 60 + 60 * n));
    chooseTool(view, nullptr);
    ASSERT_TRUE(doc->writeToURL(folder + QStringLiteral("/Lesson_%1.fig").arg(n)));
  }

  // The session opened and stepped to its second snapshot.
  const std::string first = (folder + QStringLiteral("/Lesson_1.fig")).toStdString();
  kp_set_file_chooser([first](const KPFileDialogRequest&) -> std::optional<std::string> { return first; });
  ASSERT_TRUE(clickMenuItem(barOf(doc), QStringLiteral("Work Session"), QStringLiteral("Open Work Session")));
  kp_set_file_chooser([](const KPFileDialogRequest&) -> std::optional<std::string> { return std::nullopt; });
  ASSERT_TRUE(session_viewing());
  KPDocument* shown = KPDocument::currentDocument();
  ASSERT_NE(shown, doc);
  ASSERT_TRUE(clickMenuItem(barOf(shown), QStringLiteral("Work Session"), QStringLiteral("Next Snapshot")));
  ASSERT_EQ(session_snapshot_number(), 2);

  // The print-session dialog answered as a user does: one figure a page, OK.
  bool dialog_up = false;
  QTimer poll;
  int tries = 0;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    NSPrintSessionController* dialog = NSPrintSessionController::running();
    if ((!dialog || !dialog->isVisible()) && ++tries < 1500) return;
    poll.stop();
    ASSERT_NE(dialog, nullptr);
    dialog_up = true;
    dialog->layoutList()->setCurrentIndex(0);
    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
  });
  poll.start();
  const QString pdf = dir.filePath(QStringLiteral("session.pdf"));
  int panels = 0;
  KPDocument::setPrintPanelResponder([&](QPrinter* printer) {
    ++panels;
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(pdf);
    return true;
  });
  messages().clear();
  ASSERT_TRUE(clickMenuItem(barOf(shown), QStringLiteral("Work Session"), QStringLiteral("Print Work Session")));
  poll.stop();
  EXPECT_TRUE(dialog_up);
  EXPECT_EQ(panels, 1);
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  // Still on show, at the snapshot it showed.
  EXPECT_TRUE(session_viewing());
  EXPECT_EQ(session_snapshot_number(), 2);

  // Snapshots 2 and 3, one a page: each page has its header and its figure
  // (two, then three segments in the cell's box).
  ASSERT_TRUE(QFile::exists(pdf));
  const QString stem = dir.filePath(QStringLiteral("session"));
  run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-png"), pdf, stem});
  for (int page = 1; page <= 2; ++page) {
    SCOPED_TRACE(page);
    const QImage image(stem + QStringLiteral("-%1.png").arg(page));
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(countIn(image, QRect(0, 0, image.width(), 60), dark), 10);
    // The segments, one above the other in the snapshot's box.
    int rows = 0;
    bool in_segment = false;
    for (int y = 0; y < image.height(); ++y) {
      const bool here = countIn(image, QRect(0, y, image.width(), 1), green) > 20;
      if (here && !in_segment) ++rows;
      in_segment = here;
    }
    EXPECT_EQ(rows, page + 1);
  }
  EXPECT_FALSE(QFile::exists(stem + QStringLiteral("-3.png")));
}

}  // namespace

namespace {

// Two snapshots printed on a page of two rows: each cell's caption stands
// inside its own cell, above its bottom edge, where the next row does not
// cover it.
TEST_F(EndToEndPrintSession, EveryCellsCaptionStandsInsideItsCell) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  KPDocument* doc = KPDocument::FindDocumentWith_tobjet(view->info());
  const QString folder = dir.filePath(QStringLiteral("Steps"));
  ASSERT_TRUE(QDir().mkpath(folder));
  for (int n = 1; n <= 2; ++n) {
    chooseTool(view, &classe_segment);
    click(view, QPoint(100, 60 + 60 * n));
    click(view, QPoint(400, 60 + 60 * n));
    chooseTool(view, nullptr);
    ASSERT_TRUE(doc->writeToURL(folder + QStringLiteral("/Steps_%1.fig").arg(n)));
  }
  const std::string first = (folder + QStringLiteral("/Steps_1.fig")).toStdString();
  kp_set_file_chooser([first](const KPFileDialogRequest&) -> std::optional<std::string> { return first; });

  // The dialog answered as a user does: two rows a page, the cells framed,
  // OK.
  QTimer poll;
  int tries = 0;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    NSPrintSessionController* dialog = NSPrintSessionController::running();
    if ((!dialog || !dialog->isVisible()) && ++tries < 1500) return;
    poll.stop();
    ASSERT_NE(dialog, nullptr);
    dialog->layoutList()->setCurrentIndex(1);
    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
  });
  poll.start();
  const QString pdf = dir.filePath(QStringLiteral("steps.pdf"));
  QRectF printable;
  KPDocument::setPrintPanelResponder([&](QPrinter* printer) {
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(pdf);
    printable = printer->pageLayout().paintRect(QPageLayout::Point);
    return true;
  });
  ASSERT_TRUE(clickMenuItem(barOf(doc), QStringLiteral("Work Session"), QStringLiteral("Print Work Session")));
  poll.stop();
  ASSERT_TRUE(QFile::exists(pdf));

  // The page at one pixel a unit of the cells' layout.
  const double k = figure_pixels_per_point();
  const QString stem = dir.filePath(QStringLiteral("steps"));
  run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(72 * k, 'f', 6), QStringLiteral("-png"),
                                   QStringLiteral("-singlefile"), pdf, stem});
  const QImage page(stem + QStringLiteral(".png"));
  ASSERT_FALSE(page.isNull());
  // The cells as the layout chosen puts them (two rows, in one column or
  // two as the page is turned) under the 12-unit header.
  const int columns = session_print_now().columns, rows = session_print_now().rows;
  ASSERT_EQ(rows, 2);
  const int cw = static_cast<int>(printable.width() * k) / columns;
  const int ch = static_cast<int>(printable.height() * k - 12) / rows;
  const QPoint corner(static_cast<int>(std::lround(printable.left() * k)),
                      static_cast<int>(std::lround(printable.top() * k)));
  // Letters are dark strokes shorter than the frames' lines: a dark pixel
  // counts when neither its row nor its column is dark for 12 pixels
  // around it.
  auto dark_at = [&](int x, int y) { return dark(page.pixel(x, y)); };
  auto in_line = [&](int x, int y, int dx, int dy) {
    int run = 1;
    for (int s : {-1, 1})
      for (int i = 1; i < 12; ++i) {
        const QPoint q(x + s * i * dx, y + s * i * dy);
        if (!page.rect().contains(q) || !dark_at(q.x(), q.y())) break;
        ++run;
      }
    return run >= 12;
  };
  auto letters = [&](const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x)
        if (page.rect().contains(x, y) && dark_at(x, y) && !in_line(x, y, 1, 0) && !in_line(x, y, 0, 1)) ++n;
    return n;
  };
  for (int slot = 0; slot < 2; ++slot) {
    SCOPED_TRACE(slot);
    // The caption's line at (x + 11, y + ch - 4): the band above the cell's
    // bottom edge, over the cell's left part.
    const int left = corner.x() + (slot % columns) * cw;
    const int bottom = corner.y() + 12 + (slot / columns) * ch + ch;
    const QRect band(left + 8, bottom - 16, cw / 2, 13);
    // The caption of a snapshot saved without an action is its number.
    EXPECT_GT(letters(band), 4) << "no caption inside the cell";
  }
}

}  // namespace

namespace {

// Five snapshots printed on landscape pages with the list's second layout:
// its item says four figures a page, and four framed cells, two by two,
// are what each full page holds; the fifth goes on a second page.
TEST_F(EndToEndPrintSession, TheLayoutChosenNamesTheFiguresEachPageHolds) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  KPDocument* doc = KPDocument::FindDocumentWith_tobjet(view->info());
  doc->setPageOrientation(true);  // the session's window, made next, takes it
  const QString folder = dir.filePath(QStringLiteral("Five"));
  ASSERT_TRUE(QDir().mkpath(folder));
  for (int n = 1; n <= 5; ++n) {
    chooseTool(view, &classe_segment);
    click(view, QPoint(100, 40 + 50 * n));
    click(view, QPoint(400, 40 + 50 * n));
    chooseTool(view, nullptr);
    ASSERT_TRUE(doc->writeToURL(folder + QStringLiteral("/Five_%1.fig").arg(n)));
  }
  const std::string first = (folder + QStringLiteral("/Five_1.fig")).toStdString();
  kp_set_file_chooser([first](const KPFileDialogRequest&) -> std::optional<std::string> { return first; });

  QStringList items;
  QTimer poll;
  int tries = 0;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    NSPrintSessionController* dialog = NSPrintSessionController::running();
    if ((!dialog || !dialog->isVisible()) && ++tries < 1500) return;
    poll.stop();
    ASSERT_NE(dialog, nullptr);
    for (int i = 0; i < dialog->layoutList()->count(); ++i) items << dialog->layoutList()->itemText(i);
    dialog->layoutList()->setCurrentIndex(1);
    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
  });
  poll.start();
  const QString pdf = dir.filePath(QStringLiteral("five.pdf"));
  QRectF printable;
  KPDocument::setPrintPanelResponder([&](QPrinter* printer) {
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(pdf);
    printable = printer->pageLayout().paintRect(QPageLayout::Point);
    return true;
  });
  ASSERT_TRUE(clickMenuItem(barOf(doc), QStringLiteral("Work Session"), QStringLiteral("Print Work Session")));
  poll.stop();
  doc->setPageOrientation(false);
  ASSERT_EQ(items.size(), 3) << items.join('|').toStdString();
  EXPECT_TRUE(items[1].startsWith(QStringLiteral("Four figures per page"))) << items[1].toStdString();
  ASSERT_EQ(session_print_now().columns * session_print_now().rows, 4);
  ASSERT_TRUE(QFile::exists(pdf));
  ASSERT_GT(printable.width(), printable.height()) << "the page is not turned";

  // The pages at one pixel a unit of the cells' layout.
  const double k = figure_pixels_per_point();
  const QString stem = dir.filePath(QStringLiteral("five"));
  run(QStringLiteral("pdftoppm"),
      {QStringLiteral("-r"), QString::number(72 * k, 'f', 6), QStringLiteral("-png"), pdf, stem});
  EXPECT_FALSE(QFile::exists(stem + QStringLiteral("-3.png")));
  const int cw = static_cast<int>(printable.width() * k) / 2;
  const int ch = static_cast<int>(printable.height() * k - 12) / 2;
  const QPoint corner(static_cast<int>(std::lround(printable.left() * k)),
                      static_cast<int>(std::lround(printable.top() * k)));
  auto grey = [](QRgb c) { return qGray(c) > 150 && qGray(c) < 240 && std::abs(qRed(c) - qBlue(c)) < 10; };
  // A framed cell shows its grey fill around the snapshot's box; an empty
  // place none.
  auto framed = [&](const QImage& page, int slot) {
    const QPoint at = corner + QPoint((slot % 2) * cw, 12 + (slot / 2) * ch);
    return countIn(page, QRect(at.x() + 3, at.y() + 3, cw - 6, ch - 6), grey) > std::min(cw, ch);
  };
  for (int page = 1; page <= 2; ++page) {
    SCOPED_TRACE(page);
    const QImage image(stem + QStringLiteral("-%1.png").arg(page));
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(image.width(), image.height());
    for (int slot = 0; slot < 4; ++slot) EXPECT_EQ(framed(image, slot), page == 1 || slot == 0) << slot;
  }
}

}  // namespace
