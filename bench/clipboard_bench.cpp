// Copy and paste of 10,000 objects against writing and reading the same
// records: copy builds the records of the whole selection (and puts them on
// the clipboard), paste reads them back into the figure beside the objects
// already there.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/files/clipboard.h"
#include "kernel/files/object_reader.h"
#include "kernel/files/object_writer.h"
#include "kernel/files/text_family.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"

namespace {

constexpr int kObjects = 10000;

// Groups of five (two free points, a segment, a line, a circle), all selected.
void build_selected_figure() {
  bench::drop_current_figure();
  new_figure_info();
  for (int g = 0; g * 5 < kObjects; ++g) bench::point_pair_group(g);
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  for (object* o = fig->first; o; o = o->next) objlist_add(fig->selection, o, 0);
}

// The records are written as the program writes them.
void file_settings() {
  file_class = 0;
  file_platform = 0;
  file_mac_header = 1;
}

// The records of every object, as the figure writer writes them.
void BM_Clipboard_WriteRecords(benchmark::State& state) {
  bench::Environment env;
  file_settings();
  build_selected_figure();
  for (auto _ : state) {
    int32_t n = txt_write_objects(nullptr);
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    benchmark::DoNotOptimize(txt_write_objects(buf.data()));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kObjects);
  bench::drop_current_figure();
}
BENCHMARK(BM_Clipboard_WriteRecords)->Unit(benchmark::kMillisecond);

// Copy of the whole selection: its records, without the clipboard.
void BM_Clipboard_CopyRecords(benchmark::State& state) {
  bench::Environment env;
  file_settings();
  build_selected_figure();
  for (auto _ : state) benchmark::DoNotOptimize(clipboard_records_of_selection());
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kObjects);
  bench::drop_current_figure();
}
BENCHMARK(BM_Clipboard_CopyRecords)->Unit(benchmark::kMillisecond);

// The Copy command: the records put on the clipboard (no figure view, so
// no picture).
void BM_Clipboard_Copy(benchmark::State& state) {
  bench::Environment env;
  file_settings();
  build_selected_figure();
  for (auto _ : state) copy_to_clipboard();
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kObjects);
  bench::drop_current_figure();
}
BENCHMARK(BM_Clipboard_Copy)->Unit(benchmark::kMillisecond);

// Reading the records into an empty figure, as a figure file is read.
void BM_Clipboard_ReadRecords(benchmark::State& state) {
  bench::Environment env;
  file_settings();
  build_selected_figure();
  const std::string text = clipboard_records_of_selection();
  for (auto _ : state) {
    state.PauseTiming();
    bench::drop_current_figure();
    new_figure_info();
    state.ResumeTiming();
    begin_record_numbers();
    const char* p = text.c_str();
    while (*p != '\0') {
      object* o = nullptr;
      const int32_t used = read_object_record(&o, p);
      if (used <= 0) break;
      p += used;
    }
    resolve_record_numbers();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kObjects);
  bench::drop_current_figure();
}
BENCHMARK(BM_Clipboard_ReadRecords)->Unit(benchmark::kMillisecond);

// Paste of the same records into an empty figure (with the undo copy the
// paste takes).
void BM_Clipboard_Paste(benchmark::State& state) {
  bench::Environment env;
  file_settings();
  build_selected_figure();
  const std::string text = clipboard_records_of_selection();
  for (auto _ : state) {
    state.PauseTiming();
    bench::drop_current_figure();
    new_figure_info();
    paste_dx = paste_dy = 5;
    state.ResumeTiming();
    paste_object_records(text.data(), text.size());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kObjects);
  bench::drop_current_figure();
}
BENCHMARK(BM_Clipboard_Paste)->Unit(benchmark::kMillisecond);

}  // namespace
