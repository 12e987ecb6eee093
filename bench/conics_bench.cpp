// A conic through five points carrying a thousand points on it and the
// thousand crossings of five hundred lines with it: one drag step moves a
// defining point and recomputes the figure in list order.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>

#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/recompute.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/tools/tool_args.h"
#include "kernel/tools/tool_state.h"

namespace {

constexpr int kPointsOn = 1000;
constexpr int kLines = 500;

struct ConicFigure {
  bench::Environment env;
  // points_on points on the conic, lines lines crossing it twice with
  // their crossing points.
  ConicFigure(int points_on, int lines) {
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    fig = KPGeoDocument::currentInfo();
    object* defining[5];
    for (int i = 0; i < 5; ++i) {
      const double t = 0.3 + 1.2 * i;
      defining[i] = bench::point(300 * std::cos(t), 180 * std::sin(t));
    }
    drag = defining[0];
    conic = bench::make(classe_conic, 0, {defining[0], defining[1], defining[2], defining[3], defining[4]});
    for (int i = 0; i < points_on; ++i) {
      const double t = 2 * std::numbers::pi * i / points_on;
      bench::make(classe_ptsur, 5, {conic}, 320 * std::cos(t), 200 * std::sin(t));
    }
    for (int i = 0; i < lines; ++i) {
      // Chords through the middle part of the ellipse, turning slowly.
      const double a = std::numbers::pi * i / lines;
      object* p = bench::point(-400 * std::cos(a) + 20, -400 * std::sin(a) + 10);
      object* q = bench::point(400 * std::cos(a) + 20, 400 * std::sin(a) + 10);
      object* l = bench::make(classe_droite, 1, {p, q});
      current_class = &classe_interset;
      objlist_clear(fig->inputs);
      object* out = nullptr;
      current_pick = {l, 0};
      intersection_tool(nullptr, &out);
      current_pick = {conic, 0};
      intersection_tool(nullptr, &out);
    }
    current_class = nullptr;
  }
  ~ConicFigure() {
    bench::drop_current_figure();
  }
  int count(const construct_class* cls) const {
    int n = 0;
    for (object* o = fig->first; o; o = o->next)
      if (o->classe == cls && !(o->state & OBJ_UNDEFINED)) ++n;
    return n;
  }
  kelvo_win_info* fig = nullptr;
  object* drag = nullptr;
  object* conic = nullptr;
};

// One drag step: the first defining point moves, the figure is recomputed.
void drag_steps(benchmark::State& state, ConicFigure& f) {
  int step = 0;
  const double x0 = f.drag->valeurs[0].h, y0 = f.drag->valeurs[0].v;
  for (auto _ : state) {
    const double a = 0.01 * (step++ % 200);
    f.drag->valeurs[0].h = x0 + 15 * std::sin(a);
    f.drag->valeurs[0].v = y0 + 10 * (1 - std::cos(a));
    for (object* o = f.fig->first; o; o = o->next) recompute_object(o);
    benchmark::ClobberMemory();
  }
  const int dependants = f.count(&classe_ptsur) + f.count(&classe_ptint);
  state.counters["dependants"] = dependants;
  state.counters["objects"] = static_cast<double>(f.fig->nbobj);
  state.counters["ns_per_dependant"] =
      benchmark::Counter(static_cast<double>(dependants), benchmark::Counter::kIsIterationInvariantRate |
                                                              benchmark::Counter::kInvert);
}

void BM_DragConicWithPointsAndCrossings(benchmark::State& state) {
  ConicFigure f(kPointsOn, kLines);
  drag_steps(state, f);
}
BENCHMARK(BM_DragConicWithPointsAndCrossings)->Unit(benchmark::kMicrosecond);

// The two kinds of dependant alone.
void BM_DragConicWithPointsOnIt(benchmark::State& state) {
  ConicFigure f(kPointsOn, 0);
  drag_steps(state, f);
}
BENCHMARK(BM_DragConicWithPointsOnIt)->Unit(benchmark::kMicrosecond);

void BM_DragConicWithLineCrossings(benchmark::State& state) {
  ConicFigure f(0, kLines);
  drag_steps(state, f);
}
BENCHMARK(BM_DragConicWithLineCrossings)->Unit(benchmark::kMicrosecond);

}  // namespace
