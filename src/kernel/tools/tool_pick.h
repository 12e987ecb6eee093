// The tool state that the intersection constructions borrow from the
// construction tools: the argument the mouse designated, the crossing the
// designation found under the cursor, and a stack on which the current tool
// is saved while an object of another class is built on the way.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

struct construct_class;
struct kel_EventRecord;

// The object the designation proposes as the current tool's next argument,
// with its designation tag; obj is null when nothing is designated.
struct tool_pick {
  object* obj;
  uint16_t tag;
};
extern tool_pick current_pick;

// Set by the designation when the cursor designates the crossing of two
// objects (then the first two entries of `intersection_candidates`), with
// the cursor position. The intersection tool reads and clears it.
extern uint8_t designated_crossing;
extern tagPOINT designated_crossing_pos;
// A crossing position left for the current tool by the designation of its
// arguments; the intersection tool consumes and clears it.
extern uint8_t pending_crossing;
extern tagPOINT pending_crossing_pos;

// Appends the designated object (`current_pick`) to the figure's `inputs`
// when its type fits the next argument of the current class's first method,
// and clears the pick. Non-zero when the arguments are then complete; *out
// receives the accepted object (null when none was accepted).
int take_tool_argument(kel_EventRecord* event, object** out);

// Saves the current tool (class, default attributes, rubber-band points and
// the figure's pending `inputs`) and makes `cls` current, so that
// create_object builds an object of that class. False when memory runs out;
// nothing is changed then.
bool new_tool_temp_object(construct_class* cls);
// Restores the last saved tool state; 1 when one was popped, 0 when the
// stack was empty.
int pop_tool_argument_state();
