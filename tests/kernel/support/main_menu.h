// A main menu for kernel tests: the items the kernel enables, greys and
// renames, installed as the application's main menu, with readers of their
// state.
#pragma once

#include "platform/kp_menu.h"
#include "platform/win_types.h"

// Installs (once per process) a main menu holding every item the kernel
// drives.
void install_test_main_menu();
// menu_item_enabled (platform/kp_menu.h) reads an item's recorded state.
// The Undo item's text, Mac Roman.
const char* undo_menu_text();
