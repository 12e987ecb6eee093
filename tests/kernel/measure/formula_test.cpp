#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "kernel/measure/formula.h"
#include "kernel/measure/unit_factor.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/units.h"
#include "platform/kp_dialog.h"

namespace {

// A calculation with up to three number parents whose values the tests set.
class Formula : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_length_ = pixels_per_unit;
    pixels_per_unit = 38;
    for (int i = 0; i < 3; ++i) {
      parent_[i] = object{};
      parent_value_[i] = valeur{};
      parent_[i].valeurs = &parent_value_[i];
      parent_[i].nbvaleurs = 1;
      parents_[i] = &parent_[i];
    }
    calc_ = object{};
    calc_.parents = parents_;
    calc_.nbparents = 2;
    calc_.valeurs = &calc_value_;
    calc_.nbvaleurs = 1;
    current_calculation = &calc_;
    formula_questions_off = 0;
    KPDialog::setMessageBoxResponder([this](const KPMessageBoxRequest& r) {
      boxes_.push_back(r.message);
      return answer_;
    });
  }
  void TearDown() override {
    KPDialog::setMessageBoxResponder(nullptr);
    current_calculation = nullptr;
    pixels_per_unit = saved_length_;
    free_program();
  }

  void free_program() { GlobalFreeAndNull(&program_); }

  // Compiles and keeps the program; the result code.
  int compile(std::string text, uint16_t* position = nullptr) {
    free_program();
    uint16_t where = 0;
    const int code = compile_formula(text.data(), &where);
    if (position) *position = where;
    program_ = formula_program;
    formula_program = nullptr;
    return code;
  }

  // Runs the kept program; 0 with the value in *value.
  int evaluate(double* value) {
    formula_code = program_;
    formula_cell_index = 0;
    formula_error = 0;
    const int r = evaluate_compiled_formula();
    *value = calc_.valeurs[0].info.rayon;
    return r != 0 && formula_error != 0 ? formula_error : r;
  }

  // Compiles and evaluates; the code of whichever failed, else 0.
  int run(const std::string& text, double* value) {
    const int code = compile(text);
    if (code != 0) return code;
    return evaluate(value);
  }

  double l() const { return pixels_per_unit; }

  object parent_[3];
  valeur parent_value_[3];
  object* parents_[3];
  object calc_;
  valeur calc_value_{};
  formula_cell* program_ = nullptr;
  std::vector<std::string> boxes_;
  int answer_ = 0;
  double saved_length_ = 0;
};

TEST_F(Formula, ExampleTableCompilesToTheStatedProgramsAndValues) {
  EXPECT_EQ(compile(""), -1);
  ASSERT_EQ(compile("\n"), 0);
  EXPECT_EQ(program_[0].kind, kCellEnd);
  EXPECT_EQ(formula_program_length, 1);

  ASSERT_EQ(compile("2+3"), 0);
  EXPECT_EQ(program_[0].kind, kCellNumber);
  EXPECT_EQ(program_[0].number, 5);
  EXPECT_EQ(program_[1].kind, kCellEnd);

  ASSERT_EQ(compile("#1+2"), 0);
  EXPECT_EQ(program_[0].kind, kCellVariable);
  EXPECT_EQ(program_[0].ref, 1);
  EXPECT_EQ(program_[0].obj, &parent_[0]);
  EXPECT_EQ(program_[1].kind, kCellNumber);
  EXPECT_EQ(program_[2].kind, kCellOperator);
  EXPECT_EQ(program_[2].op, '+');
  EXPECT_EQ(program_[3].kind, kCellEnd);

  struct Case {
    const char* text;
    int code;
    double value;
  };
  const Case cases[] = {
      {"--3", 0, 3},         {"2*-3", 0, -6},        {"-2^2", 0, -4},         {"2^3^2", 0, 512},
      {"2--3", 0, 5},        {"2^-2", 0, 0.25},      {"8-2-1", 0, 5},         {"12/3/2", 0, 2},
      {"log(100)", 0, 2},    {"ln(1)", 0, 0},        {"log10(100)", 0, 2},    {"lg(1000)", 0, 3},
      {"Log(1)", 0, 0},      {"3.5.2", -1, 0},       {"min(3.5)", 0, 3},      {"max(3.5)", 0, 5},
      {"#1/0", 3, 0},        {"(-8)^#1", 4, 0},      {"Log10(2)", -1, 0},     {"min(2,2)", 0, 2},
      {"max(2,7)", 0, 7},    {"rand(1,1)", 0, 1},    {"2\xF6" "4", 0, 0.5},   {"6:4", 0, 1.5},
      {"pi", 0, std::numbers::pi}, {"\xE3", 0, std::numbers::pi}, {"1e3+2E-1", 0, 1000.2},
      {".5+5.", 0, 5.5},     {"sqrt(16)+Rac(9)", 0, 7}, {"abs(-2)*sqr(3)", 0, 18}, {"2+3\nnot read", 0, 5},
      {"\n\n4", 0, 4},       {"4294967296+1", 0, 4294967297.0}, {"round(-2.5)", 0, -2}, {"sign(0)", 0, 0},
      {"sign(-3)", 0, -1},   {"floor(2.7)+ceil(2.1)", 0, 5}, {"exp(0)", 0, 1}, {"atan(1)*4", 0, std::numbers::pi},
      {"2^", -1, 0},         {"(2", -1, 0},          {"2)", -1, 0},           {"sin 2", -1, 0},
      {"e5", -1, 0},         {"2e", -1, 0},          {"rand(2)", -1, 0},      {"min(#1)", -1, 0},
  };
  parent_value_[0].info.rayon = 0.5;
  for (const Case& c : cases) {
    double v = NAN;
    EXPECT_EQ(run(c.text, &v), c.code) << c.text;
    if (c.code == 0) EXPECT_DOUBLE_EQ(v, c.value) << c.text;
  }

  uint16_t position = 0;
  EXPECT_EQ(compile("2 + x", &position), -1);
  EXPECT_EQ(position, 4);
  EXPECT_EQ(formula_valid, 0);
  EXPECT_EQ(compile("#1/0", &position), 3);
}

TEST_F(Formula, EvaluationFollowsTheArithmeticRules) {
  double v = NAN;
  // Exact cancellation, folded and evaluated.
  EXPECT_EQ(run("0.1+0.2-0.3", &v), 0);
  EXPECT_EQ(v, 0.0);
  parent_value_[0].info.rayon = 0.1;
  EXPECT_EQ(run("#1+0.2-0.3", &v), 0);
  EXPECT_EQ(v, 0.0);

  EXPECT_EQ(run("(-8)^(1/3)", &v), 4);
  EXPECT_EQ(run("(-8)^3", &v), 0);
  EXPECT_EQ(v, -512);
  EXPECT_EQ(run("0^-1", &v), 5);
  EXPECT_EQ(run("0^0", &v), 5);
  EXPECT_EQ(run("0^0.5", &v), 0);
  EXPECT_EQ(v, 0);
  parent_value_[0].info.rayon = 0;
  EXPECT_EQ(run("#1^0.5", &v), 4);
  EXPECT_EQ(run("#1^-1", &v), 5);
  parent_value_[0].info.rayon = -8;
  EXPECT_EQ(run("#1^3", &v), 0);
  EXPECT_EQ(v, -512);

  EXPECT_EQ(run("argth(1)", &v), 0);
  EXPECT_EQ(v, HUGE_VAL);
  EXPECT_EQ(run("argth(-1)", &v), 0);
  EXPECT_EQ(v, -HUGE_VAL);
  EXPECT_EQ(run("argth(2)", &v), 10);
  EXPECT_EQ(run("asin(1.5)", &v), 10);
  EXPECT_EQ(run("acos(-2)", &v), 10);
  EXPECT_EQ(run("sqrt(-1)", &v), 6);
  EXPECT_EQ(run("ln(-1)", &v), 7);
  EXPECT_EQ(run("argch(1)", &v), 8);
  EXPECT_EQ(run("argch(2)", &v), 0);
  EXPECT_DOUBLE_EQ(v, std::acosh(2.0));
  EXPECT_EQ(run("infini", &v), 0);
  EXPECT_EQ(v, HUGE_VAL);

  // The same domains at evaluation: logarithms report 6 there; argch
  // below -1 reports 8 instead of a value that is not a number.
  struct Case {
    const char* text;
    double x;
    int code;
  };
  const Case at_evaluation[] = {{"sqrt(#1)", -1, 6}, {"ln(#1)", -1, 6},    {"log(#1)", -2, 6},
                                {"asin(#1)", 2, 10}, {"argth(#1)", 2, 10}, {"argch(#1)", 0.5, 8},
                                {"argch(#1)", -2, 8}, {"argth(#1)", 1, 0},  {"ln(#1)", 0, 0}};
  for (const Case& c : at_evaluation) {
    parent_value_[0].info.rayon = c.x;
    EXPECT_EQ(run(c.text, &v), c.code) << c.text << " at " << c.x;
  }

  for (int i = 0; i < 200; ++i) {
    ASSERT_EQ(run("rand(5,2)", &v), 0);
    EXPECT_GE(v, 2);
    EXPECT_LE(v, 5);
  }
  parent_value_[0].info.rayon = 5;
  parent_value_[1].info.rayon = 2;
  ASSERT_EQ(run("rand(#1,#2)", &v), 0);
  EXPECT_GE(v, 2);
  EXPECT_LE(v, 5);
  ASSERT_EQ(run("rand()", &v), 0);
  EXPECT_GE(v, 0);
  EXPECT_LT(v, 1);

  // A failing evaluation keeps the previous result.
  parent_value_[0].info.rayon = 6;
  parent_value_[1].info.rayon = 3;
  ASSERT_EQ(compile("#1 / #2"), 0);
  ASSERT_EQ(evaluate(&v), 0);
  EXPECT_EQ(v, 2);
  parent_value_[1].info.rayon = 0;
  EXPECT_EQ(evaluate(&v), 3);
  EXPECT_EQ(calc_value_.info.rayon, 2);
  // A parent's new value is read afresh.
  parent_value_[1].info.rayon = 4;
  ASSERT_EQ(evaluate(&v), 0);
  EXPECT_EQ(v, 1.5);
}

TEST_F(Formula, ReferencesOutsideTheParentsAreRejected) {
  double v = 0;
  EXPECT_EQ(run("#0+1", &v), -1);
  EXPECT_EQ(run("#3", &v), -1);
  EXPECT_EQ(run("#99999999999999999999", &v), -1);
  parents_[1] = nullptr;
  EXPECT_EQ(run("#2", &v), -1);
  current_calculation = nullptr;
  EXPECT_EQ(run("#1", &v), -1);
}

TEST_F(Formula, HostileTextsFailCleanly) {
  double v = 0;
  EXPECT_EQ(run(std::string(100000, '(') + "1" + std::string(100000, ')'), &v), -1);
  EXPECT_EQ(run(std::string(50000, '-') + "1", &v), 0);  // one sign run
  std::string signs;
  for (int i = 0; i < 10000; ++i) signs += "- ";
  EXPECT_EQ(run(signs + "1", &v), -1);
  std::string towers = "2";
  for (int i = 0; i < 5000; ++i) towers += "^1";
  EXPECT_EQ(run(towers, &v), -1);
  std::string sum = "#1";
  for (int i = 0; i < 40000; ++i) sum += "+#1";
  EXPECT_EQ(run(sum, &v), -1);  // more cells than a program may hold
  std::string fine = "#1";
  for (int i = 0; i < 1000; ++i) fine += "+#1";
  parent_value_[0].info.rayon = 1;
  EXPECT_EQ(run(fine, &v), 0);
  EXPECT_EQ(v, 1001);
  EXPECT_EQ(run(std::string("1+\x01\xFF"), &v), -1);
}

TEST_F(Formula, NestingCompilesUpToTheParserStacksBound) {
  parent_value_[0].info.rayon = 2;
  auto nested = [](const std::string& open, int depth, const std::string& inner) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += open;
    return text + inner + std::string(static_cast<size_t>(depth), ')');
  };
  auto signs = [](int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += "- ";
    return text;
  };
  struct Case {
    std::string text;
    int code;
    double value;
  };
  const Case cases[] = {
      {nested("(", 200, "#1+1"), 0, 3},
      {nested("(", 9000, "#1"), 0, 2},
      {nested("(", 10001, "1"), -1, 0},
      {nested("abs(", 400, "-#1"), 0, 2},
      {nested("abs(", 4900, "-#1"), 0, 2},
      {nested("abs(", 5001, "1"), -1, 0},
      {signs(399) + "#1", 0, -2},
      {signs(9000) + "#1", 0, 2},
      {nested("(#1+", 3000, "#1"), 0, 6002},
      {nested("min(1,", 200, "#1"), 0, 1},
  };
  for (const Case& c : cases) {
    double v = 0;
    EXPECT_EQ(run(c.text, &v), c.code) << c.text.substr(0, 12) << " .. " << c.text.size();
    if (c.code == 0) EXPECT_EQ(v, c.value) << c.text.substr(0, 12);
  }
}

TEST_F(Formula, FoldedConstantsAreNumberCellsAndOnlyTheInfinityConstantAnInfinityCell) {
  struct Case {
    const char* text;
    int cell;  // index of the constant's cell
    uint8_t kind;
  };
  const Case cases[] = {
      {"argth(1)", 0, kCellNumber},   {"infini", 0, kCellNumber},      {"infini*2", 0, kCellNumber},
      {"#1+argth(1)", 1, kCellNumber}, {"#1+infini", 1, kCellInfinity}, {"#1+(-infini)", 1, kCellInfinity},
      {"#1*(infini+1)", 1, kCellNumber},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(compile(c.text), 0) << c.text;
    EXPECT_EQ(program_[c.cell].kind, c.kind) << c.text;
    EXPECT_TRUE(std::isinf(program_[c.cell].number)) << c.text;
  }
}

TEST_F(Formula, TheCallersTextIsNotChanged) {
  char text[] = "30\xF8+1\xA1";
  uint16_t position = 0;
  ASSERT_EQ(compile_formula(text, &position), 0);
  GlobalFreeAndNull(&formula_program);
  EXPECT_STREQ(text, "30\xF8+1\xA1");
}

TEST_F(Formula, UnitsFollowTheAlgebra) {
  formula_questions_off = 1;
  double v = 0;
  ASSERT_EQ(run("2cm + 3mm", &v), 0);
  EXPECT_DOUBLE_EQ(v, 2 * l() + 0.3 * l());
  EXPECT_EQ(formula_result_unit->num[kUnitLength], 1);
  EXPECT_DOUBLE_EQ(formula_result_unit->factor, l());
  EXPECT_STREQ(formula_length_family, "mix");

  ASSERT_EQ(run("2 + 3cm", &v), 0);
  EXPECT_DOUBLE_EQ(v, 5 * l());
  EXPECT_EQ(formula_result_unit->num[kUnitLength], 1);
  EXPECT_STREQ(formula_length_family, "cm");

  ASSERT_EQ(run("sqrt(4cm2)", &v), 0);
  EXPECT_DOUBLE_EQ(v, 2 * l());
  EXPECT_EQ(formula_result_unit->num[kUnitLength], 1);
  EXPECT_EQ(formula_result_unit->den[kUnitLength], 1);
  EXPECT_DOUBLE_EQ(formula_result_unit->factor, l());

  ASSERT_EQ(run("5cm0", &v), 0);
  EXPECT_EQ(v, 5);
  EXPECT_EQ(formula_result_unit->num[kUnitLength], 0);
  EXPECT_EQ(formula_result_unit->factor, 1);

  ASSERT_EQ(run("1mile", &v), 0);
  EXPECT_DOUBLE_EQ(v, 160934.4 * l());
  ASSERT_EQ(run("2 inches + 1\"", &v), 0);
  EXPECT_DOUBLE_EQ(v, 3 * 2.54 * l());
  ASSERT_EQ(run("1km + 1 m + 1\tfoot", &v), 0);
  EXPECT_DOUBLE_EQ(v, (100000 + 100 + 30.48) * l());
  ASSERT_EQ(run("90deg + 100gr", &v), 0);
  EXPECT_DOUBLE_EQ(v, std::numbers::pi);
  EXPECT_STREQ(formula_angle_family, "mix");
  ASSERT_EQ(run("2cm^2*3cm", &v), 0);
  EXPECT_EQ(formula_result_unit->num[kUnitLength], 3);
  EXPECT_EQ(run("2cm^23", &v), -1);  // 2cm^2 followed by the number 3

  // A variable takes its object's unit.
  parent_[0].settings.unite = (1 << 5) | 0;  // mm
  parent_value_[0].info.rayon = 2 * l();
  ASSERT_EQ(run("#1 + 1", &v), 0);
  EXPECT_DOUBLE_EQ(v, 2.1 * l());
  EXPECT_STREQ(formula_length_family, "mm");
  ASSERT_EQ(run("round(#1)", &v), 0);  // rounded in millimetres
  EXPECT_DOUBLE_EQ(v, 2 * l());
  parent_value_[0].info.rayon = 2.06 * l();
  ASSERT_EQ(run("round(#1)", &v), 0);
  EXPECT_DOUBLE_EQ(v, 2.1 * l());

  // Exponents that would leave 16 bits fail instead of wrapping.
  std::string deep = "2cm";
  for (int i = 0; i < 16; ++i) deep = "sqrt(" + deep + ")";
  EXPECT_EQ(run(deep, &v), -1);
}

TEST_F(Formula, IncompatibleUnitsAreToldOnceAndReduced) {
  double v = 0;
  answer_ = 0;  // OK
  ASSERT_EQ(run("2cm + 30\xA1 + (1cm + 1rad)", &v), 0);
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_DOUBLE_EQ(v, 34);
  EXPECT_TRUE(unit_is_dimensionless(*formula_result_unit));

  boxes_.clear();
  answer_ = -1;  // closed without OK
  EXPECT_EQ(run("2cm + 30\xA1", &v), 2);
  EXPECT_EQ(boxes_.size(), 1u);

  // Reductions are asked once; a refusal fails with 12.
  boxes_.clear();
  answer_ = 0;  // Yes
  ASSERT_EQ(run("ln(2cm) + exp(1cm)", &v), 0);
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_DOUBLE_EQ(v, std::log(2.0) + std::exp(1.0));
  answer_ = 2;  // Cancel
  EXPECT_EQ(run("ln(2cm)", &v), 12);

  // Without a user nothing is asked and the reductions are made.
  boxes_.clear();
  formula_questions_off = 1;
  ASSERT_EQ(run("2cm + 30\xA1", &v), 0);
  EXPECT_DOUBLE_EQ(v, 32);
  ASSERT_EQ(run("ln(2cm)", &v), 0);
  EXPECT_TRUE(boxes_.empty());
}

}  // namespace
