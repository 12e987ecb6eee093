#include "platform/kp_run_loop.h"

#include <QApplication>
#include <QWidget>
#include <vector>

#include "platform/kelvo_wrap_machine.h"

namespace {
std::vector<KPRunLoopMode>& scopes() {
  static std::vector<KPRunLoopMode> stack;
  return stack;
}
}  // namespace

KPRunLoopMode kp_current_run_loop_mode() {
  if (QApplication::activePopupWidget()) return KPRunLoopMode::EventTracking;
  if (!scopes().empty()) return scopes().back();
  if (QWidget* modal = QApplication::activeModalWidget();
      modal && modal->windowModality() == Qt::ApplicationModal)
    return KPRunLoopMode::ModalPanel;
  return KPRunLoopMode::Default;
}

KPRunLoopModeScope::KPRunLoopModeScope(KPRunLoopMode mode) { scopes().push_back(mode); }

KPRunLoopModeScope::~KPRunLoopModeScope() {
  scopes().pop_back();
  // Messages posted while the nested loop ran wait for the default mode.
  if (scopes().empty()) NSKelvoWrapMachine::schedulePostedMessages();
}
