// The tool-menu services: how the kernel and the palette reach the toolbox
// and attribute records and the windows that show them. Plain C++; the
// tools palette installs the few calls that reach its buttons.
#pragma once

#include <cstdint>

#include "kernel/render/color_palette.h"
#include "kernel/tools/toolbox.h"
#include "platform/win_types.h"

// The attribute palette (the tools palette's view while its attribute bar
// is shown, else null). The colour palette's window and the menus it shows
// (color_palette_window, attrib_menu_shown) are the kernel's palette state.
extern HWND attrib_palette_window;
// The toolbar group and item last made current by select_tool_item.
extern menu* current_toolbar_menu;
extern int16_t current_toolbar_item;
extern menu* last_attrib_menu;

// What the services ask of the tools palette.
struct ToolsPaletteHooks {
  // doSelect:: on a record's button (item from 1; 65535 keeps the current one).
  void (*do_select)(void* button, int item, bool send) = nullptr;
  // Shows a value on the attribute button at that index of attrib_menus.
  void (*set_attrib_menu_value)(int16_t index, uint32_t value) = nullptr;
  // Rebuilds the palette's buttons from the records.
  void (*redo_all_tools)() = nullptr;
  // Repaints the colour palette panel.
  void (*update_color_palette_panel)() = nullptr;
  // Shows or hides the attribute bar of the tools palette.
  void (*show_attribute_bar)(bool shown) = nullptr;
};
void install_tools_palette_hooks(const ToolsPaletteHooks& hooks);
const ToolsPaletteHooks& installed_tools_palette_hooks();

// tools_panel_window when the record is a toolbox, attrib_palette_window
// when it is an attribute menu, else null.
HWND tool_menu_owner_window(const menu* m);
// Shows an item of a group on its button and makes it the group's current
// item (-1: only reselects the button).
void select_tool_item(int16_t group, int16_t item);
// An attribute choice made in the palette; `list` is attrib_menus.
int on_attrib_menu_select(menu** list, tagPOINT point, uint32_t unused, uint32_t tool_id);
// Repaints the attribute palette when it is shown (the answer of the
// invalidation, else 0). The bar draws with Qt and keeps no display device:
// its buttons read attrib_menus themselves, so there is no reference to
// hand it first.
LRESULT refresh_attrib_palette();
// Hides the attribute palette when it is shown; answers whether it was.
bool close_attrib_palette();
// The main menu's item 118 says whether the attribute palette will be
// shown or hidden.
void update_attrib_palette_menu_text();
// Its text now.
const char* attrib_palette_menu_text();
// The pen, fill and text colour buttons show the default colour.
void reset_palette_selections();
// Posts the selection of the toolbox entry whose name is that very pointer
// (names are compared by address) to the tools palette.
void post_tool_selection(const char* name);
void rebuild_tools_panel();

// Fills the kernel's palette service slots with the functions above.
void install_tool_menu_services();
