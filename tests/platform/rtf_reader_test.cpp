// The rich-text reader: fixtures written by independent programs read back
// with their characters, fonts, sizes, colours and scripts; hostile blocks
// read in bounded depth and time, keeping what is readable.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "platform/rtf_reader.h"

namespace {

std::string fixture(const char* name) {
  std::ifstream in(std::string(KELVO_TEST_DATA) + "/rtf/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

rtf_document read(const std::string& s) { return read_rtf(s.data(), s.size()); }

// The run holding the first occurrence of the text.
const rtf_run* run_with(const rtf_document& doc, const std::u16string& text) {
  for (const rtf_run& r : doc.runs)
    if (r.text.find(text) != std::u16string::npos) return &r;
  return nullptr;
}

TEST(RtfReader, PandocFixture) {
  const rtf_document doc = read(fixture("pandoc_sample.rtf"));
  ASSERT_TRUE(doc.is_rtf);
  EXPECT_EQ(doc.plain(), u"Plain bold italic x2 H2O caf\u00e9 \u20ac \u201cquoted\u201d code");
  const rtf_run* bold = run_with(doc, u"bold");
  ASSERT_NE(bold, nullptr);
  EXPECT_TRUE(bold->bold);
  EXPECT_FALSE(bold->italic);
  EXPECT_EQ(bold->font, "Helvetica");
  EXPECT_TRUE(run_with(doc, u"italic")->italic);
  const rtf_run* x = run_with(doc, u" x");
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x->script, 0);
  // "x" then the superscript 2, "H" then the subscript 2.
  int supers = 0, subs = 0;
  for (const rtf_run& r : doc.runs) {
    if (r.script == 1) {
      EXPECT_EQ(r.text, u"2");
      ++supers;
    }
    if (r.script == -1) {
      EXPECT_EQ(r.text, u"2");
      ++subs;
    }
  }
  EXPECT_EQ(supers, 1);
  EXPECT_EQ(subs, 1);
  EXPECT_EQ(run_with(doc, u"code")->font, "Courier");
  EXPECT_EQ(bold->size, 12);
}

TEST(RtfReader, LibreOfficeFixture) {
  const rtf_document doc = read(fixture("libreoffice_sample.rtf"));
  ASSERT_TRUE(doc.is_rtf);
  EXPECT_EQ(doc.plain(), u"Red serif blue bold E=mc2 xi \u00dcn\u00efc\u00f6d\u00e9 \u2211");
  const rtf_run* red = run_with(doc, u"Red serif");
  ASSERT_NE(red, nullptr);
  EXPECT_EQ(red->font, "Liberation Serif");
  EXPECT_EQ(red->size, 14);
  ASSERT_TRUE(red->has_color);
  EXPECT_EQ(red->color, 0xFF0000u);
  const rtf_run* blue = run_with(doc, u"blue bold");
  ASSERT_NE(blue, nullptr);
  EXPECT_EQ(blue->font, "DejaVu Sans");
  EXPECT_EQ(blue->size, 10);
  EXPECT_TRUE(blue->bold);
  ASSERT_TRUE(blue->has_color);
  EXPECT_EQ(blue->color, 0x0000FFu);
  const rtf_run* e = run_with(doc, u" E=mc");
  ASSERT_NE(e, nullptr);
  EXPECT_FALSE(e->has_color);
  EXPECT_FALSE(e->bold);
  int supers = 0, subs = 0;
  for (const rtf_run& r : doc.runs) {
    if (r.script == 1) {
      EXPECT_EQ(r.text, u"2");
      ++supers;
    }
    if (r.script == -1) {
      EXPECT_EQ(r.text, u"i");
      ++subs;
    }
  }
  EXPECT_EQ(supers, 1);
  EXPECT_EQ(subs, 1);
}

TEST(RtfReader, CodePagesAndEscapes) {
  struct {
    const char* rtf;
    std::u16string text;
  } cases[] = {
      {"{\\rtf1\\ansi caf\\'e9 \\'80}", u"caf\u00e9 \u20ac"},
      {"{\\rtf1\\mac caf\\'8e}", u"caf\u00e9"},
      {"{\\rtf1\\ansi\\ansicpg10000 \\'a5}", u"\u2022"},
      {"{\\rtf1 \\uc2\\u8364xyA}", u"\u20acA"},
      {"{\\rtf1 \\u-3913?}", u"\uf0b7"},
      {"{\\rtf1 a\\{b\\}c\\\\d\\~e\\tab f}", u"a{b}c\\d\u00a0e\tf"},
      {"{\\rtf1 {\\*\\unknowndest hidden}shown}", u"shown"},
      {"{\\rtf1 {\\*\\fldinst HYPERLINK}{\\fldrslt link}}", u"link"},
      {"plain \x8e bytes", u"plain \u00e9 bytes"},
  };
  for (const auto& c : cases) EXPECT_EQ(read(c.rtf).plain(), c.text) << c.rtf;
}

TEST(RtfReader, HostileBlocksKeepWhatIsReadable) {
  struct {
    std::string rtf;
    std::u16string text;
  } cases[] = {
      {"{\\rtf1 unbalanced}}}} still{", u"unbalanced still"},
      {"{\\rtf1 {{{open", u"open"},
      {"{\\rtf1 \\" + std::string(5000, 'x') + " after}", u"after"},
      {"{\\rtf1 \\fs99999999999999999999 big \\cf99999999 colour}", u"big colour"},
      {"{\\rtf1 cut \\'4", u"cut "},
      {"{\\rtf1 cut \\'", u"cut "},
      {"{\\rtf1 bin \\bin99999999999 never}", u"bin "},
      {"{\\rtf1 bin \\bin3 abcdef}", u"bin def"},
      {"{\\rtf1 \\u", u""},
      // Escaped units no character has: the replacement character, the
      // fallback dropped; a pair of halves is one character.
      {"{\\rtf1 a\\u99999999999999?b}", u"a\ufffdb"},
      {"{\\rtf1 a\\u-99999?b\\u65536?c}", u"a\ufffdb\ufffdc"},
      {"{\\rtf1 a\\u0?b\\u27?c}", u"a\ufffdb\ufffdc"},
      {"{\\rtf1 a\\u-10179?\\u-8704?b}", u"a\U0001f600b"},
      {"{\\rtf1 a\\u-10179?b\\u-8704?c}", u"a\ufffdb\ufffdc"},
      {"{\\rtf1 cut \\u8736", u"cut \u2220"},
      {"{\\rtf1 cut \\u-", u"cut "},
      {"{\\rtf1 trailing\\", u"trailing"},
  };
  for (const auto& c : cases) EXPECT_EQ(read(c.rtf).plain(), c.text) << c.rtf.substr(0, 60);

  // Deep nesting: the groups past the limit keep their state; the text
  // is all there, and closing them returns to the outer state.
  std::string deep = "{\\rtf1 ";
  for (int i = 0; i < 100000; ++i) deep += "{\\b ";
  deep += "deep";
  for (int i = 0; i < 100000; ++i) deep += "}";
  deep += " out}";
  const rtf_document doc = read(deep);
  EXPECT_EQ(doc.plain(), u"deep out");
  ASSERT_GE(doc.runs.size(), 2u);
  EXPECT_TRUE(doc.runs.front().bold);
  EXPECT_FALSE(doc.runs.back().bold);

  // A 16 MB block of escapes is read in linear time (no test of the time
  // itself: it would be the benchmark's business).
  std::string many = "{\\rtf1 ";
  for (int i = 0; i < 200000; ++i) many += "\\'41";
  many += "}";
  EXPECT_EQ(read(many).plain().size(), 200000u);
}

}  // namespace
