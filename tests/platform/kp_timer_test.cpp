#include "platform/kp_timer.h"

#include <QDialog>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/kp_run_loop.h"
#include "platform/support/event_pump.h"
#include "platform/support/proc_window.h"

namespace {

struct Tick {
  HWND window;
  UINT id;
};
std::vector<Tick> ticks;

void count_tick(HWND window, UINT message, UINT id, DWORD) {
  EXPECT_EQ(message, 0u);
  ticks.push_back({window, id});
}

void one_shot(HWND window, UINT, UINT id, DWORD) {
  ticks.push_back({window, id});
  KPTimer::killTimer(window, id);  // as the automatic-animation starter does
}

class Timers : public ::testing::Test {
 protected:
  void SetUp() override {
    ticks.clear();
    message_log().clear();
  }
  void TearDown() override {
    KPTimer::useTestClock(false);
    KPTimer::killTimer(a.handle(), 0xFFFFFFFF);
    KPTimer::killTimer(b.handle(), 0xFFFFFFFF);
  }
  ProcWindow a, b;
};

TEST_F(Timers, SettingARunningTimerAgainChangesNothing) {
  KPTimer::killTimer(a.handle(), 3);  // before any timer: nothing happens
  KPTimer::useTestClock(true);
  KPTimer::setTimer(a.handle(), 15, 5, count_tick);
  KPTimer::setTimer(a.handle(), 15, 500, nullptr);
  EXPECT_EQ(KPTimer::timerCount(), 1);
  // Still the first interval and function: two ticks in 10 ms.
  KPTimer::advanceTestClock(10);
  EXPECT_EQ(ticks.size(), 2u);
}

TEST_F(Timers, KillingWithMinusOneStopsOnlyThatWindowsTimers) {
  KPTimer::setTimer(a.handle(), 10, 5, count_tick);
  KPTimer::setTimer(a.handle(), 15, 5, count_tick);
  KPTimer::setTimer(b.handle(), 10, 5, count_tick);
  KPTimer::killTimer(a.handle(), 0xFFFFFFFF);
  EXPECT_EQ(KPTimer::timerCount(), 1);
  ASSERT_TRUE(pump_until([] { return ticks.size() >= 3; }, 30000));
  for (const Tick& t : ticks) EXPECT_EQ(t.window, b.handle());
}

TEST_F(Timers, ATimerMayKillItselfInItsTick) {
  KPTimer::setTimer(a.handle(), 15, 5, one_shot);
  ASSERT_TRUE(pump_until([] { return !ticks.empty(); }, 30000));
  pump_for(30);
  EXPECT_EQ(ticks.size(), 1u);
  EXPECT_EQ(KPTimer::timerCount(), 0);
}

// On the test's clock the timers tick when the test moves the clock past
// their times, in the order of their times, and never by themselves; the
// tick count moves with that clock and never goes back.
TEST_F(Timers, TheTestsClockTicksTheTimersWhenItMoves) {
  KPTimer::useTestClock(true);
  const DWORD start = KPTimer::getTickCount();
  KPTimer::setTimer(a.handle(), 10, 30, count_tick);
  KPTimer::setTimer(b.handle(), 10, 20, count_tick);
  KPTimer::setTimer(a.handle(), 15, 50, one_shot);
  pump_for(80);
  EXPECT_TRUE(ticks.empty()) << "a timer ticked by the machine's clock";
  EXPECT_EQ(KPTimer::getTickCount(), start);
  KPTimer::advanceTestClock(55);
  // b at 20 and 40, a's first at 30, a's one shot at 50; at 60 a and b
  // together, a first, having been set first.
  EXPECT_EQ(ticks.size(), 4u);
  KPTimer::advanceTestClock(5);
  ASSERT_EQ(ticks.size(), 6u);
  const HWND order[] = {b.handle(), a.handle(), b.handle(), a.handle(), a.handle(), b.handle()};
  const UINT ids[] = {10, 10, 10, 15, 10, 10};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(ticks[i].window, order[i]) << i;
    EXPECT_EQ(ticks[i].id, ids[i]) << i;
  }
  EXPECT_EQ(KPTimer::getTickCount(), start + 60);
  EXPECT_EQ(KPTimer::timerCount(), 2);
  KPTimer::useTestClock(false);
  EXPECT_GE(static_cast<DWORD>(KPTimer::getTickCount() - start), 60u);
  ticks.clear();
  ASSERT_TRUE(pump_until([] { return ticks.size() >= 2; }, 30000)) << "the timers did not come back to the machine's clock";
}

// A timer with a function ticks only in the default mode, one without (the
// timer message to the window procedure) only while a modal panel runs or
// a menu is tracked.
// Each panel closes once its loop has seen a few timer messages, however
// long the machine takes to deliver them.
void close_after_messages(QDialog* panel) {
  auto* poll = new QTimer(panel);
  QObject::connect(poll, &QTimer::timeout, panel, [panel] {
    if (message_log().size() >= 3) panel->accept();
  });
  poll->start(5);
}

TEST_F(Timers, EachKindTicksOnlyInItsMode) {
  KPTimer::setTimer(a.handle(), 15, 5, count_tick);
  KPTimer::setTimer(b.handle(), 10, 5, nullptr);
  ASSERT_TRUE(pump_until([] { return ticks.size() >= 3; }, 30000));
  EXPECT_TRUE(message_log().empty()) << "no message 275 outside a modal panel";

  ticks.clear();
  QDialog panel;
  close_after_messages(&panel);
  {
    KPRunLoopModeScope scope(KPRunLoopMode::ModalPanel);
    panel.exec();
  }
  EXPECT_TRUE(ticks.empty()) << "the function timer rests during the panel";
  ASSERT_FALSE(message_log().empty());
  EXPECT_EQ(message_log()[0], (LoggedMessage{b.handle(), 275, 10, 0}));

  // A tracked menu delivers the timer message too, and rests the function.
  message_log().clear();
  QDialog menu;
  close_after_messages(&menu);
  {
    KPRunLoopModeScope scope(KPRunLoopMode::EventTracking);
    menu.exec();
  }
  EXPECT_TRUE(ticks.empty());
  EXPECT_FALSE(message_log().empty());
}

TEST(TickCount, WrapsAt32Bits) {
  EXPECT_EQ(KPTimer::tickCountFrom((1ull << 32) + 5), 5u);
  const DWORD first = KPTimer::getTickCount();
  pump_for(5);
  EXPECT_GE(static_cast<DWORD>(KPTimer::getTickCount() - first), 5u);
}

}  // namespace
