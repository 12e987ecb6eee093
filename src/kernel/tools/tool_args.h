// Matching picked objects against the argument lists of a class's methods,
// and the dependency chain a locus is built on.
#pragma once

#include <cstdint>

struct object;
struct construct_class;

// Marks, in each method's argument list, the first unmarked entry that
// accepts the object's type (0x8000) and rules out (0x4000 on every entry)
// the methods with none. Returns the first (first = 1) or last (first = 0)
// method whose entries are all matched, or -1. `tag` and `record` are kept
// for the tools and not used here.
int16_t find_tool_arg_slot(construct_class* cls, object* obj, uint16_t tag, uint8_t first,
                           uint8_t record);

// Puts into the current figure's argument list a, every later object that
// depends on a and on which b depends, then b; returns their count, 0 when
// b does not depend on a.
int16_t collect_dependency_chain(object* a, object* b);
