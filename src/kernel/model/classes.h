// Construction classes, construction methods and object types: the static
// records through which the kernel dispatches every per-object operation.
//
// A `type` carries the operations of an object type (draw, hit test, point
// on object, intersection). A `construct_class` is one construction tool; its
// methods (`construct_method`) are the ways of building an object of the
// class from a list of argument types (`TYPEOBJ`) and carry the compute,
// event, point-on-object and identity operations. Objects reach them through
// their `classe` and `methode` fields.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernel/model/figure.h"

struct kel_EventRecord;
struct macro_def;

// Type identifiers (`type::id`). A regular polygon carries the polygon's
// identifier, so every test on the identifier sees it as a polygon.
enum : uint16_t {
  TYPE_POINT = 1,
  TYPE_SEGMENT = 2,
  TYPE_VECTOR = 3,
  TYPE_TRIANGLE = 4,
  TYPE_POLYGON = 5,
  TYPE_LINE = 7,
  TYPE_RAY = 8,
  TYPE_AXES = 9,
  TYPE_CIRCLE = 10,
  TYPE_ARC = 11,
  TYPE_CONIC = 12,
  TYPE_GRID = 13,
  TYPE_LOCUS = 14,
  TYPE_ANGLE = 15,
  TYPE_TEXT = 16,
  TYPE_NUMBER = 17,
  TYPE_PROPERTY = 18,
  TYPE_EQUATION = 19,
  TYPE_TABLE = 20,
  TYPE_SPRING = 21,
  TYPE_EXPRESSION = 22,
  TYPE_INTERSECTION_SET = 50,
  TYPE_BUTTON = 51,
};

// Argument codes of a method. A list of codes ends with 0; see `TYPEOBJ`.
using TYPEOBJ = uint16_t;
enum : uint16_t {
  ARG_END = 0,
  ARG_STRAIGHT_BOUNDED = 100,  // types 2 to 6
  ARG_STRAIGHT = 101,          // types 2 to 9
  ARG_REPEAT = 0x1FFF,         // any number of the next code (first only)
  ARG_ONE_OF = 0x2000,         // + n: one argument of any of the next n codes
  ARG_MATCHED = 0x8000,        // mark: the code has been filled
  ARG_RULED_OUT = 0x4000,      // mark: the method has been ruled out
};

// Operations of a type.
using type_draw_fn = void (*)(DisplayDevice* dd, object* obj);
using type_hit_test_fn = bool (*)(object* obj, tagPOINT* p);
// Places `val` on `carrier`: mode 1 from the stored parameter, 2 by
// projection, 3 at step val->v of val->h steps. *param is the carrier's
// parameter block, allocated by the carrier when null.
using type_point_on_fn = void (*)(object* carrier, valeur* val, void** param, int mode);
// 1 found, 2 not found now, 3 the pair cannot be intersected, 4 no such index.
using type_intersect_fn = int32_t (*)(object* obj, object* other, void* result, uint32_t selector);

struct type {
  uint16_t id;
  const char* name;          // localised
  const char* english_name;
  type_draw_fn draw;
  type_hit_test_fn hit_test;
  type_point_on_fn point_on;
  type_intersect_fn intersect;
  void* end;                 // always null
};

// Operations of a method.
using method_compute_fn = void (*)(object* obj);
// Mode 0: mark what moves (1 takes part, 0 refuses); mode 1: one drag step
// or key (0 not handled, 1 changed, 2 handled without change).
using method_event_fn = int16_t (*)(uint8_t mode, object** ref, kel_EventRecord* event);
using method_point_on_fn = void (*)(object* pt, int n, double i);
using method_ident_fn = bool (*)(object* fresh, object* old);

struct construct_method {
  macro_def* def;
  method_compute_fn compute;
  method_event_fn event;
  method_point_on_fn point_on;
  method_ident_fn ident;
  // The localised description of each argument, parallel to `args` (a
  // null entry, or a null array: none). Built-in methods take theirs from
  // the language (fill_method_descriptions).
  const char* const* text;
  TYPEOBJ* args;      // writable: the tools mark the codes while picking
  void* figdata;      // per-figure data of a macro method
};
using construct_methodptr = construct_method*;

// Tool handler: sets the method index and the designated object; true when
// the arguments of that method are complete.
using class_select_fn = bool (*)(uint16_t* method, object** designated);
// Rubber-band preview at the mouse point (which it may snap).
using class_preview_fn = void (*)(tagPOINT* mouse);

inline constexpr uint32_t kVariableNbVals = 0xFFFF;

struct construct_class {
  uint32_t drawable;
  type* ctype;
  const char* short_name;
  const char* code;          // two-letter file code, or null
  const char* name;          // localised
  const char* english_name;
  uint8_t* icon;
  uint32_t nbvals;           // kVariableNbVals: set by the tool before creation
  class_select_fn select;
  class_preview_fn fil;
  construct_methodptr* methods;  // null-terminated, owned
  const char* help_text;
  const char* help_page;
  void* reserved[3];
};

// The type records. `type_slots[i]` holds slot i + 1 (identifier i + 1 for
// most); slot 6 is the regular polygon (identifier 5) and slot 23 a second
// line record that no class builds.
inline constexpr int kTypeTableSize = 23;
extern type* const type_slots[kTypeTableSize];
extern type type_point, type_segment, type_vector, type_triangle, type_polygon,
    type_regular_polygon, type_line, type_ray, type_axes, type_circle, type_arc,
    type_conic, type_grid, type_locus, type_angle, type_text, type_number,
    type_property, type_equation, type_table, type_spring, type_expression,
    type_line2, type_interset, type_button;
// English type names by slot.
extern const char* const type_english_names[kTypeTableSize];

// The built-in classes, in registration order.
extern construct_class classe_point, classe_ptsur, classe_interset, classe_ptint,
    classe_droite, classe_segment, classe_demidroite, classe_vecteur,
    classe_triangle, classe_polygone, classe_polyreg, classe_cercle, classe_arc,
    classe_conic, classe_perpendiculaire, classe_parallele, classe_milieu,
    classe_mediatrice, classe_bissectrice, classe_compas3, classe_locus,
    classe_redefine, classe_translation, classe_symetriquedr, classe_symetrique,
    classe_rotation, classe_dilatation, classe_inverse, classe_alignement,
    classe_parallelism, classe_perpendism, classe_equidistant, classe_membership,
    classe_length, classe_aire, classe_pente, classe_angleMes, classe_equation,
    classe_calculate, classe_exp_num_app, classe_table, classe_label,
    classe_text, classe_nombre, classe_exp_num, classe_angle, classe_axe,
    classe_grid, classe_button, classe_spring, classe_point_polyreg;

// The class list: null-terminated, in registration order.
extern construct_class** class_list;
extern uint16_t class_list_capacity;

// Predicates on an object's class or type.
bool is_property_check(const object* obj);
bool is_table_object(const object* obj);
bool is_intersection_set(const object* obj);
// Calculations and expression applications keep two owned blocks (formula
// text and compiled form) after their parents.
bool has_formula_blocks(const object* obj);
// A vertex of a regular polygon shares the polygon's value array.
bool is_polyreg_vertex(const object* obj);

// Start-up: registers every built-in class and its methods. A failed
// allocation here ends the program with a message. A second call before
// free_construct_classes changes nothing.
void init_construct_classes();
// Append to the class list / to a class's method list; false (and nothing
// changed) when memory runs out.
bool register_construct_class(construct_class* cls);
bool add_construct_method(construct_class* cls, construct_method* method);
void free_construct_classes();
// Takes a class out of the class list (the class itself is not freed).
void remove_class_from_list(construct_class* cls);
// Takes method `index` out of the class's list and answers it (null when
// there is none); the caller frees it.
construct_method* remove_list_entry(construct_class* cls, int index);
// Adds a method in front of the class's others; false when memory runs out.
bool insert_construct_method_first(construct_class* cls, construct_method* method);
void reset_class_type_marks(construct_class* cls);
bool is_transformation_class(const construct_class* cls);

// Number of classes in the class list / methods of a class.
int class_list_count();
// The first class of class_list whose short name is the `length` bytes at
// `name`; null when none. A table built from the registered classes answers,
// so a figure's records do not compare every name.
construct_class* find_class_by_short_name(const char* name, std::size_t length);
int class_method_count(const construct_class* cls);
// Method `index` of the class, or null.
construct_method* class_method(const construct_class* cls, int index);
// Binds the compute operation of a method; nothing when it has no such method.
void set_method_compute(construct_class* cls, int index, method_compute_fn compute);
// The description of argument `position` of a method (its entry in
// `text`), or null when it has none.
const char* method_argument_text(const construct_method* method, int position);
// Gives every built-in method the descriptions of its arguments from the
// language's rows (called by init_tool_names_and_help).
void fill_method_descriptions();

// True when an object of type identifier `id` fits the single code `code`
// (a type identifier, 100 or 101).
bool argument_code_accepts(TYPEOBJ code, uint16_t id);

// Stand-ins of the type operations that the object-type Parts supply. They
// mark the slots whose operation exists, so the start-up lists built from
// the type table are right; until replaced they do nothing: no drawing, no
// hit, a point placed on them does not exist, no intersection.
void type_draw_pending(DisplayDevice* dd, object* obj);
bool type_hit_test_pending(object* obj, tagPOINT* p);
void type_point_on_pending(object* carrier, valeur* val, void** param, int mode);
int32_t type_intersect_pending(object* obj, object* other, void* result, uint32_t selector);
