// Plain functions the kernel calls in place of Win32 ones, and the small
// services it asks of the platform: its message boxes, rectangles and
// numbers, system values, file attributes, the language file and the
// figure windows' procedure. Plain C++: the kernel includes this header.
#pragma once

#include <cstdint>

#include "platform/win_constants.h"
#include "platform/win_types.h"

struct DisplayDevice;

// ---- Messages ----
// Joins four kernel texts into the message the next box shows (held back
// while messages are disabled). The message state owns the text (kept as
// UTF-8): callers never free it.
char* message_compose(const char* text, const char* a, const char* b, const char* c);
// The same, the second text being objects' own texts (names, measures,
// equations): their raised 2 and 3 and degree ring show as unit signs, as
// the figure's description shows them.
char* message_compose_unit_text(const char* text, const char* unit_text, const char* b, const char* c);
// Shows the pending message with a style: 129 yes/no/cancel, 130 and 132 one
// button, 131 yes/no. Answers 1 (OK or yes), 0 (no), 2 (any other answer);
// 1 without showing while messages are disabled; 0 for another style.
int message_show(uint16_t style);
int message_box_simple(const char* text);
// Enables (1) or disables (0) messages; enabling shows a held-back message.
void message_show_default(uint8_t enabled);

// ---- Text and numbers ----
char* itoa(int value, char* buffer, int radix);
// a * b / c + 0.5 truncated toward zero; -1 when c is 0 or the result does
// not fit in 32 bits.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

// ---- Rectangles ----
BOOL PtInRect(const tagRECT* rect, int32_t x, int32_t y);
BOOL SetRect(tagRECT* rect, int32_t left, int32_t top, int32_t right, int32_t bottom);
void OffsetRect(tagRECT* rect, int32_t dx, int32_t dy);
// Win32 semantics: the overlap of a and b into out and TRUE, or an empty
// out and FALSE when they do not overlap.
BOOL IntersectRect(tagRECT* out, const tagRECT* a, const tagRECT* b);

// ---- System ----
int GetSystemMetrics(int index);
int GetDoubleClickTime();
void MessageBeep(UINT type);
// Beeps given since start-up (tests read it).
uint32_t message_beep_count();
HWND GetParent(HWND window);
void GetWindowPlacement(HWND window, tagWINDOWPLACEMENT* placement);
// -1 missing, 1 read-only (the Win32 attribute bit), 0 writable.
int classify_file_access(const char* path);

// ---- Platform services ----
// Starts loading a language file: the given path (UTF-8), else the stored
// "Language File Location", else "English US". Answers 1 when the loader
// started. The language layer installs the starter.
using KPLanguageStarter = bool (*)(void* owner, const char* utf8_location);
void kp_set_language_starter(KPLanguageStarter starter);
BOOL load_language_file(const char* path, void* owner);

// The window procedure the kernel sees for figure windows: the timer
// message drives the figure view's timer step.
class KPFigureTimerTarget {
 public:
  virtual ~KPFigureTimerTarget() = default;
  virtual void FigureTimer() = 0;
};
LRESULT figure_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// ---- Empty substitutes of calls this platform has no use for ----
void begin_device_drawing_noop(DisplayDevice* device);
void end_device_drawing_noop(DisplayDevice* device);
void empty_stub_no_args();
void menu_item_text_noop(int item_id, const char* text);
int GetClassName(HWND window, char* buffer, int capacity);
HWND CreateWindow(const char* class_name, const char* text, DWORD style, int x, int y, int width, int height,
                  HWND parent, HMENU menu, HANDLE instance, void* parameter);
int SetStretchBltMode(HDC dc, int mode);
void empty_point_list_stub(HDC dc, const tagPOINT* points, int count);
BOOL DeleteMenu(HMENU menu, UINT id, UINT flags);
int return_third_arg_stub(int a, int b, int c);

// ---- Calls the kernel never reaches: they stop on an assertion in debug
// builds and answer 0 otherwise ----
BOOL IsWindowEnabled(HWND window);
int SelectClipRgn(HDC dc, void* region);
int GetDeviceCaps(HDC dc, int index);
void DrawBorder(HDC dc, const tagRECT* rect);
