#include "kernel/window/replay.h"

#include <cstring>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/deletion.h"
#include "kernel/model/figure.h"
#include "kernel/model/object_store.h"
#include "kernel/render/display_device.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_view.h"
#include "kernel/tools/cursors.h"
#include "kernel/tools/draw_feedback.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_state.h"
#include "platform/kernel_services.h"
#include "platform/kp_cursor.h"
#include "platform/kp_timer.h"

uint8_t replay_running = 0;
uint8_t replay_shows_macro_internals = 0;
object* replay_current = nullptr;
int (*run_replay_construction_panel)(HWND, const char*, HWND, WNDPROC) = nullptr;

namespace {

HWND g_dialog = nullptr;
std::string g_step_text;

// Kernel rows of the panel's texts.
constexpr int kRowQuestion = 291;
constexpr int kRowOk = 342;
constexpr int kRowCancel = 344;
constexpr int kRowTitle = 564;
constexpr int kRowInterim = 759;
constexpr int kRowFirstStep = 727;
constexpr int kRowLastStep = 728;
constexpr int kRowStart = 729;

kelvo_win_info* figure() { return KPGeoDocument::currentInfo(); }

bool is_intermediate(const object* o) { return o->final_no == 0 && o->macro; }

const char* label_of(const object* o) { return o && o->te && o->te->text && o->te->text[0] ? o->te->text : nullptr; }

// What a text shows: its stored text with each reference marker replaced
// by the text of the object it quotes (a value, a name).
std::string shown_text(const object* o) {
  const char* text = label_of(o);
  if (!text) return {};
  const auto length = static_cast<int32_t>(std::strlen(text));
  std::string out;
  int32_t at = 0;
  for (const text_marker& m : list_text_markers(text, length, o->inserted)) {
    const object* quoted = m.node ? m.node->obj : nullptr;
    if (m.at < at) continue;
    out.append(text + at, static_cast<size_t>(m.at - at));
    if (const char* value = label_of(quoted)) out += value;
    at = m.at + m.length;
  }
  out.append(text + at, static_cast<size_t>(length - at));
  return out;
}

const char* class_name(const construct_class* cls) {
  if (!cls) return nullptr;
  return cls->name && cls->name[0] ? cls->name : cls->english_name;
}

// The type's name after its first blank (empty when it has none).
std::string type_name_after_blank(const object* o) {
  const char* n = o && o->otype ? o->otype->name : nullptr;
  if (!n) return {};
  const char* blank = std::strchr(n, ' ');
  return blank ? blank + 1 : "";
}

// Unlocks every macro class with the same password.
void unlock_macros_with(const char* password) {
  if (!password) return;
  for (int i = 0; class_list && i < class_list_count(); ++i) {
    construct_class* c = class_list[i];
    const char* p = c && is_macro_class(c) ? macro_password(c) : nullptr;
    if (p && std::strcmp(p, password) == 0) set_macro_password_state(c, 2);
  }
}

bool macro_allowed(const object* o, bool may_ask) {
  construct_class* cls = o->macro ? o->macro->im_class : nullptr;
  const char* password = cls ? macro_password(cls) : nullptr;
  if (!password) return true;
  uint8_t state = macro_password_state(cls);
  if (state == 0 && may_ask) {
    const bool given = validate_macro_password && validate_macro_password(password);
    if (given) {
      unlock_macros_with(password);
    } else {
      set_macro_password_state(cls, 1);
    }
    state = macro_password_state(cls);
  }
  return state == 2;
}

bool visible_rule(const object* obj, bool may_ask) {
  if (!obj || obj->classe == &classe_interset) return false;
  const bool interim = is_intermediate(obj);
  // A macro keeps its hidden steps out of sight (their own setting is off):
  // shown at the user's request, they show whatever that setting says.
  if (interim && replay_shows_macro_internals && macro_allowed(obj, may_ask)) return true;
  if (!obj->settings.visible && attribute_mask != ATTR_HIDE_SHOW) return false;
  return !interim;
}

void redraw_all(int reason) {
  tool_redraw_figure(1, reason);
  if (HWND w = kp_current_figure_window()) InvalidateRect(w, nullptr, 0);
}

void append_label(std::string& out, const char* label, std::size_t keep) {
  const std::size_t n = std::strlen(label);
  out.append(label, n > keep ? keep : n);
  if (n > keep) out += "...";
}

}  // namespace

bool is_replay_visible(const object* obj) { return visible_rule(obj, false); }

bool replay_object_visible(const object* obj) { return visible_rule(obj, true); }

const char* replay_step_text() { return g_step_text.c_str(); }

std::string describe_replay_step(const object* obj, bool use_macro_name) {
  std::string out;
  if (!obj) return kernel_string(kRowStart);
  const bool is_text = obj->otype && obj->otype->id == TYPE_TEXT;
  if (const std::string label = is_text ? shown_text(obj) : std::string(label_of(obj) ? label_of(obj) : "");
      !label.empty()) {
    append_label(out, label.c_str(), 4);
    out += ':';
  }
  const char* construction = nullptr;
  if (obj->macro && obj->macro->im_class && use_macro_name) {
    construction = class_name(obj->macro->im_class);
  } else if (obj->classe == &classe_ptint && obj->nbparents > 0 && obj->parents[0]) {
    construction = class_name(obj->parents[0]->classe);
  } else {
    construction = class_name(obj->classe);
  }
  if (construction) out += construction;
  const bool locus = obj->otype && obj->otype->id == TYPE_LOCUS;
  const bool intersection = obj->classe == &classe_ptint;
  // The objects whose names follow: a locus's first and last parents, an
  // intersection point's set's parents, else the object's own.
  const object* const* parents = obj->parents;
  int count = obj->nbparents;
  const object* pair[2] = {};
  if (locus && obj->nbparents > 0) {
    pair[0] = obj->parents[0];
    pair[1] = obj->parents[obj->nbparents - 1];
    parents = pair;
    count = 2;
  } else if (intersection && obj->nbparents > 0 && obj->parents[0]) {
    parents = obj->parents[0]->parents;
    count = obj->parents[0]->nbparents;
  }
  if (count <= 0 || !parents) {
    out += ' ';
  } else if (!(obj->otype && obj->otype->id == TYPE_TEXT)) {
    for (int i = 0; i < count && i < 4; ++i) {
      out += i == 0 ? " " : ", ";
      const object* p = parents[i];
      if (const char* label = label_of(p)) {
        append_label(out, label, 8);
      } else {
        out += type_name_after_blank(p);
        out += " _";
      }
    }
    if (count > 4) out += "...";
  }
  const char* marker = obj->num == 3 ? kernel_string(kRowFirstStep) : !obj->next ? kernel_string(kRowLastStep) : "";
  if (marker[0]) {
    if (out.empty() || out.back() != ' ') out += ' ';
    out += marker;
  }
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 32) c = ' ';
  if (out.size() > kReplayStepTextLimit) {
    out.resize(kReplayStepTextLimit - 3);
    out += "...";
  }
  return out;
}

void show_replay_step(object* obj) {
  if (!obj) return;
  redraw_object(obj);
  select_figure_object(obj, 0, 0);
  g_step_text = describe_replay_step(obj, true);
  if (g_dialog) NSKelvoWrapMachine::setDlgItemText(g_dialog, kReplayStepText, g_step_text.c_str());
}

void reset_replay() {
  kelvo_win_info* fig = figure();
  replay_current = nullptr;
  if (!fig || !fig->first) return;
  for (object* o = fig->first; o; o = o->next) o->state |= OBJ_REPLAY_HIDDEN;
  // The first three objects are shown; a smaller figure starts at its last.
  object* o = fig->first;
  for (int i = 0; i < 3 && o; ++i) {
    o->state &= ~OBJ_REPLAY_HIDDEN;
    replay_current = o;
    o = o->next;
  }
  show_replay_step(replay_current);
  redraw_all(16);
}

void truncate_after_replay_step() {
  if (!replay_current || !replay_current->next) return;
  const char* question = kernel_string(kRowQuestion);
  message_compose(question ? question : "", "", "", "");
  if (message_show(131) != 1) return;
  update_cursor(KPCursor::loadCursor(kCursorBusy));
  clear_selection();
  for (object* o = replay_current->next; o; o = o->next) select_figure_object(o, 0, 1);
  delete_objects(nullptr);
}

void end_replay_construction() {
  if (HWND w = kp_current_figure_window()) KPTimer::killTimer(w, kReplayTimer);
  replay_running = 0;
  g_dialog = nullptr;
  replay_current = nullptr;
  clear_object_flags(OBJ_REPLAY_HIDDEN);
  clear_selection();
  redraw_all(0);
}

LRESULT replay_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      g_dialog = window;
      replay_running = 1;
      reset_replay();
      auto text = [](int row) {
        const char* t = kernel_string(row);
        return t ? t : "";
      };
      NSKelvoWrapMachine::setWindowText(window, text(kRowTitle));
      NSKelvoWrapMachine::setDlgItemText(window, IDOK, text(kRowOk));
      NSKelvoWrapMachine::setDlgItemText(window, IDCANCEL, text(kRowCancel));
      NSKelvoWrapMachine::setDlgItemText(window, kReplayInterim, text(kRowInterim));
      if (HWND w = kp_current_figure_window()) KPTimer::setTimer(w, kReplayTimer, 20, nullptr);
      return 1;
    }
    case WM_PAINT:
      return 1;
    case WM_CLOSE:
      // Closing the panel is Cancel: nothing may outlive it.
      if (replay_running) end_replay_construction();
      return 0;
    case WM_COMMAND:
      break;
    default:
      return 0;
  }
  switch (static_cast<int>(wparam)) {
    case kReplayPrevious: {
      object* cur = replay_current;
      if (!cur || cur->num <= 3 || !cur->prev) return 0;
      cur->state |= OBJ_REPLAY_HIDDEN;
      for (object* o = cur->prev; o; o = o->prev) {
        if (replay_object_visible(o)) {
          replay_current = o;
          break;
        }
        o->state |= OBJ_REPLAY_HIDDEN;
      }
      show_replay_step(replay_current);
      select_figure_object(replay_current, 0, 0);
      redraw_all(19);
      return 0;
    }
    case kReplayNext: {
      object* cur = replay_current;
      if (!cur || !cur->next) return 0;
      cur->state &= ~OBJ_REPLAY_HIDDEN;
      for (object* o = cur->next; o; o = o->next) {
        o->state &= ~OBJ_REPLAY_HIDDEN;
        if (replay_object_visible(o)) {
          replay_current = o;
          break;
        }
      }
      show_replay_step(replay_current);
      redraw_all(18);
      return 0;
    }
    case kReplayLast: {
      object* cur = replay_current;
      if (!cur) return 0;
      while (cur->next) {
        cur = cur->next;
        cur->state &= ~OBJ_REPLAY_HIDDEN;
      }
      replay_current = cur;
      show_replay_step(cur);
      redraw_all(20);
      return 0;
    }
    case kReplayFirst:
      reset_replay();
      return 0;
    case kReplayInterim: {
      bool ticked = NSKelvoWrapMachine::sendDlgItemMessage(window, kReplayInterim, BM_GETCHECK, 0, 0) != 0;
      kelvo_win_info* fig = figure();
      if (ticked && fig && fig->password && !fig->password_given) {
        if (validate_macro_password && validate_macro_password(fig->password)) {
          fig->password_given = 1;
        } else {
          ticked = false;
          NSKelvoWrapMachine::sendDlgItemMessage(window, kReplayInterim, BM_SETCHECK, 0, 0);
        }
      }
      if (ticked && fig && fig->password) unlock_macros_with(fig->password);
      replay_shows_macro_internals = ticked ? 1 : 0;
      redraw_all(0);
      return 0;
    }
    case IDOK:
      truncate_after_replay_step();
      end_replay_construction();
      return 0;
    case IDCANCEL:
      end_replay_construction();
      return 0;
    default:
      return 0;
  }
}

void start_replay_construction() {
  kelvo_win_info* fig = figure();
  HWND window = kp_current_figure_window();
  if (replay_running || !window || !fig || !fig->first) return;
  if (attribute_mask != ATTR_HIDE_SHOW) select_tool(0);
  if (run_replay_construction_panel) run_replay_construction_panel(nullptr, "REPLAYCONSTRUCTION", window, replay_dialog_proc);
}
