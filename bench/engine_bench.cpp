// Full recomputation of a chain of 10,000 objects, each depending on the
// previous one, and the undo snapshot of that figure.
#include <benchmark/benchmark.h>

#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/recompute.h"
#include "kernel/model/undo.h"
#include "kernel/tools/tool_state.h"

namespace {

constexpr int kChain = 10000;

// A handful of floating-point operations: the previous point turned a
// little and moved a little.
void chain_compute(object* o) {
  const valeur& p = o->parents[0]->valeurs[0];
  o->valeurs[0].h = p.h * 0.999 - p.v * 0.01 + 0.5;
  o->valeurs[0].v = p.h * 0.01 + p.v * 0.999 - 0.25;
}

// Builds the chain with the midpoint class (of the previous point and a fixed
// one), whose first method gets the benchmark's compute operation.
struct ChainFigure {
  bench::Environment env;
  ChainFigure() {
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    fig = KPGeoDocument::currentInfo();
    classe_milieu.methods[0]->compute = chain_compute;
    current_class = &classe_point;
    uint16_t created = 0;
    object* prev = create_object(0, &created, 1, 1, 1);
    object* other = create_object(0, &created, 1, 1, 1);
    current_class = &classe_milieu;
    for (int i = 0; i < kChain; ++i) {
      objlist_clear(fig->inputs);
      objlist_add(fig->inputs, prev, 0);
      objlist_add(fig->inputs, other, 0);
      prev = create_object(0, &created, 1, 1, 1);
    }
    objlist_clear(fig->inputs);
  }
  ~ChainFigure() {
    bench::drop_current_figure();
    classe_milieu.methods[0]->compute = nullptr;
  }
  kelvo_win_info* fig = nullptr;
};

void BM_RecomputeChain(benchmark::State& state) {
  ChainFigure chain;
  for (auto _ : state) {
    for (object* o = chain.fig->first; o; o = o->next) recompute_object(o);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * (kChain + 2));
}
BENCHMARK(BM_RecomputeChain)->Unit(benchmark::kMicrosecond);

void BM_UndoSnapshot(benchmark::State& state) {
  ChainFigure chain;
  for (auto _ : state) {
    save_undo_state(0);
    benchmark::DoNotOptimize(chain.fig->undo);
  }
  state.SetItemsProcessed(state.iterations() * (kChain + 2));
}
BENCHMARK(BM_UndoSnapshot)->Unit(benchmark::kMillisecond);

}  // namespace
