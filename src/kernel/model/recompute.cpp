#include "kernel/model/recompute.h"

#include <cstring>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/labels.h"
#include "kernel/text/text_record.h"

namespace {

// Bit of `aux2`: the value is an error or has no meaning.
constexpr uint32_t kValueIsError = 16;
// Row of the text a number shows when its value does not exist.
constexpr int kUndefinedNumberText = 306;

bool undefined_by_parents(const object* o, uint16_t t) {
  if (!o->parents) return false;
  if (t == TYPE_TEXT) {
    for (int i = 0; i < o->nbparents; ++i) {
      const object* p = o->parents[i];
      if (p && (!p->otype || p->otype->id != TYPE_NUMBER) && (p->state & OBJ_UNDEFINED)) return true;
    }
    return false;
  }
  // Tables, loci and calculations handle undefined inputs themselves.
  if (t == TYPE_TABLE || t == TYPE_LOCUS || o->classe == &classe_calculate) return false;
  for (int i = 0; i < o->nbparents; ++i) {
    const object* p = o->parents[i];
    if (p && ((p->state & OBJ_UNDEFINED) || (p->aux2 & kValueIsError))) return true;
  }
  return false;
}

// The number's text becomes the undefined-value text, its buffer grown to
// hold it, and what shows the number (its own text, the texts quoting it)
// shows that text instead of the last value.
void show_undefined_text(object* o) {
  TErec* te = o->te;
  if (!te || !te->text) return;
  const char* text = kernel_string(kUndefinedNumberText);
  const size_t len = std::strlen(text);
  if (std::strcmp(te->text, text) == 0) return;
  GlobalEnsureSize(&te->text, static_cast<uint32_t>(len + 1), 1);
  if (GlobalSize(te->text) < len + 1) return;
  std::memcpy(te->text, text, len + 1);
  te->length = static_cast<int32_t>(len);
  mark_text_needs_regen(o);
}

}  // namespace

void recompute_object(object* o) {
  if (!o) return;
  const uint16_t t = o->otype ? o->otype->id : 0;
  const construct_method* m = class_method(o->classe, o->methode);
  if (m && m->compute) {
    o->state &= ~(OBJ_UNDEFINED | OBJ_AT_INFINITY);
    if (undefined_by_parents(o, t)) {
      o->state |= OBJ_UNDEFINED;
      if (t == TYPE_NUMBER) show_undefined_text(o);
    } else {
      m->compute(o);
    }
  }
  if (!manage_infinity && (o->state & OBJ_AT_INFINITY)) o->state |= OBJ_UNDEFINED;
  // Only a point or an object a point may lie on places a label: asking
  // that first spares the label tool's list for the texts and numbers.
  if (o->te && o->otype && (o->otype->id == TYPE_POINT || o->otype->point_on) && is_labelable_object(o) &&
      !KPGeoDocument::printingInProgress())
    place_object_label(o, 0);
}
