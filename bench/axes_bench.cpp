// Coordinate systems, grids, angle marks and transformed points: a full
// redraw of a figure whose axes are shown with a 10-pixel grid and 1,000
// angle marks, and a drag step of a point that 10,000 transformed points
// follow.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/recompute.h"
#include "kernel/model/units.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/tools/tool_state.h"

namespace {

using bench::make;
using bench::point;

// What the redrawn figure holds besides its shown axes.
constexpr int kWithGrid = 1;
constexpr int kWithMarks = 2;

struct Figure {
  bench::Environment env;
  explicit Figure(int content) {
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    if (!content) return;
    // Axes through the middle of the view, shown, and their grid set to a
    // 10-pixel step.
    object* axes = make(classe_axe, 1, {point(800, 500), point(800 + pixels_per_unit, 500), point(800, 500 - pixels_per_unit)});
    if (content & kWithGrid) {
      object* grid = make(classe_grid, 0, {axes});
      grid->valeurs[1].h = 10;
      grid->valeurs[1].v = 0;
      grid->valeurs[2].h = 0;
      grid->valeurs[2].v = -10;
    }
    for (int i = 0; i < ((content & kWithMarks) ? 1000 : 0); ++i) {
      const double x = 40 + (i % 40) * 38.0, y = 40 + (i / 40) * 37.0;
      object* m = make(classe_angle, 0, {point(x + 90, y), point(x, y), point(x + 30, y - 80 + (i % 7) * 20)});
      m->settings.graph_type = static_cast<uint8_t>(i % 6);
    }
  }
  ~Figure() {
    bench::drop_current_figure();
    current_class = nullptr;
  }
};

void BM_RedrawAxesGridAndAngleMarks(benchmark::State& state) {
  Figure figure(static_cast<int>(state.range(0)));
  static_display = bench::display_device();
  moving_display = bench::display_device();
  for (auto _ : state) redraw_figure(1);
  destroy_display_device(static_display);
  destroy_display_device(moving_display);
  static_display = moving_display = nullptr;
}
// Arg: 3 the whole figure, 1 the axes and the grid, 2 the axes and the marks.
BENCHMARK(BM_RedrawAxesGridAndAngleMarks)->Arg(kWithGrid | kWithMarks)->Arg(kWithGrid)->Arg(kWithMarks)->Unit(benchmark::kMillisecond);

constexpr int kImages = 10000;

void BM_DragStepTransformedPoints(benchmark::State& state) {
  Figure figure(0);
  object* dragged = point(500, 400);
  std::vector<object*> images;
  std::vector<object*> anchors, lines, numbers, vectors;
  for (int i = 0; i < 100; ++i) {
    anchors.push_back(point(std::fmod(i * 37.0, 1000), std::fmod(i * 53.0, 800)));
    lines.push_back(make(classe_droite, 1, {anchors.back(), point(i * 3.0, 700 - i * 2.0)}));
    numbers.push_back(make(classe_nombre, 0, {}));
    numbers.back()->valeurs[0].info.rayon = 0.5 + i / 100.0;
    vectors.push_back(make(classe_vecteur, 0, {anchors.back(), point(i * 5.0, 300)}));
  }
  for (int i = 0; i < kImages; ++i) {
    const int k = i % 100;
    switch (i % 5) {
      case 0: images.push_back(make(classe_symetriquedr, 0, {dragged, lines[k]})); break;
      case 1: images.push_back(make(classe_rotation, 0, {dragged, anchors[k], numbers[k]})); break;
      case 2: images.push_back(make(classe_dilatation, 0, {dragged, anchors[k], numbers[k]})); break;
      case 3: images.push_back(make(classe_translation, 0, {dragged, vectors[k]})); break;
      default: images.push_back(make(classe_symetrique, 0, {dragged, anchors[k]})); break;
    }
  }
  double t = 0;
  for (auto _ : state) {
    t += 0.01;
    dragged->valeurs[0].h = 500 + 100 * std::cos(t);
    dragged->valeurs[0].v = 400 + 100 * std::sin(t);
    for (object* o : images) recompute_object(o);
    benchmark::DoNotOptimize(images.back()->valeurs[0].h);
  }
  state.counters["per_object"] = benchmark::Counter(static_cast<double>(state.iterations()) * kImages,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DragStepTransformedPoints)->Unit(benchmark::kMicrosecond);

}  // namespace
