// The formula language: compiling a formula text into a postfix program of
// code cells with the unit of its result, and evaluating that program each
// time its calculation object is recomputed.
#pragma once

#include <cstdint>

#include "kernel/measure/formula_math.h"
#include "kernel/measure/formula_units.h"

struct object;

enum formula_cell_kind : uint8_t {
  kCellEnd = 0,
  kCellVariable = 1,
  kCellOperator = 2,
  kCellFunction = 3,
  kCellNumber = 4,
  kCellInfinity = 5,
};

// One code cell. A variable names the `ref`-th parent (1-based) of the
// calculation object; an operator is "+", "-", "*", "/", "^", "n" (negate),
// "R" (random in [0, 1)), "m", "M" (minimum, maximum) or "r" (random
// between two values); a function holds its table entry and index.
struct formula_cell {
  uint8_t kind;
  uint8_t function;
  char op;
  int32_t ref;
  union {
    double number;
    object* obj;
    formula_function fn;
  };
};

// ---- Compiler state, read by the callers after compile_formula ----
// The calculation whose parents "#n" names; set before compiling and
// evaluating.
extern object* current_calculation;
// The finished program (a kernel block ending with an end cell; the caller
// takes it over and frees it) and its length in cells, end cell included.
extern formula_cell* formula_program;
extern int32_t formula_program_length;
// The unit of the last accepted expression.
extern formula_unit* formula_result_unit;
// The error word shared by the compiler and the evaluator (0 none).
extern int16_t formula_error;
// Cleared when the text held a character the language does not know.
extern uint8_t formula_valid;
// Set by callers that compile without a user to ask (recomputation,
// reading a file): the units notice and questions are not shown and the
// reductions they would ask about are made.
extern uint8_t formula_questions_off;
// The units question has been asked during this compilation; the unit
// check asks it at most once too.
extern uint8_t formula_question_asked;

// Compiles one formula line. Returns 0 (the program is in formula_program),
// -1 for an empty text, a syntax error, an unknown character, a reference
// to a parent that does not exist, or nesting too deep; otherwise the code
// of the failed check (2 incompatible units refused, 3 division by zero,
// 4 power of a negative base, 5 power of zero, 6 square root of a negative
// number, 7 logarithm of a negative number, 8 argch outside its domain,
// 10 asin, acos, argth outside [-1, 1], 12 reduction refused). On failure
// *error_position is the index of the character where it was found. The
// caller's text is never changed.
int16_t compile_formula(char* text, uint16_t* error_position);

// ---- Evaluator ----
// The program to run and the index of the next cell; the caller sets the
// pointer, the index and formula_error to 0 and makes the calculation
// current before each evaluation.
extern const formula_cell* formula_code;
extern uint16_t formula_cell_index;

// Runs the program: 0 with the result in value 0's `rayon` of the current
// calculation, 1 on failure (with the code in formula_error when a check
// failed), leaving the previous result in place.
int evaluate_compiled_formula();
