// The page sheet's thumbnail pass over a figure of 4,000 objects (800 groups
// of two free points, a segment, a line and a circle): the figure scaled
// down, drawn into the 300-pixel page image and put back. A full redraw of
// a figure of that size takes about 7.75 ms; the pass should stay under
// 25 ms.
#include <benchmark/benchmark.h>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/render/colors.h"
#include "kernel/render/page_image.h"

namespace {

void BM_PageThumbnail(benchmark::State& state) {
  bench::Environment env;
  bench::drop_current_figure();
  new_figure_info();
  for (int g = 0; g * 5 < 4000; ++g) bench::point_pair_group(g);
  int token = 0;
  current_figure_view = &token;
  for (auto _ : state) {
    const page_image image = make_figure_page_image(1.0, nullptr, nullptr, nullptr);
    benchmark::DoNotOptimize(image.pixels);
  }
  current_figure_view = nullptr;
  free_page_image_cache();
  bench::drop_current_figure();
}
BENCHMARK(BM_PageThumbnail)->Unit(benchmark::kMillisecond);

}  // namespace
