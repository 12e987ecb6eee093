// One drag step of a free point that 1,000 measures depend on: lengths of
// segments from it, areas of triangles on it and angles at it, each value
// computed and its text written, as the window does per step; the same with
// the measures drawn; and the floor of that work: the kernel's computing
// alone, each value formatted and its width measured. Then 100,000 numbers
// and texts opened from their file and painted once.
#include <benchmark/benchmark.h>

#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/text_convert.h"
#include "kernel/files/text_family.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/recompute.h"
#include "kernel/render/display_device.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/tool_state.h"

namespace {

using bench::make;
using bench::point;

constexpr int kMeasures = 1000;
constexpr int kAnchors = 50;
// A measure's second flag word when a text shows it: linked to the text,
// and not drawn itself.
constexpr uint32_t kMeasureInText = 2 | 4;

struct MeasureFigure {
  MeasureFigure() {
    new_figure_info();
    decimal_separator = '.';
    second_separator = ',';
    dragged = point(500, 400);
    for (int i = 0; i < kAnchors; ++i) anchors.push_back(point(std::fmod(i * 37.0, 1000), std::fmod(i * 53.0, 800)));
    for (int i = 0; i < kMeasures; ++i) {
      object* a = anchors[i % kAnchors];
      object* b = anchors[(i + 7) % kAnchors];
      object* m = nullptr;
      switch (i % 3) {
        case 0:
          m = make(classe_length, 0, {make(classe_segment, 0, {dragged, a})});
          m->settings.unite = 33;  // cm
          break;
        case 1:
          m = make(classe_aire, 0, {make(classe_triangle, 0, {dragged, a, b})});
          m->settings.unite = 65;  // square cm
          break;
        default:
          m = make(classe_angleMes, 0, {a, dragged, b});
          m->settings.unite = 129;  // degrees
          break;
      }
      m->settings.nbre_decimales = 2;
      measures.push_back(m);
    }
  }

  // The next position of the dragged point on its circle.
  void step() {
    t += 0.01;
    dragged->valeurs[0].h = 500 + 200 * std::cos(t);
    dragged->valeurs[0].v = 400 + 200 * std::sin(t);
  }

  void recompute() {
    for (object* o = KPGeoDocument::currentInfo()->first; o; o = o->next) recompute_object(o);
  }

  bench::Environment env;
  object* dragged = nullptr;
  std::vector<object*> anchors;
  std::vector<object*> measures;
  double t = 0;
};

void per_measure(benchmark::State& state) {
  state.counters["per_measure"] = benchmark::Counter(static_cast<double>(state.iterations()) * kMeasures,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_DragStep1000Measures(benchmark::State& state) {
  MeasureFigure f;
  for (auto _ : state) {
    f.step();
    f.recompute();
  }
  per_measure(state);
}
BENCHMARK(BM_DragStep1000Measures)->Unit(benchmark::kMicrosecond);

// Drag steps each followed by the drawing of `shown`, as the window does.
void drawn_steps(benchmark::State& state, MeasureFigure& f, const std::vector<object*>& shown) {
  DisplayDevice* dd = bench::display_device();
  static_display = dd;
  for (auto _ : state) {
    f.step();
    f.recompute();
    dd_draw_background(dd);
    for (object* o : shown) DrawKPTexte(dd, o);
  }
  per_measure(state);
  static_display = nullptr;
  destroy_display_device(dd);
}

// The step as the window shows it: every measure is drawn after it.
void BM_DragStep1000MeasuresDrawn(benchmark::State& state) {
  MeasureFigure f;
  drawn_steps(state, f, f.measures);
}
BENCHMARK(BM_DragStep1000MeasuresDrawn)->Unit(benchmark::kMicrosecond);

// The same with each value shown by a text that quotes its measure, as the
// measuring tools leave it: the text in the measure's format, its frame
// following its text, the measure itself shown only by the text. The
// texts are drawn.
void BM_DragStep1000MeasuresQuotedDrawn(benchmark::State& state) {
  MeasureFigure f;
  std::vector<object*> texts;
  for (object* m : f.measures) {
    object* t = make(classe_text, 0, {}, 0, 0);
    add_text_reference(m, &t->inserted);
    set_text_record_text(t->te, "$1$");
    t->te->format = m->te->format;
    t->te->edit_flags |= 1;
    t->te->text_kind = 2;
    t->te->needs_regen = 1;
    t->te->regen_pending = 1;
    t->te->pos = m->te->pos;
    m->aux2 |= kMeasureInText;
    texts.push_back(t);
  }
  drawn_steps(state, f, texts);
}
BENCHMARK(BM_DragStep1000MeasuresQuotedDrawn)->Unit(benchmark::kMicrosecond);

// The kernel's work without the text view, and each new value formatted
// and measured in its font: what a step cannot go below.
void BM_DragStep1000MeasuresFloor(benchmark::State& state) {
  MeasureFigure f;
  install_text_handle_ops(TextHandleOps{});
  QFont font(QStringLiteral("Helvetica"));
  font.setPointSizeF(12);
  const QFontMetricsF metrics(font);
  char text[64];
  double widths = 0;
  for (auto _ : state) {
    f.step();
    f.recompute();
    for (object* m : f.measures) {
      std::snprintf(text, sizeof text, "%.2f cm", m->valeurs ? m->valeurs[0].h : 0.0);
      widths += metrics.horizontalAdvance(QString::fromLatin1(text));
    }
  }
  benchmark::DoNotOptimize(widths);
  per_measure(state);
}
BENCHMARK(BM_DragStep1000MeasuresFloor)->Unit(benchmark::kMicrosecond);

// A size in /proc/self/status ("VmRSS:", "VmHWM:"), in bytes.
double status_bytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string key;
  double kb = 0;
  while (status >> key)
    if (key == field) {
      status >> kb;
      break;
    }
  return kb * 1024;
}
// The memory the process holds now, and at its peak since the last reset.
double resident() { return status_bytes("VmRSS:"); }
double peak_resident() { return status_bytes("VmHWM:"); }
// The peak from here on is measured afresh.
void reset_peak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// 50,000 numbers and 50,000 texts spread over the window, as a file.
std::string numbers_and_texts_file() {
  bench::drop_current_figure();
  new_figure_info();
  create_default_objects();
  for (int i = 0; i < 50000; ++i) {
    const double h = i * 37 % 1500 + 10, v = i * 53 % 960 + 10;
    object* n = make(classe_nombre, 0, {}, h, v);
    set_text_record_text(n->te, (std::to_string(i) + ".25").c_str());
    object* t = make(classe_text, 0, {}, h + 40, v + 5);
    set_text_record_text(t->te, ("Text " + std::to_string(i)).c_str());
  }
  txt_write_figure_file();
  std::string text(file_buffer, file_buffer_len);
  free_file_image();
  bench::drop_current_figure();
  return text;
}

void BM_OpenAndPaint100kNumbersAndTexts(benchmark::State& state) {
  bench::Environment env;
  const std::string file = numbers_and_texts_file();
  static_display = bench::display_device();
  moving_display = bench::display_device();
  double peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    bench::drop_current_figure();
    // Memory freed by what ran before (an earlier repetition, another
    // benchmark) goes back to the system first: reused, it would hide what
    // this figure takes.
    malloc_trim(0);
    const double before = resident();
    reset_peak();
    new_figure_info();
    state.ResumeTiming();
    if (read_figure_file(file.data(), static_cast<uint32_t>(file.size()), "bench.fig") != 1) {
      state.SkipWithError(figure_file_error());
      break;
    }
    redraw_figure(1);
    state.PauseTiming();
    peak = std::max(peak, peak_resident() - before);
    state.ResumeTiming();
  }
  state.counters["objects"] = KPGeoDocument::currentInfo() ? KPGeoDocument::currentInfo()->nbobj : 0;
  state.counters["peak_MB"] = peak / 1e6;
  bench::drop_current_figure();
  destroy_display_device(static_display);
  destroy_display_device(moving_display);
}
BENCHMARK(BM_OpenAndPaint100kNumbersAndTexts)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
