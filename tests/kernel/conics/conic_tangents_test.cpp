// Tangent points of conics, the steps left in an octant, the ellipse's box
// and vector quadrants.
#include <gtest/gtest.h>

#include <cmath>

#include "kernel/conics/conic.h"
#include "kernel/conics/conic_fixture.h"
#include "kernel/conics/conic_tangents.h"

namespace {

constexpr double kInf = HUGE_VAL;

void fill_slots(double value)
{
    for (int k = 0; k < 8; ++k) tangent_point_x[k] = tangent_point_y[k] = value;
}

// The workspace from a conic's values, moved to (x0, y0) as the tracer does.
void load_moved(const test_conic& c, double x0, double y0)
{
    conic_load_equation(c.values.data());
    trace_start_x = x0;
    trace_start_y = y0;
    conic_d = conic_a * x0 + conic_b * y0 + conic_d;
    conic_e = conic_b * x0 + conic_c * y0 + conic_e;
}

} // namespace

TEST(ConicTangents, EllipseBoxWhereverItsFirstPointLies)
{
    for (double start = 0; start < 6.2; start += 0.7) {
        test_conic c;
        for (int i = 0; i < 5; ++i) c.set(i, 3 * std::cos(start + 1.1 * i), 2 * std::sin(start + 1.1 * i));
        ASSERT_EQ(c.compute(), kConicEllipse);
        tagRECT box{};
        ASSERT_TRUE(conic_bounding_rect(&c.conic, &box)) << start;
        EXPECT_EQ(box.left, -3) << start;
        EXPECT_EQ(box.top, -2) << start;
        EXPECT_EQ(box.right, 3) << start;
        EXPECT_EQ(box.bottom, 2) << start;
    }
    // Truncated toward zero, on both sides of the origin.
    test_conic c;
    for (int i = 0; i < 5; ++i) c.set(i, 10.5 + 40 * std::cos(1.1 * i), -7.25 + 20 * std::sin(1.1 * i));
    ASSERT_EQ(c.compute(), kConicEllipse);
    tagRECT box{};
    ASSERT_TRUE(conic_bounding_box(&box, &c.conic));
    EXPECT_EQ(box.left, -29);
    EXPECT_EQ(box.top, -27);
    EXPECT_EQ(box.right, 50);
    EXPECT_EQ(box.bottom, 12);
    // Every tangent point lies on the ellipse, diagonal ones included.
    conic_load_equation(c.values.data());
    for (int k = 0; k < 8; ++k) EXPECT_NEAR(conic_value_at(tangent_point_x[k], tangent_point_y[k]), 0, 1e-9) << k;
}

TEST(ConicTangents, OnlyEllipsesHaveABoxForTheSelection)
{
    test_conic h;
    const double xs[5] = {5, 10, 20, -4, -25};
    for (int i = 0; i < 5; ++i) h.set(i, xs[i], 100 / xs[i]);
    ASSERT_EQ(h.compute(), kConicRectHyperbola);
    tagRECT box{1, 2, 3, 4};
    EXPECT_FALSE(conic_bounding_rect(&h.conic, &box));
    EXPECT_EQ(box.left, 1);

    test_conic e;
    for (int i = 0; i < 5; ++i) e.set(i, 3 * std::cos(1.1 * i), 2 * std::sin(1.1 * i));
    e.compute();
    e.conic.state |= OBJ_UNDEFINED;
    EXPECT_FALSE(conic_bounding_rect(&e.conic, &box));
}

TEST(ConicTangents, HyperbolaFamilyWithoutTangentRunsToTheWindowEdge)
{
    // x^2/400 - y^2/100 = 1 has no horizontal tangent.
    test_conic c;
    const double ts[5] = {-1.0, 0.2, 0.9, -0.5, 0.6};
    for (int i = 0; i < 5; ++i) c.set(i, (i < 3 ? 20 : -20) * std::cosh(ts[i]), 10 * std::sinh(ts[i]));
    ASSERT_EQ(c.compute(), kConicHyperbola);
    fill_slots(-1);
    load_moved(c, c.point_values[0].h, c.point_values[0].v);
    conic_tangent_points(0);
    EXPECT_EQ(tangent_point_x[2], kInf);
    EXPECT_EQ(tangent_point_y[2], kInf);
    EXPECT_EQ(tangent_point_x[6], kInf);
    EXPECT_EQ(tangent_point_y[6], kInf);
    // Vertical tangents at the vertices, the smaller x first.
    EXPECT_NEAR(tangent_point_x[0], -20, 1e-9);
    EXPECT_NEAR(tangent_point_x[4], 20, 1e-9);
    EXPECT_NEAR(tangent_point_y[0], 0, 1e-9);

    // Octant 0 targets slot 2 (x): without it, the right edge less one.
    conic_window[0] = 0, conic_window[1] = 0, conic_window[2] = 640, conic_window[3] = 480;
    conic_branch = 0;
    trace_last_octant = 0;
    EXPECT_EQ(conic_tangent_limit(3, 0, 0), static_cast<int32_t>(std::floor(std::fabs(639 - trace_start_x - 3) + 0.5)));
    // Octant 5 targets y7 then; with the branch, y4 (the vertex at y = 0).
    conic_branch = 1;
    EXPECT_EQ(conic_tangent_limit(0, 2, 5), static_cast<int32_t>(std::floor(std::fabs(0 - trace_start_y - 2) + 0.5)));
    conic_branch = 0;
    // The last octant of a piece counts to the piece's end.
    trace_last_octant = 1;
    trace_end_dx = 10.4;
    EXPECT_EQ(conic_tangent_limit(3, 0, 0), 7);
    trace_last_octant = 0;
    EXPECT_EQ(conic_tangent_limit(3, 0, 8), 0);
}

TEST(ConicTangents, ParabolaHasOneTangentPointPerFamily)
{
    // y = x^2 / 40, turned a little.
    test_conic c;
    const double xs[5] = {-30, -10, 5, 20, 40};
    for (int i = 0; i < 5; ++i) {
        const double x = xs[i], y = x * x / 40;
        c.set(i, 100 + x * std::cos(0.2) - y * std::sin(0.2), 50 + x * std::sin(0.2) + y * std::cos(0.2));
    }
    ASSERT_EQ(c.compute(), kConicParabola);
    fill_slots(-12345);
    load_moved(c, c.point_values[1].h, c.point_values[1].v);
    conic_tangent_points(0);
    conic_load_equation(c.values.data());
    for (int k = 0; k < 4; ++k) {
        ASSERT_TRUE(std::isfinite(tangent_point_x[k])) << k;
        EXPECT_NEAR(conic_value_at(tangent_point_x[k], tangent_point_y[k]), 0, 1e-9) << k;
    }
    for (int k = 4; k < 8; ++k) EXPECT_EQ(tangent_point_x[k], -12345) << k;
    // The horizontal tangent is at the lowest point: the gradient is vertical.
    const double gx = conic_a * tangent_point_x[2] + conic_b * tangent_point_y[2] + conic_d;
    EXPECT_NEAR(gx, 0, 1e-12);
}

TEST(ConicTangents, ParabolaPairWithoutSquareOrLinearTermIsInfinite)
{
    conic_kind = kConicParabola;
    tangent_quadratic[0] = 2;
    tangent_quadratic[1] = 0;
    tangent_quadratic[2] = 0;
    conic_tangent_pair(1, 1, 1);
    for (double v : tangent_pair) EXPECT_EQ(v, kInf);
    tangent_quadratic[0] = 0;
    conic_tangent_pair(1, 1, 1);
    for (double v : tangent_pair) EXPECT_EQ(v, kInf);
    // A finite pair stays: beta = 1, gamma = 4 gives t = -2.
    tangent_quadratic[1] = 1;
    tangent_quadratic[2] = 4;
    conic_tangent_pair(1, 1, 1);
    EXPECT_EQ(tangent_pair[0], -2);
    EXPECT_EQ(tangent_pair[1], 1);
    EXPECT_EQ(tangent_pair[2], kInf);

    // Slots of NaN or -infinity count as no tangent: the window edge.
    conic_window[0] = 0, conic_window[1] = 0, conic_window[2] = 640, conic_window[3] = 480;
    trace_start_x = trace_start_y = 0;
    conic_branch = 0;
    trace_last_octant = 0;
    tangent_point_y[3] = NAN;
    EXPECT_EQ(conic_tangent_limit(0, 4, 1), 475);
    tangent_point_y[3] = -kInf;
    EXPECT_EQ(conic_tangent_limit(0, 4, 1), 475);
    tangent_point_y[3] = 1e300;  // far beyond any window: saturated
    EXPECT_EQ(conic_tangent_limit(0, 4, 1), 2147483647);
}

TEST(ConicTangents, VectorQuadrant)
{
    struct {
        double x, y;
        int16_t q;
    } cases[] = {{0, 0, 1}, {1, 0, 0}, {1, 2, 0}, {1, -2, 3}, {0, 5, 1}, {0, -5, 3},
                 {-1, 2, 1}, {-1, 0, 2}, {-1, -2, 2}};
    for (const auto& k : cases) EXPECT_EQ(vector_quadrant(k.x, k.y), k.q) << k.x << "," << k.y;
}
