// The calculator: a formula typed over objects of the figure, which stand
// in it as the letters a, b, c ... in the order they were clicked; its
// evaluation with units, and the result dropped into the figure as a
// calculation. The panel is a modeless dialog the kernel drives through
// calculator_dlg_proc; the panel itself lives in the application.
#pragma once

#include <cstdint>
#include <string>

#include "platform/kelvo_wrap_machine.h"

struct object;
struct dyn_array_object;

// Control identifiers of the panel.
enum : int {
  kCalcEvaluate = 1,
  kCalcCancel = 2,
  kCalcFormula = 1001,
  kCalcResult = 1003,
  kCalcInverse = 1004,
  kCalcSin = 1005,
  kCalcCos = 1006,
  kCalcTan = 1007,
  kCalcSqrt = 1008,
  kCalcPower = 1009,
  kCalcLn = 1010,
  kCalcLog = 1011,
  kCalcAbs = 1012,
  kCalcPi = 1013,
  kCalcOpen = 1014,
  kCalcCloseParen = 1015,
  kCalcPlus = 1016,
  kCalcMinus = 1017,
  kCalcTimes = 1018,
  kCalcOver = 1019,
  kCalcEvaluateButton = 1020,
  kCalcClose = 1059,
  kCalcClear = 1060,
};
// The formula field's change notification (high word of the command).
inline constexpr int kCalcTextChanged = 1024;
// Longest formula the calculator reads.
inline constexpr std::size_t kFormulaLimit = 999;

struct calculator_state {
  object* edited = nullptr;        // the calculation being edited, or null
  std::string display;             // the typed text with its closing ")"
  std::string result;              // the result text, UTF-8 ("" while none)
  float result_width = -1, result_height = -1;
  uint8_t inverse = 0;
  uint8_t evaluated = 0;
  uint8_t result_ready = 0;
  uint8_t placing = 0;
  int16_t place_width = 0, place_height = 0;
  uint8_t open = 0;
  uint8_t result_cursor = 0;       // the pointer over a shown result: the result cursor
};
extern calculator_state calculator;

// Opens the panel (through the application's opener) when there is none.
using calculator_panel_opener = HWND (*)(const char* template_name, WNDPROC procedure);
void set_calculator_panel_opener(calculator_panel_opener opener);

// The current figure's calculator list (letters as tags, 1 = a), made on
// first use.
dyn_array_object* calculator_list();

// ---- Text helpers ----
// The typed text, read up to the limit, with one ")" per unclosed "(".
std::string close_open_parentheses(const std::string& typed);
// Whether the letter at `i` stands alone (no letter before or after it).
bool is_single_letter(const std::string& text, std::size_t i);
// The text the compiler reads: spaces dropped, a lone letter whose number
// is the tag of a listed object becomes "#", the object's 1-based place in
// the list and a space.
std::string calculator_compile_text(const std::string& typed, const dyn_array_object* list);
// A position in the compiled text back in the typed text.
int calculator_typed_position(int compiled, const std::string& typed, const dyn_array_object* list);
// The text a function button inserts.
const char* calculator_button_text(int id, bool inverse);
// The kernel's result text as UTF-8 for the field (the infinity byte
// becomes U+221E; other bytes pass unchanged).
std::string calculator_result_utf8(const char* text);
void set_calculator_result_text(const char* text);
// Drops from the list every object whose letter no longer stands alone in
// the text.
void prune_calculator_list(const std::string& text);

// ---- The calculator ----
void open_calculator(object* obj);
LRESULT calculator_dlg_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
void load_objects_into_calculator(object* calculation);
// The message of a failed evaluation: the error code, the validity of the
// text and the typed text from the error position.
std::string calculator_error_message(int code, bool valid, const std::string& typed, int position);
// The panel's title and button captions in the current language.
void calculator_set_labels(HWND window);
void calculator_evaluate();
// The result field's messages: 512 mouse moved (over a shown result the
// field takes the result cursor, result_cursor), 513 button down.
LRESULT calculator_result_field(UINT message);
// Another figure became current: the formula, its result and the
// calculation being edited belong to the figure they were typed for, so the
// calculator shows an empty formula (the figures keep their lists).
void calculator_figure_changed();
void calculator_start_placing();
// The text that begins the text of a placed result, before a blank and the
// result itself (empty unless set).
extern std::string calculator_label_text;
// The placing click: the result worked out last becomes a calculation of
// the loaded objects (in the order of their letters) with the typed text
// and its program, shown inside a new text at the click (last_mouse, in the
// box the placing request gave); the calculator is cleared. Null when
// nothing was built (no result, or a calculation being edited).
object* place_calculator_result();
// The Formula tool's clicks: an object clicked takes a letter, typed into
// the formula field; while a result waits to be placed, a click where no
// object is places it. Always false: nothing is left designated.
bool formula_tool_handler(uint16_t* method, object** designated);
// Fills the tool and window hooks the calculator answers.
void bind_calculator_services();
