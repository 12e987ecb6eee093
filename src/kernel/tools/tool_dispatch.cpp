#include "kernel/tools/tool_dispatch.h"

#include <cstring>
#include <initializer_list>
#include <string>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/deletion.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/undo.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/colors.h"
#include "kernel/render/draw_object.h"
#include "kernel/render/object_colors.h"
#include "kernel/tools/apply_attributes.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/designation_filters.h"
#include "kernel/tools/drag_start.h"
#include "kernel/tools/redefine_tool.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_handler.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/toolbox.h"
#include "kernel/window/figure_events.h"
#include "platform/kp_menu.h"

uint8_t interaction_state = STATE_POINTER;
uint16_t drag_mode = DRAG_TRANSLATE;
uint16_t attribute_mask = 0;
uint32_t last_toolbox_tool = kPointerTool;
designation_filter_fn designation_filter = manip_tool_common;
HCURSOR tool_cursors[3] = {};
const char* current_help_text = "";
const char* current_help_page = "";
int16_t spring_pick_mode = 0;
uint8_t calculator_active = 0;
uint8_t manipulating = 0;
uint8_t spring_gesture_active = 0;
uint8_t scroll_drag_active = 0;
uint8_t rubber_band_tracking = 0;
uint8_t attribute_tool_armed = 0;
uint16_t last_text_size_item = 0;

namespace {

constexpr UINT kPaletteMessage = 1024;
constexpr WPARAM kPaletteSelect = 102;
constexpr WPARAM kPaletteRestore = 101;
constexpr UINT kEditorCut = 768;
constexpr UINT kEditorCopy = 769;
constexpr UINT kEditorPaste = 770;
constexpr UINT kEditorScaleText = 185;
constexpr UINT kEditorBackground = 1091;
constexpr int kRowUndo = 546;
constexpr int kRowRedo = 547;

// The dash patterns of the dot-style pop-up: solid, dots, dashes.
// Argument types of the class-less tools.
constexpr uint16_t kGeometricTypes[] = {1, 2, 3, 7, 8, 4, 5, 10, 11, 15, 14, 12, 9, 13};
constexpr uint16_t kButtonTargetTypes[] = {1, 2, 3, 7, 8, 4, 5, 10, 11, 15, 14, 12, 9, 13, 16, 20, 19, 18, 17, 22};

const tool_hooks& hooks() { return tool_services(); }

kelvo_win_info* figure() { return KPGeoDocument::currentInfo(); }

uint16_t type_id_of(const object* obj) { return obj && obj->otype ? obj->otype->id : 0; }

// The figure's object under text handling, while it is being edited.
object* edited_text() {
  kelvo_win_info* fig = figure();
  if (!fig || !fig->cur_text || !fig->cur_text->te || type_id_of(fig->cur_text) == TYPE_TABLE) return nullptr;
  return fig->cur_text;
}

void send_palette(WPARAM wparam, LPARAM lparam) {
  if (hooks().send_tools_palette) hooks().send_tools_palette(kPaletteMessage, wparam, lparam);
}

void show_help(const char* text, const char* page) {
  current_help_text = text ? text : "";
  current_help_page = page ? page : "";
  if (hooks().show_help_page) hooks().show_help_page(current_help_text, current_help_page);
}

void clear_accepted(designation_list* list) {
  if (list->entries) list->entries[0] = designation_entry{};
}

void accept_types(std::initializer_list<uint16_t> codes) {
  for (uint16_t c : codes) append_accepted_type(&accepted_types, c, 0, nullptr);
}

template <std::size_t N>
void accept_types(const uint16_t (&codes)[N]) {
  for (uint16_t c : codes) append_accepted_type(&accepted_types, c, 0, nullptr);
}

default_attr* attrs() {
  if (!current_attrs) current_attrs = &no_class_attrs;
  return current_attrs;
}

// Pops the figure's picked list from its end, destroying what the current
// construction made. True when something was taken back.
bool pop_picked_objects() {
  kelvo_win_info* fig = figure();
  if (!fig || !fig->inputs || !fig->inputs->items) return false;
  bool any = false;
  for (int i = objlist_count(fig->inputs) - 1; i >= 0; --i) {
    object* o = fig->inputs->items[i];
    fig->inputs->items[i] = nullptr;
    if (fig->inputs->tags) fig->inputs->tags[i] = 0;
    any = true;
    if (!o) continue;
    if (o->state & OBJ_NEW) {
      // The set keeps no record of the point; a set left with none (made
      // for this point alone) goes too, or the next pick on the same two
      // objects would find an empty set.
      object* empty_set = detach_intersection_point(o);
      if (fig->nbobj) --fig->nbobj;
      destroy_object(o);
      if (empty_set) {
        for (int j = 0; j < i; ++j)
          if (fig->inputs->items[j] == empty_set) fig->inputs->items[j] = nullptr;
        if (fig->nbobj) --fig->nbobj;
        destroy_object(empty_set);
      }
    } else {
      o->state &= ~OBJ_CHOSEN;
    }
  }
  return any;
}

// Applies the attribute bits to the selection after a pop-up choice.
void apply_to_selection(uint16_t bits) {
  kelvo_win_info* fig = figure();
  if (interaction_state != STATE_POINTER || !fig || !fig->selection) return;
  const bool any = objlist_count(fig->selection) > 0;
  if (any) save_undo_state(0);
  apply_attributes_to_objects(fig->selection->items, fig->selection->tags, bits, 0);
  if (any) set_document_dirty();
}

void edit_command(uint16_t item) {
  kelvo_win_info* fig = figure();
  const tool_hooks& h = hooks();
  switch (item) {
    case 1:
      if (current_class) {
        reset_class_type_marks(current_class);
        if (fig) objlist_clear(fig->inputs);
      }
      select_tool(0);
      if (undo_available == 1) {
        undo_swap_state();
        set_undo_menu_text(kernel_string(undo_offers_undo ? kRowRedo : kRowUndo));
        undo_offers_undo = undo_offers_undo ? 0 : 1;
      }
      return;
    case 2:
    case 3:
    case 4: {
      if (tool_calculator_window_exists() && calculator_active) return;
      if (edited_text()) {
        if (item == 4) save_undo_state(0);
        if (h.send_text_editor) h.send_text_editor(item == 2 ? kEditorCut : item == 3 ? kEditorCopy : kEditorPaste, 0, 0);
        if (item != 3) set_document_dirty();
        return;
      }
      if (item == 3) {
        if (h.copy_to_clipboard) h.copy_to_clipboard(0);
        return;
      }
      if (item == 4 && !current_figure_view) return;
      select_tool(0);
      save_undo_state(0);
      if (item == 2 && h.cut_selection_command) h.cut_selection_command();
      if (item == 4 && h.paste_from_clipboard) h.paste_from_clipboard();
      set_document_dirty();
      return;
    }
    case 6:
      select_tool(0);
      select_all_objects();
      refresh_tool_menus();
      if (h.check_figure_timer) h.check_figure_timer();
      return;
    case 7:
      if (h.start_replay_construction) h.start_replay_construction();
      return;
    case 8:
      tool_redraw_figure(0, 3);
      if (fig && fig->dd) dd_draw_background(fig->dd);
      if (h.objects_being_moved && h.objects_being_moved())
        tool_redraw_figure(2, 4);
      else
        invalidate_current_figure_window();
      refresh_figure_description(current_figure_view);
      return;
    default:
      return;
  }
}

void palette_command(uint16_t item) {
  const tool_hooks& h = hooks();
  if (item == 3) {
    select_tool(0);
    select_tool(0);
  } else if (item == 1) {
    if (!(h.close_attrib_palette && h.close_attrib_palette()) && h.refresh_attrib_palette) h.refresh_attrib_palette();
    if (h.update_attrib_palette_menu_text) h.update_attrib_palette_menu_text();
  }
}

// While a text is edited in place the colour pop-ups change it: the pen
// colour its frame, the fill its background (and the editor's, when the text
// is drawn filled), the text colour its record and the characters selected
// in the editor.
void color_edited_text(object* text, uint16_t group, uint32_t color) {
  if (group == 1001) {
    set_object_color(text, color);
  } else if (group == 1002) {
    set_object_fill_color(text, color);
    if (text->settings.opaque && hooks().send_text_editor)
      hooks().send_text_editor(kEditorBackground, 0, static_cast<LPARAM>(rgb_to_bgr_pal(color)));
  } else {
    if (hooks().change_text_color) hooks().change_text_color(color);
    text->te->format.color = color;
  }
  invalidate_current_figure_window();
}

void color_popup(uint16_t group, uint32_t color) {
  kelvo_win_info* fig = figure();
  if (object* text = edited_text()) {
    color_edited_text(text, group, color);
    return;
  }
  uint16_t bits = 0;
  if (group == 1001) {
    attrs()->settings.Color = color;
    bits = ATTR_COLOR;
  } else if (group == 1002) {
    attrs()->settings.FillColor = color;
    bits = ATTR_FILL;
  } else {
    attrs()->text_color = color;
    const bool holds_text = fig && fig->cur_text && objlist_find(fig->selection, fig->cur_text) >= 0;
    if (!holds_text && hooks().apply_style_change) hooks().apply_style_change(1003);
  }
  apply_to_selection(bits);
}

void style_popup(uint16_t group, uint16_t item) {
  if (item == 0) return;
  const auto style = static_cast<uint8_t>(item - 1);
  uint16_t bits = 0;
  default_attr* a = attrs();
  switch (group) {
    case 1004: {
      // Entry 1 is "smaller", entry 2 "larger".
      const bool smaller = item == 1;
      last_text_size_item = item;
      if (object* text = edited_text()) {
        text->te->format.size = step_text_size(text->te->format.size, smaller);
        if (hooks().send_text_editor)
          hooks().send_text_editor(kEditorScaleText, 1, smaller ? 80000000 : 125000000);
        return;
      }
      a->text_size = step_text_size(a->text_size, smaller);
      if (hooks().apply_style_change) hooks().apply_style_change(1004);
      break;
    }
    case 1005:
      a->settings.thickness = style;
      bits = ATTR_THICKNESS;
      break;
    case 1006:
      if (style >= kDashCount) return;
      a->settings.dot_style = dash_table[style];
      bits = ATTR_DOT_STYLE;
      break;
    case 1007:
      a->point_style = style;
      bits = ATTR_POINT_STYLE;
      break;
    case 1008:
      a->angle_mark_style = static_cast<uint8_t>((a->angle_mark_style & 0xF0) | (style & 0x0F));
      bits = ATTR_ANGLE_MARK_STYLE;
      break;
    case 1009:
      a->line_style = style;
      bits = ATTR_LINE_STYLE;
      break;
    case 1010:
      a->second_line_style = style;
      bits = ATTR_SECOND_LINE_STYLE;
      break;
    case 1011:
      a->axes_style = style;
      bits = ATTR_AXES_STYLE;
      break;
    default:
      return;
  }
  apply_to_selection(bits);
}

// The Show Axes entry of the toolboxes shows the state of the figure's axes.
void sync_show_axes_entry() {
  kelvo_win_info* fig = figure();
  if (!fig || !fig->first || !fig->first->next) return;
  const int shown = fig->first->next->settings.visible ? 1 : 0;
  toolbar_table[ROW_SHOW_AXES - 1].name = show_axes_names[shown];
  toolbar_table[ROW_SHOW_AXES - 1].icon = show_axes_icons[shown];
  const uint32_t id = find_tool_id_by_name(show_axes_names[1 - shown]);
  if (!id) return;
  menu* m = find_tool_menu(static_cast<int16_t>(tool_group(id)));
  const int item = tool_item(id);
  const std::size_t n = std::strlen(show_axes_names[shown]);
  char* name = alloc_block<char>(static_cast<uint32_t>(n + 1));
  if (!name) return;
  std::memcpy(name, show_axes_names[shown], n);
  GlobalFreeAndNull(&m->names[item]);
  m->names[item] = name;
  m->icons[item] = show_axes_icons[shown];
}

void show_axes(uint32_t id, uint32_t previous_tool) {
  kelvo_win_info* fig = figure();
  if (fig && fig->first && fig->first->next) {
    object* origin = fig->first;
    object* axes = origin->next;
    object* list[3] = {origin, axes, nullptr};
    if ((origin->settings.visible != 0) != (axes->settings.visible != 0)) {
      list[0] = axes;
      list[1] = nullptr;
    }
    apply_attributes_to_objects(list, nullptr, ATTR_HIDE_SHOW, 0);
    sync_show_axes_entry();
  }
  last_toolbox_tool = previous_tool;
  send_palette(kPaletteSelect, static_cast<LPARAM>(id));
  send_palette(kPaletteRestore, static_cast<LPARAM>(previous_tool));
}

void class_less_tool(const toolbar_row& row, int16_t index) {
  kelvo_win_info* fig = figure();
  const tool_hooks& h = hooks();
  interaction_state = row.kind;
  switch (row.kind) {
    case STATE_POINTER:
      if (row.parameter) drag_mode = row.parameter;
      break;
    case STATE_TRACE:
      clear_selection();
      if (fig && fig->selection)
        for (object* o = fig->first; o; o = o->next)
          if (o->settings.marked) objlist_add(fig->selection, o, 0);
      break;
    case STATE_FIX_FREE:
      invalidate_current_figure_window();
      attribute_tool_armed = 1;
      break;
    case STATE_APPEARANCE:
      if (row.parameter) attribute_mask = row.parameter;
      if (attribute_mask == ATTR_HIDE_SHOW) {
        if (tool_modifier_down(8) && fig && objlist_count(fig->selection) > 0) {
          save_undo_state(0);
          if (h.apply_attributes_to_selection) h.apply_attributes_to_selection(1);
          set_document_dirty();
        }
        tool_redraw_figure(0, 8);
        invalidate_current_figure_window();
      } else if (h.set_palette_flags) {
        std::string name = row.name ? row.name : "";
        while (!name.empty() && name.back() == '.') name.pop_back();
        h.set_palette_flags(attribute_mask, name.c_str());
      }
      attribute_tool_armed = 1;
      break;
    case STATE_MACRO:
      if (row.parameter == 3) {
        construct_class* cls = h.define_macro ? h.define_macro() : nullptr;
        if (cls) {
          const int n = class_method_count(cls);
          const construct_method* last = n ? class_method(cls, n - 1) : nullptr;
          if (last && last->def && h.macro_asks_save && h.macro_asks_save(last->def) && h.save_file_as_dialog)
            h.save_file_as_dialog(2, cls);
        }
        select_tool(0);
        return;
      }
      if (fig) install_selection_list(row.parameter == 2 ? fig->list4 : fig->list3);
      break;
    default:
      break;
  }
  (void)index;
  show_help(row.help_text, row.help_page);
  setup_current_tool(nullptr);
}

void tool_command(uint32_t id, uint32_t previous_tool) {
  kelvo_win_info* fig = figure();
  const tool_hooks& h = hooks();
  show_tool_name(id);
  if (construct_class* cls = find_class_by_name(nullptr, id)) {
    current_class = cls;
    // In calculator mode the calculator's list stays the one shown.
    if (fig) install_selection_list(cls == &classe_calculate && calculator_active && fig->list3 ? fig->list3 : fig->inputs);
    interaction_state = STATE_CONSTRUCTION;
    show_help(cls->help_text, cls->help_page);
    if (cls == &classe_table && fig && fig->cur_text && h.switch_text_edit_object)
      h.switch_text_edit_object(fig->cur_text);
    if (cls == &classe_spring) {
      tool_redraw_figure(0, 7);
      invalidate_current_figure_window();
      if (h.open_anim_panel) h.open_anim_panel();
    }
    setup_current_tool(cls);
    return;
  }
  const int16_t index = find_toolbar_index_by_name(nullptr, id);
  if (!index) {
    if (h.select_tool_item) h.select_tool_item(kFirstToolbox, 1);
    last_toolbox_tool = kPointerTool;
    return;
  }
  const toolbar_row& row = toolbar_table[index - 1];
  if (row.kind == STATE_SHOW_AXES)
    show_axes(id, previous_tool);
  else
    class_less_tool(row, index);
}

bool keeps_current_tool(uint32_t id) {
  switch (id) {
    case make_tool_id(2, 1):
    case make_tool_id(2, 2):
    case make_tool_id(2, 3):
    case make_tool_id(2, 4):
    case make_tool_id(2, 8):
    case make_tool_id(3, 1):
    case make_tool_id(4, 1):
      return true;
    case make_tool_id(2, 7):
      return attribute_mask == ATTR_HIDE_SHOW;
    default:
      // The formula tool chosen again while the calculator is open in
      // calculator mode keeps the formula being typed.
      if (calculator_active && current_class == &classe_calculate &&
          find_class_by_name(nullptr, id) == &classe_calculate)
        return true;
      return false;
  }
}

}  // namespace

void dispatch_tool_action(uint32_t id, uint32_t value) {
  if ((interaction_state == STATE_APPEARANCE && attribute_mask == ATTR_HIDE_SHOW) ||
      interaction_state == STATE_FIX_FREE || current_class == &classe_spring) {
    tool_redraw_figure(0, 2);
    invalidate_current_figure_window();
    update_axes_tool_variant();
  }
  const uint32_t previous_tool = last_toolbox_tool;
  uint16_t group = tool_group(id);
  if (group >= kFirstToolbox && group <= 1000) last_toolbox_tool = id;
  if (group <= 1000 && !keeps_current_tool(id)) end_tool_action();
  if (id == 0) {
    send_palette(kPaletteSelect, static_cast<LPARAM>(kPointerTool));
    id = kPointerTool;
    group = tool_group(id);
    last_toolbox_tool = kPointerTool;
    setup_current_tool(nullptr);
  }
  const uint16_t item = tool_item(id);
  if (group == 0) return;
  if (group == 1) {
    select_tool(0);
    return;
  }
  if (group == kGroupEdit) return edit_command(item);
  if (group == kGroupPalette) return palette_command(item);
  if (group >= 1001 && group <= 1003) return color_popup(group, value);
  if (group >= 1004 && group <= kLastAttributeMenu) return style_popup(group, item);
  if (group > kLastAttributeMenu) return;
  tool_command(id, previous_tool);
}

void select_tool(uint32_t tool_id) { dispatch_tool_action(tool_id, 0); }

void append_accepted_type(designation_list* list, uint16_t code, uint16_t method_index, const char* text) {
  if (!list) return;
  int count = 0;
  if (list->entries)
    while (count < list->capacity && list->entries[count].code) ++count;
  if (!list->entries || count >= list->capacity - 1) {
    const auto capacity = static_cast<int16_t>(list->capacity + 20);
    designation_entry* grown = alloc_block<designation_entry>(static_cast<uint32_t>(capacity));
    if (!grown) return;
    if (list->entries) std::memcpy(grown, list->entries, count * sizeof(designation_entry));
    GlobalFreeAndNull(&list->entries);
    list->entries = grown;
    list->capacity = capacity;
  }
  list->entries[count] = designation_entry{code, text, method_index};
  list->entries[count + 1] = designation_entry{};
}

bool accepted_list_has(const designation_list* list, uint16_t code) {
  if (!list || !list->entries) return false;
  for (int i = 0; i < list->capacity && list->entries[i].code; ++i)
    if (list->entries[i].code == code) return true;
  return false;
}

void add_class_accepted_types(designation_list* list, construct_class* cls) {
  if (!list || !cls) return;
  for (int m = 0; cls->methods && cls->methods[m]; ++m) {
    const construct_method* method = cls->methods[m];
    for (const TYPEOBJ* a = method->args; a && *a; ++a) {
      if (*a == ARG_REPEAT || (*a & ARG_ONE_OF) || *a >= 16384) continue;
      const auto code = static_cast<uint16_t>(*a & 0x3FFF);
      designation_entry* found = nullptr;
      for (int i = 0; list->entries && i < list->capacity && list->entries[i].code; ++i)
        if (list->entries[i].code == code) {
          found = &list->entries[i];
          break;
        }
      if (found)
        found->method_index = static_cast<uint32_t>(m);
      else
        append_accepted_type(list, code, static_cast<uint16_t>(m),
                             method_argument_text(method, static_cast<int>(a - method->args)));
    }
  }
}

void setup_current_tool(construct_class* cls) {
  const tool_hooks& h = hooks();
  kelvo_win_info* fig = figure();
  if (h.delete_empty_text_objects) h.delete_empty_text_objects();
  if (h.designation_tool_changed) h.designation_tool_changed();
  if (accepted_types.entries && accepted_types_on_object.entries && accepted_types_intersection.entries) {
    clear_accepted(&accepted_types);
    clear_accepted(&accepted_types_on_object);
    clear_accepted(&accepted_types_intersection);
  }

  if (!cls) {
    current_attrs = &no_class_attrs;
    const uint8_t s = interaction_state;
    if (s == STATE_FIX_FREE) {
      accept_types({1});
    } else if (s == STATE_APPEARANCE && (attribute_mask & ATTR_FILL)) {
      accept_types({11, 10, 4, 5, 16, 18, 20, 51});
      add_class_accepted_types(&accepted_types, &classe_label);
    } else if (s == STATE_APPEARANCE && (attribute_mask & ATTR_TEXT_COLOR)) {
      accept_types({16, 18, 20, 51});
      add_class_accepted_types(&accepted_types, &classe_label);
    } else if (s == STATE_COLOR_NUMBER) {
      accept_types({17});
    } else {
      accept_types(kGeometricTypes);
    }
    if (s != STATE_TRACE && s != STATE_FIX_FREE && s != STATE_COLOR_NUMBER) {
      accept_types({16});
      if (s != STATE_MACRO) accept_types({20});
      accept_types({19, 18, 17, 22, 51});
    }
    switch (s) {
      case STATE_POINTER:
      case STATE_COLOR_NUMBER:
      case STATE_MACRO:
      case STATE_TRACE:
      case STATE_ANIMATION:
      case STATE_MULTI_ANIMATION:
        designation_filter = manip_tool_common;
        break;
      default:
        designation_filter = attribute_mask == ATTR_HIDE_SHOW ? hide_show_filter
                             : s == STATE_FIX_FREE            ? fix_free_filter
                                                              : appearance_filter;
        break;
    }
    if (s == STATE_APPEARANCE && attribute_mask != ATTR_HIDE_SHOW) {
      tool_cursors[1] = tool_cursors[2] =
          kernel_cursors[(attribute_mask & ATTR_FILL) ? CURSOR_FILL : CURSOR_PAINT];
      tool_cursors[0] = kernel_cursors[CURSOR_APPEARANCE];
    } else {
      tool_cursors[0] = kernel_cursors[CURSOR_ARROW];
      tool_cursors[1] = kernel_cursors[CURSOR_TAKE];
      tool_cursors[2] = kernel_cursors[CURSOR_TAKE_AMONG];
    }
  } else {
    current_attrs = get_default_attrs(cls->ctype ? cls->ctype->id : 0, cls);
    if (cls == &classe_equation && count_objects_of_type(TYPE_AXES) == 1)
      for (int m = 0; cls->methods && cls->methods[m]; ++m)
        for (TYPEOBJ* a = cls->methods[m]->args; a && *a; ++a)
          if (*a == TYPE_AXES) *a |= ARG_MATCHED;
    add_class_accepted_types(&accepted_types, cls);

    if (cls == &classe_text) {
      if (fig && type_id_of(fig->cur_text) == TYPE_TEXT) {
        accept_types({17, 19});
        add_class_accepted_types(&accepted_types, &classe_label);
      }
      tool_cursors[0] = tool_cursors[1] = tool_cursors[2] = kernel_cursors[CURSOR_TEXT];
    } else if (cls == &classe_label) {
      tool_cursors[1] = tool_cursors[2] = kernel_cursors[CURSOR_TEXT];
      tool_cursors[0] = kernel_cursors[CURSOR_APPEARANCE];
    } else if (cls == &classe_nombre) {
      tool_cursors[0] = tool_cursors[1] = tool_cursors[2] = kernel_cursors[CURSOR_TEXT];
    } else if (cls == &classe_ptsur) {
      tool_cursors[1] = tool_cursors[2] = kernel_cursors[CURSOR_POINT_ON_OBJECT];
      tool_cursors[0] = kernel_cursors[CURSOR_CONSTRUCT];
    } else {
      tool_cursors[1] = kernel_cursors[CURSOR_TAKE];
      tool_cursors[2] = kernel_cursors[CURSOR_TAKE_AMONG];
      const bool measuring = cls == &classe_redefine || cls == &classe_length || cls == &classe_aire ||
                             cls == &classe_pente || cls == &classe_angleMes;
      tool_cursors[0] = kernel_cursors[measuring ? CURSOR_APPEARANCE : CURSOR_CONSTRUCT];
    }

    if (cls == &classe_nombre) accept_types({17, 19, 16});
    if (cls == &classe_table) accept_types({20});
    if (cls == &classe_spring && spring_pick_mode == 2) {
      clear_accepted(&accepted_types);
      clear_accepted(&accepted_types_on_object);
      clear_accepted(&accepted_types_intersection);
      accept_types({21});
      tool_cursors[0] = kernel_cursors[CURSOR_ARROW];
    }
    if (cls == &classe_button && fig && objlist_count(fig->inputs) > 0 &&
        type_id_of(fig->inputs->items[0]) == TYPE_BUTTON)
      accept_types(kButtonTargetTypes);
    if (cls == &classe_calculate && !calculator_active && h.open_calculator) h.open_calculator(nullptr);

    const bool no_implicit_points = cls == &classe_length || cls == &classe_equation || cls == &classe_label ||
                                    cls == &classe_compas3 || cls == &classe_redefine ||
                                    (cls == &classe_polyreg && fig && objlist_count(fig->inputs) == 2);
    if (!no_implicit_points && (accepted_list_has(&accepted_types, TYPE_POINT) || cls == &classe_point) &&
        manage_point_on_object && !(cls == &classe_spring && spring_pick_mode == 2)) {
      add_class_accepted_types(&accepted_types_on_object, &classe_ptsur);
      add_class_accepted_types(&accepted_types_intersection, &classe_interset);
    }

    if (cls == &classe_calculate) {
      designation_filter = formula_filter;
    } else if (cls == &classe_exp_num_app) {
      designation_filter = expression_filter;
      if (fig && objlist_count(fig->inputs) > 0 && type_id_of(fig->inputs->items[0]) == TYPE_EXPRESSION &&
          h.collect_formula_variables)
        h.collect_formula_variables(fig->inputs->items[0]);
    } else if (cls == &classe_redefine) {
      designation_filter = redefinition_filter;
    } else if (cls == &classe_compas3) {
      designation_filter = transfer_filter;
    } else if (cls == &classe_text) {
      designation_filter = text_filter;
    } else if (cls == &classe_ptsur) {
      designation_filter = point_on_object_filter;
    } else if (cls == &classe_locus) {
      designation_filter = locus_filter;
    } else {
      designation_filter = manip_tool_common;
    }
  }
  if (h.load_attrs_into_menus) h.load_attrs_into_menus(current_attrs);
}

void end_tool_action() {
  const tool_hooks& h = hooks();
  kelvo_win_info* fig = figure();
  const bool was_dragging = manipulating || spring_gesture_active;
  bool redraw = manipulating || spring_gesture_active || scroll_drag_active || rubber_band_tracking ||
                (!current_class && interaction_state == STATE_TRACE);

  if (current_class == &classe_button && h.hide_pending_button_targets) h.hide_pending_button_targets();
  if (interaction_state == STATE_MULTI_ANIMATION || interaction_state == STATE_ANIMATION) {
    // The animation forgets the object it had chosen.
    drag_object = nullptr;
    redraw = true;
  }

  if (h.clear_pick_marks) h.clear_pick_marks();
  reset_tool_handler_flags();
  if (remove_selection_rect()) redraw = true;
  if (h.close_pending_popup) h.close_pending_popup();
  if (h.switch_text_edit_object) h.switch_text_edit_object(nullptr);
  if (h.delete_empty_text_objects) h.delete_empty_text_objects();
  if (tool_calculator_window_exists() && calculator_active && h.bring_main_window_to_front)
    h.bring_main_window_to_front();
  if (h.calculator_forget_object) h.calculator_forget_object();
  if (h.close_designation_windows) h.close_designation_windows();

  if (current_class) {
    const uint8_t old_calculator = calculator_active;
    calculator_active = 1;
    reset_class_type_marks(current_class);
    if (pop_picked_objects()) redraw = true;
    while (h.pop_tool_argument_state && h.pop_tool_argument_state()) {
      reset_class_type_marks(current_class);
      if (pop_picked_objects()) redraw = true;
    }
    // A redefinition left half-way waits for its object again next time.
    if (current_class == &classe_redefine) reset_redefinition();
    calculator_active = old_calculator;
  }

  if (interaction_state == STATE_TRACE) clear_selection();

  interaction_state = STATE_POINTER;
  attribute_mask = 0;
  current_class = nullptr;
  if (h.reset_construction_progress) h.reset_construction_progress();
  restore_selection_list();

  if (calculator_active) {
    if (tool_calculator_window_exists()) {
      if (h.calculator_forget_object) h.calculator_forget_object();
      if (h.calculator_reset_evaluation) h.calculator_reset_evaluation();
    }
    calculator_active = 0;
  }
  if (was_dragging && fig && fig->inputs && fig->inputs->items) fig->inputs->items[0] = nullptr;
  manipulating = spring_gesture_active = scroll_drag_active = rubber_band_tracking = 0;
  if (redraw && current_figure_view) invalidate_current_figure_window();
}
