// Writing and reading back the object records of a figure of 100,000 objects
// of mixed classes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/files/object_reader.h"
#include "kernel/files/object_writer.h"
#include "kernel/files/text_family.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/text/text_record.h"

namespace {

constexpr int kObjects = 100000;

// Groups of five: two free points, a segment, a line and a circle, with a
// number every twentieth object.
std::string build_and_write() {
  bench::drop_current_figure();
  new_figure_info();
  int made = 0;
  for (int g = 0; made < kObjects; ++g) {
    bench::point_pair_group(g);
    made += 5;
    if (g % 4 == 0) {
      object* n = bench::make(classe_nombre, 0, {}, 10, 10);
      GlobalFreeAndNull(&n->te->text);
      n->te->text = static_cast<char*>(GlobalAlloc(GPTR, 8));
      std::strcpy(n->te->text, "2.5");
      ++made;
    }
  }
  int32_t n = txt_write_objects(nullptr);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  txt_write_objects(text.data());
  text.resize(static_cast<size_t>(n));
  return text;
}

// The records are written as the program writes them.
void file_settings() {
  file_class = 0;
  file_platform = 0;
  file_mac_header = 1;
}

void BM_WriteObjects(benchmark::State& state) {
  bench::Environment env;
  file_settings();
  std::string text = build_and_write();
  const uint32_t objects = KPGeoDocument::currentInfo()->nbobj;
  for (auto _ : state) {
    int32_t n = txt_write_objects(nullptr);
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    benchmark::DoNotOptimize(txt_write_objects(buf.data()));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * objects);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  bench::drop_current_figure();
}
BENCHMARK(BM_WriteObjects)->Unit(benchmark::kMillisecond);

void BM_ReadObjects(benchmark::State& state) {
  bench::Environment env;
  file_settings();
  std::string text = build_and_write();
  const uint32_t objects = KPGeoDocument::currentInfo()->nbobj;
  for (auto _ : state) {
    state.PauseTiming();
    bench::drop_current_figure();
    new_figure_info();
    state.ResumeTiming();
    const char* p = text.c_str();
    while (*p != '\0') {
      object* o = nullptr;
      int32_t used = read_object_record(&o, p);
      if (used <= 0) {
        state.SkipWithError(object_reader_error());
        break;
      }
      p += used;
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * objects);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  bench::drop_current_figure();
}
BENCHMARK(BM_ReadObjects)->Unit(benchmark::kMillisecond);

}  // namespace
