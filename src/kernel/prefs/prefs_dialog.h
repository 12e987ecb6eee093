// The preferences dialog as the kernel drives it: six pages (precision and
// units, locus, equations, system, geometry, default styles), each a dialog
// procedure that shows `prefs` in the page's controls, edits it as the
// controls change and applies it to the selection or to new objects.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"
#include "kernel/prefs/preferences.h"
#include "platform/kelvo_wrap_machine.h"

// Controls of the window and of the pages (the common page buttons are in
// dialog_controls.h).
enum : int {
  kPrefSaveBox = 2041,
  kPrefExportButton = 1024,
  kPrefLengthDecimals = 1086,
  kPrefAngleDecimals = 1087,
  kPrefOtherDecimals = 1088,  // on the equations page: the conic form
  kPrefLengthUnit = 1090,
  kPrefAngleUnit = 1091,
  kPrefLocusCount = 1081,
  kPrefLinkPoints = 1095,
  kPrefEnvelope = 1096,
  kPrefCoordinates = 1092,
  kPrefLineForm = 1093,
  kPrefCircleForm = 1094,
  kPrefConicForm = 1088,
  kPrefBitmapCopy = 1098,
  kPrefTolerance = 1099,
  kPrefPointOnObject = 1122,
  kPrefInfinity = 1123,
  kPrefGraphicKinds = 1159,
  kPrefTextKinds = 1158,
  kPrefGraphicColor = 1162,
  kPrefDash = 1169,
  kPrefThickness = 1173,
  kPrefShape = 1170,
  kPrefTextColor = 1171,
  kPrefTextFont = 1150,       // the text kind's font: 273 with the KPFont* in lparam
  kPrefCursorFont = 1139,     // the cursor-text style's font, likewise
  kPrefMenuFont = 1140,       // the tools-menu style's font, likewise
  kPrefSmartLineType = 1172,  // lines: 0 whole, 1 and 2 cut to the lengths
  kPrefSmartLineLength = 1103,
};

enum prefs_page : int {
  PREFS_PAGE_PRECISION,
  PREFS_PAGE_LOCUS,
  PREFS_PAGE_EQUATIONS,
  PREFS_PAGE_SYSTEM,
  PREFS_PAGE_GEOMETRY,
  PREFS_PAGE_STYLES,
  kPrefsPages
};

// The group of set_factory_prefs each page edits.
extern const uint8_t kPrefsPageGroups[kPrefsPages];

// What the dialog knows beside `prefs` while it is open.
struct prefs_dialog_state {
  bool has_numbers = false;   // measured numbers selected
  bool has_axes = false;      // axes, grids or coordinates selected
  bool has_loci = false;
  bool has_graphics = false;
  bool no_selection = true;
  bool undo_taken = false;    // one snapshot per opening
  bool save = false;
  int graphic_kind = 0;       // the styles page's current kinds
  int text_kind = 0;
};
extern prefs_dialog_state prefs_dialog;

// The six page handles of the open dialog, set by whoever shows it.
extern HWND prefs_pages[kPrefsPages];

// Loads `prefs` from the default records and the current selection (a value
// the selected objects disagree on shows the record's value).
void prefs_from_current_state();
// Sets the page's controls of the groups from the record.
void show_prefs_on_page(HWND page, uint8_t groups, const prefs_rec* rec);
// Gives a selected object the styles page's values of its kind (texts the
// style of their text kind); true when something changed.
bool apply_styles_to_object(object* obj);
// Brings a number's decimals and unit in line with `prefs`; other objects
// are left alone. True when something changed.
bool apply_precision_to_object(object* obj);

LRESULT precision_units_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT locus_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT equation_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT system_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT geometry_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT styles_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
WNDPROC prefs_page_procedure(int page);

// Starts an opening: loads the state and initialises the pages (272, 15).
void prefs_dialog_open();
// OK: applies every page in order, then writes the store when the save box
// of the window is checked.
void prefs_ok(HWND window);
