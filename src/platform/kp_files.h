// File handles, directory listing, the open and save dialogs and the
// support-files folder. File paths are the file system's bytes (UTF-8) and
// are never converted; dialog titles are kernel texts (Mac Roman).
// Plain C++: the kernel includes this header.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_constants.h"
#include "platform/win_types.h"

// A handle is invalid when it is null (an open that failed) or
// INVALID_HANDLE_VALUE (an access mode that is not provided): callers test
// for both, and every call below refuses both.
//
// A file opened for writing is written to a temporary file beside it, which
// replaces the file only when CloseHandle succeeds: a crash or a failed
// write leaves the old file as it was.
HANDLE CreateFile(const char* path, DWORD access, DWORD share_mode, void* security, DWORD disposition,
                  DWORD flags, HANDLE template_file);
BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, void* overlapped);
// FALSE when fewer than count bytes were written (a full disk); the file is
// then left unchanged at CloseHandle.
BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written, void* overlapped);
DWORD GetFileSize(HANDLE file, DWORD* high);
// FALSE when the handle is invalid or the written data could not be put in
// place.
BOOL CloseHandle(HANDLE file);
BOOL SetFileAttributes(const char* path, DWORD attributes);

// The entries of the current directory matching a pattern ("*.*" and "*"
// match every entry), in name order.
HANDLE FindFirstFile(const char* pattern, WIN32_FIND_DATA* data);
BOOL FindNextFile(HANDLE search, WIN32_FIND_DATA* data);
BOOL FindClose(HANDLE search);

// The support-files folder joined with a name, in a buffer the function
// keeps: valid until the next call, never freed by the caller. Null when
// there is no such folder.
const char* support_file_path(const char* name);
// The application sets the folder at start-up (UTF-8 path).
void kp_set_support_folder(const char* folder);

// ---- File dialogs ----
class KPFilePanel;
struct KPFileDialogRequest {
  bool save = false;
  std::string title;           // UTF-8
  std::string directory;       // file-system path
  std::string proposed_name;   // save only
  // Save only: a panel that takes one kind of file gives a name typed
  // without an extension that kind's extension (no dot; empty for none).
  std::string default_suffix;
  std::vector<std::string> name_filters;  // Qt name filters, empty for every file
  // The panel with its accessory (platform/kp_file_accessories.h), when the
  // dialog has one: a chooser works its controls as the user would, and its
  // allowed types then restrict the dialog.
  KPFilePanel* panel = nullptr;
};
// Answers the chosen path, or nothing when cancelled. Tests install one.
using KPFileChooser = std::function<std::optional<std::string>(const KPFileDialogRequest&)>;
void kp_set_file_chooser(KPFileChooser chooser);
// Runs the dialog of the request (the installed chooser, else a QFileDialog);
// a name chosen is confirmed to the panel's delegate, a Cancel is not.
std::optional<std::string> kp_choose_file(const KPFileDialogRequest& request);

// Reads the record's filter list into the request; answers the extensions
// the dialog accepts (empty when it accepts every file).
std::vector<std::string> set_panel_file_types(const OPENFILENAME* record, KPFileDialogRequest* request);
// The name a save dialog proposes.
std::string kp_proposed_save_name(const char* name, const char* default_extension, bool every_file);
BOOL GetOpenFileName(OPENFILENAME* record);
BOOL GetSaveFileName(OPENFILENAME* record);
