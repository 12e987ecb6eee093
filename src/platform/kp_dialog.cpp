#include "platform/kp_dialog.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <cstring>

#include "kernel/text/kernel_strings.h"
#include "platform/kp_run_loop.h"
#include "platform/mac_roman.h"

namespace {

KPMessageBoxResponder& responder() {
  static KPMessageBoxResponder r;
  return r;
}

// A button title from the language table, or the built-in one while the
// table has none.
std::string button_title(int row, const char* fallback) {
  const char* text = kernel_strings[row];
  return text && *text ? mac_roman_to_utf8(text) : std::string(fallback);
}

QPointer<QWidget>& message_box_owner() {
  static QPointer<QWidget> owner;
  return owner;
}

int run_alert(const KPMessageBoxRequest& request) {
  // A box with no window of its own to stand before may go behind the one
  // the user looks at: it belongs to the window it is about, or to the
  // panel or window in front.
  // A window that is closing (the work session's, closed by the command
  // that says so) is no owner: deleted while the box runs, it would take
  // the box with it.
  QWidget* owner = message_box_owner();
  if (owner && !owner->isVisible()) owner = nullptr;
  if (!owner) owner = QApplication::activeModalWidget();
  if (!owner) owner = QApplication::activeWindow();
  if (owner) owner = owner->window();
  if (owner && !owner->isVisible()) owner = nullptr;
  // Else the window shown last that is still there.
  if (!owner)
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w->windowType() == Qt::Window && !w->isMinimized()) owner = w;
  QMessageBox box(owner);
  box.setWindowModality(Qt::ApplicationModal);
  box.setIcon(QMessageBox::Warning);
  // Titled with the program's name as the language writes it (row 0).
  if (const char* title = kernel_strings[0]; title && *title)
    box.setWindowTitle(QString::fromStdString(mac_roman_to_utf8(title)));
  box.setText(QString::fromStdString(request.message));
  std::vector<QPushButton*> buttons;
  for (const std::string& title : request.buttons)
    buttons.push_back(box.addButton(QString::fromStdString(title), QMessageBox::ActionRole));
  if (!buttons.empty()) {
    box.setDefaultButton(buttons.front());
    box.setEscapeButton(buttons.back());
  }
  {
    KPRunLoopModeScope scope(KPRunLoopMode::ModalPanel);
    box.exec();
  }
  for (size_t i = 0; i < buttons.size(); ++i)
    if (box.clickedButton() == buttons[i]) return static_cast<int>(i);
  return -1;
}

uint32_t& stored_modifiers() {
  static uint32_t flags = 0;
  return flags;
}

}  // namespace

int KPDialog::messageBox(const char* text, const char* insertion, UINT mode) {
  const std::string message = text ? mac_roman_to_utf8(text) : std::string("???");
  const char* caption = kernel_strings[0];
  std::string param;
  if (insertion && !(caption && std::strcmp(insertion, caption) == 0)) param = mac_roman_to_utf8(insertion);
  return messageBoxRT(message, &param, mode);
}

int KPDialog::messageBoxRT(const std::string& text, const std::string* insertion, UINT mode) {
  const bool yes_no_cancel = (mode & 3) == 3;
  KPMessageBoxRequest request;
  request.message = insertion ? text + " " + *insertion : text;
  std::vector<int> answers;
  request.buttons.push_back(button_title(342, "OK"));
  answers.push_back(IDOK);
  if (mode & MB_TASKMODAL) {
    if (yes_no_cancel || (mode & MB_YESNO)) {
      request.buttons.push_back(button_title(343, "NO"));
      answers.push_back(IDNO);
    }
    if (yes_no_cancel || (mode & MB_OKCANCEL)) {
      request.buttons.push_back(button_title(344, "Cancel"));
      answers.push_back(IDCANCEL);
    }
  }
  const int pressed = responder() ? responder()(request) : run_alert(request);
  // Closing the box without a button is taken as its cancel.
  if (pressed < 0 || pressed >= static_cast<int>(answers.size())) return IDCANCEL;
  return answers[static_cast<size_t>(pressed)];
}

HWND KPDialog::createDialog(const char*, const char*, HWND, void*) { return nullptr; }

void KPDialog::setMessageBoxResponder(KPMessageBoxResponder r) { responder() = std::move(r); }

HWND KPDialog::setMessageBoxOwner(HWND window) {
  QWidget* previous = message_box_owner();
  message_box_owner() = qobject_cast<QWidget*>(static_cast<QObject*>(window));
  return static_cast<QObject*>(previous);
}

void KPEventsWrapper::setModifiers(uint32_t native_modifiers) { stored_modifiers() = native_modifiers; }

uint16_t KPEventsWrapper::modifierKeyStatus() {
  const uint32_t flags = stored_modifiers();
  uint16_t word = 0;
  if (flags & Qt::ControlModifier) word = 4;
  if (flags & Qt::ShiftModifier) word += 3;
  if (flags & Qt::AltModifier) word |= 8;
  return word;
}

bool KPEventsWrapper::modifierKeyDown(uint16_t mask) {
  const uint32_t flags = stored_modifiers();
  return ((mask & 4) && (flags & Qt::ControlModifier)) || ((mask & 3) && (flags & Qt::ShiftModifier)) ||
         ((mask & 8) && (flags & Qt::AltModifier));
}
