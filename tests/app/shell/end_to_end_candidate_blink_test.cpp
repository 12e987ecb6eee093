// The list that asks which object was meant: while it is up, the candidate
// under the pointer is shown selected in the figure and blinks there, as a
// selection does, until a line is chosen.
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

#include "app/panels/ambig_menu.h"
#include "app/support/figure_test.h"
#include "platform/kp_timer.h"

namespace {

class EndToEndCandidateBlink : public FigureTest {};

TEST_F(EndToEndCandidateBlink, TheHoveredCandidateBlinksWhileTheListIsUpAndTheTimerGoesWithIt) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  // Three perpendicular bisectors of a triangle meet in one point.
  const QPoint a(200, 100), b(100, 300), c(300, 300);
  chooseTool(view, &classe_point);
  for (QPoint p : {a, b, c}) click(view, p);
  chooseTool(view, &classe_mediatrice);
  for (auto [p, q] : {std::pair{a, b}, std::pair{b, c}, std::pair{c, a}}) {
    click(view, p);
    click(view, q);
  }
  ASSERT_EQ(objectsOf(view->info(), &classe_mediatrice).size(), 3u);
  chooseTool(view, nullptr);
  spin(30);

  static int timers_before = -1, timers_during = -1;
  static bool changed_at_rest = false;
  timers_before = KPTimer::timerCount();
  timers_during = -1;
  changed_at_rest = false;
  answerCandidateList([view](AmbigPopupController* list) {
    timers_during = KPTimer::timerCount();
    // The pointer comes to rest on the top line and stays there.
    const QPoint at = list->cells().back()->getRect().center().toPoint();
    QMouseEvent move(QEvent::MouseMove, at, list->panel()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(list->panel(), &move);
    QApplication::processEvents();
    const QImage first = view->viewImage();
    // The figure keeps changing with nothing moved: the candidate blinks.
    QElapsedTimer waited;
    waited.start();
    while (!changed_at_rest && waited.elapsed() < 5000) {
      QApplication::processEvents(QEventLoop::AllEvents, 20);
      changed_at_rest = view->viewImage() != first;
    }
    QTest::mouseClick(list->panel(), Qt::LeftButton, {}, at);
  });
  click(view, QPoint(200, 225));
  EXPECT_EQ(timers_during, timers_before + 1);
  EXPECT_TRUE(changed_at_rest) << "the hovered candidate does not blink";
  // The list gone, its timer has gone with it.
  EXPECT_EQ(KPTimer::timerCount(), timers_before);
  ASSERT_EQ(objlist_count(view->info()->selection), 1);
}

}  // namespace
