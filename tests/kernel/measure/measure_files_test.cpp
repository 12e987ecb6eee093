// Figures with measures read from files: every measure computes on
// opening, and damaged decimals, units, number texts and side indices stay
// within their bounds (the same figures seed the figure-file fuzz target).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/text_convert.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/units.h"
#include "kernel/model/version_info.h"
#include "kernel/render/colors.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/tool_state.h"

namespace {

class MeasureFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    init_version_info();
    init_construct_classes();
    init_color_table();
    pixels_per_unit = 28.0;
    decimal_separator = '.';
    second_separator = ',';
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    fig_ = KPGeoDocument::currentInfo();
  }
  void TearDown() override {
    KPGeoDocument::setCurrentInfo(fig_);
    kelvo_win_info* copy = fig_->undo;
    free_figure_info(fig_, false);
    free_figure_info(copy, false);
    KPGeoDocument::setCurrentInfo(nullptr);
    free_construct_classes();
    reset_locale_separators();
    reset_pixels_per_unit();
  }
  int8_t read(const char* name) {
    std::ifstream in(std::string(KELVO_TEST_DATA) + "/../fuzz/corpus/figure_file_fuzz/" + name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string text = bytes.str();
    EXPECT_FALSE(text.empty()) << name;
    return read_figure_file(text.data(), static_cast<uint32_t>(text.size()), "/tmp/measures.fig");
  }
  object* numbered(uint32_t n) {
    for (object* o = fig_->first; o; o = o->next)
      if (o->num == n) return o;
    return nullptr;
  }
  static std::string text(const object* m) { return m && m->te && m->te->text ? m->te->text : ""; }
  kelvo_win_info* fig_ = nullptr;
};

TEST_F(MeasureFiles, EveryMeasureOfAFigureComputesOnOpening) {
  ASSERT_EQ(read("measures_all.fig"), 1);
  // Points (1, 2), (4, 1), (2, -1) in centimetres of 28 pixels.
  EXPECT_EQ(text(numbered(5)), std::string("3.16 cm"));
  EXPECT_EQ(text(numbered(7)), std::string("4.00 cm\xB2"));
  EXPECT_EQ(text(numbered(9)), "-3.00");
  EXPECT_NEAR(numbered(10)->valeurs[0].info.rayon, std::atan2(1.0, 3.0) + std::atan2(2.0, 2.0), 1e-12);
  EXPECT_EQ(text(numbered(10)), std::string("63.4 \xFB"));
  EXPECT_EQ(text(numbered(16)), "7");  // a number shows what was typed
  EXPECT_FALSE(numbered(18)->state & OBJ_UNDEFINED);
  EXPECT_EQ(text(numbered(20)), std::string("0.0 m\xB2"));
}

TEST_F(MeasureFiles, DamagedMeasuresStayWithinTheirBounds) {
  ASSERT_EQ(read("measures_hostile.fig"), 1) << figure_file_error();
  for (object* o = fig_->first; o; o = o->next) {
    SCOPED_TRACE(o->num);
    if (!o->otype || o->otype->id != TYPE_NUMBER || o->classe == &classe_nombre || !o->te || !o->te->text) continue;
    // Written with at most 99 decimals, digit groups and a unit.
    EXPECT_LT(std::strlen(o->te->text), 200u) << o->te->text;
  }
  // A 400-digit number text is read up to its 63rd character.
  object* big = numbered(8);
  ASSERT_NE(big, nullptr);
  EXPECT_NEAR(big->valeurs[0].info.rayon / 28, 1e63, 1e50);
  EXPECT_EQ(numbered(9)->valeurs[0].info.rayon, 0);
}

}  // namespace
