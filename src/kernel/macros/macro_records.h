// The record attached to every object that one application of a macro
// built, and the tests on macro classes that the figure model needs.
#pragma once

#include <cstdint>

struct object;
struct construct_class;
struct construct_method;

// A macro method's definition; the figure model only stores and compares it.
struct macro_def;

// One application of a macro, shared by every object it built.
struct infomacro {
  uint16_t im_method;
  construct_class* im_class;
  int16_t im_nb_initials;
  object** im_initials;  // block memory, im_nb_initials entries
  uint8_t* im_tags;      // block memory, one designation tag per initial object
};

inline constexpr int kOptionalClassCount = 5;

// The pre-built macro classes, by index: the compass "CO", the vector sum
// "S2", the arc angle, the oriented angle and the ratio. Their methods and
// construction steps are static and never freed.
extern construct_class* optional_classes[kOptionalClassCount];

// Puts pre-built class `index` (0..4) back into the class list with its
// methods, unless it is there already, and adds it to the tools menus when
// `add_to_menu` is set. False when memory runs out or the index is out of
// range.
bool install_optional_class(int index, uint8_t add_to_menu);

// True for one of the pre-built macro classes.
bool is_optional_class(const construct_class* cls);

// True for a user macro: a class whose first method carries a macro
// definition and that is not one of the pre-built classes.
bool is_macro_class(const construct_class* cls);

// Frees the record with its two arrays and clears the pointer.
void free_infomacro(infomacro** im);

// True when the object is one of the instance's initial objects or one of
// the defining points of one of them.
bool macro_list_contains(const infomacro* im, const object* obj);

// Marks of a macro definition in progress, in the object's state word:
// needed by a final object, and built from the initial objects. Both are
// cleared after every definition.
inline constexpr uint32_t OBJ_MACRO_NEEDED = 0x10000;
inline constexpr uint32_t OBJ_MACRO_DEPENDS = 0x20000;

// How many of an initial object's parents come before it in the instance
// numbering of a macro (its defining points).
int16_t defining_point_count(const object* obj);

// True when `pointer` is among the first n entries of the null-terminated
// list (n = -1: all of them).
bool pointer_in_list(const void* pointer, void* const* list, int n);

// Clears both definition marks in every object of the current figure.
void clear_definition_flags();

// Walks over the objects of every open figure (the current one alone when
// no window walk is installed).
void shift_method_indices_in_figures(const construct_class* cls, int removed);
bool method_unused_in_figures(const construct_method* method);
bool class_unused_in_figures(const construct_class* cls);
bool class_used_in_figures(const construct_class* cls);
void replace_object_ref_in_figures(const char* old_ref, const char* new_ref);

// Asks the user for a macro's password; true when the typed text is the
// password. The application installs it; without one nothing is unlocked.
extern bool (*validate_macro_password)(const char* password);
// Whether a hidden step of a macro instance may be shown (listed, replayed):
// asks the password of its macro once and remembers the answer, which
// unlocks every macro with the same password.
bool macro_object_may_show(const object* obj);
