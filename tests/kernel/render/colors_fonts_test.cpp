#include <cmath>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "kernel/render/colors.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/render/fonts.h"

namespace {

TEST(ColorTable, NamesCodesAndIndicesAreExact) {
  struct Entry {
    uint32_t rgb;
    const char* name;
    const char* code;
  } const table[41] = {
      {0xFFFFFF, "White", "W"},          {0xFFB6C1, "LightPink", "ltp"},    {0xF0E68C, "Khaki", "kki"},
      {0x98FB98, "PaleGreen", "pag"},    {0xAFEEEE, "PaleTurquoise", "pat"}, {0x87CEEB, "SkyBlue", "skb"},
      {0xDDA0DD, "Plum", "plm"},         {0xFF0000, "Red", "R"},            {0xFF8C00, "DarkOrange", "O"},
      {0xFFFF00, "Yellow", "Y"},         {0xADFF2F, "GreenYellow", "gry"},  {0x00FF00, "Lime", "G"},
      {0x00FF7F, "SpringGreen", "spg"},  {0x00FFFF, "Cyan", "lBl"},         {0x1E90FF, "DodgerBlue", "dob"},
      {0x0000FF, "Blue", "Bl"},          {0x8A2BE2, "BlueViolet", "blv"},   {0xFF00FF, "Magenta", "ma"},
      {0xFF1493, "DeepPink", "dep"},     {0x800000, "Maroon", "dBr"},       {0x8B4513, "SaddleBrown", "Br"},
      {0xDAA520, "Goldenrod", "gor"},    {0x808000, "Olive", "olv"},        {0x6B8E23, "OliveDrab", "old"},
      {0x006400, "DarkGreen", "dkg"},    {0x008000, "Green", "dG"},         {0x32CD32, "LimeGreen", "lig"},
      {0x00FA9A, "MediumSpringGreen", "msg"}, {0x008080, "Teal", "tea"},    {0x20B2AA, "LightSeaGreen", "lsg"},
      {0x4169E1, "RoyalBlue", "rob"},    {0x000080, "Navy", "V"},           {0x4B0082, "Indigo", "ind"},
      {0xBA55D3, "MediumOrchid", "meo"}, {0x800080, "Purple", "P"},         {0xC71585, "MediumVioletRed", "mvr"},
      {0xDC143C, "Crimson", "crs"},      {0xC0C0C0, "LightGray", "lGr"},    {0x808080, "Gray", "Gr"},
      {0x404040, "DarkGray", "dGr"},     {0x000000, "Black", "B"},
  };
  init_color_table();
  for (int i = 0; i < 41; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(color_by_index(i), table[i].rgb);
    EXPECT_EQ(constant_color_by_index(i), table[i].rgb);
    EXPECT_STREQ(color_name_by_index(i), table[i].name);
    EXPECT_STREQ(color_code_by_index(i), table[i].code);
    EXPECT_EQ(color_by_name(table[i].name), table[i].rgb);
    EXPECT_EQ(color_by_code(table[i].code), table[i].rgb);
    EXPECT_EQ(color_index_by_value(table[i].rgb), i);
    EXPECT_EQ(nearest_color_index(table[i].rgb), i);
    EXPECT_EQ(color_by_index_one_based(i + 1), table[i].rgb);
  }
  const int palette[16] = {0, 9, 8, 7, 34, 31, 15, 13, 11, 25, 20, 19, 37, 38, 39, 40};
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(palette16_color(i), table[palette[i]].rgb);
    EXPECT_EQ(palette16_index_of(palette[i]), i);
  }
  EXPECT_EQ(back_color, 0xFFFFFFu);
  EXPECT_EQ(default_color, 0u);
  EXPECT_EQ(light_gray_color, 0xC0C0C0u);
  EXPECT_EQ(magenta_color, 0xFF00FFu);
  EXPECT_EQ(shared_bitmap_info->bmiHeader.biBitCount, 32);
}

TEST(ColorTable, ConversionsAndEdgeCases) {
  init_color_table();
  EXPECT_STREQ(color_code_by_value(0xFF8C00), "O");
  EXPECT_STREQ(color_code_by_value(0x123456), "B");
  EXPECT_STREQ(color_name_by_value(0x123456), "Black");
  EXPECT_EQ(color_by_code("b"), default_color);  // case-sensitive
  EXPECT_EQ(color_by_code("Bl"), 0x0000FFu);
  EXPECT_EQ(color_by_code(nullptr), default_color);
  EXPECT_EQ(color_index_one_based(0), 41);
  EXPECT_EQ(color_index_one_based(0x123456), -1);
  EXPECT_EQ(color_index_one_based(0xFFFFFF), 1);
  EXPECT_EQ(nearest_color_index(0x808081), 38);
  EXPECT_EQ(nearest_color_index(0x7F7F7F), 38);
  EXPECT_EQ(rgb_to_bgr_pal(0x123456), 0x02563412u);
  EXPECT_EQ(bgr_to_rgb(0xFF563412), 0x123456u);
  EXPECT_TRUE(colors_are_close(0x000000, 0x212121));
  EXPECT_FALSE(colors_are_close(0x000000, 0x212122));
  EXPECT_EQ(palette16_index_of(17), 15);
  // Indices from files are checked: out of range gives Black, never a read
  // past the table.
  for (int bad : {-1, 41, 255, 100000}) {
    EXPECT_EQ(color_by_index(bad), 0u);
    EXPECT_STREQ(color_name_by_index(bad), "Black");
    EXPECT_STREQ(color_code_by_index(bad), "B");
  }
  EXPECT_EQ(palette16_color(16), 0u);
}

TEST(FontTable, RegistrationNamesAndHeights) {
  free_font_table();
  ASSERT_EQ(font_count(), 0);
  std::unique_ptr<KPFont> dejavu12(KPFont::withName("DejaVu Sans", 12));
  std::unique_ptr<KPFont> dejavu14(KPFont::withName("DejaVu Sans", 14));
  ASSERT_NE(dejavu12, nullptr);
  EXPECT_EQ(font_register(dejavu12.get()), 1);
  EXPECT_EQ(font_register(dejavu12.get()), 1);
  EXPECT_EQ(font_register(dejavu14.get()), 2);
  EXPECT_EQ(font_id_by_name("DejaVu Sans"), 1);
  EXPECT_EQ(font_id_by_name_or_create("No Such Face Anywhere", 12), 0);
  EXPECT_EQ(font_count(), 2);
  EXPECT_EQ(font_id_by_name_or_create("DejaVu Serif", 10), 3);

  EXPECT_STREQ(font_name_by_id(0), "Lucida Grande");
  EXPECT_STREQ(font_name_by_id(1), "DejaVu Sans");
  EXPECT_EQ(font_name_by_id(99), nullptr);
  EXPECT_DOUBLE_EQ(font_get_nsfont(2)->pointSize(), 14.0);
  EXPECT_DOUBLE_EQ(font_get_nsfont(0)->pointSize(), 12.0);
  EXPECT_EQ(font_get_nsfont(99), font_get_nsfont(0));

  screen_pixels_per_inch = 96;
  EXPECT_EQ(font_points_to_height(nullptr, 12), -12);
  EXPECT_EQ(font_points_to_height(nullptr, 0), 0);
  EXPECT_EQ(font_height_to_points(nullptr, -16), 16);
  screen_pixels_per_inch = 72;
  EXPECT_EQ(font_points_to_height(nullptr, 12), -9);
  EXPECT_EQ(font_height_to_points(nullptr, -9), 12);
  screen_pixels_per_inch = 96;
  // A measured resolution sets the pixels per inch and the whole pixels per
  // centimetre; one that makes no sense changes nothing.
  const double saved_cm = screen_pixels_per_cm;
  set_screen_resolution(144.4);
  EXPECT_EQ(screen_pixels_per_inch, 144);
  EXPECT_EQ(screen_pixels_per_cm, 57.0);
  EXPECT_EQ(font_points_to_height(nullptr, 12), -18);
  for (double bad : {0.0, -3.0, std::nan("")}) set_screen_resolution(bad);
  EXPECT_EQ(screen_pixels_per_inch, 144);
  screen_pixels_per_inch = 96;
  screen_pixels_per_cm = saved_cm;

  car_info info{};
  info.font_id = 99;
  info.size = 12;
  info.style = 129;
  tagLOGFONT lf;
  std::memset(&lf, 0x55, sizeof lf);
  font_info_to_logfont(nullptr, &info, &lf);
  EXPECT_EQ(lf.lfWeight, 700);
  EXPECT_EQ(lf.lfItalic, 0);
  EXPECT_EQ(lf.lfUnderline, 0);
  EXPECT_EQ(lf.lfStrikeOut, 1);
  EXPECT_EQ(lf.lfHeight, -12);
  EXPECT_STREQ(lf.lfFaceName, "");
  info.font_id = 0;
  info.style = 6;
  font_info_to_logfont(nullptr, &info, &lf);
  EXPECT_STREQ(lf.lfFaceName, "Lucida Grande");
  EXPECT_EQ(lf.lfWeight, 400);
  EXPECT_EQ(lf.lfItalic, 1);
  EXPECT_EQ(lf.lfUnderline, 1);
}

}  // namespace
