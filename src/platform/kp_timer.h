// The kernel's SetTimer, KillTimer and GetTickCount. One repeating timer per
// (window, identifier). A timer with a function calls it at each tick and
// ticks only in the default run-loop mode; a timer without one sends the
// timer message 275 to its window's procedure and ticks only while a modal
// panel runs or a menu is tracked. Plain C++: the kernel includes this header.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/win_types.h"

// (window, 0, timer identifier, tick count in milliseconds)
using TIMERPROC = void (*)(HWND window, UINT message, UINT id, DWORD time);

class KPTimer {
 public:
  // Starts a timer unless one already runs for (window, id): a running timer
  // keeps its interval and function.
  static void setTimer(HWND window, UINT id, UINT elapse_ms, TIMERPROC function);
  // Stops every timer of the window with that identifier; -1 (0xFFFFFFFF)
  // stops all the window's timers.
  static void killTimer(HWND window, UINT id);
  // Milliseconds of a monotonic clock, wrapping at 2^32.
  static DWORD getTickCount();
  static DWORD tickCountFrom(uint64_t milliseconds) { return static_cast<DWORD>(milliseconds); }
  static int timerCount();

  // A clock the tests drive. While it runs, the tick count stands still
  // and moves only by advanceTestClock(), which runs every timer whose
  // time has come, in the order of their times, as the run loop would; no
  // timer ticks by the machine's clock. Stopped, the timers follow the
  // machine's clock again, each from a whole interval on.
  static void useTestClock(bool on);
  static bool testClockRuns();
  static void advanceTestClock(UINT milliseconds);

  ~KPTimer();
  HWND hWnd() const { return hWnd_; }
  int32_t nIDEvent() const { return nIDEvent_; }
  UINT interval() const { return interval_; }
  void timerCallBack();
  void kill();
  // Milliseconds of the test clock at which the timer ticks next.
  uint64_t dueAt() const { return due_; }

 private:
  struct Native;
  KPTimer(HWND window, int32_t id, TIMERPROC function, UINT elapse_ms);

  int32_t nIDEvent_ = 0;
  HWND hWnd_ = nullptr;
  bool repeat_ = true;
  TIMERPROC fn_ = nullptr;
  UINT interval_ = 0;
  uint64_t due_ = 0;
  std::unique_ptr<Native> timer_;
};
