// The tool-menu description: writing, reading back, gaps, the trash and the
// password, and the situations file read back into a figure.
#include <cstring>
#include <string>
#include <vector>

#include <QSettings>

#include "file_fixture.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/menus_file.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/prefs/preferences.h"
#include "kernel/render/colors.h"

namespace {

struct toolbox_shape {
  int16_t id;
  uint8_t gap;
  std::vector<std::string> names;
  std::vector<int> gaps;
};

std::vector<toolbox_shape> toolbar_shape() {
  std::vector<toolbox_shape> out;
  for (int i = 0; tool_menus && tool_menus[i]; ++i) {
    const menu* m = tool_menus[i];
    toolbox_shape s{m->id, m->gap, {}, {}};
    for (int k = 1; m->names[k]; ++k) {
      s.names.emplace_back(m->names[k]);
      s.gaps.push_back(k > 1 && m->item_flags ? m->item_flags[k] : 0);
    }
    out.push_back(s);
  }
  return out;
}

std::vector<std::string> trash_names() {
  std::vector<std::string> out;
  for (int k = 1; trash_toolbox && trash_toolbox->names[k]; ++k) out.emplace_back(trash_toolbox->names[k]);
  return out;
}

std::string description() {
  const int32_t n = txt_write_menu_bar_description(nullptr);
  std::string text(static_cast<size_t>(n), '\0');
  txt_write_menu_bar_description(text.data());
  return text;
}

void read_description(const std::string& text) {
  txt_read_menu_description(text.c_str(), static_cast<uint32_t>(text.size()), 1);
}

class MenusFileTest : public FileTest {
 protected:
  void TearDown() override {
    menus_password[0] = '\0';
    FileTest::TearDown();
  }
};

TEST_F(MenusFileTest, DescriptionRoundTripsWithGapsAndLeftOversGoToTheTrash) {
  const auto before = toolbar_shape();
  const std::string text = description();
  // The first point tool carries its toolbox's gap of 2, written as blanks.
  EXPECT_NE(text.find("\r\n\r\n  "), std::string::npos);
  read_description(text);
  const auto after = toolbar_shape();
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) {
    EXPECT_EQ(after[i].id, before[i].id);
    EXPECT_EQ(after[i].gap, before[i].gap);
    EXPECT_EQ(after[i].names, before[i].names);
    EXPECT_EQ(after[i].gaps, before[i].gaps);
  }
  EXPECT_EQ(description(), text);
  // Every registered tool that stands in no toolbox is in the trash, classes
  // before the class-less tools.
  const auto trash = trash_names();
  for (const std::string& name : trash)
    for (const auto& box : after)
      for (const std::string& n : box.names) EXPECT_NE(n, name);
}

TEST_F(MenusFileTest, TrashGroupIsKeptAsListed) {
  add_tool_to_toolbox(trash_toolbox, nullptr, classe_arc.name, -1, 0);
  add_tool_to_toolbox(trash_toolbox, nullptr, toolbar_row_at(ROW_TRACE)->name, -1, 0);
  append_toolbox(trash_toolbox);
  const std::string text = description();
  EXPECT_NE(text.find("\r\nTrash\r\n"), std::string::npos);
  // Reading rebuilds the toolboxes; the trash record stays out of the list.
  tool_menus[toolbar_shape().size() - 1] = nullptr;
  read_description(text);
  EXPECT_EQ(trash_names(), (std::vector<std::string>{classe_arc.name, toolbar_row_at(ROW_TRACE)->name}));
  for (const auto& box : toolbar_shape()) EXPECT_NE(box.id, kToolbarWindowId);
}

TEST_F(MenusFileTest, PasswordIsBoundedAndReadBack) {
  std::strcpy(menus_password, "abcdefghijklmnopqrstuvw");  // 23 characters
  const std::string text = description();
  EXPECT_EQ(text.rfind("Password: abcdefghijklmnopqrstuvw\r\n\r\n", 0), 0u);
  menus_password[0] = '\0';
  read_description(text);
  EXPECT_STREQ(menus_password, "abcdefghijklmnopqrstuvw");

  read_description("Password: " + std::string(400, 'z') + "\r\n\r\nPointer\r\n\r\n");
  EXPECT_EQ(std::string(menus_password), std::string(kMenusPasswordMax, 'z'));
  menus_password[0] = '\0';
  EXPECT_EQ(description().find("Password:"), std::string::npos);
}

TEST_F(MenusFileTest, UnknownNameEndsTheDescriptionAndPointerStaysFirst) {
  const std::string segment = classe_segment.english_name;
  const std::string circle = classe_cercle.english_name;
  read_description(segment + "\r\n\r\n" + circle + "\r\n\r\nNo such tool\r\n" + segment + "\r\n\r\n");
  const auto shape = toolbar_shape();
  ASSERT_EQ(shape.size(), 2u);
  EXPECT_EQ(shape[0].names, (std::vector<std::string>{toolbar_row_at(ROW_POINTER)->name, classe_segment.name}));
  EXPECT_EQ(shape[1].names, (std::vector<std::string>{classe_cercle.name}));
  const auto trash = trash_names();
  EXPECT_NE(std::find(trash.begin(), trash.end(), classe_arc.name), trash.end());
}

TEST_F(MenusFileTest, MenusFileWithoutMacrosHasNoTitleAndReadsBackThroughOpen) {
  txt_write_menus_file(0);
  ASSERT_NE(file_buffer, nullptr);
  const std::string image(file_buffer, file_buffer_len);
  EXPECT_EQ(image.rfind("Menus Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n", 0), 0u);
  EXPECT_EQ(image.find("Menu bar description:"), std::string::npos);
  EXPECT_EQ(sniff_file_format(), FILE_KIND_MENUS);
}

TEST_F(MenusFileTest, SituationsFileRoundTripsTheFigureAndTheToolbar) {
  build_small_figure();
  const auto points = point_coordinates();
  const uint32_t count = fig_->nbobj;
  const auto shape = toolbar_shape();
  ASSERT_TRUE(txt_write_situations_file());
  const std::string image(file_buffer, file_buffer_len);
  kelvo_win_info* saved = fig_;
  new_figure_info();
  ASSERT_EQ(sniff_file_format(), FILE_KIND_SITUATIONS);
  ASSERT_EQ(txt_read_menus_file(file_buffer, file_buffer_len, path("s.env").c_str()), 1);
  EXPECT_EQ(KPGeoDocument::currentInfo()->nbobj, count);
  const auto back = point_coordinates();
  ASSERT_EQ(back.size(), points.size());
  for (size_t i = 0; i < back.size(); ++i) EXPECT_NEAR(back[i].first, points[i].first, 0.01);
  EXPECT_EQ(toolbar_shape().size(), shape.size());
  free_test_figure(KPGeoDocument::currentInfo());
  KPGeoDocument::setCurrentInfo(saved);
}

TEST_F(MenusFileTest, ASituationsFileEmptyOrCutBeforeItsFigureIsRefusedAndChangesNothing) {
  build_small_figure();
  ASSERT_TRUE(txt_write_situations_file());
  std::string image(file_buffer, file_buffer_len);
  // The toolbar loses a tool so that a read would show.
  std::string shorter = description();
  shorter.erase(shorter.find("Midpoint\r\n"), 10);
  read_description(shorter);
  const auto before = toolbar_shape();
  image.resize(image.find("Figure description:") - 5);
  kelvo_win_info* saved = fig_;
  new_figure_info();
  EXPECT_EQ(txt_read_menus_file(image.data(), static_cast<uint32_t>(image.size()), path("s.env").c_str()), 0);
  EXPECT_STREQ(figure_file_error(), "the file ends before its figure");
  const auto after = toolbar_shape();
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i].names, before[i].names);
  char nothing[1] = {};
  EXPECT_EQ(txt_read_menus_file(nothing, 0, path("s.env").c_str()), 0);
  EXPECT_STREQ(figure_file_error(), "the file is empty");
  EXPECT_EQ(KPGeoDocument::currentInfo()->first, nullptr);
  free_test_figure(KPGeoDocument::currentInfo());
  KPGeoDocument::setCurrentInfo(saved);
}

// The preferences written into a situations file become the user's again
// when it is read, whatever the store held meanwhile.
TEST_F(MenusFileTest, SituationsFileCarriesThePreferences) {
  QSettings store(QSettings::IniFormat, QSettings::UserScope, "Kelvo", "Kelvo Nova");
  store.setValue("Lines Color", "Red");
  store.setValue("Tolerance", "4");
  store.sync();
  init_default_attrs(nullptr);
  build_small_figure();
  ASSERT_TRUE(txt_write_situations_file());
  const std::string image(file_buffer, file_buffer_len);
  EXPECT_NE(image.find("\r\n\r\nPrefs Kelvo Nova vers. MS-Windows 1.0\r\nBitmapCopyOn=FALSE\r\n"), std::string::npos);
  EXPECT_NE(image.find("\r\nLines Color=Red\r\n"), std::string::npos);

  store.clear();
  store.sync();
  init_default_attrs(nullptr);
  ASSERT_EQ(default_attrs[ATTRS_LINE].settings.Color, color_by_name("Lime"));
  kelvo_win_info* saved = fig_;
  new_figure_info();
  ASSERT_EQ(sniff_file_format(), FILE_KIND_SITUATIONS);
  ASSERT_EQ(txt_read_menus_file(file_buffer, file_buffer_len, path("s.env").c_str()), 1);
  store.sync();
  EXPECT_EQ(store.value("Lines Color").toString(), "Red");
  EXPECT_EQ(store.value("Tolerance").toString(), "4");
  EXPECT_EQ(default_attrs[ATTRS_LINE].settings.Color, color_by_name("Red"));
  EXPECT_EQ(prefs.tolerance, 4);
  free_test_figure(KPGeoDocument::currentInfo());
  KPGeoDocument::setCurrentInfo(saved);
  store.clear();
}

}  // namespace
