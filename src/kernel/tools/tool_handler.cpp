#include "kernel/tools/tool_handler.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "app/kernel_iface/ambiguity_menu.h"
#include "app/kernel_iface/figure_description.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/display_device.h"
#include "kernel/render/draw_object.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/text_tool_handlers.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/main_commands.h"
#include "platform/kp_timer.h"

uint8_t auto_point = 0;
uint8_t mark_arguments = 1;

void reset_tool_handler_flags() {
  auto_point = 0;
  mark_arguments = 1;
}
uint8_t nested_active = 0;
uint8_t nested_from_redefinition = 0;
uint8_t pending_crossing = 0;
tagPOINT pending_crossing_pos{};
object* describe_context_object = nullptr;
int describe_context_position = 0;

namespace {

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }

kelvo_win_info* figure() { return KPGeoDocument::currentInfo(); }

// One suspended tool. The argument arrays are handed over, not copied.
struct tool_arg_state {
  dyn_array_object inputs;
  valeur rubber[kRubberPoints];
  construct_class* cls;
  default_attr* attrs;
  std::vector<uint32_t> chosen_mask;  // one bit per argument, most significant first
};

std::vector<tool_arg_state>& tool_arg_stack() {
  static std::vector<tool_arg_state> stack;
  return stack;
}

constexpr int kMaxHandlerCalls = 256;

void set_head_of_picked(object* o, uint16_t tag) {
  objlist_clear(&picked);
  if (o) objlist_add(&picked, o, tag);
}

object* head_of_picked(uint16_t* tag) {
  if (!picked.items || !picked.items[0]) return nullptr;
  if (tag) *tag = picked.tags ? picked.tags[0] : 0;
  return picked.items[0];
}

bool accepts_points_now() {
  if (!designation_args.entries) return false;
  for (const designation_entry* e = designation_args.entries; e->code; ++e)
    if (e->code == TYPE_POINT) return true;
  return false;
}

DisplayDevice* window_device() {
  return display_device_hooks.window_device ? display_device_hooks.window_device() : nullptr;
}

// The default attributes of the objects a class builds.
default_attr* class_default_attrs(const construct_class* cls) {
  return cls ? get_default_attrs(cls->ctype ? cls->ctype->id : 0, cls) : nullptr;
}

}  // namespace

binding_entry* method_bindings(construct_method* m) {
  if (!m->figdata) {
    int n = 0;
    while (m->args && m->args[n]) ++n;
    m->figdata = alloc_block<binding_entry>(static_cast<uint32_t>(n + 1));
  }
  return static_cast<binding_entry*>(m->figdata);
}

// ------------------------------------------------------------ matching

int16_t find_tool_arg_slot(construct_class* cls, object* obj, uint16_t tag, uint8_t first, uint8_t bind) {
  if (!cls || !cls->methods || !obj) return -1;
  const uint16_t t = type_of(obj);
  for (construct_methodptr* mp = cls->methods; *mp; ++mp) {
    construct_method* m = *mp;
    TYPEOBJ* codes = m->args;
    if (!codes) continue;
    binding_entry* binding = bind ? method_bindings(m) : nullptr;
    bool matched = false;
    if (codes[0] == ARG_REPEAT) {
      if (codes[1] && (codes[1] & 0x3FFF) == t) {
        codes[1] |= ARG_MATCHED;
        matched = true;
      }
    } else {
      for (int pos = 0; codes[pos] && !matched;) {
        const TYPEOBJ c = codes[pos];
        if (c > ARG_ONE_OF && c < ARG_RULED_OUT) {
          const int n = c - ARG_ONE_OF;
          codes[pos] |= ARG_MATCHED;
          int k = 1, hit = 0;
          for (; k <= n && codes[pos + k]; ++k)
            if (!hit && codes[pos + k] == t) hit = k;
          if (hit) {
            if (binding) binding[pos + hit] = binding_entry{obj, tag};
            for (int j = 1; j < k; ++j) codes[pos + j] |= ARG_MATCHED;
            matched = true;
          } else {
            ++pos;
          }
          continue;
        }
        if (argument_code_accepts(c, t)) {
          codes[pos] |= ARG_MATCHED;
          if (binding) binding[pos] = binding_entry{obj, tag};
          matched = true;
        }
        ++pos;
      }
    }
    if (!matched)
      for (int pos = 0; codes[pos]; ++pos) codes[pos] |= ARG_RULED_OUT;
  }
  int16_t found = -1;
  int16_t index = 0;
  for (construct_methodptr* mp = cls->methods; *mp; ++mp, ++index) {
    const TYPEOBJ* codes = (*mp)->args;
    if (!codes || !codes[0] || (codes[0] & ARG_RULED_OUT)) continue;
    bool complete = true;
    for (int pos = 0; codes[pos]; ++pos)
      if (!(codes[pos] & ARG_MATCHED) && codes[pos] != ARG_REPEAT) complete = false;
    if (!complete) continue;
    if (first) return index;
    found = index;
  }
  return found;
}

// ------------------------------------------------------------ the stack

void suspend_current_tool(construct_class* cls) {
  kelvo_win_info* fig = figure();
  tool_arg_state s{};
  if (fig && fig->inputs) {
    s.inputs = *fig->inputs;
    const int n = objlist_count(fig->inputs);
    if (n > 0) {
      s.chosen_mask.assign(static_cast<size_t>((n + 31) / 32), 0u);
      for (int i = 0; i < n; ++i) {
        object* o = fig->inputs->items[i];
        if (o->state & OBJ_CHOSEN) {
          s.chosen_mask[static_cast<size_t>(i / 32)] |= 0x80000000u >> (i % 32);
          o->state &= ~OBJ_CHOSEN;
        }
      }
    }
    fig->inputs->items = nullptr;
    fig->inputs->tags = nullptr;
    fig->inputs->capacity = 0;
    objlist_init(fig->inputs);
  }
  std::memcpy(s.rubber, rubber_points, sizeof s.rubber);
  s.cls = current_class;
  s.attrs = current_default_attrs;
  tool_arg_stack().push_back(std::move(s));
  nested_from_redefinition = current_class == &classe_redefine ? 1 : 0;
  nested_active = 1;
  current_class = cls;
  current_default_attrs = class_default_attrs(cls);
}

bool pop_tool_argument_state() {
  auto& stack = tool_arg_stack();
  if (stack.empty()) return false;
  tool_arg_state s = std::move(stack.back());
  stack.pop_back();
  kelvo_win_info* fig = figure();
  if (fig && fig->inputs) {
    GlobalFreeAndNull(&fig->inputs->items);
    GlobalFreeAndNull(&fig->inputs->tags);
    *fig->inputs = s.inputs;
    for (int i = 0; fig->inputs->items && fig->inputs->items[i]; ++i)
      if (static_cast<size_t>(i / 32) < s.chosen_mask.size() &&
          (s.chosen_mask[static_cast<size_t>(i / 32)] & (0x80000000u >> (i % 32))))
        fig->inputs->items[i]->state |= OBJ_CHOSEN;
  } else {
    GlobalFreeAndNull(&s.inputs.items);
    GlobalFreeAndNull(&s.inputs.tags);
  }
  current_class = s.cls;
  current_default_attrs = s.attrs;
  std::memcpy(rubber_points, s.rubber, sizeof s.rubber);
  nested_active = 0;
  nested_from_redefinition = 0;
  return true;
}

int suspended_tool_count() { return static_cast<int>(tool_arg_stack().size()); }

// ------------------------------------------------------------ designation

object* create_point_for_tool() {
  kelvo_win_info* fig = figure();
  if (!fig) return nullptr;
  clear_object_flags(OBJ_CHOSEN);
  object* made = nullptr;
  uint16_t created = 0;
  switch (pending_point_kind) {
    case 0:
      suspend_current_tool(&classe_point);
      made = create_object(0, &created, 1, 1, 0);
      break;
    case 1: {
      object* a = intersection_candidates.items ? intersection_candidates.items[0] : nullptr;
      object* b = a ? intersection_candidates.items[1] : nullptr;
      suspend_current_tool(&classe_interset);
      objlist_clear(&picked);
      if (a) objlist_add(&picked, a, intersection_candidates.tags[0]);
      if (b) objlist_add(&picked, b, intersection_candidates.tags[1]);
      uint16_t method = 0;
      object* designated = nullptr;
      if (a && b && classe_interset.select && classe_interset.select(&method, &designated)) {
        reset_class_type_marks(&classe_interset);
        made = create_object(method, &created, 1, 1, 0);
      } else {
        made = designated;
      }
      break;
    }
    default: {
      pending_point_kind = 0;
      object* carrier = carrier_candidates.items ? carrier_candidates.items[0] : nullptr;
      const uint16_t tag = carrier ? carrier_candidates.tags[0] : 0;
      suspend_current_tool(&classe_ptsur);
      set_head_of_picked(carrier, tag);
      uint16_t method = 0;
      object* designated = nullptr;
      const bool complete = carrier && classe_ptsur.select && classe_ptsur.select(&method, &designated);
      reset_class_type_marks(&classe_ptsur);
      if (fig->inputs && fig->inputs->items && fig->inputs->items[0])
        fig->inputs->items[0]->state &= ~OBJ_CHOSEN;
      if (complete) made = create_object(method, &created, 1, 1, 0);
      break;
    }
  }
  if (made) draw_object(window_device(), made);
  pop_tool_argument_state();
  return made;
}

bool designate_for_tool(object** out) {
  *out = nullptr;
  if (pending_multi_point) {
    pending_multi_point = 0;
    suspend_current_tool(pending_multi_point_kind == 2 ? &classe_ptsur : &classe_interset);
    objlist_clear(&picked);
    pending_crossing = 1;
    pending_crossing_pos = tagPOINT{static_cast<int32_t>(std::floor(rubber_points[0].h + 0.5)),
                                    static_cast<int32_t>(std::floor(rubber_points[0].v + 0.5))};
    return false;
  }
  uint16_t tag = 0;
  object* head = head_of_picked(&tag);
  if (head && pending_point_kind == 0) {
    if (!ambiguous_designation) {
      *out = head;
      return true;
    }
    highlight_candidate();
    head = head_of_picked(&tag);
    if (head || suspended_tool_count() == 0) {
      *out = head;
      return true;
    }
    kelvo_win_info* fig = figure();
    if (fig && fig->inputs && fig->inputs->items)
      for (int i = 0; fig->inputs->items[i]; ++i) fig->inputs->items[i]->state &= ~OBJ_CHOSEN;
    reset_class_type_marks(current_class);
    pop_tool_argument_state();
    return false;
  }
  const bool create = (accepts_points_now() && auto_point) ||
                      (pending_point_kind != 0 && current_class != &classe_button) || current_class == &classe_point;
  if (!create) return true;
  object* p = create_point_for_tool();
  set_head_of_picked(p, 0);
  *out = p;
  return true;
}

bool take_tool_argument(uint16_t* method, object** designated) {
  return take_macro_tool_argument(method, designated, false);
}

bool take_macro_tool_argument(uint16_t* method, object** designated, bool bind) {
  *designated = nullptr;
  auto_point = current_class && current_class->drawable ? 1 : 0;
  if (!designate_for_tool(designated)) return false;
  kelvo_win_info* fig = figure();
  if (!fig || !fig->inputs) return false;
  uint16_t tag = 0;
  object* head = head_of_picked(&tag);
  if (mark_arguments) {
    for (int i = 0; fig->inputs->items && fig->inputs->items[i]; ++i) fig->inputs->items[i]->state |= OBJ_CHOSEN;
    if (head && (head->state & OBJ_CHOSEN)) return false;
  }
  *method = 0;
  if (!head) return false;
  objlist_add(fig->inputs, head, tag);
  if (mark_arguments) head->state |= OBJ_CHOSEN;
  const int16_t m = find_tool_arg_slot(current_class, head, tag, 1, bind ? 1 : 0);
  *method = static_cast<uint16_t>(m);
  if (m < 0) return false;
  const construct_method* cm = class_method(current_class, m);
  return !(cm && cm->args && (cm->args[0] & 0x3FFF) == ARG_REPEAT);
}

// ------------------------------------------------------------ ambiguity

std::string describe_candidate(object* obj) {
  std::string line;
  if (!obj) return line;
  std::string described = describe_object(obj, 0);
  if (!described.empty() && described[0] == 1) described.erase(0, 1);
  line = described;
  if (describe_context_object) {
    const construct_class* cls = describe_context_object->classe;
    const construct_method* m = class_method(cls, describe_context_object->methode);
    const uint16_t t = type_of(obj);
    if (m && m->args) {
      int pos = describe_context_position;
      int length = 0;
      while (m->args[length]) ++length;
      for (; pos >= 0 && pos < length; ++pos)
        if (argument_code_accepts(m->args[pos] & 0x3FFF, t)) break;
      const char* own = pos >= 0 && pos < length ? method_argument_text(m, pos) : nullptr;
      if (own) {
        std::string text = own;
        const char* name = cls && cls->name ? cls->name : "";
        const size_t n = std::strlen(name);
        if (n && text.size() >= n && strncasecmp(text.c_str(), name, n) == 0) {
          text.erase(0, n);
          while (!text.empty() && text[0] == ' ') text.erase(0, 1);
        }
        line = text;
      }
      describe_context_position = pos + 1;
    }
  }
  if (obj->te && obj->te->text && obj->te->text[0]) {
    line += ' ';
    const char* s = obj->te->text;
    int copied = 0;
    bool more = false;
    while (*s && *s != '\r') {
      if (copied >= 20) {
        more = true;
        break;
      }
      if (*s == '$') {
        int number = 0, len = 1;
        while (s[len] >= '0' && s[len] <= '9') number = number * 10 + (s[len++] - '0');
        if (len > 1 && s[len] == '$') {
          insert_object* r = find_text_reference(static_cast<uint16_t>(number), nullptr, obj->inserted);
          const char* inner = r && r->obj && r->obj->te && r->obj->te->text ? r->obj->te->text : "";
          line.append(inner, std::min<size_t>(std::strlen(inner), 5));
          line += "...";
          s += len + 1;
          ++copied;
          continue;
        }
      }
      line += *s++;
      ++copied;
    }
    if (*s && *s != '\r') more = true;
    if (more && !line.empty() && line.back() != '.') line += "...";
  }
  std::string marked;
  for (char c : line) {
    if (c >= 1 && c <= 7) {
      marked += '^';
      marked += static_cast<char>(c + 49);
    } else {
      marked += c;
    }
  }
  if (marked.size() > 249) marked.resize(249);
  return marked;
}

void distinguish_candidate_lines(const std::vector<object*>& objects, std::vector<std::string>& lines) {
  const auto repeated = [&lines](size_t k) { return std::count(lines.begin(), lines.end(), lines[k]) > 1; };
  // Objects of one kind built alike read the same: the objects they are
  // built on tell them apart...
  std::vector<bool> same(lines.size());
  for (size_t k = 0; k < lines.size(); ++k) same[k] = repeated(k);
  for (size_t k = 0; k < lines.size(); ++k) {
    if (!same[k] || !objects[k]) continue;
    const std::string kind = describe_object(objects[k], nullptr);
    const std::string full = describe_object_name(objects[k], nullptr).type_text;
    if (full.size() <= kind.size() || full.compare(0, kind.size(), kind) != 0) continue;
    // Parents without a name read "_": they tell nothing apart.
    const std::string parents = full.substr(kind.size());
    if (parents.find_first_not_of(":_, ") != std::string::npos) lines[k] += parents;
  }
  // ... and when even those have no names, their rank in the list does.
  for (size_t k = 0; k < lines.size(); ++k) same[k] = repeated(k);
  std::vector<std::string> first(lines);
  for (size_t k = 0; k < lines.size(); ++k) {
    if (!same[k]) continue;
    int rank = 1;
    for (size_t j = 0; j < k; ++j)
      if (first[j] == first[k]) ++rank;
    lines[k] = first[k] + " #" + std::to_string(rank);
  }
  for (std::string& line : lines)
    if (line.size() > 249) line.resize(249);
}

namespace {
// The timer of the application window whose ticks make the selection blink
// while a list or menu is up.
constexpr UINT kCandidateBlinkTimer = 10;
constexpr UINT kCandidateBlinkPeriod = 20;
}  // namespace

void highlight_candidate() {
  kelvo_win_info* fig = figure();
  designation_services& services = designation_hooks();
  if (!fig || (services.popup_tracking && services.popup_tracking())) return;
  clear_designation_text();
  NSAmbigPanelController* menu = ambig_menu_begin();
  const int n = objlist_count(&picked);
  std::vector<object*> shown(static_cast<size_t>(n));
  std::vector<std::string> lines(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) {
    object* candidate = picked.items[k];
    const uint16_t tag = picked.tags[k];
    shown[k] = type_of(candidate) == TYPE_TEXT && tag > 258 ? resolve_text_reference(candidate, tag) : candidate;
    lines[k] = describe_candidate(shown[k]);
  }
  distinguish_candidate_lines(shown, lines);
  for (int k = n; k >= 1; --k) {
    menu->setNextItemColor(designation_text_color(shown[k - 1], 0));
    ambig_menu_append(menu, 0, static_cast<uint16_t>(50025 + k), lines[k - 1].c_str());
  }
  dyn_array_object* own = fig->selection;
  dyn_array_object temporary{};
  objlist_init(&temporary);
  fig->selection = &temporary;
  tagPOINT click = last_mouse;
  if (services.saved_click) services.saved_click(&click);
  // While the list is up the candidate under the pointer, shown as the
  // figure's selection, blinks as a selection does.
  HWND blink_window = application_window;
  if (blink_window) KPTimer::setTimer(blink_window, kCandidateBlinkTimer, kCandidateBlinkPeriod, nullptr);
  const uint16_t chosen = ambig_menu_track(menu, click.x, click.y, nullptr);
  if (blink_window) KPTimer::killTimer(blink_window, kCandidateBlinkTimer);
  fig->selection = own;
  GlobalFreeAndNull(&temporary.items);
  GlobalFreeAndNull(&temporary.tags);
  if (chosen > 50025 && chosen <= 50025 + n) {
    const int k = chosen - 50025;
    object* o = picked.items[k - 1];
    const uint16_t tag = picked.tags[k - 1];
    set_head_of_picked(o, tag);
    ambiguous_designation = 0;
  } else {
    objlist_clear(&picked);
  }
  ambig_menu_end(menu);
}

// ------------------------------------------------------------ the loop

object* run_construction_click(tagPOINT click) {
  kelvo_win_info* fig = figure();
  object* result = nullptr;
  for (int calls = 0; fig && current_class && calls < kMaxHandlerCalls; ++calls) {
    uint16_t method = 0;
    object* designated = nullptr;
    const bool complete = current_class->select && current_class->select(&method, &designated);
    if (complete) {
      if (designated && objlist_find(&picked, designated) != 0) {
        objlist_remove(&picked, designated);
        dyn_array_object* copy = objlist_copy(&picked);
        objlist_clear(&picked);
        objlist_add(&picked, designated, 0);
        for (int i = 0; copy && copy->items && copy->items[i]; ++i) objlist_add(&picked, copy->items[i], copy->tags[i]);
        objlist_free(&copy);
      }
      construct_class* cls = current_class;
      reset_class_type_marks(cls);
      const construct_method* m = class_method(cls, method);
      object* built = nullptr;
      if (m && !m->def) {
        uint16_t made = 0;
        built = create_object(method, &made, 1, 1, 0);
      }
      clear_selection();
      if (fig->inputs) objlist_clear(fig->inputs);
      clear_object_flags(OBJ_CHOSEN);
      if (built) draw_object(window_device(), built);
      result = built;
      if (built && pop_tool_argument_state()) {
        set_head_of_picked(built, 0);
        pending_point_kind = 0;
        ambiguous_designation = 0;
        continue;
      }
      clear_object_flags(OBJ_WALK | OBJ_CHOSEN | OBJ_TO_DELETE | OBJ_NEW);
      break;
    }
    if (designated) {
      result = designated;
      const bool own_kind = (!is_text_like_object(designated) && designated->classe == current_class) ||
                            (designated->classe == &classe_ptint && current_class == &classe_interset);
      if (own_kind) {
        if (pop_tool_argument_state()) {
          set_head_of_picked(designated, 0);
          pending_point_kind = 0;
          ambiguous_designation = 0;
          continue;
        }
        designated->state &= ~OBJ_NEW;
      }
      break;
    }
    if (suspended_tool_count() > 0 && nested_active && !nested_from_redefinition) {
      nested_active = 0;
      if (designation_hooks().setup_tool) designation_hooks().setup_tool(current_class);
      designation_force = 1;
      designate_under_cursor(click.x, click.y);
      continue;
    }
    break;
  }
  return result;
}
