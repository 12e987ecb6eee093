#include "kernel/tools/redefine_tool.h"

#include <algorithm>
#include <cstring>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/deletion.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/recompute.h"
#include "kernel/model/undo.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/cursors.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/handler_helpers.h"
#include "kernel/tools/label_settings.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_handler.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/figure_events.h"
#include "kernel/window/figure_scroll.h"
#include "platform/kernel_services.h"
#include "platform/kp_menu.h"

uint8_t redefine_choose = 1;
object* redefined_object = nullptr;
uint8_t redefine_same = 0;

namespace {

constexpr int kTwoObjectsRow = 281;
constexpr int kDependsOnItselfRow = 282;
constexpr int kMergeItemRow = 504;
// Bit of aux2: a number whose identity with another one counts.
constexpr uint32_t kNumberKeptIdentical = 4;

kelvo_win_info* figure() { return KPGeoDocument::currentInfo(); }

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }

const char* class_title(const construct_class* cls) {
  if (cls->name && cls->name[0]) return cls->name;
  return cls->english_name ? cls->english_name : "";
}

uint16_t track_with_popup_menu(const std::vector<redefine_menu_item>& items, tagPOINT at) {
  KPMenusWrapper* menu = KPMenusWrapper::createPopupMenu();
  if (!menu) return 0;
  for (const redefine_menu_item& item : items) menu->appendMenu(0, item.id, item.text.c_str());
  popup_tracking = 1;
  const int chosen = menu->trackPopUp(at, 4, nullptr, nullptr);
  popup_tracking = 0;
  menu->destroyMenu();
  // The menu took the release of the press that opened it: the press is
  // over for the figure too.
  mouse_tracking = 0;
  return chosen > 0 && chosen <= 0xFFFF ? static_cast<uint16_t>(chosen) : 0;
}

redefine_menu_tracker g_tracker = track_with_popup_menu;

// The figure changed outside a construction's own redraw.
void redraw_figure() {
  tool_redraw_figure(2, 33);
  invalidate_current_figure_window();
}

void setup_tool_again() {
  if (designation_hooks().setup_tool) designation_hooks().setup_tool(current_class);
}

bool is_parent_of(const object* child, const object* parent) {
  for (int i = 0; child && i < child->nbparents; ++i)
    if (child->parents[i] == parent) return true;
  return false;
}

// The old object's label style goes to the new one in a record of its own.
void copy_label(object* to, const object* from) {
  if (!from->label) return;
  if (!to->label) to->label = get_default_font_info();
  if (to->label) *to->label = *from->label;
}

// What makes an object look like itself (text, own value, place of its
// label, style, label and picture) passes from `from` to `to`. The text is
// copied (the old object still owns its record until it is deleted); the
// picture changes hands.
void take_appearance(object* to, object* from) {
  if (from->te) to->te = copy_terec(from->te);
  to->val = from->val;
  to->pos = from->pos;
  to->settings = from->settings;
  if (from->bitmap) {
    free_bitmap_holder(&to->bitmap);
    to->bitmap = from->bitmap;
    from->bitmap = nullptr;
  }
  copy_label(to, from);
}

void recompute_all() {
  kelvo_win_info* fig = figure();
  for (object* o = fig ? fig->first : nullptr; o; o = o->next) recompute_object(o);
}

void replace_and_reorder(object* with, object* old) {
  replace_parent_references(with, nullptr, old);
  sort_objects_by_dependency();
  rebuild_locus_chains();
}

// Makes the redefined object a free point where it stands now.
void redefine_as_free_point(object* old) {
  kelvo_win_info* fig = figure();
  clear_selection();
  if (old->valeurs && old->nbvaleurs > 0) rubber_points[0] = old->valeurs[0];
  uint16_t made = 0;
  objlist_clear(fig->inputs);
  object* fresh = create_object(0, &made, 1, 1, 0);
  if (!fresh) {
    pop_tool_argument_state();
    return;
  }
  fresh->state &= ~OBJ_NEW;
  fresh->te = old->te;
  old->te = nullptr;
  fresh->val = old->val;
  fresh->pos = old->pos;
  fresh->settings = old->settings;
  free_bitmap_holder(&fresh->bitmap);
  fresh->bitmap = old->bitmap;
  old->bitmap = nullptr;
  GlobalFreeAndNull(&fresh->label);
  fresh->label = old->label;
  old->label = nullptr;
  fresh->pdata = nullptr;
  replace_parent_references(fresh, nullptr, old);
  sort_objects_by_dependency();
  delete_objects(old);
  pop_tool_argument_state();
  rebuild_locus_chains();
  recompute_object(fresh);
}

bool first_click() {
  if (ambiguous_designation) {
    highlight_candidate();
    if (picked.items && picked.items[0]) select_figure_object(picked.items[0], picked.tags[0], 0);
    return false;
  }
  auto_point = 0;
  object* candidate = nullptr;
  if (!designate_for_tool(&candidate)) return false;
  if (objlist_count(&picked) >= 2) {
    message_box_simple(kernel_string(kTwoObjectsRow));
    return false;
  }
  if (!candidate) return false;
  redefined_object = candidate;
  clear_selection();
  tagPOINT at{};
  get_saved_mouse_point(&at);

  const std::vector<redefine_menu_item> items = redefine_menu_entries(candidate);
  const uint16_t chosen = g_tracker ? g_tracker(items, at) : 0;
  const auto item = std::find_if(items.begin(), items.end(), [&](const redefine_menu_item& i) { return i.id == chosen; });
  if (item == items.end()) {
    redefined_object = nullptr;
    return false;
  }
  save_undo_state_before_change();
  set_document_dirty();
  redefine_same = item->cls ? 0 : 1;
  if (item->cls) {
    suspend_current_tool(item->cls);
    if (item->cls == &classe_point) {
      redefine_as_free_point(candidate);
      redefined_object = nullptr;
      setup_tool_again();
      redraw_figure();
      return false;
    }
    redefine_choose = 0;
    setup_tool_again();
    return false;
  }
  // Merging: the next argument is an existing object of the same type.
  redefine_choose = 0;
  const uint16_t own = type_of(candidate);
  for (int m = 0; const construct_method* method = class_method(&classe_redefine, m); ++m)
    for (TYPEOBJ* code = method->args; code && *code; ++code)
      if ((*code & 0x3FFF) != own) *code |= ARG_MATCHED;
  setup_tool_again();
  return false;
}

// True when `fresh` or one of its parents is built on the redefined object.
bool depends_on_redefined(object* fresh) {
  kelvo_win_info* fig = figure();
  redefined_object->state |= OBJ_WALK;
  for (object* o = fig->first; o; o = o->next) {
    if (o->state & OBJ_WALK) continue;
    bool reached = false;
    for (int i = 0; i < o->nbparents && !reached; ++i) reached = o->parents[i] && (o->parents[i]->state & OBJ_WALK);
    if (!reached && o->macro && o->macro->im_initials)
      for (int k = 0; k < o->macro->im_nb_initials && !reached; ++k)
        reached = o->macro->im_initials[k] && (o->macro->im_initials[k]->state & OBJ_WALK);
    if (reached) o->state |= OBJ_WALK;
  }
  bool cycle = fresh == redefined_object;
  for (int i = 0; i < fresh->nbparents && !cycle; ++i) cycle = fresh->parents[i] && (fresh->parents[i]->state & OBJ_WALK);
  return cycle;
}

// How many parents of the old object pass to the new one's positions.
int parents_to_carry(const object* old, const object* fresh) {
  const bool same_line = old->classe == &classe_droite && fresh->classe == &classe_droite;
  const bool same_ray = old->classe == &classe_demidroite && fresh->classe == &classe_demidroite;
  switch (type_of(old)) {
    case TYPE_TRIANGLE:
    case TYPE_POLYGON:
    case TYPE_SEGMENT:
    case TYPE_VECTOR:
    case TYPE_ARC:
    case TYPE_CIRCLE:
    case TYPE_CONIC:
      break;
    default:
      if (!same_line && !same_ray) return 0;
  }
  return std::min(old->nbparents, fresh->nbparents);
}

bool some_object_uses_both(const object* a, const object* b) {
  kelvo_win_info* fig = figure();
  for (object* o = fig->first; o; o = o->next)
    if (is_parent_of(o, a) && is_parent_of(o, b)) return true;
  return false;
}

bool used_as_parent(const object* p) {
  kelvo_win_info* fig = figure();
  for (object* o = fig->first; o; o = o->next)
    if (is_parent_of(o, p)) return true;
  return false;
}

// Free points of the old object that nothing else uses merge into the
// points at the same places of the new one.
void carry_parents_over(object* old, object* fresh, int k) {
  std::vector<object*> old_parents(old->parents, old->parents + old->nbparents);
  delete_objects(old);
  for (int i = 0; i < k; ++i) {
    object* from = old_parents[static_cast<size_t>(i)];
    if (!from || from->classe != &classe_point || is_parent_of(fresh, from) || fresh->nbparents <= 0) continue;
    object* to = fresh->parents[i % fresh->nbparents];
    if (!to || to == from || some_object_uses_both(to, from) || used_as_parent(from)) continue;
    if (!to->te && !redefine_same) take_appearance(to, from);
    replace_and_reorder(to, from);
    delete_objects(from);
  }
}

// Objects made identical by a merge: the older one stays.
void remove_duplicates() {
  kelvo_win_info* fig = figure();
  for (int rounds = 0; rounds < 100000; ++rounds) {
    bool removed = false;
    for (object* o = fig->first; o && !removed; o = o->next) {
      object* same = find_identical_object(o);
      if (!same || same == o || !o->settings.visible || !same->settings.visible) continue;
      if (type_of(o) == TYPE_NUMBER && type_of(same) == TYPE_NUMBER &&
          !((o->aux2 & kNumberKeptIdentical) && (same->aux2 & kNumberKeptIdentical)))
        continue;
      object* keep = o->num < same->num ? o : same;
      object* drop = keep == o ? same : o;
      replace_parent_references(keep, nullptr, drop);
      delete_objects(drop);
      removed = true;
    }
    if (!removed) break;
  }
  rebuild_locus_chains();
}

void finish_redefinition() {
  redefine_choose = 1;
  reset_class_type_marks(current_class);
  free_all_object_bitmaps();
  redefined_object = nullptr;
  setup_tool_again();
  redraw_figure();
}

bool second_click() {
  auto_point = 0;
  object* fresh = nullptr;
  if (!designate_for_tool(&fresh) || !fresh) return false;
  object* old = redefined_object;
  // The object may have gone meanwhile (another figure, an undo).
  bool present = false;
  for (object* o = figure()->first; o && !present; o = o->next) present = o == old;
  if (!old || !present) {
    finish_redefinition();
    return false;
  }
  const bool just_made = (fresh->state & OBJ_NEW) != 0;
  fresh->state &= ~OBJ_NEW;
  clear_selection();
  if (depends_on_redefined(fresh)) {
    clear_object_flags(OBJ_WALK);
    message_box_simple(kernel_string(kDependsOnItselfRow));
    if (!redefine_same && just_made) delete_objects(fresh);
    finish_redefinition();
    return false;
  }
  clear_object_flags(OBJ_WALK);
  if (!fresh->te && !redefine_same) {
    take_appearance(fresh, old);
    recompute_object(fresh);
  }
  replace_and_reorder(fresh, old);
  const int k = parents_to_carry(old, fresh);
  if (k > 0)
    carry_parents_over(old, fresh, k);
  else
    delete_objects(old);
  clear_object_flags(OBJ_WALK);
  recompute_all();
  if (redefine_same) remove_duplicates();
  finish_redefinition();
  return false;
}

}  // namespace

void install_redefine_menu_tracker(redefine_menu_tracker tracker) {
  g_tracker = tracker ? tracker : track_with_popup_menu;
}

std::vector<redefine_menu_item> redefine_menu_entries(const object* obj) {
  std::vector<redefine_menu_item> items;
  if (!obj) return items;
  auto add = [&](construct_class* cls, const char* text) {
    items.push_back({static_cast<uint16_t>(kRedefineMenuBase + items.size() + 1), cls, text ? text : ""});
  };
  const uint16_t own = type_of(obj);
  if (own == TYPE_POINT) {
    for (construct_class* cls : {&classe_point, &classe_ptsur, &classe_interset}) add(cls, class_title(cls));
  } else {
    for (construct_class** c = class_list; c && *c; ++c) {
      construct_class* cls = *c;
      if (cls == &classe_redefine || !cls->ctype || cls->ctype->id != own) continue;
      const construct_method* first = class_method(cls, 0);
      if (first && first->def) continue;
      add(cls, class_title(cls));
    }
  }
  add(nullptr, kernel_string(kMergeItemRow));
  return items;
}

bool redefine_tool_handler(uint16_t* method, object** designated) {
  if (method) *method = 0;
  if (designated) *designated = nullptr;
  if (!figure()) return false;
  return redefine_choose ? first_click() : second_click();
}

void rebuild_locus_chains() {
  kelvo_win_info* fig = figure();
  if (!fig) return;
  std::vector<object*> loci;
  for (object* o = fig->first; o; o = o->next)
    if (type_of(o) == TYPE_LOCUS) loci.push_back(o);
  for (object* locus : loci) {
    bool alive = false;
    for (object* o = fig->first; o; o = o->next) alive = alive || o == locus;
    if (!alive) continue;  // went with an earlier locus it was built on
    object* driver = locus->nbparents > 0 ? locus->parents[0] : nullptr;
    object* traced = locus->nbparents > 1 ? locus->parents[locus->nbparents - 1] : nullptr;
    const int n = driver && traced ? collect_dependency_chain(driver, traced) : 0;
    if (n <= 0) {
      delete_objects(locus);
      continue;
    }
    auto** chain = alloc_block<object*>(static_cast<uint32_t>(n));
    if (!chain) continue;
    for (int i = 0; i < n; ++i) chain[i] = fig->inputs->items[i];
    GlobalFreeAndNull(&locus->parents);
    locus->parents = chain;
    locus->nbparents = static_cast<int16_t>(n);
    figure_objects_changed(fig);
  }
  objlist_clear(fig->inputs);
  clear_object_flags(OBJ_WALK | OBJ_CHOSEN | OBJ_TO_DELETE | OBJ_NEW);
  for (object* o = fig->first; o; o = o->next)
    if (type_of(o) == TYPE_LOCUS) recompute_object(o);
}

bool redefinition_waiting() { return redefine_choose != 0; }

void reset_redefinition() {
  redefine_choose = 1;
  redefine_same = 0;
  redefined_object = nullptr;
}
