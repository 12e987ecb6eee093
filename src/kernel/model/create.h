// Creation of objects: every object of a figure is born in create_object,
// from the current tool's class and the picks in the figure's `inputs`.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

struct construct_class;

inline constexpr uint16_t kNoMethod = 0xFFFF;

// Builds an object of the current class with method `method` from the
// figure's `inputs`. *created is 1 for a new object, 0 when an identical
// object already existed and is returned instead. `compute_now` recomputes
// the new object; `final_no` is 1 for objects built directly; `skip_identical`
// skips the search for an identical object. Null when memory runs out.
object* create_object(uint16_t method, uint16_t* created, uint8_t compute_now, int16_t final_no,
                      uint8_t skip_identical);

// The hidden origin point and axes of a fresh figure. 0 on success, 1 on
// failure (the figure is then left empty).
int create_default_objects();

// The first other object that the object's method declares identical.
object* find_identical_object(object* fresh);

// Number of objects whose type record has that identifier.
uint32_t count_objects_of_type(int16_t type_id);

// The single visible axes object, or null when there is none or several.
object* find_unique_axes();

// Marks the figure changed and draws the object on the shared devices.
void redraw_object(object* obj);

// Side information: which side of a polygon or which axis each parent was
// designated by, packed as (high half << 16) | low half.
void set_object_side_info(object* obj, uint32_t code);
uint32_t pack_object_side_info(const object* obj);
// The contribution of one parent at `position` (0 or 1) for an object of
// class `cls` whose side bytes are `side_bytes` (the 32-bit `math` word).
uint32_t pack_parent_side_info(const construct_class* cls, uint32_t side_bytes, const object* parent,
                               int position);

// Variants chosen with the option key held (a point on a polygon side, a
// distance measured along a polygon).
void apply_polygon_modifier(object* obj);
