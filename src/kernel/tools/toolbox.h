// The kernel's model of the tools palette: one `menu` record per toolbox
// (a group of tool buttons) and per attribute pop-up, the lists that hold
// them, their layout, and the built-in contents. The palette builds one view
// per record and sends tool identifiers back.
#pragma once

#include <cstdint>

#include "kernel/tools/tool_ids.h"
#include "platform/win_types.h"

struct construct_class;

enum menu_kind : int16_t { MENU_TOOLBOX = 1, MENU_COLOR_POPUP = 2, MENU_ICON_POPUP = 3 };

// The palette's view of a record, released through the installed hook.
struct menu {
  int16_t id;           // tool-identifier group: 128-138, 999, 1001-1011
  int16_t kind;         // menu_kind
  tagRECT rect;         // screen rectangle, zero until laid out
  int32_t pos_a;        // along the column of toolboxes
  int32_t pos_b;        // across (attribute pop-ups stack along it)
  uint8_t gap;          // extra space before the group, in 5-pixel units
  void (*action)();     // null in the built-in groups
  // Null-terminated names (owned copies); entry 0 is the face, tools from 1.
  char** names;
  // Icons in step with the names, or kColorPopupIcons for a colour pop-up.
  void** icons;
  void* single_icon;    // the icon of a colour pop-up
  uint8_t* item_flags;  // one byte per slot, made when a flagged entry is added
  uint32_t* item_words; // one word per slot
  int16_t capacity;     // slots of names and icons
  int8_t current_item;
  char* title;
  void* view;
};

inline void** const kColorPopupIcons = reinterpret_cast<void**>(uintptr_t{1});
inline constexpr int16_t kMenuInitialCapacity = 2;
inline constexpr int16_t kMenuGrowth = 5;
inline constexpr int16_t kToolMenusGrowth = 5;
inline constexpr int kAttributeMenuCount = 11;

// Null-terminated list of the toolboxes in palette order, its slot count,
// the attribute pop-ups (ids 1001 to 1011 in order, null-terminated) and the
// toolbar window record ("Trash", id 999, which holds the tools left out
// of the toolbar while the palette is being configured).
extern menu** tool_menus;
extern int16_t tool_menus_capacity;
extern menu* attrib_menus[kAttributeMenuCount + 1];
extern menu* trash_toolbox;

struct toolbox_layout_metrics {
  int32_t margin;
  int32_t spacing;
  int32_t button_width;
  int32_t button_height;
  int32_t row_step;
  int32_t attribute_column;
  int32_t attribute_top;
};
extern toolbox_layout_metrics toolbox_layout;

// The palette's hook that removes and releases a record's view.
void install_toolbox_view_release(void (*release)(void* view));

void init_toolbox_layout();
menu* new_tool_record(int16_t id, void* icon, const char* name, int32_t pos_a, int32_t pos_b, int16_t kind);
void append_toolbox(menu* m);
// Inserts after entry `index` (below 0, or at or past the last entry:
// appends). False when memory runs out or the record has no lists.
bool add_tool_to_toolbox(menu* m, void* icon, const char* name, int16_t index, uint8_t flag);
void remove_toolbox_tool_at(menu* m, int16_t index);
// The face (entry 0) takes the icon and a copy of the name of entry
// `index`; false when the copy cannot be made (the face is then unchanged).
bool set_toolbox_face(menu* m, int16_t index);
void add_tool_by_toolbox_id(int16_t id, const toolbar_row* row, uint8_t gap);
void add_tool_from_descriptor(int16_t id, construct_class* cls, uint8_t gap);
void layout_toolboxes();
// Builds the toolboxes and the attribute pop-ups; answers the toolbar
// window record.
menu* build_all_toolboxes();
void build_attribute_menus();
void free_tool_record(menu** slot);
void free_attribute_menus();
void free_all_toolboxes();

// Entries of a record from 1 (the face excluded); 0 without names.
int menu_entry_count(const menu* m);
// The toolbox with that id, else the attribute pop-up; null when none.
menu* find_tool_menu(int16_t id);

// Placeholder art until the icons are drawn: the attribute pop-ups' 28
// icons, the text-size pair, the three colour pop-ups, the toolbar window.
extern uint8_t attribute_icon_table[28][kToolIconBytes];
