// A macro written as source tables: names, step lines, icon rows, counting.
#include <string>
#include <vector>

#include "../tools/tool_fixture.h"
#include "kernel/files/macro_text.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_source.h"
#include "kernel/tools/tool_ids.h"

namespace {

// Two points, their midpoint (hidden) and a segment from the first point to
// it (shown), then a calculation on nothing.
const char kMacro[] =
    "Mid-2 pt, M2\r\n"
    "Mth: 0\r\n"
    "CN:2, ON:3, FN:2, PO:1\r\n"
    "CT:\r\n"
    "point, CS 0, default settings, \r\n"
    "point, CS 0, default settings, \r\n"
    "Const:\r\n"
    "Mid, Mth:0, 0, CN:2, VN:1, Const: 1 2\r\n"
    "Seg, Mth:0, 1, CN:2, VN:2, Const: 1 3, default settings, \r\n"
    "Formula, Mth:0, 1, CN:0, VN:1, default settings, formula: 2*\"pi\"\r\n";

const char kGolden[] =
    "//Mid-2 pt\r\n"
    "//Mid-2 pt methode n\xB0" "0\r\n"
    "uint32_t Mid_2_ptind0[2]={1, 2};\r\n"
    "uint32_t Mid_2_ptind1[2]={1, 3};\r\n"
    "static macro_object Mid_2_ptobjmth0[3]={\r\n"
    "\t\t{NOTFINAL, 0, 2, 1, Mid_2_ptind0, &classe_milieu, 0, {0, NULL}},\r\n"
    "\t\t{FINAL, 0, 2, 2, Mid_2_ptind1, &classe_segment, 0, {0, NULL}},\r\n"
    "\t\t{FINAL, 0, 0, 1, NULL, &classe_calculate, 0, {0, \"2*\\\"pi\\\"\"}}};\r\n"
    "KPSHORT Mid_2_ptinfo0[4]={3, 0, 0, 1};\r\n"
    "static macro_def Mid_2_ptdef0={Mid_2_ptinfo0, Mid_2_ptobjmth0, NULL, 0, NULL};\r\n"
    "TYPEOBJ Mid_2_pttyc0[3]={POINT, POINT, 0};\r\n"
    "construct_method Mid_2_ptmth0={&Mid_2_ptdef0, NULL, NULL, NULL, identstd, NULL, Mid_2_pttyc0};\r\n"
    "\r\n"
    "icone_type Mid_2_pt_icon={\r\n";

}  // namespace

class MacroSource : public ToolTest {
 protected:
  void TearDown() override {
    current_class = nullptr;
    free_construct_classes();
    init_construct_classes();
    ToolTest::TearDown();
  }
  std::string write(construct_class* cls) {
    const int32_t counted = write_macro_as_c(cls, nullptr);
    std::vector<char> text(static_cast<size_t>(counted) + 1, '#');
    const int32_t written = write_macro_as_c(cls, text.data());
    EXPECT_EQ(written, counted);
    return std::string(text.data(), static_cast<size_t>(written));
  }
};

TEST_F(MacroSource, AFixedMacroMatchesItsGoldenText) {
  ASSERT_GT(txt_load_used_macro(kMacro, 0), 0) << macro_text_error();
  construct_class* cls = find_class_by_second_name("Mid-2 pt");
  ASSERT_NE(cls, nullptr);
  const std::string text = write(cls);
  EXPECT_EQ(text.substr(0, sizeof kGolden - 1), kGolden);
  // Sixteen icon rows of two words of eight palette nibbles.
  const size_t icon = text.find("_icon={\r\n") + 9;
  for (int r = 0; r < 16; ++r) {
    const std::string row = text.substr(icon + static_cast<size_t>(r) * 25, 24);
    EXPECT_EQ(row.substr(0, 2), "0x");
    EXPECT_EQ(row.substr(10, 4), ", 0x");
    EXPECT_EQ(row.substr(22, 2), r < 15 ? ",\r" : "};") << r;
  }
  EXPECT_NE(text.find("construct_methodptr Mid_2_ptmethlist[2]={&Mid_2_ptmth0, NULL};\r\n"), std::string::npos);
  EXPECT_NE(text.find("construct_class classe_Mid_2_pt={TRUE, &point_type, \"M2\", NULL, \"Mid-2 pt\", "
                      "\"Mid-2 pt\", Mid_2_pt_icon, -1, select_macro, fil_prop, Mid_2_ptmethlist};\r\n"),
            std::string::npos)
      << text;
  // No table name keeps a blank or a punctuation sign.
  for (const char* bad : {"Mid-2", "Mid 2", "2 pt"})
    EXPECT_EQ(text.find(std::string(bad) + "ind"), std::string::npos) << bad;
}

TEST_F(MacroSource, SourceNamesOfTheBuiltInClasses) {
  EXPECT_STREQ(macro_class_c_name(&classe_point), "&classe_point");
  EXPECT_STREQ(macro_class_c_name(&classe_symetriquedr), "&classe_symetriquedr");
  EXPECT_STREQ(macro_class_c_name(&classe_calculate), "&classe_calculate");
  for (construct_class* none : {&classe_interset, &classe_table, &classe_button, &classe_spring, &classe_exp_num})
    EXPECT_STREQ(macro_class_c_name(none), "") << none->short_name;
}
