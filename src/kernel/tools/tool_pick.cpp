#include "kernel/tools/tool_pick.h"

#include <algorithm>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/tools/tool_state.h"

tool_pick current_pick{};
uint8_t designated_crossing = 0;
tagPOINT designated_crossing_pos{};
uint8_t pending_crossing = 0;
tagPOINT pending_crossing_pos{};

namespace {

struct saved_tool {
  construct_class* cls;
  default_attr* attrs;
  valeur rubber[kRubberPoints];
  std::vector<object*> inputs;
  std::vector<uint16_t> tags;
};

std::vector<saved_tool>& tool_stack() {
  static std::vector<saved_tool> stack;
  return stack;
}

// The default attributes of the objects a class builds.
default_attr* attrs_for(const construct_class* cls) {
  const uint16_t t = cls && cls->ctype ? cls->ctype->id : 0;
  switch (t) {
    case TYPE_POINT:
      return &default_attrs[ATTRS_POINT];
    case TYPE_CIRCLE:
    case TYPE_CONIC:
      return &default_attrs[ATTRS_CIRCLE_CONIC];
    case TYPE_ARC:
      return &default_attrs[ATTRS_ARC];
    default:
      return nullptr;
  }
}

// Number of arguments of a method's list: one per code, one per group of
// alternatives; a repeated code accepts any number.
int argument_count(const TYPEOBJ* args, bool* unbounded) {
  int n = 0;
  *unbounded = false;
  for (int pos = 0; args && args[pos];) {
    const TYPEOBJ c = args[pos] % 0x4000;
    if (c == ARG_REPEAT) {
      *unbounded = true;
      ++pos;
      continue;
    }
    ++n;
    if (c > ARG_ONE_OF) {
      int k = 1;
      while (k <= c - ARG_ONE_OF && args[pos + k]) ++k;
      pos += k;
    } else {
      ++pos;
    }
  }
  return n;
}

// Whether argument number `index` of the list accepts type `t`.
bool argument_accepts(const TYPEOBJ* args, int index, uint16_t t) {
  int n = 0;
  for (int pos = 0; args && args[pos];) {
    const TYPEOBJ c = args[pos] % 0x4000;
    if (c == ARG_REPEAT) {
      ++pos;
      if (args[pos] && argument_code_accepts(args[pos] % 0x4000, t)) return true;
      continue;
    }
    if (c > ARG_ONE_OF) {
      bool ok = false;
      int k = 1;
      for (; k <= c - ARG_ONE_OF && args[pos + k]; ++k)
        if (argument_code_accepts(args[pos + k] % 0x4000, t)) ok = true;
      if (n == index) return ok;
      pos += k;
    } else {
      if (n == index) return argument_code_accepts(c, t);
      ++pos;
    }
    ++n;
  }
  return false;
}

}  // namespace

int take_tool_argument(kel_EventRecord*, object** out) {
  if (out) *out = nullptr;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  object* o = current_pick.obj;
  const uint16_t tag = current_pick.tag;
  current_pick = tool_pick{};
  const construct_method* m = class_method(current_class, 0);
  if (!fig || !fig->inputs || !o || !o->otype || !m) return 0;
  const int have = objlist_count(fig->inputs);
  if (!argument_accepts(m->args, have, o->otype->id)) return 0;
  objlist_add(fig->inputs, o, tag);
  if (objlist_count(fig->inputs) != have + 1) return 0;
  if (out) *out = o;
  bool unbounded = false;
  const int needed = argument_count(m->args, &unbounded);
  return !unbounded && have + 1 >= needed ? 1 : 0;
}

bool new_tool_temp_object(construct_class* cls) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  saved_tool s{};
  s.cls = current_class;
  s.attrs = current_default_attrs;
  std::copy(rubber_points, rubber_points + kRubberPoints, s.rubber);
  if (fig && fig->inputs && fig->inputs->items) {
    const int n = objlist_count(fig->inputs);
    s.inputs.assign(fig->inputs->items, fig->inputs->items + n);
    s.tags.assign(fig->inputs->tags, fig->inputs->tags + n);
  }
  tool_stack().push_back(std::move(s));
  current_class = cls;
  current_default_attrs = attrs_for(cls);
  return true;
}

int pop_tool_argument_state() {
  auto& stack = tool_stack();
  if (stack.empty()) return 0;
  saved_tool s = std::move(stack.back());
  stack.pop_back();
  current_class = s.cls;
  current_default_attrs = s.attrs;
  std::copy(s.rubber, s.rubber + kRubberPoints, rubber_points);
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig && fig->inputs) {
    objlist_clear(fig->inputs);
    for (size_t i = 0; i < s.inputs.size(); ++i) objlist_add(fig->inputs, s.inputs[i], s.tags[i]);
  }
  return 1;
}
