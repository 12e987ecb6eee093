// One drag step of a free point that 1,000 measures depend on: lengths of
// segments from it, areas of triangles on it and angles at it, each value
// computed and its text written, as the window does per step.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/files/text_convert.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/recompute.h"
#include "kernel/tools/tool_state.h"

namespace {

using bench::make;
using bench::point;

constexpr int kMeasures = 1000;
constexpr int kAnchors = 50;

struct MeasureFigure {
  MeasureFigure() {
    init_construct_classes();
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    decimal_separator = '.';
    second_separator = ',';
    dragged = point(500, 400);
    for (int i = 0; i < kAnchors; ++i) anchors.push_back(point(std::fmod(i * 37.0, 1000), std::fmod(i * 53.0, 800)));
    for (int i = 0; i < kMeasures; ++i) {
      object* a = anchors[i % kAnchors];
      object* b = anchors[(i + 7) % kAnchors];
      object* m = nullptr;
      switch (i % 3) {
        case 0:
          m = make(classe_length, 0, {make(classe_segment, 0, {dragged, a})});
          m->settings.unite = 33;  // cm
          break;
        case 1:
          m = make(classe_aire, 0, {make(classe_triangle, 0, {dragged, a, b})});
          m->settings.unite = 65;  // square cm
          break;
        default:
          m = make(classe_angleMes, 0, {a, dragged, b});
          m->settings.unite = 129;  // degrees
          break;
      }
      m->settings.nbre_decimales = 2;
      measures.push_back(m);
    }
  }
  ~MeasureFigure() {
    bench::drop_current_figure();
    current_class = nullptr;
    free_construct_classes();
  }

  object* dragged = nullptr;
  std::vector<object*> anchors;
  std::vector<object*> measures;
};

void BM_DragStep1000Measures(benchmark::State& state) {
  MeasureFigure f;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  double t = 0;
  for (auto _ : state) {
    t += 0.01;
    f.dragged->valeurs[0].h = 500 + 200 * std::cos(t);
    f.dragged->valeurs[0].v = 400 + 200 * std::sin(t);
    for (object* o = fig->first; o; o = o->next) recompute_object(o);
  }
  state.counters["per_measure"] = benchmark::Counter(static_cast<double>(state.iterations()) * kMeasures,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DragStep1000Measures)->Unit(benchmark::kMicrosecond);

}  // namespace
