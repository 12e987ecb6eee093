#include "kernel/tools/tool_ids.h"

#include <cstring>
#include <initializer_list>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/render/still_layer.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/toolbox.h"
#include "platform/kp_menu.h"

namespace {

// Each row has its own icon, and Show Axes has one per face; the
// application draws them at start-up.
uint8_t row_icons[kToolbarRows][kToolIconBytes] = {};
uint8_t hidden_axes_icon[kToolIconBytes] = {};

// Language rows: the nineteen names, the name of Show Axes while the axes
// are shown, the nineteen help texts.
constexpr int kRowNames = 459;
constexpr int kRowAxesShownName = 478;
constexpr int kRowHelp = 479;

bool same(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

const char* text_or(int row, const char* fallback) {
  const char* text = kernel_string(row);
  return text[0] ? text : fallback;
}

// The name of the identifier's toolbox entry, or null.
const char* entry_name(uint32_t tool_id) {
  menu* m = find_tool_menu(static_cast<int16_t>(tool_group(tool_id)));
  if (!m || !m->names) return nullptr;
  const int item = tool_item(tool_id);
  if (item > menu_entry_count(m)) return nullptr;
  return m->names[item];
}

}  // namespace

toolbar_row toolbar_table[kToolbarRows] = {
    {2, 1, "Pointer", "Pointer", row_icons[0], "", "pointer.html"},
    {2, 2, "Rotate", "Rotate", row_icons[1], "", "rotate_pointer.html"},
    {2, 3, "Dilate", "Dilate", row_icons[2], "", "dilate_pointer.html"},
    {2, 4, "Rotate and Dilate", "Rotate and Dilate", row_icons[3], "", "rot_dilate_pointer.html"},
    {4, 0, "Animation", "Animation", row_icons[4], "", "animation.html"},
    {9, 0, "Multiple Animation", "Multiple Animation", row_icons[5], "", "mult_animation.html"},
    {3, 0, "Trace On/Off", "Trace On/Off", row_icons[6], "", "trace_on_off.html"},
    {5, 0, "Fix / Free", "Fix / Free", row_icons[7], "", "fix_free.html"},
    {6, 32768, "Hide/Show", "Hide/Show", row_icons[8], "", "hide_show.html"},
    {6, 1, "Thick", "Thick", row_icons[9], "", "thickness.html"},
    {6, 2, "Dotted", "Dotted", row_icons[10], "", "dotted.html"},
    {6, 16504, "Modify Appearance", "Modify Appearance", row_icons[11], "", "modify_appearence.html"},
    {6, 4, "Color", "Color", row_icons[12], "", "color.html"},
    {6, 512, "Fill", "Fill", row_icons[13], "", "fill.html"},
    {6, 1024, "Text Color", "Text Color", row_icons[14], "", "textcolor.html"},
    {8, 0, "Show Axes", "Show Axes", row_icons[15], "", "hide_show_axes.html"},
    {7, 1, "Initial Object", "Initial Object", row_icons[16], "", "initial_objects.html"},
    {7, 2, "Final Object", "Final Object", row_icons[17], "", "final_objects.html"},
    {7, 3, "Define Macro", "Define Macro", row_icons[18], "", "define_macro.html"},
};

const char* show_axes_names[2] = {"Show Axes", "Hide Axes"};
uint8_t* show_axes_icons[2] = {row_icons[15], hidden_axes_icon};

toolbar_row* toolbar_row_at(int16_t row) {
  return row >= 1 && row <= kToolbarRows ? &toolbar_table[row - 1] : nullptr;
}

void fill_help_page_table() {
  const bool axes_shown = toolbar_table[ROW_SHOW_AXES - 1].name == show_axes_names[1];
  for (int i = 0; i < kToolbarRows; ++i) {
    toolbar_table[i].name = text_or(kRowNames + i, toolbar_table[i].english_name);
    toolbar_table[i].help_text = kernel_string(kRowHelp + i);
  }
  show_axes_names[0] = toolbar_table[ROW_SHOW_AXES - 1].name;
  show_axes_names[1] = text_or(kRowAxesShownName, "Hide Axes");
  if (axes_shown) toolbar_table[ROW_SHOW_AXES - 1].name = show_axes_names[1];
}

uint32_t find_tool_id_by_name(const char* name) {
  if (!name || !tool_menus) return 0;
  for (int b = 0; tool_menus[b]; ++b) {
    const menu* m = tool_menus[b];
    const int n = menu_entry_count(m);
    for (int i = 1; i <= n; ++i)
      if (same(m->names[i], name)) return make_tool_id(static_cast<uint16_t>(m->id), static_cast<uint16_t>(i));
  }
  return 0;
}

construct_class* find_class_by_name(const char* name, uint32_t tool_id) {
  if (!name) name = entry_name(tool_id);
  if (!name || !class_list) return nullptr;
  for (construct_class** c = class_list; *c; ++c)
    if ((*c)->name && same((*c)->name, name)) return *c;
  return nullptr;
}

construct_class* find_class_by_second_name(const char* name) {
  if (!name || !class_list) return nullptr;
  for (construct_class** c = class_list; *c; ++c)
    if ((*c)->name && same((*c)->english_name, name)) return *c;
  return nullptr;
}

int16_t find_toolbar_index_by_name(const char* name, uint32_t tool_id) {
  if (!name) name = entry_name(tool_id);
  if (!name) return 0;
  for (int i = 0; i < kToolbarRows; ++i)
    if (same(toolbar_table[i].name, name)) return static_cast<int16_t>(i + 1);
  return 0;
}

int16_t find_toolbar_index_by_key(const char* key) {
  if (!key) return 0;
  for (int i = 0; i < kToolbarRows; ++i)
    if (same(toolbar_table[i].english_name, key)) return static_cast<int16_t>(i + 1);
  return 0;
}

void show_tool_name(uint32_t tool_id) {
  const char* name = entry_name(tool_id);
  if (name && tool_services().display_tool_name) tool_services().display_tool_name(name);
}

menu* put_axes_variant_in_toolboxes(int* item) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  for (int b = 0; tool_menus && tool_menus[b]; ++b) {
    menu* m = tool_menus[b];
    const int n = menu_entry_count(m);
    for (int i = 1; i <= n; ++i) {
      if (!same(m->names[i], show_axes_names[0]) && !same(m->names[i], show_axes_names[1])) continue;
      if (!fig || !fig->first || !fig->first->next) return nullptr;
      const int shown = fig->first->next->settings.visible ? 1 : 0;
      char* name = alloc_block<char>(static_cast<uint32_t>(std::strlen(show_axes_names[shown]) + 1));
      if (name) {
        std::strcpy(name, show_axes_names[shown]);
        GlobalFreeAndNull(&m->names[i]);
        m->names[i] = name;
      }
      toolbar_table[ROW_SHOW_AXES - 1].name = show_axes_names[shown];
      toolbar_table[ROW_SHOW_AXES - 1].icon = show_axes_icons[shown];
      m->icons[i] = show_axes_icons[shown];
      *item = i;
      return m;
    }
  }
  return nullptr;
}

void select_axes_tool_variant() {
  int i = 0;
  menu* m = put_axes_variant_in_toolboxes(&i);
  if (m && (m->icons[0] == show_axes_icons[0] || m->icons[0] == show_axes_icons[1]) &&
      tool_services().select_tool_item) {
    tool_services().select_tool_item(m->id, static_cast<int16_t>(i));
    tool_services().select_tool_item(kFirstToolbox, 1);
  }
}

void set_document_dirty() {
  // A change during a drag or an animation may touch the still objects.
  drop_still_layer();
  KPGeoDocument::_do_dirty(KPGeoDocument::currentInfo());
  EnableMenuItem(KPApplication::mainMenu(), menu_item::kUndo, MF_ENABLED);
}

void refresh_tool_menus() {
  HMENU bar = KPApplication::mainMenu();
  if (!bar) return;
  const tool_hooks& h = tool_services();
  EnableMenuItem(bar, menu_item::kEdit5, MF_GRAYED);
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (current_figure_view && fig) {
    const object* text = fig->cur_text;
    const bool editing = text && text->te && !(text->otype && text->otype->id == TYPE_TABLE);
    const bool any = objlist_count(fig->selection) > 0 || selection_rect_shown ||
                     editing;
    EnableMenuItem(bar, menu_item::kCut, any ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(bar, menu_item::kCopy, any ? MF_ENABLED : MF_GRAYED);
    for (unsigned item : {115u, 40051u, 116u, 114u, 40038u, 40023u, 40032u}) EnableMenuItem(bar, item, MF_ENABLED);
    if (h.view_has_display_device && h.view_has_display_device()) EnableMenuItem(bar, menu_item::kEdit5, MF_ENABLED);
  } else if (!fig) {
    for (unsigned item : {115u, 116u, 114u, 110u, 109u, 111u, 40038u, 40023u, 40032u})
      EnableMenuItem(bar, item, MF_GRAYED);
  }
  EnableMenuItem(bar, 40029, MF_GRAYED);
}
