// Compute operations of the transformed points (translation, reflection,
// point symmetry, rotation, dilation and similarity, inversion) and of the
// measurement transfers, which place a point at a distance given by a
// number along a vector, ray, axis, circle or polygon, or from a point.
//
// Each maps the first value of its first parent and writes only the
// object's value 0. The conventions of the basic computes hold: figure
// pixels with v downwards, a point at infinity is a direction with state
// bit OBJ_AT_INFINITY, a result that does not exist sets OBJ_UNDEFINED.
#pragma once

struct object;

void compute_translation(object* obj);
void compute_reflection(object* obj);
void compute_symmetry(object* obj);
void compute_rotation_by_value(object* obj);
void compute_rotation_by_points(object* obj);
void compute_dilation(object* obj);
void compute_similarity_by_points(object* obj);
void compute_inversion(object* obj);
void compute_transfer_on_line(object* obj);
void compute_transfer_on_circle(object* obj);
void compute_transfer_from_point(object* obj);
void compute_transfer_on_polygon(object* obj);

// Turns parent 0 about parent 1 by theta radians (from the h axis towards
// the v axis, clockwise on the screen); a set undefined flag only marks the
// object as not existing.
void rotate_about_centre(object* obj, double theta, bool undefined);

// Binds the operations above into the methods of their classes.
void bind_transformation_operations();
