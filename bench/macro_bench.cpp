// A macro of 20 steps applied 100 times, each time to two other points of a
// figure of 10,000 objects: the time of one application (its steps' search
// for identical objects runs over the figure).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/files/macro_text.h"
#include "kernel/macros/macro_def.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/render/colors.h"
#include "kernel/tools/tool_state.h"

namespace {

constexpr int kFigureObjects = 10000;
constexpr int kApplications = 100;
constexpr int kSteps = 20;

// Midpoints walking between the two initial points, then a segment.
std::string twenty_steps() {
  std::string text = "Walk, W\r\nMth: 0\r\nCN:2, ON:" + std::to_string(kSteps) +
                     ", FN:1, PO:" + std::to_string(kSteps - 1) +
                     "\r\nCT:\r\npoint, CS 0, default settings, \r\npoint, CS 0, default settings, \r\nConst:\r\n";
  text += "Mid, Mth:0, 0, CN:2, VN:1, Const: 1 2, default settings, \r\n";
  for (int i = 1; i < kSteps - 1; ++i)
    text += "Mid, Mth:0, 0, CN:2, VN:1, Const: " + std::to_string(2 + i) + " " + std::to_string(1 + (i % 2)) +
            ", default settings, \r\n";
  text += "Seg, Mth:0, 1, CN:2, VN:2, Const: 1 " + std::to_string(1 + kSteps) + ", default settings, \r\n";
  return text;
}

void BM_MacroApplication(benchmark::State& state) {
  bench::Environment env;
  KPGeoDocument::setCurrentInfo(nullptr);
  new_figure_info();
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  const std::string text = twenty_steps();
  if (txt_load_used_macro(text.c_str(), 0) <= 0) {
    state.SkipWithError(macro_text_error());
    return;
  }
  construct_class* walk = class_list[class_list_count() - 1];
  std::vector<object*> points;
  for (int i = 0; fig->nbobj < kFigureObjects; ++i) points.push_back(bench::point(i % 200 * 7.0, i / 200 * 5.0));
  int next = 0;
  for (auto _ : state) {
    current_class = walk;
    objlist_clear(fig->inputs);
    objlist_add(fig->inputs, points[static_cast<size_t>(2 * next)], 0);
    objlist_add(fig->inputs, points[static_cast<size_t>(2 * next + 1)], 0);
    benchmark::DoNotOptimize(apply_macro(0, 1));
    ++next;
  }
  current_class = nullptr;
  state.counters["objects_after"] = static_cast<double>(fig->nbobj);
  bench::drop_current_figure();
}
BENCHMARK(BM_MacroApplication)->Iterations(kApplications)->Unit(benchmark::kMicrosecond);

}  // namespace
