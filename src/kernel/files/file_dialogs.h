// Saving documents in the chosen format, the kernel's own save and open
// dialogs, the HTML export, the pictures written beside a figure and the
// options accessory of the figure save panel.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct bitmap_info;
struct kelvo_win_info;

// The file dialog record and the buffers it points to. A caller that saves
// without a dialog puts the target path in file_path_buffer first.
inline constexpr uint32_t kFileDialogBufferSize = 1000;
extern OPENFILENAME file_dialog_record;
extern char file_path_buffer[kFileDialogBufferSize];
extern char file_title_buffer[kFileDialogBufferSize];

// Selects the writer of the next save: 3 situations file, 4 older text
// format, 5 TI-92, 6 TI-92 Plus, 7 TI-89, 8 Voyage 200, 9 TI-83 Plus, any
// other value the figure file.
extern int save_format_code;
// Set by a caller that wants a file read again although a window shows it.
extern uint8_t reopen_flag;
// The filter the open dialog starts with (from 1).
extern uint32_t open_filter_index;

// Stored as the figure password when protection is asked without one.
inline constexpr const char* kProtectionMarker = "__seal_everything__";

// Dialog record flags.
inline constexpr uint32_t kOfnOverwritePrompt = 0x2;
inline constexpr uint32_t kOfnHideReadOnly = 0x4;
inline constexpr uint32_t kOfnEnableHook = 0x20;
inline constexpr uint32_t kOfnPathMustExist = 0x800;
inline constexpr uint32_t kOfnFileMustExist = 0x1000;
inline constexpr uint32_t kOfnExplorer = 0x80000;

// What save_document_file writes.
enum save_kind : int {
  SAVE_DOCUMENT = 0,   // the figure of the target window
  SAVE_FIGURE = 1,     // the same, from a dialog
  SAVE_MACRO = 2,      // the macro (construct_class*) given as target
  SAVE_TOOL_MENUS = 3, // the toolbar configuration with its macros
  SAVE_EXPORT = 4,     // the figure of an HTML or PNG export
};
// Kinds of save_file_as_dialog.
enum save_dialog_kind : int { DIALOG_EXPORT = 1, DIALOG_MACRO = 2, DIALOG_TOOL_MENUS = 3 };

// Clears the record and sets its size and owner.
void init_file_dialog_record(OPENFILENAME* record);

// Writes the file named in the dialog record (file_path_buffer). Answers 1
// when the whole file was written, 0 otherwise (after telling the user).
// A document is marked saved only after its file was written; a failed write
// leaves the old file as it was.
int save_document_file(HWND owner, int kind, void* target);

// Runs the save dialog of a kind and saves; 1 when a file was written.
int save_file_as_dialog(HWND owner, int kind, void* target);

// Reads the chosen (or given) file into the kernel file image; 1 when its
// bytes are there for a reader. A file that a window shows already activates
// that window instead (unless reopen_flag is set) and answers 0.
int open_file_in_window(HWND owner, const char* path);

// The figure window whose figure was read from, or saved to, that file
// (compared as canonical paths); null when none.
HWND find_window_by_file_name(const char* path);

// Tests on the current figure.
bool figure_has_spring();
bool figure_has_pictures();

// Writes the background picture and every object's picture of the current
// figure as files beside the figure file at figure_path. Answers the number
// of pictures that could not be written.
int save_figure_pictures(const char* figure_path);
// One picture beside the figure: its source file copied byte for byte, or,
// when that cannot be read, the picture in memory written as a BMP file.
// Calculator screen pictures are skipped. False when nothing was written.
bool copy_picture_file(const bitmap_info* picture, const char* figure_path);
// Writes in pieces of at most 65,535 bytes; *written adds up what went out.
BOOL write_file_chunked(HANDLE file, const void* data, uint32_t length, uint32_t* written);

// The dialog procedure of the figure save panel's options accessory.
inline constexpr int kOptProtect = 1207;
inline constexpr int kOptPasswordLabel = 1190;
inline constexpr int kOptPassword = 1103;
inline constexpr int kOptAnimate = 1214;
inline constexpr int kOptLinkedPictures = 1222;
inline constexpr int kOptOlderFormat = 2042;
inline constexpr int kOptPcCompatible = 2045;
// Messages: 272 initialise, 273 a control changed (wparam its identifier,
// lparam its value), 78 the name is confirmed: the options apply.
LRESULT save_options_dlg_proc(HWND dialog, UINT message, WPARAM control, LPARAM value);

// What a save panel's options change: the figure's password and flags, the
// save format code and the PC choice. Kept when the panel opens, so that a
// Cancel puts back what the clicks had already copied.
struct save_options_state {
  kelvo_win_info* fig = nullptr;
  char* password = nullptr;  // a copy, owned here
  uint8_t animate_on_open = 0;
  uint8_t linked_pictures = 0;
  int format_code = 0;
  uint8_t pc_compatible_off = 0;
};
save_options_state keep_save_options();
// Puts the kept options back into their figure (when it is still the current
// one) and frees the copy.
void restore_save_options(save_options_state* kept);
// Frees the copy: the options set stay.
void drop_save_options(save_options_state* kept);
