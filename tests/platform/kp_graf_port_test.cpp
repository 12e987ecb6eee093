#include "platform/kp_graf_port.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "platform/kp_gdi_objects.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr int kW = 40;
constexpr int kH = 30;

// A white 40 x 30 surface with a port bound to it, antialiasing off.
struct Canvas {
  std::vector<uint32_t> pixels = std::vector<uint32_t>(kW * kH, kWhite);
  std::unique_ptr<KPContext> context{KPContext::createBitmapContext(pixels.data(), kW, kH, kW * 4)};
  std::unique_ptr<KPGrafPort> port{KPGrafPort::createKPDC()};
  Canvas() {
    port->fixContext(context.get(), {}, {});
    port->allowsAntialiasing(false);
  }
  // The colour word (0x00RRGGBB) of a pixel.
  uint32_t at(int x, int y) const { return pixels[y * kW + x] & 0xFFFFFF; }
  bool inked(int x, int y) const { return at(x, y) != 0xFFFFFF; }
  std::string row(int y, int from = 0, int to = kW) const {
    std::string s;
    for (int x = from; x < to; ++x) s += inked(x, y) ? '#' : '.';
    return s;
  }
  std::string column(int x, int from = 0, int to = kH) const {
    std::string s;
    for (int y = from; y < to; ++y) s += inked(x, y) ? '#' : '.';
    return s;
  }
  int count() const {
    int n = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) n += inked(x, y);
    return n;
  }
};

TEST(KPGrafPort, FreshMoveCorrectionOnlyOnExactDirections) {
  {
    Canvas c;
    c.port->moveTo(10, 10);
    c.port->lineTo(20, 10);
    EXPECT_EQ(c.row(10, 8, 21), ".###########.");  // from 9, not 10
    c.port->lineTo(20, 20);                        // no correction: starts at the end
    EXPECT_EQ(c.column(20, 9, 21), ".##########.");
  }
  {
    Canvas c;  // vertical, upwards: the start moves one unit down
    c.port->moveTo(5, 20);
    c.port->lineTo(5, 10);
    EXPECT_EQ(c.column(5, 9, 22), ".###########.");
  }
  {
    Canvas c;  // 45 degrees: both coordinates move
    tagPOINT previous{};
    c.port->moveToEx(10, 10, nullptr);
    c.port->moveToEx(10, 10, &previous);
    EXPECT_EQ(previous.x, 10);
    c.port->lineTo(15, 15);
    EXPECT_TRUE(c.inked(9, 9));
  }
  {
    Canvas c;  // slope 2: uncorrected
    c.port->moveTo(10, 10);
    c.port->lineTo(15, 20);
    EXPECT_FALSE(c.inked(9, 8));
    EXPECT_FALSE(c.inked(9, 9));
    EXPECT_TRUE(c.inked(10, 10));
  }
  {
    Canvas c;  // a line to the move point is a one-unit vertical segment
    c.port->moveTo(10, 10);
    c.port->lineTo(10, 10);
    EXPECT_EQ(c.count(), 1);
    EXPECT_TRUE(c.inked(10, 10) || c.inked(10, 11));
  }
}

TEST(KPGrafPort, PenStylesGiveTheirDashPatterns) {
  struct Case {
    long style;
    uint32_t phase;
    const char* row;
  } cases[] = {
      {0, 0, "##############################"},
      {0x0102, 0, "#..#..#..#..#..#..#..#..#..#.."},  // masked to style 2
      {1, 0, "####......####......####......"},
      {1, 3, "#......####......####......###"},  // phase 3 from the brush record
      {3, 0, "##...####...##...####...##...#"},
      {5, 0, ".............................."},  // the null pen draws nothing
  };
  for (const auto& tc : cases) {
    Canvas c;
    tagLOGBRUSH brush{0, 0x0000FF, 0, tc.phase};
    KPPen* pen = KPPen::extCreatePen(static_cast<uint32_t>(tc.style), 1, &brush, 0, nullptr);
    c.port->selectObject(pen);
    c.port->moveTo(0, 5);
    c.port->lineToFast(30, 5);
    EXPECT_EQ(c.row(5, 0, 30), tc.row) << "style " << tc.style << " phase " << tc.phase;
    if (tc.style == 0) EXPECT_EQ(c.at(0, 5), 0xFF0000u);  // red in bits 0-7 of the pen word
    c.port->selectObject(KPGrafPort::getStockObject(7));
    DeleteObject(pen);
  }
}

TEST(KPGrafPort, WideLinesFlagWidensScreenPensAndOpensPolygons) {
  wide_lines_flag = 1;
  {
    Canvas c;
    std::unique_ptr<KPPen> pen(KPPen::createPen(0, 1.0f, 0));
    c.port->selectObject(pen.get());
    c.port->moveTo(0, 10);
    c.port->lineToFast(20, 10);
    EXPECT_EQ(c.column(5, 8, 13), ".##..");  // two units wide, centred on 10

    // Polygons stay open: the closing edge (0,20)-(0,2) is not stroked.
    c.port->selectObject(KPGrafPort::getStockObject(5));
    const tagPOINT pts[3] = {{2, 2}, {30, 2}, {2, 20}};
    c.port->polygon(pts, 3);
  }
  {
    Canvas c;
    c.port->setPrinting(true);
    std::unique_ptr<KPPen> pen(KPPen::createPen(0, 1.0f, 0));
    c.port->selectObject(pen.get());
    c.port->moveTo(0, 10);
    c.port->lineToFast(20, 10);
    EXPECT_EQ(c.column(5, 8, 13), "..#..");
  }
  {
    Canvas c;
    c.port->selectObject(KPGrafPort::getStockObject(5));
    const tagPOINT pts[3] = {{5, 5}, {30, 5}, {30, 25}};
    c.port->polygon(pts, 3);
    EXPECT_FALSE(c.inked(17, 15));  // the closing diagonal is missing
    EXPECT_TRUE(c.inked(30, 15));
  }
  wide_lines_flag = 0;
  Canvas c;
  c.port->selectObject(KPGrafPort::getStockObject(5));
  const tagPOINT pts[3] = {{5, 5}, {30, 5}, {30, 25}};
  c.port->polygon(pts, 3);
  EXPECT_TRUE(c.inked(17, 15) || c.inked(18, 15) || c.inked(17, 14) || c.inked(18, 16));
}

TEST(KPGrafPort, PolygonFillModes) {
  // Two overlapping squares drawn as one path in the same direction: the
  // overlap is a hole with even-odd and filled with winding.
  const tagPOINT pts[10] = {{2, 2}, {20, 2}, {20, 20}, {2, 20}, {2, 2}, {10, 10}, {28, 10}, {28, 28}, {10, 28}, {10, 10}};
  for (int mode : {1, 2}) {
    Canvas c;
    std::unique_ptr<KPBrush> brush(KPBrush::createSolidBrush(0x00FF00));
    c.port->selectObject(brush.get());
    EXPECT_EQ(c.port->setPolyFillMode(mode), mode == 1 ? 0 : 0);
    c.port->polygon(pts, 10);
    EXPECT_EQ(c.at(15, 5), 0x00FF00u);
    EXPECT_EQ(c.at(15, 15), mode == 1 ? 0xFFFFFFu : 0x00FF00u) << "mode " << mode;
  }
}

TEST(KPGrafPort, RectanglesEllipsesAndMaskMode) {
  Canvas c;
  std::unique_ptr<KPBrush> red(KPBrush::createSolidBrush(0x0000FF));
  std::unique_ptr<KPBrush> blue(KPBrush::createSolidBrush(0xFF0000));
  c.port->selectObject(red.get());
  const tagRECT r{2, 3, 6, 8};
  c.port->fillRect(&r);
  EXPECT_EQ(c.row(5, 0, 8), "..####..");
  EXPECT_EQ(c.column(3, 0, 10), "...#####..");
  EXPECT_EQ(c.at(3, 4), 0xFF0000u);

  // Mask: multiply with what lies beneath; white takes the colour, red under
  // blue becomes black.
  EXPECT_EQ(c.port->setROP2(9), 13);
  c.port->selectObject(blue.get());
  const tagRECT r2{4, 3, 10, 8};
  c.port->fillRect(&r2);
  EXPECT_EQ(c.at(5, 5), 0x000000u);
  EXPECT_EQ(c.at(8, 5), 0x0000FFu);
  EXPECT_EQ(c.port->setROP2(13), 9);

  c.port->selectObject(red.get());
  c.port->ellipse(20, 10, 30, 20);
  EXPECT_EQ(c.at(25, 15), 0xFF0000u);
  EXPECT_FALSE(c.inked(20, 10));
  c.port->selectObject(KPGrafPort::getStockObject(5));
  c.port->ellipse(20, 20, 30, 29);  // outline only
  EXPECT_FALSE(c.inked(25, 24));
}

TEST(KPGrafPort, SelectionCacheFollowsSetBrush) {
  Canvas c;
  std::unique_ptr<KPBrush> a(KPBrush::createSolidBrush(0x0000FF));
  std::unique_ptr<KPBrush> b(KPBrush::createSolidBrush(0xFF0000));
  EXPECT_EQ(c.port->selectObject(nullptr), nullptr);
  c.port->selectObject(a.get());
  EXPECT_EQ(c.port->selectObject(a.get()), a.get());  // already selected: itself
  c.port->setBrush(b.get());
  c.port->selectObject(a.get());
  EXPECT_EQ(c.port->getBrush(), a.get());
  const tagRECT r{0, 0, 4, 4};
  c.port->fillRect(&r);
  EXPECT_EQ(c.at(1, 1), 0xFF0000u);  // a's red, not b's blue
}

TEST(KPGrafPort, TextColourStockObjectsAndModes) {
  Canvas c;
  std::unique_ptr<KPPen> pen(KPPen::createPen(0, 1, 0x123456));
  c.port->selectObject(pen.get());
  EXPECT_EQ(c.port->setKelvoTextColor(0x0000FF), 0x123456u);
  EXPECT_EQ(c.port->getCurrentPen()->strokeColor(), 0x0000FFu);
  EXPECT_EQ(c.port->setKelvoTextColor(0x00FF00), 0x0000FFu);

  EXPECT_EQ(c.port->setBkMode(2), 0);
  EXPECT_EQ(c.port->setBkMode(1), 0);

  init_color_table();
  const uint32_t saved = back_color;
  auto* white = static_cast<KPBrush*>(KPGrafPort::getStockObject(0));
  back_color = 0x112233;
  EXPECT_EQ(static_cast<KPBrush*>(KPGrafPort::getStockObject(0))->getBrushColor(), white->getBrushColor());
  EXPECT_EQ(white->getBrushColor(), 0xFFFFFFu);
  back_color = saved;
  EXPECT_EQ(static_cast<KPBrush*>(KPGrafPort::getStockObject(1))->getBrushColor(), 0xC0C0C0u);
  EXPECT_EQ(KPGrafPort::getStockObject(13)->kind(), KPObjectKind::Font);
  EXPECT_FALSE(DeleteObject(KPGrafPort::getStockObject(7)));  // stock objects stay

  c.port->drawBackground(0x00FF00);
  EXPECT_EQ(c.at(0, 0), 0x00FF00u);
  EXPECT_EQ(c.at(kW - 1, kH - 1), 0x00FF00u);
}

TEST(KPGrafPort, CoordinateHelpersAndScale) {
  Canvas c;
  EXPECT_EQ(c.port->getHeight(), float(kH));
  tagPOINT p{3, 10};
  c.port->localtoGlobalDD(&p);
  EXPECT_EQ(p.x, 3);
  EXPECT_EQ(p.y, kH - 10);
  c.port->globaltoLocalDD(&p);
  EXPECT_EQ(p.y, 10);
  const tagRECT rect{1, 2, 5, 9};
  const KPRectF f = c.port->_intToFloatRect(&rect);
  EXPECT_EQ(f.y, kH - 9);
  EXPECT_EQ(f.height, 7);

  // At scale 2 a kernel point lands at twice its distance from the bottom.
  c.port->setGrafScale(2.0f);
  std::unique_ptr<KPBrush> brush(KPBrush::createSolidBrush(0));
  c.port->selectObject(brush.get());
  c.port->ellipse(10, 24, 12, 26);  // centre (11, 25): 5 units above the bottom
  EXPECT_TRUE(c.inked(22, kH - 10));
  c.port->setPrinting(true);
  EXPECT_EQ(c.port->getScale(), 1.0f);
}

TEST(KPGrafPort, AFaceIsFoundOrRefusedTheSameEveryTimeAtEverySize) {
  for (int round = 0; round < 3; ++round) {
    std::unique_ptr<KPFont> small(KPFont::withName("DejaVu Sans", 9 + round));
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(small->fontName(), "DejaVu Sans");
    EXPECT_DOUBLE_EQ(small->pointSize(), 9 + round);
    EXPECT_EQ(KPFont::withName("No Such Face Anywhere", 12 + round), nullptr);
    EXPECT_EQ(KPFont::withName("", 12), nullptr);
  }
}

TEST(KPGrafPort, TextIsDrawnBelowTheRectangleBottomAndMeasured) {
  Canvas c;
  std::unique_ptr<KPFont> font(KPFont::withName("DejaVu Sans", 12));
  ASSERT_NE(font, nullptr);
  c.port->currentDrawTextFont(font.get());
  const long w = c.port->stringWidth("Hello");
  EXPECT_GT(w, 20);
  EXPECT_LT(w, 45);
  std::unique_ptr<KPFont> huge(KPFont::withName("DejaVu Sans", 200));
  c.port->currentDrawTextFont(huge.get());
  EXPECT_EQ(c.port->stringWidth(std::string(100, 'M')), 100);  // 10000 or more is capped
  c.port->currentDrawTextFont(font.get());

  c.port->setKelvoTextColor(0x0000FF);
  tagRECT r{2, 0, 10002, 5};
  c.port->kelvoDrawText("H\x8A", 2, &r, 2096);  // Mac Roman a-umlaut
  // The rectangle ends where the text ends.
  EXPECT_NEAR(r.right - r.left, c.port->stringWidth("H\x8A"), 1);
  int top = kH;
  int bottom = -1;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      if (c.inked(x, y)) {
        top = std::min(top, y);
        bottom = std::max(bottom, y);
        EXPECT_EQ(c.at(x, y), 0xFF0000u);
      }
  EXPECT_GE(top, 5);
  EXPECT_LE(bottom, 5 + 15);
}

TEST(KPGrafPort, UnboundPortDrawsNothingAndArcsFollowTheYUpRule) {
  std::unique_ptr<KPGrafPort> port(KPGrafPort::createKPDC());
  port->drawBackground(0);
  port->moveTo(0, 0);
  port->lineTo(5, 5);
  tagRECT r{0, 0, 10, 10};
  port->kelvoDrawText("x", 1, &r, 0);
  EXPECT_EQ(r.right, 10);

  // A quarter arc from 0 to pi/2 goes counter-clockwise (upwards on screen).
  Canvas c;
  c.port->arc(20, 15, 10.0f, 0.0f, 1.5707964f);
  EXPECT_TRUE(c.inked(29, 14) || c.inked(30, 14));
  EXPECT_TRUE(c.inked(20, 5) || c.inked(20, 4) || c.inked(21, 5));
  EXPECT_FALSE(c.inked(20, 25) || c.inked(20, 24));
  EXPECT_FALSE(c.inked(10, 15) || c.inked(11, 15));
}

TEST(KPGdiObjects, FontsAndMetrics) {
  tagLOGFONT record{};
  std::strcpy(record.lfFaceName, "No Such Face Anywhere");
  std::unique_ptr<KPFont> fallback(CreateFontIndirect(&record));
  EXPECT_DOUBLE_EQ(fallback->pointSize(), 12.0);

  std::strcpy(record.lfFaceName, "DejaVu Sans");
  record.lfHeight = -16;  // a Win32 character height
  std::unique_ptr<KPFont> dejavu(CreateFontIndirect(&record));
  EXPECT_EQ(dejavu->fontName(), "DejaVu Sans");
  EXPECT_DOUBLE_EQ(dejavu->pointSize(), 16.0);

  Canvas c;
  tagTEXTMETRIC tm{};
  tm.tmAveCharWidth = 77;
  EXPECT_EQ(GetTextMetrics(c.port.get(), &tm), 0);  // no current font
  EXPECT_EQ(GetTextMetrics(nullptr, &tm), 0);
  c.port->selectObject(dejavu.get());
  ASSERT_EQ(GetTextMetrics(c.port.get(), &tm), 1);
  EXPECT_GT(tm.tmAscent, 10);
  EXPECT_LT(tm.tmDescent, 0);  // negative below the baseline
  EXPECT_EQ(tm.tmMaxCharWidth, tm.tmHeight);
  EXPECT_NEAR(tm.tmHeight, tm.tmAscent - tm.tmDescent, 2);
  EXPECT_EQ(tm.tmAveCharWidth, 77);  // untouched

  std::unique_ptr<KPFont> giant(KPFont::withName("DejaVu Sans", 9000));
  c.port->selectObject(giant.get());
  ASSERT_EQ(GetTextMetrics(c.port.get(), &tm), 1);
  EXPECT_EQ(tm.tmHeight, 14);
  EXPECT_EQ(tm.tmAscent, 12);
  EXPECT_EQ(tm.tmDescent, -2);
  c.port->selectObject(dejavu.get());

  char face[8] = "keep";
  GetTextFace(c.port.get(), 8, face);
  EXPECT_STREQ(face, "keep");
  EXPECT_FALSE(KPGetObject::getObject(dejavu.get(), 60, face));
  EXPECT_FALSE(KPGetObject::getObject(nullptr, 60, face));
}

}  // namespace
