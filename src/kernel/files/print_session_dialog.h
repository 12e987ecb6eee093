// The dialog that asks how to print a work session ("SESSION_PRINT"): its
// procedure hears 272 when it opens and 273 with 1 (OK) or 2 (Cancel)
// before it closes; controls 1183 (layout pop-up) and 1186 (frame box).
#pragma once

#include "platform/kelvo_wrap_machine.h"

// Runs the dialog modally; 1 after OK, 2 after Cancel or the close box.
// The application installs it; while it is missing nothing is printed (2).
extern int (*run_print_session_dialog)(void* instance, const char* name, HWND parent, WNDPROC procedure);
// The installed dialog, or 2 when there is none.
int ask_print_session(const char* name, HWND parent, WNDPROC procedure);
