#include "kernel/model/classes.h"

namespace {
uint16_t type_id(const object* obj) { return obj && obj->otype ? obj->otype->id : 0; }
}  // namespace

bool is_property_check(const object* obj) { return type_id(obj) == TYPE_PROPERTY; }
bool is_table_object(const object* obj) { return type_id(obj) == TYPE_TABLE; }
bool is_intersection_set(const object* obj) { return type_id(obj) == TYPE_INTERSECTION_SET; }

bool has_formula_blocks(const object* obj) {
  return obj && (obj->classe == &classe_calculate || obj->classe == &classe_exp_num_app);
}

bool is_polyreg_vertex(const object* obj) {
  return obj && obj->classe == &classe_point_polyreg && obj->methode == 0;
}
