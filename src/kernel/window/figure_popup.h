// The figure's context menu: a right or Control click names the object under
// the pointer, lists the objects it is built on in their colours, and offers
// the changes that fit it (a picture, text frames, equation and coordinate
// forms, the background of the sheet).
#pragma once

#include <cstdint>
#include <string>

#include "platform/win_types.h"

struct object;

// Item numbers; the menu's identifiers are 50000 more.
enum : int {
  kPopupTitle = 0,
  kPopupPictureFile = 1,
  kPopupScreen92 = 2,  // 2, 3, 4: the calculator screens of models 0, 1, 2
  kPopupFrameOpaque = 8,
  kPopupFrameTransparent = 9,
  kPopupBackgroundColor = 10,
  kPopupRemovePicture = 11,
  kPopupEquationStandard = 12,
  kPopupEquationOther = 13,
  kPopupCoordinates = 14,  // 14 to 17: Cartesian, polar in degrees, grads, radians
  kPopupAreaOrientation = 19,
  kPopupPenRed = 20,   // 20, 21, 22: red, green, blue of the pen colour
  kPopupFillRed = 23,  // 23, 24, 25: red, green, blue of the fill colour
  kPopupParents = 26,
};
inline constexpr int kPopupBase = 50000;

// What the menu asks of the user beyond the menu itself; tests script them.
// An empty slot answers "cancelled".
struct figure_popup_services {
  // The background colour chooser (choose_background_color): a new colour
  // (0x00RRGGBB) starting from the one in *color, which it replaces on OK.
  bool (*choose_color)(uint32_t* color, HWND owner) = nullptr;
};
figure_popup_services& figure_popup_hooks();

bool is_fillable_object(const object* obj, uint16_t type_id = 0);
bool can_hold_picture(const object* obj);
// The tag is the one the object was designated with: from 257 on, a
// labelled object is designated through its label, whose frame it offers.
bool has_text_frame(const object* obj, bool picture_asked, uint16_t tag = 0);

// Every text-like object drawn in the old colour takes the new one, and so
// does every other object's label drawn in it.
void replace_text_color(uint32_t old_color, uint32_t new_color);
// Rebuilds the object's text, then the texts that quote it.
void refresh_texts_referencing(object* obj);
// Stores the coordinate system (0 Cartesian, 1 to 3 polar in degrees,
// grads, radians) and recomputes; coordinates of the same point on the same
// axes follow.
void set_coordinate_form(object* obj, uint8_t form);

// A sub-menu of three items, red, green and blue: identifiers
// kPopupBase + kPopupPenRed + base and the next two (base 0 for the pen
// colour, 3 for the fill colour).
class KPMenusWrapper;
KPMenusWrapper* append_color_component_items(int base);
// The picture sub-menu: a picture from a file (kPopupPictureFile) and, when
// `full`, a separator and the three calculator screens.
KPMenusWrapper* build_picture_menu(bool full);

// The object and component (kPopupPenRed..kPopupFillRed + 2) waiting for
// the number that will drive it; null when none waits.
object* color_driver_target();
int color_driver_component();
// The number picked while a component waits: it drives that component of
// the waiting object (the other components keep their drivers). False when
// nothing waits, the object has left the figure or `number` is no number.
bool drive_color_component(object* number);

// Applies item n to the object under the pointer (null: the sheet),
// designated with `tag`.
void apply_figure_popup_item(int item, object* obj, uint16_t tag = 0);
// Builds, tracks and applies the menu for the last click point; the item
// chosen (0 for none).
int show_figure_popup_menu();
