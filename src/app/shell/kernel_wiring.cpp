#include "app/shell/kernel_wiring.h"

#include <QCursor>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QPrinter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "app/kernel_iface/kel_event_record.h"
#include "app/macros/macro_def_window.h"
#include "app/document/kp_document.h"
#include "app/panels/about_panel.h"
#include "app/panels/ambig_menu.h"
#include "app/panels/anim_panel.h"
#include "app/panels/calculator_panel.h"
#include "app/panels/color_palette_panel.h"
#include "app/panels/tool_menu_services.h"
#include "app/prefs/preferences_window.h"
#include "app/shell/application.h"
#include "app/shell/figure_window.h"
#include "app/view/kp_figure_view.h"
#include "kernel/exchange/ti9x_export.h"
#include "kernel/exchange/ti9x_import.h"
#include "kernel/exchange/ti_probe.h"
#include "kernel/files/text_family.h"
#include "kernel/measure/calculator.h"
#include "kernel/conics/conic_tangents.h"
#include "kernel/exchange/ti83_export.h"
#include "kernel/files/clipboard.h"
#include "kernel/files/file_dialogs.h"
#include "kernel/files/file_services.h"
#include "kernel/files/session_print.h"
#include "kernel/files/work_session.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_dialog.h"
#include "kernel/measure/plane_routines.h"
#include "kernel/model/figure.h"
#include "kernel/model/undo.h"
#include "kernel/prefs/preferences.h"
#include "kernel/objects/locus_type.h"
#include "kernel/render/display_device.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/render/object_colors.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/text/labels.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/cursors.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/designation_filters.h"
#include "kernel/tools/drag_start.h"
#include "kernel/tools/handler_helpers.h"
#include "kernel/tools/number_in_text.h"
#include "kernel/tools/pick.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/redefine_tool.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_handler.h"
#include "app/panels/tools_palette.h"
#include "app/panels/tools_pull_down.h"
#include "app/panels/figure_description_drawer.h"
#include "app/panels/replay_panel.h"
#include "app/panels/small_dialogs.h"
#include "kernel/window/replay.h"
#include "kernel/tools/tool_state.h"
#include <QApplication>
#include <QKeyEvent>
#include "kernel/prefs/default_attrs.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/apply_attributes.h"
#include "kernel/window/figure_events.h"
#include "kernel/window/object_events.h"
#include "kernel/window/main_commands.h"
#include "kernel/window/window_hooks.h"
#include "kernel/model/deletion.h"
#include "kernel/model/table.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_editing.h"
#include "kernel/render/colors.h"
#include "platform/ns_kelvo_text_view.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/kp_cursor.h"
#include "platform/kp_qt_bridge.h"

namespace {

KPFigureView* current_view() { return figure_view_of(current_figure_view); }

NSKelvoTextEditor* open_editor() {
  auto* editor = dynamic_cast<NSKelvoTextEditor*>(kp_qobject(text_edit_window));
  return editor && !editor->isHidden() ? editor : nullptr;
}

void install_text_editor() {
  TextEditorOps ops;
  ops.editor = []() -> HWND {
    KPFigureView* view = current_view();
    return view && view->textEditor() ? kp_hwnd(view->textEditor()) : nullptr;
  };
  ops.enter_object_edit = [](HWND editor, object* obj) {
    if (auto* e = dynamic_cast<NSKelvoTextEditor*>(kp_qobject(editor))) e->enterObjectEdit(obj);
  };
  ops.text_to_object = [](HWND editor, bool keep) {
    if (auto* e = dynamic_cast<NSKelvoTextEditor*>(kp_qobject(editor))) e->textToObject(keep);
  };
  ops.show = [](HWND editor, bool show) {
    if (auto* e = dynamic_cast<NSKelvoTextEditor*>(kp_qobject(editor))) e->kelvoShowWindow(show);
  };
  install_text_editor_ops(ops);
}

// Window pixels of the current view to figure coordinates, and back.
void view_to_figure(double* x, double* y) {
  KPFigureView* view = current_view();
  if (!view) return;
  tagPOINT p{static_cast<int32_t>(*x), static_cast<int32_t>(*y)};
  const double fx = *x - p.x;
  const double fy = *y - p.y;
  view->globalToLocalDDM(&p);
  *x = p.x + fx;
  *y = p.y + fy;
}

void figure_to_view(double* x, double* y) {
  KPFigureView* view = current_view();
  if (!view) return;
  tagPOINT p{static_cast<int32_t>(*x), static_cast<int32_t>(*y)};
  const double fx = *x - p.x;
  const double fy = *y - p.y;
  view->localToGlobalDDM(&p);
  *x = p.x + fx;
  *y = p.y + fy;
}

void draw_selection_marks(uint8_t advance) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig) draw_selected_list(fig->selection, advance, 1);
  draw_selection_rect();
}

KPFigureWindow* figure_window_of(HWND window) {
  QObject* o = kp_qobject(window);
  if (auto* w = dynamic_cast<KPFigureWindow*>(o)) return w;
  if (auto* v = dynamic_cast<KPFigureView*>(o)) return dynamic_cast<KPFigureWindow*>(v->window());
  return nullptr;
}

KPFigureWindow* current_figure_window() {
  KPFigureView* view = current_view();
  return view ? dynamic_cast<KPFigureWindow*>(view->window()) : nullptr;
}

void fill_window_services() {
  // The kernel's own subsystems have filled their slots (the calculator's
  // evaluation) at registration: they are kept.
  window_hooks h = window_services();
  // The trace layer of the current figure: made when an object is marked
  // for tracing, dropped when none is left and when the sheet scrolls.
  h.create_static_display = [] { create_trace_display(KPGeoDocument::currentInfo()); };
  h.free_static_display = [] { free_trace_display(KPGeoDocument::currentInfo()); };
  h.replay_running = [] { return ::replay_running != 0; };
  h.is_figure_description_visible = [](HWND window) {
    KPFigureWindow* w = figure_window_of(window);
    return w && w->getFigureDescDataSource()->visible();
  };
  h.figure_description_select_object = [] {
    KPFigureWindow* w = current_figure_window();
    kelvo_win_info* fig = KPGeoDocument::currentInfo();
    if (!w || !fig || !w->getFigureDescDataSource()->visible() || !has_no_saved_selection()) return;
    if (objlist_count(fig->selection) != 1) return;
    NSFigureDescDataSource* source = w->getFigureDescDataSource();
    source->refresh(false);
    w->figureDescriptionSelectLine(source->lineOfObject(fig->selection->items[0]));
  };
  h.send_description_list = [](UINT, WPARAM key) {
    KPFigureWindow* w = current_figure_window();
    if (!w || !w->getFigureDescDataSource()->visible()) return;
    const int k = key == 38 ? Qt::Key_Up : key == 40 ? Qt::Key_Down : 0;  // the kernel's arrow-key codes
    if (!k) return;
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
    QApplication::sendEvent(w->getFigureDescDataView(), &press);
  };
  h.reset_palette_selections = &reset_palette_selections;
  h.place_description_panel = [](HWND) {
    // The drawer sits in the window's layout beside the view, 270 pixels
    // wide: it follows the window without being placed.
  };
  h.redefinition_waiting = redefinition_waiting;
  h.cancel_last_selection = [](int erase, int remove) {
    cancel_last_selection(static_cast<uint8_t>(erase), static_cast<uint8_t>(remove));
  };
  h.delete_objects = [](object** list) {
    if (!list) {
      delete_objects(nullptr);
      return;
    }
    // Each deletion may take later entries along: delete only those still
    // in the figure.
    std::vector<object*> wanted;
    for (object** o = list; *o; ++o) wanted.push_back(*o);
    for (object* o : wanted) {
      kelvo_win_info* fig = KPGeoDocument::currentInfo();
      for (object* live = fig ? fig->first : nullptr; live; live = live->next)
        if (live == o) {
          delete_objects(o);
          break;
        }
    }
  };
  h.drag_armed = [] { return pointer_drag_started != 0; };
  h.dispatch_object_event = [](kel_EventRecord* event, object* obj) {
    return static_cast<int16_t>(dispatch_object_event(event, obj));
  };
  h.handle_manipulation_event = [](kel_EventRecord* event) { handle_manipulation_event(event, drag_object); };
  h.set_drag_kind = [](int kind) { drag_kind = static_cast<int16_t>(kind); };
  h.recompute_marked_objects = &recompute_marked_objects;
  h.start_spring_animation = &start_spring_animation;
  h.tools_window = [] { return tools_panel_window; };
  h.post_tools_palette = [](UINT message, WPARAM wparam, LPARAM lparam) {
    if (tools_panel_window) NSKelvoWrapMachine::cwmPostMessage(tools_panel_window, message, wparam, lparam);
  };
  h.open_pull_down = [] { return open_pull_down; };
  h.take_pull_down_entry = []() -> uint32_t {
    NSGeoToolsPullDownController* list = NSGeoToolsPullDownController::openPullDown();
    return list ? list->takeCurrentEntry() : 0;
  };
  h.set_undo_menu_text = &restore_undo_menu_text;
  // The window whose focus a press in a figure borrows and gives back on
  // release: only a panel being typed into (the calculator's formula) gets
  // it back, so that a click picks an object for it and typing goes on. A
  // figure window, or a panel of buttons, lends nothing: the press makes
  // the figure's own window active.
  h.focus_window = []() -> HWND {
    QWidget* active = QApplication::activeWindow();
    if (!active || dynamic_cast<KPFigureWindow*>(active)) return nullptr;
    QWidget* typing = active->focusWidget();
    const bool text_field = qobject_cast<QLineEdit*>(typing) || qobject_cast<QTextEdit*>(typing) ||
                            qobject_cast<QPlainTextEdit*>(typing);
    return text_field ? kp_hwnd(active) : nullptr;
  };
  h.palette_reorganising = [] { return config_mode != 0; };
  h.apply_macro = [](uint16_t method, int mode) {
    apply_macro(static_cast<int16_t>(method), static_cast<uint8_t>(mode));
  };
  h.prepare_macro_application = [] { prepare_macro_application(); };
  h.bind_macro_classes = &bind_macro_classes;
  h.session_record_action = &session_record_action;
  h.regenerate_text_object = [](object* obj, uint8_t key) {
    // The key goes to the label of the object, which becomes the active
    // text.
    kelvo_win_info* fig = KPGeoDocument::currentInfo();
    if (!fig || !obj) return;
    fig->cur_text = obj;
    type_into_label(static_cast<char>(key));
  };
  h.update_object_text_record = [](object* obj) {
    if (!obj || !obj->te) return;
    // A table draws its cells from its record as they are, in the frame
    // the user gave it: no text view to refresh, no frame to fit.
    if (obj->otype && obj->otype->id == TYPE_TABLE) return;
    obj->te->regen_pending = 1;
    obj->te->needs_regen = 1;
    if (text_handle_ops().refresh) text_handle_ops().refresh(obj, true);
  };
  h.has_displayed_text = &has_displayed_text;
  h.selected_number_in_active_text = &selected_number_in_active_text;
  h.is_current_text_tool_target = &is_current_text_tool_target;
  h.has_label_text = &object_has_label_text;
  h.text_editor_selection = [](int32_t* start, int32_t* end, int32_t* length) {
    NSKelvoTextEditor* editor = open_editor();
    if (!editor) return false;
    int32_t range[2] = {0, 0};
    editor->sendMessage(kEditorGetSelection, 0, reinterpret_cast<LPARAM>(range));
    if (start) *start = range[0];
    if (end) *end = range[1];
    if (length) *length = editor->stringLength();
    return true;
  };
  h.text_editor_window = []() -> HWND { return open_editor() ? text_edit_window : nullptr; };
  h.conic_bounding_rect = &conic_bounding_rect;
  h.arc_bounding_rect = &arc_bounding_rect;
  h.is_value_object = &value_object_check;
  h.window_to_figure = [](tagPOINT* point) {
    if (KPFigureView* view = current_view()) view->globalToLocalDDM(point);
  };
  h.view_int_bounds = [](HWND window, tagRECT* bounds) {
    if (KPFigureView* view = figure_view_of(window)) view->intBounds(bounds);
  };
  h.window_figure = [](HWND window) -> kelvo_win_info* {
    KPFigureView* view = figure_view_of(window);
    return view ? view->info() : nullptr;
  };
  h.window_display_device = [](HWND window) -> DisplayDevice* {
    KPFigureView* view = figure_view_of(window);
    return view ? view->getDisplayDevice() : nullptr;
  };
  install_window_services(h);
}

void fill_tool_services() {
  tool_hooks& h = tool_services();
  h.start_replay_construction = &start_replay_construction;
  run_replay_construction_panel = &run_replay_construction_panel_qt;
  install_anim_panel();
  set_calculator_panel_opener(open_calculator_panel);
  h.copy_to_clipboard = [](int) { copy_to_clipboard(); };
  h.cut_selection_command = &cut_selection_command;
  h.paste_from_clipboard = &paste_from_clipboard;
  h.define_macro = &define_macro;
  h.macro_asks_save = &macro_asks_save;
  h.redraw_figure = [](int mode, int) {
    redraw_figure(static_cast<uint8_t>(mode));
    copy_static_display();
  };
  // The hint beside the cursor belonged to the tool that ends: it goes
  // from the view at once, not at the next move.
  h.designation_tool_changed = [] {
    draw_designation_text(nullptr, tagPOINT{}, 0);
    flush_moving_display(2);
  };
  h.objects_being_moved = [] { return manipulating != 0; };
  h.check_figure_timer = [] {
    if (KPFigureView* view = current_view()) view->CheckFigureTimer();
  };
  h.view_has_display_device = [] {
    KPFigureView* view = current_view();
    return view && view->getDisplayDevice();
  };
  h.clear_pick_marks = &clear_pick_marks;
  h.close_pending_popup = &ambig_popup_close_open;
  // The figure window takes the keys again; the calculator panel floats
  // above it as before.
  h.bring_main_window_to_front = [] {
    if (KPFigureWindow* window = KPDocument::currentWindow()) {
      window->raise();
      window->activateWindow();
    }
    if (KPCalculatorPanel* panel = calculator_panel(); panel && panel->isVisible()) panel->raise();
  };
  h.delete_empty_text_objects = &delete_empty_text_objects;
  h.switch_text_edit_object = [](object* obj) { ::switch_text_edit_object(obj); };
  h.send_text_editor = [](UINT message, WPARAM wparam, LPARAM lparam) {
    if (!text_edit_window) return false;
    NSKelvoWrapMachine::sendMessage(text_edit_window, message, wparam, lparam);
    return true;
  };
  h.change_text_color = [](uint32_t color) {
    NSKelvoTextEditor* editor = open_editor();
    // A text in the background's colour would vanish.
    if (editor) editor->changeTextColor(color == back_color ? 0xFEFEFE : color, 0, 0);
  };
  h.hide_pending_button_targets = &hide_pending_button_targets;
  h.pop_tool_argument_state = &pop_tool_argument_state;
  h.resolve_text_reference = &resolve_text_reference;
  h.save_file_as_dialog = [](int kind, construct_class* cls) {
    save_file_as_dialog(kp_current_figure_window(), kind, cls);
  };
  h.display_tool_name = [](const char* name) {
    // The tool is the program's, not one window's: every window names it,
    // so that none behind keeps a name the language no longer gives.
    for (KPDocument* doc : KPDocument::liveDocuments())
      if (KPFigureWindow* window = doc->figureWindow()) window->setToolNameFieldContent(kp_qstring(name ? name : ""));
  };
  h.show_help_page = [](const char* text, const char* page) {
    // Every figure window shows the page; its field shows only while the
    // tools help is on.
    for (KPDocument* doc : KPDocument::liveDocuments())
      if (KPFigureWindow* window = doc->figureWindow()) window->showHelpPage(kp_qstring(text ? text : ""), page);
  };
  // The attribute pop-ups show the record of the chosen tool; the attribute
  // mask follows the menus the colour palette shows.
  h.load_attrs_into_menus = &load_attrs_into_menus;
  h.apply_attributes_to_selection = &apply_attributes_to_selection;
  h.apply_style_change = &apply_style_change;
  attribute_menu_ops menus;
  menus.show = [](int menu, uint32_t value) { set_attrib_menu_value(static_cast<int16_t>(menu), value); };
  menus.active = [](int menu) { return menu >= 0 && menu < kAttributeMenuCount && attrib_menu_shown[menu] != 0; };
  install_attribute_menu_ops(menus);
}

void fill_designation_services() {
  designation_services& h = designation_hooks();
  h.has_display_device = [] { return moving_display != nullptr; };
  h.blink_selection = [] {
    if (!blink_selection_marks()) return false;
    draw_selection_marks(1);
    return true;
  };
  h.draw_selection_marks = [] { draw_selection_marks(0); };
  h.selection_marks_shown = [] { return selection_rect_shown != 0; };
  h.button_down = [] { return mouse_tracking != 0; };
  h.drag_in_progress = [] { return manipulating != 0; };
  h.object_would_move = &object_would_move;
  h.mouse_speed_below = &is_mouse_speed_below;
  h.refresh_moving_layer = &refresh_moving_layer;
  h.show_cursor = [](int id) { KPCursor::setCursorByID(id); };
  h.setup_tool = &setup_current_tool;
  // The click is kept in window pixels; its readers want figure coordinates.
  h.saved_click = [](tagPOINT* p) {
    get_saved_mouse_point(p);
    if (KPFigureView* view = current_view()) view->globalToLocalDDM(p);
    return true;
  };
  h.circle_of_point = &circle_of_point;
  h.table_hit_cell = [](const tagPOINT* p, object* table, uint16_t* row, uint16_t* column) {
    table_hit_cell(p, table ? table->te : nullptr, row, column);
  };
  h.popup_tracking = [] { return popup_tracking != 0; };
  h.locus_is_valid = [](object* locus) { return locus_is_valid(locus); };
}

void fill_drag_services() {
  drag_services& h = drag_hooks();
  h.selection_contains_item = &selection_contains_item;
  h.figure_to_window = &figure_to_view;
  h.link_number_to_text = &link_number_to_text;
  h.selected_number_in_active_text = [] { return selected_number_in_active_text(nullptr); };
  h.selection_rect_shown = [] { return selection_rect_shown != 0; };
  h.shift_selection_rect = [](int32_t dx, int32_t dy) {
    selection_rect.left += dx;
    selection_rect.right += dx;
    selection_rect.top += dy;
    selection_rect.bottom += dy;
  };
}

void fill_object_event_services() {
  object_event_services& h = object_event_hooks();
  h.window_to_figure = &view_to_figure;
  h.link_number_to_text = &link_number_to_text;
  h.is_labelable_object = [](object* obj) { return is_labelable_object(obj); };
  h.place_object_label = [](object* obj) { place_object_label(obj, 1); };
  h.selected_number_in_active_text = [] { return selected_number_in_active_text(nullptr); };
  h.table_hit_cell = [](object* table, double x, double y, int16_t* row, int16_t* column) {
    const tagPOINT p{static_cast<int32_t>(std::floor(x)), static_cast<int32_t>(std::floor(y))};
    uint16_t r = 0, c = 0;
    table_hit_cell(&p, table ? table->te : nullptr, &r, &c);
    *row = static_cast<int16_t>(r);
    *column = static_cast<int16_t>(c);
  };
  h.regenerate_rich_text = [](object* obj) {
    if (!obj || !obj->te) return;
    obj->te->regen_pending = 1;
    if (text_handle_ops().refresh) text_handle_ops().refresh(obj, true);
  };
  h.locus_change_nb_points = [](object* locus, bool more) {
    return locus_change_nb_points(locus, more ? uint16_t{1} : uint16_t{65535});
  };
}

void fill_filter_services() {
  filter_services f;
  f.effective_color = &object_effective_color;
  f.is_text_like = &is_text_like_object;
  f.locus_is_valid = &locus_is_valid;
  install_filter_services(f);
}

void fill_cursor_environment() {
  cursor_environment env;
  env.figure_window_mouse = [](figure_window_mouse* out) {
    KPFigureView* view = current_view();
    if (!view || !out) return false;
    const QPoint p = view->mapFromGlobal(QCursor::pos());
    out->in_aux_window = false;
    out->mouse = tagPOINT{p.x(), p.y()};
    out->frame = tagRECT{0, 0, view->width(), view->height()};
    out->help_shown = false;
    out->help_height = 0;
    return true;
  };
  env.in_link_text_field = &NSLinkTextField::inside;
  env.splash_visible = &splash_on_show;
  install_cursor_environment(env);
}

void fill_main_command_services() {
  main_command_hooks& h = main_command_services();
  h.open_document_path = [](const char* path) {
    if (!path) return KPDocument::openUntitledDocument() != nullptr;
    return KPDocument::openDocument(QString::fromUtf8(path)) != nullptr;
  };
  h.close_all_documents = [] {
    const std::vector<KPDocument*> documents = KPDocument::liveDocuments();
    for (KPDocument* doc : documents) {
      const auto& live = KPDocument::liveDocuments();
      if (std::find(live.begin(), live.end(), doc) == live.end()) continue;
      if (!doc->shouldClose()) return;
      doc->close();
    }
  };
  h.clear_command = [] { clear_command(); };
  h.apply_window_placement = &apply_window_placement;
  h.run_preferences_dialog = [] { run_preferences_window(); };
  h.session_start_recording = &session_start_recording;
  h.session_stop_recording = &session_stop_recording;
  h.session_load_snapshot = [](char which) { session_load_snapshot(which); };
  h.session_open = [] { session_open(716); };
  session_services().show_snapshot = &KPDocument::showSessionSnapshot;
  h.session_print = &session_print;
  session_print_hooks& print = session_print_services();
  print.run_dialog = [](const char* name, session_dialog_procedure procedure) {
    return run_print_session_dialog_qt(nullptr, name, kp_current_figure_window(), procedure);
  };
  // The session's own window is printed, whichever window asked.
  static constexpr auto session_document = []() -> KPDocument* {
    if (auto* window = dynamic_cast<KPFigureWindow*>(kp_qobject(session_window())))
      if (KPDocument* doc = KPDocument::FindDocumentWith_Window(window)) return doc;
    return KPDocument::currentDocument();
  };
  print.printer_landscape = [] {
    KPDocument* doc = session_document();
    return doc && doc->printInfo()->pageLayout().orientation() == QPageLayout::Landscape;
  };
  print.print_current_view = [] {
    if (KPDocument* doc = session_document()) doc->printDocument();
  };
  print.printable_size = [](HWND view, double* width, double* height) {
    if (KPFigureView* v = figure_view_of(view)) {
      *width = v->calculatePrintWidth();
      *height = v->calculatePrintHeight();
    }
  };
  h.regenerate_rtf_if_needed = [](object* obj) {
    if (text_handle_ops().regenerate_text) text_handle_ops().regenerate_text(obj);
  };
  h.text_editor_length = []() -> int32_t {
    NSKelvoTextEditor* editor = open_editor();
    return editor ? editor->stringLength() : -1;
  };
  h.release_text_view = [](object* obj) {
    if (!obj || !obj->te || !obj->te->text_view) return;
    if (text_handle_ops().release_view) text_handle_ops().release_view(obj->te->text_view);
    obj->te->text_view = nullptr;
  };
  h.start_auto_animation = [] {
    if (KPFigureView* view = current_view()) view->autoanimate();
  };
  h.last_click_point = [] { return press_point; };
  h.unit_popup_menu = &unit_popup_menu;
  h.blink_selection_marks = &blink_selection_marks;
  h.draw_selection_rect = [] { draw_selection_rect(); };
  h.draw_selected_list = [](dyn_array_object* list, int mode, int flags) {
    draw_selected_list(list, static_cast<uint8_t>(mode), static_cast<uint8_t>(flags));
  };
}

void fill_file_services() {
  file_services& h = files_services();
  h.rebuild_tools_panel = &rebuild_tools_panel;
  h.import_preferences_file = &import_preferences_file;
  h.ti83_export_figure = &ti83_export_figure;
  h.ti9x_export_figure = &ti9x_export_figure;
  h.ti9x_check_signature = []() -> int32_t { return ti9x_check_signature(file_buffer, file_buffer_len, nullptr); };
  h.ti9x_read_macro = [](const char* data) {
    // The variable data ends before the two checksum bytes of the image.
    const auto* end = reinterpret_cast<const uint8_t*>(file_buffer) + file_buffer_len;
    const auto* at = reinterpret_cast<const uint8_t*>(data);
    return at != nullptr && end - at >= 2 && ti9x_read_macro(at, end - 2) >= 0 ? 1 : 0;
  };
  h.enum_figure_windows = [](bool (*visit)(HWND window, kelvo_win_info* fig, void* context), void* context) {
    const std::vector<KPDocument*> documents = KPDocument::liveDocuments();
    for (KPDocument* doc : documents) {
      KPFigureView* view = doc->figureView();
      if (view && !visit(kp_hwnd(view), view->info(), context)) return;
    }
  };
  h.window_figure = [](HWND window) -> kelvo_win_info* {
    KPFigureView* view = figure_view_of(window);
    return view ? view->info() : nullptr;
  };
  h.main_application = []() -> HWND {
    DUVirIdazididovi* app = DUVirIdazididovi::running();
    return app ? kp_hwnd(app) : nullptr;
  };
}

}  // namespace

void install_kernel_services() {
  install_kelvo_text_view();
  install_text_editor();
  fill_main_command_services();
  fill_file_services();
  fill_window_services();
  fill_tool_services();
  fill_designation_services();
  fill_drag_services();
  fill_object_event_services();
  fill_filter_services();
  fill_cursor_environment();
  install_hexagon_ops();
  KPMacroDefWindow::installKernelServices();
}
