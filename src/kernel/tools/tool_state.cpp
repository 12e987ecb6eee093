#include "kernel/tools/tool_state.h"

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/memory.h"
#include "kernel/text/text_record.h"

dyn_array_object picked{};
dyn_array_object carrier_candidates{};
dyn_array_object intersection_candidates{};
dyn_array_object highlight_list{};
dyn_array_object ambiguity_candidates{};
dyn_array_object* saved_selection = nullptr;

designation_list designation_args{};
designation_list designation_carriers{};
designation_list designation_intersectables{};

default_attr no_class_attrs{};

void clear_selection() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !fig->selection) return;
  objlist_clear(fig->selection);
  objlist_shrink(fig->selection);
}

void free_object_list(objectptrlist** list) {
  if (!list) return;
  objectptrlist* node = *list;
  while (node) {
    objectptrlist* next = node->next;
    GlobalFreeAndNull(&node);
    node = next;
  }
  *list = nullptr;
}

#include "kernel/model/classes.h"

construct_class* current_class = nullptr;
default_attr* current_default_attrs = nullptr;
valeur rubber_points[kRubberPoints] = {};
int16_t variable_nb_values = 0;
void* pending_extra[2] = {nullptr, nullptr};
void* pending_spring_data = kNoPendingSpringData;

namespace {

TErec* new_text_record() {
  TErec* te = alloc_block<TErec>();
  if (!te) return nullptr;
  te->text = alloc_block<char>(1);
  if (!te->text) {
    GlobalFreeAndNull(&te);
    return nullptr;
  }
  te->reserved1 = 1;
  return te;
}

struct class_name {
  construct_class* cls;
  const char* english;
};

}  // namespace

bool init_object_text_records(object* obj) {
  if (!obj || obj->te) return obj != nullptr;
  if (is_property_check(obj)) {
    auto** pair = alloc_block<TErec*>(2);
    if (!pair) return false;
    pair[0] = new_text_record();
    pair[1] = new_text_record();
    if (!pair[0] || !pair[1]) {
      free_text_window(pair[0]);
      free_text_window(pair[1]);
      GlobalFreeAndNull(&pair);
      return false;
    }
    GlobalFreeAndNull(&obj->valeurs);
    obj->valeurs = reinterpret_cast<valeur*>(pair);
    obj->te = pair[0];
    return true;
  }
  obj->te = new_text_record();
  return obj->te != nullptr;
}

void apply_attributes_to_objects(object** list, uint16_t*, uint32_t mask, int) {
  if (!list || !(mask & kAttributeVisible)) return;
  for (object** o = list; *o; ++o) (*o)->settings.visible = (*o)->settings.visible ? 0 : 1;
}

void init_tool_names_and_help() {
  for (int i = 0; i < kTypeTableSize; ++i) {
    type_slots[i]->english_name = type_english_names[i];
    type_slots[i]->name = type_english_names[i];
  }
  type_interset.english_name = type_point.english_name;
  type_interset.name = type_point.name;
  type_button.english_name = "button";
  type_button.name = "button";
  static const class_name names[] = {
      {&classe_point, "Point"}, {&classe_ptsur, "Point on Object"},
      {&classe_interset, "Intersection Point"}, {&classe_point_polyreg, "Regular polygon vertex"},
      {&classe_droite, "Line"}, {&classe_segment, "Segment"}, {&classe_demidroite, "Ray"},
      {&classe_vecteur, "Vector"}, {&classe_triangle, "Triangle"}, {&classe_polygone, "Polygon"},
      {&classe_polyreg, "Regular Polygon"}, {&classe_cercle, "Circle"}, {&classe_arc, "Arc"},
      {&classe_conic, "Conic"}, {&classe_perpendiculaire, "Perpendicular Line"},
      {&classe_parallele, "Parallel Line"}, {&classe_milieu, "Midpoint"},
      {&classe_mediatrice, "Perpendicular Bisector"}, {&classe_bissectrice, "Angle Bisector"},
      {&classe_compas3, "Measurement Transfer"}, {&classe_locus, "Locus"},
      {&classe_redefine, "Redefine Object"}, {&classe_translation, "Translation"},
      {&classe_symetriquedr, "Reflection"}, {&classe_symetrique, "Symmetry"},
      {&classe_rotation, "Rotation"}, {&classe_dilatation, "Dilation"}, {&classe_inverse, "Inverse"},
      {&classe_alignement, "Collinear"}, {&classe_parallelism, "Parallel"},
      {&classe_perpendism, "Perpendicular"}, {&classe_equidistant, "Equidistant"},
      {&classe_membership, "Member"}, {&classe_length, "Distance & Length"}, {&classe_aire, "Area"},
      {&classe_pente, "Slope"}, {&classe_angleMes, "Angle"}, {&classe_equation, "Equation & Coordinates"},
      {&classe_calculate, "Calculate"}, {&classe_table, "Tabulate"},
      {&classe_exp_num_app, "Expression"}, {&classe_label, "Label"}, {&classe_text, "Comments"},
      {&classe_nombre, "Numerical Edit"}, {&classe_angle, "Mark Angle"},
      {&classe_exp_num, "Apply a formula"}, {&classe_spring, "Multiple Animation"},
      {&classe_axe, "New Axes"}, {&classe_grid, "Define Grid"}, {&classe_button, "Hide/Show Button"},
  };
  for (const class_name& n : names) {
    n.cls->english_name = n.english;
    n.cls->name = n.english;
  }
}

void assign_builtin_icons() {}
