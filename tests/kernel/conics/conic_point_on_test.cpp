// Points on conics: steps along a parabola and a hyperbola, points that
// follow their conic while its defining points move, and records or
// conics that make no sense.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "kernel/conics/conic.h"
#include "kernel/conics/conic_fixture.h"
#include "kernel/conics/conic_point_on.h"
#include "kernel/conics/conic_type.h"
#include "kernel/model/memory.h"

namespace {

// The conic with a point on it and the point's parameter block.
struct carried : test_conic {
    valeur value{};
    void* block = nullptr;
    ~carried() { GlobalFreeAndNull(&block); }

    conic_point_param& param() { return *static_cast<conic_point_param*>(block); }
    uint8_t flags() const { return value.infini_inexist_indetermine; }

    // Runs the operation on (h, v) in the given mode.
    void run(int mode, double h, double v)
    {
        value.h = h;
        value.v = v;
        conic_point_on(&conic, &value, &block, mode);
    }
    void step(double n, double i) { run(3, n, i); }
    void recompute() { conic_point_on(&conic, &value, &block, 1); }

    dpoint frame() const
    {
        conic_load_workspace(values.data());
        return conic_frame_coordinates(value.h, value.v);
    }
    // |Q| / |grad Q| of the value on the conic.
    double residual() const
    {
        conic_load_equation(values.data());
        const double x = value.h, y = value.v;
        const double gx = conic_a * x + conic_b * y + conic_d, gy = conic_b * x + conic_c * y + conic_e;
        return std::fabs(conic_value_at(x, y)) / (2 * std::hypot(gx, gy));
    }
    void set_kind(int8_t kind) { reinterpret_cast<uint8_t*>(&values[4].info)[3] = static_cast<uint8_t>(kind); }
};

// Five points of the conic given in a frame turned by `angle` about (cx, cy).
void place_turned(test_conic& c, const double local[5][2], double cx, double cy, double angle)
{
    for (int i = 0; i < 5; ++i) {
        const double x = local[i][0], y = local[i][1];
        c.set(i, cx + x * std::cos(angle) - y * std::sin(angle), cy + x * std::sin(angle) + y * std::cos(angle));
    }
}

void parabola(test_conic& c, double p, double cx, double cy, double angle)
{
    const double ys[5] = {-30, -10, 5, 20, 40};
    double local[5][2];
    for (int i = 0; i < 5; ++i) local[i][0] = ys[i] * ys[i] / (2 * p), local[i][1] = ys[i];
    place_turned(c, local, cx, cy, angle);
}

void hyperbola(test_conic& c, double a, double b, double cx, double cy, double angle)
{
    const double ts[5] = {-1.0, 0.2, 0.9, -0.5, 0.6};
    double local[5][2];
    for (int i = 0; i < 5; ++i) {
        const double s = i < 3 ? 1 : -1;
        local[i][0] = s * a * std::cosh(ts[i]);
        local[i][1] = b * std::sinh(ts[i]);
    }
    place_turned(c, local, cx, cy, angle);
}

void ellipse(test_conic& c, double a, double b, double cx, double cy, double angle)
{
    double local[5][2];
    for (int i = 0; i < 5; ++i) local[i][0] = a * std::cos(0.3 + 1.2 * i), local[i][1] = b * std::sin(0.3 + 1.2 * i);
    place_turned(c, local, cx, cy, angle);
}

bool gone(uint8_t flags) { return (flags & VAL_NOT_EXIST) != 0; }

} // namespace

TEST(ConicPointOn, ParabolaSteps)
{
    carried c;
    parabola(c, 20, 150, 100, 0.4);
    ASSERT_EQ(c.compute(), kConicParabola);
    const int n = 20;
    // Steps 0 and n: far out along the axis.
    for (int i : {0, n}) {
        c.step(n, i);
        ASSERT_FALSE(gone(c.flags())) << i;
        EXPECT_GT(c.frame().x, 1e6) << i;
    }
    // Step n/2: the vertex.
    c.step(n, n / 2);
    EXPECT_NEAR(c.frame().x, 0, 1e-6);
    EXPECT_NEAR(c.frame().y, 0, 1e-6);
    // Steps before n/2 on one half, the steps after on the other, mirrored.
    for (int i = 1; i < n / 2; ++i) {
        c.step(n, i);
        const dpoint first = c.frame();
        EXPECT_LT(c.residual(), 1e-7) << i;
        c.step(n, i + n / 2);
        const dpoint second = c.frame();
        EXPECT_LT(c.residual(), 1e-7) << i;
        EXPECT_GT(first.y, 0) << i;
        EXPECT_NEAR(second.y, -first.y, 1e-6) << i;
        EXPECT_NEAR(second.x, first.x, 1e-6) << i;
    }
}

TEST(ConicPointOn, HyperbolaStepsPastHalfFallOnTheSecondBranch)
{
    carried c;
    hyperbola(c, 40, 25, 200, 150, -0.7);
    ASSERT_TRUE(c.compute() == kConicHyperbola);
    const double n = 20;
    for (double i : {0.0, 1.0, 4.0, 5.0, 9.0, 9.4, 9.6, 10.0, 12.0, 15.0, 19.0}) {
        c.step(n, i);
        ASSERT_FALSE(gone(c.flags())) << i;
        // Steps 0 and n/2 start far out along an asymptote.
        EXPECT_LT(c.residual() / std::max(1.0, std::hypot(c.frame().x, c.frame().y)), 1e-7) << i;
        const bool second = std::floor(i + 0.5) >= 10;
        EXPECT_EQ(c.frame().x < 0, second) << i;
    }
}

TEST(ConicPointOn, EllipsePointStaysOnTheRayFromItsFocus)
{
    for (uint32_t info : {1u, static_cast<uint32_t>(-1)}) {
        carried c;
        c.conic.math.conic_info = info;
        ellipse(c, 90, 50, 300, 200, 0.3);
        ASSERT_EQ(c.compute(), kConicEllipse);
        c.run(2, 320, 290);
        ASSERT_FALSE(gone(c.flags()));
        EXPECT_LT(c.residual(), 1e-9);
        const double t1 = c.param().t1, t2 = c.param().t2;
        // Move a defining point in small steps; the sign stays.
        for (int k = 1; k <= 10; ++k) {
            c.point_values[2].h += 1.5;
            c.point_values[2].v -= 1;
            ASSERT_EQ(c.compute(), kConicEllipse);
            ASSERT_EQ(c.conic.math.conic_info, info);
            c.recompute();
            ASSERT_FALSE(gone(c.flags()));
            EXPECT_LT(c.residual(), 1e-7) << k;
            // From the recorded focus, in the recorded direction.
            conic_load_workspace(c.values.data());
            const double f = std::sqrt(1 / conic_param_a - 1 / conic_param_b);
            const dpoint p = c.frame();
            const double s = info == 1 ? 1 : -1;
            const double dx = s * (p.x + s * f), dy = s * p.y;
            EXPECT_NEAR(dx * t2 - dy * t1, 0, 1e-9 * std::hypot(t1, t2) * std::hypot(dx, dy)) << k;
            EXPECT_GT(dx * t1 + dy * t2, 0) << k;
        }
    }
}

TEST(ConicPointOn, CirclePointKeepsItsDirectionWhenTheCircleGrows)
{
    carried c;
    auto circle = [&](double r) {
        for (int i = 0; i < 5; ++i) c.set(i, 100 + r * std::cos(0.2 + 1.25 * i), 100 + r * std::sin(0.2 + 1.25 * i));
        return c.compute();
    };
    ASSERT_EQ(circle(50), kConicCircle);
    const double a = 0.5;
    c.run(2, 100 + 70 * std::cos(a), 100 + 70 * std::sin(a));
    EXPECT_NEAR(c.value.h, 100 + 50 * std::cos(a), 1e-9);
    EXPECT_NEAR(c.value.v, 100 + 50 * std::sin(a), 1e-9);
    ASSERT_EQ(circle(80), kConicCircle);
    c.recompute();
    EXPECT_NEAR(c.value.h, 100 + 80 * std::cos(a), 1e-9);
    EXPECT_NEAR(c.value.v, 100 + 80 * std::sin(a), 1e-9);
}

TEST(ConicPointOn, PointOnLineTwoOfCrossingLinesKeepsItsDistanceToTheCrossing)
{
    carried c;
    c.set(0, -20, 0);
    c.set(1, 10, 0);
    c.set(2, 30, 0);
    c.set(3, 5, 20);
    c.set(4, 5, -40);
    ASSERT_EQ(c.compute(), kConicCrossingLines);
    c.run(2, 7, 30);
    ASSERT_FALSE(gone(c.flags()));
    EXPECT_NEAR(c.value.h, 5, 1e-9);
    EXPECT_NEAR(c.value.v, 30, 1e-9);
    ASSERT_EQ(c.param().on_line, 1);
    const uint8_t line = c.param().line_no;
    // Turn the line of the last two points about (5, -40).
    for (double x : {6.0, 8.0, 12.0, 15.0}) {
        c.set(3, x, 20);
        ASSERT_EQ(c.compute(), kConicCrossingLines);
        c.recompute();
        ASSERT_FALSE(gone(c.flags()));
        const dpoint crossing{c.values[4].h, c.values[4].v};
        EXPECT_NEAR(std::hypot(c.value.h - crossing.x, c.value.v - crossing.y), 30, 1e-9) << x;
        EXPECT_GT(c.value.v, 0) << x;
        // On the turned line.
        EXPECT_NEAR((c.value.h - 5) * 60 - (c.value.v + 40) * (x - 5), 0, 1e-6) << x;
        EXPECT_EQ(c.param().line_no, line);
    }
}

TEST(ConicPointOn, PointOnParallelLinesAndOnASingleLineKeepsItsSignedDistance)
{
    carried c;
    c.set(0, 0, 0);
    c.set(1, 10, 0);
    c.set(2, 20, 0);
    c.set(3, 0, 10);
    c.set(4, 10, 10);
    ASSERT_EQ(c.compute(), kConicParallelLines);
    c.run(2, -7, 12);  // near y = 10, 12 left of the middle of its two points
    ASSERT_FALSE(gone(c.flags()));
    EXPECT_NEAR(c.value.h, -7, 1e-9);
    EXPECT_NEAR(c.value.v, 10, 1e-9);
    c.set(3, 0, 30);
    c.set(4, 10, 30);
    ASSERT_EQ(c.compute(), kConicParallelLines);
    c.recompute();
    EXPECT_NEAR(c.value.h, -7, 1e-9);
    EXPECT_NEAR(c.value.v, 30, 1e-9);

    // One line and three directions: the distance from the middle of the
    // two points.
    carried d;
    d.set(0, 1, 0, true);
    d.set(1, 0, 0);
    d.set(2, 0, 1, true);
    d.set(3, 1, 1, true);
    d.set(4, 100, 0);
    ASSERT_EQ(d.compute(), kConicLine);
    d.run(2, 80, 5);
    EXPECT_NEAR(d.value.h, 80, 1e-9);
    EXPECT_NEAR(d.value.v, 0, 1e-9);
    EXPECT_EQ(d.param().part_tag, kConicLine1Tag);
    EXPECT_NEAR(std::fabs(d.param().t1), 30, 1e-9);
    d.set(4, 200, 0);
    ASSERT_EQ(d.compute(), kConicLine);
    d.recompute();
    EXPECT_NEAR(d.value.h, 130, 1e-9);
    EXPECT_NEAR(d.value.v, 0, 1e-9);
}

TEST(ConicPointOn, ParabolaRecordOnTheAxis)
{
    carried c;
    parabola(c, 20, 0, 0, 0);
    ASSERT_EQ(c.compute(), kConicParabola);
    c.run(2, 50, 50);
    ASSERT_NE(c.block, nullptr);
    conic_load_workspace(c.values.data());
    const double a = conic_param_a;
    struct {
        double t1, t2, X, Y;
    } cases[] = {
        {0, 0, 0, 0},                             // no direction: the vertex
        {-a, 0, 0, 0},                            // along the axis toward the vertex
        {a, 0, 3.4028234663852886e+38, 0},        // along the axis away from it: far out
        {0, 5, a, a * 1.4142135623730951},        // straight across the axis
        {0, -5, a, -a * 1.4142135623730951},
    };
    for (const auto& k : cases) {
        c.param().t1 = k.t1;
        c.param().t2 = k.t2;
        c.recompute();
        ASSERT_FALSE(gone(c.flags())) << k.t1 << " " << k.t2;
        EXPECT_NEAR(c.frame().x, k.X, 1e-9 * std::max(1.0, k.X)) << k.t1 << " " << k.t2;
        EXPECT_NEAR(c.frame().y, k.Y, 1e-9) << k.t1 << " " << k.t2;
    }
}

// Records and conics that do not make sense leave the point not existing;
// none indexes a table or converts a non-number to an integer.
TEST(ConicPointOn, BadRecordsAndKindsLeaveThePointNotExisting)
{
    carried lines;
    lines.set(0, 0, 0);
    lines.set(1, 10, 0);
    lines.set(2, 20, 0);
    lines.set(3, 0, 10);
    lines.set(4, 10, 10);
    ASSERT_EQ(lines.compute(), kConicParallelLines);
    lines.run(2, 3, 1);
    ASSERT_FALSE(gone(lines.flags()));
    for (uint8_t tag : {uint8_t(0), uint8_t(1), uint8_t(0xFD)}) {
        lines.param().part_tag = tag;
        lines.recompute();
        EXPECT_TRUE(gone(lines.flags())) << int(tag);
    }
    // A digit code naming no defining point.
    lines.values[2].info.entier = 987;
    lines.run(2, 3, 1);
    EXPECT_TRUE(gone(lines.flags()));
    lines.values[2].info.entier = -12;
    lines.run(2, 3, 1);
    EXPECT_TRUE(gone(lines.flags()));

    carried e;
    ellipse(e, 90, 50, 300, 200, 0.3);
    ASSERT_EQ(e.compute(), kConicEllipse);
    e.run(2, 320, 290);
    for (uint8_t tag : {uint8_t(0), uint8_t(3), uint8_t(0xFF)}) {
        e.param().part_tag = tag;
        e.recompute();
        EXPECT_TRUE(gone(e.flags())) << int(tag);
    }
    e.param().part_tag = 1;
    e.param().t1 = NAN;
    e.recompute();
    EXPECT_TRUE(gone(e.flags()));
    e.param().t1 = INFINITY;
    e.recompute();
    EXPECT_TRUE(gone(e.flags()));

    // Steps that make no sense.
    carried h;
    hyperbola(h, 40, 25, 200, 150, -0.7);
    ASSERT_EQ(h.compute(), kConicHyperbola);
    carried p;
    parabola(p, 20, 0, 0, 0);
    ASSERT_EQ(p.compute(), kConicParabola);
    const double requests[][2] = {{NAN, 1}, {20, NAN}, {0, 1}, {-4, 1}, {1, 0.5}, {20, 1e300}, {1e300, 3}, {INFINITY, 2}};
    for (const auto& r : requests) {
        h.step(r[0], r[1]);
        EXPECT_TRUE(gone(h.flags())) << r[0] << " " << r[1];
    }
    for (const auto& r : requests) {
        if (r[0] == 1e300) continue;  // a long conic: a valid request
        p.step(r[0], r[1]);
        EXPECT_TRUE(gone(p.flags()) || std::isfinite(p.value.h)) << r[0] << " " << r[1];
    }

    // Crossing lines with a line number out of range.
    carried x;
    x.set(0, -20, 0);
    x.set(1, 10, 0);
    x.set(2, 30, 0);
    x.set(3, 5, 20);
    x.set(4, 5, -40);
    ASSERT_EQ(x.compute(), kConicCrossingLines);
    x.run(2, 7, 30);
    x.param().line_no = 9;
    x.recompute();
    EXPECT_TRUE(gone(x.flags()));
    x.param().on_line = 0;  // recorded under another kind: the crossing
    x.recompute();
    EXPECT_FALSE(gone(x.flags()));
    EXPECT_NEAR(x.value.h, 5, 1e-9);
    EXPECT_NEAR(x.value.v, 0, 1e-9);

    // Kinds without points, and codes outside 1..16, in every mode.
    for (int8_t kind : {int8_t(3), int8_t(7), int8_t(15), int8_t(16), int8_t(0), int8_t(17), int8_t(-1), int8_t(100)}) {
        carried k;
        ellipse(k, 90, 50, 300, 200, 0.3);
        k.compute();
        k.set_kind(kind);
        k.run(2, 11, 12);
        EXPECT_EQ(gone(k.flags()), kind != kConicEveryPoint) << int(kind);
        EXPECT_EQ(k.value.h, 11);
        EXPECT_EQ(k.value.v, 12);
        k.run(1, 11, 12);
        EXPECT_TRUE(gone(k.flags())) << int(kind);
        EXPECT_EQ(k.value.h, 11);
        EXPECT_EQ(k.value.v, 12);
        k.step(10, 3);
        EXPECT_TRUE(gone(k.flags())) << int(kind);
    }
    // A single point: the origin.
    carried s;
    ellipse(s, 90, 50, 300, 200, 0.3);
    s.compute();
    s.set_kind(kConicPoint);
    s.run(1, 11, 12);
    EXPECT_FALSE(gone(s.flags()));
    EXPECT_EQ(s.value.h, s.values[4].h);

    // A block too small to be this operation's.
    carried small;
    ellipse(small, 90, 50, 300, 200, 0.3);
    small.compute();
    small.block = GlobalAlloc(GPTR, 4);
    small.run(1, 11, 12);
    EXPECT_TRUE(gone(small.flags()));
}

TEST(ConicPointOn, UndefinedAndInfiniteConics)
{
    carried c;
    ellipse(c, 90, 50, 300, 200, 0.3);
    c.compute();
    c.run(2, 320, 290);
    const valeur before = c.value;
    c.conic.state |= OBJ_UNDEFINED;
    c.run(1, before.h, before.v);
    EXPECT_EQ(c.flags(), 0);
    EXPECT_EQ(c.value.h, before.h);
    c.conic.state = OBJ_AT_INFINITY;
    c.recompute();
    EXPECT_TRUE(c.flags() & VAL_AT_INFINITY);
}
