// Building, deep-copying and freeing a figure of free points, the work an
// undo snapshot and a document close do on a large figure.
#include <benchmark/benchmark.h>

#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"

namespace {

constexpr int kPoints = 10000;

type point_type{TYPE_POINT, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
construct_class point_class{};

// A free point as a construction leaves it: a pool record with its one value.
void add_free_point(kelvo_win_info* fig, double x, double y) {
  object* o = append_new_object();
  if (!o) return;
  fig->nbobj += 1;
  o->num = fig->nbobj;
  o->otype = &point_type;
  o->classe = &point_class;
  o->final_no = 1;
  o->settings.visible = 1;
  o->settings.thickness = 1;
  o->nbvaleurs = 1;
  o->valeurs = alloc_block<valeur>(1);
  if (o->valeurs) {
    o->valeurs[0].h = x;
    o->valeurs[0].v = y;
  }
}

kelvo_win_info* build_figure() {
  new_figure_info();
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  for (int i = 0; i < kPoints; ++i) add_free_point(fig, i % 100, i / 100);
  return fig;
}

void free_figure(kelvo_win_info* fig) {
  kelvo_win_info* copy = fig->undo;
  free_figure_info(fig, false);
  free_figure_info(copy, false);
}

void BM_CreateFigure(benchmark::State& state) {
  bench::Environment env;
  for (auto _ : state) {
    kelvo_win_info* fig = build_figure();
    benchmark::DoNotOptimize(fig->nbobj);
    state.PauseTiming();
    free_figure(fig);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_CreateFigure)->Unit(benchmark::kMillisecond);

void BM_DuplicateFigure(benchmark::State& state) {
  bench::Environment env;
  kelvo_win_info* fig = build_figure();
  for (auto _ : state) {
    kelvo_win_info* copy = duplicate_figure_info(nullptr, 0);
    benchmark::DoNotOptimize(copy);
    state.PauseTiming();
    copy->undo = nullptr;
    free_figure_info(copy, false);
    KPGeoDocument::setCurrentInfo(fig);
    state.ResumeTiming();
  }
  free_figure(fig);
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_DuplicateFigure)->Unit(benchmark::kMillisecond);

void BM_FreeFigure(benchmark::State& state) {
  bench::Environment env;
  for (auto _ : state) {
    state.PauseTiming();
    kelvo_win_info* fig = build_figure();
    kelvo_win_info* copy = duplicate_figure_info(nullptr, 0);
    state.ResumeTiming();
    copy->undo = nullptr;
    free_figure_info(copy, false);
    KPGeoDocument::setCurrentInfo(fig);
    free_figure(fig);
  }
  state.SetItemsProcessed(state.iterations() * 2 * kPoints);
}
BENCHMARK(BM_FreeFigure)->Unit(benchmark::kMillisecond);

// The whole cycle in one go: build, snapshot for undo, close.
void BM_CreateCopyFree(benchmark::State& state) {
  bench::Environment env;
  for (auto _ : state) {
    kelvo_win_info* fig = build_figure();
    kelvo_win_info* copy = duplicate_figure_info(nullptr, 0);
    copy->undo = nullptr;
    free_figure_info(copy, false);
    KPGeoDocument::setCurrentInfo(fig);
    free_figure(fig);
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_CreateCopyFree)->Unit(benchmark::kMillisecond);

}  // namespace
