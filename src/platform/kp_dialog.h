// Message boxes and the modifier-key state. A message box is composed from
// a kernel text and an insertion (Mac Roman) and shown with up to three
// buttons chosen by a Win32 mode word; its answer is a Win32 button code.
// Plain C++: the kernel includes this header.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win_constants.h"
#include "platform/win_types.h"

// What a message box shows: the message and its buttons in order (UTF-8),
// the first one being the default.
struct KPMessageBoxRequest {
  std::string message;
  std::vector<std::string> buttons;
};

// Answers the index of the button pressed, or -1 when the box was closed
// without one. Tests install one to script the answers.
using KPMessageBoxResponder = std::function<int(const KPMessageBoxRequest&)>;

class KPDialog {
 public:
  // text and insertion are kernel texts; a null text shows "???"; a null
  // insertion, or one equal to the kernel's message caption, shows nothing
  // after the text's blank.
  static int messageBox(const char* text, const char* insertion, UINT mode);
  // UTF-8 texts; a null insertion adds nothing after the text.
  static int messageBoxRT(const std::string& text, const std::string* insertion, UINT mode);
  // No dialog is built from a template name: every dialog is a panel made
  // by its own controller.
  static HWND createDialog(const char* template_name, const char* name, HWND parent, void* dialog_function);

  // Replaces the modal alert (null restores it).
  static void setMessageBoxResponder(KPMessageBoxResponder responder);
  // The window the message boxes shown from now on belong to: they stand
  // in front of it and keep the user from it until answered. Null: the
  // window active then. Answers the window set before.
  static HWND setMessageBoxOwner(HWND window);
};

// Sets the owner of the message boxes for its lifetime, then the one
// before back.
class KPMessageBoxOwnerScope {
 public:
  explicit KPMessageBoxOwnerScope(HWND window) : previous_(KPDialog::setMessageBoxOwner(window)) {}
  ~KPMessageBoxOwnerScope() { KPDialog::setMessageBoxOwner(previous_); }
  KPMessageBoxOwnerScope(const KPMessageBoxOwnerScope&) = delete;
  KPMessageBoxOwnerScope& operator=(const KPMessageBoxOwnerScope&) = delete;

 private:
  HWND previous_;
};

// The modifier keys of the last event, in the kernel's word: 3 Shift,
// 4 Command (the Control key here), 8 Option (the Alt key here).
class KPEventsWrapper {
 public:
  static void setModifiers(uint32_t native_modifiers);  // Qt::KeyboardModifiers
  static uint16_t modifierKeyStatus();
  static bool modifierKeyDown(uint16_t kernel_mask);
};
