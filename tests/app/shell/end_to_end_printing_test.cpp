// Printing from the windows' menus as a user does: the page sheet's
// rectangle dragged before printing to a PDF, a work session printed as
// pages of snapshot cells, and Save As with the figure's password set in the
// save panel's options.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/document/kp_document.h"
#include "app/panels/kp_show_view.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/files/file_dialogs.h"
#include "kernel/files/session_print.h"
#include "kernel/files/work_session.h"
#include "platform/kp_dialog_panel.h"
#include "platform/kp_file_accessories.h"
#include "platform/kp_files.h"
#include "platform/kp_qt_bridge.h"

namespace {

class EndToEndPrinting : public FigureTest {
 protected:
  void TearDown() override {
    kp_set_file_chooser({});
    session_print_services().run_dialog = nullptr;
    closeAll();
    FigureTest::TearDown();
  }

  static QMenuBar* barOf(KPFigureView* view) {
    KPDocument* doc = KPDocument::FindDocumentWith_tobjet(view->info());
    return doc && doc->figureWindow() ? doc->figureWindow()->menuBar() : nullptr;
  }

  // Output of a poppler tool on the file, empty when it could not run.
  static QByteArray run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) return {};
    return process.readAllStandardOutput();
  }

  static int pageCount(const QString& pdf) {
    const QByteArray info = run(QStringLiteral("pdfinfo"), {pdf});
    const int at = info.indexOf("Pages:");
    return at < 0 ? -1 : info.mid(at + 6, info.indexOf('\n', at) - at - 6).trimmed().toInt();
  }

  void printToPdf(const QString& path) {
    QFile::remove(path);
    KPDocument::setPrintPanelResponder([path](QPrinter* printer) {
      printer->setOutputFormat(QPrinter::PdfFormat);
      printer->setOutputFileName(path);
      return true;
    });
  }
};

template <class T>
T* itemOf(QWidget* view, int id) {
  for (T* child : view->findChildren<T*>()) {
    int found = 0;
    if (kp_item_id(child, &found) && found == id) return child;
  }
  return nullptr;
}

TEST_F(EndToEndPrinting, TheSheetsRectangleDraggedPutsTheFigureOnTheLeftOfThePrintedPage) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint middle(view->width() / 2, view->height() / 2);
  chooseTool(view, &classe_segment);
  click(view, middle - QPoint(60, 0));
  click(view, middle + QPoint(60, 0));
  chooseTool(view, nullptr);

  QRectF before;
  QRectF after;
  NSShowPageController::setSheetResponder([&](NSShowPageController* sheet) {
    sheet->show();
    KPShowView* page = sheet->theShowView();
    EXPECT_FALSE(page->thumbnail().isNull());
    EXPECT_TRUE(page->filetitle()->isVisible());
    before = page->printRect();
    // A quarter of the page to the right: the figure goes to the page's left.
    const QPoint from = before.center().toPoint();
    const QPoint to = from + QPoint(static_cast<int>(before.width() / 4 + 1), 0);
    QTest::mousePress(page, Qt::LeftButton, {}, from);
    QTest::mouseMove(page, to);
    QTest::mouseRelease(page, Qt::LeftButton, {}, to);
    after = page->printRect();
    return 1;
  });
  const QString pdf = dir.filePath(QStringLiteral("page.pdf"));
  printToPdf(pdf);
  ASSERT_TRUE(clickMenuItem(barOf(view), QStringLiteral("File"), QStringLiteral("Print")));
  EXPECT_GT(after.x(), before.x() + before.width() / 5);
  EXPECT_EQ(after.y(), before.y());
  ASSERT_TRUE(QFile::exists(pdf));
  EXPECT_EQ(pageCount(pdf), 1);

  // The page as a grey picture: ink only in its left half.
  const QString stem = dir.filePath(QStringLiteral("page"));
  run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-gray"),
                                   QStringLiteral("-singlefile"), pdf, stem});
  const QImage image(stem + QStringLiteral(".pgm"));
  ASSERT_FALSE(image.isNull());
  int left = 0;
  int right = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 160) (x < image.width() / 2 ? left : right) += 1;
  EXPECT_GT(left, 3);
  EXPECT_EQ(right, 0);
  // The rectangle is kept for the next print.
  EXPECT_EQ(KPDocument::FindDocumentWith_tobjet(view->info())->printRect(), after);
}

TEST_F(EndToEndPrinting, AFiveSnapshotSessionPrintsTwoPagesOfFourCells) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 100));
  click(view, QPoint(220, 160));
  chooseTool(view, nullptr);
  KPDocument* doc = KPDocument::FindDocumentWith_tobjet(view->info());
  const QString folder = dir.filePath(QStringLiteral("Lesson"));
  ASSERT_TRUE(QDir().mkpath(folder));
  for (int n = 1; n <= 5; ++n) ASSERT_TRUE(doc->writeToURL(folder + QStringLiteral("/Lesson_%1.fig").arg(n)));
  doc->setPageOrientation(true);

  kp_set_file_chooser([&](const KPFileDialogRequest&) -> std::optional<std::string> {
    return (folder + QStringLiteral("/Lesson_1.fig")).toStdString();
  });
  // The print-session dialog, worked as a user: the second layout, OK.
  static int dialogs = 0;
  dialogs = 0;
  session_print_services().run_dialog = [](const char*, session_dialog_procedure procedure) {
    ++dialogs;
    KPDialogPanel panel(procedure);
    auto* list = new QComboBox(&panel);
    kp_set_item_id(list, 1183);
    auto* frame = new QCheckBox(&panel);
    kp_set_item_id(frame, 1186);
    auto* ok = new QPushButton(&panel);
    panel.bindButton(ok, 1);
    panel.installProcedure();
    EXPECT_EQ(list->count(), 3);
    EXPECT_TRUE(frame->isChecked());
    list->setCurrentIndex(1);
    ok->click();
    return panel.result();
  };
  const QString pdf = dir.filePath(QStringLiteral("session.pdf"));
  printToPdf(pdf);
  ASSERT_TRUE(clickMenuItem(barOf(view), QStringLiteral("Work Session"), QStringLiteral("Print Work Session")));
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(session_print_now().columns, 2);
  EXPECT_EQ(session_print_now().rows, 2);
  EXPECT_FALSE(session_viewing());  // closed after printing
  ASSERT_TRUE(QFile::exists(pdf));
  EXPECT_EQ(pageCount(pdf), 2);
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
}

TEST_F(EndToEndPrinting, SaveAsWithThePasswordBoxOnReopensProtected) {
  // A figure holding the midpoint of a user macro, which may be protected.
  const QString source = dir.filePath(QStringLiteral("macro.fig"));
  {
    QFile out(source);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(
        "Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\nUsed macro\r\n\r\n"
        "Mid2, M2\r\nHelp:\r\n\"Half way\"\r\nMth: 0\r\nCN:2, ON:2, FN:2, PO:0\r\nCT:\r\n"
        "point, CS 0, default settings, \r\npoint, CS 0, default settings, \r\nConst:\r\n"
        "Mid, Mth:0, 1, CN:2, VN:1, Const: 1 2, default settings, \r\n"
        "Seg, Mth:0, 1, CN:2, VN:2, Const: 1 3, default settings, \r\n"
        "\r\nFigure description:\r\n\r\nWindow center x: 0cm y: 0cm\r\nResolution: 28 ppc\r\n\r\n"
        "1: Pt, Val: 0 -0\r\n\r\n2: Pt, Val: 2 -0\r\n\r\n"
        "Ma: Mid2, Const: 1 i: 0 2 i: 0\r\n3: Ma R, F No1, \r\n\r\n4: Pt, Val: 5 -5\r\n\r\n");
  }
  KPDocument* doc = KPDocument::openDocument(source);
  ASSERT_NE(doc, nullptr) << messages().join('\n').toStdString();
  KPFigureView* view = doc->figureView();
  ASSERT_TRUE(waitForView(view));
  const QString saved = dir.filePath(QStringLiteral("sealed.fig"));
  KPDocument::setSavePanelResponder({});
  bool protect_enabled = false;
  kp_set_file_chooser([&](const KPFileDialogRequest& request) -> std::optional<std::string> {
    if (!request.panel || !request.panel->accessoryView()) return std::nullopt;
    QWidget* accessory = request.panel->accessoryView();
    accessory->show();
    auto* box = itemOf<QCheckBox>(accessory, kOptProtect);
    auto* field = itemOf<QLineEdit>(accessory, kOptPassword);
    if (!box || !field) return std::nullopt;
    protect_enabled = box->isEnabled();
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClicks(field, "sesame");
    return saved.toStdString();
  });
  ASSERT_TRUE(clickMenuItem(barOf(view), QStringLiteral("File"), QStringLiteral("Save As")));
  ASSERT_TRUE(protect_enabled);
  closeAll();
  KPDocument* again = KPDocument::openDocument(saved);
  ASSERT_NE(again, nullptr);
  ASSERT_TRUE(waitForView(again->figureView()));
  kelvo_win_info* fig = again->figureView()->info();
  ASSERT_NE(fig, nullptr);
  ASSERT_NE(fig->password, nullptr);
  EXPECT_STREQ(fig->password, "sesame");
}

}  // namespace
