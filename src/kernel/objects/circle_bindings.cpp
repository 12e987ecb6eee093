#include "kernel/objects/circle_bindings.h"

#include "kernel/model/classes.h"
#include "kernel/objects/circle_types.h"
#include "kernel/objects/intersection_set.h"

void bind_circle_and_intersection_operations() {
  type_circle.draw = draw_circle;
  type_circle.hit_test = circle_hit_test;
  type_circle.point_on = circle_point_on;
  type_circle.intersect = circle_intersect;
  type_arc.draw = draw_arc;
  type_arc.hit_test = arc_hit_test;
  type_arc.point_on = arc_point_on;
  type_arc.intersect = circle_intersect;
  if (construct_method* m = class_method(&classe_interset, 0)) m->compute = compute_intersection_set;
  if (construct_method* m = class_method(&classe_ptint, 0)) m->compute = compute_intersection_point;
}
