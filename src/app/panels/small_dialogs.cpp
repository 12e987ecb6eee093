#include "app/panels/small_dialogs.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "kernel/text/kernel_strings.h"
#include "platform/kp_qt_bridge.h"
#include "platform/kp_run_loop.h"

namespace {

constexpr int kLayoutList = 1183;
constexpr int kFrameBox = 1186;
constexpr int kRowSessionTitle = 717;
constexpr int kRowFrameBox = 720;
constexpr int kRowOk = 342;
constexpr int kRowCancel = 344;
constexpr int kRowPassword = 681;

QPointer<NSPrintSessionController> g_print_session;
QPointer<NSPassWordWindowController> g_password;

QString text(int row) { return kp_qstring(kernel_string(row)); }

}  // namespace

// ---------------------------------------------------------------- print session

NSPrintSessionController::NSPrintSessionController(WNDPROC procedure, QWidget* parent)
    : KPDialogPanel(procedure, parent) {
  setWindowTitle(text(kRowSessionTitle));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  layout_ = new QComboBox(this);
  kp_set_item_id(layout_, kLayoutList);
  connect(layout_, &QComboBox::activated, this, [this] { sendMessage(WM_COMMAND, kLayoutList, 0); });
  layout->addWidget(layout_);
  frame_ = new QCheckBox(text(kRowFrameBox), this);
  kp_set_item_id(frame_, kFrameBox);
  connect(frame_, &QCheckBox::clicked, this, [this] { sendMessage(WM_COMMAND, kFrameBox, 0); });
  layout->addWidget(frame_);
  auto* buttons = new QHBoxLayout;
  cancel_ = new QPushButton(text(kRowCancel), this);
  ok_ = new QPushButton(text(kRowOk), this);
  cancel_->setAutoDefault(false);
  ok_->setDefault(true);
  bindButton(cancel_, IDCANCEL);
  bindButton(ok_, IDOK);
  buttons->addStretch(1);
  buttons->addWidget(cancel_);
  buttons->addWidget(ok_);
  layout->addLayout(buttons);
}

NSPrintSessionController* NSPrintSessionController::running() { return g_print_session; }

void NSPrintSessionController::reject() {
  // Escape and the close box answer as Cancel does, never without an
  // answer.
  if (!isVisible() || result() != 0) return QDialog::reject();
  sendMessage(WM_COMMAND, IDCANCEL, 0);
  done(IDCANCEL);
}

void NSPrintSessionController::closeEvent(QCloseEvent* event) {
  if (isVisible() && result() == 0) reject();
  QDialog::closeEvent(event);
}

int run_print_session_dialog_qt(void*, const char*, HWND parent, WNDPROC procedure) {
  auto* owner = qobject_cast<QWidget*>(kp_qobject(parent));
  NSPrintSessionController dialog(procedure, owner ? owner->window() : nullptr);
  g_print_session = &dialog;
  const int code = dialog.runModal();
  g_print_session = nullptr;
  return code == IDOK ? IDOK : IDCANCEL;
}

// ---------------------------------------------------------------- password

NSPassWordWindowController::NSPassWordWindowController(QWidget* parent) : QDialog(parent) {
  setWindowTitle(text(kRowPassword));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(text(kRowPassword), this));
  field_ = new QLineEdit(this);
  field_->setEchoMode(QLineEdit::Password);
  field_->setMinimumWidth(180);
  row->addWidget(field_);
  layout->addLayout(row);
  auto* buttons = new QHBoxLayout;
  cancel_ = new QPushButton(text(kRowCancel), this);
  ok_ = new QPushButton(text(kRowOk), this);
  cancel_->setAutoDefault(false);
  ok_->setDefault(true);
  buttons->addStretch(1);
  buttons->addWidget(cancel_);
  buttons->addWidget(ok_);
  layout->addLayout(buttons);
  connect(ok_, &QPushButton::clicked, this, [this] { ok(); });
  // Cancel, Escape and the close box all end with 0.
  connect(cancel_, &QPushButton::clicked, this, [this] { done(0); });
}

NSPassWordWindowController* NSPassWordWindowController::running() { return g_password; }

void NSPassWordWindowController::ok() {
  // Character for character: case and blanks count.
  if (field_->text() == expected_) done(1);
}

bool NSPassWordWindowController::validate(const char* expected, int) {
  NSPassWordWindowController prompt;
  prompt.setPWString(kp_qstring(expected ? expected : ""));
  g_password = &prompt;
  int code = 0;
  {
    KPRunLoopModeScope scope(KPRunLoopMode::ModalPanel);
    prompt.show();
    prompt.raise();
    prompt.activateWindow();
    code = prompt.exec();
  }
  g_password = nullptr;
  return code == 1;
}
