#include "kernel/window/main_commands.h"

#include "kernel/window/figure_events.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/file_dialogs.h"
#include "kernel/files/file_paths.h"
#include "kernel/files/file_services.h"
#include "kernel/files/menus_file.h"
#include "kernel/files/macro_text.h"
#include "kernel/files/text_family.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/label_text.h"
#include "kernel/model/memory.h"
#include "kernel/model/recompute.h"
#include "kernel/model/undo.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/window/value_keys.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/kernel_services.h"
#include "platform/win_constants.h"

uint8_t closing_all_documents = 0;
uint8_t text_layout_switch = 0;
uint8_t quit_requested = 0;
HWND application_window = nullptr;
int save_command_result = 0;

namespace {

// The language row of an old macro that cannot be read ("%1": why).
constexpr int kRowMacroUnreadable = 8;

constexpr int kRevertQuestion = 303;
constexpr char kFigureHasFile = 2;

const main_command_hooks& hooks() { return main_command_services(); }

kelvo_win_info* figure() { return KPGeoDocument::currentInfo(); }

HWND application() {
  return files_services().main_application ? files_services().main_application() : nullptr;
}

char* copy_text(const char* s) {
  const size_t n = s ? std::strlen(s) : 0;
  char* copy = alloc_block<char>(static_cast<uint32_t>(n + 1));
  if (copy && n) std::memcpy(copy, s, n);
  return copy;
}

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }

// The figure file of kind 0 or 3 in the file image, read into the current
// figure (emptied first). True when it was read.
bool read_figure_image(int kind, const char* path) {
  if (kind == FILE_KIND_SITUATIONS) return txt_read_menus_file(file_buffer, file_buffer_len, path) == 1;
  return read_figure_file(file_buffer, file_buffer_len, path) == 1;
}

// The figure just read keeps its file's name and path and is clean.
void adopt_file(kelvo_win_info* fig, const char* path, int kind) {
  GlobalFreeAndNull(&fig->text0);
  GlobalFreeAndNull(&fig->text1);
  fig->text0 = copy_text(path_file_name(path));
  fig->text1 = copy_text(path);
  if (kind == FILE_KIND_SITUATIONS) fig->ival = 3;
  fig->wflags = static_cast<char>(fig->wflags | kFigureHasFile);
  KPGeoDocument::_undo_dirty(fig);
}

void after_figure_read(kelvo_win_info* fig) {
  select_axes_tool_variant();
  save_undo_state(0);
  remembered_object_count = fig->nbobj;
  if (hooks().apply_window_placement) hooks().apply_window_placement(kp_current_figure_window());
  if (fig->animate_on_open && hooks().start_auto_animation) hooks().start_auto_animation();
}

void open_command(HWND window, const char* given) {
  std::string path;
  if (given) {
    path = given;
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
  }
  if (!open_file_in_window(window, given ? path.c_str() : nullptr)) return;
  path = file_path_buffer;
  select_tool(0);
  const int kind = sniff_file_format();
  switch (kind) {
    case FILE_KIND_FIGURE:
    case FILE_KIND_SITUATIONS: {
      kelvo_win_info* fig = figure();
      if (fig && is_figure_untouched(fig)) {
        empty_figure(fig);
      } else if (!hooks().open_document_path || !hooks().open_document_path(nullptr)) {
        free_file_image();
        return;
      }
      fig = figure();
      if (!fig) break;
      if (read_figure_image(kind, path.c_str())) {
        adopt_file(fig, path.c_str(), kind);
        after_figure_read(fig);
      }
      break;
    }
    case FILE_KIND_MACRO:
      open_ti_document();
      break;
    case FILE_KIND_MENUS:
      open_tool_menu_document();
      break;
    case FILE_KIND_PREFS:
      if (files_services().import_preferences_file)
        files_services().import_preferences_file(file_buffer, file_buffer_len);
      break;
    default:
      break;
  }
  free_file_image();
}

void new_command() {
  if (!hooks().open_document_path || !hooks().open_document_path(nullptr)) return;
  kelvo_win_info* fig = figure();
  if (!fig) return;
  // The window that opened may have laid out its figure already: the origin
  // and the axes are made once.
  if (!fig->first) {
    create_default_objects();
    save_undo_state(0);
    remembered_object_count = fig->nbobj;
  }
  if (kp_current_figure_window()) {
    update_axes_tool_variant();
    select_tool(0);
  }
}

bool load_whole_file(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad() || bytes.empty()) return false;
  return load_file_image(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void revert_command() {
  select_tool(0);
  kelvo_win_info* old = figure();
  if (!old || !old->text0 || !old->text1) return;
  message_compose(kernel_string(kRevertQuestion), nullptr, nullptr, nullptr);
  if (message_show(131) != 1) return;
  const std::string path = old->text1;
  if (!load_whole_file(path.c_str())) return;
  const int kind = sniff_file_format();
  new_figure_info();
  kelvo_win_info* fresh = figure();
  const bool read = fresh && fresh != old && (kind == FILE_KIND_FIGURE || kind == FILE_KIND_SITUATIONS) &&
                    read_figure_image(kind, path.c_str());
  free_file_image();
  if (!read) {
    // The figure on screen stays as it was when its file cannot be read.
    if (fresh && fresh != old) free_figure_info(fresh, false);
    KPGeoDocument::setCurrentInfo(old);
    return;
  }
  fresh->text0 = old->text0;
  fresh->text1 = old->text1;
  old->text0 = old->text1 = nullptr;
  fresh->ival = old->ival;
  fresh->wflags = static_cast<char>(fresh->wflags | kFigureHasFile);
  fresh->dd = old->dd;
  select_axes_tool_variant();
  save_undo_state(0);
  remembered_object_count = fresh->nbobj;
  if (hooks().apply_window_placement) hooks().apply_window_placement(kp_current_figure_window());
  kelvo_win_info* old_undo = old->undo;
  if (old_undo) old_undo->undo = nullptr;
  free_figure_info(old, false);
  free_figure_info(old_undo, false);
  KPGeoDocument::setCurrentInfo(fresh);
  figure_view_show_figure(current_figure_view, fresh);
  KPGeoDocument::_undo_dirty(fresh);
  invalidate_figure_view(current_figure_view);
  refresh_figure_description(current_figure_view);
}

object* resolve(object* item, uint16_t tag) {
  return tool_services().resolve_text_reference ? tool_services().resolve_text_reference(item, tag) : item;
}

// The number (type 17) or the calculation that the active text, or else the
// selection, designates; null when none or more than one.
object* command_target(bool calculation) {
  kelvo_win_info* fig = figure();
  if (!fig) return nullptr;
  if (fig->cur_text) {
    if (calculation) return fig->cur_text->classe == &classe_calculate ? fig->cur_text : nullptr;
    return hooks().find_single_number_object ? hooks().find_single_number_object(fig->cur_text) : nullptr;
  }
  object* found = nullptr;
  const dyn_array_object* sel = fig->selection;
  for (int i = 0; sel && sel->items && sel->items[i]; ++i) {
    object* o = resolve(sel->items[i], sel->tags ? sel->tags[i] : 0);
    const bool fits = o && (calculation ? o->classe == &classe_calculate : type_of(o) == TYPE_NUMBER);
    if (!fits) continue;
    if (found && found != o) return nullptr;
    found = o;
  }
  return found;
}

void number_unit_command() {
  object* target = command_target(false);
  if (!target || !hooks().unit_popup_menu) return;
  const tagPOINT at = hooks().last_click_point ? hooks().last_click_point() : tagPOINT{};
  const uint8_t unit = hooks().unit_popup_menu(at.x, at.y, target);
  if (unit == 255) return;
  kelvo_win_info* fig = figure();
  object* remembered = nullptr;
  if (fig && fig->cur_text && hooks().find_single_number_object &&
      hooks().find_single_number_object(fig->cur_text) == target)
    remembered = fig->cur_text;
  const tool_hooks& t = tool_services();
  if (t.send_text_editor && hooks().text_editor_length && hooks().text_editor_length() == 0)
    t.send_text_editor(WM_CHAR, '0', 0);
  if (t.switch_text_edit_object) t.switch_text_edit_object(nullptr);
  if (hooks().update_measure_text) hooks().update_measure_text(target, unit);
  set_number_value_exact(target);
  if (hooks().regenerate_rtf_if_needed) {
    hooks().regenerate_rtf_if_needed(target);
    if (remembered && remembered != target) hooks().regenerate_rtf_if_needed(remembered);
  }
  if (remembered && t.switch_text_edit_object) t.switch_text_edit_object(remembered);
}

void text_layout_command() {
  const tool_hooks& t = tool_services();
  if (t.switch_text_edit_object) t.switch_text_edit_object(nullptr);
  text_layout_switch = text_layout_switch ? 0 : 1;
  const file_services& s = files_services();
  if (!s.enum_figure_windows) return;
  kelvo_win_info* previous = figure();
  s.enum_figure_windows(
      [](HWND, kelvo_win_info* fig, void*) {
        if (!fig) return true;
        KPGeoDocument::setCurrentInfo(fig);
        for (object* o = fig->first; o; o = o->next)
          if (o->te && main_command_services().release_text_view) main_command_services().release_text_view(o);
        invalidate_figure_view(fig->dd ? fig->dd->FigureView : nullptr);
        return true;
      },
      nullptr);
  KPGeoDocument::setCurrentInfo(previous);
}

void zoom(double factor, uint8_t with_axes) {
  scale_figure(factor, with_axes);
  invalidate_current_figure_window();
  NSKelvoWrapMachine::updateWindow(kp_current_figure_window());
}

void call(void (*slot)()) {
  if (slot) slot();
}

// Which parts of each value an object's zoom scales: bit 1 the first
// coordinate, bit 2 the second, bit 4 the radius.
void object_scale_mask(const object* o, uint8_t mask[5]) {
  std::memset(mask, 0, 5);
  const uint16_t t = type_of(o);
  if (o->classe == &classe_point) {
    mask[0] = 3;
  } else if (o->classe == &classe_ptsur) {
    const uint16_t parent = o->nbparents > 0 && o->parents ? type_of(o->parents[0]) : 0;
    if (parent != TYPE_AXES && parent != TYPE_GRID) mask[0] = 3;
  } else if ((t == TYPE_LINE || t == TYPE_RAY) && o->methode == 0) {
    mask[1] = 3;
  } else if (t == TYPE_CIRCLE && o->methode == 0) {
    mask[1] = 4;
  } else if (t == TYPE_AXES && o->methode == 0) {
    mask[1] = 3;
    mask[2] = 3;
  } else if (t == TYPE_ANGLE) {
    mask[0] = 4;
    mask[1] = 4;
  }
}

}  // namespace

main_command_hooks& main_command_services() {
  static main_command_hooks services;
  return services;
}

void install_main_command_services(const main_command_hooks& services) { main_command_services() = services; }

uint32_t command_to_tool_id(uint16_t command) {
  static constexpr struct {
    uint16_t command;
    uint16_t group;
    uint16_t item;
  } kBindings[] = {{101, 1, 2}, {102, 1, 3}, {103, 1, 4}, {104, 1, 6}, {105, 1, 7}, {106, 1, 8},
                   {107, 1, 9}, {108, 1, 10}, {109, 2, 2}, {110, 2, 1}, {111, 2, 3}, {112, 2, 4},
                   {113, 2, 5}, {114, 2, 6}, {115, 2, 7}, {116, 2, 8}, {117, 3, 2}, {118, 3, 1},
                   {119, 3, 3}, {121, 4, 1}, {122, 4, 2}, {40051, 1, 5}};
  for (const auto& b : kBindings)
    if (b.command == command) return make_tool_id(b.group, b.item);
  return 0;
}

int main_menu_command(HWND window, WPARAM command, LPARAM param) {
  namespace c = command_id;
  const auto id = static_cast<uint16_t>(command & 0xFFFF);
  switch (id) {
    case c::kNew:
      new_command();
      return 0;
    case c::kOpen:
      open_command(window, reinterpret_cast<const char*>(param));
      return 0;
    case c::kSave:
      select_tool(0);
      save_command_result = save_document_file(window, SAVE_DOCUMENT, kp_current_figure_window());
      return 0;
    case 103: case 107: case 122: case 40020: case 40021: case 40022: case 40050:
      return 0;
    case c::kRevert:
      revert_command();
      return 0;
    case c::kQuit:
      NSKelvoWrapMachine::sendMessage(application(), WM_CLOSE, 0, 0);
      return 0;
    case c::kDelete:
      call(hooks().clear_command);
      return 0;
    case c::kPreferences:
      select_tool(0);
      call(hooks().run_preferences_dialog);
      return 0;
    case c::kCloseAll:
      closing_all_documents = 1;
      call(hooks().close_all_documents);
      closing_all_documents = 0;
      return 0;
    case c::kClose:
      NSKelvoWrapMachine::sendMessage(kp_current_figure_window(), WM_CLOSE, 0, 0);
      return 0;
    case c::kNumberUnit:
      number_unit_command();
      return 0;
    case c::kCalculation:
      if (object* target = command_target(true); target && tool_services().open_calculator)
        tool_services().open_calculator(target);
      return 0;
    case c::kRefresh:
      select_tool(0);
      refresh_figure_description(current_figure_view);
      return 0;
    case c::kSessionStart:
      call(hooks().session_start_recording);
      return 0;
    case c::kSessionStop:
      call(hooks().session_stop_recording);
      return 0;
    case c::kSessionNext:
    case c::kSessionPrevious:
      if (hooks().session_load_snapshot) hooks().session_load_snapshot(id == c::kSessionNext ? 'n' : 'p');
      return 0;
    case c::kSessionPrint:
      call(hooks().session_print);
      return 0;
    case c::kSessionOpen:
      call(hooks().session_open);
      return 0;
    case c::kZoomIn:
    case c::kZoomInWithAxes:
      zoom(33.0 / 32.0, id == c::kZoomInWithAxes);
      return 0;
    case c::kZoomOut:
    case c::kZoomOutWithAxes:
      zoom(32.0 / 33.0, id == c::kZoomOutWithAxes);
      return 0;
    case c::kTextLayout:
      text_layout_command();
      return 0;
    case c::kSaveAs:
      if (figure() && save_file_as_dialog(window, DIALOG_EXPORT, kp_current_figure_window()) == 1) select_tool(0);
      return 0;
    default:
      if (const uint32_t tool = command_to_tool_id(id)) select_tool(tool);
      return 0;
  }
}

LRESULT main_key_command(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case 3: case 5: case WM_CLOSE: case 18: case 22:
      if (wparam != 0) {
        quit_requested = 1;
        NSKelvoWrapMachine::sendMessage(application(), WM_CLOSE, 0, 0);
      }
      return 0;
    case 20:
      return -1;
    case WM_CHAR:
      if (tool_services().send_text_editor) tool_services().send_text_editor(WM_CHAR, wparam, lparam);
      return 0;
    case WM_COMMAND:
      main_menu_command(window, wparam, lparam);
      refresh_tool_menus();
      return 0;
    case WM_TIMER:
      if ((wparam == 10 || wparam == 2) && figure()) {
        if (hooks().blink_selection_marks && hooks().blink_selection_marks()) {
          call(hooks().draw_selection_rect);
          if (hooks().draw_selected_list) hooks().draw_selected_list(figure()->selection, 1, 1);
        }
        flush_moving_display(23);
      }
      return 0;
    default:
      (void)WM_USER;
      return 0;
  }
}

void open_ti_document() {
  const file_services& s = files_services();
  if (!file_buffer) return;
  if (file_platform == 3) {
    const int32_t offset = s.ti9x_check_signature ? s.ti9x_check_signature() : -1;
    if (offset >= 0 && static_cast<uint64_t>(offset) + 2 <= file_buffer_len && s.ti9x_read_macro)
      s.ti9x_read_macro(file_buffer + offset + 2);
    return;
  }
  if (file_class == 2) {
    // The Macintosh signature marks the first binary format.
    int (*import)() = file_platform == 1 ? s.import_old_macro_v1 : s.import_old_macro_v2;
    if (import != nullptr && import() != 1 && file_platform != 1) {
      const char* why =
          format_percent_args(kernel_string_or(kRowMacroUnreadable, "The macro cannot be read: %1"), old_binary_error());
      message_box_simple(why ? why : old_binary_error());
    }
    return;
  }
  uint32_t pos = 0;
  while (pos < file_buffer_len && file_buffer[pos] != '\r' && file_buffer[pos] != '\n') ++pos;
  while (pos < file_buffer_len && (file_buffer[pos] == '\r' || file_buffer[pos] == '\n')) ++pos;
  txt_load_used_macro(file_buffer + pos, 1);
}

void open_tool_menu_document() {
  if (!file_buffer) return;
  uint32_t pos = 0;
  while (pos < file_buffer_len && file_buffer[pos] != '\r' && file_buffer[pos] != '\n') ++pos;
  while (pos < file_buffer_len && (file_buffer[pos] == '\r' || file_buffer[pos] == '\n')) ++pos;
  txt_read_menu_description(file_buffer + pos, file_buffer_len - pos, 1);
}

bool is_figure_untouched(const kelvo_win_info* fig) {
  if (!fig || !fig->first) return true;
  if (fig->nbobj != 2) return false;
  const object* origin = fig->first;
  const object* axes = origin->next;
  return axes && axes == fig->cur2 && type_of(axes) == TYPE_AXES && origin->settings.visible == 0 &&
         axes->settings.visible == 0;
}

void for_each_figure_window() {
  if (!files_services().enum_figure_windows) return;
  files_services().enum_figure_windows(
      [](HWND, kelvo_win_info* fig, void*) {
        if (fig && fig->text1 && fig->ival == 3) KPGeoDocument::_do_dirty(fig);
        return true;
      },
      nullptr);
}

void scale_figure(double factor, uint8_t with_axes) {
  kelvo_win_info* fig = figure();
  if (!fig || !fig->first) return;
  object* start = fig->first->next;
  if (!with_axes && start) start = start->next;
  for (object* o = start; o; o = o->next) {
    uint8_t mask[5];
    object_scale_mask(o, mask);
    for (int i = 0; i < 5 && i < o->nbvaleurs && o->valeurs; ++i) {
      valeur& v = o->valeurs[i];
      if (mask[i] & 1) v.h *= factor;
      if (mask[i] & 2) v.v *= factor;
      if (mask[i] & 4) v.info.rayon *= factor;
    }
    free_bitmap_dib(o->bitmap);
    recompute_object(o);
  }
}
