// Finding or making the intersection set of two objects, and registering
// an intersection point with its set.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

// The intersection-set object of a and b (either order), made through
// create_object when the figure has none; null when it cannot be made.
object* get_intersection_set(object* a, object* b, int unused);

// Appends the record {owner, value, current -1, index 0} to the set's
// records (its `data` block, ended by a record without owner). False when
// memory runs out.
bool add_intersection_record(object* set, uint32_t per_type_word, const valeur* value,
                             object* owner);
