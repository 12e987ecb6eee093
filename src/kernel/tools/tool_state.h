// Tool state that the figure model reads and writes: the kernel-wide
// candidate lists, the designation tables of the current tool, the tools'
// neutral attribute record, and the selection routines.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"
#include "kernel/prefs/default_attrs.h"

// Candidate lists of the designation under the cursor.
extern dyn_array_object picked;
extern dyn_array_object carrier_candidates;
extern dyn_array_object intersection_candidates;
extern dyn_array_object highlight_list;
extern dyn_array_object ambiguity_candidates;

// The user's selection while a construction tool uses the figure's
// `selection` field for its arguments; null when no tool has saved it.
extern dyn_array_object* saved_selection;

// One entry of a designation table: a type code, its help text, a spare word.
struct designation_entry {
  uint16_t code;
  char* text;
  uint32_t spare;
};

struct designation_list {
  int16_t capacity;
  designation_entry* entries;  // ended by an entry whose code is 0
};

inline constexpr int16_t kDesignationTableSize = 20;

extern designation_list designation_args;
extern designation_list designation_carriers;
extern designation_list designation_intersectables;

// Attributes of a tool that builds nothing.
extern default_attr no_class_attrs;

// Deselects every object of the current figure and empties and shrinks its
// `selection` list.
void clear_selection();

// Frees every node of the list and clears the pointer.
void free_object_list(objectptrlist** list);
