#include "kernel/tools/tool_args.h"

#include "kernel/tools/tool_state.h"

tool_pick current_pick{};

int take_tool_argument(kel_EventRecord*, object** out) {
  if (current_pick.obj) {
    objlist_clear(&picked);
    objlist_add(&picked, current_pick.obj, current_pick.tag);
    current_pick = tool_pick{};
  }
  uint16_t method = 0;
  object* designated = nullptr;
  const bool complete = take_tool_argument(&method, &designated);
  if (out) *out = designated;
  return complete ? 1 : 0;
}

bool new_tool_temp_object(construct_class* cls) {
  suspend_current_tool(cls);
  return true;
}
