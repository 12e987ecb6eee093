// Identical-construction tests: whether a freshly built object is the same
// construction as an object already in the figure, so that building it again
// yields the existing object. Each construction method names its test.
#pragma once

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
