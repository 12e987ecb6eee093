// The tool state that the intersection constructions and the file readers
// borrow from the construction tools, under the names they use: the
// argument the mouse designated, the crossing found under the cursor, the
// stack on which the current tool waits while an object of another class is
// built on the way, the matching of arguments against a class's methods
// (find_tool_arg_slot) and the dependency chain of a locus
// (collect_dependency_chain). The tools' own interface is tool_handler.h.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/handler_helpers.h"
#include "kernel/tools/tool_handler.h"

struct construct_class;
struct kel_EventRecord;

// An argument proposed to the current class's handler from outside the
// designation under the cursor (a replayed pick); obj is null when none.
struct tool_pick {
  object* obj;
  uint16_t tag;
};
extern tool_pick current_pick;

// The generic handler for a caller holding an event: a pending
// `current_pick` becomes the designated candidate first. Non-zero when the
// arguments are complete; *out receives the designated object.
int take_tool_argument(kel_EventRecord* event, object** out);

// Suspends the current tool in favour of `cls` (suspend_current_tool).
bool new_tool_temp_object(construct_class* cls);
