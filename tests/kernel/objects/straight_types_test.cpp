// Points on objects, hit tests and helpers of the straight types.
#include <cmath>

#include "kernel/model/geometry_fixture.h"
#include "kernel/model/point_type.h"
#include "kernel/model/units.h"
#include "kernel/objects/straight_types.h"
#include "kernel/prefs/hit_distance.h"
#include "kernel/tools/hit_state.h"

namespace {

double param(const object* pt) { return *static_cast<const double*>(pt->data); }

tagPOINT at(int x, int y) { return tagPOINT{x, y}; }

// ----------------------------------------------------- points on segments

TEST_F(GeometryTest, PointOnSegmentKeepsItsFractionWhenTheEndsMove) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* seg = make(classe_segment, 0, {a, b});
  object* pt = point_on(seg, 1, 3, 5);
  EXPECT_AT(pt->valeurs[0], 3, 0);
  EXPECT_DOUBLE_EQ(param(pt), 0.3);

  move(b, 10, 20);
  EXPECT_AT(pt->valeurs[0], 3, 6);
  EXPECT_DOUBLE_EQ(param(pt), 0.3);

  // Dragging the point changes its fraction.
  pt->valeurs[0].h = 5;
  pt->valeurs[0].v = 10;
  recompute_all();
  EXPECT_DOUBLE_EQ(param(pt), 0.5);
  EXPECT_AT(pt->valeurs[0], 5, 10);
}

TEST_F(GeometryTest, PointProjectedBeyondAnEndStaysAtThatEnd) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* pt = point_on(make(classe_segment, 0, {a, b}), 1, 25, 3);
  EXPECT_DOUBLE_EQ(param(pt), 1.0);
  move(b, 4, 4);
  EXPECT_AT(pt->valeurs[0], 4, 4);
}

TEST_F(GeometryTest, SegmentFractionIsMeasuredAlongTheDominantAxisFromTheFirstEnd) {
  // Vertical: measured along y.
  object* pt = point_on(make(classe_segment, 0, {point(0, 0), point(1, 10)}), 1, 7, 2);
  EXPECT_DOUBLE_EQ(param(pt), 0.2);
  // Right to left: still 0 at the first end.
  object* back = point_on(make(classe_segment, 0, {point(10, 0), point(0, 0)}), 1, 8, 1);
  EXPECT_DOUBLE_EQ(param(back), 0.2);
  EXPECT_AT(back->valeurs[0], 8, 0);
}

TEST_F(GeometryTest, PointOnAZeroLengthSegmentSitsOnIt) {
  object* seg = make(classe_segment, 0, {point(4, 4), point(4, 4)});
  object* pt = point_on(seg, 1, 9, 9);
  EXPECT_AT(pt->valeurs[0], 4, 4);
  EXPECT_DOUBLE_EQ(param(pt), 0.0);
  EXPECT_EQ(pt->state & OBJ_UNDEFINED, 0u);
}

TEST_F(GeometryTest, StepsSpreadOverASegmentFromEndToEnd) {
  object* seg = make(classe_segment, 0, {point(0, 0), point(30, 0)});
  object* pt = point_on(seg, 1, 1, 0);
  const construct_method* m = class_method(&classe_ptsur, 1);
  ASSERT_NE(m->point_on, nullptr);
  m->point_on(pt, 4, 0);
  EXPECT_AT(pt->valeurs[0], 0, 0);
  m->point_on(pt, 4, 3);
  EXPECT_AT(pt->valeurs[0], 30, 0);
  m->point_on(pt, 4, 1);
  EXPECT_AT(pt->valeurs[0], 10, 0);
  // One step or none: no division by zero, the first end.
  m->point_on(pt, 1, 0);
  EXPECT_AT(pt->valeurs[0], 0, 0);
  m->point_on(pt, 0, 0);
  EXPECT_AT(pt->valeurs[0], 0, 0);
}

// ----------------------------------------------------- points on polygons

TEST_F(GeometryTest, PointOnPolygonKeepsItsSideAndPlace) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* c = point(10, 10);
  object* d = point(0, 10);
  object* pol = make(classe_polygone, 0, {a, b, c, d}, 5);
  object* pt = point_on(pol, 2, 5, 11);  // middle of side 2 (c to d)
  EXPECT_DOUBLE_EQ(param(pt), 2.5);
  EXPECT_AT(pt->valeurs[0], 5, 10);
  EXPECT_EQ(object_int_value(pt), 2);

  move(c, 20, 30);
  move(d, 0, 30);
  EXPECT_AT(pt->valeurs[0], 10, 30);
  EXPECT_DOUBLE_EQ(param(pt), 2.5);

  // The closing side runs from the last vertex back to the first.
  object* closing = point_on(pol, 2, -1, 12);
  EXPECT_DOUBLE_EQ(param(closing), 3.6);
}

TEST_F(GeometryTest, PolygonStepsCoverEverySide) {
  object* tri = make(classe_triangle, 0, {point(0, 0), point(12, 0), point(0, 12)});
  object* pt = point_on(tri, 2, 1, 1);
  const construct_method* m = class_method(&classe_ptsur, 2);
  m->point_on(pt, 6, 3);  // s = 3 / (6 / 3) = 1.5: middle of side 1
  EXPECT_DOUBLE_EQ(param(pt), 1.5);
  EXPECT_AT(pt->valeurs[0], 6, 6);
}

// ------------------------------------------------- points on lines and rays

TEST_F(GeometryTest, PointOnALineThroughTwoPointsKeepsItsUnclampedFraction) {
  object* a = point(0, 0);
  object* b = point(10, 0);
  object* line = make(classe_droite, 1, {a, b});
  object* pt = point_on(line, 0, 25, 4);
  EXPECT_DOUBLE_EQ(param(pt), 2.5);
  move(b, 0, 10);
  EXPECT_AT(pt->valeurs[0], 0, 25);
}

TEST_F(GeometryTest, PointPutBehindARayOriginGoesToTheOrigin) {
  object* ray = make(classe_demidroite, 1, {point(5, 5), point(15, 5)});
  object* pt = point_on(ray, 0, -20, 5);
  EXPECT_AT(pt->valeurs[0], 5, 5);
  EXPECT_DOUBLE_EQ(param(pt), 0.0);
}

TEST_F(GeometryTest, PointOnOtherLinesKeepsItsDistanceFromTheLinePoint) {
  object* p = point(0, 0);
  object* line = make(classe_perpendiculaire, 0, {p, make(classe_segment, 0, {point(0, 0), point(0, 5)})});
  // The perpendicular runs along x through p.
  object* pt = point_on(line, 0, 6, 2);
  EXPECT_AT(pt->valeurs[0], 6, 0);
  EXPECT_DOUBLE_EQ(param(pt), 6.0);  // the signed distance along the direction
  move(p, 1, 1);
  EXPECT_AT(pt->valeurs[0], 7, 1);
}

TEST_F(GeometryTest, StepsOverALineUseATenCentimetreScale) {
  object* line = make(classe_droite, 1, {point(0, 0), point(1, 0)});
  object* pt = point_on(line, 0, 3, 0);
  const construct_method* m = class_method(&classe_ptsur, 0);
  m->point_on(pt, 4, 2);
  EXPECT_AT(pt->valeurs[0], 0, 0);
  EXPECT_FALSE(pt->state & OBJ_AT_INFINITY);
  m->point_on(pt, 4, 3);  // tan(pi / 4) = 1: ten centimetres along
  EXPECT_AT(pt->valeurs[0], pixels_per_unit * 10, 0);
  m->point_on(pt, 4, 0);
  EXPECT_EQ(pt->valeurs[0].infini_inexist_indetermine, VAL_AT_INFINITY);
  EXPECT_TRUE(pt->state & OBJ_AT_INFINITY);

  object* ray = make(classe_demidroite, 1, {point(2, 2), point(2, 7)});
  object* on_ray = point_on(ray, 0, 2, 4);
  m->point_on(on_ray, 4, 0);
  EXPECT_AT(on_ray->valeurs[0], 2, 2);
}

// ---------------------------------------------------------------- proximity

TEST_F(GeometryTest, PointNearIsStrictInManhattanDistance) {
  valeur v{};
  v.h = 100;
  v.v = 100;
  const tagPOINT exact = at(100 + pick_tolerance / 2, 100 + (pick_tolerance - pick_tolerance / 2));
  const tagPOINT inside = at(100 + pick_tolerance - 1, 100);
  EXPECT_FALSE(point_near(&v, &exact));
  EXPECT_TRUE(point_near(&v, &inside));
  v.infini_inexist_indetermine = VAL_AT_INFINITY;
  EXPECT_FALSE(point_near(&v, &inside));
  v.infini_inexist_indetermine = VAL_NOT_EXIST;
  EXPECT_FALSE(point_near(&v, &inside));
}

TEST_F(GeometryTest, PointsAtInfinityOrUndefinedAreNeverHit) {
  object* p = point(50, 50);
  tagPOINT m = at(51, 50);
  EXPECT_TRUE(point_hit_test(p, &m));
  p->state |= OBJ_UNDEFINED;
  EXPECT_FALSE(point_hit_test(p, &m));
  p->state = OBJ_AT_INFINITY;
  EXPECT_FALSE(point_hit_test(p, &m));
}

// ----------------------------------------------------------------- hit tests

TEST_F(GeometryTest, SegmentIsHitStrictlyWithinTheToleranceBetweenItsEnds) {
  object* seg = make(classe_segment, 0, {point(0, 0), point(100, 0)});
  const int t = pick_tolerance;
  struct {
    tagPOINT m;
    bool hit;
  } cases[] = {
      {at(50, t - 1), true},  {at(50, t), false},     {at(50, -(t - 1)), true}, {at(-(t - 1), 0), true},
      {at(-t, 0), false},     {at(130, 1), false},    {at(100 + t - 1, 0), true},
  };
  for (auto& c : cases) EXPECT_EQ(seg->otype->hit_test(seg, &c.m), c.hit) << c.m.x << "," << c.m.y;
  seg->state |= OBJ_UNDEFINED;
  tagPOINT on = at(50, 0);
  EXPECT_FALSE(seg->otype->hit_test(seg, &on));
}

TEST_F(GeometryTest, WideTolerancesDoNotOverflow) {
  const int16_t saved = pick_tolerance;
  pick_tolerance = 200;
  object* seg = make(classe_segment, 0, {point(0, 0), point(1000, 0)});
  tagPOINT m = at(500, 190);
  EXPECT_TRUE(seg->otype->hit_test(seg, &m));
  m.y = 200;
  EXPECT_FALSE(seg->otype->hit_test(seg, &m));
  pick_tolerance = saved;
}

TEST_F(GeometryTest, PolygonHitReportsTheSide) {
  object* pol = make(classe_polygone, 0, {point(0, 0), point(100, 0), point(100, 100), point(0, 100)}, 5);
  const struct {
    tagPOINT m;
    uint16_t side;
  } cases[] = {{at(50, 1), 0}, {at(99, 50), 1}, {at(50, 101), 2}, {at(1, 50), 3}};
  for (auto c : cases) {
    EXPECT_TRUE(pol->otype->hit_test(pol, &c.m));
    EXPECT_EQ(hit_part, c.side);
  }
  tagPOINT inside = at(50, 50);
  EXPECT_FALSE(pol->otype->hit_test(pol, &inside));
  EXPECT_EQ(hit_part, 0);
}

TEST_F(GeometryTest, LineAndRayHits) {
  object* line = make(classe_droite, 1, {point(0, 0), point(10, 10)});
  tagPOINT far_along = at(1000, 1003);
  EXPECT_TRUE(line->otype->hit_test(line, &far_along));
  tagPOINT off = at(1000, 1020);
  EXPECT_FALSE(line->otype->hit_test(line, &off));

  object* ray = make(classe_demidroite, 1, {point(0, 0), point(10, 0)});
  tagPOINT ahead = at(500, 2), behind = at(-50, 2), origin = at(0, 2);
  EXPECT_TRUE(ray->otype->hit_test(ray, &ahead));
  EXPECT_FALSE(ray->otype->hit_test(ray, &behind));
  EXPECT_FALSE(ray->otype->hit_test(ray, &origin));
}

TEST_F(GeometryTest, SmartLineHandlesAreHitWhileThePointerRests) {
  object* line = make(classe_droite, 1, {point(0, 0), point(10, 0)});
  line->settings.smartline_type = 1;
  line->valeurs[2].h = -40;  // back handle
  line->valeurs[3].h = 50;   // front handle
  tagPOINT back = at(-41, 1), front = at(52, 0), between = at(20, 2), beyond = at(80, 0);
  EXPECT_TRUE(line->otype->hit_test(line, &back));
  EXPECT_EQ(hit_part, 1);
  EXPECT_TRUE(line->otype->hit_test(line, &front));
  EXPECT_EQ(hit_part, 2);
  EXPECT_TRUE(line->otype->hit_test(line, &between));
  EXPECT_EQ(hit_part, 0);
  EXPECT_FALSE(line->otype->hit_test(line, &beyond));

  // While a point is moved along an object the handles are not offered.
  interaction_state = 4;
  tagPOINT near_front = at(48, 0);
  EXPECT_TRUE(line->otype->hit_test(line, &near_front));
  EXPECT_EQ(hit_part, 0);
  interaction_state = kInteractionPointerAtRest;

  object* ray = make(classe_demidroite, 1, {point(0, 0), point(10, 0)});
  ray->settings.smartline_type = 2;
  ray->valeurs[2].h = 60;
  tagPOINT handle = at(61, 0), past = at(70, 0);
  EXPECT_TRUE(ray->otype->hit_test(ray, &handle));
  EXPECT_EQ(hit_part, 1);
  EXPECT_FALSE(ray->otype->hit_test(ray, &past));
}

// ------------------------------------------------------------------ helpers

TEST(StraightHelpers, DirectionInWholeDegrees) {
  EXPECT_EQ(direction_degrees(1, 0), 0);
  EXPECT_EQ(direction_degrees(0, 1), 90);
  EXPECT_EQ(direction_degrees(-1, 0), 180);
  EXPECT_EQ(direction_degrees(0, -1), 270);
  EXPECT_EQ(direction_degrees(1, -0.001), 360);
  EXPECT_EQ(direction_degrees(1, 1), 45);
}

TEST(StraightHelpers, PointOutsideSegmentAndBeforeRayOrigin) {
  valeur seg[2] = {};
  seg[1].h = 10;
  valeur p{};
  p.h = 5;
  EXPECT_FALSE(point_outside_segment(&p, seg));
  p.h = 10;
  EXPECT_FALSE(point_outside_segment(&p, seg));
  p.h = 10.001;
  EXPECT_TRUE(point_outside_segment(&p, seg));
  p.infini_inexist_indetermine = VAL_AT_INFINITY;
  EXPECT_TRUE(point_outside_segment(&p, seg));

  valeur ray[2] = {};
  ray[1].h = 1;
  valeur q{};
  q.h = -0.5;
  EXPECT_TRUE(point_before_ray_origin(&q, ray));
  q.h = 0;
  EXPECT_FALSE(point_before_ray_origin(&q, ray));
  q.h = -0.5;
  q.infini_inexist_indetermine = VAL_AT_INFINITY;
  EXPECT_FALSE(point_before_ray_origin(&q, ray));
}

}  // namespace
