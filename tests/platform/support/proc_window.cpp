#include "platform/support/proc_window.h"

namespace {
int slot(int index) {
  switch (index) {
    case GWL_WNDPROC: return 0;
    case GWL_STYLE: return 1;
    case GWL_EXSTYLE: return 2;
    case GWL_USERDATA: return 3;
    default: return -1;
  }
}
}  // namespace

std::vector<LoggedMessage>& message_log() {
  static std::vector<LoggedMessage> log;
  return log;
}

LRESULT logging_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  message_log().push_back({window, message, wparam, lparam});
  return static_cast<LRESULT>(message_log().size());
}

ProcWindow::ProcWindow(WNDPROC proc, QWidget* parent) : QWidget(parent) {
  longs_[0] = reinterpret_cast<LONG_PTR>(proc);
}

LRESULT ProcWindow::sendMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  auto proc = reinterpret_cast<WNDPROC>(longs_[0]);
  return proc ? proc(handle(), message, wparam, lparam) : 0;
}

LONG_PTR ProcWindow::getWindowLong(int index) { return slot(index) < 0 ? 0 : longs_[slot(index)]; }

void ProcWindow::setWindowLong(int index, LONG_PTR value) {
  if (slot(index) >= 0) longs_[slot(index)] = value;
}
