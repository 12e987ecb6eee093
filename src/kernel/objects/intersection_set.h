// Intersection sets and intersection points.
//
// An intersection point is never computed from its two curves directly.
// Between the two objects and their intersection points stands one hidden
// object, the intersection set (class "IntSet"): its parents are the two
// objects, the one with the higher type identifier second, and its `data`
// block holds one record per intersection point and one per point that
// already lies on both objects by construction (a common point). Each
// intersection point (class "Int") has the set as its only parent and keeps
// its intersection index in `math.inter_index`.
//
// When the figure moves, the set recomputes every record at its own index,
// so each point stays on the same root; a record whose root vanished looks
// for a free index that has one.
//
// The intersect operation of a type is called as intersect(B, A, out, index)
// with B the parent of higher type identifier; see kernel/objects/inter_list.h
// for the mode words and the probe.
#pragma once

#include <cstdint>
#include <functional>

#include "kernel/model/figure.h"

struct infomacro;
struct kel_EventRecord;

// No intersection index.
inline constexpr uint32_t kNoIndex = 0xFFFFFFFF;

// One record; the array ends with a record whose owner is null.
struct inter_rec {
  object* owner;    // the intersection point, or the common point
  valeur value;     // the intersection last computed for the record
  uint32_t current; // the index where value was found (kNoIndex: none); for a
                    // common point, the index of the root it coincides with
  uint32_t index;   // the index naming the record's point; kNoIndex marks a
                    // common-point record
};

// Points found on the first object of an intersection, tagged 1 when they
// are a vertex of it.
extern dyn_array_object points_on_objects;

// Number of records of the set (the terminator excluded).
int intersection_record_count(const object* set);

// The intersection set of a and b: the existing one of the same scope
// (a macro application, or the user's objects when macro is null), or a new
// one with its common-point records. Null when memory runs out.
object* get_intersection_set(object* a, object* b, infomacro* macro);
// Rebuilds the common-point records of the set.
void collect_points_on_objects(object* set);
// While a figure's records are read (begin .. end), the two questions above
// are answered from an index of the current figure: its intersection sets
// by their two objects, and the objects that can put a point on an object
// (the points on it, the intersection sets it is one of and their points).
// Between questions the index takes in the objects appended since the last
// one; any other change to the list or to parents has it built again. The
// answers are those of the walks of the whole figure made outside a reading.
void begin_intersection_index();
void end_intersection_index();
// Appends a point record; false when memory runs out.
bool add_intersection_record(object* set, uint32_t index, const valeur* value, object* owner);
// Drops every record of that index; the object loses its array when none
// is left.
void remove_intersection_record(object* obj, uint32_t index);
// The point of that index, found or created; null when memory runs out.
object* create_intersection_point(object* set, uint32_t index);
// The point near the position (a common point, or the intersection within
// the probe distance, created when missing), or null.
object* find_or_create_point_near(object* set, int32_t x, int32_t y);
// Tool handler of the intersection tool; always 0, *out holds the last point
// made or found.
int intersection_tool(kel_EventRecord* event, object** out);

// Compute operations of the two classes.
void compute_intersection_set(object* set);
void compute_intersection_point(object* pt);

// 1 when some pair of obj and another object of the null-terminated list
// has an intersection near (x, y); pairs with a locus only when `loci`.
int intersect_dispatch(object* obj, object** list, int32_t x, int32_t y, uint8_t loci);

// True when a common point takes index (or already holds it) for value.
bool point_on_intersection_record(object* set, uint32_t index, const valeur* value);
// True when some record's `current` equals index.
bool index_is_current(const object* set, uint32_t index);
// True when a point record whose `current` is set has that index.
bool index_has_point(const object* set, uint32_t index);
// Owner of the first common-point record, or null.
object* first_intersection_owner(const object* set);
// Owner of the first point record whose owner is not obj, or null.
object* other_intersection_owner(const object* set, const object* obj);

// After a figure copy: every record's owner becomes its counterpart in the
// copy. Records whose owner has no counterpart (a copy limited to fewer
// objects) are dropped.
void renumber_intersection_records(object* set, const std::function<object*(const object*)>& counterpart);
// After an older file is read: gives the point's record an index no
// earlier record uses, and the point that index.
void intersection_set_refresh(object* pt);
// Moves the point to the other root of its pair when it coincides with obj.
void link_intersection_point(object* pt, object* obj);
// After an older text file is read: every intersection point that sits on
// a point already lying on both its objects gives way to that point (what
// named it names the point), then every object is recomputed.
void refresh_all_intersection_sets();
