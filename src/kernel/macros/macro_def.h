// Macro definitions: the construction steps of a macro method, the fields a
// macro class keeps beside its methods, and the operations the file code
// needs of them (equality, freeing, icons, parent types and application).
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

struct construct_class;
struct construct_method;

// One construction step of a macro method.
struct macro_object {
  int16_t mo_final;           // 1 a result shown to the user, 0 a hidden step
  uint32_t mo_side_info;      // the object's per-type word
  uint32_t* mo_color_params;  // null, or three instance numbers (0 = none)
  uint32_t* mo_fill_params;
  int16_t mo_nb_parents;
  int16_t mo_nb_values;
  uint32_t* mo_parents;       // instance numbers from 1
  construct_class* mo_class;
  int16_t mo_method;
  double mo_value;            // the angle of a regular polygon built by method 1
  char* mo_formula;           // formula text of a calculation (owned)
  char* mo_text;              // text of a text step, markers numbered 1, 2, ...
  uint32_t* mo_text_refs;     // instance number of marker i
  int16_t mo_nb_text_refs;
};

struct macro_def {
  int16_t* macro_def_info;    // [0] step count, [1..n] defining points, [n+1] main result
  macro_object* macro_def_objects;
  object_settings* macro_def_styles;  // n initial entries, then one per final step
  uint8_t macro_def_flags;
  uint8_t macro_def_axes_flag;
  uint8_t generation;         // of the file the definition was read from
};

// The per-figure data of a macro method: one entry per argument code, whose
// first word is the default object for that initial object (its file number
// while a figure is being read).
struct macro_default_entry {
  object* obj;
  uintptr_t spare;
};

inline constexpr uint32_t kMacroIconSize = 1280;  // 16x16 then 32x32 palette indices
inline constexpr int16_t kMaxMacroSteps = 4096;
inline constexpr int16_t kMaxMacroInitials = 64;

// The macro's password (owned, null when none) and whether it was given
// (0 not asked, 1 refused, 2 accepted), kept in the class's spare words.
char* macro_password(const construct_class* cls);
void set_macro_password(construct_class* cls, char* password);
uint8_t macro_password_state(const construct_class* cls);
void set_macro_password_state(construct_class* cls, uint8_t state);

// A fresh macro class (point type, variable value count, no method), or null.
construct_class* new_macro_class();
// Frees a macro class with its names, icon, help, password and methods.
void free_construct_class(construct_class* cls);
void free_macro_method(construct_method** method);
// Frees a definition with its steps and clears the pointer.
void free_macro_def(macro_def** def);
// A new empty definition with n initial codes and `steps` steps, or null.
macro_def* new_macro_def(int n, int steps, int finals);

bool macro_method_equal(const construct_method* a, const construct_method* b);
bool construct_class_equal(const construct_class* a, const construct_class* b);

// The default icon: its 16x16 part, and the whole 1,280 bytes.
const uint8_t* default_macro_icon16();
void double_icon(uint8_t* icon);
void init_macro_icon(uint8_t* icon, const uint8_t* data16);
bool is_default_icon(const uint8_t* icon);
bool is_icon32_doubled(const uint8_t* icon);
// Palette order of the hexadecimal digits of older icons.
extern const uint8_t macro_icon_palette_order[16];

// Type id of parent k of a step (0 when there is none).
uint16_t macro_parent_type(const macro_def* def, const construct_method* method, const macro_object* step,
                           int16_t k);

// Applies method `method` of the current class (a macro) to the figure's
// argument list; returns the main result, or null. `with_styles` gives the
// initial objects the styles of the definition, as a user's application
// does; readers pass 0.
object* apply_macro(int16_t method, uint8_t with_styles);
// The expression-plotting road: the numbers, axes and expression of the
// argument list become a plot (method 1 of the expression application);
// the last object built, or null when nothing was built.
object* prepare_macro_application();
// The static definition of that method.
extern macro_def expression_plot_definition;

// Set while apply_macro runs.
extern uint8_t applying_macro;
// The message of an application whose steps name objects outside the
// instance numbering (a damaged macro, or arguments that do not fit). A
// user's application (with styles) shows it; for readers the last
// application's refusal is left in macro_application_refused.
extern const char* const kMacroOutsideNumbering;
extern uint8_t macro_application_refused;
// The radius (figure pixels) of a shown circle a macro step draws from its
// centre alone.
inline constexpr double kMacroDefaultRadius = 28.0;

// Places a macro class as a tool: back in the group a replaced macro was
// taken from, else in the group of the macro tools (the one holding the
// final-object tool, or else the first holding a macro), else in a new
// group. Nothing when a tool of that name is there already.
void add_class_to_tools_menu(construct_class* cls);
// The group a macro being replaced was removed from (0: none); the
// definition dialog sets it and clears it when it opens.
extern int16_t removed_macro_group;
// Removes the macros of the tools-configuration group that no open figure
// uses (the compass and vector sum stay).
void icon_organizer_command();
