#include "app/kernel_iface/figure_description.h"

#include <cstring>
#include <unordered_map>

#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/label_text.h"
#include "kernel/text/text_record.h"

namespace {

const char* name_of(const object* o) { return o && o->te && o->te->text && o->te->text[0] ? o->te->text : nullptr; }

bool is_text(const object* o) { return o && o->otype == &type_text; }
bool is_number(const object* o) { return o && o->otype == &type_number; }
bool is_intermediate(const object* o) { return o->final_no == 0 && o->macro; }

const char* class_name(const construct_class* cls) {
  if (!cls) return nullptr;
  if (cls->name && cls->name[0]) return cls->name;
  return cls->english_name;
}

// Whether every reference of the text is o, or (for an equation or
// coordinates) another such object on the same parent.
bool text_shows_only_object(const object* text, const object* o) {
  if (!text) return true;
  for (const insert_object* r = text->inserted; r; r = r->next) {
    if (r->obj == o) continue;
    if (o->classe == &classe_equation && r->obj && r->obj->classe == &classe_equation && r->obj->nbparents > 0 &&
        o->nbparents > 0 && r->obj->parents[0] == o->parents[0])
      continue;
    return false;
  }
  return true;
}

// The number a text shows alone, or null.
const object* find_construct_component(const object* text) {
  if (!is_text(text) || !text->inserted) return nullptr;
  for (const insert_object* r = text->inserted; r; r = r->next)
    if (is_number(r->obj)) return text_shows_only_object(text, r->obj) ? r->obj : nullptr;
  return nullptr;
}

bool class_named_in_description(const construct_class* cls) {
  static const char* const kNamed[] = {"PReg", "Pt/",   "IntSet", "Int",   "PolReg",  "Mid",   "PBiss",   "Par",
                                       "Perp", "Biss",  "Transf", "Tran",  "Refl",    "Sym",   "Rot",     "Dil",
                                       "Inv",  "Lgth",  "Area",   "Slo",   "AngVal",  "Eq/Co", "Col?",    "Par?",
                                       "Perp?", "Equi?", "IsOn?", "Formula", "Exp_num_App", "Exp_num"};
  if (!cls || !cls->short_name) return false;
  for (const char* n : kNamed)
    if (std::strcmp(n, cls->short_name) == 0) return true;
  return false;
}

// The type's name after its first blank when something follows it, one
// leading byte 1 skipped.
std::string type_name_tail(const char* name) {
  if (!name) return {};
  if (*name == 1) ++name;
  const char* blank = std::strchr(name, ' ');
  if (blank && blank[1]) return blank + 1;
  return name;
}

void bound(std::string& text) {
  if (text.size() > kDescriptionTextLimit) {
    text.resize(kDescriptionTextLimit - 3);
    text += "...";
  }
}

void blank_controls(std::string& text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 32) c = ' ';
}

// Every macro whose password is `password` (and, with `also_without`, every
// macro without one) counts as unlocked.
void unlock_macros_with(const char* password, bool also_without) {
  for (int k = 0; class_list != nullptr && class_list[k] != nullptr; ++k) {
    construct_class* cls = class_list[k];
    if (!is_macro_class(cls)) continue;
    const char* own = macro_password(cls);
    if ((own == nullptr && also_without) || (own != nullptr && password != nullptr && std::strcmp(own, password) == 0))
      set_macro_password_state(cls, 2);
  }
}

bool ask(const char* password) { return validate_macro_password != nullptr && validate_macro_password(password); }

// Asks a protected macro's password when it was never asked: given, every
// macro with that password is unlocked; refused, this one stays locked.
void ask_macro_password_once(construct_class* cls) {
  const char* password = macro_password(cls);
  if (password == nullptr || macro_password_state(cls) != 0) return;
  if (ask(password)) {
    set_macro_password_state(cls, 2);
    unlock_macros_with(password, false);
  } else {
    set_macro_password_state(cls, 1);
  }
}

using reference_index = std::unordered_map<const object*, std::vector<const object*>>;

// The texts referencing each object, built once per walk.
reference_index text_references(const kelvo_win_info* fig) {
  reference_index index;
  for (const object* t = fig ? fig->first : nullptr; t; t = t->next)
    if (is_text(t))
      for (const insert_object* r = t->inserted; r; r = r->next)
        if (r->obj) {
          auto& texts = index[r->obj];
          if (texts.empty() || texts.back() != t) texts.push_back(t);
        }
  return index;
}

bool lists_object(const object* o, const description_state* s, const reference_index& refs) {
  if (!o) return false;
  if (o->classe == &classe_interset) return false;
  if (o->macro && o->final_no == 0 && is_optional_class(o->macro->im_class)) return false;
  if (o->state & OBJ_UNDEFINED) return false;
  if (is_number(o)) {
    // A number that only texts showing just it quote is shown by them.
    auto it = refs.find(o);
    if (it != refs.end()) {
      bool only = true;
      for (const object* t : it->second)
        if (!text_shows_only_object(t, o)) only = false;
      if (only) return false;
    }
  }
  const bool show_hidden = s && s->show_hidden;
  const bool show_interim = s && s->show_interim;
  // A protected macro applied after the list began to show intermediate
  // objects: its password is asked when its objects would be listed.
  if (show_interim && is_intermediate(o) && o->macro->im_class) ask_macro_password_once(o->macro->im_class);
  if (o->state & OBJ_NEW) return false;
  if (!is_intermediate(o)) return o->settings.visible || show_hidden;
  if (!show_interim) return false;
  const construct_class* cls = o->macro->im_class;
  return !macro_password(cls) || macro_password_state(cls) == 2;
}

}  // namespace


bool toggle_intermediate_objects(kelvo_win_info* fig, description_state* s) {
  if (s == nullptr) return false;
  if (!s->show_interim && fig != nullptr) {
    if (fig->password != nullptr && !fig->password_given) {
      if (!ask(fig->password)) return false;
      fig->password_given = 1;
    }
    if (fig->password != nullptr) unlock_macros_with(fig->password, true);
    for (const object* o = fig->first; o != nullptr; o = o->next) {
      if (!is_intermediate(o) || o->macro->im_class == nullptr) continue;
      construct_class* cls = o->macro->im_class;
      const char* password = macro_password(cls);
      if (password == nullptr || macro_password_state(cls) != 0) continue;
      if (!ask(password)) {
        set_macro_password_state(cls, 1);
        return false;
      }
      set_macro_password_state(cls, 2);
      unlock_macros_with(password, false);
    }
  }
  s->show_interim = !s->show_interim;
  return true;
}

bool description_lists_object(const object* o, const description_state* s) {
  reference_index refs;
  if (is_number(o)) {
    // Find the figure through the list the object sits in.
    const object* first = o;
    while (first->prev) first = first->prev;
    for (const object* t = first; t; t = t->next)
      if (is_text(t))
        for (const insert_object* r = t->inserted; r; r = r->next)
          if (r->obj == o) {
            refs[o].push_back(t);
            break;
          }
  }
  return lists_object(o, s, refs);
}

std::string describe_object(const object* o, const description_state* s) {
  std::string text;
  if (!o) return text;
  const bool intersection_point = o->classe == &classe_ptint;
  const type* t = intersection_point ? &type_interset : o->otype;
  text = type_name_tail(t ? t->name : nullptr);
  if (text.empty()) return text;
  if (text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
  const char* construction = nullptr;
  if (o->macro && o->macro->im_class && !(s && s->show_interim && !is_optional_class(o->macro->im_class))) {
    construction = class_name(o->macro->im_class);
  } else if (intersection_point) {
    construction = class_name(&classe_interset);
  } else if (const object* number = find_construct_component(o)) {
    construction = class_name(number->classe);
  } else if (class_named_in_description(o->classe)) {
    construction = class_name(o->classe);
  }
  if (construction && construction[0]) {
    text += " (";
    text += construction;
    text += ')';
  }
  bound(text);
  return text;
}

description_line describe_object_name(const object* o, const description_state* s) {
  description_line line;
  if (!o) return line;
  if (o->te && o->te->text) {
    if (is_text(o) && o->inserted) {
      for (const char* p = o->te->text; *p;) {
        uint16_t len = 0;
        if (const insert_object* r = find_text_reference_at(p, o->inserted, &len); r && len > 0) {
          if (const char* n = name_of(r->obj)) line.object_text += n;
          p += len;
        } else {
          line.object_text += *p++;
        }
        if (line.object_text.size() > kDescriptionTextLimit) break;
      }
    } else {
      line.object_text = o->te->text;
    }
  }
  line.type_text = describe_object(o, s);
  const object* source = o;
  if (o->classe == &classe_locus) {
    line.type_text += ": ";
    const char* a = o->nbparents > 0 ? name_of(o->parents[0]) : nullptr;
    const char* b = o->nbparents > 1 ? name_of(o->parents[1]) : nullptr;
    line.type_text += a ? a : "_";
    line.type_text += ", ";
    line.type_text += b ? b : "_";
  } else {
    if (o->classe == &classe_ptint && o->nbparents > 0 && o->parents[0]) {
      source = o->parents[0];
    } else if (const object* number = find_construct_component(o)) {
      source = number;
    }
    if (source->nbparents > 0) {
      line.type_text += ": ";
      for (int i = 0; i < source->nbparents && line.type_text.size() <= kDescriptionTextLimit; ++i) {
        const char* n = name_of(source->parents[i]);
        line.type_text += n ? n : "_";
        line.type_text += ", ";
      }
      if (!line.type_text.empty() && line.type_text.back() == ' ') line.type_text.pop_back();
      if (!line.type_text.empty() && line.type_text.back() == ',') line.type_text.pop_back();
    }
  }
  if (source->classe == &classe_aire || source->classe == &classe_equation) {
    if (const char* expanded = expand_label_controls(line.object_text.c_str(), 0)) line.object_text = expanded;
  }
  blank_controls(line.object_text);
  blank_controls(line.type_text);
  bound(line.object_text);
  bound(line.type_text);
  return line;
}

bool is_parent_in_description(const object* sel, const object* o) {
  if (!sel || !o) return false;
  if ((sel->classe == &classe_milieu || sel->classe == &classe_mediatrice) && sel->nbparents > 0 && sel->parents[0]) {
    const object* poly = sel->parents[0];
    if (poly->otype == &type_triangle || poly->otype == &type_polygon || poly->otype == &type_regular_polygon) {
      const int n = poly->nbparents;
      if (n <= 0) return false;
      const int i = sel->math.side.index;
      return poly->parents[i % n] == o || poly->parents[(i + 1) % n] == o;
    }
  }
  for (int i = 0; i < sel->nbparents; ++i)
    if (sel->parents[i] == o) return true;
  if (is_text(sel))
    for (const insert_object* r = sel->inserted; r; r = r->next)
      if (r->obj == o) return true;
  return false;
}

std::vector<object*> description_objects(const kelvo_win_info* fig, const description_state* s) {
  std::vector<object*> rows;
  if (!fig) return rows;
  const reference_index refs = text_references(fig);
  for (object* o = fig->first; o; o = o->next)
    if (lists_object(o, s, refs)) rows.push_back(o);
  return rows;
}

std::string description_plain_text(const kelvo_win_info* fig, const description_state* s) {
  std::string out;
  for (const object* o : description_objects(fig, s)) {
    const description_line line = describe_object_name(o, s);
    out += line.object_text;
    out += '\t';
    out += line.type_text;
    out += "\r\n";
  }
  return out;
}

uint32_t description_line_color(const object* o) {
  if (o && is_intermediate(o)) return kDescriptionLime;
  if (o && !o->settings.visible) return kDescriptionLightGray;
  return kDescriptionBlack;
}
