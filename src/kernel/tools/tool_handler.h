// The protocol of the construction tools' handlers: each click of a
// construction tool reaches the handler of the current class, which takes
// the object designated under the cursor as its next argument, creates on
// the fly the point the click asks for, and answers whether the arguments
// now fill one of the class's construction methods. Nested constructions
// (a point made inside another tool) suspend the current tool on a stack.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kernel/model/figure.h"

struct construct_class;
struct construct_method;

// Flags of the handlers.
extern uint8_t auto_point;        // a point may be created on the fly for this click
extern uint8_t mark_arguments;    // arguments get state bit 2; one already taken is refused
extern uint8_t nested_active;     // a nested construction was started
// The two flags above as at start-up: the tools that clear them (a button,
// an expression) leave the generic handlers as they expect them.
void reset_tool_handler_flags();
extern uint8_t nested_from_redefinition;
// A pending point among several objects: the click position, which the
// nested construction that picks the objects then uses.
extern uint8_t pending_crossing;
extern tagPOINT pending_crossing_pos;

// Generic handler (segments, vectors, triangles, arcs, midpoints,
// bisectors, angle marks, grids).
bool take_tool_argument(uint16_t* method, object** designated);
// True when the click has an argument for the tool (the head of `picked`,
// possibly a point just created) or nothing more is to be done for it;
// false when it started a nested construction or resumed a suspended tool.
bool designate_for_tool(object** out);
// Matches one new argument against every method of the class; the index of
// a method now complete (the first when `first`, else the last), or -1.
int16_t find_tool_arg_slot(construct_class* cls, object* obj, uint16_t tag, uint8_t first, uint8_t bind);
// Binding array of a method: for each argument code, the object (and its
// tag) that filled it while the matching recorded bindings; one entry per
// code and one more. Made zeroed on first use and kept in the method's
// per-figure data. Null when memory runs out.
struct binding_entry {
  object* obj;
  uint16_t tag;
};
binding_entry* method_bindings(construct_method* m);
// Suspends the current tool and makes `cls` current with no argument.
void suspend_current_tool(construct_class* cls);
// Resumes the suspended tool; false when none was suspended.
bool pop_tool_argument_state();
// Number of suspended tools.
int suspended_tool_count();
// Builds the point the click asks for (free, at a crossing, or on an
// object) as a nested construction; null when it could not be built.
object* create_point_for_tool();
// Shows the ambiguity list and takes the user's choice.
void highlight_candidate();
// The line shown for a candidate in the ambiguity list (at most 249 bytes).
std::string describe_candidate(object* obj);
// Makes the lines of the ambiguity list that read alike differ: first by
// the names of the objects each was built on, then by a rank.
void distinguish_candidate_lines(const std::vector<object*>& objects, std::vector<std::string>& lines);
// Set by the figure's context menu: describe candidates as the argument at
// `describe_context_position` of this object's method.
extern object* describe_context_object;
extern int describe_context_position;

// The handler loop of one construction click: calls the current class's
// handler until the click is consumed, builds the object once the arguments
// fill a method, and resumes suspended tools with what was built. Answers
// the object built or designated last (null when none). `click` is the
// click position, for the renewed designation of a nested construction.
object* run_construction_click(tagPOINT click);

// Installs the handler of every built-in construction class.
void bind_tool_handlers();
