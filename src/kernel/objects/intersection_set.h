// Intersection records kept by an intersection set in its `data` block.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

// One record; the array ends with a record whose owner is null.
struct inter_rec {
  object* owner;
  valeur value;
  uint32_t current;
  uint32_t index;
};

// Points found on the first object of an intersection.
extern dyn_array_object points_on_objects;

// After a figure copy: every record's owner becomes the object of the
// current figure with the old owner's number. Records whose owner has no
// counterpart (a copy limited to fewer objects) are dropped.
void renumber_intersection_records(object* set);
