// The readers, writers and window services the saving and opening code asks
// of the rest of the program: the figure and macro text (figure files), the
// older text format, the calculator files and pictures, the preferences
// store and the document layer's figure windows.
//
// Each service is a slot that its owner fills at start-up. An empty slot
// means the service does not exist yet: a writer slot then builds no image
// (the save reports that nothing was written), a reader slot reads nothing,
// and the window walk finds no window. Tests fill the slots to watch calls.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct bitmap_info;
struct construct_class;
struct kelvo_win_info;

struct file_services {
  // ---- Figure files and macro text (each builds the file image)
  // The figure file of the current figure; 0 when no image could be made.
  int (*write_figure_file)() = nullptr;
  // Detection and reading of the file image into the current figure (1 on
  // success).
  int8_t (*read_figure_file)(char* image, uint32_t len, const char* path) = nullptr;
  // A figure text that begins with its header line (1 on success).
  int8_t (*read_figure_text)(char* text, uint32_t len, const char* path) = nullptr;
  // The "Used macro" block (null destination counts).
  int32_t (*write_used_macros)(char* dst, uint8_t all_macros, uint8_t with_defaults) = nullptr;
  // Reads one macro definition; the characters it consumed (0: none).
  uint32_t (*load_used_macro)(const char* text, uint8_t install) = nullptr;
  void (*write_macro_file)(construct_class* macro) = nullptr;
  // Lines of the figure file that a situations file repeats.
  int32_t (*write_window_lines)(char* dst) = nullptr;
  int32_t (*write_background_line)(char* dst) = nullptr;
  int32_t (*write_password_line)(char* dst, const char* password) = nullptr;
  int32_t (*write_animate_line)(char* dst, kelvo_win_info* fig) = nullptr;
  // The object records and the pictures block of the current figure.
  int32_t (*write_objects)(char* dst) = nullptr;
  // Advances the number that makes the names of a load unique.
  void (*next_load_number)() = nullptr;

  // ---- Older text format
  int (*write_duo_figure_text)() = nullptr;
  int (*write_duo_macro_file_text)(construct_class* macro) = nullptr;

  // ---- Calculator files and pictures
  int (*ti9x_export_figure)(int code) = nullptr;
  int (*ti83_export_figure)(const char* title) = nullptr;
  // The offset of the macro data in the file image, or -1.
  int32_t (*ti9x_check_signature)() = nullptr;
  int (*ti9x_read_macro)(const char* data) = nullptr;
  int (*import_old_macro_v2)() = nullptr;
  int (*import_old_macro_v1)() = nullptr;
  // Writes the picture as a BMP file; false when it could not.
  bool (*write_bmp_file)(const char* path, const bitmap_info* picture) = nullptr;

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
