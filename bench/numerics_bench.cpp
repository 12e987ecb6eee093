// Solver and intersection throughput: a million quartic solves and a
// million line-conic intersections, against the bare arithmetic of
// evaluating the same quartics.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "kernel/conics/conic.h"
#include "kernel/conics/conic_object.h"
#include "kernel/conics/solvers.h"
#include "kernel/objects/intersections.h"

namespace {

constexpr int kCount = 1000000;

struct quartic {
    double a, b, c, d, e;
};

const std::vector<quartic>& quartics()
{
    static std::vector<quartic> q = [] {
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> u(-10, 10);
        std::vector<quartic> v(kCount);
        for (auto& x : v) x = {u(rng), u(rng), u(rng), u(rng), u(rng)};
        return v;
    }();
    return q;
}

void BM_QuarticSolve(benchmark::State& state)
{
    const auto& q = quartics();
    for (auto _ : state) {
        for (const quartic& x : q) {
            solve_quartic(x.a, x.b, x.c, x.d, x.e);
            benchmark::DoNotOptimize(quartic_roots[0]);
        }
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_QuarticSolve)->Unit(benchmark::kMillisecond);

// Bare arithmetic for comparison: evaluating each quartic (Horner) at ten points.
void BM_QuarticEvaluateTenTimes(benchmark::State& state)
{
    const auto& q = quartics();
    for (auto _ : state) {
        for (const quartic& x : q) {
            double s = 0;
            for (int i = 0; i < 10; ++i) {
                double t = i * 0.5;
                s += (((x.a * t + x.b) * t + x.c) * t + x.d) * t + x.e;
            }
            benchmark::DoNotOptimize(s);
        }
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_QuarticEvaluateTenTimes)->Unit(benchmark::kMillisecond);

void BM_LineConicIntersection(benchmark::State& state)
{
    // An ellipse through five points.
    object pts[5]{};
    valeur pv[5]{};
    object* parents[5];
    object conic{};
    valeur values[kConicValueCount]{};
    for (int i = 0; i < 5; ++i) {
        pv[i].h = 100 + 80 * std::cos(0.3 + 1.2 * i);
        pv[i].v = 60 + 30 * std::sin(0.3 + 1.2 * i);
        pts[i].valeurs = &pv[i];
        parents[i] = &pts[i];
    }
    conic.parents = parents;
    conic.nbparents = 5;
    conic.valeurs = values;
    conic.nbvaleurs = kConicValueCount;
    compute_conic(&conic);

    std::mt19937 rng(2);
    std::uniform_real_distribution<double> u(0, 200), a(0, 6.283);
    std::vector<valeur> lines(2 * kCount);
    for (int i = 0; i < kCount; ++i) {
        double t = a(rng);
        lines[2 * i] = valeur{u(rng), u(rng) - 40, {0}, 0};
        lines[2 * i + 1] = valeur{std::cos(t), std::sin(t), {0}, 0};
    }
    valeur out[2];
    for (auto _ : state) {
        for (int i = 0; i < kCount; ++i) {
            straight_conic_intersection(&lines[2 * i], values, out, kAllRoots);
            benchmark::DoNotOptimize(out[0].h);
        }
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_LineConicIntersection)->Unit(benchmark::kMillisecond);

} // namespace
