#include "kernel/files/text_convert.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "kernel/files/text_family.h"
#include "kernel/model/memory.h"

namespace {

// The bytes where a table deliberately differs from the code pages: a
// character is mapped to a near one (or to '_') although the target has it.
struct Deliberate {
  const char* table;
  const uint8_t* values;
  std::map<int, int> bytes;  // source byte -> our value
};

TEST(CharsetTables, AgreeWithPythonCodecsExceptWherePinned) {
  std::ifstream in(KELVO_TEST_DATA "/files/charsets_codecs.txt");
  ASSERT_TRUE(in) << "fixture written by make_charsets_codecs.py";
  const Deliberate tables[] = {
      {"windows_to_mac", charset_windows_to_mac, {{0xB8, 0xB8}, {0xC3, 0xC3}}},
      {"dos_to_mac", charset_dos_to_mac, {{0xFA, 0xA5}}},
      {"mac_to_windows",
       charset_mac_to_windows,
       {{0xCA, 0x20}, {0xCC, 0x43}, {0xD0, 0x2D}, {0xD1, 0x2D}, {0xFC, 0x5F}}},
      {"dos_to_windows",
       charset_dos_to_windows,
       {{0xA6, 0xB0}, {0xA7, 0xAA}, {0xAB, 0x5F}, {0xAC, 0x5F}, {0xAD, 0x69}, {0xFA, 0x95},
        {0xFF, 0x20}}},
  };
  std::string line;
  int seen = 0;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string name;
    words >> name;
    const Deliberate* t = nullptr;
    for (const auto& d : tables)
      if (name == d.table) t = &d;
    ASSERT_NE(t, nullptr) << name;
    ++seen;
    for (int byte = 128; byte < 256; ++byte) {
      std::string cell;
      words >> cell;
      const int ours = t->values[byte - 128];
      auto pinned = t->bytes.find(byte);
      if (pinned != t->bytes.end()) {
        EXPECT_EQ(ours, pinned->second) << name << " byte " << byte;
        EXPECT_NE(cell, "--") << name << " byte " << byte << " should be a real difference";
        EXPECT_NE(std::stoi(cell, nullptr, 16), ours) << name << " byte " << byte;
      } else if (cell != "--") {  // without a counterpart: '_' or a near character
        EXPECT_EQ(ours, std::stoi(cell, nullptr, 16)) << name << " byte " << byte;
      }
    }
  }
  EXPECT_EQ(seen, 4);
}

TEST(CharsetConvert, TranslatesByPlatformAndSpellsPi) {
  file_platform = 2;  // DOS
  char dos[16] = "a\x91" "b";
  text_charset_convert(dos, 0, sizeof dos);
  EXPECT_STREQ(dos, "apib");

  file_platform = 0;  // MS-Windows: 0xE6 is the ae ligature, read as pi
  auto* block = static_cast<char*>(GlobalAlloc(GPTR, 8));
  std::strcpy(block, "x\xE6y\xE9");
  text_charset_convert(&block, 1);
  EXPECT_STREQ(block, "xpiy\x8E");  // e acute in Mac Roman
  GlobalFreeAndNull(&block);

  // No room to grow: the tail is cut, the string stays terminated.
  char tight[4] = "\xE6\xE6";
  text_charset_convert(tight, 0, sizeof tight);
  EXPECT_STREQ(tight, "pip");

  file_platform = 1;  // MacOS: nothing to translate
  char mac[8] = "\x8E\xBE";
  text_charset_convert(mac, 0, sizeof mac);
  EXPECT_STREQ(mac, "\x8E" "pi");
}

TEST(CharsetConvert, KernelTextWrittenForWindowsReadsBack) {
  // Every Mac Roman character that Windows-1252 has survives a write as
  // Windows-1252 and a read through the MS-Windows table.
  file_platform = 0;
  for (int byte = 128; byte < 256; ++byte) {
    if (byte == 190) continue;  // read as "pi"
    char s[4] = {static_cast<char>(byte), 0, 0, 0};
    text_to_windows(s);
    if (s[0] == '_') continue;
    text_charset_convert(s, 0, sizeof s);
    char again[4] = {s[0], s[1], 0, 0};
    text_to_windows(again);
    text_charset_convert(again, 0, sizeof again);
    EXPECT_STREQ(again, s) << "byte " << byte << " changes on a second save";
  }
  char e[2] = "\x8E";
  text_to_windows(e);
  EXPECT_EQ(static_cast<uint8_t>(e[0]), 0xE9);
  text_charset_convert(e, 0, sizeof e);
  EXPECT_EQ(static_cast<uint8_t>(e[0]), 0x8E);
}

TEST(CharsetConvert, OlderReadersConvertToWindows) {
  file_platform = 1;
  file_class = 1;
  char mac[4] = "\x8E";
  text_from_macroman(mac);
  EXPECT_EQ(static_cast<uint8_t>(mac[0]), 0xE9);
  file_class = 0;
  char current[4] = "\x8E";
  text_from_macroman(current);
  EXPECT_EQ(static_cast<uint8_t>(current[0]), 0x8E);
  file_platform = 2;
  char dos[4] = "\x82";
  text_from_macroman(dos);
  EXPECT_EQ(static_cast<uint8_t>(dos[0]), 0xE9);
}

TEST(DecimalSeparators, ConvertBetweenDigitsOnly) {
  set_locale_separators(",.;");
  struct Case {
    const char* in;
    const char* to_decimal;
  };
  const Case cases[] = {{"3.5", "3,5"}, {".5", ",5"}, {"a.5", "a.5"}, {"3.", "3."},
                        {"1.2.3", "1,2,3"}};
  for (const auto& c : cases) {
    char s[16];
    std::strcpy(s, c.in);
    text_c_to_decimal(s);
    EXPECT_STREQ(s, c.to_decimal);
    text_decimal_to_c(s);
    EXPECT_STREQ(s, c.in);
  }
  char slash[16] = ".5 2.5\xD6" "3";
  text_c_to_decimal_slash(slash);
  EXPECT_STREQ(slash, ".5 2,5/3");
  set_locale_separators(".");
  char same[8] = "3.5";
  text_c_to_decimal(same);
  EXPECT_STREQ(same, "3.5");
  set_locale_separators(",.;");
}

TEST(IndexPairs, PackSidesOfOlderFiles) {
  file_platform = 0;
  EXPECT_EQ(pack_index_pair(0x0203, 2, 7), 0x00020003u);  // type1 below type2
  EXPECT_EQ(pack_index_pair(0x0203, 7, 2), 0x00030002u);
  EXPECT_EQ(pack_index_pair(0x0203, 9, 2), 0x00020002u);  // axis index counted from 1
  EXPECT_EQ(pack_index_pair(0x0203, 10, 2), 0x00030002u);
  file_platform = 3;
  EXPECT_EQ(pack_index_pair(0x0003, 2, 10), 0x00010003u);
  EXPECT_EQ(pack_index_pair(0x0200, 10, 2), 0x00010002u);
  EXPECT_EQ(pack_index_pair(0x0201, 10, 2), 0x00000002u);
  file_platform = 0;
}

}  // namespace
