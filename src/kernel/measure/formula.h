// The formula language: compiling a formula text into a postfix program
// and evaluating it.
#pragma once

#include <cstdint>

struct object;

// Compiles the formula text; 0 on success, else an error code (-1 when the
// text cannot be read), with the column of the error in *error_position.
int16_t compile_formula(char* text, uint16_t* error_position);

// Evaluates the compiled program of the calculation object into the raw
// value of its value 0; 0 on success.
int16_t evaluate_compiled_formula(object* calculation);
