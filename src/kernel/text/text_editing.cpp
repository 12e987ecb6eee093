#include "kernel/text/text_editing.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/kernel_iface/kel_event_record.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/text_convert.h"
#include "kernel/measure/formula_text.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/deletion.h"
#include "kernel/model/mbcs.h"
#include "kernel/model/memory.h"
#include "kernel/model/recompute.h"
#include "kernel/model/undo.h"
#include "kernel/render/colors.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/drag_start.h"
#include "kernel/tools/pick.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/main_commands.h"
#include "kernel/window/value_keys.h"
#include "kernel/window/window_hooks.h"
#include "platform/kelvo_wrap_machine.h"

HWND text_edit_window = nullptr;

namespace {

TextEditorOps g_ops;
LONG_PTR g_saved_proc = 0;
// The active text object is a text (type 16).
uint8_t g_active_is_text = 0;

constexpr int kWindowProcIndex = -4;
// Text-like objects drawn with this state bit have their frame erased.
constexpr uint8_t kDrawWithoutFrame = 16;

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }

bool is_number_like(const object* o) {
  return o && (o->classe == &classe_nombre || o->classe == &classe_exp_num ||
               (o->classe == &classe_equation && o->methode == 0));
}

bool is_check_object(const object* o) {
  const construct_class* c = o ? o->classe : nullptr;
  return c == &classe_alignement || c == &classe_parallelism || c == &classe_perpendism ||
         c == &classe_equidistant || c == &classe_membership;
}

bool text_empty(const object* o) { return !o || !o->te || !o->te->text || o->te->text[0] == '\0'; }

// What depends on a number or expression under edit follows each change:
// it and its dependants are marked as a key on it would mark them, the
// marked objects are recomputed in list order, and the figure is drawn
// again whole. The marks do not outlive the change: the figure's layers are
// composed only when something changes, so objects left on the moving
// layer would vanish at the next refresh of the view.
void recompute_value_dependants(object* obj) {
  if (manipulating) return;
  kel_EventRecord key{};
  key.what = kEventKey;
  key.message = '1';
  clear_pick_marks();
  if (try_pick_object(&key, obj, false, false)) {
    // A table takes its rows from the figure's moves, not from keys typed
    // into a value; recomputed here it would refuse the row and take the
    // user back to the pointer, ending the edit after one key.
    if (kelvo_win_info* fig = KPGeoDocument::currentInfo())
      for (object* o = fig->first; o; o = o->next)
        if (o->classe == &classe_table) o->state &= ~OBJ_MOVING;
    recompute_marked_objects();
    redraw_marked_objects();
  }
  clear_pick_marks();
  redraw_figure(2);
  figure_changed = 1;
  flush_moving_display(0);
}

void free_record(object* o) {
  if (!o || !o->te) return;
  free_text_window(o->te);
  o->te = nullptr;
}

void regenerate(object* o) {
  if (main_command_services().regenerate_rtf_if_needed) main_command_services().regenerate_rtf_if_needed(o);
}

}  // namespace

LRESULT NumberEditWindowProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
LRESULT FormuleEditWindowProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
LRESULT TextEditWindowProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
LRESULT LabelEditWindowProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

void install_text_editor_ops(const TextEditorOps& ops) { g_ops = ops; }
const TextEditorOps& text_editor_ops() { return g_ops; }

WNDPROC edit_kind_of(const object* obj) {
  if (!obj) return &LabelEditWindowProc;
  if (obj->classe == &classe_nombre || (obj->classe == &classe_equation && obj->methode == 0))
    return &NumberEditWindowProc;
  if (obj->classe == &classe_exp_num) return &FormuleEditWindowProc;
  if (type_of(obj) == TYPE_TEXT || (obj->te && obj->te->rich)) return &TextEditWindowProc;
  return &LabelEditWindowProc;
}

bool is_richedit_window(HWND window) { return window != nullptr; }

uint32_t get_edit_selection(HWND window) {
  if (!window) return 0;
  if (is_richedit_window(window)) {
    int32_t range[2] = {0, 0};
    NSKelvoWrapMachine::sendMessage(window, kEditorGetSelection, 0, reinterpret_cast<LPARAM>(range));
    return (static_cast<uint32_t>(range[0]) & 0xFFFF) | (static_cast<uint32_t>(range[1]) << 16);
  }
  return static_cast<uint32_t>(NSKelvoWrapMachine::sendMessage(window, 176, 0, 0));
}

void set_edit_selection(HWND window, int32_t start, int32_t end) {
  if (!window) return;
  if (is_richedit_window(window)) {
    int32_t range[2] = {start, end};
    NSKelvoWrapMachine::sendMessage(window, kEditorSetSelection, 0, reinterpret_cast<LPARAM>(range));
  } else {
    NSKelvoWrapMachine::sendMessage(window, kEditorSetSelPlain, static_cast<WPARAM>(start), end);
  }
}

void refresh_edit_references(object* obj, HWND window) {
  if (!obj || !obj->te || !window) return;
  const uint32_t sel = get_edit_selection(window);
  if (obj->inserted && text_handle_ops().refresh) text_handle_ops().refresh(obj, false);
  set_edit_selection(window, static_cast<int32_t>(sel & 0xFFFF), static_cast<int32_t>(sel >> 16));
}

void switch_text_edit_object(object* obj) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return;
  if (obj && is_text_like_object(obj) && !obj->te) obj = nullptr;
  object* prev = fig->cur_text;
  if (obj && is_number_in_active_text(obj)) return;
  const window_hooks& wh = window_services();
  const bool shows_own = wh.has_displayed_text ? wh.has_displayed_text(obj) : obj != nullptr;
  object* target = obj && !shows_own ? find_text_containing_number(obj) : obj;
  if (target == prev) return;
  if (fig->cur2 && (fig->cur2 == prev || fig->cur2 == target)) invalidate_current_figure_window();

  bool ended = false;
  if (text_edit_window && prev && prev->te) {
    ended = true;
    HWND editor = text_edit_window;
    if (g_ops.show) g_ops.show(editor, false);
    if (obj) NSKelvoWrapMachine::setFocus(editor);
    set_document_dirty();
    if (is_number_like(prev)) clear_pick_marks();
    if (obj && g_saved_proc) NSKelvoWrapMachine::setWindowLong(editor, kWindowProcIndex, g_saved_proc);
    if (g_ops.text_to_object) g_ops.text_to_object(editor, false);
    // A number left as a lone sign is zero.
    if (prev->classe == &classe_nombre && prev->te && prev->te->text && std::strcmp(prev->te->text, "-") == 0 &&
        set_text_record_text(prev->te, "0")) {
      prev->te->sel_start = prev->te->sel_end = 1;
      recompute_object(prev);
    }
    drop_unquoted_number_parents(prev);
    sort_objects_by_dependency();
    refresh_edit_references(prev, editor);
    const uint32_t sel = get_edit_selection(editor);
    if (prev->te) {
      prev->te->sel_start = static_cast<int32_t>(sel & 0xFFFF);
      prev->te->sel_end = static_cast<int32_t>(sel >> 16);
    }
    regenerate(prev);
  }

  if (current_class && !is_current_text_tool_target(prev)) {
    if (prev && text_empty(prev) && type_of(prev) != TYPE_TABLE) free_record(prev);
    fig->cur_text = target;
    if (prev && !text_empty(prev) && !(prev->te->edit_flags & 1) && prev->classe != &classe_table) regenerate(prev);
  } else {
    fig->cur_text = target;
    if (target && target->te && target->te->size.w <= 42) target->te->size.w = 43;
    if (target && target != obj && obj) select_figure_object(obj, 0, 0);
    if (prev && text_empty(prev) && type_of(prev) != TYPE_TABLE && !is_check_object(prev) &&
        prev->classe != &classe_button)
      free_record(prev);
    if (prev && !text_empty(prev) && prev->classe != &classe_table && prev->classe != &classe_button) regenerate(prev);
  }
  // The figure's picture left the edited object out while the editor
  // showed it: it is drawn again with it. A button is not regenerated after
  // its edit, so its caption needs the figure redrawn.
  if (ended) {
    text_edit_window = nullptr;
    if (type_of(prev) == TYPE_BUTTON && fig->cur_text != prev) {
      redraw_figure(2);
      figure_changed = 1;
      flush_moving_display(0);
    }
    invalidate_current_figure_window();
  }

  object* active = fig->cur_text;
  if (active && active->te && type_of(active) != TYPE_TABLE && type_of(active) != TYPE_EQUATION) {
    g_active_is_text = type_of(active) == TYPE_TEXT ? 1 : 0;
    HWND editor = g_ops.editor ? g_ops.editor() : nullptr;
    if (editor) {
      text_edit_window = editor;
      if (g_ops.enter_object_edit) g_ops.enter_object_edit(editor, active);
      const uint32_t fill = active->settings.FillColor == back_color ? back_color : active->settings.FillColor;
      NSKelvoWrapMachine::sendMessage(editor, kEditorBackground, 0, static_cast<LPARAM>(rgb_to_bgr_pal(fill)));
      g_saved_proc = NSKelvoWrapMachine::getWindowLong(editor, kWindowProcIndex);
      NSKelvoWrapMachine::setWindowLong(editor, kWindowProcIndex, reinterpret_cast<LONG_PTR>(edit_kind_of(active)));
      set_edit_selection(editor, active->te->sel_start, active->te->sel_end);
      if (g_ops.show) g_ops.show(editor, true);
      NSKelvoWrapMachine::setFocus(editor);
    }
  }
  if (ended && wh.session_record_action) wh.session_record_action(fig, 11);
}

void edited_value_changed(object* obj) {
  if (!obj) return;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  const bool live = fig && obj->te && fig->cur_text == obj && is_number_like(obj);
  // A coordinate moves its point to the value typed (read before the
  // coordinate is computed again from its point), and the point moves what
  // depends on it: the whole figure is recomputed in list order.
  if (live && obj->classe == &classe_equation && obj->te->text) {
    std::string typed = obj->te->text;
    text_decimal_to_c(typed.data());
    double value = 0;
    if (std::sscanf(typed.c_str(), "%lG", &value) == 1 && set_point_coordinate_value(obj, value, false)) {
      for (object* o = fig->first; o; o = o->next) recompute_object(o);
      redraw_figure(2);
      figure_changed = 1;
      flush_moving_display(0);
      return;
    }
  }
  recompute_object(obj);
  if (!live) return;
  // An expression applied to numbers compiles its text again.
  if (obj->classe == &classe_exp_num)
    for (object* o = fig->first; o; o = o->next) {
      const int n = o->nbparents;
      if (o->classe != &classe_exp_num_app || n < 1 || !o->parents || o->parents[n - 1] != obj) continue;
      if (GlobalSize(o->parents) < (static_cast<uint32_t>(n) + 2) * sizeof(object*)) continue;
      for (int k = n; k < n + 2; ++k) {
        void* block = o->parents[k];
        GlobalFreeAndNull(&block);
        o->parents[k] = nullptr;
      }
    }
  recompute_value_dependants(obj);
}

void save_undo_before_text_change() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !fig->cur_text || !text_edit_window) return;
  save_undo_state_before_change();
}

void drop_unquoted_number_parents(object* text) {
  if (type_of(text) != TYPE_TEXT || text->nbparents <= 0 || !text->parents) return;
  int16_t kept = 0;
  for (int16_t i = 0; i < text->nbparents; ++i) {
    object* p = text->parents[i];
    // (A null list would search the readers' global one.)
    const bool quoted = text->inserted && find_text_reference(0, p, text->inserted);
    if (type_of(p) == TYPE_NUMBER && !quoted) continue;
    text->parents[kept++] = p;
  }
  if (kept == text->nbparents) return;
  for (int16_t i = kept; i < text->nbparents; ++i) text->parents[i] = nullptr;
  text->nbparents = kept;
  figure_objects_changed(KPGeoDocument::currentInfo());
}

namespace {

bool in_figure(const kelvo_win_info* fig, const object* o) {
  for (const object* p = fig->first; p; p = p->next)
    if (p == o) return true;
  return false;
}

// Ending the edit of an empty text deletes it.
bool deleted_when_edit_ends(const object* o) { return o && text_empty(o) && type_of(o) != TYPE_TABLE; }

}  // namespace

object* hand_back_edited_text() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !text_edit_window) return nullptr;
  object* edited = fig->cur_text;
  if (!edited || deleted_when_edit_ends(edited)) return nullptr;
  switch_text_edit_object(nullptr);
  // A text emptied in the editor was deleted as its edit ended.
  return in_figure(fig, edited) ? edited : nullptr;
}

void refresh_text_windows(object* obj) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return;
  object* prev = fig->cur_text;
  // An empty text keeps its editor as it is (nothing in it to restyle), and
  // a text emptied in the editor is not opened again once the switch has
  // deleted it.
  if (deleted_when_edit_ends(obj) || deleted_when_edit_ends(prev)) return;
  switch_text_edit_object(nullptr);
  if (in_figure(fig, obj)) switch_text_edit_object(obj);
  if (prev && prev != obj) {
    switch_text_edit_object(nullptr);
    if (in_figure(fig, prev)) switch_text_edit_object(prev);
  }
}

// ---------------------------------------------------------- input filter

namespace {

bool is_letter(unsigned char c) { return c < 0x80 && std::isalpha(c); }
bool is_digit(unsigned char c) { return c < 0x80 && std::isdigit(c); }

}  // namespace

bool formula_input_filter(const char* text, int n, char c) {
  if (!text || n <= 0) return false;
  const int length = static_cast<int>(std::strlen(text));
  if (n > length) return false;
  const auto p = static_cast<unsigned char>(text[n - 1]);
  if (p >= 0x80) return false;
  const auto uc = static_cast<unsigned char>(c);
  // Whether the letters before c, followed by it, begin a name of the
  // formula language.
  const bool begins_name = find_whole_word(text, text + n, c);
  if ((is_digit(p) || p == ')') && (is_letter(uc) || c == '(') && c != 'E' && c != 'e') {
    const bool log10 = n >= 4 && std::strncmp(text + n - 4, "og10", 4) == 0;
    if (!log10) return true;
  }
  if (is_letter(p) && is_letter(uc) && !begins_name) return true;
  if (is_letter(p) && p != 'E' && p != 'e' && is_digit(uc) && !begins_name) return true;
  return false;
}

// --------------------------------------------------------------- stepping

std::string step_number_in_text(const std::string& source, int start, int end, int direction, const char* unit,
                                int* new_start, int* new_end) {
  std::string text = source.empty() ? std::string("0") : source;
  const int length = static_cast<int>(text.size());
  start = std::clamp(start, 0, length);
  end = std::clamp(end, start, length);
  const char sep = decimal_separator;
  if (start < length && text[static_cast<size_t>(start)] == '-') {
    if (end == start) ++end;
    ++start;
  }
  if (start != 0 && start < length && text[static_cast<size_t>(start)] == sep) --start;
  if (end > 0 && end <= length && text[static_cast<size_t>(end - 1)] == sep) --end;
  end = std::max(end, start);

  // The number: an optional sign, digits, the separator, digits.
  int num_begin = 0;
  while (num_begin < length && !is_digit(static_cast<unsigned char>(text[static_cast<size_t>(num_begin)])) &&
         text[static_cast<size_t>(num_begin)] != '-' && text[static_cast<size_t>(num_begin)] != sep)
    ++num_begin;
  int num_end = num_begin;
  int sep_at = -1;
  while (num_end < length) {
    const char ch = text[static_cast<size_t>(num_end)];
    if (is_digit(static_cast<unsigned char>(ch)) || (ch == '-' && num_end == num_begin) ||
        (ch == second_separator && ch != 0 && sep_at < 0)) {
      ++num_end;
    } else if (ch == sep && sep_at < 0) {
      sep_at = num_end++;
    } else {
      break;
    }
  }

  // The last digit stepped, and how many digits the selection covers.
  int last = end > start ? end - 1 : end - 1;
  if (last >= 0 && text[static_cast<size_t>(last)] == sep) --last;
  if (end == 0 || last < 0) last = 0;
  while (last > 0 && !is_digit(static_cast<unsigned char>(text[static_cast<size_t>(last)]))) --last;
  double step = 1;
  for (int i = start; i < last; ++i)
    if (is_digit(static_cast<unsigned char>(text[static_cast<size_t>(i)]))) step = step * 10 + 1;

  // Its power of ten, relative to the units digit.
  const int units_end = sep_at >= 0 ? sep_at : num_end;
  int k = 0;
  if (last < units_end) {
    for (int i = last + 1; i < units_end; ++i)
      if (is_digit(static_cast<unsigned char>(text[static_cast<size_t>(i)]))) ++k;
  } else {
    for (int i = units_end; i <= last; ++i)
      if (is_digit(static_cast<unsigned char>(text[static_cast<size_t>(i)]))) --k;
  }
  int decimals = 0;
  std::string c_number;
  for (int i = num_begin; i < num_end; ++i) {
    const char ch = text[static_cast<size_t>(i)];
    if (ch == sep) {
      c_number += '.';
    } else if (ch == second_separator && ch != '-' && !is_digit(static_cast<unsigned char>(ch))) {
      continue;
    } else {
      c_number += ch;
      if (sep_at >= 0 && i > sep_at) ++decimals;
    }
  }
  double value = 0;
  if (std::sscanf(c_number.c_str(), "%lG", &value) != 1) value = 0;

  auto integer_digits = [](double v) {
    const double a = std::fabs(v);
    return a < 1 ? 0 : static_cast<int>(std::floor(std::log10(a)));
  };
  const double before = value;
  value += (direction == 0 ? 1 : -1) * step * std::pow(10.0, k);
  if (std::fabs(value) < std::pow(10.0, -decimals) / 2) value = 0;
  int shift = 0;
  if ((before >= 0) != (value >= 0)) shift += value < 0 ? 1 : -1;
  shift += integer_digits(value) - integer_digits(before);

  // Written back into a string that grows as needed.
  std::string written;
  {
    const int size = std::snprintf(nullptr, 0, "%.*f", decimals, value);
    written.resize(static_cast<size_t>(std::max(size, 0)) + 1);
    std::snprintf(written.data(), written.size(), "%.*f", decimals, value);
    written.resize(static_cast<size_t>(std::max(size, 0)));
  }
  int significant = 0;
  bool leading = true;
  for (char& ch : written) {
    if (ch == '.') {
      ch = sep;
      continue;
    }
    if (!is_digit(static_cast<unsigned char>(ch))) continue;
    if (leading && ch == '0') continue;
    leading = false;
    if (++significant > 15) ch = '0';
  }
  std::string out = text.substr(0, static_cast<size_t>(num_begin)) + written;
  if (unit && *unit) {
    out += ' ';
    out += unit;
  } else {
    out += text.substr(static_cast<size_t>(num_end));
  }
  const int out_length = static_cast<int>(out.size());
  if (new_start) *new_start = std::clamp(start + shift, 0, out_length);
  if (new_end) *new_end = std::clamp(end + shift, 0, out_length);
  return out;
}

// ------------------------------------------------------ character helpers

bool is_control_char(unsigned char c) { return c < 32 || c == 127; }
bool is_index_char(unsigned char c) { return c >= 1 && c <= 7; }
int edit_char_length(const char* p) {
  if (!p || !*p) return 0;
  if (p[0] == '\r' && p[1] == '\n') return 2;
  return mbcs_char_len(p);
}
