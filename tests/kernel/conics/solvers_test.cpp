#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "kernel/conics/solvers.h"
#include "kernel/conics/reference_table.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

std::vector<uint8_t> kinds()
{
    return {quartic_root_kind[0], quartic_root_kind[1], quartic_root_kind[2], quartic_root_kind[3]};
}

// Tolerance for a root compared with its reference: relative to the size of
// the root, absolute near zero.
double root_tolerance(double r) { return 1e-7 * std::max(1.0, std::fabs(r)); }

} // namespace

TEST(Quadratic, ListedCases)
{
    EXPECT_EQ(solve_quadratic(1, -3, 2), 2);
    EXPECT_DOUBLE_EQ(quad_roots[0], 1);
    EXPECT_DOUBLE_EQ(quad_roots[1], 2);

    quad_roots[0] = 42;
    quad_roots[1] = 43;
    EXPECT_EQ(solve_quadratic(1, 0, 1), 0);
    EXPECT_EQ(quad_roots[0], 42);  // untouched
    EXPECT_EQ(quad_roots[1], 43);

    EXPECT_EQ(solve_quadratic(1, -2, 1), 2);
    EXPECT_EQ(quad_roots[0], 1);
    EXPECT_EQ(quad_roots[1], 1);

    EXPECT_EQ(solve_quadratic(0, 2, -4), 2);
    EXPECT_EQ(quad_roots[0], 2);
    EXPECT_EQ(quad_roots[1], kInf);

    EXPECT_EQ(solve_quadratic(0, 0, 5), 2);
    EXPECT_EQ(quad_roots[0], kInf);
    EXPECT_EQ(quad_roots[1], kInf);

    EXPECT_EQ(solve_quadratic(0, 0, 0), 100);

    // A leading coefficient of 5e-7 is no leading coefficient for the quadratic...
    EXPECT_EQ(solve_quadratic(5e-7, 1, -1), 2);
    EXPECT_EQ(quad_roots[0], 1);
    EXPECT_EQ(quad_roots[1], kInf);
    // ...but it is one for the cubic and the quartic.
    EXPECT_EQ(solve_cubic(5e-7, 0, 0, -5e-7, true), 1);
    EXPECT_NEAR(cubic_roots[0], 1, 1e-12);
    solve_quartic(5e-7, 0, 0, 0, -5e-7);
    EXPECT_EQ(kinds(), (std::vector<uint8_t>{1, 0, 0, 1}));
}

TEST(Cubic, ListedCases)
{
    EXPECT_EQ(solve_cubic(1, -6, 11, -6, true), 3);
    EXPECT_NEAR(cubic_roots[0], 3, 1e-12);  // the largest,
    EXPECT_NEAR(cubic_roots[1], 1, 1e-12);  // the smallest,
    EXPECT_NEAR(cubic_roots[2], 2, 1e-12);  // the middle one
    EXPECT_EQ(solve_cubic(1, -6, 11, -6, false), 1);
    EXPECT_NEAR(cubic_roots[0], 3, 1e-12);

    EXPECT_EQ(solve_cubic(1, 0, 0, -1, true), 1);
    EXPECT_NEAR(cubic_roots[0], 1, 1e-15);

    // A vanishing leading coefficient: the quadratic's count plus one.
    EXPECT_EQ(solve_cubic(0, 1, -3, 2, true), 3);
    EXPECT_EQ(cubic_roots[2], kInf);
    EXPECT_EQ(solve_cubic(0, 1, 0, 1, true), 1);
    EXPECT_EQ(solve_cubic(0, 0, 0, 0, true), 100);
}

TEST(Cubic, NearlyDoubleRootsStayFinite)
{
    // (x - 1)^2 (x - 2) with the double root split by a hair: the cosine of
    // the trigonometric method can round past 1.
    for (double eps : {0.0, 1e-15, 1e-12, 1e-9}) {
        double r1 = 1, r2 = 1 + eps, r3 = 2;
        int n = solve_cubic(1, -(r1 + r2 + r3), r1 * r2 + r1 * r3 + r2 * r3, -r1 * r2 * r3, true);
        for (int i = 0; i < n; ++i) EXPECT_TRUE(std::isfinite(cubic_roots[i])) << eps;
        EXPECT_NEAR(*std::max_element(cubic_roots, cubic_roots + n), 2, 1e-6) << eps;
    }
}

TEST(Quartic, ListedCases)
{
    // (x-1)(x-2)(x-3)(x-4)
    EXPECT_EQ(solve_quartic(1, -10, 35, -50, 24), 4);
    EXPECT_EQ(kinds(), (std::vector<uint8_t>{1, 1, 1, 1}));
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(quartic_roots[i], i + 1, 1e-9);

    // x^4 - 1: two real roots with the mean between them take the outer slots.
    solve_quartic(1, 0, 0, 0, -1);
    EXPECT_EQ(kinds(), (std::vector<uint8_t>{1, 0, 0, 1}));
    EXPECT_NEAR(quartic_roots[0], -1, 1e-12);
    EXPECT_NEAR(quartic_roots[3], 1, 1e-12);

    // Leading coefficient 0, three real cubic roots: ascending, then infinity.
    EXPECT_EQ(solve_quartic(0, 1, -6, 11, -6), 4);
    EXPECT_EQ(kinds(), (std::vector<uint8_t>{1, 1, 1, 2}));
    EXPECT_NEAR(quartic_roots[0], 1, 1e-12);
    EXPECT_NEAR(quartic_roots[1], 2, 1e-12);
    EXPECT_NEAR(quartic_roots[2], 3, 1e-12);
    EXPECT_EQ(quartic_roots[3], kInf);

    // Every x: nothing usable.
    EXPECT_EQ(solve_quartic(0, 0, 0, 0, 0), 100);
    EXPECT_EQ(kinds(), (std::vector<uint8_t>{0, 0, 0, 0}));

    // No real root.
    EXPECT_EQ(solve_quartic(1, 0, 2, 0, 1.5), 0);
    EXPECT_EQ(kinds(), (std::vector<uint8_t>{0, 0, 0, 0}));
}

// Which slots two real roots take, and the kinds when the degree drops.
TEST(Quartic, SlotRules)
{
    struct Case {
        double a, b, c, d, e;
        std::vector<uint8_t> kinds;
        std::vector<double> slots;  // expected value per slot; NaN = not checked
    };
    const double n = std::nan("");
    const Case cases[] = {
        // (x - 1)(x - 2)(x^2 + 1): b/(-4) = 0.75 lies below both roots,
        // so their midpoint lies above it: high slots.
        {1, -3, 3, -3, 2, {0, 0, 1, 1}, {n, n, 1, 2}},
        // (x + 1)(x + 2)(x^2 + 1): mean 0.75 above both: low slots.
        {1, 3, 3, 3, 2, {1, 1, 0, 0}, {-2, -1, n, n}},
        // 2 (x + 1)(x - 3)(x^2 + 1) = 2x^4 - 4x^3 - 4x^2 - 4x - 6. The mean
        // of the roots is b/(-4a) = 0.5, between them; the rule uses
        // -b/(4a^2) = 0.25, also between them: outer slots.
        {2, -4, -4, -4, -6, {1, 0, 0, 1}, {-1, n, n, 3}},
        // 4 (x - 0.5)(x - 1.5)(x^2 + 9) = 4x^4 - 8x^3 + 39x^2 - 72x + 27: the
        // true mean of the roots 0.5 lies at the low root (no outer slots)
        // and the rule's -b/(4a^2) = 0.125 lies below both: high slots.
        {4, -8, 39, -72, 27, {0, 0, 1, 1}, {n, n, 0.5, 1.5}},
        // Degree three with one real root: by the mean of the cubic's roots.
        // (x - 5)(x^2 + 1) = x^3 - 5x^2 + x - 5: -c/b = 5/1... mean 5/3 < 5: high.
        {0, 1, -5, 1, -5, {0, 0, 1, 2}, {n, n, 5, kInf}},
        // (x + 5)(x^2 + 1) = x^3 + 5x^2 + x + 5: mean -5/3 > -5: low.
        {0, 1, 5, 1, 5, {1, 0, 0, 2}, {-5, n, n, kInf}},
        // Degree two: both roots low, then two infinite slots.
        {0, 0, 1, -3, 2, {1, 1, 2, 2}, {1, 2, kInf, kInf}},
        // Degree two without real roots.
        {0, 0, 1, 0, 1, {0, 0, 2, 2}, {n, n, kInf, kInf}},
        // Degree one.
        {0, 0, 0, 2, -4, {1, 2, 2, 2}, {2, kInf, kInf, kInf}},
        // Degree zero.
        {0, 0, 0, 0, 3, {2, 2, 2, 2}, {kInf, kInf, kInf, kInf}},
    };
    for (const Case& c : cases) {
        solve_quartic(c.a, c.b, c.c, c.d, c.e);
        SCOPED_TRACE(testing::Message() << c.a << " " << c.b << " " << c.c << " " << c.d << " " << c.e);
        EXPECT_EQ(kinds(), c.kinds);
        for (int i = 0; i < 4; ++i)
            if (!std::isnan(c.slots[i])) {
                if (std::isinf(c.slots[i]))
                    EXPECT_EQ(quartic_roots[i], c.slots[i]);
                else
                    EXPECT_NEAR(quartic_roots[i], c.slots[i], 1e-9);
            }
    }
}

TEST(Quartic, StaleInfinityInUnwrittenSlotsCountsAsFinite)
{
    // Leave +infinity in every result area...
    solve_quadratic(0, 0, 5);
    solve_cubic(0, 0, 0, 5, true);
    // ...then a degree-two equation without real roots: the quadratic
    // writes nothing, so its two slots hold no root (not roots at infinity).
    solve_quartic(0, 0, 1, 0, 1);
    EXPECT_EQ(kinds(), (std::vector<uint8_t>{0, 0, 2, 2}));
    // A cubic with one real root writes only its root 0.
    solve_quartic(0, 1, -5, 1, -5);
    EXPECT_EQ(kinds(), (std::vector<uint8_t>{0, 0, 1, 2}));
}

TEST(Quartic, EvenQuarticsKeepTheirRoots)
{
    // x^4 + c x^2 + e with e < 0 makes the resolvent's root give w = 0.
    for (double scale : {1.0, 3.0, 1e-3, 250.0}) {
        // (x^2 - 4)(x^2 + 1) = x^4 - 3x^2 - 4
        solve_quartic(scale, 0, -3 * scale, 0, -4 * scale);
        EXPECT_EQ(kinds(), (std::vector<uint8_t>{1, 0, 0, 1})) << scale;
        EXPECT_NEAR(quartic_roots[0], -2, 1e-9);
        EXPECT_NEAR(quartic_roots[3], 2, 1e-9);
    }
}

// Real roots of generated polynomials against exact roots from sympy.
TEST(Solvers, RootsMatchReference)
{
    auto cases = read_reference_table("roots_reference.txt");
    ASSERT_GE(cases.size(), 150u);
    for (const auto& c : cases) {
        const std::vector<double>& k = c.fields[0];
        const std::vector<double>& expected = c.fields[1];
        SCOPED_TRACE(testing::Message() << "roots_reference.txt line " << c.line);
        int degree = static_cast<int>(k[0]);
        std::vector<double> got;
        if (degree == 2) {
            if (solve_quadratic(k[1], k[2], k[3]) == 2) got = {quad_roots[0], quad_roots[1]};
        } else if (degree == 3) {
            int n = solve_cubic(k[1], k[2], k[3], k[4], true);
            got.assign(cubic_roots, cubic_roots + n);
        } else {
            solve_quartic(k[1], k[2], k[3], k[4], k[5]);
            for (int i = 0; i < 4; ++i)
                if (quartic_root_kind[i] == kRootFinite) got.push_back(quartic_roots[i]);
            // Slot order is ascending order of the roots.
            EXPECT_TRUE(std::is_sorted(got.begin(), got.end()));
        }
        std::sort(got.begin(), got.end());
        ASSERT_EQ(got.size(), expected.size());
        for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], expected[i], root_tolerance(expected[i]));
    }
}
