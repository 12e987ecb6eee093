// The replay panel over a figure window: started from the Edit menu, its
// buttons step through the construction; Cancel, Escape and the close box
// show everything again and stop the replay's timer, OK with yes cuts the
// figure back.
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "app/panels/replay_panel.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/window/replay.h"
#include "platform/kp_dialog.h"
#include "platform/kp_timer.h"

namespace {

class ReplayPanel : public FigureTest {
 protected:
  KPFigureWindow* openWithPoints(int n) {
    view_ = openView();
    if (!view_) return nullptr;
    chooseTool(view_, &classe_point);
    for (int i = 0; i < n; ++i) click(view_, QPoint(60 + 40 * i, 60 + 25 * i));
    chooseTool(view_, nullptr);
    return dynamic_cast<KPFigureWindow*>(view_->window());
  }
  int objects() {
    int n = 0;
    for (object* o = view_->info()->first; o; o = o->next) ++n;
    return n;
  }
  int hiddenByReplay() {
    int n = 0;
    for (object* o = view_->info()->first; o; o = o->next) n += (o->state & OBJ_REPLAY_HIDDEN) ? 1 : 0;
    return n;
  }
  // Runs the replay from the Edit menu; `script` drives the panel.
  // The script waits for the panel to be up, however busy the machine.
  void replay(KPFigureWindow* w, std::function<void(NSReplayConstrController*)> script) {
    bool ran = false;
    QTimer poll;
    int tries = 0;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      NSReplayConstrController* panel = NSReplayConstrController::running();
      if (!panel && ++tries < 1500) return;
      poll.stop();
      ASSERT_NE(panel, nullptr);
      ran = true;
      script(panel);
    });
    poll.start();
    ASSERT_TRUE(clickMenuItem(w->menuBar(), QStringLiteral("Edit"), QStringLiteral("Replay Construction")));
    spin(20);
    EXPECT_TRUE(ran);
    EXPECT_EQ(NSReplayConstrController::running(), nullptr);
  }
  static void press(NSReplayConstrController* panel, int id) {
    QPushButton* b = panel->button(id);
    ASSERT_NE(b, nullptr);
    QTest::mouseClick(b, Qt::LeftButton);
    spin(5);
  }

  KPFigureView* view_ = nullptr;
};

TEST_F(ReplayPanel, CancelAfterSteppingBackShowsEverythingAndStopsTheTimer) {
  KPFigureWindow* w = openWithPoints(5);
  ASSERT_NE(w, nullptr);
  const int total = objects();
  const int timers = KPTimer::timerCount();
  replay(w, [&](NSReplayConstrController* panel) {
    EXPECT_TRUE(replay_running);
    EXPECT_GT(KPTimer::timerCount(), timers);
    press(panel, kReplayLast);
    EXPECT_EQ(hiddenByReplay(), 0);
    press(panel, kReplayPrevious);
    press(panel, kReplayPrevious);
    EXPECT_EQ(hiddenByReplay(), 2);
    EXPECT_FALSE(panel->stepText()->text().isEmpty());
    press(panel, IDCANCEL);
  });
  EXPECT_FALSE(replay_running);
  EXPECT_EQ(hiddenByReplay(), 0);
  EXPECT_EQ(objects(), total);
  EXPECT_EQ(KPTimer::timerCount(), timers);
}

TEST_F(ReplayPanel, EscapeActsAsCancel) {
  KPFigureWindow* w = openWithPoints(4);
  ASSERT_NE(w, nullptr);
  const int timers = KPTimer::timerCount();
  replay(w, [&](NSReplayConstrController* panel) {
    press(panel, kReplayFirst);
    QTest::keyClick(panel, Qt::Key_Escape);
  });
  EXPECT_FALSE(replay_running);
  EXPECT_EQ(hiddenByReplay(), 0);
  EXPECT_EQ(KPTimer::timerCount(), timers);
}

TEST_F(ReplayPanel, OkAndYesKeepOnlyTheStepsShown) {
  KPFigureWindow* w = openWithPoints(5);
  ASSERT_NE(w, nullptr);
  const int total = objects();
  KPDialog::setMessageBoxResponder([](const KPMessageBoxRequest&) { return 0; });  // yes
  replay(w, [&](NSReplayConstrController* panel) {
    press(panel, kReplayLast);
    press(panel, kReplayPrevious);
    press(panel, kReplayPrevious);
    press(panel, IDOK);
  });
  EXPECT_FALSE(replay_running);
  EXPECT_EQ(objects(), total - 2);
}

}  // namespace
