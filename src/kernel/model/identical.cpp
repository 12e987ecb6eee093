#include "kernel/model/identical.h"

#include "kernel/model/classes.h"
#include "kernel/model/figure.h"

namespace {

// Bit of `aux2`: the object is shown inside a text.
constexpr uint32_t kShownInText = 4;

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }

object* parent(const object* o, int i) {
  return o->parents && i >= 0 && i < o->nbparents ? o->parents[i] : nullptr;
}

bool same_construction(const object* a, const object* b) {
  return a->classe == b->classe && a->methode == b->methode;
}

bool same_pair(object* a0, object* a1, object* b0, object* b1) {
  if (!a0 || !a1) return false;
  return (a0 == b0 && a1 == b1) || (a0 == b1 && a1 == b0);
}

// The two vertices k mod n and (k + 1) mod n of a figure with vertices.
bool side_vertices(const object* figure, int k, object** a, object** b) {
  const int n = figure->nbparents;
  if (n <= 0 || !figure->parents) return false;
  *a = figure->parents[k % n];
  *b = figure->parents[(k + 1) % n];
  return *a && *b;
}

// The two points whose midpoint (or perpendicular bisector) the object is.
bool midpoint_points(const object* o, object** a, object** b) {
  if (o->methode == 0) {
    *a = parent(o, 0);
    *b = parent(o, 1);
    return *a && *b;
  }
  const object* x = parent(o, 0);
  if (!x) return false;
  switch (type_of(x)) {
    case TYPE_SEGMENT:
      *a = parent(x, 0);
      *b = parent(x, 1);
      return *a && *b;
    case TYPE_VECTOR:
    case TYPE_TRIANGLE:
    case TYPE_POLYGON:
      return side_vertices(x, o->math.side.index, a, b);
    default:
      return false;
  }
}

// The two end points of a length: two points, or a segment's ends.
bool length_points(const object* o, object** a, object** b) {
  object* p0 = parent(o, 0);
  if (!p0) return false;
  if (type_of(p0) == TYPE_POINT) {
    object* p1 = parent(o, 1);
    if (type_of(p1) != TYPE_POINT) return false;
    *a = p0;
    *b = p1;
    return true;
  }
  if (type_of(p0) == TYPE_SEGMENT) {
    *a = parent(p0, 0);
    *b = parent(p0, 1);
    return *a && *b;
  }
  return false;
}

}  // namespace

bool ident_never(object*, object*) { return false; }

bool ident_same_parents(object* fresh, object* old) {
  if (!same_construction(fresh, old)) return false;
  if (fresh->nbparents < 1 || fresh->nbparents != old->nbparents) return false;
  if (!fresh->parents || !old->parents) return false;
  for (int i = 0; i < fresh->nbparents; ++i)
    if (fresh->parents[i] != old->parents[i]) return false;
  return true;
}

bool identstd(object* fresh, object* old) {
  return ident_same_parents(fresh, old) && fresh->math.bitsfield == old->math.bitsfield;
}

bool ident_two_points_any_order(object* fresh, object* old) {
  if (!same_construction(fresh, old)) return false;
  return same_pair(parent(fresh, 0), parent(fresh, 1), parent(old, 0), parent(old, 1));
}

bool ident_cyclic_parents(object* fresh, object* old) {
  if (!same_construction(fresh, old)) return false;
  const int n = fresh->nbparents;
  if (n <= 0 || n != old->nbparents || !fresh->parents || !old->parents) return false;
  for (int s = 0; s < n; ++s) {
    int j = 0;
    while (j < n && fresh->parents[(j + s) % n] == old->parents[j]) ++j;
    if (j == n) return true;
  }
  return false;
}

bool ident_coordinates(object* fresh, object* old) {
  return (old->aux2 & kShownInText) && ident_same_parents(fresh, old) &&
         fresh->math.side.index == old->math.side.index;
}

bool ident_centre_fixed(object* fresh, object* old) {
  if (identstd(fresh, old)) return true;
  object* p0 = parent(fresh, 0);
  return p0 && p0 == parent(fresh, 1) && p0 == old;
}

bool ident_reflection(object* fresh, object* old) {
  if (identstd(fresh, old)) return true;
  if (parent(fresh, 0) != old) return false;
  object* mirror = parent(fresh, 1);
  switch (type_of(mirror)) {
    case TYPE_SEGMENT:
    case TYPE_VECTOR:
    case TYPE_TRIANGLE:
    case TYPE_POLYGON: {
      object* a = nullptr;
      object* b = nullptr;
      return side_vertices(mirror, fresh->math.side.index, &a, &b) && (old == a || old == b);
    }
    default:
      return false;
  }
}

bool ident_translation(object* fresh, object* old) {
  if (identstd(fresh, old)) return true;
  object* vec = parent(fresh, 1);
  return vec && parent(fresh, 0) && parent(vec, 0) == parent(fresh, 0) && parent(vec, 1) == old;
}

bool ident_pair_property(object* fresh, object* old) {
  if (!same_construction(fresh, old)) return false;
  object* f0 = parent(fresh, 0);
  object* f1 = parent(fresh, 1);
  object* o0 = parent(old, 0);
  object* o1 = parent(old, 1);
  if (!f0 || !f1) return false;
  if (f0 == o0 && f1 == o1) return fresh->math.bitsfield == old->math.bitsfield;
  if (f0 == o1 && f1 == o0) {
    if (type_of(f0) == TYPE_AXES && fresh->math.side.index != old->math.side.index2) return false;
    if (type_of(f1) == TYPE_AXES && fresh->math.side.index2 != old->math.side.index) return false;
    return true;
  }
  return false;
}

bool ident_midpoint(object* fresh, object* old) {
  if (fresh->classe != old->classe) return false;
  object *a = nullptr, *b = nullptr, *c = nullptr, *d = nullptr;
  return midpoint_points(fresh, &a, &b) && midpoint_points(old, &c, &d) && same_pair(a, b, c, d);
}

bool ident_length(object* fresh, object* old) {
  const bool shown = old->aux2 & kShownInText;
  if (shown && ident_same_parents(fresh, old)) {
    if (type_of(parent(fresh, 0)) == TYPE_POINT && type_of(parent(fresh, 1)) == TYPE_AXES &&
        fresh->math.side.index != old->math.side.index)
      return false;
    return true;
  }
  if (fresh->classe != &classe_length || old->classe != &classe_length || !shown) return false;
  object *a = nullptr, *b = nullptr, *c = nullptr, *d = nullptr;
  if (!length_points(fresh, &a, &b) || !length_points(old, &c, &d)) return false;
  if (fresh->nbparents == 3 || old->nbparents == 3) {
    if (fresh->nbparents != old->nbparents || parent(fresh, 2) != parent(old, 2)) return false;
  }
  return same_pair(a, b, c, d);
}

bool ident_spring(object* fresh, object* old) {
  return same_construction(fresh, old) && parent(fresh, 0) && parent(fresh, 0) == parent(old, 0);
}

identity_scope identity_scope_of(object* fresh, method_ident_fn test) {
  identity_scope scope;
  scope.known = true;
  auto every_parent = [&]() {
    if (fresh->nbparents >= 1 && fresh->parents) scope.groups[scope.group_count++].all_parents = true;
  };
  auto pair = [&](object* a, object* b, bool through_sides) {
    if (!a || !b) return;
    identity_scope::group& g = scope.groups[scope.group_count++];
    g.common[0] = a;
    g.common[1] = b;
    g.through_sides = through_sides;
  };
  object* p0 = fresh->parents && fresh->nbparents >= 1 ? fresh->parents[0] : nullptr;
  if (test == ident_never) {
  } else if (test == identstd || test == ident_same_parents || test == ident_coordinates ||
             test == ident_cyclic_parents) {
    every_parent();
  } else if (test == ident_two_points_any_order || test == ident_pair_property) {
    pair(parent(fresh, 0), parent(fresh, 1), false);
  } else if (test == ident_spring) {
    pair(p0, p0, false);
  } else if (test == ident_centre_fixed || test == ident_reflection) {
    every_parent();
    scope.singles[0] = p0;
  } else if (test == ident_translation) {
    every_parent();
    if (object* vec = parent(fresh, 1)) scope.singles[0] = parent(vec, 1);
  } else if (test == ident_midpoint) {
    object *a = nullptr, *b = nullptr;
    if (midpoint_points(fresh, &a, &b)) pair(a, b, true);
  } else if (test == ident_length) {
    every_parent();
    object *a = nullptr, *b = nullptr;
    if (fresh->classe == &classe_length && length_points(fresh, &a, &b)) pair(a, b, true);
  } else {
    scope.known = false;
  }
  return scope;
}
