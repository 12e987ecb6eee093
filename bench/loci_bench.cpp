// One drag step of a figure with a locus (a thousand or a hundred unit
// steps): the free
// point moves, the figure is recomputed in list order and the locus is
// drawn, which samples the chain with refinement. Two loci: the midpoint of
// a fixed point and a point on a circle (a circle of points), and the
// envelope of the perpendicular bisectors of a fixed point and a point on a
// circle (an ellipse of lines).
#include <benchmark/benchmark.h>

#include <cmath>

#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/recompute.h"
#include "kernel/objects/locus_type.h"
#include "kernel/render/display_device.h"
#include "kernel/tools/handler_helpers.h"
#include "kernel/tools/tool_state.h"

namespace {

struct LocusFigure {
  bench::Environment env;
  LocusFigure(bool envelope, int16_t steps) {
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    fig = KPGeoDocument::currentInfo();
    dd = bench::display_device();
    fixed = bench::point(envelope ? 620 : 800, envelope ? 470 : 300);
    object* centre = bench::point(600, 500);
    object* circle = bench::make(classe_cercle, 1, {centre, bench::point(900, 500)});
    object* driver = bench::make(classe_ptsur, 3, {circle}, 900, 500);
    object* traced = envelope ? bench::make(classe_mediatrice, 0, {fixed, driver})
                              : bench::make(classe_milieu, 0, {fixed, driver});
    collect_dependency_chain(driver, traced);
    current_class = &classe_locus;
    locus = create_object(0, nullptr, 1, 1, 1);
    current_class = nullptr;
    locus->math.locus.lkpt = 1;
    locus->math.locus.envelop = envelope ? 1 : 0;
    locus->math.locus.nb_pts = steps;
    recompute_object(locus);
  }
  ~LocusFigure() {
    destroy_display_device(dd);
    bench::drop_current_figure();
  }
  kelvo_win_info* fig = nullptr;
  DisplayDevice* dd = nullptr;
  object* fixed = nullptr;
  object* locus = nullptr;
};

void drag_steps(benchmark::State& state, bool envelope) {
  LocusFigure f(envelope, static_cast<int16_t>(state.range(0)));
  if (f.locus->state & OBJ_UNDEFINED) {
    state.SkipWithError("the locus does not exist");
    return;
  }
  const double x0 = f.fixed->valeurs[0].h, y0 = f.fixed->valeurs[0].v;
  int step = 0;
  for (auto _ : state) {
    const double a = 0.01 * (step++ % 200);
    f.fixed->valeurs[0].h = x0 + 15 * std::sin(a);
    f.fixed->valeurs[0].v = y0 + 10 * std::cos(a);
    for (object* o = f.fig->first; o; o = o->next) recompute_object(o);
    draw_locus(f.dd, f.locus);
  }
}

void BM_LocusDragStep_Midpoint(benchmark::State& state) { drag_steps(state, false); }
void BM_LocusDragStep_EnvelopeOfLines(benchmark::State& state) { drag_steps(state, true); }

}  // namespace

// 1,000 unit steps lie about a pixel apart; 100 leave intervals of about
// ten pixels, which the refinement splits where the curve bends.
BENCHMARK(BM_LocusDragStep_Midpoint)->Arg(1000)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LocusDragStep_EnvelopeOfLines)->Arg(1000)->Arg(100)->Unit(benchmark::kMicrosecond);
