#include "kernel/measure/calculator.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <vector>
#include <cstring>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/measure/calculator_window.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/measure/formula.h"
#include "kernel/measure/formula_text.h"
#include "kernel/measure/measure_text.h"
#include "kernel/measure/unit_factor.h"
#include "kernel/files/text_convert.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/deletion.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/recompute.h"
#include "kernel/model/undo.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/text/reference_marker.h"
#include "kernel/text/text_editing.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/geometric_handlers.h"
#include "kernel/tools/previews.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_handler.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/main_commands.h"
#include "kernel/window/window_hooks.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/kernel_services.h"
#include "platform/win_constants.h"

calculator_state calculator;

namespace {

calculator_panel_opener g_opener = nullptr;

constexpr UINT kActivate = 6;
constexpr UINT kDrawItem = 43;
constexpr UINT kMouseMoved = 512;
constexpr UINT kButtonDown = 513;
constexpr int kActivatedByClick = 2;

// The panel's title and captions (the buttons in the order of their
// identifiers from 1004 to 1019, then clear and evaluate), and the
// messages of a failed evaluation.
constexpr int kRowCalculatorTitle = 565;
constexpr int kRowCaptions = 566;
constexpr int kRowClearCaption = 582;
constexpr int kRowEvaluateCaption = 583;
constexpr int kRowUnknownText = 584;
constexpr int kRowCannotCalculate = 585;
constexpr int kRowSyntax = 586;
constexpr int kRowUnits = 587;
constexpr int kRowDivision = 588;
constexpr int kRowNegativePower = 589;
constexpr int kRowZeroPower = 590;
constexpr int kRowDomain = 591;
constexpr int kRowArgch = 592;
constexpr int kRowUnitInterval = 593;

// A message of its own, or the message of a function used outside its
// domain when the language has none.
std::string domain_message(int row) {
  const char* text = kernel_string(row);
  return *text ? text : kernel_string(kRowDomain);
}

int letter_number(char c) {
  if (c >= 'a' && c <= 'z') return c - 'a' + 1;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 1;
  return 0;
}

bool is_letter(char c) { return letter_number(c) != 0; }

// The place of the object with letter `letter` among the loaded objects
// in the order of their letters (1-based), or 0 when no object has it. The
// parents of a calculation follow that order, so its formula text, read
// back with its letters in alphabetical order, names the same objects.
int list_place(const dyn_array_object* list, int letter) {
  if (!list || !list->items || !list->tags) return 0;
  int place = 1;
  bool found = false;
  for (int i = 0; list->items[i]; ++i) {
    if (list->tags[i] == letter) found = true;
    else if (list->tags[i] < letter) ++place;
  }
  return found ? place : 0;
}

HWND formula_field() {
  return calculator_window ? NSKelvoWrapMachine::getDlgItem(calculator_window, kCalcFormula) : nullptr;
}

std::string read_formula_field() {
  HWND field = formula_field();
  if (!field) return calculator.display;
  std::string text(kFormulaLimit + 1, '\0');
  const int n = NSKelvoWrapMachine::getWindowText(field, text.data(), static_cast<int>(text.size()));
  text.resize(n > 0 ? static_cast<std::size_t>(std::min<int>(n, kFormulaLimit)) : 0);
  return text;
}

void write_formula_field(const std::string& text) {
  if (HWND field = formula_field()) NSKelvoWrapMachine::setWindowText(field, text.c_str());
}

// The program of the result shown, compiled against the loaded objects in
// the order of their letters, and the unit byte of that result.
formula_cell* g_program = nullptr;
uint8_t g_program_unit = 0;
// The objects the program was compiled against, in order.
std::vector<object*> g_program_parents;

void drop_program() {
  GlobalFreeAndNull(&g_program);
  g_program_unit = 0;
  g_program_parents.clear();
}

void clear_result() {
  drop_program();
  calculator.result.clear();
  calculator.result_ready = 0;
  calculator.evaluated = 0;
  calculator.result_width = calculator.result_height = -1;
  if (calculator_window)
    if (HWND result = NSKelvoWrapMachine::getDlgItem(calculator_window, kCalcResult))
      NSKelvoWrapMachine::updateWindow(result);
}

void clear_calculator() {
  write_formula_field("");
  calculator.display.clear();
  objlist_clear(calculator_list());
  clear_result();
  invalidate_current_figure_window();
}

// Set while the calculator empties its field for another figure: the lists
// of the figures stay as they are.
bool g_following_figure = false;

void text_changed() {
  clear_result();
  if (!g_following_figure) prune_calculator_list(read_formula_field());
  calculator.inverse = 0;
  calculator.placing = 0;
}

void free_calculator() {
  drop_program();
  calculator_window = nullptr;
  calculator.display.clear();
  calculator.result.clear();
  calculator.edited = nullptr;
  calculator.open = 0;
  calculator.evaluated = calculator.result_ready = calculator.placing = calculator.inverse = 0;
  calculator.result_cursor = 0;
}

bool window_exists() { return calculator_window != nullptr; }
void forget_object() { calculator.edited = nullptr; }
void reset_evaluation() {
  calculator.evaluated = 0;
  calculator.result_ready = 0;
}
object* edited_object() { return calculator.edited; }

}  // namespace

void set_calculator_panel_opener(calculator_panel_opener opener) { g_opener = opener; }

dyn_array_object* calculator_list() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return nullptr;
  if (!fig->list3) {
    fig->list3 = alloc_block<dyn_array_object>();
    if (fig->list3) objlist_init(fig->list3);
  }
  return fig->list3;
}

std::string close_open_parentheses(const std::string& typed) {
  std::string text = typed.substr(0, kFormulaLimit);
  long open = 0;
  for (char c : text) {
    if (c == '(') ++open;
    else if (c == ')') --open;
  }
  if (open > 0) text.append(static_cast<std::size_t>(open), ')');
  return text;
}

bool is_single_letter(const std::string& text, std::size_t i) {
  if (i >= text.size() || !is_letter(text[i])) return false;
  if (i > 0 && is_letter(text[i - 1])) return false;
  if (i + 1 < text.size() && is_letter(text[i + 1])) return false;
  return true;
}

std::string calculator_compile_text(const std::string& typed, const dyn_array_object* list) {
  std::string out;
  for (std::size_t i = 0; i < typed.size(); ++i) {
    const char c = typed[i];
    if (c == ' ') continue;
    const int place = is_single_letter(typed, i) ? list_place(list, letter_number(c)) : 0;
    if (place) {
      out += '#';
      out += std::to_string(place);
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

int calculator_typed_position(int compiled, const std::string& typed, const dyn_array_object* list) {
  int at = 0;
  for (std::size_t i = 0; i < typed.size(); ++i) {
    if (typed[i] == ' ') continue;
    const int place = is_single_letter(typed, i) ? list_place(list, letter_number(typed[i])) : 0;
    const int width = place ? static_cast<int>(std::to_string(place).size()) + 2 : 1;
    if (compiled < at + width) return static_cast<int>(i);
    at += width;
  }
  return static_cast<int>(typed.size());
}

const char* calculator_button_text(int id, bool inverse) {
  switch (id) {
    case kCalcSin: return inverse ? "arcsin(" : "sin(";
    case kCalcCos: return inverse ? "arccos(" : "cos(";
    case kCalcTan: return inverse ? "arctan(" : "tan(";
    case kCalcSqrt: return inverse ? "sqr(" : "sqrt(";
    case kCalcPower: return "^";
    case kCalcLn: return inverse ? "exp(" : "ln(";
    case kCalcLog: return inverse ? "10^(" : "log10(";
    case kCalcAbs: return "abs(";
    case kCalcPi: return "pi";
    case kCalcOpen: return "(";
    case kCalcCloseParen: return ")";
    case kCalcPlus: return " + ";
    case kCalcMinus: return " - ";
    case kCalcTimes: return " * ";
    case kCalcOver: return " / ";
    default: return nullptr;
  }
}

std::string calculator_result_utf8(const char* text) {
  std::string out;
  for (const char* p = text; p && *p; ++p) {
    if (*p == kInfinitySign) out += "\xE2\x88\x9E";
    else out += *p;
  }
  return out;
}

void set_calculator_result_text(const char* text) {
  calculator.result = calculator_result_utf8(text);
  if (calculator_window) {
    if (HWND result = NSKelvoWrapMachine::getDlgItem(calculator_window, kCalcResult))
      NSKelvoWrapMachine::updateWindow(result);
    NSKelvoWrapMachine::updateWindow(calculator_window);
  }
}

void prune_calculator_list(const std::string& text) {
  dyn_array_object* list = calculator_list();
  if (!list || !list->items) return;
  bool used[27] = {};
  for (std::size_t i = 0; i < text.size(); ++i)
    if (is_single_letter(text, i)) used[letter_number(text[i])] = true;
  for (int i = objlist_count(list) - 1; i >= 0; --i) {
    const uint16_t tag = list->tags ? list->tags[i] : 0;
    if (tag >= 1 && tag <= 26 && used[tag]) continue;
    object* gone = list->items[i];
    objlist_remove_item(list, gone);
    redraw_object(gone);
  }
}

void load_objects_into_calculator(object* calculation) {
  clear_calculator();
  if (!calculation) return;
  const int n = calculation->nbparents;
  const char* text = calculation->parents && n >= 0 ? reinterpret_cast<const char*>(calculation->parents[n]) : nullptr;
  calculator.display = text ? std::string(text).substr(0, kFormulaLimit) : std::string();
  write_formula_field(calculator.display);
  dyn_array_object* list = calculator_list();
  for (int i = 0; i < n && i < 26; ++i)
    if (calculation->parents[i]) objlist_add(list, calculation->parents[i], static_cast<uint16_t>(i + 1));
  calculator.edited = calculation;
}

void open_calculator(object* obj) {
  end_tool_action();
  current_class = &classe_calculate;
  calculator_active = 1;
  interaction_state = STATE_CONSTRUCTION;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig && fig->list3) install_selection_list(fig->list3);
  if (tool_services().post_tool_selection) tool_services().post_tool_selection(&classe_calculate);
  if (calculator_window) {
    NSKelvoWrapMachine::bringWindowToTop(calculator_window);
    NSKelvoWrapMachine::kelvoShowWindow(calculator_window, true);
  } else if (g_opener) {
    calculator_window = g_opener("CALCULATOR", calculator_dlg_proc);
  }
  if (obj) load_objects_into_calculator(obj);
  else clear_calculator();
  clear_result();
  calculator.open = 1;
}

std::string calculator_error_message(int code, bool valid, const std::string& typed, int position) {
  if (!valid) {
    std::string quoted = typed.substr(std::min<std::size_t>(typed.size(), static_cast<std::size_t>(std::max(0, position))), 5);
    if (static_cast<std::size_t>(position) + 5 < typed.size()) quoted += "...";
    return kernel_string(kRowUnknownText) + quoted;
  }
  switch (code) {
    case 1: return kernel_string(kRowSyntax);
    case 2: return kernel_string(kRowUnits);
    case 3: return kernel_string(kRowDivision);
    case 4: return domain_message(kRowNegativePower);
    case 5: return kernel_string(kRowZeroPower);
    case 6:
    case 7: return kernel_string(kRowDomain);
    case 8: return domain_message(kRowArgch);
    case 9:
    case 10: return domain_message(kRowUnitInterval);
    case 11:
    case 12:
    case 13: return "";
    default: return kernel_string(kRowCannotCalculate);
  }
}

void calculator_set_labels(HWND window) {
  if (!window) return;
  NSKelvoWrapMachine::setWindowText(window, kernel_string(kRowCalculatorTitle));
  for (int id = kCalcInverse; id <= kCalcOver; ++id)
    NSKelvoWrapMachine::setDlgItemText(window, id, kernel_string(kRowCaptions + id - kCalcInverse));
  NSKelvoWrapMachine::setDlgItemText(window, kCalcClear, kernel_string(kRowClearCaption));
  NSKelvoWrapMachine::setDlgItemText(window, kCalcEvaluateButton, kernel_string(kRowEvaluateCaption));
}

namespace {

// The calculation the calculator evaluates: its parents are the loaded
// objects, its value the result.
struct scratch_calculation {
  object obj{};
  valeur value{};
  std::vector<object*> parents;
};
scratch_calculation g_scratch;

// The loaded objects in the order of their letters.
std::vector<object*> loaded_in_letter_order() {
  std::vector<std::pair<uint16_t, object*>> tagged;
  const dyn_array_object* list = calculator_list();
  for (int i = 0; list && list->items && list->items[i]; ++i)
    tagged.emplace_back(list->tags ? list->tags[i] : 0, list->items[i]);
  std::stable_sort(tagged.begin(), tagged.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<object*> objects;
  for (const auto& t : tagged) objects.push_back(t.second);
  return objects;
}

// Whether `obj` is `target` or is built on it, however far up.
bool built_on(object* obj, const object* target) {
  std::vector<object*> stack{obj};
  std::vector<object*> seen;
  while (!stack.empty()) {
    object* o = stack.back();
    stack.pop_back();
    if (o == target) return true;
    if (!o || std::find(seen.begin(), seen.end(), o) != seen.end()) continue;
    seen.push_back(o);
    for (int i = 0; o->parents && i < o->nbparents; ++i) stack.push_back(o->parents[i]);
  }
  return false;
}

// A formula text as a block of its own, the way a calculation keeps it.
char* text_block(const std::string& text) {
  auto* block = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(text.size() + 1)));
  if (block) std::memcpy(block, text.c_str(), text.size() + 1);
  return block;
}

// Gives the calculation being edited the loaded objects, the typed text and
// the program just evaluated, and recomputes the figure. A loaded object
// built on the calculation itself would close a loop: nothing changes then.
void save_edited_calculation() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  object* edited = calculator.edited;
  if (!fig || !edited || !g_program) return;
  const std::vector<object*> parents = loaded_in_letter_order();
  if (parents != g_program_parents) return;
  for (object* p : parents)
    if (built_on(p, edited)) {
      message_box_simple(kernel_string(kRowCannotCalculate));
      return;
    }
  const uint32_t n = static_cast<uint32_t>(parents.size());
  auto** fresh = alloc_block<object*>(n + 2);
  char* text = text_block(calculator.display);
  if (!fresh || !text) {
    GlobalFreeAndNull(&fresh);
    GlobalFreeAndNull(&text);
    return;
  }
  save_undo_state_before_change();
  KPGeoDocument::_do_dirty(fig);
  std::copy(parents.begin(), parents.end(), fresh);
  fresh[n] = reinterpret_cast<object*>(text);
  fresh[n + 1] = reinterpret_cast<object*>(g_program);
  g_program = nullptr;
  if (edited->parents) {
    const uint32_t old_n = edited->nbparents > 0 ? static_cast<uint32_t>(edited->nbparents) : 0;
    const uint32_t slots = GlobalSize(edited->parents) / sizeof(object*);
    for (uint32_t i = old_n; i < old_n + 2 && i < slots; ++i) {
      void* block = edited->parents[i];
      GlobalFreeAndNull(&block);
    }
    GlobalFreeAndNull(&edited->parents);
  }
  edited->parents = fresh;
  edited->nbparents = static_cast<int16_t>(n);
  edited->settings.unite = g_program_unit;
  figure_objects_changed(fig);
  clear_calculator();
  clear_object_flags(OBJ_CHOSEN);
  sort_objects_by_dependency();
  for (object* o = fig->first; o; o = o->next) recompute_object(o);
  load_objects_into_calculator(edited);
  calculator.evaluated = 1;
  if (edited->te && edited->te->text) set_calculator_result_text(edited->te->text);
  tool_redraw_figure(2, 27);
}

// Evaluates the program just compiled against the scratch calculation and
// shows its value with its unit; false when the evaluation failed.
bool show_evaluated_result(formula_cell* program, uint8_t unit) {
  object& obj = g_scratch.obj;
  obj.settings.unite = unit;
  // The decimals the calculation placed in the figure takes: those of the
  // default attributes of numbers.
  obj.settings.nbre_decimales = default_attrs[ATTRS_NUMBER].settings.nbre_decimales;
  g_scratch.value = valeur{};
  object* previous = current_calculation;
  formula_code = program;
  formula_cell_index = 0;
  formula_error = 0;
  current_calculation = &obj;
  errno = 0;
  const int status = evaluate_compiled_formula();
  const int error = errno;
  current_calculation = previous;
  const double value = g_scratch.value.info.rayon;
  std::string text;
  if (std::isinf(value) || (error == ERANGE && std::fabs(value) == HUGE_VAL)) {
    if (value < 0) text = "-";
    text += kInfinitySign;
  } else if (status != 0 || formula_error != 0 || error != 0 || !std::isfinite(value)) {
    return false;
  } else {
    text = format_measure_number(value / measure_unit_factor(&obj), obj.settings.nbre_decimales);
    for (char& c : text)
      if (c == '.') c = decimal_separator;
  }
  const std::string name = unit_short_name(unit);
  if (!name.empty()) text += " " + name;
  set_calculator_result_text(text.c_str());
  return true;
}

}  // namespace

void calculator_evaluate() {
  const std::string typed = close_open_parentheses(read_formula_field());
  // Nothing typed: nothing to work out, and nothing to complain about.
  if (typed.find_first_not_of(' ') == std::string::npos) return;
  // Only the objects whose letters stand in the text become parents: a
  // calculation's text names its parents by the rank of its letters.
  prune_calculator_list(typed);
  dyn_array_object* list = calculator_list();
  std::string compiled = calculator_compile_text(typed, list);
  compiled += '\0';
  int code = convert_formula_to_c_locale(compiled.data()) ? -1 : 0;
  uint16_t position = 0;
  // The scratch calculation takes the loaded objects as its parents.
  g_scratch.parents = loaded_in_letter_order();
  const int n = static_cast<int>(g_scratch.parents.size());
  g_scratch.parents.push_back(nullptr);
  g_scratch.parents.push_back(nullptr);
  object& obj = g_scratch.obj;
  obj.classe = &classe_calculate;
  obj.parents = g_scratch.parents.data();
  obj.nbparents = static_cast<int16_t>(n);
  obj.valeurs = &g_scratch.value;
  obj.nbvaleurs = 1;
  bool valid = true;
  if (code == 0) {
    object* previous = current_calculation;
    current_calculation = &obj;
    code = compile_formula(compiled.data(), &position);
    valid = formula_valid != 0;
    current_calculation = previous;
  }
  calculator.display = typed;
  write_formula_field(typed);
  calculator.evaluated = 1;
  calculator.result_ready = calculator.edited ? 0 : 1;
  if (code == 0) {
    object* previous = current_calculation;
    current_calculation = &obj;
    const bool units = check_formula_units();
    current_calculation = previous;
    formula_cell* program = formula_program;
    formula_program = nullptr;
    // A unit check that refuses without saying why, or an evaluation that
    // fails, falls to the general message below.
    if (units && show_evaluated_result(program, formula_unit_byte)) {
      drop_program();
      g_program = program;
      g_program_unit = formula_unit_byte;
      g_program_parents.assign(g_scratch.parents.begin(), g_scratch.parents.begin() + n);
      if (calculator.edited) save_edited_calculation();
      return;
    }
    GlobalFreeAndNull(&program);
    code = -1;
  }
  // Incompatible units were the subject of the units question the
  // compiler asked: the user has heard about them already.
  if (code == 2 && formula_question_asked) return;
  const std::string message =
      calculator_error_message(code, valid, typed, calculator_typed_position(position, typed, list));
  if (!message.empty()) message_box_simple(message.c_str());
}

LRESULT calculator_result_field(UINT message) {
  if (message == kMouseMoved) calculator.result_cursor = calculator.result.empty() ? 0 : 1;
  if (message == kButtonDown && calculator.result_ready) calculator_start_placing();
  return 1;
}

void calculator_figure_changed() {
  if (!calculator_window) return;
  calculator.edited = nullptr;
  calculator.display.clear();
  g_following_figure = true;
  write_formula_field("");
  g_following_figure = false;
  clear_result();
  calculator.inverse = calculator.placing = 0;
}

void calculator_start_placing() {
  if (!calculator.evaluated) return;
  calculator.placing = 1;
  calculator.place_width = calculator.result_width > 0 ? static_cast<int16_t>(calculator.result_width) : 30;
  calculator.place_height = calculator.result_height > 0 ? static_cast<int16_t>(calculator.result_height) : 12;
  // The Formula tool's next click in the figure places the result; its box
  // follows the mouse until then. The flag is shared by the tools: another
  // tool never takes it.
  if (current_class != &classe_calculate) return;
  placing_text = 1;
  text_box_width = calculator.place_width;
  text_box_height = calculator.place_height;
  if (tool_services().bring_main_window_to_front) tool_services().bring_main_window_to_front();
  if (current_figure_view) NSKelvoWrapMachine::cwmPostMessage(current_figure_view, WM_TIMER, 0, 0);
}

LRESULT calculator_dlg_proc(HWND window, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      calculator_set_labels(window);
      clear_result();
      return 1;
    case kActivate:
      if ((wparam & 0xFFFF) == kActivatedByClick && current_class != &classe_calculate) {
        open_calculator(nullptr);
        setup_current_tool(&classe_calculate);
      }
      return 0;
    case WM_CLOSE:
      NSKelvoWrapMachine::cwmPostMessage(window, WM_COMMAND, kCalcClose, 0);
      return 1;
    case kDrawItem:
      return 1;
    case WM_COMMAND:
      break;
    default:
      return 0;
  }
  const int id = static_cast<int>(wparam & 0xFFFF);
  const int note = static_cast<int>((wparam >> 16) & 0xFFFF);
  switch (id) {
    case kCalcEvaluate:
    case kCalcEvaluateButton:
      if (!calculator.evaluated) {
        calculator_evaluate();
        calculator.inverse = 0;
      } else {
        calculator_start_placing();
      }
      return 1;
    case kCalcCancel:
    case kCalcClear:
      clear_calculator();
      return 1;
    case kCalcFormula:
      if (note == kCalcTextChanged) text_changed();
      return 0;
    case kCalcInverse:
      calculator.inverse ^= 1;
      return 1;
    case kCalcClose:
      free_calculator();
      select_tool(0);
      return 1;
    default:
      break;
  }
  const char* insert = calculator_button_text(id, calculator.inverse != 0);
  if (!insert) return 1;
  for (const char* p = insert; *p; ++p) {
    const std::string now = read_formula_field();
    if (now.size() >= kFormulaLimit) break;
    if (HWND field = formula_field()) NSKelvoWrapMachine::sendMessage(field, WM_CHAR, static_cast<unsigned char>(*p), 0);
    else calculator.display += *p;
    text_changed();
  }
  // The figure takes the clicks that fill the formula in, and its view
  // catches up with the new state at once.
  if (!calculator.evaluated && tool_services().bring_main_window_to_front) tool_services().bring_main_window_to_front();
  if (current_figure_view) figure_window_proc(current_figure_view, WM_TIMER, 0, 0);
  return 1;
}

std::string calculator_label_text;

object* place_calculator_result() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return nullptr;
  save_undo_state(fig->nbobj);
  KPGeoDocument::_do_dirty(fig);
  // Only a result that was worked out can be placed; a calculation being
  // edited took its new formula when it was evaluated.
  if (calculator.edited || !g_program || !calculator.result_ready) return nullptr;
  // The program numbers the objects it was compiled against: an object
  // gone from the list since then leaves nothing to place.
  const std::vector<object*> parents = loaded_in_letter_order();
  if (parents != g_program_parents) return nullptr;
  char* text = text_block(calculator.display);
  auto* program = static_cast<formula_cell*>(copy_block(static_cast<void*>(g_program)));
  if (!text || !program) {
    GlobalFreeAndNull(&text);
    GlobalFreeAndNull(&program);
    return nullptr;
  }
  // The result's box, centred on the click as the box that followed the
  // mouse, in whole pixels.
  const int32_t w = std::max<int32_t>(text_box_width, 1), h = std::max<int32_t>(text_box_height, 1);
  const int32_t x = static_cast<int32_t>(std::floor(last_mouse.x + 0.5)) - w / 2;
  const int32_t y = static_cast<int32_t>(std::floor(last_mouse.y + 0.5)) - h / 2;
  measure_text_rect = tagRECT{x, y, x + w, y + h};
  for (valeur& r : rubber_points) r = valeur{};

  construct_class* const cls = current_class;
  objlist_clear(fig->inputs);
  for (object* p : parents) objlist_add(fig->inputs, p, 0);
  pending_extra[0] = text;
  pending_extra[1] = program;
  uint16_t made = 0;
  current_class = &classe_calculate;
  object* number = create_object(0, &made, 1, 1, 0);
  if (pending_extra[0] == text) {
    // Not taken: the object could not be made.
    pending_extra[0] = pending_extra[1] = nullptr;
    GlobalFreeAndNull(&text);
    GlobalFreeAndNull(&program);
  }
  const uint8_t unit = g_program_unit;
  clear_calculator();
  reset_class_type_marks(&classe_calculate);
  objlist_clear(fig->inputs);
  if (!number) {
    current_class = cls;
    return nullptr;
  }
  // The number is shown inside a text of its own, which keeps its box.
  number->aux2 |= 2 | 4;
  number->settings.unite = unit;
  recompute_object(number);

  current_class = &classe_text;
  variable_nb_values = 1;
  object* shown = create_object(0, &made, 1, 1, 0);
  if (shown && shown->te) {
    const uint16_t reference = add_text_reference(number, &shown->inserted);
    const std::string content = calculator_label_text + " " + format_reference_marker(reference);
    set_text_record_text(shown->te, content.c_str());
    shown->te->length = static_cast<int32_t>(content.size());
    if (number->te) shown->te->format = number->te->format;
    shown->te->edit_flags |= 1;
    shown->te->text_kind = 2;
    shown->te->needs_regen = 1;
    shown->te->sel_start = 0;
    shown->te->sel_end = static_cast<int32_t>(calculator_label_text.size());
    shown->aux2 &= ~2u;
    if (main_command_services().regenerate_rtf_if_needed) main_command_services().regenerate_rtf_if_needed(shown);
    recompute_object(shown);
  }
  clear_object_flags(OBJ_WALK | OBJ_CHOSEN | OBJ_TO_DELETE | OBJ_NEW);
  objlist_clear(fig->inputs);
  current_class = &classe_calculate;
  if (shown) {
    switch_text_edit_object(shown);
    switch_text_edit_object(nullptr);
  }
  tool_redraw_figure(2, 27);
  return number;
}

bool formula_tool_handler(uint16_t* method, object** designated) {
  *method = 0;
  *designated = nullptr;
  if (placing_text && objlist_count(&picked) == 0) {
    placing_text = 0;
    calculator.placing = 0;
    place_calculator_result();
    return false;
  }
  placing_text = 0;
  auto_point = 0;  // no point is made on the fly for a formula
  object* obj = nullptr;
  if (!designate_for_tool(&obj) || !obj) return false;
  *designated = nullptr;
  if (!calculator_window) return false;
  const std::string text = read_formula_field();
  dyn_array_object* list = calculator_list();
  if (!list) return false;
  if (text.size() == 1 && objlist_count(list) > 0 && list->items[0] == obj && obj->classe == &classe_calculate) {
    load_objects_into_calculator(obj);
    return false;
  }
  prune_calculator_list(text);
  int letter = 0;
  for (int i = 0; list->items && list->items[i]; ++i)
    if (list->items[i] == obj) letter = list->tags ? list->tags[i] : 0;
  if (!letter) {
    bool used[27] = {};
    for (int i = 0; list->items && list->items[i]; ++i)
      if (list->tags && list->tags[i] >= 1 && list->tags[i] <= 26) used[list->tags[i]] = true;
    for (int l = 1; l <= 26 && !letter; ++l)
      if (!used[l]) letter = l;
    if (!letter) {
      *designated = obj;
      return false;
    }
    objlist_add(list, obj, static_cast<uint16_t>(letter));
  }
  if (text.size() < kFormulaLimit)
    if (HWND field = formula_field())
      NSKelvoWrapMachine::sendMessage(field, WM_CHAR, static_cast<WPARAM>(96 + letter), 0);
  clear_result();
  calculator.placing = 0;
  redraw_object(obj);
  return false;
}

void bind_calculator_services() {
  tool_hooks& h = tool_services();
  h.open_calculator = open_calculator;
  h.calculator_window_exists = window_exists;
  h.calculator_forget_object = forget_object;
  h.calculator_reset_evaluation = reset_evaluation;
  h.calculator_edited_object = edited_object;
  window_services().calculator_figure_changed = calculator_figure_changed;
  window_services().evaluate_calculator = [] {
    if (calculator_window) calculator_dlg_proc(calculator_window, WM_COMMAND, kCalcEvaluate, 0);
  };
}
