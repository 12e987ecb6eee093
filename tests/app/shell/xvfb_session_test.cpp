// A whole session in a real X server (Xvfb, started for this test by CTest;
// elsewhere the test is skipped): the program runs its event loop, the user
// builds two points and a segment with the tools palette and the mouse,
// drags a point and undoes the drag from the Edit menu, saves with
// File > Save As... in the real file dialog, closes with File > Close,
// opens the file again and quits with File > Quit. The event loop ends with
// status 0 and the figure read back is the one saved.
#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/model/figure.h"

namespace {

class XvfbSession : public FigureTest {
 protected:
  void SetUp() override {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "runs under Xvfb only";
    FigureTest::SetUp();
  }

  struct seen {
    construct_class* cls;
    double h, v;
    bool operator==(const seen& o) const { return cls == o.cls && std::abs(h - o.h) < 1e-6 && std::abs(v - o.v) < 1e-6; }
  };
  static std::vector<seen> summary(kelvo_win_info* fig) {
    std::vector<seen> list;
    for (object* o = fig ? fig->first : nullptr; o; o = o->next)
      list.push_back({o->classe, o->valeurs ? o->valeurs[0].h : 0, o->valeurs ? o->valeurs[0].v : 0});
    return list;
  }

  // Answers the file dialog that opens with the path, as a user does.
  static void answerFileDialog(const QString& path) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, path] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog || !dialog->isVisible()) return;
      timer->stop();
      timer->deleteLater();
      QLineEdit* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      if (!name) {
        dialog->reject();
        return;
      }
      // The name goes in whole (typed key by key, the completer's list
      // would take the Return), then Return accepts it.
      name->setFocus();
      name->setText(path);
      QTest::keyClick(name, Qt::Key_Return);
    });
    timer->start(50);
  }
};

}  // namespace

TEST_F(XvfbSession, BuildDragUndoSaveCloseReopenAndQuit) {
  const QString path = dir.filePath(QStringLiteral("session.fig"));
  std::vector<seen> saved, reopened;
  bool script_done = false;
  QTimer::singleShot(0, [&] {
    // The launch with no file named: the untitled window.
    app()->openLaunchArguments({});
    KPDocument* doc = KPDocument::currentDocument();
    ASSERT_NE(doc, nullptr);
    KPFigureView* view = doc->figureView();
    ASSERT_TRUE(waitForView(view));
    pickFromPalette(&classe_point);
    ASSERT_EQ(current_class, &classe_point);
    click(view, QPoint(150, 150));
    click(view, QPoint(320, 220));
    pickFromPalette(&classe_segment);
    ASSERT_EQ(current_class, &classe_segment);
    click(view, QPoint(150, 150));
    click(view, QPoint(320, 220));
    ASSERT_EQ(objectsOf(view->info(), &classe_segment).size(), 1u);
    ASSERT_EQ(objectsOf(view->info(), &classe_point).size(), 3u);  // with the hidden origin

    chooseTool(view, nullptr);
    const std::vector<seen> before_drag = summary(view->info());
    drag(view, QPoint(150, 150), QPoint(200, 260));
    EXPECT_NE(summary(view->info()), before_drag);
    ASSERT_TRUE(clickMenuItem(doc->figureWindow()->menuBar(), QStringLiteral("Edit"), QStringLiteral("Undo")));
    spin(20);
    EXPECT_EQ(summary(view->info()), before_drag);

    KPDocument::setSavePanelResponder({});  // the real dialog
    answerFileDialog(path);
    ASSERT_TRUE(clickMenuItem(doc->figureWindow()->menuBar(), QStringLiteral("File"), QStringLiteral("Save As")));
    spin(20);
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_EQ(doc->figureWindow()->windowTitle(), QStringLiteral("session.fig"));
    saved = summary(view->info());

    ASSERT_TRUE(clickMenuItem(doc->figureWindow()->menuBar(), QStringLiteral("File"), QStringLiteral("Close")));
    spin(30);
    ASSERT_TRUE(KPDocument::liveDocuments().empty());

    KPDocument* again = KPDocument::openDocument(path);
    ASSERT_NE(again, nullptr);
    ASSERT_TRUE(waitForView(again->figureView()));
    reopened = summary(again->figureView()->info());
    script_done = true;
    ASSERT_TRUE(clickMenuItem(again->figureWindow()->menuBar(), QStringLiteral("File"), QStringLiteral("Quit")));
  });
  // Never hang; the timer ends with the test, so it cannot end a later one.
  QTimer never_hang;
  never_hang.setSingleShot(true);
  QObject::connect(&never_hang, &QTimer::timeout, [] { QCoreApplication::exit(3); });
  never_hang.start(60000);
  const int status = QApplication::exec();
  EXPECT_TRUE(script_done);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(KPDocument::liveDocuments().empty());
  ASSERT_FALSE(saved.empty());
  EXPECT_EQ(reopened, saved);
}
