// The conic as a figure object: hit tests by kind, projection against a
// brute-force nearest point, and intersections with every handled type
// against exact counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "kernel/conics/conic.h"
#include "kernel/conics/conic_fixture.h"
#include "kernel/conics/conic_type.h"
#include "kernel/conics/reference_table.h"
#include "kernel/model/classes.h"
#include "kernel/objects/inter_list.h"
#include "kernel/prefs/hit_distance.h"

namespace {

valeur pt(double h, double v, uint8_t flags = 0)
{
    valeur r{};
    r.h = h;
    r.v = v;
    r.infini_inexist_indetermine = flags;
    return r;
}

void set_kind(test_conic& c, int8_t kind)
{
    reinterpret_cast<uint8_t*>(&c.values[4].info)[3] = static_cast<uint8_t>(kind);
}

// An object of a given type holding its own values.
struct test_object {
    object obj{};
    std::vector<valeur> values;
    std::vector<object*> parents;
    test_object(type& t, std::vector<valeur> v, int nbparents = 0) : values(std::move(v))
    {
        obj.otype = &t;
        obj.valeurs = values.data();
        obj.nbvaleurs = static_cast<int16_t>(values.size());
        obj.nbparents = static_cast<int16_t>(nbparents);
    }
};

bool exists(const valeur& v) { return (v.infini_inexist_indetermine & (VAL_NOT_EXIST | VAL_AT_INFINITY)) == 0; }

tagPOINT at(double x, double y) { return tagPOINT{static_cast<int32_t>(x), static_cast<int32_t>(y)}; }

// A figure point from frame coordinates of the conic's current values.
tagPOINT frame_at(test_conic& c, double X, double Y)
{
    conic_load_workspace(c.values.data());
    const dpoint p = conic_frame_point(X, Y);
    return at(std::lround(p.x), std::lround(p.y));
}

class ConicObject : public ::testing::Test {
 protected:
    void SetUp() override
    {
        saved_tolerance_ = pick_tolerance;
        pick_tolerance = 5;
    }
    void TearDown() override { pick_tolerance = saved_tolerance_; }
    int16_t saved_tolerance_ = 0;
};

} // namespace

TEST_F(ConicObject, ParabolaHitTestRejectsPointsBehindTheVertex)
{
    // Y^2 = 4 X along +x from the origin (parameter 2).
    test_conic c;
    const double ys[5] = {-6, -2, 1, 3, 8};
    for (int i = 0; i < 5; ++i) c.set(i, ys[i] * ys[i] / 4, ys[i]);
    ASSERT_EQ(c.compute(), kConicParabola);
    ASSERT_NEAR(c.values[2].info.rayon, 2, 1e-9);
    conic_load_workspace(c.values.data());
    const dpoint u = conic_axis_u, v = conic_axis_v;
    auto hit = [&](double X, double Y) {
        tagPOINT p{static_cast<int32_t>(std::lround(X * u.x + Y * v.x)),
                   static_cast<int32_t>(std::lround(X * u.y + Y * v.y))};
        return conic_hit_test(&c.conic, &p);
    };
    EXPECT_TRUE(hit(9, 6));    // on the curve
    EXPECT_TRUE(hit(3, 6));    // only the second test hits (|Y^2 - 4X| < 2T|Y|)
    EXPECT_FALSE(hit(-3, 6));  // the same test, behind the vertex
    EXPECT_TRUE(hit(-3, 0));   // the first test hits before the vertex test
    EXPECT_FALSE(hit(20, 0));  // inside, far from the curve
}

TEST_F(ConicObject, SingleLineKindUsesLineOneOnly)
{
    test_conic c;
    c.set(0, 1, 0, true);
    c.set(1, 0, 0);
    c.set(2, 0, 1, true);
    c.set(3, 1, 1, true);
    c.set(4, 100, 0);
    ASSERT_EQ(c.compute(), kConicLine);
    // Line 2 holds stale numbers: the line x = 50 must not count.
    c.values[1].h = 1;
    c.values[1].v = 0;
    c.values[1].info.rayon = -50;
    tagPOINT near_line1 = at(30, 3), near_line2 = at(50, 40);
    EXPECT_TRUE(conic_hit_test(&c.conic, &near_line1));
    EXPECT_FALSE(conic_hit_test(&c.conic, &near_line2));
    double x = 0, y = 0;
    conic_project_point(&c.conic, 50, 40, &x, &y);
    EXPECT_NEAR(x, 50, 1e-12);
    EXPECT_NEAR(y, 0, 1e-12);
}

TEST_F(ConicObject, EveryPointKindIsHitEverywhereAndKeepsEveryPoint)
{
    test_conic c;
    set_kind(c, kConicEveryPoint);
    tagPOINT p = at(-123, 456);
    EXPECT_TRUE(conic_hit_test(&c.conic, &p));
    double x = 0, y = 0;
    conic_project_point(&c.conic, -123.25, 456.5, &x, &y);
    EXPECT_EQ(x, -123.25);
    EXPECT_EQ(y, 456.5);
}

TEST_F(ConicObject, LinePairProjectionTakesTheNearerLineAndLineOneOnATie)
{
    test_conic c;
    set_kind(c, kConicCrossingLines);
    c.values[0].h = 0, c.values[0].v = 1, c.values[0].info.rayon = 0;  // y = 0
    c.values[1].h = 1, c.values[1].v = 0, c.values[1].info.rayon = 0;  // x = 0
    struct {
        double x, y, px, py;
    } cases[] = {{5, 5, 5, 0}, {5, 4, 5, 0}, {4, 5, 0, 5}, {-7, -7, -7, 0}};
    for (const auto& k : cases) {
        double x = 1e9, y = 1e9;
        conic_project_point(&c.conic, k.x, k.y, &x, &y);
        EXPECT_EQ(x, k.px) << k.x << "," << k.y;
        EXPECT_EQ(y, k.py) << k.x << "," << k.y;
    }
    tagPOINT on2 = at(2, 40), off = at(30, 30);
    EXPECT_TRUE(conic_hit_test(&c.conic, &on2));
    EXPECT_FALSE(conic_hit_test(&c.conic, &off));
}

TEST_F(ConicObject, CircleProjectionAndHitTest)
{
    test_conic c;
    for (int i = 0; i < 5; ++i) c.set(i, 100 + 50 * std::cos(0.3 + i * 1.1), 80 + 50 * std::sin(0.3 + i * 1.1));
    ASSERT_EQ(c.compute(), kConicCircle);
    double x = 0, y = 0;
    conic_project_point(&c.conic, 100, 80, &x, &y);  // the centre: angle 0
    EXPECT_NEAR(x, 150, 1e-9);
    EXPECT_NEAR(y, 80, 1e-9);
    conic_project_point(&c.conic, 100, 180, &x, &y);
    EXPECT_NEAR(x, 100, 1e-9);
    EXPECT_NEAR(y, 130, 1e-9);
    tagPOINT on = at(100, 128), off = at(100, 120);
    EXPECT_TRUE(conic_hit_test(&c.conic, &on));
    EXPECT_FALSE(conic_hit_test(&c.conic, &off));
}

TEST_F(ConicObject, CentralConicHitTest)
{
    test_conic c;
    for (int i = 0; i < 5; ++i) {
        const double t = 0.2 + i * 1.3;
        c.set(i, 200 + 80 * std::cos(t) * std::cos(0.5) - 30 * std::sin(t) * std::sin(0.5),
              150 + 80 * std::cos(t) * std::sin(0.5) + 30 * std::sin(t) * std::cos(0.5));
    }
    ASSERT_EQ(c.compute(), kConicEllipse);
    for (double t = 0; t < 6.28; t += 0.4) {
        tagPOINT p = frame_at(c, 80 * std::cos(t), 30 * std::sin(t));
        EXPECT_TRUE(conic_hit_test(&c.conic, &p)) << t;
        tagPOINT in = frame_at(c, 60 * std::cos(t), 15 * std::sin(t));
        EXPECT_FALSE(conic_hit_test(&c.conic, &in)) << t;
    }
    // Undefined and no-point kinds are never hit.
    tagPOINT p = frame_at(c, 80, 0);
    c.conic.state |= OBJ_UNDEFINED;
    EXPECT_FALSE(conic_hit_test(&c.conic, &p));
    c.conic.state &= ~OBJ_UNDEFINED;
    for (int8_t k : {int8_t(3), int8_t(7), int8_t(10), int8_t(11), int8_t(15), int8_t(0), int8_t(-5), int8_t(17)}) {
        set_kind(c, k);
        EXPECT_FALSE(conic_hit_test(&c.conic, &p)) << int(k);
        double x = 7, y = 8;
        conic_project_point(&c.conic, 1, 2, &x, &y);
        EXPECT_EQ(x, 7);
        EXPECT_EQ(y, 8);
    }
}

TEST_F(ConicObject, ProjectionWithoutAFiniteDefiningPointWritesNothing)
{
    test_conic c;
    for (int i = 0; i < 5; ++i) c.set(i, 100 * std::cos(i * 1.2), 60 * std::sin(i * 1.2));
    ASSERT_EQ(c.compute(), kConicEllipse);
    for (int i = 0; i < 5; ++i) c.points[i].state |= OBJ_AT_INFINITY;
    double x = 7, y = 8;
    conic_project_point(&c.conic, 300, 10, &x, &y);
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 8);
}

// The nearest point of generated, turned and moved ellipses, hyperbolas
// and parabolas, against a brute-force search over a dense parametrisation.
TEST_F(ConicObject, ProjectionAgreesWithBruteForceNearestPoint)
{
    const auto cases = read_reference_table("projection_reference.txt");
    ASSERT_GE(cases.size(), 60u);
    for (const auto& k : cases) {
        SCOPED_TRACE("line " + std::to_string(k.line) + " " + k.word);
        ASSERT_EQ(k.fields.size(), 3u);
        test_conic c;
        for (int i = 0; i < 5; ++i) c.set(i, k.fields[0][2 * i], k.fields[0][2 * i + 1]);
        const int16_t kind = c.compute();
        if (k.word == "ellipse")
            ASSERT_EQ(kind, kConicEllipse);
        else if (k.word == "parabola")
            ASSERT_EQ(kind, kConicParabola);
        else
            ASSERT_TRUE(kind == kConicHyperbola || kind == kConicRectHyperbola);
        double x = NAN, y = NAN;
        conic_project_point(&c.conic, k.fields[1][0], k.fields[1][1], &x, &y);
        const double rx = k.fields[2][0], ry = k.fields[2][1];
        const double scale = std::max({std::fabs(rx), std::fabs(ry), 1.0});
        EXPECT_LT(std::hypot(x - rx, y - ry) / scale, 1e-6) << x << " " << y << " vs " << rx << " " << ry;
    }
}

namespace {

// |Q(p)| / |grad Q(p)| for the equation with coefficients of
// x^2, xy, y^2, x, y, 1.
double residual(const std::vector<double>& q, double x, double y)
{
    const double value = q[0] * x * x + q[1] * x * y + q[2] * y * y + q[3] * x + q[4] * y + q[5];
    const double gx = 2 * q[0] * x + q[1] * y + q[3], gy = q[1] * x + 2 * q[2] * y + q[4];
    return std::fabs(value) / std::hypot(gx, gy);
}

} // namespace

// Intersections with lines, circles, conics, the sides of triangles and
// arcs: every point lies on both curves (within the side or the arc) and
// their number is the exact one.
TEST_F(ConicObject, IntersectionsAgreeWithExactCounts)
{
    const auto cases = read_reference_table("intersection_reference.txt");
    ASSERT_GE(cases.size(), 140u);
    for (const auto& k : cases) {
        SCOPED_TRACE("line " + std::to_string(k.line) + " " + k.word);
        ASSERT_EQ(k.fields.size(), 4u);
        test_conic c;
        for (int i = 0; i < 5; ++i) c.set(i, k.fields[0][2 * i], k.fields[0][2 * i + 1]);
        c.compute();
        ASSERT_FALSE(c.undefined());
        const std::vector<double>& o = k.fields[1];
        const int expected = static_cast<int>(k.fields[2][0]);
        const std::vector<double>& q = k.fields[3];

        std::array<valeur, 4> res{};
        std::vector<double> other_eq;
        int32_t code;
        if (k.word.rfind("line", 0) == 0) {
            test_object line(type_line, {pt(o[0], o[1]), pt(o[2] - o[0], o[3] - o[1])});
            code = conic_intersect(&c.conic, &line.obj, res.data(), kIntersectRaw);
            const double a = o[3] - o[1], b = o[0] - o[2];
            other_eq = {0, 0, 0, a, b, -a * o[0] - b * o[1]};
        } else if (k.word.rfind("circle", 0) == 0) {
            const double r = std::hypot(o[2] - o[0], o[3] - o[1]);
            valeur through = pt(o[2], o[3]);
            through.info.rayon = r;
            test_object circle(type_circle, {pt(o[0], o[1]), through});
            code = conic_intersect(&c.conic, &circle.obj, res.data(), kIntersectRaw);
            other_eq = {1, 0, 1, -2 * o[0], -2 * o[1], o[0] * o[0] + o[1] * o[1] - r * r};
        } else if (k.word.rfind("triangle", 0) == 0) {
            // Every crossing within a side, listed with its side number.
            test_object tri(type_triangle, {pt(o[0], o[1]), pt(o[2], o[3]), pt(o[4], o[5]), pt(o[0], o[1])}, 3);
            inter_list list{};
            code = conic_intersect(&c.conic, &tri.obj, &list, kIntersectAll);
            EXPECT_EQ(list.count, expected);
            for (int i = 0; i < list.count; ++i) {
                const valeur& r = list.values[i];
                const int side = static_cast<int>(list.indices[i] & 0xFFFF);
                ASSERT_LT(side, 3);
                const double* a = &o[2 * side];
                const double* b = &o[2 * ((side + 1) % 3)];
                const double na = b[1] - a[1], nb = a[0] - b[0];
                EXPECT_LT(residual(q, r.h, r.v), 1e-7) << i;
                EXPECT_LT(std::fabs(na * (r.h - a[0]) + nb * (r.v - a[1])) / std::hypot(na, nb), 1e-7) << i;
                EXPECT_LE(std::min(a[0], b[0]) - 1e-7, r.h);
                EXPECT_LE(r.h, std::max(a[0], b[0]) + 1e-7);
            }
            EXPECT_EQ(code, expected > 0 ? 1 : 2);
            intersection_results_free(&list);
            continue;
        } else if (k.word.rfind("arc", 0) == 0) {
            const double r = std::hypot(o[2] - o[0], o[3] - o[1]);
            valeur centre = pt(o[0], o[1]);
            centre.info.rayon = r;
            test_object arc(type_arc, {pt(o[2], o[3]), pt(o[4], o[5]), pt(o[6], o[7]), centre});
            code = conic_intersect(&c.conic, &arc.obj, res.data(), kIntersectRaw);
            other_eq = {1, 0, 1, -2 * o[0], -2 * o[1], o[0] * o[0] + o[1] * o[1] - r * r};
        } else {
            test_conic d;
            d.conic.otype = &type_conic;
            for (int i = 0; i < 5; ++i) d.set(i, o[2 * i], o[2 * i + 1]);
            d.compute();
            code = conic_intersect(&c.conic, &d.conic, res.data(), kIntersectRaw);
            conic_load_equation(d.values.data());
            other_eq = {conic_a, 2 * conic_b, conic_c, 2 * conic_d, 2 * conic_e, conic_f};
        }
        // Nothing found leaves the results as they were.
        const int slots = code == 2 ? 0 : k.word.rfind("line", 0) == 0 ? 2 : 4;
        std::vector<valeur> found;
        for (int i = 0; i < slots; ++i) {
            if (!exists(res[i])) continue;
            // A crossing at infinity (a parabola with a conic that has an
            // asymptote along its axis) may come out as a finite point
            // billions of pixels away; it is no crossing in the figure.
            if (std::hypot(res[i].h, res[i].v) > 1e9) continue;
            bool again = false;
            for (const valeur& f : found) again = again || std::hypot(f.h - res[i].h, f.v - res[i].v) < 1e-6;
            if (!again) found.push_back(res[i]);
            EXPECT_LT(residual(q, res[i].h, res[i].v), 1e-7) << i;
            EXPECT_LT(residual(other_eq, res[i].h, res[i].v), 1e-7) << i;
        }
        EXPECT_EQ(static_cast<int>(found.size()), expected);
        EXPECT_EQ(code, expected > 0 ? 1 : 2);
    }
}

namespace {

// The hyperbola x y = 100 (through five of its points) and objects around it.
struct hyperbola_fixture {
    test_conic c;
    hyperbola_fixture()
    {
        const double xs[5] = {5, 10, 20, -4, -25};
        for (int i = 0; i < 5; ++i) c.set(i, xs[i], 100 / xs[i]);
        c.compute();
    }
};

} // namespace

TEST_F(ConicObject, PolygonSidesAndTheirVertexAtInfinity)
{
    hyperbola_fixture h;
    ASSERT_EQ(h.c.compute(), kConicRectHyperbola);
    // A triangle crossing the branch x > 0 on its sides 0 and 1.
    test_object tri(type_triangle, {pt(0, 0), pt(40, 40), pt(40, 0), pt(0, 0)}, 3);
    inter_list list{};
    EXPECT_EQ(conic_intersect(&h.c.conic, &tri.obj, &list, kIntersectAll), 1);
    // Side 0 meets the branch at (10, 10); side 1 (x = 40) at (40, 2.5).
    ASSERT_EQ(list.count, 2);
    EXPECT_EQ(list.indices[0] & 0xFFFF, 0u);
    EXPECT_NEAR(list.values[0].h, 10, 1e-9);
    EXPECT_EQ(list.indices[1] & 0xFFFF, 1u);
    EXPECT_NEAR(list.values[1].v, 2.5, 1e-9);
    // Single selectors: side 0, each root; the root outside the side
    // (-10, -10) is reported, flagged, under its own number.
    valeur one{}, other{};
    const int32_t r0 = conic_intersect(&h.c.conic, &tri.obj, &one, 0);
    const int32_t r1 = conic_intersect(&h.c.conic, &tri.obj, &other, 0x10000);
    EXPECT_EQ(r0 + r1, 3);
    const valeur& outside = r0 == 2 ? one : other;
    EXPECT_TRUE(outside.infini_inexist_indetermine & VAL_NOT_EXIST);
    EXPECT_NEAR(outside.h, -10, 1e-9);
    EXPECT_EQ(list.indices[0], r0 == 1 ? 0u : 0x10000u);
    EXPECT_EQ(conic_intersect(&h.c.conic, &tri.obj, &one, 2), 2);  // side 2 (y = 0) misses
    EXPECT_EQ(conic_intersect(&h.c.conic, &tri.obj, &one, 3), 4);  // no side 3
    EXPECT_EQ(conic_intersect(&h.c.conic, &tri.obj, &one, 2u << 16), 4);  // no root 2 on a line

    // Vertex 1 at infinity: sides 0 and 1 give nothing.
    tri.values[1].infini_inexist_indetermine = VAL_AT_INFINITY;
    EXPECT_EQ(conic_intersect(&h.c.conic, &tri.obj, &list, kIntersectAll), 2);
    EXPECT_EQ(list.count, 0);
    valeur raw[2] = {};
    for (uint32_t s : {0u, 1u, 0x10000u, 0x10001u}) {
        one = valeur{};
        EXPECT_EQ(conic_intersect(&h.c.conic, &tri.obj, &one, s), 2) << s;
        EXPECT_TRUE(one.infini_inexist_indetermine & VAL_NOT_EXIST) << s;
    }
    EXPECT_EQ(conic_intersect(&h.c.conic, &tri.obj, raw, kIntersectRaw), 2);
    intersection_results_free(&list);
}

TEST_F(ConicObject, ProbeAcceptsOnlyStrictlyWithinSixteen)
{
    hyperbola_fixture h;
    // The line y = x meets x y = 100 at (10, 10) and (-10, -10); the probe
    // names the root that the single selector gives.
    test_object line(type_line, {pt(0, 0), pt(1, 1)});
    for (double s : {10.0, -10.0}) {
        intersect_probe = pt(s + 8, s + 7.9);
        intersect_probe_index = 99;
        ASSERT_EQ(conic_intersect(&h.c.conic, &line.obj, nullptr, kIntersectProbe), 1);
        EXPECT_NEAR(intersect_probe.h, s, 1e-9);
        valeur one{};
        ASSERT_EQ(conic_intersect(&h.c.conic, &line.obj, &one, intersect_probe_index), 1);
        EXPECT_NEAR(one.h, s, 1e-9);
        intersect_probe = pt(s + 8, s - 8);
        EXPECT_EQ(conic_intersect(&h.c.conic, &line.obj, nullptr, kIntersectProbe), 2);
        intersect_probe = pt(s - 15.9, s);
        EXPECT_EQ(conic_intersect(&h.c.conic, &line.obj, nullptr, kIntersectProbe), 1);
    }

    // With a circle about the origin of radius 20: four crossings, indices
    // by quartic slot.
    valeur through = pt(20, 0);
    through.info.rayon = 20;
    test_object circle(type_circle, {pt(0, 0), through});
    valeur raw[4] = {};
    ASSERT_EQ(conic_intersect(&h.c.conic, &circle.obj, raw, kIntersectRaw), 1);
    for (int r = 0; r < 4; ++r) {
        ASSERT_TRUE(exists(raw[r])) << r;
        intersect_probe = pt(raw[r].h + 15.99, raw[r].v);
        ASSERT_EQ(conic_intersect(&h.c.conic, &circle.obj, nullptr, kIntersectProbe), 1) << r;
        EXPECT_EQ(intersect_probe_index, static_cast<uint32_t>(r) << 16);
        intersect_probe = pt(raw[r].h + 8, raw[r].v + 8);
        EXPECT_EQ(conic_intersect(&h.c.conic, &circle.obj, nullptr, kIntersectProbe), 2) << r;
    }
    // Each root alone, and a part or root that does not exist.
    for (uint32_t r = 0; r < 4; ++r) {
        valeur one{};
        EXPECT_EQ(conic_intersect(&h.c.conic, &circle.obj, &one, r << 16), 1);
        EXPECT_EQ(one.h, raw[r].h);
    }
    valeur one{};
    EXPECT_EQ(conic_intersect(&h.c.conic, &circle.obj, &one, 4u << 16), 4);
    EXPECT_EQ(conic_intersect(&h.c.conic, &circle.obj, &one, 1), 4);
    EXPECT_EQ(conic_intersect(&h.c.conic, &line.obj, &one, 1), 4);
    test_object point(type_point, {pt(0, 0)});
    EXPECT_EQ(conic_intersect(&h.c.conic, &point.obj, &one, 0), 3);
}

TEST_F(ConicObject, ArcKeepsOnlyItsOwnCrossings)
{
    hyperbola_fixture h;
    valeur through = pt(20, 0);
    through.info.rayon = 20;
    test_object circle(type_circle, {pt(0, 0), through});
    valeur all[4] = {};
    ASSERT_EQ(conic_intersect(&h.c.conic, &circle.obj, all, kIntersectRaw), 1);
    // The upper-right quarter of that circle, as an arc (start, middle,
    // end, centre with the radius).
    valeur centre = pt(0, 0);
    centre.info.rayon = 20;
    test_object arc(type_arc, {pt(20, 0), pt(20 * std::cos(0.785), 20 * std::sin(0.785)), pt(0, 20), centre});
    valeur res[4] = {};
    ASSERT_EQ(conic_intersect(&h.c.conic, &arc.obj, res, kIntersectRaw), 1);
    int kept = 0;
    for (int r = 0; r < 4; ++r) {
        if (!exists(res[r])) continue;
        ++kept;
        EXPECT_GT(res[r].h, 0);
        EXPECT_GT(res[r].v, 0);
        EXPECT_EQ(res[r].h, all[r].h);  // same root numbers as the full circle
    }
    EXPECT_EQ(kept, 2);
}
