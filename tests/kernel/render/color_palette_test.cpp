#include "kernel/render/color_palette.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "kernel/render/colors.h"

namespace {

LPARAM at(int x, int y) { return static_cast<LPARAM>((y & 0xFFFF) << 16 | (x & 0xFFFF)); }

struct posted {
  UINT message;
  WPARAM wparam;
};
std::vector<posted>& posts() {
  static std::vector<posted> p;
  return p;
}
int& fills() {
  static int n = 0;
  return n;
}

class ColorPalette : public ::testing::Test {
 protected:
  void SetUp() override {
    init_color_table();
    posts().clear();
    fills() = 0;
    palette_window_ops ops;
    ops.post_to_parent = [](HWND, UINT m, WPARAM w, LPARAM) { posts().push_back({m, w}); };
    ops.painter_for = [](HWND, palette_painter* out) {
      out->fill_polygon = [](void*, const tagPOINT*, int, uint32_t) { ++fills(); };
      return true;
    };
    install_palette_window_ops(ops);
    palette_color_index = 40;
  }
  void TearDown() override { install_palette_window_ops({}); }
  HWND window_ = reinterpret_cast<HWND>(1);
};

TEST_F(ColorPalette, ClicksSelectTheCellsTheLayoutPlaces) {
  EXPECT_DOUBLE_EQ(palette_cell_centre(0).x, 88);
  EXPECT_DOUBLE_EQ(palette_cell_centre(0).y, 80);  // the centre row rounds to 73 before the shift
  const struct {
    int x, y, cell;
    const char* name;
  } cases[] = {{88, 80, 0, "White"}, {52, 185, 37, "LightGray"}, {125, 185, 40, "Black"}};
  for (const auto& c : cases) {
    EXPECT_EQ(palette_hit_test(c.x, c.y), c.cell);
    color_hexagon_wnd_proc(window_, 513, 0, at(c.x, c.y));
    EXPECT_EQ(palette_color_index, c.cell);
    EXPECT_STREQ(color_name_by_index(c.cell), c.name);
  }
  // Every centre is distinct and the cells do not overlap.
  for (int i = 0; i < kPaletteCells; ++i)
    for (int j = i + 1; j < kPaletteCells; ++j) {
      const palette_point a = palette_cell_centre(i), b = palette_cell_centre(j);
      EXPECT_GE(std::hypot(a.x - b.x, a.y - b.y), 24) << i << " " << j;
    }
}

TEST_F(ColorPalette, APointFourteenPixelsFromEveryCentreHitsNothing) {
  const palette_point c = palette_cell_centre(37);
  // Straight below the extra row, 14 pixels under its centre.
  EXPECT_EQ(palette_hit_test(static_cast<int>(c.x), static_cast<int>(c.y) + 14), -1);
  EXPECT_EQ(palette_hit_test(static_cast<int>(c.x), static_cast<int>(c.y) + 13), 37);
  color_hexagon_wnd_proc(window_, 513, 0, at(500, 500));
  EXPECT_EQ(palette_color_index, 40);
}

TEST_F(ColorPalette, ADoubleClickThenTheReleasePostsOkToTheParent) {
  color_hexagon_wnd_proc(window_, 513, 0, at(88, 80));
  color_hexagon_wnd_proc(window_, 514, 0, at(88, 80));
  EXPECT_TRUE(posts().empty());
  color_hexagon_wnd_proc(window_, 515, 0, at(52, 185));
  color_hexagon_wnd_proc(window_, 514, 0, at(52, 185));
  EXPECT_EQ(palette_color_index, 37);
  ASSERT_EQ(posts().size(), 1u);
  EXPECT_EQ(posts()[0].message, 273u);
  EXPECT_EQ(posts()[0].wparam, 1u);
}

TEST_F(ColorPalette, PaintDrawsEveryCellAndTheCurrentOneAgain) {
  color_hexagon_wnd_proc(window_, 15, 0, 0);
  EXPECT_EQ(fills(), kPaletteCells + 1);
  palette_color_index = kNoPaletteCell;
  fills() = 0;
  color_hexagon_wnd_proc(window_, 15, 0, 0);
  EXPECT_EQ(fills(), kPaletteCells);
}

TEST_F(ColorPalette, MaskBitsActivateTheirMenus) {
  uint8_t flags[kPaletteMenuFlags];
  palette_flags_from_mask(0x0204, flags);
  const uint8_t pen_and_fill[kPaletteMenuFlags] = {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < kPaletteMenuFlags; ++i) EXPECT_EQ(flags[i], pen_and_fill[i]) << i;
  palette_flags_from_mask(0x4041, flags);
  EXPECT_EQ(flags[4] + flags[9] + flags[10], 3);
  EXPECT_EQ(flags[0] + flags[1] + flags[2], 0);
}

}  // namespace
