// The Work Session menu as a user works it: a session recorded while
// another figure holds unsaved changes, opened in a window of its own and
// closed from that window's menu, every other window's work kept.
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/document/kp_document.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/files/work_session.h"
#include "kernel/model/figure.h"
#include "kernel/text/kernel_strings.h"
#include "platform/kp_dialog.h"
#include "platform/kp_files.h"
#include "platform/kp_run_loop.h"

namespace {

class EndToEndWorkSession : public FigureTest {
 protected:
  void TearDown() override {
    kp_set_file_chooser({});
    if (session_recording()) session_stop_recording();
    if (session_viewing()) session_close_viewing();
    closeAll();
    session_reset();
    FigureTest::TearDown();
  }

  static QMenuBar* barOf(KPDocument* doc) { return doc && doc->figureWindow() ? doc->figureWindow()->menuBar() : nullptr; }
  static KPDocument* documentOf(KPFigureView* view) { return KPDocument::FindDocumentWith_tobjet(view->info()); }
  // The next file dialog answers `path` (UTF-8), the ones after it cancel.
  static void chooseNext(const QString& path) {
    const std::string chosen = path.toStdString();
    auto once = std::make_shared<bool>(false);
    kp_set_file_chooser([chosen, once](const KPFileDialogRequest&) -> std::optional<std::string> {
      if (*once) return std::nullopt;
      *once = true;
      return chosen;
    });
  }
  static QString text(int row) { return kp_qstring(kernel_string(row)); }

  // A session "Lesson" recorded in the test's folder from a figure drawn
  // with the tools: its start and a segment, then stopped. Answers the
  // first snapshot's path.
  QString recordLesson() {
    KPFigureView* view = openView();
    if (!view) return {};
    KPDocument* doc = documentOf(view);
    chooseNext(dir.filePath(QStringLiteral("Lesson")));
    EXPECT_TRUE(clickMenuItem(barOf(doc), QStringLiteral("Work Session"), QStringLiteral("Start Recording")));
    EXPECT_TRUE(session_recording());
    chooseTool(view, &classe_segment);
    click(view, QPoint(100, 100));
    click(view, QPoint(260, 180));
    chooseTool(view, nullptr);
    EXPECT_TRUE(clickMenuItem(barOf(doc), QStringLiteral("Work Session"), QStringLiteral("Stop Recording")));
    EXPECT_FALSE(session_recording());
    return dir.filePath(QStringLiteral("Lesson/Lesson_1.fig"));
  }
};

TEST_F(EndToEndWorkSession, ClosingTheSessionFromItsOwnWindowKeepsEveryOtherWindowsWork) {
  const QString first = recordLesson();
  ASSERT_TRUE(QFile::exists(first));
  ASSERT_TRUE(QFile::exists(dir.filePath(QStringLiteral("Lesson/Lesson_2.fig"))));
  // The recording's window holds its segment unsaved.
  KPDocument* work = KPDocument::currentDocument();
  ASSERT_NE(work, nullptr);
  kelvo_win_info* work_figure = work->figureView()->info();
  ASSERT_TRUE(work_figure->wflags & 1) << "the drawn figure is not marked changed";
  const uint32_t work_objects = work_figure->nbobj;

  chooseNext(first);
  ASSERT_TRUE(clickMenuItem(barOf(work), QStringLiteral("Work Session"), QStringLiteral("Open Work Session")));
  ASSERT_TRUE(session_viewing());
  KPDocument* shown = KPDocument::currentDocument();
  ASSERT_NE(shown, work);
  ASSERT_TRUE(clickMenuItem(barOf(shown), QStringLiteral("Work Session"), QStringLiteral("Next Snapshot")));
  EXPECT_EQ(session_snapshot_number(), 2);

  // Closed from its own window's menu: the message says so, its window
  // goes, and the program goes on with the other window as it was. The
  // message box runs its own event loop until the user answers, as a real
  // one does.
  messages().clear();
  KPDialog::setMessageBoxResponder([](const KPMessageBoxRequest& request) {
    messages() << QString::fromStdString(request.message);
    QMessageBox box;
    box.setText(QString::fromStdString(request.message));
    box.setStandardButtons(QMessageBox::Ok);
    QTimer::singleShot(50, &box, [&box] { QTest::mouseClick(box.button(QMessageBox::Ok), Qt::LeftButton); });
    KPRunLoopModeScope modal(KPRunLoopMode::ModalPanel);
    box.exec();
    return 0;
  });
  ASSERT_TRUE(clickMenuItem(barOf(shown), QStringLiteral("Work Session"), QStringLiteral("Close Work Session")));
  spin(20);
  EXPECT_FALSE(session_viewing());
  ASSERT_EQ(messages().size(), 1) << messages().join('\n').toStdString();
  EXPECT_EQ(messages()[0].trimmed(), text(719).trimmed());
  ASSERT_EQ(KPDocument::liveDocuments().size(), 1u);
  EXPECT_EQ(KPDocument::liveDocuments()[0], work);
  EXPECT_EQ(work->figureView()->info(), work_figure);
  EXPECT_EQ(work_figure->nbobj, work_objects);
  EXPECT_TRUE(work_figure->wflags & 1);
  // Its window still works once the user comes back to it: a point drawn
  // in it.
  make_main_window(work->figureWindow());
  ASSERT_TRUE(waitForView(work->figureView()));
  chooseTool(work->figureView(), &classe_point);
  click(work->figureView(), QPoint(300, 60));
  chooseTool(work->figureView(), nullptr);
  EXPECT_EQ(work_figure->nbobj, work_objects + 1);
  // And the session opens again.
  chooseNext(first);
  ASSERT_TRUE(clickMenuItem(barOf(work), QStringLiteral("Work Session"), QStringLiteral("Open Work Session")));
  EXPECT_TRUE(session_viewing());
}

// The program's own message box, answered with the mouse once it shows:
// it stands before a window that stays, never the session's window that
// the command is closing (deleted with that window, the box would go
// while it still runs), and the program goes on.
TEST_F(EndToEndWorkSession, TheClosedSessionsMessageBelongsToAWindowThatStays) {
  const QString first = recordLesson();
  ASSERT_TRUE(QFile::exists(first));
  KPDocument* work = KPDocument::currentDocument();
  ASSERT_NE(work, nullptr);
  chooseNext(first);
  ASSERT_TRUE(clickMenuItem(barOf(work), QStringLiteral("Work Session"), QStringLiteral("Open Work Session")));
  ASSERT_TRUE(session_viewing());
  KPDocument* shown = KPDocument::currentDocument();
  ASSERT_NE(shown, work);
  ASSERT_TRUE(clickMenuItem(barOf(shown), QStringLiteral("Work Session"), QStringLiteral("Next Snapshot")));
  QPointer<QWidget> session_window = shown->figureWindow();
  // The window whose menu the user clicks is the active one, as it stays
  // with a window manager for a while after it is hidden.
  session_window->activateWindow();
  ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == session_window; }));

  KPDialog::setMessageBoxResponder({});
  QString said;
  bool owned_by_session = false;
  QTimer answer;
  answer.setInterval(20);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    answer.stop();
    said = box->text();
    for (QWidget* w = box->parentWidget(); w; w = w->parentWidget())
      if (w == session_window) owned_by_session = true;
    QAbstractButton* ok = box->buttons().isEmpty() ? nullptr : box->buttons().front();
    if (ok) QTest::mouseClick(ok, Qt::LeftButton);
  });
  answer.start();
  ASSERT_TRUE(clickMenuItem(barOf(shown), QStringLiteral("Work Session"), QStringLiteral("Close Work Session")));
  answer.stop();
  EXPECT_EQ(said.trimmed(), text(719).trimmed());
  EXPECT_FALSE(owned_by_session) << "the message belongs to the window being closed";
  EXPECT_FALSE(session_viewing());
  EXPECT_TRUE(waitUntil([&] { return session_window.isNull(); })) << "the session's window is never deleted";
  ASSERT_EQ(KPDocument::liveDocuments().size(), 1u);
  EXPECT_EQ(KPDocument::liveDocuments()[0], work);
}

}  // namespace
