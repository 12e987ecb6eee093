// Tool state that the figure model reads and writes: the kernel-wide
// candidate lists, the designation tables of the current tool, the tools'
// neutral attribute record, and the selection routines.
#pragma once

#include "kernel/tools/hit_state.h"

#include <cstdint>

#include "kernel/model/figure.h"
#include "kernel/prefs/default_attrs.h"

// Candidate lists of the designation under the cursor.
extern dyn_array_object picked;
extern dyn_array_object carrier_candidates;
extern dyn_array_object intersection_candidates;
extern dyn_array_object highlight_list;
extern dyn_array_object ambiguity_candidates;

// The user's selection while a construction tool uses the figure's
// `selection` field for its arguments; null when no tool has saved it.
extern dyn_array_object* saved_selection;

// One entry of a designation table: an argument type code the current tool
// accepts, its designation text, and the index of the class method the code
// came from.
struct designation_entry {
  uint16_t code;
  const char* text;
  uint32_t method_index;
};

struct designation_list {
  int16_t capacity;
  designation_entry* entries;  // ended by an entry whose code is 0
};

inline constexpr int16_t kDesignationTableSize = 20;

// The types the current tool accepts as arguments, those on which it may
// create a point while picking, and those whose intersections it may create.
extern designation_list designation_args;
extern designation_list designation_carriers;
extern designation_list designation_intersectables;
using accepted_type = designation_entry;
using accepted_type_list = designation_list;
extern designation_list& accepted_types;
extern designation_list& accepted_types_on_object;
extern designation_list& accepted_types_intersection;

// Set while the designation code lets a tool take the origin and the axes.
extern uint8_t designation_allows_base_objects;

// While a tool works on one of the figure's own lists, that list is the
// figure's `selection` and the user's selection waits in `saved_selection`.
void install_selection_list(dyn_array_object* list);
void restore_selection_list();
bool has_no_saved_selection();

// Attributes of a tool that builds nothing.
extern default_attr no_class_attrs;

// Deselects every object of the current figure and empties and shrinks its
// `selection` list.
void clear_selection();

// Frees every node of the list and clears the pointer.
void free_object_list(objectptrlist** list);

struct construct_class;

// The class whose object `create_object` builds, or null.
extern construct_class* current_class;
// Default attributes of the type being built, or null. The tools call it
// `current_attrs`: what a new object of the current tool receives and what
// the attribute pop-ups edit.
extern default_attr* current_default_attrs;
inline default_attr*& current_attrs = current_default_attrs;
// Positions of the construction in progress, written by the previews.
inline constexpr int kRubberPoints = 5;
extern valeur rubber_points[kRubberPoints];
// Number of values of an object whose class has a variable number.
extern int16_t variable_nb_values;
// Set just before a calculation (formula text, compiled formula) or an
// expression (its text) is created.
extern void* pending_extra[2];
// Data block of the next spring, or kNoPendingSpringData.
inline void* const kNoPendingSpringData = reinterpret_cast<void*>(~uintptr_t{0});
extern void* pending_spring_data;
// The pointer at rest, no class, no defaults, no positions nor pending
// data, the handlers' flags and the designation filter as at start-up: the
// construction state taken again when tool work ends.
void reset_construction_state();

// How a text record of an object of this type is laid out and read: 2 for
// the user's own texts (comments, buttons), wrapped in their frame, their
// bytes the signs they stand for; 1 for the value texts the kernel builds
// (numbers, equations, calculations), whose frame fits the text; 0 else.
int32_t text_kind_of_type(uint16_t type_id);
// Gives a new object the text record of its kind, framed by the text
// rectangle of the tool (measure_text_rect) and in the character settings
// of its defaults: a text, number, equation, table, expression or button
// its own record; a property check two records held in its value block,
// filled with its pair of texts; any other object a label record in its own
// colour, with label settings when it has none. An object that already has
// a record keeps it. False when memory runs out (the object then has no new
// record); whether the text shows values is in the record's `rich` byte.
bool init_object_text_records(object* obj);
// The smallest side of the frame of a text-like object (what a resize
// leaves, and what a frame read from a file is given at least).
inline constexpr int32_t kMinTextFrameSide = 5;

struct car_info;

// The character settings a new text of a kind with these defaults takes
// (all zero without defaults).
car_info default_text_format(const default_attr* defaults);
// The size of one line of text in the font of `format`, as the figure
// measures it.
struct text_line_size {
  int32_t width = 0;
  int32_t height = 0;
};
text_line_size measure_text_line(const car_info* format, const char* text);

// Copies the fields of the current attribute record into each object of a
// null-terminated list under an attribute mask (widened by the tool's
// `attribute_mask`, except the show/hide mask 0x8000 which only flips
// `visible`). `tags` runs beside the list (may be null; a tag above 257
// means the object's label was designated). `code` is 0 for attribute
// changes, 5 to flip fixing, or a text style command (4 text colour, 51
// font, 52 smaller, 53 larger, 54 decimals) for objects with a text record
// other than the one being edited. A second fill in the same colour takes
// the fill away.
inline constexpr uint32_t kAttributeVisible = 0x8000;
void apply_attributes_to_objects(object** list, uint16_t* tags, uint32_t mask, int code);

// Fills the names of the types and classes at start-up. Until the language
// file rows are wired, the localised names are the English ones.
void init_tool_names_and_help();
// Gives each built-in class at places 0 to 50 of the class list its
// built-in icon (the classes registered later have none of their own).
void assign_builtin_icons();
