// Identical-construction tests: whether a freshly built object is the same
// construction as an object already in the figure, so that building it again
// yields the existing object. Each construction method names its test.
#pragma once

#include "kernel/model/classes.h"

struct object;

bool ident_never(object* fresh, object* old);
bool identstd(object* fresh, object* old);
bool ident_same_parents(object* fresh, object* old);
bool ident_two_points_any_order(object* fresh, object* old);
bool ident_cyclic_parents(object* fresh, object* old);
bool ident_coordinates(object* fresh, object* old);
bool ident_centre_fixed(object* fresh, object* old);
bool ident_reflection(object* fresh, object* old);
bool ident_translation(object* fresh, object* old);
bool ident_pair_property(object* fresh, object* old);
bool ident_midpoint(object* fresh, object* old);
bool ident_length(object* fresh, object* old);
bool ident_spring(object* fresh, object* old);

// Where an object identical to `fresh` can be, so that a large figure need
// not be searched whole. An identical object has every object of a group's
// `common` among its parents, or (with `through_sides`) has as a parent a
// segment, vector, triangle or polygon that has both points of `common`
// among its parents; or it is one of `singles`. `known` is false for a test
// this does not describe, whose candidates are all the objects.
struct identity_scope {
  struct group {
    object* common[2] = {};
    bool all_parents = false;  // common is every parent of fresh instead
    bool through_sides = false;
  };
  bool known = false;
  group groups[2];
  int group_count = 0;
  object* singles[2] = {};
};
identity_scope identity_scope_of(object* fresh, method_ident_fn test);
