#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "kernel/conics/plane_numerics.h"
#include "kernel/conics/reference_table.h"

namespace {

double area_of(std::vector<dpoint> pts) { return polygon_area(static_cast<int32_t>(pts.size()), pts.data()); }

} // namespace

TEST(PseudoAngle, Directions)
{
    const dpoint o{0, 0};
    EXPECT_EQ(pseudo_angle(o, {1, 0}), 360);
    EXPECT_EQ(pseudo_angle(o, {1, 1}), 45);
    EXPECT_EQ(pseudo_angle(o, {0, 1}), 90);
    EXPECT_EQ(pseudo_angle(o, {-1, 0}), 180);
    EXPECT_EQ(pseudo_angle(o, {0, -1}), 270);
    EXPECT_EQ(pseudo_angle(o, {0, 0}), 360);
    // Monotonic in the true angle over a turn.
    double previous = 0;
    for (int deg = 1; deg <= 360; ++deg) {
        double t = deg * M_PI / 180;
        double a = pseudo_angle(o, {std::cos(t), std::sin(t)});
        EXPECT_GT(a, previous) << deg;
        previous = a;
    }
}

TEST(SweepAngle, SameDirectionIsAFullTurn)
{
    EXPECT_EQ(sweep_angle({2, 0}, {0, 0}, {5, 0}), 360);
    EXPECT_EQ(sweep_angle({1, 0}, {0, 0}, {0, 1}), 90);
    EXPECT_EQ(sweep_angle({0, 1}, {0, 0}, {1, 0}), 270);
}

TEST(SegmentIntersection, Codes)
{
    dpoint x{0, 0};
    double a2 = -1, a3 = -1;
    EXPECT_EQ(segment_intersection({0, 0}, {2, 2}, {0, 2}, {2, 0}, &x, &a2, &a3), 1);
    EXPECT_NEAR(x.x, 1, 1e-15);
    EXPECT_NEAR(x.y, 1, 1e-15);
    EXPECT_EQ(a2, sweep_angle({0, 0}, x, {0, 2}));
    EXPECT_EQ(a3, sweep_angle({0, 0}, x, {2, 0}));
    // The first segment ends on the second (T-junction).
    EXPECT_EQ(segment_intersection({0, 0}, {1, 1}, {0, 2}, {2, 0}, &x, &a2, &a3), 2);
    // Crossing at the start of the first segment.
    EXPECT_EQ(segment_intersection({1, 1}, {3, 3}, {0, 2}, {2, 0}, &x, &a2, &a3), 10);
    // Crossing at an end of the second segment.
    EXPECT_EQ(segment_intersection({0, 0}, {2, 2}, {1, 1}, {2, 0}, &x, &a2, &a3), 3);
    EXPECT_EQ(a2, 361);
    EXPECT_EQ(segment_intersection({0, 0}, {2, 2}, {2, 0}, {1, 1}, &x, &a2, &a3), 4);
    EXPECT_EQ(a3, 361);
    // Collinear overlapping, parallel, apart.
    EXPECT_EQ(segment_intersection({0, 0}, {2, 0}, {1, 0}, {3, 0}, &x, &a2, &a3), 10);
    EXPECT_EQ(segment_intersection({0, 0}, {2, 0}, {0, 1}, {2, 1}, &x, &a2, &a3), 0);
    EXPECT_EQ(segment_intersection({0, 0}, {1, 0}, {5, 5}, {6, 6}, &x, &a2, &a3), 0);
}

TEST(CollinearOverlap, Table)
{
    struct Case {
        double a2, a3;
        int code;
    };
    // p0p1 from 0 to 10 on the x axis; p2, p3 at a2, a3.
    const Case cases[] = {
        {-1, 11, 1}, {-1, 5, 3}, {-1, -0.5, 0}, {11, -1, 2}, {11, 5, 5}, {11, 12, 0},
        {5, -1, 4},  {5, 11, 6}, {5, 7, 0},     {0, 11, 6},  {0, 5, 0},  {10, 5, 0}, {10, 12, 6},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(collinear_overlap({0, 0}, {10, 0}, {c.a2, 0}, {c.a3, 0}), c.code) << c.a2 << " " << c.a3;
        // The same on a vertical line running downwards (mirrored coordinates).
        EXPECT_EQ(collinear_overlap({3, 0}, {3, -10}, {3, -c.a2}, {3, -c.a3}), c.code) << c.a2 << " " << c.a3;
    }
    // p2 at p0 (within 1e-11) counts only when the second segment leaves through p1.
    EXPECT_EQ(collinear_overlap({0, 0}, {10, 0}, {1e-12, 0}, {12, 0}), 6);
    // Parallel but apart, and not parallel.
    EXPECT_EQ(collinear_overlap({0, 0}, {10, 0}, {0, 1}, {10, 1}), 0);
    EXPECT_EQ(collinear_overlap({0, 0}, {10, 0}, {0, 0}, {10, 1}), 0);
}

TEST(PolygonArea, ListedCases)
{
    EXPECT_DOUBLE_EQ(area_of({{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}), 1);
    EXPECT_DOUBLE_EQ(area_of({{0, 0}, {0, 1}, {1, 1}, {1, 0}, {0, 0}}), 1);
    // Bow tie: both triangles once.
    EXPECT_DOUBLE_EQ(area_of({{0, 0}, {2, 2}, {2, 0}, {0, 2}, {0, 0}}), 2);
    // Not closed, and all points on one.
    EXPECT_EQ(area_of({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), 0);
    EXPECT_EQ(area_of({{3, 3}, {3, 3}, {3, 3}, {3, 3}, {3, 3}}), 0);
    EXPECT_EQ(area_of({{3, 3}}), 0);
    EXPECT_EQ(polygon_area(0, nullptr), 0);
    // A side traced back and forth: a spike that adds nothing.
    EXPECT_DOUBLE_EQ(area_of({{0, 0}, {4, 0}, {4, 2}, {6, 2}, {4, 2}, {4, 4}, {0, 4}, {0, 0}}), 16);
    // A side traced back over part of itself.
    EXPECT_DOUBLE_EQ(area_of({{0, 0}, {4, 0}, {2, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 0}}), 16);
    // Pentagram: the whole star outline, the inner pentagon included.
    std::vector<dpoint> star;
    for (int i = 0; i <= 5; ++i) {
        double t = M_PI / 2 + i * 4 * M_PI / 5;
        star.push_back({std::cos(t), std::sin(t)});
    }
    star.back() = star.front();
    // Area of a regular pentagram with circumradius 1.
    double r_inner = std::cos(2 * M_PI / 5) / std::cos(M_PI / 5);
    double expected = 5 * std::sin(M_PI / 5) * r_inner;
    EXPECT_NEAR(area_of(star), expected, 1e-12);
    // The graph is gone afterwards.
    EXPECT_TRUE(poly_edges.empty());
    EXPECT_TRUE(poly_vertices.empty());
}

TEST(PolygonArea, BuildFailures)
{
    const dpoint open[] = {{0, 0}, {1, 0}, {1, 1}};
    EXPECT_EQ(build_polygon_graph(3, open), -3);
    const dpoint single[] = {{0, 0}};
    EXPECT_EQ(build_polygon_graph(1, single), -1);
    const dpoint same[] = {{1, 1}, {1, 1 + 1e-12}, {1, 1}};
    EXPECT_EQ(build_polygon_graph(3, same), -2);
    free_polygon_graph();
}

// Simple polygons against the shoelace formula, in both directions and
// shifted, with a long outline (the step budget must not wrap).
TEST(PolygonArea, SimplePolygonsMatchShoelace)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> radius(10, 100);
    for (int n : {3, 7, 40, 300}) {
        std::vector<dpoint> pts;
        for (int i = 0; i < n; ++i) {
            double t = 2 * M_PI * i / n;
            double r = radius(rng);
            pts.push_back({500 + r * std::cos(t), -200 + r * std::sin(t)});
        }
        pts.push_back(pts.front());
        double shoelace = 0;
        for (int i = 0; i < n; ++i) shoelace += pts[i].x * pts[i + 1].y - pts[i + 1].x * pts[i].y;
        shoelace = std::fabs(shoelace) / 2;
        EXPECT_NEAR(area_of(pts), shoelace, 1e-9 * shoelace) << n;
        std::reverse(pts.begin(), pts.end());
        EXPECT_NEAR(area_of(pts), shoelace, 1e-9 * shoelace) << n;
    }
}

// Random self-crossing polygons against GEOS: the union of the bounded faces
// of the noded outline.
TEST(PolygonArea, MatchesReference)
{
    auto cases = read_reference_table("polygon_reference.txt");
    ASSERT_GE(cases.size(), 50u);
    for (const auto& c : cases) {
        const std::vector<double>& f = c.fields[0];
        int n = static_cast<int>(f[0]);
        std::vector<dpoint> pts;
        for (int i = 0; i < n; ++i) pts.push_back({f[1 + 2 * i], f[2 + 2 * i]});
        double expected = c.fields[1][0];
        EXPECT_NEAR(area_of(pts), expected, 1e-8 * std::max(1.0, expected)) << "polygon_reference.txt line " << c.line;
    }
}
