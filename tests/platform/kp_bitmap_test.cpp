#include "platform/kp_bitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/kp_bitmap_qt.h"
#include "platform/kp_graf_port.h"
#include "platform/kp_types_converter.h"
#include "platform/mac_roman.h"
#include "platform/mac_roman_qt.h"

namespace {

tagBITMAPINFOHEADER header(int32_t width, int32_t height, uint16_t bits) {
  tagBITMAPINFOHEADER h{};
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = bits;
  return h;
}

std::vector<uint8_t> top_down_rows(const KPUniversalBitmap& b) {
  const auto* p = static_cast<const uint8_t*>(b.getOriginalData());
  return {p, p + size_t(b.winBitmap()->bmWidthBytes) * size_t(b.height())};
}

TEST(KPBitmap, BottomUp32BitComesOutTopDownWithOpaqueFourthByte) {
  // Rows bottom-up: the second row of the source is the top of the picture.
  const uint8_t src[16] = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0};
  const auto h = header(2, 2, 32);
  std::unique_ptr<KPUniversalBitmap> b(CreateDIBitmap(nullptr, &h, 4, src, nullptr, DIB_RGB_COLORS));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->getOriginalDataType(), 2);
  EXPECT_EQ(top_down_rows(*b), (std::vector<uint8_t>{7, 8, 9, 255, 10, 11, 12, 255, 1, 2, 3, 255, 4, 5, 6, 255}));
  tagBITMAP record{};
  ASSERT_TRUE(KPGetObject::getObject(b.get(), sizeof record, &record));
  EXPECT_EQ(record.bmWidth, 2);
  EXPECT_EQ(record.bmHeight, 2);
  EXPECT_EQ(record.bmWidthBytes, 8);
  EXPECT_EQ(record.bmBitsPixel, 32);
  // The image reads the bytes as blue, green, red.
  EXPECT_EQ(kp_bitmap_image(b.get()).pixel(0, 0) & 0xFFFFFF, 0x090807u);
}

TEST(KPBitmap, PaddedRowsRoundTripInBothRowOrders) {
  // 3 pixels of 24 bits: 9 bytes of pixels and 3 of padding per row.
  const int32_t stride = kp_dib_row_bytes(3, 24);
  ASSERT_EQ(stride, 12);
  std::vector<uint8_t> bottom_up(size_t(stride) * 3, 0xEE);
  for (int row = 0; row < 3; ++row)
    for (int i = 0; i < 9; ++i) bottom_up[row * stride + i] = uint8_t(row * 16 + i);

  const auto h = header(3, 3, 24);
  std::unique_ptr<KPUniversalBitmap> b(CreateDIBitmap(nullptr, &h, 4, bottom_up.data(), nullptr, DIB_RGB_COLORS));
  ASSERT_NE(b, nullptr);
  // Not sheared: each top-down row is one source row whole.
  const auto rows = top_down_rows(*b);
  for (int row = 0; row < 3; ++row)
    for (int i = 0; i < 9; ++i) EXPECT_EQ(rows[row * stride + i], (2 - row) * 16 + i);

  std::vector<uint8_t> back(bottom_up.size(), 0xEE);
  EXPECT_EQ(GetDIBits(nullptr, b.get(), 0, 3, back.data(), &h, DIB_RGB_COLORS), 1);
  EXPECT_EQ(back, bottom_up);

  // The same picture handed over top-down is copied byte for byte.
  auto td = header(3, -3, 24);
  std::vector<uint8_t> top_down(size_t(stride) * 3, 0xEE);
  EXPECT_EQ(GetDIBits(nullptr, b.get(), 0, 3, top_down.data(), &td, DIB_RGB_COLORS), 1);
  std::unique_ptr<KPUniversalBitmap> b2(CreateDIBitmap(nullptr, &td, 4, top_down.data(), nullptr, DIB_RGB_COLORS));
  EXPECT_EQ(top_down_rows(*b2), rows);
}

TEST(KPBitmap, GetDIBitsWritesOnlyTheRowsAskedFor) {
  const auto h = header(2, -4, 32);
  void* bits = nullptr;
  tagBITMAPINFO info{h, {}};
  std::unique_ptr<KPUniversalBitmap> b(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  ASSERT_NE(bits, nullptr);
  auto* px = static_cast<uint32_t*>(bits);
  for (int row = 0; row < 4; ++row) px[row * 2] = px[row * 2 + 1] = 0xFF000000u | uint32_t(row);

  // Scan lines 1 and 2 of a bottom-up layout are picture rows 2 and 1; the
  // buffer holds exactly two rows, guarded by a sentinel.
  const auto bu = header(2, 4, 32);
  std::vector<uint32_t> buffer(2 * 2 + 1, 0xABABABABu);
  EXPECT_EQ(GetDIBits(nullptr, b.get(), 1, 2, buffer.data(), &bu, DIB_PAL_COLORS), 1);
  EXPECT_EQ(buffer[0] & 0xFF, 2u);
  EXPECT_EQ(buffer[2] & 0xFF, 1u);
  EXPECT_EQ(buffer[4], 0xABABABABu);
  // Past the last row nothing is written.
  std::fill(buffer.begin(), buffer.end(), 0xABABABABu);
  GetDIBits(nullptr, b.get(), 3, 2, buffer.data(), &bu, DIB_RGB_COLORS);
  EXPECT_EQ(buffer[0] & 0xFF, 0u);
  EXPECT_EQ(buffer[2], 0xABABABABu);

  // A bitmap with neither pixels nor image answers 0, buffer untouched.
  KPUniversalBitmap empty;
  EXPECT_EQ(GetDIBits(nullptr, &empty, 0, 1, buffer.data(), &bu, 0), 0);
  EXPECT_EQ(buffer[2], 0xABABABABu);
}

TEST(KPBitmap, ImageBitmapsAndHostileHeaders) {
  QImage image(3, 2, QImage::Format_RGB32);
  image.fill(QColor(10, 20, 30));
  std::unique_ptr<KPUniversalBitmap> b(kp_bitmap_from_image(image));
  EXPECT_EQ(b->getOriginalDataType(), 3);
  const auto h = header(3, -2, 32);
  std::vector<uint32_t> out(6, 0);
  EXPECT_EQ(GetDIBits(nullptr, b.get(), 0, 2, out.data(), &h, 1), 1);
  EXPECT_EQ(out[5], 0xFF0A141Eu);

  for (auto bad : {header(0, 4, 32), header(4, 0, 32), header(100000, 100000, 32), header(4, 4, 16),
                   header(-4, 4, 24)}) {
    EXPECT_EQ(CreateDIBitmap(nullptr, &bad, 4, nullptr, nullptr, 0), nullptr);
  }
}

TEST(KPBitmap, StretchDrawLandsInTheDestinationRectangle) {
  std::vector<uint32_t> pixels(20 * 20, 0xFFFFFFFFu);
  std::unique_ptr<KPContext> ctx(KPContext::createBitmapContext(pixels.data(), 20, 20, 80));
  std::unique_ptr<KPGrafPort> port(KPGrafPort::createKPDC());
  port->fixContext(ctx.get(), {}, {});
  const uint32_t red[4] = {0x00FF0000, 0x00FF0000, 0x00FF0000, 0x00FF0000};
  tagBITMAPINFO info{header(2, 2, 32), {}};
  create_autoreleased_bitmap(port.get(), 5, 6, 4, 4, 0, 0, 2, 2, red, &info, 0, 13);
  EXPECT_EQ(pixels[6 * 20 + 5], 0xFFFF0000u);
  EXPECT_EQ(pixels[9 * 20 + 8], 0xFFFF0000u);
  EXPECT_EQ(pixels[5 * 20 + 5], 0xFFFFFFFFu);
  EXPECT_EQ(pixels[10 * 20 + 9], 0xFFFFFFFFu);
}

TEST(PlatformConverters, ColoursRectanglesAndMacRoman) {
  EXPECT_EQ(NSKelvoTypesConverter::NSColorToKPCOLOR(QColor(255, 0, 0)), 255u);
  EXPECT_EQ(NSKelvoTypesConverter::NSColorToKPCOLORV2(QColor(255, 0, 0)), 0xFF0000u);
  EXPECT_EQ(NSKelvoTypesConverter::NSColorToKPCOLOR(QColor::fromRgbF(0.999f, 0, 1.0f)), 254u | (255u << 16));
  EXPECT_EQ(NSKelvoTypesConverter::NSColorToKPCOLOR(QColor()), 0u);
  EXPECT_EQ(NSKelvoColorUtilities::KPCOLORToNSColor(0x0000FF), QColor(255, 0, 0));
  EXPECT_EQ(NSKelvoTypesConverter::KPCOLORToNSColorV2(0x0000FF), QColor(0, 0, 255));
  QRectF r;
  NSKelvoTypesConverter::KPRECTToNSRect({10, 20, 30, 60}, &r);
  EXPECT_EQ(r, QRectF(10, 20, 20, 40));
  tagRECT k{};
  NSKelvoTypesConverter::NSRectToKPRECT(QRectF(-1.5, 2.7, 3.6, 4.1), &k);
  EXPECT_EQ(k.left, -1);
  EXPECT_EQ(k.top, 2);
  EXPECT_EQ(k.right, 2);
  EXPECT_EQ(k.bottom, 6);

  // 0xB0 infinity, 0xB2 and 0xB3 the inequality signs, 0x8A a-umlaut.
  const std::string mac = "x\xB0\xB2\xB3\x8A";
  EXPECT_EQ(mac_roman_to_utf8(mac), "x\u221E\u2264\u2265\u00E4");
  EXPECT_EQ(utf8_to_mac_roman(mac_roman_to_utf8(mac)), mac);
  EXPECT_EQ(qstring_to_mac_roman(mac_roman_to_qstring(mac)), mac);
  EXPECT_EQ(utf8_to_mac_roman("\u4E2D\xFF" "a\xE2\x88"), "??a??");  // missing, malformed, truncated (one per byte)
  std::string all;
  for (int i = 1; i < 256; ++i) all += char(i);
  EXPECT_EQ(utf8_to_mac_roman(mac_roman_to_utf8(all)), all);
}

}  // namespace
