// Destruction, lookup and numbering of the objects of the current figure.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

// Unlinks the object, frees what it owns and gives its pool slot back.
// `nbobj` is left to the caller.
void destroy_object(object* obj);

// Frees what the object owns (values, parents, data, texts, label, picture,
// reference and associated lists, colour parameters, macro record).
void free_object_data(object* obj);

// False when the figure's undo copy holds an object with the same picture.
bool bitmap_is_private(const object* obj);

// The object numbered n in the current figure; null for 0 or n > nbobj.
object* find_object_by_number(uint32_t n);

// Numbers the objects 1..n in list order, except while a file is read.
void renumber_objects();

// Asks for the records a few places after o in memory, where the objects
// made after it usually lie (records come from blocks in list order): a
// walk over a large figure otherwise waits for every record in turn.
inline void prefetch_following_records(const object* o) {
  __builtin_prefetch(reinterpret_cast<const char*>(o) + 4 * sizeof(object));
}

// Clears `mask` (low eight bits only) in the state of every object.
void clear_object_flags(uint32_t mask);
