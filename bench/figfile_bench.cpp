// Opening (read, create, recompute) and saving a figure file of 50,000
// objects: points, segments, lines, circles and midpoints.
#include <benchmark/benchmark.h>

#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/text_family.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/version_info.h"
#include "kernel/render/colors.h"
#include "kernel/tools/tool_state.h"

namespace {

constexpr int kObjects = 50000;

void drop_current_figure() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) return;
  kelvo_win_info* copy = fig->undo;
  free_figure_info(fig, false);
  free_figure_info(copy, false);
  KPGeoDocument::setCurrentInfo(nullptr);
}

object* make(construct_class* cls, int method, std::initializer_list<object*> picks, double x, double y) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  current_class = cls;
  objlist_clear(fig->inputs);
  for (object* p : picks) objlist_add(fig->inputs, p, 0);
  rubber_points[0] = valeur{x, y, {}, 0};
  uint16_t created = 0;
  object* o = create_object(static_cast<uint16_t>(method), &created, 1, 1, 1);
  objlist_clear(fig->inputs);
  return o;
}

void build_figure() {
  drop_current_figure();
  new_figure_info();
  create_default_objects();
  for (int g = 0, made = 2; made < kObjects; ++g, made += 6) {
    object* a = make(&classe_point, 0, {}, g % 700 * 1.37, g / 700 * 2.11);
    object* b = make(&classe_point, 0, {}, g % 700 * 1.37 + 13.5, g / 700 * 2.11 - 7.25);
    make(&classe_segment, 0, {a, b}, 0, 0);
    make(&classe_droite, 1, {a, b}, 0, 0);
    make(&classe_cercle, 1, {a, b}, 0, 0);
    make(&classe_milieu, 0, {a, b}, 0, 0);
  }
}

struct Setup {
  Setup() {
    init_version_info();
    init_construct_classes();
    init_color_table();
  }
};

std::string saved_figure() {
  static Setup setup;
  build_figure();
  txt_write_figure_file();
  return std::string(file_buffer, file_buffer_len);
}

void BM_OpenFigureFile50k(benchmark::State& state) {
  const std::string text = saved_figure();
  for (auto _ : state) {
    state.PauseTiming();
    drop_current_figure();
    new_figure_info();
    state.ResumeTiming();
    if (read_figure_file(text.data(), static_cast<uint32_t>(text.size()), "bench.fig") != 1)
      state.SkipWithError(figure_file_error());
  }
  state.counters["objects"] = static_cast<double>(KPGeoDocument::currentInfo()->nbobj);
  state.counters["bytes"] = static_cast<double>(text.size());
  drop_current_figure();
}
BENCHMARK(BM_OpenFigureFile50k)->Unit(benchmark::kMillisecond);

void BM_SaveFigureFile50k(benchmark::State& state) {
  const std::string text = saved_figure();
  for (auto _ : state) {
    txt_write_figure_file();
    benchmark::DoNotOptimize(file_buffer);
  }
  state.counters["bytes"] = static_cast<double>(file_buffer_len);
  free_file_image();
  drop_current_figure();
}
BENCHMARK(BM_SaveFigureFile50k)->Unit(benchmark::kMillisecond);

}  // namespace
