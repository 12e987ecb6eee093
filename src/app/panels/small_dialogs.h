// Two small modal dialogs of the kernel: the print-session dialog, driven
// by a kernel dialog procedure (1 after OK, 2 after Cancel, Escape or the
// close box), and the password prompt for a protected macro, which ends
// with 1 only on an exact match and with 0 on Cancel, Escape or the close
// box; a wrong password leaves it open for another try.
#pragma once

#include <QDialog>

#include "platform/kp_dialog_panel.h"

class QComboBox;
class QCheckBox;
class QLineEdit;
class QPushButton;

class NSPrintSessionController : public KPDialogPanel {
 public:
  NSPrintSessionController(WNDPROC procedure, QWidget* parent);
  // The dialog up now, or null.
  static NSPrintSessionController* running();
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }
  QComboBox* layoutList() const { return layout_; }
  QCheckBox* frameBox() const { return frame_; }

  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QComboBox* layout_;
  QCheckBox* frame_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

// Runs the print-session dialog over the parent's window; 1 after OK, 2
// otherwise. Installed as the session printing's dialog.
int run_print_session_dialog_qt(void* instance, const char* name, HWND parent, WNDPROC procedure);

class NSPassWordWindowController : public QDialog {
 public:
  explicit NSPassWordWindowController(QWidget* parent = nullptr);
  // The prompt up now, or null.
  static NSPassWordWindowController* running();
  QLineEdit* passwordField() const { return field_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }
  void setPWString(const QString& expected) { expected_ = expected; }

  // Asks for the password (a kernel text, Mac Roman); true only after OK
  // with exactly that text. The length is not read.
  static bool validate(const char* expected, int nb_car);

 private:
  void ok();
  QLineEdit* field_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QString expected_;
};
