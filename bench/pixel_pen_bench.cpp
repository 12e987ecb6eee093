// Stroking 10,000 one-pixel segments of random length and direction into a
// 1,600 x 1,000 device: with the pixel pen, and through the device context.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "bench_figures.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"

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

// A plain Bresenham walk with the pen's cursor steps.
void pen_line(DisplayDevice* dd, const Segment& s) {
  begin_pixel_stroke(dd, s.x0, s.y0, 0x0000FF);
  const int dx = std::abs(s.x1 - s.x0), dy = std::abs(s.y1 - s.y0);
  const auto stepx = s.x1 > s.x0 ? pen_cursor_next : pen_cursor_prev;
  const auto stepy = s.y1 > s.y0 ? pen_cursor_down : pen_cursor_up;
  int err = dx - dy;
  for (int n = std::max(dx, dy); n >= 0; --n) {
    pen_plot_table[0]();
    const int e2 = 2 * err;
    if (e2 > -dy) {
      err -= dy;
      stepx();
    }
    if (e2 < dx) {
      err += dx;
      stepy();
    }
  }
}

void BM_PixelPenSegments(benchmark::State& state) {
  bench::Environment env;
  DisplayDevice* dd = device();
  const auto segs = segments();
  for (auto _ : state)
    for (const auto& s : segs) pen_line(dd, s);
  destroy_display_device(dd);
}
BENCHMARK(BM_PixelPenSegments)->Unit(benchmark::kMillisecond);

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
