// define_macro: from the objects marked as initial and final objects to a
// macro method, a new tool or one more method of a macro of that name.
#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/file_services.h"
#include "kernel/macros/macro_dialog.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/identical.h"
#include "kernel/model/memory.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/reference_marker.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/tool_handler.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "kernel/tools/toolbox.h"
#include "kernel/window/main_commands.h"
#include "platform/kernel_services.h"

namespace {

constexpr int kNoInitialRow = 283;
constexpr int kNoFinalRow = 284;
constexpr int kFinalsRemovedRow = 285;
constexpr int kDependencyRow = 286;
constexpr int kTypeRow = 287;

uint16_t type_of(const object* o) { return o != nullptr && o->otype != nullptr ? o->otype->id : 0; }

object* resolve(object* obj, uint16_t tag) {
  if (obj == nullptr) return nullptr;
  if (tool_services().resolve_text_reference != nullptr) {
    object* r = tool_services().resolve_text_reference(obj, tag);
    if (r != nullptr) return r;
  }
  return obj;
}

std::vector<std::pair<object*, uint16_t>> entries(const dyn_array_object* list) {
  std::vector<std::pair<object*, uint16_t>> out;
  for (int i = 0; list != nullptr && i < objlist_count(list); ++i) out.emplace_back(list->items[i], list->tags[i]);
  return out;
}

void set_list(dyn_array_object* list, const std::vector<std::pair<object*, uint16_t>>& items) {
  objlist_clear(list);
  for (const auto& [o, t] : items) objlist_add(list, o, t);
}

bool is_text_holding(const object* text, const object* target) {
  for (insert_object* r = text != nullptr ? text->inserted : nullptr; r != nullptr; r = r->next)
    if (r->obj == target) return true;
  return false;
}

char* copy_text(const char* s) {
  if (s == nullptr) return nullptr;
  const size_t n = std::strlen(s);
  auto* b = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(n + 1)));
  if (b != nullptr) std::memcpy(b, s, n);
  return b;
}

uint32_t* number_block(const std::vector<uint32_t>& v) {
  if (v.empty()) return nullptr;
  auto* b = alloc_block<uint32_t>(static_cast<uint32_t>(v.size()));
  if (b != nullptr) std::memcpy(b, v.data(), v.size() * sizeof(uint32_t));
  return b;
}

// Gives every toolbar item named like the macro its new icon.
void show_new_icon(const char* name, uint8_t* icon) {
  auto refresh = [&](menu* m) {
    if (m == nullptr || m->names == nullptr || m->icons == nullptr || m->icons == kColorPopupIcons) return;
    for (int i = 1; m->names[i] != nullptr; ++i)
      if (std::strcmp(m->names[i], name) == 0) m->icons[i] = icon;
  };
  refresh(trash_toolbox);
  for (int g = 0; tool_menus != nullptr && tool_menus[g] != nullptr; ++g) refresh(tool_menus[g]);
}

void select_initial_object_tool() {
  const uint32_t id = find_tool_id_by_name(toolbar_table[ROW_INITIAL_OBJECT - 1].name);
  if (id != 0 && tool_services().select_tool_item != nullptr)
    tool_services().select_tool_item(static_cast<int16_t>(id >> 16), static_cast<int16_t>(id & 0xFFFF));
}

}  // namespace

bool macro_asks_save(const macro_def* def) { return def != nullptr && (def->macro_def_flags & kMacroOptionSave) != 0; }

construct_class* define_macro() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) return nullptr;
  restore_selection_list();
  auto initials = entries(fig->list3);
  auto finals = entries(fig->list4);
  const bool had_initials = !initials.empty(), had_finals = !finals.empty();
  bool type_refusal = false, dependency_refusal = false, finals_removed = false;
  construct_class* result = nullptr;

  // The initial set: each initial object after its defining points.
  std::vector<object*> initial_set;
  std::vector<object*> initial_objects;
  if (had_initials && had_finals) {
    for (const auto& [entry, tag] : initials) {
      object* o = resolve(entry, tag);
      const uint16_t t = type_of(o);
      if (t == TYPE_TEXT || t == TYPE_PROPERTY || t == TYPE_EQUATION) {
        type_refusal = true;
        break;
      }
      initial_objects.push_back(o);
      const int16_t n = std::min<int16_t>(defining_point_count(o), o->nbparents);
      for (int k = 0; k < n; ++k) initial_set.push_back(o->parents[k]);
      initial_set.push_back(o);
    }
    // A final that is an initial object or defines one is dropped.
    std::erase_if(finals, [&](const std::pair<object*, uint16_t>& f) {
      return std::find(initial_set.begin(), initial_set.end(), resolve(f.first, f.second)) != initial_set.end();
    });
    if (finals.empty()) finals_removed = true;
    set_list(fig->list4, finals);
  }
  const std::unordered_set<const object*> in_initial(initial_set.begin(), initial_set.end());
  std::unordered_map<const object*, int> position;
  {
    int i = 0;
    for (object* o = fig->first; o != nullptr; o = o->next) position[o] = i++;
  }

  // Needed objects: a sweep backwards from each final.
  auto mark_parent = [&](object* p) {
    if (p == nullptr) return;
    p->state |= in_initial.count(p) != 0 ? OBJ_MACRO_DEPENDS : OBJ_MACRO_NEEDED;
  };
  std::vector<object*> final_objects;
  for (const auto& [entry, tag] : finals) {
    if (type_refusal || finals_removed || !had_initials) break;
    object* f = resolve(entry, tag);
    final_objects.push_back(f);
    if (type_of(f) == TYPE_TEXT) {
      bool refers = false;
      for (const auto& [e2, t2] : finals) refers = refers || (resolve(e2, t2) != f && is_text_holding(f, resolve(e2, t2)));
      if (!refers) {
        type_refusal = true;
        break;
      }
    }
    if (in_initial.count(f) == 0) {
      f->state |= OBJ_MACRO_NEEDED;
      if (type_of(f) == TYPE_NUMBER && entry != f && type_of(entry) == TYPE_TEXT && entry->nbparents > 0)
        entry->state |= OBJ_MACRO_NEEDED;
    }
    int furthest = position[f];
    for (object* c = f; c != nullptr;) {
      object* jump = nullptr;
      if ((c->state & OBJ_MACRO_NEEDED) != 0) {
        for (int k = 0; k < c->nbparents && c->parents != nullptr; ++k) {
          object* p = c->parents[k];
          mark_parent(p);
          if (c->classe == &classe_polyreg && p != nullptr && in_initial.count(p) != 0 &&
              p->classe == &classe_point_polyreg)
            dependency_refusal = true;
        }
        for (param_color* pc : {c->pcolor, c->pfill}) {
          if (pc == nullptr) continue;
          for (object* q : {pc->red, pc->green, pc->blue}) {
            if (q == nullptr) continue;
            const bool unmarked = (q->state & (OBJ_MACRO_NEEDED | OBJ_MACRO_DEPENDS)) == 0;
            mark_parent(q);
            if (unmarked && position[q] > furthest && (jump == nullptr || position[q] > position[jump])) jump = q;
          }
        }
      }
      if (jump != nullptr) {
        furthest = position[jump];
        c = jump;
      } else {
        c = c->prev;
      }
    }
  }

  // What depends on the initial objects (a grid never does).
  std::vector<object*> steps;
  if (!type_refusal && !finals_removed && had_initials && had_finals) {
    if (!dependency_refusal) {
      for (object* o : initial_set) o->state |= OBJ_MACRO_DEPENDS;
      for (object* o = fig->first; o != nullptr; o = o->next) {
        if (type_of(o) == TYPE_GRID || (o->state & OBJ_MACRO_DEPENDS) != 0) continue;
        bool depends = false;
        for (int k = 0; k < o->nbparents && o->parents != nullptr && !depends; ++k)
          depends = o->parents[k] != nullptr && (o->parents[k]->state & OBJ_MACRO_DEPENDS) != 0;
        for (insert_object* r = o->inserted; r != nullptr && !depends; r = r->next)
          depends = r->obj != nullptr && (r->obj->state & OBJ_MACRO_DEPENDS) != 0;
        if (depends) o->state |= OBJ_MACRO_DEPENDS;
      }
    }
    for (object* o = fig->first; o != nullptr && !dependency_refusal; o = o->next) {
      if ((o->state & OBJ_MACRO_NEEDED) == 0) continue;
      if ((o->state & OBJ_MACRO_DEPENDS) == 0) dependency_refusal = true;
      else if (o->classe != &classe_interset) steps.push_back(o);
    }
  }

  const bool refused = type_refusal || dependency_refusal || finals_removed || !had_initials || !had_finals ||
                       steps.empty() || steps.size() > static_cast<size_t>(kMaxMacroSteps) ||
                       initial_objects.size() > static_cast<size_t>(kMaxMacroInitials);
  if (!refused) {
    const int n = static_cast<int>(initial_objects.size());
    const int s = static_cast<int>(steps.size());
    std::unordered_map<const object*, int> step_index;
    for (int i = 0; i < s; ++i) step_index[steps[static_cast<size_t>(i)]] = i;

    // The finals, with what a final needs to be shown whole.
    std::vector<std::pair<object*, uint16_t>> extended;
    for (const auto& [e, t] : finals) extended.emplace_back(resolve(e, t), 0);
    auto listed = [&](const object* o) {
      return std::any_of(extended.begin(), extended.end(), [o](const auto& x) { return x.first == o; });
    };
    for (size_t i = 0, end = extended.size(); i < end; ++i) {
      object* f = extended[i].first;
      const int16_t dp = std::min<int16_t>(defining_point_count(f), f->nbparents);
      for (int k = 0; k < dp; ++k)
        if (!listed(f->parents[k])) extended.emplace_back(f->parents[k], 0);
      const bool second = (f->classe == &classe_droite || f->classe == &classe_demidroite ||
                           (f->classe == &classe_cercle && f->nbparents > 1 && f->parents[1]->final_no != 0)) &&
                          f->methode == 1 && f->nbparents > 1;
      if (second && !listed(f->parents[1])) extended.emplace_back(f->parents[1], 0);
    }
    for (const auto& [e, t] : finals)
      if (type_of(e) == TYPE_TEXT && resolve(e, t) != e && !listed(e)) extended.emplace_back(e, 258);
    std::unordered_set<const object*> is_final;
    for (const auto& x : extended)
      if (step_index.count(x.first) != 0) is_final.insert(x.first);

    const int final_steps = static_cast<int>(is_final.size());
    macro_def* def = new_macro_def(n, s, final_steps);
    std::vector<TYPEOBJ> codes;
    for (object* o : initial_objects) codes.push_back(type_of(o) == TYPE_SEGMENT ? TYPEOBJ{ARG_STRAIGHT_BOUNDED} : type_of(o));
    codes.push_back(0);
    auto* args = alloc_block<TYPEOBJ>(static_cast<uint32_t>(codes.size()));
    if (def != nullptr && args != nullptr) {
      std::memcpy(args, codes.data(), codes.size() * sizeof(TYPEOBJ));
      macro_new_arguments = args;
      uint8_t* icon = nullptr;
      char *short_name = nullptr, *help = nullptr, *password = nullptr;
      char* name = run_macro_name_dialog(def, &icon, &short_name, &help, &password);
      macro_new_arguments = nullptr;
      if (name == nullptr) {
        free_macro_def(&def);
      } else {
        // Numbers: the initial set from 1, then the steps.
        std::unordered_map<const object*, uint32_t> number;
        const int p = static_cast<int>(initial_set.size());
        for (int i = 0; i < p; ++i) number.emplace(initial_set[static_cast<size_t>(i)], static_cast<uint32_t>(i + 1));
        for (int i = 0; i < s; ++i) number[steps[static_cast<size_t>(i)]] = static_cast<uint32_t>(p + i + 1);
        auto num = [&](const object* o) -> uint32_t {
          auto it = number.find(o);
          return it != number.end() ? it->second : 0;
        };

        def->macro_def_info[0] = static_cast<int16_t>(s);
        for (int k = 0; k < n; ++k)
          def->macro_def_info[1 + k] = std::min<int16_t>(defining_point_count(initial_objects[static_cast<size_t>(k)]),
                                                         initial_objects[static_cast<size_t>(k)]->nbparents);
        auto first_final = step_index.find(final_objects.empty() ? nullptr : final_objects.front());
        def->macro_def_info[n + 1] = static_cast<int16_t>(first_final != step_index.end() ? first_final->second : -1);
        for (int k = 0; k < n; ++k) {
          object_settings& st = def->macro_def_styles[k];
          st = initial_objects[static_cast<size_t>(k)]->settings;
          if (attrs_equal_default(&st, initial_objects[static_cast<size_t>(k)])) set_attrs_unset(&st);
          st.marked = 0;
        }
        int style = n;
        for (int i = 0; i < s; ++i) {
          object* o = steps[static_cast<size_t>(i)];
          macro_object& mo = def->macro_def_objects[i];
          mo.mo_final = is_final.count(o) != 0 ? 1 : 0;
          if (mo.mo_final != 0) {
            object_settings& st = def->macro_def_styles[style++];
            st = o->settings;
            st.marked = 0;
            st.visible = 1;
          }
          mo.mo_side_info = o->math.bitsfield;
          mo.mo_nb_values = o->nbvaleurs;
          mo.mo_class = o->classe;
          mo.mo_method = static_cast<int16_t>(o->methode);
          std::vector<uint32_t> parents;
          if (type_of(o) == TYPE_LOCUS && o->nbparents > 0) {
            parents = {num(o->parents[0]), num(o->parents[o->nbparents - 1])};
            if (o->classe == &classe_locus) {
              const uint16_t last = type_of(o->parents[o->nbparents - 1]);
              mo.mo_method = last == TYPE_POINT ? 0 : last == TYPE_LINE ? 1 : 2;
            }
          } else if (o->classe == &classe_ptint && o->nbparents > 0 && o->parents[0] != nullptr &&
                     o->parents[0]->nbparents >= 2) {
            parents = {num(o->parents[0]->parents[0]), num(o->parents[0]->parents[1])};
          } else {
            for (int k = 0; k < o->nbparents; ++k) parents.push_back(num(o->parents[k]));
          }
          mo.mo_nb_parents = static_cast<int16_t>(parents.size());
          mo.mo_parents = number_block(parents);
          if (mo.mo_final != 0) {
            auto params = [&](const param_color* pc) -> uint32_t* {
              if (pc == nullptr) return nullptr;
              std::vector<uint32_t> v;
              for (const object* q : {pc->red, pc->green, pc->blue}) {
                const bool counts = q != nullptr && (in_initial.count(q) != 0 ||
                                                     (q->state & (OBJ_MACRO_NEEDED | OBJ_MACRO_DEPENDS)) ==
                                                         (OBJ_MACRO_NEEDED | OBJ_MACRO_DEPENDS));
                v.push_back(counts ? num(q) : 0);
              }
              return v[0] == 0 && v[1] == 0 && v[2] == 0 ? nullptr : number_block(v);
            };
            mo.mo_color_params = params(o->pcolor);
            mo.mo_fill_params = params(o->pfill);
          }
          if (type_of(o) == TYPE_TEXT && o->te != nullptr && o->te->text != nullptr) {
            if (o->inserted == nullptr) {
              mo.mo_text = copy_text(o->te->text);
            } else {
              std::string out;
              std::vector<uint32_t> refs;
              for (const char* c = o->te->text; *c != '\0';) {
                uint16_t len = 0;
                const uint16_t marker = parse_reference_marker(c, &len);
                if (marker == 0) {
                  out.push_back(*c++);
                  continue;
                }
                insert_object* r = find_text_reference(marker, o, o->inserted);
                if (r != nullptr && r->obj != nullptr && (step_index.count(r->obj) != 0 || number.count(r->obj) != 0)) {
                  refs.push_back(num(r->obj));
                  out += format_reference_marker(static_cast<int>(refs.size()));
                }
                c += len;
              }
              mo.mo_text = copy_text(out.c_str());
              mo.mo_text_refs = number_block(refs);
              mo.mo_nb_text_refs = static_cast<int16_t>(refs.size());
            }
          }
          if (o->classe == &classe_calculate && o->parents != nullptr &&
              GlobalSize(o->parents) / sizeof(object*) > static_cast<uint32_t>(o->nbparents))
            mo.mo_formula = copy_text(reinterpret_cast<const char*>(o->parents[o->nbparents]));
        }

        auto* method = alloc_block<construct_method>();
        if (method != nullptr) {
          method->def = def;
          method->ident = identstd;
          method->args = args;
          args = nullptr;
          def = nullptr;
        }
        construct_class* cls = method != nullptr ? find_class_by_name(name, 0) : nullptr;
        if (method == nullptr) {
          GlobalFreeAndNull(&name);
        } else if (cls != nullptr) {
          const bool ok = class_unused_in_figures(cls) ? insert_construct_method_first(cls, method)
                                                       : add_construct_method(cls, method);
          if (!ok) free_macro_method(&method);
          if (icon != nullptr) {
            GlobalFreeAndNull(&cls->icon);
            cls->icon = icon;
            icon = nullptr;
          }
          show_new_icon(cls->name, cls->icon);
          if (files_services().rebuild_tools_panel != nullptr) files_services().rebuild_tools_panel();
          char* old_short = const_cast<char*>(cls->short_name);
          replace_object_ref_in_figures(old_short, short_name);
          GlobalFreeAndNull(&old_short);
          cls->short_name = short_name;
          short_name = nullptr;
          char* old_help = const_cast<char*>(cls->help_text);
          GlobalFreeAndNull(&old_help);
          cls->help_text = help != nullptr ? help : copy_text(default_macro_help());
          help = nullptr;
          set_macro_password(cls, password);
          password = nullptr;
          set_macro_password_state(cls, 0);
          GlobalFreeAndNull(&name);
          result = ok ? cls : nullptr;
        } else if ((cls = new_macro_class()) != nullptr) {
          cls->name = name;
          cls->english_name = name;
          cls->short_name = short_name;
          cls->icon = icon;
          cls->help_text = help != nullptr ? help : copy_text(default_macro_help());
          set_macro_password(cls, password);
          short_name = help = password = nullptr;
          icon = nullptr;
          if (!add_construct_method(cls, method)) {
            free_macro_method(&method);
            free_construct_class(cls);
          } else if (!register_construct_class(cls)) {
            free_construct_class(cls);
          } else {
            add_class_to_tools_menu(cls);
            result = cls;
          }
        } else {
          free_macro_method(&method);
          GlobalFreeAndNull(&name);
        }
        GlobalFreeAndNull(&icon);
        GlobalFreeAndNull(&short_name);
        GlobalFreeAndNull(&help);
        GlobalFreeAndNull(&password);
        if (result != nullptr) for_each_figure_window();
      }
    } else {
      free_macro_def(&def);
    }
    GlobalFreeAndNull(&args);
  }
  clear_definition_flags();
  // The group of a replaced macro served this definition only.
  removed_macro_group = 0;

  if (result != nullptr) {
    objlist_clear(fig->list3);
    objlist_shrink(fig->list3);
    objlist_clear(fig->list4);
    objlist_shrink(fig->list4);
  } else if (finals_removed) {
    message_box_simple(kernel_string(kFinalsRemovedRow));
  } else if (had_initials && !had_finals) {
    message_box_simple(kernel_string(kNoFinalRow));
  } else if (!had_initials && had_finals) {
    message_box_simple(kernel_string(kNoInitialRow));
  } else if (dependency_refusal) {
    message_box_simple(kernel_string(kDependencyRow));
  } else if (type_refusal) {
    message_box_simple(kernel_string(kTypeRow));
  }
  select_initial_object_tool();
  return result;
}
