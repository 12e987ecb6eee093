#include "app/panels/tool_icon.h"

#include <gtest/gtest.h>

#include "app/panels/tool_icon_art.h"
#include "kernel/render/colors.h"

namespace {

int non_background_pixels(const tool_icon* icon, int size) {
  const uint8_t* px = tool_icon_pixels(icon, size);
  int n = 0;
  for (int i = 0; i < size * size; ++i) n += px[i] != 0;
  return n;
}

}  // namespace

TEST(ToolIcon, MarkersAreNotBitmaps) {
  EXPECT_EQ(tool_icon_from_field(nullptr), nullptr);
  EXPECT_EQ(tool_icon_from_field(reinterpret_cast<void*>(uintptr_t{1})), nullptr);
  EXPECT_EQ(tool_icon_from_field(reinterpret_cast<void*>(uintptr_t{color_count})), nullptr);
  const tool_icon* circle = builtin_tool_icon("Circle");
  ASSERT_NE(circle, nullptr);
  EXPECT_EQ(tool_icon_from_field(circle), circle);
  EXPECT_EQ(tool_icon_pixels(circle, 32), &circle->large[0][0]);
  EXPECT_EQ(tool_icon_pixels(circle, 16), &circle->small[0][0]);
  EXPECT_EQ(tool_icon_pixels(circle, 24), nullptr);
}

TEST(ToolIcon, ImagesReplaceTheKeyColourAndMarkTheList) {
  init_color_table();
  init_icon_palette();
  const tool_icon* icon = builtin_tool_icon("Point");
  ASSERT_NE(icon, nullptr);
  const uint32_t grey = light_gray_color & 0xFFFFFF;
  std::vector<uint32_t> plain = tool_icon_argb(icon, 16, back_color, grey, kNoListArrow);
  ASSERT_EQ(plain.size(), 256u);
  EXPECT_EQ(plain[0], 0xFF000000u | grey);  // the corner is background

  std::vector<uint32_t> down = tool_icon_argb(icon, 16, back_color, grey, kListArrowDown);
  for (auto [row, col] : {std::pair{14, 13}, {14, 14}, {14, 15}, {15, 14}}) EXPECT_EQ(down[row * 16 + col], 0xFF000000u);
  EXPECT_EQ(down[15 * 16 + 13], plain[15 * 16 + 13]);

  std::vector<uint32_t> right = tool_icon_argb(icon, 32, back_color, grey, kListArrowRight);
  ASSERT_EQ(right.size(), 1024u);
  for (auto [row, col] : {std::pair{27, 28}, {31, 28}, {28, 29}, {30, 29}, {29, 30}}) EXPECT_EQ(right[row * 32 + col], 0xFF000000u);
  EXPECT_TRUE(tool_icon_argb(nullptr, 16, 0, 0, 0).empty());
}

TEST(ToolIcon, EveryToolHasArtAtBothSizes) {
  const char* names[] = {
      "Point", "Point on Object", "Intersection Point", "Regular polygon vertex", "Line", "Segment", "Ray",
      "Vector", "Triangle", "Polygon", "Regular Polygon", "Circle", "Arc", "Conic", "Perpendicular Line",
      "Parallel Line", "Midpoint", "Perpendicular Bisector", "Angle Bisector", "Vector Sum", "Compass",
      "Measurement Transfer", "Locus", "Redefine Object", "Translation", "Reflection", "Symmetry", "Rotation",
      "Dilation", "Inverse", "Collinear", "Parallel", "Perpendicular", "Equidistant", "Member",
      "Distance & Length", "Area", "Slope", "Angle", "Equation & Coordinates", "Calculate", "Tabulate",
      "Expression", "Label", "Comments", "Numerical Edit", "Apply a formula", "Mark Angle", "Multiple Animation",
      "New Axes", "Define Grid", "Hide/Show Button", "Pointer", "Rotate", "Dilate", "Rotate and Dilate",
      "Animation", "Trace On/Off", "Fix / Free", "Hide/Show", "Thick", "Dotted", "Modify Appearance", "Color",
      "Fill", "Text Color", "Show Axes", "Hide Axes", "Initial Object", "Final Object", "Define Macro"};
  for (const char* name : names) {
    const tool_icon* icon = builtin_tool_icon(name);
    ASSERT_NE(icon, nullptr) << name;
    EXPECT_GT(non_background_pixels(icon, 16), 3) << name;
    EXPECT_GT(non_background_pixels(icon, 32), 8) << name;
  }
  EXPECT_EQ(builtin_tool_icon("No such tool"), nullptr);
  for (int i = 0; i < kAttributeIconCount; ++i) EXPECT_GT(non_background_pixels(attribute_tool_icon(i), 32), 0) << i;
  EXPECT_EQ(attribute_tool_icon(kAttributeIconCount), nullptr);
  EXPECT_NE(trash_tool_icon(trash_face::Empty), trash_tool_icon(trash_face::Full));
}
