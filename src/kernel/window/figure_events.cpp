#include "kernel/window/figure_events.h"
#include "platform/kp_cursor.h"
#include "kernel/window/figure_popup.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/table.h"
#include "kernel/model/create.h"
#include "kernel/model/object_store.h"
#include "kernel/model/recompute.h"
#include "kernel/model/undo.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/render/still_layer.h"
#include "kernel/render/display_device.h"
#include "kernel/render/draw_object.h"
#include "kernel/text/labels.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/cursors.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/text_tool_handlers.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_handler.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/toolbox.h"
#include "kernel/window/window_hooks.h"
#include "platform/kelvo_wrap_machine.h"

uint8_t mouse_tracking = 0;
HWND capture_window = nullptr;
HWND focus_before_capture = nullptr;
DWORD press_tick = 0;
tagPOINT press_point{};
tagPOINT mouse_point{};
DWORD mouse_tick = 0;
tagPOINT previous_mouse_point{};
DWORD previous_mouse_tick = 0;
tagPOINT last_mouse_point{};
tagRECT scroll_origin{};
uint8_t hold_tested = 0;
uint8_t pointer_drag_started = 0;
uint8_t figure_window_active = 0;
uint8_t in_mouse_up = 0;
uint8_t config_mode = 0;
HWND open_pull_down = nullptr;
uint8_t popup_tracking = 0;
tagRECT view_rect{};
HWND tools_panel_window = nullptr;
tagRECT default_window_rect{0, 0, 0, 0};
rubber_band_state rubber_band{};

namespace {

constexpr int kKeyBackspace = 8;
constexpr int kKeyTab = 9;
constexpr int kKeyReturn = 13;
constexpr int kKeyEscape = 27;
constexpr int kKeyUp = 38;
constexpr int kKeyDown = 40;
// The arrow keys as the figure view hands them on (up, down, left, right).
constexpr uint32_t kViewArrowFirst = 63232;
constexpr uint32_t kViewArrowLast = 63235;
constexpr uint16_t kExtendKeys = 3;  // the two low modifier bits
constexpr uint16_t kTagLabel = 257;
constexpr uint16_t kTagFirstReference = 259;
constexpr uint32_t kPointerToolId = 0x800001;
constexpr UINT kToolsMessage = 1024;
constexpr UINT kEditorSetSel = 177;
constexpr UINT kEditorReplaceSel = 194;
constexpr UINT kPaintMessage = 15;
constexpr UINT kCloseMessage = 16;
constexpr UINT kKeyMessage = 256;
// A handler loop that keeps resuming nested constructions stops here.
constexpr int kMaxNestedConstructions = 64;

const window_hooks& wh() { return window_services(); }

// Whole pixels to the centimetre of the screen in use.
double pixels_per_centimetre() { return screen_pixels_per_cm; }
const tool_hooks& th() { return tool_services(); }
kelvo_win_info* figure() { return KPGeoDocument::currentInfo(); }

uint16_t type_of(const object* obj) { return obj && obj->otype ? obj->otype->id : 0; }
valeur value_of(const object* obj) { return obj && obj->valeurs && obj->nbvaleurs > 0 ? obj->valeurs[0] : valeur{}; }

bool is_text_like(const object* obj) { return is_text_like_object(obj); }

bool is_value_object(const object* obj, bool with_loci) {
  return wh().is_value_object && wh().is_value_object(obj, with_loci);
}

void switch_text_edit(object* obj) {
  if (th().switch_text_edit_object) th().switch_text_edit_object(obj);
}

// The document is marked edited, which also offers Undo.
void mark_dirty() { set_document_dirty(); }

// The designation runs again at the point, whether or not the mouse moved.
// The handlers name why (2 after Escape, 4 dragging held points, 5 after a
// hold, 6 for a nested construction, 7 after an argument was taken back, 8
// after Tab); every reason asks the same fresh pass.
void redesignate(tagPOINT p, int /*reason*/) {
  designation_force = 1;
  designate_under_cursor(p.x, p.y);
}

bool nested_construction_waiting() {
  return suspended_tool_count() > 0 && nested_active && !nested_from_redefinition;
}

tagPOINT to_figure(tagPOINT p) {
  if (wh().window_to_figure) wh().window_to_figure(&p);
  return p;
}

object* first_selected(const kelvo_win_info* fig) {
  return fig && fig->selection && fig->selection->items ? fig->selection->items[0] : nullptr;
}

object* first_picked() { return picked.items ? picked.items[0] : nullptr; }

void set_first_picked(object* obj) {
  if (objlist_count(&picked) > 0)
    picked.items[0] = obj;
  else
    objlist_add(&picked, obj, 0);
}

void post_tools(WPARAM code, LPARAM value) {
  if (wh().post_tools_palette) wh().post_tools_palette(kToolsMessage, code, value);
}

bool extend_keys(const kel_EventRecord* e) { return (e->modifiers & kExtendKeys) != 0; }

bool is_free_or_on_object_point(const object* obj) {
  return type_of(obj) == TYPE_POINT && (obj->classe == &classe_point || obj->classe == &classe_ptsur);
}

// ------------------------------------------------------------------ the rubber band

bool strictly_inside(const tagRECT& box, const tagRECT& r) {
  return box.left > r.left && box.right < r.right && box.top > r.top && box.bottom < r.bottom;
}

bool point_inside(const valeur& v, const tagRECT& r) {
  return v.h >= r.left && v.h <= r.right && v.v >= r.top && v.v <= r.bottom;
}

// Whether the object lies in the band, by the rule of its type.
bool lies_in_band(const object* obj, const tagRECT& r) {
  const uint16_t t = type_of(obj);
  if (obj->te && is_text_like(obj)) {
    if ((obj->aux2 & 4) && t != TYPE_TEXT) return false;
    const tagRECT frame{obj->te->pos.x, obj->te->pos.y, obj->te->pos.x + obj->te->size.w,
                        obj->te->pos.y + obj->te->size.h};
    return strictly_inside(frame, r);
  }
  switch (t) {
    case TYPE_POINT:
      return point_inside(value_of(obj), r);
    case TYPE_SEGMENT:
    case TYPE_VECTOR:
    case TYPE_TRIANGLE:
    case TYPE_POLYGON: {
      if (obj->nbparents < 1 || !obj->parents) return false;
      for (int i = 0; i < obj->nbparents; ++i)
        if (!obj->parents[i] || !point_inside(value_of(obj->parents[i]), r)) return false;
      return true;
    }
    case TYPE_CIRCLE: {
      const valeur c = value_of(obj);
      const double rad = c.info.rayon;
      const tagRECT box{static_cast<int32_t>(std::floor(c.h - rad)), static_cast<int32_t>(std::floor(c.v - rad)),
                        static_cast<int32_t>(std::ceil(c.h + rad)), static_cast<int32_t>(std::ceil(c.v + rad))};
      return std::isfinite(rad) && strictly_inside(box, r);
    }
    case TYPE_ARC:
    case TYPE_ANGLE: {
      tagRECT box{};
      return wh().arc_bounding_rect && wh().arc_bounding_rect(obj, &box) && strictly_inside(box, r);
    }
    case TYPE_CONIC: {
      tagRECT box{};
      return wh().conic_bounding_rect && wh().conic_bounding_rect(obj, &box) && strictly_inside(box, r);
    }
    default:
      return false;
  }
}

void select_objects_in_band(const tagRECT& r) {
  kelvo_win_info* fig = figure();
  if (!fig || fig->nbobj <= 2) return;
  int n = 0;
  for (object* o = fig->first; o; o = o->next) {
    if (++n <= 2) continue;
    if (!o->settings.visible || (o->state & OBJ_UNDEFINED) || o->final_no == 0) continue;
    if (interaction_state == STATE_MACRO && type_of(o) == TYPE_TABLE) continue;
    if (lies_in_band(o, r)) select_figure_object(o, 0, 1);
  }
}

void draw_band() {
  if (!moving_display) return;
  if (static_display) dd_copy_bitmap(moving_display, static_display, 18);
  const uint8_t saved = selection_blink_phase;
  selection_blink_phase = rubber_band.dash_phase;
  draw_selection_rect();
  selection_blink_phase = saved;
  flush_moving_display(18);
}

void end_band() {
  rubber_band_tracking = 0;
  rubber_band.points_selected = 0;
  rubber_band.moved = 0;
}

void invalidate_window() { invalidate_current_figure_window(); }

// ------------------------------------------------------------------ construction

// A value that only a text shows (a measure in its text), taken as an
// argument by a tool that does not write texts: it is picked, framed where
// the text shows it, and the text is not opened for editing over it.
bool value_taken_from_text(const object* obj) {
  const construct_class* c = current_class;
  const bool writes_texts = c == &classe_text || c == &classe_label || c == &classe_nombre || c == &classe_table ||
                            c == &classe_exp_num || c == &classe_button;
  return c && !writes_texts && type_of(obj) == TYPE_NUMBER && (obj->aux2 & 2);
}

// The text edit follows a text-like result (step 7 of a construction).
// While the object edited is the one being built (a table being filled),
// a press is its own: the table takes it to choose a row or a column,
// widen a column or move. A click handled at its release starts nothing
// that the button would have to end.
void text_like_result(object* obj, kel_EventRecord* event) {
  kelvo_win_info* fig = figure();
  if (value_taken_from_text(obj)) {
    refresh_figure_description(current_figure_view);
    return;
  }
  if (is_labelable_object(obj) || (is_text_like(obj) && current_class != &classe_button)) {
    int count = 0;
    object* selected_number =
        wh().selected_number_in_active_text ? wh().selected_number_in_active_text(&count) : nullptr;
    if (fig && fig->cur_text && fig->cur_text != obj && fig->cur_text != selected_number) switch_text_edit(nullptr);
    switch_text_edit(obj);
  }
  if (fig && fig->cur_text && fig->cur_text == fig->moving && !(obj->state & OBJ_NEW)) {
    if (wh().dispatch_object_event) wh().dispatch_object_event(mouse_tracking ? event : nullptr, obj);
    obj->state &= ~OBJ_NEW;
  }
  if (current_class == &classe_length || current_class == &classe_aire || current_class == &classe_pente ||
      current_class == &classe_angleMes || current_class == &classe_equation)
    window_record_action(ACTION_MEASURE);
  refresh_figure_description(current_figure_view);
}

bool pop_outer_construction() { return th().pop_tool_argument_state && th().pop_tool_argument_state(); }

void finish_construction(object* made, object* designated, bool macro) {
  kelvo_win_info* fig = figure();
  clear_object_flags(OBJ_WALK | OBJ_CHOSEN | OBJ_TO_DELETE | OBJ_NEW);
  tool_redraw_figure(2, 33);
  copy_static_display();
  if (made) {
    const bool labelable = is_labelable_object(made);
    const bool designated_labelable = designated && is_labelable_object(designated);
    const uint16_t t = type_of(made);
    // A new button opens on its caption, which the user may type over.
    caption_new_button(made);
    if ((labelable && (!designated_labelable || macro)) || is_value_object(made, true) || t == TYPE_TEXT ||
        t == TYPE_EXPRESSION || t == TYPE_BUTTON || made->classe == &classe_nombre)
      switch_text_edit(made);
  }
  save_undo_state(remembered_object_count);
  if (fig) remembered_object_count = fig->nbobj;
  window_record_action(ACTION_CONSTRUCTION);
  if (current_class == &classe_button) {
    if (th().hide_pending_button_targets) th().hide_pending_button_targets();
    if (fig && made) objlist_add(fig->inputs, made, 0);
  }
  refresh_figure_description(current_figure_view);
}

// ------------------------------------------------------------------ keys

void text_object_takes_key(object* obj, uint8_t key, int action) {
  if (wh().regenerate_text_object) wh().regenerate_text_object(obj, key);
  mark_dirty();
  window_record_action(action);
}

bool is_tool_target(const object* obj) {
  return wh().is_current_text_tool_target && wh().is_current_text_tool_target(obj);
}

bool has_label_text(const object* obj) {
  if (wh().has_label_text) return wh().has_label_text(obj);
  return obj->te && obj->te->length > 0;
}

int16_t object_event(kel_EventRecord* e, object* obj) {
  return wh().dispatch_object_event ? wh().dispatch_object_event(e, obj) : 0;
}

object* resolve_reference(object* obj, uint16_t tag) {
  if (th().resolve_text_reference && tag >= kTagFirstReference) {
    if (object* r = th().resolve_text_reference(obj, tag)) return r;
  }
  return obj;
}

bool replay_running() { return wh().replay_running && wh().replay_running(); }

void start_replay() {
  if (th().start_replay_construction) th().start_replay_construction();
}

}  // namespace

// ================================================================== mouse

bool elapsed_ticks_exceed(uint32_t ms) { return mouse_tracking && window_tick_count() - press_tick > ms; }

bool press_became_drag(tagPOINT point) {
  const bool tool = current_class != nullptr;
  const int32_t distance = std::abs(point.x - press_point.x) + std::abs(point.y - press_point.y);
  if (mouse_tracking && distance > (tool ? kDragDistanceTool : kDragDistancePointer)) return true;
  return elapsed_ticks_exceed(tool ? kDragTimeTool : kDragTimePointer);
}

bool is_mouse_speed_below(double factor) {
  const double elapsed = static_cast<double>(static_cast<uint32_t>(mouse_tick - previous_mouse_tick)) / 1000.0;
  if (elapsed <= 0) return false;
  const double distance = std::hypot(static_cast<double>(mouse_point.x - previous_mouse_point.x),
                                     static_cast<double>(mouse_point.y - previous_mouse_point.y));
  return factor * pixels_per_centimetre() > distance / elapsed;
}

void figure_mouse_construct(kel_EventRecord* event) {
  kelvo_win_info* fig = figure();
  if (!fig || !current_class || !event) return;
  const tagPOINT point = to_figure(tagPOINT{event->x, event->y});
  object* made = nullptr;
  object* designated = nullptr;
  bool macro = false;
  bool built = false;
  // A press while a text opened in place from the pointer is edited (the
  // text's class is current, the pointer still the tool of the palette)
  // ends the edit: the text goes back to its object and the pointer is
  // current again.
  const bool opened_in_place = !current_class->select || last_toolbox_tool == kPointerToolId;
  if (opened_in_place && fig->cur_text && !is_text_like(fig->cur_text)) return;  // a label: the press is the editor's
  if (opened_in_place && fig->cur_text && is_text_like(fig->cur_text)) {
    select_tool(0);
    invalidate_window();
    return;
  }
  for (int round = 0; current_class && round < kMaxNestedConstructions; ++round) {
    if (!current_class->select) return;
    uint16_t method = 0;
    designated = nullptr;
    const bool complete = current_class->select(&method, &designated);
    if (!complete && !designated) {
      switch_text_edit(nullptr);
      if (!nested_construction_waiting()) {
        refresh_figure_description(current_figure_view);
        return;
      }
      setup_current_tool(current_class);
      redesignate(point, 6);
      nested_active = 0;
      continue;
    }
    if (!complete) {
      if (!is_text_like(designated)) {
        const bool own = designated->classe == current_class ||
                         (current_class == &classe_interset && type_of(designated) == TYPE_POINT);
        if (own) {
          if (pop_outer_construction()) {
            set_first_picked(designated);
            if (is_labelable_object(designated)) switch_text_edit(designated);
            continue;
          }
          designated->state &= ~OBJ_NEW;
        }
        if (moving_display) draw_object(moving_display, designated);
        flush_moving_display(20);
        tool_redraw_figure(2, 34);
        if (!(designated->state & OBJ_NEW)) {
          save_undo_state(remembered_object_count);
          remembered_object_count = fig->nbobj;
          window_record_action(ACTION_CREATION);
        }
      }
      text_like_result(designated, event);
      return;
    }
    // The arguments of a method are complete: build the object.
    if (designated) {
      set_first_picked(designated);
      if (is_labelable_object(designated)) switch_text_edit(designated);
    }
    reset_class_type_marks(current_class);
    construct_method* m = current_class->methods ? current_class->methods[method] : nullptr;
    macro = m && m->def;
    if (macro) {
      if (current_class == &classe_exp_num_app && method == 1) {
        if (wh().prepare_macro_application) wh().prepare_macro_application();
      } else if (wh().apply_macro) {
        wh().apply_macro(method, 1);
      }
      made = fig->last_hint;
    } else {
      uint16_t created = 0;
      made = create_object(method, &created, 1, 1, 0);
    }
    built = true;
    clear_selection();
    if (designated && is_labelable_object(designated))
      switch_text_edit(designated);
    else
      designated = nullptr;
    clear_object_flags(OBJ_CHOSEN);
    if (made && pop_outer_construction()) {
      set_first_picked(made);
      if (is_labelable_object(made) && current_class != &classe_redefine) switch_text_edit(made);
      continue;
    }
    break;
  }
  if (built) finish_construction(made, designated, macro);
}

void figure_mouse_pointer(kel_EventRecord* event) {
  kelvo_win_info* fig = figure();
  if (!fig || !event) return;
  const bool extend = extend_keys(event) || interaction_state == STATE_TRACE || interaction_state == STATE_MACRO;
  if (ambiguous_designation) {
    highlight_candidate();
    if (!ambiguous_designation && first_picked())
      select_figure_object(first_picked(), picked.tags[0], extend ? 1 : 0);
    return;
  }
  object* obj = first_picked();
  if (obj) {
    const bool armed = (wh().drag_armed && wh().drag_armed()) ||
                       ((interaction_state == STATE_ANIMATION || interaction_state == STATE_MULTI_ANIMATION) &&
                        obj != fig->cur2);
    if (armed) {
      clear_designation_text();
      if (mouse_tracking) object_event(event, obj);
      return;
    }
    update_cursor(nullptr);
    clear_designation_text();
    if (object* edited = text_reference_under_click(event)) {
      clear_selection();
      end_tool_action();
      interaction_state = STATE_CONSTRUCTION;
      objlist_clear(fig->inputs);
      if (fig->selection)
        for (int i = 0; fig->selection->items && fig->selection->items[i]; ++i)
          objlist_add(fig->inputs, fig->selection->items[i], fig->selection->tags[i]);
      switch (type_of(edited)) {
        case TYPE_TEXT:
        case TYPE_PROPERTY:
          current_class = &classe_text;
          break;
        case TYPE_NUMBER:
        case TYPE_EQUATION:
          current_class = &classe_nombre;
          break;
        case TYPE_TABLE:
          current_class = &classe_table;
          break;
        case TYPE_EXPRESSION:
          current_class = &classe_exp_num;
          break;
        default:
          current_class = &classe_label;
          break;
      }
      if (th().post_tool_selection) th().post_tool_selection(current_class);
      save_undo_state(0);
      switch_text_edit(edited);
      mark_dirty();
      flush_moving_display(19);
      return;
    }
    if (interaction_state == STATE_COLOR_NUMBER) {
      // The figure's context menu named the object and the component.
      drive_color_component(resolve_reference(obj, picked.tags ? picked.tags[0] : 0));
      invalidate_window();
      mark_dirty();
      select_tool(0);
      return;
    }
    select_figure_object(obj, picked.tags ? picked.tags[0] : 0, extend ? 1 : 0);
    return;
  }
  const bool ext = extend_keys(event);
  const uint8_t s = interaction_state;
  const bool clears = ((s == STATE_POINTER || s == STATE_ANIMATION || s == STATE_MULTI_ANIMATION) && !ext) ||
                      ((s == STATE_TRACE || s == STATE_MACRO) && ext);
  if (clears) {
    if (s == STATE_TRACE)
      for (object* o = fig->first; o; o = o->next) o->settings.marked = 0;
    clear_selection();
    if (moving_display && static_display) dd_copy_bitmap(moving_display, static_display, 15);
  }
  figure_mouse_track(event, (event->what == kEventMouseUp || !mouse_tracking) ? 1 : 0);
}

void figure_mouse_track(kel_EventRecord* event, int released) {
  kelvo_win_info* fig = figure();
  if (!fig || !event) return;
  const tagPOINT p = to_figure(tagPOINT{event->x, event->y});
  const uint32_t now = window_tick_count();
  if (!rubber_band_tracking) {
    rubber_band.start_tick = now;
    rubber_band.anchor = rubber_band.last = p;
    rubber_band.dash_phase = 0;
    rubber_band.moved = 0;
    rubber_band.points_selected = 0;
    rubber_band.draw_tick = now;
    if (remove_selection_rect()) invalidate_window();
    selection_rect = tagRECT{p.x, p.y, p.x, p.y};
    rubber_band_tracking = 1;
  }
  if (rubber_band.points_selected) {
    if (released) {
      clear_selection();
      end_band();
    } else if (mouse_tracking) {
      redesignate(p, 4);
    }
    return;
  }
  const uint8_t s = interaction_state;
  const int32_t near = std::abs(p.x - rubber_band.last.x) + std::abs(p.y - rubber_band.last.y);
  if ((s == STATE_POINTER || s == STATE_MACRO) && near < 5 && !rubber_band.moved) {
    if (now - press_tick >= kHoldSelectsPoints) {
      // The hidden origin is no point the user placed.
      for (object* o = fig->first; o; o = o->next)
        if (o->num >= 3 && o->settings.visible && is_free_or_on_object_point(o)) select_figure_object(o, 0, 1);
      redesignate(p, 5);
      rubber_band.points_selected = 1;
    }
    if (released) end_band();
    return;
  }
  if (!released) {
    const bool moved = p.x != rubber_band.last.x || p.y != rubber_band.last.y;
    if (moved) {
      rubber_band.moved = 1;
      rubber_band.last = p;
      tagPOINT corner = p;
      if (tool_modifier_down(3)) {
        const int32_t dx = p.x - rubber_band.anchor.x, dy = p.y - rubber_band.anchor.y;
        const int32_t side = std::max(std::abs(dx), std::abs(dy));
        corner.x = rubber_band.anchor.x + (dx < 0 ? -side : side);
        corner.y = rubber_band.anchor.y + (dy < 0 ? -side : side);
      }
      selection_rect = tagRECT{std::min(rubber_band.anchor.x, corner.x), std::min(rubber_band.anchor.y, corner.y),
                               std::max(rubber_band.anchor.x, corner.x), std::max(rubber_band.anchor.y, corner.y)};
      selection_rect_shown = 1;
    }
    if (moved || now - rubber_band.draw_tick >= 31) {
      draw_band();
      rubber_band.dash_phase = static_cast<uint8_t>((rubber_band.dash_phase + 1) % kSelectionDashPeriod);
      rubber_band.draw_tick = now;
    }
    return;
  }
  // Release: a band larger than 5 pixels each way selects what lies in it
  // and stays shown; a smaller one is a click on the empty sheet.
  const tagRECT r = selection_rect;
  const bool large = r.right - r.left > 5 && r.bottom - r.top > 5;
  if (large) {
    select_objects_in_band(r);
    selection_rect_shown = 1;
  } else {
    selection_rect_shown = 0;
    invalidate_window();
  }
  end_band();
}

void attribute_tool_click(kel_EventRecord* event) {
  kelvo_win_info* fig = figure();
  if (!fig || !event) return;
  if (ambiguous_designation) {
    highlight_candidate();
    if (ambiguous_designation) return;
  }
  if (objlist_count(&picked) > 0) {
    save_undo_state(0);
    mark_dirty();
    clear_designation_text();
    apply_attributes_to_objects(picked.items, picked.tags, attribute_mask, interaction_state);
    window_record_action(ACTION_CHANGE_ASPECT);
    return;
  }
  if (!extend_keys(event)) return;
  const bool sticky = interaction_state == STATE_FIX_FREE;
  if (!sticky && attribute_mask != ATTR_HIDE_SHOW) return;
  dyn_array_object* list = objlist_new();
  if (!list) return;
  for (object* o = fig->first; o; o = o->next) {
    if (o->num < 3) continue;
    if (sticky ? o->settings.sticky != 0 : o->settings.visible == 0) objlist_add(list, o, 0);
  }
  if (objlist_count(list) > 0) {
    save_undo_state(0);
    mark_dirty();
    apply_attributes_to_objects(list->items, list->tags, attribute_mask, interaction_state);
    if (sticky) window_record_action(ACTION_REMOVE_STICKERS);
  }
  objlist_free(&list);
}

void figure_view_track_mouse(void* view, const kel_EventRecord* event) {
  if (!event) return;
  last_mouse_point = tagPOINT{event->x, event->y};
  HWND window = static_cast<HWND>(view);
  const window_hooks& h = wh();
  if (event->what == kEventDragStep && window != kp_current_figure_window() && !current_figure_view)
    clear_designation_text();
  HWND tools = h.tools_window ? h.tools_window() : nullptr;
  if (event->what == kEventMouseDown) {
    HWND list = h.open_pull_down ? h.open_pull_down() : nullptr;
    if (list && window != tools) NSKelvoWrapMachine::sendMessage(list, kCloseMessage, 0, 0);
    if (window != tools && h.palette_reorganising && h.palette_reorganising()) post_tools(101, 0);
    const HWND editor = h.text_editor_window ? h.text_editor_window() : nullptr;
    if (!editor || window != editor) {
      mouse_tracking = 1;
      capture_window = window;
      focus_before_capture = h.focus_window ? h.focus_window() : nullptr;
      if (window) NSKelvoWrapMachine::setFocus(window);
    }
  } else if (event->what == kEventMouseUp) {
    mouse_tracking = 0;
    capture_window = nullptr;
    if (focus_before_capture) NSKelvoWrapMachine::setFocus(focus_before_capture);
    focus_before_capture = nullptr;
  }
  if (!kp_current_figure_window() || !figure() || !moving_display) return;
  const bool grab = tool_modifier_down(4);
  const HCURSOR open_hand = kernel_cursors[CURSOR_DESIGNATE_123];
  const HCURSOR closed_hand = kernel_cursors[CURSOR_DESIGNATE_119];
  const bool pending = objlist_count(figure()->inputs) > 0;
  // The cursor on screen, whoever set it last.
  const HCURSOR shown = KPCursor::lastSet();
  if (grab && !pending) {
    if (shown != open_hand && shown != closed_hand) update_cursor(mouse_tracking ? closed_hand : open_hand);
  } else if (!grab && shown == open_hand) {
    update_cursor(mouse_tracking ? closed_hand : open_hand);
  }
}

object* text_reference_under_click(kel_EventRecord* event) {
  kelvo_win_info* fig = figure();
  object* obj = first_picked();
  if (!fig || !obj || !event || interaction_state != STATE_POINTER || extend_keys(event)) return nullptr;
  const uint16_t tag = picked.tags ? picked.tags[0] : 0;
  bool selected = false;
  for (int i = 0; fig->selection && fig->selection->items && fig->selection->items[i]; ++i)
    selected = selected || (fig->selection->items[i] == obj && fig->selection->tags[i] == tag);
  if (!selected || tag < kTagLabel) return nullptr;
  if (wh().has_displayed_text ? !wh().has_displayed_text(obj) : !(obj->te && obj->te->length > 0)) return nullptr;
  if (type_of(obj) == TYPE_TEXT && tag >= kTagFirstReference)
    if (object* ref = place_number_at_reference(obj, tag, true)) return ref;
  return obj;
}

// ================================================================== keys

uint8_t clear_command() {
  kelvo_win_info* fig = figure();
  const window_hooks& h = wh();
  int32_t start = 0, end = 0, length = 0;
  if (h.text_editor_selection && h.text_editor_selection(&start, &end, &length)) {
    if (start != end) {
      if (th().send_text_editor) th().send_text_editor(kEditorReplaceSel, 1, reinterpret_cast<LPARAM>(""));
    } else if (start < length && th().send_text_editor) {
      th().send_text_editor(kEditorSetSel, static_cast<WPARAM>(start), start + 1);
      th().send_text_editor(kEditorReplaceSel, 1, reinterpret_cast<LPARAM>(""));
    }
    return 1;
  }
  if (!fig) return 0;
  if (fig->moving && fig->moving == fig->cur_text) {
    // A table being filled loses the row or the column chosen in it.
    if (type_of(fig->cur_text) == TYPE_TABLE) table_remove_row_or_column(fig->cur_text);
    if (h.update_object_text_record) h.update_object_text_record(fig->cur_text);
    invalidate_window();
    return 1;
  }
  const bool text_class = current_class == &classe_text || current_class == &classe_nombre ||
                          current_class == &classe_table || current_class == &classe_exp_num;
  if (current_class && !text_class && objlist_count(fig->inputs) > 0) {
    if (h.cancel_last_selection) h.cancel_last_selection(1, 1);
    const tagPOINT p = to_figure(press_point);
    if (current_class != &classe_polygone && current_class != &classe_polyreg) redesignate(p, 7);
    switch_text_edit(nullptr);
    if (HWND win = kp_current_figure_window()) NSKelvoWrapMachine::sendMessage(win, kPaintMessage, 0, 0);
    return 1;
  }
  object* text = fig->cur_text;
  if (text && is_labelable_object(text) && has_label_text(text) && !is_tool_target(text)) {
    if (h.regenerate_text_object) h.regenerate_text_object(text, kKeyBackspace);
    mark_dirty();
    return 1;
  }
  if (interaction_state == STATE_POINTER) {
    save_undo_state(0);
    mark_dirty();
    selection_blink_time = 0;
    switch_text_edit(nullptr);
    if (h.delete_objects) h.delete_objects(nullptr);
    window_record_action(ACTION_SUPPRESSION);
    return 1;
  }
  return 0;
}

void figure_key_down(kel_EventRecord* event) {
  kelvo_win_info* fig = figure();
  if (!event) return;
  if (replay_running()) {
    start_replay();
    return;
  }
  if (!fig) return;
  const window_hooks& h = wh();
  const uint8_t key = static_cast<uint8_t>(event->message & 0xFF);
  if (key == kKeyBackspace && clear_command()) return;
  if (key == kKeyTab && fig->moving) {
    object* current = fig->moving;
    recompute_object(current);
    if (h.set_drag_kind) h.set_drag_kind(4);
    redraw_object(current);
    if (!manipulating) {
      if (moving_display && static_display) dd_copy_bitmap(moving_display, static_display, 16);
      redesignate(to_figure(mouse_point), 8);
    } else if (h.recompute_marked_objects) {
      h.recompute_marked_objects();
    }
    if (h.set_drag_kind) h.set_drag_kind(-1);
    window_record_action(ACTION_TABULATE);
    return;
  }
  const bool pointer = interaction_state == STATE_POINTER;
  const int selected = objlist_count(fig->selection);
  object* first = first_selected(fig);
  bool taken = false;
  object* text = fig->cur_text;
  // The view's arrow keys move through the tools palette and step values;
  // they are no letters of a name.
  const uint32_t code = event->message & 0xFFFF;
  const bool arrow = code >= kViewArrowFirst && code <= kViewArrowLast;
  if (text && (!pointer || text == first)) {
    const bool key_for_name = key != kKeyBackspace && key != kKeyReturn;
    if (is_labelable_object(text) && !is_tool_target(text) &&
        (current_class || (pointer && selected == 1 && key_for_name))) {
      if (!arrow) text_object_takes_key(text, key, ACTION_EDIT_NAME);
      return;
    }
    int count = 0;
    object* number = h.selected_number_in_active_text ? h.selected_number_in_active_text(&count) : nullptr;
    if (number) {
      object_event(event, number);
      window_record_action(ACTION_EDIT_NUMBER);
    } else if (count == 0) {
      object_event(event, text);
      window_record_action(ACTION_EDIT_TEXT);
    }
    return;
  }
  if (pointer && selected > 0 && key != kKeyBackspace && key != kKeyReturn) {
    for (int i = 0; fig->selection->items[i]; ++i) {
      object* item = resolve_reference(fig->selection->items[i], fig->selection->tags[i]);
      // A locus takes only '+' and '-' (more or fewer points); any other
      // key is left to what follows, a name typed for it among them.
      if (!is_value_object(item, key == '+' || key == '-')) continue;
      if (object_event(event, item)) {
        taken = true;
        window_record_action(ACTION_CHANGE_OBJECT);
      }
    }
  }
  if (!taken && !arrow && pointer && selected == 1 && key != kKeyBackspace && key != kKeyReturn &&
      is_labelable_object(first) && !is_tool_target(first) && !has_label_text(first)) {
    switch_text_edit(first);
    text_object_takes_key(first, key, ACTION_EDIT_NAME);
    return;
  }
  if (!taken && key == kKeyReturn) {
    if (h.start_spring_animation && h.start_spring_animation())
      object_event(event, nullptr);
    else if (h.evaluate_calculator)
      h.evaluate_calculator();
  }
}

void figure_special_key(int key) {
  if (replay_running()) {
    start_replay();
    return;
  }
  const window_hooks& h = wh();
  HWND list = h.open_pull_down ? h.open_pull_down() : nullptr;
  switch (key) {
    case kKeyUp:
    case kKeyDown:
      if (tool_modifier_down(3) && h.is_figure_description_visible &&
          h.is_figure_description_visible(kp_current_figure_window()) && h.send_description_list)
        h.send_description_list(kKeyMessage, static_cast<WPARAM>(key));
      return;
    case kKeyReturn:
      if (list) NSKelvoWrapMachine::cwmPostMessage(list, kCloseMessage, 0, 0);
      return;
    case kKeyEscape: {
      uint32_t entry = 0;
      if (list) {
        entry = h.take_pull_down_entry ? h.take_pull_down_entry() : 0;
      } else if (interaction_state == STATE_POINTER) {
        clear_selection();
        redesignate(to_figure(last_mouse_point), 2);
      }
      post_tools(101, static_cast<LPARAM>(entry ? entry : kPointerToolId));
      return;
    }
    default:
      return;
  }
}

// ================================================================== window

void update_axes_tool_variant() {
  kelvo_win_info* fig = figure();
  if (!fig || !fig->first || !fig->first->next) return;
  int item = 0;
  menu* m = put_axes_variant_in_toolboxes(&item);
  if (!m || (m->icons[0] != show_axes_icons[0] && m->icons[0] != show_axes_icons[1])) return;
  m->icons[0] = m->icons[item];
  if (th().send_tools_palette)
    th().send_tools_palette(kToolsMessage, 102, (static_cast<LPARAM>(m->id) << 16) | item);
}

void figure_activate(void* window) {
  HWND win = static_cast<HWND>(window);
  const bool changed = win != kp_current_figure_window();
  const window_hooks& h = wh();
  if (changed) {
    select_tool(0);
    DisplayDevice* dd = h.window_display_device ? h.window_display_device(win) : nullptr;
    if (dd) {
      if (h.bind_macro_classes) h.bind_macro_classes(figure());
      kp_set_current_figure_window(win);
      int32_t x = 0, y = 0;
      dd_get_origin(dd, &x, &y);
      dd_shift_origins(x, y);
      if (win) NSKelvoWrapMachine::setFocus(win);
      tool_redraw_figure(1, 38);
      invalidate_window();
      if (h.set_undo_menu_text) h.set_undo_menu_text();
      window_record_action(ACTION_ACTIVE_WINDOW);
      if (h.reset_palette_selections) h.reset_palette_selections();
      if (h.place_description_panel) h.place_description_panel(win);
    }
    if (h.tools_window && h.tools_window()) update_axes_tool_variant();
    select_tool(0);
    if (h.calculator_figure_changed) h.calculator_figure_changed();
  }
  update_cursor(current_cursor);
  refresh_tool_menus();
}

void figure_teardown(void* window, DisplayDevice* dd) {
  HWND win = static_cast<HWND>(window);
  const bool current_window = win && win == kp_current_figure_window();
  if (dd) {
    kelvo_win_info* previous = figure();
    kelvo_win_info* own = wh().window_figure ? wh().window_figure(win) : (current_window ? previous : nullptr);
    if (own && own == previous) select_tool(0);
    if (own) {
      // The record and its undo copy each own their strings and lists, and
      // the pictures they share go with the one freed last.
      KPGeoDocument::setCurrentInfo(own);
      kelvo_win_info* copy = own->undo;
      free_figure_info(own, false);
      KPGeoDocument::setCurrentInfo(nullptr);
      free_figure_info(copy, false);
    }
    KPGeoDocument::setCurrentInfo(previous == own ? nullptr : previous);
    destroy_display_device(dd);
    // The pictures of a drag's still layer are kept between drags, not
    // beyond a window.
    free_still_layer();
  }
  if (current_window) {
    kp_set_current_figure_window(nullptr);
    KPGeoDocument::setCurrentInfo(nullptr);
  }
  refresh_tool_menus();
}

void figure_paint(void* window) {
  HWND win = static_cast<HWND>(window);
  const window_hooks& h = wh();
  DisplayDevice* dd = h.window_display_device ? h.window_display_device(win) : nullptr;
  if (!dd) return;
  if (h.view_int_bounds) h.view_int_bounds(win, &scroll_origin);
  if (win == kp_current_figure_window() && !manipulating) {
    if (static_display) static_display->needToBeCleared = 1;
    tool_redraw_figure(2, 36);
    if (static_display) dd_copy_bitmap(dd, static_display, 17);
  }
}
