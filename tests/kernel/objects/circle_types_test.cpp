// Circles and arcs: shape codes, the on-arc test, hit bands, points on
// them and their intersection slot.
#include <cmath>
#include <numbers>

#include "kernel/model/geometry_fixture.h"
#include "kernel/objects/circle_types.h"
#include "kernel/objects/inter_list.h"
#include "kernel/prefs/hit_distance.h"

namespace {

valeur at(double h, double v) { return valeur{h, v, {}, 0}; }
valeur far(double h, double v) { return valeur{h, v, {}, VAL_AT_INFINITY}; }

class CircleTypes : public GeometryTest {
 protected:
  object* circle(double ch, double cv, double ph, double pv) {
    return make(classe_cercle, 1, {point(ch, cv), point(ph, pv)});
  }
  object* arc(double ah, double av, double bh, double bv, double ch, double cv) {
    return make(classe_arc, 0, {point(ah, av), point(bh, bv), point(ch, cv)});
  }
  bool hits(object* o, int x, int y) {
    tagPOINT m{x, y};
    return o->otype->hit_test(o, &m);
  }
};

TEST(ArcShape, CodesFollowTheEndsAndTheMiddle) {
  const valeur centre = at(0, 0);
  const valeur normal = far(0, 1);
  struct Case {
    valeur v[4];
    int16_t code;
  };
  const Case cases[] = {
      {{at(1, 0), at(0, 1), at(-1, 0), centre}, ARC_PROPER},
      {{far(1, 0), at(0, 1), at(-1, 0), normal}, ARC_START_AT_INF},
      {{at(1, 0), at(0, 1), far(-1, 0), normal}, ARC_END_AT_INF},
      {{at(1, 0), far(0, 1), at(-1, 0), normal}, ARC_FLAT_RAYS},
      {{at(-1, 0), at(0, 0), at(1, 0), normal}, ARC_FLAT_SEGMENT},
      {{at(0, 0), at(-1, 0), at(1, 0), normal}, ARC_FLAT_RAYS},
      {{far(1, 0), at(0, 1), far(-2, 0), normal}, ARC_ENDS_SAME_INF},
      {{far(1, 0), at(0, 1), far(0, 1), normal}, ARC_PROPER},
  };
  for (const Case& c : cases) EXPECT_EQ(arc_shape_code(c.v), c.code);
}

TEST(ArcShape, PointsOutsideByShape) {
  // Upper half of the unit circle (y down: the middle point at (0, -1)).
  const valeur proper[4] = {at(1, 0), at(0, -1), at(-1, 0), at(0, 0)};
  valeur top = at(0, -1), below = at(0, 1), end = at(-1, 0), inf = far(0, -1);
  EXPECT_FALSE(point_outside_arc(&top, proper));
  EXPECT_TRUE(point_outside_arc(&below, proper));
  EXPECT_FALSE(point_outside_arc(&end, proper));
  EXPECT_TRUE(point_outside_arc(&inf, proper));

  const valeur segment[4] = {at(-1, 0), at(0, 0), at(1, 0), far(0, 1)};
  valeur inside = at(0.5, 0), beyond = at(2, 0);
  EXPECT_FALSE(point_outside_arc(&inside, segment));
  EXPECT_TRUE(point_outside_arc(&beyond, segment));

  // The rest of the line beyond -1 and 1.
  const valeur rays[4] = {at(-1, 0), at(5, 0), at(1, 0), far(0, 1)};
  EXPECT_TRUE(point_outside_arc(&inside, rays));
  EXPECT_FALSE(point_outside_arc(&beyond, rays));
  valeur left = at(-3, 0);
  EXPECT_FALSE(point_outside_arc(&left, rays));

  // The start at infinity: the ray from the end through the middle point.
  const valeur from_end[4] = {far(-1, 0), at(0, 0), at(1, 0), far(0, 1)};
  EXPECT_FALSE(point_outside_arc(&left, from_end));
  EXPECT_TRUE(point_outside_arc(&beyond, from_end));
}

TEST_F(CircleTypes, HitBandsAndUndefinedCurves) {
  object* c = circle(0, 0, 100, 0);
  const int t = pick_tolerance;
  EXPECT_FALSE(hits(c, 100 + t, 0));  // the circle's band is strict
  EXPECT_TRUE(hits(c, 100 + t - 1, 0));
  EXPECT_TRUE(hits(c, 0, -100));

  // Upper half circle through (100, 0), (0, -100), (-100, 0).
  object* a = arc(100, 0, 0, -100, -100, 0);
  EXPECT_TRUE(hits(a, 0, -100 - t));  // the arc's band includes its edge
  EXPECT_FALSE(hits(a, 0, -100 - t - 1));
  EXPECT_FALSE(hits(a, 0, 100));  // the other half of its circle

  object* flat = arc(-100, 0, 0, 0, 100, 0);
  EXPECT_TRUE(hits(flat, 50, 2));
  EXPECT_FALSE(hits(flat, 150, 0));

  c->state |= OBJ_UNDEFINED;
  a->state |= OBJ_AT_INFINITY;
  EXPECT_FALSE(hits(c, 0, -100));
  EXPECT_FALSE(hits(a, 0, -100));
}

TEST_F(CircleTypes, StepsTurnFromTheReferencePointAndFollowIt) {
  object* centre = point(0, 0);
  object* ref = point(100, 0);
  object* c = make(classe_cercle, 1, {centre, ref});
  object* p = point_on(c, 3, 0, 0);
  valeur v = at(4, 1);
  circle_point_on(c, &v, &p->data, 3);
  EXPECT_AT(v, 0, 100);  // a quarter turn, downwards on screen

  // A point placed by projection keeps its angle to the reference point.
  p->valeurs[0] = at(0, -50);
  recompute_all();
  EXPECT_AT(p->valeurs[0], 0, -100);
  move(ref, 0, 200);
  EXPECT_AT(p->valeurs[0], 200, 0);
  move(centre, 10, 10);
  EXPECT_NEAR(std::hypot(p->valeurs[0].h - 10, p->valeurs[0].v - 10), std::hypot(-10.0, 190.0), 1e-9);

  // At the centre: the previous position, then the direction (1, 1).
  valeur io[2] = {at(10, 10), at(10, 500)};
  circle_point_on(c, io, &p->data, 2);
  EXPECT_NEAR(io[0].h, 10, 1e-9);
  EXPECT_GT(io[0].v, 10);
  valeur stuck[2] = {at(10, 10), at(10, 10)};
  circle_point_on(c, stuck, &p->data, 2);
  EXPECT_NEAR(stuck[0].h - 10, stuck[0].v - 10, 1e-9);
}

TEST_F(CircleTypes, ArcParametersClampAndCrossTheAngleCut) {
  // Left half circle: its middle point (-100, 0) sits on the -pi/pi cut.
  object* a = arc(0, -100, -100, 0, 0, 100);
  object* p = point_on(a, 4, -100, 0);
  EXPECT_EQ(a->nbvaleurs, 5);
  EXPECT_NEAR(*static_cast<double*>(p->data), 0.5, 1e-12);
  EXPECT_AT(p->valeurs[0], -100, 0);

  // Beyond the ends: the nearer end.
  valeur v = at(100, -10);
  arc_point_on(a, &v, &p->data, 2);
  EXPECT_EQ(*static_cast<double*>(p->data), 0);
  EXPECT_AT(v, 0, -100);
  v = at(100, 10);
  arc_point_on(a, &v, &p->data, 2);
  EXPECT_EQ(*static_cast<double*>(p->data), 1);
  EXPECT_AT(v, 0, 100);

  // Steps spread over the arc; one step is its start.
  v = at(3, 2);
  arc_point_on(a, &v, &p->data, 3);
  EXPECT_AT(v, 0, 100);
  v = at(1, 0);
  arc_point_on(a, &v, &p->data, 3);
  EXPECT_AT(v, 0, -100);
}

TEST_F(CircleTypes, FlatArcsParametriseLikeTheirPieces) {
  object* seg = arc(0, 0, 50, 0, 100, 0);
  object* p = point_on(seg, 4, 25, 7);
  EXPECT_NEAR(*static_cast<double*>(p->data), 0.25, 1e-12);
  EXPECT_AT(p->valeurs[0], 25, 0);

  object* rays = arc(0, 0, 200, 0, 100, 0);
  object* q = point_on(rays, 4, -30, 0);
  double& t = *static_cast<double*>(q->data);
  t = 1;
  recompute_all();
  EXPECT_AT(q->valeurs[0], 100, 0);
  t = 0.5;
  recompute_all();
  EXPECT_TRUE(q->state & OBJ_AT_INFINITY);
}

TEST_F(CircleTypes, IntersectionsKeepOnlyRootsOnTheArc) {
  // Upper half circle; a vertical line through its centre.
  object* a = arc(100, 0, 0, -100, -100, 0);
  object* l = make(classe_droite, 1, {point(0, 200), point(0, -200)});
  inter_list list{};
  EXPECT_EQ(circle_intersect(a, l, &list, kIntersectAll), 1);
  ASSERT_EQ(list.count, 1);
  EXPECT_AT(list.values[0], 0, -100);
  intersection_results_free(&list);

  valeur out{};
  EXPECT_EQ(circle_intersect(a, l, &out, 0x10000), 1);
  EXPECT_AT(out, 0, -100);
  EXPECT_EQ(circle_intersect(a, l, &out, 0), 2);
  EXPECT_EQ(circle_intersect(a, l, &out, 1), 4);
  EXPECT_EQ(circle_intersect(a, l, &out, 0x20000), 4);
  EXPECT_EQ(circle_intersect(l, a, &out, 0), 3);

  // Two circles apart: none, and nothing written.
  object* c1 = circle(0, 0, 10, 0);
  object* c2 = circle(100, 0, 110, 0);
  valeur untouched = at(7, 7);
  EXPECT_EQ(circle_intersect(c2, c1, &untouched, 0), 2);
  EXPECT_AT(untouched, 7, 7);

  // The probe finds the crossing within 16 and misses it at 16.
  object* c3 = circle(0, 0, 100, 0);
  object* c4 = circle(100, 0, 200, 0);
  const double y = -std::sqrt(7500.0);
  intersect_probe = at(50 + 15.9, y);
  EXPECT_EQ(circle_intersect(c4, c3, nullptr, kIntersectProbe), 1);
  EXPECT_AT(intersect_probe, 50, y);
  intersect_probe = at(50 + 16, y);
  EXPECT_EQ(circle_intersect(c4, c3, nullptr, kIntersectProbe), 2);
}

}  // namespace
