#include "kernel/model/deletion.h"

#include <algorithm>
#include <functional>
#include <queue>
#include <unordered_map>
#include <vector>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/table.h"
#include "kernel/model/undo.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/render/colors.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/labels.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_view.h"
#include "kernel/tools/tool_args.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_handler.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_state.h"

namespace {

// Selection tags: a label is picked with a tag of 0x101 or more, a text's
// reference n with 0x102 + n.
constexpr uint16_t kLabelTag = 0x101;
constexpr uint16_t kTextBodyTag = 0x102;
// Second flag word of a number shown inside a text: its text box is not
// moved to its value, and it is drawn by the text alone.
constexpr uint32_t kBoxKeptInText = 2;
constexpr uint32_t kDrawnByText = 4;

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }
bool flagged(const object* o) { return o && (o->state & OBJ_TO_DELETE); }

bool parent_has(const object* o, uint32_t bit) {
  for (int i = 0; i < o->nbparents; ++i)
    if (o->parents && o->parents[i] && (o->parents[i]->state & bit)) return true;
  return false;
}

// Drops one reference of a text; its frame is fitted to what is left.
void drop_text_reference(object* target, uint16_t number, object* text) {
  if (text->te) text->te->needs_regen = 1;
  remove_object_from_text(target, number, text);
}

void remove_from_object_list(objectptrlist** list, const object* target) {
  while (*list) {
    if ((*list)->obj == target) {
      objectptrlist* gone = *list;
      *list = gone->next;
      GlobalFreeAndNull(&gone);
    } else {
      list = &(*list)->next;
    }
  }
}

// Macro methods keep per-figure default objects; a freed one is forgotten.
void clear_macro_data_refs(const object* target) {
  for (int k = 0; class_list && class_list[k]; ++k) {
    construct_class* c = class_list[k];
    if (!is_macro_class(c) || !c->methods) continue;
    for (int m = 0; c->methods[m]; ++m) {
      auto* entries = static_cast<macro_default_entry*>(c->methods[m]->figdata);
      if (!entries) continue;
      const uint32_t count = GlobalSize(entries) / sizeof(macro_default_entry);
      for (uint32_t i = 0; i < count; ++i)
        if (entries[i].obj == target) entries[i].obj = nullptr;
    }
  }
}

void drop_deleted_param_colors(kelvo_win_info* fig) {
  for (object* o = fig->first; o; o = o->next) {
    for (param_color** slot : {&o->pcolor, &o->pfill}) {
      param_color* pc = *slot;
      if (!pc) continue;
      for (object** source : {&pc->red, &pc->green, &pc->blue})
        if (flagged(*source)) *source = nullptr;
      if (!pc->red && !pc->green && !pc->blue) GlobalFreeAndNull(slot);
    }
  }
}

// The spreading pass: everything built on a flagged object is flagged, and
// what only quotes it loses the quotation.
void spread_deletion(kelvo_win_info* fig) {
  // A deleted object leaves every button's target list: the buttons are
  // listed once, not searched for each deleted object.
  std::vector<object*> buttons;
  for (object* o = fig->first; o; o = o->next)
    if (type_of(o) == TYPE_BUTTON) buttons.push_back(o);
  for (object* o = fig->first; o; o = o->next) {
    const uint16_t t = type_of(o);
    if (!flagged(o)) {
      for (int i = 0; i < o->nbparents && !flagged(o);) {
        object* p = o->parents ? o->parents[i] : nullptr;
        if (!flagged(p)) {
          ++i;
          continue;
        }
        if (t == TYPE_TABLE && o->te) {
          const int16_t before = o->nbparents;
          // A row the user chose waits in the same record: the column goes
          // first, or the table would keep the deleted number.
          table_row_request(o->te) = 0;
          table_column_request(o->te) = i / 2 + 1;
          table_remove_row_or_column(o);
          // The same index now holds the next column's parent.
          if (o->nbparents == before) ++i;
          continue;
        }
        if (t == TYPE_INTERSECTION_SET && i >= 2) {
          ++i;
          continue;
        }
        // Only what was chosen takes the numbers its text shows along: a
        // text that goes with one of its parents leaves the others, freed
        // where they were shown.
        o->state |= OBJ_TO_DELETE;
      }
    }
    if (!flagged(o)) {
      if (t == TYPE_TEXT) {
        // From the head after each removal: the list is rebuilt each time.
        for (bool again = true; again;) {
          again = false;
          for (insert_object* n = o->inserted; n; n = n->next)
            if (flagged(n->obj)) {
              object* gone = n->obj;
              drop_text_reference(gone, 0, o);
              // A reference that cannot be removed is unlinked by hand, so
              // the text never keeps a dangling one.
              if (o->inserted && find_text_reference(0, gone, o->inserted)) {
                for (insert_object** link = &o->inserted; *link; link = &(*link)->next)
                  if ((*link)->obj == gone) {
                    insert_object* node = *link;
                    *link = node->next;
                    GlobalFreeAndNull(&node);
                    break;
                  }
              }
              again = true;
              break;
            }
        }
      }
      if (t == TYPE_BUTTON)
        for (objectptrlist* n = o->associated; n;) {
          objectptrlist* next = n->next;
          if (flagged(n->obj)) remove_from_object_list(&o->associated, n->obj);
          n = next;
        }
      if (o->macro && o->macro->im_initials)
        for (int k = 0; k < o->macro->im_nb_initials; ++k)
          if (flagged(o->macro->im_initials[k])) {
            o->state |= OBJ_TO_DELETE;
            break;
          }
    }
    if (flagged(o)) {
      detach_intersection_point(o);
      for (object* b : buttons) remove_from_object_list(&b->associated, o);
    }
  }
}

void after_deletion_display(kelvo_win_info* fig) {
  redraw_figure(1);
  if (current_figure_view) {
    invalidate_figure_view(current_figure_view);
    refresh_figure_description(current_figure_view);
  }
  remembered_object_count = fig->nbobj;
}

}  // namespace

object* detach_intersection_point(object* o) {
  if (!o || o->classe != &classe_ptint || o->nbparents < 1 || !o->parents) return nullptr;
  object* set = o->parents[0];
  if (!set || type_of(set) != TYPE_INTERSECTION_SET) return nullptr;
  remove_intersection_record(set, o->math.inter_index);
  if (intersection_record_count(set) != 0) return nullptr;
  flag_for_deletion(set);
  return set;
}

bool object_can_be_deleted(object* obj) {
  if (!obj || obj->settings.sticky) return false;
  bool ok = true;
  obj->state |= OBJ_WALK;
  for (object* o = obj->next; o && ok; o = o->next) {
    if (!parent_has(o, OBJ_WALK)) continue;
    o->state |= OBJ_WALK;
    if (o->settings.sticky) ok = false;
  }
  clear_object_flags(OBJ_WALK);
  return ok;
}

void flag_for_deletion(object* obj) {
  if (!obj) return;
  const uint16_t t = type_of(obj);
  if (t == TYPE_TEXT)
    for (int i = 0; i < obj->nbparents; ++i)
      if (obj->parents && type_of(obj->parents[i]) == TYPE_NUMBER) obj->parents[i]->state |= OBJ_TO_DELETE;
  if (t == TYPE_BUTTON)
    for (objectptrlist* n = obj->associated; n; n = n->next)
      if (n->obj) n->obj->settings.visible = 1;
  obj->state |= OBJ_TO_DELETE;
}

void flag_unused_intermediates() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return;
  object* last = nullptr;
  for (object* o = fig->first; o; o = o->next) {
    if (flagged(o)) o->state |= OBJ_CHOSEN;
    last = o;
  }
  bool spread = false;
  for (object* o = last; o; o = o->prev) {
    if (!(o->state & OBJ_CHOSEN)) continue;
    for (int i = 0; i < o->nbparents; ++i) {
      object* p = o->parents ? o->parents[i] : nullptr;
      if (p && p->final_no == 0 && p->macro && !(p->state & OBJ_CHOSEN)) {
        p->state |= OBJ_CHOSEN;
        spread = true;
      }
    }
  }
  if (spread) {
    for (object* cand = fig->first; cand; cand = cand->next) {
      if (!(cand->state & OBJ_CHOSEN) || flagged(cand)) continue;
      cand->state |= OBJ_WALK;
      bool alive = false;
      for (object* o = cand->next; o; o = o->next) {
        if (!parent_has(o, OBJ_WALK)) continue;
        if (flagged(o) || (o->state & OBJ_CHOSEN)) {
          o->state |= OBJ_WALK;
        } else {
          alive = true;
          break;
        }
      }
      clear_object_flags(OBJ_WALK);
      if (!alive) {
        cand->state |= OBJ_TO_DELETE;
        for (object* o = cand->next; o; o = o->next)
          if (parent_has(o, OBJ_TO_DELETE)) o->state |= OBJ_TO_DELETE;
      }
    }
  }
  clear_object_flags(OBJ_CHOSEN);
}

void free_marked_objects() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return;
  int axes = 0;
  bool changed = false;
  for (object* o = fig->first; o; o = o->next)
    if (type_of(o) == TYPE_AXES) ++axes;
  for (object* o = fig->first; o;) {
    object* next = o->next;
    if (!flagged(o)) {
      o = next;
      continue;
    }
    if (o == fig->cur2 && axes == 1) fig->cur2 = nullptr;
    for (dyn_array_object* list : {fig->list3, fig->list4, fig->inputs}) objlist_remove_item(list, o);
    clear_macro_data_refs(o);
    if (type_of(o) == TYPE_TEXT)
      for (int i = 0; i < o->nbparents; ++i) {
        object* p = o->parents ? o->parents[i] : nullptr;
        if (!p || flagged(p) || type_of(p) != TYPE_NUMBER) continue;
        p->aux2 &= ~(kBoxKeptInText | kDrawnByText);
        if (p->valeurs && p->te) {
          p->valeurs[0].h = p->te->pos.x;
          p->valeurs[0].v = p->te->pos.y;
        }
      }
    if (o == fig->moving) fig->moving = nullptr;
    if (o == fig->cur_text) fig->cur_text = nullptr;
    if (o == fig->cur2) fig->cur2 = nullptr;
    if (o == fig->table_object) fig->table_object = nullptr;
    // The user's selection waits aside while a tool borrows the field.
    objlist_remove_item(fig->selection, o);
    if (saved_selection) objlist_remove_item(saved_selection, o);
    objlist_remove_item(&picked, o);
    destroy_object(o);
    fig->nbobj -= 1;
    changed = true;
    o = next;
  }
  if (changed) KPGeoDocument::_do_dirty(fig);
  for (object* o = fig->first; o; o = o->next)
    if (type_of(o) == TYPE_AXES) {
      fig->cur2 = o;
      break;
    }
  renumber_objects();
  for (object* o = fig->first; o; o = o->next)
    if (type_of(o) == TYPE_INTERSECTION_SET) collect_points_on_objects(o);
  compact_record_pool(fig);
}

void delete_object_quietly(object* obj) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !obj) return;
  flag_for_deletion(obj);
  spread_deletion(fig);
  flag_unused_intermediates();
  drop_deleted_param_colors(fig);
  free_marked_objects();
}

void delete_objects(object* obj) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return;
  if (!obj && objlist_count(fig->selection) == 0) return;
  const tool_hooks& h = tool_services();
  TErec* edited = fig->cur_text ? fig->cur_text->te : nullptr;
  if (fig->cur_text && h.switch_text_edit_object) h.switch_text_edit_object(nullptr);

  if (!obj) {
    // The selection changes while it is walked: work on a copy.
    std::vector<std::pair<object*, uint16_t>> picks;
    for (int i = 0; fig->selection->items && fig->selection->items[i]; ++i)
      picks.emplace_back(fig->selection->items[i], fig->selection->tags ? fig->selection->tags[i] : 0);
    for (const auto& [s, tag] : picks) {
      if (!object_can_be_deleted(s) || s->num < 3) continue;
      if (is_labelable_object(s) && tag >= kLabelTag && s->te) {
        free_text_window(s->te);
        s->te = nullptr;
      } else if (type_of(s) == TYPE_TEXT && tag > kTextBodyTag) {
        drop_text_reference(nullptr, static_cast<uint16_t>(tag - kTextBodyTag), s);
      } else {
        flag_for_deletion(s);
      }
    }
    clear_selection();
  } else {
    flag_for_deletion(obj);
  }

  spread_deletion(fig);
  flag_unused_intermediates();
  drop_deleted_param_colors(fig);
  free_marked_objects();
  if (h.delete_empty_text_objects) h.delete_empty_text_objects();
  objlist_clear(&picked);

  if (edited && h.switch_text_edit_object)
    for (object* o = fig->first; o; o = o->next)
      if (o->te == edited) {
        h.switch_text_edit_object(o);
        break;
      }
  after_deletion_display(fig);
}

void cancel_last_selection(uint8_t erase, uint8_t remove) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || objlist_count(fig->inputs) == 0) return;
  auto_point = 0;
  mark_arguments = 0;
  nested_active = 0;
  std::vector<std::pair<object*, uint16_t>> picks;
  for (int i = 0; fig->inputs->items[i]; ++i)
    picks.emplace_back(fig->inputs->items[i], fig->inputs->tags ? fig->inputs->tags[i] : 0);
  object* last = picks.back().first;
  picks.pop_back();
  bool wanted = false;
  if (last && (last->state & OBJ_NEW)) {
    if (erase) {
      set_object_color(last, back_color);
      redraw_object(last);
    }
    wanted = remove != 0;
    if (last == fig->cur_text && tool_services().switch_text_edit_object)
      tool_services().switch_text_edit_object(nullptr);
  }
  if (last) last->state &= ~OBJ_CHOSEN;
  reset_class_type_marks(current_class);
  clear_object_flags(OBJ_CHOSEN);
  clear_selection();
  objlist_clear(fig->inputs);

  if (wanted && last) {
    // Only the pick itself goes: nothing was built on it yet.
    object* set = nullptr;
    if (last->classe == &classe_ptint && last->nbparents > 0 && last->parents) {
      set = last->parents[0];
      remove_intersection_record(set, last->math.inter_index);
    }
    objlist_remove_item(&picked, last);
    if (fig->cur_text == last) fig->cur_text = nullptr;
    if (fig->moving == last) fig->moving = nullptr;
    destroy_object(last);
    fig->nbobj -= 1;
    if (set && type_of(set) == TYPE_INTERSECTION_SET && intersection_record_count(set) == 0) {
      objlist_remove_item(&picked, set);
      destroy_object(set);
      fig->nbobj -= 1;
    }
    renumber_objects();
  }

  // Replay the remaining picks so that the tool's state is rebuilt.
  if (current_class && current_class->select) {
    for (const auto& [pick, tag] : picks) {
      objlist_clear(&picked);
      objlist_add(&picked, pick, tag);
      current_pick = {pick, tag};
      uint16_t method = 0;
      object* designated = nullptr;
      current_class->select(&method, &designated);
    }
    current_pick = {nullptr, 0};
    objlist_clear(&picked);
  }
  // What the tool accepts follows the picks it holds now: the list was
  // narrowed by the pick taken back.
  setup_current_tool(current_class);
}

void replace_parent_references(object* new_obj, object* start, object* old_obj) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !old_obj || new_obj == old_obj) return;
  for (object* o = start ? start : fig->first; o; o = o->next) {
    if (o == new_obj) continue;
    for (int i = 0; i < o->nbparents; ++i)
      if (o->parents && o->parents[i] == old_obj) o->parents[i] = new_obj;
  }
  for (object* o = fig->first; o; o = o->next) {
    for (objectptrlist* n = o->associated; n; n = n->next)
      if (n->obj == old_obj) n->obj = new_obj;
    for (insert_object* n = o->inserted; n; n = n->next)
      if (n->obj == old_obj) n->obj = new_obj;
    for (param_color* pc : {o->pcolor, o->pfill})
      if (pc)
        for (object** source : {&pc->red, &pc->green, &pc->blue})
          if (*source == old_obj) *source = new_obj;
    if (o->macro && o->macro->im_initials)
      for (int k = 0; k < o->macro->im_nb_initials; ++k)
        if (o->macro->im_initials[k] == old_obj) o->macro->im_initials[k] = new_obj;
  }
  for (dyn_array_object* list : {fig->inputs, fig->selection, fig->list3, fig->list4})
    objlist_replace(list, old_obj, new_obj);
  if (saved_selection) objlist_replace(saved_selection, old_obj, new_obj);
  if (fig->cur_text == old_obj) fig->cur_text = new_obj;
  if (fig->moving == old_obj) fig->moving = new_obj;
  figure_objects_changed(fig);
}

namespace {

// Kahn's order over the dependencies: among the objects whose dependencies
// are all placed, the earliest in the present order comes next. Answers
// whether every object was placed; those caught in a cycle follow the
// others in their present order.
bool order_by(const std::vector<std::vector<uint32_t>>& deps, std::vector<uint32_t>* result) {
  const size_t n = deps.size();
  std::vector<uint32_t> waiting(n, 0);
  std::vector<std::vector<uint32_t>> children(n);
  for (size_t i = 0; i < n; ++i)
    for (uint32_t d : deps[i]) {
      children[d].push_back(static_cast<uint32_t>(i));
      ++waiting[i];
    }
  std::priority_queue<uint32_t, std::vector<uint32_t>, std::greater<uint32_t>> ready;
  for (uint32_t i = 0; i < n; ++i)
    if (waiting[i] == 0) ready.push(i);
  result->clear();
  result->reserve(n);
  std::vector<uint8_t> placed(n, 0);
  while (!ready.empty()) {
    const uint32_t i = ready.top();
    ready.pop();
    result->push_back(i);
    placed[i] = 1;
    for (uint32_t c : children[i])
      if (--waiting[c] == 0) ready.push(c);
  }
  const bool complete = result->size() == n;
  for (uint32_t i = 0; i < n; ++i)
    if (!placed[i]) result->push_back(i);
  return complete;
}

}  // namespace

bool sort_objects_by_dependency() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return true;
  // An object follows its parents, what its text quotes, the initial
  // objects of the macro application that built it and, for a final
  // object, the finals of the same application numbered before it. The
  // present order is kept wherever these allow.
  std::vector<object*> order;
  for (object* o = fig->first; o; o = o->next) order.push_back(o);
  const size_t n = order.size();
  std::unordered_map<const object*, uint32_t> index;
  index.reserve(n);
  for (size_t i = 0; i < n; ++i) index.emplace(order[i], static_cast<uint32_t>(i));
  std::unordered_map<const infomacro*, std::vector<uint32_t>> applications;
  for (size_t i = 0; i < n; ++i)
    if (order[i]->macro) applications[order[i]->macro].push_back(static_cast<uint32_t>(i));

  std::vector<std::vector<uint32_t>> parents(n), deps(n);
  auto add = [&](std::vector<uint32_t>& list, size_t i, const object* p) {
    auto it = p && p != order[i] ? index.find(p) : index.end();
    if (it != index.end() && std::find(list.begin(), list.end(), it->second) == list.end()) list.push_back(it->second);
  };
  for (size_t i = 0; i < n; ++i) {
    const object* o = order[i];
    for (int k = 0; k < o->nbparents; ++k) add(parents[i], i, o->parents ? o->parents[k] : nullptr);
    deps[i] = parents[i];
    for (const insert_object* r = o->inserted; r; r = r->next) add(deps[i], i, r->obj);
    if (const infomacro* im = o->macro) {
      for (int k = 0; im->im_initials && k < im->im_nb_initials; ++k) add(deps[i], i, im->im_initials[k]);
      if (o->final_no != 0)
        for (uint32_t j : applications[im])
          if (order[j]->final_no != 0 && order[j]->final_no < o->final_no) add(deps[i], i, order[j]);
    }
  }

  // An object that has to move goes after what else belongs with what it
  // follows: the rest of a macro application one of its parents belongs to
  // (an application stays in one piece), and the texts that show what its
  // own text quotes. Whether it moves is read from the present order: one
  // of its dependencies comes later, or has to move itself.
  std::vector<uint8_t> moves(n, 0);
  for (size_t i = 0; i < n; ++i)
    for (uint32_t d : deps[i])
      if (d > i || moves[d]) moves[i] = 1;
  std::unordered_map<const object*, std::vector<uint32_t>> texts_showing;
  bool texts_listed = false;
  std::vector<std::vector<uint32_t>> extended = deps;
  for (size_t i = 0; i < n; ++i) {
    if (!moves[i]) continue;
    const object* o = order[i];
    for (int k = 0; k < o->nbparents; ++k) {
      const object* p = o->parents ? o->parents[k] : nullptr;
      if (!p || !p->macro || p->macro == o->macro) continue;
      for (uint32_t j : applications[p->macro])
        if (j > i) add(extended[i], i, order[j]);
    }
    if (o->inserted && !texts_listed) {
      texts_listed = true;
      for (size_t j = 0; j < n; ++j) {
        const object* t = order[j];
        if (type_of(t) != TYPE_TEXT) continue;
        for (int k = 0; k < t->nbparents; ++k)
          if (t->parents && t->parents[k]) texts_showing[t->parents[k]].push_back(static_cast<uint32_t>(j));
      }
    }
    for (const insert_object* r = o->inserted; r; r = r->next) {
      auto it = r->obj ? texts_showing.find(r->obj) : texts_showing.end();
      if (it == texts_showing.end()) continue;
      for (uint32_t j : it->second)
        if (j > i) add(extended[i], i, order[j]);
    }
  }

  // What a dependency beyond the parents would make circular is given up,
  // those added for a move first; a cycle of parents is reported.
  std::vector<uint32_t> sorted;
  bool complete = order_by(parents, &sorted);
  if (complete && !order_by(extended, &sorted) && !order_by(deps, &sorted)) order_by(parents, &sorted);
  object* prev = nullptr;
  for (uint32_t i : sorted) {
    object* o = order[i];
    o->prev = prev;
    o->next = nullptr;
    if (prev) prev->next = o;
    prev = o;
  }
  fig->first = n ? order[sorted.front()] : nullptr;
  fig->last_hint = prev;
  figure_objects_changed(fig);
  renumber_objects();
  for (object* o = fig->first; o; o = o->next)
    if (type_of(o) == TYPE_INTERSECTION_SET) collect_points_on_objects(o);
  return complete;
}
