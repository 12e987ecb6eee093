#include "kernel/measure/formula.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "kernel/measure/unit_factor.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/text/kernel_strings.h"
#include "platform/kernel_services.h"

object* current_calculation = nullptr;
formula_cell* formula_program = nullptr;
int32_t formula_program_length = 0;
formula_unit* formula_result_unit = nullptr;
int16_t formula_error = 0;
uint8_t formula_valid = 1;
uint8_t formula_questions_off = 0;
uint8_t formula_question_asked = 0;
const formula_cell* formula_code = nullptr;
uint16_t formula_cell_index = 0;

namespace {

// Programs stay addressable by the evaluator's 16-bit cell index.
constexpr size_t kMaxCells = 30000;
// The parser's stacks and the evaluator's value stack start with 200
// entries and grow by doubling up to this many.
constexpr size_t kMaxStack = 10000;

formula_unit result_unit_record = formula_dimensionless;

// The units notices and the reduction question: why (a base, an exponent,
// a function's argument, which its name follows), then what is asked, which
// differs for a quantity with an angle.
constexpr int kRowIncompatibleUnits = 594;
constexpr int kRowAngleAsNumber = 595;
constexpr int kRowReduceBase = 596;
constexpr int kRowReduceExponent = 597;
constexpr int kRowReduceArgument = 598;
constexpr int kRowReduceLength = 599;
constexpr int kRowReduceAngle = 600;

enum Token {
  kEof = 0,
  kLineFeed = 10,
  kNumber = 258,
  kInfinity = 259,
  kVariable = 260,
  kSign = 261,
  kMulop = 262,
  kFunction = 263,
  kMinmax = 264,
  kRand = 265,
  kPower = 267,
  kUnknown = 268,
  kOpen = '(',
  kClose = ')',
  kComma = ',',
};

struct Spelling {
  const char* text;
  int function;
};

const Spelling kSpellings[] = {
    {"abs", kFnFabs},      {"Abs", kFnFabs},       {"ABS", kFnFabs},       {"fabs", kFnFabs},
    {"sqr", kFnSqr},       {"Sqr", kFnSqr},        {"SQR", kFnSqr},        {"Sq", kFnSqr},
    {"sqrt", kFnSqrt},     {"Sqrt", kFnSqrt},      {"SqRt", kFnSqrt},      {"SQRT", kFnSqrt},
    {"Rac", kFnSqrt},      {"ln", kFnLog},         {"Ln", kFnLog},         {"LN", kFnLog},
    {"Log", kFnLog},       {"log", kFnLog10},      {"log10", kFnLog10},    {"lg", kFnLog10},
    {"lg10", kFnLog10},    {"exp", kFnExp},        {"Exp", kFnExp},        {"EXP", kFnExp},
    {"floor", kFnFloor},   {"Floor", kFnFloor},    {"FLOOR", kFnFloor},    {"ceil", kFnCeil},
    {"Ceil", kFnCeil},     {"CEIL", kFnCeil},      {"Ceiling", kFnCeil},   {"round", kFnRound},
    {"Round", kFnRound},   {"ROUND", kFnRound},    {"sign", kFnSign},      {"Sign", kFnSign},
    {"SIGN", kFnSign},     {"signe", kFnSign},     {"Signe", kFnSign},     {"SIGNE", kFnSign},
    {"sin", kFnSin},       {"Sin", kFnSin},        {"SIN", kFnSin},        {"cos", kFnCos},
    {"Cos", kFnCos},       {"COS", kFnCos},        {"tan", kFnTan},        {"Tan", kFnTan},
    {"TAN", kFnTan},       {"asin", kFnAsin},      {"arcsin", kFnAsin},    {"ArcSin", kFnAsin},
    {"ARCSIN", kFnAsin},   {"acos", kFnAcos},      {"arccos", kFnAcos},    {"ArcCos", kFnAcos},
    {"ARCCOS", kFnAcos},   {"atan", kFnAtan},      {"arctan", kFnAtan},    {"ArcTan", kFnAtan},
    {"ARCTAN", kFnAtan},   {"sinh", kFnSinh},      {"SinH", kFnSinh},      {"SINH", kFnSinh},
    {"sh", kFnSinh},       {"Sh", kFnSinh},        {"cosh", kFnCosh},      {"CosH", kFnCosh},
    {"COSH", kFnCosh},     {"ch", kFnCosh},        {"Ch", kFnCosh},        {"tanh", kFnTanh},
    {"TanH", kFnTanh},     {"TANH", kFnTanh},      {"argsh", kFnArgsh},    {"ArgSh", kFnArgsh},
    {"ARGSH", kFnArgsh},   {"arcsh", kFnArgsh},    {"ArcSh", kFnArgsh},    {"ARCSH", kFnArgsh},
    {"asinh", kFnArgsh},   {"ASINH", kFnArgsh},    {"arcsinh", kFnArgsh},  {"argch", kFnArgch},
    {"ArgCh", kFnArgch},   {"ARGCH", kFnArgch},    {"arcch", kFnArgch},    {"ArcCh", kFnArgch},
    {"ARCCH", kFnArgch},   {"acosh", kFnArgch},    {"ACOSH", kFnArgch},    {"arccosh", kFnArgch},
    {"argth", kFnArgth},   {"ArgTh", kFnArgth},    {"ARGTH", kFnArgth},    {"arth", kFnArgth},
    {"Arth", kFnArgth},    {"ArTh", kFnArgth},     {"arcth", kFnArgth},    {"ArcTh", kFnArgth},
    {"ARCTH", kFnArgth},   {"atanh", kFnArgth},    {"ATANH", kFnArgth},    {"arctanh", kFnArgth},
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

struct Failure {
  int16_t code;
  size_t position;
};

// A subexpression: a constant (folded, no cells) or an expression whose
// cells run from `begin` to the end of the program being built.
struct Operand {
  bool constant = true;
  bool infinity = false;  // the infinity constant itself, not yet folded
  double value = 0;
  formula_unit unit = formula_dimensionless;
  size_t begin = 0;
};

class Compiler {
 public:
  explicit Compiler(const std::string& text) : text_(text) {}

  int16_t run(std::vector<formula_cell>* program, formula_unit* unit) {
    next();
    while (tok_ == kLineFeed) next();
    if (tok_ == kEof) {
      *unit = formula_dimensionless;
      return 0;
    }
    Operand e = expression();
    if (tok_ != kLineFeed && tok_ != kEof) syntax();
    if (e.constant) {
      // A line that is a constant is one number cell, infinite or not.
      cells_.clear();
      e.infinity = false;
      materialize(e, 0);
    }
    *unit = e.unit;
    *program = std::move(cells_);
    return 0;
  }

  [[noreturn]] void fail(int16_t code) { throw Failure{code, start_}; }
  [[noreturn]] void syntax() { fail(-1); }

 private:
  // ---- Scanner ----
  char at(size_t i) const { return i < text_.size() ? text_[i] : '\0'; }

  void next() {
    while (at(pos_) == ' ' || at(pos_) == '\t') ++pos_;
    start_ = pos_;
    if (pos_ >= text_.size()) {
      tok_ = kEof;
      return;
    }
    const char c = text_[pos_];
    if (c == '\n' || c == '(' || c == ')' || c == ',') {
      ++pos_;
      tok_ = c;
      return;
    }
    if (c == '+' || c == '-') {
      int minus = 0;
      while (at(pos_) == '+' || at(pos_) == '-') minus += text_[pos_++] == '-';
      tok_ = kSign;
      op_ = minus % 2 ? '-' : '+';
      return;
    }
    if (c == '*' || c == '/' || c == ':' || c == '\xF6') {
      ++pos_;
      tok_ = kMulop;
      op_ = c == '*' ? '*' : '/';
      return;
    }
    if (c == '^') {
      ++pos_;
      tok_ = kPower;
      return;
    }
    if (c == '#' && is_digit(at(pos_ + 1))) {
      ++pos_;
      int64_t n = 0;
      while (is_digit(at(pos_))) {
        if (n < 1000000) n = n * 10 + (text_[pos_] - '0');
        ++pos_;
      }
      tok_ = kVariable;
      ref_ = n;
      return;
    }
    if (scan_number()) return;
    if (scan_word()) return;
    ++pos_;
    tok_ = kUnknown;
    formula_valid = 0;
    syntax();
  }

  // A number, pi or infinity with an optional unit word.
  bool scan_number() {
    size_t p = pos_;
    bool infinite = false;
    double value = 0;
    if (is_digit(at(p)) || (at(p) == '.' && is_digit(at(p + 1)))) {
      while (is_digit(at(p))) ++p;
      if (at(p) == '.') {
        ++p;
        while (is_digit(at(p))) ++p;
      }
      if (at(p) == 'e' || at(p) == 'E') {
        size_t q = p + 1;
        if (at(q) == '+' || at(q) == '-') ++q;
        if (is_digit(at(q))) {
          while (is_digit(at(q))) ++q;
          p = q;
        }
      }
      value = std::strtod(std::string(text_, pos_, p - pos_).c_str(), nullptr);
    } else if (text_.compare(p, 2, "pi") == 0 || text_.compare(p, 2, "Pi") == 0 || text_.compare(p, 2, "PI") == 0) {
      value = std::numbers::pi;
      p += 2;
    } else if (at(p) == '\xE3') {
      value = std::numbers::pi;
      p += 1;
    } else if (text_.compare(p, 6, "infini") == 0) {
      infinite = true;
      p += 6;
    } else if (at(p) == '\xEC') {
      infinite = true;
      p += 1;
    } else {
      return false;
    }
    size_t q = p;
    if (at(q) == '\t') ++q;
    else
      while (at(q) == ' ') ++q;
    formula_unit unit = formula_dimensionless;
    const int used = scan_unit_word(text_.c_str() + q, &unit);
    if (used > 0) p = q + static_cast<size_t>(used);
    pos_ = p;
    tok_ = infinite ? kInfinity : kNumber;
    num_ = infinite ? HUGE_VAL * unit.factor : value * unit.factor;
    num_unit_ = unit;
    return true;
  }

  // Function names, min and max, rand: the longest spelling wins.
  bool scan_word() {
    size_t best = 0;
    int function = -1;
    for (const Spelling& s : kSpellings) {
      const size_t n = std::strlen(s.text);
      if (n > best && text_.compare(pos_, n, s.text) == 0) {
        best = n;
        function = s.function;
      }
    }
    static const char* const kMinMax[] = {"min", "Min", "MIN", "max", "Max", "MAX"};
    for (int i = 0; i < 6; ++i)
      if (best < 3 && text_.compare(pos_, 3, kMinMax[i]) == 0) {
        pos_ += 3;
        tok_ = kMinmax;
        op_ = i < 3 ? 'm' : 'M';
        return true;
      }
    for (const char* r : {"rand", "Rand", "RAND"})
      if (best < 4 && text_.compare(pos_, 4, r) == 0) {
        pos_ += 4;
        tok_ = kRand;
        return true;
      }
    if (function < 0) return false;
    pos_ += best;
    tok_ = kFunction;
    function_ = function;
    return true;
  }

  void expect(int token) {
    if (tok_ != token) syntax();
    next();
  }

  // ---- Cells ----
  // A folded constant is a number cell, infinite or not; only the infinity
  // constant itself is an infinity cell.
  static formula_cell number_cell(double v, bool infinity = false) {
    formula_cell c{};
    c.kind = infinity ? kCellInfinity : kCellNumber;
    c.number = v;
    return c;
  }
  static formula_cell operator_cell(char op) {
    formula_cell c{};
    c.kind = kCellOperator;
    c.op = op;
    return c;
  }

  void push(const formula_cell& c) {
    if (cells_.size() >= kMaxCells) syntax();
    cells_.push_back(c);
  }

  // Inserts cells at `at`; an operand that starts there or later moves.
  void insert(size_t at, std::initializer_list<formula_cell> cells, Operand* later) {
    if (cells_.size() + cells.size() > kMaxCells) syntax();
    cells_.insert(cells_.begin() + static_cast<std::ptrdiff_t>(at), cells);
    if (later && !later->constant && later->begin >= at) later->begin += cells.size();
  }

  // Gives a constant its number cell at `at`.
  void materialize(Operand& x, size_t at, Operand* later = nullptr) {
    insert(at, {number_cell(x.value, x.infinity)}, later);
    x.constant = false;
    x.begin = at;
  }

  // Multiplies or divides an operand by a number; `right` is the operand
  // that follows it, whose cells move when cells are inserted after x.
  void scale(Operand& x, double factor, char op, Operand* right) {
    if (x.constant) {
      x.value = op == '*' ? x.value * factor : x.value / factor;
      return;
    }
    const size_t end = right && !right->constant ? right->begin : cells_.size();
    insert(end, {number_cell(factor), operator_cell(op)}, right);
  }

  // ---- Messages ----
  bool notice(const char* text) {
    if (formula_questions_off || notice_shown_) return true;
    notice_shown_ = true;
    // The notice is this compilation's units question: its callers tell
    // the user nothing more about the units.
    formula_question_asked = 1;
    message_compose(text, "", "", "");
    return message_show(130) == 1;
  }

  // Makes an operand a plain number in its display unit, after asking.
  void reduce(Operand& x, Operand* right, const char* why, const char* function_name = nullptr) {
    if (unit_is_dimensionless(x.unit)) return;
    if (!formula_questions_off && !reduction_answered_) {
      const char* second = kernel_string(x.unit.num[kUnitAngle] != 0 ? kRowReduceAngle : kRowReduceLength);
      message_compose(why, function_name ? function_name : "", second, "");
      formula_question_asked = 1;
      reduction_accepted_ = message_show(129) == 1;
      reduction_answered_ = true;
    }
    if (!formula_questions_off && !reduction_accepted_) fail(12);
    scale(x, x.unit.factor, '/', right);
    x.unit = formula_dimensionless;
  }

  void unit_or_fail(bool ok) {
    if (!ok) syntax();
  }

  // The last cell of an operand is a variable shown in degrees or grads.
  bool variable_in_degrees_or_grads(const Operand& x) const {
    if (x.constant || cells_.size() != x.begin + 1 || cells_[x.begin].kind != kCellVariable) return false;
    const object* obj = parent_object(cells_[x.begin].ref);
    if (!obj || (obj->settings.unite >> 5) != 4) return false;
    const unsigned index = obj->settings.unite & 31;
    return index == 1 || index == 2;
  }

  // Sums, differences, min, max and random between: like quantities.
  void match_units(Operand& l, Operand& r, formula_unit* result) {
    const int code = unit_compare(l.unit, r.unit);
    if (code == 0) {
      *result = l.unit;
      return;
    }
    if (code == 1 || code == -1) {
      Operand& dim = code == 1 ? l : r;
      Operand& plain = code == 1 ? r : l;
      if (dim.unit.num[kUnitAngle] != 0) {
        const bool shown_unit = dim.unit.num[kUnitAngle] == 1 && dim.unit.den[kUnitAngle] == 1 &&
                                variable_in_degrees_or_grads(dim);
        if (!shown_unit && !notice(kernel_string(kRowAngleAsNumber))) fail(2);
      }
      scale(plain, dim.unit.factor, '*', &plain == &l ? &r : nullptr);
      *result = dim.unit;
      return;
    }
    scale(l, l.unit.factor, '/', &r);
    scale(r, r.unit.factor, '/', nullptr);
    l.unit = r.unit = formula_dimensionless;
    *result = formula_dimensionless;
    if (!notice(kernel_string(kRowIncompatibleUnits))) fail(2);
  }

  // Puts the constant operand of a mixed pair into cells.
  void materialize_pair(Operand& l, Operand& r) {
    if (l.constant && !r.constant) materialize(l, r.begin, &r);
    else if (r.constant && !l.constant) materialize(r, cells_.size());
  }

  Operand finish(Operand& l, char op, const formula_unit& unit) {
    push(operator_cell(op));
    Operand x;
    x.constant = false;
    x.begin = l.begin;
    x.unit = unit;
    return x;
  }

  void fold(Operand& l, const Operand& r, char op) {
    double v = 0;
    const int code = formula_binary(op, l.value, r.value, true, &v);
    if (code) fail(static_cast<int16_t>(code));
    l.value = v;
    l.infinity = false;
  }

  Operand add(Operand l, Operand r, char op) {
    formula_unit unit;
    match_units(l, r, &unit);
    if (l.constant && r.constant) {
      fold(l, r, op);
      l.unit = unit;
      return l;
    }
    materialize_pair(l, r);
    return finish(l, op, unit);
  }

  Operand multiply(Operand l, Operand r, char op) {
    formula_unit unit;
    unit_or_fail(unit_product(&unit, l.unit, r.unit, op == '*' ? 1 : -1));
    if (op == '/' && r.constant && r.value == 0) fail(3);
    if (l.constant && r.constant) {
      fold(l, r, op);
      l.unit = unit;
      return l;
    }
    materialize_pair(l, r);
    return finish(l, op, unit);
  }

  Operand power(Operand b, Operand e) {
    if (b.constant && e.constant) {
      reduce(e, nullptr, kernel_string(kRowReduceExponent));
      formula_unit unit = formula_dimensionless;
      int32_t n = 0;
      if (formula_near_integer(e.value, &n) && n >= -8 && n <= 8) unit_or_fail(unit_power(&unit, b.unit, n, 1));
      fold(b, e, '^');
      b.unit = unit;
      return b;
    }
    if (b.constant && b.value < 0) fail(4);
    formula_unit unit = formula_dimensionless;
    if (!b.constant && e.constant) {
      reduce(e, nullptr, kernel_string(kRowReduceExponent));
      if (e.value == 2) unit_or_fail(unit_power(&unit, b.unit, 2, 1));
      else if (e.value == 0.5) unit_or_fail(unit_power(&unit, b.unit, 1, 2));
      else if (e.value == 1) unit = b.unit;
      else reduce(b, &e, kernel_string(kRowReduceBase));
    } else {
      reduce(b, &e, kernel_string(kRowReduceBase));
      reduce(e, nullptr, kernel_string(kRowReduceExponent));
    }
    materialize_pair(b, e);
    return finish(b, '^', unit);
  }

  Operand function(int fn, Operand x) {
    formula_unit unit;
    const bool display_rounding = (fn == kFnFloor || fn == kFnCeil || fn == kFnRound) && x.unit.factor != 1;
    double angle_factor = 1;
    if (fn == kFnSin || fn == kFnCos || fn == kFnTan) {
      if (!unit_is_pure_angle(x.unit)) {
        reduce(x, nullptr, kernel_string(kRowReduceArgument), formula_function_names[fn]);
        const unsigned preferred = angle_unit_pref & 31;
        if (preferred == 1) angle_factor = std::numbers::pi / 180;
        else if (preferred == 2) angle_factor = std::numbers::pi / 200;
      }
    } else if (fn != kFnFabs && fn != kFnSqr && fn != kFnSqrt && fn != kFnSign && !display_rounding &&
               fn != kFnFloor && fn != kFnCeil && fn != kFnRound) {
      reduce(x, nullptr, kernel_string(kRowReduceArgument), formula_function_names[fn]);
    }
    unit_or_fail(unit_function_result(&unit, x.unit, fn));
    const double factor = x.unit.factor;
    if (x.constant) {
      double v = x.value;
      if (display_rounding) v /= factor;
      v *= angle_factor;
      const int code = formula_function_domain(fn, v, true);
      if (code) fail(static_cast<int16_t>(code));
      v = formula_functions[fn](v);
      if (display_rounding) v *= factor;
      x.value = v;
      x.infinity = false;
      x.unit = unit;
      return x;
    }
    if (display_rounding) {
      push(number_cell(factor));
      push(operator_cell('/'));
    }
    if (angle_factor != 1) {
      push(number_cell(angle_factor));
      push(operator_cell('*'));
    }
    formula_cell c{};
    c.kind = kCellFunction;
    c.function = static_cast<uint8_t>(fn);
    c.fn = formula_functions[fn];
    push(c);
    if (display_rounding) {
      push(number_cell(factor));
      push(operator_cell('*'));
    }
    x.unit = unit;
    return x;
  }

  // "min(3.5)": the value read as a pair typed with a decimal comma.
  static double single_min_max(double x, char op) {
    const double i = std::floor(x);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%G", x - i);
    const double d = std::strlen(buffer) > 2 ? std::atof(buffer + 2) : 0;
    return op == 'm' ? (d < i ? d : i) : (d > i ? d : i);
  }

  const object* parent_object(int32_t n) const {
    const object* calc = current_calculation;
    if (!calc || !calc->parents || n < 1 || n > calc->nbparents) return nullptr;
    return calc->parents[n - 1];
  }

  // ---- Grammar ----
  // An operator-precedence parse over two explicit stacks, so that nesting
  // costs heap memory, never C++ stack: `frames_` holds the pending
  // operators and brackets, `operands_` the finished subexpressions. Every
  // grammar symbol they hold counts against one bound; beyond it the
  // parse fails ("Pars. OFlow").
  enum FrameKind : uint8_t { kFrameOpen, kFrameFunction, kFrameMinMax, kFrameRand, kFrameUnary, kFrameBinary };
  // Binding levels, loosest first; the unary sign binds looser than a power.
  enum Level : uint8_t { kLevelSign = 1, kLevelMul = 2, kLevelUnary = 3, kLevelPower = 4 };
  struct Frame {
    FrameKind kind;
    char op = 0;        // the operator; 'm' or 'M' for min and max
    Level level = kLevelUnary;
    int function = 0;
    bool second = false;  // min, max, rand: the comma was read
  };

  // Symbols a frame stands for: a function name or min, max, rand with its
  // bracket (and comma) are two (three), anything else one.
  static int symbols_of(const Frame& f) {
    const bool named = f.kind == kFrameFunction || f.kind == kFrameMinMax || f.kind == kFrameRand;
    return named ? (f.second ? 3 : 2) : 1;
  }

  void count_symbols(int n) {
    symbols_ += n;
    if (symbols_ > static_cast<int>(kMaxStack)) syntax();  // Pars. OFlow
  }
  template <typename T>
  static void make_room(std::vector<T>& stack) {
    if (stack.size() == stack.capacity()) stack.reserve(std::min(stack.capacity() * 2, kMaxStack));
  }
  void push_frame(const Frame& f) {
    count_symbols(symbols_of(f));
    make_room(frames_);
    frames_.push_back(f);
  }
  Frame pop_frame() {
    const Frame f = frames_.back();
    frames_.pop_back();
    symbols_ -= symbols_of(f);
    return f;
  }
  void push_operand(const Operand& x) {
    count_symbols(1);
    make_room(operands_);
    operands_.push_back(x);
  }
  Operand pop_operand() {
    const Operand x = operands_.back();
    operands_.pop_back();
    --symbols_;
    return x;
  }

  bool operator_on_top() const {
    return !frames_.empty() && (frames_.back().kind == kFrameUnary || frames_.back().kind == kFrameBinary);
  }

  // Applies the operator on top of the frames to its operands.
  void reduce_top() {
    const Frame f = pop_frame();
    if (f.kind == kFrameUnary) {
      Operand& x = operands_.back();
      if (f.op == '-') {
        if (x.constant) x.value = -x.value;
        else push(operator_cell('n'));
      }
      return;
    }
    Operand r = pop_operand();
    Operand l = pop_operand();
    if (f.level == kLevelSign) push_operand(add(l, r, f.op));
    else if (f.level == kLevelMul) push_operand(multiply(l, r, f.op));
    else push_operand(power(l, r));
  }

  // Applies the pending operators that bind at least as tightly as `level`
  // (more tightly, for the right-associative power).
  void reduce_to(Level level) {
    while (operator_on_top()) {
      const Level top = frames_.back().level;
      if (level == kLevelPower ? top <= level : top < level) return;
      reduce_top();
    }
  }

  void binary(char op, Level level) {
    reduce_to(level);
    Frame f{kFrameBinary};
    f.op = op;
    f.level = level;
    push_frame(f);
    next();
  }

  // The closing bracket at the current token.
  void close_bracket() {
    reduce_to(kLevelSign);
    if (frames_.empty()) syntax();
    const Frame f = frames_.back();
    switch (f.kind) {
      case kFrameOpen:
        pop_frame();
        next();
        return;
      case kFrameFunction: {
        pop_frame();
        next();
        const Operand x = pop_operand();
        push_operand(function(f.function, x));
        return;
      }
      case kFrameMinMax:
      case kFrameRand: {
        if (!f.second) {
          Operand& a = operands_.back();
          if (f.kind == kFrameRand || !a.constant) syntax();
          pop_frame();
          next();
          a.value = single_min_max(a.value, f.op);
          a.infinity = false;
          return;
        }
        pop_frame();
        next();
        const Operand b = pop_operand();
        const Operand a = pop_operand();
        push_operand(add(a, b, f.op));
        return;
      }
      default:
        syntax();
    }
  }

  // One expression, up to the token that ends it.
  Operand expression() {
    frames_.reserve(200);
    operands_.reserve(200);
    for (;;) {
      // An operand is expected.
      switch (tok_) {
        case kSign: {
          Frame f{kFrameUnary};
          f.op = op_;
          push_frame(f);
          next();
          continue;
        }
        case kOpen:
          push_frame(Frame{kFrameOpen});
          next();
          continue;
        case kFunction: {
          Frame f{kFrameFunction};
          f.function = function_;
          next();
          expect(kOpen);
          push_frame(f);
          continue;
        }
        case kMinmax:
        case kRand: {
          const bool rand = tok_ == kRand;
          Frame f{rand ? kFrameRand : kFrameMinMax};
          f.op = rand ? 'r' : op_;
          next();
          expect(kOpen);
          if (!rand || tok_ != kClose) {
            push_frame(f);
            continue;
          }
          next();
          Operand x;
          x.constant = false;
          x.begin = cells_.size();
          push(operator_cell('R'));
          push_operand(x);
          break;
        }
        default:
          push_operand(primary());
          break;
      }
      // An operator, a closing bracket, a comma or the end is expected.
      for (bool operand_next = false; !operand_next;) {
        switch (tok_) {
          case kPower:
            binary('^', kLevelPower);
            operand_next = true;
            break;
          case kMulop:
            binary(op_, kLevelMul);
            operand_next = true;
            break;
          case kSign:
            binary(op_, kLevelSign);
            operand_next = true;
            break;
          case kClose:
            close_bracket();
            break;
          case kComma: {
            reduce_to(kLevelSign);
            if (frames_.empty()) syntax();
            Frame& f = frames_.back();
            if ((f.kind != kFrameMinMax && f.kind != kFrameRand) || f.second) syntax();
            f.second = true;
            count_symbols(1);
            next();
            operand_next = true;
            break;
          }
          default:
            reduce_to(kLevelSign);
            if (!frames_.empty()) syntax();
            return pop_operand();
        }
      }
    }
  }

  // A number, infinity or a reference to a parent.
  Operand primary() {
    Operand x;
    switch (tok_) {
      case kNumber:
      case kInfinity:
        x.value = num_;
        x.unit = num_unit_;
        x.infinity = tok_ == kInfinity;
        result_unit_record = num_unit_;
        next();
        return x;
      case kVariable: {
        const object* obj = parent_object(static_cast<int32_t>(ref_));
        if (!obj) syntax();
        formula_cell c{};
        c.kind = kCellVariable;
        c.ref = static_cast<int32_t>(ref_);
        c.obj = const_cast<object*>(obj);
        x.constant = false;
        x.begin = cells_.size();
        x.unit = unit_of_object(obj);
        push(c);
        next();
        return x;
      }
      default:
        syntax();
    }
  }

  const std::string& text_;
  size_t pos_ = 0;
  size_t start_ = 0;
  int tok_ = kEof;
  char op_ = 0;
  int64_t ref_ = 0;
  int function_ = 0;
  double num_ = 0;
  formula_unit num_unit_ = formula_dimensionless;
  int symbols_ = 0;
  std::vector<Frame> frames_;
  std::vector<Operand> operands_;
  bool notice_shown_ = false;
  bool reduction_answered_ = false;
  bool reduction_accepted_ = false;
  std::vector<formula_cell> cells_;
};

std::vector<double>& eval_stack() {
  static std::vector<double> stack(200);
  return stack;
}

}  // namespace

int16_t compile_formula(char* text, uint16_t* error_position) {
  formula_error = 0;
  formula_valid = 1;
  formula_program = nullptr;
  formula_program_length = 0;
  formula_length_family[0] = '\0';
  formula_angle_family[0] = '\0';
  formula_question_asked = 0;
  if (error_position) *error_position = 0;
  if (!text || text[0] == '\0') return -1;
  // A copy: the caller's text keeps its bytes and needs no room for more.
  // The signs typed on this platform are Mac Roman; the scanner knows pi,
  // infinity, the division sign and the degree sign by their codes of the
  // formula language.
  std::string copy(text);
  for (char& c : copy) {
    if (c == '\xA1') c = '\xF8';
    else if (c == '\xB9') c = '\xE3';
    else if (c == '\xB0') c = '\xEC';
    else if (c == '\xD6') c = '\xF6';
  }
  if (copy.back() != '\n') copy += '\n';

  Compiler compiler(copy);
  std::vector<formula_cell> cells;
  formula_unit unit = formula_dimensionless;
  try {
    compiler.run(&cells, &unit);
  } catch (const Failure& f) {
    formula_error = f.code;
    if (error_position) *error_position = static_cast<uint16_t>(f.position > 0xFFFF ? 0xFFFF : f.position);
    return f.code;
  }
  auto* program = static_cast<formula_cell*>(
      GlobalAlloc(GPTR, static_cast<uint32_t>((cells.size() + 1) * sizeof(formula_cell))));
  if (!program) {
    MessageBeep(0);
    return -1;
  }
  for (size_t i = 0; i < cells.size(); ++i) program[i] = cells[i];
  program[cells.size()].kind = kCellEnd;
  formula_program = program;
  formula_program_length = static_cast<int32_t>(cells.size() + 1);
  result_unit_record = unit;
  formula_result_unit = &result_unit_record;
  return 0;
}

int evaluate_compiled_formula() {
  const formula_cell* code = formula_code;
  object* calc = current_calculation;
  if (!code || !calc) return 1;
  std::vector<double>& stack = eval_stack();
  size_t sp = 0;
  for (;;) {
    const formula_cell& c = code[formula_cell_index++];
    if (sp + 1 >= stack.size()) {
      if (stack.size() >= kMaxStack) return 1;
      stack.resize(std::min(stack.size() * 2, kMaxStack));
    }
    double* s = stack.data();
    switch (c.kind) {
      case kCellEnd:
        if (sp != 1 || !calc->valeurs || calc->nbvaleurs < 1) return 1;
        calc->valeurs[0].info.rayon = s[0];
        // The domains are tested on the arguments, so what the C library
        // left in errno along the way says nothing.
        errno = 0;
        return 0;
      case kCellVariable: {
        // Read through the calculation's own parents: the cell's pointer
        // may belong to the figure the program was copied from.
        if (c.ref < 1 || c.ref > calc->nbparents || !calc->parents) return 1;
        const object* p = calc->parents[c.ref - 1];
        if (!p || !p->valeurs || p->nbvaleurs < 1) return 1;
        s[sp++] = p->valeurs[0].info.rayon;
        break;
      }
      case kCellNumber:
      case kCellInfinity:
        s[sp++] = c.number;
        break;
      case kCellFunction: {
        if (sp < 1 || c.function >= kFormulaFunctionCount) return 1;
        const double x = s[sp - 1];
        const int code_word = formula_function_domain(c.function, x, false);
        if (code_word) {
          formula_error = static_cast<int16_t>(code_word);
          return 1;
        }
        s[sp - 1] = formula_functions[c.function](x);
        break;
      }
      case kCellOperator:
        if (c.op == 'R') {
          s[sp++] = formula_random(nullptr, nullptr);
        } else if (c.op == 'n') {
          if (sp < 1) return 1;
          s[sp - 1] = -s[sp - 1];
        } else {
          if (sp < 2) return 1;
          double r = 0;
          const int code_word = formula_binary(c.op, s[sp - 2], s[sp - 1], false, &r);
          if (code_word) {
            if (code_word != 1) formula_error = static_cast<int16_t>(code_word);
            return 1;
          }
          s[sp - 2] = r;
          --sp;
        }
        break;
      default:
        return 1;
    }
  }
}
