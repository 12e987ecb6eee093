// The older edition's text files: figures and macros written in its flatter
// object records (a head line with a class name and a packed side word, a
// positional style line, a line of constituents and values, an optional
// content line), and the side word both ways. The object-line reader lives
// with the record reader (read_duo_object_line, object_reader.h).
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

struct construct_class;
struct construct_method;
struct macro_def;
struct macro_object;

inline constexpr const char* kDuoFigureHeader = "FIGURE KelvoDuo vers. MS-Windows 1.0";
inline constexpr const char* kDuoMacroHeader = "MACRO KelvoDuo vers. MS-Windows 1.0";

// The whole older-format figure file of the current figure in the file
// image. Objects the format cannot hold are left out after the user agrees
// (a refusal builds no image); the figure itself is never changed. 1 when
// done or declined, 0 when memory ran out (after the message).
int write_duo_figure_text();
// One object block; a null buffer counts only.
int32_t write_object_text(object* obj, char* buffer);
// A macro class in the older form; a null buffer counts only.
int32_t write_duo_macro_definition(construct_class* cls, char* buffer);
// The older-format macro file of one class in the file image; 1, or 0 when
// memory ran out.
int write_duo_macro_file_text(construct_class* cls);

// Whether the older format can hold an object: 0 yes, 1 with a loss (a
// picture, colours driven by numbers), 2 not at all.
int duo_object_verdict(const object* obj);

// The count after ", CN:" and the constituents of a text object: its
// parents, then the numbers its text refers to in text order.
int16_t object_constituent_count(const object* obj);

// The side word of an object (or of a macro step when obj is null), and the
// reverse: the word's bytes into the object's (or step's) math bytes.
// `nb_points` gives a locus its point count.
// The parent types of a step come from its method's definition.
uint32_t pack_duo_side_word(const object* obj, const construct_method* method, const macro_object* step);
// For an object the bytes are its own math bytes; for a step, its side word.
void unpack_object_side_info(uint32_t word, object* obj, const construct_method* method, macro_object* step,
                             int16_t nb_points);

// The older edition's method number of a macro construction step.
int16_t duo_step_method(const construct_method* method, const macro_object* step);
