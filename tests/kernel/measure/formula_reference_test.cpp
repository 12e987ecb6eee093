// Formulas against the table that make_formula_reference.py computed with
// Python's parser, exact fractions and math (tests/data/formula).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kernel/measure/formula.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/units.h"

namespace {

std::vector<std::string> split(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  std::string field;
  while (std::getline(in, field, separator)) fields.push_back(field);
  return fields;
}

// "=value" or "!code" against a compile or evaluation.
void expect_result(const std::string& expected, int code, double value, const std::string& what) {
  if (expected[0] == '!') {
    EXPECT_EQ(code, std::atoi(expected.c_str() + 1)) << what;
    return;
  }
  ASSERT_EQ(code, 0) << what;
  const double reference = std::strtod(expected.c_str() + 1, nullptr);
  if (reference == 0) EXPECT_EQ(value, 0) << what;
  else EXPECT_LE(std::fabs(value - reference), 1e-12 * std::fabs(reference)) << what << " gives " << value;
}

class FormulaReference : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_length_ = pixels_per_unit;
    pixels_per_unit = 38;
    formula_questions_off = 1;
    std::ifstream in(std::string(KELVO_TEST_DATA) + "/formula/formula_reference.txt");
    for (std::string line; std::getline(in, line);) rows_.push_back(split(line, '\t'));
  }
  void TearDown() override {
    pixels_per_unit = saved_length_;
    formula_questions_off = 0;
    current_calculation = nullptr;
  }

  // Compiles the text against `calc`; evaluates unless told not to.
  int compile_and_run(object* calc, const std::string& text, bool evaluate, double* value) {
    std::string copy = text;
    uint16_t position = 0;
    current_calculation = calc;
    int code = compile_formula(copy.data(), &position);
    if (code == 0 && evaluate) {
      formula_code = formula_program;
      formula_cell_index = 0;
      formula_error = 0;
      if (evaluate_compiled_formula() != 0) code = formula_error != 0 ? formula_error : 1;
      *value = calc->valeurs[0].info.rayon;
    } else if (code == 0) {
      *value = formula_program[0].number;
    }
    GlobalFreeAndNull(&formula_program);
    return code;
  }

  std::vector<std::vector<std::string>> rows_;
  double saved_length_ = 0;
};

TEST_F(FormulaReference, ValuesAndErrorClassesAgreeFoldedAndEvaluated) {
  int count = 0;
  for (const auto& row : rows_) {
    if (row.size() != 6 || row[0] != "value") continue;
    ++count;
    const std::vector<std::string> leaves = split(row[3], ' ');
    std::vector<object> parents(leaves.size());
    std::vector<valeur> values(leaves.size());
    std::vector<object*> list(leaves.size());
    for (size_t i = 0; i < leaves.size(); ++i) {
      parents[i] = object{};
      values[i] = valeur{};
      values[i].info.rayon = std::strtod(leaves[i].c_str(), nullptr);
      parents[i].valeurs = &values[i];
      parents[i].nbvaleurs = 1;
      list[i] = &parents[i];
    }
    valeur result{};
    object calc{};
    calc.parents = list.data();
    calc.nbparents = static_cast<int16_t>(list.size());
    calc.valeurs = &result;
    calc.nbvaleurs = 1;

    double value = 0;
    // A formula of constants folds into one number cell.
    int code = compile_and_run(&calc, row[1], false, &value);
    expect_result(row[4], code, value, "folded " + row[1]);
    code = compile_and_run(&calc, row[2], true, &value);
    expect_result(row[5], code, value, "evaluated " + row[2]);
  }
  EXPECT_GE(count, 500);
}

TEST_F(FormulaReference, UnitExponentsAgreeWithFractions) {
  int count = 0;
  for (const auto& row : rows_) {
    if (row.size() != 4 || row[0] != "unit") continue;
    ++count;
    double value = 0;
    ASSERT_EQ(compile_and_run(nullptr, row[1], false, &value), 0) << row[1];
    const formula_unit& u = *formula_result_unit;
    const std::string angle = std::to_string(u.num[kUnitAngle]) + "/" + std::to_string(u.den[kUnitAngle]);
    const std::string length = std::to_string(u.num[kUnitLength]) + "/" + std::to_string(u.den[kUnitLength]);
    EXPECT_EQ(angle, row[2]) << row[1];
    EXPECT_EQ(length, row[3]) << row[1];
  }
  EXPECT_GE(count, 100);
}

}  // namespace
