#include "platform/kp_cursor.h"

#include <map>
#include <string>

namespace {

struct cursor_record {
  int32_t id;
};

std::map<int32_t, cursor_record>& cursors() {
  static std::map<int32_t, cursor_record> table;
  return table;
}

int32_t g_current_id = kCursorArrow;
std::string g_current_name;
void (*g_listener)() = nullptr;

void changed() {
  if (g_listener) g_listener();
}

}  // namespace

HCURSOR KPCursor::loadCursor(int32_t id) {
  auto [it, inserted] = cursors().try_emplace(id, cursor_record{id});
  return &it->second;
}

HCURSOR KPCursor::setCursor(HCURSOR cursor) {
  if (!cursor) cursor = loadCursor(kCursorArrow);
  g_current_id = static_cast<cursor_record*>(cursor)->id;
  g_current_name.clear();
  changed();
  return cursor;
}

HCURSOR KPCursor::setCursorByID(int32_t id) { return setCursor(loadCursor(id)); }

void KPCursor::setCursorByName(const char* name) {
  g_current_id = 0;
  g_current_name = name ? name : "";
  changed();
}

int32_t KPCursor::cursorID(HCURSOR cursor) { return cursor ? static_cast<cursor_record*>(cursor)->id : 0; }
int32_t KPCursor::currentID() { return g_current_id; }
const char* KPCursor::currentName() { return g_current_name.c_str(); }

void install_cursor_listener(void (*listener)()) { g_listener = listener; }
