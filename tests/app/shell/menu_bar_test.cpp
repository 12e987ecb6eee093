// The figure window's menu bar clicked as a user clicks it: closing, quitting
// and opening from a window's own menu, files that cannot be read, the names
// the window and the dialogs show, new windows, export, and undo after a drag.
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/model/figure.h"
#include "platform/kp_files.h"

namespace {

class MenuBar : public FigureTest {
 protected:
  static QMenuBar* barOf(KPDocument* doc) { return doc && doc->figureWindow() ? doc->figureWindow()->menuBar() : nullptr; }

  // A figure file holding one segment.
  QString segmentFile(const QString& name) {
    const QString path = dir.filePath(name);
    KPFigureView* view = openView();
    chooseTool(view, &classe_segment);
    click(view, QPoint(100, 300));
    click(view, QPoint(300, 300));
    chooseTool(view, nullptr);
    EXPECT_TRUE(KPDocument::currentDocument()->writeToURL(path));
    closeAll();
    return path;
  }

  static QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
};

}  // namespace

TEST_F(MenuBar, FileCloseClosesTheWindowWhoseMenuWasClicked) {
  ASSERT_NE(openView(), nullptr);
  KPDocument* doc = KPDocument::currentDocument();
  QPointer<KPFigureWindow> window = doc->figureWindow();
  ASSERT_TRUE(clickMenuItem(barOf(doc), "File", "Close"));
  spin(20);
  EXPECT_TRUE(KPDocument::liveDocuments().empty());
  EXPECT_TRUE(window.isNull());
}

TEST_F(MenuBar, FileQuitClosesEveryWindow) {
  ASSERT_NE(openView(), nullptr);
  ASSERT_NE(openView(), nullptr);
  ASSERT_TRUE(clickMenuItem(barOf(KPDocument::currentDocument()), "File", "Quit"));
  spin(20);
  EXPECT_TRUE(KPDocument::liveDocuments().empty());
}

TEST_F(MenuBar, FileOpenReplacesTheUntouchedUntitledWindowWhoseMenuWasClicked) {
  const QString path = segmentFile(QStringLiteral("one segment.fig"));
  ASSERT_NE(openView(), nullptr);
  KPDocument::setOpenPanelResponder([path](const QString&) { return path; });
  ASSERT_TRUE(clickMenuItem(barOf(KPDocument::currentDocument()), "File", "Open"));
  KPDocument::setOpenPanelResponder({});
  spin(20);
  ASSERT_EQ(KPDocument::liveDocuments().size(), 1u);
  KPDocument* doc = KPDocument::liveDocuments().front();
  EXPECT_EQ(doc->filePath(), path);
  ASSERT_TRUE(waitForView(doc->figureView()));
  EXPECT_EQ(objectsOf(doc->figureView()->info(), &classe_segment).size(), 1u);
}

// The session ending (or Quit) while the Save As panel runs: the panel goes
// first, then the windows, and the program ends normally.
TEST_F(MenuBar, QuittingWhileTheSaveAsPanelIsOpenWaitsForThePanel) {
  ASSERT_NE(openView(), nullptr);
  KPDocument* doc = KPDocument::currentDocument();
  KPDocument::setSavePanelResponder({});  // the real panel
  bool panel_seen = false;
  QTimer::singleShot(0, [&] { clickMenuItem(barOf(doc), "File", "Save As"); });
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (qobject_cast<QFileDialog*>(QApplication::activeModalWidget()) && !panel_seen) {
      panel_seen = true;
      QCoreApplication::quit();
    }
  });
  poll.start(20);
  // Never hang; the timer goes with the test, since an exit that fires after
  // the program's loop ended makes every later nested loop return at once.
  QTimer::singleShot(20000, &poll, [] { QCoreApplication::exit(3); });
  const int status = QApplication::exec();
  EXPECT_TRUE(panel_seen);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(KPDocument::liveDocuments().empty());
}

TEST_F(MenuBar, AFileThatCannotBeReadIsNeverSavedOver) {
  // A figure whose records the reader refuses.
  QByteArray bytes("FIGURE Kelvo Nova\r\n1: Pt, Const: 7 8\r\n");
  bytes.append(QByteArray(4096, 'x'));
  const QString path = dir.filePath(QStringLiteral("refused.fig"));
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
  ASSERT_NE(openView(), nullptr);
  KPDocument* untitled = KPDocument::currentDocument();
  KPDocument::setOpenPanelResponder([path](const QString&) { return path; });
  ASSERT_TRUE(clickMenuItem(barOf(untitled), "File", "Open"));
  KPDocument::setOpenPanelResponder({});
  spin(20);
  ASSERT_FALSE(messages().isEmpty());
  EXPECT_TRUE(messages().last().contains(QStringLiteral("cannot be read")));
  // No window under the file's name; the untitled one is still there.
  ASSERT_EQ(KPDocument::liveDocuments().size(), 1u);
  EXPECT_EQ(KPDocument::liveDocuments().front(), untitled);
  EXPECT_EQ(KPDocument::currentDocument(), untitled);
  // Saving what is left asks for a name and never touches the file.
  QString asked;
  KPDocument::setSavePanelResponder([&asked, this](const QString& directory) {
    asked = directory;
    return dir.filePath(QStringLiteral("elsewhere.fig"));
  });
  ASSERT_TRUE(clickMenuItem(barOf(untitled), "File", "Save"));
  EXPECT_FALSE(asked.isNull());
  EXPECT_EQ(bytesOf(path), bytes);
}

TEST_F(MenuBar, SaveAsNamesTheWindowAfterItsFileAndDialogsQuoteTheNameOnly) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  KPDocument* doc = KPDocument::currentDocument();
  KPFigureWindow* window = doc->figureWindow();
  const QString name = window->windowTitle();
  chooseTool(view, &classe_point);
  click(view, QPoint(150, 150));
  ASSERT_EQ(window->windowTitle(), name + QStringLiteral(" *"));
  // The kernel's texts and the unsaved-changes prompt name the figure.
  char text[64] = {};
  window->getWindowText(text, sizeof text);
  EXPECT_EQ(QString::fromUtf8(text), name);
  QString quoted;
  KPDocument::setClosePromptResponder([&quoted](const QString& n) {
    quoted = n;
    return int(QMessageBox::Cancel);
  });
  ASSERT_TRUE(clickMenuItem(barOf(doc), "File", "Close"));
  EXPECT_EQ(quoted, name);
  ASSERT_EQ(KPDocument::liveDocuments().size(), 1u);

  const QString path = dir.filePath(QStringLiteral("named.fig"));
  KPDocument::setSavePanelResponder([path](const QString&) { return path; });
  ASSERT_TRUE(clickMenuItem(barOf(doc), "File", "Save As"));
  EXPECT_TRUE(QFile::exists(path));
  EXPECT_EQ(window->windowTitle(), QStringLiteral("named.fig"));
  EXPECT_EQ(doc->documentName(), QStringLiteral("named.fig"));
  EXPECT_STREQ(view->info()->text0, "named.fig");
}

TEST_F(MenuBar, FileNewMakesAFigureWithOneOriginAndOnePairOfAxes) {
  ASSERT_NE(openView(), nullptr);
  KPDocument* first = KPDocument::currentDocument();
  ASSERT_TRUE(clickMenuItem(barOf(first), "File", "New"));
  spin(20);
  ASSERT_EQ(KPDocument::liveDocuments().size(), 2u);
  KPDocument* fresh = KPDocument::currentDocument();
  ASSERT_NE(fresh, first);
  kelvo_win_info* fig = fresh->figureView()->info();
  ASSERT_NE(fig, nullptr);
  EXPECT_EQ(fig->nbobj, 2u);
  int axes = 0, objects = 0;
  for (object* o = fig->first; o; o = o->next, ++objects)
    if (o->otype && o->otype->id == TYPE_AXES) ++axes;
  EXPECT_EQ(objects, 2);
  EXPECT_EQ(axes, 1);
}

TEST_F(MenuBar, FileExportWritesThePictureChosen) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 100));
  click(view, QPoint(220, 160));
  const std::string path = dir.filePath(QStringLiteral("figure.png")).toStdString();
  std::vector<std::string> filters;
  kp_set_file_chooser([&](const KPFileDialogRequest& request) -> std::optional<std::string> {
    filters = request.name_filters;
    return path;
  });
  const bool clicked = clickMenuItem(barOf(KPDocument::currentDocument()), "File", "Export");
  kp_set_file_chooser({});
  ASSERT_TRUE(clicked);
  ASSERT_FALSE(filters.empty());
  const QImage image(QString::fromStdString(path));
  ASSERT_FALSE(image.isNull());
  EXPECT_GT(image.width(), 100);
}

TEST_F(MenuBar, EditUndoAfterADragPutsTheMovedPointBack) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 100));
  click(view, QPoint(220, 160));
  const std::vector<object*> segments = objectsOf(view->info(), &classe_segment);
  ASSERT_EQ(segments.size(), 1u);
  object* end = segments[0]->parents[0];
  const double x0 = end->valeurs[0].h, y0 = end->valeurs[0].v;
  chooseTool(view, nullptr);
  drag(view, QPoint(100, 100), QPoint(160, 220));
  ASSERT_NEAR(end->valeurs[0].h - x0, 60, 1);
  ASSERT_TRUE(clickMenuItem(barOf(KPDocument::currentDocument()), "Edit", "Undo"));
  spin(20);
  // The figure record may be the undo copy now: look the point up again.
  const std::vector<object*> after = objectsOf(view->info(), &classe_segment);
  ASSERT_EQ(after.size(), 1u);
  EXPECT_DOUBLE_EQ(after[0]->parents[0]->valeurs[0].h, x0);
  EXPECT_DOUBLE_EQ(after[0]->parents[0]->valeurs[0].v, y0);
}
