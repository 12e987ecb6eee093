// The figure view: its drawing lock, the composited image, the figure
// timer, queued key records, scrolling and zoom.
#include <QImage>
#include <QKeyEvent>
#include <QWheelEvent>
#include <cmath>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "app/kernel_iface/kel_event_record.h"
#include "kernel/tools/tool_dispatch.h"
#include "app/shell/figure_window.h"
#include "app/support/shell_fixture.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/render/display_device.h"
#include "kernel/tools/tool_state.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/kp_qt_bridge.h"

namespace {

int g_keys_delivered = 0;
uint32_t g_last_key = 0;
void count_key(kel_EventRecord* record) {
  ++g_keys_delivered;
  g_last_key = record->message;
}

}  // namespace

// The whole path on screen: the application opens a figure, the kernel
// draws it into the shared static layer, the paint event composites it and
// the view's image shows it.
TEST_F(ShellTest, TheViewShowsWhatTheKernelDraws) {
  KPDocument* doc = KPDocument::openUntitledDocument();
  KPFigureView* view = doc->figureView();
  ASSERT_TRUE(waitForView(view));
  kelvo_win_info* fig = view->info();
  ASSERT_NE(fig, nullptr);
  fig->bgcolor = 0x3050D0;  // run-time colour: red 0x30, green 0x50, blue 0xD0
  view->invalidateFigure();
  view->grab();  // a paint event
  const QImage image = view->viewImage();
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), view->size());
  for (const QPoint p : {QPoint(1, 1), QPoint(image.width() / 2, image.height() / 2),
                         QPoint(image.width() - 2, image.height() - 2)})
    EXPECT_EQ(image.pixelColor(p), QColor(0x30, 0x50, 0xD0)) << p.x() << "," << p.y();
  // The shared static layer holds the same picture.
  EXPECT_EQ(KPFigureView::getStaticDisplayDevice()->refcon, fig);
  // The paint shows the view's picture pixel for pixel, a figure drawn on
  // it included.
  for (int i = 0; i < 3; ++i) {
    current_class = &classe_point;
    objlist_clear(fig->inputs);
    rubber_points[0] = valeur{40.0 + 60 * i, 30.0 + 25 * i, {}, 0};
    variable_nb_values = 0;
    uint16_t created = 0;
    ASSERT_NE(create_object(0, &created, 1, 1, 0), nullptr);
  }
  current_class = nullptr;
  view->invalidateFigure();
  const QImage shown = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QImage drawn = view->viewImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shown.size(), drawn.size());
  int marked = 0;
  for (int y = 0; y < drawn.height(); ++y)
    for (int x = 0; x < drawn.width(); ++x) marked += drawn.pixelColor(x, y) != QColor(0x30, 0x50, 0xD0);
  EXPECT_GT(marked, 0) << "the points are not drawn";
  EXPECT_EQ(shown, drawn);
}

TEST_F(ShellTest, EachViewPaintsItsOwnFigure) {
  KPDocument* a = KPDocument::openUntitledDocument();
  KPDocument* b = KPDocument::openUntitledDocument();
  a->figureView()->info()->bgcolor = 0xFF0000;
  b->figureView()->info()->bgcolor = 0x00FF00;
  a->figureView()->grab();
  b->figureView()->grab();
  EXPECT_EQ(a->figureView()->viewImage().pixelColor(5, 5), QColor(255, 0, 0));
  EXPECT_EQ(b->figureView()->viewImage().pixelColor(5, 5), QColor(0, 255, 0));
  // Painting a view that is not current leaves the current figure alone.
  EXPECT_EQ(KPGeoDocument::currentInfo(), b->figureView()->info());
}

TEST_F(ShellTest, TheDrawingLockNestsAndFailsWhileTheViewHasNoArea) {
  KPDocument* doc = KPDocument::openUntitledDocument();
  KPFigureView* view = doc->figureView();
  ASSERT_NE(view->lockFixSaveContext(), nullptr);
  ASSERT_NE(view->lockFixSaveContext(), nullptr);
  EXPECT_EQ(view->isLockedView(), 2);
  view->unlockView();
  EXPECT_EQ(view->isLockedView(), 1);
  view->unlockView();
  EXPECT_EQ(view->isLockedView(), 0);
  KPFigureView bare;
  bare.resize(0, 0);
  EXPECT_EQ(bare.lockFixSaveContext(), nullptr);
}

TEST_F(ShellTest, FigureTimerRunsOnlyWhenWantedAndAtTheModesInterval) {
  KPDocument* a = KPDocument::openUntitledDocument();
  KPDocument* b = KPDocument::openUntitledDocument();
  KPFigureView* view = b->figureView();
  view->CheckFigureTimer();
  EXPECT_FALSE(view->figureTimerRunning());
  kelvo_win_info* fig = view->info();
  objlist_add(fig->selection, fig->first, 0);
  view->CheckFigureTimer();
  ASSERT_TRUE(view->figureTimerRunning());
  EXPECT_EQ(view->figureTimerInterval(), 20);
  // Not for a view that is not current.
  a->figureView()->CheckFigureTimer();
  EXPECT_FALSE(a->figureView()->figureTimerRunning());
  // The interval is fixed when the timer starts.
  interaction_state = STATE_ANIMATION;
  view->CheckFigureTimer();
  EXPECT_EQ(view->figureTimerInterval(), 20);
  view->stopTimer();
  view->CheckFigureTimer();
  EXPECT_EQ(view->figureTimerInterval(), 10);
  interaction_state = STATE_POINTER;
  objlist_clear(fig->selection);
  view->CheckFigureTimer();
  EXPECT_FALSE(view->figureTimerRunning());
  // Resigning stops it.
  objlist_add(fig->selection, fig->first, 0);
  view->CheckFigureTimer();
  view->unSelectWindow();
  EXPECT_FALSE(view->figureTimerRunning());
}

TEST_F(ShellTest, KeyMessagesAreHandledOnALaterPass) {
  KPDocument* doc = KPDocument::openUntitledDocument();
  KPFigureView* view = doc->figureView();
  spin();
  g_keys_delivered = 0;
  NSKelvoWrapMachine::sendMessage(kp_hwnd(view), WM_CHAR, 'a', 0);
  NSKelvoWrapMachine::sendMessage(kp_hwnd(doc->figureWindow()), WM_CHAR, 'b', 0);
  EXPECT_EQ(view->pendingKeyRecords(), 2);
  const size_t blocks = kernel_live_blocks();
  spin();
  EXPECT_EQ(view->pendingKeyRecords(), 0);
  EXPECT_EQ(kernel_live_blocks(), blocks - 2);  // each record freed after delivery
  // A record whose view goes first is freed without being delivered.
  NSKelvoWrapMachine::sendMessage(kp_hwnd(view), WM_CHAR, 'c', 0);
  doc->close();
  spin();
  EXPECT_EQ(kernel_live_blocks() <= blocks, true);
}

TEST_F(ShellTest, EscapeGoesToTheKernelAndClearsTheSelection) {
  KPDocument* doc = KPDocument::openUntitledDocument();
  KPFigureView* view = doc->figureView();
  kelvo_win_info* fig = view->info();
  objlist_add(fig->selection, fig->first, 0);
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));
  QApplication::sendEvent(view, &escape);
  EXPECT_EQ(objlist_count(fig->selection), 0);
  // An arrow key outside the view's own forwarding is left to others.
  QKeyEvent arrow(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
  EXPECT_FALSE(KPFigureView::keyDown(&arrow, kp_hwnd(doc->figureWindow())));
}

TEST_F(ShellTest, ScrollKnobsFollowTheKernelPosition) {
  KPDocument* doc = KPDocument::openUntitledDocument();
  KPFigureWindow* window = doc->figureWindow();
  KPFigureView* view = doc->figureView();
  view->setFixedSize(600, 400);
  window->adjustSize();
  spin();
  ASSERT_EQ(view->size(), QSize(600, 400));
  NSKelvoScrollRemoteView* remote = window->scrollRemoteView();
  remote->updateRanges();
  remote->setScrollPos(0, -450, false);
  remote->setScrollPos(1, -300, false);
  EXPECT_NEAR(remote->pendingX(), 1450.0 / 3200.0, 1e-9);
  EXPECT_NEAR(remote->pendingY(), 1 - 2200.0 / 3400.0, 1e-9);
  // Applying them scrolls the figure, its left edge to the position; after
  // that nothing is pending.
  remote->setScrollPos(0, -350, false);
  remote->finishScroll(true);
  EXPECT_EQ(remote->pendingX(), 0);
  EXPECT_EQ(view->centerX(), -350);
}

TEST_F(ShellTest, AWheelTurnScrollsTheSheet) {
  KPDocument* doc = KPDocument::openUntitledDocument();
  KPFigureView* view = doc->figureView();
  spin();
  const int32_t y = view->centerY();
  QWheelEvent away(QPointF(50, 50), view->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view, &away);
  EXPECT_LT(view->centerY(), y);  // the upper part comes into view
  EXPECT_EQ(scroll_drag_active, 0);
}

TEST_F(ShellTest, ZoomControlScalesTheView) {
  KPDocument* doc = KPDocument::openUntitledDocument();
  KPFigureView* view = doc->figureView();
  const struct {
    double value;
    float scale;
  } cases[] = {{0, 1.0f}, {0.5, 2.0f}, {-0.5, 0.5f}};
  for (const auto& c : cases) {
    view->setFigureScale(c.value);
    EXPECT_FLOAT_EQ(view->scale(), c.scale) << c.value;
    // The view's port and the device the kernel draws with take the zoom.
    EXPECT_FLOAT_EQ(view->getDC()->getScale(), c.scale) << c.value;
    EXPECT_DOUBLE_EQ(view->getDisplayDevice()->ratio, c.scale) << c.value;
    EXPECT_EQ(view->sheetWidth(), static_cast<int>(std::ceil(view->width() / c.scale))) << c.value;
  }
}

TEST_F(ShellTest, WindowLongsAndMessagesOfTheView) {
  KPDocument* doc = KPDocument::openUntitledDocument();
  KPFigureView* view = doc->figureView();
  HWND h = kp_hwnd(view);
  EXPECT_EQ(NSKelvoWrapMachine::getWindowLong(h, GWL_USERDATA), reinterpret_cast<LONG_PTR>(view->getDisplayDevice()));
  EXPECT_EQ(NSKelvoWrapMachine::getWindowLong(h, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&figure_window_proc));
  NSKelvoWrapMachine::setWindowLong(h, GWL_STYLE, 7);
  EXPECT_EQ(NSKelvoWrapMachine::getWindowLong(h, GWL_STYLE), 7);
  // A figure window hands its messages to its view: 16 closes the window.
  NSKelvoWrapMachine::sendMessage(kp_hwnd(doc->figureWindow()), WM_CLOSE, 0, 0);
  spin();
  EXPECT_TRUE(KPDocument::liveDocuments().empty());
}

TEST_F(ShellTest, InvalidateRectReachesViewsAndWindows) {
  KPDocument* doc = KPDocument::openUntitledDocument();
  tagRECT r{0, 0, 10, 10};
  EXPECT_EQ(InvalidateRect(kp_hwnd(doc->figureView()), &r, 0), 1);
  EXPECT_EQ(InvalidateRect(kp_hwnd(doc->figureWindow()), nullptr, 0), 1);
  EXPECT_EQ(InvalidateRect(nullptr, nullptr, 0), 0);
}
