#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "kernel/conics/conic.h"
#include "kernel/conics/conic_frame.h"
#include "kernel/conics/reference_table.h"

namespace {

struct five {
    double x[5];
    double y[5];
};

int16_t through(const five& p, int16_t mode = 0) { return conic_through_five_points(p.x, p.y, mode); }

// |Q(x, y)| relative to the size of the gradient there: roughly the distance
// from the curve in coordinate units.
double residual(double x, double y)
{
    double gx = 2 * (conic_a * x + conic_b * y + conic_d);
    double gy = 2 * (conic_b * x + conic_c * y + conic_e);
    return std::fabs(conic_value_at(x, y)) / std::hypot(gx, gy);
}

void set_equation(double A, double B, double C, double D, double E, double F)
{
    conic_a = A;
    conic_b = B;
    conic_c = C;
    conic_d = D;
    conic_e = E;
    conic_f = F;
    conic_delta = A * C - B * B;
    conic_det = A * C * F + 2 * B * D * E - C * D * D - A * E * E - B * B * F;
}

// Frame coordinates of a point.
dpoint in_frame(double x, double y)
{
    double dx = x - conic_origin.x, dy = y - conic_origin.y;
    return {dx * conic_axis_u.x + dy * conic_axis_u.y, dx * conic_axis_v.x + dy * conic_axis_v.y};
}

} // namespace

TEST(ConicThroughFivePoints, Circle)
{
    const double r = 37.5, cx = 120, cy = -40;
    five p;
    for (int i = 0; i < 5; ++i) {
        double t = 0.3 + i * 1.1;
        p.x[i] = cx + r * std::cos(t);
        p.y[i] = cy + r * std::sin(t);
    }
    EXPECT_EQ(through(p), kConicCircle);
    EXPECT_NEAR(conic_param_a, 1 / (r * r), 1e-12);
    EXPECT_EQ(conic_param_a, conic_param_b);
    EXPECT_NEAR(conic_origin.x, cx, 1e-8);
    EXPECT_NEAR(conic_origin.y, cy, 1e-8);
}

TEST(ConicThroughFivePoints, CoincidentAndCollinearPoints)
{
    // Two points within 1e-6 of each other.
    EXPECT_EQ(through({{0, 10, 20, 5, 0 + 5e-7}, {0, 3, 9, 20, 0}}), kConicCoincidence);
    EXPECT_EQ(conic_a, 0);
    EXPECT_EQ(conic_f, 0);

    // Points 0, 1, 2 on y = x; 3 and 4 on the line y = 10 - 2x.
    EXPECT_EQ(through({{0, 1, 3, 0, 5}, {0, 1, 3, 10, 0}}), kConicCrossingLines);
    EXPECT_EQ(conic_param_a, 210);
    EXPECT_EQ(conic_param_b, 34);
    EXPECT_NEAR(conic_origin.x, 10.0 / 3, 1e-12);
    EXPECT_NEAR(conic_origin.y, 10.0 / 3, 1e-12);

    // The collinear triple need not come first: 1, 3, 4 on x = 2.
    EXPECT_EQ(through({{0, 2, 7, 2, 2}, {0, 1, 5, 4, 9}}), kConicCrossingLines);
    EXPECT_EQ(conic_param_a, 1 + 30 + 400);
    EXPECT_EQ(conic_param_b, 2);
    EXPECT_NEAR(conic_a * 2 + conic_b * 5 + conic_c, 0, 1e-12);  // line 1 is x = 2

    // The other two points on a parallel line: exactly parallel gives kind 1.
    EXPECT_EQ(through({{0, 1, 3, 0, 4}, {0, 1, 3, 2, 6}}), kConicParallelLines);

    // Four points on one line.
    EXPECT_EQ(through({{0, 1, 2, 5, 3}, {0, 2, 4, 1, 6}}), kConicAlignment);
}

TEST(ConicThroughFivePoints, Directions)
{
    // Three points and two asymptotic directions: a hyperbola whose
    // asymptotes run along the two directions.
    five p{{0, 40, -10, 1, 1}, {0, 5, 30, 2, -1}};
    int16_t kind = through(p, 2);
    EXPECT_TRUE(kind == kConicHyperbola || kind == kConicRectHyperbola) << kind;
    for (int i = 0; i < 3; ++i) EXPECT_LT(residual(p.x[i], p.y[i]), 1e-9) << i;
    for (int i = 3; i < 5; ++i) {
        double dx = p.x[i], dy = p.y[i];
        double q = conic_a * dx * dx + 2 * conic_b * dx * dy + conic_c * dy * dy;
        EXPECT_NEAR(q / (std::fabs(conic_a) + std::fabs(conic_b) + std::fabs(conic_c)), 0, 1e-12) << i;
    }
    // Two parallel directions.
    EXPECT_EQ(through({{0, 40, -10, 1, -2}, {0, 5, 30, 2, -4}}, 2), kConicCoincidence);

    // Four points and the direction of the axis: a parabola.
    five q{{0, 2, -2, 4, 0}, {0, 4, 4, 16, 1}};
    EXPECT_EQ(through(q, 1), kConicParabola);
    EXPECT_NEAR(conic_origin.x, 0, 1e-9);
    EXPECT_NEAR(conic_origin.y, 0, 1e-9);
    EXPECT_NEAR(conic_param_a, 0.5, 1e-9);

    // A direction along the line of two points: collinear with them.
    EXPECT_EQ(through({{0, 10, 3, 50, 1}, {0, 0, 9, -7, 0}}, 1), kConicCrossingLines);
    EXPECT_EQ(conic_param_a, 0 + 10 + 400);
}

TEST(ConicThroughFivePoints, RectangularHyperbolaAndParabola)
{
    // x^2 - y^2 = 1
    five h;
    const double t[5] = {0, 0.5, -0.8, 1.3, 0.2};
    for (int i = 0; i < 5; ++i) {
        double s = i < 3 ? 1 : -1;
        h.x[i] = s * std::cosh(t[i]);
        h.y[i] = std::sinh(t[i]);
    }
    EXPECT_EQ(through(h), kConicRectHyperbola);
    EXPECT_NEAR(conic_param_a, 1, 1e-9);
    EXPECT_NEAR(conic_param_b, -1, 1e-9);

    // y = x^2
    EXPECT_EQ(through({{0, 1, -1, 2, -3}, {0, 1, 1, 4, 9}}), kConicParabola);
    EXPECT_NEAR(conic_axis_point.x, 0, 1e-9);
    EXPECT_NEAR(conic_axis_point.y, 0, 1e-9);
    EXPECT_NEAR(conic_param_a, 0.5, 1e-9);
    EXPECT_NEAR(conic_axis_u.x, 0, 1e-12);
    EXPECT_NEAR(conic_axis_u.y, 1, 1e-12);
}

// Generated ellipses, hyperbolas and parabolas (random size, rotation and
// position): coefficients against the null vector of the five-point system,
// parameters against an eigen-solver or the generating parameter, and every
// defining point on the curve in the computed frame.
TEST(ConicThroughFivePoints, MatchesReference)
{
    auto cases = read_reference_table("conic_reference.txt");
    ASSERT_GE(cases.size(), 30u);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "conic_reference.txt line " << c.line << " " << c.word);
        five p;
        for (int i = 0; i < 5; ++i) {
            p.x[i] = c.fields[0][2 * i];
            p.y[i] = c.fields[0][2 * i + 1];
        }
        const std::vector<double>& ref = c.fields[1];
        int16_t kind = through(p);
        const int16_t expected_kind = c.word == "ellipse"     ? kConicEllipse
                                      : c.word == "hyperbola" ? kConicHyperbola
                                                              : kConicParabola;
        EXPECT_EQ(kind, expected_kind);

        // Same coefficient vector up to scale and sign.
        double got[6] = {conic_a, conic_b, conic_c, conic_d, conic_e, conic_f};
        double norm = 0, dot = 0;
        for (int i = 0; i < 6; ++i) {
            norm += got[i] * got[i];
            dot += got[i] * ref[i];
        }
        norm = std::sqrt(norm);
        double sign = dot < 0 ? -1 : 1;
        for (int i = 0; i < 6; ++i) EXPECT_NEAR(sign * got[i] / norm, ref[i], 1e-7) << "coefficient " << i;

        const double pa = c.fields[2][0], pb = c.fields[2][1];
        // Each point within 1e-6 (coordinate units) of the curve given by
        // the frame: the frame equation's value over its gradient.
        const double a = conic_param_a, b = conic_param_b;
        for (int i = 0; i < 5; ++i) {
            dpoint f = in_frame(p.x[i], p.y[i]);
            double off = kind == kConicParabola
                             ? std::fabs(f.y * f.y - 2 * a * f.x) / std::hypot(2 * a, 2 * f.y)
                             : std::fabs(f.x * f.x * a + f.y * f.y * b - 1) / std::hypot(2 * a * f.x, 2 * b * f.y);
            EXPECT_LT(off, 1e-6) << "point " << i;
        }
        if (kind == kConicParabola) {
            EXPECT_NEAR(conic_param_a, pa, 1e-7 * pa);
        } else {
            EXPECT_NEAR(conic_param_a, pa, 1e-7 * std::fabs(pa));
            EXPECT_NEAR(conic_param_b, pb, 1e-7 * std::fabs(pb));
        }
        // u and v: a unit vector and its quarter turn.
        EXPECT_NEAR(std::hypot(conic_axis_u.x, conic_axis_u.y), 1, 1e-12);
        EXPECT_EQ(conic_axis_v.x, -conic_axis_u.y);
        EXPECT_EQ(conic_axis_v.y, conic_axis_u.x);
    }
}

TEST(ConicAxes, AxisParallelCases)
{
    // x^2/9 + y^2/4 = 1
    set_equation(1.0 / 9, 0, 0.25, 0, 0, -1);
    conic_axes();
    EXPECT_EQ(conic_axis_u.x, -1);
    EXPECT_EQ(conic_axis_u.y, 0);
    EXPECT_EQ(conic_axis_v.x, 0);
    EXPECT_EQ(conic_axis_v.y, -1);
    EXPECT_NEAR(conic_param_a, 1.0 / 9, 1e-15);
    EXPECT_NEAR(conic_param_b, 0.25, 1e-15);

    // Major axis along y.
    set_equation(0.25, 0, 1.0 / 9, 0, 0, -1);
    conic_axes();
    EXPECT_EQ(conic_axis_u.x, 0);
    EXPECT_EQ(conic_axis_u.y, -1);
    EXPECT_NEAR(conic_param_a, 1.0 / 9, 1e-15);
    EXPECT_NEAR(conic_param_b, 0.25, 1e-15);

    // Hyperbolas x^2/4 - y^2 = 1 and y^2/4 - x^2 = 1: u along the transverse axis.
    set_equation(0.25, 0, -1, 0, 0, -1);
    conic_axes();
    EXPECT_EQ(conic_axis_u.x, 1);
    EXPECT_NEAR(conic_param_a, 0.25, 1e-15);
    EXPECT_NEAR(conic_param_b, -1, 1e-15);
    set_equation(-1, 0, 0.25, 0, 0, -1);
    conic_axes();
    EXPECT_EQ(conic_axis_u.y, -1);
    EXPECT_NEAR(conic_param_a, 0.25, 1e-15);
    EXPECT_NEAR(conic_param_b, -1, 1e-15);
}

TEST(ParabolaFrame, AxisCasesAndSingularVertex)
{
    // y = x^2
    set_equation(1, 0, 0, 0, -0.5, 0);
    ASSERT_TRUE(parabola_frame());
    EXPECT_EQ(conic_origin.x, 0);
    EXPECT_EQ(conic_origin.y, 0);
    EXPECT_EQ(conic_axis_u.x, 0);
    EXPECT_EQ(conic_axis_u.y, 1);
    EXPECT_EQ(conic_param_a, 0.5);

    // -(x - 3) = (y - 1)^2 / 4, written with a negative C: opens towards -x.
    set_equation(0, 0, -0.25, -0.5, 0.25, 2.75);
    ASSERT_TRUE(parabola_frame());
    EXPECT_NEAR(conic_origin.x, 3, 1e-12);
    EXPECT_NEAR(conic_origin.y, 1, 1e-12);
    EXPECT_EQ(conic_axis_u.x, -1);
    EXPECT_NEAR(conic_param_a, 2, 1e-12);

    // No quadratic part: no vertex, nothing divided by zero.
    set_equation(0, 0, 0, 1, 1, 0);
    dpoint before = conic_origin;
    EXPECT_FALSE(parabola_frame());
    EXPECT_EQ(conic_origin.x, before.x);
}

TEST(ConicClassify, Kinds)
{
    struct Case {
        double A, B, C, D, E, F;
        int16_t kind;
    };
    const Case cases[] = {
        {0, 0, 0, 1, 0, 3, kConicLine},
        {0, 0, 0, 0, 0, 3, kConicNoPoint},
        {0, 0, 0, 0, 0, 0, kConicEveryPoint},
        {1, 0, 1, 0, 0, 0, kConicPoint},
        {1, 0, 1, 0, 0, 1, kConicImaginaryEllipse},
        {1, 0, 1, -2, 0, -3, kConicCircle},
        {1, 0.2, 2, 0, 0, -5, kConicEllipse},
        {1, 0, -1, 0, 0, 0, kConicCrossingLines},
        {1, 0, -1, 0, 0, -1, kConicRectHyperbola},
        {1, 0, -3, 0, 0, -1, kConicHyperbola},
        {1, 0, 0, 0, -0.5, 0, kConicParabola},
        {1, 0, 0, -1, 0, 1, kConicDoubleLine},   // (x - 1)^2
        {1, 0, 0, 0, 0, 1, kConicNothing},       // x^2 + 1
        {1, 0, 0, -2, 0, 3, kConicParallelLines}, // (x - 1)(x - 3)
        {0, 0, 1, 0, -2, 3, kConicParallelLines}, // (y - 1)(y - 3)
    };
    for (const Case& c : cases) {
        set_equation(c.A, c.B, c.C, c.D, c.E, c.F);
        EXPECT_EQ(conic_classify(), c.kind) << c.A << " " << c.B << " " << c.C << " " << c.D << " " << c.E << " " << c.F;
    }
    // Parallel lines in one variable are rewritten as two lines.
    set_equation(1, 0, 0, -2, 0, 3);
    conic_classify();
    EXPECT_NEAR(-conic_c / conic_a, 3, 1e-12);
    EXPECT_NEAR(-conic_f / conic_d, 1, 1e-12);
    set_equation(0, 0, 1, 0, -2, 3);
    conic_classify();
    EXPECT_NEAR(-conic_c / conic_b, 3, 1e-12);
    EXPECT_NEAR(-conic_f / conic_e, 1, 1e-12);
}

// Random conics through five random points: every point lies on the result.
TEST(ConicThroughFivePoints, RandomPointsLieOnTheConic)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> coord(-300, 300);
    for (int n = 0; n < 300; ++n) {
        five p;
        for (int i = 0; i < 5; ++i) {
            p.x[i] = coord(rng);
            p.y[i] = coord(rng);
        }
        int16_t kind = through(p);
        ASSERT_TRUE(kind == kConicEllipse || kind == kConicHyperbola || kind == kConicParabola ||
                    kind == kConicRectHyperbola || kind == kConicCircle)
            << kind;
        for (int i = 0; i < 5; ++i) EXPECT_LT(residual(p.x[i], p.y[i]), 1e-8) << n << " " << i;
    }
}
