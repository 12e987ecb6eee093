#include "kernel/prefs/prefs_dialog.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/measure/unit_factor.h"
#include "kernel/model/classes.h"
#include "kernel/model/recompute.h"
#include "kernel/model/undo.h"
#include "kernel/objects/locus_type.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/prefs/dialog_controls.h"
#include "kernel/prefs/hit_distance.h"
#include "kernel/prefs/style_controls.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/files/text_convert.h"
#include "kernel/render/fonts.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/text_editing.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/toolbox.h"
#include "kernel/window/main_commands.h"

const uint8_t kPrefsPageGroups[kPrefsPages] = {PREFS_PRECISION, PREFS_LOCUS,    PREFS_EQUATIONS,
                                               PREFS_SYSTEM,    PREFS_GEOMETRY, PREFS_STYLES};
prefs_dialog_state prefs_dialog;
HWND prefs_pages[kPrefsPages] = {};

namespace {

int LOWORD(WPARAM w) { return static_cast<int>(w & 0xFFFF); }

constexpr int16_t kUnsetDecimals = -30000;
constexpr int kMaxLocusCount = 5000;
constexpr int kMinAppliedLocusCount = 5;
constexpr uint16_t kTolerances[4] = {1, 2, 4, 8};

// The equation choice bit of an equation's kind: conics 4, circles 2,
// lines 1, else 0.
uint8_t equation_kind_bit(const object* eq) {
  const object* of = eq->nbparents > 0 && eq->parents ? eq->parents[0] : nullptr;
  const uint16_t t = of && of->otype ? of->otype->id : 0;
  return t == TYPE_CONIC ? 4 : t == TYPE_CIRCLE ? 2 : t == TYPE_LINE ? 1 : 0;
}

uint16_t type_id(const object* o) { return o && o->otype ? o->otype->id : 0; }

// The graphic kind of an object, -1 for the others.
int graphic_kind_of(const object* o) {
  switch (type_id(o)) {
    case TYPE_POINT: return 0;
    case TYPE_SEGMENT: case TYPE_LINE: case TYPE_RAY: return 1;
    case TYPE_TRIANGLE: case TYPE_POLYGON: return 2;
    case TYPE_VECTOR: return 3;
    case TYPE_CIRCLE: case TYPE_CONIC: return 4;
    case TYPE_ARC: return 5;
    case TYPE_AXES: return 6;
    case TYPE_GRID: return 7;
    case TYPE_LOCUS: return 8;
    case TYPE_ANGLE: return 9;
    default: return -1;
  }
}

kelvo_win_info* figure_with_selection() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  return fig && fig->selection && fig->selection->items && fig->selection->items[0] ? fig : nullptr;
}

template <typename F>
void for_each_selected(F f) {
  if (kelvo_win_info* fig = figure_with_selection())
    for (object** p = fig->selection->items; *p; ++p) f(*p);
}

int decimals_of_index(int index) { return index > 4 ? 10 : std::max(index, 0); }
int index_of_decimals(int decimals) { return std::min(decimals & 127, 5); }

int popup_index(HWND page, int id) {
  return static_cast<int>(NSKelvoWrapMachine::sendDlgItemMessage(page, id, CB_GETCURSEL, 0, 0));
}
void set_popup_index(HWND page, int id, int index) {
  NSKelvoWrapMachine::sendDlgItemMessage(page, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

// The attribute menu whose items are a graphic kind's shapes: the point
// shapes for the kinds from points to arcs (their graph type is the first
// menu value, which for points is the point shape), the coordinate forms
// for the axes, the mark styles for angle marks; grids and loci have none.
const menu* shape_menu_of_kind(int kind) {
  int index = -1;
  if (kind >= ATTRS_POINT && kind <= ATTRS_ARC) index = 6;
  else if (kind == ATTRS_AXES) index = 10;
  else if (kind == ATTRS_ANGLE) index = 7;
  return index >= 0 ? attrib_menus[index] : nullptr;
}

// The shape pop-up takes the items of the kind's attribute menu, each with
// its icon (the item data), and is enabled only when it has some.
void fill_shape_popup(HWND page, int kind) {
  HWND popup = NSKelvoWrapMachine::getDlgItem(page, kPrefShape);
  if (!popup) return;
  NSKelvoWrapMachine::sendMessage(popup, CB_RESETCONTENT, 0, 0);
  const menu* m = shape_menu_of_kind(kind);
  const int count = menu_entry_count(m);
  const bool icons = m && m->icons && m->icons != kColorPopupIcons;
  for (int j = 1; j <= count; ++j) {
    NSKelvoWrapMachine::sendMessage(popup, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(m->names[j]));
    NSKelvoWrapMachine::sendMessage(popup, CB_SETITEMDATA, static_cast<WPARAM>(j - 1),
                                    reinterpret_cast<LPARAM>(icons ? m->icons[j] : nullptr));
  }
  NSKelvoWrapMachine::enableWindow(popup, count > 0);
}

// Whether a page holds a change not applied yet: its Apply button is on.
bool g_pending[kPrefsPages] = {};

bool* pending_of(HWND page) {
  for (int i = 0; i < kPrefsPages; ++i)
    if (prefs_pages[i] == page) return &g_pending[i];
  return nullptr;
}

void enable_apply(HWND page, bool on) {
  NSKelvoWrapMachine::enableWindow(NSKelvoWrapMachine::getDlgItem(page, kPrefApplyButton), on);
  if (bool* pending = pending_of(page)) *pending = on;
}

// Selected objects change only with a change to apply: OK sends Apply to
// every page, and a page the user left alone must not give the selection
// the values it merely shows (the record's, where the objects disagree).
bool to_selection(HWND page) {
  const bool* pending = pending_of(page);
  return get_dlg_check(page, kPrefSelectionChoice) && (!pending || *pending);
}
bool to_new_objects(HWND page) { return get_dlg_check(page, kPrefNewObjectsChoice); }

// One undo snapshot per opening, before the first change of selected
// objects; Undo then brings back the objects as they were.
void take_undo_once() {
  if (prefs_dialog.undo_taken) return;
  save_undo_state_before_change();
  prefs_dialog.undo_taken = true;
}

// A font button's title: the face and its size in points.
std::string font_title(const text_style_pref& style) {
  const char* name = font_name_by_id(style.font);
  return std::string(name ? name : kDefaultFaceName) + " " + std::to_string(style.size);
}

// A style takes the face and size of the font chosen for it and, with a
// well, the well's colour.
bool take_font(text_style_pref* style, LPARAM font, HWND well = nullptr) {
  const auto* chosen = reinterpret_cast<const KPFont*>(font);
  const uint32_t color = style->color;
  if (!style_from_font_and_well(style, chosen, well)) return false;
  if (!well) style->color = color;
  style->size = static_cast<uint32_t>(std::clamp(std::lround(chosen->pointSize()), 1L, 0x7FFFL));
  return true;
}

// A length with two decimals at most, trailing zeros dropped, in the
// user's decimal separator; "-1" when lines are not cut.
std::string length_text(double length) {
  if (!(length >= 0)) return "-1";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", std::min(length, 1.0e6));
  std::string text = buffer;
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  for (char& c : text)
    if (c == '.') c = decimal_separator;
  return text;
}

// The length typed in the field, in the user's separator or the C one; a
// negative length turns the cut off (-1). False when the text is no number.
bool read_length(HWND page, double* out) {
  char buffer[64] = {};
  NSKelvoWrapMachine::getDlgItemText(page, kPrefSmartLineLength, buffer, sizeof buffer);
  std::string text = buffer;
  for (char& c : text)
    if (c == decimal_separator) c = '.';
  const char* first = text.c_str();
  while (*first == ' ') ++first;
  double value = 0;
  const auto result = std::from_chars(first, text.c_str() + text.size(), value);
  if (result.ec != std::errc() || first == result.ptr || !std::isfinite(value)) return false;
  const char* rest = result.ptr;
  while (*rest == ' ') ++rest;
  if (*rest != '\0') return false;
  *out = value < 0 ? -1.0 : std::min(value, 1.0e6);
  return true;
}

// The text kind of a text-like object: texts, numbers by their class,
// equations; -1 for the others.
int text_kind_of(const object* o) {
  switch (type_id(o)) {
    case TYPE_TEXT: return 0;
    case TYPE_EQUATION: return 6;
    case TYPE_NUMBER:
      if (o->classe == &classe_length) return 3;
      if (o->classe == &classe_aire) return 4;
      if (o->classe == &classe_angleMes) return 5;
      return 2;
    default: return -1;
  }
}

void regenerate_text(object* o) {
  if (main_command_services().regenerate_rtf_if_needed) main_command_services().regenerate_rtf_if_needed(o);
}

void mark_changed(object* o) {
  KPGeoDocument::_do_dirty(KPGeoDocument::currentInfo());
  recompute_object(o);
}

// Messages every page answers alike; true when handled.
bool common_message(HWND page, int group, UINT message, WPARAM wparam, int added_buttons, bool has_concern) {
  switch (message) {
    case WM_INITDIALOG:
      show_prefs_on_page(page, static_cast<uint8_t>(group), &prefs);
      return false;  // the page goes on with its own initialisation
    case WM_PAINT:
      show_added_buttons(page, added_buttons);
      if (added_buttons & kShowApplyChoices) {
        NSKelvoWrapMachine::enableWindow(NSKelvoWrapMachine::getDlgItem(page, kPrefSelectionChoice), has_concern);
        if (has_concern && group != PREFS_PRECISION) {
          set_dlg_check(page, kPrefNewObjectsChoice, false);
          set_dlg_check(page, kPrefSelectionChoice, true);
        }
      }
      enable_apply(page, false);
      return true;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case kPrefFactoryButton:
          set_factory_prefs(static_cast<uint8_t>(group), &prefs);
          show_prefs_on_page(page, static_cast<uint8_t>(group), &prefs);
          enable_apply(page, true);
          return true;
        case kPrefExportButton:
          export_preferences(nullptr);
          return true;
        case kPrefNewObjectsChoice:
        case kPrefSelectionChoice:
          enable_apply(page, true);
          return true;
        default:
          return false;
      }
    default:
      return false;
  }
}

void apply_precision_to_new_objects() {
  const auto other = static_cast<uint8_t>(prefs.other_decimals > 4 ? 10 : prefs.other_decimals);
  default_attrs[ATTRS_LENGTH].settings.nbre_decimales = static_cast<uint8_t>(prefs.length_decimals);
  default_attrs[ATTRS_AREA].settings.nbre_decimales = static_cast<uint8_t>(prefs.length_decimals | 128);
  default_attrs[ATTRS_ANGLE_MEASURE].settings.nbre_decimales = static_cast<uint8_t>(prefs.angle_decimals | 128);
  default_attrs[ATTRS_EQUATION].settings.nbre_decimales = other;
  default_attrs[ATTRS_NUMBER].settings.nbre_decimales = other;
  default_attrs[ATTRS_LENGTH].settings.unite = static_cast<uint8_t>(prefs.length_unit + 32);
  default_attrs[ATTRS_AREA].settings.unite = static_cast<uint8_t>(prefs.length_unit + 64);
  default_attrs[ATTRS_ANGLE_MEASURE].settings.unite = static_cast<uint8_t>(prefs.angle_unit + 128);
  angle_unit_pref = prefs.angle_unit;
}

void apply_styles_to_new_objects() {
  for (int k = 0; k < kGraphicKinds; ++k) {
    object_settings& s = default_attrs[k].settings;
    const kind_pref& kind = prefs.kinds[k];
    s.Color = kind.color;
    s.thickness = kind.thickness;
    s.dot_style = dash_table[std::min<int>(kind.dotted, kDashCount - 1)];
  }
  const kind_pref& lines = prefs.kinds[ATTRS_LINE];
  default_attrs[ATTRS_LINE].second_line_style = lines.smartline_type;
  default_attrs[ATTRS_LINE].settings.smartline_type = lines.smartline_type;
  if (lines.smartline_length >= 0)
    default_attrs[ATTRS_LINE].settings.smartline_length[0] = default_attrs[ATTRS_LINE].settings.smartline_length[1] =
        lines.smartline_length;
  default_attrs[ATTRS_POINT].point_style = prefs.kinds[ATTRS_POINT].graph_type;
  default_attrs[ATTRS_POINT].settings.graph_type = prefs.kinds[ATTRS_POINT].graph_type;
  default_attr& marks = default_attrs[ATTRS_ANGLE];
  marks.angle_mark_style =
      static_cast<uint8_t>((marks.angle_mark_style & 0xF0) | (prefs.kinds[ATTRS_ANGLE].graph_type & 0x0F));
  for (int k = 0; k < kTextKinds; ++k) {
    default_attr& a = default_attrs[ATTRS_TEXT + k];
    const text_style_pref& s = prefs.texts[k];
    a.text_reserved = s.reserved;
    a.text_font = s.font;
    a.text_size = static_cast<int32_t>(s.size);
    a.text_face = s.face;
    a.text_color = s.color;
    a.text_char_set = s.char_set;
  }
}

}  // namespace

// ---- Loading ----

void prefs_from_current_state() {
  prefs_dialog.has_numbers = prefs_dialog.has_axes = prefs_dialog.has_loci = prefs_dialog.has_graphics = false;
  prefs_dialog.no_selection = true;
  prefs.manage_infinity = manage_infinity;
  prefs.manage_point_on_object = manage_point_on_object;
  const default_attr& locus = default_attrs[ATTRS_LOCUS];
  prefs.link_points = static_cast<uint8_t>(locus.math.locus.lkpt);
  prefs.envelope = static_cast<uint8_t>(locus.math.locus.envelop);
  prefs.locus_points = static_cast<uint16_t>(std::max<int16_t>(locus.math.locus.nb_pts, 1));
  prefs.length_decimals = prefs.angle_decimals = prefs.other_decimals = kUnsetDecimals;
  int length_unit = -1, angle_unit = -1;
  int forms[3] = {-1, -1, -1};  // lines, circles, conics

  for (int k = 0; k < kGraphicKinds; ++k) {
    const object_settings& s = default_attrs[k].settings;
    kind_pref& kind = prefs.kinds[k];
    kind.color = s.Color;
    kind.thickness = s.thickness;
    kind.dotted = static_cast<uint8_t>(dash_index_of_pair(s.dot_style));
  }
  prefs.kinds[ATTRS_LINE].smartline_type = default_attrs[ATTRS_LINE].second_line_style;
  prefs.kinds[ATTRS_LINE].smartline_length = default_attrs[ATTRS_LINE].settings.smartline_length[0];
  prefs.kinds[ATTRS_POINT].graph_type = default_attrs[ATTRS_POINT].point_style;
  prefs.kinds[ATTRS_ANGLE].graph_type = default_attrs[ATTRS_ANGLE].angle_mark_style & 0x0F;
  prefs.kinds[ATTRS_AXES].graph_type = default_attrs[ATTRS_AXES].axes_style;
  for (int k = 0; k < kTextKinds; ++k) {
    const default_attr& a = default_attrs[ATTRS_TEXT + k];
    text_style_pref& s = prefs.texts[k];
    s.reserved = a.text_reserved;
    s.font = a.text_font;
    s.size = static_cast<uint32_t>(a.text_size);
    s.face = a.text_face;
    s.color = a.text_color;
    s.char_set = a.text_char_set;
  }

  // The selection: a value its objects disagree on shows the record's.
  bool kind_seen[kGraphicKinds] = {};
  bool text_seen[kTextKinds] = {};
  int loci = 0;
  bool locus_differs = false;
  auto merge_decimals = [](int16_t* field, int value, int record) {
    if (*field == kUnsetDecimals) *field = static_cast<int16_t>(value);
    else if (*field != value) *field = static_cast<int16_t>(record);
  };
  auto merge_unit = [](int* field, int value, int record) {
    if (*field < 0) *field = value;
    else if (*field != value) *field = record;
  };
  auto merge_number = [&](const object* o) {
    if (type_id(o) != TYPE_NUMBER || o->classe == &classe_nombre) return;
    prefs_dialog.has_numbers = true;
    const int dec = o->settings.nbre_decimales & 127;
    if (o->classe == &classe_length || o->classe == &classe_aire) {
      merge_decimals(&prefs.length_decimals, dec, default_attrs[ATTRS_LENGTH].settings.nbre_decimales & 127);
      merge_unit(&length_unit, o->settings.unite & 31, default_attrs[ATTRS_LENGTH].settings.unite & 31);
    } else if (o->classe == &classe_angleMes) {
      merge_decimals(&prefs.angle_decimals, dec, default_attrs[ATTRS_ANGLE_MEASURE].settings.nbre_decimales & 127);
      merge_unit(&angle_unit, o->settings.unite & 127, default_attrs[ATTRS_ANGLE_MEASURE].settings.unite & 127);
    } else {
      merge_decimals(&prefs.other_decimals, dec, default_attrs[ATTRS_NUMBER].settings.nbre_decimales & 127);
    }
  };
  for_each_selected([&](object* o) {
    prefs_dialog.no_selection = false;
    const int kind = graphic_kind_of(o);
    if (kind >= 0) {
      prefs_dialog.has_graphics = true;
      kind_pref& k = prefs.kinds[kind];
      const object_settings& rec = default_attrs[kind].settings;
      const auto dash = static_cast<uint8_t>(dash_index_of_pair(o->settings.dot_style));
      // A line that is not cut counts as length -1.
      const double smart = o->settings.smartline_type ? o->settings.smartline_length[0] : -1.0;
      if (!kind_seen[kind]) {
        kind_seen[kind] = true;
        k.color = o->settings.Color;
        k.thickness = o->settings.thickness;
        k.dotted = dash;
        if (kind == ATTRS_LINE) {
          k.smartline_type = o->settings.smartline_type;
          k.smartline_length = smart;
        }
      } else {
        if (k.color != o->settings.Color) k.color = rec.Color;
        if (k.thickness != o->settings.thickness) k.thickness = rec.thickness;
        if (k.dotted != dash) k.dotted = static_cast<uint8_t>(dash_index_of_pair(rec.dot_style));
        if (kind == ATTRS_LINE && k.smartline_type != o->settings.smartline_type)
          k.smartline_type = default_attrs[ATTRS_LINE].second_line_style;
        if (kind == ATTRS_LINE && std::fabs(k.smartline_length - smart) > 0.05) k.smartline_length = rec.smartline_length[0];
      }
    }
    // Texts show the style of the first of their kind; a later one with
    // another style puts back the record's.
    if (const int text = text_kind_of(o); text >= 0 && o->te) {
      const car_info& f = o->te->format;
      const text_style_pref own{f.reserved, f.font_id, static_cast<uint32_t>(f.size), f.style, f.color, f.charset};
      text_style_pref& shown = prefs.texts[text];
      if (!text_seen[text]) {
        text_seen[text] = true;
        shown = own;
      } else if (shown.font != own.font || shown.size != own.size || shown.face != own.face ||
                 shown.color != own.color) {
        const default_attr& a = default_attrs[ATTRS_TEXT + text];
        shown = {a.text_reserved, a.text_font, static_cast<uint32_t>(a.text_size), a.text_face, a.text_color,
                 a.text_char_set};
      }
    }
    const uint16_t t = type_id(o);
    if (t == TYPE_AXES || t == TYPE_GRID) prefs_dialog.has_axes = true;
    if (t == TYPE_LOCUS) {
      prefs_dialog.has_loci = true;
      const auto& m = o->math.locus;
      if (loci++ == 0) {
        prefs.link_points = static_cast<uint8_t>(m.lkpt);
        prefs.envelope = static_cast<uint8_t>(m.envelop);
        prefs.locus_points = static_cast<uint16_t>(std::max<int16_t>(m.nb_pts, 1));
      } else if (prefs.link_points != m.lkpt || prefs.envelope != m.envelop || prefs.locus_points != m.nb_pts) {
        locus_differs = true;
      }
    }
    merge_number(o);
    // The measures a selected text shows are its numbers too: Apply
    // reaches them through it.
    if (t == TYPE_TEXT)
      for (insert_object* r = o->inserted; r; r = r->next) merge_number(r->obj);
    if (t == TYPE_EQUATION) {
      prefs_dialog.has_axes = true;
      merge_decimals(&prefs.other_decimals, o->settings.nbre_decimales & 127,
                     default_attrs[ATTRS_NUMBER].settings.nbre_decimales & 127);
      const uint8_t bit = equation_kind_bit(o);
      const int slot = bit == 1 ? 0 : bit == 2 ? 1 : bit == 4 ? 2 : -1;
      if (slot >= 0) {
        const int record = default_attrs[ATTRS_EQUATION].math.equa.format & bit ? 1 : 0;
        merge_unit(&forms[slot], o->math.equa.format & bit ? 1 : 0, record);
      }
    }
  });
  if (locus_differs) {
    prefs.link_points = static_cast<uint8_t>(locus.math.locus.lkpt);
    prefs.envelope = static_cast<uint8_t>(locus.math.locus.envelop);
    prefs.locus_points = static_cast<uint16_t>(std::max<int16_t>(locus.math.locus.nb_pts, 1));
  }

  // What the selection did not give comes from the records.
  if (prefs.length_decimals == kUnsetDecimals)
    prefs.length_decimals = static_cast<int16_t>(default_attrs[ATTRS_LENGTH].settings.nbre_decimales & 127);
  if (prefs.angle_decimals == kUnsetDecimals)
    prefs.angle_decimals = static_cast<int16_t>(default_attrs[ATTRS_ANGLE_MEASURE].settings.nbre_decimales & 127);
  if (prefs.other_decimals == kUnsetDecimals)
    prefs.other_decimals = static_cast<int16_t>(default_attrs[ATTRS_NUMBER].settings.nbre_decimales & 127);
  if (length_unit < 0) length_unit = default_attrs[ATTRS_LENGTH].settings.unite & 31;
  if (angle_unit < 0) angle_unit = default_attrs[ATTRS_ANGLE_MEASURE].settings.unite & 127;
  prefs.length_unit = static_cast<int16_t>(length_unit);
  prefs.angle_unit = static_cast<uint16_t>(angle_unit);
  const uint8_t format = default_attrs[ATTRS_EQUATION].math.equa.format;
  for (int i = 0; i < 3; ++i)
    if (forms[i] < 0) forms[i] = format & (1 << i) ? 1 : 0;
  prefs.equation_type = static_cast<int16_t>(forms[0] + 2 * forms[1] + 4 * forms[2]);

  prefs.cursor_text = cursor_text_font;
  prefs.menu_text = tools_menu_font;
  prefs.bitmap_copy = bitmap_copy;
  const int k = static_cast<int>(std::floor(pick_tolerance * 10.0 / screen_pixels_per_cm + 0.5));
  prefs.tolerance = k < 2 ? 1 : k < 4 ? 2 : k < 7 ? 4 : 8;
}

// ---- Showing ----

void show_prefs_on_page(HWND page, uint8_t groups, const prefs_rec* rec) {
  if (groups & PREFS_PRECISION) {
    set_popup_index(page, kPrefLengthDecimals, index_of_decimals(rec->length_decimals));
    set_popup_index(page, kPrefAngleDecimals, index_of_decimals(rec->angle_decimals));
    set_popup_index(page, kPrefOtherDecimals, index_of_decimals(rec->other_decimals));
    set_popup_index(page, kPrefLengthUnit, rec->length_unit >= 0 && rec->length_unit <= 3 ? rec->length_unit : 0);
    set_popup_index(page, kPrefAngleUnit, rec->angle_unit == 1 ? 0 : rec->angle_unit == 2 ? 1 : 2);
  }
  if (groups & PREFS_EQUATIONS) {
    set_popup_index(page, kPrefCoordinates,
                    rec->coordinate_system >= 1 && rec->coordinate_system <= 3 ? rec->coordinate_system : 0);
    set_dlg_check(page, kPrefLineForm, rec->equation_type & 1);
    set_dlg_check(page, kPrefCircleForm, rec->equation_type & 2);
    set_dlg_check(page, kPrefConicForm, rec->equation_type & 4);
  }
  if (groups & PREFS_LOCUS) {
    set_dlg_check(page, kPrefLinkPoints, rec->link_points);
    set_dlg_check(page, kPrefEnvelope, rec->envelope);
    NSKelvoWrapMachine::setDlgItemInt(page, kPrefLocusCount, rec->locus_points, 0);
  }
  if (groups & PREFS_GEOMETRY) {
    set_dlg_check(page, kPrefPointOnObject, rec->manage_point_on_object);
    set_dlg_check(page, kPrefInfinity, rec->manage_infinity);
  }
  if (groups & PREFS_SYSTEM) {
    const int t = rec->tolerance;
    set_popup_index(page, kPrefTolerance, t <= 1 ? 0 : t <= 2 ? 1 : t <= 4 ? 2 : 3);
    set_dlg_check(page, kPrefBitmapCopy, rec->bitmap_copy);
  }
  if (groups & PREFS_STYLES) {
    const kind_pref& kind = rec->kinds[std::clamp(prefs_dialog.graphic_kind, 0, kGraphicKinds - 1)];
    const int graphic = std::clamp(prefs_dialog.graphic_kind, 0, kGraphicKinds - 1);
    set_color_well(NSKelvoWrapMachine::getDlgItem(page, kPrefGraphicColor), kind.color);
    set_popup_index(page, kPrefThickness, kind.thickness);
    set_popup_index(page, kPrefDash, kind.dotted);
    fill_shape_popup(page, graphic);
    set_popup_index(page, kPrefShape, kind.graph_type);
    // Points have no dash, grids neither dash nor thickness.
    NSKelvoWrapMachine::enableWindow(NSKelvoWrapMachine::getDlgItem(page, kPrefThickness), graphic != ATTRS_GRID);
    NSKelvoWrapMachine::enableWindow(NSKelvoWrapMachine::getDlgItem(page, kPrefDash),
                                     graphic != ATTRS_POINT && graphic != ATTRS_GRID);
    const text_style_pref& text = rec->texts[std::clamp(prefs_dialog.text_kind, 0, kTextKinds - 1)];
    set_color_well(NSKelvoWrapMachine::getDlgItem(page, kPrefTextColor), text.color);
    NSKelvoWrapMachine::setDlgItemText(page, kPrefTextFont, font_title(text).c_str());
    // Only lines are cut to lengths.
    const bool lines = prefs_dialog.graphic_kind == ATTRS_LINE;
    set_popup_index(page, kPrefSmartLineType, lines ? kind.smartline_type : 0);
    NSKelvoWrapMachine::setDlgItemText(page, kPrefSmartLineLength, lines ? length_text(kind.smartline_length).c_str() : "");
    NSKelvoWrapMachine::enableWindow(NSKelvoWrapMachine::getDlgItem(page, kPrefSmartLineType), lines);
    NSKelvoWrapMachine::enableWindow(NSKelvoWrapMachine::getDlgItem(page, kPrefSmartLineLength), lines);
  }
  if (groups & PREFS_SYSTEM) {
    NSKelvoWrapMachine::setDlgItemText(page, kPrefCursorFont, font_title(rec->cursor_text).c_str());
    NSKelvoWrapMachine::setDlgItemText(page, kPrefMenuFont, font_title(rec->menu_text).c_str());
  }
}

// ---- Applying to objects ----

bool apply_precision_to_object(object* obj) {
  if (!obj || type_id(obj) != TYPE_NUMBER) return false;
  object_settings& s = obj->settings;
  const uint8_t before_dec = s.nbre_decimales, before_unit = s.unite;
  auto set_decimals = [&s](int d) { s.nbre_decimales = static_cast<uint8_t>((s.nbre_decimales & 128) | (d & 127)); };
  auto set_low_unit = [&s](int u) { s.unite = static_cast<uint8_t>((s.unite & ~31) | (u & 31)); };
  if (obj->classe == &classe_length) {
    set_decimals(prefs.length_decimals);
    set_low_unit(prefs.length_unit);
  } else if (obj->classe == &classe_aire) {
    set_decimals(prefs.other_decimals);
    set_low_unit(prefs.length_unit);
  } else if (obj->classe == &classe_calculate) {
    const int kind = s.unite >> 5;
    if (kind == 1 || kind == 2) {
      set_decimals(prefs.length_decimals);
      set_low_unit(prefs.length_unit);
    } else if (kind == 4) {
      // A calculation giving an angle takes the angle settings as a measured
      // angle does: decimals and unit.
      set_decimals(prefs.angle_decimals);
      s.unite = static_cast<uint8_t>(prefs.angle_unit + 128);
    } else {
      set_decimals(prefs.other_decimals);
    }
  } else if (obj->classe == &classe_angleMes) {
    set_decimals(prefs.angle_decimals);
    s.unite = static_cast<uint8_t>(prefs.angle_unit + 128);
  } else {
    set_decimals(prefs.other_decimals);
  }
  const bool changed = s.nbre_decimales != before_dec || s.unite != before_unit;
  if (changed) mark_changed(obj);
  return changed;
}

bool apply_styles_to_object(object* obj) {
  if (!obj) return false;
  const int kind = graphic_kind_of(obj);
  if (kind >= 0) {
    const kind_pref& k = prefs.kinds[kind];
    object_settings& s = obj->settings;
    const object_settings before = s;
    const bool driven = obj->pcolor != nullptr;
    set_object_color(obj, k.color);
    if (kind != ATTRS_GRID) s.thickness = k.thickness;
    if (kind != ATTRS_POINT && kind != ATTRS_GRID) s.dot_style = dash_table[std::min<int>(k.dotted, kDashCount - 1)];
    if (kind == ATTRS_POINT) s.graph_type = k.graph_type;
    if (kind == ATTRS_ANGLE) s.graph_type = static_cast<uint8_t>((s.graph_type & 0xF0) | (k.graph_type & 0x0F));
    const uint16_t t = type_id(obj);
    if (t == TYPE_LINE || t == TYPE_RAY) {
      s.smartline_type = k.smartline_type;
      if (k.smartline_length >= 0) s.smartline_length[0] = s.smartline_length[1] = k.smartline_length;
    }
    const bool changed = driven || std::memcmp(&before, &s, sizeof s) != 0;
    if (changed) mark_changed(obj);
    return changed;
  }
  const int text = text_kind_of(obj);
  if (text < 0 || !obj->te) return false;
  const text_style_pref& style = prefs.texts[text];
  car_info format = obj->te->format;
  format.reserved = style.reserved;
  format.font_id = style.font;
  format.size = static_cast<int32_t>(style.size);
  format.style = style.face;
  format.color = style.color;
  format.charset = style.char_set;
  regenerate_text_attributes(obj->te, 1, &format, 0);
  regenerate_text_attributes(obj->te, 3, nullptr, style.color);
  regenerate_text(obj);
  KPGeoDocument::_do_dirty(KPGeoDocument::currentInfo());
  return true;
}

// ---- Pages ----

LRESULT precision_units_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM) {
  if (common_message(page, PREFS_PRECISION, message, wparam, kShowApplyChoices | kShowFactoryButton,
                     prefs_dialog.has_numbers))
    return 1;
  if (message != WM_COMMAND) return message == WM_INITDIALOG;
  switch (LOWORD(wparam)) {
    case kPrefLengthDecimals:
      prefs.length_decimals = static_cast<int16_t>(decimals_of_index(popup_index(page, kPrefLengthDecimals)));
      break;
    case kPrefAngleDecimals:
      prefs.angle_decimals = static_cast<int16_t>(decimals_of_index(popup_index(page, kPrefAngleDecimals)));
      break;
    case kPrefOtherDecimals:
      prefs.other_decimals = static_cast<int16_t>(decimals_of_index(popup_index(page, kPrefOtherDecimals)));
      break;
    case kPrefLengthUnit:
      prefs.length_unit = static_cast<int16_t>(std::clamp(popup_index(page, kPrefLengthUnit), 0, 3));
      break;
    case kPrefAngleUnit: {
      const int i = popup_index(page, kPrefAngleUnit);
      prefs.angle_unit = static_cast<uint16_t>(i == 0 ? 1 : i == 1 ? 2 : 0);
      break;
    }
    case kPrefApplyButton:
      if (to_selection(page) && figure_with_selection()) {
        take_undo_once();
        bool any = false;
        for_each_selected([&any](object* o) {
          if (type_id(o) != TYPE_TEXT) {
            any |= apply_precision_to_object(o);
            return;
          }
          // A text: every number it shows, then the text itself.
          bool shown = false;
          for (insert_object* r = o->inserted; r; r = r->next) shown |= apply_precision_to_object(r->obj);
          if (shown) regenerate_text(o);
          any |= shown;
        });
        if (any) redraw_figure(1);
      }
      if (to_new_objects(page)) apply_precision_to_new_objects();
      enable_apply(page, false);
      return 1;
    default:
      return 0;
  }
  enable_apply(page, true);
  return 1;
}

LRESULT locus_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM) {
  if (common_message(page, PREFS_LOCUS, message, wparam, kShowApplyChoices | kShowFactoryButton,
                     prefs_dialog.has_loci))
    return 1;
  if (message != WM_COMMAND) return message == WM_INITDIALOG;
  switch (LOWORD(wparam)) {
    case kPrefLocusCount: {
      const int typed = std::clamp(read_dlg_int(page, kPrefLocusCount), 1, kMaxLocusCount);
      NSKelvoWrapMachine::setDlgItemInt(page, kPrefLocusCount, typed, 0);
      prefs.locus_points = static_cast<uint16_t>(typed);
      break;
    }
    case kPrefLinkPoints:
      prefs.link_points = get_dlg_check(page, kPrefLinkPoints);
      break;
    case kPrefEnvelope:
      prefs.envelope = get_dlg_check(page, kPrefEnvelope);
      break;
    case kPrefApplyButton: {
      // The count as typed, even when the field was not left.
      locus_page_proc(page, WM_COMMAND, kPrefLocusCount, 0);
      prefs.locus_points = static_cast<uint16_t>(std::clamp<int>(prefs.locus_points, kMinAppliedLocusCount,
                                                                kMaxLocusCount));
      if (to_selection(page) && figure_with_selection()) {
        bool any = false;
        for_each_selected([&any](object* o) {
          if (type_id(o) != TYPE_LOCUS) return;
          take_undo_once();
          auto& m = o->math.locus;
          const bool traced = !designation_hooks().locus_is_valid || designation_hooks().locus_is_valid(o);
          const int8_t link = prefs.link_points && traced, env = prefs.envelope && traced;
          bool changed = m.lkpt != link || m.envelop != env;
          m.lkpt = link;
          m.envelop = env;
          changed |= locus_change_nb_points(o, prefs.locus_points);
          if (changed) {
            mark_changed(o);
            any = true;
          }
        });
        if (any) redraw_figure(1);
      }
      if (to_new_objects(page)) {
        auto& m = default_attrs[ATTRS_LOCUS].math.locus;
        m.lkpt = static_cast<int8_t>(prefs.link_points);
        m.envelop = static_cast<int8_t>(prefs.envelope);
        m.nb_pts = static_cast<int16_t>(prefs.locus_points);
      }
      NSKelvoWrapMachine::setDlgItemInt(page, kPrefLocusCount, prefs.locus_points, 0);
      enable_apply(page, false);
      return 1;
    }
    default:
      return 0;
  }
  enable_apply(page, true);
  return 1;
}

LRESULT equation_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM) {
  if (common_message(page, PREFS_EQUATIONS, message, wparam, kShowApplyChoices | kShowFactoryButton,
                     prefs_dialog.has_axes))
    return 1;
  if (message != WM_COMMAND) return message == WM_INITDIALOG;
  switch (LOWORD(wparam)) {
    case kPrefCoordinates:
      prefs.coordinate_system = static_cast<uint16_t>(std::clamp(popup_index(page, kPrefCoordinates), 0, 3));
      prefs.kinds[ATTRS_AXES].graph_type = static_cast<uint8_t>(prefs.coordinate_system);
      break;
    case kPrefLineForm:
    case kPrefCircleForm:
    case kPrefConicForm:
      prefs.equation_type = static_cast<int16_t>((get_dlg_check(page, kPrefLineForm) ? 1 : 0) +
                                                 (get_dlg_check(page, kPrefCircleForm) ? 2 : 0) +
                                                 (get_dlg_check(page, kPrefConicForm) ? 4 : 0));
      break;
    case kPrefApplyButton:
      if (to_selection(page) && figure_with_selection()) {
        bool form_changed = false, any = false;
        for_each_selected([&](object* o) {
          const uint16_t t = type_id(o);
          if (t == TYPE_AXES || t == TYPE_GRID) {
            if (o->math.side.index2 == prefs.coordinate_system) return;
            take_undo_once();
            o->math.side.index2 = static_cast<uint8_t>(prefs.coordinate_system);
            form_changed = any = true;
            mark_changed(o);
          } else if (t == TYPE_EQUATION) {
            const uint8_t bit = equation_kind_bit(o);
            const auto format = static_cast<uint8_t>((o->math.equa.format & ~bit) | (prefs.equation_type & bit));
            if (format == o->math.equa.format) return;
            take_undo_once();
            o->math.equa.format = format;
            any = true;
            mark_changed(o);
          }
        });
        if (form_changed)
          if (kelvo_win_info* fig = KPGeoDocument::currentInfo())
            for (object* o = fig->first; o; o = o->next) recompute_object(o);
        if (any) redraw_figure(1);
      }
      if (to_new_objects(page)) {
        default_attrs[ATTRS_EQUATION].math.equa.format = static_cast<uint8_t>(prefs.equation_type);
        default_attrs[ATTRS_AXES].axes_style = static_cast<uint8_t>(prefs.coordinate_system);
        default_attrs[ATTRS_AXES].math.side.index2 = static_cast<uint8_t>(prefs.coordinate_system);
      }
      enable_apply(page, false);
      return 1;
    default:
      return 0;
  }
  enable_apply(page, true);
  return 1;
}

LRESULT system_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  if (common_message(page, PREFS_SYSTEM, message, wparam, kShowFactoryButton, false)) return 1;
  if (message != WM_COMMAND) return message == WM_INITDIALOG;
  switch (LOWORD(wparam)) {
    case kPrefBitmapCopy:
      prefs.bitmap_copy = get_dlg_check(page, kPrefBitmapCopy);
      return 1;
    case kPrefTolerance:
      prefs.tolerance = kTolerances[std::clamp(popup_index(page, kPrefTolerance), 0, 3)];
      return 1;
    case kPrefCursorFont:
    case kPrefMenuFont: {
      text_style_pref& style = LOWORD(wparam) == kPrefCursorFont ? prefs.cursor_text : prefs.menu_text;
      if (take_font(&style, lparam))
        NSKelvoWrapMachine::setDlgItemText(page, LOWORD(wparam), font_title(style).c_str());
      return 1;
    }
    case kPrefApplyButton:
      cursor_text_font = prefs.cursor_text;
      tools_menu_font = prefs.menu_text;
      bitmap_copy = prefs.bitmap_copy;
      pick_tolerance = static_cast<int16_t>(prefs.tolerance * screen_pixels_per_cm / 10);
      return 1;
    default:
      return 0;
  }
}

LRESULT geometry_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM) {
  if (common_message(page, PREFS_GEOMETRY, message, wparam, kShowFactoryButton, false)) return 1;
  if (message != WM_COMMAND) return message == WM_INITDIALOG;
  switch (LOWORD(wparam)) {
    case kPrefPointOnObject:
      prefs.manage_point_on_object = get_dlg_check(page, kPrefPointOnObject);
      return 1;
    case kPrefInfinity:
      prefs.manage_infinity = get_dlg_check(page, kPrefInfinity);
      return 1;
    case kPrefApplyButton:
      manage_point_on_object = prefs.manage_point_on_object;
      manage_infinity = prefs.manage_infinity;
      return 1;
    default:
      return 0;
  }
}

LRESULT styles_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  if (common_message(page, PREFS_STYLES, message, wparam, kShowApplyChoices | kShowFactoryButton,
                     prefs_dialog.has_graphics))
    return 1;
  if (message != WM_COMMAND) return message == WM_INITDIALOG;
  kind_pref& kind = prefs.kinds[std::clamp(prefs_dialog.graphic_kind, 0, kGraphicKinds - 1)];
  switch (LOWORD(wparam)) {
    case kPrefGraphicKinds:
      prefs_dialog.graphic_kind = std::clamp(popup_index(page, kPrefGraphicKinds), 0, kGraphicKinds - 1);
      show_prefs_on_page(page, PREFS_STYLES, &prefs);
      return 1;
    case kPrefTextKinds:
      prefs_dialog.text_kind = std::clamp(popup_index(page, kPrefTextKinds), 0, kTextKinds - 1);
      show_prefs_on_page(page, PREFS_STYLES, &prefs);
      return 1;
    case kPrefGraphicColor:
      kind.color = color_of_well(NSKelvoWrapMachine::getDlgItem(page, kPrefGraphicColor));
      break;
    case kPrefTextColor:
      prefs.texts[std::clamp(prefs_dialog.text_kind, 0, kTextKinds - 1)].color =
          color_of_well(NSKelvoWrapMachine::getDlgItem(page, kPrefTextColor));
      break;
    case kPrefThickness:
      kind.thickness = static_cast<uint8_t>(std::clamp(popup_index(page, kPrefThickness), 0, 2));
      break;
    case kPrefDash:
      kind.dotted = static_cast<uint8_t>(std::clamp(popup_index(page, kPrefDash), 0, kDashCount - 1));
      break;
    case kPrefShape:
      kind.graph_type = static_cast<uint8_t>(std::max(popup_index(page, kPrefShape), 0));
      break;
    case kPrefTextFont: {
      // The chosen font, or after a colour change the font as it is, with
      // the text colour of the well.
      text_style_pref& style = prefs.texts[std::clamp(prefs_dialog.text_kind, 0, kTextKinds - 1)];
      HWND well = NSKelvoWrapMachine::getDlgItem(page, kPrefTextColor);
      if (!take_font(&style, lparam, well)) style.color = color_of_well(well);
      NSKelvoWrapMachine::setDlgItemText(page, kPrefTextFont, font_title(style).c_str());
      break;
    }
    case kPrefSmartLineType:
      if (prefs_dialog.graphic_kind != ATTRS_LINE) return 1;
      kind.smartline_type = static_cast<uint8_t>(std::clamp(popup_index(page, kPrefSmartLineType), 0, 2));
      break;
    case kPrefSmartLineLength: {
      if (prefs_dialog.graphic_kind != ATTRS_LINE) return 1;
      double length = kind.smartline_length;
      // Text that is no number puts the last length back.
      if (read_length(page, &length)) kind.smartline_length = length;
      NSKelvoWrapMachine::setDlgItemText(page, kPrefSmartLineLength, length_text(kind.smartline_length).c_str());
      break;
    }
    case kPrefApplyButton:
      if (to_selection(page) && figure_with_selection()) {
        bool any = false;
        for_each_selected([&any](object* o) {
          if (graphic_kind_of(o) < 0 && text_kind_of(o) < 0) return;
          take_undo_once();
          any |= apply_styles_to_object(o);
        });
        if (any) redraw_figure(1);
      }
      if (to_new_objects(page)) apply_styles_to_new_objects();
      enable_apply(page, false);
      return 1;
    default:
      return 0;
  }
  enable_apply(page, true);
  return 1;
}

WNDPROC prefs_page_procedure(int page) {
  static constexpr WNDPROC kProcs[kPrefsPages] = {precision_units_page_proc, locus_page_proc,
                                                  equation_page_proc,        system_page_proc,
                                                  geometry_page_proc,        styles_page_proc};
  return page >= 0 && page < kPrefsPages ? kProcs[page] : nullptr;
}

void prefs_dialog_open() {
  prefs_from_current_state();
  prefs_dialog.undo_taken = false;
  prefs_dialog.save = false;
  for (HWND page : prefs_pages) {
    NSKelvoWrapMachine::sendMessage(page, WM_INITDIALOG, 0, 0);
    NSKelvoWrapMachine::sendMessage(page, WM_PAINT, 0, 0);
  }
}

void prefs_ok(HWND window) {
  // A text open in its editor hands its text back before the pages restyle
  // it, and opens again showing the style and precision just applied.
  object* edited = hand_back_edited_text();
  for (HWND page : prefs_pages) NSKelvoWrapMachine::sendMessage(page, WM_COMMAND, kPrefApplyButton, 0);
  if (edited) refresh_text_windows(edited);
  prefs_dialog.save = get_dlg_check(window, kPrefSaveBox);
  if (prefs_dialog.save) write_preferences(&prefs, "WKelvo2.ini");
}
