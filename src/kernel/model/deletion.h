// Deleting objects, taking back a tool's last pick, replacing one object by
// another in every reference, and reordering the list so that each object
// follows its parents. All work on the current figure.
#pragma once

#include <cstdint>

struct object;

// Deletes obj, or the selection when obj is null, with everything built on
// it. Through the selection the origin and the axes (numbers 1 and 2) and
// objects protected by a sticky dependant stay; an object selected by its
// label loses only its label, a text selected on a reference loses only
// that reference. A text quoting a deleted object loses the reference, a
// table the column, a button the target.
void delete_objects(object* obj);

// Undoes the last pick of the current tool: an object made on the fly for
// it is erased (erase) and destroyed (remove); the remaining picks are fed
// again to the tool's handler.
void cancel_last_selection(uint8_t erase, uint8_t remove);

// Every reference to old_obj (parents from `start` on, texts, buttons,
// colour sources, macro records, the figure's lists) now names new_obj.
void replace_parent_references(object* new_obj, object* start, object* old_obj);

// Reorders the list so that every object follows its parents, the objects
// its text quotes, the initial objects of the macro application that built
// it and the finals of that application numbered before it; an object that
// has to move also goes after the rest of the applications its parents
// belong to and after the texts showing what it quotes. Then renumbers
// 1..n and refreshes the intersection sets. A dependency other than a
// parent that would close a cycle is given up. Objects caught in a cycle
// of parents cannot be ordered: they follow every other object in their
// present order, and false is answered.
bool sort_objects_by_dependency();

// An intersection point leaves the records of its set. When the set is left
// with no record it is flagged for deletion and returned; otherwise null.
object* detach_intersection_point(object* point);

// Deletes the object with what is built on it, without redrawing (the
// clean-ups of the text code).
void delete_object_quietly(object* obj);

// Predicates and steps of the deletion, exposed for their tests.
bool object_can_be_deleted(object* obj);
void flag_for_deletion(object* obj);
void flag_unused_intermediates();
void free_marked_objects();
