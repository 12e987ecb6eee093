// One drag step of a free point that 10,000 constructed objects depend on:
// the point moves and every dependant (midpoints, perpendiculars, circles
// through it) is recomputed in list order, as the window does per step.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/recompute.h"
#include "kernel/tools/tool_state.h"

namespace {

using bench::make;
using bench::point;

constexpr int kDependants = 10000;
constexpr int kAnchors = 100;

struct DragFigure {
  DragFigure() {
    init_construct_classes();
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    dragged = point(500, 400);
    // Fixed points and lines the dependants also use.
    for (int i = 0; i < kAnchors; ++i) {
      anchors.push_back(point(std::fmod(i * 37.0, 1000), std::fmod(i * 53.0, 800)));
      lines.push_back(make(classe_droite, 1, {anchors.back(), point(i * 3.0, 700 - i * 2.0)}));
    }
    for (int i = 0; i < kDependants; ++i) {
      object* anchor = anchors[i % kAnchors];
      switch (i % 3) {
        case 0: dependants.push_back(make(classe_milieu, 0, {dragged, anchor})); break;
        case 1: dependants.push_back(make(classe_perpendiculaire, 0, {dragged, lines[i % kAnchors]})); break;
        default: dependants.push_back(make(classe_cercle, 1, {anchor, dragged})); break;
      }
    }
  }
  ~DragFigure() {
    bench::drop_current_figure();
    current_class = nullptr;
    free_construct_classes();
  }

  object* dragged = nullptr;
  std::vector<object*> anchors;
  std::vector<object*> lines;
  std::vector<object*> dependants;
};

void BM_DragStep(benchmark::State& state) {
  DragFigure f;
  double t = 0;
  for (auto _ : state) {
    t += 0.01;
    f.dragged->valeurs[0].h = 500 + 100 * std::cos(t);
    f.dragged->valeurs[0].v = 400 + 100 * std::sin(t);
    for (object* o : f.dependants) recompute_object(o);
    // The last dependant is a midpoint, which has a single value.
    benchmark::DoNotOptimize(f.dependants.back()->valeurs[0].h);
  }
  state.SetItemsProcessed(state.iterations() * kDependants);
  state.counters["per_object"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kDependants,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DragStep)->Unit(benchmark::kMicrosecond);

}  // namespace
