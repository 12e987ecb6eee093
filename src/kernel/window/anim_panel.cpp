#include "kernel/window/anim_panel.h"

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/file_services.h"
#include "kernel/model/classes.h"
#include "kernel/model/undo.h"
#include "kernel/text/text_editing.h"
#include "kernel/tools/drag_start.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_state.h"
#include "platform/kp_timer.h"

anim_button anim_buttons[4] = {
    {0, 0, 0, kAnimLabelRows[kAnimAnimate], nullptr},
    {0, 0, 0, kAnimLabelRows[kAnimDefine], nullptr},
    {0, 0, 0, kAnimLabelRows[kAnimDelete], nullptr},
    {0, 0, 0, kAnimLabelRows[kAnimGoBack], nullptr},
};
HWND anim_panel = nullptr;
HWND anim_refocus_window = nullptr;

namespace {

constexpr UINT kWmActivate = 6;
constexpr UINT kWmSysCommand = 274;
constexpr WPARAM kScClose = 61536;
constexpr int kStateOff = 1;
constexpr int kStateOn = 2;
// Toolbox metrics: button size and gap.
constexpr int32_t kButtonSize = 40;
constexpr int32_t kButtonGap = 3;

anim_panel_services g_services;
// Cleared while the kernel closes the panel, so the main window is not told.
uint8_t g_closed_by_user = 1;
void (*g_close_designation_windows)() = nullptr;

anim_button& button(anim_button_index i) { return anim_buttons[i]; }

HWND figure_window() { return static_cast<HWND>(current_figure_view); }

HWND main_window() { return files_services().main_application ? files_services().main_application() : nullptr; }

// The Return that starts the animation must reach the animation: a name
// or text still being typed in the figure would take it.
void post_return_to_figure() {
  switch_text_edit_object(nullptr);
  if (HWND view = figure_window()) NSKelvoWrapMachine::cwmPostMessage(view, WM_CHAR, 13, 0);
}

void invalidate_figure() { invalidate_figure_view(current_figure_view); }

void set_title() {
  if (anim_panel) NSKelvoWrapMachine::setWindowText(anim_panel, classe_spring.name ? classe_spring.name : "");
}

// Shows the Animate button running (the image it keeps) and switched off.
void show_running(bool running) {
  button(kAnimAnimate).running_icon = running ? 1 : 0;
  set_anim_button_state(&button(kAnimAnimate), kStateOff);
}

void close_with_tool_action() {
  if (g_close_designation_windows) g_close_designation_windows();
  close_anim_panel();
}

void run_button_code(WPARAM code) {
  const bool running = animation_running != 0;
  switch (code) {
    case kAnimCodeDefine:
      if (running) {
        set_anim_button_state(&button(kAnimDefine), kStateOff);
      } else {
        spring_pick_mode = 1;
        setup_current_tool(current_class);
      }
      break;
    case kAnimCodeDelete:
      if (running) {
        set_anim_button_state(&button(kAnimDelete), kStateOff);
      } else {
        spring_pick_mode = 2;
        setup_current_tool(current_class);
      }
      break;
    case kAnimCodeStart:
      post_return_to_figure();
      show_running(true);
      break;
    case kAnimCodeStop:
      // A click in the figure stops what moves. When nothing moves (the
      // start asked for found nothing to start), a click would be taken by
      // the spring tool as a place: the button only shows it is stopped.
      if (HWND view = figure_window(); view && (running || manipulating)) {
        NSKelvoWrapMachine::sendMessage(view, WM_LBUTTONDOWN, 0, 0);
        NSKelvoWrapMachine::sendMessage(view, WM_LBUTTONUP, 0, 0);
      }
      if (animation_running == 0) show_running(false);
      set_anim_button_state(&button(kAnimDefine), kStateOn);
      spring_pick_mode = 1;
      break;
    case kAnimCodeGoBack:
      set_anim_button_state(&button(kAnimGoBack), kStateOff);
      if (running) break;
      undo_swap_state();
      set_anim_button_state(&button(kAnimDefine), kStateOn);
      stop_spring_animation();
      spring_pick_mode = 1;
      setup_current_tool(current_class);
      invalidate_figure();
      break;
    default:
      break;
  }
}

}  // namespace

anim_panel_services& anim_panel_hooks() { return g_services; }

void layout_anim_buttons() {
  const int32_t s = kButtonSize, g = kButtonGap;
  button(kAnimDefine).x = g;
  button(kAnimDefine).y = g;
  button(kAnimDelete).x = g + s + g;
  button(kAnimDelete).y = g;
  button(kAnimAnimate).x = g;
  button(kAnimAnimate).y = g + s + 2 * g + 2;
  button(kAnimGoBack).x = g + s + g;
  button(kAnimGoBack).y = g + s + 2 * g + 2;
}

void set_anim_button_state(anim_button* b, int state) {
  if (!b || !b->button) return;
  if (b == &button(kAnimAnimate)) NSKelvoWrapMachine::sendMessage(b->button, kAnimButtonImage, b->running_icon, 0);
  if (state == kStateOff) NSKelvoWrapMachine::sendMessage(b->button, BM_SETCHECK, 0, 0);
  else if (state == kStateOn) NSKelvoWrapMachine::sendMessage(b->button, BM_SETCHECK, 1, 0);
}

void refresh_anim_panel(HWND panel) {
  if (!panel || !NSKelvoWrapMachine::isWindowVisible(panel)) return;
  // While an animation runs the define and delete modes wait: their
  // buttons stay off until it stops.
  const bool running = animation_running != 0;
  set_anim_button_state(&button(kAnimDefine), !running && spring_pick_mode == 1 ? kStateOn : kStateOff);
  set_anim_button_state(&button(kAnimDelete), !running && spring_pick_mode == 2 ? kStateOn : kStateOff);
  // The running image stays from the start asked until the stop.
  if (running) button(kAnimAnimate).running_icon = 1;
  set_anim_button_state(&button(kAnimAnimate), kStateOff);
  set_anim_button_state(&button(kAnimGoBack), kStateOff);
}

void open_anim_panel() {
  if (!g_services.show_anim_panel) return;
  anim_panel = g_services.show_anim_panel(&button(kAnimDefine).button, &button(kAnimDelete).button,
                                          &button(kAnimAnimate).button, &button(kAnimGoBack).button);
  set_title();
  spring_pick_mode = 1;
  // An animation that ended while the panel was closed left its image
  // running: the panel opens showing what runs now.
  button(kAnimAnimate).running_icon = animation_running ? 1 : 0;
  refresh_anim_panel(anim_panel);
}

void close_anim_panel() {
  if (!anim_panel) return;
  g_closed_by_user = 0;
  NSKelvoWrapMachine::sendMessage(anim_panel, WM_CLOSE, 0, 0);
  g_closed_by_user = 1;
}

void start_auto_animation() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  current_class = &classe_spring;
  if (fig) install_selection_list(fig->inputs);
  interaction_state = 1;
  current_help_text = classe_spring.help_text ? classe_spring.help_text : "";
  current_help_page = classe_spring.help_page ? classe_spring.help_page : "";
  if (tool_services().show_help_page) tool_services().show_help_page(current_help_text, current_help_page);
  tool_redraw_figure(0, 30);
  invalidate_current_figure_window();
  open_anim_panel();
  if (!anim_panel) return;
  // Asked again before it fired, the wait starts over.
  KPTimer::killTimer(anim_panel, kAutoAnimationTimer);
  KPTimer::setTimer(anim_panel, kAutoAnimationTimer, kAutoAnimationDelay, auto_animation_timer_proc);
}

void auto_animation_timer_proc(HWND, UINT, UINT, DWORD) {
  if (anim_panel) KPTimer::killTimer(anim_panel, kAutoAnimationTimer);
  post_return_to_figure();
  show_running(true);
}

void stop_anim_panel() {
  if (!anim_panel) return;
  button(kAnimAnimate).running_icon = 0;
  set_anim_button_state(&button(kAnimAnimate), kStateOff);
  set_anim_button_state(&button(kAnimDefine), kStateOn);
  spring_pick_mode = 1;
  set_anim_button_state(&button(kAnimDelete), kStateOff);
  set_anim_button_state(&button(kAnimGoBack), kStateOff);
  setup_current_tool(current_class);
  invalidate_figure();
}

void reset_anim_buttons() {
  if (!anim_panel) return;
  show_running(true);
  set_anim_button_state(&button(kAnimDefine), kStateOff);
}

LRESULT anim_panel_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      layout_anim_buttons();
      set_title();
      spring_pick_mode = 1;
      break;
    case WM_DESTROY:
      anim_panel = nullptr;
      if (g_closed_by_user && main_window()) NSKelvoWrapMachine::cwmPostMessage(main_window(), WM_USER, kAnimPanelClosed, 0);
      // The buttons go with the panel.
      for (anim_button& b : anim_buttons) b.button = nullptr;
      return 0;
    case kWmActivate:
      if (wparam & 0xFFFF) anim_refocus_window = reinterpret_cast<HWND>(lparam);
      break;
    case WM_PAINT:
      break;
    case kWmSysCommand:
      if (wparam == kScClose && main_window())
        NSKelvoWrapMachine::cwmPostMessage(main_window(), WM_USER, kAnimPanelClosed, 0);
      break;
    case WM_TIMER:
      if (wparam == kAutoAnimationTimer) {
        KPTimer::killTimer(window, kAutoAnimationTimer);
        post_return_to_figure();
        show_running(true);
        set_anim_button_state(&button(kAnimDefine), kStateOff);
      }
      break;
    case WM_LBUTTONUP:
      anim_refocus_window = figure_window();
      run_button_code(wparam);
      if (g_services.make_main_window && anim_refocus_window) g_services.make_main_window(anim_refocus_window);
      break;
    default:
      break;
  }
  refresh_anim_panel(window);
  return 0;
}

void bind_anim_panel_services() {
  tool_hooks& h = tool_services();
  if (h.close_designation_windows != close_with_tool_action) {
    g_close_designation_windows = h.close_designation_windows;
    h.close_designation_windows = close_with_tool_action;
  }
}
