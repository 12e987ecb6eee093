#include "platform/kp_dialog_panel.h"

#include <QAbstractButton>
#include <QCloseEvent>

#include "platform/kp_qt_bridge.h"
#include "platform/kp_run_loop.h"

KPDialogPanel::KPDialogPanel(WNDPROC procedure, QWidget* parent) : QDialog(parent), procedure_(procedure) {}

void KPDialogPanel::bindButton(QAbstractButton* button, int id) {
  kp_set_item_id(button, id);
  connect(button, &QAbstractButton::clicked, this, [this, id] {
    sendMessage(WM_COMMAND, static_cast<WPARAM>(id), 0);
    if (id == IDOK || id == IDCANCEL) done(id);
  });
}

void KPDialogPanel::installProcedure() {
  if (installed_) return;
  installed_ = true;
  sendMessage(WM_INITDIALOG, 0, 0);
}

int KPDialogPanel::runModal() {
  installProcedure();
  KPRunLoopModeScope scope(KPRunLoopMode::ModalPanel);
  return exec();
}

LRESULT KPDialogPanel::sendMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  return procedure_ ? procedure_(handle(), message, wparam, lparam) : 0;
}

void KPDialogPanel::closeEvent(QCloseEvent* event) {
  if (result() == 0) sendMessage(WM_CLOSE, 0, 0);
  QDialog::closeEvent(event);
}
