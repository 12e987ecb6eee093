// Reading the text record of one object back into a live object of the
// current figure, built the way the construction tools build it.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

struct construct_class;
struct TErec;
struct label_settings;

// Kernel-wide state of the reader.
extern uint16_t value_count;
extern uint8_t value_field_kinds[5];
extern uint8_t renumber_lock;
// "Resolution:" of the figure being read; 0 when it has none.
extern double file_resolution;

// One record at text (NUL-terminated). Returns the characters consumed, or
// -1 when the record is refused (object_reader_error() says why); the
// figure reader stops at a negative result. *slot receives the new object.
int32_t read_object_record(object** slot, const char* text);
int32_t read_nova_object_record(object** slot, const char* text);
// One object block of the older format; -1 (nothing made) for a block that
// is refused, an unknown class name among them.
int32_t read_duo_object_line(object** slot, const char* text);
// Before the first record of a figure: from here on, file numbers are found
// through a table of the objects read rather than by walking the figure.
// resolve_record_numbers closes it; without it, numbers are found by the walk.
void begin_record_numbers();
// After the last record: the targets of buttons and the numbers that drive
// colours, read as file numbers, become the objects they name; targets that
// name none are dropped, colour sources that name none are cleared. Ends the
// reading: the reader keeps nothing for the next figure.
void resolve_record_numbers();
// Whether resolve_record_numbers has references to resolve, which it finds
// by the figure's numbers.
bool record_numbers_to_resolve();
// Why the last record was refused ("" when it was not).
const char* object_reader_error();
// The last record was refused for what it names (an unknown class, a parent
// that is not in the figure, parents that fit no method of its class), not
// for its form: the figure can go on without it. Its number in the file.
bool object_reader_record_left_out();
uint32_t object_reader_record_number();

// A "Ma:" line: applies the macro it names to the objects it lists; the
// records that follow ("Ma R") describe the final objects it made. Returns
// the characters consumed, 0 without such a line, -1 when the macro or an
// object is missing (object_reader_error() says why).
int32_t read_macro_instance_line(const char* text);
// Deletes the final objects of the last macro application that no record
// described, and forgets that application.
void flush_pending_selection();
// After a macro application read from a file: the objects it made after
// `last_before` (null: the whole figure) wait for the records naming them.
void begin_macro_results(object* last_before);
// The final object k of that application; the finals before it that no
// record named go with what depends on them. Null when it made none.
object* take_macro_result(int16_t k);
extern object* macro_result_cursor;
extern object* macro_result_start;
// The per-type word of a record or a macro step; -1 when it is malformed.
int32_t read_type_info_word(const char* text, const construct_class* cls, math_info* w);

// The object of the current figure that carries number n in the file.
object* find_object_by_file_number(uint32_t n);
// The method of cls that the objects fit, -1 when none does.
int16_t find_method_for_parents(construct_class* cls, object** parents, uint32_t n);

// Pieces shared with the other readers; each returns the characters used.
uint32_t read_object_style(const char* text, uint16_t type_id, char** bitmap_name,
                           object_settings* settings, uint8_t* pushed);
uint32_t read_quoted_string(const char* text, char** out);
uint32_t read_signed_pair(const char* text, int16_t box[4]);
uint32_t skip_to_next_line(const char* text);
