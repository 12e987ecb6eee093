// Rebuilding the preferences and the default-attribute table, which every
// figure, macro and situations file read does first: from a settings file
// holding every key, and from an empty one.
#include <QSettings>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "bench_figures.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/prefs/preferences.h"
#include "kernel/render/colors.h"

namespace {

void BM_InitDefaultAttrs(benchmark::State& state) {
  bench::Environment env;
  QTemporaryDir dir;
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
  if (state.range(0)) {
    prefs_rec p{};
    read_preferences(&p, nullptr);
    write_preferences(&p, nullptr);
  }
  for (auto _ : state) init_default_attrs(nullptr);
  state.counters["keys"] = static_cast<double>(
      QSettings(QSettings::IniFormat, QSettings::UserScope, "Kelvo", "Kelvo Nova").allKeys().size());
}
BENCHMARK(BM_InitDefaultAttrs)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
