// The macro definition dialog as the kernel runs it: the names it offers,
// the icon being drawn, the conflict with a macro of the same name, and
// what the typed texts become. The window itself belongs to the
// application, which installs the two hooks and edits the working icon
// through the functions below.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kernel/macros/macro_def.h"
#include "kernel/model/classes.h"

// What the user typed when the window closed with OK.
struct macro_dialog_texts {
  std::string name;
  std::string short_name;
  std::string help;
  std::string password;
  bool option = false;  // control 1021: save the macro to a file at once
};

struct macro_dialog_hooks {
  // Shows the window modally; 1 for OK (texts filled), 2 for Cancel.
  int (*run)(macro_dialog_texts* texts) = nullptr;
  // The alert about an existing macro of the same name, with its two
  // buttons enabled or not; answers kConflictReplace, kConflictAddMethod
  // or 2 (Cancel).
  int (*ask_conflict)(bool replace_enabled, bool add_enabled) = nullptr;
};
macro_dialog_hooks& macro_dialog_services();

inline constexpr int kConflictReplace = 1179;
inline constexpr int kConflictAddMethod = 1178;
inline constexpr uint8_t kMacroOptionSave = 0x10;  // bit of macro_def_flags

// Kernel-wide while the dialog runs: the definition, the new method's
// argument codes (0-terminated) and the working icon.
extern macro_def* macro_dialog_def;
extern TYPEOBJ* macro_new_arguments;
extern uint8_t macro_working_icon[kMacroIconSize];
// The pen colour of the icon editor (a default-palette index; Black at
// first) and the value the current stroke paints.
extern uint8_t macro_pen_color;

// Names of the macros of the class list, in order, and the proposal after
// them: the base name (language string 288) with the first number that no
// macro uses.
std::vector<std::string> macro_dialog_names();
std::string proposed_macro_name();
// Fills the fields from the macro of that name, when there is one: the
// working icon, help, password and short name. False when none.
bool macro_dialog_load(const char* name, std::string* help, std::string* password, std::string* short_name);

// -1: a method of the class whose arguments clash with the new ones is used
// in an open figure; else the index of the last clashing method; -2: none.
int16_t find_conflicting_macro_method(construct_class* cls);
int ask_macro_name_conflict(construct_class* existing);

// The working icon, at size 16 or 32.
uint8_t icon_pixel_get(int x, int y, int size);
void icon_pixel_set(int x, int y, int size, uint8_t color);
// The zoomed editors: cells of 4 pixels at a pitch of 5 from (1, 1); a
// grid of `grid` (16 or 32) cells. message 513 press, 512 move, 514
// release. True when a pixel changed.
bool macro_icon_editor_mouse(unsigned message, int x, int y, int grid);
void erase_macro_icon();

// Runs the dialog for the definition: answers the macro's name (block
// memory) or null when cancelled or refused, with copies of the icon and
// the texts (null when empty; the short name after a byte 1).
char* run_macro_name_dialog(macro_def* def, uint8_t** icon, char** short_name, char** help, char** password);

// The help text of a macro defined without one (language string 289).
const char* default_macro_help();

// Builds a macro from the figure's initial and final objects (the lists the
// macro tools fill): answers the class made or extended, or null.
construct_class* define_macro();
// True when the definition asks to be saved to a file at once.
bool macro_asks_save(const macro_def* def);

// The icon chooser: the icons of the classes of the class list (but the
// regular-polygon vertex and the intersection point), then those of the
// toolbar table's rows; each 1,280 bytes.
std::vector<const uint8_t*> macro_chooser_icons();
// The working icon becomes a copy of the chosen one.
void macro_choose_icon(const uint8_t* icon);
