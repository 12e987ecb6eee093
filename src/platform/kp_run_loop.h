// The run-loop mode of the main thread. Work the kernel queues (posted
// messages, timers) runs only in the mode it was queued for: posted messages
// and timers with a function in the default mode, timers without one only
// while a modal panel runs. Qt's nested event loops would otherwise deliver
// them inside a dialog, a message box or a menu, so every nested loop is run
// inside a scope that names its mode.
#pragma once

enum class KPRunLoopMode { Default, ModalPanel, EventTracking };

// The mode now: the innermost scope's; without one, menu tracking while a
// pop-up is open, a modal panel while an application-modal window is up
// (so nested loops that no scope covers are recognised too), else default.
KPRunLoopMode kp_current_run_loop_mode();

class KPRunLoopModeScope {
 public:
  explicit KPRunLoopModeScope(KPRunLoopMode mode);
  ~KPRunLoopModeScope();
  KPRunLoopModeScope(const KPRunLoopModeScope&) = delete;
  KPRunLoopModeScope& operator=(const KPRunLoopModeScope&) = delete;
};
