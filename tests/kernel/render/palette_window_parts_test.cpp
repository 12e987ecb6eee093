// The colour choice procedure's answers, the height of the colour menus and
// the palette window's corner square.
#include <gtest/gtest.h>

#include <vector>

#include "kernel/render/color_palette.h"
#include "kernel/render/colors.h"
#include "kernel/tools/toolbox.h"

namespace {

struct Drawn {
  std::vector<tagRECT> fills;
  int lines = 0;
};

palette_painter painter_into(Drawn* d) {
  palette_painter p;
  p.context = d;
  p.fill_rect = [](void* c, int32_t l, int32_t t, int32_t r, int32_t b, uint32_t) {
    static_cast<Drawn*>(c)->fills.push_back({l, t, r, b});
  };
  p.line = [](void* c, int32_t, int32_t, int32_t, int32_t, uint32_t) { ++static_cast<Drawn*>(c)->lines; };
  return p;
}

}  // namespace

TEST(PaletteWindowParts, TheColourChoiceAnswersOkAndCancelOnly) {
  EXPECT_EQ(color_choice_dlgproc(nullptr, 273, 1, 0), 1);
  EXPECT_EQ(color_choice_dlgproc(nullptr, 273, 2, 0), 1);
  EXPECT_EQ(color_choice_dlgproc(nullptr, 273, (5u << 16) | 1, 0), 1) << "the notification code is ignored";
  EXPECT_EQ(color_choice_dlgproc(nullptr, 273, 1198, 3), 0);
  EXPECT_EQ(color_choice_dlgproc(nullptr, 15, 0, 0), 0);
}

TEST(PaletteWindowParts, TheCornerSquareLiesBelowTheButtonsAndItsInsideIsStrict) {
  const int32_t b = toolbox_layout.button_height;
  Drawn d;
  const palette_painter p = painter_into(&d);
  EXPECT_EQ(palette_corner_square(p, 40, 10, 0, 0, 0), 1);
  ASSERT_EQ(d.fills.size(), 1u);
  EXPECT_EQ(d.fills[0].left, 31);
  EXPECT_EQ(d.fills[0].top, 10 + b);
  EXPECT_EQ(d.fills[0].right, 40);
  EXPECT_EQ(d.fills[0].bottom, 10 + b + 9);
  EXPECT_EQ(d.lines, 4);
  EXPECT_EQ(palette_corner_square(p, 40, 10, 35, 10 + b + 4, 1), 1);
  EXPECT_EQ(palette_corner_square(p, 40, 10, 31, 10 + b + 4, 1), 0) << "an edge is outside";
  EXPECT_EQ(palette_corner_square(p, 40, 10, 35, 10 + b + 9, 1), 0);
  EXPECT_EQ(d.fills.size(), 1u) << "a hit test paints nothing";

  uint8_t flags[kPaletteMenuFlags];
  palette_flags_from_mask(0x0204, flags);
  EXPECT_EQ(palette_corner_square_offset(flags), 2 * b + 9);
  palette_flags_from_mask(0x0004, flags);
  EXPECT_EQ(palette_corner_square_offset(flags), 0);
}

TEST(PaletteWindowParts, TheColourMenusHeightIsTheTallerOfPenAndFill) {
  menu pen{};
  menu fill{};
  pen.rect = {0, 10, 20, 32};
  fill.rect = {0, 40, 20, 70};
  menu* saved[2] = {attrib_menus[0], attrib_menus[1]};
  attrib_menus[0] = &pen;
  attrib_menus[1] = &fill;
  EXPECT_EQ(attrib_menus_height(), 30);
  fill.rect = {0, 40, 20, 50};
  EXPECT_EQ(attrib_menus_height(), 22);
  attrib_menus[0] = saved[0];
  attrib_menus[1] = saved[1];
}
