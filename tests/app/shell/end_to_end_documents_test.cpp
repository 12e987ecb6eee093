// Figure documents and their windows as a user meets them: each window
// shows and edits its own figure whatever the tools help does, a file is
// shown in one window only, a web page exported beside other files asks
// before it replaces one and leaves the document's changes unsaved, the
// scroll bars stay in step with the view, and no pull-down list is left
// over the save panel.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QMenuBar>
#include <QPointer>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "app/document/kp_document.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "app/lang/resource_string.h"
#include "app/panels/tools_pull_down.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/window/figure_scroll.h"
#include "platform/kp_dialog.h"
#include "platform/kp_files.h"
#include "platform/win_constants.h"

namespace {

class EndToEndDocuments : public FigureTest {
 protected:
  void TearDown() override {
    // The tools help is the application's: the next test starts without it.
    if (app()->getToolHelpState()) app()->toggleToolsHelp();
    kp_set_file_chooser({});
    KPDocument::setOpenPanelResponder({});
    closeAll();
    FigureTest::TearDown();
  }

  static QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  static KPFigureWindow* windowOf(KPFigureView* view) { return view ? view->figureWindow() : nullptr; }

  // A figure file holding a segment from (100, 100) to (300, 100) of a
  // window, written and its window closed.
  QString segmentFile(const QString& name) {
    const QString path = dir.filePath(name);
    KPFigureView* view = openView();
    if (!view) return {};
    drawSegment(view, QPoint(100, 100), QPoint(300, 100));
    if (!KPDocument::currentDocument()->writeToURL(path)) return {};
    closeAll();
    return path;
  }

  // File > Open in the window of `view`, the open panel answering `path`;
  // the document that shows the file then.
  static KPDocument* openWithMenu(KPFigureView* view, const QString& path) {
    KPDocument::setOpenPanelResponder([path](const QString&) { return path; });
    const bool clicked = clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Open"));
    KPDocument::setOpenPanelResponder({});
    EXPECT_TRUE(clicked);
    spin(20);
    KPDocument* shown = nullptr;
    for (KPDocument* doc : KPDocument::liveDocuments())
      if (QFileInfo(doc->filePath()) == QFileInfo(path)) shown = doc;
    return shown;
  }

  // File > New in the window of `view`; the new window's view.
  static KPFigureView* newWithMenu(KPFigureView* view) {
    const size_t before = KPDocument::liveDocuments().size();
    EXPECT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("New")));
    spin(20);
    if (KPDocument::liveDocuments().size() != before + 1) return nullptr;
    KPFigureView* fresh = KPDocument::liveDocuments().back()->figureView();
    return waitForView(fresh) ? fresh : nullptr;
  }

  // Brings the window to the front as a click on it does.
  static bool bringToFront(KPFigureView* view) {
    make_main_window(windowOf(view));
    return waitForView(view);
  }

  // File > Export in the window of `view` to `path`; every question asked
  // meanwhile is answered with `answer` (IDYES or IDNO) and kept.
  bool exportTo(KPFigureView* view, const QString& path, int answer, QStringList* asked) {
    const std::string chosen = path.toStdString();
    kp_set_file_chooser([chosen](const KPFileDialogRequest&) -> std::optional<std::string> { return chosen; });
    KPDialog::setMessageBoxResponder([answer, asked](const KPMessageBoxRequest& request) {
      *asked << QString::fromStdString(request.message);
      return answer == IDYES ? 0 : 1;
    });
    const bool clicked = clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Export"));
    kp_set_file_chooser({});
    KPDialog::setMessageBoxResponder([](const KPMessageBoxRequest& request) {
      messages() << QString::fromStdString(request.message);
      return 0;
    });
    spin(20);
    return clicked;
  }
};

// The tools help shown and hidden in every window while a figure opened
// from a file is in front: each window keeps showing and editing its own
// figure, the window in front keeps the current one, and Save in it writes
// its own figure to its own file.
TEST_F(EndToEndDocuments, ToolsHelpLeavesEveryWindowOnItsOwnFigure) {
  const QString path = segmentFile(QStringLiteral("fig3.fig"));
  ASSERT_FALSE(path.isEmpty());
  const QByteArray original = readAll(path);
  KPFigureView* untitled = openView();
  ASSERT_NE(untitled, nullptr);
  ASSERT_TRUE(clickMenuItem(menuBarOf(untitled), QStringLiteral("View"), QStringLiteral("Tools Help")));
  ASSERT_TRUE(app()->getToolHelpState());
  KPDocument* opened = openWithMenu(untitled, path);
  ASSERT_NE(opened, nullptr);
  KPFigureView* file_view = opened->figureView();
  ASSERT_TRUE(waitForView(file_view));
  ASSERT_EQ(KPDocument::liveDocuments().size(), 1u);  // the untouched untitled window was replaced
  // A window opened on a file shows the help field as the others do.
  EXPECT_TRUE(windowOf(file_view)->helpField()->isVisible());

  KPFigureView* other = newWithMenu(file_view);
  ASSERT_NE(other, nullptr);
  EXPECT_TRUE(windowOf(other)->helpField()->isVisible());
  chooseTool(other, &classe_point);
  const QPoint p1(150, 220), p2(260, 220);
  click(other, p1);
  click(other, p2);
  chooseTool(other, nullptr);
  kelvo_win_info* file_figure = file_view->info();
  kelvo_win_info* other_figure = other->info();
  ASSERT_NE(file_figure, other_figure);
  const size_t file_points = objectsOf(file_figure, &classe_point).size();
  const size_t other_points = objectsOf(other_figure, &classe_point).size();

  ASSERT_TRUE(bringToFront(file_view));
  for (bool visible : {false, true}) {
    SCOPED_TRACE(visible ? "help shown again" : "help hidden");
    ASSERT_TRUE(clickMenuItem(menuBarOf(file_view), QStringLiteral("View"), QStringLiteral("Tools Help")));
    spin(30);
    EXPECT_EQ(app()->getToolHelpState(), visible);
    EXPECT_EQ(windowOf(file_view)->helpField()->isVisible(), visible);
    EXPECT_EQ(windowOf(other)->helpField()->isVisible(), visible);
    EXPECT_EQ(file_view->info(), file_figure);
    EXPECT_EQ(other->info(), other_figure);
    EXPECT_EQ(KPDocument::currentDocument(), opened);
    EXPECT_EQ(KPGeoDocument::currentInfo(), file_figure);
    // What each window shows: the segment in the file's window, the two
    // points in the other one.
    const QImage file_picture = shown(file_view);
    EXPECT_GT(inkNear(file_picture, QPoint(200, 100)), 0);
    EXPECT_EQ(inkNear(file_picture, p1, 3), 0);
    EXPECT_EQ(inkNear(file_picture, p2, 3), 0);
    const QImage other_picture = shown(other);
    EXPECT_GT(inkNear(other_picture, p1, 3), 0);
    EXPECT_EQ(inkNear(other_picture, QPoint(200, 100)), 0);
  }
  EXPECT_EQ(windowOf(file_view)->windowTitle(), QStringLiteral("fig3.fig"));

  // Save in the file's window writes the file's own figure back.
  ASSERT_TRUE(clickMenuItem(menuBarOf(file_view), QStringLiteral("File"), QStringLiteral("Save")));
  const QByteArray saved = readAll(path);
  EXPECT_EQ(saved.count("Point"), original.count("Point"));
  EXPECT_EQ(saved.count("Segment"), original.count("Segment"));
  // A point made now goes into the figure of the window it is made in.
  chooseTool(file_view, &classe_point);
  click(file_view, QPoint(350, 250));
  chooseTool(file_view, nullptr);
  EXPECT_EQ(objectsOf(file_figure, &classe_point).size(), file_points + 1);
  EXPECT_EQ(objectsOf(other_figure, &classe_point).size(), other_points);
}

// Opening a file that a window already shows, under whatever spelling of
// its path, brings that window to the front instead of reading the file
// into a second window whose saves would overwrite the first one's.
TEST_F(EndToEndDocuments, AFileOpenedAgainShowsItsWindow) {
  const QString path = segmentFile(QStringLiteral("twice.fig"));
  ASSERT_FALSE(path.isEmpty());
  const QString link = dir.filePath(QStringLiteral("link.fig"));
  ASSERT_TRUE(QFile::link(path, link));
  KPFigureView* untitled = openView();
  ASSERT_NE(untitled, nullptr);
  KPDocument* first = openWithMenu(untitled, path);
  ASSERT_EQ(KPDocument::liveDocuments().size(), 1u);
  ASSERT_NE(first, nullptr);
  ASSERT_TRUE(waitForView(first->figureView()));
  kelvo_win_info* figure = first->figureView()->info();
  for (const QString& spelling : {path, dir.path() + QStringLiteral("/./twice.fig"), link}) {
    SCOPED_TRACE(spelling.toStdString());
    KPFigureView* other = newWithMenu(first->figureView());
    ASSERT_NE(other, nullptr);
    const QPointer<KPFigureView> other_view(other);
    KPDocument::setOpenPanelResponder([spelling](const QString&) { return spelling; });
    ASSERT_TRUE(clickMenuItem(menuBarOf(other), QStringLiteral("File"), QStringLiteral("Open")));
    KPDocument::setOpenPanelResponder({});
    spin(20);
    // The untitled window stays: the file did not open in its place.
    const std::vector<KPDocument*> documents = KPDocument::liveDocuments();
    EXPECT_EQ(documents.size(), 2u);
    EXPECT_EQ(std::count_if(documents.begin(), documents.end(),
                            [&](KPDocument* doc) { return QFileInfo(doc->filePath()) == QFileInfo(path); }),
              1);
    ASSERT_FALSE(other_view.isNull());
    EXPECT_NE(KPDocument::FindDocumentWith_tobjet(other->info()), nullptr);
    EXPECT_TRUE(waitForView(first->figureView()));
    EXPECT_EQ(KPDocument::currentDocument(), first);
    EXPECT_EQ(QApplication::activeWindow(), first->figureWindow());
    EXPECT_EQ(first->figureView()->info(), figure);
    for (KPDocument* doc : documents)
      if (doc != first) doc->close();
    spin(10);
    ASSERT_EQ(KPDocument::liveDocuments().size(), 1u);
    ASSERT_EQ(KPDocument::liveDocuments().front(), first);
  }
  // A launch naming the file twice opens one window too.
  closeAll();
  app()->openLaunchArguments({path, path});
  spin(20);
  EXPECT_EQ(KPDocument::liveDocuments().size(), 1u);
}

// Save As onto the file another window shows is refused, and the message
// names that window: the file keeps that window's figure, the window that
// asked keeps its figure and its changes (its next Save asks for a name,
// closing it asks first), and the other window goes on saving its own file
// and showing its own figure.
TEST_F(EndToEndDocuments, SaveAsOntoAFileAnotherWindowShowsIsRefusedAndNamesTheWindow) {
  const QString path = segmentFile(QStringLiteral("fig1.fig"));
  ASSERT_FALSE(path.isEmpty());
  KPFigureView* untitled = openView();
  ASSERT_NE(untitled, nullptr);
  KPDocument* a = openWithMenu(untitled, path);
  ASSERT_NE(a, nullptr);
  ASSERT_TRUE(waitForView(a->figureView()));
  KPFigureView* b_view = newWithMenu(a->figureView());
  ASSERT_NE(b_view, nullptr);
  KPDocument* b = KPDocument::FindDocumentWith_tobjet(b_view->info());
  ASSERT_NE(b, nullptr);
  // A point in each, B's where A has nothing.
  const QPoint in_a(150, 250), in_b(420, 320);
  ASSERT_TRUE(bringToFront(a->figureView()));
  chooseTool(a->figureView(), &classe_point);
  click(a->figureView(), in_a);
  chooseTool(a->figureView(), nullptr);
  ASSERT_TRUE(bringToFront(b_view));
  chooseTool(b_view, &classe_point);
  click(b_view, in_b);
  chooseTool(b_view, nullptr);
  const uint32_t a_objects = a->figureView()->info()->nbobj;
  const QByteArray on_disk = readAll(path);
  ASSERT_FALSE(on_disk.isEmpty());

  messages().clear();
  KPDocument::setSavePanelResponder([path](const QString&) { return path; });
  ASSERT_TRUE(clickMenuItem(menuBarOf(b_view), QStringLiteral("File"), QStringLiteral("Save As")));
  spin(20);
  EXPECT_EQ(readAll(path), on_disk) << "the other window's file was written over";
  ASSERT_EQ(messages().size(), 1);
  const QString title = a->figureWindow()->titleWithoutMark();
  const QString expected = NSKelvoResourceString::nsStringByID(QStringLiteral("943")).arg("fig1.fig", title);
  EXPECT_TRUE(expected.contains(title) && expected.contains(QStringLiteral("fig1.fig"))) << expected.toStdString();
  EXPECT_EQ(messages()[0].trimmed(), expected.trimmed());
  EXPECT_TRUE(b->filePath().isEmpty());
  EXPECT_TRUE(b_view->info()->wflags & 1) << "the refused window lost its changes";
  EXPECT_TRUE(b->figureWindow()->windowTitle().endsWith(QStringLiteral(" *")));

  // A saves its own figure to its file and shows it, B's point nowhere.
  ASSERT_TRUE(bringToFront(a->figureView()));
  const QImage a_shows = shown(a->figureView());
  EXPECT_GT(inkNear(a_shows, in_a, 3), 0);
  EXPECT_EQ(inkNear(a_shows, in_b, 3), 0) << "window A shows B's figure";
  KPDocument::setSavePanelResponder([](const QString&) { return QString(); });
  ASSERT_TRUE(clickMenuItem(menuBarOf(a->figureView()), QStringLiteral("File"), QStringLiteral("Save")));
  spin(20);
  EXPECT_NE(readAll(path), on_disk);
  EXPECT_FALSE(a->figureView()->info()->wflags & 1);
  EXPECT_EQ(a->figureView()->info()->nbobj, a_objects);
  // B still asks before its changes go.
  EXPECT_TRUE(b_view->info()->wflags & 1);
  closePrompts() = 0;
  closeAnswer() = QMessageBox::Cancel;
  b->figureWindow()->close();
  spin(10);
  EXPECT_EQ(closePrompts(), 1);
  EXPECT_EQ(KPDocument::liveDocuments().size(), 2u);
}

// File > Export proposes the name of the figure: an untitled window's
// title without the mark of its changes, a file's name without its
// extension.
TEST_F(EndToEndDocuments, ExportProposesTheNameOfTheFigure) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_point);
  click(view, QPoint(200, 200));
  chooseTool(view, nullptr);
  KPFigureWindow* window = windowOf(view);
  ASSERT_TRUE(window->windowTitle().endsWith(QStringLiteral(" *")));
  static std::string proposed;
  kp_set_file_chooser([](const KPFileDialogRequest& request) -> std::optional<std::string> {
    proposed = request.proposed_name;
    return std::nullopt;
  });
  proposed.clear();
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Export")));
  EXPECT_EQ(QString::fromStdString(proposed), window->titleWithoutMark() + QStringLiteral(".html"));

  ASSERT_TRUE(KPDocument::currentDocument()->writeToURL(dir.filePath(QStringLiteral("my figure.fig"))));
  proposed.clear();
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Export")));
  kp_set_file_chooser({});
  EXPECT_EQ(proposed, "my figure.html");
}

// File > Export as a web page writes the figure file and the picture beside
// the page: a file of those names is replaced only when the user says so,
// be it another figure's file or the document's own. Only writing its own
// file marks the document saved.
TEST_F(EndToEndDocuments, AWebPageAsksBeforeReplacingAFileAndLeavesChangesUnsaved) {
  const QString elsewhere = segmentFile(QStringLiteral("other.fig"));
  ASSERT_FALSE(elsewhere.isEmpty());
  const QByteArray elsewhere_bytes = readAll(elsewhere);
  const QString picture = dir.filePath(QStringLiteral("other.png"));
  {
    QFile file(picture);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not yet a picture");
  }
  KPFigureView* view = openSegmentAndCircle(40);
  ASSERT_NE(view, nullptr);
  KPDocument* doc = KPDocument::FindDocumentWith_tobjet(view->info());
  const QString own = dir.filePath(QStringLiteral("mine.fig"));
  KPDocument::setSavePanelResponder([own](const QString&) { return own; });
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Save")));
  ASSERT_TRUE(QFile::exists(own));
  const QByteArray own_bytes = readAll(own);
  chooseTool(view, &classe_point);
  click(view, QPoint(400, 300));
  chooseTool(view, nullptr);
  ASSERT_TRUE(doc->isEdited());

  struct Case {
    const char* page;
    const QString* replaced;
    const QByteArray* before;
  };
  for (const Case& c : {Case{"other.html", &elsewhere, &elsewhere_bytes}, Case{"mine.html", &own, &own_bytes}}) {
    SCOPED_TRACE(c.page);
    const QString page = dir.filePath(QString::fromLatin1(c.page));
    QStringList asked;
    ASSERT_TRUE(exportTo(view, page, IDNO, &asked));
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QFileInfo(*c.replaced).fileName())) << asked[0].toStdString();
    // Nothing written: the file, the page and the picture are as they were.
    EXPECT_EQ(readAll(*c.replaced), *c.before);
    EXPECT_FALSE(QFile::exists(page));
    EXPECT_EQ(readAll(picture), QByteArray("not yet a picture"));
    EXPECT_TRUE(doc->isEdited());
  }
  // Yes to the question over another figure's file: the page is written,
  // the file replaced, and the document stays changed.
  QStringList asked;
  ASSERT_TRUE(exportTo(view, dir.filePath(QStringLiteral("other.html")), IDYES, &asked));
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(asked[0].contains(QStringLiteral("other.fig")));
  EXPECT_TRUE(asked[0].contains(QStringLiteral("other.png")));
  EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("other.html"))));
  EXPECT_NE(readAll(elsewhere), elsewhere_bytes);
  EXPECT_FALSE(QImage(picture).isNull());
  EXPECT_EQ(readAll(own), own_bytes);
  EXPECT_TRUE(doc->isEdited());
  EXPECT_TRUE(windowOf(view)->windowTitle().endsWith(QStringLiteral(" *")));
  EXPECT_TRUE(view->info()->wflags & kFigureChanged);
  // A page of new names asks nothing and still leaves the changes unsaved.
  asked.clear();
  ASSERT_TRUE(exportTo(view, dir.filePath(QStringLiteral("fresh.html")), IDNO, &asked));
  EXPECT_TRUE(asked.isEmpty()) << asked.join('\n').toStdString();
  EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("fresh.fig"))));
  EXPECT_TRUE(doc->isEdited());
  // Closing asks about the changes.
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Close")));
  EXPECT_EQ(closePrompts(), 1);
}

// The page written over the document's own file saves the document: that
// file now holds the figure as it is.
TEST_F(EndToEndDocuments, AWebPageOverItsOwnFileSavesTheDocument) {
  KPFigureView* view = openSegmentAndCircle(40);
  ASSERT_NE(view, nullptr);
  KPDocument* doc = KPDocument::FindDocumentWith_tobjet(view->info());
  const QString own = dir.filePath(QStringLiteral("mine.fig"));
  KPDocument::setSavePanelResponder([own](const QString&) { return own; });
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("File"), QStringLiteral("Save")));
  chooseTool(view, &classe_point);
  click(view, QPoint(400, 300));
  chooseTool(view, nullptr);
  ASSERT_TRUE(doc->isEdited());
  const QByteArray before = readAll(own);
  QStringList asked;
  ASSERT_TRUE(exportTo(view, dir.filePath(QStringLiteral("mine.html")), IDYES, &asked));
  EXPECT_EQ(asked.size(), 1);
  EXPECT_NE(readAll(own), before);
  EXPECT_FALSE(doc->isEdited());
  EXPECT_FALSE(view->info()->wflags & kFigureChanged);
  EXPECT_EQ(windowOf(view)->windowTitle(), QStringLiteral("mine.fig"));
}

namespace {

// The part of a scroll bar its thumb covers.
QRect thumbOf(QScrollBar* bar) {
  QStyleOptionSlider option;
  option.initFrom(bar);
  option.orientation = bar->orientation();
  option.minimum = bar->minimum();
  option.maximum = bar->maximum();
  option.sliderPosition = bar->sliderPosition();
  option.sliderValue = bar->value();
  option.singleStep = bar->singleStep();
  option.pageStep = bar->pageStep();
  option.subControls = QStyle::SC_All;
  return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar);
}

// The thumb dragged with the mouse by `by` pixels along its bar.
void dragThumb(QScrollBar* bar, int by) {
  const QPoint from = thumbOf(bar).center();
  const QPoint step = bar->orientation() == Qt::Horizontal ? QPoint(1, 0) : QPoint(0, 1);
  QTest::mousePress(bar, Qt::LeftButton, {}, from);
  for (int i = 1; i <= 4; ++i) {
    const QPoint p = from + step * (by * i / 4);
    QMouseEvent move(QEvent::MouseMove, p, bar->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
    QTest::qWait(5);
  }
  QTest::mouseRelease(bar, Qt::LeftButton, {}, from + step * by);
  QTest::qWait(20);
}

}  // namespace

// The scroll bars show the part of the sheet the view shows: at the start,
// after zooming in and out and back to 100 %, after a drag of a thumb and
// after the figure was saved and opened again.
TEST_F(EndToEndDocuments, TheScrollBarsStayInStepWithTheView) {
  KPFigureView* view = openSegmentAndCircle(40);
  ASSERT_NE(view, nullptr);
  KPFigureWindow* window = windowOf(view);
  QScrollBar* h = window->scrollRemoteView()->hScroller();
  QScrollBar* v = window->scrollRemoteView()->vScroller();
  // Each knob stands at the view's top-left corner within the scroll range.
  auto expectInStep = [&](const char* when) {
    SCOPED_TRACE(when);
    EXPECT_EQ(h->value(), view->centerX() - scroll_range.left);
    EXPECT_EQ(v->value(), view->centerY() - scroll_range.top);
    EXPECT_GT(h->value(), 0);
    EXPECT_LT(h->value(), h->maximum());
    EXPECT_GT(v->value(), 0);
    EXPECT_LT(v->value(), v->maximum());
  };
  expectInStep("at the start");
  const int h_start = h->value();
  const int v_start = v->value();
  const QImage at_first = shown(view);

  QSlider* zoom = window->zoomControl();
  zoom->setFocus();
  for (int i = 0; i < 7; ++i) QTest::keyClick(zoom, Qt::Key_PageUp);
  for (int i = 0; i < 2; ++i) QTest::keyClick(zoom, Qt::Key_Up);
  spin(20);
  ASSERT_EQ(window->zoomPercent()->text(), QStringLiteral("357 %"));
  expectInStep("at 357 %");
  QTest::keyClick(zoom, Qt::Key_Home);
  spin(20);
  ASSERT_EQ(window->zoomPercent()->text(), QStringLiteral("10 %"));
  QTest::mouseClick(window->zoomReset(), Qt::LeftButton);
  spin(20);
  ASSERT_EQ(window->zoomPercent()->text(), QStringLiteral("100 %"));
  expectInStep("back at 100 %");
  EXPECT_EQ(h->value(), h_start);
  EXPECT_EQ(v->value(), v_start);
  EXPECT_EQ(shown(view), at_first);

  // A thumb dragged a little scrolls the sheet a little: the segment moves
  // left by as much as the knob moved right.
  dragThumb(h, 12);
  const int moved = h->value() - h_start;
  ASSERT_GT(moved, 0);
  ASSERT_LT(moved, 200);
  expectInStep("after a drag");
  const QImage scrolled = shown(view);
  EXPECT_GT(inkNear(scrolled, QPoint(220 - moved, 160)), 0);
  EXPECT_EQ(inkNear(scrolled, QPoint(220, 160)), 0);
  dragThumb(h, -12);
  EXPECT_EQ(h->value(), h_start);

  // The same view saved and opened again shows the same knobs.
  const QString path = dir.filePath(QStringLiteral("scrolled.fig"));
  ASSERT_TRUE(KPDocument::FindDocumentWith_tobjet(view->info())->writeToURL(path));
  closeAll();
  KPDocument* reopened = KPDocument::openDocument(path);
  ASSERT_NE(reopened, nullptr);
  ASSERT_TRUE(waitForView(reopened->figureView()));
  KPFigureWindow* again = reopened->figureWindow();
  EXPECT_EQ(again->scrollRemoteView()->hScroller()->value(), h_start);
  EXPECT_EQ(again->scrollRemoteView()->vScroller()->value(), v_start);
}

// Save As with Control-S while a toolbox's list is open: the list closes
// before the save panel shows, not after it.
TEST_F(EndToEndDocuments, TheSavePanelComesAfterAToolboxListClosed) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  menu* group = find_tool_menu(static_cast<int16_t>(tool_group(find_tool_id_by_name(classe_segment.name))));
  ASSERT_NE(group, nullptr);
  auto* button = static_cast<QWidget*>(group->view);
  ASSERT_NE(button, nullptr);
  for (int i = 0; i < 2 && !NSGeoToolsPullDownController::openPullDown(); ++i) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    spin(10);
  }
  NSGeoToolsPullDownController* list = NSGeoToolsPullDownController::openPullDown();
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(list->view()->isVisible());
  ASSERT_TRUE(bringToFront(view));
  int panels = 0;
  bool list_over_panel = true;
  KPDocument::setSavePanelResponder([&](const QString&) {
    ++panels;
    list_over_panel = NSGeoToolsPullDownController::openPullDown() != nullptr || list->view()->isVisible();
    return QString();
  });
  QTest::keyClick(windowOf(view), Qt::Key_S, Qt::ControlModifier);
  spin(20);
  ASSERT_EQ(panels, 1);
  EXPECT_FALSE(list_over_panel);
  EXPECT_FALSE(list->view()->isVisible());
}

// The window manager's maximise button: the first press fills the free
// area beside and below the tools palette, the second brings the window
// back to its size; the view shows the figure after each without a click.
TEST_F(EndToEndDocuments, AWindowMaximisedAndRestoredShowsItsFigure) {
  KPFigureView* view = openSegmentAndCircle(40);
  ASSERT_NE(view, nullptr);
  KPFigureWindow* window = windowOf(view);
  window->resize(640, 480);
  spin(50);
  const QRect before = window->geometry();
  // What the view paints when Qt asks it to, as after a resize.
  auto painted = [view] { return view->grab().toImage(); };
  ASSERT_GT(inkNear(painted(), QPoint(160, 130)), 0);
  // The window manager's new size may come between a paint of the figure
  // and the paint that shows it: the view is painted on its new surface.
  view->invalidateFigure();
  view->repaint();
  view->resize(view->width() - 40, view->height() - 30);
  EXPECT_GT(inkNear(painted(), QPoint(160, 130)), 0);
  spin(50);
  window->showMaximized();
  spin(100);
  EXPECT_FALSE(window->isMaximized());
  EXPECT_GT(window->width(), before.width());
  EXPECT_GT(window->height(), before.height());
  EXPECT_GT(inkNear(painted(), QPoint(160, 130)), 0);
  EXPECT_GT(inkNear(painted(), QPoint(160, 180)), 0);  // the top of the circle
  window->showMaximized();
  spin(100);
  EXPECT_FALSE(window->isMaximized());
  EXPECT_EQ(window->geometry(), before);
  EXPECT_GT(inkNear(painted(), QPoint(160, 130)), 0);
  EXPECT_GT(inkNear(painted(), QPoint(160, 180)), 0);
  // And again: the free area, then back.
  window->showMaximized();
  spin(100);
  EXPECT_GT(window->width(), before.width());
  window->showMaximized();
  spin(100);
  EXPECT_EQ(window->geometry(), before);
}

}  // namespace
