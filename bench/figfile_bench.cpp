// Opening (read, create, recompute) and saving a figure file of 50,000
// objects: points, segments, lines, circles and midpoints; and opening one of
// points, segments and midpoints alone, in bytes read per second.
#include <benchmark/benchmark.h>

#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/text_family.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/version_info.h"
#include "kernel/render/colors.h"

namespace {

constexpr int kObjects = 50000;

void build_figure() {
  bench::drop_current_figure();
  new_figure_info();
  create_default_objects();
  for (int g = 0, made = 2; made < kObjects; ++g, made += 6) {
    auto [a, b] = bench::point_pair_group(g);
    bench::make(classe_milieu, 0, {a, b});
  }
}

std::string saved_figure() {
  build_figure();
  txt_write_figure_file();
  return std::string(file_buffer, file_buffer_len);
}

// Opens the text into a fresh figure at each iteration; the bytes read per
// second count the whole file.
void open_each_time(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    state.PauseTiming();
    bench::drop_current_figure();
    new_figure_info();
    state.ResumeTiming();
    if (read_figure_file(text.data(), static_cast<uint32_t>(text.size()), "bench.fig") != 1)
      state.SkipWithError(figure_file_error());
  }
  state.counters["objects"] = static_cast<double>(KPGeoDocument::currentInfo()->nbobj);
  state.counters["bytes"] = static_cast<double>(text.size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  free_file_image();
  bench::drop_current_figure();
}

void BM_OpenFigureFile50k(benchmark::State& state) {
  bench::Environment env;
  open_each_time(state, saved_figure());
}
BENCHMARK(BM_OpenFigureFile50k)->Unit(benchmark::kMillisecond);

// The commonest figure: groups of two free points, their segment and their
// midpoint, 50,000 objects, opened from its file.
std::string saved_points_segments_midpoints() {
  bench::drop_current_figure();
  new_figure_info();
  create_default_objects();
  for (int g = 0, made = 2; made < kObjects; ++g, made += 4) {
    object* a = bench::point(g % 700 * 1.37, g / 700 * 2.11);
    object* b = bench::point(g % 700 * 1.37 + 13.5, g / 700 * 2.11 - 7.25);
    bench::make(classe_segment, 0, {a, b});
    bench::make(classe_milieu, 0, {a, b});
  }
  txt_write_figure_file();
  return std::string(file_buffer, file_buffer_len);
}

void BM_OpenPointsSegmentsMidpoints50k(benchmark::State& state) {
  bench::Environment env;
  open_each_time(state, saved_points_segments_midpoints());
}
BENCHMARK(BM_OpenPointsSegmentsMidpoints50k)->Unit(benchmark::kMillisecond);

void BM_SaveFigureFile50k(benchmark::State& state) {
  bench::Environment env;
  const std::string text = saved_figure();
  for (auto _ : state) {
    txt_write_figure_file();
    benchmark::DoNotOptimize(file_buffer);
  }
  state.counters["bytes"] = static_cast<double>(file_buffer_len);
  free_file_image();
  bench::drop_current_figure();
}
BENCHMARK(BM_SaveFigureFile50k)->Unit(benchmark::kMillisecond);

}  // namespace
