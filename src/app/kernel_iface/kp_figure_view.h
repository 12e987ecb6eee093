// The figure view as the kernel sees it: which view shows the current
// figure, and the refreshes the kernel asks of it. The Qt figure view
// installs the hooks; without them (and without a view) nothing is shown.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct kelvo_win_info;

// The view whose display device shows the current figure, or null.
extern void* current_figure_view;

struct DisplayDevice;

struct FigureViewHooks {
  void (*show_figure)(void* view, kelvo_win_info* fig) = nullptr;
  void (*invalidate)(void* view) = nullptr;
  void (*refresh_description)(void* view) = nullptr;
  // The view's figure record and display device.
  kelvo_win_info* (*view_info)(void* view) = nullptr;
  DisplayDevice* (*view_device)(void* view) = nullptr;
  // The part of the figure the view shows (`intBounds:`).
  void (*int_bounds)(void* view, tagRECT* bounds) = nullptr;
  // Moves a scroll bar's knob to a kernel scroll position (0 horizontal,
  // 1 vertical) and applies it (`setScrollPos:::`, `finishScroll:`).
  void (*set_scroll_pos)(void* view, int bar, int32_t position) = nullptr;
  void (*finish_scroll)(void* view) = nullptr;
  // The view now shows the sheet from this device origin (left, top): its
  // scroll bars follow it and it repaints (`setScrollPos:::` with redraw).
  void (*show_origin)(void* view, int32_t left, int32_t top) = nullptr;
  // The size of the view in figure pixels.
  void (*visible_size)(void* view, int32_t* width, int32_t* height) = nullptr;
  // The kernel's new-figure command: a new untitled document.
  void (*new_document)() = nullptr;
  // Closes the application (message 16 to the application).
  void (*terminate)() = nullptr;
  // Takes and gives back the view's drawing lock, which points the shared
  // display devices at the view (false when the view cannot draw).
  bool (*lock_view)(void* view) = nullptr;
  void (*unlock_view)(void* view) = nullptr;
};
void install_figure_view_hooks(const FigureViewHooks& hooks);

// The view's display device now shows `fig`.
void figure_view_show_figure(void* view, kelvo_win_info* fig);
// Asks a redisplay of the whole view.
void invalidate_figure_view(void* view);
// Refreshes the figure-description drawer when it is visible.
void refresh_figure_description(void* view);
const FigureViewHooks& figure_view_hooks();

// Asks a redisplay: of a figure view (in the rectangle, or whole), of a
// figure window's view, or, for any other window, sends it the paint message.
BOOL InvalidateRect(HWND window, const tagRECT* rect, BOOL erase);
struct InvalidateHook {
  // Answers true when the window was a view or figure window it handled.
  bool (*invalidate_rect)(HWND window, const tagRECT* rect) = nullptr;
};
void install_invalidate_hook(const InvalidateHook& hook);
const InvalidateHook& installed_invalidate_hook();

// The application's main menu, whose item 110 is Undo.
inline constexpr UINT kUndoMenuItem = 110;
struct KPApplication {
  // The application's main menu: the platform's main KPMenusWrapper, which
  // the application sets when it builds its menus; null until then.
  static HMENU mainMenu();
};
