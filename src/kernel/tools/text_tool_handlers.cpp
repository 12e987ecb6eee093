#include "kernel/tools/text_tool_handlers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/text_convert.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/measure/formula_text.h"
#include "kernel/measure/vector_measures.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/deletion.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/recompute.h"
#include "kernel/model/table.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/draw_object.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/labels.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/geometric_handlers.h"
#include "kernel/tools/handler_helpers.h"
#include "kernel/tools/previews.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_handler.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "platform/kernel_services.h"

uint8_t button_targets_hidden = 0;
uint8_t axes_direction_set = 0;
char coordinate_separator[3] = {',', ' ', '\0'};
int16_t formula_variable_count = 0;

namespace {

constexpr uint32_t kOptionKey = 8;
// "No table is being filled...": the Tabulate tool's answer to a number
// clicked while no table is being filled.
constexpr int kRowDrawTableFirst = 905;
constexpr uint16_t kTagText = 258;
// Bits of the second state word.
constexpr uint32_t kMeasureInText = 2 | 4;
constexpr uint32_t kButtonTargetsHidden = 32;
// A reference whose bottom was never measured.
constexpr int32_t kUnsetBottom = 0x0FFFFFFF;
constexpr uint32_t kAllMarks = OBJ_WALK | OBJ_CHOSEN | OBJ_TO_DELETE | OBJ_NEW;

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }
kelvo_win_info* figure() { return KPGeoDocument::currentInfo(); }
int argument_total() { return figure() ? objlist_count(figure()->inputs) : 0; }
object* argument(int i) { return i >= 0 && i < argument_total() ? figure()->inputs->items[i] : nullptr; }

object* head_of_picked(uint16_t* tag = nullptr) {
  if (!picked.items || !picked.items[0]) return nullptr;
  if (tag) *tag = picked.tags ? picked.tags[0] : 0;
  return picked.items[0];
}

void set_only_picked(object* o, uint16_t tag) {
  objlist_clear(&picked);
  if (o) objlist_add(&picked, o, tag);
}

bool option_down() { return tool_modifier_down(kOptionKey); }

// The click in the figure's local coordinates.
tagPOINT click_point() {
  tagPOINT click = last_mouse;
  if (designation_hooks().saved_click) designation_hooks().saved_click(&click);
  return click;
}

tagPOINT whole_pixels(double x, double y) {
  return tagPOINT{static_cast<int32_t>(std::floor(x + 0.5)), static_cast<int32_t>(std::floor(y + 0.5))};
}

DisplayDevice* static_device() {
  if (display_device_hooks.window_static_device)
    if (DisplayDevice* dd = display_device_hooks.window_static_device()) return dd;
  return static_display;
}

void mark_code(construct_class* cls, int method, int position) {
  construct_method* m = class_method(cls, method);
  if (!m || !m->args) return;
  for (int i = 0; i <= position; ++i)
    if (!m->args[i]) return;
  m->args[position] |= ARG_MATCHED;
}

void end_text_editing() {
  const tool_hooks& h = tool_services();
  if (h.switch_text_edit_object) h.switch_text_edit_object(nullptr);
  if (h.delete_empty_text_objects) h.delete_empty_text_objects();
}

object* build(uint16_t method) {
  uint16_t created = 0;
  return create_object(method, &created, 1, 1, 0);
}

// ------------------------------------------------------------ the frame

struct frame_drag {
  bool active = false;
  tagPOINT anchor{};
  tagPOINT corner{};
};
frame_drag g_frame;

tagRECT normalised(tagPOINT a, tagPOINT b) {
  return tagRECT{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

}  // namespace

void text_frame_press(tagPOINT p) {
  g_frame.active = true;
  g_frame.anchor = g_frame.corner = p;
}

void text_frame_move(tagPOINT p) {
  if (!g_frame.active) return;
  g_frame.corner = p;
  if (!moving_display) return;
  copy_static_display();
  const tagRECT r = normalised(g_frame.anchor, g_frame.corner);
  draw_rect_dashed(moving_display, r.left, r.top, r.right, r.bottom, default_color, 1);
  flush_moving_display(0);
}

bool text_frame_active() { return g_frame.active; }

void text_frame_cancel() { g_frame.active = false; }

tagRECT drag_text_frame(tagPOINT release) {
  if (!g_frame.active) return tagRECT{release.x, release.y, release.x, release.y};
  g_frame.active = false;
  return normalised(g_frame.anchor, release);
}

tagRECT frame_at_least(tagRECT r, int32_t width, int32_t height) {
  r.right = std::max(r.left + width, r.right);
  r.bottom = std::max(r.top + height, r.bottom);
  return r;
}

// ------------------------------------------------------------ numbers, texts

object* place_number_at_reference(object* text, uint16_t tag, bool any_number) {
  if (type_of(text) != TYPE_TEXT || tag <= kTagText || !text->te) return nullptr;
  insert_object* n = find_text_reference(static_cast<uint16_t>(tag - kTagText), nullptr, text->inserted);
  object* ref = n ? n->obj : nullptr;
  if (!ref || !ref->te) return nullptr;
  const bool number = type_of(ref) == TYPE_NUMBER;
  if (ref->classe != &classe_nombre && !(number && (any_number || ref->classe == &classe_equation))) return nullptr;
  const int32_t left = n->area[0].x + text->te->pos.x;
  const int32_t top = n->area[0].y + text->te->pos.y;
  const int32_t bottom = (n->area[2].y != kUnsetBottom && n->area[2].y != 0) ? n->area[2].y + text->te->pos.y
                                                                              : text->te->pos.y + text->te->size.h;
  ref->te->pos.x = left;
  ref->te->pos.y = top;
  ref->te->size.w = n->area[1].x - n->area[0].x;
  ref->te->size.h = bottom - top;
  return ref;
}

bool number_tool_handler(uint16_t* method, object** designated) {
  *method = 0;
  uint16_t tag = 0;
  object* head = head_of_picked(&tag);
  *designated = head;
  if (head) {
    if (type_of(head) == TYPE_TEXT) {
      if (tag == kTagText) {
        current_class = &classe_text;
        if (tool_services().post_tool_selection) tool_services().post_tool_selection(&classe_text);
      } else if (object* number = place_number_at_reference(head, tag)) {
        *designated = number;
      }
    }
    return false;
  }
  const tagPOINT click = click_point();
  measure_text_rect = tagRECT{click.x, click.y, click.x + 100, click.y + 20};
  if (kelvo_win_info* fig = figure()) objlist_clear(fig->inputs);
  end_text_editing();
  return true;
}

bool text_tool_handler(uint16_t* method, object** designated) {
  *method = 0;
  uint16_t tag = 0;
  object* head = head_of_picked(&tag);
  *designated = head;
  variable_nb_values = 1;
  kelvo_win_info* fig = figure();
  if (head) {
    text_frame_cancel();
    if (!fig || !fig->cur_text) return false;
    const uint16_t t = type_of(head);
    if ((t == TYPE_TEXT || t == TYPE_PROPERTY || t == TYPE_BUTTON) && tag <= kTagText) {
      *designated = nullptr;
      return false;
    }
    // A value clicked elsewhere goes into the text being written, live, at
    // its insertion point; the edit stays on that text.
    object* value = resolve_text_reference(head, tag);
    const uint16_t vt = type_of(value);
    if (head != fig->cur_text && value != fig->cur_text && type_of(fig->cur_text) == TYPE_TEXT &&
        (vt == TYPE_NUMBER || vt == TYPE_EQUATION)) {
      send_object_to_text_editor(value);
      *designated = fig->cur_text;
      return false;
    }
    if (object* number = place_number_at_reference(head, tag)) *designated = number;
    return false;
  }
  clear_object_flags(kAllMarks);
  measure_text_rect = frame_at_least(drag_text_frame(last_mouse), 100, 20);
  end_text_editing();
  return true;
}

// ------------------------------------------------------------ labels

bool label_tool_handler(uint16_t* method, object** designated) {
  *method = 0;
  auto_point = 0;
  object* found = nullptr;
  if (!designate_for_tool(&found)) {
    *designated = nullptr;
    return false;
  }
  uint16_t tag = 0;
  object* head = head_of_picked(&tag);
  object* obj = found ? found : head;
  *designated = obj;
  if (!obj) return false;
  const tagPOINT click = click_point();
  kelvo_win_info* fig = figure();
  if (!obj->te) {
    if (!init_object_text_records(obj) || !obj->te) return false;
    obj->te->pos.x = click.x;
    obj->te->pos.y = click.y;
    place_object_label(obj, 1);
  } else if (tag < kTagText && type_of(obj) != TYPE_POINT) {
    if (!fig || fig->cur_text != obj) {
      obj->te->pos.x = click.x;
      obj->te->pos.y = click.y;
    }
    place_object_label(obj, 1);
  }
  return false;
}

// ------------------------------------------------------------ buttons

void remove_dependant(object* obj, object* owner) {
  if (!owner) return;
  for (objectptrlist** link = &owner->associated; *link; link = &(*link)->next) {
    if ((*link)->obj != obj) continue;
    objectptrlist* node = *link;
    *link = node->next;
    GlobalFreeAndNull(&node);
    return;
  }
}

void toggle_associated_object(object* button, object* obj, uint16_t tag) {
  kelvo_win_info* fig = figure();
  if (!button || !obj || !fig) return;
  objectptrlist** end = &button->associated;
  for (; *end; end = &(*end)->next) {
    if ((*end)->obj != obj) continue;
    remove_dependant(obj, button);
    objlist_remove(fig->inputs, obj);
    obj->state &= ~OBJ_CHOSEN;
    return;
  }
  objectptrlist* node = alloc_block<objectptrlist>(1);
  if (!node) return;
  node->obj = obj;
  *end = node;
  objlist_add(fig->inputs, obj, tag);
}

void caption_new_button(object* button) {
  if (type_of(button) != TYPE_BUTTON || !button->te || button->te->length > 0) return;
  const toolbar_row* row = toolbar_row_at(ROW_HIDE_SHOW);
  const char* caption = row && row->name ? row->name : "";
  if (!set_text_record_text(button->te, caption)) return;
  // However small the frame the clicks gave, the caption shows whole, on
  // one line, with the room the editor leaves around a text.
  const text_line_size line = measure_text_line(&button->te->format, caption);
  button->te->size.w = std::max(button->te->size.w, line.width + 25);
  button->te->size.h = std::max(button->te->size.h, line.height + 5);
  button->te->sel_start = 0;
  button->te->sel_end = button->te->length;
  button->te->regen_pending = 1;
}

namespace {
// Where the frame of a new button starts (the empty click before the
// placing one).
tagPOINT g_button_anchor{};
}  // namespace

bool button_tool_handler(uint16_t* method, object** designated) {
  mark_arguments = 0;
  *method = 0;
  *designated = nullptr;
  auto_point = 0;
  kelvo_win_info* fig = figure();
  if (placing_text) {
    placing_text = 0;
    const tagPOINT click = click_point();
    measure_text_rect = tagRECT{g_button_anchor.x, g_button_anchor.y, std::max(g_button_anchor.x + 5, click.x),
                                std::max(g_button_anchor.y + 5, click.y)};
    if (fig) objlist_clear(fig->inputs);
    return true;
  }
  object* found = nullptr;
  if (!designate_for_tool(&found)) return false;
  uint16_t tag = 0;
  object* head = head_of_picked(&tag);
  if (!fig) return false;
  if (head && type_of(head) == TYPE_BUTTON && (!option_down() || argument(0) == head)) {
    const tool_hooks& h = tool_services();
    if (h.hide_pending_button_targets) h.hide_pending_button_targets();
    clear_selection();
    clear_object_flags(OBJ_CHOSEN);
    button_targets_hidden = (head->aux2 & kButtonTargetsHidden) ? 1 : 0;
    head->aux2 &= ~kButtonTargetsHidden;
    objlist_clear(fig->inputs);
    objlist_add(fig->inputs, head, 0);
    for (objectptrlist* n = head->associated; n; n = n->next) {
      if (!n->obj) continue;
      n->obj->settings.visible = 1;
      objlist_add(fig->inputs, n->obj, 0);
    }
    return false;
  }
  if (head) {
    object* button = argument(0);
    if (type_of(button) == TYPE_BUTTON && head != button) toggle_associated_object(button, head, tag);
    return false;
  }
  clear_selection();
  clear_object_flags(OBJ_CHOSEN);
  objlist_clear(fig->inputs);
  g_button_anchor = click_point();
  rubber_points[0].h = g_button_anchor.x;
  rubber_points[0].v = g_button_anchor.y;
  placing_text = 1;
  return false;
}

// ------------------------------------------------------------ axes

bool axes_tool_handler(uint16_t* method, object** designated) {
  *designated = nullptr;
  auto_point = (argument_total() == 1 && !option_down()) ? 0 : 1;
  if (!designate_for_tool(designated)) return false;
  *method = 0;
  construct_class* cls = current_class;
  if (object* head = head_of_picked()) {
    mark_code(cls, 0, 0);
    mark_code(cls, 1, 0);
    objlist_add(figure()->inputs, head, 0);
    head->state |= OBJ_CHOSEN;
    const int n = argument_total();
    if (n == 2) mark_code(cls, 1, 1);
    if (n == 3) {
      mark_code(cls, 1, 2);
      *method = 1;
      return true;
    }
    return false;
  }
  if (argument_total() > 0 && axes_direction_set) {
    const valeur& i = rubber_points[1];
    const valeur& j = rubber_points[2];
    if (vector_cross_normalized(i.h, i.v, j.h, j.v) > 1e-10) {
      *method = 0;
      axes_direction_set = 0;
      return true;
    }
  }
  if (argument_total() > 0 && std::fabs(rubber_points[1].h) + std::fabs(rubber_points[1].v) > 1e-10) {
    mark_code(cls, 1, 1);
    mark_code(cls, 1, 2);
    axes_direction_set = 1;
    // The preview now draws the second axis and keeps the first one's
    // direction where the next click reads it.
    axes_second_axis = 1;
  }
  return false;
}

// ------------------------------------------------------------ loci

bool locus_tool_handler(uint16_t* method, object** designated) {
  if (!take_tool_argument(method, designated)) return false;
  object* traced = argument(0);
  object* driver = argument(1);
  const construct_method* m = driver ? class_method(driver->classe, driver->methode) : nullptr;
  if (m && m->point_on && collect_dependency_chain(driver, traced) > 0) return true;
  reset_class_type_marks(current_class);
  for (int guard = 0; argument_total() > 0 && guard < 64; ++guard) {
    const int before = argument_total();
    cancel_last_selection(0, 0);
    if (argument_total() >= before) objlist_clear(figure()->inputs);
  }
  mark_arguments = 1;
  clear_selection();
  clear_object_flags(kAllMarks);
  objlist_clear(&picked);
  *designated = nullptr;
  return false;
}

// ------------------------------------------------------------ equations

namespace {

object* find_coordinate(object* point, object* axes, uint8_t which) {
  kelvo_win_info* fig = figure();
  for (object* o = fig ? fig->first : nullptr; o; o = o->next)
    if (o->classe == &classe_equation && o->methode == 0 && o->nbparents >= 2 && o->parents[0] == point &&
        o->parents[1] == axes && o->math.equa.format == which)
      return o;
  return nullptr;
}

// The coordinate of the point (0 the abscissa, 1 the ordinate) in the
// system: the one the figure holds, else a new one.
object* coordinate_of(object* point, object* axes, uint8_t which) {
  if (object* existing = find_coordinate(point, axes, which)) return existing;
  objlist_clear(figure()->inputs);
  objlist_add(figure()->inputs, point, 0);
  objlist_add(figure()->inputs, axes, 0);
  uint16_t created = 0;
  object* c = create_object(0, &created, 1, 1, 1);
  if (!c) return nullptr;
  c->math.equa.format = which;
  c->aux2 |= kMeasureInText;
  recompute_object(c);
  return c;
}

object* coordinates_text(object* point, object* axes) {
  kelvo_win_info* fig = figure();
  construct_class* cls = current_class;
  const valeur at = point->valeurs && point->nbvaleurs > 0 ? point->valeurs[0] : valeur{};
  const tagPOINT p = whole_pixels(at.h, at.v);
  measure_text_rect = tagRECT{p.x, p.y, p.x + 100, p.y + 20};
  current_class = &classe_equation;
  object* x = coordinate_of(point, axes, 0);
  object* y = x ? coordinate_of(point, axes, 1) : nullptr;
  object* text = nullptr;
  if (x && y) {
    current_class = &classe_text;
    // A text placed beside what it measures, as a measure's own: its anchor
    // and place (three values) let it be dragged away and stay there.
    variable_nb_values = 3;
    objlist_clear(fig->inputs);
    objlist_add(fig->inputs, x, 0);
    objlist_add(fig->inputs, y, 0);
    text = build(0);
    if (text && text->te) {
      std::string content = "(";
      content += format_reference_marker(add_text_reference(x, &text->inserted));
      content += coordinate_separator;
      content += format_reference_marker(add_text_reference(y, &text->inserted));
      content += ")";
      set_text_record_text(text->te, content.c_str());
      text->te->format = default_text_format(get_default_attrs(TYPE_EQUATION, &classe_equation));
      text->te->edit_flags |= 1;
      text->te->text_kind = 2;
      text->te->needs_regen = 1;
      text->aux2 &= ~2u;
      recompute_object(text);
      draw_object(static_device(), text);
    }
  }
  objlist_clear(fig->inputs);
  clear_object_flags(kAllMarks);
  current_class = cls;
  tool_redraw_figure(2, 0);
  return text;
}

}  // namespace

bool equation_tool_handler(uint16_t* method, object** designated) {
  object* head = head_of_picked();
  const valeur click = rubber_points[0];
  const bool keep_click = head && type_of(head) != TYPE_AXES;
  if (!take_tool_argument(method, designated)) return false;
  coordinate_separator[0] = list_separator;
  if (keep_click) rubber_points[0] = click;
  kelvo_win_info* fig = figure();
  if (count_objects_of_type(TYPE_AXES) == 1 && argument_total() == 1) {
    for (object* o = fig->first; o; o = o->next)
      if (type_of(o) == TYPE_AXES) {
        objlist_add(fig->inputs, o, 0);
        break;
      }
  }
  object* point = nullptr;
  object* axes = nullptr;
  for (int i = 0; i < argument_total(); ++i) {
    if (type_of(argument(i)) == TYPE_POINT) point = argument(i);
    if (type_of(argument(i)) == TYPE_AXES) axes = argument(i);
  }
  if (!point) return true;
  reset_class_type_marks(current_class);
  *designated = axes ? coordinates_text(point, axes) : nullptr;
  objlist_clear(fig->inputs);
  return false;
}

// ------------------------------------------------------------ expressions

namespace {

struct expression_arguments {
  int numbers = 0;
  bool axes = false;
  object* expression = nullptr;
};

expression_arguments count_expression_arguments() {
  expression_arguments a;
  for (int i = 0; i < argument_total(); ++i) {
    const uint16_t t = type_of(argument(i));
    if (t == TYPE_NUMBER) ++a.numbers;
    if (t == TYPE_AXES) a.axes = true;
    if (t == TYPE_EXPRESSION) a.expression = argument(i);
  }
  return a;
}

}  // namespace

bool expression_wants_number() {
  const expression_arguments a = count_expression_arguments();
  if (!a.expression || placing_text) return false;
  return a.numbers < formula_variable_count - (a.axes ? 1 : 0);
}

bool expression_wants_axes() {
  const expression_arguments a = count_expression_arguments();
  if (!a.expression || a.axes || placing_text) return false;
  return formula_variable_count >= 1 && a.numbers <= formula_variable_count - 1;
}

void place_text_box_at_click() {
  // The text goes where the dashed box of the preview was.
  const tagPOINT click = click_point();
  measure_text_rect.left = click.x - text_box_width / 2;
  measure_text_rect.top = click.y - text_box_height / 2;
  measure_text_rect.right = measure_text_rect.left + text_box_width;
  measure_text_rect.bottom = measure_text_rect.top + text_box_height;
}

bool expression_apply_tool_handler(uint16_t* method, object** designated) {
  mark_arguments = 0;
  *designated = nullptr;
  if (placing_text) {
    placing_text = 0;
    *method = saved_method;
    place_text_box_at_click();
    return true;
  }
  *method = 0;
  auto_point = 0;
  if (!designate_for_tool(designated)) return false;
  uint16_t tag = 0;
  object* head = head_of_picked(&tag);
  kelvo_win_info* fig = figure();
  // An argument is no text to edit.
  *designated = nullptr;
  if (!head || !fig) return false;
  // A number quoted in a text is taken for itself.
  if (type_of(head) == TYPE_TEXT && tag > kTagText) head = resolve_text_reference(head, tag);
  if (!head) return false;
  objlist_add(fig->inputs, head, 0);
  const int k = argument_total();
  const expression_arguments a = count_expression_arguments();
  if (k == 1) {
    if (tool_services().collect_formula_variables) tool_services().collect_formula_variables(head);
    formula_variable_count = static_cast<int16_t>(formula_used_letter_count);
  }
  if (!a.axes) {
    if (a.expression && k == formula_variable_count + 1) {
      placing_text = 1;
      saved_method = 0;
      mark_arguments = 1;
      text_box_width = 150;
      text_box_height = 20;
      // The expression goes last: the numbers are its first parents.
      objlist_remove(fig->inputs, a.expression);
      objlist_add(fig->inputs, a.expression, 0);
    }
    return false;
  }
  if (a.expression && a.numbers == formula_variable_count - 1) {
    *method = 1;
    return true;
  }
  return false;
}

// ------------------------------------------------------------ tables

bool add_table_column(object* table, object* measure) {
  if (!table || !measure || !table->te) return false;
  TErec* te = table->te;
  const int old_parents = std::max<int>(table->nbparents, 0);
  object** parents = alloc_block<object*>(static_cast<uint32_t>(old_parents + 2));
  if (!parents) return false;
  if (old_parents) std::copy(table->parents, table->parents + old_parents, parents);
  parents[old_parents] = text_holding_object(measure);
  parents[old_parents + 1] = measure;
  int32_t rows = std::max<int32_t>(table->nbvaleurs, 0);
  if (rows > 0) {
    if (table_row_from_new_column(table)) --rows;
    const int32_t columns = old_parents / 2;
    const int32_t old_length = table_cells_length(te, rows * columns);
    const int32_t length = old_length + rows * 2;
    char* cells = alloc_block<char>(static_cast<uint32_t>(length) + 1);
    if (!cells) {
      GlobalFreeAndNull(&parents);
      return false;
    }
    const char* from = te->text;
    int32_t read = 0, written = 0;
    for (int32_t r = 0; r < rows; ++r) {
      for (int32_t c = 0; c < columns; ++c) {
        const int32_t n = static_cast<int32_t>(strnlen(from + read, static_cast<size_t>(old_length - read)));
        std::memcpy(cells + written, from + read, static_cast<size_t>(n));
        written += n;
        cells[written++] = '\0';
        read = std::min(old_length, read + n + 1);
      }
      cells[written++] = '-';
      cells[written++] = '\0';
    }
    GlobalFreeAndNull(&te->text);
    te->text = cells;
    te->length = written;
    table->nbvaleurs = static_cast<int16_t>(rows);
  }
  GlobalFreeAndNull(&table->parents);
  table->parents = parents;
  table->nbparents = static_cast<int16_t>(old_parents + 2);
  return true;
}

bool table_tool_handler(uint16_t* method, object** designated) {
  *method = 0;
  *designated = nullptr;
  kelvo_win_info* fig = figure();
  if (!fig) return false;
  object* head = head_of_picked();
  object* table = table_being_built(fig);
  if (!table && !head) {
    const tagRECT r = frame_at_least(drag_text_frame(last_mouse), 100, 100);
    if (r.right - r.left > 10 && r.bottom - r.top > 10) {
      measure_text_rect = r;
      variable_nb_values = 0;
      objlist_clear(fig->inputs);
      object* made = build(0);
      if (made) {
        // The table is whole once its frame is drawn: the numbers clicked
        // next fill it, they do not finish it. Left marked as under
        // construction, it would stay out of the figure description.
        made->state &= ~OBJ_NEW;
        set_table_row_from_new_column(made, false);
        fig->moving = made;
        *designated = made;
        invalidate_current_figure_window();
      }
    }
    return false;
  }
  text_frame_cancel();
  if (!table && head && type_of(head) == TYPE_TABLE) {
    // A table already drawn, clicked, takes the numbers clicked next: the
    // tool chosen anew does not go on with the table it was filling.
    fig->moving = head;
    *designated = head;
    invalidate_current_figure_window();
    return false;
  }
  if (!table && head) {
    // A number clicked while no table is being filled has no table to go
    // into: the notice says how to start one or take one up again.
    message_box_simple(kernel_string(kRowDrawTableFirst));
    return false;
  }
  if (table && head && head != table && is_measure_object(head)) {
    tabulate_ready = 1;
    const te_point kept = head->te ? head->te->pos : te_point{};
    const bool added = add_table_column(table, head);
    if (head->te) head->te->pos = kept;
    sort_objects_by_dependency();
    if (added) {
      recompute_object(table);
      invalidate_current_figure_window();
      set_table_row_from_new_column(table, true);
    }
    return false;
  }
  if (head && head == table) *designated = table;
  return false;
}

object* table_being_built(const kelvo_win_info* fig) {
  return fig && type_of(fig->moving) == TYPE_TABLE ? fig->moving : nullptr;
}

// ------------------------------------------------------------ macros

bool macro_has_text_final(const macro_def* def) {
  if (!def || !def->macro_def_info || !def->macro_def_objects) return false;
  for (int i = 0; i < def->macro_def_info[0]; ++i) {
    const macro_object& step = def->macro_def_objects[i];
    if (step.mo_final != 1 || !step.mo_class || !step.mo_class->ctype) continue;
    switch (step.mo_class->ctype->id) {
      case TYPE_TEXT:
      case TYPE_NUMBER:
      case TYPE_PROPERTY:
      case TYPE_EQUATION:
      case TYPE_EXPRESSION:
        return true;
      default:
        break;
    }
  }
  return false;
}

bool retake_bound_macro_arguments(construct_class* cls, uint16_t* method, bool clear, bool check_head,
                                  bool* tried) {
  if (tried) *tried = false;
  if (!is_macro_class(cls)) return false;
  kelvo_win_info* fig = figure();
  bool answer = false;
  uint16_t head_tag = 0;
  const object* head = head_of_picked(&head_tag);
  const uint16_t head_type = type_of(head);
  for (int mi = 0; cls->methods[mi]; ++mi) {
    construct_method* m = cls->methods[mi];
    if (!m->figdata || !m->args) continue;
    auto* bound = static_cast<binding_entry*>(m->figdata);
    for (int pos = 0; m->args[pos]; ++pos) {
      if (clear) {
        bound[pos] = binding_entry{nullptr, 0};
        continue;
      }
      const bool unfilled = !(m->args[pos] & ARG_MATCHED);
      object* obj = bound[pos].obj;
      const bool same_as_head = head && type_of(obj) == head_type && bound[pos].tag == head_tag;
      if (obj && fig && objlist_find(fig->inputs, obj) < 0 && !(check_head && same_as_head)) {
        dyn_array_object* saved = objlist_copy(&picked);
        set_only_picked(obj, bound[pos].tag);
        object* designated = nullptr;
        uint16_t chosen = 0;
        answer = take_macro_tool_argument(&chosen, &designated, false);
        *method = chosen;
        objlist_clear(&picked);
        for (int i = 0; saved && saved->items && saved->items[i]; ++i)
          objlist_add(&picked, saved->items[i], saved->tags[i]);
        objlist_free(&saved);
        if (tried) *tried = true;
        if (answer) return true;
      }
      if (unfilled) break;
    }
  }
  return answer;
}

namespace {

bool has_bound_objects(const construct_class* cls) {
  if (!is_macro_class(cls)) return false;
  for (int mi = 0; cls->methods[mi]; ++mi) {
    const construct_method* m = cls->methods[mi];
    if (!m->figdata || !m->args) continue;
    const auto* bound = static_cast<const binding_entry*>(m->figdata);
    for (int pos = 0; m->args[pos]; ++pos)
      if (bound[pos].obj) return true;
  }
  return false;
}

// Takes back the last argument of a macro tool: the generic handler stands
// in the class's slot while the remaining arguments are replayed.
void cancel_macro_selection(uint8_t remove) {
  construct_class* cls = current_class;
  if (!cls) return;
  const class_select_fn own = cls->select;
  cls->select = take_tool_argument;
  cancel_last_selection(0, remove);
  cls->select = own;
  mark_arguments = 1;
}

}  // namespace

bool macro_tool_handler(uint16_t* method, object** designated) {
  *designated = nullptr;
  if (placing_text) {
    placing_text = 0;
    *method = saved_method;
    return true;
  }
  construct_class* cls = current_class;
  if (!cls) return false;
  const bool option = option_down();
  if (!head_of_picked() && argument_total() == 0 && option) {
    retake_bound_macro_arguments(cls, method, true, false);
    return false;
  }
  bool done = take_macro_tool_argument(method, designated, option);
  if (!done && !option && !ambiguous_designation && !pending_point_kind && !pending_multi_point &&
      argument_total() > 0 && has_bound_objects(cls)) {
    // Bound objects go before the clicked one when their codes come first:
    // the click is taken back, the bound objects offered, and the click
    // offered again. A point the click just made is not offered again.
    dyn_array_object* kept = objlist_copy(&picked);
    object* head = head_of_picked();
    if (kept && head && head->classe == &classe_point && (head->state & OBJ_NEW)) objlist_remove_item(kept, head);
    const bool taken_back = kept && kept->items && kept->items[0];
    if (taken_back) cancel_macro_selection(0);
    objlist_clear(&picked);
    for (int i = 0; kept && kept->items && kept->items[i]; ++i) objlist_add(&picked, kept->items[i], kept->tags[i]);
    objlist_free(&kept);
    bool tried = false, tried_again = false;
    done = retake_bound_macro_arguments(cls, method, false, true, &tried);
    if (!done && taken_back) done = take_macro_tool_argument(method, designated, false);
    if (!done) done = retake_bound_macro_arguments(cls, method, false, false, &tried_again);
    if (!done && (tried || tried_again)) cancel_macro_selection(0);
    setup_current_tool(cls);
  }
  if (!done) return false;
  const construct_method* m = class_method(cls, *method);
  if (m && macro_has_text_final(m->def)) {
    placing_text = 1;
    saved_method = *method;
    mark_arguments = 1;
    text_box_width = 30;
    text_box_height = 12;
    return false;
  }
  return true;
}

// ------------------------------------------------------------ binding

namespace {

void (*g_reset_progress_before)() = nullptr;

void reset_text_tool_progress() {
  if (g_reset_progress_before) g_reset_progress_before();
  axes_direction_set = 0;
  axes_second_axis = 0;
  text_frame_cancel();
  // The table tool chosen again starts a new table.
  if (kelvo_win_info* fig = figure(); fig && table_being_built(fig)) fig->moving = nullptr;
}

}  // namespace

void bind_text_tool_handlers() {
  classe_nombre.select = number_tool_handler;
  classe_text.select = text_tool_handler;
  classe_exp_num.select = text_tool_handler;
  classe_label.select = label_tool_handler;
  classe_button.select = button_tool_handler;
  classe_axe.select = axes_tool_handler;
  classe_locus.select = locus_tool_handler;
  classe_equation.select = equation_tool_handler;
  classe_exp_num_app.select = expression_apply_tool_handler;
  classe_table.select = table_tool_handler;
  for (construct_class** c = class_list; c && *c; ++c)
    if (is_macro_class(*c)) (*c)->select = macro_tool_handler;
  tool_hooks& hooks = tool_services();
  hooks.expression_has_pending_variable = expression_wants_number;
  hooks.expression_waits_for_axes = expression_wants_axes;
  if (hooks.reset_construction_progress != reset_text_tool_progress) {
    g_reset_progress_before = hooks.reset_construction_progress;
    hooks.reset_construction_progress = reset_text_tool_progress;
  }
}
