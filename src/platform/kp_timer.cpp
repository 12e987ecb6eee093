#include "platform/kp_timer.h"

#include <QTimer>
#include <algorithm>
#include <chrono>
#include <climits>
#include <vector>

#include "platform/kelvo_wrap_machine.h"
#include "platform/kp_run_loop.h"

struct KPTimer::Native {
  QTimer* timer = nullptr;
};

namespace {

std::vector<std::unique_ptr<KPTimer>>& timer_list() {
  static std::vector<std::unique_ptr<KPTimer>> list;
  return list;
}

// The test clock: on, and its time in milliseconds. The clock the tick
// count follows is the machine's moved on by what the test clock gained
// over it, so that the count never goes back.
bool g_test_clock = false;
uint64_t g_test_now = 0;
uint64_t g_gained = 0;

uint64_t machine_milliseconds() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()) + g_gained;
}

bool timer_matches(const KPTimer& timer, HWND window, UINT id) {
  return timer.hWnd() == window && (id == 0xFFFFFFFFu || timer.nIDEvent() == static_cast<int32_t>(id));
}

}  // namespace

KPTimer::KPTimer(HWND window, int32_t id, TIMERPROC function, UINT elapse_ms)
    : nIDEvent_(id), hWnd_(window), fn_(function), interval_(elapse_ms), timer_(std::make_unique<Native>()) {
  timer_->timer = new QTimer;
  timer_->timer->setTimerType(Qt::PreciseTimer);
  timer_->timer->setInterval(static_cast<int>(std::min<UINT>(elapse_ms, INT_MAX)));
  QObject::connect(timer_->timer, &QTimer::timeout, [this] { timerCallBack(); });
  due_ = g_test_now + elapse_ms;
  if (!g_test_clock) timer_->timer->start();
}

KPTimer::~KPTimer() { kill(); }

void KPTimer::kill() {
  if (!timer_ || !timer_->timer) return;
  // The timer may be the one whose tick is running: let Qt delete it later.
  timer_->timer->stop();
  timer_->timer->disconnect();
  timer_->timer->deleteLater();
  timer_->timer = nullptr;
}

void KPTimer::timerCallBack() {
  // The tick runs only in its mode, as a native timer scheduled in one
  // run-loop mode would. Everything is copied first: the callee may kill
  // this timer.
  const KPRunLoopMode mode = kp_current_run_loop_mode();
  const HWND window = hWnd_;
  const auto id = static_cast<UINT>(nIDEvent_);
  if (TIMERPROC function = fn_) {
    if (mode == KPRunLoopMode::Default) function(window, 0, id, getTickCount());
    return;
  }
  // A menu being tracked delivers them too: the selection keeps blinking
  // under an open context menu.
  if (mode != KPRunLoopMode::ModalPanel && mode != KPRunLoopMode::EventTracking) return;
  auto proc = reinterpret_cast<WNDPROC>(NSKelvoWrapMachine::getWindowLong(window, GWL_WNDPROC));
  if (proc) proc(window, WM_TIMER, id, 0);
}

void KPTimer::setTimer(HWND window, UINT id, UINT elapse_ms, TIMERPROC function) {
  auto& list = timer_list();
  for (const auto& timer : list)
    if (timer->hWnd() == window && timer->nIDEvent() == static_cast<int32_t>(id)) return;
  list.push_back(std::unique_ptr<KPTimer>(new KPTimer(window, static_cast<int32_t>(id), function, elapse_ms)));
}

void KPTimer::killTimer(HWND window, UINT id) {
  auto& list = timer_list();
  // Taken out of the list before it is destroyed, so a kill made from inside
  // a tick never meets a half-removed timer.
  std::vector<std::unique_ptr<KPTimer>> stopped;
  for (auto it = list.begin(); it != list.end();) {
    if (timer_matches(**it, window, id)) {
      stopped.push_back(std::move(*it));
      it = list.erase(it);
    } else {
      ++it;
    }
  }
}

DWORD KPTimer::getTickCount() { return tickCountFrom(g_test_clock ? g_test_now : machine_milliseconds()); }

int KPTimer::timerCount() { return static_cast<int>(timer_list().size()); }

void KPTimer::useTestClock(bool on) {
  if (on == g_test_clock) return;
  if (on) {
    g_test_now = machine_milliseconds();
  } else {
    const uint64_t machine = machine_milliseconds();
    if (g_test_now > machine) g_gained += g_test_now - machine;
  }
  g_test_clock = on;
  for (const auto& timer : timer_list()) {
    if (!timer->timer_ || !timer->timer_->timer) continue;
    if (on) {
      timer->timer_->timer->stop();
      timer->due_ = g_test_now + timer->interval_;
    } else {
      timer->timer_->timer->start();
    }
  }
}

bool KPTimer::testClockRuns() { return g_test_clock; }

void KPTimer::advanceTestClock(UINT milliseconds) {
  if (!g_test_clock) return;
  const uint64_t end = g_test_now + milliseconds;
  for (;;) {
    // The timer due first; of two due together, the one set first.
    KPTimer* next = nullptr;
    for (const auto& timer : timer_list())
      if (timer->due_ <= end && (!next || timer->due_ < next->due_)) next = timer.get();
    if (!next) break;
    g_test_now = std::max(g_test_now, next->due_);
    // A timer of no interval ticks once a millisecond, so that time moves.
    next->due_ = g_test_now + std::max<UINT>(next->interval_, 1);
    // The tick may kill this timer or others, or set new ones.
    next->timerCallBack();
  }
  g_test_now = end;
}
