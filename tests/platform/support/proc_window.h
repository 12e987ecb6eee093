// A window for tests: it keeps its window longs and hands every message it
// receives to the procedure in long -4, like the figure view does.
#pragma once

#include <QWidget>
#include <vector>

#include "platform/kelvo_wrap_machine.h"

struct LoggedMessage {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
  bool operator==(const LoggedMessage&) const = default;
};

// Every message a test procedure received, in order.
std::vector<LoggedMessage>& message_log();
LRESULT logging_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

class ProcWindow : public QWidget, public KPMessageTarget, public KPWindowLongHolder {
 public:
  explicit ProcWindow(WNDPROC proc = logging_proc, QWidget* parent = nullptr);
  HWND handle() { return static_cast<void*>(static_cast<QObject*>(this)); }

  LRESULT sendMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  LONG_PTR getWindowLong(int index) override;
  void setWindowLong(int index, LONG_PTR value) override;

 private:
  LONG_PTR longs_[4] = {};
};
