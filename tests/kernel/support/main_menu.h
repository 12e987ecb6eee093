// A main menu for kernel tests: the items the kernel enables, greys and
// renames, installed as the application's main menu, with readers of their
// state.
#pragma once

#include "platform/win_types.h"

// Installs (once per process) a main menu holding every item the kernel
// drives.
void install_test_main_menu();
bool menu_item_enabled(HMENU menu, UINT item);
// The Undo item's text, Mac Roman.
const char* undo_menu_text();
