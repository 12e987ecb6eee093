// Appearance changes: the fields of the current attribute record copied
// into objects under an attribute mask, the text style commands, and the
// unit pop-up of a number.
#pragma once

#include <cstdint>

struct object;

// Text style commands of apply_attributes_to_objects (code 0 applies the
// mask, 5 flips fixing).
enum : uint16_t {
  STYLE_TEXT_COLOR = 4,
  STYLE_TOGGLE_FIXED = 5,
  STYLE_FONT = 51,
  STYLE_SMALLER = 52,
  STYLE_LARGER = 53,
  STYLE_DECIMALS = 54,
};

// Text sizes never go below this, however often a text is made smaller.
inline constexpr int32_t kSmallestTextSize = 1;
// One step of the text-size pop-up: 0.8 times smaller or 1.25 times larger.
int32_t step_text_size(int32_t size, bool smaller);

// The selection, limited to its visible objects when asked, takes the
// current attributes under the attribute mask and the current mode; then
// it is emptied.
void apply_attributes_to_selection(uint8_t visible_only);

// Style commands of the font panel and menus: 51 font, 54 decimals, 1003
// text colour, 1004 text size. They go to the text being edited, else to
// the selected texts, else (for font and colour, while a text-making tool
// is current) to the defaults of new texts.
void apply_style_change(uint16_t command);

// The entries of the unit pop-up of a number: item ids from 50001 and the
// unit byte each stands for (group x 32 + index). No unit, four lengths,
// four areas, three angles; a number whose unit is locked lists only the
// group of its own unit. Returns the count (0 for anything but a number).
inline constexpr int kUnitPopupMaxItems = 12;
inline constexpr int kUnitPopupFirstId = 50001;
int unit_popup_entries(const object* number, uint8_t codes[kUnitPopupMaxItems], const char* names[kUnitPopupMaxItems]);
// Shows the unit pop-up at (x, y); the chosen unit byte, 255 when none.
uint8_t unit_popup_menu(int32_t x, int32_t y, object* number);
