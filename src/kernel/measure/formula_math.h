// The arithmetic of formulas: the function table with its domains, random
// numbers, and the binary operations with their error codes. The compiler
// folds constants with it and the evaluator runs programs with it.
#pragma once

#include <cstdint>

using formula_function = double (*)(double);

inline constexpr int kFormulaFunctionCount = 23;
inline constexpr int kFnFabs = 0, kFnSqr = 1, kFnSqrt = 2, kFnLog = 3, kFnLog10 = 4, kFnExp = 5, kFnFloor = 6,
                     kFnCeil = 7, kFnRound = 8, kFnSin = 9, kFnAsin = 10, kFnCos = 11, kFnAcos = 12, kFnTan = 13,
                     kFnAtan = 14, kFnSinh = 15, kFnArgsh = 16, kFnCosh = 17, kFnArgch = 18, kFnTanh = 19,
                     kFnArgth = 20, kFnIdentite = 21, kFnSign = 22;

extern const formula_function formula_functions[kFormulaFunctionCount];
extern const char* const formula_function_names[kFormulaFunctionCount];

// The index of a canonical function name, kFormulaFunctionCount when unknown.
int calc_function_index(const char* name);

// The error code of a function's argument: 0 when it lies in the domain.
// Folding reports 7 for a logarithm of a negative number where evaluation
// reports 6.
int formula_function_domain(int function, double x, bool folding);

// A 16-bit draw of rand(): in [0, 1) without bounds, else between the
// bounds (in either order; infinite bounds give infinities).
double formula_random(const double* low, const double* high);

// A sum or difference that cancels to within 1e-12 of its operands' size
// becomes exactly 0.
void formula_cancel(double* result, double a, double b, char op);

// Within 1e-10 of an integer n with |x| < 2147483647.
bool formula_near_integer(double x, int32_t* n);

// a op b for "+", "-", "*", "/", "^", "m", "M", "r". Returns 0 or the error
// code (3 division by zero, 4 power of a negative base, 5 power of zero);
// folding applies the rules for constants.
int formula_binary(char op, double a, double b, bool folding, double* result);
