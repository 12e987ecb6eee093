#include "platform/kernel_services.h"

#include <unistd.h>

#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "kernel/measure/calculator_window.h"
#include "kernel/text/kernel_strings.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/kp_dialog.h"
#include "platform/kp_files.h"
#include "platform/kp_qt_bridge.h"
#include "platform/kp_settings.h"
#include "platform/mac_roman.h"

// ---- Messages ----

namespace {

struct MessageState {
  bool enabled = true;
  char* pending = nullptr;
  char* deferred = nullptr;
};

MessageState& messages() {
  static MessageState state;
  return state;
}

void free_text(char*& text) {
  std::free(text);
  text = nullptr;
}

char* copy_text(const std::string& text) {
  char* block = static_cast<char*>(std::malloc(text.size() + 1));
  if (block) std::memcpy(block, text.c_str(), text.size() + 1);
  return block;
}

// The pending message is kept as UTF-8: a part may be a text of units.
char* compose_utf8(const std::string& joined) {
  MessageState& state = messages();
  char*& slot = state.enabled ? state.pending : state.deferred;
  free_text(slot);  // a message composed over an unshown one replaces it
  slot = copy_text(joined);
  return slot;
}

std::string utf8_of(const char* kernel_text) { return kernel_text ? mac_roman_to_utf8(kernel_text) : std::string(); }

}  // namespace

char* message_compose(const char* text, const char* a, const char* b, const char* c) {
  return compose_utf8(utf8_of(text) + utf8_of(a) + utf8_of(b) + utf8_of(c));
}

char* message_compose_unit_text(const char* text, const char* unit_text, const char* b, const char* c) {
  return compose_utf8(utf8_of(text) + (unit_text ? unit_text_to_utf8(unit_text) : std::string()) + utf8_of(b) +
                      utf8_of(c));
}

int message_show(uint16_t style) {
  MessageState& state = messages();
  if (!state.enabled) {
    if (style != 130) free_text(state.deferred);
    return 1;
  }
  UINT mode = 0;
  switch (style) {
    case 129: mode = 4099; break;
    case 130:
    case 132: mode = 4098; break;
    case 131: mode = 4100; break;
    default: return 0;
  }
  mode |= MB_TASKMODAL;
  HWND calculator = calculator_window;
  if (calculator) NSKelvoWrapMachine::enableWindow(calculator, false);
  const std::string no_insertion;
  const int answer = KPDialog::messageBoxRT(state.pending ? state.pending : "", &no_insertion, mode);
  free_text(state.pending);
  if (calculator) NSKelvoWrapMachine::enableWindow(calculator, true);
  if (answer == IDOK || answer == IDYES) return 1;
  if (answer == IDNO) return 0;
  return 2;
}

int message_box_simple(const char* text) {
  message_compose(text, "", "", "");
  return message_show(130);
}

void message_show_default(uint8_t enabled) {
  MessageState& state = messages();
  state.enabled = enabled != 0;
  if (state.enabled && state.deferred) {
    free_text(state.pending);
    state.pending = state.deferred;
    state.deferred = nullptr;
    message_show(130);
  }
}

// ---- Text and numbers ----

char* itoa(int value, char* buffer, int radix) {
  assert((radix == 10 || radix == 16) && "itoa: radix 10 or 16");
  if (!buffer) return buffer;
  // Enough for any 32-bit value in either radix, with the sign.
  std::snprintf(buffer, 12, radix == 16 ? "%x" : "%d", value);
  return buffer;
}

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  const double r = static_cast<double>(a) * b / c + 0.5;
  if (!(r > std::numeric_limits<int32_t>::min() - 1.0 && r < std::numeric_limits<int32_t>::max() + 1.0)) return -1;
  return static_cast<int32_t>(r);
}

// ---- Rectangles ----

BOOL PtInRect(const tagRECT* rect, int32_t x, int32_t y) {
  if (!rect) return 0;
  return rect->left <= x && x <= rect->right && rect->top <= y && y <= rect->bottom;
}

BOOL SetRect(tagRECT* rect, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (!rect) return 0;
  *rect = {left, top, right, bottom};
  return 1;
}

void OffsetRect(tagRECT* rect, int32_t dx, int32_t dy) {
  if (!rect) return;
  rect->left += dx;
  rect->right += dx;
  rect->top += dy;
  rect->bottom += dy;
}

BOOL IntersectRect(tagRECT* out, const tagRECT* a, const tagRECT* b) {
  if (!out) return 0;
  if (a && b) {
    const tagRECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
                    std::min(a->bottom, b->bottom)};
    if (r.left < r.right && r.top < r.bottom) {
      *out = r;
      return 1;
    }
  }
  *out = {0, 0, 0, 0};
  return 0;
}

// ---- System ----

int GetSystemMetrics(int index) { return index == 9 || index == 10 ? 17 : 0; }

int GetDoubleClickTime() { return 500; }

namespace {
uint32_t beeps = 0;
}
void MessageBeep(UINT) {
  ++beeps;
  QApplication::beep();
}
uint32_t message_beep_count() { return beeps; }

HWND GetParent(HWND window) {
  auto* widget = qobject_cast<QWidget*>(kp_qobject(window));
  if (widget && !widget->isWindow() && widget->parentWidget()) return kp_hwnd(widget->parentWidget());
  return window;
}

void GetWindowPlacement(HWND, tagWINDOWPLACEMENT* placement) {
  if (placement) *placement = {};
}

int classify_file_access(const char* path) {
  if (!path || ::access(path, F_OK) != 0) return -1;
  return ::access(path, W_OK) == 0 ? 0 : static_cast<int>(FILE_ATTRIBUTE_READONLY);
}

// ---- Platform services ----

namespace {
KPLanguageStarter& language_starter() {
  static KPLanguageStarter starter = nullptr;
  return starter;
}
}  // namespace

void kp_set_language_starter(KPLanguageStarter starter) { language_starter() = starter; }

BOOL load_language_file(const char* path, void* owner) {
  KPLanguageStarter starter = language_starter();
  if (!starter) return 0;
  if (path) return starter(owner, path) ? 1 : 0;
  char stored[1024];
  const char* settings = support_file_path("WKelvo2.ini");
  if (KPPreferencesWrapper::GetUserDefault("Language File Location", stored, sizeof stored, nullptr, settings))
    return starter(owner, stored) ? 1 : 0;
  return starter(owner, "English US") ? 1 : 0;
}

LRESULT figure_window_proc(HWND window, UINT message, WPARAM, LPARAM) {
  if (message != WM_TIMER) return 0;
  QObject* target = kp_qobject(window);
  if (auto* link = target ? dynamic_cast<KPFigureWindowLink*>(target) : nullptr) target = kp_qobject(link->figureView());
  if (auto* view = target ? dynamic_cast<KPFigureTimerTarget*>(target) : nullptr) view->FigureTimer();
  return 0;
}

// ---- Empty substitutes ----

void begin_device_drawing_noop(DisplayDevice*) {}
void end_device_drawing_noop(DisplayDevice*) {}
void empty_stub_no_args() {}
void menu_item_text_noop(int, const char*) {}

int GetClassName(HWND, char* buffer, int capacity) {
  if (buffer && capacity > 0) buffer[0] = '\0';
  return 0;
}

HWND CreateWindow(const char*, const char*, DWORD, int, int, int, int, HWND, HMENU, HANDLE, void*) { return nullptr; }
int SetStretchBltMode(HDC, int) { return 0; }
void empty_point_list_stub(HDC, const tagPOINT*, int) {}
BOOL DeleteMenu(HMENU, UINT, UINT) { return 0; }
int return_third_arg_stub(int, int, int c) { return c; }

BOOL IsWindowEnabled(HWND) {
  assert(!"IsWindowEnabled is not provided");
  return 0;
}

int SelectClipRgn(HDC, void*) {
  assert(!"SelectClipRgn is not provided");
  return 0;
}

int GetDeviceCaps(HDC, int) {
  assert(!"GetDeviceCaps is not provided");
  return 0;
}

void DrawBorder(HDC, const tagRECT*) { assert(!"DrawBorder is not provided"); }
