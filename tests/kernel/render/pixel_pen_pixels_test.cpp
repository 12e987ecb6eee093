// The exact pixels the pen writes for a fixed set of lines and circles,
// thin and thick, solid and dashed, filled opaque and not, including some
// that run past the edges of the device. The checksums were taken from the
// straightforward pen (one call through the plot table per pixel); any
// faster route must write the very same pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "kernel/render/stroke_engine.h"
#include "kernel/render/styled_primitives.h"
#include "render_fixture.h"

namespace {

struct PenPixelsFixture : RenderFixture {
  void SetUp() override {
    init_color_table();
    pixel_pen = PixelPen{};
    width = 160;
    height = 120;
    dd = make_device(width, height, -7, 5);
  }
  uint64_t checksum() const {
    uint64_t h = 1469598103934665603ull;
    for (int i = 0; i < dd->bm->pitch * dd->bm->height; ++i) {
      h ^= dd->bm->pixels[i];
      h *= 1099511628211ull;
    }
    return h;
  }
  void circle(double cx, double cy, double r, uint32_t fill, uint8_t flags, uint8_t thickness, const dot* dash) {
    valeur c{}, radius{};
    c.h = cx;
    c.v = cy;
    radius.info.rayon = r;
    draw_stroke_twice(dd, &c, &radius, nullptr, nullptr, kInk, fill, thickness, dash, flags);
  }
};

TEST_F(PenPixelsFixture, SegmentsAndCirclesWriteTheSamePixelsAsThePlainPen) {
  const dot dashes[3] = {{1, 1}, {5, 8}, {8, 14}};
  struct Case {
    const char* name;
    int kind;  // 0 lines, 1 circles, 2 arcs, 3 segments
    uint8_t thickness;
    int dash;
    uint64_t expected;
  };
  const Case cases[] = {
      {"thin solid lines", 0, 0, 0, 13572381629330596483ull},
      {"thin dashed lines", 0, 0, 1, 8151374404949287555ull},
      {"thick solid lines", 0, 2, 0, 14451530302230216323ull},
      {"thick dashed lines", 0, 1, 2, 2970914961924619395ull},
      {"thin solid circles", 1, 0, 0, 15482601031566029699ull},
      {"thin dashed circles", 1, 0, 1, 3791198790470055299ull},
      {"thick solid circles", 1, 2, 0, 17825284468328342147ull},
      {"thick dashed circles", 1, 1, 2, 13513689474686174083ull},
      {"thin dashed arcs", 2, 0, 1, 6056848098260167555ull},
      {"thick solid arcs", 2, 2, 0, 850201437939666563ull},
      {"thin dashed segments", 3, 0, 1, 2558735916430340227ull},
      {"thick solid segments", 3, 2, 0, 15310266714595985795ull},
      {"thick dashed segments", 3, 1, 1, 11810265853136084099ull},
  };
  for (const Case& c : cases) {
    dd_draw_background(dd);
    pixel_pen = PixelPen{};
    const dot* dash = &dashes[c.dash];
    if (c.kind == 0) {
      // Lines through the device in every direction, steep and flat.
      for (int i = 0; i < 24; ++i) {
        const double a = i * 0.2618 + 0.1;
        const double x0 = 70 + (i % 5) * 3.3, y0 = 60 - (i % 4) * 2.7;
        const double len = 20 + i * 4.5;
        draw_segment_styled(dd, x0, y0, x0 + len * std::cos(a), y0 + len * std::sin(a), kInk, c.thickness, dash,
                            0);
      }
      draw_segment_styled(dd, -30, 7, 200, 7, kInk, c.thickness, dash, 0);
      draw_segment_styled(dd, 3, -40, 3, 200, kInk, c.thickness, dash, 0);
    } else if (c.kind == 3) {
      // Segments ending inside the device and beyond its edges.
      for (int i = 0; i < 30; ++i) {
        const double a = i * 0.2094 + 0.05;
        const double x0 = -20 + (i % 6) * 31.5, y0 = 2 + (i % 5) * 27.25;
        const double len = 4 + i * 3.7;
        draw_segment_styled(dd, x0, y0, x0 + len * std::cos(a), y0 - len * std::sin(a), kInk, c.thickness, dash,
                            kExtentSegment);
      }
    } else if (c.kind == 1) {
      const double radii[] = {0.6, 3, 11.4, 27, 46.5, 90};
      for (int i = 0; i < 6; ++i) {
        const uint32_t fill = i % 3 == 0 ? 0x00FF00u : back_color;
        const uint8_t flags = kStrokeFullCircle | (i % 2 ? kStrokeOpaqueFill : 0);
        circle(60 + i * 7.25, 55 + i * 3.5, radii[i], fill, flags, c.thickness, dash);
      }
      // Centre off the device, the circle crossing its edges.
      circle(-5, 20, 40, back_color, kStrokeFullCircle, c.thickness, dash);
      circle(150, 125, 33.3, 0xFF00FFu, kStrokeFullCircle, c.thickness, dash);
    } else {
      const circle_record rec{70, 60, 35};
      for (int i = 0; i < 6; ++i) {
        const double a0 = i * 1.1, a1 = a0 + 0.7 + i * 0.6, am = (a0 + a1) / 2;
        valeur p[3]{};
        const double as[3] = {a0, am, a1};
        for (int k = 0; k < 3; ++k) {
          p[k].h = rec.cx + rec.r * std::cos(as[k]);
          p[k].v = rec.cy - rec.r * std::sin(as[k]);
        }
        draw_stroke_twice(dd, &p[0], &p[1], &p[2], &rec, kInk, back_color, c.thickness, dash, 0);
      }
    }
    EXPECT_EQ(checksum(), c.expected) << c.name;
  }
}

// A plot put into the plot pair still receives every pixel of a segment and
// of a circle, in place of the pen's own.
int foreign_plots = 0;
void count_plot() { ++foreign_plots; }

TEST_F(PenPixelsFixture, APlotPutIntoThePairReceivesEveryPixel) {
  const PenPlot saved[2] = {pen_plot_pair[0], pen_plot_pair[1]};
  pen_plot_pair[0] = count_plot;
  pen_plot_pair[1] = count_plot;
  foreign_plots = 0;
  draw_segment_styled(dd, 10, 10, 50, 30, kInk, 0, nullptr, kExtentSegment);
  EXPECT_EQ(foreign_plots, 41);
  foreign_plots = 0;
  circle(60, 60, 20, back_color, kStrokeFullCircle, 0, nullptr);
  EXPECT_GT(foreign_plots, 100);
  pen_plot_pair[0] = saved[0];
  pen_plot_pair[1] = saved[1];
  const uint64_t drawn = checksum();
  dd_draw_background(dd);
  EXPECT_EQ(drawn, checksum()) << "the pen itself drew";
}

}  // namespace
