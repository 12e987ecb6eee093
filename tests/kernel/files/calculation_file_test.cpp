// Calculations in figure files and macros: their formulas are compiled as
// they are read or applied, so that they compute at once, and a formula
// that does not compile costs only that calculation its value.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/macro_text.h"
#include "kernel/files/text_family.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/measure/formula.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/units.h"
#include "kernel/model/version_info.h"
#include "kernel/render/colors.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/tool_state.h"

namespace {

const char kHead[] =
    "Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n"
    "Window center x: 0cm y: 0cm\r\nResolution: 28 ppc\r\n\r\n";
const char kNumber[] =
    "1: Num, Val: 0 0 0, nA, nP, \r\nNbD:2, nFD, WU, \r\n3\r\nTP:  0,  0, TS:  2,  1\r\n\r\n";
const char kPoint[] = "3: Pt, Val: 1 -1\r\n\r\n";

std::string formula_record(const std::string& text) {
  return "2: Formula, Const: 1, Val: 84 28 0, nA, nP, \r\nNbD:2, nFD, WU, \r\n" + text +
         "\r\nTP:  3,  -1, TS:  2,  1\r\n\r\n";
}

const char kTwice[] =
    "Twice, T2\r\n"
    "Help:\r\n\"Twice plus one\"\r\n"
    "Mth: 0\r\n"
    "CN:1, ON:1, FN:1, PO:0\r\n"
    "CT:\r\n"
    "number, CS 0, default settings, \r\n"
    "Const:\r\n"
    "Formula, Mth:0, 1, CN:1, VN:1, Const: 1, default settings, formula: 2*a+1\r\n";

class CalculationFile : public ::testing::Test {
 protected:
  void SetUp() override {
    init_version_info();
    init_construct_classes();
    init_color_table();
    pixels_per_unit = 28.0;
    file_class = 0;
    file_platform = 0;
    file_mac_header = 1;
  }
  void TearDown() override {
    for (kelvo_win_info* f : figures_) {
      KPGeoDocument::setCurrentInfo(f);
      kelvo_win_info* copy = f->undo;
      free_figure_info(f, false);
      free_figure_info(copy, false);
    }
    KPGeoDocument::setCurrentInfo(nullptr);
    free_file_image();
    reset_pixels_per_unit();
    free_construct_classes();
  }
  int8_t open(const std::string& text) {
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    fig_ = KPGeoDocument::currentInfo();
    figures_.push_back(fig_);
    return read_figure_file(text.data(), static_cast<uint32_t>(text.size()), "/tmp/calculation.fig");
  }
  std::vector<object*> objects() const {
    std::vector<object*> list;
    for (object* o = fig_->first; o; o = o->next) list.push_back(o);
    return list;
  }
  static const void* program_of(const object* calc) { return calc->parents[calc->nbparents + 1]; }
  static const char* text_of(const object* calc) {
    return reinterpret_cast<const char*>(calc->parents[calc->nbparents]);
  }

  kelvo_win_info* fig_ = nullptr;
  std::vector<kelvo_win_info*> figures_;
};

TEST_F(CalculationFile, AFormulaReadFromAFileComputesAndWritesBackTheSame) {
  ASSERT_EQ(open(kHead + std::string(kNumber) + formula_record("2*a+1") + kPoint), 1);
  const std::vector<object*> list = objects();
  ASSERT_EQ(list.size(), 3u);
  object* calc = list[1];
  ASSERT_EQ(calc->classe, &classe_calculate);
  EXPECT_STREQ(text_of(calc), "2*a+1");
  ASSERT_NE(program_of(calc), nullptr);
  EXPECT_EQ(calc->state & OBJ_UNDEFINED, 0u);
  EXPECT_EQ(calc->valeurs[0].info.rayon, 7);

  EXPECT_EQ(txt_write_figure_file(), 1);
  const std::string saved(file_buffer, file_buffer_len);
  EXPECT_NE(saved.find("\r\n2*a+1\r\n"), std::string::npos) << saved;
  ASSERT_EQ(open(saved), 1);
  EXPECT_EQ(objects()[1]->valeurs[0].info.rayon, 7);
}

TEST_F(CalculationFile, AFormulaThatDoesNotCompileLosesOnlyItsValue) {
  for (const char* bad : {"2*a+", "a/0", "#0+1", "#9", "a*b", "max+1", "sqrt(-4)", "((((((((((((1"}) {
    SCOPED_TRACE(bad);
    ASSERT_EQ(open(kHead + std::string(kNumber) + formula_record(bad) + kPoint), 1);
    const std::vector<object*> list = objects();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_STREQ(text_of(list[1]), bad);
    EXPECT_EQ(program_of(list[1]), nullptr);
    EXPECT_EQ(list[2]->valeurs[0].h, 28);
  }
  // Deep nesting from a file is refused, not followed down the stack.
  const std::string deep = std::string(20000, '(') + "a" + std::string(20000, ')');
  ASSERT_EQ(open(kHead + std::string(kNumber) + formula_record(deep) + kPoint), 1);
  EXPECT_EQ(program_of(objects()[1]), nullptr);
}

TEST_F(CalculationFile, AMacroFormulaStepIsCompiledWhenApplied) {
  ASSERT_GT(txt_load_used_macro(kTwice, 0), 0) << macro_text_error();
  ASSERT_EQ(open(kHead + std::string(kNumber)), 1);
  object* number = fig_->first;
  construct_class* twice = find_macro_class_for_line("Twice");
  ASSERT_NE(twice, nullptr);
  current_class = twice;
  objlist_clear(fig_->inputs);
  objlist_add(fig_->inputs, number, 0);
  object* result = apply_macro(0, 0);
  current_class = nullptr;
  ASSERT_NE(result, nullptr);
  ASSERT_EQ(result->classe, &classe_calculate);
  EXPECT_STREQ(text_of(result), "2*a+1");
  ASSERT_NE(program_of(result), nullptr);
  EXPECT_EQ(result->valeurs[0].info.rayon, 7);
}

}  // namespace
