#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "kernel/model/label_text.h"
#include "kernel/model/mbcs.h"
#include "kernel/model/version_info.h"

namespace {

// ------------------------------------------------------------- multibyte

class Utf8Locale : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
  }
  void TearDown() override { std::setlocale(LC_CTYPE, "C"); }
};

TEST(Multibyte, PrevCharOfSingleByteTextIsOneBack) {
  const char* s = "abc";
  EXPECT_EQ(mbcs_prev_char(s, s + 3), s + 2);
  EXPECT_EQ(mbcs_prev_char(s, s + 1), s);
  EXPECT_EQ(mbcs_prev_char(s, s), s);
  EXPECT_STREQ(str_find("a needle here", "needle"), "needle here");
}

TEST(Multibyte, BlankControlsKeepsTheLength) {
  char s[] = "a\tb\rc\nd";
  mbcs_blank_controls(s);
  EXPECT_STREQ(s, "a b c d");
}

TEST_F(Utf8Locale, PrevCharStepsOverATwoByteCharacter) {
  const char s[] = "x\xC3\xA9y";  // x, e-acute, y
  EXPECT_EQ(mbcs_char_len(s + 1), 2);
  EXPECT_EQ(mbcs_prev_char(s, s + 3), s + 1);
  // A position inside the character is not the end of one.
  EXPECT_EQ(mbcs_prev_char(s, s + 2), s + 2);
  char t[] = "\xC3\xA9\x01";
  mbcs_blank_controls(t);
  EXPECT_STREQ(t, "\xC3\xA9 ");
}

TEST_F(Utf8Locale, BytesThatStartNoCharacterStepByOne) {
  const char s[] = "a\xA9\xFF" "b";
  EXPECT_EQ(mbcs_char_len(s + 1), -1);
  int steps = 0;
  for (const char* p = s; *p; p += mbcs_char_step(p)) ++steps;
  EXPECT_EQ(steps, 4);
  EXPECT_EQ(mbcs_char_step(s + 4), 0);
  EXPECT_EQ(mbcs_prev_char(s, s + 3), s + 2);
}

// ------------------------------------------------------- label and message

TEST(LabelText, StripAmpersandRespectsTheSize) {
  char out[8];
  strip_ampersand(out, "&File", 3);
  EXPECT_STREQ(out, "Fi");
  strip_ampersand(out, "Save &As&&", sizeof out);
  EXPECT_STREQ(out, "Save As");
  out[0] = 'x';
  strip_ampersand(out, "abc", 0);
  EXPECT_EQ(out[0], 'x');
  strip_ampersand(out, "abc", 1);
  EXPECT_STREQ(out, "");
}

TEST(LabelText, ExponentBytesBecomePrintable) {
  EXPECT_STREQ(expand_label_controls("m\x01", 0), "m\xB2");
  EXPECT_STREQ(expand_label_controls("m\x02", 0), "m\xB3");
  EXPECT_STREQ(expand_label_controls("m\x01", 1), "m^2");
  EXPECT_STREQ(expand_label_controls("s\x03", 0), "s^4");
  EXPECT_STREQ(expand_label_controls("cm\x02/s\x01", 1), "cm^3/s^2");
}

TEST(MessageText, PlaceholdersTakeTheirNumberedArgument) {
  EXPECT_STREQ(format_percent_args("Open %1 in %2?", "a.fig", "docs"), "Open a.fig in docs?");
  EXPECT_STREQ(format_percent_args("%2 before %1", "one", "two"), "two before one");
  EXPECT_STREQ(format_percent_args("100% sure, %x", "a"), "100% sure, %x");
  const char* plain = "no placeholder";
  EXPECT_EQ(format_percent_args(plain, "a"), plain);
  EXPECT_EQ(format_percent_args(static_cast<const char*>(nullptr)), nullptr);
}

TEST(MessageText, MissingArgumentsAndRepeatsAreSafe) {
  // A digit beyond the arguments given expands to nothing.
  EXPECT_STREQ(format_percent_args("[%1|%3]", "x"), "[x|]");
  EXPECT_STREQ(format_percent_args("[%9]"), "[]");
  // One long argument used many times.
  const std::string long_arg(300, 'z');
  const std::string result = format_percent_args("%1%1%1-%2", long_arg.c_str(), "");
  EXPECT_EQ(result, long_arg + long_arg + long_arg + "-");
}

TEST(MessageText, PreviousResultCanBeAnArgument) {
  char* first = format_percent_args("<%1>", "in");
  char* second = format_percent_args("%1 and %1, a longer text around it", first);
  EXPECT_STREQ(second, "<in> and <in>, a longer text around it");
  char* third = expand_label_controls("m\x01", 0);
  EXPECT_STREQ(format_percent_args("area %1", third), "area m\xB2");
}

// ---------------------------------------------------------------- version

class VersionFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kelvo_version_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    set_resource_folder(dir_);
  }
  void TearDown() override {
    std::remove((dir_ + "/version.plist").c_str());
    std::remove((dir_ + "/Info.plist").c_str());
    std::remove(dir_.c_str());
    set_resource_folder("");
  }
  void write(const char* name, const std::string& text) {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << text;
  }
  static std::string plist(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"x\">\n"
           "<plist version=\"1.0\">\n<dict>\n" + body + "</dict>\n</plist>\n";
  }
  std::string dir_;
};

TEST(Version, StartupSetsTheHeaderTextAndMaximum) {
  init_version_info();
  ASSERT_NE(version_string, nullptr);
  EXPECT_STREQ(version_string, "(MAC 1.40)");
  EXPECT_DOUBLE_EQ(max_version, 1.4);
  EXPECT_EQ(version_flag_a, 0);
  EXPECT_EQ(version_flag_b, 0);
  version_extra_flag = 1;
  clear_version_flag();
  EXPECT_EQ(version_extra_flag, 0);
  std::free(version_string);
  version_string = nullptr;
}

TEST_F(VersionFiles, VersionPlistValuesByKey) {
  EXPECT_FALSE(get_version_plist_value("SourceVersion"));  // no file yet
  write("version.plist", plist("  <key>BuildVersion</key>\n  <string>12</string>\n"
                               "  <!-- <key>SourceVersion</key><string>no</string> -->\n"
                               "  <key>Nested</key><dict><key>SourceVersion</key><string>inner</string></dict>\n"
                               "  <key>Count</key><integer>3</integer>\n"
                               "  <key>SourceVersion</key>\n  <string>7 &amp; 8</string>\n"));
  EXPECT_EQ(get_version_plist_value("BuildVersion"), "12");
  EXPECT_EQ(get_version_plist_value("SourceVersion"), "7 & 8");
  EXPECT_FALSE(get_version_plist_value("Count"));
  EXPECT_FALSE(get_version_plist_value("Missing"));
}

TEST_F(VersionFiles, ProductVersionIsTerminatedCopy) {
  char* buffer = reinterpret_cast<char*>(1);
  uint32_t length = 99;
  get_product_version(&buffer, &length);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(length, 0u);

  write("Info.plist", plist("<key>KPProductVersion</key><string>1.4.2</string>\n"));
  get_product_version(&buffer, &length);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(length, 5u);
  EXPECT_STREQ(buffer, "1.4.2");
  std::free(buffer);

  write("Info.plist", plist("<key>KPProductVersion</key><string/>\n"));
  get_product_version(&buffer, &length);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(length, 0u);
}

TEST(PlistParsing, MalformedTextGivesNothing) {
  for (const char* text : {"", "<dict><key>K</key><string>unterminated", "<dict><key>K",
                           "<plist><dict></dict><key>K</key><string>v</string>", "<<<>>>",
                           "<dict><key>K</key><!-- never closed",
                           // Tags without a name after a key.
                           "<dict><key>K</key></>", "<dict><key>K</key><//>", "<dict><key>K</key>< >"}) {
    EXPECT_FALSE(plist_string_value(text, "K")) << text;
  }
  EXPECT_EQ(plist_string_value("<dict><key>K</key><string>v</string></dict>", "K"), "v");
}

}  // namespace
