#include "kernel/window/figure_popup.h"

#include <string>
#include <vector>

#include "app/kernel_iface/figure_description.h"
#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/exchange/figure_bitmaps.h"
#include "kernel/files/object_helpers.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/label_text.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/recompute.h"
#include "kernel/model/undo.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_editing.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/cursors.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/hit_state.h"
#include "kernel/tools/label_settings.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_handler.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/main_commands.h"
#include "platform/kernel_services.h"
#include "platform/kp_bitmap.h"
#include "platform/kp_files.h"
#include "platform/kp_menu.h"
#include "platform/kp_timer.h"

namespace {

figure_popup_services g_hooks;

// The folder of the last picture chosen, where the next choice starts.
std::string g_picture_folder;

// The object whose colour component waits for its number, and the item
// that named the component.
object* g_driver_target = nullptr;
int g_driver_component = 0;

// While the menu is up the application window gets this timer, so that the
// selection keeps blinking.
constexpr UINT kBlinkTimer = 10;
constexpr UINT kBlinkPeriod = 20;

// The language rows of the menu's texts.
constexpr int kRowCoordinateKinds = 204;   // 4 rows: Cartesian, polar in degrees, grads, radians
constexpr int kRowImageFileTitle = 208;    // title of the picture file dialog
constexpr int kRowImageFileItem = 247;
constexpr int kRowScreens = 248;           // 3 rows: the TI-92, TI-89 and TI-83 screens
constexpr int kRowOpaque = 251;
constexpr int kRowTransparent = 252;
constexpr int kRowBackgroundColor = 253;
constexpr int kRowRemovePicture = 254;
constexpr int kRowPicture = 255;           // title of an object's picture sub-menu
constexpr int kRowBackgroundPicture = 256; // title of the sheet's picture sub-menu
constexpr int kRowPenFromNumbers = 257;
constexpr int kRowFillFromNumbers = 258;
constexpr int kRowRedGreenBlue = 259;      // 3 rows
constexpr int kRowEquationForm = 262;      // title of the equation-form sub-menu
constexpr int kRowEquationForms = 263;     // 6 rows: standard and other form of a line, a circle, a conic
constexpr int kRowCoordinateTitles = 269;  // 4 rows: for an equation, coordinates, a grid, axes
constexpr int kRowOrientedArea = 273;      // the area of a triangle or polygon
constexpr int kRowSignedArea = 274;        // the area of any other shape

// A label of the menu: its row, with the control bytes a language may use
// for exponents made printable.
std::string label(int row) {
  const char* text = kernel_string(row);
  const char* shown = expand_label_controls(text, 0);
  return shown ? shown : text;
}

// The open dialog titled "Image file", every file shown.
bool choose_picture_file(std::string* path) {
  char buffer[1024] = {};
  OPENFILENAME record{};
  record.lStructSize = sizeof record;
  record.lpstrFile = buffer;
  record.nMaxFile = sizeof buffer;
  const std::string title = label(kRowImageFileTitle);
  record.lpstrTitle = title.c_str();
  record.lpstrInitialDir = g_picture_folder.empty() ? nullptr : g_picture_folder.c_str();
  if (!GetOpenFileName(&record) || buffer[0] == '\0') return false;
  *path = buffer;
  const size_t slash = path->rfind('/');
  if (slash != std::string::npos) g_picture_folder = path->substr(0, slash);
  return true;
}

kelvo_win_info* figure() { return KPGeoDocument::currentInfo(); }

uint16_t type_of(const object* o) { return object_type_id(o); }

bool is_coordinates(const object* o) {
  return type_of(o) == TYPE_NUMBER && o->classe == &classe_equation && o->methode == 0;
}

// The object under the click: the last drawn (topmost) object whose type
// says the point hits it.
object* object_under(tagPOINT p) {
  kelvo_win_info* fig = figure();
  object* found = nullptr;
  for (object* o = fig ? fig->first : nullptr; o; o = o->next) {
    if (!o->otype || !o->otype->hit_test || !o->settings.visible || (o->state & OBJ_UNDEFINED)) continue;
    if (type_of(o) == TYPE_INTERSECTION_SET) continue;
    tagPOINT q = p;
    if (o->otype->hit_test(o, &q)) found = o;
  }
  return found;
}

bool in_figure(const kelvo_win_info* fig, const object* obj) {
  for (const object* o = fig ? fig->first : nullptr; o; o = o->next)
    if (o == obj) return true;
  return false;
}

bool is_area_measure(const object* o) { return o && o->classe == &classe_aire; }

// Triangles and polygons have an orientation of their own; other shapes
// get the other label.
bool measures_polygon(const object* area) {
  const uint16_t t = area->nbparents > 0 && area->parents[0] ? type_of(area->parents[0]) : 0;
  return t == TYPE_TRIANGLE || t == TYPE_POLYGON || t == 6;
}

void regenerate_text(object* o) {
  if (main_command_services().regenerate_rtf_if_needed) main_command_services().regenerate_rtf_if_needed(o);
}

uint8_t other_equation_format(const object* eq) {
  const uint16_t carrier = eq->nbparents > 0 && eq->parents[0] ? type_of(eq->parents[0]) : 0;
  return carrier == TYPE_LINE ? 1 : carrier == TYPE_CIRCLE ? 2 : carrier == TYPE_CONIC ? 4 : 0;
}

// The first of the two rows of an equation's forms: each curve kind names
// its own.
int equation_form_rows(const object* eq) {
  switch (other_equation_format(eq)) {
    case 1: return kRowEquationForms;
    case 2: return kRowEquationForms + 2;
    default: return kRowEquationForms + 4;
  }
}

// The title of the coordinate-system sub-menu, by what the object is.
int coordinate_title_row(const object* o) {
  const uint16_t t = type_of(o);
  if (t == TYPE_EQUATION) return kRowCoordinateTitles;
  if (t == TYPE_GRID) return kRowCoordinateTitles + 2;
  if (t == TYPE_AXES) return kRowCoordinateTitles + 3;
  return kRowCoordinateTitles + 1;
}

// Designated through its label (a tag from 257 on), a labelled object's
// frame is its label's: that is the frame the menu shows and changes.
bool label_frame(const object* obj, uint16_t tag) {
  return obj && tag >= 257 && obj->te && obj->label && !is_text_like_object(obj);
}

bool frame_is_opaque(const object* obj, uint16_t tag) {
  return label_frame(obj, tag) ? obj->label->opaque != 0 : obj->settings.opaque != 0;
}

void mark_edited() {
  if (kelvo_win_info* fig = figure()) KPGeoDocument::_do_dirty(fig);
}

void free_object_picture(object* obj) {
  if (obj->bitmap && bitmap_is_private(obj))
    free_bitmap_holder(&obj->bitmap);
  else
    obj->bitmap = nullptr;  // the undo copy keeps the shared record
}

// The sheet's background picture goes, unless the undo copy still holds it.
void free_background_picture(kelvo_win_info* fig) {
  const kelvo_win_info* undo = fig->undo;
  if (fig->background && !(undo && undo->background == fig->background))
    free_bitmap_holder(&fig->background);
  else
    fig->background = nullptr;
}

void install_picture(object* obj, int item) {
  kelvo_win_info* fig = figure();
  if (!fig) return;
  std::string path;
  KPUniversalBitmap* bitmap = nullptr;
  const char* name = nullptr;
  if (item == kPopupPictureFile) {
    if (!choose_picture_file(&path)) return;
    bitmap = load_bitmap_file(path.c_str());
    name = path.c_str();
  } else {
    bitmap = ti_screen_bitmap_path(item - kPopupScreen92, &name);
  }
  figure_picture picture;
  const bool loaded = bitmap && picture_from_bitmap(bitmap, &picture);
  DeleteObject(bitmap);
  if (!loaded) return;
  if (obj && type_of(obj) == TYPE_BUTTON && (picture.width > 2000 || picture.height > 2000)) {
    MessageBeep(0);
    return;
  }
  save_undo_state(0);
  if (obj) {
    free_object_picture(obj);
    set_bitmap_holder_image(picture, nullptr, name, &obj->bitmap);
  } else {
    free_background_picture(fig);
    set_bitmap_holder_image(picture, nullptr, name, &fig->background);
    const uint32_t old = fig->bgcolor;
    fig->bgcolor = back_color;
    replace_text_color(old, fig->bgcolor);
  }
  mark_edited();
}

}  // namespace

figure_popup_services& figure_popup_hooks() { return g_hooks; }

bool is_fillable_object(const object* obj, uint16_t type_id) {
  const uint16_t t = obj ? type_of(obj) : type_id;
  switch (t) {
    case TYPE_TRIANGLE:
    case TYPE_POLYGON:
    case 6:
    case TYPE_CIRCLE:
    case TYPE_ARC:
    case TYPE_TEXT:
    case TYPE_NUMBER:
    case TYPE_PROPERTY:
    case TYPE_EQUATION:
    case TYPE_TABLE:
    case TYPE_EXPRESSION:
    case TYPE_BUTTON:
      return true;
    default:
      return false;
  }
}

bool can_hold_picture(const object* obj) {
  switch (type_of(obj)) {
    case TYPE_BUTTON:
    case TYPE_POINT:
    case TYPE_SEGMENT:
    case TYPE_VECTOR:
    case TYPE_TRIANGLE:
      return true;
    case TYPE_POLYGON:
    case 6:
      return obj->methode == 3 || obj->methode == 4;
    default:
      return false;
  }
}

bool has_text_frame(const object* obj, bool picture_asked, uint16_t tag) {
  return obj && (is_fillable_object(obj) || (picture_asked && obj->bitmap) || label_frame(obj, tag));
}

void replace_text_color(uint32_t old_color, uint32_t new_color) {
  kelvo_win_info* fig = figure();
  if (!fig || old_color == new_color) return;
  for (object* o = fig->first; o; o = o->next) {
    if (is_text_like_object(o)) {
      if (o->settings.Color == old_color) set_object_color(o, new_color);
    } else if (o->label && o->label->Color == old_color) {
      o->label->Color = new_color;
    }
  }
}

void refresh_texts_referencing(object* obj) {
  kelvo_win_info* fig = figure();
  if (!obj || !fig) return;
  regenerate_text(obj);
  for (object* o = fig->first; o; o = o->next) {
    if (o == obj || type_of(o) != TYPE_TEXT || !find_text_reference(0, obj, o->inserted)) continue;
    regenerate_text(o);
    // The text under edit keeps its caret while its references move.
    if (o == fig->cur_text) refresh_edit_references(o, text_edit_window);
  }
}

KPMenusWrapper* append_color_component_items(int base) {
  KPMenusWrapper* sub = KPMenusWrapper::createPopupMenu();
  for (int k = 0; k < 3; ++k)
    sub->appendMenu(0, kPopupBase + kPopupPenRed + base + k, label(kRowRedGreenBlue + k).c_str());
  return sub;
}

KPMenusWrapper* build_picture_menu(bool full) {
  KPMenusWrapper* sub = KPMenusWrapper::createPopupMenu();
  sub->appendMenu(0, kPopupBase + kPopupPictureFile, label(kRowImageFileItem).c_str());
  if (full) {
    sub->appendMenu(MF_SEPARATOR, 0, nullptr);
    for (int k = 0; k < 3; ++k) sub->appendMenu(0, kPopupBase + kPopupScreen92 + k, label(kRowScreens + k).c_str());
  }
  return sub;
}

object* color_driver_target() { return g_driver_target; }
int color_driver_component() { return g_driver_component; }

bool drive_color_component(object* number) {
  kelvo_win_info* fig = figure();
  object* target = g_driver_target;
  const int component = g_driver_component;
  if (!target || !number || type_of(number) != TYPE_NUMBER) return false;
  g_driver_target = nullptr;
  g_driver_component = 0;
  // The object may have been deleted while the figure waited for the click.
  if (!in_figure(fig, target) || component < kPopupPenRed || component > kPopupFillRed + 2) return false;
  save_undo_state(0);
  const bool fill = component >= kPopupFillRed;
  param_color* drivers = fill ? ensure_object_fill_color_params(target) : ensure_object_color_params(target);
  if (!drivers) return false;
  object** slots[3] = {&drivers->red, &drivers->green, &drivers->blue};
  *slots[component - (fill ? kPopupFillRed : kPopupPenRed)] = number;
  mark_edited();
  return true;
}

void set_coordinate_form(object* obj, uint8_t form) {
  kelvo_win_info* fig = figure();
  if (!obj || !fig || form > 3) return;
  auto apply = [form](object* o) {
    o->math.equa.typeunite = form;
    recompute_object(o);
    refresh_texts_referencing(o);
  };
  apply(obj);
  if (is_coordinates(obj))
    for (object* o = fig->first; o; o = o->next)
      if (o != obj && is_coordinates(o) && o->nbparents >= 2 && obj->nbparents >= 2 &&
          o->parents[0] == obj->parents[0] && o->parents[1] == obj->parents[1])
        apply(o);
  invalidate_current_figure_window();
}

void apply_figure_popup_item(int item, object* obj, uint16_t tag) {
  kelvo_win_info* fig = figure();
  if (!fig) return;
  switch (item) {
    case kPopupPictureFile:
    case kPopupScreen92:
    case kPopupScreen92 + 1:
    case kPopupScreen92 + 2:
      install_picture(obj, item);
      break;
    case kPopupFrameOpaque:
    case kPopupFrameTransparent:
      if (obj) {
        const bool want = item == kPopupFrameOpaque;
        if (frame_is_opaque(obj, tag) != want) {
          (label_frame(obj, tag) ? obj->label->opaque : obj->settings.opaque) = want ? 1 : 0;
          mark_edited();
        }
      }
      break;
    case kPopupBackgroundColor: {
      uint32_t chosen = fig->bgcolor;
      if (obj || !g_hooks.choose_color || !g_hooks.choose_color(&chosen, application_window)) break;
      free_background_picture(fig);
      const uint32_t old = fig->bgcolor;
      fig->bgcolor = chosen & 0xFFFFFF;
      replace_text_color(old, fig->bgcolor);
      mark_edited();
      break;
    }
    case kPopupRemovePicture:
      if (obj)
        free_object_picture(obj);
      else
        free_background_picture(fig);
      mark_edited();
      break;
    case kPopupEquationStandard:
    case kPopupEquationOther:
      if (obj && type_of(obj) == TYPE_EQUATION) {
        obj->math.equa.format = item == kPopupEquationStandard ? 0 : other_equation_format(obj);
        recompute_object(obj);
        refresh_texts_referencing(obj);
        mark_edited();
      }
      break;
    case kPopupCoordinates:
    case kPopupCoordinates + 1:
    case kPopupCoordinates + 2:
    case kPopupCoordinates + 3:
      if (obj) {
        set_coordinate_form(obj, static_cast<uint8_t>(item - kPopupCoordinates));
        mark_edited();
      }
      break;
    case kPopupAreaOrientation:
      if (is_area_measure(obj)) {
        obj->math.polyarea = obj->math.polyarea ? 0 : 1;
        recompute_object(obj);
        refresh_texts_referencing(obj);
        mark_edited();
      }
      break;
    case kPopupPenRed:
    case kPopupPenRed + 1:
    case kPopupPenRed + 2:
    case kPopupFillRed:
    case kPopupFillRed + 1:
    case kPopupFillRed + 2:
      // The next click in the figure picks the number.
      if (obj) {
        end_tool_action();
        interaction_state = STATE_COLOR_NUMBER;
        setup_current_tool(nullptr);
        g_driver_target = obj;
        g_driver_component = item;
      }
      break;
    default:
      break;
  }
  invalidate_current_figure_window();
  refresh_figure_description(current_figure_view);
}

int show_figure_popup_menu() {
  kelvo_win_info* fig = figure();
  // Only the pointer tool opens the menu.
  if (!fig || current_class != nullptr || interaction_state != 2) return 0;
  // Several objects under the pointer: the list of candidates asks which
  // one was meant, and that one is selected.
  if (ambiguous_designation) {
    highlight_candidate();
    if (!ambiguous_designation && objlist_count(&picked) > 0) select_figure_object(picked.items[0], picked.tags[0], 0);
    invalidate_current_figure_window();
    return 0;
  }
  tagPOINT at{};
  get_saved_mouse_point(&at);
  // The designated object, through the reference it shows inside a text;
  // without a designation, the topmost object under the click.
  object* obj = nullptr;
  uint16_t tag = 0;
  if (objlist_count(&picked) > 0) {
    obj = picked.items[0];
    tag = picked.tags ? picked.tags[0] : 0;
    if (type_of(obj) == TYPE_TEXT && tag > 258) {
      obj = resolve_text_reference(obj, tag);
      tag = 0;
    }
  }
  if (!obj) obj = object_under(at);
  objlist_clear(&picked);

  KPMenusWrapper* menu = KPMenusWrapper::createPopupMenu();
  std::vector<KPMenusWrapper*> subs;
  auto picture_menu = [&](bool full) {
    subs.push_back(build_picture_menu(full));
    return subs.back();
  };
  // For the time of the menu the pointed object's class is the current one,
  // and the lines of the objects it is built on describe each as that
  // object sees it.
  construct_class* previous_class = current_class;
  object* previous_context = describe_context_object;
  const int previous_position = describe_context_position;
  if (!obj) {
    menu->appendMenu(0, kPopupBase + kPopupBackgroundColor, label(kRowBackgroundColor).c_str());
    menu->appendMenu(MF_POPUP, reinterpret_cast<uintptr_t>(picture_menu(true)), label(kRowBackgroundPicture).c_str());
    if (fig->background) menu->appendMenu(0, kPopupBase + kPopupRemovePicture, label(kRowRemovePicture).c_str());
  } else {
    const std::string title = describe_object(obj, 0);
    // The objects it is built on, each in its colour; they only show.
    // While the menu is up they are the picked list, entry i item 26 + i,
    // each with its side tag.
    object* from = obj->classe == &classe_ptint && obj->nbparents > 0 && obj->parents[0] ? obj->parents[0] : obj;
    current_class = obj->classe;
    describe_context_object = from;
    describe_context_position = 0;
    std::vector<object*> sources;
    if (type_of(obj) == TYPE_TEXT) {
      for (insert_object* r = obj->inserted; r; r = r->next)
        if (r->obj) sources.push_back(r->obj);
      for (object* source : sources) objlist_add(&picked, source, 0);
    } else {
      const uint32_t sides = pack_object_side_info(from);
      for (int i = 0; i < from->nbparents; ++i) {
        if (!from->parents[i] || (type_of(from) == TYPE_LOCUS && i != 0 && i != from->nbparents - 1)) continue;
        sources.push_back(from->parents[i]);
        objlist_add(&picked, from->parents[i], i < 2 ? static_cast<uint16_t>(sides >> (16 * i)) : 0);
      }
    }
    if (sources.empty()) {
      menu->appendMenu(0, kPopupBase + kPopupTitle, title.c_str());
    } else {
      KPMenusWrapper* list = KPMenusWrapper::createPopupMenu();
      for (size_t i = 0; i < sources.size(); ++i) {
        KPMenusWrapper::setNextItemColor(sources[i]);
        list->appendMenu(0, kPopupBase + kPopupParents + static_cast<int>(i), describe_candidate(sources[i]).c_str());
      }
      subs.push_back(list);
      menu->appendMenu(MF_POPUP, reinterpret_cast<uintptr_t>(list), title.c_str());
    }
    if (can_hold_picture(obj)) {
      menu->appendMenu(MF_SEPARATOR | MF_POPUP, reinterpret_cast<uintptr_t>(picture_menu(type_of(obj) == TYPE_POINT)),
                       label(kRowPicture).c_str());
      if (obj->bitmap) menu->appendMenu(0, kPopupBase + kPopupRemovePicture, label(kRowRemovePicture).c_str());
    }
    KPMenusWrapper* pen = append_color_component_items(0);
    subs.push_back(pen);
    menu->appendMenu(MF_SEPARATOR | MF_POPUP, reinterpret_cast<uintptr_t>(pen), label(kRowPenFromNumbers).c_str());
    if (is_fillable_object(obj)) {
      KPMenusWrapper* fill = append_color_component_items(3);
      subs.push_back(fill);
      menu->appendMenu(MF_POPUP, reinterpret_cast<uintptr_t>(fill), label(kRowFillFromNumbers).c_str());
    }
    if (has_text_frame(obj, true, tag)) {
      const bool opaque = frame_is_opaque(obj, tag);
      menu->appendMenu(MF_SEPARATOR | (opaque ? MF_CHECKED : 0), kPopupBase + kPopupFrameOpaque,
                       label(kRowOpaque).c_str());
      menu->appendMenu(opaque ? 0 : MF_CHECKED, kPopupBase + kPopupFrameTransparent, label(kRowTransparent).c_str());
    }
    const uint16_t t = type_of(obj);
    if (t == TYPE_EQUATION || is_coordinates(obj) || t == TYPE_GRID || t == TYPE_AXES) {
      if (t == TYPE_EQUATION && other_equation_format(obj) != 0) {
        KPMenusWrapper* form = KPMenusWrapper::createPopupMenu();
        const bool other = obj->math.equa.format == other_equation_format(obj);
        const int rows = equation_form_rows(obj);
        form->appendMenu(other ? 0 : MF_CHECKED, kPopupBase + kPopupEquationStandard, label(rows).c_str());
        form->appendMenu(other ? MF_CHECKED : 0, kPopupBase + kPopupEquationOther, label(rows + 1).c_str());
        subs.push_back(form);
        menu->appendMenu(MF_SEPARATOR | MF_POPUP, reinterpret_cast<uintptr_t>(form), label(kRowEquationForm).c_str());
      }
      KPMenusWrapper* coords = KPMenusWrapper::createPopupMenu();
      for (int k = 0; k < 4; ++k)
        coords->appendMenu(obj->math.equa.typeunite == k ? MF_CHECKED : 0, kPopupBase + kPopupCoordinates + k,
                           label(kRowCoordinateKinds + k).c_str());
      subs.push_back(coords);
      menu->appendMenu(MF_SEPARATOR | MF_POPUP, reinterpret_cast<uintptr_t>(coords),
                       label(coordinate_title_row(obj)).c_str());
    }
    if (is_area_measure(obj))
      menu->appendMenu(MF_SEPARATOR | (obj->math.polyarea ? MF_CHECKED : 0), kPopupBase + kPopupAreaOrientation,
                       label(measures_polygon(obj) ? kRowOrientedArea : kRowSignedArea).c_str());
  }
  // While the menu is up the selection is an empty list of its own, which
  // the blinking draws.
  dyn_array_object* own_selection = fig->selection;
  dyn_array_object temporary{};
  objlist_init(&temporary);
  if (obj) fig->selection = &temporary;
  HWND blink_window = application_window;
  if (blink_window) KPTimer::setTimer(blink_window, kBlinkTimer, kBlinkPeriod, nullptr);
  // The menu opens where the click that opened it happened.
  const int chosen = menu->trackPopUp(at, 4, nullptr, nullptr);
  if (blink_window) KPTimer::killTimer(blink_window, kBlinkTimer);
  if (obj) {
    // The figure may have changed under the menu; its list is put back only
    // when it is still this figure's.
    if (fig == figure() && fig->selection == &temporary) fig->selection = own_selection;
    GlobalFreeAndNull(&temporary.items);
    GlobalFreeAndNull(&temporary.tags);
  }
  objlist_clear(&picked);
  current_class = previous_class;
  describe_context_object = previous_context;
  describe_context_position = previous_position;
  menu->destroyMenu();
  for (KPMenusWrapper* sub : subs) sub->destroyMenu();
  const int item = chosen >= kPopupBase ? chosen - kPopupBase : 0;
  apply_figure_popup_item(item, obj, tag);
  return item;
}
