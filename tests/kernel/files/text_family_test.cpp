#include "kernel/files/text_family.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "kernel/exchange/ti_probe.h"
#include "kernel/files/text_output.h"
#include "kernel/model/version_info.h"

namespace {

class TextFamily : public ::testing::Test {
 protected:
  void SetUp() override {
    init_version_info();
    pixels_per_unit = 28.0;
  }
  void TearDown() override {
    free_file_image();
    reset_pixels_per_unit();
  }

  // Detects s as a loaded file image, the way a load does.
  int detect(const std::string& s) {
    EXPECT_TRUE(load_file_image(s.data(), static_cast<uint32_t>(s.size())));
    return txt_detect_header(file_buffer_len, file_buffer);
  }
};

TEST_F(TextFamily, HeadersOfEveryKindAreWrittenAndCountedAlike) {
  const char* expected[4] = {"Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n",
                             "Macro Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n",
                             "Menus Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n",
                             "Situations Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n"};
  for (int kind = 0; kind < 4; ++kind) {
    int32_t counted = txt_write_header(nullptr, kind, 2);
    int32_t counted_in_scratch = txt_write_header(txt_scratch, kind, 2);
    std::vector<char> buf(counted + 1, '#');
    int32_t written = txt_write_header(buf.data(), kind, 2);
    EXPECT_EQ(counted, written);
    EXPECT_EQ(counted_in_scratch, written);
    EXPECT_EQ(std::string(buf.data(), written), expected[kind]);
    EXPECT_EQ(buf[written], '#') << "writes nothing past its length";
  }
  EXPECT_EQ(txt_write_section_title(nullptr, "Used macro"), 14);
  char two[3] = {};
  EXPECT_EQ(txt_put_crlf(two), 2);
  EXPECT_STREQ(two, "\r\n");
}

TEST_F(TextFamily, WrittenHeadersAreDetectedAsTheirKind) {
  for (int kind = 0; kind < 4; ++kind) {
    char buf[128] = {};
    int32_t n = txt_write_header(buf, kind, 2);
    file_mac_header = 0;
    EXPECT_EQ(detect(std::string(buf, n) + "more"), kind);
    EXPECT_EQ(file_class, 0);
    EXPECT_EQ(file_platform, 0);
    EXPECT_DOUBLE_EQ(file_version, 1.4);
    EXPECT_EQ(file_mac_header, 1);
  }
}

struct HeaderCase {
  const char* text;
  int kind;
  int file_class;
  int platform;
  double version;
};

TEST_F(TextFamily, HeaderDetectionCases) {
  const HeaderCase cases[] = {
      {"Figure Kelvo Nova vers. MS-Windows 1.5\r\n", FILE_KIND_REFUSED, 0, 0, 1.5},
      {"Figure Kelvo Nova vers. MS-Windows 1.4\r\n", FILE_KIND_FIGURE, 0, 0, 1.4},
      {"Figure Kelvo Duo vers. MacOS 1.0\r\n", FILE_KIND_FIGURE, 1, 1, 1.0},
      {"Figure Kelvo Duo vers. MacOS 0.9\r\n", FILE_KIND_REFUSED, 1, 1, 0.9},
      {"FIGURE KelvoDuo vers. MS-Windows 1.0\r\n", FILE_KIND_FIGURE, 1, 0, 1.0},
      {"MACRO KelvoDuo vers. MS-Windows 1.0\r\n", FILE_KIND_MACRO, 1, 0, 1.0},
      {"Macro Kelvo Duo vers. 1.0\r\n\r\n", FILE_KIND_MACRO, 1, 1, 1.0},
      {"FIGURE KELVO NOVA VERS. DOS 1.2\r\n\r\nWindow", FILE_KIND_FIGURE, 0, 2, 1.2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(detect(c.text), c.kind);
    EXPECT_EQ(file_class, c.file_class);
    EXPECT_EQ(file_platform, c.platform);
    EXPECT_DOUBLE_EQ(file_version, c.version);
  }
  // Blanks are skipped only while 11 bytes remain, so a header at the very
  // end of a short image finds no platform word.
  EXPECT_EQ(detect("Figure Kelvo Nova vers. DOS 1.0"), FILE_KIND_REFUSED);
  // A plain version keeps the "(MAC" flag off.
  detect("Figure Kelvo Nova vers. MS-Windows 1.4\r\n");
  EXPECT_EQ(file_mac_header, 0);
}

TEST_F(TextFamily, HeadersWithoutAGenerationAreRefused) {
  // Situations files exist only in the current edition.
  file_class = 0;
  EXPECT_EQ(detect("Situations Kelvo Duo vers. MacOS 1.0\r\n"), FILE_KIND_REFUSED);
  EXPECT_EQ(file_class, 0);
  // No edition word: refused whatever was detected before.
  file_class = 1;
  EXPECT_EQ(detect("Figure Kelvo MS-Windows 1.0\r\n"), FILE_KIND_REFUSED);
  // Versions that are not numbers.
  EXPECT_EQ(detect("Figure Kelvo Nova vers. MS-Windows nan\r\n"), FILE_KIND_REFUSED);
  EXPECT_EQ(detect("Figure Kelvo Nova vers. MS-Windows (MAC 1e999)"), FILE_KIND_REFUSED);
  EXPECT_EQ(detect("Figure Kelvo Nova vers. MS-Windows -inf\r\n"), FILE_KIND_REFUSED);
  // An image exactly as long as a kind word is not that kind.
  EXPECT_EQ(detect("Figure Kelvo"), FILE_KIND_REFUSED);
  EXPECT_EQ(detect(""), FILE_KIND_REFUSED);
}

TEST_F(TextFamily, PreferenceAndOldBinarySignatures) {
  EXPECT_EQ(detect(std::string(kTxtPrefsHeader) + "\r\n"), FILE_KIND_PREFS);
  EXPECT_EQ(detect("x" + std::string(kTxtPrefsHeader) + "\r\n"), FILE_KIND_PREFS);
  EXPECT_EQ(detect("PREFS KELVO NOVA VERS. MS-WINDOWS 1.0\r\n"), FILE_KIND_REFUSED);

  const std::string tail(40, 'z');
  EXPECT_EQ(detect(std::string(99, 'x') + "FIGURE version 1.7\r\n" + tail), FILE_KIND_FIGURE);
  EXPECT_EQ(file_class, 2);
  EXPECT_EQ(file_platform, 2);
  EXPECT_EQ(detect(std::string(100, 'x') + "figure version 1.7\r\n" + tail), FILE_KIND_REFUSED);
  EXPECT_EQ(detect(std::string(5, 'x') + "macro version 1.6\r\n" + tail), FILE_KIND_MACRO);
  EXPECT_EQ(detect(std::string(99, 'x') + "kelvo-planisto version " + tail), FILE_KIND_FIGURE);
  EXPECT_EQ(file_platform, 1);
  EXPECT_EQ(detect(std::string(100, 'x') + "Kelvo-planisto version " + tail), FILE_KIND_REFUSED);

  // The open path's sniffer takes binary property lists and the preference
  // header one byte in, and never touches the "(MAC" flag.
  std::string plist = "bplist00";
  load_file_image(plist.data(), static_cast<uint32_t>(plist.size()));
  EXPECT_EQ(sniff_file_format(), FILE_KIND_PREFS);
  std::string header = "Figure Kelvo Nova vers. MS-Windows 1.4\r\n";
  file_mac_header = 1;
  load_file_image(header.data(), static_cast<uint32_t>(header.size()));
  EXPECT_EQ(sniff_file_format(), FILE_KIND_FIGURE);
  EXPECT_EQ(file_mac_header, 1);
  std::string prefs = std::string(kTxtPrefsHeader) + "\r\n";
  load_file_image(prefs.data(), static_cast<uint32_t>(prefs.size()));
  EXPECT_EQ(sniff_file_format(), FILE_KIND_REFUSED);
}

// A TI-89 variable file: signature, data position, length, data, checksum.
std::string ti89_file(uint8_t last_byte, bool good_sum) {
  std::string f(90, '\0');
  std::memcpy(f.data(), "**TI89**\x01", 9);
  const uint16_t p = 80;
  f[60] = static_cast<char>(p & 255);
  f[61] = static_cast<char>(p >> 8);
  f[p - 2] = static_cast<char>(0xA5);
  f[p - 1] = 'Z';
  const uint32_t d = p + 4;
  f.resize(d);
  const uint8_t data[] = {0x00, 0x03, 0x10, 0x20, last_byte};
  f.append(reinterpret_cast<const char*>(data), sizeof data);
  uint16_t sum = 0;
  for (uint8_t b : data) sum = static_cast<uint16_t>(sum + b);
  if (!good_sum) ++sum;
  f += static_cast<char>(sum & 255);
  f += static_cast<char>(sum >> 8);
  return f;
}

TEST_F(TextFamily, CalculatorFilesAreRecognised) {
  EXPECT_EQ(detect(ti89_file(0xE1, true)), FILE_KIND_FIGURE);
  EXPECT_EQ(file_platform, 3);
  EXPECT_EQ(file_class, 1);
  EXPECT_EQ(detect(ti89_file(0xE2, true)), FILE_KIND_MACRO);
  EXPECT_EQ(detect(ti89_file(0xE2, false)), FILE_KIND_REFUSED);
  // A length running past the end of the image is refused, not read.
  std::string cut = ti89_file(0xE1, true);
  cut[85] = static_cast<char>(0xFF);
  EXPECT_EQ(detect(cut), FILE_KIND_REFUSED);

  // A TI-83 Plus application variable with one record.
  std::string f(84 + 18 + 2, '\0');
  std::memcpy(f.data(), "**TI83F*", 8);
  const uint16_t data_len = 30;
  f[57] = data_len;
  f[59] = 0x15;
  f[70] = data_len;
  f[72] = data_len - 2;
  std::memcpy(f.data() + 74, "ZoVef", 5);
  f[83] = 1;
  f[90] = 7;
  uint16_t sum = 0;
  for (int k = 55; k <= 83 + 18; ++k) sum = static_cast<uint16_t>(sum + static_cast<uint8_t>(f[k]));
  f[102] = static_cast<char>(sum & 255);
  f[103] = static_cast<char>(sum >> 8);
  EXPECT_EQ(detect(f), FILE_KIND_FIGURE);
  EXPECT_EQ(file_platform, 4);
  EXPECT_DOUBLE_EQ(file_version, 2.0);
  EXPECT_EQ(detect(f.substr(0, f.size() - 1)), FILE_KIND_REFUSED);
}

TEST_F(TextFamily, ScanNumberReadsCentimetresAndThirds) {
  struct Case {
    const char* text;
    double cm;
    int used;
  };
  const Case cases[] = {
      {" 1.33_,", 1.33 + 1.0 / 300, 6},
      {"2.66_", 2.66 + 1.0 / 150, 5},
      {"TP: -0.33_ x", -(0.33 + 1.0 / 300), 10},
      {"x: 2.5, 3", 2.5, 6},
      {"+4", 4, 2},
      {"a-b 1E+02", 100, 9},
      {"-.5", -0.5, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    double v = 0;
    EXPECT_EQ(txt_scan_number(&v, c.text), c.used);
    EXPECT_DOUBLE_EQ(v, c.cm * 28.0);
  }
  int16_t i = 0;
  EXPECT_EQ(txt_scan_int(&i, " 0.5"), 4);
  EXPECT_EQ(i, 14);
}

TEST_F(TextFamily, ScanNumberStopsAtTheEndOfItsLine) {
  double v = 7;
  EXPECT_EQ(txt_scan_number(&v, "TP: ,\r\n 12"), 0);
  EXPECT_EQ(txt_scan_number(&v, "no digits"), 0);
  EXPECT_EQ(txt_scan_number(&v, ""), 0);
  EXPECT_EQ(txt_scan_number(&v, " 1e999"), 0);
  EXPECT_EQ(v, 7);
  int16_t i = 3;
  EXPECT_EQ(txt_scan_int(&i, " 5000"), 0) << "140000 pixels do not fit in 16 bits";
  EXPECT_EQ(i, 3);
}

// Whole numbers are summed by hand up to eighteen digits; a longer one must
// still be read exactly, and one past the 64-bit range refused.
TEST(TextParseLong, ShortLongAndOverflowingNumbers) {
  struct Case {
    const char* text;
    size_t used;
    int64_t value;
  } cases[] = {
      {"0", 1, 0},
      {"-12,", 3, -12},
      {"123456789012345678x", 18, 123456789012345678},
      {"9223372036854775807", 19, INT64_MAX},
      {"-9223372036854775807", 20, -INT64_MAX},
      {"9223372036854775808", 0, 0},
      {"0000000000000000000042", 22, 42},
      {"-", 0, 0},
      {"x1", 0, 0},
  };
  for (const Case& c : cases) {
    int64_t v = 0;
    EXPECT_EQ(txt_parse_long(c.text, &v), c.used) << c.text;
    if (c.used != 0) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

// Short decimals are read by one exact division; every number must come out
// bit for bit as the library's reader gives it, including the ones the
// division cannot take (too many digits, an exponent).
TEST(TextParseReal, ReadsEveryNumberAsTheLibraryDoes) {
  auto library = [](const std::string& text, double* v) -> size_t {
    const char* s = text.c_str();
    const bool negative = *s == '-';
    if (*s == '-' || *s == '+') ++s;
    auto r = std::from_chars(s, text.c_str() + text.size(), *v, std::chars_format::general);
    if (r.ec != std::errc()) return 0;
    if (negative) *v = -*v;
    return static_cast<size_t>(r.ptr - text.c_str());
  };
  std::vector<std::string> texts = {"0", "-0", "0.1", "0.355263157894737", "-7.25", "5.", ".5", "9007199254740992",
                                    "9007199254740993", "1234567890123456789", "0.00000000000000000001",
                                    "123456789.123456789", "1e5", "2.5E-3", "4.9e-324", "1.7976931348623157e308",
                                    "0.3", "2.675", "1.0000000000000002", "99999999999999999999"};
  std::mt19937_64 rng(7);
  for (int i = 0; i < 20000; ++i) {
    std::string t = (rng() & 1) ? "-" : "";
    const int before = static_cast<int>(rng() % 12), after = static_cast<int>(rng() % 18);
    for (int k = 0; k < before; ++k) t += static_cast<char>('0' + rng() % 10);
    t += '.';
    for (int k = 0; k < after; ++k) t += static_cast<char>('0' + rng() % 10);
    if (before + after > 0) texts.push_back(t);
  }
  for (const std::string& t : texts) {
    double ours = -1, theirs = -2;
    const size_t used = txt_parse_real(t.c_str(), &ours);
    ASSERT_EQ(used, library(t, &theirs)) << t;
    if (used == 0) continue;
    EXPECT_EQ(std::memcmp(&ours, &theirs, sizeof ours), 0) << t << ": " << ours << " against " << theirs;
  }
}

}  // namespace
