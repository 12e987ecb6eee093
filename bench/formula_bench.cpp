// Formula speed: a million evaluations of a compiled 20-cell formula of two
// variables (the work of recomputing one calculation), and compiling a
// formula of 1,000 characters.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_figures.h"
#include "kernel/measure/formula.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"

namespace {

constexpr int kEvaluations = 1000000;

struct Calculation {
  object parents[2]{};
  valeur values[2]{};
  object* list[2]{};
  object calc{};
  valeur result{};

  Calculation() {
    for (int i = 0; i < 2; ++i) {
      values[i].info.rayon = 1.5 + i;
      parents[i].valeurs = &values[i];
      parents[i].nbvaleurs = 1;
      list[i] = &parents[i];
    }
    calc.parents = list;
    calc.nbparents = 2;
    calc.valeurs = &result;
    calc.nbvaleurs = 1;
  }
};

void BM_FormulaEvaluate20Cells(benchmark::State& state) {
  bench::Environment env;
  Calculation c;
  current_calculation = &c.calc;
  std::string text = "abs(#1*#2+sin(#1)-#2/(#1+#2)^2+sqrt(#1+#2))";
  uint16_t position = 0;
  if (compile_formula(text.data(), &position) != 0 || formula_program_length != 21) {
    state.SkipWithError("the formula does not compile to 20 cells");
    return;
  }
  formula_cell* program = formula_program;
  formula_program = nullptr;
  for (auto _ : state) {
    for (int i = 0; i < kEvaluations; ++i) {
      c.values[0].info.rayon = 1.5 + (i & 7);
      formula_code = program;
      formula_cell_index = 0;
      formula_error = 0;
      benchmark::DoNotOptimize(evaluate_compiled_formula());
    }
    benchmark::DoNotOptimize(c.result.info.rayon);
  }
  state.SetItemsProcessed(state.iterations() * kEvaluations * 20);
  GlobalFreeAndNull(&program);
  current_calculation = nullptr;
}
BENCHMARK(BM_FormulaEvaluate20Cells)->Unit(benchmark::kMillisecond);

void BM_FormulaCompile1000Characters(benchmark::State& state) {
  bench::Environment env;
  Calculation c;
  current_calculation = &c.calc;
  const std::string unit = "+(#2-3.25)/sqrt(#1+4)*max(#1,2)^2-round(#2)";
  std::string text = "#1*2.5";
  while (text.size() + unit.size() <= 1000) text += unit;
  while (text.size() + 2 <= 1000) text += "+1";
  if (text.size() < 1000) text += "0";
  uint16_t position = 0;
  for (auto _ : state) {
    std::string copy = text;
    const int code = compile_formula(copy.data(), &position);
    if (code != 0) {
      state.SkipWithError("the long formula does not compile");
      break;
    }
    GlobalFreeAndNull(&formula_program);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  current_calculation = nullptr;
}
BENCHMARK(BM_FormulaCompile1000Characters)->Unit(benchmark::kMicrosecond);

}  // namespace
