// The figure view as the kernel sees it: which view shows the current
// figure, and the refreshes the kernel asks of it. The Qt figure view
// installs the hooks; without them (and without a view) nothing is shown.
#pragma once

#include "platform/win_types.h"

struct kelvo_win_info;

// The view whose display device shows the current figure, or null.
extern void* current_figure_view;

struct FigureViewHooks {
  void (*show_figure)(void* view, kelvo_win_info* fig) = nullptr;
  void (*invalidate)(void* view) = nullptr;
  void (*refresh_description)(void* view) = nullptr;
};
void install_figure_view_hooks(const FigureViewHooks& hooks);

// The view's display device now shows `fig`.
void figure_view_show_figure(void* view, kelvo_win_info* fig);
// Asks a redisplay of the whole view.
void invalidate_figure_view(void* view);
// Refreshes the figure-description drawer when it is visible.
void refresh_figure_description(void* view);

// The application's main menu, whose item 110 is Undo.
inline constexpr UINT kUndoMenuItem = 110;
struct KPApplication {
  // The application's main menu handle (a KPMenusWrapper), null until the
  // application has built its menus.
  static HMENU mainMenu();
  static void setMainMenu(HMENU menu);
};
