// Small helpers with which dialog procedures read and set their controls:
// check boxes, integer fields, colour wells, the colour-code label, the
// common buttons of the preference pages, and the dash choice of a style.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"
#include "platform/win_types.h"

// The buttons every preference page may show.
inline constexpr int kPrefApplyButton = 1165;
inline constexpr int kPrefNewObjectsChoice = 1166;
inline constexpr int kPrefSelectionChoice = 1167;
inline constexpr int kPrefFactoryButton = 1168;

// Flags of show_added_buttons.
inline constexpr int kShowApplyChoices = 1;   // Apply, new objects, selection
inline constexpr int kShowFactoryButton = 2;  // factory settings

// True when the control exists and is checked (state 1).
bool get_dlg_check(HWND dialog, int id);
void set_dlg_check(HWND dialog, int id, bool checked);

// The integer typed in a field. A text that is not an integer (an empty
// one included) is replaced by the last valid value this function read,
// which is answered.
int read_dlg_int(HWND dialog, int id);

// Shows or hides the page's common buttons by the flags; showing the
// apply choices also checks "new objects".
void show_added_buttons(HWND page, int flags);

void set_color_well(HWND well, uint32_t color);
uint32_t color_of_well(HWND well);

// Sets the control's text to the colour's short file code.
void set_color_code_text(HWND dialog, int id, uint32_t color);

// 1 or 2 when the pair is that entry of the dash table, else 0 (solid).
int dash_index_of_pair(dot pair);
