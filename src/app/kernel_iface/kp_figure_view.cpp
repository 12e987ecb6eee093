#include "app/kernel_iface/kp_figure_view.h"

void* current_figure_view = nullptr;

namespace {
FigureViewHooks g_hooks;
HMENU g_main_menu = nullptr;
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

HMENU KPApplication::mainMenu() { return g_main_menu; }
void KPApplication::setMainMenu(HMENU menu) { g_main_menu = menu; }
