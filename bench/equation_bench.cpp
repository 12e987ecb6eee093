// The equation text of a locus, rebuilt at every drag step while the locus
// changes: 84 samples of the locus and a polynomial fit tried from degree 1
// up to 6. The midpoint locus is a circle (the fit stops at degree 2); the
// spiral fits no degree, so every degree up to 6 is tried.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/measure/equation_text.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/recompute.h"
#include "kernel/tools/handler_helpers.h"
#include "kernel/tools/tool_state.h"

namespace {

void BM_LocusEquation_Circle(benchmark::State& state) {
  bench::Environment env;
  KPGeoDocument::setCurrentInfo(nullptr);
  new_figure_info();
  object* fixed = bench::point(800, 300);
  object* circle = bench::make(classe_cercle, 1, {bench::point(600, 500), bench::point(900, 500)});
  object* driver = bench::make(classe_ptsur, 3, {circle}, 900, 500);
  object* traced = bench::make(classe_milieu, 0, {fixed, driver});
  collect_dependency_chain(driver, traced);
  current_class = &classe_locus;
  object* locus = create_object(0, nullptr, 1, 1, 1);
  current_class = nullptr;
  locus->math.locus.lkpt = 1;
  locus->math.locus.nb_pts = 100;
  recompute_object(locus);
  object* axes = bench::make(classe_axe, 1, {bench::point(400, 400), bench::point(440, 400), bench::point(400, 360)});
  object* eq = bench::make(classe_equation, 1, {locus, axes});
  eq->settings.nbre_decimales = 2;
  int code = -1;
  for (auto _ : state) {
    code = format_locus_equation(eq);
    benchmark::DoNotOptimize(code);
  }
  if (code != kLocusFitted) state.SkipWithError("the locus did not fit");
  bench::drop_current_figure();
}

void BM_LocusFit_NoPolynomial(benchmark::State& state) {
  bench::Environment env;
  std::vector<double> x, y;
  for (int i = 0; i < 84; ++i) {
    const double t = i * 6 * 3.141592653589793 / 83;
    x.push_back(t * std::cos(t));
    y.push_back(t * std::sin(t));
  }
  int degree = 0;
  double coef[28];
  for (auto _ : state) benchmark::DoNotOptimize(fit_locus_polynomial(x.data(), y.data(), 84, 6, &degree, coef));
}

}  // namespace

BENCHMARK(BM_LocusEquation_Circle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LocusFit_NoPolynomial)->Unit(benchmark::kMicrosecond);
