// Formula texts between the user's letters and separators and the text the
// formula compiler reads, and the unit check of a compiled formula.
#pragma once

#include <cstdint>
#include <string>

struct object;

// ---- Variables ----
// A letter with no letter just before or after it, except an "e" between a
// digit and a digit or "-" (an exponent, as in 2e5 or 2e-3).
bool is_formula_variable_letter(const char* text, size_t index);

// Rewrites the variable letters for the compiler: with the used letters
// numbered 1, 2 ... in alphabetical order, a letter becomes "#", its number
// and a space when the object has that many parents, else "#" and the
// letter. Spaces are dropped. The result stays in formula_text_buffer
// until the next call.
extern std::string formula_text_buffer;
const char* mark_formula_variables(const char* text, const object* obj);

// The used-letter table: the variable letters of a text (lower-cased).
extern uint8_t formula_used_letters[26];
extern uint16_t formula_used_letter_count;
void collect_formula_variables(const char* text);
// The same for the text of an expression object.
void collect_expression_variables(object* expression);
// The n-th used letter (1-based), 0 when there is none.
char nth_formula_variable(int n);
// Whether letter number `letter` (1 = a) stands in the text as a variable,
// in either case.
bool formula_uses_variable(const char* text, size_t length, int letter);

// The typing aid: the letters that end [start, end) followed by `next`
// begin a known function name (ignoring case).
bool find_whole_word(const char* start, const char* end, char next);

// Maps a position in the compiled text back to the typed text, where each
// letter with a non-zero entry in letter_numbers (a..z) became "#", the
// number and a space, and spaces were dropped.
int map_formula_error_position(int position, const char* typed, size_t length, const uint8_t letter_numbers[26]);

// In place: the user's decimal separator becomes "." and the argument
// separator ";" becomes ","; when the decimal separator is a comma the
// commas between the arguments of min, max and rand are kept apart first.
// Returns 0, or 1 when a min, max or rand has no "(" after it.
int convert_formula_to_c_locale(char* formula);

// ---- Units of a compiled formula ----
// The unit byte for the result (kind in the upper three bits, unit in the
// lower five; 0 for none) and the conversion mode (1 plain, 2 converted).
extern uint8_t formula_unit_byte;
extern uint8_t formula_conversion_mode;
// Checks the units of the formula just compiled and sets formula_unit_byte
// and formula_conversion_mode; may end the program with a conversion
// factor (a number cell and "/"). False when the formula has no unit
// record or no memory is left.
bool check_formula_units();
// Ends the program with a division by angle^(p/q) * length^(r/s) of the
// result's exponents.
bool append_conversion_factor(double angle_factor, double length_factor);

// Compiles the formula text kept after a calculation's parents (letters,
// the user's separators) and keeps the program in the slot after it, or
// leaves that slot empty when the text does not compile; takes the unit
// kind of the result. An expression applied to numbers with no text yet
// takes its expression's, prepared for the compiler. Never asks the user.
bool compile_calculation(object* calculation);
