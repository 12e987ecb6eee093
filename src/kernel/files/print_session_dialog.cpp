#include "kernel/files/print_session_dialog.h"

int (*run_print_session_dialog)(void* instance, const char* name, HWND parent, WNDPROC procedure) = nullptr;

int ask_print_session(const char* name, HWND parent, WNDPROC procedure) {
  return run_print_session_dialog ? run_print_session_dialog(nullptr, name, parent, procedure) : IDCANCEL;
}
