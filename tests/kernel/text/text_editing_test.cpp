#include "kernel/text/text_editing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kernel/files/text_convert.h"
#include "kernel/model/geometry_fixture.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/pick.h"

namespace {

TEST(FormulaInputFilter, ImpliedProductCases) {
  struct Case {
    const char* text;
    char c;
    bool star;
  } cases[] = {
      {"2", '(', true},     {"log10", '(', false}, {"2", 'e', false}, {"2", 'E', false}, {"x", 'y', true},
      {"s", 'i', false},    {"log", '1', false},   {"2", 'x', true},  {")", 'x', true},  {"x", '2', true},
      {"e", '2', false},    {"2", '3', false},     {"", 'x', false},  {"co", 's', false}, {"arccosh", 'x', true},
      {"2\xA5", 'x', false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(formula_input_filter(c.text, static_cast<int>(std::string(c.text).size()), c.c), c.star)
        << '"' << c.text << "\" + " << c.c;
  // Only the characters before the insertion point count.
  EXPECT_TRUE(formula_input_filter("2x", 1, 'y'));
}

// The decimal separator `c`, the other of comma and point separating
// thousands, whatever an earlier test left.
struct SeparatorScope {
  char saved = decimal_separator;
  char saved_second = second_separator;
  explicit SeparatorScope(char c) {
    decimal_separator = c;
    second_separator = c == ',' ? '.' : ',';
  }
  ~SeparatorScope() {
    decimal_separator = saved;
    second_separator = saved_second;
  }
};

TEST(StepNumberInText, StepsTheDigitAtTheSelection) {
  SeparatorScope comma(',');
  struct Case {
    const char* text;
    int start, end, direction;
    const char* expected;
    int new_start, new_end;
  } cases[] = {
      {"1,95", 4, 4, 0, "1,96", 4, 4},   // the last digit
      {"0", 1, 1, 1, "-1", 2, 2},        // crossing zero moves the selection right
      {"-1", 2, 2, 0, "0", 1, 1},        // and back left
      {"9", 1, 1, 0, "10", 2, 2},        // one more integer digit
      {"1,95", 0, 1, 0, "2,95", 0, 1},   // the units digit selected
      {"1,95", 2, 4, 1, "1,84", 2, 4},   // two digits each go down by one
      {"", 0, 0, 0, "1", 0, 0},          // empty text reads as 0; caret at 0 steps the first digit
      {"12,5", 3, 3, 0, "13,5", 3, 3},   // caret on the separator steps the units
  };
  for (const Case& c : cases) {
    int s = -1, e = -1;
    EXPECT_EQ(step_number_in_text(c.text, c.start, c.end, c.direction, nullptr, &s, &e), c.expected) << c.text;
    EXPECT_EQ(s, c.new_start) << c.text;
    EXPECT_EQ(e, c.new_end) << c.text;
  }
}

TEST(StepNumberInText, HugeValuesWithAUnitAreWrittenWhole) {
  SeparatorScope point('.');
  std::string huge = "1" + std::string(300, '0');
  int s = 0, e = 0;
  const std::string out = step_number_in_text(huge, 301, 301, 0, "cm", &s, &e);
  ASSERT_GT(out.size(), 300u);
  EXPECT_EQ(out.substr(out.size() - 3), " cm");
  // Digits after the 15th significant one are zeros.
  EXPECT_EQ(out.substr(0, 16), "1000000000000000");
  EXPECT_EQ(out.find_first_not_of('0', 1), out.size() - 3);
}

TEST(EditKinds, ControlAndIndexCharacters) {
  EXPECT_TRUE(is_control_char(31));
  EXPECT_TRUE(is_control_char(127));
  EXPECT_FALSE(is_control_char(' '));
  EXPECT_TRUE(is_index_char(7));
  EXPECT_FALSE(is_index_char(0));
  EXPECT_FALSE(is_index_char(8));
  EXPECT_EQ(edit_char_length("\r\nx"), 2);
  EXPECT_EQ(edit_char_length("x"), 1);
}

// A number, coordinate or expression edited in place: each change moves what
// depends on it, and no object is left marked as moving.
class EditedValue : public GeometryTest {
 protected:
  void SetUp() override {
    GeometryTest::SetUp();
    decimal_separator = '.';
    second_separator = ',';
  }
  void TearDown() override {
    fig_->cur_text = nullptr;
    GeometryTest::TearDown();
  }
  object* number(const char* shown) {
    object* n = make(classe_nombre, 0, {});
    set_text_record_text(n->te, shown);
    recompute_object(n);
    return n;
  }
  static char* block(const char* text) {
    auto* b = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(std::strlen(text) + 1)));
    std::strcpy(b, text);
    return b;
  }
  object* calculation(const char* formula, object* of) {
    pending_extra[0] = block(formula);
    return make(classe_calculate, 0, {of});
  }
  // Types a new text into the object under edit.
  void type(object* edited, const char* text) {
    fig_->cur_text = edited;
    ASSERT_TRUE(set_text_record_text(edited->te, text));
    edited->te->length = static_cast<int32_t>(std::strlen(text));
    edited_value_changed(edited);
  }
  void expectNothingMarked() {
    for (object* o = fig_->first; o; o = o->next) EXPECT_EQ(o->state & OBJ_MOVING, 0u);
  }
  static double value(const object* o) { return o->valeurs[0].info.rayon; }
};

TEST_F(EditedValue, ANumberMovesItsCalculationsAndTheirs) {
  object* n = number("3");
  object* twice = calculation("2*a+1", n);
  object* square = calculation("a*a", twice);
  object* other = calculation("a+1", number("10"));
  ASSERT_EQ(value(square), 49);
  type(n, "5");
  EXPECT_EQ(value(n), 5);
  EXPECT_EQ(value(twice), 11);
  EXPECT_EQ(value(square), 121);
  EXPECT_EQ(value(other), 11);
  expectNothingMarked();
}

TEST_F(EditedValue, ACoordinateTypedMovesItsPointAndWhatIsBuiltOnIt) {
  // Axes with their origin at (100, 100) and units of 40 pixels.
  object* ax = make(classe_axe, 1, {point(100, 100), point(140, 100), point(100, 60)});
  object* p = point(140, 60);
  object* middle = make(classe_milieu, 0, {p, point(100, 100)});
  object* x = make(classe_equation, 0, {p, ax});
  x->settings.nbre_decimales = 2;
  recompute_object(x);
  type(x, "3");
  EXPECT_DOUBLE_EQ(p->valeurs[0].h, 220);
  EXPECT_DOUBLE_EQ(p->valeurs[0].v, 60);
  EXPECT_DOUBLE_EQ(middle->valeurs[0].h, 160);
  expectNothingMarked();
}

TEST_F(EditedValue, AnExpressionAppliedToANumberTakesItsNewText) {
  object* n = number("3");
  char* typed = block("2*x");
  pending_extra[0] = typed;
  object* expression = make(classe_exp_num, 0, {});
  pending_extra[0] = nullptr;
  GlobalFreeAndNull(&typed);
  ASSERT_NE(expression->te, nullptr);
  object* applied = make(classe_exp_num_app, 0, {n, expression});
  ASSERT_EQ(value(applied), 6);
  type(expression, "3*x+1");
  EXPECT_EQ(value(applied), 10);
  expectNothingMarked();
}

}  // namespace
