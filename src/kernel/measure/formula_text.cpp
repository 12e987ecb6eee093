#include "kernel/measure/formula_text.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/file_state.h"
#include "kernel/files/object_helpers.h"
#include "kernel/files/text_convert.h"
#include "kernel/measure/formula.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/units.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/text/text_record.h"
#include "kernel/text/kernel_strings.h"
#include "platform/kernel_services.h"

std::string formula_text_buffer;
uint8_t formula_used_letters[26];
uint16_t formula_used_letter_count = 0;
uint8_t formula_unit_byte = 0;
uint8_t formula_conversion_mode = 1;

namespace {

bool is_letter(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b < 128 && std::isalpha(b);
}
bool is_digit(char c) { return c >= '0' && c <= '9'; }

const char* const kTypedFunctionNames[] = {
    "arccos", "acos", "argch", "arcsin", "asin",  "argsh", "arcsinh", "arctan", "atan", "argth",
    "arctanh", "round", "sqr",  "sq",    "cos",   "cosh",  "ch",      "exp",    "log10", "lg",
    "log",    "ln",   "max",   "min",   "random", "rand", "pi",      "ceil",   "floor", "sqrt",
    "signe",  "sign", "sin",   "sinh",  "sh",    "tan",   "tanh",    "th",     "abs"};

// The question about a result of an angle times a length: two lines.
constexpr int kRowUnitQuestion = 601;
constexpr int kRowUnitQuestionChoice = 602;

}  // namespace

bool is_formula_variable_letter(const char* text, size_t index) {
  const char c = text[index];
  if (!is_letter(c)) return false;
  const char before = index > 0 ? text[index - 1] : '\0';
  const char after = text[index + 1];
  if (is_letter(before) || is_letter(after)) return false;
  if ((c == 'e' || c == 'E') && is_digit(before) && (is_digit(after) || after == '-')) return false;
  return true;
}

const char* mark_formula_variables(const char* text, const object* obj) {
  formula_text_buffer.clear();
  if (!text) return formula_text_buffer.c_str();
  std::string source;
  for (const char* p = text; *p; ++p)
    if (*p != ' ') source += *p;
  // Which characters are variables is decided once; the text's own bytes
  // never serve as marks.
  std::vector<bool> variable(source.size());
  bool used[26] = {};
  for (size_t i = 0; i < source.size(); ++i) {
    variable[i] = is_formula_variable_letter(source.c_str(), i);
    if (variable[i]) used[std::tolower(static_cast<unsigned char>(source[i])) - 'a'] = true;
  }
  int numbers[26] = {};
  int count = 0;
  for (int i = 0; i < 26; ++i)
    if (used[i]) numbers[i] = ++count;
  const int parents = obj ? obj->nbparents : -1;
  for (size_t i = 0; i < source.size(); ++i) {
    if (!variable[i]) {
      formula_text_buffer += source[i];
      continue;
    }
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(source[i])));
    const int n = numbers[letter - 'a'];
    formula_text_buffer += '#';
    if (obj && n <= parents) formula_text_buffer += std::to_string(n);
    else formula_text_buffer += letter;
    formula_text_buffer += ' ';
  }
  return formula_text_buffer.c_str();
}

void collect_formula_variables(const char* text) {
  std::memset(formula_used_letters, 0, sizeof formula_used_letters);
  formula_used_letter_count = 0;
  if (!text) return;
  for (size_t i = 0; text[i]; ++i) {
    if (!is_formula_variable_letter(text, i)) continue;
    const int k = std::tolower(static_cast<unsigned char>(text[i])) - 'a';
    if (!formula_used_letters[k]) {
      formula_used_letters[k] = 1;
      ++formula_used_letter_count;
    }
  }
}

void collect_expression_variables(object* expression) {
  collect_formula_variables(expression && expression->te ? expression->te->text : nullptr);
}

char nth_formula_variable(int n) {
  for (int i = 0; i < 26; ++i)
    if (formula_used_letters[i] && --n == 0) return static_cast<char>('a' + i);
  return 0;
}

bool formula_uses_variable(const char* text, size_t length, int letter) {
  if (!text || letter < 1 || letter > 26) return false;
  const std::string copy(text, strnlen(text, length));
  for (size_t i = 0; i < copy.size(); ++i)
    if (is_formula_variable_letter(copy.c_str(), i) &&
        std::tolower(static_cast<unsigned char>(copy[i])) == 'a' + letter - 1)
      return true;
  return false;
}

bool find_whole_word(const char* start, const char* end, char next) {
  if (!start || !end || end < start) return false;
  const char* p = end;
  while (p > start && is_letter(p[-1])) --p;
  if (end - p >= 8) return false;
  std::string word(p, end);
  word += next;
  for (const char* name : kTypedFunctionNames) {
    if (std::strlen(name) < word.size()) continue;
    bool same = true;
    for (size_t i = 0; i < word.size() && same; ++i)
      same = std::tolower(static_cast<unsigned char>(word[i])) == name[i];
    if (same) return true;
  }
  return false;
}

int map_formula_error_position(int position, const char* typed, size_t length, const uint8_t letter_numbers[26]) {
  size_t i = 0;
  for (; i < length && typed[i] && position >= 0; ++i) {
    const char c = typed[i];
    if (c == ' ') continue;
    int width = 1;
    if (letter_numbers && is_formula_variable_letter(typed, i)) {
      const int n = letter_numbers[std::tolower(static_cast<unsigned char>(c)) - 'a'];
      if (n > 0) width = n >= 10 ? 4 : 3;
    }
    position -= width;
  }
  return static_cast<int>(i) - 1;
}

namespace {

// Marks the argument separator of every min, max and rand with ";" so that
// the decimal commas can be told from it.
int protect_multi_argument_functions(char* formula) {
  std::string work(formula);
  auto mark = [&work](size_t at) { work.replace(at, 3, "Max"); };
  for (size_t i = 0; i + 3 <= work.size(); ++i) {
    const std::string w = work.substr(i, 3);
    if (w == "min" || w == "Min" || w == "max" || w == "MAX") mark(i);
    if (i + 6 <= work.size() && (work.compare(i, 6, "random") == 0 || work.compare(i, 6, "Random") == 0)) {
      mark(i + 3);
      i += 5;
    } else if (i + 4 <= work.size() && (work.compare(i, 4, "rand") == 0 || work.compare(i, 4, "Rand") == 0)) {
      mark(i + 1);
      i += 3;
    }
  }
  for (size_t at = work.find("Max"); at != std::string::npos; at = work.find("Max", at + 3)) {
    size_t open = at + 3;
    while (open < work.size() && (work[open] == ' ' || work[open] == '\t')) ++open;
    if (open >= work.size() || work[open] != '(') return 1;
    std::vector<size_t> commas;
    int depth = 0;
    bool separated = false;
    for (size_t k = open + 1; k < work.size(); ++k) {
      const char c = work[k];
      if (c == '(') ++depth;
      else if (c == ')' && depth-- == 0) break;
      else if (c == ',' && depth == 0) commas.push_back(k);
      else if (c == ';' && depth == 0) separated = true;
    }
    // A list that already holds its argument separator keeps it.
    if (separated) continue;
    size_t chosen = std::string::npos;
    if (commas.size() == 1) {
      chosen = commas[0];
    } else if (commas.size() == 2) {
      const size_t c = commas[0];
      chosen = c > 0 && is_digit(work[c - 1]) && is_digit(work[c + 1]) ? commas[1] : commas[0];
    } else if (commas.size() == 3) {
      chosen = commas[1];
    } else {
      break;
    }
    formula[chosen] = ';';
  }
  return 0;
}

}  // namespace

int convert_formula_to_c_locale(char* formula) {
  if (!formula) return 0;
  const char separator = decimal_separator;
  if (separator == '.') return 0;
  if (separator == ',') {
    const int error = protect_multi_argument_functions(formula);
    if (error) return error;
  }
  for (char* p = formula; *p;) {
    if (!is_digit(*p)) {
      ++p;
      continue;
    }
    if (p > formula && p[-1] == separator) {
      p[-1] = '.';
      while (is_digit(*p)) ++p;
      continue;
    }
    while (is_digit(*p)) ++p;
    if (*p == separator) {
      *p++ = '.';
      while (is_digit(*p)) ++p;
    }
  }
  for (char* p = formula; *p; ++p)
    if (*p == ';') *p = ',';
  return 0;
}

namespace {

int preferred_length_unit() {
  const char* f = formula_length_family;
  if (std::strcmp(f, "cm") == 0) return 1;
  if (std::strcmp(f, "mm") == 0) return 0;
  if (std::strcmp(f, "m") == 0) return 2;
  if (std::strcmp(f, "km") == 0) return 3;
  return default_attrs[ATTRS_LENGTH].settings.unite & 31;
}

int preferred_angle_unit() {
  const char* f = formula_angle_family;
  if (std::strcmp(f, "rd") == 0) return 0;
  if (std::strcmp(f, "\xA1") == 0) return 1;
  if (std::strcmp(f, "gr") == 0) return 2;
  int visible_axes = 0;
  if (const kelvo_win_info* fig = KPGeoDocument::currentInfo())
    for (const object* o = fig->first; o; o = o->next)
      if (object_type_id(o) == TYPE_AXES && o->settings.visible) ++visible_axes;
  if (visible_axes == 1) return 0;
  return default_attrs[ATTRS_ANGLE_MEASURE].settings.unite & 31;
}

// The first variable of the program that shows degrees or grads.
const object* first_angle_operand() {
  const object* calc = current_calculation;
  if (!formula_program || !calc || !calc->parents) return nullptr;
  for (const formula_cell* c = formula_program; c->kind != kCellEnd; ++c) {
    if (c->kind != kCellVariable || c->ref < 1 || c->ref > calc->nbparents) continue;
    const object* o = calc->parents[c->ref - 1];
    if (o && (o->settings.unite >> 5) == 4 && (o->settings.unite & 31) != 0) return o;
  }
  return nullptr;
}

// 1 drops the angle; 2 converts it.
int ask_units_question(const object* angle_operand) {
  if (!angle_operand) return 1;
  if (reading_file || formula_questions_off || formula_question_asked) return formula_conversion_mode == 2 ? 2 : 1;
  formula_question_asked = 1;
  const std::string question =
      std::string(kernel_string(kRowUnitQuestion)) + '\r' + kernel_string(kRowUnitQuestionChoice);
  message_compose(question.c_str(), "", "", "");
  return message_show(131) == 1 ? 1 : 2;
}

double angle_unit_factor(const object* angle_operand) {
  if (angle_operand && (angle_operand->settings.unite & 31) == 2) return std::numbers::pi / 200;
  return std::numbers::pi / 180;
}

}  // namespace

bool append_conversion_factor(double angle_factor, double length_factor) {
  if (!formula_program || !formula_result_unit) return false;
  const formula_unit& u = *formula_result_unit;
  double value = 1;
  if (angle_factor != 1) value *= std::pow(angle_factor, static_cast<double>(u.num[0]) / u.den[0]);
  if (length_factor != 1) value *= std::pow(length_factor, static_cast<double>(u.num[1]) / u.den[1]);
  const int32_t count = formula_program_length - 1;
  auto* grown = static_cast<formula_cell*>(
      GlobalAlloc(GPTR, static_cast<uint32_t>((count + 3) * sizeof(formula_cell))));
  if (!grown) {
    MessageBeep(0);
    return false;
  }
  std::memcpy(static_cast<void*>(grown), formula_program, sizeof(formula_cell) * static_cast<size_t>(count));
  grown[count].kind = std::isinf(value) ? kCellInfinity : kCellNumber;
  grown[count].number = value;
  grown[count + 1].kind = kCellOperator;
  grown[count + 1].op = '/';
  grown[count + 2].kind = kCellEnd;
  GlobalFreeAndNull(&formula_program);
  formula_program = grown;
  formula_program_length = count + 3;
  return true;
}

bool check_formula_units() {
  formula_unit_byte = 0;
  if (!formula_result_unit) return false;
  const formula_unit& u = *formula_result_unit;
  int p = u.num[0];
  const int q = u.den[0], r = u.num[1], s = u.den[1];
  const object* angle_operand = first_angle_operand();
  const double length = pixels_per_unit;
  if (p != 0 && r != 0 && q == 1 && s == 1) {
    if (ask_units_question(angle_operand) != 1) {
      if (!append_conversion_factor(angle_unit_factor(angle_operand), length)) return false;
      formula_conversion_mode = 2;
      return true;
    }
    p = 0;
  }
  bool ok = true;
  if (p * q < 0) {
    formula_unit_byte = 0;
  } else if (p == 0 && r != 0) {
    if (r == s) formula_unit_byte = static_cast<uint8_t>((1 << 5) + preferred_length_unit());
    else if (r == 2 * s) formula_unit_byte = static_cast<uint8_t>((2 << 5) + preferred_length_unit());
    else ok = append_conversion_factor(1, length);
  } else if (p == 0 || r != 0) {
    formula_unit_byte = 0;
  } else if (p == q) {
    formula_unit_byte = static_cast<uint8_t>((4 << 5) + preferred_angle_unit());
  } else if (ask_units_question(angle_operand) != 1) {
    ok = append_conversion_factor(std::numbers::pi / 180, 1);
  }
  if (!ok) return false;
  formula_conversion_mode = 1;
  return true;
}

bool compile_calculation(object* calculation) {
  if (!calculation || !has_formula_blocks(calculation) || !calculation->parents || calculation->nbparents < 0)
    return false;
  const uint32_t n = static_cast<uint32_t>(calculation->nbparents);
  if (GlobalSize(calculation->parents) / sizeof(object*) < n + 2) return false;
  void* old = calculation->parents[n + 1];
  GlobalFreeAndNull(&old);
  calculation->parents[n + 1] = nullptr;
  const char* text = reinterpret_cast<const char*>(calculation->parents[n]);
  // An expression applied to numbers takes the expression's text the first
  // time and keeps it prepared.
  const bool from_expression = calculation->classe == &classe_exp_num_app && !text && n > 0;
  if (from_expression) {
    const object* expression = calculation->parents[n - 1];
    text = expression && expression->te ? expression->te->text : nullptr;
  }
  if (!text || !*text) return false;
  std::string prepared = mark_formula_variables(text, calculation);
  if (convert_formula_to_c_locale(prepared.data()) != 0) return false;
  if (from_expression) {
    auto* kept = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(prepared.size() + 1)));
    if (!kept) return false;
    std::memcpy(kept, prepared.c_str(), prepared.size() + 1);
    calculation->parents[n] = reinterpret_cast<object*>(kept);
  }
  object* previous = current_calculation;
  const uint8_t questions = formula_questions_off;
  current_calculation = calculation;
  formula_questions_off = 1;
  uint16_t position = 0;
  bool ok = compile_formula(prepared.data(), &position) == 0 && check_formula_units();
  formula_questions_off = questions;
  current_calculation = previous;
  if (!ok) {
    GlobalFreeAndNull(&formula_program);
    return false;
  }
  calculation->parents[n + 1] = reinterpret_cast<object*>(formula_program);
  formula_program = nullptr;
  if ((calculation->settings.unite >> 5) != (formula_unit_byte >> 5)) calculation->settings.unite = formula_unit_byte;
  return true;
}
