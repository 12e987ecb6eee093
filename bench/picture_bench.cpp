// A 512 x 512 picture mapped onto a quadrilateral of about 800 x 600 pixels:
// the fast nearest-neighbour mapping a drag uses, over the device's pixels,
// and the smooth one that fills the caches when the drag ends.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_figures.h"
#include "kernel/exchange/picture_draw.h"

namespace {

constexpr int32_t kSide = 512;
constexpr int32_t kW = 820, kH = 620;
const tagPOINT kCorners[4] = {{10, 20}, {800, 5}, {815, 610}, {30, 590}};

std::vector<uint8_t> picture() {
  std::vector<uint8_t> p(static_cast<size_t>(kSide) * kSide * 4);
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint8_t>(i * 2654435761u >> 24);
  return p;
}

void BM_PictureFast(benchmark::State& state) {
  bench::Environment env;
  const std::vector<uint8_t> pic = picture();
  std::vector<uint8_t> background(static_cast<size_t>(kW) * kH * 4, 200);
  std::vector<uint8_t> target(background.size());
  for (auto _ : state) {
    map_picture_fast(pic.data(), kSide, kSide, target.data(), kW, kH, background.data(), kW, kH, kCorners, 0, 0);
    benchmark::DoNotOptimize(target.data());
  }
}
BENCHMARK(BM_PictureFast)->Unit(benchmark::kMillisecond);

void BM_PictureSmooth(benchmark::State& state) {
  bench::Environment env;
  const std::vector<uint8_t> pic = picture();
  std::vector<uint8_t> target(static_cast<size_t>(kW) * kH * 4);
  for (auto _ : state) {
    map_picture_smooth(pic.data(), kSide, kSide, target.data(), kW, kH, nullptr, 0, 0, kCorners, 0, 0);
    benchmark::DoNotOptimize(target.data());
  }
}
BENCHMARK(BM_PictureSmooth)->Unit(benchmark::kMillisecond);

}  // namespace
