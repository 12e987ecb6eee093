#include "kernel/macros/macro_dialog.h"

#include <cstring>

#include "kernel/macros/macro_records.h"
#include "kernel/model/memory.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/toolbox.h"
#include "platform/kernel_services.h"

macro_def* macro_dialog_def = nullptr;
TYPEOBJ* macro_new_arguments = nullptr;
uint8_t macro_working_icon[kMacroIconSize];
uint8_t macro_pen_color = 15;

namespace {

constexpr int kDefaultHelpRow = 289;
constexpr int kBaseNameRow = 288;
constexpr int kBuiltinNameRow = 290;

uint8_t stroke_value = 0;
bool button_down = false;

bool listed_macro(const construct_class* c) {
  return c != &classe_point_polyreg && c != &classe_ptint && is_macro_class(c) && c->name != nullptr;
}

char* block_text(const std::string& s, const char* prefix = "") {
  if (s.empty()) return nullptr;
  const size_t p = std::strlen(prefix);
  auto* b = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(p + s.size() + 1)));
  if (b == nullptr) return nullptr;
  std::memcpy(b, prefix, p);
  std::memcpy(b + p, s.data(), s.size());
  return b;
}

// Takes every tool of that name out of the configuration group and the
// toolbar groups; answers the id of the group it was last found in.
int16_t remove_tool_items(const char* name) {
  int16_t group = 0;
  auto sweep = [&](menu* m) {
    for (int i = 1; m != nullptr && m->names != nullptr && m->names[i] != nullptr;) {
      if (std::strcmp(m->names[i], name) == 0) {
        if (m != trash_toolbox) group = m->id;
        remove_toolbox_tool_at(m, static_cast<int16_t>(i));
      } else {
        ++i;
      }
    }
  };
  sweep(trash_toolbox);
  for (int g = 0; tool_menus != nullptr && tool_menus[g] != nullptr; ++g) sweep(tool_menus[g]);
  return group;
}

}  // namespace

macro_dialog_hooks& macro_dialog_services() {
  static macro_dialog_hooks hooks;
  return hooks;
}

std::vector<std::string> macro_dialog_names() {
  std::vector<std::string> names;
  for (int i = 0; i < class_list_count(); ++i)
    if (listed_macro(class_list[i])) names.emplace_back(class_list[i]->name);
  return names;
}

std::string proposed_macro_name() {
  std::string base = kernel_string(kBaseNameRow);
  if (base.empty()) base = "Macro";
  const std::vector<std::string> names = macro_dialog_names();
  // Pass over the names until the proposal is nobody's: one pass in list
  // order could land on a name listed before the one that matched.
  std::string proposal = base;
  unsigned counter = 0;
  for (bool changed = true; changed;) {
    changed = false;
    for (const std::string& n : names)
      if (n == proposal) {
        proposal = base + std::to_string(++counter);
        changed = true;
      }
  }
  return proposal;
}

bool macro_dialog_load(const char* name, std::string* help, std::string* password, std::string* short_name) {
  construct_class* cls = find_class_by_name(name, 0);
  if (!listed_macro(cls)) return false;
  init_macro_icon(macro_working_icon, nullptr);
  if (cls->icon != nullptr) std::memcpy(macro_working_icon, cls->icon, kMacroIconSize);
  if (help) *help = cls->help_text != nullptr ? cls->help_text : "";
  if (password) *password = macro_password(cls) != nullptr ? macro_password(cls) : "";
  if (short_name) *short_name = cls->short_name != nullptr && cls->short_name[0] == 1 ? cls->short_name + 1 : "";
  return true;
}

int16_t find_conflicting_macro_method(construct_class* cls) {
  int16_t last = -2;
  const int count = class_method_count(cls);
  for (int i = 0; i < count; ++i) {
    construct_method* m = cls->methods[i];
    if (m == nullptr || m->args == nullptr || macro_new_arguments == nullptr) continue;
    bool all_new_found = true;
    for (const TYPEOBJ* c = macro_new_arguments; *c != 0; ++c) {
      bool found = false;
      for (TYPEOBJ* t = m->args; *t != 0 && !found; ++t)
        if ((*t & 0x8000) == 0 && *t == *c) {
          *t |= 0x8000;
          found = true;
        }
      all_new_found = all_new_found && found;
    }
    bool all_taken = true;
    for (const TYPEOBJ* t = m->args; *t != 0; ++t) all_taken = all_taken && (*t & 0x8000) != 0;
    for (TYPEOBJ* t = m->args; *t != 0; ++t) *t &= static_cast<TYPEOBJ>(~0x8000);
    if (!all_new_found && !all_taken) continue;
    if (!method_unused_in_figures(m)) return -1;
    last = static_cast<int16_t>(i);
  }
  return last;
}

int ask_macro_name_conflict(construct_class* existing) {
  const bool replace = class_unused_in_figures(existing);
  const bool add = find_conflicting_macro_method(existing) != -1;
  if (macro_dialog_services().ask_conflict == nullptr) return 2;
  return macro_dialog_services().ask_conflict(replace, add);
}

uint8_t icon_pixel_get(int x, int y, int size) {
  if (x < 0 || y < 0 || x >= size || y >= size) return 0;
  if (size == 16) return macro_working_icon[16 * y + x];
  if (size == 32) return macro_working_icon[256 + 32 * y + x];
  return 0;
}

void icon_pixel_set(int x, int y, int size, uint8_t color) {
  if (x < 0 || y < 0 || x >= size || y >= size) return;
  if (size == 16) macro_working_icon[16 * y + x] = color;
  if (size == 32) macro_working_icon[256 + 32 * y + x] = color;
}

bool macro_icon_editor_mouse(unsigned message, int x, int y, int grid) {
  if (message == 514) {
    button_down = false;
    return false;
  }
  if (message != 513 && !(message == 512 && button_down)) return false;
  if (x < 0 || y < 0) return false;
  const int cx = x / 5, cy = y / 5;
  if (cx >= grid || cy >= grid) return false;
  if (message == 513) {
    stroke_value = icon_pixel_get(cx, cy, grid) == macro_pen_color ? 0 : macro_pen_color;
    button_down = true;
  }
  if (icon_pixel_get(cx, cy, grid) == stroke_value) return false;
  icon_pixel_set(cx, cy, grid, stroke_value);
  return true;
}

void erase_macro_icon() { std::memset(macro_working_icon, 0, kMacroIconSize); }

char* run_macro_name_dialog(macro_def* def, uint8_t** icon, char** short_name, char** help, char** password) {
  if (icon) *icon = nullptr;
  if (short_name) *short_name = nullptr;
  if (help) *help = nullptr;
  if (password) *password = nullptr;
  removed_macro_group = 0;
  macro_dialog_def = def;
  init_macro_icon(macro_working_icon, nullptr);
  button_down = false;
  macro_dialog_texts texts;
  const int answer = macro_dialog_services().run != nullptr ? macro_dialog_services().run(&texts) : 2;
  macro_dialog_def = nullptr;
  if (answer != 1 || texts.name.empty()) return nullptr;

  if (construct_class* existing = find_class_by_name(texts.name.c_str(), 0)) {
    if (!is_macro_class(existing)) {
      message_box_simple(kernel_string(kBuiltinNameRow));
      return nullptr;
    }
    const int choice = ask_macro_name_conflict(existing);
    if (choice == kConflictReplace) {
      removed_macro_group = remove_tool_items(existing->name);
      remove_class_from_list(existing);
      free_construct_class(existing);
    } else if (choice == kConflictAddMethod) {
      for (int16_t i; (i = find_conflicting_macro_method(existing)) >= 0;) {
        construct_method* gone = remove_list_entry(existing, i);
        shift_method_indices_in_figures(existing, i);
        free_macro_method(&gone);
      }
    } else {
      return nullptr;
    }
  }
  char* name = block_text(texts.name);
  if (name == nullptr) return nullptr;
  if (short_name) *short_name = block_text(texts.short_name, "\x01");
  if (help) *help = block_text(texts.help);
  if (password) *password = block_text(texts.password);
  if (def != nullptr && texts.option) def->macro_def_flags |= kMacroOptionSave;
  if (icon) {
    *icon = alloc_block<uint8_t>(kMacroIconSize);
    if (*icon) std::memcpy(*icon, macro_working_icon, kMacroIconSize);
  }
  return name;
}

const char* default_macro_help() { return kernel_string(kDefaultHelpRow); }

std::vector<const uint8_t*> macro_chooser_icons() {
  std::vector<const uint8_t*> icons;
  for (int i = 0; i < class_list_count(); ++i) {
    const construct_class* c = class_list[i];
    if (c->icon != nullptr && c != &classe_point_polyreg && c != &classe_ptint) icons.push_back(c->icon);
  }
  for (const toolbar_row& row : toolbar_table)
    if (row.icon != nullptr) icons.push_back(row.icon);
  return icons;
}

void macro_choose_icon(const uint8_t* icon) {
  if (icon != nullptr) std::memcpy(macro_working_icon, icon, kMacroIconSize);
}
