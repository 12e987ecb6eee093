// The record attached to every object that one application of a macro
// built, and the tests on macro classes that the figure model needs.
#pragma once

#include <cstdint>

struct object;
struct construct_class;

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

// The pre-built macro classes, by index. Their construction steps come with
// the macro code; until then their methods carry argument lists only.
extern construct_class* optional_classes[kOptionalClassCount];

// Puts pre-built class `index` (0..4) back into the class list with its
// methods, unless it is there already. False when memory runs out or the
// index is out of range. The tools menu does not exist yet, so the flag
// asking to add the class to it has no effect.
bool install_optional_class(int index, uint8_t add_to_menu);

// True for one of the pre-built macro classes.
bool is_optional_class(const construct_class* cls);

// True for a user macro: a class whose first method carries a macro
// definition and that is not one of the pre-built classes.
bool is_macro_class(const construct_class* cls);

// Frees the record with its two arrays and clears the pointer.
void free_infomacro(infomacro** im);

// True when the object, or one of its parents, was built by that macro
// application (its objects are the ones that share the record).
bool macro_list_contains(const infomacro* im, const object* obj);
