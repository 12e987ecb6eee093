// Deleting a point that 10,000 objects depend on, sorting 10,000 objects
// listed in reverse, and a table of 999 rows: tabulated, then redrawn.
#include <benchmark/benchmark.h>

#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/deletion.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/table.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/tool_state.h"
#include "platform/ns_kelvo_text_view.h"

namespace {

constexpr int kDependants = 10000;

// A free point, a second one, and a chain of midpoints that starts at the
// first: every midpoint depends on it.
object* build_chain() {
  KPGeoDocument::setCurrentInfo(nullptr);
  new_figure_info();
  object* root = bench::point(0, 0);
  object* other = bench::point(100, 0);
  object* prev = root;
  for (int i = 0; i < kDependants; ++i) prev = bench::make(classe_milieu, 0, {prev, other});
  return root;
}

void release_figure() {
  bench::drop_current_figure();
}

void BM_DeletePointWithDependants(benchmark::State& state) {
  bench::Environment env;
  for (auto _ : state) {
    state.PauseTiming();
    object* root = build_chain();
    state.ResumeTiming();
    delete_objects(root);
    state.PauseTiming();
    if (KPGeoDocument::currentInfo()->nbobj != 1) state.SkipWithError("the chain was not deleted");
    release_figure();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kDependants);
}
BENCHMARK(BM_DeletePointWithDependants)->Unit(benchmark::kMillisecond)->Iterations(5);

void reverse_list(kelvo_win_info* fig) {
  std::vector<object*> all;
  for (object* o = fig->first; o; o = o->next) all.push_back(o);
  object* prev = nullptr;
  for (auto it = all.rbegin(); it != all.rend(); ++it) {
    (*it)->prev = prev;
    (*it)->next = nullptr;
    if (prev) prev->next = *it;
    prev = *it;
  }
  fig->first = all.empty() ? nullptr : all.back();
  fig->last_hint = nullptr;
}

void BM_SortReversedObjects(benchmark::State& state) {
  bench::Environment env;
  build_chain();
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  for (auto _ : state) {
    state.PauseTiming();
    reverse_list(fig);
    state.ResumeTiming();
    if (!sort_objects_by_dependency()) state.SkipWithError("cycle reported");
  }
  state.SetItemsProcessed(state.iterations() * (kDependants + 2));
  release_figure();
}
BENCHMARK(BM_SortReversedObjects)->Unit(benchmark::kMillisecond);

// A table of two columns of numbers.
object* table_figure() {
  KPGeoDocument::setCurrentInfo(nullptr);
  new_figure_info();
  object* a = bench::make(classe_nombre, 0, {});
  object* b = bench::make(classe_nombre, 0, {});
  set_text_record_text(a->te, "-1.5e3 cm");
  set_text_record_text(b->te, "42.125");
  object* table = bench::make(classe_table, 0, {a, a});
  GlobalFreeAndNull(&table->parents);
  table->parents = alloc_block<object*>(4);
  table->parents[0] = table->parents[1] = a;
  table->parents[2] = table->parents[3] = b;
  table->nbparents = 4;
  table->nbvaleurs = 0;
  table->te->pos = te_point{20, 20};
  table->te->size = te_size{400, 16000};  // every row fits
  return table;
}

void BM_Tabulate999Rows(benchmark::State& state) {
  bench::Environment env;
  object* table = table_figure();
  for (auto _ : state) {
    table->nbvaleurs = 0;
    for (int i = 0; i < kMaxTableRows; ++i) {
      tabulate_ready = 1;
      compute_table(table);
    }
    benchmark::DoNotOptimize(table->te->text);
  }
  state.SetItemsProcessed(state.iterations() * kMaxTableRows);
  release_figure();
}
BENCHMARK(BM_Tabulate999Rows)->Unit(benchmark::kMicrosecond);

void BM_RedrawTable999Rows(benchmark::State& state) {
  bench::Environment env;
  object* table = table_figure();
  for (int i = 0; i < kMaxTableRows; ++i) {
    tabulate_ready = 1;
    compute_table(table);
  }
  DisplayDevice* dd = bench::display_device();
  static_display = dd;
  for (auto _ : state) {
    dd_draw_background(dd);
    draw_table_object(dd, table);
  }
  static_display = nullptr;
  destroy_display_device(dd);
  release_figure();
}
BENCHMARK(BM_RedrawTable999Rows)->Unit(benchmark::kMillisecond);

}  // namespace
