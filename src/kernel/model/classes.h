// Object types, construction classes and construction methods: the static
// records through which the kernel dispatches by type and by method, and
// the global class list.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

struct macro_def;

// Type identifiers (type::id).
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

using TYPEOBJ = uint16_t;

using draw_op = void (*)(DisplayDevice* dd, object* obj);
using hit_test_op = bool (*)(object* obj, tagPOINT* pt);
using point_on_op = int (*)(object* carrier, valeur* value, void* block, int mode);
using intersect_op = int (*)(object* b, object* a, void* out, uint32_t index);
using compute_op = int (*)(object* obj);
using event_op = int (*)(object* obj, void* event, int mode);
using ident_op = bool (*)(object* obj, object* other);
using tool_op = int (*)(void* event);

struct type {
  uint16_t id;
  char* name;
  char* english_name;
  draw_op draw;
  hit_test_op hit_test;
  point_on_op point_on;
  intersect_op intersect;
  void* reserved;
};

struct construct_method {
  macro_def* def;
  compute_op compute;
  event_op event;
  point_on_op point_on;
  ident_op ident;
  char* text;
  TYPEOBJ* args;
  void* figdata;  // per-figure data of a macro method
};

using construct_methodptr = construct_method*;

struct construct_class {
  uint32_t drawable;
  type* ctype;
  const char* short_name;
  const char* code;
  char* name;
  char* english_name;
  uint8_t* icon;
  uint32_t nbvals;  // 0xFFFF: variable
  tool_op select;
  tool_op fil;
  construct_methodptr* methods;  // null-terminated, owned
  void* extra[5];
};

// The global class list: null-terminated, `class_list_capacity` slots.
extern construct_class** class_list;
extern int16_t class_list_capacity;

// Class records the figure model tells apart. Registration at start-up
// fills them in.
extern construct_class classe_calculate;
extern construct_class classe_point_polyreg;

// Predicates on an object's class or type.
bool is_property_check(const object* obj);
bool is_table_object(const object* obj);
bool is_intersection_set(const object* obj);
// Calculations and expression applications keep two owned blocks (formula
// text and compiled form) after their parents.
bool has_formula_blocks(const object* obj);
// A vertex of a regular polygon shares the polygon's value array.
bool is_polyreg_vertex(const object* obj);
