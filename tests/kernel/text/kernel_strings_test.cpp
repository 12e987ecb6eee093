#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/text/kernel_strings.h"

namespace {

struct Texts {
  std::vector<std::string> storage;
  std::vector<const char*> ptrs;
  explicit Texts(const std::string& prefix, int count = kKernelStringCount) {
    for (int i = 0; i < count; ++i) storage.push_back(prefix + std::to_string(i));
    for (const auto& s : storage) ptrs.push_back(s.c_str());
  }
};

// Every test starts from the built-in texts and leaves them so.
class KernelStrings : public ::testing::Test {
 protected:
  void SetUp() override { lang_reset_kernel_strings(); }
  void TearDown() override { lang_reset_kernel_strings(); }
};

TEST_F(KernelStrings, BuiltInUnitDefaultsBeforeTheFirstLoad) {
  EXPECT_TRUE(lang_first_load_pending());
  EXPECT_STREQ(kernel_string(11), "Sans unit\x8E");
  EXPECT_STREQ(kernel_string(46), "\xFB");
  EXPECT_STREQ(kernel_string(47), "gr");
  EXPECT_STREQ(kernel_string(10), "");
  EXPECT_STREQ(kernel_string(-1), "");
  EXPECT_STREQ(kernel_string(kKernelStringCount), "");
}

TEST_F(KernelStrings, TableFeedsEveryRowButTheNativeOnlyOnes) {
  int native = 0;
  for (int r = 0; r < kKernelStringCount; ++r) {
    // 933 and 934 are the kernel's export question.
    const bool native_only = r >= 931 && r <= 969 && r != 933 && r != 934;
    EXPECT_EQ(lang_string_table[r].cvar == nullptr, native_only) << r;
    if (!native_only) {
      EXPECT_EQ(lang_string_table[r].cvar, &kernel_strings[r]);
    }
    native += lang_string_table[r].nsvar ? 1 : 0;
  }
  EXPECT_EQ(native, 85);
  for (int r : {0, 300, 342, 343, 344, 349, 941, 942, 958, 959}) EXPECT_TRUE(lang_string_table[r].nsvar) << r;
}

TEST_F(KernelStrings, FillCopiesByRowAndRefusesAWrongCount) {
  Texts short_file("x", kKernelStringCount - 1);
  EXPECT_FALSE(lang_fill_kernel_strings(short_file.ptrs.data(), kKernelStringCount - 1));
  Texts long_file("x", kKernelStringCount + 1);
  EXPECT_FALSE(lang_fill_kernel_strings(long_file.ptrs.data(), kKernelStringCount + 1));
  EXPECT_TRUE(lang_first_load_pending());
  EXPECT_STREQ(kernel_string(11), "Sans unit\x8E");

  Texts first("a");
  ASSERT_TRUE(lang_fill_kernel_strings(first.ptrs.data(), kKernelStringCount));
  EXPECT_FALSE(lang_first_load_pending());
  EXPECT_STREQ(kernel_string(0), "a0");
  EXPECT_STREQ(kernel_string(11), "a11");
  EXPECT_STREQ(kernel_string(930), "a930");
  EXPECT_STREQ(kernel_string(941), "");  // native only
  EXPECT_STREQ(kernel_string(975), "a975");
  // The kernel owns copies, not the caller's buffers.
  EXPECT_NE(kernel_strings[5], first.ptrs[5]);

  Texts second("b");
  ASSERT_TRUE(lang_fill_kernel_strings(second.ptrs.data(), kKernelStringCount));
  EXPECT_STREQ(kernel_string(11), "b11");
  EXPECT_STREQ(kernel_string(975), "b975");

  lang_reset_kernel_strings();
  EXPECT_TRUE(lang_first_load_pending());
  EXPECT_STREQ(kernel_string(11), "Sans unit\x8E");
  EXPECT_STREQ(kernel_string(0), "");
}

TEST_F(KernelStrings, DegreeSignInUtf8BecomesTheMacRomanByte) {
  struct Case {
    const char* given;
    const char* kept;
  };
  for (const Case c : {Case{"\xC2\xB0", "\xA1"}, Case{"\xC2\xB0x", "\xA1"}, Case{"\xA1", "\xA1"}, Case{"deg", "deg"},
                       Case{"\xC2", "\xC2"}}) {
    Texts t("t");
    t.ptrs[46] = c.given;
    ASSERT_TRUE(lang_fill_kernel_strings(t.ptrs.data(), kKernelStringCount));
    EXPECT_STREQ(kernel_string(46), c.kept) << c.given;
  }
}

TEST_F(KernelStrings, ListsAndSeparatorsFollowTheFill) {
  Texts t("w");
  t.ptrs[275] = ";,:extra";
  t.ptrs[176] = "this object";
  t.ptrs[181] = "this value";
  ASSERT_TRUE(lang_fill_kernel_strings(t.ptrs.data(), kKernelStringCount));
  EXPECT_STREQ(method_argument_words[0], "");
  EXPECT_STREQ(method_argument_words[1], "w113");
  EXPECT_STREQ(method_argument_words[11], "w123");
  EXPECT_STREQ(argument_description_words[0], "this object");
  EXPECT_STREQ(argument_description_words[1], "this value");
  EXPECT_EQ(separator_chars[0], ';');
  EXPECT_EQ(separator_chars[1], ',');
  EXPECT_EQ(separator_chars[2], ':');
  EXPECT_STREQ(session_menu_texts[0], "w787");
  EXPECT_STREQ(session_menu_texts[1], "w788");

  // A short separator text changes only the characters it has.
  t.ptrs[275] = "!";
  ASSERT_TRUE(lang_fill_kernel_strings(t.ptrs.data(), kKernelStringCount));
  EXPECT_EQ(separator_chars[0], '!');
  EXPECT_EQ(separator_chars[1], ',');
}

TEST_F(KernelStrings, NullTextsCountAsEmpty) {
  std::vector<const char*> none(kKernelStringCount, nullptr);
  ASSERT_TRUE(lang_fill_kernel_strings(none.data(), kKernelStringCount));
  EXPECT_STREQ(kernel_string(11), "");
  EXPECT_NE(kernel_strings[11], nullptr);
}

}  // namespace
