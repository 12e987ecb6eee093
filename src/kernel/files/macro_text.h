// Macro definitions in text: one definition, the macro file that holds one,
// the "Used macro" block of figure files and the "Ma:" line that opens the
// records of one application of a macro. Writers follow the two-pass
// convention (a null buffer counts only).
#pragma once

#include <cstdint>

struct construct_class;
struct object;
struct macro_object;
struct construct_method;

int32_t txt_write_macro(construct_class* macro, char* buffer, uint8_t with_defaults, uint8_t with_password);
// The image of a macro file in the kernel file image; false when memory runs
// out (after the out-of-memory message).
bool txt_write_macro_file(construct_class* macro);
// Every user macro (all_macros) or those the current figure uses.
int32_t txt_write_used_macros(char* buffer, uint8_t all_macros, uint8_t with_defaults);
// The "Ma:" line before the first object of an instance; 0 for an object of
// no instance or of the instance written last.
int32_t txt_write_macro_instance_line(object* obj, char* buffer);
// Forgets the instance written last (the objects writer starts with it).
void txt_forget_macro_instance();
int32_t txt_write_macro_icon(const uint8_t* icon, char* buffer);
int32_t txt_write_macro_param_colors(const macro_object* step, char* buffer);
// The head of method `index` of a macro text: "Mth:", the counts line and
// "CT:". Shared by the current and the older text format.
int32_t txt_write_macro_method_head(const construct_method* method, int index, char* buffer);
// The English name of the type an argument code stands for ("" for none).
const char* type_name_of_code(uint16_t code);

// Fills a fresh macro class from a definition. Returns the characters
// consumed, or -1 when the definition is refused (macro_text_error() says
// why): counts beyond their bounds, a step class that does not exist, a
// method the class lacks, a parent that is neither an initial object nor an
// earlier step, an icon value beyond the palette.
int32_t read_macro_description(construct_class* macro, const char* text);
int32_t read_macro_icon(uint8_t** icon, const char* text);
// Reads one definition; a macro equal to a registered one of the same name
// is dropped, a different one is renamed "name #n". The class kept is
// registered and, with `install`, added to the tools menus. Returns the
// characters consumed, or -1 when the definition is refused.
int32_t txt_load_used_macro(const char* text, uint8_t install);
// A macro file (the whole text, header included): 1 when its macro was
// loaded (or was there already), 0 when it was refused.
int8_t txt_read_macro_file(const char* text, uint32_t len);
const char* macro_text_error();

// The class a "Ma:" line names: a class renamed from `name` in the load in
// progress, else the class whose English name is `name`.
construct_class* find_macro_class_for_line(const char* name);
// The class a "Ma:" line names that has a macro method for the initial
// objects `args`, and that method (`*method`); null when none has one.
// A name may stand for several classes (a user macro named like the key
// of a built-in one): the first that takes the objects is the one. An
// empty name is what earlier writings gave the pre-built compass and
// vector sum. `*known` tells whether the name stands for any class that
// applies a macro at all.
construct_class* find_macro_class_for_instance(const char* name, object** args, uint32_t count, int16_t* method,
                                               bool* known);
