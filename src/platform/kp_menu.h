// Menu items and simple message boxes as the kernel drives them. The
// application reads the recorded item states and texts to show them.
#pragma once

#include "platform/win_types.h"

inline constexpr UINT MF_ENABLED = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;

// Enables the item, or greys it when the flags hold MF_GRAYED or
// MF_DISABLED. Returns the item's previous flags (MF_ENABLED when unknown).
UINT EnableMenuItem(HMENU menu, UINT item, UINT flags);
// False once the item has been greyed or disabled, until it is enabled.
bool menu_item_enabled(HMENU menu, UINT item);

// The text of the main menu's Undo item.
void set_undo_menu_text(const char* text);
const char* undo_menu_text();

// Shows a message. Until the application installs its dialog, the message
// goes to the standard error stream.
void message_box_simple(const char* text);
void install_message_box(void (*show)(const char* text));

// Called whenever an item state or the Undo text changes, so the
// application can refresh its menus.
void install_menu_listener(void (*changed)());
