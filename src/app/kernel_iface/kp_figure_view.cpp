#include "app/kernel_iface/kp_figure_view.h"

#include "platform/kelvo_wrap_machine.h"
#include "platform/kp_menu.h"

void* current_figure_view = nullptr;

namespace {
FigureViewHooks g_hooks;
InvalidateHook g_invalidate;
}  // namespace

void install_figure_view_hooks(const FigureViewHooks& hooks) { g_hooks = hooks; }

void figure_view_show_figure(void* view, kelvo_win_info* fig) {
  if (view && g_hooks.show_figure) g_hooks.show_figure(view, fig);
}

void invalidate_figure_view(void* view) {
  if (view && g_hooks.invalidate) g_hooks.invalidate(view);
}

void refresh_figure_description(void* view) {
  if (view && g_hooks.refresh_description) g_hooks.refresh_description(view);
}

HMENU KPApplication::mainMenu() { return KPMenusWrapper::mainMenu(); }

const FigureViewHooks& figure_view_hooks() { return g_hooks; }

void install_invalidate_hook(const InvalidateHook& hook) { g_invalidate = hook; }
const InvalidateHook& installed_invalidate_hook() { return g_invalidate; }

BOOL InvalidateRect(HWND window, const tagRECT* rect, BOOL) {
  if (!window) return 0;
  if (g_invalidate.invalidate_rect && g_invalidate.invalidate_rect(window, rect)) return 1;
  NSKelvoWrapMachine::sendMessage(window, WM_PAINT, 0, 0);
  return 1;
}
