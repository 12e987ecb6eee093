#include "kernel/model/classes.h"

#include <cstring>

construct_class** class_list = nullptr;
int16_t class_list_capacity = 0;

construct_class classe_calculate{};
construct_class classe_point_polyreg{};

namespace {
uint16_t type_id(const object* obj) { return obj && obj->otype ? obj->otype->id : 0; }
}  // namespace

bool is_property_check(const object* obj) { return type_id(obj) == TYPE_PROPERTY; }
bool is_table_object(const object* obj) { return type_id(obj) == TYPE_TABLE; }
bool is_intersection_set(const object* obj) { return type_id(obj) == TYPE_INTERSECTION_SET; }

bool has_formula_blocks(const object* obj) {
  if (!obj || !obj->classe) return false;
  if (obj->classe == &classe_calculate) return true;
  const char* sn = obj->classe->short_name;
  return sn && std::strcmp(sn, "Exp_num_App") == 0;
}

bool is_polyreg_vertex(const object* obj) {
  return obj && obj->classe == &classe_point_polyreg && obj->methode == 0;
}
