#include "platform/kp_menu.h"

#include <cstdio>
#include <map>
#include <string>
#include <utility>

namespace {
std::map<std::pair<HMENU, UINT>, UINT> g_item_flags;
std::string g_undo_text;
void (*g_show_message)(const char*) = nullptr;
void (*g_menu_changed)() = nullptr;

void notify() {
  if (g_menu_changed) g_menu_changed();
}
}  // namespace

UINT EnableMenuItem(HMENU menu, UINT item, UINT flags) {
  UINT& slot = g_item_flags[{menu, item}];
  const UINT previous = slot;
  slot = flags & (MF_GRAYED | MF_DISABLED);
  notify();
  return previous;
}

bool menu_item_enabled(HMENU menu, UINT item) {
  auto it = g_item_flags.find({menu, item});
  return it == g_item_flags.end() || it->second == MF_ENABLED;
}

void set_undo_menu_text(const char* text) {
  g_undo_text = text ? text : "";
  notify();
}

const char* undo_menu_text() { return g_undo_text.c_str(); }

void message_box_simple(const char* text) {
  if (g_show_message)
    g_show_message(text ? text : "");
  else
    std::fprintf(stderr, "kelvo: %s\n", text ? text : "");
}

void install_message_box(void (*show)(const char*)) { g_show_message = show; }
void install_menu_listener(void (*changed)()) { g_menu_changed = changed; }
