// Figure windows and the tools palette: a window moved up under the palette
// comes back below it, and a maximised window fills the free area beside
// and below the palette, its menu bar in sight.
#include <QFile>
#include <QMenuBar>
#include <QScrollBar>
#include <gtest/gtest.h>

#include "app/panels/tools_palette.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "app/document/kp_document.h"

namespace {
using WindowPlacement = FigureTest;
}  // namespace

TEST_F(WindowPlacement, AWindowStaysBelowTheToolsPalette) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  KPFigureWindow* window = view->figureWindow();
  const int bar = NSKelvoToolsPanelView::getFigureWindowPosition().y();
  ASSERT_GT(bar, 0);
  for (const QPoint to : {QPoint(300, 0), QPoint(200, bar / 2), QPoint(250, bar + 40)}) {
    window->move(to);
    spin(30);
    EXPECT_GE(window->frameGeometry().top(), bar) << to.y();
    EXPECT_EQ(window->frameGeometry().left(), to.x());
  }
  EXPECT_EQ(window->frameGeometry().top(), bar + 40);  // a window lower down stays where it was put
}

TEST_F(WindowPlacement, AMaximisedWindowKeepsItsMenuBarInSight) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  KPFigureWindow* window = view->figureWindow();
  const QPoint corner = NSKelvoToolsPanelView::getFigureWindowPosition();
  const QRect desk = NSKelvoToolsPanelView::getDesktopRect();
  window->showMaximized();
  spin(100);
  EXPECT_FALSE(window->isMaximized());
  const QRect frame = window->frameGeometry();
  EXPECT_EQ(frame.topLeft(), corner);
  EXPECT_NEAR(frame.right(), desk.right(), 1);
  EXPECT_NEAR(frame.bottom(), desk.bottom(), 1);
  EXPECT_GE(window->menuBar()->mapToGlobal(QPoint(0, 0)).y(), corner.y());
}

namespace {
QByteArray bytes_of(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}  // namespace

// A figure saved from a window of another size opens again at that size,
// showing the same part of the sheet, and saves the same file again; a
// window line larger than the screen opens a window that stays on it.
TEST_F(WindowPlacement, AFigureOpensAgainAtTheSizeAndPlaceItWasSavedAt) {
  KPFigureView* view = openSegmentAndCircle(40);
  ASSERT_NE(view, nullptr);
  KPFigureWindow* window = view->figureWindow();
  const QSize started = window->frameGeometry().size();
  window->resize(window->size() - QSize(220, 160));
  spin(30);
  // The sheet scrolled a little, as a user moves it.
  window->scrollRemoteView()->hScroller()->setValue(window->scrollRemoteView()->hScroller()->value() + 30);
  window->scrollRemoteView()->vScroller()->setValue(window->scrollRemoteView()->vScroller()->value() + 20);
  spin(30);
  const QSize size = view->size();
  const QImage picture = shown(view);
  const QString path = dir.filePath(QStringLiteral("placed.fig"));
  KPDocument* doc = KPDocument::FindDocumentWith_tobjet(view->info());
  ASSERT_TRUE(doc->writeToURL(path));
  const QByteArray saved = bytes_of(path);
  closeAll();

  KPDocument* again = KPDocument::openDocument(path);
  ASSERT_NE(again, nullptr);
  ASSERT_TRUE(waitForView(again->figureView()));
  spin(30);
  EXPECT_EQ(again->figureView()->size(), size);
  EXPECT_EQ(shown(again->figureView()), picture) << "another part of the sheet shows";
  const QString second = dir.filePath(QStringLiteral("placed again.fig"));
  ASSERT_TRUE(again->writeToURL(second));
  EXPECT_EQ(bytes_of(second), saved);
  closeAll();

  // A window saved on a larger screen.
  QByteArray large = saved;
  const int at = large.indexOf("Window size x:");
  ASSERT_GE(at, 0);
  large.replace(at, large.indexOf("\r\n", at) - at, "Window size x: 300.00cm y: 200.00cm");
  const QString big = dir.filePath(QStringLiteral("large.fig"));
  QFile out(big);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.write(large);
  out.close();
  KPDocument* opened = KPDocument::openDocument(big);
  ASSERT_NE(opened, nullptr);
  ASSERT_TRUE(waitForView(opened->figureView()));
  spin(30);
  // It grew to the screen's far corner, no further (a window too large for
  // the screen at its start stays the size it had).
  const QRect desk = NSKelvoToolsPanelView::getDesktopRect();
  const QRect frame = opened->figureWindow()->frameGeometry();
  EXPECT_GT(opened->figureView()->width(), size.width());
  EXPECT_LE(frame.right(), std::max(desk.right(), frame.left() + started.width() - 1));
  EXPECT_LE(frame.bottom(), std::max(desk.bottom(), frame.top() + started.height() - 1));
}

// File > New opens each window a little lower and to the right of the one
// shown last, not over it, be it a window opened on a file in place of
// the untitled one.
TEST_F(WindowPlacement, ANewWindowOpensBesideTheLastOneShown) {
  KPFigureView* first = openSegmentAndCircle(40);
  ASSERT_NE(first, nullptr);
  const QString path = dir.filePath(QStringLiteral("cascade.fig"));
  ASSERT_TRUE(KPDocument::FindDocumentWith_tobjet(first->info())->writeToURL(path));
  closeAll();
  KPFigureView* untitled = openView();
  ASSERT_NE(untitled, nullptr);
  KPDocument* file = KPDocument::openDocument(path);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(waitForView(file->figureView()));
  ASSERT_EQ(KPDocument::liveDocuments().size(), 1u);
  QWidget* last = file->figureWindow();
  for (int n = 0; n < 2; ++n) {
    ASSERT_TRUE(clickMenuItem(menuBarOf(KPDocument::currentDocument()->figureView()), QStringLiteral("File"),
                              QStringLiteral("New")));
    spin(20);
    KPFigureView* fresh = KPDocument::liveDocuments().back()->figureView();
    ASSERT_TRUE(waitForView(fresh));
    QWidget* window = fresh->figureWindow();
    EXPECT_EQ(window->frameGeometry().topLeft(), last->frameGeometry().topLeft() + QPoint(22, 22)) << n;
    last = window;
  }
}

// A figure saved from a maximised window opens again at that size while
// another window stands where the next one would open: it moves back up to
// the palette's corner rather than shrink to fit beside that window.
TEST_F(WindowPlacement, AFigureSavedMaximisedOpensAgainMaximisedBesideAnotherWindow) {
  KPFigureView* view = openSegmentAndCircle(40);
  ASSERT_NE(view, nullptr);
  KPFigureWindow* window = view->figureWindow();
  window->showMaximized();
  ASSERT_TRUE(waitUntil([window] {
    return window->frameGeometry().bottom() >= NSKelvoToolsPanelView::getDesktopRect().bottom() - 1;
  }));
  const QSize size = view->size();
  const QImage picture = shown(view);
  const QString path = dir.filePath(QStringLiteral("maximised.fig"));
  ASSERT_TRUE(KPDocument::FindDocumentWith_tobjet(view->info())->writeToURL(path));
  closeAll();

  // A figure with a change of its own stays open beside it.
  KPFigureView* other = openSegmentAndCircle(40);
  ASSERT_NE(other, nullptr);
  KPDocument* opened = KPDocument::openDocument(path);
  ASSERT_NE(opened, nullptr);
  ASSERT_TRUE(waitForView(opened->figureView()));
  ASSERT_EQ(KPDocument::liveDocuments().size(), 2u);
  ASSERT_TRUE(waitUntil([&] { return opened->figureView()->size() == size; }))
      << opened->figureView()->width() << "x" << opened->figureView()->height() << " for " << size.width() << "x"
      << size.height();
  // Down to the screen's bottom, no further, and below the palette.
  const QRect frame = opened->figureWindow()->frameGeometry();
  EXPECT_LE(frame.bottom(), NSKelvoToolsPanelView::getDesktopRect().bottom()) << "the window runs off the screen";
  EXPECT_GE(frame.left(), NSKelvoToolsPanelView::getFigureWindowPosition().x());
  EXPECT_GE(frame.top(), NSKelvoToolsPanelView::getFigureWindowPosition().y());
  EXPECT_EQ(shown(opened->figureView()), picture) << "another part of the sheet shows";
}
