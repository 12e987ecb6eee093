// How opening, creating and dragging grow with the figure. Each series runs
// at several sizes; the "per_object" counter is the time per object, which
// stays flat when the cost is linear.
//
// Figures: "local" is groups of two free points, their segment and their
// midpoint; "loci" is groups of a circle, a point on it, a free point, their
// midpoint and the midpoint's locus; "star" is one hub point, then free points each with the midpoint
// of the hub and itself, so every other object hangs on the first point;
// "crossings" is groups of four free points, two crossing segments, a
// circle, the intersection point of the segments and a midpoint.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/text_family.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/recompute.h"
#include "kernel/model/version_info.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/render/display_device.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/render/colors.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/handler_helpers.h"
#include "kernel/tools/tool_state.h"

namespace {

// Time per object, in the benchmark's unit.
void per_object(benchmark::State& state, int64_t objects) {
  state.counters["per_object"] =
      benchmark::Counter(static_cast<double>(objects), benchmark::Counter::kIsIterationInvariantRate |
                                                            benchmark::Counter::kInvert);
}

// An object through the tools' creation path, with or without the search
// for an identical object.
object* create(construct_class& cls, int method, std::initializer_list<object*> parents, bool identical_check,
               double h = 0, double v = 0) {
  if (!identical_check) return bench::make(cls, method, parents, h, v);
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  current_class = &cls;
  objlist_clear(fig->inputs);
  for (object* p : parents) objlist_add(fig->inputs, p, 0);
  rubber_points[0] = valeur{h, v, {}, 0};
  uint16_t created = 0;
  object* o = create_object(static_cast<uint16_t>(method), &created, 1, 1, 0);
  rubber_points[0] = valeur{};
  objlist_clear(fig->inputs);
  return o;
}

void build_local(int objects, bool identical_check) {
  for (int g = 0, made = 0; made < objects; ++g, made += 4) {
    const double x = g % 700 * 1.37, y = g / 700 * 2.11;
    object* a = create(classe_point, 0, {}, identical_check, x, y);
    object* b = create(classe_point, 0, {}, identical_check, x + 13.5, y - 7.25);
    create(classe_segment, 0, {a, b}, identical_check);
    create(classe_milieu, 0, {a, b}, identical_check);
  }
}

// One locus group: seven objects, the locus of a midpoint as a point runs
// on a circle, with few samples so that the file work stays in front.
object* build_locus_group(double x, double y) {
  object* centre = bench::point(x, y);
  object* circle = bench::make(classe_cercle, 1, {centre, bench::point(x + 20, y)});
  object* driver = bench::make(classe_ptsur, 3, {circle}, x + 20, y);
  object* traced = bench::make(classe_milieu, 0, {bench::point(x + 40, y + 10), driver});
  collect_dependency_chain(driver, traced);
  current_class = &classe_locus;
  object* locus = create_object(0, nullptr, 1, 1, 1);
  current_class = nullptr;
  locus->math.locus.lkpt = 1;
  locus->math.locus.nb_pts = 10;
  recompute_object(locus);
  return locus;
}

void build_loci(int objects) {
  for (int g = 0, made = 0; made < objects; ++g, made += 7) build_locus_group(g % 300 * 3.1, g / 300 * 4.3);
}

void build_star(int objects, bool identical_check) {
  object* hub = create(classe_point, 0, {}, identical_check, 400, 300);
  for (int i = 0, made = 1; made < objects; ++i, made += 2) {
    object* p = create(classe_point, 0, {}, identical_check, i % 700 * 1.37, i / 700 * 2.11);
    create(classe_milieu, 0, {hub, p}, identical_check);
  }
}

// Nine objects a group (and the hidden intersection set of its segments).
// The sets are found through the index a reading keeps, so that making the
// figure is not quadratic either.
void build_crossings(int objects) {
  begin_intersection_index();
  for (int g = 0, made = 0; made < objects; ++g, made += 9) {
    const double x = g % 300 * 5.3, y = g / 300 * 4.7;
    object* a = bench::point(x, y);
    object* b = bench::point(x + 30, y + 20);
    object* c = bench::point(x, y + 20);
    object* d = bench::point(x + 30, y);
    object* ab = bench::make(classe_segment, 0, {a, b});
    object* cd = bench::make(classe_segment, 0, {c, d});
    bench::make(classe_cercle, 1, {a, c});
    create_intersection_point(get_intersection_set(ab, cd, nullptr), 0);
    bench::make(classe_milieu, 0, {a, d});
  }
  end_intersection_index();
}

void build_numbers(int objects) {
  for (int i = 0; i < objects; ++i) {
    object* n = bench::make(classe_nombre, 0, {}, 10 + i % 40 * 30, 10 + i / 40 * 20);
    GlobalFreeAndNull(&n->te->text);
    const std::string value = std::to_string(i) + ".25";
    n->te->text = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(value.size() + 1)));
    std::memcpy(n->te->text, value.c_str(), value.size());
  }
}

// The file text of the figure `build` makes.
template <class Build>
std::string saved(Build build) {
  bench::drop_current_figure();
  new_figure_info();
  create_default_objects();
  build();
  txt_write_figure_file();
  std::string text(file_buffer, file_buffer_len);
  free_file_image();
  bench::drop_current_figure();
  return text;
}

void open_series(benchmark::State& state, const std::string& text) {
  uint32_t objects = 0;
  for (auto _ : state) {
    state.PauseTiming();
    bench::drop_current_figure();
    new_figure_info();
    state.ResumeTiming();
    if (read_figure_file(text.data(), static_cast<uint32_t>(text.size()), "bench.fig") != 1) {
      state.SkipWithError(figure_file_error());
      break;
    }
    objects = KPGeoDocument::currentInfo()->nbobj;
  }
  per_object(state, objects);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  bench::drop_current_figure();
}

void BM_OpenLocalFigure(benchmark::State& state) {
  bench::Environment env;
  const int n = static_cast<int>(state.range(0));
  open_series(state, saved([n] { build_local(n, false); }));
}
BENCHMARK(BM_OpenLocalFigure)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_OpenStarFigure(benchmark::State& state) {
  bench::Environment env;
  const int n = static_cast<int>(state.range(0));
  open_series(state, saved([n] { build_star(n, false); }));
}
BENCHMARK(BM_OpenStarFigure)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Reading a locus walks its dependency chain: the walk must cost the chain,
// so the per-object figure stays flat from 2,000 to 20,000 objects.
void BM_OpenLocusFigure(benchmark::State& state) {
  bench::Environment env;
  const int n = static_cast<int>(state.range(0));
  open_series(state, saved([n] { build_loci(n); }));
}
BENCHMARK(BM_OpenLocusFigure)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

// Each intersection point read finds the set of its two segments and the
// points already on both: the per-object figure stays flat from 10,000 to
// 100,000 objects.
void BM_OpenCrossingsFigure(benchmark::State& state) {
  bench::Environment env;
  const int n = static_cast<int>(state.range(0));
  open_series(state, saved([n] { build_crossings(n); }));
}
BENCHMARK(BM_OpenCrossingsFigure)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The first picture of that figure once read: the whole figure drawn on the
// window's two layers at 100 %.
void BM_PaintCrossingsFigure(benchmark::State& state) {
  bench::Environment env;
  const int n = static_cast<int>(state.range(0));
  const std::string text = saved([n] { build_crossings(n); });
  new_figure_info();
  if (read_figure_file(text.data(), static_cast<uint32_t>(text.size()), "bench.fig") != 1) {
    state.SkipWithError(figure_file_error());
    return;
  }
  static_display = bench::display_device();
  moving_display = bench::display_device();
  for (auto _ : state) redraw_figure(1);
  per_object(state, KPGeoDocument::currentInfo()->nbobj);
  destroy_display_device(static_display);
  destroy_display_device(moving_display);
  static_display = moving_display = nullptr;
  bench::drop_current_figure();
}
BENCHMARK(BM_PaintCrossingsFigure)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A locus made in a figure that already holds many objects.
void BM_CreateLocusInLargeFigure(benchmark::State& state) {
  bench::Environment env;
  bench::drop_current_figure();
  new_figure_info();
  create_default_objects();
  build_local(static_cast<int>(state.range(0)), false);
  int g = 0;
  for (auto _ : state) build_locus_group(g % 300 * 3.1, ++g / 300 * 4.3);
  bench::drop_current_figure();
}
BENCHMARK(BM_CreateLocusInLargeFigure)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);

void BM_OpenNumbers(benchmark::State& state) {
  bench::Environment env;
  const int n = static_cast<int>(state.range(0));
  open_series(state, saved([n] { build_numbers(n); }));
}
BENCHMARK(BM_OpenNumbers)->Arg(1000)->Unit(benchmark::kMillisecond);

template <void (*Build)(int, bool)>
void create_series(benchmark::State& state) {
  bench::Environment env;
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    bench::drop_current_figure();
    new_figure_info();
    create_default_objects();
    state.ResumeTiming();
    Build(n, true);
  }
  per_object(state, n);
  bench::drop_current_figure();
}

void BM_CreateLocalWithIdenticalCheck(benchmark::State& state) { create_series<build_local>(state); }
BENCHMARK(BM_CreateLocalWithIdenticalCheck)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_CreateStarWithIdenticalCheck(benchmark::State& state) { create_series<build_star>(state); }
BENCHMARK(BM_CreateStarWithIdenticalCheck)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
