#include "app/panels/tool_menu_services.h"

#include "app/kernel_iface/kp_figure_view.h"
#include "kernel/window/figure_events.h"
#include "kernel/model/classes.h"
#include "kernel/render/colors.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/window/main_commands.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/kp_menu.h"

HWND attrib_palette_window = nullptr;
menu* current_toolbar_menu = nullptr;
int16_t current_toolbar_item = 0;
menu* last_attrib_menu = nullptr;

namespace {

ToolsPaletteHooks g_palette;

// The texts of the command that shows or hides the attribute palette.
constexpr int kRowShowAttributePalette = 840;
constexpr int kRowHideAttributePalette = 841;
constexpr UINT kAttributePaletteCommand = command_id::kAttributePalette;

bool in_list(menu* const* list, const menu* m) {
  if (!list) return false;
  for (; *list; ++list)
    if (*list == m) return true;
  return false;
}

}  // namespace

void install_tools_palette_hooks(const ToolsPaletteHooks& hooks) { g_palette = hooks; }
const ToolsPaletteHooks& installed_tools_palette_hooks() { return g_palette; }

HWND tool_menu_owner_window(const menu* m) {
  if (!m) return nullptr;
  if (in_list(tool_menus, m)) return tools_panel_window;
  if (in_list(attrib_menus, m)) return attrib_palette_window;
  return nullptr;
}

void select_tool_item(int16_t group, int16_t item) {
  menu* m = find_tool_menu(group);
  if (!m || !m->icons) return;
  // -1 reselects the button and keeps its current item.
  if (g_palette.do_select && m->view) g_palette.do_select(m->view, item == -1 ? 65535 : item, true);
  const bool on_toolbar = in_list(tool_menus, m);
  if (item != -1) {
    bool attribute = false;
    for (int16_t k = 0; attrib_menus[k]; ++k) {
      if (attrib_menus[k] != m) continue;
      if (g_palette.set_attrib_menu_value) g_palette.set_attrib_menu_value(k, static_cast<uint32_t>(item));
      attribute = true;
      break;
    }
    if (!attribute && item >= 1 && item <= menu_entry_count(m) && m->icons != kColorPopupIcons)
      m->icons[0] = m->icons[item];
  }
  if (on_toolbar) {
    current_toolbar_menu = m;
    current_toolbar_item = item;
  }
}

int on_attrib_menu_select(menu** list, tagPOINT, uint32_t, uint32_t tool_id) {
  if (!list) return 0;
  update_cursor(current_cursor);
  const bool palette_open = color_palette_window != nullptr;
  bool some_shown = false;
  for (int k = 0; list[k] && k < kAttributeMenuCount; ++k) some_shown |= attrib_menu_shown[k] != 0;
  // The group's index is checked against the list: a group outside it
  // chooses nothing.
  const int index = static_cast<int>(tool_group(tool_id)) - kFirstAttributeMenu;
  int count = 0;
  while (count < kAttributeMenuCount && list[count]) ++count;
  if (index < 0 || index >= count) return 0;
  menu* chosen = list[index];
  bool found = false;
  for (int k = 0; k < count; ++k) {
    if (list[k] != chosen || (!palette_open && !some_shown)) continue;
    found = true;
    if (k < 3) {
      for (int c = 0; c < 3; ++c) attrib_menu_shown[c] = c == k;
    } else {
      attrib_menu_shown[k] = 1;
    }
  }
  if (found) {
    if (g_palette.update_color_palette_panel) g_palette.update_color_palette_panel();
    setup_current_tool(current_class);
  }
  last_attrib_menu = chosen;
  return 0;
}

bool close_attrib_palette() {
  if (!attrib_palette_window || !g_palette.show_attribute_bar) return false;
  g_palette.show_attribute_bar(false);
  return true;
}

const char* attrib_palette_menu_text() {
  const char* text = kernel_string(attrib_palette_window ? kRowHideAttributePalette : kRowShowAttributePalette);
  if (text && *text) return text;
  return attrib_palette_window ? "Hide Attribute Palette" : "Show Attribute Palette";
}

void update_attrib_palette_menu_text() {
  KPMenusWrapper::modifyMenu(KPMenusWrapper::mainMenu(), kAttributePaletteCommand, 0, kAttributePaletteCommand,
                             attrib_palette_menu_text());
}

void reset_palette_selections() {
  if (!g_palette.set_attrib_menu_value) return;
  for (int16_t k = 0; k < 3; ++k) g_palette.set_attrib_menu_value(k, default_color);
}

LRESULT refresh_attrib_palette() {
  if (!attrib_palette_window) return 0;
  return InvalidateRect(attrib_palette_window, nullptr, 1);
}

void post_tool_selection(const char* name) {
  if (!tool_menus || !name) return;
  for (menu** m = tool_menus; *m; ++m) {
    if (!(*m)->names) continue;
    for (int item = 1; (*m)->names[item]; ++item) {
      if ((*m)->names[item] != name) continue;
      const auto id = make_tool_id(static_cast<uint16_t>((*m)->id), static_cast<uint16_t>(item));
      NSKelvoWrapMachine::cwmPostMessage(tools_panel_window, WM_USER, 102, static_cast<LPARAM>(id));
      return;
    }
  }
}

void rebuild_tools_panel() {
  if (tool_menus && g_palette.redo_all_tools) g_palette.redo_all_tools();
}

void install_tool_menu_services() {
  tool_hooks& h = tool_services();
  h.select_tool_item = &select_tool_item;
  // The toolboxes keep names of their own: the entry named like the class
  // is the one posted.
  h.post_tool_selection = [](const construct_class* cls) {
    const uint32_t id = cls ? find_tool_id_by_name(cls->name) : 0;
    const menu* m = id ? find_tool_menu(static_cast<int16_t>(tool_group(id))) : nullptr;
    if (m && m->names && tool_item(id) <= menu_entry_count(m)) post_tool_selection(m->names[tool_item(id)]);
  };
  // Without the palette, the application's own refresh shows it again (the
  // command that hid it shows it).
  h.refresh_attrib_palette = [] {
    if (!attrib_palette_window && !config_mode && g_palette.show_attribute_bar) {
      g_palette.show_attribute_bar(true);
      return;
    }
    refresh_attrib_palette();
  };
  h.close_attrib_palette = &close_attrib_palette;
  h.update_attrib_palette_menu_text = &update_attrib_palette_menu_text;
  h.send_tools_palette = [](UINT message, WPARAM wparam, LPARAM lparam) {
    if (!tools_panel_window) return false;
    NSKelvoWrapMachine::sendMessage(tools_panel_window, message, wparam, lparam);
    return true;
  };
}
