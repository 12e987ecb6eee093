#include "kernel/measure/formula_math.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

double calc_fabs(double x) { return std::fabs(x); }
double calc_sqr(double x) { return x * x; }
double calc_sqrt(double x) { return std::sqrt(x); }
double calc_log(double x) { return std::log(x); }
double calc_log10(double x) { return std::log10(x); }
double calc_exp(double x) { return std::exp(x); }
double calc_floor(double x) { return std::floor(x); }
double calc_ceil(double x) { return std::ceil(x); }
double calc_round(double x) { return std::floor(x + 0.5); }
double calc_sin(double x) { return std::sin(x); }
double calc_asin(double x) { return std::asin(x); }
double calc_cos(double x) { return std::cos(x); }
double calc_acos(double x) { return std::acos(x); }
double calc_tan(double x) { return std::tan(x); }
double calc_atan(double x) { return std::atan(x); }
double calc_sinh(double x) { return std::sinh(x); }
double calc_argsh(double x) { return std::log(x + std::sqrt(x * x + 1)); }
double calc_cosh(double x) { return std::cosh(x); }
double calc_argch(double x) { return std::log(x + std::sqrt(x * x - 1)); }
double calc_tanh(double x) { return std::tanh(x); }
double calc_argth(double x) { return 0.5 * std::log((1 + x) / (1 - x)); }
double calc_identite(double x) { return x; }
double calc_sign(double x) { return x > 0 ? 1 : x < 0 ? -1 : 0; }

}  // namespace

const formula_function formula_functions[kFormulaFunctionCount] = {
    calc_fabs, calc_sqr,  calc_sqrt, calc_log,  calc_log10, calc_exp,   calc_floor, calc_ceil,
    calc_round, calc_sin, calc_asin, calc_cos,  calc_acos,  calc_tan,   calc_atan,  calc_sinh,
    calc_argsh, calc_cosh, calc_argch, calc_tanh, calc_argth, calc_identite, calc_sign};

const char* const formula_function_names[kFormulaFunctionCount] = {
    "fabs", "sqr",  "sqrt",  "log",   "log10", "exp",   "floor", "ceil",  "round", "sin",      "asin", "cos",
    "acos", "tan",  "atan",  "sinh",  "argsh", "cosh",  "argch", "tanh",  "argth", "identite", "sign"};

int calc_function_index(const char* name) {
  if (!name) return kFormulaFunctionCount;
  for (int i = 0; i < kFormulaFunctionCount; ++i)
    if (std::strcmp(name, formula_function_names[i]) == 0) return i;
  return kFormulaFunctionCount;
}

int formula_function_domain(int function, double x, bool folding) {
  switch (function) {
    case kFnSqrt:
      return x < 0 ? 6 : 0;
    case kFnLog:
    case kFnLog10:
      return x < 0 ? (folding ? 7 : 6) : 0;
    case kFnAsin:
    case kFnAcos:
    case kFnArgth:
      return x < -1 || x > 1 ? 10 : 0;
    case kFnArgch:
      return folding ? (x > 1 ? 0 : 8) : (x < 1 ? 8 : 0);
    default:
      return 0;
  }
}

double formula_random(const double* low, const double* high) {
  const double r = static_cast<double>(std::rand() & 0xFFFF);
  if (!low || !high) return r / 65536;
  double lo = *low, hi = *high;
  if (lo > hi) std::swap(lo, hi);
  const bool lo_finite = std::isfinite(lo), hi_finite = std::isfinite(hi);
  if (lo_finite && hi_finite) return lo + r * (hi - lo) / 65536;
  if (hi_finite) return -HUGE_VAL;
  if (lo_finite) return HUGE_VAL;
  return r < 16384 ? -HUGE_VAL : HUGE_VAL;
}

void formula_cancel(double* result, double a, double b, char op) {
  if (op != '+' && op != '-') return;
  const double r = *result;
  if (r != 0 && std::fabs(r) < 1e-12 * (std::fabs(a) + std::fabs(b))) *result = 0;
}

bool formula_near_integer(double x, int32_t* n) {
  if (!(std::fabs(x) < 2147483647.0)) return false;
  if (std::fabs(x - std::floor(x + 0.5)) > 1e-10) return false;
  if (n) *n = static_cast<int32_t>(x > 0 ? std::floor(x + 1e-10) : std::ceil(x - 1e-10));
  return true;
}

int formula_binary(char op, double a, double b, bool folding, double* result) {
  switch (op) {
    case '+':
      *result = a + b;
      formula_cancel(result, a, b, op);
      return 0;
    case '-':
      *result = a - b;
      formula_cancel(result, a, b, op);
      return 0;
    case '*':
      *result = a * b;
      return 0;
    case '/':
      if (b == 0) return 3;
      *result = a / b;
      return 0;
    case '^': {
      int32_t n = 0;
      const bool integral = formula_near_integer(b, &n);
      if (folding) {
        if (a < 0 && !integral) return 4;
        if (integral && n < 1 && a == 0) return 5;
        if (b == 0) *result = 1;
        else if (b == 1) *result = a;
        else if (b == -1) *result = 1 / a;
        else *result = std::pow(a, b);
        return 0;
      }
      if (a <= 0 && !integral) return 4;
      if (a == 0 && b < 0) return 5;
      *result = std::pow(a, b);
      return 0;
    }
    case 'm':
      *result = b < a ? b : a;
      return 0;
    case 'M':
      *result = b > a ? b : a;
      return 0;
    case 'r':
      *result = formula_random(&a, &b);
      return 0;
    default:
      return 1;
  }
}
