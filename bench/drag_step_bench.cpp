// One drag step through the manipulation code: the step event, the drag of
// the free point, the recomputation of the marked objects in list order
// and the redraw of the moving layer into a 1,600 x 1,000 device. Two
// figures of 10,000 objects: in the first every object depends on the
// dragged point; in the second only 10 do, and the other 9,990 (built
// before the point) stay on the static layer, which the step never
// redraws. A third series keeps 10 dependants in figures of growing size:
// the step costs what the moving objects cost, not the figure. A fourth
// builds the dragged point and its 10 dependants first, as a user usually
// does: every later object lies above the moving ones, drawn once into the
// still layer when the drag begins; the view lays it over each step it
// shows (measured apart, with the press that draws it). A fifth measures
// what the user waits for before the figure follows: the press and the
// first step, with the dragged point built first or last, and the first
// drag of a session apart. Every step is shown as the window shows it:
// the still layer laid over the moving layer, the moving layer copied into
// the view's picture and the static layer copied back into the moving one.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "app/kernel_iface/kel_event_record.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/still_layer.h"
#include "kernel/tools/drag_start.h"
#include "kernel/tools/pick.h"
#include "kernel/tools/tool_state.h"

namespace {

using bench::make;
using bench::point;

constexpr int kObjects = 10000;
constexpr int kAnchors = 100;

struct DragFigure {
  bench::Environment env;
  bench::WindowFlush flush;
  DragFigure(int objects, int dependants, bool dragged_first = false, bool surfaces = false) : flush(surfaces) {
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    for (int i = 0; i < kAnchors; ++i)
      anchors.push_back(point(100 + std::fmod(i * 137.0, 1400), 100 + std::fmod(i * 71.0, 800)));
    // Objects that do not depend on the dragged point come first, unless
    // the point and its dependants are built first.
    if (dragged_first) {
      dragged = point(800, 500);
      for (int i = 0; i < dependants; ++i) build(i, dragged);
    }
    for (int i = kAnchors; i < objects - dependants; ++i) build(i, anchors[(i * 7) % kAnchors]);
    if (!dragged_first) {
      dragged = point(800, 500);
      for (int i = 0; i < dependants; ++i) build(i, dragged);
    }
    static_display = surfaces ? bench::surface_device() : bench::display_device();
    moving_display = surfaces ? bench::surface_device() : bench::display_device();
    // The window makes the still layer's pictures with its layers.
    prepare_still_layer(moving_display);
  }
  ~DragFigure() {
    kel_EventRecord up{};
    up.what = kEventMouseUp;
    handle_manipulation_event(&up, dragged);
    destroy_display_device(static_display);
    destroy_display_device(moving_display);
    static_display = moving_display = nullptr;
    bench::drop_current_figure();
    current_class = nullptr;
  }

  // Midpoints, segments and circles between `from` and an anchor.
  void build(int i, object* from) {
    object* anchor = anchors[i % kAnchors];
    if (anchor == from) anchor = anchors[(i + 1) % kAnchors];
    switch (i % 3) {
      case 0: make(classe_milieu, 0, {from, anchor}); break;
      case 1: make(classe_segment, 0, {from, anchor}); break;
      default: make(classe_cercle, 1, {anchor, from}); break;
    }
  }
  object* dragged = nullptr;
  std::vector<object*> anchors;
};

// The press on the dragged point that starts the drag.
bool press(benchmark::State& state, DragFigure& f, kel_EventRecord& e) {
  e = kel_EventRecord{};
  e.what = kEventMouseDown;
  e.x = 800;
  e.y = 500;
  if (dispatch_object_event(&e, f.dragged)) return true;
  state.SkipWithError("the press did not start a drag");
  return false;
}

void run_drag(benchmark::State& state, int objects, int dependants, bool dragged_first = false,
              bool surfaces = false) {
  DragFigure f(objects, dependants, dragged_first, surfaces);
  kel_EventRecord e{};
  if (!press(state, f, e)) return;
  e.what = kEventDragStep;
  double t = 0;
  for (auto _ : state) {
    t += 0.05;
    e.x = static_cast<int32_t>(800 + 200 * std::cos(t));
    e.y = static_cast<int32_t>(500 + 200 * std::sin(t));
    benchmark::DoNotOptimize(handle_manipulation_event(&e, f.dragged));
  }
}

void BM_DragStep10000Dependants(benchmark::State& state) { run_drag(state, kObjects, kObjects); }
BENCHMARK(BM_DragStep10000Dependants)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_DragStep10Of10000Dependants(benchmark::State& state) { run_drag(state, kObjects, 10); }
BENCHMARK(BM_DragStep10Of10000Dependants)->Unit(benchmark::kMicrosecond);

// The same step on layers that only their ports draw on (a zoom other than
// 100 %): every line and circle goes through the device context.
void BM_DragStep10Of10000DependantsOnSurfaces(benchmark::State& state) { run_drag(state, kObjects, 10, false, true); }
BENCHMARK(BM_DragStep10Of10000DependantsOnSurfaces)->Unit(benchmark::kMicrosecond);

void BM_DragStep10Dependants(benchmark::State& state) {
  run_drag(state, static_cast<int>(state.range(0)), 10);
  state.counters["per_object"] = benchmark::Counter(static_cast<double>(state.range(0)),
                                                    benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}
BENCHMARK(BM_DragStep10Dependants)->Arg(1000)->Arg(2000)->Arg(10000)->Arg(20000)->Arg(100000)->Unit(
    benchmark::kMicrosecond);

void BM_DragStep10DependantsDraggedFirst(benchmark::State& state) {
  run_drag(state, static_cast<int>(state.range(0)), 10, true);
  state.counters["per_object"] = benchmark::Counter(static_cast<double>(state.range(0)),
                                                    benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}
BENCHMARK(BM_DragStep10DependantsDraggedFirst)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);

// The press that starts the drag of the point built first: the static layer
// drawn, then every later object that stays still drawn twice into the
// still layer. The release that ends each drag is not counted.
void BM_DragPressDraggedFirst(benchmark::State& state) {
  DragFigure f(static_cast<int>(state.range(0)), 10, true);
  kel_EventRecord e{};
  for (auto _ : state) {
    if (!press(state, f, e)) return;
    state.PauseTiming();
    e.what = kEventMouseUp;
    handle_manipulation_event(&e, f.dragged);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DragPressDraggedFirst)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// What the user waits for before the figure follows the mouse: the press
// that starts the drag and the first step, which moves the point and shows
// it. The point and its 10 dependants are built first (every later object
// stays still above them) or last (every earlier object goes to the static
// layer). The release that ends each drag is not counted.
void press_and_first_step(benchmark::State& state, bool dragged_first) {
  DragFigure f(static_cast<int>(state.range(0)), 10, dragged_first);
  kel_EventRecord e{};
  for (auto _ : state) {
    if (!press(state, f, e)) return;
    e.what = kEventDragStep;
    e.x = 830;
    e.y = 520;
    benchmark::DoNotOptimize(handle_manipulation_event(&e, f.dragged));
    state.PauseTiming();
    e.what = kEventMouseUp;
    handle_manipulation_event(&e, f.dragged);
    state.ResumeTiming();
  }
}

// One-time costs (a first press, a warm-up) would set the median of a short
// run: the press benchmarks run for a second at least.
void BM_DragPressAndFirstStepDraggedFirst(benchmark::State& state) { press_and_first_step(state, true); }
BENCHMARK(BM_DragPressAndFirstStepDraggedFirst)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_DragPressAndFirstStepDraggedLast(benchmark::State& state) { press_and_first_step(state, false); }
BENCHMARK(BM_DragPressAndFirstStepDraggedLast)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The first drag of a session: the press and the first step on a window
// just made, whose still layer has never been built. The point is built
// first, so that the press draws the objects above it into the still
// layer's pictures.
void BM_DragFirstPressAndStepDraggedFirst(benchmark::State& state) {
  DragFigure f(static_cast<int>(state.range(0)), 10, true);
  kel_EventRecord e{};
  for (auto _ : state) {
    state.PauseTiming();
    // A session starts: nothing kept from a drag before, and the window
    // makes its layers.
    free_still_layer();
    prepare_still_layer(moving_display);
    state.ResumeTiming();
    if (!press(state, f, e)) return;
    e.what = kEventDragStep;
    e.x = 830;
    e.y = 520;
    benchmark::DoNotOptimize(handle_manipulation_event(&e, f.dragged));
    state.PauseTiming();
    e.what = kEventMouseUp;
    handle_manipulation_event(&e, f.dragged);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DragFirstPressAndStepDraggedFirst)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// What showing a step of that drag adds to the copies of the layers: the
// still layer laid over a 1,600 x 1,000 picture of the moving layer.
void BM_DragStillLayerCompose(benchmark::State& state) {
  DragFigure f(static_cast<int>(state.range(0)), 10, true);
  kel_EventRecord e{};
  if (!press(state, f, e)) return;
  if (!still_layer_built()) {
    state.SkipWithError("the drag built no still layer");
    return;
  }
  DisplayDevice* view = bench::display_device();
  for (auto _ : state) compose_still_layer(view);
  destroy_display_device(view);
}
BENCHMARK(BM_DragStillLayerCompose)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);

}  // namespace
