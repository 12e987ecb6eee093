#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>

#include "kernel/files/text_convert.h"
#include "kernel/measure/formula.h"
#include "kernel/measure/formula_text.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/units.h"
#include "kernel/prefs/default_attrs.h"
#include "platform/kp_dialog.h"

namespace {

std::string converted(const char* text) {
  std::string copy = text;
  EXPECT_EQ(convert_formula_to_c_locale(copy.data()), 0) << text;
  return copy;
}

class DecimalComma : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = decimal_separator;
    decimal_separator = ',';
  }
  void TearDown() override { decimal_separator = saved_; }
  char saved_ = '.';
};

TEST(FormulaText, VariableLettersStandAlone) {
  struct Case {
    const char* text;
    const char* letters;
  };
  const Case cases[] = {{"2e5", ""},     {"2e", "e"},         {"e-1", "e"},       {"ab+c", "c"},
                        {"2e-3*x", "x"}, {"sin(a)+B", "ab"},  {"pi*r^2", "r"},    {"a*b*a", "ab"}};
  for (const Case& c : cases) {
    collect_formula_variables(c.text);
    std::string letters;
    for (int n = 1; nth_formula_variable(n); ++n) letters += nth_formula_variable(n);
    EXPECT_EQ(letters, c.letters) << c.text;
    EXPECT_EQ(formula_used_letter_count, std::strlen(c.letters)) << c.text;
  }
  EXPECT_TRUE(formula_uses_variable("x+B", 3, 2));
  EXPECT_FALSE(formula_uses_variable("x+ab", 4, 2));
  EXPECT_FALSE(formula_uses_variable("x+b", 2, 2));  // outside the length
}

TEST(FormulaText, MarkingNumbersTheLettersAlphabetically) {
  object calc{};
  calc.nbparents = 2;
  EXPECT_STREQ(mark_formula_variables("b*a", &calc), "#2 *#1 ");
  EXPECT_STREQ(mark_formula_variables("2 * c + a", &calc), "2*#2 +#1 ");
  // A letter beyond the parents, or no object, keeps the letter.
  EXPECT_STREQ(mark_formula_variables("a+b+c", &calc), "#1 +#2 +#c ");
  EXPECT_STREQ(mark_formula_variables("a", nullptr), "#a ");
  EXPECT_STREQ(mark_formula_variables("sin(x)*2e5", &calc), "sin(#1 )*2e5");
  // Control bytes in the text are copied, never taken for marks.
  EXPECT_STREQ(mark_formula_variables("mi1+edeee\n+M+\a0\x19)", &calc), "mi1+edeee\n+#1 +\a0\x19)");
}

TEST(FormulaText, TypingAidRecognisesFunctionNames) {
  const char text[] = "2*ar";
  EXPECT_TRUE(find_whole_word(text, text + 4, 'c'));   // "arc..."
  EXPECT_FALSE(find_whole_word(text, text + 4, 'x'));
  const char upper[] = "SQ";
  EXPECT_TRUE(find_whole_word(upper, upper + 2, 'R'));
  const char longer[] = "abcdefgh";
  EXPECT_FALSE(find_whole_word(longer, longer + 8, 'a'));
}

TEST(FormulaText, ErrorPositionsMapBackToTheTypedText) {
  uint8_t numbers[26] = {};
  numbers[0] = 1;  // a
  // "a + x" compiles as "#1 +x": the x is at 4 in the compiled text.
  EXPECT_EQ(map_formula_error_position(4, "a + x", 5, numbers), 4);
  EXPECT_EQ(map_formula_error_position(2, "2 + x", 5, nullptr), 4);
  numbers[1] = 12;  // b is the twelfth object: "#12 "
  EXPECT_EQ(map_formula_error_position(5, "b+y", 3, numbers), 2);
}

TEST(FormulaText, APointSeparatorChangesNothing) {
  const char saved = decimal_separator;
  decimal_separator = '.';
  const char* texts[] = {"3,5*a", "max(1,2)", "a;b", "max+1"};
  for (const char* t : texts) EXPECT_EQ(converted(t), t);
  decimal_separator = saved;
}

TEST_F(DecimalComma, CommasBecomePointsAndArgumentSeparatorsStay) {
  EXPECT_EQ(converted("3,5*a"), "3.5*a");
  EXPECT_EQ(converted("a;b"), "a,b");
  EXPECT_EQ(converted(",5+1"), ".5+1");
  EXPECT_EQ(converted("max(1,5,2)"), "max(1.5,2)");
  EXPECT_EQ(converted("max(1,2)"), "max(1,2)");
  EXPECT_EQ(converted("min(1,5;2,5)"), "min(1.5,2.5)");
  EXPECT_EQ(converted("Min(a,2,5)"), "Min(a,2.5)");
  EXPECT_EQ(converted("max(1,5,2,5)"), "max(1.5,2.5)");
  EXPECT_EQ(converted("rand(1,5)*2,5"), "rand(1,5)*2.5");
  EXPECT_EQ(converted("random(1,5)"), "random(1,5)");
  EXPECT_EQ(converted("max(sin(1,5),2)"), "max(sin(1.5),2)");
  std::string bare = "max+1";
  EXPECT_EQ(convert_formula_to_c_locale(bare.data()), 1);
}

class UnitCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_length_ = pixels_per_unit;
    pixels_per_unit = 38;
    saved_length_unit_ = default_attrs[ATTRS_LENGTH].settings.unite;
    default_attrs[ATTRS_LENGTH].settings.unite = (1 << 5) | 1;
    for (int i = 0; i < 2; ++i) {
      parent_[i] = object{};
      parent_[i].valeurs = &value_[i];
      parent_[i].nbvaleurs = 1;
      parents_[i] = &parent_[i];
    }
    calc_ = object{};
    calc_.parents = parents_;
    calc_.nbparents = 2;
    current_calculation = &calc_;
    formula_questions_off = 0;
    formula_conversion_mode = 1;
    KPDialog::setMessageBoxResponder([this](const KPMessageBoxRequest&) {
      ++asked_;
      return answer_;
    });
  }
  void TearDown() override {
    KPDialog::setMessageBoxResponder(nullptr);
    GlobalFreeAndNull(&formula_program);
    current_calculation = nullptr;
    pixels_per_unit = saved_length_;
    default_attrs[ATTRS_LENGTH].settings.unite = saved_length_unit_;
  }
  bool check(const char* text) {
    GlobalFreeAndNull(&formula_program);
    std::string copy = text;
    uint16_t position = 0;
    EXPECT_EQ(compile_formula(copy.data(), &position), 0) << text;
    return check_formula_units();
  }
  // The program's value with the parents' values.
  double value() {
    valeur result{};
    calc_.valeurs = &result;
    calc_.nbvaleurs = 1;
    formula_code = formula_program;
    formula_cell_index = 0;
    formula_error = 0;
    EXPECT_EQ(evaluate_compiled_formula(), 0);
    calc_.valeurs = nullptr;
    return result.info.rayon;
  }

  object parent_[2];
  valeur value_[2]{};
  object* parents_[2];
  object calc_;
  int asked_ = 0;
  int answer_ = 0;
  double saved_length_ = 0;
  uint8_t saved_length_unit_ = 0;
};

TEST_F(UnitCheck, TheResultGetsItsUnitByte) {
  EXPECT_TRUE(check("2+3"));
  EXPECT_EQ(formula_unit_byte, 0);
  EXPECT_TRUE(check("2mm+1"));
  EXPECT_EQ(formula_unit_byte, (1 << 5) | 0);
  EXPECT_TRUE(check("2m*3m"));
  EXPECT_EQ(formula_unit_byte, (2 << 5) | 2);
  EXPECT_TRUE(check("2\xA1"));
  EXPECT_EQ(formula_unit_byte, (4 << 5) | 1);
  EXPECT_TRUE(check("1/2gr"));
  EXPECT_EQ(formula_unit_byte, 0);
  // A length of another power is divided into centimetres.
  EXPECT_TRUE(check("2cm^3"));
  EXPECT_EQ(formula_unit_byte, 0);
  EXPECT_DOUBLE_EQ(value(), 2);
  // Mixed lengths take the preferred length unit.
  EXPECT_TRUE(check("2cm+1mm"));
  EXPECT_EQ(formula_unit_byte, (1 << 5) | 1);
}

TEST_F(UnitCheck, AnAngleTimesALengthAsksOnce) {
  parent_[0].settings.unite = (4 << 5) | 1;  // degrees
  value_[0].info.rayon = std::numbers::pi / 2;
  parent_[1].settings.unite = (1 << 5) | 1;  // cm
  value_[1].info.rayon = 2 * 38;

  answer_ = 0;  // Yes: the angle is dropped
  EXPECT_TRUE(check("#1*#2"));
  EXPECT_EQ(asked_, 1);
  EXPECT_EQ(formula_unit_byte, (1 << 5) | 1);
  EXPECT_EQ(formula_conversion_mode, 1);

  asked_ = 0;
  answer_ = 1;  // No: converted to a plain number
  EXPECT_TRUE(check("#1*#2"));
  EXPECT_EQ(asked_, 1);
  EXPECT_EQ(formula_unit_byte, 0);
  EXPECT_EQ(formula_conversion_mode, 2);
  EXPECT_DOUBLE_EQ(value(), 90 * 2);

  // Without a user the converted mode is kept and nothing is asked.
  asked_ = 0;
  formula_questions_off = 1;
  EXPECT_TRUE(check("#1*#2"));
  EXPECT_EQ(asked_, 0);
  EXPECT_EQ(formula_conversion_mode, 2);
}

}  // namespace
