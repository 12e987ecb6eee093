#include "kernel/model/figure.h"

#include <cstring>
#include <unordered_map>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/undo.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/pick.h"
#include "kernel/tools/tool_state.h"

// ======================================================= object-pointer lists

namespace {

bool alloc_list_arrays(int16_t capacity, object*** items, uint16_t** tags) {
  *items = alloc_block<object*>(static_cast<uint32_t>(capacity));
  *tags = alloc_block<uint16_t>(static_cast<uint32_t>(capacity));
  if (*items && *tags) return true;
  GlobalFreeAndNull(items);
  GlobalFreeAndNull(tags);
  return false;
}

void free_list_arrays(dyn_array_object* list) {
  GlobalFreeAndNull(&list->items);
  GlobalFreeAndNull(&list->tags);
  list->capacity = 0;
}

}  // namespace

void objlist_init(dyn_array_object* list) {
  if (!list) return;
  list->capacity = 0;
  if (alloc_list_arrays(kObjListStep, &list->items, &list->tags)) list->capacity = kObjListStep;
}

dyn_array_object* objlist_new() {
  dyn_array_object* list = alloc_block<dyn_array_object>();
  if (!list) return nullptr;
  objlist_init(list);
  if (list->capacity == 0) GlobalFreeAndNull(&list);
  return list;
}

int objlist_count(const dyn_array_object* list) {
  if (!list || !list->items) return 0;
  int n = 0;
  while (list->items[n]) ++n;
  return n;
}

int objlist_find(const dyn_array_object* list, const object* obj) {
  if (!list || !list->items || !obj) return -1;
  for (int i = 0; list->items[i]; ++i)
    if (list->items[i] == obj) return i;
  return -1;
}

void objlist_clear(dyn_array_object* list) {
  if (list && list->items) list->items[0] = nullptr;
}

void objlist_add(dyn_array_object* list, object* obj, uint16_t tag) {
  if (!list || !obj) return;
  if (!list->items || list->capacity <= 0) {
    objlist_init(list);
    if (list->capacity == 0) return;
  }
  const int n = objlist_count(list);
  if (n >= list->capacity - 1) {
    // The capacity is a 16-bit count: a list that cannot grow further
    // refuses the object.
    if (list->capacity > INT16_MAX - kObjListStep) return;
    const int16_t grown = static_cast<int16_t>(list->capacity + kObjListStep);
    object** items = nullptr;
    uint16_t* tags = nullptr;
    if (!alloc_list_arrays(grown, &items, &tags)) return;
    std::memcpy(items, list->items, sizeof(object*) * static_cast<size_t>(n + 1));
    std::memcpy(tags, list->tags, sizeof(uint16_t) * static_cast<size_t>(n));
    free_list_arrays(list);
    list->items = items;
    list->tags = tags;
    list->capacity = grown;
  }
  list->items[n] = obj;
  list->tags[n] = tag;
  list->items[n + 1] = nullptr;
}

void objlist_remove(dyn_array_object* list, object* obj) {
  const int i = objlist_find(list, obj);
  if (i < 0) return;
  const int n = objlist_count(list);
  std::memmove(&list->items[i], &list->items[i + 1], sizeof(object*) * static_cast<size_t>(n - i));
  std::memmove(&list->tags[i], &list->tags[i + 1], sizeof(uint16_t) * static_cast<size_t>(n - i - 1));
}

void objlist_replace(dyn_array_object* list, object* old_obj, object* new_obj) {
  if (!list || !list->items) return;
  for (int i = 0; list->items[i]; ++i)
    if (list->items[i] == old_obj) list->items[i] = new_obj;
}

void objlist_remove_item(dyn_array_object* list, object* obj) {
  const int i = objlist_find(list, obj);
  if (i < 0) return;
  const int n = objlist_count(list);
  std::memmove(&list->items[i], &list->items[i + 1], sizeof(object*) * static_cast<size_t>(n - i));
}

dyn_array_object* objlist_copy(const dyn_array_object* list) {
  if (!list) return nullptr;
  dyn_array_object* copy = alloc_block<dyn_array_object>();
  if (!copy) return nullptr;
  const int16_t capacity = list->capacity > 0 ? list->capacity : kObjListStep;
  if (!alloc_list_arrays(capacity, &copy->items, &copy->tags)) {
    GlobalFreeAndNull(&copy);
    return nullptr;
  }
  copy->capacity = capacity;
  const int n = objlist_count(list);
  if (n > 0) {
    std::memcpy(copy->items, list->items, sizeof(object*) * static_cast<size_t>(n));
    std::memcpy(copy->tags, list->tags, sizeof(uint16_t) * static_cast<size_t>(n));
  }
  copy->items[n] = nullptr;
  return copy;
}

void objlist_add_if_member(object* obj, const dyn_array_object* src, object* other,
                           dyn_array_object* dst) {
  const int i = objlist_find(src, obj);
  if (i >= 0) objlist_add(dst, other, src->tags[i]);
}

void objlist_shrink(dyn_array_object* list) {
  if (!list || list->capacity <= kObjListStep) return;
  free_list_arrays(list);
  objlist_init(list);
}

void objlist_free(dyn_array_object** list) {
  if (!list || !*list) return;
  free_list_arrays(*list);
  GlobalFreeAndNull(list);
}

// ============================================================ global lists

namespace {

dyn_array_object* const kGlobalLists[] = {&picked,         &carrier_candidates,
                                          &intersection_candidates, &highlight_list,
                                          &ambiguity_candidates,    &points_on_objects};
designation_list* const kDesignationTables[] = {&designation_args, &designation_carriers,
                                                &designation_intersectables};

}  // namespace

void init_object_lists() {
  // A list a tool filled before (lists grow on first use) starts over empty.
  free_object_lists();
  for (dyn_array_object* list : kGlobalLists) objlist_init(list);
  for (designation_list* table : kDesignationTables) {
    table->entries = alloc_block<designation_entry>(kDesignationTableSize);
    table->capacity = table->entries ? kDesignationTableSize : 0;
  }
  no_class_attrs.settings.dot_style = kernel_default_attrs.settings.dot_style;
}

void free_object_lists() {
  for (dyn_array_object* list : kGlobalLists) free_list_arrays(list);
  for (designation_list* table : kDesignationTables) {
    GlobalFreeAndNull(&table->entries);
    table->capacity = 0;
  }
}

// ===================================================== figure list and pool

bool slab_is_empty(const object_slab* block) {
  if (!block) return true;
  // Records from untouched_from on were never handed out (and never cleared).
  for (int32_t k = 0; k < block->untouched_from && k < kSlabRecords; ++k)
    if (block->records[k].in_use == 1) return false;
  return true;
}

namespace {

// Clears a record handed out. A copy of a clear record compiles to plain
// vector stores; clearing in place becomes a string instruction whose
// start-up costs more than the record's few cache lines.
void clear_record(object* rec) {
  static const object clear{};
  std::memcpy(rec, &clear, sizeof *rec);
}

// The record pool and the list's last object of a given figure: appending
// an object asks both of the figure it already has.
object* alloc_object_record_of(kelvo_win_info* fig) {
  // Every block before the hint is full, and so is every record of the
  // hint before its free_from, so the first free slot of the chain lies at
  // or after that record. Releasing a record drops the hint.
  object_slab* block = fig->pool_hint ? fig->pool_hint : fig->slabs;
  int32_t from = fig->pool_hint ? fig->pool_hint->free_from : 0;
  object_slab* last = nullptr;
  for (; block; block = block->next, from = 0) {
    for (int32_t k = from; k < kSlabRecords; ++k) {
      object& rec = block->records[k];
      // A record never handed out holds whatever the block was made with:
      // only the records before untouched_from are read.
      const bool untouched = k >= block->untouched_from;
      if (untouched || rec.in_use != 1) {
        if (untouched) block->untouched_from = k + 1;
        clear_record(&rec);
        rec.in_use = 1;
        block->free_from = k + 1;
        fig->pool_hint = block;
        return &rec;
      }
    }
    last = block;
  }
  // The records are cleared one by one as they are handed out, so the block
  // itself is not.
  auto* fresh = static_cast<object_slab*>(GlobalAllocUncleared(sizeof(object_slab)));
  if (!fresh) return nullptr;
  fresh->next = nullptr;
  fresh->untouched_from = 1;
  fresh->free_from = 1;
  clear_record(&fresh->records[0]);
  if (!fig->slabs) {
    fig->slabs = fresh;
  } else {
    if (!last)
      for (last = fig->slabs; last->next; last = last->next) {
      }
    last->next = fresh;
  }
  fig->pool_hint = fresh;
  fresh->records[0].in_use = 1;
  return &fresh->records[0];
}

object* last_object_of(kelvo_win_info* fig) {
  if (!fig->first) return nullptr;
  object* tail = fig->last_hint;
  if (tail && tail->in_use == 1 && !tail->next && (tail->prev || fig->first == tail)) return tail;
  tail = fig->first;
  while (tail->next) tail = tail->next;
  fig->last_hint = tail;
  return tail;
}

}  // namespace

object* alloc_object_record() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return nullptr;
  return alloc_object_record_of(fig);
}

object* last_object() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  return fig ? last_object_of(fig) : nullptr;
}

void figure_objects_changed(kelvo_win_info* fig) {
  static uint64_t changes = 0;
  if (fig) fig->list_stamp = ++changes;
}

object* append_new_object() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return nullptr;
  object* tail = last_object_of(fig);
  object* obj = alloc_object_record_of(fig);
  if (!obj) return nullptr;
  obj->next = nullptr;
  obj->prev = tail;
  if (tail)
    tail->next = obj;
  else
    fig->first = obj;
  fig->last_hint = obj;
  figure_objects_changed(fig);
  return obj;
}

void unlink_object(object* obj) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!obj) return;
  if (obj->prev) obj->prev->next = obj->next;
  if (obj->next) obj->next->prev = obj->prev;
  if (fig && fig->first == obj) fig->first = obj->next;
  if (fig && fig->last_hint == obj) fig->last_hint = obj->prev;
  obj->next = nullptr;
  obj->prev = nullptr;
  figure_objects_changed(fig);
  // The slot may be given back next; let allocation look from the start.
  if (fig) fig->pool_hint = nullptr;
}

void free_record_pool(kelvo_win_info* fig) {
  if (!fig) return;
  object_slab* block = fig->slabs;
  while (block) {
    object_slab* next = block->next;
    GlobalFreeAndNull(&block);
    block = next;
  }
  fig->slabs = nullptr;
  fig->pool_hint = nullptr;
}

void compact_record_pool(kelvo_win_info* fig) {
  if (!fig) return;
  object_slab** link = &fig->slabs;
  while (*link) {
    object_slab* block = *link;
    if (slab_is_empty(block)) {
      *link = block->next;
      GlobalFreeAndNull(&block);
    } else {
      link = &block->next;
    }
  }
  fig->pool_hint = nullptr;
}

// ============================================================ text records

TErec* copy_terec(const TErec* te) {
  if (!te) return nullptr;
  TErec* copy = alloc_block<TErec>();
  if (!copy) return nullptr;
  *copy = *te;
  copy->text_view = nullptr;
  copy->display_string = nullptr;
  copy->previous_string = nullptr;
  copy->stored_string = nullptr;
  copy->text = nullptr;
  copy->column_widths = nullptr;
  copy->rtf_data = nullptr;
  bool ok = true;
  if (te->stored_string) {
    const TextHandleOps& ops = text_handle_ops();
    copy->stored_string = ops.copy_string ? ops.copy_string(te->stored_string) : nullptr;
    ok = copy->stored_string != nullptr;
  }
  if (ok && te->text) ok = (copy->text = copy_block(te->text)) != nullptr;
  if (ok && te->column_widths) ok = (copy->column_widths = copy_block(te->column_widths)) != nullptr;
  if (ok && te->rtf_data) ok = (copy->rtf_data = copy_block(te->rtf_data)) != nullptr;
  if (!ok) {
    free_text_window(copy);
    return nullptr;
  }
  return copy;
}

// ================================================================= figures

namespace {

// Makes a figure current for the life of the guard and restores the
// previous one afterwards.
class CurrentFigure {
 public:
  explicit CurrentFigure(kelvo_win_info* fig) : saved_(KPGeoDocument::currentInfo()) {
    KPGeoDocument::setCurrentInfo(fig);
  }
  ~CurrentFigure() { KPGeoDocument::setCurrentInfo(saved_); }
  CurrentFigure(const CurrentFigure&) = delete;
  CurrentFigure& operator=(const CurrentFigure&) = delete;

 private:
  kelvo_win_info* saved_;
};

// A string block of the figure record, copied so that each record owns its own.
bool replace_with_copy(char** slot, const char* source) {
  GlobalFreeAndNull(slot);
  if (!source) return true;
  *slot = copy_block(source);
  return *slot != nullptr;
}

// Releases a copied object whose construction failed. Pointers it shares
// with the source (picture, macro record) are dropped first so that only
// what the copy owns is freed.
void discard_copy(kelvo_win_info* fig, object* copy) {
  copy->bitmap = nullptr;
  copy->macro = nullptr;
  destroy_object(copy);
  fig->nbobj -= 1;
}

// One object of the current figure as a copy of `src`: owned data is
// duplicated, parents still point into the source figure.
object* copy_object_record(const object* src) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  object* copy = append_new_object();
  if (!copy) return nullptr;
  object* next = copy->next;
  object* prev = copy->prev;
  *copy = *src;
  copy->next = next;
  copy->prev = prev;
  // Nothing owned is shared: the blocks are duplicated below, the lists
  // rebuilt by the caller.
  copy->te = nullptr;
  copy->label = nullptr;
  copy->valeurs = nullptr;
  copy->parents = nullptr;
  copy->data = nullptr;
  copy->pdata = nullptr;
  copy->inserted = nullptr;
  copy->associated = nullptr;
  copy->pcolor = nullptr;
  copy->pfill = nullptr;
  copy->macro = nullptr;

  fig->nbobj += 1;
  copy->num = fig->nbobj;
  copy->state &= (OBJ_ERASE | 32u | OBJ_UNDEFINED | OBJ_AT_INFINITY);

  bool ok = true;
  if (is_property_check(src) && src->valeurs) {
    TErec* const* texts = reinterpret_cast<TErec* const*>(src->valeurs);
    TErec** block = alloc_block<TErec*>(2);
    ok = block != nullptr;
    if (ok) {
      copy->valeurs = reinterpret_cast<valeur*>(block);
      for (int i = 0; i < 2 && ok; ++i) {
        if (!texts[i]) continue;
        block[i] = copy_terec(texts[i]);
        ok = block[i] != nullptr;
        if (src->te == texts[i]) copy->te = block[i];
      }
    }
  } else if (src->te) {
    copy->te = copy_terec(src->te);
    ok = copy->te != nullptr;
  }
  if (ok && src->label) ok = (copy->label = copy_block(src->label)) != nullptr;
  if (ok && src->nbvaleurs != 0 && src->valeurs && !is_table_object(src) &&
      !is_property_check(src) && !is_polyreg_vertex(src))
    ok = (copy->valeurs = copy_block(src->valeurs)) != nullptr;

  if (ok) {
    const uint32_t n = src->nbparents > 0 ? static_cast<uint32_t>(src->nbparents) : 0;
    const bool formula = has_formula_blocks(src);
    const uint32_t slots = n + (formula ? 2 : 0);
    if (slots > 0 && src->parents) {
      copy->parents = alloc_block<object*>(slots);
      ok = copy->parents != nullptr;
      if (ok) {
        std::memcpy(copy->parents, src->parents, sizeof(object*) * n);
        for (uint32_t i = n; i < slots && ok; ++i) {
          if (!src->parents[i]) continue;
          copy->parents[i] = static_cast<object*>(copy_block(static_cast<void*>(src->parents[i])));
          ok = copy->parents[i] != nullptr;
        }
      }
    }
  }
  if (ok && src->data) ok = (copy->data = copy_block(src->data)) != nullptr;
  if (ok && src->pdata) ok = (copy->pdata = copy_block(src->pdata)) != nullptr;
  if (!ok) {
    discard_copy(fig, copy);
    return nullptr;
  }
  return copy;
}

// Source objects and their copies. Numbers cannot pair them: an object may
// carry no number (an intersection set a macro made) or one that is not its
// place in the list.
using CopyMap = std::unordered_map<const object*, object*>;

// The copy-figure counterpart of a source object.
object* counterpart(const CopyMap& copies, const object* src_obj) {
  if (!src_obj) return nullptr;
  const auto it = copies.find(src_obj);
  return it == copies.end() ? nullptr : it->second;
}

bool copy_inserted(const CopyMap& copies, const object* src, object* copy) {
  insert_object** tail = &copy->inserted;
  for (const insert_object* node = src->inserted; node; node = node->next) {
    insert_object* fresh = copy_block(node);
    if (!fresh) return false;
    fresh->next = nullptr;
    *tail = fresh;
    tail = &fresh->next;
    fresh->obj = counterpart(copies, node->obj);
    if (node->obj && !fresh->obj) return false;
  }
  return true;
}

bool copy_associated(const CopyMap& copies, const object* src, object* copy) {
  objectptrlist** tail = &copy->associated;
  for (const objectptrlist* node = src->associated; node; node = node->next) {
    object* target = counterpart(copies, node->obj);
    if (!target) continue;
    objectptrlist* fresh = alloc_block<objectptrlist>();
    if (!fresh) return false;
    fresh->obj = target;
    *tail = fresh;
    tail = &fresh->next;
  }
  return true;
}

bool copy_param_colors(const CopyMap& copies, const object* src, object* copy) {
  if (src->pcolor &&
      !set_object_color_params(copy, counterpart(copies, src->pcolor->red),
                               counterpart(copies, src->pcolor->green),
                               counterpart(copies, src->pcolor->blue)))
    return false;
  if (src->pfill &&
      !set_object_fill_color_params(copy, counterpart(copies, src->pfill->red),
                                    counterpart(copies, src->pfill->green),
                                    counterpart(copies, src->pfill->blue)))
    return false;
  return true;
}

infomacro* copy_infomacro(const CopyMap& copies, const infomacro* src) {
  infomacro* im = alloc_block<infomacro>();
  if (!im) return nullptr;
  im->im_method = src->im_method;
  im->im_class = src->im_class;
  im->im_nb_initials = src->im_nb_initials;
  const uint32_t n = src->im_nb_initials > 0 ? static_cast<uint32_t>(src->im_nb_initials) : 0;
  if (n > 0 && src->im_initials) {
    im->im_initials = alloc_block<object*>(n);
    if (!im->im_initials) {
      free_infomacro(&im);
      return nullptr;
    }
    for (uint32_t i = 0; i < n; ++i) im->im_initials[i] = counterpart(copies, src->im_initials[i]);
  }
  if (src->im_tags) {
    im->im_tags = copy_block(src->im_tags);
    if (!im->im_tags) {
      free_infomacro(&im);
      return nullptr;
    }
  }
  return im;
}

void free_macro_inf_nodes(kelvo_win_info* fig, bool free_data) {
  def_object_macro_inf* node = fig->macro_inf;
  while (node) {
    def_object_macro_inf* next = node->next;
    if (free_data) GlobalFreeAndNull(&node->figdata);
    GlobalFreeAndNull(&node);
    node = next;
  }
  fig->macro_inf = nullptr;
}

}  // namespace

void empty_figure(kelvo_win_info* fig) {
  if (!fig) fig = KPGeoDocument::currentInfo();
  if (!fig) return;
  CurrentFigure guard(fig);
  // A gesture under way on this figure ends with its objects: the pick
  // marks must not name them afterwards.
  for (object* o = fig->first; o; o = o->next)
    if (o == first_hit) {
      clear_pick_marks();
      break;
    }
  object* obj = fig->first;
  while (obj) {
    object* next = obj->next;
    destroy_object(obj);
    obj = next;
  }
  fig->first = nullptr;
  fig->nbobj = 0;
  fig->table_object = nullptr;
  fig->last_hint = nullptr;
  fig->pool_hint = nullptr;
  figure_objects_changed(fig);
}

void free_figure_info(kelvo_win_info* fig, bool reset_tool) {
  if (!fig) return;
  if (reset_tool) {
    CurrentFigure guard(fig);
    clear_selection();
  }
  empty_figure(fig);
  free_record_pool(fig);

  // The selection field may point at one of the record's own lists, or at
  // the tools' saved selection; only a list of its own is freed here.
  dyn_array_object* sel = fig->selection;
  fig->selection = nullptr;
  // A tool working on one of the figure's own lists keeps the figure's
  // selection aside: that list is this figure's and goes with it, so that
  // the next figure's clicks select again.
  if (sel && saved_selection && (sel == fig->inputs || sel == fig->list3 || sel == fig->list4)) {
    sel = saved_selection;
    saved_selection = nullptr;
  }
  if (sel && sel != fig->inputs && sel != fig->list3 && sel != fig->list4 && sel != saved_selection)
    objlist_free(&sel);
  objlist_free(&fig->inputs);
  objlist_free(&fig->list3);
  objlist_free(&fig->list4);
  GlobalFreeAndNull(&fig->text1);
  GlobalFreeAndNull(&fig->text0);
  GlobalFreeAndNull(&fig->password);
  free_macro_inf_nodes(fig, true);

  // The background picture is shared with the undo copy: the record freed
  // last frees it. The partner forgets this record so that it becomes the
  // last holder of what they shared.
  kelvo_win_info* partner = fig->undo;
  if (!(partner && partner->background == fig->background)) free_bitmap_holder(&fig->background);
  if (!(partner && partner->trace_device == fig->trace_device)) free_trace_display(fig);
  if (partner && partner->undo == fig) partner->undo = nullptr;

  if (KPGeoDocument::currentInfo() == fig) KPGeoDocument::setCurrentInfo(nullptr);
  GlobalFreeAndNull(&fig);
}

void bind_macro_classes(kelvo_win_info* fig) {
  kelvo_win_info* cur = KPGeoDocument::currentInfo();
  auto for_each_macro_method = [](auto&& fn) {
    if (!class_list) return;
    for (int c = 0; class_list[c]; ++c) {
      construct_class* cls = class_list[c];
      if (!is_macro_class(cls)) continue;
      for (int m = 0; cls->methods[m]; ++m) fn(cls, cls->methods[m]);
    }
  };
  if (cur) {
    def_object_macro_inf** tail = &cur->macro_inf;
    while (*tail) tail = &(*tail)->next;
    for_each_macro_method([&](construct_class* cls, construct_method* method) {
      if (!method->figdata) return;
      def_object_macro_inf* node = alloc_block<def_object_macro_inf>();
      if (!node) return;
      node->macro_class = cls;
      node->method = method;
      node->figdata = method->figdata;
      *tail = node;
      tail = &node->next;
    });
  }
  KPGeoDocument::setCurrentInfo(fig);
  for_each_macro_method([&](construct_class* cls, construct_method* method) {
    method->figdata = nullptr;
    for (def_object_macro_inf* node = fig ? fig->macro_inf : nullptr; node; node = node->next) {
      if (node->macro_class == cls && node->method == method) {
        method->figdata = node->figdata;
        break;
      }
    }
  });
  if (fig) free_macro_inf_nodes(fig, false);
}

void new_figure_info() {
  kelvo_win_info* fig = alloc_block<kelvo_win_info>();
  if (!fig) return;
  fig->bgcolor = back_color;
  fig->wflags = static_cast<char>(fig->wflags & ~2);
  KPGeoDocument::_undo_dirty(fig);
  fig->inputs = objlist_new();
  fig->selection = objlist_new();
  fig->list3 = objlist_new();
  fig->list4 = objlist_new();
  if (!fig->inputs || !fig->selection || !fig->list3 || !fig->list4) {
    free_figure_info(fig, false);
    return;
  }
  bind_macro_classes(fig);
  save_undo_state(0);
  if (fig->undo) fig->undo->undo = fig;
}

kelvo_win_info* duplicate_figure_info(kelvo_win_info* dest, uint32_t limit) {
  kelvo_win_info* src = KPGeoDocument::currentInfo();
  if (!src) return nullptr;

  if (!dest) {
    dest = alloc_block<kelvo_win_info>();
    if (!dest) return nullptr;
    *dest = *src;
    dest->first = nullptr;
    dest->nbobj = 0;
    dest->cur_text = nullptr;
    dest->cur2 = nullptr;
    dest->moving = nullptr;
    dest->macro_inf = nullptr;
    // The copy has its own pool, strings and lists.
    dest->slabs = nullptr;
    dest->pool_hint = nullptr;
    dest->last_hint = nullptr;
    dest->text0 = nullptr;
    dest->text1 = nullptr;
    dest->password = nullptr;
    dest->table_object = nullptr;
    dest->background = nullptr;
    dest->trace_device = nullptr;
    // Pictures stay shared with the source; the link tells the copy so.
    dest->undo = src;
    dest->inputs = objlist_new();
    dest->selection = objlist_new();
    dest->list3 = objlist_new();
    dest->list4 = objlist_new();
    if (!dest->inputs || !dest->selection || !dest->list3 || !dest->list4) {
      free_figure_info(dest, true);
      return nullptr;
    }
  }

  dest->tail_a = src->tail_a;
  dest->tail_b = src->tail_b;
  dest->animate_on_open = src->animate_on_open;
  dest->password_given = src->password_given;
  dest->linked_pictures = src->linked_pictures;
  dest->background = src->background;
  dest->trace_device = src->trace_device;
  dest->bgcolor = src->bgcolor;

  auto fail = [&]() -> kelvo_win_info* {
    // Linked to the source, the copy leaves the pictures they share alone.
    dest->undo = src;
    KPGeoDocument::setCurrentInfo(src);
    free_figure_info(dest, true);
    KPGeoDocument::setCurrentInfo(src);
    return nullptr;
  };

  if (src->first) {
    dest->cur_text = nullptr;
    dest->cur2 = nullptr;
    dest->moving = nullptr;
    dest->table_object = nullptr;

    KPGeoDocument::setCurrentInfo(dest);
    // The objects the copy already holds stand for as many objects of the
    // source, in list order.
    CopyMap copies;
    copies.reserve(src->nbobj + 1);
    const object* s = src->first;
    for (object* o = dest->first; o && s; o = o->next, s = s->next) copies[s] = o;

    std::vector<std::pair<const object*, object*>> pairs;
    pairs.reserve(src->nbobj);
    for (; s; s = s->next) {
      if (limit != 0 && dest->nbobj >= limit) break;
      object* copy = copy_object_record(s);
      if (!copy) return fail();
      copies[s] = copy;
      pairs.emplace_back(s, copy);

      const int n = s->nbparents > 0 ? s->nbparents : 0;
      for (int i = 0; i < n && s->parents; ++i) {
        if (!s->parents[i]) continue;
        object* mapped = counterpart(copies, s->parents[i]);
        // A parent beyond the copy would leave the object pointing into
        // the source figure.
        if (!mapped || mapped == copy) return fail();
        copy->parents[i] = mapped;
      }
      if (!copy_inserted(copies, s, copy)) return fail();
      if (is_polyreg_vertex(s) && copy->parents && copy->parents[0] && copy->parents[0]->valeurs) {
        const int index = s->math.polreg.index;
        if (index >= 0 && index < copy->parents[0]->nbvaleurs)
          copy->valeurs = copy->parents[0]->valeurs + index;
      }
      if (src->cur2 == s) dest->cur2 = copy;
      if (src->table_object == s) dest->table_object = copy;
      if (src->moving == s) dest->moving = copy;
    }

    std::unordered_map<const infomacro*, infomacro*> macros;
    for (auto& [s_obj, copy] : pairs) {
      if (is_intersection_set(copy))
        renumber_intersection_records(copy, [&copies](const object* owner) { return counterpart(copies, owner); });
      if (!copy_param_colors(copies, s_obj, copy)) return fail();
      if (!copy_associated(copies, s_obj, copy)) return fail();
      if (s_obj->macro) {
        auto it = macros.find(s_obj->macro);
        if (it == macros.end()) {
          infomacro* im = copy_infomacro(copies, s_obj->macro);
          if (!im) return fail();
          it = macros.emplace(s_obj->macro, im).first;
        }
        copy->macro = it->second;
      }
    }

    objlist_clear(dest->inputs);
    objlist_clear(dest->selection);
    objlist_clear(dest->list3);
    objlist_clear(dest->list4);
    const dyn_array_object* src_sel = saved_selection ? saved_selection : src->selection;
    for (auto& [s_obj, copy] : pairs) {
      objlist_add_if_member(const_cast<object*>(s_obj), src_sel, copy, dest->selection);
      objlist_add_if_member(const_cast<object*>(s_obj), src->list3, copy, dest->list3);
      objlist_add_if_member(const_cast<object*>(s_obj), src->list4, copy, dest->list4);
    }
  }

  if (!replace_with_copy(&dest->text0, src->text0) || !replace_with_copy(&dest->text1, src->text1) ||
      !replace_with_copy(&dest->password, src->password))
    return fail();
  KPGeoDocument::setCurrentInfo(src);
  return dest;
}
