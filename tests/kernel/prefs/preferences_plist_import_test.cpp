// A preferences file in the property-list form the export writes: the open
// path's sniffer takes it as preferences, and importing it brings back what
// was exported; a property list of another kind or cut short changes
// nothing and says so.
#include <gtest/gtest.h>

#include <QSettings>
#include <string>
#include <vector>

#include "kernel/files/text_family.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/prefs/preferences.h"
#include "kernel/render/colors.h"
#include "platform/kp_dialog.h"

namespace {

class PreferencesPlistImport : public ::testing::Test {
 protected:
  void SetUp() override {
    init_color_table();
    clear_user_store();
    KPDialog::setMessageBoxResponder([this](const KPMessageBoxRequest& r) {
      messages.push_back(r.message);
      return 0;
    });
  }
  void TearDown() override {
    KPDialog::setMessageBoxResponder(nullptr);
    clear_user_store();
    read_preferences(&prefs, nullptr);
    init_default_attrs(nullptr);
  }
  static void clear_user_store() {
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Kelvo", "Kelvo Nova").clear();
  }
  static prefs_rec stored() {
    prefs_rec p{};
    read_preferences(&p, nullptr);
    return p;
  }
  static void import(const std::string& bytes) {
    import_preferences_file(bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  std::vector<std::string> messages;
};

int sniff(std::string bytes) {
  load_file_image(bytes.data(), static_cast<uint32_t>(bytes.size()));
  const int kind = sniff_file_format();
  free_file_image();
  return kind;
}

}  // namespace

TEST_F(PreferencesPlistImport, TheSnifferTakesAnXmlPropertyListAsPreferences) {
  const std::string plist = preferences_plist(stored());
  EXPECT_EQ(sniff(plist), FILE_KIND_PREFS);
  EXPECT_EQ(sniff("\xEF\xBB\xBF\n  " + plist), FILE_KIND_PREFS) << "a byte-order mark and blanks first";
  EXPECT_EQ(sniff("<?xml version=\"1.0\"?>\n<svg width=\"1\"/>\n" + std::string(40, ' ')), FILE_KIND_REFUSED)
      << "other XML is not a property list";
}

TEST_F(PreferencesPlistImport, AnExportedListBringsBackEveryPreference) {
  prefs_rec mine = stored();
  mine.kinds[1].color = color_by_name("Red");
  mine.texts[0].color = color_by_name("Navy");
  const std::string plist = preferences_plist(mine);
  ASSERT_NE(plist.find("<string>Red</string>"), std::string::npos);

  init_default_attrs(nullptr);  // the factory values of the empty store
  ASSERT_NE(default_attrs[ATTRS_LINE].settings.Color, color_by_name("Red"));
  import(plist);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(preference_entries(stored()), preference_entries(mine));
  EXPECT_EQ(default_attrs[ATTRS_LINE].settings.Color, color_by_name("Red")) << "new lines take it at once";
}

TEST_F(PreferencesPlistImport, AListThatIsNotOursOrIsCutShortChangesNothing) {
  prefs_rec mine = stored();
  mine.kinds[1].color = color_by_name("Red");
  write_preferences(&mine, nullptr);
  const std::string plist = preferences_plist(mine);
  const std::string others =
      "<?xml version=\"1.0\"?>\n<plist version=\"1.0\">\n<dict>\n"
      "<key>CFBundleVersion</key><string>2</string>\n</dict>\n</plist>\n";
  for (const std::string& bytes : {others, plist.substr(0, plist.size() / 2), std::string("<plist>")}) {
    messages.clear();
    import(bytes);
    EXPECT_EQ(messages.size(), 1u) << bytes.substr(0, 60);
    EXPECT_EQ(stored().kinds[1].color, color_by_name("Red"));
  }
}
