// Start-up asks the font system for nothing: reading the preferences
// registers the fonts of the text styles by their faces, and a font is
// looked up when a text in it is first measured or drawn.
#include <gtest/gtest.h>

#include <QSettings>

#include "kernel/prefs/default_attrs.h"
#include "kernel/prefs/preferences.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/fonts.h"

namespace {

class FontLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Kelvo", "Kelvo Nova").clear();
    init_color_table();
    free_font_table();
  }
  void TearDown() override {
    set_preference_store(nullptr);
    free_font_table();
  }
};

TEST_F(FontLookup, StylesRegisterTheirFacesAndTheFirstMeasureLooksTheFontUp) {
  MemoryPreferenceStore store;
  store.set("Label Font", "No Such Face Anywhere");
  set_preference_store(&store);
  init_default_attrs(nullptr);
  const uint16_t text_font = prefs.texts[0].font;
  const uint16_t menu_font = prefs.menu_text.font;
  ASSERT_NE(text_font, 0);
  ASSERT_NE(menu_font, 0);
  EXPECT_GE(font_count(), 3);
  for (int id = 1; id <= font_count(); ++id) EXPECT_FALSE(font_looked_up(static_cast<uint16_t>(id))) << id;

  DisplayDevice* dd = dd_create();
  ensure_display_dc(dd);
  dd_select_bitmap(dd, create_dib_record(dd, 80, 30));
  car_info info{};
  info.font_id = text_font;
  info.size = 12;
  dd_select_text_font(dd, &info);
  EXPECT_GT(dd_text_width(dd, "Kelvo"), 0);
  EXPECT_TRUE(font_looked_up(text_font));
  EXPECT_FALSE(font_looked_up(menu_font));
  destroy_display_device(dd);

  // A face the system lacks takes the factory font's place when it is
  // looked up, as before; the same face and size give the same id.
  uint16_t missing = 0;
  for (const text_style_pref& t : prefs.texts)
    if (t.font != text_font) missing = t.font;
  ASSERT_NE(missing, 0);
  EXPECT_STREQ(font_name_by_id(missing), font_name_by_id(text_font));
  EXPECT_EQ(font_register_face("No Such Face Anywhere", "Arial", 12), missing);
}

}  // namespace
