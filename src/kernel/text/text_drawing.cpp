#include "kernel/text/text_drawing.h"

#include "kernel/model/classes.h"
#include "kernel/model/figure.h"

bool is_text_like_object(const object* obj) {
  if (!obj || !obj->otype) return false;
  switch (obj->otype->id) {
    case TYPE_TEXT:
    case TYPE_NUMBER:
    case TYPE_PROPERTY:
    case TYPE_EQUATION:
    case TYPE_TABLE:
    case TYPE_EXPRESSION:
    case TYPE_BUTTON:
      return true;
    default:
      return false;
  }
}

void redraw_text_object(DisplayDevice*, object*) {}
