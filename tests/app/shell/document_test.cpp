// Start-up, figure documents and their windows: naming, the current figure,
// dirty marks, opening, saving, reverting and closing.
#include <QFile>
#include <QDir>
#include <cmath>
#include <QLabel>
#include <QMessageBox>
#include <QTextBrowser>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/render/fonts.h"
#include "kernel/window/main_commands.h"
#include "kernel/tools/tool_dispatch.h"
#include "app/shell/figure_window.h"
#include "app/support/shell_fixture.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/units.h"
#include "kernel/model/version_info.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/tool_state.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/kp_dialog.h"
#include "platform/kp_qt_bridge.h"

namespace {

QString write_file(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
  const QString path = dir.filePath(name);
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(bytes);
  return path;
}

}  // namespace

TEST_F(ShellTest, StartUpFillsTheStringsAndSetsTheKernelUp) {
  EXPECT_STREQ(kernel_string(292), "Untitled ");
  EXPECT_EQ(NSKelvoWrapMachine::getWindowLong(kp_hwnd(app()), GWL_WNDPROC),
            reinterpret_cast<LONG_PTR>(&main_key_command));
  EXPECT_GT(pixels_per_unit, 0);
  // The measured screen resolution reaches the kernel: whole pixels to the
  // centimetre, the unit length and the fonts' pixels per inch agree.
  EXPECT_EQ(screen_pixels_per_cm, std::floor(screen_pixels_per_cm));
  EXPECT_NEAR(screen_pixels_per_cm, screen_pixels_per_inch / 2.54, 1.0);
  EXPECT_EQ(pixels_per_unit, screen_pixels_per_cm);
  EXPECT_TRUE(app()->isInitFinished());
  // The resources folder is known to the kernel: the version entries read.
  EXPECT_EQ(get_version_plist_value("BuildVersion").value_or(""), "13000");
  EXPECT_EQ(get_version_plist_value("SourceVersion").value_or(""), "1.4");
}

TEST_F(ShellTest, NewFiguresAreNumberedAndTheCurrentFigureFollowsTheMainWindow) {
  const int first = KPDocument::untitledCounter();
  KPDocument* a = KPDocument::openUntitledDocument();
  KPDocument* b = KPDocument::openUntitledDocument();
  KPDocument* c = KPDocument::openUntitledDocument();
  EXPECT_EQ(a->figureWindow()->windowTitle(), QStringLiteral("Untitled %1").arg(first));
  EXPECT_EQ(b->figureWindow()->windowTitle(), QStringLiteral("Untitled %1").arg(first + 1));
  EXPECT_EQ(c->figureWindow()->windowTitle(), QStringLiteral("Untitled %1").arg(first + 2));
  for (KPDocument* d : {a, b, c}) {
    ASSERT_NE(d->figureView()->info(), nullptr);
    EXPECT_EQ(d->figureView()->info()->nbobj, 2u);  // the origin and the axes
    EXPECT_EQ(d->docState(), KPDocument::kBuilt);
    EXPECT_TRUE(is_figure_untouched(d->figureView()->info()));
  }
  EXPECT_EQ(KPDocument::currentDocument(), c);
  EXPECT_EQ(KPGeoDocument::currentInfo(), c->figureView()->info());
  a->myMakeMainWindow();
  EXPECT_EQ(KPDocument::currentDocument(), a);
  EXPECT_EQ(KPGeoDocument::currentInfo(), a->figureView()->info());
  EXPECT_EQ(current_figure_view, kp_hwnd(a->figureView()));
  EXPECT_EQ(interaction_state, STATE_POINTER);
  // The counter never goes back, even after closing.
  c->close();
  KPDocument* d = KPDocument::openUntitledDocument();
  EXPECT_EQ(d->figureWindow()->windowTitle(), QStringLiteral("Untitled %1").arg(first + 3));
}

TEST_F(ShellTest, TheTitleShowsChangesAndLosesTheMarkWhenClean) {
  KPDocument* doc = KPDocument::openUntitledDocument();
  kelvo_win_info* fig = doc->figureView()->info();
  const QString title = doc->figureWindow()->windowTitle();
  KPGeoDocument::_do_dirty(fig);
  EXPECT_EQ(doc->figureWindow()->windowTitle(), title + QStringLiteral(" *"));
  EXPECT_TRUE(fig->wflags & kFigureChanged);
  KPGeoDocument::_do_dirty(fig);
  EXPECT_EQ(doc->figureWindow()->windowTitle(), title + QStringLiteral(" *"));
  KPGeoDocument::_undo_dirty(fig);
  EXPECT_EQ(doc->figureWindow()->windowTitle(), title);
  EXPECT_FALSE(fig->wflags & kFigureChanged);
  // A title of two characters or less is never shortened.
  doc->figureWindow()->setWindowTitle(QStringLiteral(" *"));
  doc->unset_dirty();
  EXPECT_EQ(doc->figureWindow()->windowTitle(), QStringLiteral(" *"));
}

TEST_F(ShellTest, ClosingAChangedFigureAsksAndFreesEverythingOnce) {
  const size_t before = kernel_live_blocks();
  KPDocument* doc = KPDocument::openUntitledDocument();
  KPFigureWindow* window = doc->figureWindow();
  EXPECT_GT(kernel_live_blocks(), before);
  KPGeoDocument::_do_dirty(doc->figureView()->info());
  closeAnswer() = QMessageBox::Cancel;
  EXPECT_FALSE(window->close());
  EXPECT_EQ(closePrompts(), 1);
  ASSERT_EQ(KPDocument::liveDocuments().size(), 1u);
  closeAnswer() = QMessageBox::Discard;
  EXPECT_TRUE(window->close());
  spin();
  EXPECT_TRUE(KPDocument::liveDocuments().empty());
  EXPECT_EQ(KPDocument::currentDocument(), nullptr);
  EXPECT_EQ(kernel_live_blocks(), before);
}

TEST_F(ShellTest, QuitReviewsEveryUnsavedDocument) {
  KPDocument* a = KPDocument::openUntitledDocument();
  KPDocument::openUntitledDocument();
  KPDocument* c = KPDocument::openUntitledDocument();
  KPGeoDocument::_do_dirty(a->figureView()->info());
  KPGeoDocument::_do_dirty(c->figureView()->info());
  closeAnswer() = QMessageBox::Cancel;
  EXPECT_FALSE(DUVirIdazididovi::quit());
  EXPECT_EQ(closePrompts(), 1);
  EXPECT_EQ(KPDocument::liveDocuments().size(), 3u);
  closeAnswer() = QMessageBox::Discard;
  EXPECT_TRUE(DUVirIdazididovi::quit());
  EXPECT_EQ(closePrompts(), 3);
  EXPECT_TRUE(KPDocument::liveDocuments().empty());
}

TEST_F(ShellTest, ASaveThatFailsIsReportedAndTheFigureStaysChanged) {
  KPDocument* doc = KPDocument::openUntitledDocument();
  KPDocument* other = KPDocument::openUntitledDocument();
  kelvo_win_info* fig = doc->figureView()->info();
  KPGeoDocument::_do_dirty(fig);
  // A folder that does not exist cannot take the file.
  const QString unwritable = dir.filePath("missing/saved.fig");
  KPDocument::setSavePanelResponder([unwritable](const QString&) { return unwritable; });
  EXPECT_FALSE(doc->writeToURL(unwritable));
  EXPECT_FALSE(messages().isEmpty());
  EXPECT_TRUE(fig->wflags & kFigureChanged);
  EXPECT_FALSE(fig->wflags & kFigureHasFile);
  EXPECT_TRUE(doc->figureWindow()->windowTitle().endsWith(QStringLiteral(" *")));
  // The current document is the same after the save.
  EXPECT_EQ(KPDocument::currentDocument(), other);
  // A changed figure whose save fails stays open when closing.
  closeAnswer() = QMessageBox::Save;
  EXPECT_FALSE(doc->shouldClose());
}

// A figure written by the program itself, with one free point.
QString saved_figure(const QTemporaryDir& dir, const QString& name) {
  KPDocument* doc = KPDocument::openUntitledDocument();
  kelvo_win_info* fig = doc->figureView()->info();
  fig->first->settings.visible = 1;  // no longer untouched
  const QString path = dir.filePath(name);
  EXPECT_TRUE(doc->writeToURL(path));
  doc->close();
  return path;
}

TEST_F(ShellTest, AFileKeepsItsBytesUntilItsWindowBecomesMain) {
  const QString path = saved_figure(dir, QStringLiteral("a.fig"));
  KPDocument* untitled = KPDocument::openUntitledDocument();
  ASSERT_TRUE(is_figure_untouched(untitled->figureView()->info()));
  KPDocument* doc = KPDocument::openDocument(path, false);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->docState(), KPDocument::kBytesKept);
  doc->figureWindow()->show();
  doc->myMakeMainWindow();
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  EXPECT_EQ(doc->docState(), KPDocument::kBuilt);
  // The untouched untitled window gave its place to the file.
  spin(5);
  ASSERT_EQ(KPDocument::liveDocuments().size(), 1u);
  EXPECT_EQ(KPDocument::liveDocuments()[0], doc);
  kelvo_win_info* fig = doc->figureView()->info();
  ASSERT_NE(fig, nullptr);
  EXPECT_STREQ(fig->text0, "a.fig");
  EXPECT_EQ(QString::fromUtf8(fig->text1), path);
  EXPECT_TRUE(fig->wflags & kFigureHasFile);
}

// A file the reader refuses (or an empty one) is said so and leaves no
// window under its name: nothing could be saved over it. The untitled window
// it would have replaced stays and is the current one again.
TEST_F(ShellTest, AFileTheReaderRefusesLeavesNoWindow) {
  for (const QByteArray& bytes : {QByteArray("FIGURE Kelvo Nova\r\n"), QByteArray(), QByteArray("x")}) {
    messages().clear();
    KPDocument* untitled = KPDocument::openUntitledDocument();
    ASSERT_TRUE(is_figure_untouched(untitled->figureView()->info()));
    const size_t blocks = kernel_live_blocks();
    const QString path = write_file(dir, "refused.fig", bytes);
    EXPECT_EQ(KPDocument::openDocument(path), nullptr);
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages()[0].contains(QStringLiteral("cannot be read")));
    spin(5);
    ASSERT_EQ(KPDocument::liveDocuments().size(), 1u);
    EXPECT_EQ(KPDocument::currentDocument(), untitled);
    EXPECT_EQ(KPGeoDocument::currentInfo(), untitled->figureView()->info());
    EXPECT_EQ(kernel_live_blocks(), blocks);
    closeAll();
  }
}

TEST_F(ShellTest, AChangedUntitledFigureIsNotReplacedByAnOpenedFile) {
  const QString path = saved_figure(dir, QStringLiteral("b.fig"));
  KPDocument* untitled = KPDocument::openUntitledDocument();
  KPGeoDocument::_do_dirty(untitled->figureView()->info());
  untitled->figureView()->info()->first->settings.visible = 1;
  ASSERT_NE(KPDocument::openDocument(path), nullptr);
  spin(5);
  EXPECT_EQ(KPDocument::liveDocuments().size(), 2u);
}

TEST_F(ShellTest, AFileThatCannotBeReadOpensNoDocument) {
  EXPECT_EQ(KPDocument::openDocument(dir.filePath("missing.fig")), nullptr);
  EXPECT_TRUE(KPDocument::liveDocuments().empty());
  EXPECT_EQ(messages().size(), 1);
}

TEST_F(ShellTest, RevertKeepsTheFigureWhenTheFileCannotBeBuiltAgain) {
  const QString path = saved_figure(dir, QStringLiteral("c.fig"));
  KPDocument* doc = KPDocument::openDocument(path);
  ASSERT_NE(doc, nullptr);
  kelvo_win_info* fig = doc->figureView()->info();
  ASSERT_NE(fig, nullptr);
  KPGeoDocument::_do_dirty(fig);
  EXPECT_TRUE(doc->validateMenuItem(KPDocument::kItemRevert));
  messages().clear();
  // "No" to the question keeps the figure untouched.
  KPDialog::setMessageBoxResponder([](const KPMessageBoxRequest& r) {
    messages() << QString::fromStdString(r.message);
    return 1;  // the second button: no
  });
  doc->revertDocumentToSaved();
  EXPECT_EQ(doc->figureView()->info(), fig);
  ASSERT_EQ(messages().size(), 1);
  // "Yes", with a file that the reader cannot build: the figure stays too.
  KPDialog::setMessageBoxResponder([](const KPMessageBoxRequest& r) {
    messages() << QString::fromStdString(r.message);
    return 0;
  });
  write_file(dir, "c.fig", "FIGURE");
  const size_t blocks = kernel_live_blocks();
  doc->revertDocumentToSaved();
  EXPECT_EQ(doc->figureView()->info(), fig);
  EXPECT_EQ(kernel_live_blocks(), blocks);
  // And when the file is gone.
  QFile::remove(path);
  doc->revertDocumentToSaved();
  EXPECT_EQ(doc->figureView()->info(), fig);
}

TEST_F(ShellTest, FilesHandedToTheApplication) {
  const QString menus = write_file(dir, "tools.men", "not a menus file");
  EXPECT_TRUE(app()->openFile(menus));
  EXPECT_FALSE(app()->openFile(write_file(dir, "f.fig", "x")));
  // A missing calculator file is taken and nothing is imported.
  messages().clear();
  EXPECT_TRUE(app()->openFile(dir.filePath("gone.89x")));
  EXPECT_TRUE(messages().isEmpty());
}

TEST_F(ShellTest, RememberedDirectoryExpandsTheTilde) {
  qputenv("HOME", dir.path().toUtf8());
  QDir(dir.path()).mkdir("sub");
  EXPECT_EQ(set_current_directory("~/sub"), dir.path() + QStringLiteral("/sub"));
  EXPECT_EQ(set_current_directory(nullptr), dir.path() + QStringLiteral("/sub"));
}

TEST_F(ShellTest, ToolsHelpToggledTwiceLeavesEveryWindowAsItWas) {
  KPDocument* a = KPDocument::openUntitledDocument();
  KPDocument* b = KPDocument::openUntitledDocument();
  app()->toggleToolsHelp();
  EXPECT_FALSE(a->figureWindow()->helpField()->isHidden());
  EXPECT_FALSE(b->figureWindow()->helpField()->isHidden());
  app()->toggleToolsHelp();
  EXPECT_TRUE(a->figureWindow()->helpField()->isHidden());
  EXPECT_TRUE(b->figureWindow()->helpField()->isHidden());
  // The document in use stays the current one.
  EXPECT_EQ(KPDocument::currentDocument(), b);
}

// The program ignores SIGXFSZ: a save beyond the file-size limit fails like
// one on a full disk. The save runs in a child started with the signal at
// its default disposition (an ignored signal would stay ignored across exec),
// where a signal the program did not ignore would kill it.
TEST_F(ShellTest, ASaveBeyondTheFileSizeLimitFailsLikeAFullDisk) {
  if (!qEnvironmentVariableIsSet("KELVO_FILE_SIZE_CHILD")) {
    std::vector<std::string> env_text = {"KELVO_FILE_SIZE_CHILD=1"};
    for (char** e = environ; *e != nullptr; ++e) env_text.emplace_back(*e);
    std::vector<char*> env;
    for (std::string& s : env_text) env.push_back(s.data());
    env.push_back(nullptr);
    std::string filter = "--gtest_filter=ShellTest.ASaveBeyondTheFileSizeLimitFailsLikeAFullDisk";
    char self[] = "/proc/self/exe";
    char* argv[] = {self, filter.data(), nullptr};
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::signal(SIGXFSZ, SIG_DFL);
      execve(self, argv, env.data());
      _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_FALSE(WIFSIGNALED(status)) << "the save was killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    return;
  }
  // In the child: the figure kept by the file and another open figure.
  const QByteArray old = "Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n";
  const QString path = write_file(dir, "limited.fig", old);
  KPDocument* other = KPDocument::openUntitledDocument();
  KPDocument* doc = KPDocument::openUntitledDocument();
  kelvo_win_info* fig = doc->figureView()->info();
  ASSERT_NE(fig, nullptr);
  kelvo_win_info* was = KPGeoDocument::currentInfo();
  KPGeoDocument::setCurrentInfo(fig);
  for (int i = 0; i < 400; ++i) {
    current_class = &classe_point;
    objlist_clear(fig->inputs);
    rubber_points[0] = valeur{1.5 * i, 0.25 * i, {}, 0};
    variable_nb_values = 0;
    uint16_t created = 0;
    ASSERT_NE(create_object(0, &created, 1, 1, 0), nullptr);
  }
  current_class = nullptr;
  KPGeoDocument::setCurrentInfo(was);
  // Far more than the limit allows.
  const rlimit limit{4096, RLIM_INFINITY};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  EXPECT_FALSE(doc->writeToURL(path));
  const rlimit none{RLIM_INFINITY, RLIM_INFINITY};
  setrlimit(RLIMIT_FSIZE, &none);
  // Told as a full disk is; the old file as it was; no temporary left.
  EXPECT_FALSE(messages().isEmpty());
  QFile kept(path);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), old);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("limited.fig")});
  // The program and its other figures live on.
  ASSERT_NE(other->figureView()->info(), nullptr);
  EXPECT_EQ(other->figureView()->info()->nbobj, 2u);
  EXPECT_EQ(fig->nbobj, 402u);
}

// A relative path on the command line names a file of the directory the
// program was started in, whatever folder the dialogs remember; the
// remembered folder never becomes the process's working directory.
TEST_F(ShellTest, LaunchPathsAreRelativeToTheStartingDirectory) {
  QDir(dir.path()).mkpath(QStringLiteral("start"));
  QDir(dir.path()).mkpath(QStringLiteral("remembered"));
  const QString start = dir.filePath(QStringLiteral("start"));
  const QString remembered = dir.filePath(QStringLiteral("remembered"));
  QFile::rename(saved_figure(dir, QStringLiteral("good.fig")), start + QStringLiteral("/good.fig"));
  const QByteArray other("FIGURE of another folder, not to be touched\r\n");
  write_file(dir, QStringLiteral("remembered/good.fig"), other);
  const QString before = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(start));
  set_current_directory(remembered.toUtf8().constData());
  EXPECT_EQ(QDir::currentPath(), start);
  app()->openLaunchArguments({QStringLiteral("good.fig")});
  spin(20);
  ASSERT_EQ(KPDocument::liveDocuments().size(), 1u);
  KPDocument* doc = KPDocument::liveDocuments().front();
  EXPECT_EQ(doc->filePath(), start + QStringLiteral("/good.fig"));
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  KPGeoDocument::_do_dirty(doc->figureView()->info());
  EXPECT_TRUE(doc->saveDocument());
  QFile kept(remembered + QStringLiteral("/good.fig"));
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), other);
  QDir::setCurrent(before);
}
