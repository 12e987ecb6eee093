#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "kernel/conics/conic.h"
#include "kernel/conics/conic_fixture.h"
#include "kernel/objects/intersections.h"

namespace {

valeur pt(double h, double v, uint8_t flags = 0)
{
    valeur r{};
    r.h = h;
    r.v = v;
    r.infini_inexist_indetermine = flags;
    return r;
}

valeur with_radius(double h, double v, double r)
{
    valeur x = pt(h, v);
    x.info.rayon = r;
    return x;
}

bool exists(const valeur& v) { return v.infini_inexist_indetermine == 0; }

// Distance-like residual of a point on the conic whose values are given.
double conic_residual(const valeur* conic, double x, double y)
{
    conic_load_equation(conic);
    double gx = 2 * (conic_a * x + conic_b * y + conic_d);
    double gy = 2 * (conic_b * x + conic_c * y + conic_e);
    return std::fabs(conic_value_at(x, y)) / std::hypot(gx, gy);
}

void ellipse_points(test_conic& c, double cx, double cy, double a, double b, double angle)
{
    for (int i = 0; i < 5; ++i) {
        double t = 0.2 + i * 1.3;
        double x = a * std::cos(t), y = b * std::sin(t);
        c.set(i, cx + x * std::cos(angle) - y * std::sin(angle), cy + x * std::sin(angle) + y * std::cos(angle));
    }
}

} // namespace

TEST(LineLineIntersection, Cases)
{
    valeur out{};
    valeur l1[2] = {pt(0, 0), pt(1, 1)};
    valeur l2[2] = {pt(0, 4), pt(1, -1)};
    EXPECT_EQ(line_line_intersection(l1, l2, &out), 1);
    EXPECT_NEAR(out.h, 2, 1e-12);
    EXPECT_NEAR(out.v, 2, 1e-12);
    EXPECT_TRUE(exists(out));

    // Parallel and distinct: the first line's direction at infinity.
    valeur l3[2] = {pt(0, 3), pt(-2, -2)};
    EXPECT_EQ(line_line_intersection(l1, l3, &out), 1);
    EXPECT_EQ(out.infini_inexist_indetermine, VAL_AT_INFINITY);
    EXPECT_EQ(out.h, 1);
    EXPECT_EQ(out.v, 1);
    // The same line twice.
    valeur l4[2] = {pt(5, 5), pt(3, 3)};
    EXPECT_EQ(line_line_intersection(l1, l4, &out), 0);
    // The line at infinity meets a line in its direction.
    valeur inf[2] = {pt(1, 0, VAL_AT_INFINITY), pt(0, 1)};
    EXPECT_EQ(line_line_intersection(inf, l2, &out), 1);
    EXPECT_EQ(out.infini_inexist_indetermine, VAL_AT_INFINITY);
    EXPECT_EQ(out.h, 1);
    EXPECT_EQ(out.v, -1);
    EXPECT_EQ(line_line_intersection(inf, inf, &out), 0);
}

TEST(TwoPointLinesIntersection, Cases)
{
    valeur out{};
    valeur a = pt(0, 0), b = pt(2, 2), c = pt(0, 4), d = pt(4, 0);
    two_point_lines_intersection(&a, &b, &c, &d, &out);
    EXPECT_EQ(out.infini_inexist_indetermine, 0);
    EXPECT_NEAR(out.h, 2, 1e-12);
    EXPECT_NEAR(out.v, 2, 1e-12);
    // A point at infinity: the line through d with direction (1, 1).
    valeur dir = pt(1, 1, VAL_AT_INFINITY);
    two_point_lines_intersection(&c, &d, &dir, &d, &out);
    EXPECT_EQ(out.infini_inexist_indetermine, 0);
    EXPECT_NEAR(out.h, 4, 1e-12);
    EXPECT_NEAR(out.v, 0, 1e-12);
    // Parallel: at infinity and not existing; the same line: not existing.
    valeur e = pt(0, 1), f = pt(2, 3);
    two_point_lines_intersection(&a, &b, &e, &f, &out);
    EXPECT_EQ(out.infini_inexist_indetermine, VAL_AT_INFINITY | VAL_NOT_EXIST);
    valeur g = pt(5, 5);
    two_point_lines_intersection(&a, &b, &b, &g, &out);
    EXPECT_EQ(out.infini_inexist_indetermine, VAL_NOT_EXIST);
    // Horizontal parallels are parallels, not one line.
    valeur h1 = pt(0, 0), h2 = pt(1, 0), h3 = pt(0, 10), h4 = pt(1, 10);
    two_point_lines_intersection(&h1, &h2, &h3, &h4, &out);
    EXPECT_EQ(out.infini_inexist_indetermine, VAL_AT_INFINITY | VAL_NOT_EXIST);
}

TEST(LineCircleIntersection, RootOrderTangentAndMiss)
{
    valeur circle[2] = {pt(0, 0), with_radius(2, 0, 2)};
    valeur line[2] = {pt(-7, 0), pt(1, 0)};
    valeur out[2] = {};
    ASSERT_EQ(line_circle_intersection(line, circle, out, kAllRoots), 1);
    EXPECT_NEAR(out[0].h, -2, 1e-12);
    EXPECT_NEAR(out[1].h, 2, 1e-12);
    ASSERT_EQ(line_circle_intersection(line, circle, out, 0), 1);
    EXPECT_NEAR(out[0].h, -2, 1e-12);
    ASSERT_EQ(line_circle_intersection(line, circle, out, 7), 1);
    EXPECT_NEAR(out[0].h, 2, 1e-12);
    // Reversing the direction exchanges the roots.
    line[1] = pt(-1, 0);
    line_circle_intersection(line, circle, out, kAllRoots);
    EXPECT_NEAR(out[0].h, 2, 1e-12);
    EXPECT_NEAR(out[1].h, -2, 1e-12);

    // Tangent, and 1e-11 away from tangent: one point twice.
    for (double off : {0.0, 1e-11, -1e-11}) {
        valeur tangent[2] = {pt(-5, 2 + off), pt(1, 0)};
        ASSERT_EQ(line_circle_intersection(tangent, circle, out, kAllRoots), 1) << off;
        EXPECT_EQ(out[0].h, out[1].h);
        EXPECT_NEAR(out[0].h, 0, 1e-9);
    }
    valeur miss[2] = {pt(0, 3), pt(1, 0)};
    EXPECT_EQ(line_circle_intersection(miss, circle, out, kAllRoots), 0);

    // A circle through infinity (a straight line): one crossing and the
    // line's direction at infinity.
    valeur straight[2] = {pt(1, 0, VAL_AT_INFINITY), pt(3, 0)};  // the vertical line x = 3
    ASSERT_EQ(line_circle_intersection(line, straight, out, kAllRoots), 1);
    EXPECT_EQ(out[0].infini_inexist_indetermine, VAL_AT_INFINITY);
    EXPECT_TRUE(exists(out[1]));
    EXPECT_NEAR(out[1].h, 3, 1e-12);
}

TEST(CircleCircleIntersection, RadicalLineOrder)
{
    valeur c1[2] = {pt(0, 0), with_radius(1, 0, 1)};
    valeur c2[2] = {pt(1, 0), with_radius(2, 0, 1)};
    valeur out[2] = {};
    ASSERT_EQ(circle_circle_intersection(c1, c2, out, kAllRoots), 1);
    EXPECT_NEAR(out[0].h, 0.5, 1e-12);
    EXPECT_NEAR(out[0].v, std::sqrt(3) / 2, 1e-12);
    EXPECT_NEAR(out[1].h, 0.5, 1e-12);
    EXPECT_NEAR(out[1].v, -std::sqrt(3) / 2, 1e-12);
    ASSERT_EQ(circle_circle_intersection(c2, c1, out, kAllRoots), 1);
    EXPECT_NEAR(out[0].v, -std::sqrt(3) / 2, 1e-12);
    EXPECT_NEAR(out[1].v, std::sqrt(3) / 2, 1e-12);

    // Concentric, equal or not.
    valeur c3[2] = {pt(0, 0), with_radius(3, 0, 3)};
    EXPECT_EQ(circle_circle_intersection(c1, c3, out, kAllRoots), 0);
    EXPECT_EQ(circle_circle_intersection(c1, c1, out, kAllRoots), 0);
}

// Seeded random circles: every crossing lies on both circles.
TEST(CircleCircleIntersection, RandomCrossingsLieOnBoth)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> coord(-200, 200), radius(5, 150);
    int found = 0;
    for (int n = 0; n < 500; ++n) {
        valeur c1[2] = {pt(coord(rng), coord(rng)), with_radius(0, 0, radius(rng))};
        valeur c2[2] = {pt(coord(rng), coord(rng)), with_radius(0, 0, radius(rng))};
        valeur out[2] = {};
        if (!circle_circle_intersection(c1, c2, out, kAllRoots)) continue;
        ++found;
        for (const valeur& o : out) {
            EXPECT_NEAR(std::hypot(o.h - c1[0].h, o.v - c1[0].v), c1[1].info.rayon, 1e-7);
            EXPECT_NEAR(std::hypot(o.h - c2[0].h, o.v - c2[0].v), c2[1].info.rayon, 1e-7);
        }
    }
    EXPECT_GT(found, 100);
}

TEST(StraightConicIntersection, ParabolaAxisAndRandomLines)
{
    // y = x^2 through five points.
    test_conic parabola;
    const double xs[5] = {0, 1, -1, 2, -3};
    for (int i = 0; i < 5; ++i) parabola.set(i, xs[i], xs[i] * xs[i]);
    ASSERT_EQ(parabola.compute(), kConicParabola);
    valeur out[2] = {};
    // A line parallel to the axis: one finite point, then infinity.
    valeur axis_parallel[2] = {pt(1.5, -10), pt(0, 1)};
    ASSERT_EQ(straight_conic_intersection(axis_parallel, parabola.values.data(), out, kAllRoots), 1);
    EXPECT_TRUE(exists(out[0]));
    EXPECT_NEAR(out[0].h, 1.5, 1e-9);
    EXPECT_NEAR(out[0].v, 2.25, 1e-9);
    EXPECT_EQ(out[1].infini_inexist_indetermine, VAL_AT_INFINITY);
    ASSERT_EQ(straight_conic_intersection(axis_parallel, parabola.values.data(), out, 1), 1);
    EXPECT_EQ(out[0].infini_inexist_indetermine, VAL_AT_INFINITY);

    // Random lines against a rotated ellipse: both roots on the conic and
    // on the line, root 0 first along the line's direction.
    test_conic ellipse;
    ellipse_points(ellipse, 100, 50, 80, 30, 0.7);
    ASSERT_EQ(ellipse.compute(), kConicEllipse);
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> coord(0, 200), angle(0, 6.283);
    int found = 0;
    for (int n = 0; n < 300; ++n) {
        double a = angle(rng);
        valeur line[2] = {pt(coord(rng), coord(rng) - 50), pt(std::cos(a) * 3, std::sin(a) * 3)};
        if (!straight_conic_intersection(line, ellipse.values.data(), out, kAllRoots)) continue;
        ++found;
        for (const valeur& o : out) {
            ASSERT_TRUE(exists(o));
            EXPECT_LT(conic_residual(ellipse.values.data(), o.h, o.v), 1e-7);
            double cross = (o.h - line[0].h) * line[1].v - (o.v - line[0].v) * line[1].h;
            EXPECT_NEAR(cross / 3, 0, 1e-7);
        }
        double t0 = (out[0].h - line[0].h) * line[1].h + (out[0].v - line[0].v) * line[1].v;
        double t1 = (out[1].h - line[0].h) * line[1].h + (out[1].v - line[0].v) * line[1].v;
        EXPECT_LE(t0, t1 + 1e-9);
    }
    EXPECT_GT(found, 50);
}

TEST(StraightConicIntersection, SingleLineConic)
{
    // Kind 14 (a line and the line at infinity): one finite crossing.
    test_conic c;
    c.set(0, 0, 0);
    c.set(1, 1, 0, true);
    c.set(2, 0, 1, true);
    c.set(3, 10, 10);
    c.set(4, 1, 1, true);
    ASSERT_EQ(c.compute(), kConicLine);
    valeur line[2] = {pt(0, 4), pt(1, 0)};
    valeur out[2] = {};
    ASSERT_EQ(straight_conic_intersection(line, c.values.data(), out, kAllRoots), 1);
    EXPECT_TRUE(exists(out[0]));
    EXPECT_NEAR(out[0].h, 4, 1e-12);
    EXPECT_NEAR(out[0].v, 4, 1e-12);
    EXPECT_EQ(out[1].infini_inexist_indetermine, VAL_AT_INFINITY);
}

TEST(ConicConicIntersection, LinePairsNumberedByLines)
{
    // Pair 1: y = 0 (points 0, 1, 2) and x = 0 (points 3, 4).
    test_conic p1, p2;
    p1.set(0, 1, 0);
    p1.set(1, 2, 0);
    p1.set(2, 3, 0);
    p1.set(3, 0, 5);
    p1.set(4, 0, 7);
    ASSERT_EQ(p1.compute(), kConicCrossingLines);
    // Pair 2: y = 10 (points 0, 1, 2) and x = 20 (points 3, 4).
    p2.set(0, 1, 10);
    p2.set(1, 2, 10);
    p2.set(2, 3, 10);
    p2.set(3, 20, 1);
    p2.set(4, 20, 2);
    ASSERT_EQ(p2.compute(), kConicCrossingLines);
    valeur out[4] = {};
    ASSERT_EQ(conic_conic_intersection(p1.values.data(), p2.values.data(), out, kAllRoots), 1);
    // Root 0: y=0 with y=10 (parallel), 1: y=0 with x=20, 2: x=0 with y=10, 3: x=0 with x=20.
    EXPECT_EQ(out[0].infini_inexist_indetermine, VAL_AT_INFINITY | VAL_NOT_EXIST);
    EXPECT_TRUE(exists(out[1]));
    EXPECT_NEAR(out[1].h, 20, 1e-12);
    EXPECT_NEAR(out[1].v, 0, 1e-12);
    EXPECT_NEAR(out[2].h, 0, 1e-12);
    EXPECT_NEAR(out[2].v, 10, 1e-12);
    EXPECT_EQ(out[3].infini_inexist_indetermine, VAL_AT_INFINITY | VAL_NOT_EXIST);
    ASSERT_EQ(conic_conic_intersection(p1.values.data(), p2.values.data(), out, 2), 1);
    EXPECT_NEAR(out[0].v, 10, 1e-12);
}

// Seeded random ellipses, and circles with ellipses: every root found lies
// on both curves, and the same pair gives the same roots in the same slots.
TEST(ConicConicIntersection, RandomRootsLieOnBoth)
{
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> centre(50, 250), axis(20, 120), angle(0, 3.14);
    int roots = 0;
    for (int n = 0; n < 200; ++n) {
        test_conic e1, e2;
        ellipse_points(e1, centre(rng), centre(rng), axis(rng), axis(rng), angle(rng));
        ellipse_points(e2, centre(rng), centre(rng), axis(rng), axis(rng), angle(rng));
        if (e1.compute() != kConicEllipse || e2.compute() != kConicEllipse) continue;
        valeur out[4] = {};
        conic_conic_intersection(e1.values.data(), e2.values.data(), out, kAllRoots);
        for (int k = 0; k < 4; ++k) {
            if (!exists(out[k])) continue;
            ++roots;
            EXPECT_LT(conic_residual(e1.values.data(), out[k].h, out[k].v), 1e-6) << n << " " << k;
            EXPECT_LT(conic_residual(e2.values.data(), out[k].h, out[k].v), 1e-6) << n << " " << k;
            valeur one{};
            ASSERT_EQ(conic_conic_intersection(e1.values.data(), e2.values.data(), &one, k), 1);
            EXPECT_EQ(one.h, out[k].h);
            EXPECT_EQ(one.v, out[k].v);
        }

        valeur circle[2] = {pt(centre(rng), centre(rng)), with_radius(0, 0, axis(rng))};
        if (circle_conic_intersection(circle, e1.values.data(), out, kAllRoots)) {
            for (int k = 0; k < 4; ++k) {
                if (!exists(out[k])) continue;
                ++roots;
                EXPECT_LT(conic_residual(e1.values.data(), out[k].h, out[k].v), 1e-6) << n << " " << k;
                EXPECT_NEAR(std::hypot(out[k].h - circle[0].h, out[k].v - circle[0].v), circle[1].info.rayon, 1e-6);
            }
        }
    }
    EXPECT_GT(roots, 200);
}

TEST(CircleConicIntersection, LinePairAndSingleLine)
{
    test_conic pair;
    pair.set(0, -5, 0);
    pair.set(1, 1, 0);
    pair.set(2, 3, 0);
    pair.set(3, 0, 5);
    pair.set(4, 0, 7);
    ASSERT_EQ(pair.compute(), kConicCrossingLines);
    valeur circle[2] = {pt(0, 0), with_radius(2, 0, 2)};
    valeur out[4] = {};
    EXPECT_EQ(circle_conic_intersection(circle, pair.values.data(), out, kAllRoots), 2);
    // Line 1 runs from point 0 to point 1 (+x): (-2, 0) first.
    EXPECT_NEAR(out[0].h, -2, 1e-12);
    EXPECT_NEAR(out[1].h, 2, 1e-12);
    // Line 2 from point 4 to point 3 (its units digit first): -y.
    EXPECT_NEAR(out[2].v, 2, 1e-12);
    EXPECT_NEAR(out[3].v, -2, 1e-12);
    // A circle through infinity meets a proper conic nowhere.
    test_conic e;
    ellipse_points(e, 0, 0, 5, 3, 0.2);
    ASSERT_EQ(e.compute(), kConicEllipse);
    valeur straight[2] = {pt(1, 0, VAL_AT_INFINITY), pt(3, 0)};
    EXPECT_EQ(circle_conic_intersection(straight, e.values.data(), out, kAllRoots), 0);
    EXPECT_EQ(out[0].infini_inexist_indetermine, VAL_NOT_EXIST);
}
