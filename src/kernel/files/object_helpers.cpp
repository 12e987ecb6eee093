#include "kernel/files/object_helpers.h"

#include <cstring>

#include "kernel/files/text_output.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/files/file_colors.h"
#include "kernel/render/colors.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/text_record.h"

uint16_t class_type_id(const construct_class* cls) {
  return cls != nullptr && cls->ctype != nullptr ? cls->ctype->id : 0;
}

uint16_t object_type_id(const object* obj) {
  return obj != nullptr && obj->otype != nullptr ? obj->otype->id : 0;
}

bool is_text_like_type(uint16_t t) {
  return t == TYPE_TEXT || t == TYPE_NUMBER || t == TYPE_PROPERTY || t == TYPE_EQUATION ||
         t == TYPE_TABLE || t == TYPE_EXPRESSION || t == TYPE_BUTTON;
}

uint32_t type_default_color(uint16_t type_id) {
  switch (type_id) {
    case TYPE_POINT:
    case TYPE_LOCUS:
      return palette16_color(3);
    case TYPE_SEGMENT:
    case TYPE_LINE:
    case TYPE_RAY:
      return palette16_color(8);
    case TYPE_VECTOR:
      return palette16_color(5);
    case TYPE_TRIANGLE:
    case TYPE_POLYGON:
      return color_by_index(17);
    case TYPE_AXES:
      return palette16_color(14);
    case TYPE_CIRCLE:
    case TYPE_CONIC:
      return palette16_color(6);
    case TYPE_ARC:
      return palette16_color(7);
    case TYPE_GRID:
      return palette16_color(2);
    case TYPE_TEXT:
    case TYPE_NUMBER:
    case TYPE_PROPERTY:
    case TYPE_EQUATION:
    case TYPE_EXPRESSION:
      return back_color;
    default:
      return color_by_index(40);
  }
}

int class_field_kinds(const construct_class* cls, int method, int nparents,
                      uint8_t kinds[kFieldKindCount]) {
  std::memset(kinds, 0, kFieldKindCount);
  if (class_is(cls, "Pt") || class_is(cls, "Pt/")) {
    kinds[0] = FIELD_H | FIELD_V;
  } else if ((class_is(cls, "Line") || class_is(cls, "Ray")) && method == 0) {
    kinds[1] = FIELD_H | FIELD_V;
  } else if (class_is(cls, "Cir") && method == 0) {
    kinds[1] = FIELD_RADIUS;
  } else if (class_is(cls, "Axes") && method == 0) {
    kinds[1] = kinds[2] = FIELD_H | FIELD_V;
  } else if (class_is(cls, "Angle")) {
    kinds[0] = kinds[1] = FIELD_RADIUS;
  } else if (class_is(cls, "Transf") && method == 2) {
    kinds[0] = FIELD_H | FIELD_V;
  } else if (class_is(cls, "Spr")) {
    kinds[0] = FIELD_H | FIELD_V;
    if (nparents == 1) kinds[1] = FIELD_H | FIELD_V;
  } else {
    return 0;
  }
  return 1;
}

int class_has_value(const construct_class* cls) {
  uint16_t t = class_type_id(cls);
  return t == TYPE_TEXT || t == TYPE_NUMBER || t == TYPE_EXPRESSION || t == TYPE_BUTTON ||
         class_is(cls, "Eq/Co");
}

object* find_included_element(const object* obj, int n) {
  if (obj == nullptr) return nullptr;
  for (insert_object* node = obj->inserted; node != nullptr; node = node->next)
    if (node->number == n) return node->obj;
  return nullptr;
}

namespace {

// The cells of a table, TAB between the cells of a row; rows end with
// CR LF between them (the record) or LF after each (the clipboard).
int32_t write_table_rows(const object* obj, char* dst, bool lf_after_each) {
  TxtOut out(dst);
  if (object_type_id(obj) != TYPE_TABLE || obj->macro != nullptr) return 0;
  const int rows = obj->nbvaleurs > 0 ? obj->nbvaleurs : 0;
  if (rows == 0) return 0;
  const int columns = (obj->nbparents + 1) / 2;
  const TErec* te = obj->te;
  const char* cell = te != nullptr ? te->text : nullptr;
  const char* end = cell != nullptr ? cell + GlobalSize(cell) : nullptr;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      // Cells past the end of the stored text are written empty.
      size_t n = 0;
      if (cell != nullptr && cell < end) {
        n = strnlen(cell, static_cast<size_t>(end - cell));
        out.put(cell, n);
        cell += n + 1;
      }
      if (c + 1 < columns) out.ch('\t');
    }
    if (lf_after_each) out.ch('\n');
    else if (r + 1 < rows) out.crlf();
  }
  return out.len;
}

}  // namespace

int32_t txt_write_table_cells(const object* obj, char* dst) { return write_table_rows(obj, dst, false); }

int32_t txt_write_table_text(const object* obj, char* dst) { return write_table_rows(obj, dst, true); }
