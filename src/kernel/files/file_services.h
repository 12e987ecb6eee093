// The writers, readers and window services the saving and opening code asks
// of parts of the program built apart from it: the older text format, the
// calculator files and pictures, the preferences store, the tools palette
// and the document layer's figure windows.
//
// Each service is a slot that its owner fills at start-up. An empty slot
// means the service does not exist yet: a writer slot then builds no image
// (the save reports that nothing was written), a reader slot reads nothing,
// and the window walk finds no window. Tests fill the slots to watch calls.
#pragma once

#include <cstdint>

#include "kernel/files/duo_text.h"
#include "kernel/files/old_binary.h"
#include "platform/win_types.h"

struct construct_class;
struct kelvo_win_info;

struct file_services {
  // ---- Older text format
  int (*write_duo_figure_text)() = ::write_duo_figure_text;
  int (*write_duo_macro_file_text)(construct_class* macro) = ::write_duo_macro_file_text;

  // ---- Calculator files and pictures
  int (*ti9x_export_figure)(int code) = nullptr;
  int (*ti83_export_figure)(const char* title) = nullptr;
  // The offset of the macro data in the file image, or -1.
  int32_t (*ti9x_check_signature)() = nullptr;
  int (*ti9x_read_macro)(const char* data) = nullptr;
  int (*import_old_macro_v2)() = ::import_old_macro_v2;
  int (*import_old_macro_v1)() = ::import_old_macro_v1;

  // ---- Preferences
  // Replaces the stored preferences by a preferences file's bytes and
  // reads the default attributes again.
  void (*import_preferences_file)(const char* bytes, uint32_t len) = nullptr;

  // ---- Palettes
  // Rebuilds the tools palette from the toolboxes, when it exists.
  void (*rebuild_tools_panel)() = nullptr;

  // ---- Document layer
  // Calls visit for every figure window with its figure record, until visit
  // answers false.
  void (*enum_figure_windows)(bool (*visit)(HWND window, kelvo_win_info* fig, void* context),
                              void* context) = nullptr;
  // The figure record shown by a figure window (null: none).
  kelvo_win_info* (*window_figure)(HWND window) = nullptr;
  // The application object that receives application-wide messages.
  HWND (*main_application)() = nullptr;
  // The file's access class: -1 missing, else the read-only (1) and system
  // (4) bits; the platform's answer when empty.
  int (*classify_file_access)(const char* path) = nullptr;
};

file_services& files_services();
void install_file_services(const file_services& services);
