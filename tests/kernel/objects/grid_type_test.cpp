// Grids: the nodes each drawing visits, the nearest-node searches, and
// points placed on and stepped along a grid.
#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "kernel/model/compute_axes.h"
#include "kernel/model/geometry_fixture.h"
#include "kernel/model/point_type.h"
#include "kernel/objects/grid_type.h"
#include "kernel/prefs/hit_distance.h"

namespace {

using Node = std::pair<long, long>;

void collect(void* context, double x, double y) {
  static_cast<std::vector<std::pair<double, double>>*>(context)->push_back({x, y});
}

class GridType : public GeometryTest {
 protected:
  void SetUp() override {
    GeometryTest::SetUp();
    pick_tolerance = 4;
    graduation_spacing = 29;
  }
  // Axes at (200, 200) with units of `unit` pixels, and their grid.
  object* grid(double unit, uint8_t kind = 0) {
    axes_ = make(classe_axe, 1, {point(200, 200), point(200 + unit, 200), point(200, 200 - unit)});
    object* g = make(classe_grid, 0, {axes_});
    g->math.equa.typeunite = kind;
    recompute_object(g);
    return g;
  }
  std::vector<std::pair<double, double>> square_nodes(object* g, tagRECT r = {0, 0, 400, 400}) {
    std::vector<std::pair<double, double>> nodes;
    visit_square_grid(g, r, collect, &nodes);
    return nodes;
  }
  object* axes_ = nullptr;
};

TEST_F(GridType, SquareNodesSkipShownAxesOnly) {
  object* g = grid(40);
  axes_->settings.visible = 1;
  auto shown = square_nodes(g);
  for (auto [x, y] : shown) {
    EXPECT_NE(x, 200);
    EXPECT_NE(y, 200);
  }
  EXPECT_EQ(shown.size(), 10u * 10u);
  axes_->settings.visible = 0;
  auto hidden = square_nodes(g);
  EXPECT_EQ(hidden.size(), 11u * 11u);
  EXPECT_EQ(std::count(hidden.begin(), hidden.end(), std::make_pair(200.0, 200.0)), 1);
  const grid_window& w = *static_cast<grid_window*>(g->data);
  EXPECT_EQ(w.i0, -5);
  EXPECT_EQ(w.i1, 6);
  EXPECT_EQ(w.j0, -5);
  EXPECT_EQ(w.j1, 6);
}

TEST_F(GridType, ATwoPixelStepIsThinnedToEveryFifthNode) {
  object* g = grid(40);
  g->valeurs[1].h = 2;
  g->valeurs[2].v = -2;
  axes_->settings.visible = 0;
  auto nodes = square_nodes(g);
  std::set<double> xs;
  for (auto [x, y] : nodes) xs.insert(x);
  ASSERT_GT(xs.size(), 10u);
  for (auto it = std::next(xs.begin()); it != xs.end(); ++it) EXPECT_EQ(*it - *std::prev(it), 10);
}

TEST_F(GridType, ObliqueGridsCoverTheViewFromTheCorners) {
  object* g = grid(40);
  g->valeurs[1].v = 10;  // I turned off the horizontal
  auto nodes = square_nodes(g, {0, 0, 200, 200});
  int inside = 0;
  for (auto [x, y] : nodes) inside += x >= 0 && x <= 200 && y >= 0 && y <= 200;
  EXPECT_GE(inside, 20);
  // A null second step leaves no row spacing: nothing drawn.
  const valeur j = g->valeurs[2];
  g->valeurs[1] = valeur{40, 0, {}, 0};
  g->valeurs[2] = valeur{};
  EXPECT_TRUE(square_nodes(g).empty());
  g->valeurs[2] = j;
  g->valeurs[1].v = 10;
  // Parallel steps have no lattice: nothing drawn, nothing hit.
  g->valeurs[2] = g->valeurs[1];
  EXPECT_TRUE(square_nodes(g).empty());
  tagPOINT p{200, 200};
  EXPECT_FALSE(grid_hit_test(g, &p));
}

TEST_F(GridType, PolarRaysDoubleOutwards) {
  // Units of 30 pixels: one graduation per unit, rings 30 pixels apart.
  object* g = grid(30, 1);
  std::vector<std::pair<double, double>> nodes;
  ASSERT_TRUE(visit_polar_grid(g, {-100, -100, 500, 500}, collect, &nodes));
  std::map<long, int> per_ring;
  for (auto [x, y] : nodes) {
    const double r = std::hypot(x - 200, y - 200) / 30;
    ASSERT_NEAR(r, std::round(r), 1e-9);
    ++per_ring[std::lround(r)];
  }
  EXPECT_EQ(per_ring[0], 1);
  const int want[] = {0, 12, 12, 24, 48, 48, 48, 48, 96, 96};
  for (int ring = 1; ring <= 9; ++ring) EXPECT_EQ(per_ring[ring], want[ring]) << "ring " << ring;
  // No node twice.
  std::set<std::pair<long, long>> seen;
  for (auto [x, y] : nodes) EXPECT_TRUE(seen.insert({std::lround(x * 1000), std::lround(y * 1000)}).second);
}

TEST_F(GridType, PolarGridSeenFromOutsideDrawsOnlyWhatMeetsTheView) {
  object* g = grid(20, 1);
  std::vector<std::pair<double, double>> nodes;
  ASSERT_TRUE(visit_polar_grid(g, {300, 250, 420, 330}, collect, &nodes));
  ASSERT_FALSE(nodes.empty());
  for (auto [x, y] : nodes) {
    EXPECT_GE(x, 300 - 1e-9);
    EXPECT_LE(x, 420 + 1e-9);
    EXPECT_GE(y, 250 - 1e-9);
    EXPECT_LE(y, 330 + 1e-9);
  }
  // A ring step of nothing draws nothing.
  g->valeurs[1].h = g->valeurs[1].v = 0;
  EXPECT_FALSE(visit_polar_grid(g, {0, 0, 400, 400}, collect, &nodes));
}

TEST_F(GridType, PolarNearestNodeWrapsToTheFirstRay) {
  object* g = grid(30, 3);
  double nx, ny, a, b;
  // Angle 6.2 on ring 1: nearer the full turn than the ray at 6.0.
  ASSERT_TRUE(grid_polar_node(g, 200 + 30 * std::cos(6.2), 200 - 30 * std::sin(6.2), &nx, &ny, &a, &b));
  EXPECT_EQ(grid_node_j, 0);
  EXPECT_NEAR(nx, 230, 1e-9);
  EXPECT_NEAR(ny, 200, 1e-9);
  EXPECT_NEAR(a, 1, 1e-12);
  EXPECT_NEAR(b, 0, 1e-12);
  ASSERT_TRUE(grid_polar_node(g, 200 + 30 * std::cos(6.05), 200 - 30 * std::sin(6.05), &nx, &ny, &a, &b));
  EXPECT_EQ(grid_node_j, 12);
  // Hits: the origin within the tolerance; on a ring but off it, no.
  EXPECT_TRUE(grid_polar_hit(g, 202, 201));
  EXPECT_TRUE(grid_polar_hit(g, 230, 201));
  EXPECT_FALSE(grid_polar_hit(g, 236, 200));
  // A point placed on the polar grid takes the node.
  object* p = point_on(g, 6, 200 + 60 * std::cos(0.49), 200 - 60 * std::sin(0.49));
  EXPECT_NEAR(p->valeurs[0].h, 200 + 60 * std::cos(0.5), 1e-9);
  EXPECT_NEAR(p->valeurs[0].v, 200 - 60 * std::sin(0.5), 1e-9);
}

TEST_F(GridType, SteppingVisitsEveryDrawnNodeRowByRow) {
  object* g = grid(40);
  axes_->settings.visible = 0;
  auto drawn = square_nodes(g);
  const grid_window w = *static_cast<grid_window*>(g->data);
  const int n = (w.i1 - w.i0) * (w.j1 - w.j0);
  ASSERT_EQ(static_cast<size_t>(n), drawn.size());
  object* p = point_on(g, 6, 205, 198);
  EXPECT_AT(p->valeurs[0], 200, 200);
  std::set<std::pair<double, double>> visited;
  for (int k = 0; k < n; ++k) {
    point_on_object_place(p, n, k);
    visited.insert({p->valeurs[0].h, p->valeurs[0].v});
    if (k == 0) EXPECT_AT(p->valeurs[0], 200 + 40 * w.i0, 200 - 40 * w.j0);
    if (k == 1) EXPECT_AT(p->valeurs[0], 200 + 40 * (w.i0 + 1), 200 - 40 * w.j0);
  }
  const std::set<std::pair<double, double>> drawn_set(drawn.begin(), drawn.end());
  EXPECT_EQ(visited, drawn_set);
}

TEST_F(GridType, SteppingAGridNeverDrawnGivesNoPoint) {
  object* g = grid(40);
  object* p = point_on(g, 6, 245, 160);
  EXPECT_AT(p->valeurs[0], 240, 160);
  GlobalFreeAndNull(&g->data);
  point_on_object_place(p, 10, 3);
  EXPECT_TRUE(p->valeurs[0].infini_inexist_indetermine & VAL_NOT_EXIST);
  // A square grid with a window that thins out to no column, and n = 0.
  square_nodes(g);
  point_on_object_place(p, 0, 0);
  EXPECT_TRUE(p->valeurs[0].infini_inexist_indetermine & VAL_NOT_EXIST);
}

}  // namespace
