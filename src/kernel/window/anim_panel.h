// The animation panel: a small floating window with four buttons (define
// springs, delete springs, animate / stop, go back) whose clicks reach
// anim_panel_proc as button-release messages and drive the figure window
// through posted messages; and the automatic start of the multiple
// animation half a second after it is asked for.
#pragma once

#include <cstdint>

#include "platform/kelvo_wrap_machine.h"
#include "platform/win_types.h"

// One button of the panel.
struct anim_button {
  int32_t x;  // position in the panel, pixels
  int32_t y;
  // The Animate button shows its running image.
  uint8_t running_icon;
  // Kernel string row of the label.
  int label_row;
  // The platform button, filled by the panel when it is shown.
  HWND button;
};

enum anim_button_index { kAnimAnimate = 0, kAnimDefine = 1, kAnimDelete = 2, kAnimGoBack = 3 };
extern anim_button anim_buttons[4];

// The panel window, null while it is closed.
extern HWND anim_panel;
// The window given the focus back after a panel action.
extern HWND anim_refocus_window;

// Codes of the button-release message (514) the panel sends.
enum anim_panel_code : WPARAM {
  kAnimCodeDefine = 1,
  kAnimCodeDelete = 2,
  kAnimCodeStart = 3,
  kAnimCodeStop = 4,
  kAnimCodeGoBack = 5,
};
// Sent to a panel button: wparam 1 shows the running image, 0 the normal.
inline constexpr UINT kAnimButtonImage = 247;
// Posted to the application's main window when the user closes the panel.
inline constexpr WPARAM kAnimPanelClosed = 101;
// The timer of the automatic start, on the panel window.
inline constexpr UINT kAutoAnimationTimer = 15;
inline constexpr UINT kAutoAnimationDelay = 500;
// Rows of the four labels: Animate, Define, Delete, Go back.
inline constexpr int kAnimLabelRows[4] = {641, 642, 643, 644};

// What the application gives the panel code.
struct anim_panel_services {
  // Shows the panel (made the first time) and fills its buttons in the
  // order Define, Delete, Animate, Go back; the panel window.
  HWND (*show_anim_panel)(HWND* define, HWND* remove, HWND* animate, HWND* go_back) = nullptr;
  // Makes the window the main window again after a panel action.
  void (*make_main_window)(HWND window) = nullptr;
};
anim_panel_services& anim_panel_hooks();

void open_anim_panel();
// Closes the panel as the end of a tool action does: the main window is not
// told.
void close_anim_panel();
void start_auto_animation();
void auto_animation_timer_proc(HWND window, UINT message, UINT id, DWORD time);
void stop_anim_panel();
void reset_anim_buttons();
// State 1 switches the button off, 2 on.
void set_anim_button_state(anim_button* button, int state);
void refresh_anim_panel(HWND panel);
LRESULT anim_panel_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Lays the buttons out from the toolbox metrics.
void layout_anim_buttons();
// Installs the panel's services to the tools (the panel closes with the
// tool action).
void bind_anim_panel_services();
