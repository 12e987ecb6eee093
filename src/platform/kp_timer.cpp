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
  timer_->timer->start();
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

DWORD KPTimer::getTickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return tickCountFrom(static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
}

int KPTimer::timerCount() { return static_cast<int>(timer_list().size()); }
