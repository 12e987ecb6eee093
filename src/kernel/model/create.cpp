#include "kernel/model/create.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/file_state.h"
#include "kernel/model/classes.h"
#include "kernel/model/deletion.h"
#include "kernel/model/identical.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/recompute.h"
#include "kernel/model/units.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/draw_object.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/tool_state.h"
#include "platform/kp_dialog.h"

namespace {

// The option key in the kernel's modifier word (Alt on this platform).
constexpr uint16_t kOptionKey = 8;

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }

object* parent(const object* o, int i) {
  return o && o->parents && i >= 0 && i < o->nbparents ? o->parents[i] : nullptr;
}

bool is_polygonal(uint16_t t) { return t == TYPE_TRIANGLE || t == TYPE_POLYGON; }

// What one designated parent adds to the side code.
uint32_t parent_contribution(const object* p, uint16_t tag) {
  switch (type_of(p)) {
    case TYPE_TRIANGLE:
    case TYPE_POLYGON:
    case TYPE_CIRCLE:
    case TYPE_ARC:
    case TYPE_CONIC:
      return tag;
    case TYPE_AXES:
      return (tag == 1 || tag == 3) ? 1 : 2;
    default:
      return 0;
  }
}

// Which `side` byte keeps each half of the side code, by class and by the
// types of the first two parents.
enum side_field { SIDE_NONE, SIDE_INDEX, SIDE_INDEX2 };
struct side_rule {
  side_field low = SIDE_NONE;
  side_field high = SIDE_NONE;
};

side_rule side_rule_for(const construct_class* cls, uint16_t t0, uint16_t t1, int nbparents) {
  side_rule r;
  const bool poly0 = is_polygonal(t0), poly1 = is_polygonal(t1);
  if (cls == &classe_milieu || cls == &classe_mediatrice) {
    if (poly0) r.low = SIDE_INDEX;
  } else if (cls == &classe_parallelism || cls == &classe_perpendism) {
    if (poly0 || t0 == TYPE_AXES) r.low = SIDE_INDEX;
    if (poly1 || t1 == TYPE_AXES) r.high = SIDE_INDEX2;
  } else if (cls == &classe_symetriquedr || cls == &classe_perpendiculaire || cls == &classe_parallele) {
    if (poly1 || t1 == TYPE_AXES) r.high = SIDE_INDEX;
  } else if (cls == &classe_length || (cls == &classe_text && nbparents >= 2) || cls == &classe_membership) {
    if (t1 == TYPE_AXES) r.high = SIDE_INDEX;
  } else if (cls == &classe_compas3) {
    if (t0 == TYPE_AXES) r.low = SIDE_INDEX;
  }
  return r;
}

uint8_t& side_byte(math_info& m, side_field f) { return f == SIDE_INDEX ? m.side.index : m.side.index2; }
uint8_t side_byte(const math_info& m, side_field f) { return f == SIDE_INDEX ? m.side.index : m.side.index2; }

// Puts each pick into the first empty parent slot whose argument code
// accepts it, building the side code on the way. A pick that fits no code
// goes into the first slot left empty, so that no parent is ever null.
uint32_t slot_parents(object* o, const TYPEOBJ* args, object** picks, const uint16_t* tags, int n) {
  uint32_t code = 0;
  // Most objects have a few parents: their marks need no heap block.
  char few[16] = {};
  std::vector<char> many(n > 16 ? static_cast<size_t>(n) : 0, 0);
  char* placed = n > 16 ? many.data() : few;
  for (int i = 0; i < n; ++i) {
    const uint16_t t = type_of(picks[i]);
    int slot = 0;
    for (int pos = 0; args && args[pos] && slot < n; ++slot) {
      const TYPEOBJ c = args[pos] % 0x4000;
      bool accepts;
      int next;
      if (c > ARG_ONE_OF && c != ARG_REPEAT) {
        const int alternatives = c - ARG_ONE_OF;
        accepts = false;
        int k = 1;
        for (; k <= alternatives && args[pos + k]; ++k)
          if (args[pos + k] % 0x4000 == t) accepts = true;
        next = pos + k;
      } else {
        accepts = argument_code_accepts(c, t);
        next = pos + 1;
      }
      if (accepts && !o->parents[slot]) {
        o->parents[slot] = picks[i];
        placed[i] = true;
        const uint32_t part = parent_contribution(picks[i], tags ? tags[i] : 0);
        code |= slot == 0 ? part : part << 16;
        break;
      }
      pos = next;
    }
  }
  for (int i = 0; i < n; ++i) {
    if (placed[i]) continue;
    for (int slot = 0; slot < n; ++slot)
      if (!o->parents[slot]) {
        o->parents[slot] = picks[i];
        break;
      }
  }
  return code;
}

bool takes_picks_in_order(const construct_class* cls, const construct_method* m) {
  if (m && m->args && m->args[0] % 0x4000 == ARG_REPEAT) return true;
  return cls == &classe_locus || cls == &classe_text || cls == &classe_exp_num || cls == &classe_table;
}

// Gives the object's text record the pending expression text.
void take_expression_text(object* o) {
  const char* text = static_cast<const char*>(pending_extra[0]);
  if (!text || !o->te) return;
  const size_t len = std::strlen(text);
  if (len >= 0x7FFFFFFF) return;
  GlobalEnsureSize(&o->te->text, static_cast<uint32_t>(len + 1), 1);
  if (!o->te->text || GlobalSize(o->te->text) < len + 1) return;
  std::memcpy(o->te->text, text, len + 1);
  o->te->length = static_cast<int32_t>(len);
  o->te->sel_start = 0;
  o->te->sel_end = 0;
}

// A point built on a polygon (as a point on it or by a transfer along it):
// the polygon, or null.
object* polygon_carrier(object* pt) {
  if (type_of(pt) != TYPE_POINT) return nullptr;
  if (pt->classe != &classe_ptsur && pt->classe != &classe_compas3) return nullptr;
  object* carrier = parent(pt, 0);
  return is_polygonal(type_of(carrier)) ? carrier : nullptr;
}

// The polygon a point lies on, and every triangle or polygon having the
// point as a vertex.
void collect_polygons_of(kelvo_win_info* fig, object* pt, object** out, int& n, int cap) {
  auto add = [&](object* p) {
    if (p && n < cap && std::find(out, out + n, p) == out + n) out[n++] = p;
  };
  add(polygon_carrier(pt));
  for (object* o = fig->first; o; o = o->next)
    if (is_polygonal(type_of(o)) && o->parents)
      for (int i = 0; i < o->nbparents; ++i)
        if (o->parents[i] == pt) add(o);
}

// The search for an identical object looks among the children of a parent
// of the new object rather than through the whole figure. This index of a
// figure's objects by parent, with their places in the list, stays current
// while objects are only created; any other change to the list or to the
// parents (the figure's stamp moves) has it rebuilt at the next search.
struct IdentityIndex {
  kelvo_win_info* fig = nullptr;
  uint64_t stamp = 0;
  uint32_t next_place = 0;
  std::unordered_map<const object*, uint32_t> place;
  std::unordered_map<const object*, std::vector<object*>> children;

  bool current(const kelvo_win_info* f, uint64_t s) const { return fig == f && stamp == s && s != 0; }

  void add(object* o) {
    place[o] = next_place++;
    for (int i = 0; i < o->nbparents && o->parents; ++i) {
      object* p = o->parents[i];
      if (!p) continue;
      std::vector<object*>& list = children[p];
      if (list.empty() || list.back() != o) list.push_back(o);
    }
  }

  // The objects of `f` but `left_out`, as at stamp `s`.
  void rebuild(kelvo_win_info* f, const object* left_out, uint64_t s) {
    fig = f;
    stamp = s;
    next_place = 0;
    place.clear();
    children.clear();
    for (object* o = f->first; o; o = o->next)
      if (o != left_out) add(o);
  }
  void rebuild(kelvo_win_info* f, const object* left_out) { rebuild(f, left_out, f->list_stamp); }

  const std::vector<object*>& children_of(const object* p) const {
    static const std::vector<object*> none;
    auto it = children.find(p);
    return it == children.end() ? none : it->second;
  }
};
IdentityIndex identity_index;

// After create_object kept `o`, last of the list: the index follows when it
// was current just before `o` joined the figure and nothing else changed.
void index_created_object(kelvo_win_info* fig, uint64_t stamp_before, uint64_t stamp_joined, object* o) {
  if (!identity_index.current(fig, stamp_before) || fig->list_stamp != stamp_joined) return;
  identity_index.add(o);
  identity_index.stamp = fig->list_stamp;
}

bool is_side_carrier(const object* o) {
  const uint16_t t = type_of(o);
  return t == TYPE_SEGMENT || t == TYPE_VECTOR || is_polygonal(t);
}

// The first object of the figure, in list order, that the method's test
// finds identical to `fresh`, as a walk of the whole figure finds it. The
// index is current for the figure (with or without `fresh`).
object* search_identical(kelvo_win_info* fig, object* fresh) {
  const construct_method* m = class_method(fresh->classe, fresh->methode);
  if (!m || !m->ident) return nullptr;
  auto search_all = [&]() -> object* {
    for (object* o = fig->first; o; o = o->next)
      if (o != fresh && m->ident(fresh, o)) return o;
    return nullptr;
  };
  const identity_scope scope = identity_scope_of(fresh, m->ident);
  if (!scope.known) return search_all();
  const IdentityIndex& index = identity_index;
  object* best = nullptr;
  uint32_t best_place = std::numeric_limits<uint32_t>::max();
  bool lost = false;
  auto consider = [&](object* o) {
    if (!o || o == fresh) return;
    auto at = index.place.find(o);
    if (at == index.place.end()) {
      lost = true;
      return;
    }
    if (at->second < best_place && m->ident(fresh, o)) {
      best = o;
      best_place = at->second;
    }
  };
  // Of the objects every candidate has as a parent, the one with the fewest
  // children.
  auto fewest_children = [&](object* const* among, int n) -> object* {
    object* pick = nullptr;
    size_t least = std::numeric_limits<size_t>::max();
    for (int i = 0; i < n; ++i) {
      if (!among[i]) continue;
      const size_t k = index.children_of(among[i]).size();
      if (k < least) least = k, pick = among[i];
    }
    return pick;
  };
  for (int g = 0; g < scope.group_count; ++g) {
    const identity_scope::group& group = scope.groups[g];
    object* anchor = group.all_parents ? fewest_children(fresh->parents, fresh->nbparents)
                                       : fewest_children(group.common, 2);
    // Parents all missing: nothing narrows the search.
    if (!anchor) return search_all();
    for (object* o : index.children_of(anchor)) {
      consider(o);
      if (group.through_sides && is_side_carrier(o))
        for (object* c : index.children_of(o)) consider(c);
    }
  }
  for (object* single : scope.singles) consider(single);
  return lost ? search_all() : best;
}

}  // namespace

void set_object_side_info(object* obj, uint32_t code) {
  if (!obj) return;
  if (obj->classe == &classe_ptint) {
    obj->math.inter_index = code;
    return;
  }
  const side_rule r = side_rule_for(obj->classe, type_of(parent(obj, 0)), type_of(parent(obj, 1)), obj->nbparents);
  if (r.low != SIDE_NONE) side_byte(obj->math, r.low) = static_cast<uint8_t>(code & 0xFFFF);
  if (r.high != SIDE_NONE) side_byte(obj->math, r.high) = static_cast<uint8_t>(code >> 16);
}

uint32_t pack_object_side_info(const object* obj) {
  if (!obj) return 0;
  if (obj->classe == &classe_ptint) return obj->math.inter_index;
  const side_rule r = side_rule_for(obj->classe, type_of(parent(obj, 0)), type_of(parent(obj, 1)), obj->nbparents);
  uint32_t low = r.low != SIDE_NONE ? side_byte(obj->math, r.low) : 0;
  uint32_t high = r.high != SIDE_NONE ? side_byte(obj->math, r.high) : 0;
  return high << 16 | low;
}

uint32_t pack_parent_side_info(const construct_class* cls, uint32_t side_bytes, const object* p, int position) {
  math_info m;
  m.bitsfield = side_bytes;
  if (cls == &classe_ptint) return m.inter_index;
  const uint16_t t = type_of(p);
  if (position == 0) {
    const side_rule r = side_rule_for(cls, t, 0, 2);
    return r.low != SIDE_NONE ? side_byte(m, r.low) : 0;
  }
  const side_rule r = side_rule_for(cls, 0, t, 2);
  return r.high != SIDE_NONE ? side_byte(m, r.high) : 0;
}

void apply_polygon_modifier(object* obj) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !obj || obj->nbparents != 2 || !KPEventsWrapper::modifierKeyDown(kOptionKey)) return;
  object* a = parent(obj, 0);
  object* p = parent(obj, 1);
  if (is_polygonal(type_of(p)) && polygon_carrier(a) == p) {
    // The side a point on a polygon lies on is the whole part of its
    // parameter; a transfer keeps no side yet.
    if (a->classe == &classe_ptsur && a->data) {
      const double s = *static_cast<const double*>(a->data);
      const int n = p->nbparents > 0 ? p->nbparents : 1;
      const int side = static_cast<int>(s) % n;
      if (obj->math.side.index == side) obj->math.side.side_of_point = 1;
    }
    return;
  }
  if (current_class != &classe_length || type_of(a) != TYPE_POINT || type_of(p) != TYPE_POINT) return;
  constexpr int kCap = 64;
  object* first[kCap];
  object* second[kCap];
  int n1 = 0, n2 = 0;
  if (polygon_carrier(a)) collect_polygons_of(fig, a, first, n1, kCap);
  if (polygon_carrier(p)) collect_polygons_of(fig, p, second, n2, kCap);
  object* common = nullptr;
  int count = 0;
  for (int i = 0; i < n2; ++i)
    if (std::find(first, first + n1, second[i]) != first + n1) {
      common = second[i];
      ++count;
    }
  if (count != 1) return;
  auto** parents = alloc_block<object*>(3);
  if (!parents) return;
  parents[0] = a;
  parents[1] = p;
  parents[2] = common;
  GlobalFreeAndNull(&obj->parents);
  obj->parents = parents;
  obj->nbparents = 3;
}

object* create_object(uint16_t method, uint16_t* created, uint8_t compute_now, int16_t final_no,
                      uint8_t skip_identical) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  construct_class* cls = current_class;
  if (!fig || !cls) return nullptr;
  if (method == kNoMethod) return fig->inputs && fig->inputs->items ? fig->inputs->items[0] : nullptr;
  uint16_t created_flag = 0;
  if (!created) created = &created_flag;

  const uint64_t stamp_before = fig->list_stamp;
  object* o = append_new_object();
  if (!o) return nullptr;
  const uint64_t stamp_joined = fig->list_stamp;
  const int32_t nbvals = cls->nbvals == kVariableNbVals ? variable_nb_values : static_cast<int32_t>(cls->nbvals);
  o->nbvaleurs = static_cast<int16_t>(std::clamp<int32_t>(nbvals, 0, INT16_MAX));
  o->otype = cls->ctype;
  o->classe = cls;
  o->methode = static_cast<int16_t>(method);
  o->final_no = final_no;
  construct_method* m = class_method(cls, method);

  if (cls == &classe_spring && pending_spring_data != kNoPendingSpringData) {
    o->data = pending_spring_data;
    pending_spring_data = nullptr;
  }

  // Parents.
  const bool formula_blocks = cls == &classe_calculate || cls == &classe_exp_num_app;
  const int n = cls == &classe_exp_num ? 0 : objlist_count(fig->inputs);
  o->nbparents = static_cast<int16_t>(n);
  const int slots = n + (formula_blocks ? 2 : 0);
  if (slots) {
    o->parents = alloc_block<object*>(static_cast<uint32_t>(slots));
    if (!o->parents) {
      destroy_object(o);
      return nullptr;
    }
  }
  object** picks = n ? fig->inputs->items : nullptr;
  uint16_t* tags = n ? fig->inputs->tags : nullptr;
  uint32_t side = 0;
  if (n && !takes_picks_in_order(cls, m)) {
    side = slot_parents(o, m ? m->args : nullptr, picks, tags, n);
  } else {
    std::copy(picks, picks + n, o->parents);
    if (cls == &classe_calculate) {
      o->parents[n] = static_cast<object*>(pending_extra[0]);
      o->parents[n + 1] = static_cast<object*>(pending_extra[1]);
      pending_extra[0] = pending_extra[1] = nullptr;
    } else if (cls == &classe_text && n >= 2) {
      uint16_t second_tag = tags[1];
      if (type_of(o->parents[0]) != TYPE_POINT && type_of(o->parents[1]) == TYPE_POINT) {
        std::swap(o->parents[0], o->parents[1]);
        second_tag = tags[0];
      }
      if (type_of(o->parents[1]) == TYPE_AXES) side = (second_tag == 1 || second_tag == 3) ? 0x10000 : 0x20000;
    } else if (cls == &classe_locus) {
      for (int i = 0; i < n; ++i)
        if (type_of(o->parents[i]) == TYPE_LOCUS) o->parents[i]->math.locus.nb_pts = 20;
    }
  }
  if (cls == &classe_ptint && side && (side & 0xFFFF) == 0) {
    auto curved = [](const object* p) {
      const uint16_t t = type_of(p);
      return t == TYPE_CIRCLE || t == TYPE_ARC || t == TYPE_CONIC;
    };
    if (curved(parent(o, 0)) && curved(parent(o, 1))) side = side >> 16 | side << 16;
  }

  apply_default_attrs_to_object(o);
  set_object_side_info(o, side);

  if (reading_file) {
    if (cls == &classe_length && method == 1 && n == 3) o->parents[2] = picks[2];
  } else {
    apply_polygon_modifier(o);
  }

  // Values start at the positions of the construction in progress.
  if (o->nbvaleurs) {
    o->valeurs = alloc_block<valeur>(static_cast<uint32_t>(o->nbvaleurs));
    if (!o->valeurs) o->valeurs = alloc_block<valeur>(static_cast<uint32_t>(o->nbvaleurs));
    if (!o->valeurs) {
      destroy_object(o);
      return nullptr;
    }
    const int k = std::min<int>(o->nbvaleurs, kRubberPoints);
    for (int i = 0; i < k; ++i) {
      o->valeurs[i] = rubber_points[i];
      o->valeurs[i].infini_inexist_indetermine = 0;
    }
    if ((cls == &classe_ptsur || cls == &classe_equation) && o->nbvaleurs >= 2)
      o->valeurs[1].h = o->valeurs[0].h + 1.0;
  }

  // Text records.
  const uint16_t t = type_of(o);
  const bool coordinates = cls == &classe_equation && method == 0;
  const bool positioned = t == TYPE_TEXT || cls == &classe_exp_num || coordinates || t == TYPE_NUMBER ||
                          t == TYPE_BUTTON;
  if (positioned || t == TYPE_PROPERTY || t == TYPE_TABLE) {
    if (!init_object_text_records(o)) {
      destroy_object(o);
      return nullptr;
    }
    if (positioned && o->te && o->valeurs) {
      o->valeurs[0].h = o->te->pos.x;
      o->valeurs[0].v = o->te->pos.y;
    }
    if (cls == &classe_exp_num) take_expression_text(o);
  }
  if (coordinates) o->math.equa.format = 0;

  // An identical construction already in the figure.
  if (!skip_identical && final_no == 1) {
    // The index leaves the new object out: it is the list as it was before.
    object* same = nullptr;
    if (fig->list_stamp != stamp_joined) {
      same = find_identical_object(o);
    } else {
      if (!identity_index.current(fig, stamp_before)) identity_index.rebuild(fig, o, stamp_before);
      same = search_identical(fig, o);
    }
    if (same && same->final_no != 0 &&
        !(reading_file && is_transformation_class(cls) && !identstd(o, same))) {
      if (cls == &classe_spring) {
        identity_index.stamp = 0;
        // Whatever named the old spring names the new one.
        replace_parent_references(o, o, same);
        destroy_object(same);
        fig->nbobj -= 1;
        renumber_objects();
      } else {
        const bool indexed = identity_index.current(fig, stamp_before) && fig->list_stamp == stamp_joined;
        destroy_object(o);
        if (indexed) identity_index.stamp = fig->list_stamp;
        if (!same->settings.visible && !reading_file) {
          object* list[2] = {same, nullptr};
          apply_attributes_to_objects(list, nullptr, kAttributeVisible, 0);
        }
        *created = 0;
        return same;
      }
    }
  }

  fig->nbobj += 1;
  o->num = fig->nbobj;
  o->state = 0;
  index_created_object(fig, stamp_before, stamp_joined, o);

  if (t == TYPE_AXES && count_objects_of_type(TYPE_AXES) == 1) fig->cur2 = o;
  if (t == TYPE_EQUATION && type_of(parent(o, 0)) == TYPE_POINT) o->otype = &type_number;
  if (t == TYPE_ANGLE && o->valeurs && o->nbvaleurs >= 2) {
    o->valeurs[0].info.rayon = 1.0;
    o->valeurs[1].info.rayon = 1.0;
  }
  if (t == TYPE_LINE || t == TYPE_RAY) o->settings.smartline_length[0] = -1.0;
  if (t == TYPE_VECTOR && !reading_file) {
    object* end = parent(o, 1);
    if (end && (end->state & OBJ_NEW)) end->settings.graph_type = 0;
  }
  if (t == TYPE_CONIC) o->math.conic_info = 1;

  KPGeoDocument::_do_dirty(fig);
  o->settings.visible = 1;
  *created = 1;
  o->state |= OBJ_NEW;
  if (compute_now) recompute_object(o);
  return o;
}

int create_default_objects() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return 1;
  uint16_t created = 0;
  // The origin and the axes borrow the tool state; the tool in use (a new
  // figure can be made while one is chosen) gets its own back.
  construct_class* const tool_class = current_class;
  default_attr* const tool_attrs = current_default_attrs;
  auto give_back = [&] {
    current_class = tool_class;
    current_default_attrs = tool_attrs;
  };
  current_class = &classe_point;
  current_default_attrs = &default_attrs[ATTRS_POINT];
  objlist_clear(fig->inputs);
  rubber_points[0] = valeur{};
  object* origin = create_object(0, &created, 1, 1, 0);
  if (!origin) {
    fig->nbobj = 0;
    give_back();
    return 1;
  }
  origin->settings.visible = 0;
  origin->state &= ~OBJ_NEW;
  objlist_add(fig->inputs, origin, 0);
  const double u = pixels_per_unit;
  rubber_points[1] = valeur{u, 0, {}, 0};
  rubber_points[2] = valeur{0, -u, {}, 0};

  current_class = &classe_axe;
  current_default_attrs = &default_attrs[ATTRS_AXES];
  object* axes = objlist_count(fig->inputs) == 1 ? create_object(0, &created, 1, 1, 0) : nullptr;
  if (!axes) {
    destroy_object(origin);
    fig->nbobj = 0;
    give_back();
    objlist_clear(fig->inputs);
    return 1;
  }
  axes->settings.visible = 0;
  axes->state &= ~OBJ_NEW;
  give_back();
  objlist_clear(fig->inputs);
  KPGeoDocument::_undo_dirty(fig);
  return 0;
}

object* find_identical_object(object* fresh) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !fresh || !fig->first) return nullptr;
  if (!identity_index.current(fig, fig->list_stamp)) identity_index.rebuild(fig, nullptr);
  return search_identical(fig, fresh);
}

uint32_t count_objects_of_type(int16_t type_id) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  uint32_t n = 0;
  for (object* o = fig ? fig->first : nullptr; o; o = o->next)
    if (o->otype && o->otype->id == static_cast<uint16_t>(type_id)) ++n;
  return n;
}

object* find_unique_axes() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  object* found = nullptr;
  for (object* o = fig ? fig->first : nullptr; o; o = o->next) {
    if (type_of(o) != TYPE_AXES || !o->settings.visible) continue;
    if (found) return nullptr;
    found = o;
  }
  return found;
}

void redraw_object(object* obj) {
  if (!obj) return;
  figure_changed = 1;
  draw_object(static_display, obj);
  draw_object(moving_display, obj);
}
