// The intersection operation shared by every straight type and the
// coordinate system: both objects are cut into straight parts (the sides of
// a polygon, the two axes), every pair of parts is intersected as two lines,
// and only points that lie on both parts are kept.
//
// An intersection is tagged (i << 16) | j: part i of `a`, part j of `b`.
#pragma once

#include <cstdint>

struct object;

// `a` must have the higher (or equal) type identifier. The selector is one
// of kIntersectAll (out: inter_list*, emptied first, every pair added, a
// missing one flagged VAL_NOT_EXIST), kIntersectRaw (out: one valeur, the
// last pair once one existed), kIntersectProbe (the first finite
// intersection within 16 of intersect_probe), or a single pair (i, j)
// packed like a tag (out: one valeur).
// Returns 1 an intersection exists, 2 none does, 3 the pair of types is not
// straight, 4 the pair's part indices are out of range.
int32_t straight_intersect(object* a, object* b, void* out, uint32_t selector);
