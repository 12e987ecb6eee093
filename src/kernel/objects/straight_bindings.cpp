#include "kernel/objects/straight_bindings.h"

#include <initializer_list>

#include "kernel/model/classes.h"
#include "kernel/model/compute_basic.h"
#include "kernel/model/point_type.h"
#include "kernel/objects/straight_intersect.h"
#include "kernel/objects/straight_types.h"

namespace {

void set_type(type& t, type_draw_fn draw, type_hit_test_fn hit, type_point_on_fn point_on,
              type_intersect_fn intersect) {
  t.draw = draw;
  t.hit_test = hit;
  t.point_on = point_on;
  t.intersect = intersect;
}

}  // namespace

void bind_point_and_straight_operations() {
  type_point.draw = point_draw;
  type_point.hit_test = point_hit_test;
  set_type(type_segment, draw_segment, segment_hit_test, segment_point_on, straight_intersect);
  set_type(type_vector, draw_vector, segment_hit_test, segment_point_on, straight_intersect);
  set_type(type_triangle, draw_polygon, polygon_hit_test, polygon_point_on, straight_intersect);
  set_type(type_polygon, draw_polygon, polygon_hit_test, polygon_point_on, straight_intersect);
  set_type(type_regular_polygon, draw_regular_polygon, polygon_hit_test, polygon_point_on, straight_intersect);
  set_type(type_line, draw_line, line_hit_test, line_point_on, straight_intersect);
  set_type(type_line2, draw_line, line_hit_test, line_point_on, straight_intersect);
  set_type(type_ray, draw_ray, ray_hit_test, line_point_on, straight_intersect);
  type_axes.intersect = straight_intersect;

  for (int i = 0; i < class_method_count(&classe_ptsur); ++i) {
    construct_method* m = class_method(&classe_ptsur, i);
    m->compute = point_on_object_compute;
    m->point_on = point_on_object_place;
  }
  for (construct_class* cls : {&classe_segment, &classe_vecteur, &classe_triangle, &classe_polygone, &classe_polyreg})
    set_method_compute(cls, 0, compute_vertices);
  set_method_compute(&classe_droite, 0, compute_line_one_point);
  set_method_compute(&classe_droite, 1, compute_line_two_points);
  set_method_compute(&classe_demidroite, 0, compute_line_one_point);
  set_method_compute(&classe_demidroite, 1, compute_ray_two_points);
  set_method_compute(&classe_cercle, 0, compute_circle_centre);
  set_method_compute(&classe_cercle, 1, compute_circle_centre_point);
  set_method_compute(&classe_arc, 0, compute_arc_three_points);
  set_method_compute(&classe_milieu, 0, compute_midpoint);
  set_method_compute(&classe_milieu, 1, compute_midpoint_of_side);
  set_method_compute(&classe_mediatrice, 0, compute_perp_bisector);
  set_method_compute(&classe_mediatrice, 1, compute_perp_bisector_of_side);
  set_method_compute(&classe_parallele, 0, compute_parallel);
  set_method_compute(&classe_perpendiculaire, 0, compute_perpendicular);
  set_method_compute(&classe_bissectrice, 0, compute_angle_bisector);
  set_method_compute(&classe_point_polyreg, 1, compute_regular_polygon_points);
}
