// Antialiased strokes a pixel wide written straight into an image's pixels
// must be the painter's own pixels, to the last level of every channel:
// lines of every direction (the diagonals where the two axes tie among
// them), ends anywhere within a pixel, lines reaching out of the image or
// lying wholly outside it, zero and very long ones, and curves of every
// size, over a background of every colour.
#include "platform/kp_fine_strokes.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "kernel/render/styled_primitives.h"
#include "platform/kp_gdi_objects.h"
#include "platform/kp_graf_port.h"

namespace {

constexpr int kW = 320, kH = 200;

// A background of many colours, so that the blending of partly covered
// pixels is checked against every value beneath.
QImage background() {
  QImage image(kW, kH, QImage::Format_RGB32);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      image.setPixel(x, y, qRgb((x * 7 + y * 3) & 0xFF, (x * 13) & 0xFF, (y * 11 + x) & 0xFF));
  return image;
}

KPFinePixels pixels_of(QImage& image) {
  return {reinterpret_cast<uint32_t*>(image.bits()), image.width(), image.height(),
          static_cast<int>(image.bytesPerLine() / 4)};
}

// The painter as the port sets it for a stroke one pixel wide.
void set_up(QPainter& p, QColor color) {
  p.setRenderHint(QPainter::Antialiasing, true);
  QPen pen(color);
  pen.setWidthF(1);
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::MiterJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
}

struct Difference {
  int pixels = 0;   // pixels that differ at all
  int largest = 0;  // in levels of a channel
  int inked = 0;    // pixels the painter changed
};
Difference compare(const QImage& painter, const QImage& fine) {
  const QImage under = background();
  Difference d;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const QRgb a = painter.pixel(x, y), b = fine.pixel(x, y);
      if (a != under.pixel(x, y)) ++d.inked;
      if (a == b) continue;
      ++d.pixels;
      d.largest = std::max({d.largest, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                            std::abs(qBlue(a) - qBlue(b))});
    }
  return d;
}

// Draws the same strokes by the painter and straight into the pixels.
Difference both_ways(QColor color, const std::function<void(QPainter&)>& painter,
                     const std::function<void(const KPFinePixels&, uint32_t)>& fine) {
  QImage by_painter = background(), by_fine = background();
  {
    QPainter p(&by_painter);
    set_up(p, color);
    painter(p);
  }
  fine(pixels_of(by_fine), color.rgba());
  return compare(by_painter, by_fine);
}

struct Line {
  double x0, y0, x1, y1;
};

TEST(FineStrokes, LinesAreThePaintersPixels) {
  std::mt19937 rng(7);
  auto random_lines = [&](double margin, double grid) {
    std::uniform_real_distribution<double> x(-margin, kW + margin), y(-margin, kH + margin);
    std::vector<Line> lines;
    for (int i = 0; i < 400; ++i) {
      auto at = [&](double v) { return grid > 0 ? std::round(v / grid) * grid : v; };
      lines.push_back({at(x(rng)), at(y(rng)), at(x(rng)), at(y(rng))});
    }
    return lines;
  };
  // Lines whose ends lie as far apart on both axes, to a 64th of a pixel or
  // just short of it: the painter walks them along x.
  auto diagonals = [&] {
    std::uniform_real_distribution<double> at(-10, 330), length(-150, 150), nudge(-1.0 / 64, 1.0 / 64);
    std::vector<Line> lines;
    for (int i = 0; i < 400; ++i) {
      const double x = at(rng), y = at(rng) * kH / kW, n = length(rng);
      lines.push_back({x, y, x + n, y + (i % 2 ? n : -n) + (i % 3 ? 0 : nudge(rng))});
    }
    return lines;
  };
  const struct {
    const char* name;
    std::vector<Line> lines;
  } cases[] = {
      {"whole pixels inside", random_lines(0, 1)},
      {"quarters of pixels inside", random_lines(0, 0.25)},
      {"any place inside", random_lines(0, 0)},
      {"ends far out of the image", random_lines(400, 0)},
      {"ends just out of the image", random_lines(3, 0.125)},
      {"diagonals", diagonals()},
      {"directions and lengths",
       {{10, 10, 60, 10},      {60, 20, 10, 20},        {30, 30, 30, 90},           {40, 90, 40, 30},
        {50, 50, 90, 90},      {90, 50, 50, 90},        {110, 10, 111, 10},         {120, 10, 120.5, 10.25},
        {130.2, 12.7, 130.9, 12.9}, {140.3, 40.7, 141.1, 90.2}, {150.75, 100.25, 200.25, 101.75}}},
      {"zero length", {{100, 100, 100, 100}, {50.5, 60.25, 50.5, 60.25}, {70.001, 70, 70.002, 70.003}}},
      {"along the image's edges",
       {{0, 0, kW, 0}, {0, kH - 1, kW, kH - 1}, {0, 0, 0, kH}, {kW - 1, 0, kW - 1, kH}, {-1, 5, -1, 50},
        {kW + 1, 5, kW + 1, 50}, {-0.5, 5, 10, -0.5}, {5, kH + 0.75, 60, kH - 0.25}}},
      {"wholly outside", {{-50, -5, -2, -40}, {kW + 2, 10, kW + 90, 150}, {10, -3, 300, -2}, {10, kH + 2, 300, kH + 9}}},
      {"very long",
       {{-1e6, -1e6, 1e6, 1e6}, {-1e7, 100.3, 1e7, 99.7}, {160.5, -3e6, 161.5, 3e6}, {-5e5, 3e5, 4e5, -2e5}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Difference d = both_ways(
        QColor(200, 30, 90), [&](QPainter& p) { for (const Line& l : c.lines) p.drawLine(QLineF(l.x0, l.y0, l.x1, l.y1)); },
        [&](const KPFinePixels& t, uint32_t color) {
          for (const Line& l : c.lines) kp_fine_line(t, color, l.x0, l.y0, l.x1, l.y1);
        });
    // A line from a point to itself is a dot; one shorter than a 64th of a
    // pixel, nothing.
    if (std::string(c.name) == "zero length") EXPECT_EQ(d.inked, 2);
    else if (std::string(c.name) == "wholly outside") EXPECT_EQ(d.inked, 0);
    else EXPECT_GT(d.inked, 0);
    EXPECT_EQ(d.pixels, 0) << "at most " << d.largest << " levels apart";
  }
}

// Strokes one after another in more colours than the writer keeps worked
// out at once, coming back to each: every stroke takes its own colour.
TEST(FineStrokes, StrokesOfManyColoursAreThePaintersPixels) {
  const QColor colours[] = {QColor(200, 30, 90), QColor(20, 60, 220), QColor(0, 0, 0),     QColor(255, 255, 255),
                            QColor(10, 200, 40), QColor(250, 180, 0), QColor(90, 90, 90)};
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> x(-20, kW + 20), y(-20, kH + 20), r(2, 120);
  std::vector<Line> lines;
  std::vector<QPainterPath> circles;
  for (int i = 0; i < 140; ++i) {
    lines.push_back({x(rng), y(rng), x(rng), y(rng)});
    QPainterPath circle;
    circle.addEllipse(QPointF(x(rng), y(rng)), r(rng), r(rng));
    circles.push_back(circle);
  }
  const auto colour = [&](size_t i) { return colours[(i * 3 + i / 7) % std::size(colours)]; };
  const Difference d = both_ways(
      colours[0],
      [&](QPainter& p) {
        for (size_t i = 0; i < lines.size(); ++i) {
          set_up(p, colour(i));
          p.drawLine(QLineF(lines[i].x0, lines[i].y0, lines[i].x1, lines[i].y1));
          set_up(p, colour(i + 1));
          p.drawPath(circles[i]);
        }
      },
      [&](const KPFinePixels& t, uint32_t) {
        for (size_t i = 0; i < lines.size(); ++i) {
          kp_fine_line(t, colour(i).rgba(), lines[i].x0, lines[i].y0, lines[i].x1, lines[i].y1);
          kp_fine_path(t, colour(i + 1).rgba(), circles[i]);
        }
      });
  EXPECT_GT(d.inked, 10000);
  EXPECT_EQ(d.pixels, 0) << "of " << d.inked << ", at most " << d.largest << " levels apart";
}

// Circles and arcs of every size, inside and across the image's edges,
// and a path of lines and curves.
TEST(FineStrokes, CurvesAreThePaintersPixels) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> x(-60, kW + 60), y(-60, kH + 60), r(0.3, 260), angle(-360, 360);
  std::vector<QPainterPath> paths;
  for (int i = 0; i < 300; ++i) {
    const double cx = x(rng), cy = y(rng), radius = i % 10 ? r(rng) : r(rng) * 40;
    const double start = angle(rng), sweep = i % 3 ? 360 : angle(rng);
    QPainterPath path;
    const QRectF box(cx - radius, cy - radius, 2 * radius, 2 * radius);
    path.arcMoveTo(box, start);
    path.arcTo(box, start, sweep);
    paths.push_back(path);
  }
  QPainterPath mixed(QPointF(10, 10));
  mixed.lineTo(80, 30);
  mixed.cubicTo(120, -40, 200, 240, 250, 60);
  mixed.quadTo(300, 10, 330, 150);
  mixed.moveTo(20, 180);
  mixed.cubicTo(20, 180, 20.2, 180.1, 20.3, 180);  // a curve shorter than a pixel
  mixed.closeSubpath();
  paths.push_back(mixed);
  const Difference d = both_ways(
      QColor(20, 60, 220), [&](QPainter& p) { for (const QPainterPath& path : paths) p.drawPath(path); },
      [&](const KPFinePixels& t, uint32_t color) {
        for (const QPainterPath& path : paths) kp_fine_path(t, color, path);
      });
  EXPECT_GT(d.inked, 10000);
  EXPECT_EQ(d.pixels, 0) << "of " << d.inked << ", at most " << d.largest << " levels apart";
}

// The port writes thin smooth solid strokes itself and leaves the others
// (wider, dashed, without smoothing) to the painter: either way
// its pixels are the painter's.
TEST(FineStrokes, ThePortsStrokesAreThePaintersPixels) {
  struct Case {
    const char* name;
    uint32_t style;
    uint32_t width;
    bool antialias;
  };
  const Case cases[] = {{"thin smooth solid", kGeometricFlatMitre, 1, true},
                        {"of no width", kGeometricFlatMitre, 0, true},
                        {"wide", kGeometricFlatMitre, 2, true},
                        {"dashed", kGeometricFlatMitre | kPenDash, 1, true},
                        {"not smoothed", kGeometricFlatMitre, 1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QImage through_port = background(), painter = background();
    std::unique_ptr<KPContext> context(
        KPContext::createBitmapContext(through_port.bits(), kW, kH, static_cast<int>(through_port.bytesPerLine())));
    std::unique_ptr<KPGrafPort> port(KPGrafPort::createKPDC());
    port->fixContext(context.get(), {0, 0, kW, kH}, {0, 0, kW, kH});
    port->allowsAntialiasing(c.antialias);
    port->setGrafScale(1.25f);
    const tagLOGBRUSH brush{0, 0x2060C0, 0, 0};
    KPPen* pen = KPPen::extCreatePen(c.style, c.width, &brush, 0, nullptr);
    port->selectObject(pen);
    port->moveTo(13, 17);
    port->lineToFast(201, 97);
    port->lineToFast(201, 97);  // nothing
    port->lineToFast(-40, 300);
    port->arc(120, 80, 55.5f, 0.3f, 5.0f);
    port->arc(250, 20, 90.25f, 0, 7.0f);
    port->selectObject(KPGrafPort::getStockObject(7));
    DeleteObject(pen);
    port->fixContext(nullptr, {}, {});
    context.reset();

    // What the painter draws for the same strokes.
    {
      QPainter q(&painter);
      q.setRenderHint(QPainter::Antialiasing, c.antialias);
      QPen qpen(QColor(0xC0, 0x60, 0x20));
      qpen.setWidthF(c.width);
      qpen.setCapStyle(Qt::FlatCap);
      qpen.setJoinStyle(Qt::MiterJoin);
      if (c.style & kPenDash) qpen.setDashPattern({4.0 / c.width, 6.0 / c.width});
      q.setPen(qpen);
      // The port's y grows from its frame's bottom, scaled about it.
      auto y = [](double v) { return kH - (kH - v) * 1.25; };
      q.drawLine(QLineF(13 * 1.25, y(17), 201 * 1.25, y(97)));
      q.drawLine(QLineF(201 * 1.25, y(97), 201 * 1.25, y(97)));
      q.drawLine(QLineF(201 * 1.25, y(97), -40 * 1.25, y(300)));
      auto arc = [&](double cx, double cy, float radius, float from, float to) {
        const double r = radius * 1.25;
        const QRectF box(cx * 1.25 - r, y(cy) - r, 2 * r, 2 * r);
        QPainterPath path;
        const double start = from * 180.0 / std::numbers::pi;
        double sweep = static_cast<double>(to) - from;
        if (sweep >= 2 * std::numbers::pi) sweep = 2 * std::numbers::pi;
        path.arcMoveTo(box, start);
        path.arcTo(box, start, sweep * 180.0 / std::numbers::pi);
        q.drawPath(path);
      };
      arc(120, 80, 55.5f, 0.3f, 5.0f);
      arc(250, 20, 90.25f, 0, 7.0f);
    }
    const Difference d = compare(painter, through_port);
    EXPECT_GT(d.inked, 200);
    EXPECT_EQ(d.pixels, 0) << "of " << d.inked << ", at most " << d.largest << " levels apart";
  }
}

// A filled polygon with a thin outline: a rectangle on whole pixels (a
// point's square mark) is written straight into the pixels, any other
// polygon is left to the painter; both are the painter's pixels, the fill
// and the outline each in its own colour, rectangles wholly or partly out
// of the image and flattened to a line among them.
TEST(FineStrokes, ThePortsFilledPolygonsAreThePaintersPixels) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> x(-20, kW + 20), y(-20, kH + 20), size(0, 9);
  std::vector<std::vector<tagPOINT>> polygons;
  for (int i = 0; i < 300; ++i) {
    const int left = x(rng), top = y(rng), right = left + size(rng), bottom = top + size(rng);
    std::vector<tagPOINT> p{{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    std::rotate(p.begin(), p.begin() + i % 4, p.end());
    if (i % 2) std::reverse(p.begin(), p.end());
    if (i % 5 == 0) p.push_back(p.front());  // closed by its own last corner
    polygons.push_back(p);
  }
  polygons.push_back({{-500, -500}, {kW + 500, -500}, {kW + 500, kH + 500}, {-500, kH + 500}});  // over it all
  polygons.push_back({{30, 30}, {60, 35}, {55, 70}, {28, 60}});                               // not a rectangle
  polygons.push_back({{100, 100}, {110, 100}, {110, 110}});                                   // a triangle

  QImage through_port = background(), painter = background();
  {
    std::unique_ptr<KPContext> context(
        KPContext::createBitmapContext(through_port.bits(), kW, kH, static_cast<int>(through_port.bytesPerLine())));
    std::unique_ptr<KPGrafPort> port(KPGrafPort::createKPDC());
    port->fixContext(context.get(), {0, 0, kW, kH}, {0, 0, kW, kH});
    port->allowsAntialiasing(true);
    KPPen* pen = KPPen::createPen(0, 1.0f, 0x2060C0);
    KPBrush* brush = KPBrush::createSolidBrush(0x40A010);
    port->selectObject(pen);
    port->selectObject(brush);
    for (const auto& p : polygons) port->polygon(p.data(), static_cast<int>(p.size()));
    port->selectObject(KPGrafPort::getStockObject(7));
    port->selectObject(KPGrafPort::getStockObject(0));
    DeleteObject(pen);
    DeleteObject(brush);
    port->fixContext(nullptr, {}, {});
  }
  {
    QPainter q(&painter);
    set_up(q, QColor(0xC0, 0x60, 0x20));
    q.setBrush(QColor(0x10, 0xA0, 0x40));
    for (const auto& p : polygons) {
      QPainterPath path(QPointF(p[0].x, p[0].y));
      for (size_t i = 1; i < p.size(); ++i) path.lineTo(p[i].x, p[i].y);
      path.closeSubpath();
      q.drawPath(path);
    }
  }
  const Difference d = compare(painter, through_port);
  EXPECT_GT(d.inked, 5000);
  EXPECT_EQ(d.pixels, 0) << "of " << d.inked << ", at most " << d.largest << " levels apart";
}

}  // namespace
