// A conic drawn into the 1,600 x 1,000 device, as in a drag frame where the
// conic moves: an ellipse of semi-axes 600 and 400, a hyperbola and a
// parabola crossing the window, each thin and thick. Each iteration moves
// the conic's five points a little sideways, recomputes it and draws it.
#include <benchmark/benchmark.h>

#include <cmath>

#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/conics/conic.h"
#include "kernel/conics/conic_draw.h"
#include "kernel/conics/conic_object.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/render/display_device.h"

namespace {

enum shape { kEllipse, kHyperbola, kParabola };

struct ConicFrame {
  bench::Environment env;
  explicit ConicFrame(shape s, bool thick) {
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    device = bench::display_device();
    object* p[5];
    for (int i = 0; i < 5; ++i) {
      const double t = 0.3 + 1.2 * i;
      double x = 0, y = 0;
      switch (s) {
        case kEllipse:  // centred in the window
          x = 800 + 600 * std::cos(t), y = 500 + 400 * std::sin(t);
          break;
        case kHyperbola: {  // both branches across the window
          const double u = -1.2 + 0.6 * i, sgn = i % 2 ? 1 : -1;
          x = 800 + sgn * 300 * std::cosh(u), y = 500 + 250 * std::sinh(u);
          break;
        }
        case kParabola: {  // vertex in the window, arms through the bottom
          const double u = -900 + 450 * i;
          x = 800 + u, y = 100 + u * u / 900;
          break;
        }
      }
      p[i] = bench::point(x, y);
    }
    for (int i = 0; i < 5; ++i) {
      defining[i] = p[i];
      x0[i] = p[i]->valeurs[0].h;
    }
    conic = bench::make(classe_conic, 0, {p[0], p[1], p[2], p[3], p[4]});
    conic->settings.thickness = thick ? 1 : 0;
    conic->settings.visible = 1;
  }
  ~ConicFrame() {
    destroy_display_device(device);
    bench::drop_current_figure();
  }
  DisplayDevice* device = nullptr;
  object* defining[5] = {};
  object* conic = nullptr;
  double x0[5] = {};
};

void conic_frame(benchmark::State& state, shape s, bool thick) {
  ConicFrame f(s, thick);
  int step = 0;
  for (auto _ : state) {
    // The conic moves sideways with its five points.
    const double dx = 3 * std::sin(0.05 * (step++ % 120));
    for (int i = 0; i < 5; ++i) f.defining[i]->valeurs[0].h = f.x0[i] + dx;
    compute_conic(f.conic);
    draw_conic(f.device, f.conic);
  }
  static const int16_t kinds[] = {kConicEllipse, kConicHyperbola, kConicParabola};
  if (conic_stored_kind(f.conic->valeurs) != kinds[s]) {
    state.SkipWithError("not the conic meant");
  }
  // The pieces traced: 0 for the ellipse inside the window, the window
  // crossings for the others.
  state.counters["crossings"] = reinterpret_cast<const uint8_t*>(&f.conic->valeurs[4].info)[2];
}

void BM_ConicEllipseThin(benchmark::State& s) { conic_frame(s, kEllipse, false); }
void BM_ConicEllipseThick(benchmark::State& s) { conic_frame(s, kEllipse, true); }
void BM_ConicHyperbolaThin(benchmark::State& s) { conic_frame(s, kHyperbola, false); }
void BM_ConicHyperbolaThick(benchmark::State& s) { conic_frame(s, kHyperbola, true); }
void BM_ConicParabolaThin(benchmark::State& s) { conic_frame(s, kParabola, false); }
void BM_ConicParabolaThick(benchmark::State& s) { conic_frame(s, kParabola, true); }

}  // namespace

BENCHMARK(BM_ConicEllipseThin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConicEllipseThick)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConicHyperbolaThin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConicHyperbolaThick)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConicParabolaThin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConicParabolaThick)->Unit(benchmark::kMillisecond);
