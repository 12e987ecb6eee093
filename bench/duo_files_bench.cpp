// Writing and reading back, in the older edition's text format, the object
// blocks of a figure of 100,000 objects of mixed classes (the figure of the
// current format's record benchmark).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "bench_figures.h"
#include "kernel/files/duo_text.h"
#include "kernel/files/object_reader.h"
#include "kernel/files/text_family.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/text/text_record.h"

namespace {

constexpr int kObjects = 100000;

int32_t write_blocks(char* buffer) {
  int32_t n = 0;
  for (object* o = KPGeoDocument::currentInfo()->first; o != nullptr; o = o->next)
    n += write_object_text(o, buffer != nullptr ? buffer + n : nullptr);
  return n;
}

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
  const int32_t n = write_blocks(nullptr);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  write_blocks(text.data());
  text.resize(static_cast<size_t>(n));
  return text;
}

void BM_WriteOlderFormatObjects(benchmark::State& state) {
  bench::Environment env;
  std::string text = build_and_write();
  const uint32_t objects = KPGeoDocument::currentInfo()->nbobj;
  for (auto _ : state) {
    const int32_t n = write_blocks(nullptr);
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    benchmark::DoNotOptimize(write_blocks(buf.data()));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * objects);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  bench::drop_current_figure();
}
BENCHMARK(BM_WriteOlderFormatObjects)->Unit(benchmark::kMillisecond);

void BM_ReadOlderFormatObjects(benchmark::State& state) {
  bench::Environment env;
  std::string text = build_and_write();
  const uint32_t objects = KPGeoDocument::currentInfo()->nbobj;
  for (auto _ : state) {
    state.PauseTiming();
    bench::drop_current_figure();
    new_figure_info();
    file_class = 1;
    file_platform = 0;
    begin_record_numbers();
    state.ResumeTiming();
    const char* p = text.c_str();
    bool failed = false;
    while (*p != '\0') {
      object* o = nullptr;
      const int32_t used = read_object_record(&o, p);
      if (used <= 0) {
        const std::string why = std::string(object_reader_error()) + " at " + std::string(p, std::min<size_t>(std::strlen(p), 80));
        state.SkipWithError(why.c_str());
        failed = true;
        break;
      }
      p += used;
      // As the figure reader does between records.
      while (*p == '\r' || *p == '\n') ++p;
    }
    if (failed) break;
    state.PauseTiming();
    resolve_record_numbers();
    file_class = 0;
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * objects);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  bench::drop_current_figure();
}
BENCHMARK(BM_ReadOlderFormatObjects)->Unit(benchmark::kMillisecond);

}  // namespace
