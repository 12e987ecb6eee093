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
    KPTimer::killTimer(a.handle(), 0xFFFFFFFF);
    KPTimer::killTimer(b.handle(), 0xFFFFFFFF);
  }
  ProcWindow a, b;
};

TEST_F(Timers, SettingARunningTimerAgainChangesNothing) {
  KPTimer::killTimer(a.handle(), 3);  // before any timer: nothing happens
  KPTimer::setTimer(a.handle(), 15, 5, count_tick);
  KPTimer::setTimer(a.handle(), 15, 500, nullptr);
  EXPECT_EQ(KPTimer::timerCount(), 1);
  ASSERT_TRUE(pump_until([] { return ticks.size() >= 2; })) << "still the first interval and function";
}

TEST_F(Timers, KillingWithMinusOneStopsOnlyThatWindowsTimers) {
  KPTimer::setTimer(a.handle(), 10, 5, count_tick);
  KPTimer::setTimer(a.handle(), 15, 5, count_tick);
  KPTimer::setTimer(b.handle(), 10, 5, count_tick);
  KPTimer::killTimer(a.handle(), 0xFFFFFFFF);
  EXPECT_EQ(KPTimer::timerCount(), 1);
  ASSERT_TRUE(pump_until([] { return ticks.size() >= 3; }));
  for (const Tick& t : ticks) EXPECT_EQ(t.window, b.handle());
}

TEST_F(Timers, ATimerMayKillItselfInItsTick) {
  KPTimer::setTimer(a.handle(), 15, 5, one_shot);
  ASSERT_TRUE(pump_until([] { return !ticks.empty(); }));
  pump_for(30);
  EXPECT_EQ(ticks.size(), 1u);
  EXPECT_EQ(KPTimer::timerCount(), 0);
}

// A timer with a function ticks only in the default mode, one without (the
// timer message to the window procedure) only while a modal panel runs or
// a menu is tracked.
TEST_F(Timers, EachKindTicksOnlyInItsMode) {
  KPTimer::setTimer(a.handle(), 15, 5, count_tick);
  KPTimer::setTimer(b.handle(), 10, 5, nullptr);
  pump_for(40);
  EXPECT_FALSE(ticks.empty());
  EXPECT_TRUE(message_log().empty()) << "no message 275 outside a modal panel";

  ticks.clear();
  QDialog panel;
  QTimer::singleShot(60, &panel, [&] { panel.accept(); });
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
  QTimer::singleShot(60, &menu, [&] { menu.accept(); });
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
