// Compute operations of points, lines, circles and arcs, checked against
// coordinates worked out by hand.
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "kernel/model/compute_basic.h"
#include "kernel/model/geometry_fixture.h"

namespace {

constexpr double kPi = std::numbers::pi;

struct Pt {
  double h, v;
  bool far = false;  // at infinity: (h, v) is a direction
};

struct Want {
  int index;
  double h, v;
  uint8_t flags = 0;
  std::optional<double> rayon = std::nullopt;
};

struct Case {
  const char* name;
  construct_class* cls;
  int method;
  std::vector<Pt> parents;
  uint32_t state;  // OBJ_UNDEFINED / OBJ_AT_INFINITY bits expected
  std::vector<Want> values;
  valeur first = {};  // initial value 0 (rubber-band position)
  valeur second = {}; // initial value 1 (free direction or radius)
};

valeur at(double h, double v, double rayon = 0) {
  valeur x{};
  x.h = h;
  x.v = v;
  x.info.rayon = rayon;
  return x;
}

const std::vector<Case>& cases() {
  static const std::vector<Case> table = {
      // Lines through two points.
      {"line", &classe_droite, 1, {{1, 2}, {4, 6}}, 0, {{0, 1, 2}, {1, 3, 4}}},
      {"line, coincident points", &classe_droite, 1, {{1, 2}, {1, 2}}, OBJ_UNDEFINED, {}},
      {"line, B at infinity", &classe_droite, 1, {{1, 2}, {1, 1, true}}, 0, {{0, 1, 2}, {1, 1, 1, VAL_AT_INFINITY}}},
      {"line, A at infinity", &classe_droite, 1, {{0, 3, true}, {5, 5}}, 0, {{0, 5, 5}, {1, 0, 3, VAL_AT_INFINITY}}},
      {"line at infinity", &classe_droite, 1, {{1, 0, true}, {0, 1, true}}, OBJ_AT_INFINITY, {}},
      {"line, same direction twice", &classe_droite, 1, {{1, 1, true}, {-2, -2, true}}, OBJ_UNDEFINED, {}},
      {"ray", &classe_demidroite, 1, {{0, 0}, {3, -1}}, 0, {{0, 0, 0}, {1, 3, -1}}},
      {"ray towards infinity", &classe_demidroite, 1, {{0, 0}, {1, 0, true}}, OBJ_UNDEFINED, {}},
      // Lines through one point keep their direction.
      {"line by one point", &classe_droite, 0, {{2, 3}}, 0, {{0, 2, 3}, {1, 0.5, -1}}, {}, at(0.5, -1)},
      {"line by one point, null direction", &classe_droite, 0, {{2, 3}}, OBJ_UNDEFINED, {}, {}, at(0, 0)},
      {"line by a far point, across", &classe_demidroite, 0, {{1, 0, true}}, OBJ_AT_INFINITY, {}, {}, at(0, 1)},
      {"line by a far point, along", &classe_droite, 0, {{1, 0, true}}, OBJ_UNDEFINED, {}, {}, at(-3, 0)},
      // Circles.
      {"circle by centre", &classe_cercle, 0, {{10, 20}}, 0, {{0, 10, 20}, {1, 17, 20, 0, 7.0}}, {}, at(0, 0, 7)},
      {"circle by a far centre", &classe_cercle, 0, {{0, 1, true}}, OBJ_AT_INFINITY,
       {{1, 0, 1, VAL_AT_INFINITY}}, {}, at(0, 0, 7)},
      {"circle by centre and point", &classe_cercle, 1, {{1, 1}, {4, 5}}, 0, {{0, 1, 1}, {1, 4, 5, 0, 5.0}}},
      {"circle through a far point", &classe_cercle, 1, {{1, 1}, {1, 0, true}}, OBJ_AT_INFINITY, {}},
      {"circle about a far centre is a line", &classe_cercle, 1, {{1, 0, true}, {4, 5}}, 0,
       {{0, 1, 0, VAL_AT_INFINITY}, {1, 4, 5}}},
      // Arcs.
      {"arc", &classe_arc, 0, {{0, 0}, {1, 1}, {2, 0}}, 0, {{3, 1, 0, 0, 1.0}}},
      {"arc, wide", &classe_arc, 0, {{-3, 4}, {5, 0}, {0, -5}}, 0, {{3, 0, 0, 0, 5.0}}},
      {"arc, collinear points", &classe_arc, 0, {{0, 0}, {1, 1}, {2, 2}}, 0, {{3, -2, 2, VAL_AT_INFINITY}}},
      {"arc, coincident points", &classe_arc, 0, {{0, 0}, {0, 0}, {2, 2}}, OBJ_UNDEFINED, {}},
      {"arc, last point at infinity", &classe_arc, 0, {{0, 0}, {1, 0}, {0, 1, true}}, 0,
       {{3, 0, 1, VAL_AT_INFINITY}}},
      {"arc, two points at infinity", &classe_arc, 0, {{0, 0}, {1, 0, true}, {0, 1, true}}, OBJ_UNDEFINED, {}},
      // Midpoints.
      {"midpoint", &classe_milieu, 0, {{0, 0}, {4, 2}}, 0, {{0, 2, 1}}},
      {"midpoint, one far", &classe_milieu, 0, {{0, 0}, {0, 2, true}}, OBJ_AT_INFINITY,
       {{0, 0, 2, VAL_AT_INFINITY}}},
      {"midpoint, both far, parallel", &classe_milieu, 0, {{1, 2, true}, {-2, -4, true}}, OBJ_AT_INFINITY,
       {{0, 1, 2, VAL_AT_INFINITY}}},
      {"midpoint, both far, across", &classe_milieu, 0, {{1, 0, true}, {0, 1, true}}, OBJ_UNDEFINED,
       {{0, 0, 0, VAL_NOT_EXIST}}},  // the position is left as it was
      // Perpendicular bisectors.
      {"perpendicular bisector", &classe_mediatrice, 0, {{0, 0}, {4, 0}}, 0, {{0, 2, 0}, {1, 0, -4}}},
      {"perpendicular bisector, coincident", &classe_mediatrice, 0, {{3, 3}, {3, 3}}, OBJ_UNDEFINED, {}},
      {"perpendicular bisector, one far", &classe_mediatrice, 0, {{3, 3}, {1, 0, true}}, OBJ_AT_INFINITY, {}},
      {"perpendicular bisector, both far", &classe_mediatrice, 0, {{0, 1, true}, {1, 0, true}}, OBJ_UNDEFINED, {}},
      // Angle bisectors: the shorter arm's length is taken for both.
      {"angle bisector", &classe_bissectrice, 0, {{4, 0}, {0, 0}, {0, 2}}, 0, {{0, 0, 0}, {1, 2, 2}}},
      {"angle bisector, other order", &classe_bissectrice, 0, {{0, 2}, {0, 0}, {4, 0}}, 0, {{0, 0, 0}, {1, 2, 2}}},
      {"angle bisector, straight angle", &classe_bissectrice, 0, {{2, 0}, {0, 0}, {-1, 0}}, 0,
       {{0, 0, 0}, {1, 0, 2}}},
      {"angle bisector, null arm", &classe_bissectrice, 0, {{0, 0}, {0, 0}, {1, 2}}, OBJ_UNDEFINED, {}},
      {"angle bisector, arm at infinity", &classe_bissectrice, 0, {{1, 0, true}, {0, 0}, {1, 2}}, OBJ_UNDEFINED,
       {}},
      {"angle bisector, vertex at infinity", &classe_bissectrice, 0, {{0, 0}, {1, 0, true}, {0, 4}}, 0,
       {{0, 0, 2}, {1, 1, 0, VAL_AT_INFINITY}}},
  };
  return table;
}

class ComputeTable : public GeometryTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(ComputeTable, GivesTheWorkedOutValues) {
  const Case& c = cases()[GetParam()];
  SCOPED_TRACE(c.name);
  std::vector<object*> parents;
  for (const Pt& p : c.parents) parents.push_back(p.far ? far_point(p.h, p.v) : point(p.h, p.v));
  current_class = c.cls;
  objlist_clear(fig_->inputs);
  for (object* p : parents) objlist_add(fig_->inputs, p, 0);
  for (valeur& r : rubber_points) r = valeur{};
  rubber_points[0] = c.first;
  rubber_points[1] = c.second;
  object* o = create_object(static_cast<uint16_t>(c.method), nullptr, 0, 1, 1);
  ASSERT_NE(o, nullptr);
  // A free radius or direction lives in value 1 from creation on.
  if (o->nbvaleurs > 1) o->valeurs[1].info = c.second.info;
  recompute_object(o);
  EXPECT_EQ(o->state & (OBJ_UNDEFINED | OBJ_AT_INFINITY), c.state);
  for (const Want& w : c.values) {
    SCOPED_TRACE(w.index);
    const valeur& v = o->valeurs[w.index];
    EXPECT_AT(v, w.h, w.v);
    EXPECT_EQ(v.infini_inexist_indetermine, w.flags);
    if (w.rayon) {
      EXPECT_NEAR(v.info.rayon, *w.rayon, 1e-9);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ComputeTable, ::testing::Range<size_t>(0, cases().size()));

// ------------------------------------------------------- polygon vertices

TEST_F(GeometryTest, SegmentKeepsTwoValuesAndTriangleClosesOnItsFirstVertex) {
  object* a = point(0, 0);
  object* b = point(3, 0);
  object* c = point(0, 4);
  object* seg = make(classe_segment, 0, {a, b});
  object* tri = make(classe_triangle, 0, {a, b, c});
  EXPECT_EQ(seg->nbvaleurs, 2);
  EXPECT_AT(seg->valeurs[1], 3, 0);
  ASSERT_EQ(tri->nbvaleurs, 4);
  EXPECT_AT(tri->valeurs[2], 0, 4);
  EXPECT_AT(tri->valeurs[3], 0, 0);
  object* d = point(5, 5);
  object* pol = make(classe_polygone, 0, {a, b, c, d}, 5);
  EXPECT_AT(pol->valeurs[4], 0, 0);
  EXPECT_EQ(pol->state & OBJ_UNDEFINED, 0u);
}

TEST_F(GeometryTest, PolygonWithAVertexAtInfinityIsUndefined) {
  object* pol = make(classe_polygone, 0, {point(0, 0), far_point(1, 0), point(0, 4)}, 4);
  EXPECT_TRUE(pol->state & OBJ_UNDEFINED);
}

// --------------------------------------------- constructions on a side

TEST_F(GeometryTest, MidpointAndBisectorOfASideUseTheSideIndex) {
  object* tri = make(classe_triangle, 0, {point(0, 0), point(4, 0), point(4, 6)});
  object* mid = make(classe_milieu, 1, {tri});
  EXPECT_AT(mid->valeurs[0], 2, 0);
  mid->math.side.index = 2;  // the closing side, from the last vertex to the first
  recompute_object(mid);
  EXPECT_AT(mid->valeurs[0], 2, 3);

  object* seg = make(classe_segment, 0, {point(0, 0), point(0, 8)});
  object* pb = make(classe_mediatrice, 1, {seg});
  EXPECT_AT(pb->valeurs[0], 0, 4);
  EXPECT_AT(pb->valeurs[1], 8, 0);
}

TEST_F(GeometryTest, ParallelAndPerpendicularFollowTheirLine) {
  object* p = point(1, 1);
  object* line = make(classe_droite, 1, {point(0, 0), point(2, 1)});
  object* par = make(classe_parallele, 0, {p, line});
  object* perp = make(classe_perpendiculaire, 0, {p, line});
  EXPECT_AT(par->valeurs[0], 1, 1);
  EXPECT_AT(par->valeurs[1], 2, 1);
  EXPECT_AT(perp->valeurs[0], 1, 1);
  EXPECT_AT(perp->valeurs[1], 1, -2);
  EXPECT_EQ(par->state | perp->state, OBJ_NEW);

  // Side 1 of a triangle runs from vertex 1 to vertex 2.
  object* tri = make(classe_triangle, 0, {point(0, 0), point(4, 0), point(4, 6)});
  object* perp_side = make(classe_perpendiculaire, 0, {p, tri});
  perp_side->math.side.index = 1;
  recompute_object(perp_side);
  EXPECT_AT(perp_side->valeurs[1], 6, 0);
}

TEST_F(GeometryTest, ParallelsAndPerpendicularsThroughAPointAtInfinity) {
  object* line = make(classe_droite, 1, {point(0, 0), point(2, 1)});
  object* along = far_point(4, 2);
  object* across = far_point(0, 1);
  EXPECT_TRUE(make(classe_parallele, 0, {along, line})->state & OBJ_UNDEFINED);
  EXPECT_TRUE(make(classe_parallele, 0, {across, line})->state & OBJ_AT_INFINITY);
  EXPECT_TRUE(make(classe_perpendiculaire, 0, {far_point(-1, 2), line})->state & OBJ_UNDEFINED);
  EXPECT_TRUE(make(classe_perpendiculaire, 0, {along, line})->state & OBJ_AT_INFINITY);
}

TEST_F(GeometryTest, ParallelOfASidePickedByAPointOnThePolygon) {
  object* tri = make(classe_triangle, 0, {point(0, 0), point(4, 0), point(4, 6)});
  object* on = point_on(tri, 2, 4, 3);  // middle of side 1
  object* par = make(classe_parallele, 0, {on, tri});
  EXPECT_AT(par->valeurs[1], 4, 0);
  par->math.side.side_of_point = 1;
  recompute_object(par);
  EXPECT_AT(par->valeurs[1], 0, 6);
}

TEST_F(GeometryTest, ArcWithFiveValuesKeepsTheAnglesOfItsPoints) {
  object* arc = make(classe_arc, 0, {point(1, 0), point(0, 1), point(-1, 0)}, 0);
  // Arcs carry a fifth value once they are expanded.
  valeur* five = alloc_block<valeur>(5);
  std::copy(arc->valeurs, arc->valeurs + 4, five);
  GlobalFreeAndNull(&arc->valeurs);
  arc->valeurs = five;
  arc->nbvaleurs = 5;
  recompute_object(arc);
  EXPECT_AT(arc->valeurs[3], 0, 0);
  EXPECT_NEAR(arc->valeurs[4].h, 0, 1e-12);
  EXPECT_NEAR(arc->valeurs[4].v, kPi / 2, 1e-12);
  EXPECT_NEAR(arc->valeurs[4].info.rayon, kPi, 1e-12);

  // Straight: the angle of the normal, turned back by half a turn when it
  // points left.
  arc->parents[0]->valeurs[0] = at(0, 0);
  arc->parents[1]->valeurs[0] = at(1, 1);
  arc->parents[2]->valeurs[0] = at(2, 2);
  recompute_object(arc);
  EXPECT_EQ(arc->valeurs[3].infini_inexist_indetermine, VAL_AT_INFINITY);
  EXPECT_AT(arc->valeurs[3], -2, 2);
  EXPECT_NEAR(arc->valeurs[4].h, -kPi / 4 - kPi, 1e-12);
  EXPECT_EQ(arc->valeurs[4].h, arc->valeurs[4].info.rayon);
}

TEST_F(GeometryTest, CircumcentreIsEquidistantFromTheThreePoints) {
  const Pt pts[][3] = {{{3, 7}, {-2, 5}, {8, -4}}, {{100, 0}, {0, 1}, {-50, -30}}, {{0.1, 0.2}, {0.3, 0.1}, {0.2, 0.5}}};
  for (const auto& t : pts) {
    object* arc = make(classe_arc, 0, {point(t[0].h, t[0].v), point(t[1].h, t[1].v), point(t[2].h, t[2].v)});
    const valeur& c = arc->valeurs[3];
    for (const Pt& p : t) EXPECT_NEAR(std::hypot(p.h - c.h, p.v - c.v), c.info.rayon, 1e-9 * c.info.rayon);
  }
}

// ------------------------------------------------------- regular polygons

TEST_F(GeometryTest, RegularPolygonPointsTurnAboutTheCentreAndEndOnTheVertex) {
  object* a = point(10, 0);
  object* pr = polygon_points(point(0, 0), a, 4, 1);
  EXPECT_EQ(pr->state & OBJ_UNDEFINED, 0u);
  EXPECT_AT(pr->valeurs[0], 0, 10);
  EXPECT_AT(pr->valeurs[1], -10, 0);
  EXPECT_AT(pr->valeurs[2], 0, -10);
  EXPECT_AT(pr->valeurs[3], 10, 0);
  EXPECT_NEAR(pr->valeurs[4].info.rayon, kPi / 2, 1e-12);
  EXPECT_NEAR(pr->valeurs[5].info.rayon, 10, 1e-12);

  // A star: every second vertex of a pentagon.
  pr->math.polreg.nbsides = 3;
  pr->math.polreg.index = 2;
  recompute_object(pr);
  EXPECT_AT(pr->valeurs[2], 10, 0);
  EXPECT_NEAR(pr->valeurs[0].h, 10 * std::cos(4 * kPi / 3), 1e-9);

  // Coincident centre and vertex: every vertex is the centre.
  move(a, 0, 0);
  EXPECT_AT(pr->valeurs[1], 0, 0);
}

TEST_F(GeometryTest, RegularPolygonWithFewerThanThreeSidesIsUndefined) {
  object* pr = polygon_points(point(0, 0), point(10, 0), 4, 1);
  for (int16_t n : {0, 1, 2, 5}) {
    pr->math.polreg.nbsides = n;  // 5 needs 7 values: too many for this record
    pr->math.polreg.index = 1;
    recompute_object(pr);
    EXPECT_TRUE(pr->state & OBJ_UNDEFINED) << n;
  }
}

}  // namespace
