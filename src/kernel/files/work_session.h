// Work sessions: while a session is recorded, every recorded action of a
// figure saves the whole figure as the next numbered snapshot in the
// session's folder, its first line naming the action and the time since the
// start; a recorded session is then opened and stepped through snapshot by
// snapshot in a figure window. One session at a time, for the whole
// program: recording and viewing exclude each other.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win_types.h"

struct kelvo_win_info;

// The names written for the action codes of session_record_action.
inline constexpr int kSessionActionCount = 22;
extern const char* const session_action_names[kSessionActionCount];

// What the session asks of the document layer.
struct session_hooks {
  // Shows the snapshot file at path: in a new window when window is null,
  // else in place of the figure of that window. The figure shown belongs to
  // no file (a Save asks for a name). Answers the window, null on failure.
  HWND (*show_snapshot)(HWND window, const char* path) = nullptr;
};
session_hooks& session_services();

// Menu commands.
void session_start_recording();
void session_stop_recording();
// title_row: the kernel string of the open dialog's title. True when a
// session is on show afterwards.
bool session_open(int title_row);
// Ends the viewing of a session and closes its window (nothing when none is
// viewed).
void session_close_viewing();
// Reads snapshot `number` of the session viewed into the kernel file image
// (the caller frees it); false, quietly, when it cannot be read.
bool session_read_snapshot(int number);
// 'n' the next snapshot, 'p' the previous one; true when one was loaded.
bool session_load_snapshot(char mode);
// Shows snapshot `number` of the session viewed; false, with the snapshot on
// show kept, when it cannot be read.
bool session_show_snapshot(int number);
// Records one action of the figure; nothing unless recording.
void session_record_action(kelvo_win_info* figure, int code);
// A document window is closing: a session shown in it ends, and so does a
// recording.
void session_document_closing(HWND window);

// The menu items: 40034 and 40035 are enabled only while viewing; 40032 and
// 40037 read "stop" and "close" while recording or viewing. A null menu is
// the main menu.
void update_session_menu_items(HMENU menu);
void update_session_menu_text(HMENU menu);

// State, for the menus and tests.
bool session_recording();
bool session_viewing();
HWND session_window();
// Number of the next snapshot while recording, of the one shown while viewing.
int session_snapshot_number();
// "<folder>/<name>_": every snapshot's path without its number and ".fig".
const std::string& session_base_path();
// The caption of the snapshot on show ("7, move object, t=12s  ").
const char* session_caption();

// Pieces.
// "t=1h 1m 0s": hours only from 3600 s, minutes only from 60 s of the rest.
std::string format_elapsed_time(uint32_t milliseconds);
// The path without the extension of its last component.
std::string strip_path_extension(const std::string& path);
// The caption of a snapshot from its file image (first line only, bounded).
void session_snapshot_caption(const char* image, uint32_t length);
// Forgets every state (tests).
void session_reset();
