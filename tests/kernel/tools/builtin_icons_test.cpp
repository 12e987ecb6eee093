// The icons the built-in classes get at start-up.
#include "kernel/tools/builtin_icons.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/tools/tool_state.h"

namespace {

int ink(const uint8_t* icon) {
  int n = 0;
  for (int i = 0; i < kBuiltinIconBytes; ++i) n += icon[i] != 0;
  return n;
}

class BuiltinIcons : public ::testing::Test {
 protected:
  void SetUp() override { init_construct_classes(); }
  void TearDown() override { free_construct_classes(); }
};

TEST_F(BuiltinIcons, EveryToolOfTheClassListHasItsOwnPicture) {
  std::set<std::string> pictures;
  for (int k = 0; k < kBuiltinClassIconCount; ++k) {
    const construct_class* c = class_list[k];
    ASSERT_NE(c->icon, nullptr) << k;
    EXPECT_GT(ink(c->icon), 12) << k;
    // Only the single intersection point, no tool of the palette, shares
    // the intersection tool's picture.
    if (c != &classe_ptint)
      EXPECT_TRUE(pictures.emplace(reinterpret_cast<const char*>(c->icon), kBuiltinIconBytes).second) << k;
  }
  // The pre-built compass and vector sum are tools of the palette too.
  EXPECT_EQ(optional_classes[0]->icon, builtin_named_icon("Compass"));
  EXPECT_EQ(optional_classes[1]->icon, builtin_named_icon("Vector Sum"));
  // Each expression tool shows what it does, whatever its key.
  EXPECT_EQ(classe_exp_num_app.icon, builtin_named_icon("Apply a formula"));
  EXPECT_EQ(classe_exp_num.icon, builtin_named_icon("Expression"));
  // The spring class is the palette's Multiple Animation when a tool-menu
  // file names that tool, and shows its picture; the regular polygon's
  // vertices are no tool.
  EXPECT_EQ(classe_spring.icon, builtin_named_icon("Multiple Animation"));
  EXPECT_EQ(classe_point_polyreg.icon, nullptr);
  EXPECT_EQ(builtin_class_icon(kBuiltinClassIconCount), nullptr);
}

TEST_F(BuiltinIcons, TheExpressionToolsKeepTheirKeysAndTheirNamesSayWhatTheyDo) {
  EXPECT_STREQ(classe_exp_num_app.english_name, "Expression");
  EXPECT_STREQ(classe_exp_num.english_name, "Apply a formula");
  // Without a language file, the names shown say it too.
  EXPECT_STREQ(classe_exp_num_app.name, "Apply a formula");
  EXPECT_STREQ(classe_exp_num.name, "Expression");
  EXPECT_STREQ(optional_classes[0]->english_name, "CO");
  EXPECT_STREQ(optional_classes[1]->english_name, "S2");
}

}  // namespace
