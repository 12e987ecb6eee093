// The list of computed intersections that an intersect operation fills when
// every intersection of two objects is asked for, and the probe through
// which the designation asks for the intersection near the mouse.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

// Selectors of an intersect operation besides a plain index.
inline constexpr uint32_t kIntersectAll = 0xFFFFFFFF;    // out: inter_list*
inline constexpr uint32_t kIntersectProbe = 0xEFFFFFFF;  // near intersect_probe
inline constexpr uint32_t kIntersectRaw = 0xDFFFFFFF;    // out: valeur array

struct inter_list {
  valeur* values;
  uint32_t* indices;
  int32_t capacity;  // 5 at first, raised by 5 when full
  int32_t count;
};

// Appends the value with its intersection index. A null value empties the
// list instead (creating its arrays on first use). False when memory runs
// out; the list is then left as it was.
bool intersection_results_add(inter_list* list, uint32_t index, const valeur* value);
// Gives back the arrays of the list.
void intersection_results_free(inter_list* list);

// In: the position near which a probe looks. Out, when the intersect
// operation answers 1: the intersection found and its index.
extern valeur intersect_probe;
extern uint32_t intersect_probe_index;
