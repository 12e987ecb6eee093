// The tool-menu file (".men": the toolbar configuration, its password and
// optionally the user macros it names) and the situations file (".env": the
// preferences, every user macro, the toolbar and then the figure).
#pragma once

#include <cstdint>

// The configuration's password: at most 23 characters, empty when none.
inline constexpr int kMenusPasswordMax = 23;
extern char menus_password[kMenusPasswordMax + 1];

// The toolbar and menu-bar description (null destination counts): a
// "Password:" line when there is one, then one group of tool lines per
// toolbox, each ending with an empty line. The leading blanks of a tool line
// are the gap before the tool.
int32_t txt_write_menu_bar_description(char* dst);
// Builds the tool-menu file image in the kernel file image; with_macros adds
// the "Used macro" block when there are user macros.
void txt_write_menus_file(uint8_t with_macros);
// Builds the situations file image of the current figure. False when the
// image could not be made (the user is told).
bool txt_write_situations_file();

// Reads a menu-bar description of len bytes (optionally after a "Used
// macro" block) and rebuilds the toolboxes and the trash.
void txt_read_menu_description(const char* text, uint32_t len, uint8_t install);
// Reads a situations file image into the current figure; 1 on success.
int8_t txt_read_menus_file(char* text, uint32_t len, const char* path);
