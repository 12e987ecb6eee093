// Stroking 10,000 one-pixel segments of random length and direction into a
// 1,600 x 1,000 device: with the pixel pen, with a plain walk that stores
// the pixels directly (the floor), and through the device context.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "bench_figures.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/render/styled_primitives.h"

namespace {

struct Segment {
  int x0, y0, x1, y1;
};

std::vector<Segment> segments() {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> x(0, 1599), y(0, 999);
  std::vector<Segment> out(10000);
  for (auto& s : out) s = {x(rng), y(rng), x(rng), y(rng)};
  return out;
}

DisplayDevice* device() {
  return bench::display_device();
}

// The pen's own route for a segment: clipping, then its midpoint walk. The
// segments are the floor's, end to end, so that both store the same pixels.
void BM_PixelPenSegments(benchmark::State& state) {
  bench::Environment env;
  DisplayDevice* dd = device();
  const auto segs = segments();
  for (auto _ : state)
    for (const auto& s : segs)
      draw_segment_styled(dd, s.x0, s.y0, s.x1, s.y1, 0x0000FF, 0, nullptr, kExtentSegment);
  destroy_display_device(dd);
}
BENCHMARK(BM_PixelPenSegments)->Unit(benchmark::kMillisecond);

// The whole lines through the same point pairs, clipped to the device: about
// twice the floor's pixels, as a figure's lines are drawn across the view.
void BM_PixelPenLines(benchmark::State& state) {
  bench::Environment env;
  DisplayDevice* dd = device();
  const auto segs = segments();
  for (auto _ : state)
    for (const auto& s : segs) draw_segment_styled(dd, s.x0, s.y0, s.x1, s.y1, 0x0000FF, 0, nullptr, kExtentLine);
  destroy_display_device(dd);
}
BENCHMARK(BM_PixelPenLines)->Unit(benchmark::kMillisecond);

// The floor: a plain Bresenham walk storing the same colour into the same
// buffer, with no pen at all.
void BM_PlainWalkSegments(benchmark::State& state) {
  DisplayDevice* dd = device();
  const auto segs = segments();
  uint32_t* px = dd->bm->pixels;
  const int pitch = dd->bm->pitch;
  const uint32_t ink = pixel_of_color(0x0000FF);
  for (auto _ : state)
    for (const auto& s : segs) {
      const int dx = std::abs(s.x1 - s.x0), dy = std::abs(s.y1 - s.y0);
      const int sx = s.x1 > s.x0 ? 1 : -1, sy = s.y1 > s.y0 ? pitch : -pitch;
      int at = s.y0 * pitch + s.x0;
      int err = dx - dy;
      for (int n = std::max(dx, dy); n >= 0; --n) {
        px[at] = ink;
        const int e2 = 2 * err;
        if (e2 > -dy) {
          err -= dy;
          at += sx;
        }
        if (e2 < dx) {
          err += dx;
          at += sy;
        }
      }
      benchmark::ClobberMemory();
    }
  destroy_display_device(dd);
}
BENCHMARK(BM_PlainWalkSegments)->Unit(benchmark::kMillisecond);

void BM_DeviceContextSegments(benchmark::State& state) {
  bench::Environment env;
  DisplayDevice* dd = device();
  const auto segs = segments();
  KPPen* pen = pen_from_color(0xFF0000);
  dd->dc->selectObject(pen);
  for (auto _ : state)
    for (const auto& s : segs) {
      dd->dc->moveTo(s.x0, s.y0);
      dd->dc->lineTo(s.x1, s.y1);
    }
  dd->dc->selectObject(KPGrafPort::getStockObject(7));
  DeleteObject(pen);
  destroy_display_device(dd);
}
BENCHMARK(BM_DeviceContextSegments)->Unit(benchmark::kMillisecond);

}  // namespace
