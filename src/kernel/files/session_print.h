// Printing a work session: its snapshots laid out several to a page in
// cells with their captions, under a header with the session's name and a
// running number. The print-session dialog chooses the layout; the print
// operation of the figure view asks for the pages and draws each through
// session_draw_page, which steps through the snapshots.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

using session_dialog_procedure = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

// What session printing asks of the application. Empty slots: no dialog can
// be shown (the user is told), the page is portrait, nothing is printed.
struct session_print_hooks {
  // Runs the print-session dialog "SESSION_PRINT" with the procedure; the
  // code it stopped with (1 OK, 2 Cancel).
  int (*run_dialog)(const char* name, session_dialog_procedure procedure) = nullptr;
  // The shared print settings are in landscape.
  bool (*printer_landscape)() = nullptr;
  // Runs a print operation on the current figure view.
  void (*print_current_view)() = nullptr;
  // The printable width and height of the page of the view being printed,
  // in the port's units.
  void (*printable_size)(HWND view, double* width, double* height) = nullptr;
};
session_print_hooks& session_print_services();

// Set while a session's pages are printed: the figure view then counts and
// draws pages through the two functions below.
extern uint8_t session_printing;

struct session_print_state {
  int columns = 0;
  int rows = 0;
  bool landscape = false;
  bool frame = true;
  int slot = 0;
  int printed_cells = 0;
  int snapshot_count = 0;
  int largest_width = 0;
  int largest_height = 0;
};
session_print_state& session_print_now();

// Menu command 40036.
void session_print();
LRESULT print_session_dlg_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// Pages of the run: the snapshots over the cells of a page.
int session_print_page_count();
void session_draw_page(HWND view);
// Draws the snapshot on show into the current cell.
void draw_print_page(HWND view);
// Counts the snapshots from the one on show to the last readable one and
// finds the largest window among them (640 x 480 when none is known).
void session_measure_snapshots();
// The window size (whole pixels) on the "Window center x:" line of a
// snapshot's text, after "Window size x:" on that line; 0 x 0 when there is
// none or it makes no sense.
void session_window_size(const char* image, uint32_t length, int* width, int* height);
// Releases the header and caption fonts.
void session_print_release_fonts();
