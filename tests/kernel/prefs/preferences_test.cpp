#include "kernel/prefs/preferences.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "kernel/files/text_family.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/colors.h"
#include "kernel/render/fonts.h"
#include "kernel/text/kernel_strings.h"
#include "platform/kp_files.h"
#include "platform/mac_roman.h"

namespace {

// The user's store of the test program (a temporary one), emptied around
// each test; `memory` is an in-memory store the test may redirect to.
class Preferences : public ::testing::Test {
 protected:
  void SetUp() override {
    init_color_table();
    clear_user_store();
  }
  void TearDown() override {
    set_preference_store(nullptr);
    clear_user_store();
    toolbar_icon_size = 32;
  }
  static void clear_user_store() {
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Kelvo", "Kelvo Nova").clear();
  }
  static prefs_rec read_from(MemoryPreferenceStore& store) {
    set_preference_store(&store);
    prefs_rec p{};
    read_preferences(&p, nullptr);
    set_preference_store(nullptr);
    return p;
  }
  static std::map<std::string, std::string> entries_of(const prefs_rec& p) {
    std::map<std::string, std::string> m;
    for (const auto& [k, v] : preference_entries(p)) m[k] = v;
    return m;
  }
};

TEST_F(Preferences, EmptyStoreGivesEveryFactoryValue) {
  prefs_rec p{};
  read_preferences(&p, nullptr);
  EXPECT_EQ(p.manage_infinity, 1);
  EXPECT_EQ(p.manage_point_on_object, 1);
  EXPECT_EQ(p.link_points, 1);
  EXPECT_EQ(p.envelope, 0);
  EXPECT_EQ(p.locus_points, 50);
  EXPECT_EQ(p.length_decimals, 2);
  EXPECT_EQ(p.angle_decimals, 1);
  EXPECT_EQ(p.other_decimals, 2);
  EXPECT_EQ(p.length_unit, 1);
  EXPECT_EQ(p.angle_unit, 1);
  EXPECT_EQ(p.equation_type, 3);
  EXPECT_EQ(p.coordinate_system, 0);
  EXPECT_EQ(p.bitmap_copy, 0);
  EXPECT_EQ(p.tolerance, 2);
  EXPECT_EQ(toolbar_icon_size, 32);
  const char* colors[kGraphicKinds] = {"Red", "Lime", "Magenta", "Navy", "Blue",
                                       "Cyan", "DarkGray", "DarkOrange", "Red", "Black"};
  for (int k = 0; k < kGraphicKinds; ++k) {
    SCOPED_TRACE(kGraphicKindNames[k]);
    EXPECT_EQ(p.kinds[k].color, color_by_name(colors[k]));
    EXPECT_EQ(p.kinds[k].thickness, 0);
    EXPECT_EQ(p.kinds[k].dotted, 0);
    EXPECT_EQ(p.kinds[k].graph_type, k < 6 ? 1 : 0);
  }
  EXPECT_EQ(p.kinds[1].smartline_type, 0);
  EXPECT_EQ(p.kinds[1].smartline_length, 1.0);
  for (const text_style_pref& t : p.texts) {
    EXPECT_EQ(t.size, 12u);
    EXPECT_EQ(t.face, 0);
    EXPECT_EQ(t.color, color_by_name("Black"));
    EXPECT_EQ(t.char_set, 1);
    EXPECT_EQ(t.font, p.texts[0].font);
  }
  EXPECT_NE(p.texts[0].font, 0) << "the factory font is registered";
  EXPECT_EQ(p.cursor_text.size, 12u);
  EXPECT_EQ(p.menu_text.size, 14u);
}

TEST_F(Preferences, StoredTextsAndTheirReadings) {
  MemoryPreferenceStore store;
  store.set("BitmapCopyOn", "true");
  store.set("ManageInfinityOn", "FALSE");
  store.set("LinkPointOn", "TRUE");
  store.set("Lines Color", "GRIS");
  store.set("Arcs Color", "Chartreuse of the moon");
  store.set("Circles Color", "Teal");
  store.set("LengthUnit", " 3 ");
  store.set("Lines Smartline Length", "2.50000");
  prefs_rec p = read_from(store);
  EXPECT_EQ(p.bitmap_copy, 0) << "only TRUE in capitals is true";
  EXPECT_EQ(p.manage_infinity, 0);
  EXPECT_EQ(p.link_points, 1);
  EXPECT_EQ(p.kinds[1].color, palette16_color(13)) << "the palette's grey slot";
  EXPECT_EQ(p.kinds[5].color, color_by_name("Black"));
  EXPECT_EQ(p.kinds[4].color, color_by_name("Teal"));
  EXPECT_EQ(p.length_unit, 3);
  EXPECT_EQ(p.kinds[1].smartline_length, 2.5);
}

TEST_F(Preferences, ToolbarIconSize) {
  struct Case {
    const char* text;
    int16_t before, after;
  } cases[] = {{"16x16", 32, 16}, {"32x32", 16, 32}, {"64x64", 16, 16}, {"16X16", 32, 32}, {"", 16, 16}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    MemoryPreferenceStore store;
    store.set("Toolbar Icon Size", c.text);
    toolbar_icon_size = c.before;
    read_from(store);
    EXPECT_EQ(toolbar_icon_size, c.after);
  }
}

// A user-edited store: each bad value falls back to its factory value and
// the good values around it are still read.
TEST_F(Preferences, BadValuesFallBackAndTheRestIsRead) {
  struct Case {
    const char* key;
    const char* text;
  } cases[] = {
      {"NbLocusObject", "fifty"},      {"NbLocusObject", "0"},         {"NbLocusObject", "99999999999999999999"},
      {"LgthNbreDec", "-1"},           {"OtherNbreDec", "11"},         {"LengthUnit", "5"},
      {"AngleUnit", "3"},              {"EquationType", "8"},          {"CoordSysts", "4"},
      {"Tolerance", "0"},              {"Tolerance", "1000"},          {"Tolerance", "2x"},
      {"Points Dotted", "3"},          {"Lines Dotted", "255"},        {"Points Graph Type", "11"},
      {"Lines Thick", "7"},            {"Lines Smartline Length", "nan"}, {"Lines Smartline Length", "1e999"},
      {"Text Size", "0"},              {"Text Size", "100000"},        {"Label Char Set", "256"},
      {"Number Face", "-2"},           {"Text Font", "No Such Face Anywhere"},
  };
  prefs_rec factory{};
  read_preferences(&factory, nullptr);
  const auto expected = entries_of(factory);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " = " + c.text);
    MemoryPreferenceStore store;
    store.set(c.key, c.text);
    store.set("Vectors Color", "Red");
    store.set("AngleNbreDec", "4");
    auto got = entries_of(read_from(store));
    EXPECT_EQ(got["Vectors Color"], "Red");
    EXPECT_EQ(got["AngleNbreDec"], "4");
    got["Vectors Color"] = expected.at("Vectors Color");
    got["AngleNbreDec"] = expected.at("AngleNbreDec");
    EXPECT_EQ(got, expected);
  }
}

TEST_F(Preferences, WrittenToTheUserStoreAndReadBack) {
  prefs_rec p{};
  read_preferences(&p, nullptr);
  p.bitmap_copy = 1;
  p.tolerance = 4;
  p.locus_points = 321;
  p.kinds[1].color = 0x00FE0102;  // nearest table colour: Red
  p.kinds[3].dotted = 2;
  p.kinds[1].smartline_length = 0.25;
  // The size written is the registered font's.
  p.cursor_text.size = 18;
  std::unique_ptr<KPFont> big(KPFont::withName(font_name_by_id(p.cursor_text.font), 18));
  ASSERT_NE(big, nullptr);
  p.cursor_text.font = font_register(big.get());
  write_preferences(&p, "WKelvo2.ini");

  const QSettings file(QSettings::IniFormat, QSettings::UserScope, "Kelvo", "Kelvo Nova");
  EXPECT_EQ(file.value("BitmapCopyOn").toString(), "TRUE");
  EXPECT_EQ(file.value("Tolerance").toString(), "4");
  EXPECT_EQ(file.value("Lines Color").toString(), "Red");
  EXPECT_EQ(file.value("Lines Smartline Length").toString(), "0.25000");
  EXPECT_EQ(file.value("Menu Items Size").toString(), "18") << "the cursor style under the menu prefix";
  EXPECT_EQ(file.value("Cursor Strings Size").toString(), "14");

  prefs_rec back{};
  read_preferences(&back, nullptr);
  EXPECT_EQ(back.bitmap_copy, 1);
  EXPECT_EQ(back.tolerance, 4);
  EXPECT_EQ(back.locus_points, 321);
  EXPECT_EQ(back.kinds[1].color, color_by_name("Red"));
  EXPECT_EQ(back.kinds[3].dotted, 2);
  EXPECT_EQ(back.kinds[1].smartline_length, 0.25);
  EXPECT_EQ(back.cursor_text.size, 18u);
  EXPECT_EQ(entries_of(back), entries_of([&] {
              prefs_rec rounded = p;
              rounded.kinds[1].color = color_by_name("Red");
              return rounded;
            }()));
}

TEST_F(Preferences, PreferenceTextRestoresTheStore) {
  prefs_rec p{};
  read_preferences(&p, nullptr);
  p.kinds[1].color = color_by_name("Red");
  p.other_decimals = 5;
  prefs = p;
  const int32_t n = save_temp_preferences(nullptr);
  std::string text(static_cast<size_t>(n), '\0');
  ASSERT_EQ(save_temp_preferences(text.data()), n);
  EXPECT_EQ(text.rfind(std::string(kTxtPrefsHeader) + "\r\nBitmapCopyOn=FALSE\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("\r\nLines Color=Red\r\n"), std::string::npos);

  // What follows the first empty line is not part of the preferences.
  const std::string file = text + "\r\nMenu bar description:\r\nLines Color=Blue\r\n";
  EXPECT_EQ(restore_preference_text(file.data(), static_cast<uint32_t>(file.size())), text.size());
  const QSettings store(QSettings::IniFormat, QSettings::UserScope, "Kelvo", "Kelvo Nova");
  EXPECT_EQ(store.value("Lines Color").toString(), "Red");
  EXPECT_EQ(store.value("OtherNbreDec").toString(), "5");
  EXPECT_EQ(default_attrs[ATTRS_LINE].settings.Color, color_by_name("Red"));

  EXPECT_EQ(restore_preference_text("Menu bar description:\r\n", 23), 0u) << "no header, nothing read";
}

// A hostile preference text: many unknown keys, lines without "=", a key
// given twice. Known keys are still read; the last value given wins.
TEST_F(Preferences, HostilePreferenceTextIsReadInOnePass) {
  std::string text = std::string(kTxtPrefsHeader) + "\r\nLines Color=Blue\r\n=Red\r\nno equals sign\r\n";
  for (int i = 0; i < 100000; ++i) text += "unknown key " + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
  text += "Lines Color=Red\r\nTolerance=4=5\r\n";
  MemoryPreferenceStore store;
  EXPECT_EQ(parse_preference_text(text.data(), static_cast<uint32_t>(text.size()), &store), text.size());
  EXPECT_EQ(store.entries().size(), 100002u);
  const prefs_rec p = read_from(store);
  EXPECT_EQ(p.kinds[1].color, color_by_name("Red"));
  EXPECT_EQ(p.tolerance, 2) << "\"4=5\" is no number";
}

// The exported property list, read back by Python's plistlib.
TEST_F(Preferences, ExportWritesAPropertyListAndLeavesTheStore) {
  const std::string dir = std::string(KELVO_TEST_OUTPUT) + "/prefs_export";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/mine.plist";
  read_preferences(&prefs, nullptr);
  prefs.texts[0].color = color_by_name("Navy");

  kp_set_file_chooser([](const KPFileDialogRequest&) { return std::optional<std::string>(); });
  EXPECT_FALSE(export_preferences(nullptr));
  EXPECT_FALSE(std::filesystem::exists(path)) << "a cancelled dialog writes nothing";

  std::string title;
  kp_set_file_chooser([&](const KPFileDialogRequest& request) {
    title = request.title;
    return std::optional<std::string>(path);
  });
  ASSERT_TRUE(export_preferences(nullptr));
  kp_set_file_chooser(nullptr);
  EXPECT_EQ(title, kernel_string_or(691, "Save as")) << "titled as the other save dialogs";
  EXPECT_FALSE(title.empty());
  EXPECT_TRUE(QSettings(QSettings::IniFormat, QSettings::UserScope, "Kelvo", "Kelvo Nova").allKeys().isEmpty())
      << "the store is untouched";

  const std::string script = "import plistlib,sys\n"
                             "d=plistlib.load(open(sys.argv[1],'rb'))\n"
                             "sys.stdout.buffer.write(''.join(k+'\\t'+v+'\\n' for k,v in d.items()).encode())\n";
  const std::string script_path = dir + "/read.py";
  std::ofstream(script_path) << script;
  FILE* pipe = popen(("python3 " + script_path + " " + path + " 2>/dev/null").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
  if (pclose(pipe) != 0 && out.empty()) GTEST_SKIP() << "python3 with plistlib is not available";
  std::string expected;
  for (const auto& [k, v] : preference_entries(prefs)) expected += mac_roman_to_utf8(k) + "\t" + mac_roman_to_utf8(v) + "\n";
  EXPECT_EQ(out, expected);
  EXPECT_NE(out.find("Text Color\tNavy\n"), std::string::npos);
}

// Each group bit restores its own fields and leaves the others.
TEST_F(Preferences, FactoryValuesByGroup) {
  MemoryPreferenceStore store;
  const std::map<std::string, uint8_t> group_of = {
      {"LgthNbreDec", PREFS_PRECISION}, {"AngleUnit", PREFS_PRECISION},   {"CoordSysts", PREFS_EQUATIONS},
      {"EquationType", PREFS_EQUATIONS}, {"NbLocusObject", PREFS_LOCUS}, {"EnvelopOn", PREFS_LOCUS},
      {"Lines Color", PREFS_STYLES},     {"Text Color", PREFS_STYLES},    {"ManageInfinityOn", PREFS_GEOMETRY},
      {"Tolerance", PREFS_SYSTEM},       {"BitmapCopyOn", PREFS_SYSTEM},  {"Menu Items Color", PREFS_SYSTEM}};
  const std::map<std::string, const char*> changed_text = {
      {"LgthNbreDec", "5"},  {"AngleUnit", "2"},         {"CoordSysts", "3"},  {"EquationType", "6"},
      {"NbLocusObject", "7"}, {"EnvelopOn", "TRUE"},      {"Lines Color", "Navy"}, {"Text Color", "Red"},
      {"ManageInfinityOn", "FALSE"}, {"Tolerance", "8"}, {"BitmapCopyOn", "TRUE"}, {"Menu Items Color", "Red"}};
  for (const auto& [k, v] : changed_text) store.set(k.c_str(), v);
  const prefs_rec changed = read_from(store);
  prefs_rec factory{};
  set_factory_prefs(PREFS_ALL, &factory);
  const auto factory_entries = entries_of(factory);
  for (uint8_t group : {PREFS_PRECISION, PREFS_EQUATIONS, PREFS_LOCUS, PREFS_STYLES, PREFS_GEOMETRY, PREFS_SYSTEM}) {
    SCOPED_TRACE(static_cast<int>(group));
    prefs_rec p = changed;
    set_factory_prefs(group, &p);
    const auto got = entries_of(p);
    for (const auto& [key, g] : group_of)
      EXPECT_EQ(got.at(key), g == group ? factory_entries.at(key) : changed_text.at(key)) << key;
  }
}

TEST_F(Preferences, ColourNames) {
  EXPECT_EQ(color_from_name("Lime"), color_by_name("Lime"));
  EXPECT_EQ(color_from_name("lime"), color_by_name("Black")) << "names are compared exactly";
  EXPECT_EQ(color_from_name("BLANC"), palette16_color(0));
  EXPECT_EQ(color_from_name("NOIR"), palette16_color(15));
  EXPECT_EQ(color_from_name("VERTfonce"), palette16_color(9));
  EXPECT_EQ(color_from_name(""), color_by_name("Black"));
  EXPECT_EQ(color_from_name(nullptr), color_by_name("Black"));
}

}  // namespace
