// The intersection operation shared by every straight type and the
// coordinate system: both objects are cut into straight parts (the sides of
// a polygon, the two axes), every pair of parts is intersected as two lines,
// and only points that lie on both parts are kept.
//
// An intersection is tagged (i << 16) | j: part i of `a`, part j of `b`.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

// Part i of a straight object (side i of a polygon, axis i of the coordinate
// system, the object itself otherwise) as a line, with the ends of a bounded
// part. Not usable when the object lacks the values or a bounded part has
// an end at infinity.
struct straight_part {
  valeur line[2];  // a point and a direction (in h, v of the second)
  valeur ends[2];  // the two ends of a bounded part
  bool bounded;
  bool ray;
  bool usable;
};

straight_part make_straight_part(const object* o, int i);

// The point lies on the part: inside a bounded part, not behind a ray's
// origin. Lines and axes keep every point.
bool on_straight_part(const straight_part& p, const valeur& r);

// `a` must have the higher (or equal) type identifier. The selector is one
// of kIntersectAll (out: inter_list*, emptied first, every pair added, a
// missing one flagged VAL_NOT_EXIST), kIntersectRaw (out: one valeur, the
// last pair once one existed), kIntersectProbe (the first finite
// intersection within 16 of intersect_probe), or a single pair (i, j)
// packed like a tag (out: one valeur).
// Returns 1 an intersection exists, 2 none does, 3 the pair of types is not
// straight, 4 the pair's part indices are out of range.
int32_t straight_intersect(object* a, object* b, void* out, uint32_t selector);
