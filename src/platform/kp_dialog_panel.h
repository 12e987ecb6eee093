// A Qt dialog driven by a kernel dialog procedure: 272 once when the
// procedure is installed, 273 with the control identifier when a bound
// button is pressed (1 OK and 2 Cancel then end the panel with that code),
// 16 when the panel is closed from its frame. Controls carry the kernel's
// identifiers (kp_set_item_id), so the procedure reaches them through the
// dialog-item calls. Qt header: the kernel never includes it.
#pragma once

#include <QDialog>

#include "platform/kelvo_wrap_machine.h"

class QAbstractButton;

class KPDialogPanel : public QDialog, public KPMessageTarget {
 public:
  explicit KPDialogPanel(WNDPROC procedure, QWidget* parent = nullptr);

  HWND handle() { return static_cast<void*>(static_cast<QObject*>(this)); }
  // Gives the button the identifier and has it send 273 to the procedure.
  void bindButton(QAbstractButton* button, int id);
  // Sends 272 (once).
  void installProcedure();
  // Installs the procedure and runs the panel modally; answers the code
  // that ended it (1, 2, or 0 when closed from the frame).
  int runModal();

  LRESULT sendMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  WNDPROC procedure_;
  bool installed_ = false;
};
