// A full redraw of a figure of 1,000 segments, 1,000 circles and 2,000
// points into a 1,600 x 1,000 device, through the drawing passes, the styled
// primitives and the stroking engine.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/render/stroke_engine.h"

namespace {

// Segments keep their ends in the first two values, circles their centre
// and, in the second value's radius, their radius.
void draw_point(DisplayDevice* dd, object* o) {
  draw_point_mark(dd, o->valeurs[0].h, o->valeurs[0].v, 0, 0, o->settings.Color, kShapeSquare, nullptr);
}
void draw_segment(DisplayDevice* dd, object* o) {
  draw_segment_styled(dd, o->valeurs[0].h, o->valeurs[0].v, o->valeurs[1].h, o->valeurs[1].v, o->settings.Color,
                      o->settings.thickness, &o->settings.dot_style, kExtentSegment);
}
void draw_circle(DisplayDevice* dd, object* o) {
  draw_stroke_twice(dd, &o->valeurs[0], &o->valeurs[1], nullptr, nullptr, o->settings.Color, back_color,
                    o->settings.thickness, &o->settings.dot_style, kStrokeFullCircle);
}

type point_type = {TYPE_POINT, "point", "point", draw_point, nullptr, nullptr, nullptr, nullptr};
type segment_type = {TYPE_SEGMENT, "segment", "segment", draw_segment, nullptr, nullptr, nullptr, nullptr};
type circle_type = {TYPE_CIRCLE, "circle", "circle", draw_circle, nullptr, nullptr, nullptr, nullptr};

struct Figure {
  kelvo_win_info fig{};
  std::vector<object> objects;
  std::vector<valeur> values;

  Figure() {
    std::mt19937 rng(2024);
    std::uniform_real_distribution<double> x(0, 1600), y(0, 1000), r(5, 300);
    const int segments = 1000, circles = 1000, points = 2000;
    objects.resize(segments + circles + points);
    values.resize(objects.size() * 2);
    for (size_t i = 0; i < objects.size(); ++i) {
      object& o = objects[i];
      o.final_no = 1;
      o.num = static_cast<uint32_t>(i + 1);
      o.settings.visible = 1;
      o.settings.dot_style = {1, 1};
      o.settings.Color = 0x0000FF;
      o.settings.FillColor = back_color;
      o.valeurs = &values[2 * i];
      o.nbvaleurs = 2;
      values[2 * i].h = x(rng);
      values[2 * i].v = y(rng);
      if (i < segments) {
        o.otype = &segment_type;
        values[2 * i + 1].h = x(rng);
        values[2 * i + 1].v = y(rng);
      } else if (i < segments + circles) {
        o.otype = &circle_type;
        values[2 * i + 1].info.rayon = r(rng);
      } else {
        o.otype = &point_type;
      }
      o.next = i + 1 < objects.size() ? &objects[i + 1] : nullptr;
      o.prev = i > 0 ? &objects[i - 1] : nullptr;
    }
    fig.first = &objects[0];
    fig.nbobj = static_cast<uint32_t>(objects.size());
    fig.bgcolor = back_color;
  }
};

void redraw(benchmark::State& state, DisplayDevice* (*device)(), double ratio = 1) {
  bench::Environment env;
  Figure figure;
  KPGeoDocument::setCurrentInfo(&figure.fig);
  static_display = device();
  moving_display = device();
  static_display->ratio = moving_display->ratio = ratio;
  for (auto _ : state) redraw_figure(1);
  KPGeoDocument::setCurrentInfo(nullptr);
  destroy_display_device(static_display);
  destroy_display_device(moving_display);
}

void BM_RedrawFigure(benchmark::State& state) { redraw(state, bench::display_device); }
BENCHMARK(BM_RedrawFigure)->Unit(benchmark::kMillisecond);

// On layers only their ports draw on (a zoom other than 100 %).
void BM_RedrawFigureOnSurfaces(benchmark::State& state) { redraw(state, bench::surface_device); }
BENCHMARK(BM_RedrawFigureOnSurfaces)->Unit(benchmark::kMillisecond);

// The same at the zooms a view is set to (in percent): at 125 % strokes are
// still a pixel wide, at 150 % and 200 % two.
void BM_RedrawFigureOnSurfacesAtZoom(benchmark::State& state) {
  redraw(state, bench::surface_device, static_cast<double>(state.range(0)) / 100);
}
BENCHMARK(BM_RedrawFigureOnSurfacesAtZoom)->Arg(75)->Arg(125)->Arg(150)->Arg(200)->Unit(benchmark::kMillisecond);

}  // namespace
