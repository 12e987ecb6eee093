// Helpers shared by the object-record writers and readers: default colours
// by type, which value fields a record carries, and table cells.
#pragma once

#include <cstdint>

#include "kernel/model/classes.h"

struct object;
struct construct_class;

// Default colour word of an object type.
uint32_t type_default_color(uint16_t type_id);

// Bits of a value-field kind: which fields of a value a record stores.
inline constexpr uint8_t FIELD_H = 1;
inline constexpr uint8_t FIELD_V = 2;
inline constexpr uint8_t FIELD_RADIUS = 4;
inline constexpr int kFieldKindCount = 5;

// Clears kinds[0..4] and fills them for the classes whose records carry
// values; returns 1 when it filled something.
int class_field_kinds(const construct_class* cls, int method, int nparents,
                      uint8_t kinds[kFieldKindCount]);
// 1 for the classes whose text record is written with the record (texts,
// numbers, expressions, buttons, equations and coordinates).
int class_has_value(const construct_class* cls);
// The object referenced in obj's text under reference number n, or null.
object* find_included_element(const object* obj, int n);
// The cells of a table (type 20, built by no macro), a TAB after each and
// CR LF between rows; the last row's line end is not written.
int32_t txt_write_table_cells(const object* obj, char* dst);
// The same cells as tab-separated lines, LF after each row.
int32_t txt_write_table_text(const object* obj, char* dst);

// Small predicates on classes and types.
// Asked many times for each record read: inline, most answers are settled
// by the first byte.
inline bool class_is(const construct_class* cls, const char* short_name) {
  if (cls == nullptr || cls->short_name == nullptr) return false;
  const char* a = cls->short_name;
  while (*a != '\0' && *a == *short_name) ++a, ++short_name;
  return *a == *short_name;
}
uint16_t class_type_id(const construct_class* cls);
uint16_t object_type_id(const object* obj);
bool is_text_like_type(uint16_t type_id);
