#include "kernel/objects/axes_grid_bindings.h"

#include "kernel/model/classes.h"
#include "kernel/model/compute_axes.h"
#include "kernel/model/compute_transform.h"
#include "kernel/objects/axes_type.h"
#include "kernel/objects/circle_types.h"
#include "kernel/objects/grid_type.h"
#include "kernel/render/angle_marks.h"

void bind_axes_grid_angle_operations() {
  type_axes.draw = draw_axes;
  type_axes.hit_test = axes_hit_test;
  type_axes.point_on = axes_point_on;
  type_grid.draw = draw_grid;
  type_grid.hit_test = grid_hit_test;
  type_grid.point_on = grid_point_on;
  type_angle.draw = draw_angle_mark;
  type_angle.hit_test = angle_mark_hit_test;
  type_angle.point_on = arc_point_on;
  bind_axes_grid_angle_computes();
  bind_transformation_operations();
}
