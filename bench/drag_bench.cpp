// One drag step of a free point that 10,000 constructed objects depend on:
// the point moves and every dependant (midpoints, perpendiculars, circles
// through it) is recomputed in list order, as the window does per step.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "app/kernel_iface/kel_event_record.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/recompute.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/tools/drag_start.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/drag_free.h"

namespace {

using bench::make;
using bench::point;

constexpr int kDependants = 10000;
constexpr int kAnchors = 100;

struct DragFigure {
  bench::Environment env;
  DragFigure() {
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

// One frame of the multiple animation: 100 free points, each driven by a
// spring and carrying 19 dependants, among 1,900 objects that do not move
// (4,000 objects in all). Every spring steps its point, every object marked
// as moving is recomputed in list order and the moving layer is drawn into
// a 1,600 x 1,000 device and shown, as the view's 10 ms timer does in an
// animation.
constexpr int kSprings = 100;
constexpr int kAnimatedDependants = 19;
constexpr int kStaticObjects = 1900;

struct SpringFigure {
  bench::Environment env;
  // Each frame is shown as the window shows it.
  bench::WindowFlush flush;
  SpringFigure() {
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    for (int i = 0; i < kAnchors; ++i)
      anchors.push_back(point(100 + std::fmod(i * 137.0, 1400), 100 + std::fmod(i * 71.0, 800)));
    for (int i = kAnchors; i < kStaticObjects; ++i)
      make(classe_milieu, 0, {anchors[i % kAnchors], anchors[(i * 7 + 1) % kAnchors]});
    for (int s = 0; s < kSprings; ++s) {
      object* p = point(150 + (s % 10) * 130, 120 + (s / 10) * 80);
      object* spring = make(classe_spring, 0, {p});
      spring->valeurs[1].h = -40 - s % 7;
      spring->valeurs[1].v = 30 - s % 5;
      for (int i = 0; i < kAnimatedDependants; ++i) {
        object* anchor = anchors[(s * kAnimatedDependants + i) % kAnchors];
        switch (i % 3) {
          case 0: make(classe_milieu, 0, {p, anchor}); break;
          case 1: make(classe_segment, 0, {p, anchor}); break;
          default: make(classe_cercle, 1, {anchor, p}); break;
        }
      }
    }
    static_display = bench::display_device();
    moving_display = bench::display_device();
  }
  ~SpringFigure() {
    kel_EventRecord up{};
    up.what = kEventMouseUp;
    handle_manipulation_event(&up, nullptr);
    destroy_display_device(static_display);
    destroy_display_device(moving_display);
    static_display = moving_display = nullptr;
    bench::drop_current_figure();
    current_class = nullptr;
    interaction_state = 1;
  }
  std::vector<object*> anchors;
};

void BM_AnimationFrame100Springs(benchmark::State& state) {
  SpringFigure f;
  current_class = &classe_spring;
  if (!start_spring_animation()) {
    state.SkipWithError("the animation did not start");
    return;
  }
  kel_EventRecord e{};
  e.what = kEventKey;
  e.message = 13;
  if (!dispatch_object_event(&e, nullptr)) {
    state.SkipWithError("Return did not start the springs");
    return;
  }
  // Every spring steps at every frame.
  step_interval = 0;
  e.what = kEventDragStep;
  for (auto _ : state) benchmark::DoNotOptimize(handle_manipulation_event(&e, nullptr));
  state.SetItemsProcessed(state.iterations() * kSprings);
}
BENCHMARK(BM_AnimationFrame100Springs)->Unit(benchmark::kMillisecond);

}  // namespace
