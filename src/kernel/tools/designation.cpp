#include "kernel/tools/designation.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/measure/formula_text.h"
#include "kernel/model/mbcs.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/draw_object.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/hit_state.h"
#include "kernel/tools/tool_dispatch.h"
#include "platform/kp_dialog.h"
#include "platform/kp_timer.h"

uint8_t ambiguous_designation = 0;
uint16_t pending_point_kind = 0;
uint8_t pending_multi_point = 0;
uint16_t pending_multi_point_kind = 0;
uint8_t generic_match = 0;
uint8_t reference_match = 0;
tagPOINT last_mouse{};
uint8_t designation_force = 0;
uint8_t designation_text_dirty = 0;
object* highlighted_object = nullptr;
uint32_t highlight_tick = 0;
int designation_cursor_id = CURSOR_ID_ARROW;
std::string designation_buffer;
uint8_t designated_crossing = 0;
tagPOINT designated_crossing_pos{};

namespace {

// Kernel string rows of the designation texts.
constexpr int kRowDeterminer = 48;
constexpr int kRowGraduation = 52;
constexpr int kRowInsertReference = 188;
constexpr int kRowWhichObject = 190;
constexpr int kRowMultiIntersection = 192;
constexpr int kRowPointOnSeveral = 193;
constexpr int kRowIntersection = 194;
constexpr int kRowPointOn = 195;
constexpr int kRowPolygonalKinds = 219;  // types 2..6
constexpr int kRowRegularPolygon = 223;

constexpr uint16_t kLabelPart = 257;
constexpr uint16_t kWholeText = 258;
constexpr uint16_t kGenericTag = 0x8000;
constexpr uint32_t kHighlightDelay = 334;
constexpr size_t kDesignationTextMax = 99;

constexpr uint16_t kShiftKey = 3;
constexpr uint16_t kCommandKey = 4;

designation_services g_services;

std::string g_shown_text;
bool g_text_shown = false;
tagPOINT g_shown_pos{};
uint32_t g_shown_color = 0;
uint32_t g_draw_count = 0;

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }

bool has_picture(const object* o) { return o && o->bitmap; }

bool is_plain_point(const object* o, uint16_t tag) {
  return type_of(o) == TYPE_POINT && !has_picture(o) && tag < 256;
}

bool list_holds(const dyn_array_object* list, bool (*pred)(const object*, uint16_t)) {
  if (!list || !list->items) return false;
  for (int i = 0; list->items[i]; ++i)
    if (pred(list->items[i], list->tags ? list->tags[i] : 0)) return true;
  return false;
}

bool is_text_object(const object* o, uint16_t) { return type_of(o) == TYPE_TEXT; }
bool is_grid_object(const object* o, uint16_t) { return type_of(o) == TYPE_GRID; }
bool is_not_text_or_table(const object* o, uint16_t) {
  return type_of(o) != TYPE_TEXT && type_of(o) != TYPE_TABLE;
}
bool is_plain_point_entry(const object* o, uint16_t tag) { return is_plain_point(o, tag); }

// Every side of a straight shape, the last value joined to the first, is
// at most 20 units long (|dx| + |dy|).
bool is_tiny_shape(const object* o) {
  if (!o->valeurs || o->nbvaleurs < 2) return false;
  for (int i = 0; i < o->nbvaleurs; ++i) {
    const valeur& a = o->valeurs[i];
    const valeur& b = o->valeurs[(i + 1) % o->nbvaleurs];
    if (std::fabs(b.h - a.h) + std::fabs(b.v - a.v) > 20) return false;
  }
  return true;
}

bool modifier_down(uint16_t code) { return KPEventsWrapper::modifierKeyDown(code); }
bool button_down() { return g_services.button_down && g_services.button_down(); }

int32_t pack_point(const tagPOINT& p) {
  return static_cast<int32_t>((static_cast<uint32_t>(p.y) << 16) | (static_cast<uint32_t>(p.x) & 0xFFFF));
}

bool tool_hit(object* o, const tagPOINT& p) {
  if (g_services.tool_hit_test) return g_services.tool_hit_test(o, pack_point(p));
  if (!o->otype || !o->otype->hit_test) return false;
  tagPOINT q = p;
  return o->otype->hit_test(o, &q);
}

int tool_cursor(int which) {
  if (g_services.tool_cursor_id) return g_services.tool_cursor_id(which);
  static constexpr int kDefaults[3] = {113, CURSOR_ID_TAKE, CURSOR_ID_TAKE_PRESSED};
  return kDefaults[which];
}

void choose_cursor(int id) {
  designation_cursor_id = id;
  if (g_services.show_cursor) g_services.show_cursor(id);
}

uint32_t points_color() { return default_attrs[ATTRS_POINT].settings.Color; }

uint32_t effective_color(const object* o) { return o->settings.Color; }

const char* type_name(const object* o) {
  const uint16_t t = type_of(o);
  if (t >= TYPE_SEGMENT && t <= 6) {
    const char* s = kernel_string(kRowPolygonalKinds + t - TYPE_SEGMENT);
    if (*s) return s;
  }
  return o && o->otype && o->otype->name ? o->otype->name : "";
}

// The user-given name of an object (its `str` begins with the byte 1), or null.
const char* given_name(const object* o) {
  return o && o->str && o->str[0] == 1 ? o->str + 1 : nullptr;
}

const char* name_or_type(const object* o) {
  const char* n = given_name(o);
  return n && *n ? n : type_name(o);
}

int single_byte_lower(int c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }
int single_byte_upper(int c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

kelvo_win_info* figure() { return KPGeoDocument::currentInfo(); }

bool is_selected(const object* candidate, uint16_t tag, uint16_t* selection_tag) {
  kelvo_win_info* fig = figure();
  if (!fig || !fig->selection || !fig->selection->items) return false;
  object* c = resolve_text_reference(const_cast<object*>(candidate), tag);
  for (int i = 0; fig->selection->items[i]; ++i) {
    const uint16_t t = fig->selection->tags ? fig->selection->tags[i] : 0;
    if (resolve_text_reference(fig->selection->items[i], t) == c) {
      *selection_tag = t;
      return true;
    }
  }
  return false;
}

bool intersect_near_mouse(dyn_array_object* list, uint8_t loci) {
  if (!g_services.intersect_near || !list->items) return false;
  for (int i = 0; list->items[i]; ++i)
    if (g_services.intersect_near(list->items[i], list->items, &last_mouse, loci)) return true;
  return false;
}

bool list_has_code(const designation_list* list, uint16_t code) {
  if (!list || !list->entries) return false;
  for (const designation_entry* e = list->entries; e->code; ++e)
    if (e->code == code) return true;
  return false;
}

void refresh_moving() {
  kelvo_win_info* fig = figure();
  object* edited = fig ? fig->cur_text : nullptr;
  const bool value_text = edited && (edited->classe == &classe_nombre || edited->classe == &classe_exp_num ||
                                     (edited->classe == &classe_equation && edited->methode == 0));
  if (value_text && g_services.refresh_moving_layer)
    g_services.refresh_moving_layer();
  else
    flush_moving_display(2);
}

}  // namespace

designation_services& designation_hooks() { return g_services; }

// ------------------------------------------------------------ matching

void match_argument_type(construct_class* cls, uint16_t method, uint16_t type_id) {
  construct_method* m = class_method(cls, method);
  if (!m || !m->args) return;
  TYPEOBJ* codes = m->args;
  if (codes[0] == ARG_REPEAT) {
    if (codes[1] && (codes[1] & 0x3FFF) == type_id) codes[1] |= ARG_MATCHED;
    return;
  }
  for (int pos = 0; codes[pos];) {
    const TYPEOBJ c = codes[pos];
    if (c > ARG_ONE_OF && c < ARG_RULED_OUT) {
      const int n = c - ARG_ONE_OF;
      codes[pos] |= ARG_MATCHED;
      int k = 1;
      bool hit = false;
      for (; k <= n && codes[pos + k]; ++k)
        if (codes[pos + k] == type_id) hit = true;
      if (hit) {
        for (int j = 1; j < k; ++j) codes[pos + j] |= ARG_MATCHED;
        return;
      }
      ++pos;  // the alternatives are then examined as plain codes
      continue;
    }
    if (argument_code_accepts(c, type_id)) {
      codes[pos] |= ARG_MATCHED;
      return;
    }
    ++pos;
  }
  for (int pos = 0; codes[pos]; ++pos) codes[pos] |= ARG_RULED_OUT;
}

bool object_fits_designation_list(const designation_list* list, object* obj) {
  generic_match = 0;
  reference_match = 0;
  if (!list || !list->entries || !obj) return false;
  const uint16_t t = type_of(obj);
  for (const designation_entry* e = list->entries; e->code; ++e) {
    if (e->code == t) return true;
    if ((e->code == ARG_STRAIGHT_BOUNDED && t >= 2 && t <= 6) || (e->code == ARG_STRAIGHT && t >= 2 && t <= 9)) {
      generic_match = 1;
      return true;
    }
  }
  if (t == TYPE_TEXT && obj->inserted) {
    for (const designation_entry* e = list->entries; e->code; ++e)
      for (insert_object* r = obj->inserted; r; r = r->next)
        if (r->obj && e->code == type_of(r->obj)) {
          reference_match = 1;
          return true;
        }
  }
  return false;
}

bool admit_candidate(object* obj, uint16_t, dyn_array_object* list) {
  if (!obj || !list) return false;
  const uint16_t t = type_of(obj);
  if (t == TYPE_POINT && !has_picture(obj)) {
    if (!list_holds(list, is_plain_point_entry)) objlist_clear(list);
    return true;
  }
  if (t >= TYPE_SEGMENT && t <= 6 && is_tiny_shape(obj)) return true;
  if (t != TYPE_NUMBER) {
    if (list_holds(list, is_plain_point_entry)) return false;
    if (list_holds(list, is_text_object)) objlist_clear(list);
    return true;
  }
  if (list_holds(list, is_plain_point_entry) || list_holds(list, is_grid_object)) return false;
  if (list_holds(list, is_not_text_or_table)) return true;
  objlist_clear(list);
  return true;
}

// ------------------------------------------------------------ texts

namespace {

// The entry text up to and including its determiner word and the blank
// after it, then the object's type name with its first letter lower-cased.
const char* generic_text(const char* entry_text, const object* obj) {
  const uint16_t t = type_of(obj);
  const char* word = type_name(obj);
  if (!entry_text) return (t >= 2 && t <= 6) ? word : nullptr;
  const char* det = kernel_string(kRowDeterminer);
  if (std::strlen(det) < 2) return entry_text;
  const char* found = nullptr;
  for (const char* p = entry_text; *p; p += mbcs_char_step(p)) {
    const bool at_word = p == entry_text || p[-1] == ' ';
    const bool first = *p == det[0] || *p == single_byte_upper(static_cast<unsigned char>(det[0]));
    if (at_word && first && p[1] == det[1]) {
      found = p;
      break;
    }
  }
  if (!found) return entry_text;
  const char* end = found;
  while (*end && *end != ' ') ++end;
  if (*end == ' ') ++end;
  std::string text(entry_text, end);
  std::string name(word);
  if (!name.empty() && mbcs_char_len(name.c_str()) == 1)
    name[0] = static_cast<char>(single_byte_lower(static_cast<unsigned char>(name[0])));
  text += name;
  if (text.size() > kDesignationTextMax) return entry_text;
  designation_buffer = text;
  return designation_buffer.c_str();
}

}  // namespace

const char* designation_text_for_object(const designation_list* list, object* obj) {
  if (!list || !list->entries || !obj) return nullptr;
  const uint16_t t = type_of(obj);
  kelvo_win_info* fig = figure();
  for (const designation_entry* e = list->entries; e->code; ++e) {
    if (e->code == t) {
      if (current_class == &classe_text && fig && type_of(fig->cur_text) == TYPE_TEXT) {
        const bool insertable = t != TYPE_TEXT && t != TYPE_BUTTON && t != TYPE_PROPERTY;
        const bool reference_tag = picked.items && picked.items[0] && picked.tags && picked.tags[0] > kWholeText;
        if (insertable || reference_tag) return kernel_string(kRowInsertReference);
      }
      if (current_class == &classe_exp_num_app && e->code == TYPE_NUMBER) {
        int numbers = 0;
        object* expression = nullptr;
        if (fig && fig->inputs && fig->inputs->items)
          for (int i = 0; fig->inputs->items[i]; ++i) {
            if (type_of(fig->inputs->items[i]) == TYPE_NUMBER) ++numbers;
            if (type_of(fig->inputs->items[i]) == TYPE_EXPRESSION) expression = fig->inputs->items[i];
          }
        // The numbers stand for the expression's own letters, taken in
        // alphabetical order: the next one names the next of them.
        if (expression) collect_expression_variables(expression);
        const char letter = nth_formula_variable(numbers + 1);
        std::string text = e->text ? e->text : type_name(obj);
        text += ' ';
        text += letter;
        if (letter && text.size() <= kDesignationTextMax) {
          designation_buffer = text;
          return designation_buffer.c_str();
        }
      }
      if (e->text) return e->text;
      continue;
    }
    const bool generic =
        (e->code == ARG_STRAIGHT_BOUNDED && t >= 2 && t <= 6) || (e->code == ARG_STRAIGHT && t >= 2 && t <= 9);
    if (generic && current_class != &classe_ptint) {
      if (const char* text = generic_text(e->text, obj)) return text;
    }
  }
  return nullptr;
}

const char* personalise_designation_text(const char* text, object* obj) {
  const char* name = given_name(obj);
  if (!text || !name || !*name) return text;
  const char* det = kernel_string(kRowDeterminer);
  if (!det[0]) return text;
  std::string pattern(" ");
  for (int i = 0, taken = 0; det[i] && taken < 2; ++taken) {
    const int len = mbcs_char_len(det + i);
    if (len == 1)
      pattern += static_cast<char>(single_byte_lower(static_cast<unsigned char>(det[i])));
    else
      pattern.append(det + i, static_cast<size_t>(len));
    i += len;
  }
  const std::string source(text);
  const size_t at = source.rfind(pattern);
  if (at == std::string::npos) return text;
  std::string result = source.substr(0, at + 1);
  std::string own(name);
  if (mbcs_char_len(own.c_str()) == 1)
    own[0] = static_cast<char>(single_byte_lower(static_cast<unsigned char>(own[0])));
  result += own;
  if (result.size() > kDesignationTextMax) return text;
  designation_buffer = result;
  return designation_buffer.c_str();
}

const char* point_on_object_text(object* obj, uint16_t code) {
  const uint16_t t = type_of(obj);
  if (t == TYPE_AXES && (code == 3 || code == 4)) return kernel_string(kRowGraduation);
  for (int m = 0; const construct_method* method = class_method(&classe_ptsur, m); ++m) {
    if (!method->args) continue;
    for (const TYPEOBJ* c = method->args; *c; ++c)
      if ((*c & 0x3FFF) == t) {
        const char* text = method_argument_text(method, static_cast<int>(c - method->args));
        if (!text) return kernel_string(kRowPointOn);
        return personalise_designation_text(text, obj);
      }
  }
  return kernel_string(kRowPointOn);
}

bool can_carry_point(object* obj) {
  if (!object_fits_designation_list(&designation_carriers, obj)) return false;
  if (type_of(obj) == TYPE_LOCUS) return g_services.locus_is_valid && g_services.locus_is_valid(obj);
  return true;
}

uint32_t designation_text_color(object* obj, uint16_t tag) {
  if (!obj) return default_color;
  if ((is_text_like_object(obj) || tag >= kWholeText) && obj->te) return obj->te->format.color;
  return effective_color(obj);
}

void set_reference_cursor(uint16_t tag) {
  switch (tag) {
    case 257:
    case 262:
      choose_cursor(CURSOR_ID_DIAGONAL);
      break;
    case 260:
    case 264:
      choose_cursor(2040);
      break;
    case 259:
      choose_cursor(2010);
      break;
    case 261:
      choose_cursor(2020);
      break;
    case 263:
      choose_cursor(2000);
      break;
    case 265:
      choose_cursor(2030);
      break;
    default:
      break;
  }
}

bool clamp_point_to_rect(tagPOINT* p, const tagRECT* rect) {
  if (!p || !rect) return false;
  const tagPOINT old = *p;
  if (p->x < rect->left) p->x = rect->left;
  if (p->x > rect->right) p->x = rect->right;
  if (p->y < rect->top) p->y = rect->top;
  if (p->y > rect->bottom) p->y = rect->bottom;
  return p->x != old.x || p->y != old.y;
}

uint8_t designation_hint_off = 0;

void draw_designation_text(const char* text, tagPOINT mouse, uint32_t color) {
  if (!text || !*text || designation_hint_off) {
    // The view still shows the text: the moving layer, clean again, goes
    // to the view at the next flush.
    if (g_text_shown) designation_text_dirty = figure_changed = 1;
    g_text_shown = false;
    g_shown_text.clear();
    return;
  }
  if (text[0] == 1) ++text;
  int dx = 10, dy = -5;
  if (designation_cursor_id == CURSOR_ID_PAINT) {
    dx = 18;
    dy = -10;
  } else if (designation_cursor_id == CURSOR_ID_TAKE || designation_cursor_id == CURSOR_ID_TAKE_PRESSED) {
    dy = 5;
  }
  DisplayDevice* dd = moving_display;
  tagPOINT at{mouse.x + dx, mouse.y + dy};
  if (dd) {
    const int32_t width = dd_text_width(dd, text);
    const int32_t height = dd->fi.ascent + dd->fi.descent;
    const tagRECT& port = dd->portRect;
    if (at.x + width + 25 > port.right) at.x -= at.x + width + 25 - port.right;
    if (at.y + height + 25 > port.bottom) at.y -= at.y + height + 25 - port.bottom;
    if (at.y < port.top) at.y = port.top;
  }
  if (g_text_shown && g_shown_text == text && g_shown_pos.x == at.x && g_shown_pos.y == at.y &&
      g_shown_color == color && !designation_text_dirty)
    return;
  g_text_shown = true;
  g_shown_text = text;
  g_shown_pos = at;
  g_shown_color = color;
  designation_text_dirty = 1;
  ++g_draw_count;
  if (!dd) return;
  kelvo_win_info* fig = figure();
  const uint32_t background = fig ? fig->bgcolor : back_color;
  if (colors_are_close(color, background)) {
    const uint32_t halo = background == back_color ? default_color : back_color;
    static constexpr int kHalo[8][2] = {{-1, 0}, {-1, -1}, {0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}};
    for (const auto& o : kHalo) dd_draw_text(dd, at.x + o[0], at.y + o[1], text, halo);
  }
  dd_draw_text(dd, at.x, at.y, text, color);
}

void clear_designation_text() {
  if (g_text_shown) {
    g_text_shown = false;
    g_shown_text.clear();
    designation_text_dirty = figure_changed = 1;
    refresh_moving();
  }
  kelvo_win_info* fig = figure();
  if (fig && objlist_count(fig->selection) == 0 && current_class && current_class->fil) {
    tagPOINT p = last_mouse;
    current_class->fil(&p);
    refresh_moving();
  }
}

const std::string& shown_designation_text() { return g_shown_text; }
tagPOINT shown_designation_position() { return g_shown_pos; }
uint32_t shown_designation_color() { return g_shown_color; }
uint32_t designation_text_draw_count() { return g_draw_count; }

// ------------------------------------------------------------ the pass

namespace {

struct pass_result {
  const char* text = nullptr;
  uint32_t color = 0;
};

void add_candidate(dyn_array_object* list, object* o, uint16_t tag) { objlist_add(list, o, tag); }

// Decision for exactly one candidate.
void decide_single(pass_result& r, const char* designation_text) {
  object* o = picked.items[0];
  const uint16_t tag = picked.tags ? picked.tags[0] : 0;
  kelvo_win_info* fig = figure();
  const uint16_t t = type_of(o);
  r.text = designation_text;
  if (!r.text) r.text = given_name(o);
  if (!r.text || !*r.text) r.text = type_name(o);
  if (t == TYPE_TEXT && tag > kWholeText) {
    object* ref = resolve_text_reference(o, tag);
    r.text = type_name(ref);
    if (ref != o && g_services.mouse_speed_below && g_services.mouse_speed_below(1.5)) {
      if (highlighted_object != ref) highlight_tick = KPTimer::getTickCount();
      highlighted_object = ref;
      objlist_clear(&highlight_list);
      const uint16_t rt = type_of(ref);
      if ((rt == TYPE_NUMBER || rt == TYPE_EQUATION) && ref->nbparents > 0)
        for (int i = 0; i < ref->nbparents; ++i) objlist_add(&highlight_list, ref->parents[i], 0);
      objlist_add(&highlight_list, ref, 0);
    }
  }
  r.color = designation_text_color(o, tag);
  const bool text_like = is_text_like_object(o);
  object* edited = fig ? fig->cur_text : nullptr;
  if (text_like && edited && o == edited && tag >= kLabelPart) {
    r.text = nullptr;
    if (tag == kWholeText && t == TYPE_TABLE) {
      uint16_t row = 0, column = 0;
      if (g_services.table_hit_cell) g_services.table_hit_cell(&last_mouse, o, &row, &column);
      if (row == 65535)
        choose_cursor(CURSOR_ID_TABLE_ROW);
      else if (row == 0 && column == 0)
        choose_cursor(CURSOR_ID_TABLE_CELL);
      else
        choose_cursor(CURSOR_ID_ARROW);
    } else if (tag == kWholeText) {
      choose_cursor(CURSOR_ID_TEXT);
    } else {
      set_reference_cursor(tag);
    }
    return;
  }
  if (text_like && !edited && tag == kLabelPart) {
    choose_cursor(CURSOR_ID_DIAGONAL);
    return;
  }
  const bool text_under_edit = edited && type_of(edited) == TYPE_TEXT;
  const bool insertable = (t != TYPE_TEXT && t != TYPE_PROPERTY) || (t == TYPE_TEXT && tag > kWholeText);
  if (current_class == &classe_text && text_under_edit && insertable) {
    choose_cursor(button_down() ? CURSOR_ID_TAKE_PRESSED : CURSOR_ID_TAKE);
  } else {
    choose_cursor(tool_cursor(button_down() ? 2 : 1));
  }
  if (!text_like && tag > 256 && (!current_class || current_class == &classe_label))
    r.text = kernel_string(kRowRegularPolygon);
}

void decide_ambiguous(pass_result& r) {
  ambiguous_designation = 1;
  r.text = kernel_string(kRowWhichObject);
  r.color = default_color;
  choose_cursor(CURSOR_ID_WHICH);
}

}  // namespace

void designate_under_cursor(int32_t x, int32_t y) {
  if (g_services.has_display_device ? !g_services.has_display_device() : !moving_display) return;
  kelvo_win_info* fig = figure();
  pass_result r;
  if (!fig) {
    draw_designation_text(nullptr, last_mouse, 0);
    return;
  }

  // 2. Blink, or nothing to do.
  bool blinked = g_services.blink_selection && g_services.blink_selection();
  if (highlighted_object && KPTimer::getTickCount() - highlight_tick >= kHighlightDelay &&
      objlist_count(&highlight_list) > 0)
    blinked = true;
  if (!blinked && !designation_force && x == last_mouse.x && y == last_mouse.y) return;
  if (!blinked) objlist_clear(&highlight_list);
  // The marks drawn again go to the view with the moving layer, which must
  // show the text too.
  if (blinked) designation_text_dirty = 1;

  // 3.
  if (!fig->first) {
    draw_designation_text(nullptr, last_mouse, 0);
    return;
  }
  last_mouse = tagPOINT{x, y};
  if (moving_display) clamp_point_to_rect(&last_mouse, &moving_display->portRect);

  // 4. The tool-help field is a widget of its own beside the view: the
  // view never takes a point inside it, and the field keeps its own arrow.

  // 5. The rubber band follows the mouse; the text goes in again when the
  // preview drew on the moving layer.
  if (current_class && current_class->fil) {
    const uint8_t changed_before = figure_changed;
    figure_changed = 0;
    current_class->fil(&last_mouse);
    if (figure_changed) designation_text_dirty = 1;
    figure_changed |= changed_before;
  }

  // 6. The grab key: no designation.
  objlist_clear(&picked);
  objlist_clear(&carrier_candidates);
  objlist_clear(&intersection_candidates);
  pending_point_kind = 0;
  ambiguous_designation = 0;
  pending_multi_point = 0;
  designation_force = 0;
  designated_crossing = 0;
  if (modifier_down(kCommandKey)) {
    choose_cursor(button_down() ? CURSOR_ID_AMBIGUOUS_PRESSED : CURSOR_ID_AMBIGUOUS);
    draw_designation_text(nullptr, last_mouse, 0);
    refresh_moving();
    designation_text_dirty = 0;
    return;
  }

  // 7, 8. The objects under the cursor.
  const bool accepts_points = current_class == &classe_point || list_has_code(&designation_args, TYPE_POINT);
  bool point_among_others = false;
  const char* text = nullptr;
  for (object* o = fig->first; o; o = o->next) {
    if (!(o->state & OBJ_CHOSEN) && object_fits_designation_list(&designation_args, o) && tool_hit(o, last_mouse)) {
      const uint16_t tag = hit_part;
      const bool generic = generic_match != 0;
      const bool by_reference = reference_match != 0;
      if (admit_candidate(o, tag, &picked)) {
        object* added = o;
        uint16_t added_tag = static_cast<uint16_t>(generic ? (tag | kGenericTag) : tag);
        if (by_reference) {
          object* ref = resolve_text_reference(o, tag);
          if (ref && ref != o && object_fits_designation_list(&designation_args, ref)) {
            added = ref;
            added_tag = 0;
          }
        }
        add_candidate(&picked, added, added_tag);
        if (type_of(o) == TYPE_POINT && objlist_count(&picked) >= 2) point_among_others = true;
        text = personalise_designation_text(designation_text_for_object(&designation_args, added), added);
      }
    }
    if (accepts_points) {
      if (can_carry_point(o) && tool_hit(o, last_mouse)) {
        const uint16_t tag = hit_part;
        if (admit_candidate(o, tag, &carrier_candidates)) add_candidate(&carrier_candidates, o, tag);
      }
      if (object_fits_designation_list(&designation_intersectables, o) && tool_hit(o, last_mouse))
        add_candidate(&intersection_candidates, o, hit_part);
    }
  }
  // With the pointer, a text over other objects is what a click inside its
  // frame takes, as it lies over them there: a measure shown over its
  // segment is selected, and edited on a second click, without a list of
  // candidates in the way.
  if (!current_class && interaction_state == STATE_POINTER && !point_among_others && objlist_count(&picked) >= 2) {
    int text_entry = -1, texts = 0;
    for (int i = 0; picked.items[i]; ++i)
      if (is_text_like_object(picked.items[i]) && picked.items[i]->te) {
        text_entry = i;
        ++texts;
      }
    if (texts == 1) {
      object* kept = picked.items[text_entry];
      const uint16_t kept_tag = picked.tags[text_entry];
      objlist_clear(&picked);
      add_candidate(&picked, kept, kept_tag);
      text = personalise_designation_text(designation_text_for_object(&designation_args, kept), kept);
    }
  }
  const int n_candidates = objlist_count(&picked);
  const int n_carriers = objlist_count(&carrier_candidates);
  const int n_crossing = objlist_count(&intersection_candidates);
  // 9. A crossing counts only when an intersection lies near the mouse.
  const uint8_t loci = current_class == &classe_interset ? 1 : 0;
  const bool intersection = n_crossing >= 2 && intersect_near_mouse(&intersection_candidates, loci);
  const bool multiple_intersection = intersection && n_crossing >= 3;

  // 10. Decision.
  bool to_d = false;
  if (point_among_others) {
    decide_ambiguous(r);
  } else if (n_candidates >= 2 && !(n_carriers >= 2 && multiple_intersection) && (n_carriers > 0 || intersection)) {
    to_d = true;
  } else if (n_candidates >= 2) {
    const bool no_argument = objlist_count(fig->inputs) == 0;
    if (current_class == &classe_interset && n_candidates == 2 && no_argument &&
        intersect_near_mouse(&picked, loci)) {
      pending_point_kind = 1;
      // The crossing is that of the two objects under the cursor: the tool
      // takes its objects from the crossing's list (filled above only for
      // tools that take points).
      objlist_clear(&intersection_candidates);
      for (int i = 0; i < 2; ++i) add_candidate(&intersection_candidates, picked.items[i], picked.tags[i]);
      r.text = kernel_string(kRowIntersection);
      r.color = points_color();
      choose_cursor(CURSOR_ID_POINT_ON);
    } else {
      decide_ambiguous(r);
    }
  } else if (n_candidates == 1) {
    decide_single(r, text);
  } else {
    to_d = true;
  }
  if (to_d) {
    if (intersection) {
      r.color = points_color();
      if (n_crossing >= 3) {
        pending_multi_point = 1;
        pending_multi_point_kind = 1;
        r.text = kernel_string(kRowMultiIntersection);
      } else {
        pending_point_kind = 1;
        r.text = kernel_string(kRowIntersection);
      }
      choose_cursor(CURSOR_ID_POINT_ON);
    } else if (n_carriers >= 2 && n_candidates >= 2) {
      decide_ambiguous(r);
    } else if (n_carriers >= 2) {
      pending_multi_point = 1;
      pending_multi_point_kind = 2;
      r.text = kernel_string(kRowPointOnSeveral);
      r.color = points_color();
      choose_cursor(CURSOR_ID_POINT_ON);
    } else if (n_carriers == 1) {
      r.text = point_on_object_text(carrier_candidates.items[0], carrier_candidates.tags[0]);
      pending_point_kind = 2;
      r.color = points_color();
      choose_cursor(CURSOR_ID_POINT_ON);
    } else {
      choose_cursor(tool_cursor(0));
    }
  }
  if (pending_point_kind == 1) {
    designated_crossing = 1;
    designated_crossing_pos = last_mouse;
  }

  // 11. An ambiguity resolved by the selection.
  if (ambiguous_designation && !modifier_down(kShiftKey)) {
    const bool has_selection = objlist_count(fig->selection) > 0;
    for (int i = 0; has_selection && picked.items && picked.items[i]; ++i) {
      uint16_t selection_tag = 0;
      if (is_selected(picked.items[i], picked.tags[i], &selection_tag)) {
        object* chosen = picked.items[i];
        objlist_clear(&picked);
        objlist_add(&picked, chosen, selection_tag);
        ambiguous_designation = 0;
        r.text = name_or_type(chosen);
        r.color = designation_text_color(chosen, selection_tag);
        choose_cursor(tool_cursor(1));
        break;
      }
    }
    if (ambiguous_designation && has_selection)
      choose_cursor(button_down() ? CURSOR_ID_AMBIGUOUS_PRESSED : CURSOR_ID_AMBIGUOUS);
  }

  // 12. The candidate could be dragged.
  const bool dragging = g_services.drag_in_progress && g_services.drag_in_progress();
  if (!dragging && r.text && designation_cursor_id == CURSOR_ID_TAKE && objlist_count(&picked) > 0) {
    object* first = picked.items[0];
    bool can_move = !first->settings.sticky;
    if (can_move && first->nbparents > 0)
      can_move = g_services.object_would_move && g_services.object_would_move(first, &last_mouse);
    if (can_move) choose_cursor(CURSOR_ID_MOVABLE);
  }

  // 13.
  draw_designation_text(r.text, last_mouse, r.color);

  // 14. The highlighted object changes.
  static object* previous_highlight = nullptr;
  if (highlighted_object != previous_highlight) {
    if (!highlighted_object && previous_highlight && moving_display) {
      const uint16_t pt = type_of(previous_highlight);
      if ((pt == TYPE_NUMBER || pt == TYPE_EQUATION) && previous_highlight->nbparents > 0) {
        for (int i = 0; i < previous_highlight->nbparents; ++i)
          draw_object(moving_display, previous_highlight->parents[i]);
      } else {
        draw_object(moving_display, previous_highlight);
      }
    }
    previous_highlight = highlighted_object;
  }

  // 15, 16.
  const bool marks_shown = g_services.selection_marks_shown && g_services.selection_marks_shown();
  if (!marks_shown && designation_text_dirty && g_services.draw_selection_marks) g_services.draw_selection_marks();
  refresh_moving();
  designation_text_dirty = 0;
}
