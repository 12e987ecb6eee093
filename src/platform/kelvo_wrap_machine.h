// Window handles and the message machine: the kernel's SendMessage,
// PostMessage, window longs, window text, geometry and paint brackets, and
// the dialog-item calls its dialog procedures use. A window handle is an
// opaque pointer to a native object; a null handle, or one without the
// capability an operation needs, makes the operation do nothing and answer
// 0. Plain C++: the kernel includes this header.
#pragma once

#include <cstdint>

#include "platform/win_constants.h"
#include "platform/win_types.h"

// Window and dialog procedures. Results and parameters are pointer-sized so
// pointers travel in them on 64-bit systems.
using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

class NSKelvoWrapMachine;

// Capabilities a native object behind a handle may have. The platform tests
// for each one before using it, so an object implements only what it answers.
class KPMessageTarget {
 public:
  virtual ~KPMessageTarget() = default;
  virtual LRESULT sendMessage(UINT message, WPARAM wparam, LPARAM lparam) = 0;
};

class KPUserMessageTarget {
 public:
  virtual ~KPUserMessageTarget() = default;
  virtual LRESULT sendUserMessage(WPARAM wparam, LPARAM lparam) = 0;
};

class KPWindowLongHolder {
 public:
  virtual ~KPWindowLongHolder() = default;
  virtual LONG_PTR getWindowLong(int index) = 0;
  virtual void setWindowLong(int index, LONG_PTR value) = 0;
};

// A target that keeps its pending posted messages (so it can forget them
// when it goes). The records stay owned by the message machine.
class KPPostedMessageHolder {
 public:
  virtual ~KPPostedMessageHolder() = default;
  virtual void AddMessage(NSKelvoWrapMachine* record) = 0;
  virtual void RemMessage(NSKelvoWrapMachine* record) = 0;
};

class KPWindowTextHolder {
 public:
  virtual ~KPWindowTextHolder() = default;
  virtual int getWindowText(char* buffer, int capacity) = 0;
  virtual void setWindowText(const char* text) = 0;
  virtual int getWindowTextLength() = 0;
};

class KPPaintTarget {
 public:
  virtual ~KPPaintTarget() = default;
  virtual HDC beginPaint(tagPAINTSTRUCT* paint) = 0;
  virtual bool endPaint(tagPAINTSTRUCT* paint) = 0;
};

// A figure window: messages sent to it go to its figure view.
class KPFigureWindowLink {
 public:
  virtual ~KPFigureWindowLink() = default;
  virtual HWND figureView() = 0;
};

// A control that answers EnableWindow itself.
class KPEnableTarget {
 public:
  virtual ~KPEnableTarget() = default;
  virtual int enableWindow(bool enable) = 0;
};

class NSKelvoWrapMachine {
 public:
  // Windows.
  static LRESULT sendMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT cwmPostMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static LONG_PTR getWindowLong(HWND window, int index);
  static void setWindowLong(HWND window, int index, LONG_PTR value);
  static int getWindowTextLength(HWND window);
  static void setWindowText(HWND window, const char* text);
  static int getWindowText(HWND window, char* buffer, int capacity);
  static void getClientRect(HWND window, tagRECT* rect);
  static void getWindowRect(HWND window, tagRECT* rect);
  static void adjustWindowRect(tagRECT* rect, DWORD style, BOOL has_menu);
  static bool setWindowPos(HWND window, HWND insert_after, int x, int y, int cx, int cy, UINT flags);
  static void updateWindow(HWND window);
  static void destroyWindow(HWND window);
  static bool isWindowVisible(HWND window);
  static void bringWindowToTop(HWND window);
  static void setFocus(HWND window);
  static void kelvoShowWindow(HWND window, bool visible);
  static HDC beginPaint(HWND window, tagPAINTSTRUCT* paint);
  static void endPaint(HWND window, tagPAINTSTRUCT* paint);
  static bool checkPointer(const void* pointer, const char* caller);

  // Dialog items.
  static HWND getDlgItem(HWND dialog, int id);
  static HWND getDlgByLabel(HWND dialog, const char* label);
  static int getDlgItemText(HWND dialog, int id, char* buffer, int count);
  static void setDlgItemText(HWND dialog, int id, const char* text);
  static int getDlgItemInt(HWND dialog, int id, BOOL* ok, BOOL is_signed);
  static void setDlgItemInt(HWND dialog, int id, int value, BOOL is_signed);
  static void setDlgItemIntControl(HWND control, int value);
  static LRESULT sendDlgItemMessage(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam);
  static int enableWindow(HWND item, bool enable);
  static void edit_setSelection(HWND window, int start, int end);
  static LRESULT edit_getSelection(HWND window);
  static void edit_getRect(HWND item, tagRECT* rect);
  static int edit_GetTextLength(HWND item);
  static int edit_SetText(HWND item, const char* text);
  static int edit_GetText(HWND item, char* buffer, int capacity);
  static int comboBox_GetLBText(HWND combo, int index, char* buffer, int capacity);

  // Delivers, on a later turn of the event loop in the default mode, the
  // messages posted so far. Called by the run-loop scopes; harmless anytime.
  static void schedulePostedMessages();
  static int pendingPostedMessages();

  // A posted-message record.
  NSKelvoWrapMachine(WNDPROC proc, HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // A procedure wrapper.
  NSKelvoWrapMachine(WNDPROC proc, HWND window);

  // Calls the wrapped procedure; the answer is cut to a signed byte, the
  // boolean of a dialog procedure.
  LRESULT executionOfMessage(UINT message, WPARAM wparam, LPARAM lparam) const;
  // Delivery of a posted message to its target.
  void scheduledMessages();

  WNDPROC messageFunc = nullptr;
  HWND win = nullptr;
  UINT msg = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
};

// The figure window the kernel currently works in (the document layer sets
// it when a figure view becomes current); menus give it the focus back and
// cursors test the pointer against it.
HWND kp_current_figure_window();
void kp_set_current_figure_window(HWND window);
