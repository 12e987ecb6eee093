// The calculator without its panel: the text the compiler reads, the
// closing of parentheses, letters that are and are not variables, the list
// following the text, the inverse toggle, the result text and the messages.
#include <string>
#include <vector>

#include "kernel/measure/calculator.h"
#include "kernel/measure/calculator_window.h"
#include "kernel/model/geometry_fixture.h"
#include "kernel/tools/tool_dispatch.h"
#include "platform/kp_dialog.h"
#include "kernel/files/text_convert.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/model/recompute.h"
#include "kernel/measure/formula_text.h"
#include "kernel/text/reference_marker.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/previews.h"

namespace {

class Calculator : public GeometryTest {
 protected:
  void SetUp() override {
    GeometryTest::SetUp();
    // The calculator's messages are rows of the language: a text for each.
    std::vector<std::string> texts(kKernelStringCount);
    std::vector<const char*> rows(kKernelStringCount);
    for (int row = 0; row < kKernelStringCount; ++row) {
      if (row >= 584 && row <= 593) texts[row] = "message " + std::to_string(row);
      rows[row] = texts[row].c_str();
    }
    lang_fill_kernel_strings(rows.data(), kKernelStringCount);
    calculator = calculator_state{};
    calculator_window = nullptr;
    // Messages are recorded, never waited for.
    KPDialog::setMessageBoxResponder([this](const KPMessageBoxRequest& box) {
      messages.push_back(box.message);
      return 0;
    });
  }
  std::vector<std::string> messages;
  void TearDown() override {
    KPDialog::setMessageBoxResponder(nullptr);
    calculator = calculator_state{};
    lang_reset_kernel_strings();
    GeometryTest::TearDown();
  }
  // Loads objects as the Formula tool does: each with the next letter.
  void load(std::initializer_list<object*> objects) {
    uint16_t letter = static_cast<uint16_t>(objlist_count(calculator_list()) + 1);
    for (object* o : objects) objlist_add(calculator_list(), o, letter++);
  }
  object* number(const char* shown) {
    decimal_separator = '.';
    object* n = make(classe_nombre, 0, {});
    set_text_record_text(n->te, shown);
    recompute_object(n);
    return n;
  }
  // The placing click of the Formula tool where no object is.
  bool placingClick(int x, int y) {
    current_class = &classe_calculate;
    objlist_clear(&picked);
    last_mouse = tagPOINT{x, y};
    uint16_t method = 7;
    object* designated = reinterpret_cast<object*>(&method);
    const bool complete = formula_tool_handler(&method, &designated);
    EXPECT_EQ(designated, nullptr);
    EXPECT_EQ(method, 0);
    return complete;
  }
  std::vector<object*> ofClass(construct_class* cls) {
    std::vector<object*> found;
    for (object* o = fig_->first; o; o = o->next)
      if (o->classe == cls) found.push_back(o);
    return found;
  }
  static const char* formulaText(const object* calc) {
    return reinterpret_cast<const char*>(calc->parents[calc->nbparents]);
  }
  void recomputeAll() {
    for (object* o = fig_->first; o; o = o->next) recompute_object(o);
  }
  // The evaluate command once a result is shown, with the Formula tool.
  static void askToPlace() {
    current_class = &classe_calculate;
    command(kCalcEvaluate);
  }
  static LRESULT command(int id, int note = 0) {
    return calculator_dlg_proc(nullptr, 273, static_cast<WPARAM>(note) << 16 | static_cast<WPARAM>(id), 0);
  }
};

TEST_F(Calculator, CompiledTextNamesLoadedObjectsByTheirPlace) {
  object* angle = point(10, 10);
  load({angle});
  const std::string typed = close_open_parentheses("sin(a");
  EXPECT_EQ(typed, "sin(a)");
  EXPECT_EQ(calculator_compile_text("sin(a", calculator_list()), "sin(#1 ");
  // Letters beside letters are no variables; an unloaded letter stays.
  EXPECT_EQ(calculator_compile_text("pi*a + ab - b", calculator_list()), "pi*#1 +ab-b");
  load({point(20, 20)});
  EXPECT_EQ(calculator_compile_text("a + b", calculator_list()), "#1 +#2 ");
  // The error position in the compiled text maps back to the typed letter.
  EXPECT_EQ(calculator_typed_position(4, "a + b", calculator_list()), 4);
  EXPECT_EQ(calculator_typed_position(1, "a + b", calculator_list()), 0);
  // Extra closing parentheses go to the parser as they are.
  EXPECT_EQ(close_open_parentheses("a))"), "a))");
}

TEST_F(Calculator, LongTextsAreReadUpToTheLimit) {
  const std::string typed(5000, '(');
  const std::string text = close_open_parentheses(typed);
  EXPECT_EQ(text.size(), 2 * kFormulaLimit);
  EXPECT_EQ(text.substr(kFormulaLimit), std::string(kFormulaLimit, ')'));
  // Control characters and letters past z are copied for the parser to
  // refuse, never taken for variables.
  load({point(1, 1)});
  EXPECT_EQ(calculator_compile_text(std::string("a\x01\xE9", 3), calculator_list()), std::string("#1 \x01\xE9", 5));
}

TEST_F(Calculator, EditingDropsTheResultAndUnusedObjects) {
  object* a = point(1, 1);
  object* b = point(2, 2);
  load({a, b});
  calculator.display = "a+b";
  calculator.evaluated = calculator.result_ready = 1;
  calculator.result = "3";
  calculator.display = "a+";
  command(kCalcFormula, kCalcTextChanged);
  EXPECT_EQ(calculator.evaluated, 0);
  EXPECT_EQ(calculator.result, "");
  ASSERT_EQ(objlist_count(calculator_list()), 1);
  EXPECT_EQ(calculator_list()->items[0], a);
}

TEST_F(Calculator, InverseButtonsAndTheToggleClearedByEvaluation) {
  std::vector<std::string> shown;
  KPDialog::setMessageBoxResponder([&](const KPMessageBoxRequest& box) {
    shown.push_back(box.message);
    return 0;
  });
  command(kCalcInverse);
  EXPECT_EQ(calculator.inverse, 1);
  command(kCalcSin);
  EXPECT_EQ(calculator.display, "arcsin(");
  // Typing the button's text notified a change: the toggle went with it,
  // as it does at the next evaluation.
  EXPECT_EQ(calculator.inverse, 0);
  command(kCalcInverse);
  command(kCalcEvaluate);
  EXPECT_EQ(calculator.inverse, 0);
  EXPECT_EQ(calculator.display, "arcsin()");
  // No value came out, and the user is told so once.
  EXPECT_EQ(shown.size(), 1u);
  EXPECT_EQ(calculator.evaluated, 1);
  KPDialog::setMessageBoxResponder(nullptr);
  EXPECT_STREQ(calculator_button_text(kCalcLog, true), "10^(");
  EXPECT_STREQ(calculator_button_text(kCalcSqrt, true), "sqr(");
  EXPECT_STREQ(calculator_button_text(kCalcTimes, false), " * ");
}

TEST_F(Calculator, ResultTextsAndMessages) {
  EXPECT_EQ(calculator_result_utf8("-\xB0 cm"), "-\xE2\x88\x9E cm");
  EXPECT_EQ(calculator_result_utf8("12\xFB"), "12\xFB");
  // The messages are the language's rows; the one of code 8 is missing
  // from this language.
  std::vector<const char*> rows(kKernelStringCount, "");
  const char* const texts[] = {"unknown: ", "general", "syntax", "units", "division", "negative base",
                               "zero base", "domain", "", "interval"};
  for (int i = 0; i < 10; ++i) rows[584 + i] = texts[i];
  ASSERT_TRUE(lang_fill_kernel_strings(rows.data(), kKernelStringCount));
  EXPECT_EQ(calculator_error_message(0, false, "a+$xyzuvw", 2), "unknown: $xyzu...");
  EXPECT_EQ(calculator_error_message(0, false, "a$", 1), "unknown: $");
  const struct {
    int code;
    const char* message;
  } cases[] = {{1, "syntax"},   {2, "units"},  {3, "division"}, {4, "negative base"}, {5, "zero base"},
               {6, "domain"},   {7, "domain"}, {8, "domain"},   {9, "interval"},      {10, "interval"},
               {11, ""},        {12, ""},      {13, ""},        {-1, "general"},      {40, "general"}};
  for (const auto& c : cases) EXPECT_EQ(calculator_error_message(c.code, true, "", 0), c.message) << c.code;
}

TEST_F(Calculator, OpeningMakesTheFormulaToolCurrentAndCloseReturnsToThePointer) {
  open_calculator(nullptr);
  EXPECT_EQ(current_class, &classe_calculate);
  EXPECT_EQ(calculator.open, 1);
  EXPECT_EQ(calculator.evaluated, 0);
  command(kCalcClose);
  EXPECT_EQ(calculator.open, 0);
  EXPECT_EQ(calculator_window, nullptr);
  EXPECT_NE(current_class, &classe_calculate);
}

TEST_F(Calculator, EvaluatesOverLoadedNumbers) {
  decimal_separator = '.';
  auto number = [&](const char* shown) {
    object* n = make(classe_nombre, 0, {});
    set_text_record_text(n->te, shown);
    recompute_object(n);
    return n;
  };
  load({number("1.5"), number("2.25")});
  std::vector<std::string> shown;
  KPDialog::setMessageBoxResponder([&](const KPMessageBoxRequest& box) {
    shown.push_back(box.message);
    return 0;
  });
  calculator.display = "a+b*(2";
  command(kCalcEvaluate);
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(calculator.display, "a+b*(2)");
  EXPECT_EQ(calculator.result, "6.00");
  EXPECT_EQ(calculator.evaluated, 1);
  // A letter of no loaded object is the parser's to report.
  calculator.display = "a+c";
  command(kCalcFormula, kCalcTextChanged);
  command(kCalcEvaluate);
  EXPECT_EQ(shown.size(), 1u);
  EXPECT_EQ(calculator.result, "");
  KPDialog::setMessageBoxResponder(nullptr);
}

TEST_F(Calculator, APlacedResultIsACalculationOfTheLoadedObjectsShownInAText) {
  object* x = number("1.5");
  object* y = number("2.25");
  // x took the letter b, y the letter a (a letter freed and taken again).
  objlist_add(calculator_list(), x, 2);
  objlist_add(calculator_list(), y, 1);
  // A loaded object whose letter is no longer in the text is no parent.
  objlist_add(calculator_list(), number("100"), 3);
  calculator.display = "b-a";
  command(kCalcEvaluate);
  EXPECT_EQ(messages, std::vector<std::string>{});
  EXPECT_EQ(calculator.result, "-0.75");
  // Evaluate again: the result waits for its place, in a box that follows
  // the mouse; never for another tool, which shares the flag.
  current_class = &classe_segment;
  command(kCalcEvaluate);
  EXPECT_EQ(placing_text, 0);
  askToPlace();
  EXPECT_EQ(placing_text, 1);
  EXPECT_EQ(text_box_width, 30);
  EXPECT_EQ(text_box_height, 12);
  EXPECT_FALSE(placingClick(200, 100));
  EXPECT_EQ(placing_text, 0);

  const std::vector<object*> calcs = ofClass(&classe_calculate);
  ASSERT_EQ(calcs.size(), 1u);
  object* calc = calcs[0];
  // Parents in the order of their letters, the typed text and a program.
  ASSERT_EQ(calc->nbparents, 2);
  EXPECT_EQ(calc->parents[0], y);
  EXPECT_EQ(calc->parents[1], x);
  EXPECT_STREQ(formulaText(calc), "b-a");
  EXPECT_NE(calc->parents[3], nullptr);
  EXPECT_EQ(calc->valeurs[0].info.rayon, -0.75);
  EXPECT_EQ(calc->aux2 & 6u, 6u);
  // Shown in a text of its own at the click.
  const std::vector<object*> texts = ofClass(&classe_text);
  ASSERT_EQ(texts.size(), 1u);
  object* text = texts[0];
  ASSERT_NE(text->inserted, nullptr);
  EXPECT_EQ(text->inserted->obj, calc);
  EXPECT_EQ(std::string(text->te->text), std::string(" ") + format_reference_marker(text->inserted->number));
  EXPECT_EQ(text->nbparents, 0);
  EXPECT_NEAR(text->te->pos.x, 185, 1);
  EXPECT_NEAR(text->te->pos.y, 94, 1);
  // The calculator starts afresh.
  EXPECT_EQ(objlist_count(calculator_list()), 0);
  EXPECT_EQ(calculator.display, "");
  EXPECT_EQ(calculator.result, "");

  // The calculation follows its objects, also once its text is compiled
  // again as a file read compiles it.
  set_text_record_text(x->te, "3");
  recomputeAll();
  EXPECT_EQ(calc->valeurs[0].info.rayon, 0.75);
  ASSERT_TRUE(compile_calculation(calc));
  set_text_record_text(x->te, "4");
  recomputeAll();
  EXPECT_EQ(calc->valeurs[0].info.rayon, 1.75);

  // A click that places nothing when no result was worked out.
  command(kCalcEvaluate);
  placing_text = 1;
  EXPECT_FALSE(placingClick(50, 50));
  EXPECT_EQ(ofClass(&classe_calculate).size(), 1u);
  // Nor when an object left the list after the evaluation: the program
  // numbers the objects it was compiled against.
  load({x, y});
  calculator.display = "a+b";
  command(kCalcEvaluate);
  askToPlace();
  objlist_remove_item(calculator_list(), y);
  EXPECT_FALSE(placingClick(50, 50));
  EXPECT_EQ(ofClass(&classe_calculate).size(), 1u);
}

TEST_F(Calculator, EditingACalculationGivesItTheNewFormulaAndRecomputes) {
  object* x = number("2");
  object* y = number("5");
  load({x, y});
  calculator.display = "a+b";
  command(kCalcEvaluate);
  askToPlace();
  ASSERT_FALSE(placingClick(100, 100));
  ASSERT_EQ(ofClass(&classe_calculate).size(), 1u);
  object* calc = ofClass(&classe_calculate)[0];
  EXPECT_EQ(calc->valeurs[0].info.rayon, 7);

  // Opened for editing: its objects are loaded with their letters.
  load_objects_into_calculator(calc);
  EXPECT_EQ(calculator.edited, calc);
  EXPECT_EQ(calculator.display, "a+b");
  ASSERT_EQ(objlist_count(calculator_list()), 2);
  object* z = number("10");
  objlist_add(calculator_list(), z, 3);
  calculator.display = "c-a*b";
  command(kCalcEvaluate);
  ASSERT_EQ(calc->nbparents, 3);
  EXPECT_EQ(calc->parents[2], z);
  EXPECT_STREQ(formulaText(calc), "c-a*b");
  EXPECT_EQ(calc->valeurs[0].info.rayon, 0);
  EXPECT_EQ(calculator.edited, calc);
  // The calculation is not placed a second time.
  askToPlace();
  EXPECT_FALSE(placingClick(20, 20));
  EXPECT_EQ(ofClass(&classe_calculate).size(), 1u);

  // A calculation built on the one being edited would close a loop.
  command(kCalcClear);
  load({calc});
  calculator.display = "2*a";
  calculator.edited = nullptr;
  command(kCalcEvaluate);
  askToPlace();
  ASSERT_FALSE(placingClick(300, 100));
  ASSERT_EQ(ofClass(&classe_calculate).size(), 2u) << messages.size();
  object* twice = ofClass(&classe_calculate)[1];
  EXPECT_EQ(twice->valeurs[0].info.rayon, 0);
  messages.clear();
  load_objects_into_calculator(calc);
  objlist_add(calculator_list(), twice, 4);
  calculator.display = "c-a*b+d";
  command(kCalcEvaluate);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(calc->nbparents, 3);
  EXPECT_STREQ(formulaText(calc), "c-a*b");
}

}  // namespace
