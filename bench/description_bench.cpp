// Refreshing the figure description of 10,000 objects: choosing the listed
// objects, then building the texts of every line (what a full list shows or
// the copied description holds).
#include <benchmark/benchmark.h>

#include "app/kernel_iface/figure_description.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"

namespace {

constexpr int kObjects = 10000;

// Free points in pairs with the midpoint and the segment of each pair.
void build_figure() {
  KPGeoDocument::setCurrentInfo(nullptr);
  new_figure_info();
  for (int made = 0; made < kObjects; made += 4) {
    object* a = bench::point(made % 1000, made / 1000);
    object* b = bench::point(made % 1000 + 10, made / 1000 + 5);
    bench::make(classe_milieu, 0, {a, b});
    bench::make(classe_segment, 0, {a, b});
  }
  // The construction is over: nothing is in the making any more.
  for (object* o = KPGeoDocument::currentInfo()->first; o; o = o->next) o->state &= ~OBJ_NEW;
}

void BM_DescriptionRefresh10000(benchmark::State& state) {
  bench::Environment env;
  build_figure();
  const kelvo_win_info* fig = KPGeoDocument::currentInfo();
  description_state s;
  // Objects made without the tools' default attributes start hidden: list
  // them all.
  s.show_hidden = 1;
  std::size_t listed = 0;
  for (auto _ : state) {
    std::vector<object*> rows = description_objects(fig, &s);
    std::size_t bytes = 0;
    for (const object* o : rows) {
      const description_line line = describe_object_name(o, &s);
      bytes += line.object_text.size() + line.type_text.size();
    }
    benchmark::DoNotOptimize(bytes);
    listed = rows.size();
  }
  state.counters["objects"] = static_cast<double>(fig->nbobj);
  state.counters["listed"] = static_cast<double>(listed);
  bench::drop_current_figure();
}
BENCHMARK(BM_DescriptionRefresh10000)->Unit(benchmark::kMillisecond);

}  // namespace
