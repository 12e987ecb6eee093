#include "kernel/model/object_store.h"

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/files/file_state.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/tool_state.h"

namespace {

// Frees the macro record unless another object of the figure shares it.
void free_infomacro_if_unshared(object* obj) {
  if (!obj->macro) return;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  for (object* o = fig ? fig->first : nullptr; o; o = o->next) {
    if (o != obj && o->macro == obj->macro) {
      obj->macro = nullptr;
      return;
    }
  }
  free_infomacro(&obj->macro);
}

}  // namespace

bool bitmap_is_private(const object* obj) {
  if (!obj || !obj->bitmap) return true;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  kelvo_win_info* copy = fig ? fig->undo : nullptr;
  if (!copy || !copy->first) return true;
  for (const object* o = copy->first; o; o = o->next)
    if (o->bitmap == obj->bitmap) return false;
  return true;
}

void free_object_data(object* obj) {
  if (!obj) return;
  if (is_polyreg_vertex(obj)) obj->valeurs = nullptr;
  if (is_property_check(obj) && obj->valeurs) {
    TErec** texts = reinterpret_cast<TErec**>(obj->valeurs);
    const uint32_t slots = GlobalSize(obj->valeurs) / sizeof(TErec*);
    for (uint32_t i = 0; i < slots && i < 2; ++i) {
      free_text_window(texts[i]);
      texts[i] = nullptr;
    }
    obj->te = nullptr;
  }
  GlobalFreeAndNull(&obj->valeurs);
  if (has_formula_blocks(obj) && obj->parents) {
    const uint32_t slots = GlobalSize(obj->parents) / sizeof(object*);
    const uint32_t n = obj->nbparents > 0 ? static_cast<uint32_t>(obj->nbparents) : 0;
    for (uint32_t i = n; i < n + 2 && i < slots; ++i) {
      void* block = obj->parents[i];
      GlobalFreeAndNull(&block);
      obj->parents[i] = nullptr;
    }
  }
  GlobalFreeAndNull(&obj->parents);
  GlobalFreeAndNull(&obj->data);
  GlobalFreeAndNull(&obj->pdata);
  free_text_window(obj->te);
  obj->te = nullptr;
  GlobalFreeAndNull(&obj->label);
  if (bitmap_is_private(obj))
    free_bitmap_holder(&obj->bitmap);
  else
    obj->bitmap = nullptr;
  free_text_references(&obj->inserted);
  free_object_list(&obj->associated);
  GlobalFreeAndNull(&obj->pcolor);
  GlobalFreeAndNull(&obj->pfill);
  free_infomacro_if_unshared(obj);
}

void destroy_object(object* obj) {
  if (!obj) return;
  unlink_object(obj);
  free_object_data(obj);
  obj->in_use = 0;
}

object* find_object_by_number(uint32_t n) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || n == 0 || n > fig->nbobj) return nullptr;
  for (object* o = fig->first; o; o = o->next)
    if (o->num == n) return o;
  return nullptr;
}

void renumber_objects() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  // A file being read keeps the numbers it gives its objects.
  if (!fig || reading_file) return;
  uint32_t n = 0;
  for (object* o = fig->first; o; o = o->next) {
    prefetch_following_records(o);
    o->num = ++n;
  }
}

void clear_object_flags(uint32_t mask) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return;
  const uint32_t low = mask & 0xFFu;
  for (object* o = fig->first; o; o = o->next) o->state &= ~low;
}
