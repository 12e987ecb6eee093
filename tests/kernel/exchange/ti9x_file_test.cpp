// The TI-89/92 variable-file container and the encodings inside it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "kernel/exchange/ti9x_file.h"
#include "kernel/exchange/ti_probe.h"

namespace {

std::vector<uint8_t> encode(double v) {
  std::vector<uint8_t> out(ti_bcd_encode(v, nullptr));
  EXPECT_EQ(ti_bcd_encode(v, out.data()), static_cast<int>(out.size()));
  return out;
}

TEST(Ti9xFile, RealsGoAsSixteenBitIntegersOrBinaryCodedDecimal) {
  struct Case {
    double v;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {0, {0x00, 0x00, 0x00}},
      {100, {0x00, 0x00, 0x64}},
      {-1, {0x00, 0xFF, 0xFF}},
      {-32768, {0x00, 0x80, 0x00}},
      {40000, {0xFF, 0x40, 0x04, 0x40, 0, 0, 0, 0, 0, 0, 0}},
      {0.5, {0xFF, 0x3F, 0xFF, 0x50, 0, 0, 0, 0, 0, 0, 0}},
      {2.5, {0xFF, 0x40, 0x00, 0x25, 0, 0, 0, 0, 0, 0, 0}},
      // The digit loop's own arithmetic decides the digits.
      {3.25, {0xFF, 0x40, 0x00, 0x32, 0x49, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99}},
      {-0.5, {0xFF, 0xBF, 0xFF, 0x50, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(encode(c.v), c.bytes) << c.v;
}

TEST(Ti9xFile, DecodingReadsFourteenDigitsAndAnyOtherTagAsAnInteger) {
  double v = 0;
  const uint8_t tagged[] = {0x01, 0xFF, 0xFE};
  EXPECT_EQ(ti_bcd_decode(tagged, &v), 3);
  EXPECT_EQ(v, -2);
  for (double x : {3.14159265358979, -1234.5678, 1e-7, 6.02214076e23, 40000.0}) {
    const std::vector<uint8_t> b = encode(x);
    EXPECT_EQ(ti_bcd_decode(b.data(), &v), 11);
    EXPECT_NEAR(v, x, std::fabs(x) * 1e-13) << x;
  }
  // The 15th and 16th digits are not read.
  std::vector<uint8_t> b = {0xFF, 0x40, 0x00, 0x10, 0, 0, 0, 0, 0, 0, 0x99};
  ti_bcd_decode(b.data(), &v);
  EXPECT_EQ(v, 1.0);
  // Values that have no digits go as zero rather than as garbage.
  for (double bad : {HUGE_VAL, std::nan("")}) {
    b = encode(bad);
    ti_bcd_decode(b.data(), &v);
    EXPECT_EQ(v, 0.0);
  }
}

TEST(Ti9xFile, PiBecomesTheCalculatorsCharacterOnlyAsAWord) {
  struct Case {
    const char* in;
    std::string out;
  };
  const std::string pi(1, static_cast<char>(kTi9xPiByte));
  const Case cases[] = {{"pi", pi}, {"2pi", "2" + pi}, {"pi/2", pi + "/2"}, {"pin", "pin"},
                        {"spin", "spin"}, {"api", "api"}, {"", ""}};
  for (const Case& c : cases) {
    const uint16_t n = ti_pi_text(c.in, nullptr);
    std::vector<uint8_t> out(n, 0xEE);
    EXPECT_EQ(ti_pi_text(c.in, out.data()), n);
    EXPECT_EQ(out.back(), 0);
    EXPECT_EQ(std::string(out.begin(), out.end() - 1), c.out) << c.in;
  }
}

TEST(Ti9xFile, CalculatorCharactersMapToHostCodes) {
  EXPECT_EQ(ti9x_host_char(65), 65);
  EXPECT_EQ(ti9x_host_char(233), 130);  // e acute
  EXPECT_EQ(ti9x_host_char(140), 227);  // pi
  EXPECT_EQ(ti9x_host_char(9), 85);
  EXPECT_EQ(ti9x_host_char(255), 152);
  char text[] = {'A', static_cast<char>(233), static_cast<char>(176), 0};
  map_ti_text(text);
  EXPECT_EQ(static_cast<uint8_t>(text[1]), 130);
  EXPECT_EQ(static_cast<uint8_t>(text[2]), 248);
}

TEST(Ti9xFile, VariableNamesComeFromTheFileName) {
  EXPECT_EQ(ti9x_variable_name("/home/u/circle.figure"), "circle");
  EXPECT_EQ(ti9x_variable_name("averylongname.x"), "averylon");
  EXPECT_EQ(ti9x_variable_name("/a.b/noext"), "noext");
}

TEST(Ti9xFile, ContainerOfATi92PlusFigure) {
  const uint32_t length = 10;
  std::vector<uint8_t> image(length + kTi9xOverhead, 0);
  for (uint32_t k = 0; k < length; ++k) image[kTi9xDataOffset + k] = static_cast<uint8_t>(k + 1);
  image[kTi9xDataOffset + length - 1] = kTi9xFigureEnd;
  ti9x_fill_container(image.data(), length, *ti9x_model_for_code(6), kTi9xFigureType, "main");
  EXPECT_EQ(std::memcmp(image.data(), "**TI92P*\x01\x00main\x00\x00TI\x00", 19), 0);
  EXPECT_EQ(image[58], 1);
  EXPECT_EQ(image[59], 0);
  EXPECT_EQ(std::vector<uint8_t>(image.begin() + 60, image.begin() + 64), (std::vector<uint8_t>{0x52, 0, 0, 0}));
  EXPECT_EQ(image[72], 0x0E);
  EXPECT_EQ(std::vector<uint8_t>(image.begin() + 76, image.begin() + 82),
            (std::vector<uint8_t>{0x64, 0, 0, 0, 0xA5, 0x5A}));
  EXPECT_EQ(image[86], 0);
  EXPECT_EQ(image[87], 10);
  uint16_t sum = 0;
  for (uint32_t k = 86; k < 98; ++k) sum = static_cast<uint16_t>(sum + image[k]);
  EXPECT_EQ(image[98] | (image[99] << 8), sum);

  // The probe finds it, with the name.
  char name[9];
  EXPECT_EQ(ti9x_check_signature(reinterpret_cast<const char*>(image.data()), static_cast<uint32_t>(image.size()),
                                 name),
            86);
  EXPECT_STREQ(name, "main");
}

TEST(Ti9xFile, AnEightCharacterNameStopsBeforeTheTypeByte) {
  std::vector<uint8_t> image(2 + kTi9xOverhead, 0);
  image[kTi9xDataOffset + 1] = kTi9xFigureEnd;
  ti9x_fill_container(image.data(), 2, *ti9x_model_for_code(7), kTi9xFigureType, "averylon");
  char name[9];
  ASSERT_GT(ti9x_check_signature(reinterpret_cast<const char*>(image.data()), static_cast<uint32_t>(image.size()),
                                 name),
            0);
  EXPECT_STREQ(name, "averylon");
}

}  // namespace
