#include "kernel/tools/apply_attributes.h"

#include "app/kernel_iface/kel_event_record.h"
#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/recompute.h"
#include "kernel/model/undo.h"
#include "kernel/render/colors.h"
#include "kernel/render/fonts.h"
#include "kernel/render/object_colors.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/drag_start.h"
#include "kernel/tools/label_settings.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/main_commands.h"
#include "platform/kp_menu.h"

namespace {

constexpr uint16_t kLabelTag = 257;
constexpr UINT kEditorFontChanged = 1024;

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }

default_attr* attrs() {
  if (!current_attrs) current_attrs = &no_class_attrs;
  return current_attrs;
}

void regenerate_rich_text(object* o) {
  if (main_command_services().regenerate_rtf_if_needed) main_command_services().regenerate_rtf_if_needed(o);
}

void apply_decimals(object* o) {
  o->settings.nbre_decimales = attrs()->settings.nbre_decimales;
  if (main_command_services().update_measure_text) main_command_services().update_measure_text(o, o->settings.unite);
}

// The axes style (cartesian, or polar in degrees, grades or radians) is the
// display byte of a coordinate system or grid, the one its keys 0 to 3
// choose: the style goes to it as that key, through the object's event.
void send_axes_style(object* o) {
  kel_EventRecord key{};
  key.what = kEventKey;
  key.message = attrs()->axes_style & 3u;
  if (dispatch_object_event(&key, o) != 1) return;
  // The gesture's next step takes the key; a release ends the gesture, as
  // no button was pressed for it.
  kel_EventRecord step{};
  step.what = kEventDragStep;
  handle_manipulation_event(&step, o);
  kel_EventRecord release{};
  release.what = kEventMouseUp;
  if (manipulating) handle_manipulation_event(&release, o);
}

// In a list with other objects, a coordinate system takes the style in its
// display byte too.
void give_axes_style(object* o) {
  if (type_of(o) == TYPE_AXES) o->math.equa.typeunite = static_cast<uint8_t>(attrs()->axes_style & 3u);
}

void apply_text_command(object* o, uint16_t code, const object* edited) {
  if (!o->te || o == edited) return;
  const default_attr* a = attrs();
  switch (code) {
    case STYLE_FONT: {
      const car_info f = default_text_format(a);
      regenerate_text_attributes(o->te, 1, &f, 0);
      regenerate_rich_text(o);
      break;
    }
    case STYLE_SMALLER:
    case STYLE_LARGER: {
      car_info f = o->te->format;
      f.size = step_text_size(f.size, code == STYLE_SMALLER);
      regenerate_text_attributes(o->te, 1, &f, 0);
      regenerate_rich_text(o);
      break;
    }
    case STYLE_DECIMALS:
      apply_decimals(o);
      regenerate_rich_text(o);
      break;
    case STYLE_TEXT_COLOR:
      regenerate_text_attributes(o->te, 3, nullptr, a->text_color);
      break;
    default:
      break;
  }
}

void apply_mask(object* o, uint16_t tag, uint32_t mask) {
  const default_attr* a = attrs();
  const uint16_t t = type_of(o);
  label_settings* label = tag > kLabelTag ? o->label : nullptr;
  if (mask & ATTR_COLOR) {
    if (label) label->Color = a->settings.Color;
    else set_object_color(o, a->settings.Color);
  }
  if (mask & ATTR_FILL) {
    // A second fill with the same colour takes the fill away.
    const uint32_t fill = a->settings.FillColor;
    if (label) label->FillColor = label->FillColor == fill ? back_color : fill;
    else set_object_fill_color(o, object_effective_fill_color(o) == fill ? back_color : fill);
  }
  // The record's colour, and the shown text with it.
  if ((mask & ATTR_TEXT_COLOR) && o->te) regenerate_text_attributes(o->te, 3, nullptr, a->text_color);
  if (mask & ATTR_THICKNESS) {
    if (label) label->thickness = a->settings.thickness;
    else o->settings.thickness = a->settings.thickness;
  }
  if (mask & ATTR_DOT_STYLE) {
    if (label) label->dot_style = a->settings.dot_style;
    else o->settings.dot_style = a->settings.dot_style;
  }
  if ((mask & ATTR_POINT_STYLE) && (t == TYPE_POINT || t == TYPE_LOCUS)) o->settings.graph_type = a->point_style;
  if ((mask & ATTR_ANGLE_MARK_STYLE) && t == TYPE_ANGLE)
    o->settings.graph_type = static_cast<uint8_t>((o->settings.graph_type & 0xF0) | (a->angle_mark_style & 0x0F));
  if ((mask & ATTR_LINE_STYLE) && t == TYPE_SEGMENT) o->settings.graph_type = a->line_style;
  if ((mask & ATTR_SECOND_LINE_STYLE) && (t == TYPE_LINE || t == TYPE_RAY)) o->settings.smartline_type = a->second_line_style;
  if (mask & ATTR_AXES_STYLE) give_axes_style(o);
}

bool is_axes_or_grid(const object* o) { return type_of(o) == TYPE_AXES || type_of(o) == TYPE_GRID; }

}  // namespace

int32_t step_text_size(int32_t size, bool smaller) {
  const double next = size * (smaller ? 0.8 : 1.25);
  if (next < kSmallestTextSize) return kSmallestTextSize;
  if (next > 0x7FFF) return 0x7FFF;
  return static_cast<int32_t>(next);
}

void apply_attributes_to_objects(object** list, uint16_t* tags, uint32_t mask, int code) {
  if (!list || !*list) return;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  KPGeoDocument::_do_dirty(fig);
  if (mask & ATTR_AXES_STYLE) {
    bool only_axes = true;
    for (object** o = list; *o; ++o) {
      if (is_axes_or_grid(*o)) {
        send_axes_style(*o);
      } else {
        only_axes = false;
      }
    }
    if (only_axes) {
      tool_redraw_figure(1, 29);
      copy_static_display();
      return;
    }
  }
  if (mask != ATTR_HIDE_SHOW) mask |= attribute_mask;
  const object* edited = fig ? fig->cur_text : nullptr;
  for (int i = 0; list[i]; ++i) {
    object* o = list[i];
    const uint16_t tag = tags ? tags[i] : 0;
    if (code == STYLE_TOGGLE_FIXED) {
      o->settings.sticky = o->settings.sticky ? 0 : 1;
    } else if (mask == ATTR_HIDE_SHOW) {
      o->settings.visible = o->settings.visible ? 0 : 1;
      refresh_figure_description(current_figure_view);
    } else if (code == STYLE_FONT || code == STYLE_SMALLER || code == STYLE_LARGER || code == STYLE_DECIMALS ||
               code == STYLE_TEXT_COLOR) {
      apply_text_command(o, static_cast<uint16_t>(code), edited);
    } else {
      apply_mask(o, tag, mask);
    }
    recompute_object(o);
  }
  tool_redraw_figure(1, 29);
  copy_static_display();
}

void apply_attributes_to_selection(uint8_t visible_only) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !fig->selection || !fig->selection->items) return;
  dyn_array_object* sel = fig->selection;
  if (visible_only) {
    int kept = 0;
    for (int i = 0; sel->items[i]; ++i) {
      if (!sel->items[i]->settings.visible) continue;
      sel->items[kept] = sel->items[i];
      if (sel->tags) sel->tags[kept] = sel->tags[i];
      ++kept;
    }
    sel->items[kept] = nullptr;
    if (sel->tags) sel->tags[kept] = 0;
  }
  apply_attributes_to_objects(sel->items, sel->tags, attribute_mask, interaction_state);
  clear_selection();
}

void apply_style_change(uint16_t command) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  default_attr* a = attrs();
  int count = 0;
  object* number = fig && fig->cur_text && fig->cur_text->te ? selected_number_in_active_text(&count) : nullptr;
  if (fig && fig->cur_text && fig->cur_text->te && count <= 1) {
    object* target = number ? number : fig->cur_text;
    if (command == 51 && target->te) {
      const car_info f = default_text_format(a);
      regenerate_text_attributes(target->te, 1, &f, 0);
      regenerate_rich_text(target);
      if (tool_services().send_text_editor) tool_services().send_text_editor(kEditorFontChanged, 0, 0);
    } else if (command == 54) {
      if (type_of(target) == TYPE_TABLE) {
        recompute_object(target);
      } else {
        apply_decimals(target);
        regenerate_rich_text(target);
      }
    } else if (command == 1003 && target->te) {
      regenerate_text_attributes(target->te, 3, nullptr, a->text_color);
    }
    return;
  }
  if (interaction_state == STATE_POINTER && fig && selection_has_text_record()) {
    uint16_t code = 0;
    if (command == 51) code = STYLE_FONT;
    else if (command == 54) code = STYLE_DECIMALS;
    else if (command == 1003) code = STYLE_TEXT_COLOR;
    else if (command == 1004) code = last_text_size_item == 1 ? STYLE_SMALLER : STYLE_LARGER;
    if (!code) return;
    save_undo_state(0);
    apply_attributes_to_objects(fig->selection->items, nullptr, 0, code);
    set_document_dirty();
    return;
  }
  if (!current_class || (command != 51 && command != 1003)) return;
  const uint16_t t = current_class->ctype ? current_class->ctype->id : 0;
  const bool makes_text = current_class == &classe_label || t == TYPE_NUMBER || t == TYPE_TABLE || t == TYPE_TEXT ||
                          t == TYPE_EQUATION || t == TYPE_PROPERTY;
  if (!makes_text) return;
  const car_info f = default_text_format(a);
  if (command == 51) regenerate_text_attributes(nullptr, 1, &f, 0);
  else regenerate_text_attributes(nullptr, 3, nullptr, a->text_color);
}

int unit_popup_entries(const object* number, uint8_t codes[kUnitPopupMaxItems], const char* names[kUnitPopupMaxItems]) {
  if (type_of(number) != TYPE_NUMBER) return 0;
  // Unit groups offered: none, lengths, areas, angles (volumes never).
  struct group {
    uint8_t id;
    int first_row;
    int count;
  };
  static constexpr group kGroups[] = {{0, 11, 1}, {1, 12, 4}, {2, 17, 4}, {4, 27, 3}};
  const bool locked = number->settings.contraint != 0;
  const int own = number->settings.unite >> 5;
  int n = 0;
  for (const group& g : kGroups) {
    if (locked && g.id != own) continue;
    for (int i = 0; i < g.count && n < kUnitPopupMaxItems; ++i, ++n) {
      codes[n] = static_cast<uint8_t>(g.id * 32 + i);
      names[n] = kernel_string(g.first_row + i);
    }
  }
  return n;
}

uint8_t unit_popup_menu(int32_t x, int32_t y, object* number) {
  uint8_t codes[kUnitPopupMaxItems];
  const char* names[kUnitPopupMaxItems];
  const int n = unit_popup_entries(number, codes, names);
  if (n == 0) return 255;
  KPMenusWrapper* menu = KPMenusWrapper::createPopupMenu();
  if (!menu) return 255;
  for (int i = 0; i < n; ++i)
    menu->appendMenu(number->settings.unite == codes[i] ? MF_CHECKED : 0, kUnitPopupFirstId + i, names[i]);
  const int id = menu->trackPopUp(tagPOINT{x, y}, 4, nullptr, nullptr);
  menu->destroyMenu();
  const int index = id - kUnitPopupFirstId;
  return index >= 0 && index < n ? codes[index] : 255;
}
