// A thousand circles through one dragged point, with the intersection point
// of every pair of neighbouring circles (the crossing other than the common
// point): one drag step moves the point and recomputes the figure in list
// order.
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

constexpr int kCircles = 1000;

struct CircleFan {
  bench::Environment env;
  CircleFan() {
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    fig = KPGeoDocument::currentInfo();
    drag = point(0, 0);
    object* circles[kCircles];
    for (int i = 0; i < kCircles; ++i) {
      const double a = 2 * std::numbers::pi * i / kCircles;
      object* centre = point(200 * std::cos(a), 200 * std::sin(a));
      current_class = &classe_cercle;
      objlist_clear(fig->inputs);
      objlist_add(fig->inputs, centre, 0);
      objlist_add(fig->inputs, drag, 0);
      uint16_t created = 0;
      circles[i] = create_object(1, &created, 1, 1, 1);
    }
    for (int i = 0; i < kCircles; ++i) {
      current_class = &classe_interset;
      objlist_clear(fig->inputs);
      object* out = nullptr;
      current_pick = {circles[i], 0};
      intersection_tool(nullptr, &out);
      current_pick = {circles[(i + 1) % kCircles], 0};
      intersection_tool(nullptr, &out);
    }
    current_class = nullptr;
  }
  ~CircleFan() {
    bench::drop_current_figure();
  }
  object* point(double h, double v) {
    current_class = &classe_point;
    objlist_clear(fig->inputs);
    rubber_points[0] = valeur{h, v, {}, 0};
    uint16_t created = 0;
    return create_object(0, &created, 1, 1, 1);
  }
  kelvo_win_info* fig = nullptr;
  object* drag = nullptr;
};

void BM_DragCommonPointOfCircles(benchmark::State& state) {
  CircleFan fan;
  int step = 0;
  for (auto _ : state) {
    const double a = 0.01 * step++;
    fan.drag->valeurs[0].h = 20 * std::cos(a);
    fan.drag->valeurs[0].v = 20 * std::sin(a);
    for (object* o = fan.fig->first; o; o = o->next) recompute_object(o);
    benchmark::ClobberMemory();
  }
  state.counters["objects"] = static_cast<double>(fan.fig->nbobj);
  int defined = 0;
  for (object* o = fan.fig->first; o; o = o->next)
    if (o->classe == &classe_ptint && !(o->state & OBJ_UNDEFINED)) ++defined;
  state.counters["points"] = defined;
}
BENCHMARK(BM_DragCommonPointOfCircles)->Unit(benchmark::kMicrosecond);

}  // namespace
