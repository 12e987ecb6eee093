#include "kernel/tools/handler_helpers.h"

#include <algorithm>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/object_store.h"
#include "kernel/render/draw_object.h"
#include "kernel/text/text_editing.h"
#include "platform/kelvo_wrap_machine.h"

uint8_t button_tool_option = 0;

namespace {

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }

// Bits of the second state word.
constexpr uint32_t kShownInText = 4;
constexpr uint32_t kButtonTargetsHidden = 32;

bool references(const object* text, const object* obj) {
  for (const insert_object* r = text->inserted; r; r = r->next)
    if (r->obj == obj) return true;
  return false;
}

}  // namespace

bool object_has_parent(const object* obj, const object* candidate) {
  if (!obj || !obj->parents) return false;
  for (int i = 0; i < obj->nbparents; ++i)
    if (obj->parents[i] == candidate) return true;
  return false;
}

int comparable_parent_count(const object* a, const object* b) {
  if (!a || !b) return 0;
  const int smaller = std::min<int>(a->nbparents, b->nbparents);
  if ((a->classe == &classe_droite && b->classe == &classe_droite) ||
      (a->classe == &classe_demidroite && b->classe == &classe_demidroite))
    return smaller;
  switch (type_of(a)) {
    case TYPE_TRIANGLE:
    case TYPE_POLYGON:
    case TYPE_SEGMENT:
    case TYPE_VECTOR:
    case TYPE_ARC:
    case TYPE_CIRCLE:
    case TYPE_CONIC:
      return smaller;
    default:
      return 0;
  }
}

int clear_code(uint16_t* word) {
  if (word) *word = 0;
  return 1;
}

bool is_chosen_argument(const object* obj) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  return fig && objlist_find(fig->inputs, obj) >= 0;
}

bool some_object_has_parents(const object* a, const object* b) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return false;
  for (object* o = fig->first; o; o = o->next)
    if (object_has_parent(o, a) && object_has_parent(o, b)) return true;
  return false;
}

object* text_holding_object(object* obj) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!obj || !fig || !(obj->aux2 & kShownInText)) return obj;
  for (object* o = fig->first; o; o = o->next)
    if (type_of(o) == TYPE_TEXT && object_has_parent(o, obj)) return o;
  return obj;
}

object* text_referencing_both(const object* a, const object* b) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return nullptr;
  for (object* o = fig->first; o; o = o->next)
    if (type_of(o) == TYPE_TEXT && references(o, a) && references(o, b)) return o;
  return nullptr;
}

void hide_pending_button_targets() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !fig->inputs || !fig->inputs->items || !button_tool_option) return;
  object* button = fig->inputs->items[0];
  if (type_of(button) != TYPE_BUTTON) return;
  button->aux2 |= kButtonTargetsHidden;
  for (objectptrlist* n = button->associated; n; n = n->next)
    if (n->obj) n->obj->settings.visible = 0;
}

namespace {

// The walk reads and sets its two marks only on the objects from a to b and on
// their parents, so it clears them there alone: a locus read or built in a
// large figure then costs its chain, not the whole figure.
void clear_chain_marks(object* a, object* b) {
  constexpr uint32_t keep = ~(OBJ_WALK | OBJ_CHOSEN);
  const auto clear = [](object* o) {
    o->state &= keep;
    for (int i = 0; i < o->nbparents; ++i)
      if (o->parents[i]) o->parents[i]->state &= keep;
  };
  // b is cleared on its own too, in case it stands before a.
  clear(b);
  for (object* o = a; o && o != b; o = o->next) clear(o);
}

}  // namespace

int16_t collect_dependency_chain(object* a, object* b) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !a || !b) return 0;
  clear_chain_marks(a, b);
  a->state |= OBJ_WALK;
  for (object* o = a->next; o && o != b; o = o->next)
    for (int i = 0; i < o->nbparents; ++i)
      if (o->parents[i] && (o->parents[i]->state & OBJ_WALK)) {
        o->state |= OBJ_WALK;
        break;
      }
  bool depends = false;
  for (int i = 0; i < b->nbparents; ++i)
    if (b->parents[i] && (b->parents[i]->state & OBJ_WALK)) depends = true;
  if (!depends) {
    clear_chain_marks(a, b);
    return 0;
  }
  b->state |= OBJ_CHOSEN;
  for (object* o = b; o && o != a; o = o->prev) {
    if (!(o->state & OBJ_CHOSEN)) continue;
    for (int i = 0; i < o->nbparents; ++i)
      if (o->parents[i]) o->parents[i]->state |= OBJ_CHOSEN;
  }
  objlist_clear(fig->inputs);
  objlist_add(fig->inputs, a, 0);
  for (object* o = a->next; o && o != b; o = o->next)
    if ((o->state & OBJ_WALK) && (o->state & OBJ_CHOSEN)) objlist_add(fig->inputs, o, 0);
  objlist_add(fig->inputs, b, 0);
  clear_chain_marks(a, b);
  return static_cast<int16_t>(objlist_count(fig->inputs));
}

void send_object_to_text_editor(object* obj) {
  if (!obj || !text_edit_window) return;
  constexpr uint32_t kSentToText = 2;
  if (obj->otype && obj->otype->id == TYPE_NUMBER && !(obj->aux2 & kSentToText)) {
    obj->state |= OBJ_ERASE;
    draw_object(nullptr, obj);
    obj->state &= ~OBJ_ERASE;
    obj->aux2 |= kSentToText;
  }
  NSKelvoWrapMachine::cwmPostMessage(text_edit_window, kEditorChar, 7, reinterpret_cast<LPARAM>(obj));
}
